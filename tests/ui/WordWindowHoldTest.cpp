// The word window keeping out of the way, in-process under Wine: the real
// window holds its word while the pointer rests on it, and steps aside for
// a full-screen window of another process (fullscreen_window.exe beside this
// test) and comes back with the same word.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "app/AppGlobals.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "store/Text.h"
#include "store/WordGet.h"
#include "ui/WordWindow.h"
#include "ui/WordWindowHold.h"

namespace {

namespace fs = std::filesystem;
using wordwindow::FullScreenFacts;

// Delivers what is queued until `done` holds or `ms` have passed; returns
// whether it holds.
template <class Done>
bool pumpUntil(Done done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(10);
    }
}

void pump(DWORD ms)
{
    pumpUntil([] { return false; }, ms);
}

std::wstring shownWord()
{
    const WordEntry entry = wordStore.currentEntry();
    return std::wstring(entry.word, entry.word + boundedLength(entry.word, kWordUnits));
}

RECT windowRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

bool sameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

constexpr wchar_t kPlainClass[] = L"MivoraHoldTestPlain";

// fullscreen_window.exe, running: a borderless window of another process
// covering the primary monitor (or only `size` of it), in front.
class FullScreenProgram {
public:
    explicit FullScreenProgram(const wchar_t* size = L"")
    {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"\"" + (fs::path(self).parent_path() / L"fullscreen_window.exe").wstring() + L"\" " + size;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        AllowSetForegroundWindow(ASFW_ANY);
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_))
            return;
        CloseHandle(process_.hThread);
        pumpUntil([this] { return (window_ = FindWindowW(L"MivoraTestFullScreen", nullptr)) != nullptr; }, 20000);
    }
    ~FullScreenProgram() { close(); }
    FullScreenProgram(const FullScreenProgram&) = delete;
    FullScreenProgram& operator=(const FullScreenProgram&) = delete;

    HWND window() const { return window_; }
    bool inFront() const { return window_ != nullptr && GetForegroundWindow() == window_; }
    // Closes the window and waits for the process to end. Meanwhile only
    // sent messages are served: no switch tick may run before the test
    // looks again.
    void close()
    {
        if (process_.hProcess == nullptr) return;
        if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
        const ULONGLONG end = GetTickCount64() + 20000;
        while (GetTickCount64() < end &&
               MsgWaitForMultipleObjects(1, &process_.hProcess, FALSE, 1000, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        CloseHandle(process_.hProcess);
        process_.hProcess = nullptr;
        window_ = nullptr;
    }

private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

class WordWindowHoldTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleW(nullptr);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = wordWindowProc;
        windowClass.hInstance = appInstance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = L"Mivora_Show";
        RegisterClassW(&windowClass);
        windowClass.lpfnWndProc = plainWindowProc;
        windowClass.lpszClassName = kPlainClass;
        RegisterClassW(&windowClass);
        wordMenu = LoadMenuW(appInstance, MAKEINTRESOURCEW(IDR_WORD_MENU));
    }

    void SetUp() override
    {
        static std::atomic<unsigned> serial{0};
        std::random_device random;
        root_ = fs::temp_directory_path() / ("mivora-hold-" + std::to_string(random()) + "-" + std::to_string(serial++));
        fs::create_directories(root_ / "dic");
        Settings = {};
        applyDefaultSettings(Settings, 1280);
        Settings.autoSwitch = 1;
        Settings.switchSeconds = 1;
        Settings.sampleBackground = 0;
        Settings.windowX = 200;
        Settings.windowY = 150;
        copyBounded(Settings.dictionaryName, u"words");
        std::u16string lines = u"one||1\r\ntwo||2\r\nthree||3\r\nfour||4\r\nfive||5\r\n";
        std::ofstream out(root_ / "dic" / "words.txt", std::ios::binary);
        for (char16_t unit : lines) {
            out.put(static_cast<char>(unit & 0xFF));
            out.put(static_cast<char>(unit >> 8));
        }
        out.close();
        wordStore.setDirectory(root_ / "dic");
        for (const WordEntry& entry : wordStore.entries(WordList::learning)) wordStore.setRemembered(entry, true);
        for (const WordEntry& entry : wordStore.entries(WordList::remembered)) wordStore.deleteRemembered(entry.word);
        owner_ = CreateWindowExW(0, kPlainClass, L"owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, appInstance,
                                 nullptr);
        SetCursorPos(1000, 700);  // away from the word window until a test moves it there
    }

    void TearDown() override
    {
        if (wordWindow != nullptr) DestroyWindow(wordWindow);
        wordWindow = nullptr;
        waitForWordLoads(10000);
        if (owner_ != nullptr) DestroyWindow(owner_);
        pump(0);
        wordStore.setDirectory({});
        std::error_code error;
        fs::remove_all(root_, error);
    }

    void start()
    {
        Settings.cycleSize = 15;
        wordStore.setCycleSize(15);
        wordWindow = createWordWindow(appInstance);
        ASSERT_NE(wordWindow, nullptr);
        waitForWordLoads(10000);
        pump(50);
    }

    // Puts the pointer on the word window and tells the window, as its
    // first WM_MOUSEMOVE would.
    void pointerOnWord()
    {
        const RECT r = windowRect(wordWindow);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(wordWindow, WM_MOUSEMOVE, 0, MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2));
    }

    void pointerOffWord()
    {
        SetCursorPos(1000, 700);
        SendMessageW(wordWindow, WM_MOUSELEAVE, 0, 0);
    }

    // Waits for the next automatic switch; false when none comes.
    bool switchesWithin(DWORD ms)
    {
        const std::wstring before = shownWord();
        return pumpUntil([&] { return shownWord() != before; }, ms);
    }

    fs::path root_;
    HWND owner_ = nullptr;
};

