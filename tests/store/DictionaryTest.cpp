#include <gtest/gtest.h>

#include <random>
#include <set>

#include "store/lists/DictionaryFormat.h"
#include "store/text/Text.h"
#include "store/lists/WordLane.h"
#include "ShippedDictionary.h"
#include "StoreTestSupport.h"

using namespace storetest;
using V = std::vector<std::u16string>;

namespace {

struct Parsed {
    std::u16string word, phonetic, content;
    bool operator==(const Parsed&) const = default;
};

void PrintTo(const Parsed& p, std::ostream* os)
{
    *os << ::testing::PrintToString(p.word) << " " << ::testing::PrintToString(p.phonetic) << " "
        << ::testing::PrintToString(p.content);
}

std::u16string bracketed(const std::u16string& inner)
{
    std::u16string out(1, u'[');
    out += inner;
    out += u']';
    return out;
}

Parsed parse(std::u16string_view line)
{
    WordEntry e{};
    parseDictionaryLine(line, e);
    return {e.word, e.phonetic, e.content};
}

std::u16string ascii(const char* name)
{
    std::u16string wide;
    for (const char* c = name; *c; ++c)
        wide.push_back(static_cast<char16_t>(*c));
    return wide;
}

void writeDictionary(const TempDir& dir, const char* name, std::string_view bytes)
{
    writeBytes(dir.path() / (std::string(name) + ".txt"), bytes);
}

// Writes `text` as the UTF-16LE dictionary `name` and loads it.
void loadText(WordGet& store, const TempDir& dir, std::u16string_view text, const char* name = "words")
{
    writeDictionary(dir, name, utf16le(text));
    store.loadDictionary(ascii(name));
}

}  // namespace

TEST(DictionaryLine, TheThreeShapesAndTheirEdges)
{
    struct Case {
        std::u16string line;
        Parsed expected;
    };
    const Case cases[] = {
        {u"abandon|ə'bændən|v. to leave\r\n", {u"abandon", u"[ə'bændən]", u"v. to leave"}},
        {u"abandon||v. to leave\r\n", {u"abandon", u"", u"v. to leave"}},
        {u"abandon|ə'bændən|\r\n", {u"abandon", u"[ə'bændən]", u""}},
        {u"abandon|ə'bændən|v.^ignored|x\r\n", {u"abandon", u"[ə'bændən]", u"v."}},
        {u"abandon||^all gone\r\n", {u"abandon", u"", u""}},
        {u"abandon||v.^cut\r\n", {u"abandon", u"", u"v."}},
        {u"w|a^b|c|d\n", {u"w", u"[a^b]", u"c|d"}},  // '^' only ends content; bars stay in it
        {u"no bars at all\r\n", {u"no bars at all\r\n", u"", u""}},
        {u"word|text\r\n", {u"word", u"[text\r\n]", u""}},  // single bar
        {u"\r\n", {u"\r\n", u"", u""}},
        {u"|p|c\r\n", {u"", u"", u""}},  // nothing before the first bar
        {u"w|||x\r\n", {u"w", u"", u"|x"}},
        {u"w|\r\n", {u"w", u"[\r\n]", u""}},
        {u"w|", {u"w", u"", u""}},
        {u"w||", {u"w", u"", u""}},
        {u"last|p|c", {u"last", u"[p]", u"c"}},  // no line break
        {u"w|p|c\rmore\r\n", {u"w", u"[p]", u"c"}},
        {u"  spaced | p |  c \r\n", {u"  spaced ", u"[ p ]", u"  c "}},
        {std::u16string(u"ab\0cd|p|c\r\n", 11), {u"ab", u"", u""}},  // a zero unit ends the line
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse(c.line), c.expected) << ::testing::PrintToString(c.line);
}

