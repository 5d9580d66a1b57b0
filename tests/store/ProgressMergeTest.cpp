// Two PCs sharing DAvud.bin through a synced folder: the merge rule as a
// table, the look at the file on disk before saves and while running, the
// sync programs' conflict copies, and a folder that nobody else writes to.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>

#include "ProgressBase.h"
#include "ProgressMerge.h"
#include "ProgressSaver.h"
#include "StoreTestSupport.h"

using namespace storetest;

namespace {

// "r s | a b": the remembered words, a bar, the learning words.
ProgressLists listsOf(const std::string& text, std::int32_t startDate, char16_t side = u'?')
{
    ProgressLists lists;
    lists.header.startDate = startDate;
    std::istringstream in(text);
    std::vector<ProgressRecord>* into = &lists.remembered;
    for (std::string word; in >> word;) {
        if (word == "|") {
            into = &lists.learning;
            continue;
        }
        into->push_back({std::u16string(word.begin(), word.end()), u"", std::u16string(1, side)});
    }
    return lists;
}

std::string textOf(const ProgressLists& lists)
{
    std::string text;
    for (const ProgressRecord& r : lists.remembered) text += std::string(r.word.begin(), r.word.end()) + " ";
    text += "|";
    for (const ProgressRecord& r : lists.learning) text += " " + std::string(r.word.begin(), r.word.end());
    return text;
}

struct MergeRow {
    const char* what;
    const char* base;
    std::int32_t baseStart;
    const char* ours;
    std::int32_t oursStart;
    const char* theirs;
    std::int32_t theirsStart;
    const char* merged;
    std::int32_t mergedStart;
};

}  // namespace

TEST(ProgressMerge, FollowsTheRuleRowByRow)
{
    const MergeRow rows[] = {
        {"nothing changed anywhere", "r | a b c", 1, "r | a b c", 1, "r | a b c", 1, "r | a b c", 1},
        {"only the other PC changed", "r | a b c", 1, "r | a b c", 1, "r b | a c", 1, "r b | a c", 1},
        {"remembered here and there", "| a b c d", 1, "a | b c d", 1, "c | a b d", 1, "a c | b d", 1},
        {"the same word remembered on both, in other case", "| a b", 1, "a | b", 1, "A | b", 1, "a | b", 1},
        {"forgotten there comes back here at the end", "r s | a b", 1, "r s | a b", 1, "s | a b r", 1, "s | a b r", 1},
        {"forgotten here stays forgotten", "r | a", 1, "| a r", 1, "r | a", 1, "| a r", 1},
        {"forgotten on both", "r | a", 1, "| a r", 1, "| r a", 1, "| a r", 1},
        {"deleted there is gone", "r s | a", 1, "r s | a", 1, "s | a", 1, "s | a", 1},
        {"deleted here is gone", "r s | a", 1, "s | a", 1, "r s | a", 1, "s | a", 1},
        {"deleted there, forgotten here: gone", "r | a", 1, "| a r", 1, "| a", 1, "| a", 1},
        {"deleted here, forgotten there: learnt again", "r | a", 1, "| a", 1, "| a r", 1, "| a r", 1},
        {"remembered here, forgotten there (another word)", "r | a b", 1, "r a | b", 1, "| a b r", 1, "a | b r", 1},
        {"a new word list there replaces the learning list", "r | a b c", 1, "r a | b c", 1, "r | x y a z", 5,
         "r a | x y z", 5},
        {"a new word list here stays", "| a b", 1, "| x y", 5, "b | a", 1, "b | x y", 5},
        {"new lists on both: the later one", "| a", 1, "| x", 7, "| y", 5, "| x", 7},
        {"new lists on both: the later one there", "| a", 1, "| x", 5, "| y", 7, "| y", 7},
        {"new lists on both on the same day: this PC's stays", "| a", 1, "| x", 5, "| y", 5, "| x", 5},
        {"a new list there, a word forgotten here", "r | a", 1, "| a r", 1, "r | x", 5, "| x r", 5},
        {"a first start here met a file there", "| ", 0, "| a b c", 9, "a | b c", 3, "a | b c", 9},
    };
    for (const MergeRow& row : rows) {
        const ProgressLists merged = mergeProgress(listsOf(row.base, row.baseStart), listsOf(row.ours, row.oursStart),
                                                   listsOf(row.theirs, row.theirsStart));
        const ProgressLists expected = listsOf(row.merged, row.mergedStart);
        EXPECT_EQ(textOf(merged), textOf(expected)) << row.what;
        EXPECT_EQ(merged.header.startDate, row.mergedStart) << row.what;
        EXPECT_EQ(merged.header.rememberedCount, static_cast<std::int32_t>(expected.remembered.size())) << row.what;
        EXPECT_EQ(merged.header.learningCount, static_cast<std::int32_t>(expected.learning.size())) << row.what;
    }
}

