// A progress file held open for a moment by another program (a virus scan
// on close, the search indexer, OneDrive, a backup) while it is saved.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "StoreTestSupport.h"

using namespace storetest;

namespace {

// A store of x, y, z saved once on `dir`, then changed, so the next save
// writes again.
struct ChangedStore {
    explicit ChangedStore(const TempDir& dir)
    {
        writeBytes(dir / "words.txt", utf16le(u"x|p|c\r\ny|p|c\r\nz|p|c\r\n"));
        store.setDirectory(dir.path());
        store.loadProgress(u"words");
        EXPECT_TRUE(store.saveProgress());
        saved = readBytes(dir / "DAvud.bin");
        store.setRemembered(store.entries(WordList::learning).at(0), true);
    }
    WordGet store;
    std::string saved;
};

// Opens `file` as those programs do: reading, without delete sharing.
HANDLE holdWithoutDeleteSharing(const fs::path& file)
{
    return CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// Closes `held` after `ms` on a thread of its own; `released` says whether
// it has.
class BriefHold {
public:
    explicit BriefHold(HANDLE held, DWORD ms = 200) : thread_([this, held, ms] {
            Sleep(ms);
            released = true;
            CloseHandle(held);
        })
    {
    }
    ~BriefHold() { thread_.join(); }
    std::atomic<bool> released{false};

private:
    std::thread thread_;
};

// What a save meets, without trying again: the target held makes the
// replace fail; the temporary file held makes the replace and its removal
// fail with a sharing violation.
TEST(BriefLock, TheHoldsAreOnesThatMakeTheStepsFail)
{
    enum class Held { target, source };
    enum class Step { replace, remove };
    struct Case {
        Held held;
        Step step;
        DWORD error;
        DWORD alsoError;
    } const cases[] = {
        {Held::target, Step::replace, ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED},
        {Held::source, Step::replace, ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},
        {Held::source, Step::remove, ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeBytes(dir / "target", "old");
        writeBytes(dir / "source", "new");
        HANDLE held = holdWithoutDeleteSharing(dir / (c.held == Held::target ? "target" : "source"));
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const bool done = c.step == Step::replace ? MoveFileExW((dir / "source").c_str(), (dir / "target").c_str(),
                                                                MOVEFILE_REPLACE_EXISTING) != 0
                                                  : DeleteFileW((dir / "source").c_str()) != 0;
        const DWORD error = GetLastError();
        CloseHandle(held);
        EXPECT_FALSE(done) << static_cast<int>(c.held) << static_cast<int>(c.step);
        EXPECT_TRUE(error == c.error || error == c.alsoError) << error;
        EXPECT_EQ(readBytes(dir / "target"), "old");
    }
}

TEST(BriefLock, AFileHeldFor200MsIsSaved)
{
    TempDir dir;
    ChangedStore changed(dir);
    HANDLE held = holdWithoutDeleteSharing(dir / "DAvud.bin");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::atomic<bool> released{false};
    std::thread holder([&] {
        Sleep(200);
        released = true;
        CloseHandle(held);
    });
    const bool saved = changed.store.saveProgress();
    const bool releasedBeforeTheEnd = released.load();
    holder.join();
    EXPECT_TRUE(saved);
    EXPECT_TRUE(releasedBeforeTheEnd);
    EXPECT_NE(readBytes(dir / "DAvud.bin"), changed.saved);
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
    EXPECT_FALSE(changed.store.dirty());
}

// A temporary file that a crash left behind, read by a virus scan when the
// save wants it out of the way.
TEST(BriefLock, AStaleTemporaryFileHeldFor200MsIsRemovedAndTheSaveGoesOn)
{
    TempDir dir;
    ChangedStore changed(dir);
    writeBytes(dir / "DAvud.bin.tmp", "left by a crash");
    bool saved = false;
    bool releasedBeforeTheEnd = false;
    {
        BriefHold hold(holdWithoutDeleteSharing(dir / "DAvud.bin.tmp"));
        saved = changed.store.saveProgress();
        releasedBeforeTheEnd = hold.released.load();
    }
    EXPECT_TRUE(saved);
    EXPECT_TRUE(releasedBeforeTheEnd);
    EXPECT_NE(readBytes(dir / "DAvud.bin"), changed.saved);
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
}

// The fresh temporary file, opened by a scan the moment it is closed, just
// before it replaces the old one.
std::atomic<int> stepsSeen{0};
std::atomic<int> holdAtStep{0};
fs::path heldTemporary;
std::unique_ptr<BriefHold> temporaryHold;

void holdTheTemporaryBeforeTheReplace()
{
    if (++stepsSeen != holdAtStep) return;
    HANDLE held = holdWithoutDeleteSharing(heldTemporary);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    temporaryHold = std::make_unique<BriefHold>(held);
}

TEST(BriefLock, ATemporaryFileHeldFor200MsJustBeforeTheReplaceIsSwappedIn)
{
    TempDir dir;
    ChangedStore changed(dir);
    FileSteps steps;
    changed.store.setFileSteps(&steps);
    // The replace is a save's last step: a save unchanged counts them.
    stepsSeen = 0;
    holdAtStep = 0;
    steps.setHook(holdTheTemporaryBeforeTheReplace);
    ASSERT_TRUE(changed.store.writeProgress(changed.store.snapshotProgress()));
    const std::string before = readBytes(dir / "DAvud.bin");
    changed.store.setRemembered(changed.store.entries(WordList::learning).at(0), true);
    heldTemporary = dir / "DAvud.bin.tmp";
    holdAtStep = stepsSeen.load();
    stepsSeen = 0;
    const bool saved = changed.store.saveProgress();
    ASSERT_NE(temporaryHold, nullptr) << "the hold never came";
    const bool releasedBeforeTheEnd = temporaryHold->released.load();
    temporaryHold.reset();
    steps.setHook(nullptr);
    changed.store.setFileSteps(nullptr);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(releasedBeforeTheEnd);
    EXPECT_NE(readBytes(dir / "DAvud.bin"), before);
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
}

// A sync program holds the file while it writes the other PC's save into
// it: the retries of the replace look at the file again each time, and the
// save merges that save instead of replacing it.
TEST(BriefLock, WhatArrivesWhileTheFileIsHeldIsMergedNotReplaced)
{
    TempDir dir;
    ChangedStore changed(dir);  // here: x remembered
    const std::string theirs =
        progressImage(ProgressHeader{2, 1, 0, 0, changed.store.header().startDate, 20260102},
                      {entry(u"z", u"p", u"c"), entry(u"x", u"p", u"c"), entry(u"y", u"p", u"c")});
    HANDLE held = CreateFileW((dir / "DAvud.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::atomic<bool> released{false};
    std::thread syncProgram([&] {
        Sleep(200);
        DWORD written = 0;
        WriteFile(held, theirs.data(), static_cast<DWORD>(theirs.size()), &written, nullptr);
        SetEndOfFile(held);
        FILETIME later{};
        GetFileTime(held, nullptr, nullptr, &later);
        later.dwHighDateTime += 1;  // the other PC's time, as sync programs keep it
        SetFileTime(held, nullptr, nullptr, &later);
        released = true;
        CloseHandle(held);
    });
    bool saved = changed.store.saveProgress();
    syncProgram.join();
    // A look that met the new content still held could not read it: that
    // save failed, and the next one merges.
    if (!saved) saved = changed.store.saveProgress();
    EXPECT_TRUE(saved);
    EXPECT_TRUE(released);
    WordGet reread;
    reread.setDirectory(dir.path());
    reread.loadProgress(u"none");
    const std::vector<WordEntry> remembered = reread.entries(WordList::remembered);
    ASSERT_EQ(remembered.size(), 2u);
    EXPECT_EQ(std::u16string(remembered[0].word), u"z");
    EXPECT_EQ(std::u16string(remembered[1].word), u"x");
}

// At the end of a session there is no second to wait: with the time up, a
// held file fails the save at once and the old file stays. (800 ms: far
// longer than a save of three words, shorter than the retries' second.)
TEST(BriefLock, WithTheTimeUpAHeldFileIsNotWaitedFor)
{
    TempDir dir;
    ChangedStore changed(dir);
    bool saved = true;
    bool releasedBeforeTheEnd = true;
    {
        BriefHold hold(holdWithoutDeleteSharing(dir / "DAvud.bin"), 800);
        saved = changed.store.saveProgress(std::chrono::steady_clock::now());
        releasedBeforeTheEnd = hold.released.load();
    }
    EXPECT_FALSE(saved);
    EXPECT_FALSE(releasedBeforeTheEnd);
    EXPECT_EQ(readBytes(dir / "DAvud.bin"), changed.saved);
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
    EXPECT_TRUE(changed.store.dirty());
    // Time enough: the same hold is waited out.
    {
        BriefHold hold(holdWithoutDeleteSharing(dir / "DAvud.bin"), 800);
        saved = changed.store.saveProgress(std::chrono::steady_clock::now() + std::chrono::seconds(10));
        releasedBeforeTheEnd = hold.released.load();
    }
    EXPECT_TRUE(saved);
    EXPECT_TRUE(releasedBeforeTheEnd);
}

TEST(BriefLock, AFileHeldLongerIsLeftAsItWasAndTheSaveFails)
{
    TempDir dir;
    ChangedStore changed(dir);
    HANDLE held = holdWithoutDeleteSharing(dir / "DAvud.bin");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(changed.store.saveProgress());
    CloseHandle(held);
    EXPECT_EQ(readBytes(dir / "DAvud.bin"), changed.saved);
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
    EXPECT_TRUE(changed.store.dirty());
}