TEST(DictionaryLine, OverlongFieldsAreCutToTheirArrays)
{
    const std::u16string longWord(600, u'w'), longPhonetic(100, u'p'), longContent(300, u'c');
    Parsed p = parse(longWord + u"|" + longPhonetic + u"|" + longContent + u"\r\n");
    EXPECT_EQ(p.word, std::u16string(511, u'w'));
    EXPECT_EQ(p.phonetic, bracketed(std::u16string(61, u'p')));
    EXPECT_EQ(p.content, std::u16string(255, u'c'));
    p = parse(longWord + u"||" + longContent);
    EXPECT_EQ(p.content, std::u16string(255, u'c'));

    // Exactly at the limits nothing is lost.
    p = parse(std::u16string(511, u'w') + u"|" + std::u16string(61, u'p') + u"|" + std::u16string(255, u'c'));
    EXPECT_EQ(p.word.size(), 511u);
    EXPECT_EQ(p.phonetic.size(), 63u);
    EXPECT_EQ(p.content.size(), 255u);

    // A surrogate pair that straddles a limit is dropped whole.
    const std::u16string pair = u"\U0001F600";
    p = parse(std::u16string(510, u'w') + pair + u"|" + std::u16string(60, u'p') + pair + u"|" +
              std::u16string(254, u'c') + pair);
    EXPECT_EQ(p.word, std::u16string(510, u'w'));
    EXPECT_EQ(p.phonetic, bracketed(std::u16string(60, u'p')));
    EXPECT_EQ(p.content, std::u16string(254, u'c'));
    p = parse(std::u16string(509, u'w') + pair + u"|" + std::u16string(59, u'p') + pair + u"|" +
              std::u16string(253, u'c') + pair);
    EXPECT_EQ(p.word, std::u16string(509, u'w') + pair);
    EXPECT_EQ(p.phonetic, bracketed(std::u16string(59, u'p') + pair));
    EXPECT_EQ(p.content, std::u16string(253, u'c') + pair);
}

TEST(DictionaryLine, ReaderSplitsAtLineFeedsAndAtTheReadLimit)
{
    std::u16string text = u"a\r\nb\n\nc";
    text.append(kLineUnits + 5, u'x');
    text += u"\r\nlast";
    DictionaryLines reader(text);
    std::vector<std::u16string> lines;
    std::u16string_view line;
    while (reader.next(line))
        lines.emplace_back(line);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], u"a\r\n");
    EXPECT_EQ(lines[1], u"b\n");
    EXPECT_EQ(lines[2], u"\n");
    std::u16string cut(kLineUnits, u'x');
    cut[0] = u'c';
    EXPECT_EQ(lines[3], cut);
    EXPECT_EQ(lines[4], std::u16string(6, u'x') + u"\r\n");
    EXPECT_EQ(lines[5], u"last");
    EXPECT_FALSE(isDictionaryLine(lines[2]));
    EXPECT_TRUE(isDictionaryLine(lines[0]));
    EXPECT_FALSE(isDictionaryLine(std::u16string(u"a\0b", 3)));
}

// The one-pass scanner the load runs on against the rules it must keep: the
// line reader, the line test and the line splitter, on random texts made
// mostly of the units that matter (bars, line breaks, circumflexes, zero
// units, surrogate halves) and with lines past the read limit.
TEST(DictionaryLine, ScannerAgreesWithReaderAndSplitter)
{
    const char16_t alphabet[] = {u'a', u'B', u'|', u'|', u'\r', u'\n', u'^', u'\0', u'\u4e2d', 0xD83D, 0xDE00, u' '};
    std::mt19937 random(20261207);
    for (int round = 0; round < 3000; ++round) {
        std::u16string text;
        const std::size_t size = random() % (round % 50 == 0 ? 5000 : 200);
        for (std::size_t i = 0; i < size; ++i) {
            // Long ordinary runs now and then, so the fast path gets whole
            // blocks, fields get cut and lines reach the read limit.
            if (random() % 40 == 0)
                text.append(random() % 700, u'w');
            text.push_back(alphabet[random() % std::size(alphabet)]);
        }
        DictionaryLines reader(text);
        DictionaryScanner scanner(text);
        std::u16string_view expected, line;
        bool counts;
        DictionaryLineParts parts;
        std::size_t index = 0;
        while (reader.next(expected)) {
            ASSERT_TRUE(scanner.next(line, counts, parts)) << "round " << round << " line " << index;
            ASSERT_EQ(line.data(), expected.data()) << "round " << round << " line " << index;
            ASSERT_EQ(line.size(), expected.size()) << "round " << round << " line " << index;
            ASSERT_EQ(counts, isDictionaryLine(expected)) << "round " << round << " line " << index;
            if (counts) {
                const DictionaryLineParts reference = splitDictionaryLine(expected);
                EXPECT_EQ(std::u16string(parts.word), std::u16string(reference.word)) << "round " << round;
                EXPECT_EQ(std::u16string(parts.transcription), std::u16string(reference.transcription))
                    << "round " << round;
                EXPECT_EQ(std::u16string(parts.content), std::u16string(reference.content)) << "round " << round;
            }
            ++index;
        }
        EXPECT_FALSE(scanner.next(line, counts, parts)) << "round " << round;
    }
}