TEST(ProgressMerge, RecordsKeepTheirSidesTextsAndTheFilesReservedFields)
{
    ProgressLists base = listsOf("| a b c", 1);
    ProgressLists ours = listsOf("a | b c", 1, u'O');
    ProgressLists theirs = listsOf("c | a b", 1, u'T');
    ours.header.reserved1 = 11;
    theirs.header.reserved1 = 21;
    theirs.header.reserved2 = 22;
    const ProgressLists merged = mergeProgress(base, ours, theirs);
    ASSERT_EQ(textOf(merged), "a c | b");
    EXPECT_EQ(merged.remembered[0].content, u"O");
    EXPECT_EQ(merged.remembered[1].content, u"T");
    EXPECT_EQ(merged.learning[0].content, u"O");
    EXPECT_EQ(merged.header.reserved1, 21);
    EXPECT_EQ(merged.header.reserved2, 22);
}

TEST(ConflictCopies, OnlyTheSyncProgramsNamesForTheProgressFile)
{
    const struct {
        const char16_t* name;
        bool copy;
    } rows[] = {
        {u"DAvud-OFFICE-PC.bin", true},  // OneDrive
        {u"DAvud-OFFICE-PC-2.bin", true},
        {u"DAvud-办公室电脑.bin", true},
        {u"davud-home.BIN", true},
        {u"DAvud (HOME's conflicted copy 2026-12-07).bin", true},  // Dropbox
        {u"DAvud (HOME 的冲突副本 2026-12-07).bin", true},
        {u"DAvud(冲突副本).bin", true},
        {u"DAvud_冲突_HOME_20261207.bin", true},
        {u"DAvud（冲突文件）.bin", true},
        {u"DAvud.bin", false},
        {u"DAvud.bin.tmp", false},
        {u"DAvud.bin.unreadable-20261207", false},
        {u"DAvud-HOME.bin.merged-20261207", false},
        {u"DAvud (2).bin", false},
        {u"DAvud-my copy.bin", false},
        {u"DAvud-.bin", false},
        {u"DAvudx.bin", false},
        {u"Other-HOME.bin", false},
        {u"DAvud-HOME.txt", false},
    };
    for (const auto& row : rows) {
        const std::u16string name = row.name;
        EXPECT_EQ(isConflictCopyName(name), row.copy) << std::string(name.begin(), name.end());
    }
}

namespace {

// The other PC's save arriving through the sync program: new bytes with a
// last-write time of their own (that PC's clock), as sync programs keep it,
// put in place in one step.
void otherPcWrites(const fs::path& file, const std::string& bytes)
{
    static int arrivals = 0;
    const fs::path arriving = file.parent_path() / "arriving.partial";
    writeBytes(arriving, bytes);
    fs::last_write_time(arriving, fs::file_time_type::clock::now() + std::chrono::hours(1 + arrivals++));
    fs::rename(arriving, file);
}

WordEntry word(const char* w)
{
    const std::string text(w);
    return entry(std::u16string(text.begin(), text.end()), u"[p]", u"c");
}

ProgressHeader counts(std::int32_t learning, std::int32_t remembered, std::int32_t start, std::int32_t last)
{
    return ProgressHeader{learning, remembered, 0, 0, start, last};
}

std::set<std::string> namesIn(const fs::path& directory)
{
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(directory)) names.insert(item.path().filename().string());
    return names;
}

}  // namespace

