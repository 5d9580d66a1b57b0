// What a save may never do: replace a progress file this run could not read
// completely, leave temporary files behind, or read a dictionary outside the
// store's folder.
#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "StoreTestSupport.h"
#include "store/files/FileReplace.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace storetest;
using V = std::vector<std::u16string>;

namespace {

constexpr std::size_t kRecord = sizeof(WordEntry);

fs::path progressFile(const TempDir& dir)
{
    return dir.path() / "DAvud.bin";
}

void writeDictionary(const fs::path& file, std::u16string_view text)
{
    writeBytes(file, utf16le(text));
}

// "w0", "w1" ...: the words of manyWords.
std::u16string numberedWord(int i)
{
    std::u16string word = u"w";
    for (const char digit : std::to_string(i)) word.push_back(static_cast<char16_t>(digit));
    return word;
}

// A saved file of `count` learning words "w0", "w1" ...
std::string manyWords(int count)
{
    ProgressHeader h{};
    h.learningCount = count;
    h.startDate = 20240101;
    std::string bytes = headerBytes(h);
    for (int i = 0; i < count; ++i) bytes += recordBytes(entry(numberedWord(i)));
    return bytes;
}

std::set<std::string> fileNames(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(dir.path())) names.insert(item.path().filename().string());
    return names;
}

