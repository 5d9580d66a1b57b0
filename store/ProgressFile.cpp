// The progress file DAvud.bin: a 24-byte header and 1664-byte records, the
// remembered list first, then the learning list.
#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "store/WordGet.h"
#include "store/files/FileReplace.h"
#include "store/progress/ProgressBase.h"
#include "store/review/ReviewLog.h"
#include "store/text/Text.h"

// The file is the byte image of the header and of the records, whose
// integers and text units are little-endian.
static_assert(std::endian::native == std::endian::little, "the progress file is read and written as a byte image");

// One read of the progress file, made without the store's lock: both lists
// as the file holds them, to be swapped in at the end.
struct ProgressRead {
    WordLane remembered;
    WordLane learning;
    ProgressHeader header{};
    // Whether everything the file holds is now in the lists; if not, the
    // file must never be replaced by them.
    bool complete = true;
    // Of the texts read (addRecord), and the file's stamp while it was open.
    ContentHash hash;
    FileStamp stamp;
    // The words of both lists, for the base: built while each record is at
    // hand, which costs a fraction of walking the lists again afterwards.
    ProgressWords words;
};

namespace {

// The file written before it replaces the progress file.
constexpr char16_t kTemporaryExtension[] = u".tmp";
// Where a progress file that could not be read completely is kept: the
// progress file's name with this and the date.
constexpr char16_t kKeptExtension[] = u".unreadable-";
// The full name of such a file: "DAvud.bin.unreadable-".
constexpr char16_t kKeptPrefix[] = u"DAvud.bin.unreadable-";
// What a conflict copy is renamed to once merged: "<its name>.merged-".
constexpr char16_t kMergedSuffix[] = u".merged-";
// How often a save reads and merges a file that another program keeps
// replacing under it before it gives up until the next save.
constexpr int kMergeAttempts = 3;
constexpr int kKeptCopiesPerDay = 99;
// Records read with one call: big enough that the C library copies straight
// from the file into them, small enough to stay in the cache.
constexpr std::uint32_t kBatchRecords = 64;

std::int32_t clampedCount(std::size_t count)
{
    return count > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(count);
}

// The 1664-byte record of one snapshot entry: texts, terminators, zero fill.
void putRecord(WordEntry& record, std::u16string_view units, const ProgressSnapshot::Record& r)
{
    const auto put = [](char16_t* field, std::size_t size, std::u16string_view text) {
        if (!text.empty()) std::memcpy(field, text.data(), text.size() * sizeof(char16_t));
        std::memset(field + text.size(), 0, (size - text.size()) * sizeof(char16_t));
    };
    put(record.word, kWordUnits, units.substr(0, r.wordUnits));
    put(record.phonetic, kPhoneticUnits, units.substr(r.wordUnits, r.phoneticUnits));
    put(record.content, kContentUnits, units.substr(std::size_t{r.wordUnits} + r.phoneticUnits, r.contentUnits));
}

// What a file holds, for telling whether it still holds it: the header, then
// each record's three texts with their lengths. The zero padding behind the
// texts is never read, so leaving it out changes nothing a merge or a save
// decides, and a usual record is hashed in a tenth of its 1664 bytes.
void addRecord(ContentHash& hash, const WordFields& fields)
{
    // Gathered into one piece: the hash takes one long piece faster than
    // four short ones.
    char16_t piece[3 + kWordUnits + kPhoneticUnits + kContentUnits];
    char16_t* at = piece;
    for (const std::u16string_view text : {fields.word, fields.phonetic, fields.content})
        *at++ = static_cast<char16_t>(text.size());
    for (const std::u16string_view text : {fields.word, fields.phonetic, fields.content}) {
        std::memcpy(at, text.data(), text.size() * sizeof(char16_t));
        at += text.size();
    }
    hash.add(piece, static_cast<std::size_t>(at - piece) * sizeof(char16_t));
}

// The 24-byte header. False for a file shorter than that, which holds no
// progress at all.
bool readHeader(std::FILE* file, ProgressHeader& header, FileSteps* steps)
{
    return !failStep(steps) && std::fread(&header, sizeof header, 1, file) == 1;
}

// For a file whose header could not be read: only an empty file (the one a
// first start leaves) holds nothing; a few bytes of a cut header are kept.
bool emptyFile(std::FILE* file, const std::filesystem::path& path)
{
    std::error_code error;
    return !std::ferror(file) && std::feof(file) && std::filesystem::file_size(path, error) == 0 && !error;
}

// The records behind the header, a batch at a time; a node takes only the
// texts of its record.
class RecordReader {
public:
    RecordReader(std::FILE* file, std::uintmax_t recordsInFile, FileSteps* steps, ContentHash& hash)
        : file_(file), steps_(steps), hash_(hash), recordsInFile_(recordsInFile),
          batch_(std::make_unique<WordEntry[]>(kBatchRecords))
    {}

