// The background save: the file is written on a worker thread while the
// store stays usable, and the store is marked clean only for what was
// written.
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "BackgroundSave.h"
#include "StoreTestSupport.h"
#include "store/files/FileReplace.h"

using namespace storetest;
using V = std::vector<std::u16string>;

namespace {

constexpr std::size_t kRecord = sizeof(WordEntry);

// Holds the first save or load step taken on a thread other than the test's
// own until released: a save stopped in the middle of writing its file.
class StepGate {
public:
    StepGate()
    {
        testThread_ = std::this_thread::get_id();
        current_ = this;
        testFileSteps().setHook(&StepGate::hook);
    }
    ~StepGate()
    {
        release();
        testFileSteps().setHook(nullptr);
        current_ = nullptr;
    }
    bool waitUntilHeld()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return held_; });
    }
    void release()
    {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    static void hook()
    {
        StepGate* gate = current_;
        if (gate == nullptr || std::this_thread::get_id() == gate->testThread_) return;
        std::unique_lock lock(gate->mutex_);
        if (gate->held_) return;  // only the first step waits
        gate->held_ = true;
        gate->changed_.notify_all();
        gate->changed_.wait(lock, [gate] { return gate->open_; });
    }

    static inline StepGate* current_ = nullptr;
    std::thread::id testThread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool open_ = false;
};

// A store with five learning words, loaded from its dictionary (so dirty).
void loadFive(const TempDir& dir, WordGet& store)
{
    writeBytes(dir.path() / "words.txt", utf16le(u"a|p|c\r\nb|p|c\r\nc|p|c\r\nd|p|c\r\ne|p|c\r\n"));
    store.setDirectory(dir.path());
    store.loadProgress(u"words");
    ASSERT_TRUE(store.dirty());
}

}  // namespace

