// What the statistics page shows, worked out from a snapshot of the review
// history: the answers of each day of the last half year, how many words
// fall due on each of the next 30 days, today's figures and how well the
// reviews of the last 30 days were recalled.
//
// Kinds of answer, as the page counts them:
// - An answer is a review when the log holds an earlier answer on the same
//   word (by time; equal times keep the log's order). A word's first answer
//   in the log is not a review: it is how the word was first remembered.
// - 新记住 today: first answers given today that are 已记住 (good).
// - 复习 today: reviews given today, good or not.
// - 忘了 today: every 忘了 (again) given today. 忘了 is only offered on a
//   word that came back for review, so it is one even when it is the word's
//   first answer in the log (a word remembered before the log began); such
//   an answer counts here but not in 复习 nor in the recall, which would
//   otherwise see that word's misses and never its successes.
// - Recall of the last 30 days (today and the 29 days before): the share of
//   good among the reviews given then.
// Days are local days, numbered from 1970-01-01; a week begins on Monday.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "store/review/ReviewLog.h"

constexpr int kCalendarWeeks = 26;
constexpr int kCalendarDays = kCalendarWeeks * 7;
constexpr int kDueBars = 30;
constexpr int kRecallDays = 30;
constexpr int kCalendarShades = 4;  // shades of a day with answers; 0 is none

// The review history as the program holds it at one moment, taken on the UI
// thread and worked on by value.
struct ReviewSnapshot {
    std::vector<ReviewAnswer> answers;  // any order
    // The due day of every remembered word (one entry a word).
    std::vector<std::int32_t> dueDays;
    std::int32_t today = 0;
    // The local day of a UTC time. When empty, the time shifted by
    // utcOffsetMinutes (east of UTC positive), which is exact where the
    // clocks never change, as in China.
    std::function<std::int32_t(std::int64_t)> localDayOf;
    std::int32_t utcOffsetMinutes = 0;
    double retention = 0.9;  // the target the schedule aims at
};

struct ReviewStats {
    std::int32_t today = 0;
    // The Monday that opens the calendar's first week; cell i is day
    // firstDay + i (week i / 7, weekday i % 7). The last week is today's,
    // whose cells after today stay 0.
    std::int32_t firstDay = 0;
    std::array<int, kCalendarDays> answersOnDay{};
    int busiestDay = 0;  // the most answers of one day of the calendar
    // Words due on today + i; words overdue count on today, words due after
    // the last bar nowhere.
    std::array<int, kDueBars> dueOnDay{};
    int newToday = 0;
    int reviewedToday = 0;
    int forgotToday = 0;
    int recallReviews = 0;  // reviews of the last 30 days
    int recallGood = 0;     // of which good
    double retention = 0.9;
};

ReviewStats computeReviewStats(const ReviewSnapshot& snapshot);

// The shade (1 to kCalendarShades) of a day of `count` answers, by its
// share of the busiest day's `busiest`; 0 for a day without answers.
int calendarShade(int count, int busiest);

// 0 for Monday to 6 for Sunday.
int weekdayOf(std::int32_t days);