    // Reads the next `records` records (one list's section) into `into`,
    // leaving out words that `unlessIn` holds, and the words added into
    // `words`; stops early at the end of the file, and clears `complete`
    // when that end was a failed read.
    void readSection(std::uint32_t records, WordLane& into, WordSet& words, const WordLane* unlessIn, bool& complete)
    {
        const std::uintmax_t expected = std::min<std::uintmax_t>(records, recordsInFile_);
        into.reserve(static_cast<std::size_t>(expected));
        words.reserve(static_cast<std::size_t>(expected));
        recordsInFile_ -= expected;
        while (records > 0 && !endOfFile_) {
            const std::size_t wanted = std::min<std::uint32_t>(records, kBatchRecords);
            const std::size_t got = failStep(steps_) ? 0 : std::fread(batch_.get(), sizeof(WordEntry), wanted, file_);
            // The index slots of the whole batch are fetched before the
            // first record is added, so that their cache misses overlap.
            for (std::size_t i = 0; i < got; ++i) {
                fields_[i] = fieldsOf(batch_[i]);
                addRecord(hash_, fields_[i]);
                hashes_[i] = WordLane::hashOf(fields_[i].word);
                into.prefetch(hashes_[i]);
                words.prefetch(hashes_[i]);
                if (unlessIn != nullptr) unlessIn->prefetch(hashes_[i]);
            }
            for (std::size_t i = 0; i < got; ++i) {
                if ((unlessIn == nullptr || unlessIn->find(fields_[i].word, hashes_[i]) == nullptr) &&
                    into.add(fields_[i], WordLane::Allocation::bulk, hashes_[i]))
                    words.add(fields_[i].word, hashes_[i]);
            }
            if (got < wanted) {
                // The end of the file (a torn last record is no record), or
                // a failed read.
                endOfFile_ = true;
                complete = complete && std::feof(file_) && !std::ferror(file_);
            }
            records -= static_cast<std::uint32_t>(got);
        }
    }

