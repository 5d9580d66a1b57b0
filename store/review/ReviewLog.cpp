#include "store/review/ReviewLog.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <system_error>
#include <tuple>
#include <unordered_set>

#include "store/files/FileReplace.h"
#include "store/files/FileStamp.h"
#include "store/lists/WordEntry.h"
#include "store/text/Text.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kFirstReviewSpread = 60;
constexpr char kStartedMark[] = "started ";
constexpr char16_t kMergedSuffix[] = u".merged-";
// By ReviewGrade.
constexpr const char* kGradeNames[] = {"again", "good", "easy"};
constexpr char kBeforeMeaning[] = "before-meaning";
constexpr char kCameBack[] = "came-back";
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// `count` decimal digits at `at`.
bool digits(std::string_view text, std::size_t at, std::size_t count, unsigned& value)
{
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

bool parseDate(std::string_view text, std::int64_t& day)
{
    unsigned y, m, d;
    if (text.size() < 10 || !digits(text, 0, 4, y) || text[4] != '-' || !digits(text, 5, 2, m) || text[7] != '-' ||
        !digits(text, 8, 2, d) || m < 1 || m > 12 || d < 1)
        return false;
    day = daysFromCivil({static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)});
    const CivilDate back = civilFromDays(static_cast<std::int32_t>(day));
    return back.month == static_cast<int>(m) && back.day == static_cast<int>(d);  // no 31 April
}

}  // namespace

bool parseTimeText(std::string_view text, std::int64_t& seconds)
{
    std::int64_t day;
    unsigned h, mi, s;
    if (text.size() != 20 || !parseDate(text, day) || text[10] != 'T' || !digits(text, 11, 2, h) || text[13] != ':' ||
        !digits(text, 14, 2, mi) || text[16] != ':' || !digits(text, 17, 2, s) || text[19] != 'Z' || h > 23 ||
        mi > 59 || s > 60)
        return false;
    seconds = day * kSecondsPerDay + h * 3600 + mi * 60 + s;
    return true;
}

std::string timeText(std::int64_t seconds)
{
    const std::int64_t day = floorDiv(seconds, kSecondsPerDay);
    const std::int64_t rest = seconds - day * kSecondsPerDay;
    char text[40];
    std::snprintf(text, sizeof text, "%sT%02d:%02d:%02dZ", dayText(static_cast<std::int32_t>(day)).c_str(),
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

namespace {

// The lines of a text, without their line ends; empty lines left out.
std::vector<std::string_view> linesOf(std::string_view text)
{
    // Notepad saves UTF-8 with a byte-order mark, which would garble the
    // first line.
    if (text.substr(0, 3) == kUtf8Mark) text.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) lines.push_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

bool readText(const std::filesystem::path& path, std::string& text)
{
    UniqueFile file{openFile(path, "rb")};
    if (!file) return false;
    text.clear();
    char buffer[1 << 14];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, got);
    if (text.compare(0, 3, kUtf8Mark) == 0) text.erase(0, 3);
    return !std::ferror(file.get());
}

constexpr char kMetKind[] = "\tmet\t";

std::string metLine(std::int64_t time, std::u16string_view word)
{
    std::string text;
    encodeUtf8(word, text);
    return timeText(time) + kMetKind + text;
}

bool parseMetLine(std::string_view line, std::int64_t& time, std::u16string& word)
{
    constexpr std::size_t kind = sizeof kMetKind - 1;
    if (line.size() <= 20 + kind || line.substr(20, kind) != kMetKind || !parseTimeText(line.substr(0, 20), time))
        return false;
    const std::string_view text = line.substr(20 + kind);
    return text.find('\t') == std::string_view::npos && decodeUtf8(text, word) && word.size() < kWordUnits;
}

FsrsGrade fsrsGrade(ReviewGrade grade)
{
    return grade == ReviewGrade::easy   ? FsrsGrade::easy
           : grade == ReviewGrade::good ? FsrsGrade::good
                                        : FsrsGrade::again;
}

std::int32_t clampDay(std::int64_t day)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(day, INT32_MIN, INT32_MAX));
}

}  // namespace

