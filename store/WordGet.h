// The word store: the learning list, the remembered list, the study cycle,
// the current entry and the study counters.
//
// Every public operation takes the store's lock, so the UI thread and a
// word-list load on a worker thread may call into it at the same time. Loads
// read and parse their file without the lock and only swap the finished list
// in under it, so the UI thread never waits for a file.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/files/FileReplace.h"
#include "store/lists/ListOrder.h"
#include "store/lists/WordEntry.h"
#include "store/lists/WordLane.h"
#include "store/progress/ProgressBase.h"
#include "store/review/ReviewLog.h"
#include "store/review/WordActions.h"

enum class WordList { learning, remembered };

// Everything a save writes, copied from the store under its lock, so that
// the file can then be written without holding it.
struct ProgressSnapshot {
    struct Record {
        std::uint16_t wordUnits;
        std::uint16_t phoneticUnits;
        std::uint16_t contentUnits;
    };
    std::filesystem::path directory;
    ProgressHeader header{};      // counts and lastDate as they will be written
    std::u16string units;         // the texts of every record, back to back
    std::vector<Record> records;  // the remembered list, then the learning list
    std::uint64_t version = 0;    // the store's change count at the copy
};

class WordGet {
public:
    WordGet();
    // Saves the progress file when the lists changed since the last load or
    // save (unless saving was given up, see forgoSaving), then frees both
    // lists.
    virtual ~WordGet();
    WordGet(const WordGet&) = delete;
    WordGet& operator=(const WordGet&) = delete;

    // The `dic` directory, where dictionaries and the progress file live.
    // Without one, loads and saves do nothing.
    void setDirectory(const std::filesystem::path& dicDirectory);
    // Where dictionaries are looked for, in this order: the first folder
    // whose <name>.txt can be read supplies the list. Without any, the `dic`
    // directory of setDirectory is the one.
    void setDictionaryDirectories(std::vector<std::filesystem::path> directories);
    // Number of words in the study cycle; recomputes the cycle end.
    void setCycleSize(std::int32_t cycleSize);

    // List primitives. Words compare with ASCII-only case folding.
    bool insert(const WordEntry& entry, WordList list);
    bool unlink(const char16_t* word, WordList list);
    bool contains(const char16_t* word) const;
    // Whether `word` is in `list` (a word under review is in the remembered
    // one). A command checks that the word is still where it expects it:
    // a second 已记住 on a word the first one moved must not move it back.
    bool inList(const char16_t* word, WordList list) const;
    void recomputeCycleEnd();

    // Navigation through the study cycle. `word` and `out` may be the same
    // memory; `out` is left as it was when `word` is in no learning node.
    void next(const char16_t* word, WordEntry& out);
    void previous(const char16_t* word, WordEntry& out);
    // The same on the store's current entry (the one the word window shows).
    // A word under review that was shown in two passes of the round without
    // an answer leaves the round as the step leaves it, for the rest of the
    // day: it stays due, and new words keep coming for a user who does not
    // answer.
    void advance();
    void stepBack();

    // Moves a word between the lists (see the .cpp for the exact rules).
    void setRemembered(const WordEntry& entry, bool toRemembered);
    bool deleteRemembered(const char16_t* word);

    // Replace the learning list with dictionary `name` (`dic/<name>.txt`).
    // Afterwards the current entry is the head of the learning list, if any.
    // The list comes in the order `order` asks for (the file's by default).
    void loadDictionary(std::u16string_view name, const ListOrderChoice& order = {});
    // Fill both lists from the progress file; falls back to dictionary
    // `fallbackName` when nothing is left to learn. The remembered words of
    // the sync programs' conflict copies beside the file (see
    // isConflictCopyName) are taken in too; each copy is renamed
    // "<name>.merged-yyyymmdd" after the next save.
    void loadProgress(std::u16string_view fallbackName);
    // Write the progress file atomically. False when nothing was written.
    // The same as snapshotProgress and saveSnapshot in a row. With a
    // deadline, the wait for another save or look at the file on disk (see
    // progressFileSlow) and the retries of a file held for a moment stop
    // there. `lockDeadline`, when given, bounds only the wait for another
    // save or look (an ordinary exit, which has time for the save itself).
    bool saveProgress(const SaveDeadline& deadline = {}, const SaveDeadline& lockDeadline = {});

