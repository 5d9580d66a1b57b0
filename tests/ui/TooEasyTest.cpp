// 太简单 in the word's menu and by its command: the word goes to the
// remembered words as with 已记住 and is answered Easy, a word being learnt
// and a word under review alike.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "WordWindowFixture.h"
#include "res/resource.h"

namespace {

using namespace uitest;

struct Told {
    std::wstring word;
    std::wstring how;  // "easy", "good", "again"
    bool operator==(const Told&) const = default;
};

}  // namespace

TEST(TooEasy, LeavesTheRoundAnsweredEasy)
{
    registerWordWindowClass();
    const fs::path root = makeScratchFolder("mivora-easy");
    writeDictionary(root / "dic" / "words.txt", {u"apple||苹果", u"banana||香蕉", u"cherry||樱桃", u"date||枣"});
    resetSettings();
    emptyWordStore();
    wordStore.setDirectory(root / "dic");
    std::vector<Told> told;
    WordWindowEvents events;
    events.answered = [&](const WordEntry& entry, bool good, bool) {
        told.push_back({wide(wordOf(entry)), good ? L"good" : L"again"});
    };
    events.answeredEasy = [&](const WordEntry& entry, bool) { told.push_back({wide(wordOf(entry)), L"easy"}); };
    theWordWindow.setEvents(events);
    startWordWindow();

    // The menu: 太简单 right after 已记住.
    HMENU popup = theWordWindow.prepareWordMenu();
    ASSERT_NE(popup, nullptr);
    int remembered = -1;
    for (int i = 0; i < GetMenuItemCount(popup); ++i)
        if (GetMenuItemID(popup, i) == IDM_WORD_REMEMBERED) remembered = i;
    ASSERT_GE(remembered, 0);
    EXPECT_EQ(GetMenuItemID(popup, remembered + 1), static_cast<UINT>(IDM_WORD_EASY));
    // Chosen from the menu, on a word being learnt.
    const std::wstring learnt = shownWord();
    theWordWindow.runWordCommand(wordWindow, IDM_WORD_EASY);
    EXPECT_NE(shownWord(), learnt);

    // On a word under review.
    const WordEntry other = wordStore.currentEntry();
    wordStore.setRemembered(other, true);
    ASSERT_EQ(wordStore.bringBack({wordOf(other)}, true), 1u);
    theWordWindow.runCommand(WordCommand::next);
    ASSERT_EQ(shownWord(), wide(wordOf(other)));
    ASSERT_TRUE(wordStore.underReview(wordOf(other)));
    theWordWindow.runCommand(WordCommand::easy);

    const std::vector<Told> expected{{learnt, L"easy"}, {wide(wordOf(other)), L"easy"}};
    EXPECT_EQ(told, expected);
    for (const Told& t : expected) {
        const std::u16string word(t.word.begin(), t.word.end());
        EXPECT_FALSE(wordStore.underReview(word)) << t.word;
        bool inRemembered = false;
        for (const WordEntry& entry : wordStore.entries(WordList::remembered))
            inRemembered = inRemembered || wordOf(entry) == word;
        EXPECT_TRUE(inRemembered) << t.word;
        for (const WordEntry& entry : wordStore.entries(WordList::learning)) EXPECT_NE(wordOf(entry), word);
    }
    closeWordWindow();
    theWordWindow.setEvents({});
    removeScratchFolder(root);
}