std::int32_t daysFromCivil(CivilDate date)
{
    // Years counted from March, so that the leap day ends a year.
    const int year = date.year - (date.month <= 2 ? 1 : 0);
    const int era = static_cast<int>(floorDiv(year, 400));
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civilFromDays(std::int32_t days)
{
    const std::int64_t z = std::int64_t{days} + 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const int dayOfEra = static_cast<int>(z - era * 146097);
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const int month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const int year = static_cast<int>(yearOfEra + era * 400) + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

std::int32_t localDayOf(std::int64_t utcSeconds)
{
    const std::time_t time = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &time) != 0) return clampDay(floorDiv(utcSeconds, kSecondsPerDay));
#else
    if (localtime_r(&time, &local) == nullptr) return clampDay(floorDiv(utcSeconds, kSecondsPerDay));
#endif
    return daysFromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
}

std::string dayText(std::int32_t day)
{
    const CivilDate date = civilFromDays(day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

bool parseDayText(std::string_view text, std::int32_t& day)
{
    std::int64_t value;
    if (text.size() != 10 || !parseDate(text, value)) return false;
    day = clampDay(value);
    return true;
}

std::string reviewLine(const ReviewAnswer& answer)
{
    std::string word;
    encodeUtf8(answer.word, word);
    std::string line = timeText(answer.time) + '\t' + kGradeNames[static_cast<int>(answer.grade)] + '\t' + word + '\t' +
                       dayText(answer.dueDay);
    std::string flags;
    if (answer.beforeMeaning) flags.append(kBeforeMeaning);
    if (answer.cameBack) flags.append(flags.empty() ? "" : ",").append(kCameBack);
    if (!flags.empty()) line.append("\t").append(flags);
    return line;
}

bool parseReviewLine(std::string_view line, ReviewAnswer& answer)
{
    // Four fields, or five with the flag; a field this version does not
    // know makes the line one it cannot read, not another answer.
    std::string_view fields[5];
    std::size_t count = 0;
    for (;;) {
        if (count == 5) return false;
        const std::size_t tab = line.find('\t');
        fields[count++] = line.substr(0, tab);
        if (tab == std::string_view::npos) break;
        line.remove_prefix(tab + 1);
    }
    if (count < 4) return false;
    ReviewAnswer parsed;
    if (!parseTimeText(fields[0], parsed.time)) return false;
    const auto grade = std::find(std::begin(kGradeNames), std::end(kGradeNames), fields[1]);
    if (grade == std::end(kGradeNames)) return false;
    parsed.grade = static_cast<ReviewGrade>(grade - std::begin(kGradeNames));
    if (count == 5) {
        // Flags: each a known one, at most once.
        std::string_view flags = fields[4];
        for (;;) {
            const std::size_t comma = flags.find(',');
            const std::string_view flag = flags.substr(0, comma);
            bool* const set = flag == kBeforeMeaning ? &parsed.beforeMeaning
                              : flag == kCameBack    ? &parsed.cameBack
                                                     : nullptr;
            if (set == nullptr || *set) return false;
            *set = true;
            if (comma == std::string_view::npos) break;
            flags.remove_prefix(comma + 1);
        }
    }
    // Only a word the store could hold: valid UTF-8, short enough for its
    // field, no control characters.
    if (fields[2].empty() || !decodeUtf8(fields[2], parsed.word) || parsed.word.size() >= kWordUnits) return false;
    for (char16_t c : parsed.word)
        if (c < 0x20) return false;
    if (!parseDayText(fields[3], parsed.dueDay)) return false;
    answer = std::move(parsed);
    return true;
}

std::string reviewLogHeader(std::int32_t startDay)
{
    return "# mivora-review 1; FSRS-6 default weights 0.212 1.2931 2.3065 8.2956 6.4133 0.8334 3.0194 0.001 "
           "1.8722 0.1666 0.796 1.4835 0.0614 0.2629 1.6483 0.6014 1.8729 0.5425 0.0912 0.0658 0.1542; " +
           std::string(kStartedMark) + dayText(startDay);
}

std::string mergeReviewLogs(std::string_view a, std::string_view b)
{
    // Everything is sorted on the lines themselves, never on which side
    // they came from, so both orders of merging give the same bytes.
    std::vector<std::string_view> comments;
    struct Placed {
        std::int64_t time;  // of the line, or of the readable line before it
        int after;          // 0 for a line with a time of its own, 1 for one placed after another
        std::string_view line;
        bool operator<(const Placed& o) const
        {
            return std::tie(time, after, line) < std::tie(o.time, o.after, o.line);
        }
    };
    std::vector<Placed> lines;
    for (std::string_view text : {a, b}) {
        std::int64_t before = INT64_MIN;
        for (std::string_view line : linesOf(text)) {
            if (line.front() == '#') {
                comments.push_back(line);
                continue;
            }
            // A line of a kind this version does not read still has its
            // time when it starts with one.
            std::int64_t time;
            if (line.size() > 20 && line[20] == '\t' && parseTimeText(line.substr(0, 20), time)) {
                before = time;
                lines.push_back({time, 0, line});
            } else {
                lines.push_back({before, 1, line});
            }
        }
    }
    // The program's own comment (the version and the start) first.
    const auto own = [](std::string_view line) { return line.substr(0, 16) == "# mivora-review "; };
    std::sort(comments.begin(), comments.end(), [&own](std::string_view x, std::string_view y) {
        return std::make_pair(!own(x), x) < std::make_pair(!own(y), y);
    });
    comments.erase(std::unique(comments.begin(), comments.end()), comments.end());
    std::sort(lines.begin(), lines.end());
    std::string merged;
    for (std::string_view comment : comments) merged.append(comment).push_back('\n');
    // A garbled line kept on two PCs may stand beside different answers on
    // each, so repeats are looked for everywhere, not only next door.
    std::unordered_set<std::string_view> seen;
    for (const Placed& line : lines) {
        if (seen.insert(line.line).second) merged.append(line.line).push_back('\n');
    }
    return merged;
}

bool isReview(const ReviewAnswer& answer, const ReviewAnswer* previous, std::int32_t day)
{
    if (previous == nullptr) return answer.cameBack;
    return day >= previous->dueDay;
}

std::vector<std::u16string> wordsComingBack(std::vector<DueWord> remembered, std::int32_t today,
                                            std::int32_t broughtToday, std::int32_t dailyLimit)
{
    remembered.erase(std::remove_if(remembered.begin(), remembered.end(),
                                    [today](const DueWord& word) { return word.dueDay > today; }),
                     remembered.end());
    // Words with answers first: a backlog of words from before the log must
    // not hold back the first reviews of the words learnt since.
    std::stable_sort(remembered.begin(), remembered.end(), [](const DueWord& x, const DueWord& y) {
        return std::make_pair(!x.answered, x.dueDay) < std::make_pair(!y.answered, y.dueDay);
    });
    const std::int64_t room = std::max<std::int64_t>(std::int64_t{dailyLimit} - broughtToday, 0);
    // The words from before the log take under half of a day's limit, so
    // that a backlog never crowds out a day's own reviews for long.
    std::int64_t beforeLogRoom = std::max<std::int32_t>((dailyLimit - 1) / 2, 1);
    std::vector<std::u16string> words;
    for (std::size_t i = 0; i < remembered.size() && static_cast<std::int64_t>(words.size()) < room; ++i) {
        if (!remembered[i].answered && beforeLogRoom-- <= 0) break;
        words.push_back(std::move(remembered[i].word));
    }
    return words;
}

std::int32_t firstReviewSpread(std::int64_t wordsBeforeLog, std::int32_t dailyLimit)
{
    // About a quarter of the limit a day on average: the busiest days of
    // the hashed spread stay under half of it.
    const std::int64_t perDay = std::max<std::int32_t>(dailyLimit / 4, 1);
    const std::int64_t days = (std::max<std::int64_t>(wordsBeforeLog, 0) + perDay - 1) / perDay;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(days, kFirstReviewSpread, kLongestInterval));
}

std::int32_t firstReviewDay(std::u16string_view word, std::int32_t startDay, std::int32_t spreadDays)
{
    // FNV-1a of the folded word: the same on every PC and every start.
    std::uint32_t hash = 2166136261u;
    for (char16_t unit : word) {
        const char16_t folded = foldAscii(unit);
        hash = (hash ^ (folded & 0xFF)) * 16777619u;
        hash = (hash ^ (folded >> 8)) * 16777619u;
    }
    return clampDay(std::int64_t{startDay} + 1 + hash % static_cast<std::uint32_t>(std::max(spreadDays, 1)));
}

ReviewLog::ReviewLog(LocalDayOf dayOf) : dayOf_(std::move(dayOf)) {}

void ReviewLog::setDirectory(const std::filesystem::path& directory)
{
    std::lock_guard guard(lock_);
    path_ = directory.empty() ? std::filesystem::path() : directory / kReviewLogName;
}

void ReviewLog::setRetention(double retention)
{
    std::lock_guard guard(lock_);
    retention = clampRetention(retention);
    if (retention == retention_) return;
    retention_ = retention;
    rebuildLocked();
}

double ReviewLog::retention() const
{
    std::lock_guard guard(lock_);
    return retention_;
}

void ReviewLog::load(std::int32_t today)
{
    std::lock_guard guard(lock_);
    text_.clear();
    startDay_ = today;
    today_ = today;
    if (path_.empty()) {
        rebuildLocked();
        return;
    }
    std::error_code error;
    const bool missing = !std::filesystem::exists(path_, error) && !error;
    if (missing) {
        // A new log starts with its comment; the start day it names is what
        // spreads the words remembered before it over the days to come.
        text_ = reviewLogHeader(today) + '\n' + pending_;
        wroteLocked(writeWholeLocked(), 0);
    } else if (!readText(path_, text_)) {
        // Held by another program, or no permission: answers are still
        // recorded, and written once the file can be opened again.
        text_ = pending_;
    } else if (!pending_.empty()) {
        // Answers of this run the file still lacks (a load after another
        // list was chosen) are kept, and written now if they can be.
        text_ = mergeReviewLogs(text_, pending_);
        wroteLocked(writeWholeLocked(), 0);
    }
    rebuildLocked();
    mergeCopiesLocked();
}

bool ReviewLog::mergeCopiesLocked()
{
    std::vector<std::filesystem::path> copies;
    std::error_code error;
    for (std::filesystem::directory_iterator it(path_.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && isReviewLogCopyName(it->path().filename().u16string()))
            copies.push_back(it->path());
    }
    std::sort(copies.begin(), copies.end());
    bool changed = false;
    for (const std::filesystem::path& copy : copies) {
        std::string other;
        if (!readText(copy, other)) continue;
        changed = mergeLocked(other) || changed;
        if (!writable_ || !pending_.empty()) continue;  // merged again at the next look
        std::filesystem::path kept;
        std::u16string name = copy.filename().u16string() + kMergedSuffix;
        for (char c : dayText(today_)) {
            if (c != '-') name.push_back(static_cast<char16_t>(c));
        }
        if (makeFileName(name, u"", kept)) renameNoReplace(copy, copy.parent_path() / kept);
    }
    return changed;
}

bool ReviewLog::mergeWithDisk()
{
    std::lock_guard guard(lock_);
    if (path_.empty()) return false;
    std::string disk;
    if (!readText(path_, disk)) return false;
    const std::string merged = mergeReviewLogs(text_, disk);
    const bool changed = merged != text_;
    text_ = merged;
    if (merged != disk)
        wroteLocked(writeWholeLocked(), 0);
    else
        wroteLocked(true, 0);  // the file holds every line already
    if (changed) rebuildLocked();
    // A copy the sync program made of a history both PCs changed at once
    // holds answers that may be nowhere else (the PC that gave them ended
    // before it wrote them again): taken in while running, not only at
    // the next start.
    return mergeCopiesLocked() || changed;
}

bool ReviewLog::mergeText(std::string_view otherLog)
{
    std::lock_guard guard(lock_);
    return mergeLocked(otherLog);
}

bool ReviewLog::mergeLocked(std::string_view other)
{
    std::string merged = mergeReviewLogs(text_, other);
    if (merged == text_) return false;
    text_ = std::move(merged);
    wroteLocked(writeWholeLocked(), 0);
    rebuildLocked();
    return true;
}

bool ReviewLog::writeWholeLocked()
{
    if (path_.empty()) return false;
    const std::filesystem::path temporary = path_.parent_path() / (std::u16string(kReviewLogName) + u".tmp");
    const bool ok = writeFlushed(temporary, text_) && replaceFile(temporary, path_);
    if (!ok) removeFile(temporary);
    return ok;
}

void ReviewLog::wroteLocked(bool ok, std::int64_t utcNow)
{
    writable_ = ok;
    if (ok) {
        pending_.clear();
        unwrittenTold_ = false;
    } else if (!pending_.empty() && pendingSince_ == 0) {
        pendingSince_ = utcNow;
    }
}

ReviewAnswer ReviewLog::answer(std::u16string_view word, ReviewGrade grade, bool beforeMeaning, std::int64_t utcNow)
{
    std::lock_guard guard(lock_);
    // A new day, or a clock put back: answers dated after it wait.
    const std::int32_t day = dayOf_(utcNow);
    if (day != today_) {
        today_ = day;
        rebuildLocked();
    }
    ReviewAnswer answer{utcNow, grade, std::u16string(word), 0, beforeMeaning};
    const std::u16string folded = foldedWord(word);
    WordState& state = words_[folded];
    answer.cameBack = !state.card.known && broughtBack_.erase(folded) != 0;
    answers_.push_back(answer);
    // In the order of the times, as a load orders them: behind an answer
    // given later by a clock that was right, if the clock is now put back.
    const auto at = std::upper_bound(state.answers.begin(), state.answers.end(), utcNow,
                                     [this](std::int64_t time, std::size_t i) { return time < answers_[i].time; });
    state.answers.insert(at, answers_.size() - 1);
    replayLocked(state);
    answer.dueDay = state.card.dueDay();
    answers_.back().dueDay = answer.dueDay;
    const std::string line = reviewLine(answer) + '\n';
    if (text_.empty()) text_ = reviewLogHeader(startDay_) + '\n';
    text_ += line;
    if (path_.empty()) return answer;  // no file to write to
    if (pending_.empty()) pendingSince_ = utcNow;
    pending_ += line;
    // Appended, not rewritten: a line is all an answer can cost the file,
    // however long the history. Lines an earlier append could not write go
    // with it.
    bool ok = false;
    if (UniqueFile file{openFile(path_, "ab")}) {
        std::string written = pending_;
        // In append mode the position is only known to be the end after a
        // seek (Microsoft's C library reports 0 before the first write).
        const bool empty = std::fseek(file.get(), 0, SEEK_END) == 0 && std::ftell(file.get()) == 0;
        if (empty) written = reviewLogHeader(startDay_) + '\n' + written;
        ok = std::fwrite(written.data(), 1, written.size(), file.get()) == written.size() && flushToDisk(file.get());
        ok = std::fclose(file.release()) == 0 && ok;
    }
    wroteLocked(ok, utcNow);
    return answer;
}

bool ReviewLog::setToday(std::int32_t today)
{
    std::lock_guard guard(lock_);
    if (today == today_) return false;
    today_ = today;
    rebuildLocked();
    return true;
}

void ReviewLog::broughtBack(const std::vector<std::u16string>& words)
{
    std::lock_guard guard(lock_);
    for (const std::u16string& word : words) {
        std::u16string folded = foldedWord(word);
        const auto it = words_.find(folded);
        if (it == words_.end() || !it->second.card.known) broughtBack_.emplace(std::move(folded), 0);
    }
}

bool ReviewLog::takeUnwrittenNotice(std::int64_t utcNow, std::int64_t wait)
{
    std::lock_guard guard(lock_);
    if (pending_.empty() || unwrittenTold_ || utcNow - pendingSince_ < wait) return false;
    unwrittenTold_ = true;
    return true;
}

bool ReviewLog::unwritten() const
{
    std::lock_guard guard(lock_);
    return !pending_.empty();
}

std::int64_t ReviewLog::answeredBeforeLog() const
{
    std::lock_guard guard(lock_);
    return std::count_if(answers_.begin(), answers_.end(), [](const ReviewAnswer& answer) { return answer.cameBack; });
}

void ReviewLog::setFirstReviewSpread(std::int32_t days)
{
    std::lock_guard guard(lock_);
    spread_ = std::max(days, kFirstReviewSpread);
}

std::vector<DueWord> ReviewLog::comingBack(const std::vector<std::u16string>& remembered,
                                           const std::function<bool(std::u16string_view)>& underReview,
                                           std::int32_t waiting, std::int32_t dailyLimit, std::int64_t utcNow)
{
    std::vector<DueWord> words;
    words.reserve(remembered.size());
    // The words from before the log come back over more days the more
    // there are, those answered since included, so that the spread stays
    // put as they are answered.
    std::int64_t beforeLog = answeredBeforeLog();
    for (const std::u16string& word : remembered) {
        const bool answered = hasAnswers(word);
        if (!answered) ++beforeLog;
        if (!underReview(word)) words.push_back({word, 0, answered});
    }
    setFirstReviewSpread(firstReviewSpread(beforeLog, dailyLimit));
    keepFirstMet(remembered, utcNow);
    for (DueWord& word : words) word.dueDay = dueDay(word.word);
    const std::int32_t day = today();
    const std::int64_t brought = std::int64_t{reviewedOn(day)} + waiting;
    std::vector<std::u16string> coming = wordsComingBack(
        std::move(words), day, static_cast<std::int32_t>(std::min<std::int64_t>(brought, INT32_MAX)), dailyLimit);
    broughtBack(coming);
    std::vector<DueWord> due;
    due.reserve(coming.size());
    for (std::u16string& word : coming) {
        const std::int32_t at = dueDay(word);
        due.push_back({std::move(word), at});
    }
    return due;
}

std::int32_t ReviewLog::today() const
{
    std::lock_guard guard(lock_);
    return today_;
}

void ReviewLog::replayLocked(WordState& state)
{
    state.card = FsrsCard{};
    for (std::size_t i : state.answers) {
        const ReviewAnswer& answer = answers_[i];
        const std::int32_t day = dayOf_(answer.time);
        // An answer dated after today (another PC's clock set ahead) counts
        // from its day on: before, it would keep the word away past every
        // answer given meanwhile.
        if (day > today_) continue;
        state.card = fsrsAnswer(state.card, FsrsAnswer{day, fsrsGrade(answer.grade)}, retention_);
    }
}

void ReviewLog::keepFirstMet(const std::vector<std::u16string>& remembered, std::int64_t utcNow)
{
    std::string lines;
    {
        std::lock_guard guard(lock_);
        if (today_ <= std::int64_t{startDay_} + spread_) return;
        for (const std::u16string& word : remembered) {
            std::u16string folded = foldedWord(word);
            const auto it = words_.find(folded);
            if (it != words_.end() && it->second.card.known) continue;
            if (!firstMet_.emplace(std::move(folded), today_).second) continue;
            if (!lines.empty()) lines += '\n';
            lines += metLine(utcNow, word);
        }
    }
    if (!lines.empty()) record(lines);
}

void ReviewLog::rebuildLocked()
{
    answers_.clear();
    words_.clear();
    firstMet_.clear();
    std::int32_t started = INT32_MAX;
    std::vector<ReviewAnswer> parsed;
    for (std::string_view line : linesOf(text_)) {
        if (line.front() == '#') {
            const std::size_t mark = line.find(kStartedMark);
            std::int32_t day;
            if (mark != std::string_view::npos && parseDayText(line.substr(mark + sizeof kStartedMark - 1, 10), day))
                started = std::min(started, day);
            continue;
        }
        ReviewAnswer answer;
        std::int64_t time;
        std::u16string word;
        if (parseReviewLine(line, answer)) {
            parsed.push_back(std::move(answer));
        } else if (parseMetLine(line, time, word)) {
            const std::int32_t day = dayOf_(time);
            const auto [it, added] = firstMet_.try_emplace(foldedWord(word), day);
            if (!added) it->second = std::min(it->second, day);
        }
    }
    // Appended lines of a clock put back, or a log edited by hand, may be
    // out of order: the schedule goes by the times.
    std::stable_sort(parsed.begin(), parsed.end(),
                     [](const ReviewAnswer& x, const ReviewAnswer& y) { return x.time < y.time; });
    answers_ = std::move(parsed);
    for (std::size_t i = 0; i < answers_.size(); ++i) words_[foldedWord(answers_[i].word)].answers.push_back(i);
    for (auto& [word, state] : words_) {
        (void)word;
        replayLocked(state);
    }
    if (started == INT32_MAX && !answers_.empty()) started = dayOf_(answers_.front().time);
    if (started != INT32_MAX) startDay_ = started;
}

std::vector<ReviewAnswer> ReviewLog::answers() const
{
    std::lock_guard guard(lock_);
    std::vector<ReviewAnswer> sorted = answers_;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ReviewAnswer& x, const ReviewAnswer& y) { return x.time < y.time; });
    return sorted;
}

