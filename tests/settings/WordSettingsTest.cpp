// The [Word] and [Order] sections of mivora.ini: what a hand-edited file
// gives, and what a save writes back.
#include <gtest/gtest.h>

#include <string>

#include "IniFile.h"
#include "WordSettings.h"

namespace {

std::string utf8(std::u16string_view text)
{
    std::string bytes;
    for (char16_t unit : text) {
        if (unit < 0x80) {
            bytes.push_back(static_cast<char>(unit));
        } else if (unit < 0x800) {
            bytes.push_back(static_cast<char>(0xC0 | unit >> 6));
            bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        } else {
            bytes.push_back(static_cast<char>(0xE0 | unit >> 12));
            bytes.push_back(static_cast<char>(0x80 | (unit >> 6 & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    return bytes;
}

}  // namespace

TEST(WordSettings, ReadFromTheFile)
{
    struct Case {
        std::u16string file;
        ExamplesShown examples;
        std::u16string list;
        ListOrder order;
    };
    const Case cases[] = {
        {u"", ExamplesShown::hover, u"雅思词汇", ListOrder::original},
        {u"[Word]\r\nExamples=always\r\n", ExamplesShown::always, u"x", ListOrder::original},
        {u"[word]\r\nexamples = OFF \r\n", ExamplesShown::off, u"x", ListOrder::original},
        {u"[Word]\r\nExamples=sometimes\r\n", ExamplesShown::hover, u"x", ListOrder::original},
        {u"[Word]\r\nExamples=\r\n", ExamplesShown::hover, u"x", ListOrder::original},
        {u"[Order]\r\n雅思词汇=shuffled\r\n", ExamplesShown::hover, u"雅思词汇", ListOrder::shuffled},
        {u"[Order]\r\nMine=alphabetical\r\n", ExamplesShown::hover, u"MINE", ListOrder::alphabetical},
        {u"[Order]\r\nMine=sorted\r\n", ExamplesShown::hover, u"Mine", ListOrder::original},
        {u"[Order]\r\nMine=shuffled\r\nmine=alphabetical\r\n", ExamplesShown::hover, u"mine", ListOrder::shuffled},
        {u"[Order]\r\n雅思词汇=shuffled\r\n", ExamplesShown::hover, u"托福词汇", ListOrder::original},
        {u"[Order]\r\n; 雅思词汇=shuffled\r\n", ExamplesShown::hover, u"; 雅思词汇", ListOrder::original},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.file));
        const WordSettings settings = readWordSettings(IniDocument::parse(utf8(c.file)));
        EXPECT_EQ(settings.examples, c.examples);
        EXPECT_EQ(settings.orderOf(c.list), c.order);
    }
}

TEST(WordSettings, WrittenAndReadBack)
{
    WordSettings settings;
    settings.examples = ExamplesShown::off;
    settings.setOrder(u"雅思词汇", ListOrder::shuffled);
    settings.setOrder(u"Mine", ListOrder::alphabetical);
    settings.setOrder(u"mine", ListOrder::shuffled);  // the same list
    settings.setOrder(u"a=b", ListOrder::shuffled);   // no key can hold it
    settings.setOrder(u" padded", ListOrder::shuffled);
    settings.setOrder(u"[x]", ListOrder::shuffled);
    IniDocument document = IniDocument::parse("; mine\r\n[Other]\r\nKeep=1\r\n");
    writeWordSettings(document, settings);
    const IniDocument again = IniDocument::parse(document.serialize());
    const WordSettings read = readWordSettings(again);
    EXPECT_EQ(read.examples, ExamplesShown::off);
    EXPECT_EQ(read.orderOf(u"雅思词汇"), ListOrder::shuffled);
    EXPECT_EQ(read.orderOf(u"Mine"), ListOrder::shuffled);
    EXPECT_EQ(read.orders.size(), 2u);
    EXPECT_EQ(again.get(u"Other", u"Keep"), u"1");
    EXPECT_EQ(again.get(u"Order", u"Mine"), u"shuffled");
}
