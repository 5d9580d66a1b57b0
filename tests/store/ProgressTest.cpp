#include <gtest/gtest.h>

#include "store/files/FileReplace.h"
#include "StoreTestSupport.h"

using namespace storetest;
using V = std::vector<std::u16string>;

namespace {

constexpr std::size_t kRecord = sizeof(WordEntry);

fs::path progressFile(const TempDir& dir) { return dir.path() / "DAvud.bin"; }

void writeDictionary(const TempDir& dir, const char* name, std::u16string_view text)
{
    writeBytes(dir.path() / (std::string(name) + ".txt"), utf16le(text));
}

bool onlyProgressFilesIn(const TempDir& dir)
{
    for (const auto& item : fs::directory_iterator(dir.path())) {
        const auto name = item.path().filename();
        if (name != "DAvud.bin" && item.path().extension() != ".txt")
            return false;
    }
    return true;
}

}  // namespace

TEST(Progress, SaveAndLoadRoundTrip)
{
    TempDir dir;
    writeDictionary(dir, "words", u"b|bi:|bee\r\n10 ten||10\r\na|ei|A\r\n-2 x|p|c\r\nc|si:|C\r\n");
    std::string saved;
    {
        WordGet store;
        store.setDirectory(dir.path());
        store.loadProgress(u"words");  // first run: no file, the dictionary comes in
        EXPECT_TRUE(fs::exists(progressFile(dir)));
        EXPECT_EQ(fs::file_size(progressFile(dir)), 0u);
        EXPECT_TRUE(store.dirty());
        store.setRemembered(entry(u"a", u"[ei]", u"A"), true);
        store.setRemembered(entry(u"10 ten", u"", u"10"), true);
        ASSERT_TRUE(store.saveProgress());
        EXPECT_FALSE(store.dirty());
        saved = readBytes(progressFile(dir));
        ASSERT_EQ(saved.size(), 24 + 5 * kRecord);
        const ProgressHeader h = headerOf(saved);
        EXPECT_EQ(h.rememberedCount, 2);
        EXPECT_EQ(h.learningCount, 3);
        EXPECT_EQ(h.lastDate, store.header().lastDate);
        EXPECT_GT(h.lastDate, 20000000);
        // Records: remembered first, then learning, each list head first.
        WordEntry first{};
        std::memcpy(&first, saved.data() + 24, kRecord);
        EXPECT_EQ(text(first.word), u"a");
        std::memcpy(&first, saved.data() + 24 + 2 * kRecord, kRecord);
        EXPECT_EQ(text(first.word), u"-2 x");
        EXPECT_EQ(text(first.phonetic), u"[p]");
        // Words that start with a letter stay in the loaded text, where the
        // transcription has no brackets; the record must have them all the
        // same, and the meaning behind them.
        std::memcpy(&first, saved.data() + 24 + 3 * kRecord, kRecord);
        EXPECT_EQ(text(first.word), u"b");
        EXPECT_EQ(text(first.phonetic), u"[bi:]");
        EXPECT_EQ(text(first.content), u"bee");
    }  // not dirty: the destructor leaves the file alone
    EXPECT_EQ(readBytes(progressFile(dir)), saved);

    WordGet again;
    again.setDirectory(dir.path());
    again.loadProgress(u"words");
    EXPECT_EQ(rememberedWords(again), (V{u"a", u"10 ten"}));
    EXPECT_EQ(learningWords(again), (V{u"-2 x", u"b", u"c"}));
    EXPECT_FALSE(again.dirty());
    const ProgressHeader loaded = again.header();
    EXPECT_EQ(std::memcmp(&loaded, saved.data(), sizeof loaded), 0);
    EXPECT_EQ(text(again.currentEntry().word), u"-2 x");
    ASSERT_TRUE(again.saveProgress());
    EXPECT_EQ(readBytes(progressFile(dir)).substr(24), saved.substr(24));
}

