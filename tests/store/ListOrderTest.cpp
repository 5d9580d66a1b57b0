// The order a chosen list comes in. The expected shuffles were worked out
// by hand from the rule (FNV-1a seed, SplitMix64, Fisher-Yates from the
// back), apart from the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "StoreTestSupport.h"
#include "store/WordGet.h"
#include "store/lists/ListOrder.h"

using namespace storetest;
using Words = std::vector<std::u16string>;

namespace {

const std::u16string kFile = u"apple|a|苹果\r\nbanana|b|香蕉\r\ncherry|c|樱桃\r\ndate|d|枣\r\nelder|e|接骨木\r\n";

// The learning list, head first, after `name` was chosen in `choice`'s order
// on a store of its own (a PC of its own).
Words chosen(const TempDir& dir, std::u16string_view name, const ListOrderChoice& choice)
{
    WordGet store;
    store.setDirectory(dir.path());
    store.loadDictionary(name, choice);
    Words words;
    for (const WordEntry& entry : store.entries(WordList::learning)) words.emplace_back(entry.word);
    return words;
}

}  // namespace

TEST(ListOrder, KnownRandomNumbersAndSeeds)
{
    // SplitMix64's published first output for seed 0.
    EXPECT_EQ(ShuffleRandom(0).next(), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(shuffleSeed(u"", 0), 0x4D25767F9DCE13F5ull);
    EXPECT_EQ(shuffleSeed(u"中考英语词汇", 20261208), 0xB1F1252D993BAD44ull);
    EXPECT_EQ(shuffleSeed(u"Mine", 20261208), shuffleSeed(u"mine", 20261208));
}

TEST(ListOrder, ChosenListsComeInTheirOrder)
{
    TempDir dir;
    // The names as UTF-16: a narrow name would be taken in the system's code
    // page on Windows.
    for (const char16_t* name : {u"中考英语词汇", u"高考英语词汇", u"Mine"}) {
        writeBytes(dir.path() / (std::u16string(name) + u".txt"), "\xFF\xFE" + utf16le(kFile));
    }
    struct Case {
        const char* what;
        std::u16string list;
        ListOrderChoice choice;
        Words expected;
    };
    const Case cases[] = {
        {"the file's order",
         u"中考英语词汇",
         {ListOrder::original, 20261208},
         {u"apple", u"banana", u"cherry", u"date", u"elder"}},
        {"a day's shuffle",
         u"中考英语词汇",
         {ListOrder::shuffled, 20261208},
         {u"apple", u"elder", u"banana", u"date", u"cherry"}},
        {"the next day's",
         u"中考英语词汇",
         {ListOrder::shuffled, 20261209},
         {u"elder", u"date", u"banana", u"cherry", u"apple"}},
        {"another list that day",
         u"高考英语词汇",
         {ListOrder::shuffled, 20261208},
         {u"elder", u"cherry", u"banana", u"date", u"apple"}},
        {"an imported list",
         u"Mine",
         {ListOrder::shuffled, 20261208},
         {u"apple", u"date", u"banana", u"cherry", u"elder"}},
        {"alphabetical",
         u"中考英语词汇",
         {ListOrder::alphabetical, 20261208},
         {u"apple", u"banana", u"cherry", u"date", u"elder"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Words first = chosen(dir, c.list, c.choice);
        EXPECT_EQ(first, c.expected);
        // The other PC, choosing the same list on the same day.
        EXPECT_EQ(chosen(dir, c.list, c.choice), first);
    }
}

TEST(ListOrder, AlphabeticalFoldsCaseAndKeepsTheFileOrderAmongEquals)
{
    struct Case {
        Words words;
        std::vector<std::size_t> expected;
    };
    const Case cases[] = {
        {{u"pear", u"Apple", u"apple", u"APPLE", u"ant"}, {4, 1, 2, 3, 0}},
        {{u"ab", u"a", u"B", u"abc"}, {1, 0, 3, 2}},
        {{u"zebra", u"Zoo", u"zoo-keeper", u"zoo"}, {0, 1, 3, 2}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::u16string_view> views(c.words.begin(), c.words.end());
        EXPECT_EQ(orderPositions(views, u"x", {ListOrder::alphabetical, 1}), c.expected);
    }
}

TEST(ListOrder, AReorderedListHoldsWhatTheFileGives)
{
    TempDir dir;
    // A blank line, a line without a word, a duplicate, no line break at
    // the end: whatever the file's order gives, every order gives.
    writeBytes(dir.path() / "mixed.txt",
               "\xFF\xFE" + utf16le(u"one|1|一\r\n\r\n|x|无词\ntwo|2|二\r\none|x|重复\nthree|3|三"));
    const auto load = [&](ListOrder order, Words& words, std::int32_t& count) {
        WordGet store;
        store.setDirectory(dir.path());
        store.loadDictionary(u"mixed", {order, 20261208});
        for (const WordEntry& entry : store.entries(WordList::learning))
            words.emplace_back(std::u16string(entry.word) + u"|" + entry.phonetic + u"|" + entry.content);
        std::sort(words.begin(), words.end());
        count = store.header().learningCount;
    };
    Words original;
    std::int32_t originalCount = 0;
    load(ListOrder::original, original, originalCount);
    ASSERT_GE(original.size(), 3u);
    for (ListOrder order : {ListOrder::alphabetical, ListOrder::shuffled}) {
        Words words;
        std::int32_t count = 0;
        load(order, words, count);
        EXPECT_EQ(words, original);
        EXPECT_EQ(count, originalCount);
    }
}

TEST(ListOrder, NamesInTheSettingsFile)
{
    EXPECT_EQ(listOrderNamed(u"original"), ListOrder::original);
    EXPECT_EQ(listOrderNamed(u"Alphabetical"), ListOrder::alphabetical);
    EXPECT_EQ(listOrderNamed(u"shuffled"), ListOrder::shuffled);
    EXPECT_EQ(listOrderNamed(u"random"), std::nullopt);
    EXPECT_EQ(listOrderNamed(u""), std::nullopt);
}
