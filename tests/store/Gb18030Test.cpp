// Word lists saved by Notepad as "ANSI" on a Chinese system (GBK), read as
// GB18030 whatever the system's code page.
#include <gtest/gtest.h>

#include "store/lists/DictionaryFormat.h"
#include "store/text/Gb18030.h"
#include "GbkTwin.h"
#include "StoreTestSupport.h"

using namespace storetest;

namespace {

std::u16string gb(std::string_view bytes)
{
    std::u16string out;
    decodeGb18030(bytes, out);
    return out;
}

std::vector<WordEntry> loadBytes(const TempDir& dir, const char* name, std::string_view bytes)
{
    writeBytes(dir / (std::string(name) + ".txt").c_str(), bytes);
    WordGet store;
    store.setDirectory(dir.path());
    store.loadDictionary(std::u16string(name, name + std::char_traits<char>::length(name)));
    return store.entries(WordList::learning);
}

}  // namespace

TEST(Gb18030, CodesOfEveryLength)
{
    struct Case {
        std::string_view bytes;
        std::u16string_view text;
    } const cases[] = {
        {"abc|\r\n", u"abc|\r\n"},
        {"\xB7\xC5\xC6\xFA", u"放弃"},                      // GBK two-byte
        {"\xA3\xBB", u"；"},                                 // full-width semicolon
        {"\xA8\xBB", u"\u0251"},                             // GBK's own IPA letter ɑ
        {"\x81\x30\x81\x30", u"\u0080"},                     // first four-byte code
        {"\x84\x31\xA4\x39", u"\uFFFF"},                     // last one of the BMP
        {"\x81\x30\x84\x36", u"\u00A5"},                     // inside a run
        {"\x90\x30\x81\x30", u"\U00010000"},                 // first supplementary
        {"\xE3\x32\x9A\x35", u"\U0010FFFF"},                 // last code point
        // Broken input: one U+FFFD per byte that starts nothing, the rest kept.
        {"\x80" "a", u"\uFFFD" "a"},
        {"\xFF" "ab", u"\uFFFD" "ab"},
        {"a\xB7", u"a\uFFFD"},                               // cut after the lead
        {"\xB7 ", u"\uFFFD "},                              // no trail: the space stays
        {"\x81\x30\x81", u"\uFFFD" "0\uFFFD"},               // four-byte code cut off
        {"\x84\x31\xA5\x30", u"\uFFFD"},                     // the first code past the BMP's
        {"\x84\x32\x81\x30", u"\uFFFD"},                     // between BMP and planes
        {"\xFE\x39\xFE\x39", u"\uFFFD"},                     // beyond U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(gb(c.bytes), c.text) << ::testing::PrintToString(std::string(c.bytes));
}

TEST(Gb18030, WhichTextIsReadAsGb18030)
{
    // No mark, no zero byte, not UTF-8: GB18030.
    EXPECT_EQ(decodeDictionaryText("abandon||\xB7\xC5\xC6\xFA\r\n"), u"abandon||放弃\r\n");
    EXPECT_EQ(decodeDictionaryText("\xFF\x41\x42\x43"), u"\uFFFD" "ABC");
    // Valid UTF-8 stays UTF-8, even where the bytes would also be GBK.
    EXPECT_EQ(decodeDictionaryText("\xE6\x94\xBE"), u"放");
    // A zero byte still means UTF-16LE.
    EXPECT_EQ(decodeDictionaryText(std::string("\xB7\xC5\x00\x4E", 4)), u"\xC5B7\x4E00");
}

// A code that stands for no character is one U+FFFD in the meaning, never
// a zero unit that would end the text there.
TEST(Gb18030, AnUnassignedCodeKeepsTheRestOfTheLine)
{
    TempDir dir;
    const std::vector<WordEntry> words =
        loadBytes(dir, "gaps", "first|f|\xB7\xC5\x84\x31\xA5\x30\xC6\xFA\r\nsecond|s|\xB7\xC5\r\n");
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(text(words[0].content), u"放\uFFFD弃");
    EXPECT_EQ(text(words[1].word), u"second");
}

TEST(Gb18030, GbkListLoadsEqualToItsUtf8Twin)
{
    TempDir dir;
    const std::vector<WordEntry> utf8 = loadBytes(dir, "utf8", kTwinUtf8);
    const std::vector<WordEntry> gbk = loadBytes(dir, "gbk", kTwinGbk);
    ASSERT_EQ(utf8.size(), 40u);
    ASSERT_EQ(gbk.size(), utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        EXPECT_EQ(text(gbk[i].word), text(utf8[i].word)) << i;
        EXPECT_EQ(text(gbk[i].phonetic), text(utf8[i].phonetic)) << i;
        EXPECT_EQ(text(gbk[i].content), text(utf8[i].content)) << i;
        EXPECT_EQ(text(gbk[i].content).find(u'\uFFFD'), std::u16string::npos) << i;
    }
}
