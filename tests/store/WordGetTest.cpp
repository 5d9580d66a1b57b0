#include <gtest/gtest.h>

#include <cstring>

#include "StoreTestSupport.h"

using namespace storetest;
using V = std::vector<std::u16string>;

namespace {

void fill(WordGet& store, std::initializer_list<std::u16string_view> list)
{
    for (auto w : list)
        ASSERT_TRUE(store.insert(entry(w), WordList::learning));
    store.recomputeCycleEnd();
}

std::u16string nextOf(WordGet& store, std::u16string_view word)
{
    WordEntry e = entry(word);
    store.next(e.word, e);
    return e.word;
}

std::u16string previousOf(WordGet& store, std::u16string_view word)
{
    WordEntry e = entry(word);
    store.previous(e.word, e);
    return e.word;
}

}  // namespace

TEST(WordGet, OrdersByNumericKeyThenInsertion)
{
    WordGet store;
    fill(store, {u"b", u"10 ten", u"2 two", u"-3 minus", u"a", u"2 second", u"  -20 spaced"});
    EXPECT_EQ(learningWords(store), (V{u"  -20 spaced", u"-3 minus", u"b", u"a", u"2 two", u"2 second", u"10 ten"}));

    // Removing the first word of a key keeps later words of that key in
    // insertion order; emptying a key lets new words of it in before the
    // next greater key.
    ASSERT_TRUE(store.unlink(u"2 two", WordList::learning));
    ASSERT_TRUE(store.insert(entry(u"2 third"), WordList::learning));
    EXPECT_EQ(learningWords(store), (V{u"  -20 spaced", u"-3 minus", u"b", u"a", u"2 second", u"2 third", u"10 ten"}));
    ASSERT_TRUE(store.unlink(u"2 second", WordList::learning));
    ASSERT_TRUE(store.unlink(u"2 THIRD", WordList::learning));
    ASSERT_TRUE(store.insert(entry(u"2 fourth"), WordList::learning));
    ASSERT_TRUE(store.insert(entry(u"99"), WordList::learning));
    ASSERT_TRUE(store.insert(entry(u"c"), WordList::learning));
    EXPECT_EQ(learningWords(store), (V{u"  -20 spaced", u"-3 minus", u"b", u"a", u"c", u"2 fourth", u"10 ten", u"99"}));
}

TEST(WordGet, WordsAreUniqueAcrossBothListsUnderAsciiFolding)
{
    WordGet store;
    EXPECT_TRUE(store.insert(entry(u"Apple", u"[first]"), WordList::learning));
    EXPECT_TRUE(store.insert(entry(u"APPLE", u"[second]"), WordList::learning));  // dropped, still "present"
    EXPECT_TRUE(store.insert(entry(u"\u00C4pfel"), WordList::learning));
    EXPECT_TRUE(store.insert(entry(u"\u00E4pfel"), WordList::learning));  // non-ASCII case differs
    EXPECT_TRUE(store.insert(entry(u"pear"), WordList::remembered));
    EXPECT_TRUE(store.insert(entry(u"PEAR"), WordList::learning));  // already remembered

    EXPECT_EQ(learningWords(store), (V{u"Apple", u"\u00C4pfel", u"\u00E4pfel"}));
    EXPECT_EQ(rememberedWords(store), (V{u"pear"}));
    EXPECT_EQ(text(store.entries(WordList::learning)[0].phonetic), u"[first]");
    EXPECT_TRUE(store.contains(u"aPPle"));
    EXPECT_TRUE(store.contains(u"Pear"));
    EXPECT_TRUE(store.contains(u"\u00C4PFEL"));  // the ASCII letters fold around the non-ASCII one
    EXPECT_FALSE(store.contains(u"peach"));

    // Inserting changes nothing to save; a successful unlink does.
    EXPECT_FALSE(store.dirty());
    EXPECT_FALSE(store.unlink(u"pear", WordList::learning));
    EXPECT_FALSE(store.dirty());
    EXPECT_TRUE(store.unlink(u"PEAR", WordList::remembered));
    EXPECT_TRUE(store.dirty());
    EXPECT_FALSE(store.contains(u"pear"));

    // Lookups keep non-ASCII case apart too: "\u00E4PFEL" is the lower-case
    // word, whatever comes first in the list.
    EXPECT_TRUE(store.unlink(u"\u00E4PFEL", WordList::learning));
    EXPECT_EQ(learningWords(store), (V{u"Apple", u"\u00C4pfel"}));
}

