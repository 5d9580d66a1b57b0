// Remembered words coming back: the schedule's published figures, the rules
// of the round, and the review log's lines and merge.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

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

    // A first answer of each grade: stability w0, w2, w3; difficulty
    // w4 - e^(w5 (G-1)) + 1 held to 1 ... 10; Easy comes back in 8 days.
    const struct {
        FsrsGrade grade;
        double stability, difficulty;
        std::int32_t interval;
    } first[] = {{FsrsGrade::again, 0.212, 6.4133, 1},
                 {FsrsGrade::good, 2.3065, 2.11810397, 2},
                 {FsrsGrade::easy, 8.2956, 1.0, 8}};
    for (const auto& row : first) {
        const FsrsCard one = fsrsReplay({{kDec8, row.grade}}, 0.9);
        EXPECT_NEAR(one.stability, row.stability, 1e-8) << static_cast<int>(row.grade);
        EXPECT_NEAR(one.difficulty, row.difficulty, 1e-8) << static_cast<int>(row.grade);
        EXPECT_EQ(one.interval, row.interval) << static_cast<int>(row.grade);
    }

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
    EXPECT_EQ(log.reviewedOn(kDec8), 0);  // answered before the due date PC2 gave: no review
    EXPECT_EQ(readBytes(dir.path() / kReviewLogName),
              "# mine\n2026-12-01T09:00:00Z\tgood\tword\t2026-12-03\nnot an answer\n"
              "2026-12-03T09:00:00Z\tgood\tword\t2026-12-14\n" +
                  reviewLine(good) + "\n2026-12-08T09:31:00Z\tagain\tnew\t2026-12-09\n");
    EXPECT_EQ(log.answers().size(), 4u);
}

namespace {

// Words as the steps show them, one at a time.
std::string steps(WordGet& store, int count)
{
    std::string shown;
    for (int i = 0; i < count; ++i) {
        store.advance();
        for (char16_t c : text(store.currentEntry().word)) shown.push_back(static_cast<char>(c));
        shown.push_back(' ');
    }
    shown.pop_back();
    return shown;
}

void fillStore(WordGet& store, std::initializer_list<const char16_t*> learning,
               std::initializer_list<const char16_t*> remembered)
{
    store.setCycleSize(15);
    for (auto w : learning) store.insert(entry(w), WordList::learning);
    for (auto w : remembered) store.insert(entry(w), WordList::remembered);
    store.recomputeCycleEnd();
    store.setCurrentEntry(entry(*learning.begin()));
}

std::u16string numbered(const char16_t* stem, int i)
{
    return stem + std::u16string(1, static_cast<char16_t>(u'A' + i / 26)) + static_cast<char16_t>(u'a' + i % 26);
}

// A start of the program on `today`: the log loaded and what comes back.
std::vector<DueWord> startOn(const std::filesystem::path& dir, std::int32_t today,
                             const std::vector<std::u16string>& remembered, ReviewLog& log)
{
    log.setDirectory(dir);
    log.load(today);
    return log.comingBack(
        remembered, [](std::u16string_view) { return false; }, 0, 20, at(today, 9));
}

struct Scenario {
    const char* name;
    std::function<std::string()> run;
    std::string expected;
};

}  // namespace