    // A save in three steps, so that only the first holds the store's lock:
    // copy what is to be written; write it (on any thread; saves run one at
    // a time); record the outcome, which clears `dirty` only when nothing
    // changed since the copy.
    ProgressSnapshot snapshotProgress() const;
    bool writeProgress(const ProgressSnapshot& snapshot, const SaveDeadline& deadline = {});

    // The user chose to end without saving: from now on no save writes
    // anything, the destructor's included, so the old file stays as it was
    // even when whatever stopped the save has gone meanwhile.
    void forgoSaving();
    void progressWritten(const ProgressSnapshot& snapshot, bool written);
    // The second and third step together, after catching up with the file
    // on disk: when another program replaced it since this process last
    // read or wrote it, it is read and merged into the lists first, and the
    // merged lists are written instead of `snapshot`. A file on disk that
    // cannot be read completely is never replaced: false, and the store
    // stays dirty.
    bool saveSnapshot(const ProgressSnapshot& snapshot, const SaveDeadline& deadline = {},
                      const SaveDeadline& lockDeadline = {});

    // What a look at the progress file on disk found.
    // `damaged`: a file that stayed unreadable with the same size and time
    // at looks a while apart (see setDamagedAfter); the next save puts it
    // aside ("DAvud.bin.unreadable-yyyymmdd") and writes the lists.
    enum class DiskCheck { unchanged, merged, unreadable, damaged };
    // Compares the file on disk with the one this process last read or
    // wrote and merges it into the lists when another program replaced it
    // (on any thread; a look at an unchanged file reads nothing but its
    // size and time). After a merge the current entry is the same word if
    // it is still to be learnt, otherwise the next one that is.
    DiskCheck checkProgressFile();
    // True once after a merge of another program's file into the lists,
    // for the UI thread to show the merged state.
    bool takeMergeNotice();
    // True while the last save met a progress file that another program
    // had replaced and that could not be read completely (a sync program
    // still writing it): why that save failed.
    bool progressFileUnfinished() const;
    // True while the last save with a deadline gave up waiting for the look
    // at the file on disk, which was still reading it (a slow synced or
    // network folder): why that save failed.
    bool progressFileSlow() const;
    // True once after a save put a damaged progress file aside and wrote
    // the lists in its place, for the user to be told.
    bool takeDamagedNotice();
    // How long a file must stay unreadable, unchanged, before it counts as
    // damaged rather than still being written (a minute; tests shorten it).
    void setDamagedAfter(std::chrono::steady_clock::duration wait) { damagedAfter_ = wait; }

    // Tests of the progress file fail its steps through `steps` (see
    // FileSteps); it must outlive every load and save. nullptr: none fail.
    void setFileSteps(FileSteps* steps) { fileSteps_ = steps; }

    // The review history where every change of a word's state is recorded
    // (已记住, 忘记, 删除, another list chosen, with its time), and by whose
    // latest action on a word every merge, load and look decides that
    // word: another PC's file, a conflict copy or a file found at start
    // never undoes what the learner did last. Without one (tests of the
    // file alone) the merge goes by the files only. It must outlive the
    // store's loads and saves.
    void setHistory(ReviewLog* history) { history_ = history; }
    // The clocks the store reads: UTC seconds for the history, and the
    // steady clock that times a file staying unreadable. Tests run their
    // own.
    struct Clock {
        std::function<std::int64_t()> utcNow;
        std::function<std::chrono::steady_clock::time_point()> steadyNow;
        // The local day (days since 1970) of a UTC time: the dates the
        // store writes.
        std::function<std::int32_t(std::int64_t)> localDay;
    };
    void setClock(Clock clock) { clock_ = std::move(clock); }
    // Whether another program still has the file open for writing (a sync
    // program's download in place): such a file is unfinished, never
    // damaged. Tests of a platform that cannot tell hand in their own.
    void setWriterCheck(std::function<bool(const std::filesystem::path&)> check) { writerCheck_ = std::move(check); }
    // Saves only when the lists changed, after a look at the file on disk
    // (a file from another PC found there at exit may lack what this one
    // holds, and is merged and written even when nothing changed here).
    bool saveIfChanged(const SaveDeadline& deadline = {}, const SaveDeadline& lockDeadline = {});

