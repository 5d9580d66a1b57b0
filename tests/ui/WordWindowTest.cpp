// The real word window, created from its class and driven through its window
// procedure, timers and menu commands, against a scratch dictionary.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "WordWindowFixture.h"
#include "res/resource.h"
#include "ui/word/WordPlacement.h"

namespace {

using namespace uitest;

constexpr COLORREF kWordColor = RGB(255, 0, 0);
constexpr COLORREF kPhoneticColor = RGB(0, 0, 255);
constexpr COLORREF kContentColor = RGB(0, 128, 0);
constexpr COLORREF kBackground = RGB(255, 255, 255);

SIZE windowSize(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// A window owned by a thread of its own, standing in for another program's
// window in title-bar mode.
class ForeignWindow {
public:
    explicit ForeignWindow(const wchar_t* title)
    {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, title, ready] {
            threadId_ = GetCurrentThreadId();
            window_ = CreateWindowExW(0, kPlainClass, title, WS_OVERLAPPEDWINDOW, 50, 50, 300, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the queue before anyone posts to it
            SetEvent(ready);
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            DestroyWindow(window_);
        });
        WaitForSingleObject(ready, 10000);
        CloseHandle(ready);
    }
    ~ForeignWindow() { close(); }
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;

    HWND window() const { return window_; }
    std::wstring title() const
    {
        wchar_t buffer[1100] = {};
        GetWindowTextW(window_, buffer, 1100);
        return buffer;
    }
    // Destroys the window and ends its thread.
    void close()
    {
        if (!thread_.joinable()) return;
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

private:
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    HWND window_ = nullptr;
};

class WordWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registerWordWindowClass();
        registerPlainClass();
    }

    void SetUp() override
    {
        ASSERT_NE(FindResourceW(appInstance, MAKEINTRESOURCEW(IDR_WORD_MENU), MAKEINTRESOURCEW(4)), nullptr)
            << "menu resource " << IDR_WORD_MENU << " is not linked in";
        root_ = makeScratchFolder("mivora-ui");

        resetSettings();
        Settings.windowX = 200;
        Settings.windowY = 150;
        Settings.wordColor = kWordColor;
        Settings.phoneticColor = kPhoneticColor;
        Settings.contentColor = kContentColor;
        Settings.backgroundColor = kBackground;
        Settings.font.lfQuality = NONANTIALIASED_QUALITY;  // exact text colours

        emptyWordStore();
        theWordWindow.captureTitleWindow(nullptr);

        owner_ = CreateWindowExW(0, kPlainClass, L"owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, appInstance,
                                 nullptr);
    }

    void TearDown() override
    {
        closeWordWindow();
        if (owner_ != nullptr) DestroyWindow(owner_);
        pump(0);
        // Nothing may be written into the scratch directory at exit.
        removeScratchFolder(root_);
    }

    void writeDictionary(std::initializer_list<std::u16string_view> lines)
    {
        uitest::writeDictionary(root_ / "dic" / "words.txt", lines);
    }

    // Creates the word window the way the shell does and lets the start-up
    // load finish.
    void start(int cycleSize)
    {
        Settings.cycleSize = cycleSize;
        wordStore.setCycleSize(cycleSize);
        startWordWindow();
    }

    void expectShowing(std::u16string_view word)
    {
        const WordEntry entry = wordStore.currentEntry();
        EXPECT_EQ(wide(wordOf(entry)), wide(word));
        const SIZE size = windowSize(wordWindow);
        if (word.size() > 20) {
            // The long layout: 600 wide, tall enough for the word and the
            // phonetic and content as they wrap there.
            EXPECT_EQ(Settings.windowWidth, 600);
            EXPECT_GE(Settings.windowHeight,
                      wrappedTextHeight(word, 600) + wrappedTextHeight(fieldText(entry.phonetic, kPhoneticUnits) +
                                                                           fieldText(entry.content, kContentUnits),
                                                                       600));
        } else {
            const OneLine layout = oneLine(entry);
            EXPECT_EQ(Settings.windowWidth, layout.width);
            EXPECT_EQ(Settings.windowHeight, layout.height);
        }
        EXPECT_EQ(size.cx, Settings.windowWidth);
        EXPECT_EQ(size.cy, Settings.windowHeight);
    }

    static std::wstring composedTitle(const WordEntry& entry)
    {
        return wide(wordOf(entry) + fieldText(entry.phonetic, kPhoneticUnits) +
                    fieldText(entry.content, kContentUnits));
    }

    fs::path root_;
    HWND owner_ = nullptr;
};