TEST(WordGet, InsertCutsUnterminatedFields)
{
    WordGet store;
    WordEntry e;
    std::fill(std::begin(e.word), std::end(e.word), u'w');
    std::fill(std::begin(e.phonetic), std::end(e.phonetic), u'p');
    std::fill(std::begin(e.content), std::end(e.content), u'c');
    ASSERT_TRUE(store.insert(e, WordList::learning));
    const WordEntry stored = store.entries(WordList::learning).at(0);
    EXPECT_EQ(std::u16string(stored.word).size(), kWordUnits - 1);
    EXPECT_EQ(std::u16string(stored.phonetic).size(), kPhoneticUnits - 1);
    EXPECT_EQ(std::u16string(stored.content).size(), kContentUnits - 1);
}

TEST(WordGet, CycleEndFollowsCycleSize)
{
    WordGet store;
    EXPECT_EQ(store.cycleEndWord(), u"");
    fill(store, {u"a", u"b", u"c", u"d", u"e"});
    EXPECT_EQ(store.cycleEndWord(), u"e");  // default 15 > list
    store.setCycleSize(3);
    EXPECT_EQ(store.cycleEndWord(), u"c");
    store.setCycleSize(1);
    EXPECT_EQ(store.cycleEndWord(), u"a");
    store.setCycleSize(5);
    EXPECT_EQ(store.cycleEndWord(), u"e");
    store.setCycleSize(0);
    EXPECT_EQ(store.cycleEndWord(), u"e");
    store.setCycleSize(-4);
    EXPECT_EQ(store.cycleEndWord(), u"e");
    store.setCycleSize(INT32_MAX);
    EXPECT_EQ(store.cycleEndWord(), u"e");

    // Unlinking the node at the cycle end never leaves the cycle on it.
    store.setCycleSize(3);
    ASSERT_TRUE(store.unlink(u"c", WordList::learning));
    EXPECT_EQ(store.cycleEndWord(), u"d");
}

TEST(WordGet, NavigationWithinTheCycle)
{
    WordGet store;
    fill(store, {u"a", u"b", u"c", u"d", u"e"});
    store.setCycleSize(3);
    EXPECT_EQ(nextOf(store, u"a"), u"b");
    EXPECT_EQ(nextOf(store, u"B"), u"c");  // case-insensitive lookup
    EXPECT_EQ(nextOf(store, u"c"), u"a");  // cycle end wraps to the head
    EXPECT_EQ(previousOf(store, u"b"), u"a");
    EXPECT_EQ(previousOf(store, u"a"), u"c");  // head goes to the cycle end, not the tail
    // Beyond the cycle (after it was shortened): forwards to the tail, then
    // the head; backwards one node at a time.
    EXPECT_EQ(nextOf(store, u"d"), u"e");
    EXPECT_EQ(nextOf(store, u"e"), u"a");
    EXPECT_EQ(previousOf(store, u"e"), u"d");
    EXPECT_EQ(previousOf(store, u"d"), u"c");

    store.setCycleSize(1);
    EXPECT_EQ(nextOf(store, u"a"), u"a");
    EXPECT_EQ(previousOf(store, u"a"), u"a");
    store.setCycleSize(0);
    EXPECT_EQ(nextOf(store, u"e"), u"a");
    EXPECT_EQ(previousOf(store, u"a"), u"e");
}

TEST(WordGet, NavigationLeavesUnknownWordsAlone)
{
    WordGet store;
    WordEntry placeholder = entry(u"英语四级词汇", u"正在", u"加载中...");
    const WordEntry before = placeholder;
    store.next(placeholder.word, placeholder);  // empty store
    store.previous(placeholder.word, placeholder);
    EXPECT_EQ(std::memcmp(&placeholder, &before, sizeof before), 0);

    fill(store, {u"a", u"b"});
    ASSERT_TRUE(store.insert(entry(u"gone"), WordList::remembered));
    store.next(placeholder.word, placeholder);
    store.previous(placeholder.word, placeholder);
    EXPECT_EQ(std::memcmp(&placeholder, &before, sizeof before), 0);
    WordEntry remembered = entry(u"gone", u"[x]");
    const WordEntry rememberedBefore = remembered;
    store.next(remembered.word, remembered);
    EXPECT_EQ(std::memcmp(&remembered, &rememberedBefore, sizeof remembered), 0);
}