TEST(Review, DueWordsThatShow)
{
    const Scenario rows[] = {
        {"brought into a running round, with the shown word past its new end: the next step shows the first",
         [] {
             WordGet store;
             store.setCycleSize(15);
             for (int i = 0; i < 30; ++i) store.insert(entry(numbered(u"w", i)), WordList::learning);
             for (auto w : {u"d1", u"d2"}) store.insert(entry(w), WordList::remembered);
             store.recomputeCycleEnd();
             store.setCurrentEntry(entry(numbered(u"w", 14)));
             store.bringBack(std::vector<DueWord>{{u"d2", kDec8}, {u"d1", kDec8 - 1}}, false);
             return steps(store, 3);
         },
         "d1 d2 wAa"},
        {"at midnight the new day's words stand among yesterday's unanswered, oldest due first",
         [] {
             WordGet store;
             fillStore(store, {u"a", u"b"}, {u"y1", u"y2", u"n1", u"n2"});
             store.bringBack(std::vector<DueWord>{{u"y1", kDec8 - 3}, {u"y2", kDec8 - 1}}, true);
             store.bringBack(std::vector<DueWord>{{u"n1", kDec8 - 2}, {u"n2", kDec8}}, false);
             return steps(store, 5);
         },
         "y1 n1 y2 n2 a"},
        {"a word shown in two passes without an answer leaves for the day, still remembered",
         [] {
             WordGet store;
             fillStore(store, {u"a", u"b"}, {u"r"});
             store.bringBack(std::vector<DueWord>{{u"r", kDec8}}, false);
             std::string out = steps(store, 7);
             out += " | " + std::to_string(store.underReview(u"r")) + std::to_string(rememberedWords(store).size());
             out += std::to_string(store.bringBack(std::vector<DueWord>{{u"r", kDec8}}, false));
             store.newReviewDay();
             return out + std::to_string(store.bringBack(std::vector<DueWord>{{u"r", kDec8 + 1}}, false));
         },
         "r a b r a b a | 0101"},
        {"已记住 on the last word: it stays remembered, in no list a second 已记住 would act on",
         [] {
             WordGet store;
             fillStore(store, {u"a"}, {u"x"});
             store.setRemembered(entry(u"a"), true);
             store.bringBack(std::vector<DueWord>{{u"x", kDec8}}, false);
             std::string out = steps(store, 1);
             store.setRemembered(entry(u"x"), true);
             return out + " " + std::to_string(store.inList(u"x", WordList::learning)) +
                    std::to_string(store.underReview(u"x")) + std::to_string(store.inList(u"x", WordList::remembered));
         },
         "x 001"},
        {"the day's limit across two restarts, words from before the log included, words with answers first",
         [] {
             TempDir dir;
             // Ten words answered two days ago (due today), twenty from
             // before the log (started 60 days ago: all due by today).
             std::string file = reviewLogHeader(kDec8 - 60) + '\n';
             std::vector<std::u16string> remembered;
             for (int i = 0; i < 10; ++i) {
                 remembered.push_back(numbered(u"w", i));
                 file +=
                     "2026-12-06T09:00:00Z\tgood\twA" + std::string(1, static_cast<char>('a' + i)) + "\t2026-12-08\n";
             }
             for (int i = 0; i < 20; ++i) remembered.push_back(numbered(u"p", i));
             writeBytes(dir.path() / kReviewLogName, file);
             std::string out;
             {
                 ReviewLog log(utcDay);
                 const std::vector<DueWord> first = startOn(dir.path(), kDec8, remembered, log);
                 int answeredFirst = 0;
                 for (std::size_t i = 0; i < first.size() && i < 10; ++i) answeredFirst += first[i].word[0] == u'w';
                 out += std::to_string(first.size()) + "/" + std::to_string(answeredFirst);
                 if (first.size() < 15) return out;
                 // Five of each answered, then the program ends.
                 for (int i : {0, 1, 2, 3, 4, 10, 11, 12, 13, 14})
                     log.answer(first[static_cast<std::size_t>(i)].word, ReviewGrade::good, true, at(kDec8, 10, i));
             }
             for (int start = 0; start < 2; ++start) {
                 ReviewLog log(utcDay);
                 const std::vector<DueWord> again = startOn(dir.path(), kDec8, remembered, log);
                 out += " " + std::to_string(again.size()) + "/" + std::to_string(log.reviewedOn(kDec8));
                 for (std::size_t i = 0; i < again.size(); ++i)
                     log.answer(again[i].word, ReviewGrade::again, false, at(kDec8, 11, static_cast<int>(i)));
             }
             return out;
         },
         "19/10 10/10 0/20"},
        {"a backlog from before the log: spread over more days the more there are, under half the limit a day",
         [] {
             std::string out;
             for (int words : {100, 1000, 3000}) out += std::to_string(firstReviewSpread(words, 20)) + " ";
             std::vector<DueWord> due{{u"a1", kDec8, true}, {u"a2", kDec8 - 1, true}, {u"a3", kDec8, true}};
             for (int i = 0; i < 100; ++i) due.push_back({numbered(u"p", i), kDec8 - 50 + i % 40, false});
             const V coming = wordsComingBack(due, kDec8, 0, 20);
             return out + std::to_string(coming.size()) + " " + std::string(coming[0].begin(), coming[0].end()) +
                    std::to_string(coming[3] == u"pAa");
         },
         "60 200 600 12 a21"},
        {"a word without answers in a log older than 60 days: due as if remembered the day it was met, on every "
         "start after, on the other PC too, and an answer arriving later decides",
         [] {
             TempDir dir, other;
             writeBytes(dir.path() / kReviewLogName, reviewLogHeader(kDec8 - 100) + '\n');
             std::string out;
             // Met on the 8th, started again daily: the due day stays.
             for (int day : {0, 1, 2, 3}) {
                 ReviewLog log(utcDay);
                 const std::vector<DueWord> due = startOn(dir.path(), kDec8 + day, {u"ghost", u"Two"}, log);
                 out += std::to_string(log.dueDay(u"ghost") - kDec8) + std::to_string(due.size()) + " ";
             }
             // The other PC met one of them a day later, before the logs
             // met: the earlier day counts on both.
             writeBytes(other.path() / kReviewLogName, reviewLogHeader(kDec8 - 100) + '\n' +
                                                           "2026-12-09T08:00:00Z\tmet\ttwo\n"
                                                           "2026-12-09T08:00:00Z\tmet\tthree\n"
                                                           "2026-11-01T08:00:00Z\tgood\tghost\t2026-11-03\n");
             ReviewLog log(utcDay);
             startOn(dir.path(), kDec8 + 3, {}, log);
             log.mergeText(readBytes(other.path() / kReviewLogName));
             return out + std::to_string(log.dueDay(u"two") - kDec8) + std::to_string(log.dueDay(u"THREE") - kDec8) +
                    " " + std::to_string(log.dueDay(u"ghost") - kDec8);
         },
         "20 20 22 22 23 -35"},
    };
    for (const Scenario& row : rows) EXPECT_EQ(row.run(), row.expected) << row.name;
}

