// The real word window keeping out of the way under Wine: holding its word
// under the pointer, and stepping aside for a full-screen window of another
// process (fullscreen_window.exe, built beside this test).
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "WordWindowFixture.h"
#include "res/resource.h"
#include "ui/word/WordWindowHold.h"
#include "win/Messages.h"

namespace {

using namespace uitest;

// Waits for the next automatic switch; false when none comes within `ms`.
bool switchesWithin(DWORD ms)
{
    const std::wstring before = shownWord();
    return pumpUntil([&] { return shownWord() != before; }, ms);
}

bool wordShown()
{
    return IsWindowVisible(wordWindow) != FALSE;
}

// fullscreen_window.exe running, its window in front; closed on scope exit.
class Film {
public:
    explicit Film(const wchar_t* size = L"")
    {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = (fs::path(self).parent_path() / L"fullscreen_window.exe").wstring() + L" " + size;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        AllowSetForegroundWindow(ASFW_ANY);
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
            return;
        CloseHandle(process_.hThread);
        inFront_ = pumpUntil(
            [] {
                HWND window = FindWindowW(L"MivoraTestFullScreen", nullptr);
                return window != nullptr && GetForegroundWindow() == window;
            },
            20000);
    }
    bool inFront() const { return inFront_; }
    ~Film() { close(); }
    // Ends it, serving only sent messages meanwhile, so no switch tick runs
    // before the test looks again.
    void close()
    {
        if (process_.hProcess == nullptr) return;
        PostMessageW(FindWindowW(L"MivoraTestFullScreen", nullptr), WM_CLOSE, 0, 0);
        while (MsgWaitForMultipleObjects(1, &process_.hProcess, FALSE, 20000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        CloseHandle(process_.hProcess);
        process_.hProcess = nullptr;
    }

private:
    PROCESS_INFORMATION process_{};
    bool inFront_ = false;
};

class WordWindowHoldTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registerWordWindowClass();
        registerPlainClass();
        root_ = makeScratchFolder("mivora-hold");
        writeDictionary(root_ / "dic" / "words.txt", {u"one||1", u"two||2", u"three||3", u"four||4"});
    }
    static void TearDownTestSuite()
    {
        removeScratchFolder(root_);  // nothing is saved there at exit
    }

    // The word window on a fresh load of four words, switching every second.
    void start(int autoSwitch = 1, int titleBarMode = 0)
    {
        SetCursorPos(1000, 700);
        resetSettings();
        Settings.autoSwitch = autoSwitch;
        Settings.titleBarMode = titleBarMode;
        Settings.switchSeconds = 1;
        Settings.windowX = 200;
        Settings.windowY = 150;
        std::error_code error;
        fs::remove(root_ / "dic" / "DAvud.bin", error);  // every test starts from the dictionary
        emptyWordStore();
        wordStore.setDirectory(root_ / "dic");
        wordStore.setCycleSize(Settings.cycleSize);
        startWordWindow();
    }
    void TearDown() override { closeWordWindow(); }

    // The pointer onto the middle of the word, with the move that tells it.
    void pointerOnWord()
    {
        RECT r{};
        GetWindowRect(wordWindow, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(wordWindow, WM_MOUSEMOVE, 0, MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2));
    }
    void pointerOffWord()
    {
        SetCursorPos(1000, 700);
        SendMessageW(wordWindow, WM_MOUSELEAVE, 0, 0);
    }
    void pointerRests()
    {
        pointerOnWord();
        SendMessageW(wordWindow, WM_MOUSEHOVER, 0, 0);
    }

    // Events that write what they are told into `told`: each word shown,
    // "aside" and "back".
    static WordWindowEvents recordingEvents(std::vector<std::wstring>& told)
    {
        WordWindowEvents events;
        events.wordShown = [&told](const WordEntry& entry) { told.push_back(wide(wordOf(entry))); };
        events.asideChanged = [&told](bool aside) { told.push_back(aside ? L"aside" : L"back"); };
        return events;
    }

    // Like start(), but the load's notice is left unserved: the lists are
    // in place and the window still shows the loading line.
    void createUnloaded(int autoSwitch)
    {
        SetCursorPos(1000, 700);
        resetSettings();
        Settings.autoSwitch = autoSwitch;
        Settings.switchSeconds = 1;
        Settings.windowX = 200;
        Settings.windowY = 150;
        std::error_code error;
        fs::remove(root_ / "dic" / "DAvud.bin", error);
        emptyWordStore();
        wordStore.setDirectory(root_ / "dic");
        wordStore.setCycleSize(Settings.cycleSize);
        ASSERT_TRUE(theWordWindow.create(appInstance));
        wordWindow = theWordWindow.handle();
        ASSERT_TRUE(theWordWindow.waitForWordLoad(20000));
        ASSERT_TRUE(theWordWindow.loading());
    }