TEST(WordGet, CurrentEntryAdvancesAndStepsBack)
{
    WordGet store;
    fill(store, {u"a", u"b", u"c"});
    store.setCurrentEntry(entry(u"a"));
    store.advance();
    EXPECT_EQ(text(store.currentEntry().word), u"b");
    store.advance();
    store.advance();
    EXPECT_EQ(text(store.currentEntry().word), u"a");
    store.stepBack();
    EXPECT_EQ(text(store.currentEntry().word), u"c");
    // The whole record is copied, not just the word.
    WordGet other;
    ASSERT_TRUE(other.insert(entry(u"x", u"[ks]", u"ten"), WordList::learning));
    ASSERT_TRUE(other.insert(entry(u"y"), WordList::learning));
    other.setCurrentEntry(entry(u"y", u"[stale]", u"stale"));
    other.advance();
    const WordEntry current = other.currentEntry();
    EXPECT_EQ(text(current.word), u"x");
    EXPECT_EQ(text(current.phonetic), u"[ks]");
    EXPECT_EQ(text(current.content), u"ten");
}

TEST(WordGet, SetRememberedMovesBothWaysAndKeepsTheCycleFull)
{
    WordGet store;
    fill(store, {u"a", u"b", u"c", u"d", u"e"});
    store.setCycleSize(3);

    store.setRemembered(entry(u"c"), true);  // the cycle end
    EXPECT_EQ(learningWords(store), (V{u"a", u"b", u"d", u"e"}));
    EXPECT_EQ(rememberedWords(store), (V{u"c"}));
    EXPECT_EQ(store.cycleEndWord(), u"d");
    EXPECT_EQ(store.header().rememberedCount, 1);
    EXPECT_EQ(store.header().learningCount, -1);  // counters move by one from 0
    EXPECT_TRUE(store.dirty());

    store.setRemembered(entry(u"A"), true);
    EXPECT_EQ(store.cycleEndWord(), u"e");
    EXPECT_EQ(rememberedWords(store), (V{u"c", u"A"}));  // the caller's copy is stored

    // "to remembered" on a word that is only remembered sends it back, to
    // the tail of the learning list.
    store.setRemembered(entry(u"c"), true);
    EXPECT_EQ(learningWords(store), (V{u"b", u"d", u"e", u"c"}));
    EXPECT_EQ(store.cycleEndWord(), u"e");
    EXPECT_EQ(store.header().rememberedCount, 1);
    EXPECT_EQ(store.header().learningCount, -1);

    store.setRemembered(entry(u"a"), false);
    EXPECT_EQ(learningWords(store), (V{u"b", u"d", u"e", u"c", u"a"}));
    EXPECT_TRUE(rememberedWords(store).empty());

    // Not remembered and asked to un-remember, or in no list: nothing.
    const ProgressHeader before = store.header();
    store.setRemembered(entry(u"b"), false);
    store.setRemembered(entry(u"nowhere"), true);
    EXPECT_EQ(learningWords(store), (V{u"b", u"d", u"e", u"c", u"a"}));
    EXPECT_EQ(store.header().learningCount, before.learningCount);
    EXPECT_EQ(store.header().rememberedCount, before.rememberedCount);
}

TEST(WordGet, RememberingTheWholeCycleMovesLaterWordsIn)
{
    WordGet store;
    fill(store, {u"1 a", u"2 b", u"3 c"});
    store.setCycleSize(2);
    store.setRemembered(entry(u"1 a"), true);
    EXPECT_EQ(store.cycleEndWord(), u"3 c");
    store.setRemembered(entry(u"2 b"), true);
    store.setRemembered(entry(u"3 c"), true);
    EXPECT_EQ(store.cycleEndWord(), u"");
    EXPECT_EQ(rememberedWords(store), (V{u"1 a", u"2 b", u"3 c"}));
    // Sent back, a numbered word takes its numeric place again.
    store.setRemembered(entry(u"3 c"), false);
    store.setRemembered(entry(u"1 a"), false);
    EXPECT_EQ(learningWords(store), (V{u"1 a", u"3 c"}));
    EXPECT_EQ(nextOf(store, u"3 c"), u"1 a");
}

TEST(WordGet, DeleteRememberedRemovesOnlyRememberedWords)
{
    WordGet store;
    fill(store, {u"a", u"b"});
    store.setRemembered(entry(u"a"), true);
    EXPECT_FALSE(store.deleteRemembered(u"b"));
    EXPECT_EQ(learningWords(store), (V{u"b"}));
    EXPECT_TRUE(store.deleteRemembered(u"A"));
    EXPECT_FALSE(store.contains(u"a"));
    EXPECT_EQ(store.header().rememberedCount, 0);
    EXPECT_FALSE(store.deleteRemembered(u"a"));
    EXPECT_EQ(store.header().rememberedCount, 0);
}