TEST(Review, EveryAnswerCountedOnce)
{
    const std::string header = "# mivora-review 1; started 2026-10-01\n";
    const Scenario rows[] = {
        {"a log saved by Notepad with a byte-order mark keeps its first line",
         [&header] {
             std::string out;
             for (const std::string& first : {header, std::string("2026-12-01T09:00:00Z\tgood\tword\t2026-12-03\n")}) {
                 TempDir dir;
                 writeBytes(dir.path() / kReviewLogName,
                            "\xEF\xBB\xBF" + first + "2026-12-05T09:00:00Z\tgood\tword\t2026-12-16\n");
                 ReviewLog log(utcDay);
                 log.setDirectory(dir.path());
                 log.load(kDec8);
                 out += dayText(log.startDay()) + " " + std::to_string(log.answers().size()) + "; ";
             }
             return out;
         },
         "2026-10-01 1; 2026-12-01 2; "},
        {"answers the held file refused are written with the next answer, and told once after a while",
         [] {
             TempDir dir;
             const auto file = dir.path() / kReviewLogName;
             ReviewLog log(utcDay);
             log.setDirectory(dir.path());
             log.load(kDec8);
             // Held: the file is away, a folder of its name stands there.
             std::filesystem::rename(file, dir.path() / "away");
             std::filesystem::create_directory(file);
             log.answer(u"lost", ReviewGrade::good, false, at(kDec8, 9));
             std::string out = std::to_string(log.unwritten());
             for (int minute : {4, 5, 9}) out += std::to_string(log.takeUnwrittenNotice(at(kDec8, 9, minute)));
             std::filesystem::remove(file);
             std::filesystem::rename(dir.path() / "away", file);
             log.answer(u"next", ReviewGrade::easy, false, at(kDec8, 9, 10));
             const std::string written = readBytes(file);
             return out + " " + std::to_string(log.unwritten()) +
                    std::to_string(written.find("\tlost\t") != std::string::npos) +
                    std::to_string(written.find("\teasy\tnext\t") != std::string::npos);
         },
         "1010 011"},
        {"... or at the next look at the files, without another answer",
         [] {
             TempDir dir;
             const auto file = dir.path() / kReviewLogName;
             ReviewLog log(utcDay);
             log.setDirectory(dir.path());
             log.load(kDec8);
             std::filesystem::rename(file, dir.path() / "away");
             std::filesystem::create_directory(file);
             log.answer(u"lost", ReviewGrade::again, true, at(kDec8, 9));
             std::string out = std::to_string(log.mergeWithDisk());
             std::filesystem::remove(file);
             std::filesystem::rename(dir.path() / "away", file);
             out += std::to_string(log.mergeWithDisk());
             return out + std::to_string(log.unwritten()) +
                    std::to_string(readBytes(file).find("\tagain\tlost\t2026-12-09\tbefore-meaning\n") !=
                                   std::string::npos);
         },
         "0001"},
        {"two logs merged either way round give the same bytes",
         [] {
             // Comments in another order, an unreadable line after an answer
             // of the same second as an answer of the other log, a line of
             // a kind this version does not read.
             const std::string a =
                 "# mine\n# mivora-review 1; started 2026-12-01\n2026-12-08T09:00:00Z\tgood\ta\t2026-12-10\n"
                 "!garbled\n";
             const std::string b =
                 "# mivora-review 1; started 2026-12-01\n# other\n2026-12-08T09:00:00Z\tagain\tb\t2026-12-09\n"
                 "2026-12-08T08:00:00Z\tforget\tc\n";
             const std::string ab = mergeReviewLogs(a, b);
             return ab == mergeReviewLogs(b, a) ? ab : "differ:\n" + ab + "--\n" + mergeReviewLogs(b, a);
         },
         "# mivora-review 1; started 2026-12-01\n# mine\n# other\n2026-12-08T08:00:00Z\tforget\tc\n"
         "2026-12-08T09:00:00Z\tagain\tb\t2026-12-09\n2026-12-08T09:00:00Z\tgood\ta\t2026-12-10\n!garbled\n"},
        {"an answer dated 2036 does not keep its word away past the answers given since",
         [&header] {
             TempDir dir;
             writeBytes(dir.path() / kReviewLogName, header + "2036-01-01T09:00:00Z\tgood\tword\t2036-01-12\n"
                                                              "2026-12-06T09:00:00Z\tgood\tword\t2026-12-08\n");
             ReviewLog log(utcDay);
             log.setDirectory(dir.path());
             log.load(kDec8);
             const std::int32_t before = log.dueDay(u"word") - kDec8;
             // Good on the due day after a first Good: 11 days.
             return std::to_string(before) + " " +
                    std::to_string(log.answer(u"word", ReviewGrade::good, false, at(kDec8, 9)).dueDay - kDec8);
         },
         "0 11"},
        {"with the clock put back, the due date while running is the one after a restart",
         [&header] {
             TempDir dir;
             writeBytes(dir.path() / kReviewLogName, header + "2026-12-06T09:00:00Z\tgood\tword\t2026-12-08\n"
                                                              "2026-12-08T15:00:00Z\tgood\tword\t2026-12-19\n");
             ReviewLog log(utcDay);
             log.setDirectory(dir.path());
             log.load(kDec8);
             const std::int32_t running = log.answer(u"word", ReviewGrade::again, false, at(kDec8, 9)).dueDay;
             ReviewLog restarted(utcDay);
             restarted.setDirectory(dir.path());
             restarted.load(kDec8);
             return running == restarted.dueDay(u"word") ? std::string("same") : "differ " + std::to_string(running);
         },
         "same"},
    };
    for (const Scenario& row : rows) EXPECT_EQ(row.run(), row.expected) << row.name;

    // The grades and the flags of a line; an older program's reading of
    // them is none (it knows four fields of good or again only).
    const struct {
        const char* line;
        bool readable;
        ReviewGrade grade;
        bool beforeMeaning, cameBack;
    } lines[] = {
        {"2026-12-08T09:30:12Z\teasy\tabandon\t2026-12-16", true, ReviewGrade::easy, false, false},
        {"2026-12-08T09:30:12Z\tgood\tabandon\t2026-12-10\tbefore-meaning", true, ReviewGrade::good, true, false},
        {"2026-12-08T09:30:12Z\tagain\tabandon\t2026-12-09\tbefore-meaning,came-back", true, ReviewGrade::again, true,
         true},
        {"2026-12-08T09:30:12Z\tgood\tabandon\t2026-12-10\tcame-back,came-back", false, {}, false, false},
        {"2026-12-08T09:30:12Z\tgood\tabandon\t2026-12-10\tbefore-meaning,", false, {}, false, false},
        {"2026-12-08T09:30:12Z\tgood\tabandon\t2026-12-10\tsomething-new", false, {}, false, false},
        {"2026-12-08T09:30:12Z\thard\tabandon\t2026-12-10", false, {}, false, false},
    };
    for (const auto& row : lines) {
        ReviewAnswer answer{};
        ASSERT_EQ(parseReviewLine(row.line, answer), row.readable) << row.line;
        if (!row.readable) continue;
        EXPECT_EQ(answer.grade, row.grade) << row.line;
        EXPECT_EQ(answer.beforeMeaning, row.beforeMeaning) << row.line;
        EXPECT_EQ(answer.cameBack, row.cameBack) << row.line;
        EXPECT_EQ(reviewLine(answer), row.line);
    }
}
