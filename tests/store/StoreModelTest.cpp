// The store against a plain model of its two lists: vectors searched from the
// front, words placed by walking to the first greater key. Long random runs
// of edits reach what short cases do not: index growth, removals from the
// middle of long probe runs, keys that lose and regain their first node.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "StoreTestSupport.h"
#include "store/text/Text.h"

using namespace storetest;

namespace {

struct Model {
    std::vector<std::u16string> learning, remembered;

    std::vector<std::u16string>& list(WordList which) { return which == WordList::learning ? learning : remembered; }
    static std::vector<std::u16string>::iterator locate(std::vector<std::u16string>& words, const std::u16string& word)
    {
        return std::find_if(words.begin(), words.end(), [&](const std::u16string& w) { return equalNoCase(w, word); });
    }
    bool contains(const std::u16string& word)
    {
        return locate(learning, word) != learning.end() || locate(remembered, word) != remembered.end();
    }
    void insert(const std::u16string& word, WordList which)
    {
        if (contains(word))
            return;
        auto& words = list(which);
        const std::int32_t key = numericKey(word);
        const auto at = std::find_if(words.begin(), words.end(), [&](const std::u16string& w) { return numericKey(w) > key; });
        words.insert(at, word);
    }
    bool unlink(const std::u16string& word, WordList which)
    {
        auto& words = list(which);
        const auto at = locate(words, word);
        if (at == words.end())
            return false;
        words.erase(at);
        return true;
    }
};

// Words that collide often: a few stems in several cases, some with numbers
// in front (keys both ways of zero), some non-ASCII.
std::u16string randomWord(std::mt19937& random)
{
    static const char16_t* const stems[] = {u"apple", u"APPLE", u"Apple", u"\u00C4pfel", u"\u00E4pfel", u"x"};
    std::u16string word;
    const unsigned shape = random() % 4;
    if (shape < 2) {
        if (shape == 0)
            word.push_back(u'-');
        for (char c : std::to_string(random() % 12))
            word.push_back(static_cast<char16_t>(c));
        word.push_back(u' ');
    }
    word += stems[random() % 6];
    for (char c : std::to_string(random() % 150))
        word.push_back(static_cast<char16_t>(c));
    return word;
}

void expectSame(WordGet& store, const Model& model)
{
    ASSERT_EQ(learningWords(store), model.learning);
    ASSERT_EQ(rememberedWords(store), model.remembered);
    // A plain insert leaves the cycle end where it was; recomputed, it is
    // the last node (the cycle size is 0).
    store.recomputeCycleEnd();
    EXPECT_EQ(store.cycleEndWord(), model.learning.empty() ? u"" : model.learning.back());
}

}  // namespace

TEST(StoreModel, RandomEditsMatchThePlainLists)
{
    for (const bool startFromFile : {false, true}) {
        SCOPED_TRACE(startFromFile ? "lists loaded from files" : "lists built by insert");
        std::mt19937 random(startFromFile ? 7 : 3);
        TempDir dir;
        WordGet store;
        store.setDirectory(dir.path());
        store.setCycleSize(0);  // the cycle is the whole list
        Model model;
        if (startFromFile) {
            // Loaded lists take their nodes from blocks; edits mix single
            // nodes in, and both kinds must go away cleanly.
            std::u16string text;
            for (int i = 0; i < 1500; ++i) {
                const std::u16string word = randomWord(random);
                text += word + u"|p|c\r\n";
                model.insert(word, WordList::learning);
            }
            writeBytes(dir.path() / "words.txt", utf16le(text));
            store.loadDictionary(u"words");
            ASSERT_NO_FATAL_FAILURE(expectSame(store, model));
        }
        for (int step = 0; step < 6000; ++step) {
            const std::u16string word = randomWord(random);
            const WordList which = random() % 3 == 0 ? WordList::remembered : WordList::learning;
            switch (random() % 5) {
            case 0:
            case 1:
                EXPECT_TRUE(store.insert(entry(word), which));
                model.insert(word, which);
                break;
            case 2: EXPECT_EQ(store.unlink(word.c_str(), which), model.unlink(word, which)); break;
            case 3: {
                const bool toRemembered = random() % 2 == 0;
                store.setRemembered(entry(word), toRemembered);
                if (toRemembered && model.unlink(word, WordList::learning)) {
                    model.insert(word, WordList::remembered);
                } else if (model.unlink(word, WordList::remembered)) {
                    model.insert(word, WordList::learning);
                }
                break;
            }
            default: EXPECT_EQ(store.contains(word.c_str()), model.contains(word)); break;
            }
            if (step % 200 == 0) {
                SCOPED_TRACE(step);
                ASSERT_NO_FATAL_FAILURE(expectSame(store, model));
            }
        }
        ASSERT_NO_FATAL_FAILURE(expectSame(store, model));
        store.setDirectory({});
    }
}