TEST(ProgressSaver, SavesInTheBackgroundAndMarksTheStoreClean)
{
    TempDir dir;
    WordGet store;
    loadFive(dir, store);
    BackgroundSave saver(store);
    std::promise<bool> result;
    ASSERT_TRUE(saver.start([&](bool saved) { result.set_value(saved); }));
    auto reported = result.get_future();
    ASSERT_EQ(reported.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(reported.get());
    saver.wait();
    EXPECT_FALSE(saver.running());
    EXPECT_FALSE(store.dirty());
    EXPECT_EQ(readBytes(dir.path() / "DAvud.bin").size(), 24 + 5 * kRecord);
    // Nothing changed since: nothing to start.
    EXPECT_FALSE(saver.start());
}

// The old periodic save held the store's lock while it wrote: every store
// call of the word window waited for the disk.
TEST(ProgressSaver, TheStoreStaysUsableWhileTheFileIsWritten)
{
    TempDir dir;
    WordGet store;
    store.setFileSteps(&testFileSteps());
    loadFive(dir, store);
    BackgroundSave saver(store);
    StepGate gate;
    ASSERT_TRUE(saver.start());
    ASSERT_TRUE(gate.waitUntilHeld());
    EXPECT_TRUE(saver.running());
    EXPECT_FALSE(saver.start());  // one save at a time

    auto storeCalls = std::async(std::launch::async, [&] {
        store.advance();
        (void)store.currentEntry();
        (void)store.header();
        store.setRemembered(entry(u"b"), true);
    });
    const bool usable = storeCalls.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    // Released in any case, so that a store call that waits gets through.
    gate.release();
    storeCalls.wait();
    saver.wait();
    ASSERT_TRUE(usable) << "a store call waited for the save";

    // The file holds the lists as they were copied; the change made during
    // the write is still to be saved.
    const std::string file = readBytes(dir.path() / "DAvud.bin");
    EXPECT_EQ(headerOf(file).learningCount, 5);
    EXPECT_EQ(headerOf(file).rememberedCount, 0);
    EXPECT_TRUE(store.dirty());
    EXPECT_EQ(store.header().rememberedCount, 1);
    EXPECT_EQ(store.header().lastDate, headerOf(file).lastDate);

    ASSERT_TRUE(saver.start());
    saver.wait();
    EXPECT_FALSE(store.dirty());
    EXPECT_EQ(headerOf(readBytes(dir.path() / "DAvud.bin")).rememberedCount, 1);
}

// Exit: the final save waits for a running background save and then writes
// the latest lists over it.
TEST(ProgressSaver, TheExitSaveComesAfterARunningOne)
{
    TempDir dir;
    WordGet store;
    store.setFileSteps(&testFileSteps());
    loadFive(dir, store);
    BackgroundSave saver(store);
    auto gate = std::make_unique<StepGate>();
    ASSERT_TRUE(saver.start());
    ASSERT_TRUE(gate->waitUntilHeld());
    store.setRemembered(entry(u"a"), true);
    store.setRemembered(entry(u"c"), true);

    auto exitSave = std::async(std::launch::async, [&] { return store.saveProgress(); });
    // Held back by the running save.
    EXPECT_EQ(exitSave.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    gate->release();
    ASSERT_EQ(exitSave.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(exitSave.get());
    saver.wait();
    gate.reset();

    EXPECT_FALSE(store.dirty());
    WordGet reread;
    reread.setDirectory(dir.path());
    reread.loadProgress(u"none");
    EXPECT_EQ(rememberedWords(reread), (V{u"a", u"c"}));
    EXPECT_EQ(learningWords(reread), (V{u"b", u"d", u"e"}));
    EXPECT_EQ(fs::file_size(dir.path() / "DAvud.bin"), 24 + 5 * kRecord);
}

TEST(ProgressSaver, AFailedSaveLeavesTheStoreDirty)
{
    TempDir dir;
    WordGet store;
    loadFive(dir, store);
    fs::remove(dir.path() / "DAvud.bin");
    fs::create_directory(dir.path() / "DAvud.bin");  // cannot be replaced
    BackgroundSave saver(store);
    std::promise<bool> result;
    ASSERT_TRUE(saver.start([&](bool saved) { result.set_value(saved); }));
    EXPECT_FALSE(result.get_future().get());
    saver.wait();
    EXPECT_TRUE(store.dirty());
    EXPECT_FALSE(fs::exists(dir.path() / "DAvud.bin.tmp"));
}

// Every whole-file write reaches the disk before it may replace a file: the
// review log's, mivora.ini's and an imported list's through writeFlushed, the
// progress file's through its save. A failure at any step is no success.
TEST(ProgressSaver, EveryWriteIsFlushedBeforeItReplacesAFile)
{
    TempDir dir;
    const fs::path temporary = dir.path() / "whole.tmp";
    const struct {
        const char* what;
        std::string bytes;
        int failStep;  // 0: none
        bool written;
        int flushes;
    } cases[] = {
        {"some bytes", "abc\n", 0, true, 1},      {"nothing at all", "", 0, true, 1},
        {"the create fails", "abc", 1, false, 0}, {"the write fails", "abc", 2, false, 0},
        {"the flush fails", "abc", 3, false, 0},  {"the close fails", "abc", 4, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FileSteps steps;
        steps.failNth(c.failStep);
        EXPECT_EQ(writeFlushed(temporary, c.bytes, &steps), c.written);
        EXPECT_EQ(steps.flushes(), c.flushes);
        if (c.written) EXPECT_EQ(readBytes(temporary), c.bytes);
    }
    // The progress file's save: one flush, and none skipped without a
    // deadline that has passed.
    writeBytes(dir.path() / "words.txt", "\xFF\xFE" + utf16le(u"a|[x]|y\r\n"));
    WordGet store;
    FileSteps steps;
    store.setFileSteps(&steps);
    store.setDirectory(dir.path());
    store.loadProgress(u"words");
    ASSERT_TRUE(store.saveProgress());
    EXPECT_EQ(steps.flushes(), 1);
}