    // Whole records beyond what the sections covered (a damaged header):
    // progress too, although it is not loaded.
    bool recordsLeftOver() const { return !endOfFile_ && recordsInFile_ > 0; }

private:
    std::FILE* file_;
    FileSteps* steps_;
    ContentHash& hash_;
    // What the file's size says is still to come; the counts only bound the
    // reading, the file's end decides.
    std::uintmax_t recordsInFile_;
    bool endOfFile_ = false;
    std::unique_ptr<WordEntry[]> batch_;
    WordFields fields_[kBatchRecords];
    std::size_t hashes_[kBatchRecords];
};

// Anything but a header and exactly the records it counts (a torn record,
// counts that are negative or do not match the size) is a damaged file: what
// it held cannot be known to be in the lists, so it is kept, not replaced.
bool wellFormed(const ProgressHeader& header, std::uintmax_t bytes)
{
    return bytes >= sizeof header && (bytes - sizeof header) % sizeof(WordEntry) == 0 && header.rememberedCount >= 0 &&
           header.learningCount >= 0 &&
           std::uintmax_t{static_cast<std::uint32_t>(header.rememberedCount)} +
                   static_cast<std::uint32_t>(header.learningCount) ==
               (bytes - sizeof header) / sizeof(WordEntry);
}

// Both sections of a file whose header is read: the remembered list, then
// the learning one, and whether that was everything.
void readSections(std::FILE* file, const std::filesystem::path& path, ProgressRead& read, FileSteps* steps)
{
    // Nothing is allocated up front from what the header claims, only from
    // what the file can really hold.
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    const std::uintmax_t recordsInFile =
        error || bytes < sizeof read.header ? 0 : (bytes - sizeof read.header) / sizeof(WordEntry);
    try {
        RecordReader reader(file, recordsInFile, steps, read.hash);
        reader.readSection(static_cast<std::uint32_t>(read.header.rememberedCount), read.remembered,
                           read.words.remembered, nullptr, read.complete);
        // A word in both sections stays remembered.
        reader.readSection(static_cast<std::uint32_t>(read.header.learningCount), read.learning, read.words.learning,
                           &read.remembered, read.complete);
        if (reader.recordsLeftOver()) read.complete = false;
        if (error || !wellFormed(read.header, bytes)) read.complete = false;
    } catch (const std::bad_alloc&) {
        // Keep what fitted into memory.
        read.complete = false;
    }
}

// The whole read: header, sections, and the counters of what was loaded.
void readProgress(std::FILE* file, const std::filesystem::path& path, ProgressRead& read, FileSteps* steps)
{
    if (readHeader(file, read.header, steps)) {
        read.hash.add(&read.header, sizeof read.header);
        readSections(file, path, read, steps);
    } else {
        read.complete = emptyFile(file, path);
        read.header = ProgressHeader{};
    }
    // The counters tell what is really loaded, not what a torn or
    // hand-edited header claimed.
    read.header.rememberedCount = clampedCount(read.remembered.size());
    read.header.learningCount = clampedCount(read.learning.size());
    read.words.header = read.header;
}

// The words of what a save writes, for the base.
ProgressWords wordsOf(const ProgressSnapshot& snapshot)
{
    ProgressWords words;
    words.header = snapshot.header;
    const std::size_t remembered = static_cast<std::size_t>(std::max(snapshot.header.rememberedCount, 0));
    words.remembered.reserve(remembered);
    words.learning.reserve(snapshot.records.size() - std::min(remembered, snapshot.records.size()));
    std::size_t at = 0;
    for (std::size_t i = 0; i < snapshot.records.size(); ++i) {
        const ProgressSnapshot::Record& r = snapshot.records[i];
        const std::u16string_view word(snapshot.units.data() + at, r.wordUnits);
        at += std::size_t{r.wordUnits} + r.phoneticUnits + r.contentUnits;
        (i < remembered ? words.remembered : words.learning).add(word);
    }
    return words;
}

// Both lanes of one side of a merge: their words for the merge, their nodes
// for the records it picks.
struct LaneSide {
    MergeSide words;
    std::vector<const WordLane::Node*> remembered;
    std::vector<const WordLane::Node*> learning;
    LaneSide(const WordLane& rememberedLane, const WordLane& learningLane, const ProgressHeader& header)
    {
        words.header = header;
        for (auto [lane, nodes, views] : {std::tuple{&rememberedLane, &remembered, &words.remembered},
                                          std::tuple{&learningLane, &learning, &words.learning}}) {
            nodes->reserve(lane->size());
            views->reserve(lane->size());
            for (const WordLane::Node* node = lane->front(); node != nullptr; node = node->next) {
                nodes->push_back(node);
                views->push_back(node->word());
            }
        }
    }
    const WordLane::Node& node(const MergePick& pick) const
    {
        return *(pick.fromRemembered ? remembered : learning)[pick.index];
    }
};

// A node's texts added to `lane` as a record of the file holds them: a node
// that points into a loaded dictionary keeps its transcription without the
// square brackets the record carries.
void addAsRecord(WordLane& lane, const WordLane::Node& node, std::u16string& scratch)
{
    WordFields fields{node.word(), node.phonetic(), node.content()};
    if (node.inText && node.phoneticUnits != 0) {
        scratch.assign(1, u'[');
        scratch.append(node.phonetic());
        scratch.push_back(u']');
        fields.phonetic = scratch;
    }
    lane.add(fields, WordLane::Allocation::bulk);
}

// "<name>yyyymmdd", then "-2", "-3" ... for further files of the same day:
// `file` goes beside itself under the first such name that is free, and no
// file is ever replaced. True also when `file` is gone meanwhile.
bool putAside(const std::filesystem::path& file, std::u16string name, std::int32_t today, FileSteps* steps,
              std::filesystem::path* keptAs = nullptr)
{
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !error) return true;  // gone meanwhile: nothing to keep
    for (char c : std::to_string(today)) name.push_back(static_cast<char16_t>(c));
    for (int copy = 1; copy <= kKeptCopiesPerDay; ++copy) {
        std::u16string numbered = name;
        if (copy > 1) {
            numbered.push_back(u'-');
            for (char c : std::to_string(copy)) numbered.push_back(static_cast<char16_t>(c));
        }
        std::filesystem::path kept;
        if (!makeFileName(numbered, u"", kept)) return false;
        kept = file.parent_path() / kept;
        if (!failStep(steps) && renameNoReplace(file, kept)) {
            if (keptAs != nullptr) *keptAs = kept;
            return true;
        }
        if (!std::filesystem::exists(kept, error) || error) return false;  // not a name taken: the file cannot be moved
    }
    return false;
}

// Takes `lock`, waiting no longer than `deadline`. Tried every few
// milliseconds rather than with a timed mutex, whose timed wait the thread
// sanitizer cannot follow: a save at exit is no hurry to the millisecond.
bool lockBefore(std::unique_lock<std::mutex>& lock, const SaveDeadline& deadline)
{
    if (!deadline) {
        lock.lock();
        return true;
    }
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= *deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Reads a whole progress file. False when it cannot be opened.
bool readProgressFile(const std::filesystem::path& path, ProgressRead& read, FileSteps* steps)
{
    UniqueFile file{failStep(steps) ? nullptr : openFile(path, "rb")};
    if (!file) return false;
    readProgress(file.get(), path, read, steps);
    // Taken while the file is open: Windows replaces no file that is open
    // without delete sharing, so this is the stamp of what was read.
    if (!readFileStamp(path, read.stamp)) read.complete = false;
    return true;
}

}  // namespace

