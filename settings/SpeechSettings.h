// The [Speech] section of mivora.ini: how the word is said aloud.
#pragma once

#include <string>

#include "IniFile.h"

constexpr char16_t kSpeechSection[] = u"Speech";
constexpr int kSpeechRateLowest = -10;
constexpr int kSpeechRateHighest = 10;
constexpr int kSpeechVolumeHighest = 100;

struct SpeechSettings {
    bool autoRead = false;  // say every word the window newly shows
    std::u16string voice;   // the voice's token id; empty for the best English voice
    int rate = 0;           // -10 (slowest) to 10
    int volume = 100;       // 0 to 100
    bool operator==(const SpeechSettings&) const = default;
};

// Each value that is missing, out of range or not a number takes its default.
SpeechSettings readSpeechSettings(const IniDocument& document);
void writeSpeechSettings(IniDocument& document, const SpeechSettings& settings);
