// The statistics page's figures from a review history, worked out by hand:
// which calendar cell each answer lands in (by the local day, in weeks from
// Monday), the due bars with the overdue words on today, today's 新记住,
// 复习 and 忘了, and the recall of the last 30 days.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "store/review/ReviewStats.h"

namespace {

struct StatsRow {
    const char* what;
    std::int32_t today;
    // The local clock's offset from UTC, in which the answers' times are
    // written. With `dayFunction` the snapshot gets it as its local-day
    // function and a wrong offset beside it, which must not be used.
    int offsetMinutes;
    bool dayFunction;
    // "<days from today> <HH:MM local> good|again <word>", in no order.
    std::vector<const char*> answers;
    std::vector<int> dueFromToday;
    std::int32_t firstDay;
    std::map<int, int> cells;  // calendar index -> answers; every other cell 0
    int busiest;
    std::map<int, int> bars;  // bar -> words; every other bar 0
    int newToday, reviewedToday, forgotToday;
    int recallReviews, recallGood;
};

std::int64_t floorDays(std::int64_t seconds)
{
    return seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
}

ReviewSnapshot snapshotOf(const StatsRow& row)
{
    ReviewSnapshot snapshot;
    snapshot.today = row.today;
    snapshot.retention = 0.85;
    snapshot.utcOffsetMinutes = row.offsetMinutes;
    if (row.dayFunction) {
        const int offset = row.offsetMinutes;
        snapshot.localDayOf = [offset](std::int64_t time) {
            return static_cast<std::int32_t>(floorDays(time + offset * 60));
        };
        snapshot.utcOffsetMinutes = 480;
    }
    for (const char* text : row.answers) {
        int days = 0, hours = 0, minutes = 0;
        char kind[8] = {}, word[32] = {};
        EXPECT_EQ(std::sscanf(text, "%d %d:%d %7s %31s", &days, &hours, &minutes, kind, word), 5) << text;
        const std::int64_t local = (std::int64_t{row.today} + days) * 86400 + hours * 3600 + minutes * 60;
        const std::string name = word;
        snapshot.answers.push_back({local - row.offsetMinutes * 60,
                                    std::string(kind) == "good" ? ReviewGrade::good : ReviewGrade::again,
                                    std::u16string(name.begin(), name.end()), 0});
    }
    for (int due : row.dueFromToday) snapshot.dueDays.push_back(row.today + due);
    return snapshot;
}

// 2026-12-08 is day 20795, a Tuesday; 2026-12-07 a Monday, 2026-12-13 a
// Sunday. The calendar of all three opens on Monday 2026-06-15, day 20619.
const StatsRow kRows[] = {
    {"Beijing time: first answers, reviews, a 忘了 without an earlier answer, the edges of the windows",
     20795,
     480,
     false,
     {"0 12:00 good cat",      // review of cat, today
      "0 00:30 good apple",    // 16:30 UTC yesterday, but today here: review
      "-10 09:00 good apple",  // apple's first answer
      "0 08:00 good bear",     // 新记住
      "-40 10:00 good cat",    // cat's first answer
      "-5 21:00 again cat",    // review, forgotten
      "0 23:59 again dog",     // 忘了 on a word the log has never seen
      "-200 10:00 good egg",   // before the calendar
      "-30 10:00 good egg",    // review, a day before the recall window
      "-29 10:00 again egg"},  // review, the window's first day
     {-3, 0, 1, 1, 29, 30, 400},
     20619,
     {{176, 4}, {171, 1}, {166, 1}, {147, 1}, {146, 1}, {136, 1}},
     4,
     {{0, 2}, {1, 2}, {29, 1}},
     1,
     2,
     1,
     4,
     2},
    {"a local-day function west of UTC; two answers at the same second keep the log's order",
     20794,
     -300,
     true,
     {"-1 20:00 good x",   // 01:00 UTC today, yesterday here
      "0 05:00 again x",   // review, forgotten
      "0 07:00 good y",    // y's first answer
      "0 07:00 again y"},  // same second, after it: a review
     {},
     20619,
     {{174, 1}, {175, 3}},
     3,
     {},
     1,
     2,
     2,
     2,
     0},
    {"nothing yet, today a Sunday: the last cell is today", 20800, 480, false, {}, {}, 20619, {}, 0, {}, 0, 0, 0, 0, 0},
};

}  // namespace

TEST(ReviewStats, CountsEachRowAsWorkedOutByHand)
{
    for (const StatsRow& row : kRows) {
        SCOPED_TRACE(row.what);
        const ReviewStats stats = computeReviewStats(snapshotOf(row));
        EXPECT_EQ(stats.today, row.today);
        EXPECT_EQ(stats.firstDay, row.firstDay);
        for (int i = 0; i < kCalendarDays; ++i) {
            const auto expected = row.cells.find(i);
            EXPECT_EQ(stats.answersOnDay[i], expected == row.cells.end() ? 0 : expected->second) << "cell " << i;
        }
        EXPECT_EQ(stats.busiestDay, row.busiest);
        for (int i = 0; i < kDueBars; ++i) {
            const auto expected = row.bars.find(i);
            EXPECT_EQ(stats.dueOnDay[i], expected == row.bars.end() ? 0 : expected->second) << "bar " << i;
        }
        EXPECT_EQ(stats.newToday, row.newToday);
        EXPECT_EQ(stats.reviewedToday, row.reviewedToday);
        EXPECT_EQ(stats.forgotToday, row.forgotToday);
        EXPECT_EQ(stats.recallReviews, row.recallReviews);
        EXPECT_EQ(stats.recallGood, row.recallGood);
        EXPECT_EQ(stats.retention, 0.85);
    }

    // The calendar's shades and the dates of its month labels.
    const struct {
        int count, busiest, shade;
    } shades[] = {{0, 10, 0}, {1, 10, 1}, {3, 10, 2}, {5, 10, 2}, {6, 10, 3}, {8, 10, 4}, {10, 10, 4}, {1, 1, 4}};
    for (const auto& s : shades) EXPECT_EQ(calendarShade(s.count, s.busiest), s.shade) << s.count << "/" << s.busiest;
    const struct {
        CivilDate date;
        std::int32_t days;
        int weekday;
    } dates[] = {
        {{2026, 12, 8}, 20795, 1}, {{2024, 2, 29}, 19782, 3}, {{2000, 3, 1}, 11017, 2}, {{1969, 12, 31}, -1, 2}};
    for (const auto& d : dates) {
        EXPECT_EQ(daysFromCivil(d.date), d.days) << d.days;
        const CivilDate back = civilFromDays(d.days);
        EXPECT_EQ(back.year * 10000 + back.month * 100 + back.day,
                  d.date.year * 10000 + d.date.month * 100 + d.date.day);
        EXPECT_EQ(weekdayOf(d.days), d.weekday) << d.days;
    }
}
