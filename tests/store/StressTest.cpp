// Loads on a worker thread while other threads navigate and move words, the
// way the word window and the options sheet use the store during a load.
// Run under ThreadSanitizer in the tsan build.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "BackgroundSave.h"
#include "StoreTestSupport.h"
#include "store/text/Text.h"

using namespace storetest;

namespace {

std::u16string numbered(const char16_t* stem, int i)
{
    std::u16string word = stem;
    for (char c : std::to_string(i))
        word.push_back(static_cast<char16_t>(c));
    return word;
}

void checkInvariants(WordGet& store)
{
    const auto learning = store.entries(WordList::learning);
    const auto remembered = store.entries(WordList::remembered);
    std::set<std::u16string> seen;
    for (const auto* list : {&remembered, &learning}) {
        std::int32_t lastKey = INT32_MIN;
        for (const WordEntry& e : *list) {
            EXPECT_TRUE(seen.insert(foldedWord(e.word)).second) << "word twice: " << testing::PrintToString(std::u16string(e.word));
            const std::int32_t key = numericKey(e.word);
            EXPECT_LE(lastKey, key);
            lastKey = key;
        }
    }
    EXPECT_EQ(store.header().rememberedCount, static_cast<std::int32_t>(remembered.size()));
    const std::u16string end = store.cycleEndWord();
    if (learning.empty()) {
        EXPECT_TRUE(end.empty());
    } else {
        EXPECT_TRUE(store.contains(end.c_str()));
    }
}

}  // namespace

TEST(StoreStress, LoadsRaceWithNavigationAndMoves)
{
    TempDir dir;
    // Two overlapping dictionaries with numbered and plain words, and a
    // progress file to start from.
    for (int d = 0; d < 2; ++d) {
        std::u16string text;
        for (int i = 0; i < 400; ++i) {
            const int n = i + d * 200;
            text += (n % 7 == 0 ? numbered(u"", n % 50) + u" " : u"") + numbered(n % 3 ? u"word" : u"WORD", n) +
                    u"|ph|meaning " + numbered(u"", n) + u"\r\n";
        }
        writeBytes(dir.path() / (d == 0 ? "one.txt" : "two.txt"), utf16le(text));
    }
    WordGet store;
    store.setDirectory(dir.path());
    store.setCycleSize(10);
    store.loadProgress(u"one");
    ASSERT_TRUE(store.saveProgress());

    // Every thread runs until each has done its share: a fixed number of
    // loads, of store calls, of background saves. None stops while the
    // others still work, so they overlap from the first call to the last.
    constexpr int kLoaderRounds = 200;  // fifty of each kind
    constexpr int kNavigatorCalls = 50000;
    constexpr int kBackgroundSaves = 20;
    std::atomic<int> unfinished{4};
    std::atomic<bool> stop{false};
    const auto shareDone = [&] {
        if (--unfinished == 0)
            stop = true;
    };

    std::thread loader([&] {
        for (int round = 0; !stop.load(); ++round) {
            switch (round % 4) {
            case 0: store.loadDictionary(u"two"); break;
            case 1: store.loadDictionary(u"one"); break;
            case 2: store.loadProgress(u"two"); break;
            default: store.saveProgress(); break;
            }
            if (round + 1 == kLoaderRounds)
                shareDone();
        }
    });
    auto navigator = [&](int seed) {
        unsigned state = static_cast<unsigned>(seed);
        for (int call = 1; !stop.load(); ++call) {
            state = state * 1103515245u + 12345u;
            WordEntry e = store.currentEntry();
            switch ((state >> 8) % 9) {
            case 0: store.advance(); break;
            case 1: store.stepBack(); break;
            case 2: store.next(e.word, e); store.setCurrentEntry(e); break;
            case 3: store.previous(e.word, e); break;
            case 4: store.setRemembered(e, true); break;
            case 5: store.setRemembered(entry(numbered(u"word", (state >> 12) % 600)), (state >> 20) & 1); break;
            case 6: store.deleteRemembered(numbered(u"WORD", (state >> 12) % 600).c_str()); break;
            case 7: store.setCycleSize(static_cast<std::int32_t>((state >> 12) % 30) - 5); break;
            default:
                store.recomputeCycleEnd();
                (void)store.header();
                (void)store.cycleEndWord();
                (void)store.contains(e.word);
                break;
            }
            if (call == kNavigatorCalls)
                shareDone();
        }
    };
    std::thread ui(navigator, 1);
    std::thread sheet(navigator, 2);
    // The owner window's periodic save, writing while the others go on. It
    // starts only when something changed, which the others keep doing
    // until it has had its share.
    BackgroundSave saver(store);
    std::thread periodic([&] {
        for (int saves = 0; !stop.load();) {
            if (saver.start() && ++saves == kBackgroundSaves)
                shareDone();
            saver.wait();
            std::this_thread::yield();
        }
    });

    loader.join();
    ui.join();
    sheet.join();
    periodic.join();

    checkInvariants(store);
    // A save writes what the lists hold, and reading it back gives the same.
    ASSERT_TRUE(store.saveProgress());
    WordGet reread;
    reread.setDirectory(dir.path());
    reread.loadProgress(u"none");
    EXPECT_EQ(learningWords(reread), learningWords(store));
    EXPECT_EQ(rememberedWords(reread), rememberedWords(store));
    checkInvariants(reread);
}
