// The [Review] section of mivora.ini as people write it by hand: a decimal
// comma, spaces, values out of range or not numbers, the section's name in
// another case.
#include <gtest/gtest.h>

#include <string>

#include "ReviewSettings.h"

namespace {

std::string utf8(std::u16string_view text)
{
    std::string bytes;
    for (const char16_t c : text) bytes.push_back(static_cast<char>(c));  // ASCII only here
    return bytes;
}

}  // namespace

TEST(ReviewSettingsFile, ValuesAsWrittenByHand)
{
    const struct {
        const char16_t* ini;
        bool enabled;
        int dailyLimit;
        int retentionPercent;
    } rows[] = {
        {u"", true, 20, 90},
        {u"[Review]\r\nEnabled=0\r\nDailyLimit=35\r\nRetention=0,85\r\n", false, 35, 85},
        {u"[Review]\nRetention=0.85\n", true, 20, 85},
        {u"[review]\nretention = 0.875 \n", true, 20, 88},
        {u"[Review]\nRetention=.95\n", true, 20, 95},
        {u"[Review]\nRetention=0.99\n", true, 20, 97},
        {u"[Review]\nRetention=0,5\n", true, 20, 70},
        {u"[Review]\nRetention=0.8x\n", true, 20, 90},
        {u"[Review]\nRetention=0,8,5\n", true, 20, 90},
        {u"[Review]\nRetention=\n", true, 20, 90},
        {u"[Review]\nEnabled=2\nDailyLimit=5000\n", true, 20, 90},
        {u"[Review]\nDailyLimit=0\n", true, 0, 90},
        {u"[Speech]\nRetention=0.80\n", true, 20, 90},
    };
    for (const auto& row : rows) {
        const ReviewSettings settings = readReviewSettings(IniDocument::parse(utf8(row.ini)));
        EXPECT_EQ(settings.enabled, row.enabled) << utf8(row.ini);
        EXPECT_EQ(settings.dailyLimit, row.dailyLimit) << utf8(row.ini);
        EXPECT_EQ(settings.retentionPercent, row.retentionPercent) << utf8(row.ini);
    }

    // Written with a point and read back as it was.
    IniDocument document = IniDocument::parse("");
    writeReviewSettings(document, {false, 7, 85});
    EXPECT_EQ(document.get(kReviewSection, u"Retention"), u"0.85");
    EXPECT_EQ(readReviewSettings(IniDocument::parse(document.serialize())), (ReviewSettings{false, 7, 85}));
}