    // True after a load met a progress file it could not read completely
    // (locked, unreadable, out of memory part-way, records beyond its
    // counts) and until a save has kept that file under another name.
    bool progressFileKeptBack() const;

    // Review: remembered words that came back to the round as a test of
    // memory. Such a word stays in the remembered list (so the progress
    // file, its counts and the merge with another PC see no change) and
    // goes through the round before the learning list, until 已记住 lets it
    // go back (setRemembered) or 忘了 makes it a word to learn again.
    //
    // Puts `words` (remembered ones; others are passed over) at the front of
    // the round in this order; with `showFirst`, the next step shows the
    // first of them. Returns how many came.
    // Without `showFirst` (words brought into a running round), the next
    // step shows the round's front. With due days, the words under review
    // stand oldest due first, those already there included (the day's new
    // ones among yesterday's unanswered). A word set aside today (see
    // advance) does not come.
    std::size_t bringBack(const std::vector<std::u16string>& words, bool showFirst);
    std::size_t bringBack(const std::vector<DueWord>& words, bool showFirst);
    // A new day: the words set aside may come back.
    void newReviewDay();
    bool underReview(std::u16string_view word) const;
    // How many words wait in the round for their review.
    std::size_t reviewWaiting() const;
    // 忘了: the word leaves review and the remembered list and stays in the
    // round as a word to learn; the remembered count drops by one. False
    // when the word is not under review.
    bool forgetReviewed(const WordEntry& entry);
    // Every word under review leaves the round (review switched off), and
    // any that is no longer remembered (another PC's merge) does.
    void endReview();
    void pruneReview();

    // Consistent copies, taken under the lock.
    WordEntry currentEntry() const;
    void setCurrentEntry(const WordEntry& entry);
    ProgressHeader header() const;
    bool dirty() const;
    std::vector<WordEntry> entries(WordList list) const;
    // Calls `visit` with the texts of every entry of `list`, head first, under
    // the lock (so `visit` must not call into the store). Lets a long list be
    // copied compactly, without a 1664-byte WordEntry per word.
    void forEachEntry(WordList list, const std::function<void(const WordFields&)>& visit) const;
    // The word at the cycle end, empty when the learning list is empty.
    std::u16string cycleEndWord() const;

private:
    using Lane = WordLane;
    using Node = WordLane::Node;

    // Counters move by one; a counter from a hand-edited file may sit at a
    // limit already, so they stop there instead of wrapping.
    static void bump(std::int32_t& counter, int delta);

    Lane& lane(WordList list) { return list == WordList::learning ? learning_ : remembered_; }
    // The round: the words under review, then the learning list.
    const Node* roundFrontLocked() const;
    const Node* findInRoundLocked(std::u16string_view word) const;
    const Node* nextInRoundLocked(const Node* node) const;
    const Node* previousInRoundLocked(const Node* node) const;
    // Takes the word out of review; false when it was not under review.
    bool leaveReviewLocked(std::u16string_view word);
    void keepCurrentInRoundLocked();
    bool insertLocked(const WordFields& fields, WordList list);
    bool unlinkLocked(std::u16string_view word, WordList list);
    void recomputeCycleEndLocked();
    void nextLocked(const char16_t* word, WordEntry& out);
    void previousLocked(const char16_t* word, WordEntry& out);
    // Any change that a save must write.
    void markDirtyLocked();
    // The progress file's halves that work with saveLock_ held.
    enum class WriteOutcome { written, failed, replacedMeanwhile };
    WriteOutcome writeProgressLocked(const ProgressSnapshot& snapshot, const SaveDeadline& deadline);
    DiskCheck catchUpLocked(const std::filesystem::path& directory);
    // A look that found the file unreadable with stamp `now`.
    DiskCheck unreadableLocked(const FileStamp& now, const std::filesystem::path& path);
    // Puts the lanes in place of both lists, which they get (lock_ held).
    void installMergedLocked(Lane& remembered, Lane& learning, const ProgressHeader& header);
    // The sync programs' conflict copies beside the file, and files put
    // aside as unreadable that read whole now: their remembered words are
    // taken in unless the history's latest action on them says otherwise.
    // True when the lists changed.
    bool mergeSideFiles(const std::filesystem::path& directory, const WordActions& actions);
    // The history's latest actions, with the log on disk merged in first.
    WordActions historyActions(bool& changed);
    // Makes every word the history names what its latest action made it;
    // `sources` supply the records of words the lists lack. True when the
    // lists changed (lock_ held).
    bool followActionsLocked(const WordActions& actions, std::initializer_list<const Lane*> sources);
    void recordAction(WordAct act, std::u16string_view word);
    // forgetReviewed's change of the lists, before it is recorded.
    bool moveReviewedToLearning(const WordEntry& entry);
    void recordListChosen(std::int32_t startDate);
    std::int64_t utcNow() const;
    // Today's local date as yyyymmdd, by the store's clock.
    std::int32_t today() const;
    std::chrono::steady_clock::time_point steadyNow() const;
    DiskCheck mergeReadLocked(struct ProgressRead& read, const ProgressWords& base, const WordActions& actions);
    DiskCheck lookAtFileLocked(const std::filesystem::path& path, const WordActions& actions);
    // The stamp of the damaged file to put aside (under saveLock_).
    FileStamp asideStamp_;
    bool saveSnapshotWith(const ProgressSnapshot& snapshot, const SaveDeadline& deadline,
                          const SaveDeadline& lockDeadline, bool onlyIfChanged);
    void renameMergedCopiesLocked(std::int32_t today);
    // Every field zero-terminated inside its array and zero-filled behind
    // the terminator, whatever the entry came with.
    static void normalize(WordEntry& entry);

