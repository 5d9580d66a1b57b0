// What a save may never do: replace a progress file this run could not read
// completely, leave temporary files behind, or read a dictionary outside the
// store's folder.
#include <gtest/gtest.h>

#include <set>

#include "FileReplace.h"
#include "StoreTestSupport.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace storetest;
using V = std::vector<std::u16string>;

namespace {

constexpr std::size_t kRecord = sizeof(WordEntry);

fs::path progressFile(const TempDir& dir) { return dir.path() / "DAvud.bin"; }

void writeDictionary(const fs::path& file, std::u16string_view text) { writeBytes(file, utf16le(text)); }

std::string progressImage(ProgressHeader header, std::initializer_list<WordEntry> records)
{
    std::string bytes = headerBytes(header);
    for (const WordEntry& e : records)
        bytes += recordBytes(e);
    return bytes;
}

// A saved file of `count` learning words "w0", "w1" ...
std::string manyWords(int count)
{
    ProgressHeader h{};
    h.learningCount = count;
    h.startDate = 20240101;
    std::string bytes = headerBytes(h);
    for (int i = 0; i < count; ++i) {
        std::u16string word = u"w";
        for (const char digit : std::to_string(i))
            word.push_back(static_cast<char16_t>(digit));
        bytes += recordBytes(entry(word));
    }
    return bytes;
}

std::set<std::string> fileNames(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(dir.path()))
        names.insert(item.path().filename().string());
    return names;
}

// The kept copies, by name.
std::vector<fs::path> keptFiles(const TempDir& dir)
{
    std::vector<fs::path> kept;
    for (const auto& item : fs::directory_iterator(dir.path())) {
        if (item.path().filename().string().rfind("DAvud.bin.unreadable-", 0) == 0)
            kept.push_back(item.path());
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
        if (name == expected)
            return true;
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
        failNthFileStep(failingStep);
        store.loadProgress(u"words");
        failNthFileStep(0);
    }
    WordGet store;
};

}  // namespace

TEST(UnreadProgress, AFileThatCannotBeOpenedIsKeptBeforeTheFirstSave)
{
    TempDir dir;
    const std::string original = manyWords(3);
    writeBytes(progressFile(dir), original);
    LoadedStore loaded(dir, 1);  // the open fails
    // The dictionary stands in for the progress, as before.
    EXPECT_EQ(learningWords(loaded.store), (V{u"x", u"y", u"z"}));
    EXPECT_TRUE(loaded.store.dirty());
    EXPECT_TRUE(loaded.store.progressFileKeptBack());
    EXPECT_EQ(readBytes(progressFile(dir)), original);

    const std::int32_t before = localDate();
    ASSERT_TRUE(loaded.store.saveProgress());
    const std::int32_t after = localDate();
    const auto kept = keptFiles(dir);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(namedForToday(kept[0], before, after)) << kept[0];
    EXPECT_EQ(readBytes(kept[0]), original);
    EXPECT_EQ(readBytes(progressFile(dir)).size(), 24 + 3 * kRecord);
    EXPECT_FALSE(loaded.store.progressFileKeptBack());

    // Kept once: the next save simply replaces the new file.
    loaded.store.setRemembered(entry(u"y"), true);
    ASSERT_TRUE(loaded.store.saveProgress());
    EXPECT_EQ(keptFiles(dir).size(), 1u);
    EXPECT_EQ(headerOf(readBytes(progressFile(dir))).rememberedCount, 1);
}

TEST(UnreadProgress, AReadThatFailsPartWayKeepsTheWholeFile)
{
    TempDir dir;
    const std::string original = manyWords(150);  // three batches of records
    writeBytes(progressFile(dir), original);
    // Steps of the load: open, header, then one per batch; the second fails.
    LoadedStore loaded(dir, 4);
    EXPECT_EQ(learningWords(loaded.store).size(), 64u);  // what was read stays loaded
    EXPECT_TRUE(loaded.store.progressFileKeptBack());
    loaded.store.setRemembered(entry(u"w5"), true);
    ASSERT_TRUE(loaded.store.saveProgress());
    const auto kept = keptFiles(dir);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(readBytes(kept[0]), original);
    EXPECT_EQ(readBytes(progressFile(dir)).size(), 24 + 64 * kRecord);
}

