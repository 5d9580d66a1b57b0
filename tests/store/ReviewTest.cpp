// Remembered words coming back: the schedule's published figures, the rules
// of the round, and the review log's lines and merge.
#include <gtest/gtest.h>

#include <cmath>

#include "StoreTestSupport.h"
#include "store/review/Fsrs.h"
#include "store/review/ReviewLog.h"

using namespace storetest;
using V = std::vector<std::u16string>;
constexpr FsrsGrade G = FsrsGrade::good;

namespace {

constexpr std::int32_t kDec8 = 20795;  // 2026-12-08
// Days in UTC: the tests never depend on the machine's time zone.
std::int32_t utcDay(std::int64_t seconds)
{
    return static_cast<std::int32_t>((seconds >= 0 ? seconds : seconds - 86399) / 86400);
}
std::int64_t at(std::int32_t day, int hour, int minute = 0)
{
    return std::int64_t{day} * 86400 + hour * 3600 + minute * 60;
}

}  // namespace

TEST(Review, ScheduleGivesThePublishedFigures)
{
    // Good every time on the due day: 2, 11, 46, 163, 497 days.
    FsrsCard card;
    std::vector<std::int32_t> intervals;
    for (int i = 0; i < 5; ++i) {
        card = fsrsAnswer(card, {card.known ? card.dueDay() : kDec8, FsrsGrade::good}, 0.9);
        intervals.push_back(card.interval);
    }
    EXPECT_EQ(intervals, (std::vector<std::int32_t>{2, 11, 46, 163, 497}));

    // Good at 09:00 and again at 16:12 of the same day: stability stays,
    // and Good lands a day after Hard's 2.
    const FsrsCard twice = fsrsReplay({{kDec8, G}, {kDec8, G}}, 0.9);
    EXPECT_NEAR(twice.stability, 2.3065, 1e-9);
    EXPECT_EQ(twice.interval, 3);

    // Recall after one Good: about 81 % after a week, 67 % after a month,
    // 51 % after half a year.
    const struct {
        double days, recall;
    } curve[] = {{7, 0.81}, {30, 0.67}, {180, 0.51}};
    for (const auto& row : curve) EXPECT_NEAR(fsrsRecall(2.3065, row.days), row.recall, 0.005) << row.days;

    // Retention is held to 0.70 ... 0.97; a lower one gives longer intervals.
    EXPECT_EQ(clampRetention(0.5), 0.70);
    EXPECT_EQ(clampRetention(1.5), 0.97);
    EXPECT_EQ(clampRetention(std::nan("")), 0.70);
    EXPECT_GT(fsrsReplay({{kDec8, G}, {kDec8 + 2, G}}, 0.7).interval,
              fsrsReplay({{kDec8, G}, {kDec8 + 2, G}}, 0.9).interval);
}