TEST(Progress, HeaderFieldsSurviveAndLastDateIsToday)
{
    TempDir dir;
    ProgressHeader h{};
    h.learningCount = 1;
    h.rememberedCount = 1;
    h.reserved1 = 0x11223344;
    h.reserved2 = -7;
    h.startDate = 20010203;
    h.lastDate = 20010204;
    writeBytes(progressFile(dir), progressImage(h, {entry(u"kept"), entry(u"learn")}));

    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");
    const ProgressHeader loaded = store.header();
    EXPECT_EQ(std::memcmp(&loaded, &h, sizeof h), 0);
    const std::int32_t before = localDate();
    ASSERT_TRUE(store.saveProgress());
    const std::int32_t after = localDate();
    const ProgressHeader written = headerOf(readBytes(progressFile(dir)));
    EXPECT_EQ(written.reserved1, 0x11223344);
    EXPECT_EQ(written.reserved2, -7);
    EXPECT_EQ(written.startDate, 20010203);
    EXPECT_TRUE(written.lastDate == before || written.lastDate == after) << written.lastDate;
    EXPECT_EQ(store.header().lastDate, written.lastDate);
}

TEST(Progress, NavigationAloneNeverRewritesTheFile)
{
    TempDir dir;
    ProgressHeader h{};
    h.learningCount = 3;
    h.lastDate = 20000101;
    const std::string image = progressImage(h, {entry(u"a"), entry(u"b"), entry(u"c")});
    writeBytes(progressFile(dir), image);
    {
        WordGet store;
        store.setDirectory(dir.path());
        store.loadProgress(u"none");
        store.advance();
        store.advance();
        store.stepBack();
        store.recomputeCycleEnd();
        store.setCycleSize(2);
        EXPECT_FALSE(store.dirty());
    }
    EXPECT_EQ(readBytes(progressFile(dir)), image);
}

TEST(Progress, DestructorSavesWhatChanged)
{
    TempDir dir;
    writeDictionary(dir, "words", u"a|p|c\r\nb|p|c\r\n");
    {
        WordGet store;
        store.setDirectory(dir.path());
        store.loadProgress(u"words");
        store.setRemembered(entry(u"b"), true);
    }
    const std::string file = readBytes(progressFile(dir));
    ASSERT_EQ(file.size(), 24 + 2 * kRecord);
    EXPECT_EQ(headerOf(file).rememberedCount, 1);
    EXPECT_EQ(headerOf(file).learningCount, 1);
}

// "End without saving" is kept to the letter: nothing is written after it,
// neither by a save nor by the destructor, whatever changed.
TEST(Progress, AfterSavingIsForgoneNothingIsWritten)
{
    TempDir dir;
    writeDictionary(dir, "words", u"a|p|c\r\nb|p|c\r\n");
    std::string before;
    {
        WordGet store;
        store.setDirectory(dir.path());
        store.loadProgress(u"words");
        ASSERT_TRUE(store.saveProgress());
        before = readBytes(progressFile(dir));
        store.setRemembered(entry(u"b"), true);
        store.forgoSaving();
        EXPECT_FALSE(store.saveProgress());
        store.setRemembered(entry(u"a"), true);
        EXPECT_TRUE(store.dirty());
    }
    EXPECT_EQ(readBytes(progressFile(dir)), before);
    EXPECT_TRUE(onlyProgressFilesIn(dir));
}

TEST(Progress, NothingAnywhereLeavesThePlaceholder)
{
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    store.setCurrentEntry(entry(u"英语四级词汇", u"正在", u"加载中..."));
    store.loadProgress(u"英语四级词汇");
    EXPECT_EQ(text(store.currentEntry().word), u"英语四级词汇");
    EXPECT_TRUE(learningWords(store).empty());
    EXPECT_FALSE(store.dirty());
    EXPECT_TRUE(fs::exists(progressFile(dir)));
}

// How the other shapes of a file load: UnreadProgress.EveryShapeOfFile.
TEST(Progress, RecordsWithoutTerminatorsAreCut)
{
    TempDir dir;
    ProgressHeader h{};
    h.learningCount = 2;
    WordEntry full;
    std::fill(std::begin(full.word), std::end(full.word), u'A');
    std::fill(std::begin(full.phonetic), std::end(full.phonetic), u'\xD83D');
    std::fill(std::begin(full.content), std::end(full.content), u'c');
    writeBytes(progressFile(dir), progressImage(h, {full, entry(u"ok")}));
    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");
    const auto learning = store.entries(WordList::learning);
    ASSERT_EQ(learning.size(), 2u);
    EXPECT_EQ(text(learning[0].word), std::u16string(511, u'A'));
    EXPECT_EQ(text(learning[0].phonetic).size(), 63u);
    EXPECT_EQ(text(learning[0].content).size(), 255u);
    WordEntry next = learning[0];
    store.next(next.word, next);
    EXPECT_EQ(text(next.word), u"ok");
}