// Words that differ only in ASCII case must land in the same index slot;
// the hash reads four units at a time, so every length up to a few blocks
// and every position of the changed letter is tried.
TEST(DictionaryLine, WordHashIgnoresAsciiCaseOnly)
{
    std::mt19937 random(4139);
    const char16_t letters[] = {u'a', u'z', u'A', u'Z', u'@', u'[', u'\u00e4', u'\u00c4', u'\u4e2d', u'5'};
    for (int round = 0; round < 2000; ++round) {
        std::u16string word;
        for (std::size_t i = 0, n = random() % 14; i < n; ++i)
            word.push_back(letters[random() % std::size(letters)]);
        EXPECT_EQ(WordLane::hashOf(word), WordLane::hashOf(foldedWord(word))) << round;
    }
    // Different words should mostly differ: a hash that ignored a unit
    // position would make these collide.
    std::set<std::size_t> hashes;
    for (int i = 0; i < 1000; ++i) {
        std::u16string word = u"word";
        for (char c : std::to_string(i))
            word.push_back(static_cast<char16_t>(c));
        hashes.insert(WordLane::hashOf(word));
    }
    EXPECT_EQ(hashes.size(), 1000u);
}

TEST(DictionaryText, ByteOrderMarksAndUtf8)
{
    // UTF-16LE with its mark: the mark is not part of the first word.
    EXPECT_EQ(decodeDictionaryText("\xFF\xFE" + utf16le(u"a|b|c")), u"a|b|c");
    // UTF-8 with a mark, and UTF-8 without one.
    EXPECT_EQ(decodeDictionaryText("\xEF\xBB\xBF" "abandon|\xC9\x99|\xE6\x94\xBE\r\n"), u"abandon|ə|放\r\n");
    EXPECT_EQ(decodeDictionaryText("ab|\xC9\x99|c\n"), u"ab|ə|c\n");
    // A UTF-8 mark followed by broken bytes still decodes, with U+FFFD.
    EXPECT_EQ(decodeDictionaryText("\xEF\xBB\xBF" "a\xFF"), u"a\uFFFD");
    // Not valid UTF-8 and no zero byte: read as GB18030 (Notepad's "ANSI").
    EXPECT_EQ(decodeDictionaryText("\xFF\x41\x42\x43"), u"\uFFFD" "ABC");
    // Zero bytes mean UTF-16LE; an odd last byte is ignored.
    EXPECT_EQ(decodeDictionaryText(utf16le(u"ab") + "Z"), u"ab");
    EXPECT_EQ(decodeDictionaryText(""), u"");
    EXPECT_EQ(decodeDictionaryText("\xFF\xFE"), u"");
}