TEST_F(WordWindowTest, CreationGivesTheLayeredTopmostToolWindowAtTheStoredPlace)
{
    writeDictionary({u"alpha|ˈælfə|第一个", u"beta|ˈbeɪtə|第二个", u"gamma|ˈɡæmə|第三个"});
    start(15);

    EXPECT_TRUE(IsWindowVisible(wordWindow));
    const LONG_PTR exStyle = GetWindowLongPtrW(wordWindow, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST),
              WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowLongPtrW(wordWindow, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_BORDER), WS_POPUP);
    RECT frame{};
    GetWindowRect(wordWindow, &frame);
    EXPECT_EQ(frame.left, 200);
    EXPECT_EQ(frame.top, 150);

    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(wordWindow, GCLP_HBRBACKGROUND)), theWordWindow.backgroundBrush());
    LOGBRUSH brush{};
    ASSERT_NE(GetObjectW(theWordWindow.backgroundBrush(), sizeof brush, &brush), 0);
    EXPECT_EQ(brush.lbColor, kBackground);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(wordWindow, &key, &alpha, &flags));
    EXPECT_EQ(alpha, 250);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

    // The load ends with one step from the head: the second word shows.
    expectShowing(u"beta");
    // Without automatic switching nothing moves on by itself.
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE);
}

TEST_F(WordWindowTest, ACycleOfOneShowsTheHeadAfterStartUp)
{
    writeDictionary({u"alpha|ˈælfə|第一个", u"beta|ˈbeɪtə|第二个"});
    start(1);
    expectShowing(u"alpha");
}

TEST_F(WordWindowTest, TransparentBackgroundMakesTheBackgroundColourTheKey)
{
    Settings.transparentBackground = 1;
    Settings.backgroundColor = RGB(12, 34, 56);
    writeDictionary({u"alpha||a"});
    start(15);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(wordWindow, &key, &alpha, &flags));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(key, RGB(12, 34, 56));
    EXPECT_EQ(alpha, 250);
}

TEST_F(WordWindowTest, ALongDictionaryNameLaysTheLoadingLineOutWrapped)
{
    const std::u16string name(63, u'N');
    copyBounded(Settings.dictionaryName, name);
    // No dictionary of that name exists: nothing is loaded, the loading
    // line stays for good.
    Settings.cycleSize = 15;
    startWordWindow();

    const WordEntry entry = wordStore.currentEntry();
    EXPECT_EQ(wide(wordOf(entry)), wide(name));
    EXPECT_EQ(wide(fieldText(entry.phonetic, kPhoneticUnits)), L"正在");
    EXPECT_EQ(wide(fieldText(entry.content, kContentUnits)), L"加载中...");
    // The long layout: 600 pixels wide, tall enough for the name wrapped
    // there and for the phonetic and content below it.
    EXPECT_EQ(Settings.windowWidth, 600);
    EXPECT_GE(Settings.windowHeight, wrappedTextHeight(wordOf(entry), 600) + wrappedTextHeight(u"正在加载中...", 600));
    EXPECT_EQ(windowSize(wordWindow).cx, 600);
    EXPECT_EQ(windowSize(wordWindow).cy, Settings.windowHeight);
}

TEST_F(WordWindowTest, TitleBarModeFromTheStartKeepsTheWindowHiddenAndUnsized)
{
    Settings.titleBarMode = 1;
    Settings.windowWidth = 123;
    Settings.windowHeight = 45;
    writeDictionary({u"alpha||a", u"beta||b"});
    start(15);
    EXPECT_FALSE(IsWindowVisible(wordWindow));
    EXPECT_EQ(windowSize(wordWindow).cx, 0);
    EXPECT_EQ(windowSize(wordWindow).cy, 0);
    EXPECT_EQ(Settings.windowWidth, 123);
    EXPECT_EQ(Settings.windowHeight, 45);
    // The load still stepped on, only nothing was measured.
    EXPECT_EQ(shownWord(), L"beta");
    EXPECT_EQ(KillTimer(wordWindow, TIMER_TITLE), TRUE);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_PROBE), TRUE);
}

