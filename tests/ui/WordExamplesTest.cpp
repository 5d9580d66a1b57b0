// The word window growing to show the word's forms and example sentences:
// where the grown window goes on a screen, and the real window under Wine
// with the pointer resting on its word.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "WordWindowFixture.h"
#include "settings/WordSettings.h"
#include "store/lists/Examples.h"
#include "ui/word/WordExamples.h"

namespace {

using namespace uitest;

bool sameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

std::string describe(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

}  // namespace

TEST(GrowWordWindow, BelowAboveAndWithinTheWorkArea)
{
    const RECT work{0, 0, 1000, 700};  // a task bar below 700
    struct Case {
        const char* what;
        RECT main;
        SIZE block;
        RECT window;
        POINT mainAt, blockAt;
        int blockHeight;
    };
    const Case cases[] = {
        {"room below", {100, 100, 300, 130}, {400, 120}, {100, 100, 500, 250}, {0, 0}, {0, 30}, 120},
        {"narrower than the word", {100, 100, 300, 130}, {150, 50}, {100, 100, 300, 180}, {0, 0}, {0, 30}, 50},
        {"the task bar below: up", {100, 600, 300, 630}, {400, 120}, {100, 480, 500, 630}, {0, 120}, {0, 0}, 120},
        {"just fits below", {100, 550, 300, 580}, {400, 120}, {100, 550, 500, 700}, {0, 0}, {0, 30}, 120},
        {"the right edge: moved left", {800, 100, 950, 130}, {400, 60}, {600, 100, 1000, 190}, {200, 0}, {0, 30}, 60},
        {"wider than the screen", {100, 100, 300, 130}, {1400, 60}, {0, 100, 1000, 190}, {100, 0}, {0, 30}, 60},
        {"no room either side: more above",
         {100, 400, 300, 430},
         {400, 500},
         {100, 0, 500, 530},
         {0, 500},
         {0, 0},
         500},
        {"no room either side: more below",
         {100, 200, 300, 230},
         {400, 600},
         {100, 70, 500, 700},
         {0, 0},
         {0, 30},
         600},
        {"taller than the screen", {100, 100, 300, 130}, {400, 900}, {100, 0, 500, 700}, {0, 0}, {0, 30}, 670},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const GrownPlacement placed = growWordWindow(c.main, c.block, work);
        EXPECT_TRUE(sameRect(placed.window, c.window)) << describe(placed.window);
        EXPECT_EQ(placed.mainAt.x, c.mainAt.x);
        EXPECT_EQ(placed.mainAt.y, c.mainAt.y);
        EXPECT_EQ(placed.blockAt.y, c.blockAt.y);
        EXPECT_EQ(placed.blockHeight, c.blockHeight);
        RECT inside{};
        IntersectRect(&inside, &placed.window, &work);
        EXPECT_TRUE(sameRect(inside, placed.window)) << "outside the work area";
    }
}

class WordExamplesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registerWordWindowClass();
        root_ = makeScratchFolder("mivora-examples");
        // Every word of the list has its sentence, whichever the window
        // shows first.
        writeDictionary(root_ / "dic" / "words.txt", {u"go|gəʊ|v. 去", u"run|rʌn|v. 跑"});
        table_ = std::make_shared<const Examples>(
            Examples::parse("# sample\n"
                            "go\tp:went/d:gone/i:going/3:goes\t1\twent\tWe went home.\t我们回家了。\n"
                            "run\tp:ran/d:run/i:running/3:runs\t2\tran\tHe ran fast.\t他跑得很快。\n"));
    }
    static void TearDownTestSuite()
    {
        theWordWindow.setExamples(nullptr);
        removeScratchFolder(root_);
    }

    void start(ExamplesShown shown, POINT corner)
    {
        SetCursorPos(5, 5);
        resetSettings();
        Settings.windowX = corner.x;
        Settings.windowY = corner.y;
        std::error_code error;
        fs::remove(root_ / "dic" / "DAvud.bin", error);
        emptyWordStore();
        wordStore.setDirectory(root_ / "dic");
        theWordWindow.setExamples(table_);
        theWordWindow.setExamplesShown(shown);
        startWordWindow();
    }
    void TearDown() override { closeWordWindow(); }

    static RECT windowRect()
    {
        RECT r{};
        GetWindowRect(wordWindow, &r);
        return r;
    }
    static RECT workArea()
    {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoW(MonitorFromWindow(wordWindow, MONITOR_DEFAULTTONEAREST), &info);
        return info.rcWork;
    }
    // The pointer onto the word and resting there, as the window hears it.
    static void pointerRests()
    {
        const RECT r = windowRect();
        SetCursorPos(r.left + 3, r.top + 3);
        SendMessageW(wordWindow, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
        SendMessageW(wordWindow, WM_MOUSEHOVER, 0, MAKELPARAM(3, 3));
    }
    static void pointerLeaves()
    {
        SetCursorPos(5, 5);
        SendMessageW(wordWindow, WM_MOUSELEAVE, 0, 0);
    }
    // What the window should show for the word it shows.
    static std::wstring expectedText()
    {
        if (shownWord() == L"go")
            return L"过去式 went · 过去分词 gone · 现在分词 going · 第三人称单数 goes\nWe [went] home.\n我们回家了。";
        return L"过去式 ran · 过去分词 run · 现在分词 running · 第三人称单数 runs\nHe [ran] fast.\n他跑得很快。";
    }

    static inline fs::path root_;
    static inline SharedExamples table_;
};