void WordGet::loadProgress(std::u16string_view fallbackName)
{
    std::filesystem::path directory;
    {
        std::lock_guard guard(lock_);
        directory = directory_;
    }

    if (!directory.empty()) {
        const std::filesystem::path path = directory / kProgressFileName;
        ProgressRead read;
        if (readProgressFile(path, read, fileSteps_)) {
            ProgressBase base;
            if (read.complete) {
                base.known = true;
                base.stamp = read.stamp;
                base.hash = read.hash.value();
                base.words = std::move(read.words);
            }
            {
                // Swapped in under the lock; the old lists go with `read`,
                // after the lock is let go.
                std::lock_guard guard(lock_);
                remembered_.swap(read.remembered);
                learning_.swap(read.learning);
                header_ = read.header;
                progressUnread_ = !read.complete;
                ++changes_;
                recomputeCycleEndLocked();
            }
            std::lock_guard saving(saveLock_);
            base_ = std::move(base);
        } else {
            // No progress saved yet: leave an empty file behind, but never
            // replace one that exists and merely could not be opened (held
            // open by another program, no permission): that one is kept
            // aside, and merged from there once it reads whole.
            std::error_code error;
            const bool missing = !std::filesystem::exists(path, error) && !error;
            if (missing) UniqueFile created{openFile(path, "wb")};
            {
                std::lock_guard guard(lock_);
                progressUnread_ = !missing;
            }
            std::lock_guard saving(saveLock_);
            base_ = ProgressBase{};
            base_.known = missing && readFileStamp(path, base_.stamp);
            base_.hash = ContentHash{}.value();
        }
        std::lock_guard saving(saveLock_);
        bool historyChanged = false;
        const WordActions actions = historyActions(historyChanged);
        const bool copies = mergeSideFiles(directory, actions);
        std::lock_guard guard(lock_);
        if (followActionsLocked(actions, {}) || copies) markDirtyLocked();
    }

    bool nothingToLearn;
    {
        std::lock_guard guard(lock_);
        nothingToLearn = header_.learningCount == 0;
    }
    if (nothingToLearn) loadDictionary(fallbackName);

    std::lock_guard guard(lock_);
    if (!learning_.empty()) learning_.front()->copyTo(current_);
}

// The words a copy holds as remembered stay remembered; the rest of it is
// an older state of the same lists. The copy is renamed after the next
// save has written its words into the file, so that it is merged once and
// kept.
bool WordGet::mergeSideFiles(const std::filesystem::path& directory, const WordActions& actions)
{
    std::vector<std::filesystem::path> copies;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::u16string name = it->path().filename().u16string();
        const bool putAsideFile = name.starts_with(kKeptPrefix) && name.find(kMergedSuffix) == std::u16string::npos;
        if (isConflictCopyName(name) || putAsideFile) copies.push_back(it->path());
    }
    std::sort(copies.begin(), copies.end());
    bool changed = false;
    for (const std::filesystem::path& copy : copies) {
        if (std::find(mergedCopies_.begin(), mergedCopies_.end(), copy) != mergedCopies_.end()) continue;
        FileStamp stamp;
        if (!readFileStamp(copy, stamp)) continue;
        const auto seen = std::find_if(unreadableSideFiles_.begin(), unreadableSideFiles_.end(),
                                       [&](const auto& side) { return side.first == copy; });
        if (seen != unreadableSideFiles_.end() && seen->second == stamp) continue;
        ProgressRead read;
        // One that cannot be read whole is looked at again once it changes
        // (a download still running into it).
        if (!readProgressFile(copy, read, nullptr) || !read.complete || !(read.stamp == stamp)) {
            if (seen != unreadableSideFiles_.end())
                seen->second = stamp;
            else
                unreadableSideFiles_.emplace_back(copy, stamp);
            continue;
        }
        if (seen != unreadableSideFiles_.end()) unreadableSideFiles_.erase(seen);
        {
            // The words it holds as remembered stay remembered, unless the
            // learner's latest action on one sent it back or deleted it;
            // the rest of it is an older state of the same lists.
            std::lock_guard guard(lock_);
            for (const Node* node = read.remembered.front(); node != nullptr; node = node->next) {
                const WordFields fields{node->word(), node->phonetic(), node->content()};
                const WordAction* action = actions.of(fields.word);
                if (action != nullptr && action->act != WordAct::remember) continue;
                if (Node* learning = learning_.find(fields.word)) {
                    if (learning == cycleEnd_) cycleEnd_ = nullptr;
                    learning_.erase(learning);
                }
                if (!remembered_.holds(fields.word)) insertLocked(fields, WordList::remembered);
            }
            // A file put aside while a sync program was still writing it,
            // or that a start could read only in part, holds learning words
            // these lists may lack: they come back, unless deleted since.
            const bool putAsideFile = copy.filename().u16string().starts_with(kKeptPrefix);
            for (const Node* node = putAsideFile ? read.learning.front() : nullptr; node != nullptr;
                 node = node->next) {
                const WordFields fields{node->word(), node->phonetic(), node->content()};
                const WordAction* action = actions.of(fields.word);
                if (action != nullptr && action->act == WordAct::remove) continue;
                insertLocked(fields, WordList::learning);
            }
            header_.rememberedCount = clampedCount(remembered_.size());
            header_.learningCount = clampedCount(learning_.size());
            recomputeCycleEndLocked();
            // Saved, even when it brought nothing new, so that it is renamed
            // and merged once.
            markDirtyLocked();
        }
        mergedCopies_.push_back(copy);
        changed = true;
    }
    return changed;
}

WordActions WordGet::historyActions(bool& changed)
{
    changed = false;
    if (history_ == nullptr) return {};
    history_->mergeWithDisk();
    const std::string text = history_->text();
    ContentHash hash;
    hash.add(text.data(), text.size());
    changed = std::exchange(historyFollowed_, hash.value()) != hash.value();
    return wordActionsOf(text);
}