TEST_F(WordWindowTest, PaintingDrawsEachTextInItsColourWhereTheLayoutPutsIt)
{
    writeDictionary({u"alpha|ˈælfə|第一", u"WWW|MMM|HHH"});
    start(15);
    expectShowing(u"WWW");
    RedrawWindow(wordWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

    const WordEntry entry = wordStore.currentEntry();
    const OneLine layout = oneLine(entry);
    const SIZE word = extentOf(u"WWW");
    const SIZE phonetic = extentOf(u"[MMM]");
    HDC dc = GetDC(wordWindow);
    auto count = [&](int left, int right, COLORREF colour) {
        int hits = 0;
        for (int x = left; x < right; ++x)
            for (int y = 0; y < layout.height; ++y)
                if (GetPixel(dc, x, y) == colour) ++hits;
        return hits;
    };
    EXPECT_GT(count(layout.wordX, layout.wordX + word.cx, kWordColor), 10);
    EXPECT_GT(count(layout.phoneticX, layout.phoneticX + phonetic.cx, kPhoneticColor), 10);
    EXPECT_GT(count(layout.contentX, layout.width, kContentColor), 10);
    // Nothing of the content lies left of where it should start.
    EXPECT_EQ(count(0, layout.contentX, kContentColor), 0);
    EXPECT_EQ(GetPixel(dc, layout.width - 2, 0), kBackground);
    ReleaseDC(wordWindow, dc);
}

TEST_F(WordWindowTest, ALongWordIsWrappedSixHundredWide)
{
    const std::u16string longWord = u"abcdefghij klmnopqrst uvwxy";  // 27 units
    writeDictionary({u"alpha||a", longWord + u"|fəˈnetɪk|很长的一个词的意思"});
    start(15);
    expectShowing(longWord);
    EXPECT_EQ(Settings.windowWidth, 600);
    // A layout-only request measures again and changes nothing.
    SendMessageW(wordWindow, WM_TIMER, TIMER_SWITCH, 1);
    expectShowing(longWord);
}

TEST_F(WordWindowTest, MenuCommandsStepThroughTheCycle)
{
    writeDictionary({u"one||1", u"two||2", u"three||3", u"four||4"});
    start(3);
    expectShowing(u"two");
    theWordWindow.runWordCommand(owner_, IDM_WORD_NEXT);
    expectShowing(u"three");
    theWordWindow.runWordCommand(owner_, IDM_WORD_NEXT);  // three ends the cycle
    expectShowing(u"one");
    theWordWindow.runWordCommand(owner_, IDM_WORD_PREVIOUS);  // from the head to the cycle end, not the tail
    expectShowing(u"three");
    theWordWindow.runWordCommand(owner_, 0);  // dismissed
    expectShowing(u"three");

    // Marking the cycle end: the window moves on to the head, the cycle
    // takes in the next word.
    theWordWindow.runWordCommand(owner_, IDM_WORD_REMEMBERED);
    expectShowing(u"one");
    const auto remembered = wordStore.entries(WordList::remembered);
    ASSERT_EQ(remembered.size(), 1u);
    EXPECT_EQ(wide(wordOf(remembered[0])), L"three");
    EXPECT_EQ(wide(wordStore.cycleEndWord()), L"four");
    theWordWindow.runWordCommand(owner_, IDM_WORD_PREVIOUS);
    expectShowing(u"four");

    // Every use of the menu lets its owner know it is gone.
    MSG msg{};
    int nulls = 0;
    while (PeekMessageW(&msg, owner_, 0, 0, PM_REMOVE))
        if (msg.message == WM_NULL) ++nulls;
    EXPECT_EQ(nulls, 6);
}

TEST_F(WordWindowTest, RememberingTheOnlyWordKeepsShowingIt)
{
    writeDictionary({u"solo|ˈsəʊləʊ|独奏"});
    start(15);
    expectShowing(u"solo");
    theWordWindow.runWordCommand(owner_, IDM_WORD_REMEMBERED);
    expectShowing(u"solo");
    EXPECT_TRUE(wordStore.entries(WordList::learning).empty());
    ASSERT_EQ(wordStore.entries(WordList::remembered).size(), 1u);
    // It is in no learning node now: stepping either way leaves it shown.
    theWordWindow.runWordCommand(owner_, IDM_WORD_NEXT);
    expectShowing(u"solo");
    theWordWindow.runWordCommand(owner_, IDM_WORD_PREVIOUS);
    expectShowing(u"solo");
    // Marking it once more sends it back to learning.
    theWordWindow.runWordCommand(owner_, IDM_WORD_REMEMBERED);
    EXPECT_EQ(wordStore.entries(WordList::learning).size(), 1u);
    EXPECT_TRUE(wordStore.entries(WordList::remembered).empty());
}

TEST_F(WordWindowTest, PauseStopsAndRestartsAutomaticSwitching)
{
    Settings.autoSwitch = 1;
    Settings.switchSeconds = 1;
    writeDictionary({u"one||1", u"two||2", u"three||3"});
    start(15);
    // The load started the timer, a second's period: the menu is "open"
    // before it comes due, and no switch may come, not even after a period.
    HMENU popup = theWordWindow.prepareWordMenu();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetMenuState(popup, IDM_WORD_PAUSE, MF_BYCOMMAND) & MF_CHECKED, 0u);
    const std::wstring before = shownWord();
    EXPECT_FALSE(wordChangesBefore(1500)) << "switched while the menu was open";
    theWordWindow.runWordCommand(owner_, 0);
    EXPECT_TRUE(pumpUntil([&] { return shownWord() != before; }, 30000));

    theWordWindow.prepareWordMenu();
    theWordWindow.runWordCommand(owner_, IDM_WORD_PAUSE);
    EXPECT_EQ(Settings.autoSwitch, 0);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE);
    popup = theWordWindow.prepareWordMenu();
    EXPECT_EQ(GetMenuState(popup, IDM_WORD_PAUSE, MF_BYCOMMAND) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    theWordWindow.runWordCommand(owner_, 0);  // dismissed while paused: stays paused
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE);

    theWordWindow.prepareWordMenu();
    theWordWindow.runWordCommand(owner_, IDM_WORD_PAUSE);
    EXPECT_EQ(Settings.autoSwitch, 1);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), TRUE);
}