TEST(Dictionary, LoadsLinesInOrderAndCountsThem)
{
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    const std::int32_t before = localDate();
    loadText(store, dir,
             u"b|bi:|bee\r\n"
             u"10 ten||ten\r\n"
             u"\r\n"                 // a word made of CR LF
             u"x\n"                   // two units: counts
             u"\n"                    // one unit: skipped
             u"2 two|tu:|\r\n"
             u"B|second|dup\r\n"      // repeated word: counted, not added
             u"-1 minus|m|-\r\n"
             u"last|l|no break");
    const std::int32_t after = localDate();

    EXPECT_EQ(learningWords(store), (V{u"-1 minus", u"b", u"\r\n", u"x\n", u"last", u"2 two", u"10 ten"}));
    const auto entries = store.entries(WordList::learning);
    EXPECT_EQ(text(entries[1].phonetic), u"[bi:]");  // the first occurrence won
    EXPECT_EQ(text(entries[4].content), u"no break");
    const ProgressHeader h = store.header();
    EXPECT_EQ(h.learningCount, 8);
    EXPECT_EQ(h.rememberedCount, 0);
    EXPECT_TRUE(h.startDate == before || h.startDate == after);
    EXPECT_EQ(h.lastDate, h.startDate);
    EXPECT_TRUE(store.dirty());
    EXPECT_EQ(text(store.currentEntry().word), u"-1 minus");
    EXPECT_EQ(text(store.currentEntry().phonetic), u"[m]");
}

TEST(Dictionary, LastLineLoadsOnceWithOrWithoutBreak)
{
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    loadText(store, dir, u"a|p|c\r\nz|p|c\r\n");
    EXPECT_EQ(learningWords(store), (V{u"a", u"z"}));
    EXPECT_EQ(store.header().learningCount, 2);
    loadText(store, dir, u"a|p|c\r\nz|p|c");
    EXPECT_EQ(learningWords(store), (V{u"a", u"z"}));
    EXPECT_EQ(store.header().learningCount, 2);
    // A last line of one unit is too short.
    loadText(store, dir, u"a|p|c\r\nz");
    EXPECT_EQ(learningWords(store), (V{u"a"}));
    EXPECT_EQ(store.header().learningCount, 1);
}

// Loaded entries are the parsed lines, whether a node keeps its texts where
// the file has them or (for cut pieces) copies of its own: every shape, cut
// words and transcriptions before longer pieces, and entries that outlive
// a move to the other list and back.
TEST(Dictionary, LoadedEntriesAreTheParsedLines)
{
    const std::u16string lines[] = {
        std::u16string(600, u'w') + u"|pa|content one",
        u"cut|" + std::u16string(100, u'p') + u"|content two",
        u"plain|ə'bændən|v. 放弃^note",
        u"nophonetic||n. 没有音标",
        u"nocontent|fəʊ|",
        u"onlybar|rest of the line",
        u"noword at all",
        u"|leading bar",
        u"long content|lc|" + std::u16string(300, u'c'),
    };
    std::u16string file;
    for (const auto& line : lines)
        file += line + u"\r\n";
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    loadText(store, dir, file);
    auto entries = store.entries(WordList::learning);
    ASSERT_EQ(entries.size(), std::size(lines));
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        const Parsed expected = parse(lines[i] + u"\r\n");
        const Parsed loaded{text(entries[i].word), text(entries[i].phonetic), text(entries[i].content)};
        EXPECT_EQ(loaded, expected) << "line " << i;
    }
    // Remembered and back: the copies the other list makes are the same.
    store.setRemembered(entries[2], true);
    store.setRemembered(entries[2], false);
    const auto again = store.entries(WordList::learning);
    ASSERT_EQ(again.size(), entries.size());
    EXPECT_EQ(text(again.back().phonetic), u"[ə'bændən]");
    EXPECT_EQ(text(again.back().content), u"v. 放弃");
}

TEST(Dictionary, LongLinesContinueAsNewLines)
{
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    loadText(store, dir, std::u16string(kLineUnits, u'a') + u"b|p|c\r\n");
    const auto entries = store.entries(WordList::learning);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(text(entries[0].word), std::u16string(511, u'a'));
    EXPECT_EQ(text(entries[1].word), u"b");
    EXPECT_EQ(text(entries[1].phonetic), u"[p]");
    EXPECT_EQ(store.header().learningCount, 2);
}

