// The voice that says the words, chosen over lists of voices as Windows 7,
// 10 and 11 and their Chinese editions have them.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "VoiceChoice.h"

namespace {

const VoiceInfo kHuihui{u"HKLM\\Speech\\Voices\\Tokens\\TTS_MS_ZH-CN_HUIHUI_11.0", u"Microsoft Huihui Desktop", u"804"};
const VoiceInfo kZira{u"HKLM\\Speech\\Voices\\Tokens\\TTS_MS_EN-US_ZIRA_11.0", u"Microsoft Zira Desktop", u"409"};
const VoiceInfo kDavid{u"HKLM\\Speech\\Voices\\Tokens\\TTS_MS_EN-US_DAVID_11.0", u"Microsoft David Desktop", u"409;9"};
const VoiceInfo kHazel{u"HKLM\\Speech_OneCore\\Voices\\Tokens\\MSTTS_V110_enGB_HazelM", u"Microsoft Hazel", u"809"};
const VoiceInfo kIndia{u"HKLM\\Speech_OneCore\\Voices\\Tokens\\MSTTS_V110_enIN_HeeraM", u"Microsoft Heera", u"4009"};
const VoiceInfo kGerman{u"HKLM\\Speech\\Voices\\Tokens\\TTS_MS_DE-DE_HEDDA_11.0", u"Microsoft Hedda Desktop", u"407"};

struct Case {
    const char* name;
    std::vector<VoiceInfo> voices;
    std::u16string wanted;
    std::optional<std::size_t> expected;
};

TEST(VoiceChoice, ChoosesTheWantedVoiceOrTheBestEnglishOne)
{
    const VoiceInfo odd{u"odd", u"Odd", u" 409 ; zz"};
    const VoiceInfo broken{u"broken", u"Broken", u"4x9;;12345"};
    const VoiceInfo lower{u"lower", u"Lower", u"c09"};
    const std::vector<Case> cases = {
        {"no voices", {}, u"", std::nullopt},
        {"only Huihui: no English voice", {kHuihui}, u"", std::nullopt},
        {"Chinese Windows 10: Zira after Huihui", {kHuihui, kZira}, u"", 1},
        {"American English first of two", {kZira, kDavid}, u"", 0},
        {"American before British", {kHazel, kDavid}, u"", 1},
        {"British before other English", {kIndia, kHazel}, u"", 1},
        {"any English before none", {kGerman, kIndia, kHuihui}, u"", 1},
        {"the wanted voice", {kZira, kDavid}, kDavid.id, 1},
        {"the wanted voice, its id in other case",
         {kZira, kDavid},
         u"hklm\\speech\\voices\\tokens\\tts_ms_en-us_david_11.0",
         1},
        {"a wanted voice that speaks no English is still the user's choice", {kZira, kHuihui}, kHuihui.id, 1},
        {"a wanted voice no longer installed: the best English one", {kHuihui, kHazel}, kDavid.id, 1},
        {"spaces and a bad part in the languages", {kHuihui, odd}, u"", 1},
        {"no usable language id", {broken}, u"", std::nullopt},
        {"Australian English (c09) is English", {kGerman, lower}, u"", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(chooseVoice(c.voices, c.wanted), c.expected);
    }
}

TEST(VoiceChoice, EnglishIsAnyLanguageIdOfPrimaryLanguageNine)
{
    EXPECT_TRUE(speaksEnglish(kDavid));
    EXPECT_TRUE(speaksEnglish(kIndia));
    EXPECT_TRUE(speaksEnglish(VoiceInfo{u"x", u"x", u"804;409"}));
    EXPECT_FALSE(speaksEnglish(kHuihui));
    EXPECT_FALSE(speaksEnglish(VoiceInfo{u"x", u"x", u""}));
    EXPECT_FALSE(speaksEnglish(VoiceInfo{u"x", u"x", u"1009x"}));
}

}  // namespace