TEST_F(WordWindowTest, DraggingStoresTheNewCornerAndAClickStoresTheRealOne)
{
    writeDictionary({u"alpha|ˈælfə|第一个", u"beta|ˈbeɪtə|第二个"});
    start(15);
    RECT before{};
    GetWindowRect(wordWindow, &before);

    // A move with the button held but no press on the window moves nothing.
    SetCursorPos(before.left + 60, before.top + 60);
    SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    RECT still{};
    GetWindowRect(wordWindow, &still);
    EXPECT_EQ(still.left, before.left);

    SetCursorPos(before.left + 5, before.top + 5);
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(GetCapture(), wordWindow);
    SetCursorPos(before.left + 25, before.top + 15);
    SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    SetCursorPos(before.left + 45, before.top + 35);
    SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(GetCapture(), nullptr);

    RECT after{};
    GetWindowRect(wordWindow, &after);
    EXPECT_EQ(after.left, before.left + 40);
    EXPECT_EQ(after.top, before.top + 30);
    EXPECT_EQ(after.right - after.left, Settings.windowWidth);  // keeps its laid-out size
    EXPECT_EQ(Settings.windowX, after.left);
    EXPECT_EQ(Settings.windowY, after.top);

    // Press and release at another spot of the window without moving: the
    // stored corner stays what the drag made it, not last drag's cursor
    // minus the new grab offset, and the window does not move.
    SetCursorPos(after.left + 17, after.top + 9);
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Settings.windowX, after.left);
    EXPECT_EQ(Settings.windowY, after.top);
    RECT clicked{};
    GetWindowRect(wordWindow, &clicked);
    EXPECT_EQ(clicked.left, after.left);
    EXPECT_EQ(clicked.top, after.top);
}

TEST_F(WordWindowTest, ProbeAdoptsANewColourOnly)
{
    writeDictionary({u"alpha||a"});
    start(15);
    HBRUSH original = theWordWindow.backgroundBrush();

    EXPECT_FALSE(theWordWindow.adoptBackgroundColor(kBackground));
    EXPECT_EQ(theWordWindow.backgroundBrush(), original);
    EXPECT_FALSE(theWordWindow.adoptBackgroundColor(CLR_INVALID));
    EXPECT_EQ(Settings.backgroundColor, kBackground);
    EXPECT_EQ(theWordWindow.backgroundBrush(), original);

    // Without the transparent background the key stays what it was.
    EXPECT_TRUE(theWordWindow.adoptBackgroundColor(RGB(1, 2, 3)));
    EXPECT_EQ(Settings.backgroundColor, RGB(1, 2, 3));
    EXPECT_NE(theWordWindow.backgroundBrush(), original);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(wordWindow, GCLP_HBRBACKGROUND)), theWordWindow.backgroundBrush());
    LOGBRUSH brush{};
    ASSERT_NE(GetObjectW(theWordWindow.backgroundBrush(), sizeof brush, &brush), 0);
    EXPECT_EQ(brush.lbColor, RGB(1, 2, 3));
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(wordWindow, &key, &alpha, &flags));
    EXPECT_EQ(key, kBackground);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));

    Settings.transparentBackground = 1;
    EXPECT_TRUE(theWordWindow.adoptBackgroundColor(RGB(4, 5, 6)));
    ASSERT_TRUE(GetLayeredWindowAttributes(wordWindow, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(4, 5, 6));
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(alpha, 250);
}

// An opaque window of one colour under the word window, standing in for
// the desktop; the word window stays shown over it, as it is at a start.
class ColourPatch {
public:
    ColourPatch(COLORREF colour, RECT at) : brush_(CreateSolidBrush(colour))
    {
        window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kPlainClass, L"", WS_POPUP, at.left, at.top,
                                  at.right - at.left, at.bottom - at.top, nullptr, nullptr, appInstance, nullptr);
        SetClassLongPtrW(window_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush_));
        ShowWindow(window_, SW_SHOWNA);
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    ~ColourPatch()
    {
        SetClassLongPtrW(window_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(WHITE_BRUSH)));
        DestroyWindow(window_);
        DeleteObject(brush_);
    }
    HWND window() const { return window_; }

private:
    HBRUSH brush_;
    HWND window_ = nullptr;
};

// The screen at `at` shows `colour` (the patch has been drawn).
bool screenShows(POINT at, COLORREF colour)
{
    HDC screen = GetDC(nullptr);
    const COLORREF seen = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return seen == colour;
}