    static inline fs::path root_;
};

TEST_F(WordWindowHoldTest, ThePointerHoldsTheWordAndLeavingGivesAFullPeriod)
{
    start();
    ASSERT_TRUE(switchesWithin(30000)) << "switching must run before it can be held";
    pointerOnWord();
    TRACKMOUSEEVENT asked{};
    asked.cbSize = sizeof asked;
    asked.dwFlags = TME_QUERY;
    ASSERT_TRUE(TrackMouseEvent(&asked));
    EXPECT_EQ(asked.hwndTrack, wordWindow);
    EXPECT_EQ(asked.dwFlags & (TME_LEAVE | TME_HOVER), static_cast<DWORD>(TME_LEAVE | TME_HOVER));
    EXPECT_FALSE(switchesWithin(2500)) << "switched under the pointer";

    // Held is not paused; the menu stops and restarts the timer as ever, and
    // the pointer resting on the word holds it again.
    EXPECT_EQ(GetMenuState(theWordWindow.prepareWordMenu(), IDM_WORD_PAUSE, MF_BYCOMMAND) & MF_CHECKED, 0u);
    theWordWindow.runWordCommand(wordWindow, 0);
    SendMessageW(wordWindow, WM_MOUSEHOVER, 0, 0);
    EXPECT_FALSE(switchesWithin(2500)) << "switched under the resting pointer after the menu";
    // The real menu, dismissed: the pointer is still on the word.
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        EndMenu();
    });
    SendMessageW(wordWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(wordWindow), -1);
    EXPECT_FALSE(switchesWithin(2500)) << "switched under the pointer after the context menu";

    pointerOffWord();
    EXPECT_FALSE(wordChangesBefore(500)) << "the next word came before a full period";
    ASSERT_TRUE(switchesWithin(30000)) << "no switch after the pointer left";

    // Paused while held, it stays paused when the pointer leaves.
    pointerOnWord();
    theWordWindow.prepareWordMenu();
    theWordWindow.runWordCommand(wordWindow, IDM_WORD_PAUSE);
    pointerOffWord();
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE);
}

TEST_F(WordWindowHoldTest, TitleBarModeIsNotHeld)
{
    start(1, 1);
    // The hidden window at the pointer: in this mode the word is in another
    // window's title, and nothing rests on it here.
    pointerOnWord();
    SendMessageW(wordWindow, WM_MOUSEHOVER, 0, 0);
    EXPECT_TRUE(switchesWithin(30000)) << "the title stopped changing under a pointer";
}

// The pointer rests where the word window appears as the load ends (a
// still pointer is reported as a move when the window appears or grows
// under it): the load's advance shows the list's second word all the same,
// switching on or off.
TEST_F(WordWindowHoldTest, TheLoadsAdvanceHappensUnderARestingPointer)
{
    for (int autoSwitch : {0, 1}) {
        SCOPED_TRACE(autoSwitch);
        createUnloaded(autoSwitch);
        pointerOnWord();
        SendMessageW(wordWindow, WM_MOUSEHOVER, 0, 0);
        ASSERT_TRUE(pumpUntil([] { return !theWordWindow.loading(); }, 20000));
        EXPECT_EQ(shownWord(), L"two");
        EXPECT_TRUE(wordShown());
        EXPECT_EQ(Settings.windowWidth, oneLine(wordStore.currentEntry()).width) << "not laid out for the word";
        closeWordWindow();
    }
}

// A full-screen program in front as the load ends: the store steps behind
// it, and the window shows that word (the second) when it comes back;
// nobody is told of a word while the window is aside.
TEST_F(WordWindowHoldTest, TheLoadsAdvanceHappensBehindAFullScreenProgram)
{
    std::vector<std::wstring> told;
    theWordWindow.setEvents(recordingEvents(told));
    Film film;
    ASSERT_TRUE(film.inFront());
    createUnloaded(0);
    ASSERT_TRUE(pumpUntil([] { return !theWordWindow.loading(); }, 20000));
    EXPECT_FALSE(wordShown()) << "the first word came over the film";
    EXPECT_EQ(shownWord(), L"two");
    film.close();
    ASSERT_TRUE(pumpUntil(wordShown, 10000)) << "the word never came back";
    EXPECT_EQ(shownWord(), L"two");
    EXPECT_EQ(Settings.windowWidth, oneLine(wordStore.currentEntry()).width);
    EXPECT_EQ(told, (std::vector<std::wstring>{L"aside", L"back", L"two"}));
    theWordWindow.setEvents({});
}