bool WordGet::followActionsLocked(const WordActions& actions, std::initializer_list<const Lane*> sources)
{
    const auto recordOf = [&](std::u16string_view word) -> const Node* {
        for (const Lane* lane : sources) {
            if (const Node* node = lane->find(word)) return node;
        }
        return nullptr;
    };
    bool changed = false;
    const auto move = [&](const Node* node, WordList to) {
        // Copied first: the node goes with its lane's erase.
        WordEntry entry{};
        node->copyTo(entry);
        const WordFields fields = fieldsOf(entry);
        leaveReviewLocked(fields.word);
        unlinkLocked(fields.word, WordList::remembered);
        unlinkLocked(fields.word, WordList::learning);
        insertLocked(fields, to);
        changed = true;
    };
    for (const auto& [word, action] : actions.latest) {
        // After another list was chosen, a word sent back or deleted before
        // follows that list's learning words, as it did on the PC that chose.
        const bool afterList = action.time > actions.listTime;
        switch (action.act) {
        case WordAct::remember:
            if (remembered_.holds(word)) break;
            if (const Node* node = learning_.find(word))
                move(node, WordList::remembered);
            else if (const Node* theirs = recordOf(word))
                move(theirs, WordList::remembered);
            break;
        case WordAct::forget:
            if (const Node* node = remembered_.find(word)) {
                if (afterList) {
                    move(node, WordList::learning);
                } else {
                    leaveReviewLocked(word);
                    unlinkLocked(word, WordList::remembered);
                    changed = true;
                }
            } else if (afterList && !learning_.holds(word)) {
                if (const Node* theirs = recordOf(word)) move(theirs, WordList::learning);
            }
            break;
        case WordAct::remove:
            if (remembered_.holds(word)) {
                leaveReviewLocked(word);
                changed = unlinkLocked(word, WordList::remembered) || changed;
            }
            if (afterList && learning_.holds(word)) changed = unlinkLocked(word, WordList::learning) || changed;
            break;
        }
    }
    if (changed) {
        header_.rememberedCount = clampedCount(remembered_.size());
        header_.learningCount = clampedCount(learning_.size());
        recomputeCycleEndLocked();
        markDirtyLocked();
    }
    return changed;
}

void WordGet::recordAction(WordAct act, std::u16string_view word)
{
    if (history_ != nullptr) history_->record(wordActionLine(utcNow(), act, word));
}

void WordGet::recordListChosen(std::int32_t startDate)
{
    if (history_ != nullptr) history_->record(listChosenLine(utcNow(), startDate));
}

std::int64_t WordGet::utcNow() const
{
    return clock_.utcNow ? clock_.utcNow() : static_cast<std::int64_t>(std::time(nullptr));
}

std::int32_t WordGet::today() const
{
    if (!clock_.localDay) return todayDate();
    const CivilDate date = civilFromDays(clock_.localDay(utcNow()));
    return date.year * 10000 + date.month * 100 + date.day;
}

std::chrono::steady_clock::time_point WordGet::steadyNow() const
{
    return clock_.steadyNow ? clock_.steadyNow() : std::chrono::steady_clock::now();
}

void WordGet::renameMergedCopiesLocked(std::int32_t today)
{
    for (const std::filesystem::path& copy : mergedCopies_)
        putAside(copy, copy.filename().u16string() + kMergedSuffix, today, nullptr);
    mergedCopies_.clear();
}

bool WordGet::progressFileKeptBack() const
{
    std::lock_guard guard(lock_);
    return progressUnread_;
}

bool WordGet::saveProgress(const SaveDeadline& deadline, const SaveDeadline& lockDeadline)
{
    return saveSnapshot(snapshotProgress(), deadline, lockDeadline);
}

ProgressSnapshot WordGet::snapshotProgress() const
{
    ProgressSnapshot snapshot;
    std::lock_guard guard(lock_);
    snapshot.directory = directory_;
    snapshot.version = changes_;
    snapshot.header = header_;
    snapshot.header.lastDate = today();
    snapshot.header.rememberedCount = clampedCount(remembered_.size());
    snapshot.header.learningCount = clampedCount(learning_.size());
    // Nodes keep only their texts, so the copy is as small as the lists. A
    // node that points into a loaded dictionary keeps its transcription
    // without the square brackets the record carries.
    const auto recordPhoneticUnits = [](const Node* node) {
        return static_cast<std::uint16_t>(node->phoneticUnits + (node->inText && node->phoneticUnits != 0 ? 2 : 0));
    };
    std::size_t units = 0;
    for (const Lane* lane : {&remembered_, &learning_}) {
        for (const Node* node = lane->front(); node != nullptr; node = node->next)
            units += std::size_t{node->wordUnits} + recordPhoneticUnits(node) + node->contentUnits;
    }
    snapshot.units.reserve(units);
    snapshot.records.reserve(remembered_.size() + learning_.size());
    for (const Lane* lane : {&remembered_, &learning_}) {
        for (const Node* node = lane->front(); node != nullptr; node = node->next) {
            snapshot.units.append(node->word());
            const bool bracketed = node->inText && node->phoneticUnits != 0;
            if (bracketed) snapshot.units.push_back(u'[');
            snapshot.units.append(node->phonetic());
            if (bracketed) snapshot.units.push_back(u']');
            snapshot.units.append(node->content());
            snapshot.records.push_back({node->wordUnits, recordPhoneticUnits(node), node->contentUnits});
        }
    }
    return snapshot;
}

