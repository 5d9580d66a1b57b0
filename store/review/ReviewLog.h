// The review history: mivora-review.txt beside the progress file, one
// answer a line, and the schedule of remembered words replayed from it.
//
//   # comment
//   2026-12-08T09:30:12Z<TAB>good<TAB>abandon<TAB>2026-12-10
//   2026-12-08T09:31:40Z<TAB>easy<TAB>abolish<TAB>2026-12-16<TAB>before-meaning
//
// The time is UTC; the answer `again`, `good` or `easy`; the word as the
// store holds it; the local due date the answer gave; and a fifth field of
// flags, separated by commas, when there are any: `before-meaning` for an
// answer given while the meaning was still hidden, `came-back` for the
// first answer of a word remembered before the log began (a review, though
// the log holds nothing earlier). Lines of the first version have four
// fields and `good` or `again`, and an answer that needs nothing more is
// still written that way; a program of that version skips an `easy` line or
// one with flags as a line it cannot read (keeping it in the file) rather
// than taking it for another answer, and this version does the same with a
// flag it does not know. The file is the history, not a
// cache: every due date is worked out anew from the answers, so a file
// merged from two PCs gives both the same schedule. Lines that cannot be
// read are kept as they are and skipped.
//
// A remembered word without answers met in a log older than the spread of
// first reviews (remembered on a PC whose log has not come yet, or its
// line lost) has its first review worked out as for a word remembered that
// day. The day is kept, so that daily restarts do not put it off for ever:
//
//   2026-12-08T09:30:12Z<TAB>met<TAB>abandon
//
// The earliest such line of a word counts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/files/FileNames.h"
#include "store/review/Fsrs.h"

// The answers a word under review gets: 忘了, 已记住, 太简单.
enum class ReviewGrade : std::uint8_t { again, good, easy };

// One answer of the log.
struct ReviewAnswer {
    std::int64_t time; /* UTC seconds since 1970 */
    ReviewGrade grade;
    std::u16string word;
    std::int32_t dueDay; /* local day number, days since 1970-01-01 */
    // Given before the meaning showed: a real attempt to recall.
    bool beforeMeaning = false;
    // The first answer of a word remembered before the log began, given
    // when it came back due.
    bool cameBack = false;
    bool recalled() const noexcept { return grade != ReviewGrade::again; }
};

// Whether an answer tested a word that came back due: the word's first
// answer when it is flagged `came-back`, a later one on or after the due
// date the answer before it gave. (A first 忘了 from before the flag
// existed is none: the successes beside it were never told apart from
// words newly remembered, so the recall would see only the misses.) The 已记住 that relearns a word the day it was
// forgotten is no review. `previous`: the word's answer before, nullptr for none.
bool isReview(const ReviewAnswer& answer, const ReviewAnswer* previous, std::int32_t day);

// Day numbers (days since 1970-01-01) and dates of the proleptic Gregorian
// calendar.
struct CivilDate {
    int year;
    int month;  // 1-12
    int day;    // 1-31
};
std::int32_t daysFromCivil(CivilDate date);
CivilDate civilFromDays(std::int32_t days);

// The local calendar day (days since 1970-01-01) of a UTC time: the user's
// time zone in the program, a fixed one in tests.
using LocalDayOf = std::function<std::int32_t(std::int64_t utcSeconds)>;
// The C library's local time zone.
std::int32_t localDayOf(std::int64_t utcSeconds);
// Days since 1970-01-01 <-> "yyyy-mm-dd".
std::string dayText(std::int32_t day);
bool parseDayText(std::string_view text, std::int32_t& day);
// UTC seconds since 1970 <-> "yyyy-mm-ddThh:mm:ssZ", the time every line
// of the history starts with.
std::string timeText(std::int64_t seconds);
bool parseTimeText(std::string_view text, std::int64_t& seconds);

// One line of the log (without its line end), and back. False for a line
// that is no answer (a comment, an empty or garbled line).
std::string reviewLine(const ReviewAnswer& answer);
bool parseReviewLine(std::string_view line, ReviewAnswer& answer);
// The comment the program writes first: the file's version, the weights,
// and the day the log was started.
std::string reviewLogHeader(std::int32_t startDay);

// Two logs as one: every line of both, each distinct line once, comments
// first (the program's own, then the rest in byte order), then the rest in
// the order of their times (a line that cannot be read goes right after the
// line before it), equal times in byte order. Both PCs get the same bytes
// whichever merges.
std::string mergeReviewLogs(std::string_view a, std::string_view b);

// Which remembered words come back to the round today: those due on or
// before `today`, words with answers first, the longest overdue first (ties
// in list order), then the words remembered before the log the same way
// (under half the limit of them), so many that together with
// `broughtToday` (already brought back today) they are no more than
// `dailyLimit`.
struct DueWord {
    std::u16string word;
    std::int32_t dueDay;
    bool answered = true;  // false: remembered before the log, no answer yet
};
std::vector<std::u16string> wordsComingBack(std::vector<DueWord> remembered, std::int32_t today,
                                            std::int32_t broughtToday, std::int32_t dailyLimit);

// The first due day of a word remembered before the log existed: spread
// over the `spreadDays` days after `startDay` (the day the log was
// started), a few words a day, the same on every PC.
std::int32_t firstReviewDay(std::u16string_view word, std::int32_t startDay, std::int32_t spreadDays = 60);
// Over how many days the words remembered before the log come back: 60, or
// more for so many that a day's share stays near a quarter of `dailyLimit`
// (the words with answers come first, these fill what the limit leaves).
std::int32_t firstReviewSpread(std::int64_t wordsBeforeLog, std::int32_t dailyLimit);

