#include "SpeechSettings.h"

#include <string>

namespace {

std::u16string number(int value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

SpeechSettings readSpeechSettings(const IniDocument& document)
{
    const SpeechSettings defaults;
    SpeechSettings settings;
    settings.autoRead = iniInteger(document, kSpeechSection, u"AutoRead", defaults.autoRead ? 1 : 0, 0, 1) == 1;
    settings.voice = document.get(kSpeechSection, u"Voice").value_or(defaults.voice);
    settings.rate = iniInteger(document, kSpeechSection, u"Rate", defaults.rate, kSpeechRateLowest, kSpeechRateHighest);
    settings.volume = iniInteger(document, kSpeechSection, u"Volume", defaults.volume, 0, kSpeechVolumeHighest);
    return settings;
}

void writeSpeechSettings(IniDocument& document, const SpeechSettings& settings)
{
    document.set(kSpeechSection, u"AutoRead", settings.autoRead ? u"1" : u"0");
    document.set(kSpeechSection, u"Voice", settings.voice);
    document.set(kSpeechSection, u"Rate", number(settings.rate));
    document.set(kSpeechSection, u"Volume", number(settings.volume));
}