bool WordGet::writeProgress(const ProgressSnapshot& snapshot, const SaveDeadline& deadline)
{
    std::lock_guard saving(saveLock_);
    return writeProgressLocked(snapshot, deadline) == WriteOutcome::written;
}

bool WordGet::saveSnapshot(const ProgressSnapshot& snapshot, const SaveDeadline& deadline,
                           const SaveDeadline& lockDeadline)
{
    return saveSnapshotWith(snapshot, deadline, lockDeadline, false);
}

bool WordGet::saveIfChanged(const SaveDeadline& deadline, const SaveDeadline& lockDeadline)
{
    return saveSnapshotWith(snapshotProgress(), deadline, lockDeadline, true);
}

bool WordGet::saveSnapshotWith(const ProgressSnapshot& snapshot, const SaveDeadline& deadline,
                               const SaveDeadline& lockDeadline, bool onlyIfChanged)
{
    // The look at the file on a worker holds the lock while it reads a file
    // that may lie in a slow synced or network folder; a save with a
    // deadline (the end of a session, an exit) waits for it no longer.
    std::unique_lock saving(saveLock_, std::defer_lock);
    const bool locked = lockBefore(saving, lockDeadline ? lockDeadline : deadline);
    {
        std::lock_guard guard(lock_);
        diskSlow_ = !locked;
    }
    if (!locked) return onlyIfChanged && !dirty();
    {
        std::lock_guard guard(lock_);
        if (savingForgone_) return false;
    }
    std::optional<ProgressSnapshot> merged;
    for (int attempt = 0; attempt < kMergeAttempts; ++attempt) {
        const DiskCheck check = catchUpLocked(snapshot.directory);
        {
            std::lock_guard guard(lock_);
            diskUnfinished_ = check == DiskCheck::unreadable;
        }
        // Nothing of ours to lose when nothing changed here: the look is
        // merely put off to the next start.
        if (check == DiskCheck::unreadable) return onlyIfChanged && !dirty();
        if (check == DiskCheck::merged && !dirty()) return true;  // the file on disk holds everything already
        if (onlyIfChanged && !dirty()) return true;
        if (check != DiskCheck::unchanged) merged = snapshotProgress();
        const ProgressSnapshot& written = merged ? *merged : snapshot;
        const WriteOutcome outcome = writeProgressLocked(written, deadline);
        if (outcome == WriteOutcome::replacedMeanwhile) continue;
        progressWritten(written, outcome == WriteOutcome::written);
        return outcome == WriteOutcome::written;
    }
    return false;
}

WordGet::DiskCheck WordGet::checkProgressFile()
{
    std::filesystem::path directory;
    {
        std::lock_guard guard(lock_);
        directory = directory_;
    }
    std::lock_guard saving(saveLock_);
    return catchUpLocked(directory);
}

bool WordGet::progressFileUnfinished() const
{
    std::lock_guard guard(lock_);
    return diskUnfinished_;
}

bool WordGet::takeMergeNotice()
{
    std::lock_guard guard(lock_);
    return std::exchange(mergeNotice_, false);
}

bool WordGet::progressFileSlow() const
{
    std::lock_guard guard(lock_);
    return diskSlow_;
}

bool WordGet::takeDamagedNotice()
{
    std::lock_guard guard(lock_);
    return std::exchange(damagedNotice_, false);
}

WordGet::DiskCheck WordGet::catchUpLocked(const std::filesystem::path& directory)
{
    if (directory.empty()) return DiskCheck::unchanged;
    // The history first: another PC's actions decide its words whichever
    // file brings them.
    bool historyChanged = false;
    const WordActions actions = historyActions(historyChanged);
    const bool copies = mergeSideFiles(directory, actions);
    DiskCheck check = lookAtFileLocked(directory / kProgressFileName, actions);
    if (check == DiskCheck::unchanged && (historyChanged || copies)) {
        std::lock_guard guard(lock_);
        if (followActionsLocked(actions, {}) || copies) {
            mergeNotice_ = true;
            check = DiskCheck::merged;
        }
    }
    return check;
}