TEST_F(WordWindowTest, ProbeReadsTheScreenBesideTheShownWindowAndIgnoresPointsOffIt)
{
    writeDictionary({u"alpha||a"});
    start(15);

    // A light blue desktop under and around the word window, which stays in
    // front of it: the sample must not read the window's own white.
    constexpr COLORREF kLightBlue = RGB(220, 235, 250);
    ColourPatch desk(kLightBlue, {500, 300, 1100, 600});
    SetWindowPos(wordWindow, HWND_TOPMOST, 620, 410, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    const POINT at = probePoint(wordWindow, {620, 410});
    ASSERT_TRUE(pumpUntil([&] { return screenShows(at, kLightBlue); }, 30000));
    ASSERT_TRUE(screenShows({630, 415}, kBackground)) << "the word window covers its corner";
    theWordWindow.probeBackground();
    EXPECT_EQ(Settings.backgroundColor, kLightBlue);

    const COLORREF kept = Settings.backgroundColor;
    SetWindowPos(wordWindow, nullptr, -30000, -30000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    theWordWindow.probeBackground();
    EXPECT_EQ(Settings.backgroundColor, kept);
}

// A sample that falls on a colour the text is drawn in would hide the text
// (in transparent mode the word would become the key and vanish).
TEST_F(WordWindowTest, ProbeNeverAdoptsATextColour)
{
    writeDictionary({u"alpha||a"});
    start(15);
    Settings.transparentBackground = 1;
    theWordWindow.applyWordTransparency();
    SetWindowPos(wordWindow, HWND_TOPMOST, 620, 410, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    const POINT at = probePoint(wordWindow, {620, 410});
    for (const COLORREF text : {kWordColor, kPhoneticColor, kContentColor}) {
        ColourPatch desk(text, {500, 300, 1100, 600});
        ASSERT_TRUE(pumpUntil([&] { return screenShows(at, text); }, 30000));
        theWordWindow.probeBackground();
        EXPECT_EQ(Settings.backgroundColor, kBackground) << std::hex << text;
        COLORREF key = 0;
        BYTE alpha = 0;
        DWORD flags = 0;
        ASSERT_TRUE(GetLayeredWindowAttributes(wordWindow, &key, &alpha, &flags));
        EXPECT_EQ(key, kBackground);
    }
}

// A first start over a dark desktop: the default text colours (a blue word,
// a near-black phonetic, a dark green meaning) would vanish into it, so the
// white background stays; over a light one the desktop's colour is taken.
// The worst contrast of each, worked out by hand from WCAG's formulas, is
// beside it.
TEST_F(WordWindowTest, ProbeKeepsTheBackgroundOverADarkDesktopAndTakesALightOne)
{
    writeDictionary({u"alpha|ˈælfə|第一个"});
    // The colours a first start has.
    Settings.wordColor = RGB(0, 0, 255);
    Settings.phoneticColor = RGB(15, 0, 15);
    Settings.contentColor = RGB(0, 102, 51);
    start(15);
    SetWindowPos(wordWindow, nullptr, 620, 410, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const POINT at = probePoint(wordWindow, {620, 410});
    struct Desktop {
        const char* what;
        COLORREF colour;
        bool taken;
    };
    const Desktop desktops[] = {
        {"Windows 10's blue (meaning 1.6:1)", RGB(0, 120, 215), false},
        {"Windows 11's dark theme (phonetic 1.03:1)", RGB(0, 0, 0), false},
        {"a night photo's navy (phonetic 1.3:1)", RGB(12, 35, 64), false},
        {"a light grey (meaning 6.2:1)", RGB(240, 240, 240), true},
        {"a mid grey (meaning 3.4:1)", RGB(180, 180, 180), true},
    };
    for (const Desktop& desktop : desktops) {
        SCOPED_TRACE(desktop.what);
        ColourPatch desk(desktop.colour, {500, 300, 1100, 600});
        SetWindowPos(wordWindow, HWND_TOPMOST, 620, 410, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        ASSERT_TRUE(pumpUntil([&] { return screenShows(at, desktop.colour); }, 30000));
        theWordWindow.probeBackground();
        EXPECT_EQ(Settings.backgroundColor, desktop.taken ? desktop.colour : kBackground);
        // What the window shows, as the user sees it: its background, with
        // 5/255 of the desktop through it.
        const COLORREF shown = Settings.backgroundColor;
        EXPECT_TRUE(pumpUntil([&] {
            HDC screen = GetDC(nullptr);
            const COLORREF seen = GetPixel(screen, 630, 415);
            ReleaseDC(nullptr, screen);
            return std::abs(GetRValue(seen) - GetRValue(shown)) <= 6 &&
                   std::abs(GetGValue(seen) - GetGValue(shown)) <= 6 && std::abs(GetBValue(seen) - GetBValue(shown)) <= 6;
        }, 30000));
        theWordWindow.applyWordBackground(kBackground);
    }
}

// Mivora never takes the keyboard: not when the word window is shown, not
// when it is clicked or dragged.
TEST_F(WordWindowTest, TheWindowInFrontKeepsTheForegroundAtStartAndThroughADrag)
{
    writeDictionary({u"alpha||a"});
    HWND front = CreateWindowExW(0, kPlainClass, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 500, 300, 200,
                                 nullptr, nullptr, appInstance, nullptr);
    SetForegroundWindow(front);
    ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == front; }, 30000));
    start(15);
    EXPECT_TRUE(IsWindowVisible(wordWindow));
    EXPECT_NE(GetWindowLongPtrW(wordWindow, GWL_EXSTYLE) & WS_EX_NOACTIVATE, 0);
    pump(0);
    EXPECT_EQ(GetForegroundWindow(), front);

    // A click asks whether to activate: no.
    EXPECT_EQ(SendMessageW(wordWindow, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(wordWindow),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATE);
    // A real drag with the mouse, through the window system.
    RECT before{};
    GetWindowRect(wordWindow, &before);
    SetCursorPos(before.left + 5, before.top + 5);
    INPUT press[3] = {};
    for (INPUT& input : press) input.type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    // Absolute, in 0..65535 of the primary screen: no pointer acceleration.
    press[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    press[1].mi.dx = MulDiv(before.left + 45, 65536, GetSystemMetrics(SM_CXSCREEN));
    press[1].mi.dy = MulDiv(before.top + 35, 65536, GetSystemMetrics(SM_CYSCREEN));
    press[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, press, sizeof(INPUT));
    ASSERT_TRUE(pumpUntil([&] { return GetCapture() == wordWindow; }, 30000)) << "the press did not reach the window";
    SendInput(1, press + 1, sizeof(INPUT));
    ASSERT_TRUE(pumpUntil([&] {
        RECT now{};
        GetWindowRect(wordWindow, &now);
        return now.left != before.left;
    }, 30000)) << "the drag did not move the window";
    SendInput(1, press + 2, sizeof(INPUT));
    ASSERT_TRUE(pumpUntil([&] { return GetCapture() == nullptr; }, 30000));
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_NE(GetForegroundWindow(), wordWindow);
    DestroyWindow(front);
}

TEST_F(WordWindowTest, ProbeTimerIsOneShotAndRearmedAtTheEndOfADrag)
{
    writeDictionary({u"alpha||a"});
    start(15);
    SendMessageW(wordWindow, WM_TIMER, TIMER_PROBE, 0);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_PROBE), FALSE);
    const auto drag = [&] {
        SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 9));
        SendMessageW(wordWindow, WM_LBUTTONUP, 0, MAKELPARAM(20, 9));
    };
    drag();
    EXPECT_EQ(KillTimer(wordWindow, TIMER_PROBE), FALSE);  // sampling is off
    Settings.sampleBackground = 1;
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(KillTimer(wordWindow, TIMER_PROBE), FALSE);  // a click is no drag
    drag();
    EXPECT_EQ(KillTimer(wordWindow, TIMER_PROBE), TRUE);

    // WM_DESTROY's own handling stops all three timers and skips the default.
    SetTimer(wordWindow, TIMER_SWITCH, 100000, nullptr);
    SetTimer(wordWindow, TIMER_PROBE, 100000, nullptr);
    SetTimer(wordWindow, TIMER_TITLE, 100000, nullptr);
    EXPECT_EQ(SendMessageW(wordWindow, WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_PROBE), FALSE);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_TITLE), FALSE);
}