bool ReviewLog::hasAnswers(std::u16string_view word) const
{
    std::lock_guard guard(lock_);
    const auto it = words_.find(foldedWord(word));
    return it != words_.end() && it->second.card.known;
}

std::int32_t ReviewLog::dueDay(std::u16string_view word) const
{
    std::lock_guard guard(lock_);
    const std::u16string folded = foldedWord(word);
    const auto it = words_.find(folded);
    if (it != words_.end() && it->second.card.known) return it->second.card.dueDay();
    if (today_ <= std::int64_t{startDay_} + spread_) return firstReviewDay(word, startDay_, spread_);
    // Every word from before the log has had its day: one without answers
    // was remembered on another PC whose log has not come yet, or lost its
    // line. It comes back as a word remembered the day it was met, not as
    // one overdue for months.
    const auto kept = firstMet_.find(folded);
    const std::int32_t met = kept == firstMet_.end() ? today_ : kept->second;
    return fsrsAnswer(FsrsCard{}, FsrsAnswer{met, FsrsGrade::good}, retention_).dueDay();
}

std::int32_t ReviewLog::reviewedOn(std::int32_t day) const
{
    std::lock_guard guard(lock_);
    std::int32_t count = 0;
    for (const auto& [word, state] : words_) {
        (void)word;
        const ReviewAnswer* previous = nullptr;
        for (std::size_t i : state.answers) {
            const ReviewAnswer& answer = answers_[i];
            const std::int32_t answered = dayOf_(answer.time);
            if (answered == day && isReview(answer, previous, answered)) {
                ++count;
                break;
            }
            previous = &answer;
        }
    }
    return count;
}

bool ReviewLog::writable() const
{
    std::lock_guard guard(lock_);
    return writable_;
}

std::int32_t ReviewLog::startDay() const
{
    std::lock_guard guard(lock_);
    return startDay_;
}

void ReviewLog::record(const std::string& line)
{
    std::lock_guard guard(lock_);
    if (text_.empty()) text_ = reviewLogHeader(startDay_) + '\n';
    text_ += line + '\n';
    if (path_.empty()) return;
    bool ok = false;
    if (UniqueFile file{openFile(path_, "ab")}) {
        std::string written = line + '\n';
        const bool empty = std::fseek(file.get(), 0, SEEK_END) == 0 && std::ftell(file.get()) == 0;
        if (empty) written = reviewLogHeader(startDay_) + '\n' + written;
        ok = std::fwrite(written.data(), 1, written.size(), file.get()) == written.size() && flushToDisk(file.get());
        ok = std::fclose(file.release()) == 0 && ok;
    }
    writable_ = ok;
}
std::string ReviewLog::text() const
{
    std::lock_guard guard(lock_);
    return text_;
}
