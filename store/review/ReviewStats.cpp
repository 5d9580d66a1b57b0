#include "store/review/ReviewStats.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <unordered_set>

namespace {

std::int64_t floorDiv(std::int64_t value, std::int64_t by)
{
    return value / by - ((value % by != 0 && (value < 0) != (by < 0)) ? 1 : 0);
}

std::int32_t shiftedLocalDay(std::int64_t time, std::int32_t utcOffsetMinutes)
{
    return static_cast<std::int32_t>(floorDiv(time + std::int64_t{utcOffsetMinutes} * 60, 86400));
}

}  // namespace

int weekdayOf(std::int32_t days)
{
    // 1970-01-01 was a Thursday.
    const std::int64_t fromMonday = std::int64_t{days} + 3;
    return static_cast<int>(fromMonday - floorDiv(fromMonday, 7) * 7);
}

int calendarShade(int count, int busiest)
{
    if (count <= 0) return 0;
    if (busiest <= count) return kCalendarShades;
    // Rounded up, so that a single answer on a busy calendar still shows.
    const long long share = (static_cast<long long>(count) * kCalendarShades + busiest - 1) / busiest;
    return static_cast<int>(std::clamp<long long>(share, 1, kCalendarShades));
}

ReviewStats computeReviewStats(const ReviewSnapshot& snapshot)
{
    ReviewStats stats;
    stats.today = snapshot.today;
    stats.retention = snapshot.retention;
    stats.firstDay = snapshot.today - weekdayOf(snapshot.today) - (kCalendarWeeks - 1) * 7;

    const auto localDay = [&snapshot](std::int64_t time) {
        return snapshot.localDayOf ? snapshot.localDayOf(time) : shiftedLocalDay(time, snapshot.utcOffsetMinutes);
    };

    // Which answer came first on a word needs the answers in time order;
    // the log's own order settles equal times.
    std::vector<std::size_t> order(snapshot.answers.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&snapshot](std::size_t a, std::size_t b) {
        return snapshot.answers[a].time < snapshot.answers[b].time;
    });

    std::unordered_set<std::u16string> answeredBefore;
    answeredBefore.reserve(snapshot.answers.size());
    for (std::size_t index : order) {
        const ReviewAnswer& answer = snapshot.answers[index];
        const std::int32_t day = localDay(answer.time);
        const bool review = !answeredBefore.insert(answer.word).second;
        if (day >= stats.firstDay && day <= stats.today)
            ++stats.answersOnDay[static_cast<std::size_t>(day - stats.firstDay)];
        if (day == stats.today) {
            if (review)
                ++stats.reviewedToday;
            else if (answer.recalled())
                ++stats.newToday;
            if (!answer.recalled()) ++stats.forgotToday;
        }
        if (review && day <= stats.today && day > stats.today - kRecallDays) {
            ++stats.recallReviews;
            if (answer.recalled()) ++stats.recallGood;
        }
    }
    stats.busiestDay = *std::max_element(stats.answersOnDay.begin(), stats.answersOnDay.end());

    for (std::int32_t due : snapshot.dueDays) {
        const std::int64_t ahead = std::max<std::int64_t>(0, std::int64_t{due} - stats.today);
        if (ahead < kDueBars) ++stats.dueOnDay[static_cast<std::size_t>(ahead)];
    }
    return stats;
}