// The kept copies, by name.
std::vector<fs::path> keptFiles(const TempDir& dir)
{
    std::vector<fs::path> kept;
    for (const auto& item : fs::directory_iterator(dir.path())) {
        if (item.path().filename().string().rfind("DAvud.bin.unreadable-", 0) == 0) kept.push_back(item.path());
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

bool namedForToday(const fs::path& file, std::int32_t before, std::int32_t after, const std::string& tail = "")
{
    const std::string name = file.filename().string();
    for (const std::int32_t date : {before, after}) {
        std::string expected = "DAvud.bin.unreadable-";
        expected.append(std::to_string(date)).append(tail);
        if (name == expected) return true;
    }
    return false;
}

// A store on `dir` that loaded its progress with the n-th file step failing
// (0: none); its dictionary "words" holds x, y, z.
struct LoadedStore {
    explicit LoadedStore(const TempDir& dir, int failingStep = 0)
    {
        writeDictionary(dir.path() / "words.txt", u"x|p|c\r\ny|p|c\r\nz|p|c\r\n");
        store.setDirectory(dir.path());
        store.setFileSteps(&testFileSteps());
        failNthFileStep(failingStep);
        store.loadProgress(u"words");
        failNthFileStep(0);
    }
    WordGet store;
};

}  // namespace

// Every shape of progress file a load may meet: what it loads, whether it
// holds back the file (a file it could not read whole), and what the next
// save does with it: keeps it aside byte for byte, or simply replaces it.
TEST(UnreadProgress, EveryShapeOfFile)
{
    const V dictionary{u"x", u"y", u"z"};  // LoadedStore's fallback
    const auto counts = [](std::int32_t remembered, std::int32_t learning) {
        ProgressHeader h{};
        h.rememberedCount = remembered;
        h.learningCount = learning;
        return h;
    };
    ProgressHeader headerOnly{};
    headerOnly.startDate = 20200101;
    const std::string tornRecord = recordBytes(entry(u"torn")).substr(0, 100);
    const struct {
        const char* what;
        std::optional<std::string> image;  // none: no file at all
        V remembered;
        V learning;
        bool fallback;  // nothing left to learn: the dictionary came in
        bool keptAside;
    } shapes[] = {
        {"no file", std::nullopt, {}, dictionary, true, false},
        {"the empty file a first start leaves", std::string(), {}, dictionary, true, false},
        {"shorter than a header", std::string(10, '\x01'), {}, dictionary, true, true},
        {"a header only", headerBytes(headerOnly), {}, dictionary, true, false},
        {"every word remembered",
         progressImage(counts(2, 0), {entry(u"Y"), entry(u"other")}),
         {u"Y", u"other"},
         {u"x", u"z"},
         true,
         false},
        {"a word in both sections, duplicates in one",
         progressImage(counts(2, 4), {entry(u"x"), entry(u"X"), entry(u"X"), entry(u"y"), entry(u"Y"), entry(u"z")}),
         {u"x"},
         {u"y", u"z"},
         false,
         false},
        {"records beyond the counts",
         progressImage(counts(1, 1), {entry(u"r"), entry(u"l"), entry(u"more"), entry(u"most")}),
         {u"r"},
         {u"l"},
         false,
         true},
        {"a torn last record",
         progressImage(counts(0, 3), {entry(u"a"), entry(u"b")}) + tornRecord,
         {},
         {u"a", u"b"},
         false,
         true},
        {"a torn record beyond the counts", manyWords(2) + tornRecord, {}, {u"w0", u"w1"}, false, true},
        {"counts far beyond the file",
         progressImage(counts(1, 2000000000), {entry(u"r"), entry(u"l1"), entry(u"l2")}),
         {u"r"},
         {u"l1", u"l2"},
         false,
         true},
        // -1 reads as a huge unsigned count: everything is remembered.
        {"negative counts",
         progressImage(counts(-1, -5), {entry(u"a"), entry(u"b")}),
         {u"a", u"b"},
         dictionary,
         true,
         true},
    };
    for (const auto& c : shapes) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        if (c.image) writeBytes(progressFile(dir), *c.image);
        LoadedStore loaded(dir);
        WordGet& store = loaded.store;
        EXPECT_EQ(rememberedWords(store), c.remembered);
        EXPECT_EQ(learningWords(store), c.learning);
        EXPECT_EQ(store.progressFileKeptBack(), c.keptAside);
        // Loading never writes; with no file it leaves an empty one.
        EXPECT_EQ(readBytes(progressFile(dir)), c.image.value_or(std::string()));
        const ProgressHeader h = store.header();
        EXPECT_EQ(store.dirty(), c.fallback);
        if (c.fallback) {
            // A dictionary load counts its lines and starts a new round today.
            EXPECT_EQ(h.learningCount, 3);
            EXPECT_EQ(h.startDate, h.lastDate);
            EXPECT_NE(h.startDate, 20200101);
        } else {
            // The counters tell what was loaded, not what the header claimed.
            EXPECT_EQ(h.rememberedCount, static_cast<std::int32_t>(c.remembered.size()));
            EXPECT_EQ(h.learningCount, static_cast<std::int32_t>(c.learning.size()));
        }
        EXPECT_EQ(text(store.currentEntry().word), c.learning.front());

        ASSERT_TRUE(store.saveProgress());
        const auto kept = keptFiles(dir);
        if (c.keptAside) {
            ASSERT_EQ(kept.size(), 1u);
            EXPECT_EQ(readBytes(kept[0]), *c.image);
        } else {
            EXPECT_TRUE(kept.empty());
        }
        EXPECT_FALSE(store.progressFileKeptBack());
        // The new file is whole, and holds what was loaded.
        const std::string saved = readBytes(progressFile(dir));
        EXPECT_EQ(saved.size(), sizeof(ProgressHeader) + (c.remembered.size() + c.learning.size()) * kRecord);
        WordGet again;
        again.setDirectory(dir.path());
        again.loadProgress(u"none");
        EXPECT_EQ(rememberedWords(again), c.remembered);
        EXPECT_EQ(learningWords(again), c.learning);
        EXPECT_FALSE(again.progressFileKeptBack());
    }
}

