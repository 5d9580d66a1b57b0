// The [Review] section of mivora.ini: what each value a user may write
// comes to (a decimal comma, spaces, values out of range or not numbers,
// the section's name in another case), and that what is written reads back
// the same.
#include <gtest/gtest.h>

#include <string>

#include "IniFile.h"
#include "ReviewSettings.h"

namespace {

struct Row {
    const char* name;
    const char* text;  // the section's lines
    bool enabled;
    int dailyLimit;
    int retentionPercent;
    RecallFirst recallFirst;
    int revealSeconds;
    bool tipShown;
};

constexpr RecallFirst kReview = RecallFirst::review;

const Row kRows[] = {
    {"no section", "", true, 20, 90, kReview, 5, false},
    {"Notepad on a German desk writes a decimal comma", "Retention=0,85", true, 20, 85, kReview, 5, false},
    {"retention above the highest is held to it", "Retention=0.99", true, 20, 97, kReview, 5, false},
    {"every word tested from its second showing", "RecallFirst=all", true, 20, 90, RecallFirst::all, 5, false},
    {"any case and spaces", "RecallFirst=  OFF \t", true, 20, 90, RecallFirst::off, 5, false},
    {"an unknown choice keeps the default", "RecallFirst=never", true, 20, 90, kReview, 5, false},
    {"a choice cut short keeps the default", "RecallFirst=al", true, 20, 90, kReview, 5, false},
    {"0 shows the meaning at once", "RevealSeconds=0", true, 20, 90, kReview, 0, false},
    {"the longest wait", "RevealSeconds=60", true, 20, 90, kReview, 60, false},
    {"a wait beyond the longest", "RevealSeconds=61", true, 20, 90, kReview, 5, false},
    {"a negative wait", "RevealSeconds=-1", true, 20, 90, kReview, 5, false},
    {"a wait in words", "RevealSeconds=five", true, 20, 90, kReview, 5, false},
    {"the balloon was shown", "RecallTipShown=1", true, 20, 90, kReview, 5, true},
    {"a flag that is no flag", "RecallTipShown=2", true, 20, 90, kReview, 5, false},
    {"all of them", "Enabled=0\nDailyLimit=7\nRetention=.8\nRecallFirst=Review\nRevealSeconds=12\nRecallTipShown=1",
     false, 7, 80, kReview, 12, true},
};

TEST(ReviewSettings, EachValueReadsAsWrittenOrTakesItsDefault)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const ReviewSettings read = readReviewSettings(IniDocument::parse(std::string("[Review]\n") + row.text));
        EXPECT_EQ(read.enabled, row.enabled);
        EXPECT_EQ(read.dailyLimit, row.dailyLimit);
        EXPECT_EQ(read.retentionPercent, row.retentionPercent);
        EXPECT_EQ(read.recallFirst, row.recallFirst);
        EXPECT_EQ(read.revealSeconds, row.revealSeconds);
        EXPECT_EQ(read.recallTipShown, row.tipShown);
        // Written and read again, it is the same.
        IniDocument written;
        writeReviewSettings(written, read);
        EXPECT_TRUE(readReviewSettings(IniDocument::parse(written.serialize())) == read);
    }
}

TEST(ReviewSettings, TheChoicesAreWrittenAsWords)
{
    const std::pair<RecallFirst, const char16_t*> rows[] = {
        {RecallFirst::review, u"review"}, {RecallFirst::all, u"all"}, {RecallFirst::off, u"off"}};
    for (const auto& [choice, text] : rows) {
        ReviewSettings settings;
        settings.recallFirst = choice;
        settings.revealSeconds = 0;
        IniDocument document;
        writeReviewSettings(document, settings);
        EXPECT_EQ(document.get(u"Review", u"RecallFirst"), std::u16string(text));
        EXPECT_EQ(document.get(u"Review", u"RevealSeconds"), std::u16string(u"0"));
    }
}

std::string utf8(std::u16string_view text)
{
    std::string bytes;
    for (const char16_t c : text) bytes.push_back(static_cast<char>(c));  // ASCII only here
    return bytes;
}

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

}  // namespace
