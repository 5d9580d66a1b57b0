// The memory schedule of remembered words: FSRS-6, the open scheduler of the
// open-spaced-repetition project, with its published default weights.
//
// A word's state is replayed from its answers alone, so two PCs holding the
// same answers agree on every due date: no random fuzz, and every figure is
// rounded to 8 decimals at the steps where the reference implementation
// rounds it, so that even a due date on the edge of two days comes out the
// same.
#pragma once

#include <cstdint>
#include <vector>

// The desired retention: the chance of recall at which a word comes back.
constexpr double kDefaultRetention = 0.90;
constexpr double kLowestRetention = 0.70;
constexpr double kHighestRetention = 0.97;
// The longest interval in days (a hundred years).
constexpr std::int32_t kLongestInterval = 36500;

// The grades of an answer. Mivora answers Again (忘了), Good (已记住) and
// Easy (太简单); Hard is only worked out, for the interval Good must exceed.
enum class FsrsGrade : std::uint8_t { again = 1, hard = 2, good = 3, easy = 4 };

// One answer: the local calendar day it was given on (days since
// 1970-01-01 in the user's time zone) and its grade.
struct FsrsAnswer {
    std::int32_t day;
    FsrsGrade grade;
};

// A word's memory after its answers so far.
struct FsrsCard {
    bool known = false;         // false before the first answer
    double stability = 0;       // days until the chance of recall falls to 90 %
    double difficulty = 0;      // 1 to 10
    std::int32_t lastDay = 0;   // day of the last answer
    std::int32_t interval = 0;  // days from the last answer to the next
    std::int32_t dueDay() const noexcept { return lastDay + interval; }
};

// Retention held to the range the schedule is meant for.
double clampRetention(double retention) noexcept;

// The card after one more answer. An answer dated before the last one (a
// clock put back) counts as given on the same day.
FsrsCard fsrsAnswer(const FsrsCard& card, FsrsAnswer answer, double retention) noexcept;

// The card after all of `answers`, oldest first.
FsrsCard fsrsReplay(const std::vector<FsrsAnswer>& answers, double retention) noexcept;

// The chance of recall `days` whole days after an answer that left
// `stability`.
double fsrsRecall(double stability, double days) noexcept;
