#include "VoiceChoice.h"

#include <climits>

#include "store/text/Text.h"

namespace {

constexpr unsigned kEnglish = 0x09;
constexpr unsigned kUnitedStates = 0x0409;
constexpr unsigned kUnitedKingdom = 0x0809;

// The LANGIDs of a Language attribute; a part that is no hex number is left
// out.
std::vector<unsigned> languageIds(std::u16string_view text)
{
    std::vector<unsigned> ids;
    while (!text.empty()) {
        const std::size_t end = text.find(u';');
        std::u16string_view part = text.substr(0, end);
        text = end == std::u16string_view::npos ? std::u16string_view{} : text.substr(end + 1);
        while (!part.empty() && part.front() == u' ') part.remove_prefix(1);
        while (!part.empty() && part.back() == u' ') part.remove_suffix(1);
        if (part.empty() || part.size() > 4) continue;
        unsigned id = 0;
        bool hex = true;
        for (const char16_t c : part) {
            const unsigned digit = c >= u'0' && c <= u'9'   ? c - u'0'
                                   : c >= u'a' && c <= u'f' ? c - u'a' + 10
                                   : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                            : 16;
            if (digit == 16) hex = false;
            id = id * 16 + digit;
        }
        if (hex) ids.push_back(id);
    }
    return ids;
}

// 0 for the best kind of English voice, 3 for a voice without English.
int rank(const VoiceInfo& voice)
{
    int best = 3;
    for (const unsigned id : languageIds(voice.languages)) {
        const int r = id == kUnitedStates ? 0 : id == kUnitedKingdom ? 1 : (id & 0x3FF) == kEnglish ? 2 : 3;
        if (r < best) best = r;
    }
    return best;
}

}  // namespace

bool speaksEnglish(const VoiceInfo& voice)
{
    return rank(voice) < 3;
}

std::optional<std::size_t> chooseVoice(const std::vector<VoiceInfo>& voices, std::u16string_view wanted)
{
    if (!wanted.empty()) {
        // Registry paths are compared as Windows compares them.
        for (std::size_t i = 0; i < voices.size(); ++i) {
            if (equalNoCase(voices[i].id, wanted)) return i;
        }
    }
    std::optional<std::size_t> chosen;
    int chosenRank = 3;
    for (std::size_t i = 0; i < voices.size(); ++i) {
        const int r = rank(voices[i]);
        if (r < chosenRank) {
            chosen = i;
            chosenRank = r;
        }
    }
    return chosen;
}
