// Two PCs sharing DAvud.bin through a synced folder: the merge rule as a
// table, the look at the file on disk before saves and while running, the
// sync programs' conflict copies, and a folder that nobody else writes to.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>

#include "StoreTestSupport.h"
#include "store/ProgressSaver.h"
#include "store/progress/ProgressBase.h"
#include "store/progress/ProgressMerge.h"

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
    // As a file's header counts them.
    lists.header.rememberedCount = static_cast<std::int32_t>(lists.remembered.size());
    lists.header.learningCount = static_cast<std::int32_t>(lists.learning.size());
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

const MergeRow kMergeRows[] = {
    {"nothing changed anywhere", "r | a b c", 1, "r | a b c", 1, "r | a b c", 1, "r | a b c", 1},
    {"only the other PC changed", "r | a b c", 1, "r | a b c", 1, "r b | a c", 1, "r b | a c", 1},
    {"remembered here and there", "| a b c d", 1, "a | b c d", 1, "c | a b d", 1, "c a | b d", 1},
    {"the same word remembered on both, in other case", "| a b", 1, "a | b", 1, "A | b", 1, "A | b", 1},
    {"forgotten there comes back here at the end", "r s | a b", 1, "r s | a b", 1, "s | a b r", 1, "s | a b r", 1},
    {"forgotten here stays forgotten", "r | a", 1, "| a r", 1, "r | a", 1, "| a r", 1},
    {"forgotten on both", "r | a", 1, "| a r", 1, "| r a", 1, "| r a", 1},
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
    {"the same words in another order there: the file stays", "| a b c d", 1, "a c | b d", 1, "c a | d b", 1,
     "c a | d b", 1},
    {"a fresh file there takes no remembered word away", "r s | a b", 1, "r s | a b", 1, "| a b r s", 9, "r s | a b",
     9},
    {"a fresh file there adds its remembered words", "r | a b c", 1, "r | a b c", 1, "c | a b", 9, "c r | a b", 9},
    {"a fresh file there, a word forgotten here", "r s | a", 1, "s | a r", 1, "| a r s", 9, "s | a r", 9},
    {"deleted there stays deleted while another is remembered here", "| a b c", 1, "a | b c", 1, "| a c", 1, "a | c",
     1},
    {"deleted here stays deleted while another is remembered there", "| a b c", 1, "| a b", 1, "b | a c", 1, "b | a",
     1},
    {"a remembered word deleted there, another remembered here", "r | a b", 1, "r a | b", 1, "| a b", 1, "a | b", 1},
    {"a word forgotten on each side", "r s | a", 1, "s | a r", 1, "r | a s", 1, "| a s r", 1},
    {"a word added to learning there is kept", "| a", 1, "a | ", 1, "| a n", 1, "a | n", 1},
    {"only the list's date moved here: the later date", "| a", 1, "| a", 5, "| a", 1, "| a", 5},
    {"only the list's date moved there: the later date", "| a", 1, "| a", 1, "| a", 5, "| a", 5},
};

TEST(ProgressMerge, FollowsTheRuleRowByRow)
{
    for (const MergeRow& row : kMergeRows) {
        const ProgressLists merged =
            mergeProgress(wordsOf(listsOf(row.base, row.baseStart)), listsOf(row.ours, row.oursStart),
                          listsOf(row.theirs, row.theirsStart));
        const ProgressLists expected = listsOf(row.merged, row.mergedStart);
        EXPECT_EQ(textOf(merged), textOf(expected)) << row.what;
        EXPECT_EQ(merged.header.startDate, row.mergedStart) << row.what;
        EXPECT_EQ(merged.header.rememberedCount, static_cast<std::int32_t>(expected.remembered.size())) << row.what;
        EXPECT_EQ(merged.header.learningCount, static_cast<std::int32_t>(expected.learning.size())) << row.what;
    }
}

namespace {

// Everything a file of these lists holds, texts and header included.
std::string bytesOf(const ProgressLists& lists)
{
    std::string bytes;
    for (const std::vector<ProgressRecord>* list : {&lists.remembered, &lists.learning}) {
        for (const ProgressRecord& r : *list)
            bytes +=
                std::string(r.word.begin(), r.word.end()) + ":" + std::string(r.content.begin(), r.content.end()) + " ";
        bytes += "| ";
    }
    const ProgressHeader& h = lists.header;
    for (const std::int32_t field :
         {h.learningCount, h.rememberedCount, h.reserved1, h.reserved2, h.startDate, h.lastDate})
        bytes += std::to_string(field) + " ";
    return bytes;
}

// One PC of two sharing a file: its lists and the file as it last read or
// wrote it.
struct Pc {
    ProgressLists lists;
    ProgressLists base;
};

// A save of `pc`: the file, if it changed since the PC's base, is merged
// first; the lists are written when they differ from it. True when written.
bool save(Pc& pc, ProgressLists& file)
{
    if (bytesOf(file) != bytesOf(pc.base)) {
        pc.lists = mergeProgress(wordsOf(pc.base), pc.lists, file);
        pc.base = file;
    }
    if (bytesOf(pc.lists) == bytesOf(file)) return false;
    file = pc.lists;
    pc.base = file;
    return true;
}

}  // namespace