// A file the load could not read through (it cannot be opened, or a read
// fails part-way) is held back whatever the step that failed: it is kept
// aside, named for the day, before the first save, and only once.
TEST(UnreadProgress, AFailureAtAnyStepOfTheLoadKeepsTheWholeFile)
{
    const std::string original = manyWords(150);  // three batches of records
    int steps = 0;
    {
        TempDir dir;
        writeBytes(progressFile(dir), original);
        steps = fileStepsOf([&] { EXPECT_FALSE(LoadedStore(dir).store.progressFileKeptBack()); });
    }
    // Open, header and a read a batch at least.
    ASSERT_GE(steps, 5);
    V fileWords;
    for (int i = 0; i < 150; ++i) fileWords.push_back(numberedWord(i));
    for (int step = 1; step <= steps; ++step) {
        SCOPED_TRACE(step);
        TempDir dir;
        writeBytes(progressFile(dir), original);
        LoadedStore loaded(dir, step);
        WordGet& store = loaded.store;
        EXPECT_TRUE(store.progressFileKeptBack());
        // What was read stays loaded; with nothing to learn, the dictionary
        // stands in.
        const V learning = learningWords(store);
        if (learning != V{u"x", u"y", u"z"}) {
            ASSERT_LT(learning.size(), fileWords.size());
            EXPECT_EQ(learning, V(fileWords.begin(), fileWords.begin() + learning.size()));
        }
        EXPECT_EQ(readBytes(progressFile(dir)), original);

        const std::int32_t before = localDate();
        ASSERT_TRUE(store.saveProgress());
        const std::int32_t after = localDate();
        const auto kept = keptFiles(dir);
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_TRUE(namedForToday(kept[0], before, after)) << kept[0];
        EXPECT_EQ(readBytes(kept[0]), original);
        EXPECT_EQ(readBytes(progressFile(dir)).size(), 24 + learning.size() * kRecord);
        EXPECT_FALSE(store.progressFileKeptBack());

        // Kept once: the next save simply replaces the new file.
        store.setRemembered(store.currentEntry(), true);
        ASSERT_TRUE(store.saveProgress());
        EXPECT_EQ(keptFiles(dir).size(), 1u);
        EXPECT_EQ(headerOf(readBytes(progressFile(dir))).rememberedCount, 1);
    }
}

// A save that fails at any step, the one that moves the unreadable file
// aside included, loses nothing: the file's bytes are still in the folder,
// as DAvud.bin or kept aside, the store still has its changes to save, and
// the next save that goes through writes them.
TEST(UnreadProgress, AFailureAtAnyStepOfTheSaveLosesNothing)
{
    const std::string original = manyWords(2);
    int failures = 0;
    for (int step = 1;; ++step) {
        SCOPED_TRACE(step);
        TempDir dir;
        writeBytes(progressFile(dir), original);
        LoadedStore loaded(dir, 1);  // the open fails: the file is held back
        WordGet& store = loaded.store;
        ASSERT_TRUE(store.dirty());
        const SaveTry attempt = saveFailingStep(store, step);
        if (attempt.saved) {
            EXPECT_LT(attempt.steps, step);
            EXPECT_EQ(failures, attempt.steps);
            break;
        }
        ++failures;
        ASSERT_LT(step, 1000);
        const auto kept = keptFiles(dir);
        if (kept.empty()) {
            // Not moved aside: nothing replaced it either.
            EXPECT_EQ(fileNames(dir), (std::set<std::string>{"DAvud.bin", "words.txt"}));
            EXPECT_EQ(readBytes(progressFile(dir)), original);
            EXPECT_TRUE(store.progressFileKeptBack());
        } else {
            ASSERT_EQ(kept.size(), 1u);
            EXPECT_EQ(readBytes(kept[0]), original);
            EXPECT_FALSE(fs::exists(dir.path() / "DAvud.bin.tmp"));
            EXPECT_FALSE(store.progressFileKeptBack());
        }
        EXPECT_TRUE(store.dirty());

        ASSERT_TRUE(store.saveProgress());
        ASSERT_EQ(keptFiles(dir).size(), 1u);
        EXPECT_EQ(readBytes(keptFiles(dir)[0]), original);
        // A file put aside whole is looked at again: its two words join the
        // three of the fallback list.
        EXPECT_EQ(readBytes(progressFile(dir)).size(), 24 + (kept.empty() ? 3 : 5) * kRecord);
        EXPECT_FALSE(store.dirty());
    }
    // Create, the records, keep and replace at least.
    EXPECT_GE(failures, 4);
}

TEST(UnreadProgress, AnEarlierCopyOfTheDayIsNeverReplaced)
{
    TempDir dir;
    const std::int32_t before = localDate();
    const std::string earlier = "an earlier kept file";
    std::string earlierName = "DAvud.bin.unreadable-";
    earlierName.append(std::to_string(before));
    writeBytes(dir.path() / earlierName, earlier);
    const std::string original = manyWords(1);
    writeBytes(progressFile(dir), original);
    LoadedStore loaded(dir, 1);
    ASSERT_TRUE(loaded.store.saveProgress());
    const std::int32_t after = localDate();
    const auto kept = keptFiles(dir);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(readBytes(kept[0]), earlier);
    EXPECT_TRUE(namedForToday(kept[1], before, after, "-2")) << kept[1];
    EXPECT_EQ(readBytes(kept[1]), original);
}