// Every reason the timer's tick waits for, against every command: a command
// the user gives always acts, and the window shows its result (at once, or
// when it shows again).
TEST_F(WordWindowHoldTest, CommandsActWhateverMakesTheTickWait)
{
    struct Reason {
        const char* name;
        int autoSwitch;
        bool film;
        std::function<void()> begin;
        std::function<void()> end;
    };
    const auto rests = [this] { pointerRests(); };
    const auto leaves = [this] { pointerOffWord(); };
    const auto nothing = [] {};
    const Reason reasons[] = {
        {"the pointer rests on the word", 1, false, rests, leaves},
        {"paused, the pointer on the word", 0, false, rests, leaves},
        {"hidden on request", 1, false, [] { theWordWindow.setHiddenByUser(true); },
         [] { theWordWindow.setHiddenByUser(false); }},
        {"a full-screen program in front", 1, true, nothing, nothing},
    };
    for (const Reason& reason : reasons) {
        SCOPED_TRACE(reason.name);
        start(reason.autoSwitch);
        ASSERT_EQ(shownWord(), L"two");
        std::optional<Film> film;
        if (reason.film) {
            film.emplace();
            ASSERT_TRUE(film->inFront());
            ASSERT_TRUE(pumpUntil([] { return !wordShown(); }, 10000)) << "the word stayed over the film";
        }
        reason.begin();
        theWordWindow.runCommand(WordCommand::next);
        EXPECT_EQ(shownWord(), L"three");
        theWordWindow.runCommand(WordCommand::previous);
        EXPECT_EQ(shownWord(), L"two");
        theWordWindow.runCommand(WordCommand::remembered);
        EXPECT_EQ(shownWord(), L"three");
        const auto remembered = wordStore.entries(WordList::remembered);
        ASSERT_EQ(remembered.size(), 1u);
        EXPECT_EQ(wide(wordOf(remembered[0])), L"two");
        // Seen on the screen: laid out for the word, now or once back.
        if (film) film->close();
        reason.end();
        ASSERT_TRUE(pumpUntil(wordShown, 10000));
        EXPECT_EQ(shownWord(), L"three");
        EXPECT_EQ(Settings.windowWidth, oneLine(wordStore.currentEntry()).width);
        closeWordWindow();
    }
}

// Hidden on the user's request: the round waits (no switch, no word told),
// it is no stepping aside, and the window comes back as it was.
TEST_F(WordWindowHoldTest, HiddenOnRequestTheRoundWaits)
{
    std::vector<std::wstring> told;
    theWordWindow.setEvents(recordingEvents(told));
    start(1);
    told.clear();
    theWordWindow.setHiddenByUser(true);
    EXPECT_FALSE(wordShown());
    EXPECT_FALSE(switchesWithin(2500)) << "the round went on while hidden";
    theWordWindow.setHiddenByUser(false);
    EXPECT_TRUE(wordShown());
    EXPECT_EQ(shownWord(), L"two");
    EXPECT_TRUE(told.empty());
    ASSERT_TRUE(switchesWithin(30000)) << "switching did not resume";
    EXPECT_EQ(told, std::vector<std::wstring>{shownWord()});
    theWordWindow.setEvents({});
}

// The menu as Windows opens it (WM_CONTEXTMENU) over a resting pointer, and
// 下一个 picked from it with the keyboard.
TEST_F(WordWindowHoldTest, NextFromTheMenuUnderARestingPointerStepsOn)
{
    start(1);
    pointerRests();
    static bool menuSeen;
    menuSeen = false;
    static HWND target;
    target = wordWindow;
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        HWND menu = FindWindowW(L"#32768", nullptr);
        menuSeen = menu != nullptr && IsWindowVisible(menu);
        // 已记住, 太简单, 上一个, 下一个 (the separators are skipped), then
        // Enter.
        for (WPARAM key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) {
            PostMessageW(target, WM_KEYDOWN, key, 1);
            PostMessageW(target, WM_KEYUP, key, 0xC0000001);
        }
    });
    SendMessageW(wordWindow, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(wordWindow), -1);
    EXPECT_TRUE(menuSeen) << "the menu did not open";
    EXPECT_EQ(shownWord(), L"three");
    EXPECT_TRUE(wordStore.entries(WordList::remembered).empty());
    // Still under the pointer: no switch follows.
    EXPECT_FALSE(switchesWithin(2500)) << "switched under the pointer after the menu";
}

