#include "store/review/Fsrs.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kWeights[21] = {0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194, 0.001,  1.8722, 0.1666, 0.796,
                                 1.4835, 0.0614, 0.2629, 1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};
constexpr double kLowestStability = 0.001;

enum Grade { again = 1, hard = 2, good = 3, easy = 4 };

// Half-way cases go up, as JavaScript's Math.round does: the reference
// implementation rounds its figures this way, and matching it keeps the due
// dates equal to the last day.
double round8(double value) noexcept
{
    return std::floor(value * 1e8 + 0.5) / 1e8;
}

double decay() noexcept
{
    return -kWeights[20];
}

double factor() noexcept
{
    return round8(std::pow(0.9, 1 / decay()) - 1);
}

double initialStability(Grade grade) noexcept
{
    return std::max(kWeights[grade - 1], 0.1);
}

double initialDifficulty(Grade grade) noexcept
{
    return round8(kWeights[4] - std::exp((grade - 1) * kWeights[5]) + 1);
}

double nextDifficulty(double d, Grade grade) noexcept
{
    const double delta = -kWeights[6] * (grade - 3);
    const double damped = d + round8(delta * (10 - d) / 9);
    const double reverted = round8(kWeights[7] * initialDifficulty(easy) + (1 - kWeights[7]) * damped);
    return std::clamp(reverted, 1.0, 10.0);
}

double nextStability(double s, double d, std::int32_t days, double recall, Grade grade) noexcept
{
    const double* w = kWeights;
    if (days == 0) {
        // A second look on the same day moves stability a little, and a
        // recall never lowers it.
        const double growth = std::pow(s, -w[19]) * std::exp(w[17] * (grade - 3 + w[18]));
        return round8(std::clamp(s * (grade >= hard ? std::max(growth, 1.0) : growth), kLowestStability, 36500.0));
    }
    if (grade == again) {
        const double forgotten = round8(
            std::clamp(w[11] * std::pow(d, -w[12]) * (std::pow(s + 1, w[13]) - 1) * std::exp((1 - recall) * w[14]),
                       kLowestStability, 36500.0));
        return std::clamp(round8(s / std::exp(w[17] * w[18])), kLowestStability, forgotten);
    }
    const double penalty = grade == hard ? w[15] : 1;
    const double bonus = grade == easy ? w[16] : 1;
    return round8(std::clamp(s * (1 + std::exp(w[8]) * (11 - d) * std::pow(s, -w[9]) *
                                          (std::exp((1 - recall) * w[10]) - 1) * penalty * bonus),
                             kLowestStability, 36500.0));
}

std::int32_t intervalOf(double stability, double retention) noexcept
{
    const double modifier = round8((std::pow(retention, 1 / decay()) - 1) / factor());
    const double days = std::floor(stability * modifier + 0.5);
    return static_cast<std::int32_t>(std::clamp(days, 1.0, static_cast<double>(kLongestInterval)));
}

}  // namespace

double clampRetention(double retention) noexcept
{
    if (!(retention >= kLowestRetention)) return retention > kHighestRetention ? kHighestRetention : kLowestRetention;
    return std::min(retention, kHighestRetention);
}

double fsrsRecall(double stability, double days) noexcept
{
    return round8(std::pow(1 + factor() * days / stability, decay()));
}

FsrsCard fsrsAnswer(const FsrsCard& card, FsrsAnswer answer, double retention) noexcept
{
    retention = clampRetention(retention);
    const Grade grade = static_cast<Grade>(answer.grade);
    FsrsCard next;
    next.known = true;
    if (!card.known) {
        next.stability = initialStability(grade);
        next.difficulty = std::clamp(initialDifficulty(grade), 1.0, 10.0);
        next.lastDay = answer.day;
        next.interval = intervalOf(next.stability, retention);
        return next;
    }
    const std::int32_t days = std::max(answer.day - card.lastDay, 0);
    const double recall = fsrsRecall(card.stability, days);
    const auto stabilityAfter = [&](Grade g) {
        return nextStability(card.stability, card.difficulty, days, recall, g);
    };
    next.stability = stabilityAfter(grade);
    next.difficulty = nextDifficulty(card.difficulty, grade);
    next.lastDay = std::max(answer.day, card.lastDay);
    if (grade == again) {
        next.interval = intervalOf(next.stability, retention);
    } else {
        // Hard, Good and Easy stay at least a day apart: Good is never
        // sooner than a day after Hard, Easy than a day after Good.
        const std::int32_t goodAlone = intervalOf(grade == good ? next.stability : stabilityAfter(good), retention);
        const std::int32_t hardDays = std::min(intervalOf(stabilityAfter(hard), retention), goodAlone);
        const std::int32_t goodDays = std::max(goodAlone, hardDays + 1);
        next.interval = grade == easy ? std::max(intervalOf(next.stability, retention), goodDays + 1) : goodDays;
    }
    return next;
}

FsrsCard fsrsReplay(const std::vector<FsrsAnswer>& answers, double retention) noexcept
{
    FsrsCard card;
    for (const FsrsAnswer& answer : answers) card = fsrsAnswer(card, answer, retention);
    return card;
}