TEST_F(WordWindowTest, TitleBarModeWritesTheCapturedWindowsTitle)
{
    writeDictionary({u"alpha|ˈælfə|第一个", u"bare||没有音标", u"gamma|ˈɡæmə|第三个"});
    start(15);
    Settings.titleBarMode = 1;
    const int width = Settings.windowWidth;

    // The probe tick captures the foreground window in this mode, and does
    // not sample even with sampling on.
    Settings.sampleBackground = 1;
    Settings.windowX = -30000;  // a sample here would be CLR_INVALID anyway
    {
        ForeignWindow front(L"front");
        ShowWindow(front.window(), SW_SHOW);
        SetForegroundWindow(front.window());
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == front.window(); }, 30000));
        SendMessageW(wordWindow, WM_TIMER, TIMER_PROBE, 0);
        EXPECT_EQ(theWordWindow.capturedWindow(), front.window());

        // One of the program's own windows in front (the hidden owner after
        // "当前标题", the sheet) is never taken: the window taken stays.
        HWND own = CreateWindowExW(0, kPlainClass, L"own", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 200, 100,
                                   nullptr, nullptr, appInstance, nullptr);
        SetForegroundWindow(own);
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == own; }, 30000));
        SendMessageW(wordWindow, WM_TIMER, TIMER_PROBE, 0);
        EXPECT_EQ(theWordWindow.capturedWindow(), front.window());
        DestroyWindow(own);
    }

    ForeignWindow target(L"original");
    theWordWindow.captureTitleWindow(target.window());
    SendMessageW(wordWindow, WM_TIMER, TIMER_TITLE, 0);
    EXPECT_EQ(target.title(), L"bare没有音标");  // an empty phonetic adds nothing

    SendMessageW(wordWindow, WM_TIMER, TIMER_SWITCH, 0);  // advance: the title follows
    EXPECT_EQ(shownWord(), L"gamma");
    EXPECT_EQ(target.title(), composedTitle(wordStore.currentEntry()));
    EXPECT_EQ(target.title(), L"gamma[ˈɡæmə]第三个");
    EXPECT_EQ(Settings.windowWidth, width);  // nothing was laid out

    // The captured window goes away, and its handle number may end up with
    // a window of someone else: that window is never taken for it.
    const CapturedWindow taken = CapturedWindow::of(target.window());
    EXPECT_TRUE(taken.stillThere());
    target.close();
    EXPECT_FALSE(taken.stillThere());
    SendMessageW(wordWindow, WM_TIMER, TIMER_TITLE, 0);
    ForeignWindow bystander(L"bystander");
    CapturedWindow reused = taken;
    reused.window = bystander.window();
    EXPECT_FALSE(reused.stillThere());
}