TEST(Progress, DictionarySwitchSavesAllRememberedThenTheNewList)
{
    TempDir dir;
    writeDictionary(dir, "one", u"a|p|c\r\nb|p|c\r\nc|p|c\r\n");
    writeDictionary(dir, "two", u"d|p|c\r\nA|p|c\r\ne|p|c\r\n");
    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"one");
    store.setRemembered(entry(u"a"), true);
    store.setRemembered(entry(u"c"), true);
    store.loadDictionary(u"two");
    EXPECT_EQ(learningWords(store), (V{u"d", u"e"}));
    ASSERT_TRUE(store.saveProgress());

    WordGet reread;
    reread.setDirectory(dir.path());
    reread.loadProgress(u"none");
    EXPECT_EQ(rememberedWords(reread), (V{u"a", u"c"}));
    EXPECT_EQ(learningWords(reread), (V{u"d", u"e"}));
    const ProgressHeader h = headerOf(readBytes(progressFile(dir)));
    EXPECT_EQ(h.rememberedCount, 2);
    EXPECT_EQ(h.learningCount, 2);
}

TEST(Progress, SaveFailsCleanly)
{
    WordGet unplaced;
    EXPECT_FALSE(unplaced.saveProgress());

    TempDir dir;
    WordGet missing;
    missing.setDirectory(dir.path() / "no such folder");
    ASSERT_TRUE(missing.insert(entry(u"a"), WordList::learning));
    EXPECT_FALSE(missing.saveProgress());
    EXPECT_FALSE(fs::exists(dir.path() / "no such folder"));

    // A folder where the progress file should be: the replace fails and
    // nothing is left behind.
    fs::create_directory(progressFile(dir));
    WordGet blocked;
    blocked.setDirectory(dir.path());
    ASSERT_TRUE(blocked.insert(entry(u"a"), WordList::learning));
    EXPECT_FALSE(blocked.saveProgress());
    EXPECT_TRUE(fs::is_directory(progressFile(dir)));
    EXPECT_TRUE(onlyProgressFilesIn(dir));
    fs::remove(progressFile(dir));
}

TEST(Progress, FailureAtAnyStepKeepsTheOldFile)
{
    TempDir dir;
    writeDictionary(dir, "words", u"a|p|c\r\nb|p|c\r\nc|p|c\r\n");
    WordGet store;
    store.setFileSteps(&testFileSteps());
    store.setDirectory(dir.path());
    store.loadProgress(u"words");
    ASSERT_TRUE(store.saveProgress());
    const std::string old = readBytes(progressFile(dir));
    store.setRemembered(entry(u"b"), true);
    const ProgressHeader before = store.header();

    // Each step of the save fails in turn, until the fault is armed for a
    // step the save no longer reaches and it goes through.
    int failures = 0;
    for (int step = 1;; ++step) {
        SCOPED_TRACE(step);
        const SaveTry attempt = saveFailingStep(store, step);
        if (attempt.saved) {
            EXPECT_LT(attempt.steps, step);
            EXPECT_EQ(failures, attempt.steps);
            break;
        }
        ++failures;
        ASSERT_LT(step, 1000);
        EXPECT_EQ(readBytes(progressFile(dir)), old);
        EXPECT_TRUE(onlyProgressFilesIn(dir));
        EXPECT_TRUE(store.dirty());
        const ProgressHeader after = store.header();
        EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    }
    // The faults reached the save at all: a step a record at least.
    EXPECT_GE(failures, 3);
    EXPECT_FALSE(store.dirty());
    const std::string now = readBytes(progressFile(dir));
    EXPECT_NE(now, old);
    EXPECT_EQ(headerOf(now).rememberedCount, 1);
    EXPECT_TRUE(onlyProgressFilesIn(dir));
}