// Both PCs saving in turn, either one first: after two rounds nothing is
// written any more, and both hold what the file holds.
TEST(ProgressMerge, AlternatingSavesSettleWithinTwoRounds)
{
    for (const MergeRow& row : kMergeRows) {
        for (const bool oursFirst : {true, false}) {
            const ProgressLists base = listsOf(row.base, row.baseStart, u'B');
            Pc here{listsOf(row.ours, row.oursStart, u'O'), base};
            Pc there{listsOf(row.theirs, row.theirsStart, u'T'), base};
            Pc& first = oursFirst ? here : there;
            Pc& second = oursFirst ? there : here;
            ProgressLists file = base;
            for (int round = 0; round < 2; ++round) {
                save(first, file);
                save(second, file);
            }
            const std::string settled = bytesOf(file);
            EXPECT_FALSE(save(first, file)) << row.what << (oursFirst ? "" : ", the other PC first");
            EXPECT_FALSE(save(second, file)) << row.what << (oursFirst ? "" : ", the other PC first");
            EXPECT_EQ(bytesOf(here.lists), settled) << row.what << (oursFirst ? "" : ", the other PC first");
            EXPECT_EQ(bytesOf(there.lists), settled) << row.what << (oursFirst ? "" : ", the other PC first");
        }
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
    const ProgressLists merged = mergeProgress(wordsOf(base), ours, theirs);
    ASSERT_EQ(textOf(merged), "c a | b");
    EXPECT_EQ(merged.remembered[0].content, u"T");
    EXPECT_EQ(merged.remembered[1].content, u"O");
    EXPECT_EQ(merged.learning[0].content, u"T");
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
        {u"DAvud (HOME Conflict copy).bin", true},
        {u"DAvud_CONFLICT.bin", true},
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
    EXPECT_EQ(rememberedWords(reread), (std::vector<std::u16string>{u"b", u"c", u"a"}))
        << "the file's order, then ours";
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
    EXPECT_EQ(rememberedWords(store), (std::vector<std::u16string>{u"b", u"c", u"a", u"r"}));
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
    otherPcWrites(file, progressImage(counts(0, 4, 20260101, 20260104), {word("b"), word("c"), word("a"), word("x")}));
    EXPECT_TRUE(store.saveProgress());
    EXPECT_FALSE(store.progressFileUnfinished());
    EXPECT_EQ(rememberedWords(store), (std::vector<std::u16string>{u"b", u"c", u"a", u"x", u"r"}));
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
    for (const char* other : {"DAvud.bin.tmp", "DAvud (2).bin", "notes.bin"})
        writeBytes(dir / other, progressImage(counts(0, 1, 1, 1), {word("y")}));
    // Put aside while a download was still running into it, whole now: its
    // remembered words come in, and its learning words this file lacks.
    writeBytes(dir / "DAvud.bin.unreadable-20260101",
               progressImage(counts(1, 2, 20260101, 20260102), {word("k"), word("b"), word("z")}));

    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");
    // Copies in the order of their names.
    EXPECT_EQ(rememberedWords(store), (std::vector<std::u16string>{u"r", u"C", u"x", u"a", u"k", u"b"}));
    EXPECT_EQ(learningWords(store), (std::vector<std::u16string>{u"d", u"z"}));
    EXPECT_TRUE(store.dirty());
    ASSERT_TRUE(store.saveProgress());

    const std::string day = std::to_string(localDate());
    EXPECT_EQ(namesIn(dir.path()),
              (std::set<std::string>{"DAvud.bin", "DAvud-OFFICE.bin.merged-" + day,
                                     "DAvud (HOME's conflicted copy 2026-12-07).bin.merged-" + day, "DAvud-LAPTOP.bin",
                                     "DAvud.bin.unreadable-20260101.merged-" + day, "DAvud (2).bin", "notes.bin"}))
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

namespace {

// The other PC's save that a step of ours lets in: once, at the first step
// after the temporary file is there (its writes, its close), so between the
// look before the save and the replace.
struct ArrivalDuringSave {
    static inline fs::path file;
    static inline std::string bytes;
    static void hook()
    {
        if (bytes.empty() || !fs::exists(file.parent_path() / "DAvud.bin.tmp")) return;
        otherPcWrites(file, std::exchange(bytes, std::string()));
    }
};

}  // namespace

// What tells the look at the file on disk that another PC wrote it: any text
// or header field that differs, even where the texts run together the same
// way; the same bytes with a new time do not.
TEST(SyncedFolder, AnyChangedTextOrDateIsAChange)
{
    const ProgressHeader header = counts(2, 0, 20260101, 20260101);
    const std::string loaded = progressImage(header, {entry(u"ab", u"", u"c"), word("d")});
    ProgressHeader later = header;
    later.lastDate = 20260102;
    const struct {
        const char* what;
        std::string there;
        WordGet::DiskCheck check;
    } rows[] = {
        {"the same bytes, a new time", loaded, WordGet::DiskCheck::unchanged},
        {"a unit moved from the word to the meaning", progressImage(header, {entry(u"a", u"", u"bc"), word("d")}),
         WordGet::DiskCheck::merged},
        {"a unit moved from the meaning to the phonetic", progressImage(header, {entry(u"ab", u"c", u""), word("d")}),
         WordGet::DiskCheck::merged},
        {"another meaning", progressImage(header, {entry(u"ab", u"", u"x"), word("d")}), WordGet::DiskCheck::merged},
        {"only the last date", progressImage(later, {entry(u"ab", u"", u"c"), word("d")}), WordGet::DiskCheck::merged},
    };
    for (const auto& row : rows) {
        TempDir dir;
        writeBytes(dir / "DAvud.bin", loaded);
        WordGet store;
        store.setDirectory(dir.path());
        store.loadProgress(u"none");
        otherPcWrites(dir / "DAvud.bin", row.there);
        EXPECT_EQ(store.checkProgressFile(), row.check) << row.what;
    }
}

// What a save finds on disk: another PC's save that arrives while ours is
// being written is merged, never overwritten; the same bytes brought again
// with a new time are no change; a file that stays damaged at two looks is
// put aside and ours written.
TEST(SyncedFolder, ASaveNeverOverwritesWhatItHasNotMerged)
{
    TempDir dir;
    const fs::path file = dir / "DAvud.bin";
    const std::string first = progressImage(counts(3, 0, 20260101, 20260101), {word("a"), word("b"), word("c")});
    writeBytes(file, first);
    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");

    // The same bytes again, with another time: a save afterwards writes.
    otherPcWrites(file, first);
    EXPECT_EQ(store.checkProgressFile(), WordGet::DiskCheck::unchanged);
    store.setRemembered(word("a"), true);
    ASSERT_TRUE(store.saveProgress());
    EXPECT_EQ(readBytes(file), progressImage(counts(2, 1, 20260101, localDate()), {word("a"), word("b"), word("c")}));

    // There: "c" remembered, arriving while ours ("b") is written.
    FileSteps steps;
    steps.setHook(&ArrivalDuringSave::hook);
    store.setFileSteps(&steps);
    ArrivalDuringSave::file = file;
    ArrivalDuringSave::bytes = progressImage(counts(1, 2, 20260101, 20260102), {word("a"), word("c"), word("b")});
    store.setRemembered(word("b"), true);
    ASSERT_TRUE(store.saveProgress());
    store.setFileSteps(nullptr);
    EXPECT_TRUE(ArrivalDuringSave::bytes.empty()) << "the other PC's save arrived";
    WordGet reread;
    reread.setDirectory(dir.path());
    reread.loadProgress(u"none");
    EXPECT_EQ(rememberedWords(reread), (std::vector<std::u16string>{u"a", u"c", u"b"}));
    EXPECT_EQ(learningWords(reread), (std::vector<std::u16string>{}));
}

TEST(SyncedFolder, AFileThatStaysDamagedIsPutAsideAndOursWritten)
{
    const std::string day = std::to_string(localDate());
    const struct {
        const char* what;
        bool changesBetweenLooks;
        bool heldOpen;  // cannot be opened at either look
        bool putAside;
    } rows[] = {
        {"the same damaged file at both looks", false, false, true},
        {"a file still being written (another one at the second look)", true, false, false},
        {"a file another program holds at both looks", false, true, false},
    };
    for (const auto& row : rows) {
        TempDir dir;
        const fs::path file = dir / "DAvud.bin";
        writeBytes(file, progressImage(counts(2, 0, 20260101, 20260101), {word("a"), word("b")}));
        WordGet store;
        store.setDirectory(dir.path());
        store.loadProgress(u"none");
        store.setDamagedAfter(std::chrono::seconds(0));
        store.setRemembered(word("a"), true);
        const std::string torn =
            progressImage(counts(1, 2, 20260101, 20260102), {word("x"), word("a"), word("b")}).substr(0, 2500);
        otherPcWrites(file, torn);
        FileSteps steps;
        store.setFileSteps(&steps);
        steps.failNth(row.heldOpen ? 1 : 0);  // the look's open
        EXPECT_FALSE(store.saveProgress()) << row.what << ": the first look waits";
        if (row.changesBetweenLooks) otherPcWrites(file, torn.substr(0, 2000));
        steps.failNth(row.heldOpen ? 1 : 0);
        EXPECT_EQ(store.saveProgress(), row.putAside) << row.what;
        store.setFileSteps(nullptr);
        EXPECT_EQ(store.takeDamagedNotice(), row.putAside) << row.what;
        EXPECT_FALSE(store.takeDamagedNotice()) << row.what;
        if (!row.putAside) {
            EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"DAvud.bin"})) << row.what;
            continue;
        }
        EXPECT_EQ(readBytes(dir.path() / ("DAvud.bin.unreadable-" + day)), torn) << row.what;
        EXPECT_EQ(readBytes(file), progressImage(counts(1, 1, 20260101, localDate()), {word("a"), word("b")}))
            << row.what;
        EXPECT_FALSE(store.progressFileUnfinished()) << row.what;
    }
}