TEST_F(WordExamplesTest, RestingOnTheWordShowsItsFormsAndSentence)
{
    start(ExamplesShown::hover, {200, 150});
    const RECT before = windowRect();
    EXPECT_FALSE(theWordWindow.examplesShowing());
    EXPECT_EQ(theWordWindow.shownExamplesText(), L"");

    pointerRests();
    ASSERT_TRUE(pumpUntil([] { return theWordWindow.examplesShowing(); }, 10000));
    EXPECT_EQ(theWordWindow.shownExamplesText(), expectedText());
    const RECT grown = windowRect();
    // Grown below, the word where it was.
    EXPECT_EQ(grown.left, before.left);
    EXPECT_EQ(grown.top, before.top);
    EXPECT_GT(grown.bottom - grown.top, before.bottom - before.top);
    EXPECT_EQ(theWordWindow.shownSentence(), shownWord() == L"go" ? u"We went home." : u"He ran fast.");

    // The pointer goes: the window is the word's again.
    pointerLeaves();
    ASSERT_TRUE(pumpUntil([] { return !theWordWindow.examplesShowing(); }, 10000));
    EXPECT_TRUE(sameRect(windowRect(), before)) << describe(windowRect());
    EXPECT_EQ(theWordWindow.shownSentence(), u"");
}

TEST_F(WordExamplesTest, OffShowsNothingAndAlwaysShowsWithoutThePointer)
{
    start(ExamplesShown::off, {200, 150});
    const RECT before = windowRect();
    pointerRests();
    pump(0);
    EXPECT_FALSE(theWordWindow.examplesShowing());
    EXPECT_TRUE(sameRect(windowRect(), before)) << describe(windowRect());

    // Turned to always on the settings page: at once, the pointer elsewhere.
    pointerLeaves();
    theWordWindow.setExamplesShown(ExamplesShown::always);
    ASSERT_TRUE(pumpUntil([] { return theWordWindow.examplesShowing(); }, 10000));
    EXPECT_EQ(theWordWindow.shownExamplesText(), expectedText());
    // The next word comes with its own.
    theWordWindow.runCommand(WordCommand::next);
    EXPECT_EQ(theWordWindow.shownExamplesText(), expectedText());
}

TEST_F(WordExamplesTest, AtTheBottomOfTheScreenItGrowsUpAndStaysOffTheTaskBar)
{
    start(ExamplesShown::hover, {200, 150});
    const RECT work = workArea();
    closeWordWindow();
    // The word right above the task bar.
    start(ExamplesShown::hover, {work.right - 150, work.bottom - 30});
    const RECT before = windowRect();
    pointerRests();
    ASSERT_TRUE(pumpUntil([] { return theWordWindow.examplesShowing(); }, 10000));
    const RECT grown = windowRect();
    RECT inside{};
    IntersectRect(&inside, &grown, &work);
    EXPECT_TRUE(sameRect(inside, grown)) << describe(grown) << " in " << describe(work);
    // Upwards: the word's line stays where it was.
    EXPECT_EQ(grown.bottom, before.bottom);
    EXPECT_LT(grown.top, before.top);
    EXPECT_EQ(theWordWindow.shownExamplesText(), expectedText());
}