// The log file and the schedule replayed from it. Called from the UI
// thread, also from a worker that merges the progress file: every public
// function takes the object's lock.
class ReviewLog {
public:
    explicit ReviewLog(LocalDayOf dayOf = localDayOf);

    // The folder of the progress file. Does not read anything yet.
    void setDirectory(const std::filesystem::path& directory);
    void setRetention(double retention);
    double retention() const;

    // Reads the log, merges in the sync programs' copies of it beside it
    // (which are then renamed "<name>.merged-yyyymmdd") and replays the
    // schedule. A log that cannot be read leaves an empty history; nothing
    // here fails the program. `today` starts a new log.
    void load(std::int32_t today);
    // Merges the log on disk, which a sync program may have replaced by
    // another PC's, with what this process knows, and writes the union back
    // if the disk lacks any of it, then the sync programs' copies beside it
    // as load does. True when the history changed.
    bool mergeWithDisk();
    // Merges another log's content into this one (and the file).
    bool mergeText(std::string_view otherLog);

    // Records an answer given now (`utcNow`): works out the word's new due
    // day, appends the line and flushes it. Returns the answer as logged.
    // `beforeMeaning`: given while the meaning was still hidden. A file that
    // cannot be written keeps the answer in memory, and the next write that
    // succeeds (an answer, or mergeWithDisk) writes it too.
    ReviewAnswer answer(std::u16string_view word, ReviewGrade grade, bool beforeMeaning, std::int64_t utcNow);
    // The day has changed (midnight, a clock put back): answers dated after
    // the old day may count now, or no longer. True when the schedule
    // changed.
    bool setToday(std::int32_t today);
    // Words without answers that came back to the round: their first answer
    // is a review.
    void broughtBack(const std::vector<std::u16string>& words);
    // True once when answers have waited `wait` seconds or more to be
    // written, for the user to be told; again only after a write succeeded.
    bool takeUnwrittenNotice(std::int64_t utcNow, std::int64_t wait = 300);
    // Whether answers wait to be written.
    bool unwritten() const;
    // How many words remembered before the log have had their first answer.
    std::int64_t answeredBeforeLog() const;
    // The spread of firstReviewDay for words without answers.
    void setFirstReviewSpread(std::int32_t days);

    // Which of the `remembered` words come back to the round today (the
    // day of the last load, setToday or answer), with their due days, as
    // wordsComingBack picks them: the day's reviews so far and the
    // `waiting` words already in the round count against `dailyLimit`.
    // `underReview` tells the words already in the round, which do not
    // come twice. Sets the spread of the words from before the log, and
    // notes those coming back (see broughtBack).
    // Words without answers met here for the first time in a log older
    // than the spread are kept with `utcNow`.
    std::vector<DueWord> comingBack(const std::vector<std::u16string>& remembered,
                                    const std::function<bool(std::u16string_view)>& underReview, std::int32_t waiting,
                                    std::int32_t dailyLimit, std::int64_t utcNow);
    std::int32_t today() const;

    // Appends a line of another kind the history keeps (a change of a
    // word's state, see WordActions.h) as an answer is appended; a file
    // that cannot be written keeps it in memory, for the next whole write.
    // `line` may hold several lines, separated by '\n'.
    void record(const std::string& line);
    // Every line known, as the file holds them.
    std::string text() const;

    // The parsed answers, oldest first.
    std::vector<ReviewAnswer> answers() const;
    // Whether the word has any answer; its due day (a word without answers:
    // firstReviewDay, or, in a log older than the spread, the day after a
    // first 已记住 on the day it was first asked for).
    bool hasAnswers(std::u16string_view word) const;
    std::int32_t dueDay(std::u16string_view word) const;
    // How many distinct words had a review (see isReview) on `day`: the
    // reviews done that day.
    std::int32_t reviewedOn(std::int32_t day) const;
    // False after the last write failed.
    bool writable() const;
    std::int32_t startDay() const;
    std::int32_t dayOf(std::int64_t utcSeconds) const { return dayOf_(utcSeconds); }

private:
    struct WordState {
        std::vector<std::size_t> answers;  // into answers_, by time (equal times in the log's order)
        FsrsCard card;
    };
    void rebuildLocked();
    void keepFirstMet(const std::vector<std::u16string>& remembered, std::int64_t utcNow);
    void replayLocked(WordState& state);
    bool writeWholeLocked();
    bool mergeLocked(std::string_view other);
    bool mergeCopiesLocked();
    void wroteLocked(bool ok, std::int64_t utcNow);

    LocalDayOf dayOf_;
    mutable std::mutex lock_;
    std::filesystem::path path_;
    double retention_ = kDefaultRetention;
    std::string text_;  // every line known, as the file holds them
    std::vector<ReviewAnswer> answers_;
    std::unordered_map<std::u16string, WordState> words_;  // by folded word
    std::int32_t startDay_ = 0;
    std::int32_t today_ = 0;
    std::int32_t spread_ = 60;
    bool writable_ = true;
    // Lines in text_ that the file still lacks, and since when.
    std::string pending_;
    std::int64_t pendingSince_ = 0;
    bool unwrittenTold_ = false;
    std::unordered_map<std::u16string, char> broughtBack_;  // folded words without answers
    // Words without answers met in a log older than the spread: the day
    // they were first met, from the history's met lines.
    std::unordered_map<std::u16string, std::int32_t> firstMet_;  // by folded word
};