TEST_F(WordWindowTest, TheLoadEndsWithoutTheUiThreadAndItsNoticeShowsTheFirstWord)
{
    writeDictionary({u"alpha||a", u"beta||b"});
    Settings.cycleSize = 15;
    wordStore.setCycleSize(15);
    ASSERT_TRUE(theWordWindow.create(appInstance));
    wordWindow = theWordWindow.handle();
    // No message loop runs here: a worker that waited for the UI thread
    // would make this wait time out, as at exit.
    ASSERT_TRUE(theWordWindow.waitForWordLoad(20000));
    EXPECT_TRUE(theWordWindow.loading());
    // The lists are in place (the current entry is the list's head), but
    // the window steps on only when the notice is served.
    EXPECT_EQ(shownWord(), L"alpha");
    ASSERT_TRUE(pumpUntil([] { return !theWordWindow.loading(); }, 20000));
    EXPECT_EQ(shownWord(), L"beta");
}

}  // namespace

// Recall first, played through: a word under review shows its word and
// phonetic, with a dotted line in the meaning's colour where the meaning
// will be, in a window already the meaning's size. Each way of asking shows
// it; the round waits for it and then gives it a full period.
class RecallFirstTest : public WordWindowTest {
protected:
    void SetUp() override
    {
        WordWindowTest::SetUp();
        writeDictionary({u"one|wʌn|第一个", u"two|tuː|第二个", u"r1|ɑː|复习一", u"r2|ɑː|复习二", u"r3|ɑː|复习三",
                         u"r4|ɑː|复习四", u"r5|ɑː|复习五", u"r6|ɑː|复习六", u"r7|ɑː|复习七", u"r8|ɑː|复习八"});
        WordWindowEvents events;
        events.answered = [this](const WordEntry& entry, bool good, bool beforeMeaning) {
            answers_.push_back({wide(wordOf(entry)), good, beforeMeaning});
        };
        theWordWindow.setEvents(std::move(events));
        theWordWindow.setRecallFirst(RecallFirst::review, 60);
        start(15);
        // Remembered, then brought back for review, the first of them next.
        std::vector<std::u16string> due;
        for (const WordEntry& entry : wordStore.entries(WordList::learning)) {
            if (entry.word[0] != u'r') continue;
            wordStore.setRemembered(entry, true);
            due.push_back(wordOf(entry));
        }
        ASSERT_EQ(wordStore.bringBack(due, true), 8u);
    }
    void TearDown() override
    {
        SetCursorPos(1000, 700);
        theWordWindow.setEvents({});
        theWordWindow.setRecallFirst(RecallFirst::review, 5);
        WordWindowTest::TearDown();
    }

    // The next word of the round, by the command.
    std::wstring showNext()
    {
        theWordWindow.runCommand(WordCommand::next);
        return shownWord();
    }

    // How many rows of the meaning's span hold its colour, as painted now:
    // the dots of the placeholder fill a row or two, a meaning many.
    int meaningRows()
    {
        RedrawWindow(wordWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const OneLine layout = oneLine(wordStore.currentEntry());
        HDC dc = GetDC(wordWindow);
        int rows = 0;
        for (int y = 0; y < layout.height; ++y) {
            bool any = false;
            for (int x = layout.contentX; x < layout.width && !any; ++x) any = GetPixel(dc, x, y) == kContentColor;
            if (any) ++rows;
        }
        ReleaseDC(wordWindow, dc);
        return rows;
    }

    void expectHidden(bool hidden)
    {
        EXPECT_EQ(theWordWindow.meaningHidden(), hidden);
        if (hidden) {
            EXPECT_GE(meaningRows(), 1) << "no placeholder";
            EXPECT_LE(meaningRows(), 3) << "the meaning shows";
        } else {
            EXPECT_GT(meaningRows(), 3) << "no meaning";
        }
    }

    // Serves the queue until a reference timer of `ms` fires, and tells
    // what `state` said then: timers come due in order, so this says which
    // came first, not how long either took.
    template <class State>
    static bool stateWhenTimerFires(UINT ms, State state)
    {
        static bool fired;
        fired = false;
        const UINT_PTR timer =
            SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR id, DWORD) { KillTimer(nullptr, id), fired = true; });
        EXPECT_NE(timer, 0u);
        EXPECT_TRUE(pumpUntil([] { return fired; }, ms + 60000));
        return state();
    }

    struct Answer {
        std::wstring word;
        bool good;
        bool beforeMeaning;
        bool operator==(const Answer&) const = default;
    };
    std::vector<Answer> answers_;
};