WordGet::DiskCheck WordGet::lookAtFileLocked(const std::filesystem::path& path, const WordActions& actions)
{
    if (!base_.known) return DiskCheck::unchanged;
    FileStamp now;
    if (!readFileStamp(path, now)) return DiskCheck::unreadable;
    if (now == base_.stamp) return DiskCheck::unchanged;
    if (!now.exists || now.size == 0) {
        // Removed by another program, or emptied (a program that rewrites
        // it in place, caught in the middle): nothing to merge, and never
        // taken for another PC having dropped every word. The next save
        // writes the file anew.
        base_.stamp = now;
        return DiskCheck::unchanged;
    }
    ProgressRead read;
    // One that cannot be opened is held by another program (a sync program
    // writing it): never damaged for that.
    if (!readProgressFile(path, read, fileSteps_)) return DiskCheck::unreadable;
    if (!read.complete || !(read.stamp == now)) return unreadableLocked(now, path);
    unreadable_ = UnreadableLook{};
    {
        // A damaged file not yet put aside has been replaced by a sound one
        // meanwhile: that one is merged, not put aside.
        std::lock_guard guard(lock_);
        if (std::exchange(damagedAside_, false)) progressUnread_ = false;
    }
    if (read.hash.value() == base_.hash && now.size == base_.stamp.size) {
        // The same bytes written again (a sync program may do that).
        base_.stamp = now;
        return DiskCheck::unchanged;
    }
    return mergeReadLocked(read, base_.words, actions);
}

WordGet::DiskCheck WordGet::mergeReadLocked(ProgressRead& read, const ProgressWords& base, const WordActions& actions)
{
    ProgressWords theirsWords = std::move(read.words);
    {
        std::lock_guard guard(lock_);
        const LaneSide ours(remembered_, learning_, header_);
        const LaneSide theirs(read.remembered, read.learning, read.header);
        const MergePlan plan = planMerge(base, ours.words, theirs.words);
        if (plan.theirsAsIs) {
            // The file as it stands: its lists are taken as they were read.
            installMergedLocked(read.remembered, read.learning, plan.header);
            // What equals the file on disk needs no save, unless the
            // history says otherwise of a word (our lists are in `read` now).
            dirty_ = false;
            if (followActionsLocked(actions, {&read.remembered, &read.learning})) markDirtyLocked();
        } else {
            Lane remembered;
            Lane learning;
            std::u16string scratch;
            for (auto [picks, into] :
                 {std::pair{&plan.remembered, &remembered}, std::pair{&plan.learning, &learning}}) {
                into->reserve(picks->size());
                for (const MergePick& pick : *picks)
                    addAsRecord(*into, (pick.ours ? ours : theirs).node(pick), scratch);
            }
            installMergedLocked(remembered, learning, plan.header);
            // The old lists are in `remembered` and `learning` now.
            followActionsLocked(actions, {&read.remembered, &read.learning, &remembered, &learning});
            markDirtyLocked();
        }
        mergeNotice_ = true;
    }
    base_.known = true;
    base_.stamp = read.stamp;
    base_.hash = read.hash.value();
    base_.words = std::move(theirsWords);
    // Here, and only here, the file on disk has been merged into the lists
    // (conflict copies and put-aside files: in mergeSideFiles).
    return DiskCheck::merged;
}

WordGet::DiskCheck WordGet::unreadableLocked(const FileStamp& now, const std::filesystem::path& path)
{
    // Being written, most likely: never replaced now, tried again at the
    // next save. The same unreadable file at two looks a while apart is no
    // file being written but a damaged one: it is kept beside under a name
    // of its own, as a load keeps one, and ours is written. One that a
    // program still holds open for writing is unfinished however long it
    // stays so (a download that stalls).
    const auto at = steadyNow();
    const bool writing = writerCheck_ ? writerCheck_(path) : openForWritingElsewhere(path);
    if (writing || !unreadable_.seen || !(unreadable_.stamp == now)) {
        unreadable_ = UnreadableLook{true, now, at};
        return DiskCheck::unreadable;
    }
    if (at - unreadable_.since < damagedAfter_) return DiskCheck::unreadable;
    unreadable_ = UnreadableLook{};
    {
        std::lock_guard guard(lock_);
        progressUnread_ = true;
        damagedAside_ = true;
        // Saved even when nothing changed here, so that the file is put
        // aside and a sound one takes its place.
        markDirtyLocked();
    }
    // What the put-aside checks the file against: this damaged one may go,
    // one that changes again may not.
    asideStamp_ = now;
    base_.stamp = now;
    return DiskCheck::damaged;
}

void WordGet::installMergedLocked(Lane& remembered, Lane& learning, const ProgressHeader& header)
{
    // The word shown stays while it is still to be learnt; otherwise the
    // next one of the old order that still is, or the first.
    const Node* next = learning_.find(std::u16string_view(current_.word, boundedLength(current_.word, kWordUnits)));
    while (next != nullptr && !learning.holds(next->word())) next = next->next;
    const Node* shown = next != nullptr ? learning.find(next->word()) : learning.front();
    remembered_.swap(remembered);
    learning_.swap(learning);
    header_ = header;
    ++changes_;
    recomputeCycleEndLocked();
    if (shown != nullptr) shown->copyTo(current_);
}