TEST_F(WordWindowHoldTest, ThePointerOnTheWordHoldsItAndLeavingGivesAFullPeriod)
{
    start();
    ASSERT_TRUE(switchesWithin(5000)) << "switching must run before it can be held";

    pointerOnWord();
    EXPECT_TRUE(wordwindow::pointerHolds());
    // The window asked to hear when the pointer rests and when it leaves.
    TRACKMOUSEEVENT query{};
    query.cbSize = sizeof query;
    query.dwFlags = TME_QUERY;
    ASSERT_TRUE(TrackMouseEvent(&query));
    EXPECT_EQ(query.hwndTrack, wordWindow);
    EXPECT_EQ(query.dwFlags & (TME_LEAVE | TME_HOVER), static_cast<DWORD>(TME_LEAVE | TME_HOVER));
    EXPECT_FALSE(switchesWithin(2500)) << "two periods passed under the pointer";

    // Held is not paused: the pause item carries no check mark. The menu
    // stops and restarts the timer as always; the pointer resting on the
    // word holds it again.
    HMENU popup = prepareWordMenu();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetMenuState(popup, IDM_WORD_PAUSE, MF_BYCOMMAND) & MF_CHECKED, 0u);
    runWordCommand(owner_, 0);
    EXPECT_EQ(Settings.autoSwitch, 1);
    SendMessageW(wordWindow, WM_MOUSEHOVER, 0, 0);
    EXPECT_FALSE(switchesWithin(2500));

    const std::wstring held = shownWord();
    pointerOffWord();
    EXPECT_FALSE(wordwindow::pointerHolds());
    const ULONGLONG left = GetTickCount64();
    ASSERT_TRUE(switchesWithin(5000)) << "no switch after the pointer left";
    // The next word a full period after leaving, not whatever was left of
    // the period the pointer interrupted.
    EXPECT_GE(GetTickCount64() - left, 900u);
    EXPECT_NE(shownWord(), held);
}

TEST_F(WordWindowHoldTest, PausingWhileHeldStaysPausedAfterTheLeave)
{
    start();
    pointerOnWord();
    prepareWordMenu();
    runWordCommand(owner_, IDM_WORD_PAUSE);
    EXPECT_EQ(Settings.autoSwitch, 0);
    pointerOffWord();
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE) << "the leave restarted a paused timer";
    // A leave the system still reports later changes nothing.
    SendMessageW(wordWindow, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE);
}

