// Which installed voice says the words: a choice over the list the speech
// system gives, kept free of it so that it can be checked on any list.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct VoiceInfo {
    std::u16string id;         // the voice's token id (a registry path)
    std::u16string name;       // "Microsoft Zira Desktop"
    std::u16string languages;  // the token's Language attribute: hex LANGIDs, ';'-separated ("409;9")
};

// Whether one of the voice's languages is English (primary language 0x09).
bool speaksEnglish(const VoiceInfo& voice);

// The voice to use, as an index into `voices`: the one whose id is `wanted`
// when it is installed (the user chose it), otherwise the best English
// voice: American English first, then British, then any other English, in
// the order listed within each. Nothing when no voice speaks English: a
// Chinese voice reads English words badly, and the user is told instead.
std::optional<std::size_t> chooseVoice(const std::vector<VoiceInfo>& voices, std::u16string_view wanted);