TEST(TemporaryProgress, ALeftoverIsNeverLoadedAndGoesAtTheNextSave)
{
    TempDir dir;
    const fs::path leftover = dir.path() / "DAvud.bin.tmp";
    ProgressHeader h{};
    h.learningCount = 1;
    writeBytes(leftover, progressImage(h, {entry(u"half-written")}));
    // Read-only, as a copy from a CD or a restore might leave it.
    fs::permissions(leftover, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    LoadedStore loaded(dir);
    EXPECT_EQ(learningWords(loaded.store), (V{u"x", u"y", u"z"}));
    ASSERT_TRUE(loaded.store.saveProgress());
    EXPECT_EQ(fileNames(dir), (std::set<std::string>{"DAvud.bin", "words.txt"}));
    EXPECT_EQ(readBytes(progressFile(dir)).size(), 24 + 3 * kRecord);
}

TEST(DictionaryName, OnlyPlainNamesOpenAFile)
{
    TempDir root;
    const fs::path dic = root.path() / "dic";
    fs::create_directory(dic);
    writeDictionary(root.path() / "outside.txt", u"secret|p|c\r\n");
    writeDictionary(dic / "inside.txt", u"inside|p|c\r\n");
    writeDictionary(dic / "a.b.txt", u"dotted|p|c\r\n");
    writeDictionary(dic / "..txt", u"dot|p|c\r\n");
    writeDictionary(dic / "...txt", u"dotdot|p|c\r\n");
    const std::string outsidePath = (root.path() / "outside").string();
    const std::u16string absolute(outsidePath.begin(), outsidePath.end());
    const std::u16string refused[] = {
        u"../outside", u"..\\outside", u"..",   u".",    u"sub/../../outside", absolute, u"C:outside", u"x:stream",
        u"CON",        u"nul",         u"Com1", u"LPT9", u"aux.more",          u"NUL ",  u"COM\u00B9",
    };
    for (const std::u16string& name : refused) {
        SCOPED_TRACE(testing::PrintToString(name));
        WordGet store;
        store.setDirectory(dic);
        store.loadDictionary(name);
        EXPECT_TRUE(learningWords(store).empty());
        EXPECT_FALSE(store.dirty());
    }
    const struct {
        std::u16string name;
        std::u16string word;
    } accepted[] = {{u"inside", u"inside"}, {u"a.b", u"dotted"}};
    for (const auto& a : accepted) {
        SCOPED_TRACE(testing::PrintToString(a.name));
        WordGet store;
        store.setDirectory(dic);
        store.loadDictionary(a.name);
        EXPECT_EQ(learningWords(store), V{a.word});
    }
    for (const std::u16string name : {u"英语四级词汇", u"...", u"COM10", u"console", u"LPT0", u"con-words"})
        EXPECT_TRUE(isPlainFileName(name)) << testing::PrintToString(name);
}

#ifdef _WIN32
// Another program holds the progress file open without sharing it: it can be
// neither read nor moved, so the save waits until it is let go.
TEST(UnreadProgress, AFileHeldOpenByAnotherProgramIsLeftAlone)
{
    TempDir dir;
    const std::string original = manyWords(2);
    writeBytes(progressFile(dir), original);
    HANDLE held = CreateFileW(progressFile(dir).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    LoadedStore loaded(dir);
    EXPECT_EQ(learningWords(loaded.store), (V{u"x", u"y", u"z"}));
    EXPECT_FALSE(loaded.store.saveProgress());
    EXPECT_TRUE(loaded.store.dirty());
    CloseHandle(held);
    EXPECT_EQ(readBytes(progressFile(dir)), original);
    EXPECT_EQ(fileNames(dir), (std::set<std::string>{"DAvud.bin", "words.txt"}));

    ASSERT_TRUE(loaded.store.saveProgress());
    ASSERT_EQ(keptFiles(dir).size(), 1u);
    EXPECT_EQ(readBytes(keptFiles(dir)[0]), original);
    EXPECT_EQ(readBytes(progressFile(dir)).size(), 24 + 3 * kRecord);
}
#endif