// Change detection: an unchanged file and one merely rewritten with the same
// bytes are left alone; another PC's save is merged at the next look; a
// file that cannot be read whole is never replaced.
TEST(SyncedFolder, TheFileOnDiskIsComparedAndMergedBeforeSaving)
{
    TempDir dir;
    const fs::path file = dir / "DAvud.bin";
    const std::string first =
        progressImage(counts(3, 1, 20260101, 20260101), {word("r"), word("a"), word("b"), word("c")});
    writeBytes(file, first);
    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");

    EXPECT_EQ(store.checkProgressFile(), WordGet::DiskCheck::unchanged);
    otherPcWrites(file, first);
    EXPECT_EQ(store.checkProgressFile(), WordGet::DiskCheck::unchanged);
    EXPECT_FALSE(store.takeMergeNotice());

    // There: "b" remembered, "r" forgotten.
    otherPcWrites(file, progressImage(counts(3, 1, 20260101, 20260102), {word("b"), word("a"), word("c"), word("r")}));
    EXPECT_EQ(store.checkProgressFile(), WordGet::DiskCheck::merged);
    EXPECT_TRUE(store.takeMergeNotice());
    EXPECT_FALSE(store.takeMergeNotice());
    EXPECT_EQ(rememberedWords(store), (std::vector<std::u16string>{u"b"}));
    EXPECT_EQ(learningWords(store), (std::vector<std::u16string>{u"a", u"c", u"r"}));
    EXPECT_FALSE(store.dirty()) << "the merge is what the file holds: nothing to write";
    EXPECT_EQ(store.header().rememberedCount, 1);

    // Here: "a" remembered; there meanwhile: "c" remembered. The save merges.
    store.setRemembered(word("a"), true);
    otherPcWrites(file, progressImage(counts(2, 2, 20260101, 20260103), {word("b"), word("c"), word("a"), word("r")}));
    std::optional<ProgressSnapshot> snapshot = ProgressSaver::take(store);
    ASSERT_TRUE(snapshot);
    ASSERT_TRUE(ProgressSaver::write(store, *snapshot));
    EXPECT_FALSE(store.dirty());
    WordGet reread;
    reread.setDirectory(dir.path());
    reread.loadProgress(u"none");
    EXPECT_EQ(rememberedWords(reread), (std::vector<std::u16string>{u"b", u"a", u"c"}));
    EXPECT_EQ(learningWords(reread), (std::vector<std::u16string>{u"r"}));
    EXPECT_EQ(reread.header().startDate, 20260101);

    // A file the sync program is still writing (cut inside a record) is left
    // as it is, and the store stays dirty for the next save.
    store.setRemembered(word("r"), true);
    const std::string torn =
        progressImage(counts(0, 4, 20260101, 20260104), {word("b"), word("c"), word("a"), word("x")}).substr(0, 3000);
    otherPcWrites(file, torn);
    EXPECT_FALSE(store.saveProgress());
    EXPECT_EQ(readBytes(file), torn);
    EXPECT_TRUE(store.dirty());
    EXPECT_TRUE(store.progressFileUnfinished());
    // Emptied in the middle of a rewrite: no PC dropped every word.
    otherPcWrites(file, "");
    EXPECT_EQ(store.checkProgressFile(), WordGet::DiskCheck::unchanged);
    EXPECT_EQ(rememberedWords(store), (std::vector<std::u16string>{u"b", u"a", u"c", u"r"}));
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
    otherPcWrites(file, progressImage(counts(0, 4, 20260101, 20260104), {word("b"), word("c"), word("a"), word("x")}));
    EXPECT_TRUE(store.saveProgress());
    EXPECT_FALSE(store.progressFileUnfinished());
    EXPECT_EQ(rememberedWords(store), (std::vector<std::u16string>{u"b", u"a", u"c", u"r", u"x"}));
}

// A folder that no other program writes to: every save writes exactly what
// it always wrote, and nothing but the progress file is left in the folder.
TEST(SyncedFolder, AnUnsharedFolderGetsTheSameBytesAsEver)
{
    TempDir dir;
    const fs::path file = dir / "DAvud.bin";
    ProgressHeader header = counts(3, 1, 20260101, 20260101);
    header.reserved1 = 7;
    writeBytes(file, progressImage(header, {word("r"), word("a"), word("b"), word("c")}));
    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");
    store.setRemembered(word("b"), true);
    std::optional<ProgressSnapshot> snapshot = ProgressSaver::take(store);
    ASSERT_TRUE(snapshot);
    ASSERT_TRUE(ProgressSaver::write(store, *snapshot));
    ProgressHeader expected = counts(2, 2, 20260101, localDate());
    expected.reserved1 = 7;
    EXPECT_EQ(readBytes(file), progressImage(expected, {word("r"), word("b"), word("a"), word("c")}));
    EXPECT_EQ(store.checkProgressFile(), WordGet::DiskCheck::unchanged);

    store.setRemembered(word("r"), false);
    ASSERT_TRUE(store.saveProgress());
    expected = counts(3, 1, 20260101, localDate());
    expected.reserved1 = 7;
    EXPECT_EQ(readBytes(file), progressImage(expected, {word("b"), word("a"), word("c"), word("r")}));
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"DAvud.bin"}));
}