TEST(Dictionary, EncodingsOnDisk)
{
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    writeDictionary(dir, "bom16", "\xFF\xFE" + utf16le(u"first|f|1\r\nsecond|s|2\r\n"));
    store.loadDictionary(u"bom16");
    EXPECT_EQ(learningWords(store), (V{u"first", u"second"}));

    writeDictionary(dir, "bom8", "\xEF\xBB\xBF" "abandon|\xC9\x99'b\xC3\xA6nd\xC9\x99n|\xE6\x94\xBE\xE5\xBC\x83\r\n");
    store.loadDictionary(u"bom8");
    ASSERT_EQ(learningWords(store), (V{u"abandon"}));
    EXPECT_EQ(text(store.entries(WordList::learning)[0].phonetic), u"[ə'bændən]");
    EXPECT_EQ(text(store.entries(WordList::learning)[0].content), u"放弃");

    writeDictionary(dir, "plain8", "one|1|eins\ntwo|2|\xE4\xBA\x8C\n");
    store.loadDictionary(u"plain8");
    EXPECT_EQ(learningWords(store), (V{u"one", u"two"}));
    EXPECT_EQ(text(store.entries(WordList::learning)[1].content), u"二");

    writeDictionary(dir, "odd", utf16le(u"odd|o|1\r\n") + "!");
    store.loadDictionary(u"odd");
    EXPECT_EQ(learningWords(store), (V{u"odd"}));
    EXPECT_EQ(store.header().learningCount, 1);
}

TEST(Dictionary, UnopenableFileChangesNothingButTheCurrentEntry)
{
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    loadText(store, dir, u"a|p|c\r\nb|p|c\r\n");
    store.setRemembered(entry(u"a"), true);
    store.setCurrentEntry(entry(u"elsewhere"));
    const ProgressHeader before = store.header();

    store.loadDictionary(u"missing");
    store.loadDictionary(std::u16string(u"bad\0name", 8));
    store.loadDictionary(u"lone\xD800surrogate");
    store.loadDictionary(std::u16string(5000, u'n'));
    store.loadDictionary(u"");
    const ProgressHeader after = store.header();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(learningWords(store), (V{u"b"}));
    EXPECT_EQ(rememberedWords(store), (V{u"a"}));
    EXPECT_EQ(text(store.currentEntry().word), u"b");

    // Without a directory nothing is read at all.
    WordGet unplaced;
    unplaced.loadDictionary(u"words");
    EXPECT_TRUE(learningWords(unplaced).empty());
    EXPECT_FALSE(unplaced.dirty());
}

TEST(Dictionary, RememberedWordsStayRememberedAcrossLoads)
{
    TempDir dir;
    WordGet store;
    store.setDirectory(dir.path());
    loadText(store, dir, u"a|p|c\r\nb|p|c\r\nc|p|c\r\n", "first");
    store.setRemembered(entry(u"a"), true);
    store.setRemembered(entry(u"b"), true);
    store.setRemembered(entry(u"c"), true);
    store.setCurrentEntry(entry(u"c"));

    // Every word already remembered: nothing to learn, lines still counted,
    // the current entry kept since there is no head to show.
    loadText(store, dir, u"A|p|c\r\nB|p|c\r\nc|p|c\r\n", "again");
    EXPECT_TRUE(learningWords(store).empty());
    EXPECT_EQ(store.header().learningCount, 3);
    EXPECT_EQ(store.cycleEndWord(), u"");
    EXPECT_EQ(text(store.currentEntry().word), u"c");

    loadText(store, dir, u"d|p|c\r\nb|p|c\r\ne|p|c\r\n", "second");
    EXPECT_EQ(learningWords(store), (V{u"d", u"e"}));
    EXPECT_EQ(rememberedWords(store), (V{u"a", u"b", u"c"}));
    EXPECT_EQ(store.header().rememberedCount, 3);
}

TEST(Dictionary, ShippedDictionaryLoadsCompletely)
{
    const fs::path shipped{kShippedDictionary};
    ASSERT_TRUE(fs::exists(shipped)) << shipped;
    TempDir dir;
    fs::copy_file(shipped, dir.path() / shipped.filename());
    WordGet store;
    store.setDirectory(dir.path());
    store.loadDictionary(u"英语四级词汇");
    EXPECT_EQ(store.entries(WordList::learning).size(), 3849u);
    EXPECT_EQ(store.header().learningCount, 3849);
    EXPECT_EQ(store.cycleEndWord().empty(), false);
    EXPECT_EQ(text(store.currentEntry().word), store.entries(WordList::learning).front().word);
}