TEST(Review, RoundRules)
{
    // Which due words come back: the most overdue first, list order among
    // equals, never more than the day's limit less those brought already.
    std::vector<DueWord> thirty;
    for (int i = 0; i < 30; ++i)
        thirty.push_back({u"w" + std::u16string(1, static_cast<char16_t>(u'A' + i)), kDec8 - i % 3});
    const struct {
        const char* name;
        std::vector<DueWord> remembered;
        std::int32_t brought, limit;
        V expected;
    } rows[] = {
        {"oldest first",
         {{u"a", kDec8}, {u"b", kDec8 - 9}, {u"c", kDec8 + 1}, {u"d", kDec8 - 9}},
         0,
         20,
         {u"b", u"d", u"a"}},
        {"room left today", {{u"a", kDec8 - 1}, {u"b", kDec8 - 2}, {u"c", kDec8 - 3}}, 18, 20, {u"c", u"b"}},
        {"limit reached", {{u"a", kDec8}}, 20, 20, {}},
        {"limit zero", {{u"a", kDec8}}, 0, 0, {}},
        {"none due", {{u"a", kDec8 + 1}}, 0, 20, {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(wordsComingBack(row.remembered, kDec8, row.brought, row.limit), row.expected) << row.name;
    EXPECT_EQ(wordsComingBack(thirty, kDec8, 0, 20).size(), 20u);

    // Words remembered before the log existed come back over the 60 days
    // after it was started, a few a day.
    std::vector<int> perDay(62);
    for (int i = 0; i < 600; ++i) {
        const std::int32_t day = firstReviewDay(u"word" + std::u16string(1, static_cast<char16_t>(0x4E00 + i)), kDec8);
        ASSERT_TRUE(day > kDec8 && day <= kDec8 + 60) << day;
        ++perDay[static_cast<std::size_t>(day - kDec8)];
    }
    for (int day = 1; day <= 60; ++day) EXPECT_LT(perDay[static_cast<std::size_t>(day)], 30) << day;

    // In the store: the words under review come first in the round and in
    // the cycle, stay remembered in the progress file, and only 忘了 lowers
    // the count.
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    store.setCycleSize(3);
    for (auto w : {u"able", u"bake", u"cake", u"dale"}) ASSERT_TRUE(store.insert(entry(w), WordList::learning));
    for (auto w : {u"old", u"older"}) ASSERT_TRUE(store.insert(entry(w), WordList::remembered));
    store.recomputeCycleEnd();
    store.setCurrentEntry(entry(u"able"));
    EXPECT_EQ(store.bringBack({u"older", u"old", u"never"}, true), 2u);
    V round;
    for (int i = 0; i < 4; ++i) {
        store.advance();
        round.push_back(text(store.currentEntry().word));
    }
    EXPECT_EQ(round, (V{u"older", u"old", u"able", u"older"}));  // a cycle of 3 from the front
    ASSERT_TRUE(store.saveProgress());
    const std::string saved = readBytes(dir.path() / kProgressFileName);
    EXPECT_EQ(headerOf(saved).rememberedCount, 2);
    EXPECT_EQ(headerOf(saved).learningCount, 4);

    store.setRemembered(entry(u"older"), true);  // 已记住: back to the remembered list only
    EXPECT_FALSE(store.underReview(u"older"));
    EXPECT_EQ(store.header().rememberedCount, 2);
    EXPECT_FALSE(store.forgetReviewed(entry(u"older")));
    EXPECT_TRUE(store.forgetReviewed(entry(u"old")));  // 忘了: a word to learn again
    EXPECT_EQ(store.header().rememberedCount, 1);
    EXPECT_EQ(rememberedWords(store), (V{u"older"}));
    EXPECT_EQ(learningWords(store), (V{u"old", u"able", u"bake", u"cake", u"dale"}));
    EXPECT_EQ(store.reviewWaiting(), 0u);
}

TEST(Review, LogLinesAndMerge)
{
    const struct {
        const char* line;
        bool readable;
        std::int64_t time;
        bool good;
        const char16_t* word;
        std::int32_t due;
    } lines[] = {
        {"2026-12-08T09:30:12Z\tgood\tabandon\t2026-12-10", true, at(kDec8, 9, 30) + 12, true, u"abandon", kDec8 + 2},
        {"1969-12-31T23:59:59Z\tagain\t生词 本\t1970-01-01", true, -1, false, u"生词 本", 0},
        {"2026-12-08T09:30:12Z\tgood\tabandon", false, 0, false, u"", 0},
        {"2026-12-08T09:30:12Z\tgood\tabandon\t2026-12-10\textra", false, 0, false, u"", 0},
        {"2026-12-08 09:30:12\tgood\tabandon\t2026-12-10", false, 0, false, u"", 0},
        {"2026-02-30T09:30:12Z\tgood\tabandon\t2026-12-10", false, 0, false, u"", 0},
        {"2026-12-08T24:00:00Z\tgood\tabandon\t2026-12-10", false, 0, false, u"", 0},
        {"2026-12-08T09:30:12Z\tGood\tabandon\t2026-12-10", false, 0, false, u"", 0},
        {"2026-12-08T09:30:12Z\tgood\t\t2026-12-10", false, 0, false, u"", 0},
        {"2026-12-08T09:30:12Z\tgood\tab\xff\t2026-12-10", false, 0, false, u"", 0},
        {"2026-12-08T09:30:12Z\tgood\tabandon\t2026-13-10", false, 0, false, u"", 0},
    };
    for (const auto& row : lines) {
        ReviewAnswer answer{};
        ASSERT_EQ(parseReviewLine(row.line, answer), row.readable) << row.line;
        if (!row.readable) continue;
        EXPECT_EQ(answer.time, row.time) << row.line;
        EXPECT_EQ(answer.recalled(), row.good) << row.line;
        EXPECT_EQ(answer.word, row.word) << row.line;
        EXPECT_EQ(answer.dueDay, row.due) << row.line;
        EXPECT_EQ(reviewLine(answer), row.line);
    }

    // Union, comments first, in the order of time, each line once; a
    // garbled line stays after the line it followed. Either way round.
    const std::string a =
        "# head\n2026-12-08T09:00:00Z\tgood\ta\t2026-12-10\n???\n2026-12-09T09:00:00Z\tgood\tb\t2026-12-11\n";
    const std::string b =
        "# head\r\n2026-12-08T10:00:00Z\tagain\tc\t2026-12-09\r\n"
        "2026-12-09T09:00:00Z\tgood\tb\t2026-12-11\r\n\r\n2026-12-08T08:00:00Z\tgood\td\t2026-12-10\r\n";
    const std::string merged =
        "# head\n2026-12-08T08:00:00Z\tgood\td\t2026-12-10\n2026-12-08T09:00:00Z\tgood\ta\t2026-12-10\n"
        "???\n2026-12-08T10:00:00Z\tagain\tc\t2026-12-09\n2026-12-09T09:00:00Z\tgood\tb\t2026-12-11\n";
    EXPECT_EQ(mergeReviewLogs(a, b), merged);
    EXPECT_EQ(mergeReviewLogs(b, a), merged);
    EXPECT_EQ(mergeReviewLogs(merged, a), merged);

    // copy: a sync program's copy to merge; log: kept out of the word lists.
    const struct {
        const char16_t* name;
        bool copy;
        bool log;
    } names[] = {
        {u"mivora-review-电脑名.txt", true, true},
        {u"mivora-review (Li's conflicted copy 2026-12-07).txt", true, true},
        {u"MIVORA-REVIEW_冲突.TXT", true, true},
        {u"mivora-review.txt", false, true},
        {u"Mivora-Review.TXT", false, true},
        {u"mivora-review.txt.tmp", false, false},
        {u"mivora-review-电脑名.txt.merged-20261208", false, false},
        {u"mivora-reviews.txt", false, false},
        {u"英语四级词汇.txt", false, false},
        {u"DAvud-电脑名.bin", false, false},
    };
    for (const auto& row : names) {
        EXPECT_EQ(isReviewLogCopyName(row.name), row.copy);
        EXPECT_EQ(isReviewLogFileName(row.name), row.log);
    }

    // The file: a garbled line and a copy from another PC are kept and
    // merged; each answer appends its line with the schedule's due date.
    TempDir dir;
    writeBytes(dir.path() / kReviewLogName, "# mine\n2026-12-01T09:00:00Z\tgood\tword\t2026-12-03\nnot an answer\n");
    writeBytes(dir.path() / u"mivora-review-PC2.txt", "2026-12-03T09:00:00Z\tgood\tword\t2026-12-14\n");
    ReviewLog log(utcDay);
    log.setDirectory(dir.path());
    log.load(kDec8);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / u"mivora-review-PC2.txt.merged-20261208"));
    EXPECT_EQ(log.dueDay(u"WORD"), kDec8 - 7 + 2 + 11);
    const ReviewAnswer good = log.answer(u"word", ReviewGrade::good, false, at(kDec8, 9, 30));
    EXPECT_EQ(good.dueDay, fsrsReplay({{kDec8 - 7, G}, {kDec8 - 5, G}, {kDec8, G}}, 0.9).dueDay());
    log.answer(u"new", ReviewGrade::again, false, at(kDec8, 9, 31));
    EXPECT_EQ(log.reviewedOn(kDec8), 1);
    EXPECT_EQ(readBytes(dir.path() / kReviewLogName),
              "# mine\n2026-12-01T09:00:00Z\tgood\tword\t2026-12-03\nnot an answer\n"
              "2026-12-03T09:00:00Z\tgood\tword\t2026-12-14\n" +
                  reviewLine(good) + "\n2026-12-08T09:31:00Z\tagain\tnew\t2026-12-09\n");
    EXPECT_EQ(log.answers().size(), 4u);
}