namespace {

// Holds the look at the file at its first step until let go.
struct SlowRead {
    static inline std::atomic<int> state{0};  // 1: the look is reading, 2: let it go
    static void hook()
    {
        int idle = 0;
        if (!state.compare_exchange_strong(idle, 1)) return;
        while (state != 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

}  // namespace

// A save with a deadline does not wait past it for the look at the file that
// holds the save lock (a slow synced or network folder).
TEST(SyncedFolder, ASaveWithADeadlineDoesNotWaitBehindTheLook)
{
    TempDir dir;
    writeBytes(dir / "DAvud.bin", progressImage(counts(1, 0, 20260101, 20260101), {word("a")}));
    WordGet store;
    store.setDirectory(dir.path());
    store.loadProgress(u"none");
    store.setRemembered(word("a"), true);
    FileSteps steps;
    steps.setHook(&SlowRead::hook);
    store.setFileSteps(&steps);
    otherPcWrites(dir / "DAvud.bin", progressImage(counts(0, 1, 20260101, 20260102), {word("a")}));
    std::thread look([&] { store.checkProgressFile(); });
    while (SlowRead::state != 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(store.saveProgress(std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
    EXPECT_TRUE(store.progressFileSlow());
    // An ordinary exit: no deadline for the save, one for the wait.
    EXPECT_FALSE(store.saveProgress({}, std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
    EXPECT_EQ(SlowRead::state.load(), 1) << "the look is still reading";
    SlowRead::state = 2;
    look.join();
    store.setFileSteps(nullptr);
    EXPECT_TRUE(store.saveProgress(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
    EXPECT_FALSE(store.progressFileSlow());
}

// The hash of a file's bytes is the same however they are fed (a load reads
// batches, a save writes record by record), and differs for other bytes.
TEST(ContentHash, PiecesDoNotMatterBytesDo)
{
    std::string bytes(5000, '\0');
    for (std::size_t i = 0; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(i);
    const auto hashOf = [](const std::string& text, std::size_t piece) {
        ContentHash hash;
        for (std::size_t at = 0; at < text.size(); at += piece)
            hash.add(text.data() + at, std::min(piece, text.size() - at));
        return hash.value();
    };
    const std::uint64_t whole = hashOf(bytes, bytes.size());
    for (const std::size_t piece : {1, 3, 24, 63, 64, 65, 1664}) EXPECT_EQ(hashOf(bytes, piece), whole) << piece;
    std::string changed = bytes;
    changed[4321] ^= 1;
    EXPECT_NE(hashOf(changed, 64), whole);
    EXPECT_NE(hashOf(bytes + std::string(1, '\0'), 64), whole);
    EXPECT_NE(hashOf(bytes.substr(0, 4992), 64), hashOf(bytes.substr(0, 4992) + std::string(64, '\0'), 64));
}
