// The review schedule where the clock, the file's order and a sync program
// get in the way: a clock put back, answers written out of order, and the
// other PC's log brought over this one's.
#include <gtest/gtest.h>

#include <cmath>

#include "StoreTestSupport.h"
#include "store/review/Fsrs.h"
#include "store/review/ReviewLog.h"

using namespace storetest;

namespace {

constexpr std::int32_t kDec8 = 20795;  // 2026-12-08

std::int32_t utcDay(std::int64_t seconds)
{
    return static_cast<std::int32_t>((seconds >= 0 ? seconds : seconds - 86399) / 86400);
}
std::int64_t at(std::int32_t day, int hour)
{
    return std::int64_t{day} * 86400 + hour * 3600;
}

}  // namespace

// Good on 12-08, then Good again with the clock put back: the second
// answer counts as given the same day (stability stays at Good's first
// 2.3065, the next in 3 days), never as days before the first.
TEST(ReviewReplay, AClockPutBackCountsAsTheSameDay)
{
    for (const std::int32_t back : {3, 30}) {
        SCOPED_TRACE(back);
        const FsrsCard first = fsrsAnswer({}, {kDec8, FsrsGrade::good}, 0.9);
        ASSERT_EQ(first.dueDay(), kDec8 + 2);
        const FsrsCard card = fsrsAnswer(first, {kDec8 - back, FsrsGrade::good}, 0.9);
        EXPECT_FALSE(std::isnan(card.stability));
        EXPECT_NEAR(card.stability, 2.3065, 1e-9);
        EXPECT_EQ(card.lastDay, kDec8);
        EXPECT_EQ(card.dueDay(), kDec8 + 3);

        // The same through the log: the answer given with the clock put
        // back is logged with that due date.
        TempDir dir;
        ReviewLog log(utcDay);
        log.setDirectory(dir.path());
        log.load(kDec8);
        ASSERT_EQ(log.answer(u"abandon", ReviewGrade::good, false, at(kDec8, 9)).dueDay, kDec8 + 2);
        EXPECT_EQ(log.answer(u"abandon", ReviewGrade::good, false, at(kDec8 - back, 9)).dueDay, kDec8 + 3);
    }
}

// Two PCs hold the same answers, one file in time order, the other not (a
// clock changed between two answers, a hand edit): both replay them by
// time. Good on 12-01 and on its due day 12-03 gives 2 then 11 days.
TEST(ReviewReplay, AnswersGoByTimeNotByTheirPlaceInTheFile)
{
    const std::string first = "2026-12-01T09:00:00Z\tgood\tword\t2026-12-03\n";
    const std::string second = "2026-12-03T09:00:00Z\tgood\tword\t2026-12-14\n";
    const struct {
        const char* name;
        std::string file;
    } pcs[] = {
        {"in time order", "# PC1\n" + first + second},
        {"later answer first", "# PC2\n" + second + first},
    };
    for (const auto& pc : pcs) {
        SCOPED_TRACE(pc.name);
        TempDir dir;
        writeBytes(dir.path() / kReviewLogName, pc.file);
        ReviewLog log(utcDay);
        log.setDirectory(dir.path());
        log.load(kDec8);
        EXPECT_EQ(log.dueDay(u"word"), kDec8 - 7 + 2 + 11);  // 2026-12-14
    }
}

// The sync program brings the other PC's log over this one's while the
// program runs: the union goes back into the file, so this PC's answers
// are there at the next start too.
TEST(ReviewReplay, TheUnionIsWrittenBackAfterTheOtherLogWasBrought)
{
    TempDir dir;
    const fs::path file = dir.path() / kReviewLogName;
    ReviewLog log(utcDay);
    log.setDirectory(dir.path());
    log.load(kDec8);
    log.answer(u"mine", ReviewGrade::good, false, at(kDec8, 9));
    writeBytes(file, "# PC2\n2026-12-08T10:00:00Z\tgood\ttheirs\t2026-12-10\n");

    EXPECT_TRUE(log.mergeWithDisk());
    const std::string written = readBytes(file);
    EXPECT_NE(written.find("2026-12-08T09:00:00Z\tgood\tmine\t2026-12-10\n"), std::string::npos) << written;
    EXPECT_NE(written.find("2026-12-08T10:00:00Z\tgood\ttheirs\t2026-12-10\n"), std::string::npos) << written;

    ReviewLog next(utcDay);
    next.setDirectory(dir.path());
    next.load(kDec8 + 1);
    EXPECT_TRUE(next.hasAnswers(u"mine"));
    EXPECT_TRUE(next.hasAnswers(u"theirs"));
    EXPECT_FALSE(next.mergeWithDisk());  // nothing left to bring
}