// The new content goes to a temporary file beside the old one, which is then
// replaced in one step: a failure at any point leaves the old file as it was.
WordGet::WriteOutcome WordGet::writeProgressLocked(const ProgressSnapshot& snapshot, const SaveDeadline& deadline)
{
    if (snapshot.directory.empty()) return WriteOutcome::failed;
    {
        std::lock_guard guard(lock_);
        if (savingForgone_) return WriteOutcome::failed;
    }
    const std::filesystem::path target = snapshot.directory / kProgressFileName;
    const std::filesystem::path temporary =
        snapshot.directory / (std::u16string(kProgressFileName) + kTemporaryExtension);
    const ProgressHeader& header = snapshot.header;

    // A temporary file that a crash left behind is never read; it only
    // stands in the way (it may even be read-only), so it goes first.
    if (!removeFile(temporary, deadline)) return WriteOutcome::failed;
    bool ok = false;
    ContentHash hash;
    FileStamp written;
    if (!failStep(fileSteps_)) {
        if (UniqueFile file{openFile(temporary, "wb")}) {
            std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 18);
            ok = !failStep(fileSteps_) && std::fwrite(&header, sizeof header, 1, file.get()) == 1;
            hash.add(&header, sizeof header);
            WordEntry record;
            std::size_t at = 0;
            for (const ProgressSnapshot::Record& r : snapshot.records) {
                if (!ok) break;
                const std::u16string_view units(snapshot.units.data() + at,
                                                std::size_t{r.wordUnits} + r.phoneticUnits + r.contentUnits);
                at += units.size();
                putRecord(record, units, r);
                ok = !failStep(fileSteps_) && std::fwrite(&record, sizeof record, 1, file.get()) == 1;
                addRecord(hash, fieldsOf(record));
            }
            // With the time up (the session ends) the data goes without the
            // flush: Windows writes its cache out before it turns off, and an
            // unflushed save is better than none.
            ok = ok && !failStep(fileSteps_) && (pastDeadline(deadline) || flushCounted(file.get(), fileSteps_));
            const bool closed = std::fclose(file.release()) == 0;
            ok = ok && !failStep(fileSteps_) && closed;
            // A rename keeps the time and size: this is the stamp the file
            // will have once it has replaced the old one.
            ok = ok && readFileStamp(temporary, written);
        }
    }
    // The file that the new one may replace: the one last read or written,
    // or none once it has been put aside.
    FileStamp expected = base_.stamp;
    bool checked = base_.known;
    if (ok) {
        // A progress file that this run could not read completely holds
        // more than the lists: it is kept under a name of its own before the
        // new one takes its place, and if that cannot be done nothing
        // replaces it.
        bool keep;
        {
            std::lock_guard guard(lock_);
            keep = progressUnread_;
        }
        if (keep) {
            // Only the damaged file that was looked at goes aside: a sound
            // one that came meanwhile is merged first.
            bool damaged;
            {
                std::lock_guard guard(lock_);
                damaged = damagedAside_;
            }
            FileStamp onDisk;
            if (damaged && (!readFileStamp(target, onDisk) || !(onDisk == asideStamp_))) {
                removeFile(temporary, deadline);
                return WriteOutcome::replacedMeanwhile;
            }
            std::filesystem::path kept;
            ok = putAside(target, std::u16string(kProgressFileName) + kKeptExtension, header.lastDate, fileSteps_,
                          &kept);
            if (ok) {
                // A file that came between the look and the rename went
                // aside in its place: not the damaged one, and merged from
                // there by the next look.
                FileStamp keptStamp;
                const bool asLooked = !kept.empty() && readFileStamp(kept, keptStamp) && keptStamp == asideStamp_;
                std::lock_guard guard(lock_);
                progressUnread_ = false;
                if (std::exchange(damagedAside_, false) && asLooked) damagedNotice_ = true;
                expected = FileStamp{};
                checked = true;
            }
        }
    }
    // Another program's file that came after the catch-up is merged first:
    // the file is looked at again before every attempt to replace it, the
    // retries while it is held included (a sync program holds it while it
    // writes the other PC's save).
    bool replacedMeanwhile = false;
    const auto stillExpected = [&] {
        if (!checked) return true;
        FileStamp now;
        if (!readFileStamp(target, now)) return false;
        replacedMeanwhile = !(now == expected);
        return !replacedMeanwhile;
    };
    ok = ok && !failStep(fileSteps_) && replaceFile(temporary, target, deadline, stillExpected);
    if (!ok) {
        removeFile(temporary, deadline);
        return replacedMeanwhile ? WriteOutcome::replacedMeanwhile : WriteOutcome::failed;
    }
    base_.known = true;
    base_.stamp = written;
    base_.hash = hash.value();
    base_.words = wordsOf(snapshot);
    renameMergedCopiesLocked(header.lastDate);
    return WriteOutcome::written;
}

void WordGet::progressWritten(const ProgressSnapshot& snapshot, bool written)
{
    if (!written) return;
    std::lock_guard guard(lock_);
    // The file's date is the date of its save, whatever happened since.
    header_.lastDate = snapshot.header.lastDate;
    if (changes_ == snapshot.version) {
        header_.rememberedCount = snapshot.header.rememberedCount;
        header_.learningCount = snapshot.header.learningCount;
        dirty_ = false;
    }
}