    mutable std::mutex lock_;
    Lane learning_;
    Lane remembered_;
    // Copies of the remembered words under review, in the order of the
    // round.
    Lane review_;
    // The due day of each word under review (folded), where known.
    std::unordered_map<std::u16string, std::int32_t> reviewDue_;
    // The next step shows the round's front: words were brought in.
    bool frontNext_ = false;
    // Passes of the round (each step to its front begins one), and in how
    // many of them each word under review was shown (by folded word).
    struct Shown {
        std::uint64_t pass = 0;
        int passes = 0;
    };
    std::uint64_t pass_ = 0;
    std::unordered_map<std::u16string, Shown> shown_;
    std::unordered_set<std::u16string> setAside_;  // folded words out of review for today
    const Node* cycleEnd_ = nullptr;               // a node of review_ or learning_, nullptr when there is none
    WordEntry current_{};
    ProgressHeader header_{};
    bool dirty_ = false;
    std::uint64_t changes_ = 0;  // counts markDirtyLocked and loads
    // The progress file on disk holds more than the lists: it must be kept
    // before a save replaces it.
    bool progressUnread_ = false;
    bool savingForgone_ = false;
    // One save writes at a time: they share the temporary file. It also
    // guards what the saves compare the file on disk with.
    // A save against a deadline gives up waiting for it there.
    std::mutex saveLock_;
    ProgressBase base_;
    // The last look that found the file unreadable (under saveLock_).
    struct UnreadableLook {
        bool seen = false;
        FileStamp stamp;
        std::chrono::steady_clock::time_point since;
    };
    UnreadableLook unreadable_;
    std::chrono::steady_clock::duration damagedAfter_ = std::chrono::minutes(1);
    bool damagedAside_ = false;   // under lock_: the file to put aside is a damaged one
    bool damagedNotice_ = false;  // under lock_
    // Conflict copies merged at start, renamed after the next save.
    std::vector<std::filesystem::path> mergedCopies_;
    bool mergeNotice_ = false;     // under lock_
    bool diskUnfinished_ = false;  // under lock_
    bool diskSlow_ = false;        // under lock_
    std::int32_t cycleSize_ = 15;
    std::filesystem::path directory_;
    std::vector<std::filesystem::path> dictionaryDirectories_;
    FileSteps* fileSteps_ = nullptr;
    ReviewLog* history_ = nullptr;
    Clock clock_;
    std::function<bool(const std::filesystem::path&)> writerCheck_;
    // The history as last followed (under saveLock_), so that a look
    // follows it again only when it changed.
    std::uint64_t historyFollowed_ = 0;
    // Side files that could not be read whole, by their stamp: read again
    // only once they change (under saveLock_).
    std::vector<std::pair<std::filesystem::path, FileStamp>> unreadableSideFiles_;
};