// The sync programs' copies beside the file: their remembered words stay
// remembered, and after the next save each is kept under a name of its own,
// so the next start merges nothing again. Other files are never touched.
TEST(SyncedFolder, ConflictCopiesAreMergedOnceAndKeptAside)
{
    TempDir dir;
    writeBytes(dir / "DAvud.bin", progressImage(counts(4, 1, 20260101, 20260101),
                                                {word("r"), word("a"), word("b"), word("c"), word("d")}));
    writeBytes(dir / "DAvud-OFFICE.bin",
               progressImage(counts(3, 1, 20260101, 20260102), {word("a"), word("b"), word("c"), word("d")}));
    writeBytes(dir / "DAvud (HOME's conflicted copy 2026-12-07).bin",
               progressImage(counts(2, 2, 20260101, 20260102), {word("C"), word("x"), word("a"), word("b")}));
    const std::string torn = progressImage(counts(1, 1, 20260101, 20260102), {word("d"), word("a")}).substr(0, 2000);
    writeBytes(dir / "DAvud-LAPTOP.bin", torn);
    for (const char* other : {"DAvud.bin.tmp", "DAvud.bin.unreadable-20260101", "DAvud (2).bin", "notes.bin"})
        writeBytes(dir / other, progressImage(counts(0, 1, 1, 1), {word("y")}));

    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");
    // Copies in the order of their names.
    EXPECT_EQ(rememberedWords(store), (std::vector<std::u16string>{u"r", u"C", u"x", u"a"}));
    EXPECT_EQ(learningWords(store), (std::vector<std::u16string>{u"b", u"d"}));
    EXPECT_TRUE(store.dirty());
    ASSERT_TRUE(store.saveProgress());

    const std::string day = std::to_string(localDate());
    EXPECT_EQ(namesIn(dir.path()),
              (std::set<std::string>{"DAvud.bin", "DAvud-OFFICE.bin.merged-" + day,
                                     "DAvud (HOME's conflicted copy 2026-12-07).bin.merged-" + day, "DAvud-LAPTOP.bin",
                                     "DAvud.bin.unreadable-20260101", "DAvud (2).bin", "notes.bin"}))
        << "a save removes only the temporary file a crash left, as ever";
    EXPECT_EQ(readBytes(dir / "DAvud-LAPTOP.bin"), torn);
    WordGet again;
    again.setDirectory(dir.path());
    again.loadProgress(u"none");
    EXPECT_FALSE(again.dirty());
    EXPECT_EQ(rememberedWords(again), rememberedWords(store));
}

// The look at the file runs on a worker while the UI thread goes on with the
// lists (ThreadSanitizer watches this one): every merge leaves them sound.
TEST(SyncedFolder, LooksAtTheFileWhileTheListsAreInUse)
{
    TempDir dir;
    const fs::path file = dir / "DAvud.bin";
    writeBytes(file, progressImage(counts(6, 0, 20260101, 20260101),
                                   {word("a"), word("b"), word("c"), word("d"), word("e"), word("f")}));
    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");
    std::atomic<bool> done{false};
    std::atomic<int> merges{0};
    std::thread worker([&] {
        while (!done) {
            if (store.checkProgressFile() == WordGet::DiskCheck::merged) ++merges;
        }
    });
    const char* remembered[] = {"b", "d", "f"};
    for (int round = 0; round < 3; ++round) {
        store.advance();
        store.setRemembered(store.currentEntry(), true);
        otherPcWrites(file, progressImage(counts(5, 1, 20260101, 20260102),
                                          {word(remembered[round]), word("a"), word("c"), word("e"),
                                           word(round == 0 ? "d" : "b"), word(round == 2 ? "d" : "f")}));
        for (int wait = 0; wait < 20000 && merges <= round; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    done = true;
    worker.join();
    EXPECT_EQ(merges.load(), 3);
    std::set<std::u16string> seen;
    for (const std::u16string& w : rememberedWords(store)) EXPECT_TRUE(seen.insert(w).second);
    for (const std::u16string& w : learningWords(store)) EXPECT_TRUE(seen.insert(w).second);
    EXPECT_EQ(store.header().rememberedCount + store.header().learningCount, static_cast<std::int32_t>(seen.size()));
}