TEST_F(RecallFirstTest, TheMeaningShowsWhenAskedOrAfterItsWaitAndTheRoundWaitsForIt)
{
    // A word being learnt shows its meaning.
    expectShowing(u"two");
    expectHidden(false);

    // Under review: hidden, in a window of the meaning's size.
    EXPECT_EQ(showNext(), L"r1");
    expectShowing(u"r1");
    expectHidden(true);
    // 显示释义 in its menu, offered only while it is hidden.
    HMENU popup = theWordWindow.prepareWordMenu();
    EXPECT_NE(GetMenuState(popup, IDM_WORD_REVEAL, MF_BYCOMMAND), static_cast<UINT>(-1));
    theWordWindow.runWordCommand(owner_, IDM_WORD_REVEAL);
    expectHidden(false);
    popup = theWordWindow.prepareWordMenu();
    EXPECT_EQ(GetMenuState(popup, IDM_WORD_REVEAL, MF_BYCOMMAND), static_cast<UINT>(-1));
    theWordWindow.runWordCommand(owner_, 0);
    expectShowing(u"r1");

    // The pointer resting on the word; moving onto it is not yet resting.
    EXPECT_EQ(showNext(), L"r2");
    RECT r{};
    GetWindowRect(wordWindow, &r);
    SetCursorPos(r.left + 3, r.top + 3);
    SendMessageW(wordWindow, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(theWordWindow.meaningHidden());
    SendMessageW(wordWindow, WM_MOUSEHOVER, 0, MAKELPARAM(3, 3));
    expectHidden(false);
    SetCursorPos(1000, 700);
    SendMessageW(wordWindow, WM_MOUSELEAVE, 0, 0);

    // The hotkey's command.
    EXPECT_EQ(showNext(), L"r3");
    expectHidden(true);
    theWordWindow.runCommand(WordCommand::reveal);
    expectHidden(false);

    // A drag is no click; a click that moves nothing is.
    EXPECT_EQ(showNext(), L"r4");
    SetCursorPos(r.left + 3, r.top + 3);
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(theWordWindow.meaningHidden()) << "a drag showed the meaning";
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    expectHidden(false);
    SetCursorPos(1000, 700);

    // Answers before and after the meaning showed say so.
    EXPECT_EQ(showNext(), L"r5");
    theWordWindow.runCommand(WordCommand::remembered);
    EXPECT_EQ(shownWord(), L"r6");
    theWordWindow.runCommand(WordCommand::reveal);
    theWordWindow.runCommand(WordCommand::forgot);
    EXPECT_EQ(answers_, (std::vector<Answer>{{L"r5", true, true}, {L"r6", false, false}}));

    // By itself after RevealSeconds, not before; the round, switching every
    // two seconds, waits for it, then gives it a full period before moving
    // on.
    theWordWindow.setRecallFirst(RecallFirst::review, 3);
    Settings.autoSwitch = 1;
    Settings.switchSeconds = 2;
    theWordWindow.switchingChanged();
    const std::wstring waiting = shownWord();
    ASSERT_TRUE(theWordWindow.meaningHidden()) << waiting;
    EXPECT_TRUE(stateWhenTimerFires(2500, [&] { return theWordWindow.meaningHidden() && shownWord() == waiting; }))
        << "shown or moved on before the wait was over";
    ASSERT_TRUE(pumpUntil([] { return !theWordWindow.meaningHidden(); }, 30000));
    EXPECT_EQ(shownWord(), waiting);
    EXPECT_TRUE(stateWhenTimerFires(1400, [&] { return shownWord() == waiting; })) << "moved on before a full period";
    EXPECT_TRUE(pumpUntil([&] { return shownWord() != waiting; }, 30000));
    theWordWindow.setRecallFirst(RecallFirst::review, 60);
    Settings.autoSwitch = 0;
    theWordWindow.switchingChanged();

    // RecallFirst=off: a meaning hidden now shows, and the next one at once.
    EXPECT_EQ(shownWord(), L"r8");
    expectHidden(true);
    theWordWindow.setRecallFirst(RecallFirst::off, 60);
    expectHidden(false);
    theWordWindow.runCommand(WordCommand::previous);
    EXPECT_EQ(shownWord(), waiting);
    expectHidden(false);
}

// RecallFirst=all: a word being learnt shows its meaning the first time it
// comes in the round and hides it from its second showing on.
TEST_F(RecallFirstTest, AWordBeingLearntIsTestedFromItsSecondShowing)
{
    theWordWindow.setRecallFirst(RecallFirst::all, 60);
    // "two" was shown at the start; "one" not yet.
    theWordWindow.runCommand(WordCommand::previous);
    EXPECT_EQ(shownWord(), L"one");
    expectHidden(false);
    theWordWindow.runCommand(WordCommand::next);
    EXPECT_EQ(shownWord(), L"two");
    expectHidden(true);
    theWordWindow.runCommand(WordCommand::previous);
    EXPECT_EQ(shownWord(), L"one");
    expectHidden(true);
}