TEST_F(WordWindowHoldTest, AFullScreenProgramSendsTheWordAsideUntilItEnds)
{
    start();
    RECT place{}, back{};
    GetWindowRect(wordWindow, &place);
    Film film;
    ASSERT_TRUE(film.inFront());
    ASSERT_TRUE(pumpUntil([] { return !wordShown(); }, 10000)) << "the word stayed over the film";
    const std::wstring word = shownWord();
    EXPECT_FALSE(switchesWithin(2500)) << "the cycle advanced behind the film";
    film.close();
    ASSERT_TRUE(pumpUntil(wordShown, 10000)) << "the word never came back";
    EXPECT_EQ(shownWord(), word);
    GetWindowRect(wordWindow, &back);
    EXPECT_TRUE(EqualRect(&back, &place));
    EXPECT_TRUE(switchesWithin(5000)) << "switching did not resume";
}

TEST_F(WordWindowHoldTest, TheShellsNoticeCountsEvenWhenPaused)
{
    start(0);
    // A window the size alone does not give away (Direct3D in a mode of its
    // own): only the shell's notice, which Wine never sends, makes it count.
    Film film(L"1280 760");
    ASSERT_TRUE(film.inFront());
    EXPECT_FALSE(pumpUntil([] { return !wordShown(); }, 1500)) << "stepped aside with no reason";
    SendMessageW(wordWindow, WM_APPBAR_NOTIFY, ABN_FULLSCREENAPP, TRUE);
    EXPECT_FALSE(wordShown());
    SendMessageW(wordWindow, WM_APPBAR_NOTIFY, ABN_FULLSCREENAPP, FALSE);
    EXPECT_TRUE(wordShown());
    SendMessageW(wordWindow, WM_APPBAR_NOTIFY, ABN_FULLSCREENAPP, TRUE);
    const std::wstring word = shownWord();
    film.close();  // no all-clear: the switch timer watches, paused or not
    ASSERT_TRUE(pumpUntil(wordShown, 10000));
    EXPECT_EQ(shownWord(), word);
    EXPECT_EQ(KillTimer(wordWindow, TIMER_SWITCH), FALSE) << "coming back unpaused the word";
}

TEST_F(WordWindowHoldTest, OurOwnWindowsNeverCountAsFullScreen)
{
    start();
    Film film;
    ASSERT_TRUE(film.inFront());
    ASSERT_TRUE(pumpUntil([] { return !wordShown(); }, 10000));
    // Ours (as the options sheet would be) covering the monitor, in front.
    HWND sheet = CreateWindowExW(0, kPlainClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                 GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, appInstance, nullptr);
    SetForegroundWindow(sheet);
    EXPECT_TRUE(pumpUntil(wordShown, 3000));
    EXPECT_TRUE(switchesWithin(5000));
    EXPECT_TRUE(wordShown());
    DestroyWindow(sheet);
}

// The decision alone, for a layout the test display lacks: monitor A with B
// to its right.
TEST(CoversWordMonitor, OnlyTheWordsMonitorCoveredByAnotherProgramCounts)
{
    const RECT a{0, 0, 1920, 1080}, b{1920, 0, 3200, 1024};
    wordwindow::FullScreenFacts film;
    film.foreground = film.shown = true;
    film.client = film.foregroundMonitor = film.wordMonitor = a;
    EXPECT_TRUE(wordwindow::coversWordMonitor(film));
    auto with = [&](auto change) {
        wordwindow::FullScreenFacts facts = film;
        change(facts);
        return wordwindow::coversWordMonitor(facts);
    };
    EXPECT_FALSE(with([&](auto& f) { f.wordMonitor = b; }));  // the word is on the other monitor
    EXPECT_FALSE(with([&](auto& f) { f.wordMonitor = b, f.shellBusy = f.shellReported = true; }));
    EXPECT_FALSE(with([](auto& f) { f.client.top = 23; }));                     // maximised with a caption
    EXPECT_TRUE(with([](auto& f) { f.client.top = 23, f.shellBusy = true; }));  // ... in Direct3D or a show
    EXPECT_TRUE(with([](auto& f) { f.client.top = 23, f.shellReported = true; }));
    EXPECT_FALSE(with([](auto& f) { f.ownProcess = true; }));
    EXPECT_FALSE(with([](auto& f) { f.desktop = true; }));
    EXPECT_FALSE(with([](auto& f) { f.shown = false; }));  // minimised
}

}  // namespace