TEST(UnreadProgress, RecordsBeyondTheCountsAreKept)
{
    TempDir dir;
    ProgressHeader h{};
    h.rememberedCount = 1;
    h.learningCount = 1;
    const std::string original = progressImage(h, {entry(u"r"), entry(u"l"), entry(u"more"), entry(u"most")});
    writeBytes(progressFile(dir), original);
    LoadedStore loaded(dir);
    EXPECT_EQ(rememberedWords(loaded.store), (V{u"r"}));
    EXPECT_EQ(learningWords(loaded.store), (V{u"l"}));
    EXPECT_TRUE(loaded.store.progressFileKeptBack());
    ASSERT_TRUE(loaded.store.saveProgress());
    const auto kept = keptFiles(dir);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(readBytes(kept[0]), original);
}

TEST(UnreadProgress, AnEmptyFileIsReplacedADamagedOneIsKeptAside)
{
    {
        // The empty file a first start leaves holds nothing to keep.
        TempDir dir;
        writeBytes(progressFile(dir), std::string());
        LoadedStore loaded(dir);
        EXPECT_FALSE(loaded.store.progressFileKeptBack());
        ASSERT_TRUE(loaded.store.saveProgress());
        EXPECT_TRUE(keptFiles(dir).empty());
    }
    const struct {
        const char* what;
        std::string image;
    } damaged[] = {
        {"shorter than a header", std::string(10, '\x01')},
        {"torn last record", [] {
             ProgressHeader h{};
             h.learningCount = 3;
             return progressImage(h, {entry(u"a"), entry(u"b")}) + recordBytes(entry(u"torn")).substr(0, 100);
         }()},
        {"a torn record's bytes beyond the counts", manyWords(2) + recordBytes(entry(u"torn")).substr(0, 100)},
        {"counts beyond the file", [] {
             ProgressHeader h{};
             h.learningCount = 2000000000;
             return progressImage(h, {entry(u"a"), entry(u"b")});
         }()},
        {"negative counts", [] {
             ProgressHeader h{};
             h.rememberedCount = -1;
             h.learningCount = -5;
             return progressImage(h, {entry(u"a"), entry(u"b")});
         }()},
    };
    for (const auto& c : damaged) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeBytes(progressFile(dir), c.image);
        LoadedStore loaded(dir);
        EXPECT_TRUE(loaded.store.progressFileKeptBack());
        loaded.store.setRemembered(loaded.store.currentEntry(), true);
        ASSERT_TRUE(loaded.store.saveProgress());
        const auto kept = keptFiles(dir);
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(readBytes(kept[0]), c.image);
        // The new file is whole: a header and the records it counts.
        const std::string saved = readBytes(progressFile(dir));
        ASSERT_GE(saved.size(), sizeof(ProgressHeader));
        const ProgressHeader h = headerOf(saved);
        EXPECT_EQ(saved.size(), sizeof(ProgressHeader) +
                                    std::size_t(h.rememberedCount + h.learningCount) * sizeof(WordEntry));
    }
}

TEST(UnreadProgress, WhenTheFileCannotBeKeptNothingIsSaved)
{
    TempDir dir;
    const std::string original = manyWords(2);
    writeBytes(progressFile(dir), original);
    LoadedStore loaded(dir, 1);
    ASSERT_TRUE(loaded.store.dirty());
    // Steps of the save: create, header, three records, flush, close, keep.
    failNthFileStep(8);
    EXPECT_FALSE(loaded.store.saveProgress());
    failNthFileStep(0);
    EXPECT_EQ(readBytes(progressFile(dir)), original);
    EXPECT_EQ(fileNames(dir), (std::set<std::string>{"DAvud.bin", "words.txt"}));
    EXPECT_TRUE(loaded.store.dirty());
    EXPECT_TRUE(loaded.store.progressFileKeptBack());

    // Once it can be moved, the next save keeps it and writes.
    ASSERT_TRUE(loaded.store.saveProgress());
    ASSERT_EQ(keptFiles(dir).size(), 1u);
    EXPECT_EQ(readBytes(keptFiles(dir)[0]), original);
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
        u"../outside", u"..\\outside", u"..", u".", u"sub/../../outside", absolute, u"C:outside", u"x:stream",
        u"CON",        u"nul",         u"Com1", u"LPT9", u"aux.more", u"NUL ", u"COM\u00B9",
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