TEST_F(WordWindowHoldTest, DraggingAHeldWordStillMovesIt)
{
    start();
    const RECT before = windowRect(wordWindow);
    SetCursorPos(before.left + 5, before.top + 5);
    SendMessageW(wordWindow, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    SendMessageW(wordWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SetCursorPos(before.left + 45, before.top + 25);
    SendMessageW(wordWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    SendMessageW(wordWindow, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(windowRect(wordWindow).left, before.left + 40);
    EXPECT_EQ(Settings.windowY, before.top + 20);
    EXPECT_TRUE(wordwindow::pointerHolds());
}

TEST_F(WordWindowHoldTest, TitleBarModeIsNotHeld)
{
    Settings.titleBarMode = 1;
    start();
    SendMessageW(wordWindow, WM_MOUSEMOVE, 0, 0);
    EXPECT_FALSE(wordwindow::pointerHolds());
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), TRUE) << "title-bar mode lost its switching";
}

TEST_F(WordWindowHoldTest, AFullScreenProgramSendsTheWordAsideAndItComesBackUnchanged)
{
    start();
    const RECT place = windowRect(wordWindow);
    FullScreenProgram film;
    ASSERT_NE(film.window(), nullptr) << "fullscreen_window.exe did not start";
    // The next switch tick finds it in front.
    ASSERT_TRUE(pumpUntil([] { return !IsWindowVisible(wordWindow); }, 10000)) << "the word stayed over the film";
    EXPECT_TRUE(wordwindow::steppedAside());
    const std::wstring word = shownWord();
    EXPECT_FALSE(switchesWithin(2500)) << "the cycle advanced behind the film";
    EXPECT_FALSE(IsWindowVisible(wordWindow));

    film.close();
    ASSERT_TRUE(pumpUntil([] { return IsWindowVisible(wordWindow) != FALSE; }, 10000)) << "the word never came back";
    EXPECT_FALSE(wordwindow::steppedAside());
    EXPECT_EQ(shownWord(), word);
    EXPECT_TRUE(sameRect(windowRect(wordWindow), place));
    EXPECT_TRUE(switchesWithin(5000)) << "switching did not resume";
}

TEST_F(WordWindowHoldTest, TheShellsNoticeStepsAsideAtOnceEvenWhenPaused)
{
    Settings.autoSwitch = 0;
    start();
    // A window the size alone would not give away (a Direct3D program in a
    // mode of its own, say): the word stays until the shell says so, which
    // Windows does and Wine never.
    FullScreenProgram film(L"1280 760");
    ASSERT_TRUE(pumpUntil([&] { return film.inFront(); }, 10000));
    pump(300);
    EXPECT_TRUE(IsWindowVisible(wordWindow));
    SendMessageW(wordWindow, WM_APPBAR_NOTIFY, ABN_FULLSCREENAPP, TRUE);
    EXPECT_FALSE(IsWindowVisible(wordWindow));
    const std::wstring word = shownWord();
    // Other notices of the shell change nothing.
    SendMessageW(wordWindow, WM_APPBAR_NOTIFY, ABN_POSCHANGED, 0);
    EXPECT_FALSE(IsWindowVisible(wordWindow));

    // The switch timer watches for the film's end, paused or not.
    film.close();
    ASSERT_TRUE(pumpUntil([] { return IsWindowVisible(wordWindow) != FALSE; }, 10000));
    EXPECT_EQ(shownWord(), word);
    EXPECT_EQ(Settings.autoSwitch, 0);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE) << "coming back unpaused the word";

    // The shell's all-clear brings it back without waiting for a tick.
    FullScreenProgram again(L"1280 760");
    ASSERT_TRUE(pumpUntil([&] { return again.inFront(); }, 10000));
    SendMessageW(wordWindow, WM_APPBAR_NOTIFY, ABN_FULLSCREENAPP, TRUE);
    EXPECT_FALSE(IsWindowVisible(wordWindow));
    SendMessageW(wordWindow, WM_APPBAR_NOTIFY, ABN_FULLSCREENAPP, FALSE);
    EXPECT_TRUE(IsWindowVisible(wordWindow));
}

TEST_F(WordWindowHoldTest, OurOwnWindowsNeverCountAsFullScreen)
{
    start();
    FullScreenProgram film;
    ASSERT_TRUE(pumpUntil([] { return !IsWindowVisible(wordWindow); }, 10000));

    // One of our own windows (as the options sheet would be) covering the
    // monitor comes to the front over the film: the word comes back at once
    // and keeps switching.
    HWND sheet = CreateWindowExW(0, kPlainClass, L"sheet", WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                 GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, appInstance, nullptr);
    SetForegroundWindow(sheet);
    EXPECT_TRUE(pumpUntil([] { return IsWindowVisible(wordWindow) != FALSE; }, 3000));
    EXPECT_TRUE(switchesWithin(5000));
    EXPECT_TRUE(IsWindowVisible(wordWindow));
    DestroyWindow(sheet);
}

// The decision alone, for monitor layouts a test display does not have:
// A (1920 x 1080) with B (1280 x 1024) to its right.
class CoversWordMonitorTest : public ::testing::Test {
protected:
    static constexpr RECT kA{0, 0, 1920, 1080};
    static constexpr RECT kB{1920, 0, 3200, 1024};

    static FullScreenFacts film(const RECT& monitor)
    {
        FullScreenFacts facts;
        facts.foreground = facts.shown = true;
        facts.client = facts.foregroundMonitor = facts.wordMonitor = monitor;
        return facts;
    }
};

TEST_F(CoversWordMonitorTest, AWindowCoveringTheWordsMonitorCounts)
{
    EXPECT_TRUE(wordwindow::coversWordMonitor(film(kA)));
    FullScreenFacts larger = film(kB);
    larger.client = RECT{1900, -20, 3220, 1044};
    EXPECT_TRUE(wordwindow::coversWordMonitor(larger));
}

TEST_F(CoversWordMonitorTest, AFullScreenProgramOnTheOtherMonitorLeavesTheWordAlone)
{
    FullScreenFacts facts = film(kA);
    facts.wordMonitor = kB;
    EXPECT_FALSE(wordwindow::coversWordMonitor(facts));
    facts.shellBusy = facts.shellReported = true;
    EXPECT_FALSE(wordwindow::coversWordMonitor(facts));
}

TEST_F(CoversWordMonitorTest, NearlyCoveringOrMaximisedWithACaptionDoesNotCount)
{
    FullScreenFacts facts = film(kA);
    facts.client.right -= 1;
    EXPECT_FALSE(wordwindow::coversWordMonitor(facts));
    facts.client = RECT{0, 23, 1920, 1080};  // the caption's strip is outside the client area
    EXPECT_FALSE(wordwindow::coversWordMonitor(facts));
    // ... unless the shell says the user is busy with it (Direct3D, a show).
    facts.shellBusy = true;
    EXPECT_TRUE(wordwindow::coversWordMonitor(facts));
    facts.shellBusy = false;
    facts.shellReported = true;
    EXPECT_TRUE(wordwindow::coversWordMonitor(facts));
}

TEST_F(CoversWordMonitorTest, OursTheDesktopHiddenOrMinimisedNeverCount)
{
    for (int which = 0; which < 4; ++which) {
        FullScreenFacts facts = film(kA);
        facts.shellBusy = true;
        if (which == 0) facts.ownProcess = true;
        if (which == 1) facts.desktop = true;
        if (which == 2) facts.shown = false;
        if (which == 3) facts.foreground = false;
        EXPECT_FALSE(wordwindow::coversWordMonitor(facts)) << "case " << which;
    }
    FullScreenFacts noMonitor = film(kA);
    noMonitor.wordMonitor = noMonitor.foregroundMonitor = RECT{};
    EXPECT_FALSE(wordwindow::coversWordMonitor(noMonitor));
}

}  // namespace
