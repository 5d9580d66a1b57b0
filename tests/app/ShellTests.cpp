// The application shell in-process: the real owner window, word window and
// tray icon under Wine, driven with the messages the notification area and
// the session manager send.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/App.h"
#include "app/FileNotices.h"
#include "app/Instance.h"
#include "res/resource.h"
#include "settings/IniFile.h"
#include "settings/ReviewSettings.h"
#include "settings/Settings.h"
#include "settings/SpeechSettings.h"
#include "store/WordGet.h"
#include "store/text/Text.h"
#include "win/Messages.h"
#include "win/Timers.h"

namespace fs = std::filesystem;

// The parts of the application object, as the tests drive them.
struct AppTestAccess {
    App& app;
    SettingsRecord& Settings = app.Settings;
    const FilePlace& place = app.place;
    const int& maximizedWidth = app.maximizedWidth;
    const int& maximizedHeight = app.maximizedHeight;
    WordGet& wordStore = app.wordStore;
    Worker& dictionaryLoad = app.dictionaryLoad;
    Tray& tray = app.tray;
    WordWindow& wordWindow = app.wordWindow;
    OptionsSheet& sheet = app.sheet;
    SpeechSettings& speechSettings = app.speechSettings;
    Speech& speech = app.speech;
    HotkeySettings& hotkeySettings = app.hotkeySettings;
    Hotkeys& hotkeys = app.hotkeys;

    bool start() { return app.start(); }
    HWND ownerWindow() const { return app.ownerWindow(); }
    void finishWordStore(DWORD waitMs = kWorkerWaitMs) { app.finishWordStore(waitMs); }
    bool saveSettings() { return app.saveSettings(); }
    bool progressSaveRunning() const { return app.progressSaveRunning(); }
    void runTrayCommand(UINT command) { app.runTrayCommand(command); }
    void retryTrayIcon(DWORD now) { app.retryTrayIcon(now); }
};

namespace {

// The application object of the running test; every test makes its own.
std::unique_ptr<App> currentApp;

AppTestAccess app()
{
    return AppTestAccess{*currentApp};
}

fs::path exeDirectory()
{
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return fs::path(buffer).parent_path();
}

fs::path settingsFile()
{
    return exeDirectory() / L"mivora.bin";
}
fs::path dicDirectory()
{
    return exeDirectory() / L"dic";
}
fs::path progressFile()
{
    return dicDirectory() / L"DAvud.bin";
}
fs::path iniFile()
{
    return exeDirectory() / L"mivora.ini";
}
// The user's own folder of the tests' application objects, so that no
// folder of the prefix's user is read or written.
fs::path userFolder()
{
    return exeDirectory() / L"user-folder" / L"Mivora";
}

// A string value of the registry; nothing when it is absent.
std::optional<std::wstring> registryText(HKEY root, const wchar_t* path, const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buffer);
}

// Sets a string value of the registry, or removes it for nothing.
void setRegistryText(HKEY root, const wchar_t* path, const wchar_t* name, const std::optional<std::wstring>& text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return;
    if (text)
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                       static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, name);
    RegCloseKey(key);
}

std::optional<std::wstring> runValue()
{
    return registryText(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName);
}

void restoreRunValue(const std::optional<std::wstring>& value)
{
    setRegistryText(HKEY_CURRENT_USER, kRunKeyPath, kRunValueName, value);
}

std::vector<char> readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::int32_t settingsFileInt(std::size_t offset)
{
    std::vector<char> bytes = readFile(settingsFile());
    if (bytes.size() < offset + 4) return INT_MIN;
    std::int32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

constexpr std::size_t kWindowXOffset = 24;

// Three words in the default dictionary's place, UTF-16LE as shipped.
void writeDictionary()
{
    fs::create_directories(dicDirectory());
    const std::u16string text = u"apple|ˈæpl|n. 苹果\r\nbook|bʊk|n. 书\r\ncat|kæt|n. 猫\r\n";
    std::ofstream out(dicDirectory() / L"英语四级词汇.txt", std::ios::binary);
    out.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * 2));
}

std::size_t storedWords()
{
    return app().wordStore.entries(WordList::learning).size() + app().wordStore.entries(WordList::remembered).size();
}

// The first load of a dictionary marks the store changed; a later test in
// the same process may find it saved already, so it is changed once more.
void makeStoreDirty()
{
    if (app().wordStore.dirty()) return;
    const std::vector<WordEntry> learning = app().wordStore.entries(WordList::learning);
    ASSERT_FALSE(learning.empty());
    app().wordStore.setRemembered(learning.front(), true);
    ASSERT_TRUE(app().wordStore.dirty());
}

void removeProgramFiles()
{
    std::error_code error;
    fs::remove(settingsFile(), error);
    fs::remove(iniFile(), error);
    fs::remove_all(dicDirectory(), error);
    fs::remove_all(userFolder().parent_path(), error);
    RegDeleteKeyW(HKEY_CURRENT_USER, kNoticeKeyPath);
}

// What the window code posted or sent during the test, handled the way the
// message loop would, except that WM_QUIT is taken out and reported.
bool drainMessages()
{
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return quit;
}

// Handles messages until `done` holds or 30 s have passed.
template <typename Condition>
bool pumpUntil(Condition done)
{
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        drainMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

// Makes the test's application object and starts it as the entry point
// does, with `notifyIcon` in place of the shell's icon call; then lets the
// start-up load end and its notice be served.
HWND startApp(NotifyIconFunction notifyIcon = nullptr)
{
    currentApp = std::make_unique<App>(GetModuleHandleW(nullptr), userFolder());
    app().tray.setNotifyIconFunction(notifyIcon);
    if (!app().start()) return nullptr;
    pumpUntil([] { return !app().wordWindow.loading(); });
    drainMessages();
    return app().ownerWindow();
}

// Ends the test's application object as the entry point does at exit.
void endApp()
{
    if (!currentApp) return;
    app().Settings.autoStart = 0;
    currentApp.reset();
    drainMessages();
}

class ShellEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        savedRunValue_ = runValue();
        ASSERT_TRUE(App::registerWindowClasses(GetModuleHandleW(nullptr)));
    }
    void TearDown() override
    {
        removeProgramFiles();
        restoreRunValue(savedRunValue_);
    }

private:
    std::optional<std::wstring> savedRunValue_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new ShellEnvironment);

TEST(TrayTip, ShowsRememberedLearningLastAndStartInThatOrder)
{
    ProgressHeader header{};
    header.learningCount = 4139;
    header.rememberedCount = 12;
    header.startDate = 20240101;
    header.lastDate = 20240315;
    wchar_t tip[kTrayTipUnits];
    formatTrayTip(header, tip);
    EXPECT_STREQ(tip, L"记住数量: 12\r\n学习数量: 4139\r\n上次时间: 20240315\r\n开始时间: 20240101");
}

TEST(TrayTip, LongestNumbersFitTheTipField)
{
    ProgressHeader header{};
    header.learningCount = INT_MIN;
    header.rememberedCount = INT_MIN;
    header.startDate = -1;
    header.lastDate = INT_MAX;
    wchar_t tip[kTrayTipUnits];
    std::wmemset(tip, L'#', kTrayTipUnits);
    formatTrayTip(header, tip);
    EXPECT_STREQ(tip, L"记住数量: -2147483648\r\n学习数量: -2147483648\r\n上次时间: 2147483647\r\n开始时间: -1");
    header.startDate = INT_MIN;
    header.lastDate = INT_MIN;
    formatTrayTip(header, tip);
    EXPECT_EQ(std::wcslen(tip), 74u);
    EXPECT_EQ(tip[kTrayTipUnits - 1], L'#');  // nothing written past the text
}

class OwnerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        removeProgramFiles();
        writeDictionary();
        owner_ = startApp();
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override
    {
        endApp();
        removeProgramFiles();
    }

    HWND owner_ = nullptr;
};

TEST_F(OwnerWindowTest, CreationSetsUpHiddenOwnerWordWindowMenusAndIcon)
{
    EXPECT_EQ(app().ownerWindow(), owner_);
    EXPECT_FALSE(IsWindowVisible(owner_));
    // Not topmost: the sheet and every box it owns would be as well.
    const LONG_PTR exStyle = GetWindowLongPtrW(owner_, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST), WS_EX_LAYERED | WS_EX_TOOLWINDOW);
    EXPECT_NE(GetWindowLongPtrW(app().wordWindow.handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    wchar_t className[32] = {};
    GetClassNameW(app().wordWindow.handle(), className, 32);
    EXPECT_STREQ(className, L"Mivora_Show");

    EXPECT_EQ(app().maximizedWidth, GetSystemMetrics(SM_CXMAXIMIZED));
    EXPECT_EQ(app().maximizedHeight, GetSystemMetrics(SM_CYMAXIMIZED));
    EXPECT_NE(app().tray.icon(), nullptr);
    HMENU trayPopup = app().tray.popup();
    ASSERT_TRUE(IsMenu(trayPopup));
    HMENU wordPopup = app().wordWindow.prepareWordMenu();
    ASSERT_TRUE(IsMenu(wordPopup));
    EXPECT_EQ(GetMenuState(trayPopup, IDM_TRAY_EXIT, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_NE(GetMenuState(wordPopup, IDM_WORD_PAUSE, MF_BYCOMMAND), UINT(-1));

    // loadSettings created the file; the store knows where the words live
    // and the load thread found them there.
    EXPECT_EQ(fs::file_size(settingsFile()), 284u);
    EXPECT_EQ(storedWords(), 3u);
    EXPECT_TRUE(fs::exists(progressFile()));

    // The icon is in the notification area: the shell accepts a tooltip for it.
    EXPECT_TRUE(app().tray.refreshTip(app().wordStore.header()));
    EXPECT_TRUE(KillTimer(owner_, TIMER_SAVE_PROGRESS));
}

TEST_F(OwnerWindowTest, OnlyButtonReleasesAndMovesAreHandled)
{
    EXPECT_EQ(SendMessageW(owner_, WM_TRAYICON, kTrayIconId, WM_MOUSEMOVE), 0);
    const LPARAM others[] = {WM_LBUTTONDOWN,   WM_RBUTTONDOWN,   WM_MBUTTONDOWN, WM_MBUTTONUP,
                             WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_CONTEXTMENU, WM_USER};
    for (LPARAM ignored : others) EXPECT_EQ(SendMessageW(owner_, WM_TRAYICON, kTrayIconId, ignored), 1) << ignored;
}

std::u16string currentWord()
{
    const WordEntry entry = app().wordStore.currentEntry();
    return std::u16string(entry.word, boundedLength(entry.word, kWordUnits));
}

// WM_HOTKEY as Windows posts it for the hotkey of `command`.
void pressHotkey(HotkeyCommand command)
{
    PostMessageW(app().ownerWindow(), WM_HOTKEY, Hotkeys::kFirstId + static_cast<int>(command), 0);
    drainMessages();
}

TEST_F(OwnerWindowTest, HotkeysRunTheWordCommandsAndHideTheWordForAMoment)
{
    // The defaults, and hide-and-show on a key no other test program holds.
    HotkeySettings settings = defaultHotkeys();
    settings[HotkeyCommand::showHide] = {kHotkeyCtrl | kHotkeyAlt | kHotkeyShift, VK_F11};
    app().hotkeySettings = settings;
    app().hotkeys.setSettings(settings);
    ASSERT_FALSE(app().hotkeys.heldElsewhere(HotkeyCommand::showHide));
    app().Settings.autoSwitch = 1;

    const std::u16string first = currentWord();
    pressHotkey(HotkeyCommand::next);
    const std::u16string second = currentWord();
    EXPECT_NE(second, first);
    pressHotkey(HotkeyCommand::previous);
    EXPECT_EQ(currentWord(), first);
    pressHotkey(HotkeyCommand::next);
    pressHotkey(HotkeyCommand::remembered);
    const std::vector<WordEntry> remembered = app().wordStore.entries(WordList::remembered);
    ASSERT_EQ(remembered.size(), 1u);
    EXPECT_EQ(std::u16string(remembered[0].word, boundedLength(remembered[0].word, kWordUnits)), second);
    EXPECT_NE(currentWord(), second);

    pressHotkey(HotkeyCommand::pause);
    EXPECT_EQ(app().Settings.autoSwitch, 0);
    pressHotkey(HotkeyCommand::pause);
    EXPECT_EQ(app().Settings.autoSwitch, 1);

    pressHotkey(HotkeyCommand::showHide);
    EXPECT_TRUE(app().wordWindow.hiddenByUser());
    pressHotkey(HotkeyCommand::showHide);
    EXPECT_FALSE(app().wordWindow.hiddenByUser());

    // An id that is not a registered hotkey of ours does nothing.
    const std::u16string now = currentWord();
    PostMessageW(app().ownerWindow(), WM_HOTKEY, Hotkeys::kFirstId + static_cast<int>(HotkeyCommand::options) + 5, 0);
    drainMessages();
    EXPECT_EQ(currentWord(), now);
}

// What a timer saw while the tray menu was open, before it closed the menu.
struct OpenMenuProbe {
    int ticks = 0;
    UINT captureState = UINT(-1);
};
OpenMenuProbe menuProbe;

void CALLBACK closeOpenMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    ++menuProbe.ticks;
    menuProbe.captureState = GetMenuState(app().tray.popup(), IDM_TRAY_CAPTURE, MF_BYCOMMAND);
    EndMenu();
    if (menuProbe.ticks >= 20) KillTimer(nullptr, timer);
}

TEST_F(OwnerWindowTest, RightClickShowsTheMenuAndPostsAnEmptyMessageAfterIt)
{
    for (std::int32_t mode : {0, 1}) {
        app().Settings.titleBarMode = mode;
        menuProbe = {};
        drainMessages();
        const UINT_PTR timer = SetTimer(nullptr, 0, 300, closeOpenMenu);
        ASSERT_NE(timer, 0u);
        EXPECT_EQ(SendMessageW(owner_, WM_TRAYICON, kTrayIconId, WM_RBUTTONUP), 0);
        KillTimer(nullptr, timer);
        // The menu was open (its loop ran the timer) and dismissed: nothing
        // else happened, and the empty message follows the menu.
        ASSERT_GE(menuProbe.ticks, 1) << "mode " << mode;
        EXPECT_EQ((menuProbe.captureState & MF_GRAYED) != 0, mode == 0);
        EXPECT_TRUE(IsWindow(owner_));
        EXPECT_EQ(app().sheet.openSheet(), nullptr);
        MSG message;
        EXPECT_TRUE(PeekMessageW(&message, owner_, WM_NULL, WM_NULL, PM_REMOVE));
    }
    app().Settings.titleBarMode = 0;
}

TEST_F(OwnerWindowTest, CaptureCommandArmsTheProbeTimer)
{
    KillTimer(app().wordWindow.handle(), TIMER_PROBE);
    ASSERT_FALSE(KillTimer(app().wordWindow.handle(), TIMER_PROBE));  // gone: KillTimer tells
    app().runTrayCommand(0);
    app().runTrayCommand(12345);
    EXPECT_FALSE(KillTimer(app().wordWindow.handle(), TIMER_PROBE));
    app().runTrayCommand(IDM_TRAY_CAPTURE);
    EXPECT_TRUE(KillTimer(app().wordWindow.handle(), TIMER_PROBE));
    EXPECT_TRUE(IsWindow(owner_));
}

// What a timer saw while the options sheet was open, before it pressed one
// of the sheet's buttons.
struct OpenSheetProbe {
    int button = PSBTN_CANCEL;
    bool seen = false;
    int page = -1;
    wchar_t caption[64] = {};
    LRESULT rightClick = -1;
    LRESULT leftClick = -1;
    // The first item of the menu a left click showed (0: no menu).
    UINT leftClickMenuFirst = 0;
    bool topmost = true;
};
OpenSheetProbe sheetProbe;

void CALLBACK inspectOpenSheet(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (sheetProbe.seen || app().sheet.openSheet() == nullptr) return;
    sheetProbe.seen = true;
    KillTimer(nullptr, timer);
    HWND sheet = app().sheet.openSheet();
    sheetProbe.page = PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
    GetWindowTextW(sheet, sheetProbe.caption, 64);
    sheetProbe.topmost = (GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    // A right click on the icon now must not open a second modal loop.
    sheetProbe.rightClick = SendMessageW(app().ownerWindow(), WM_TRAYICON, kTrayIconId, WM_RBUTTONUP);
    // A left click still shows the word's menu: in title-bar mode it is the
    // only way to 已记住 while the sheet is open.
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR shown, DWORD) {
        KillTimer(nullptr, shown);
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu != nullptr && IsWindowVisible(menu)) {
            HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
            sheetProbe.leftClickMenuFirst = items != nullptr ? GetMenuItemID(items, 0) : 0;
        }
        EndMenu();
    });
    sheetProbe.leftClick = SendMessageW(app().ownerWindow(), WM_TRAYICON, kTrayIconId, WM_LBUTTONUP);
    PropSheet_PressButton(sheet, sheetProbe.button);
}

void runSheetCommand(UINT command, int button)
{
    sheetProbe = {};
    sheetProbe.button = button;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, inspectOpenSheet);
    ASSERT_NE(timer, 0u);
    app().runTrayCommand(command);
    KillTimer(nullptr, timer);
}

TEST_F(OwnerWindowTest, AboutOpensTheSheetOnItsThirdPageAndCancelSavesNothing)
{
    app().Settings.windowX = 5555;
    runSheetCommand(IDM_TRAY_ABOUT, PSBTN_CANCEL);
    ASSERT_TRUE(sheetProbe.seen);
    EXPECT_EQ(sheetProbe.page, kAboutPage);
    EXPECT_STREQ(sheetProbe.caption, L"Mivora");
    EXPECT_EQ(sheetProbe.rightClick, 0);
    EXPECT_EQ(sheetProbe.leftClick, 0);
    EXPECT_EQ(sheetProbe.leftClickMenuFirst, static_cast<UINT>(IDM_WORD_REMEMBERED))
        << "no word menu with the sheet open";
    EXPECT_EQ(app().sheet.openSheet(), nullptr);
    EXPECT_NE(settingsFileInt(kWindowXOffset), 5555);

    // The owner was moved to where the sheet is to appear.
    RECT ownerRect{};
    GetWindowRect(owner_, &ownerRect);
    EXPECT_EQ(ownerRect.left, app().maximizedWidth / 2 - 300);
    EXPECT_EQ(ownerRect.top, app().maximizedHeight / 2 - 200);
}

TEST_F(OwnerWindowTest, OptionsOpensTheSheetOnItsFirstPageAndOkSavesTheSettings)
{
    app().Settings.windowX = 6666;
    runSheetCommand(IDM_TRAY_OPTIONS, PSBTN_OK);
    ASSERT_TRUE(sheetProbe.seen);
    EXPECT_EQ(sheetProbe.page, 0);
    EXPECT_FALSE(sheetProbe.topmost) << "the guide and the dic folder must be able to come in front of it";
    EXPECT_EQ(app().sheet.openSheet(), nullptr);
    EXPECT_EQ(settingsFileInt(kWindowXOffset), 6666);
}

// A second start posts WM_OPEN_OPTIONS to the running program's owner
// window, the one window of its class.
TEST_F(OwnerWindowTest, ASecondStartsRequestOpensTheSheetOnItsFirstPage)
{
    EXPECT_EQ(FindWindowW(L"Mivora", nullptr), owner_);
    sheetProbe = {};
    sheetProbe.button = PSBTN_CANCEL;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, inspectOpenSheet);
    ASSERT_NE(timer, 0u);
    ASSERT_TRUE(PostMessageW(owner_, WM_OPEN_OPTIONS, 0, 0));
    pumpUntil([] { return sheetProbe.seen && app().sheet.openSheet() == nullptr; });
    KillTimer(nullptr, timer);
    ASSERT_TRUE(sheetProbe.seen);
    EXPECT_EQ(sheetProbe.page, 0);
    EXPECT_STREQ(sheetProbe.caption, L"Mivora");
    EXPECT_FALSE(sheetProbe.topmost);
    EXPECT_TRUE(IsWindow(owner_));
}

// What came to the front while the sheet showed a window of its own on top
// (as the font and colour choosers and the 删除 question do, with the sheet
// disabled under them), after the user had gone to another program.
struct PopupProbe {
    bool seen = false;
    HWND popup = nullptr;
    HWND afterRightClick = nullptr;
    HWND afterSecondStart = nullptr;
};
PopupProbe popupProbe;

void CALLBACK raiseSheetPopup(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND sheet = app().sheet.openSheet();
    if (popupProbe.seen || sheet == nullptr) return;
    popupProbe.seen = true;
    KillTimer(nullptr, timer);
    HWND popup = CreateWindowExW(0, L"STATIC", L"chooser", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, sheet, nullptr,
                                 nullptr, nullptr);
    HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 300, 300, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    popupProbe.popup = popup;
    EnableWindow(sheet, FALSE);
    SetForegroundWindow(popup);
    SetForegroundWindow(other);
    SendMessageW(app().ownerWindow(), WM_TRAYICON, kTrayIconId, WM_RBUTTONUP);
    popupProbe.afterRightClick = GetForegroundWindow();
    SetForegroundWindow(other);
    SendMessageW(app().ownerWindow(), WM_OPEN_OPTIONS, 0, 0);
    popupProbe.afterSecondStart = GetForegroundWindow();
    DestroyWindow(other);
    EnableWindow(sheet, TRUE);
    DestroyWindow(popup);
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
}

TEST_F(OwnerWindowTest, ATrayClickOrASecondStartBringsTheSheetsOwnPopupForward)
{
    popupProbe = {};
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, raiseSheetPopup);
    ASSERT_NE(timer, 0u);
    app().runTrayCommand(IDM_TRAY_OPTIONS);
    KillTimer(nullptr, timer);
    ASSERT_TRUE(popupProbe.seen);
    EXPECT_EQ(popupProbe.afterRightClick, popupProbe.popup);
    EXPECT_EQ(popupProbe.afterSecondStart, popupProbe.popup);
    EXPECT_EQ(app().sheet.openSheet(), nullptr);
}

// State observed at the moment the word window is destroyed.
struct ShutdownProbe {
    bool seen = false;
    std::int32_t fileWindowX = 0;
    bool runValuePresent = false;
    bool iconPresent = false;
    bool trayMenuAlive = false;
    WNDPROC original = nullptr;
};
ShutdownProbe shutdownProbe;

LRESULT CALLBACK watchWordWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        shutdownProbe.seen = true;
        shutdownProbe.fileWindowX = settingsFileInt(kWindowXOffset);
        shutdownProbe.runValuePresent = runValue().has_value();
        shutdownProbe.iconPresent = app().tray.refreshTip(app().wordStore.header());
        shutdownProbe.trayMenuAlive = IsMenu(app().tray.popup()) != FALSE;
    }
    return CallWindowProcW(shutdownProbe.original, window, message, wParam, lParam);
}

TEST_F(OwnerWindowTest, ExitSavesSettingsThenClosesWordWindowThenIconMenusAndGdi)
{
    drainMessages();
    const HWND word = app().wordWindow.handle();
    const HMENU tray = app().tray.popup();
    const HMENU words = app().wordWindow.prepareWordMenu();
    const HFONT font = app().wordWindow.wordFont();
    const HBRUSH brush = app().wordWindow.backgroundBrush();
    ASSERT_NE(font, nullptr);
    ASSERT_NE(brush, nullptr);
    shutdownProbe = {};
    shutdownProbe.original =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(word, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchWordWindow)));
    app().Settings.windowX = 4321;
    app().Settings.autoStart = 1;
    restoreRunValue(std::nullopt);

    app().runTrayCommand(IDM_TRAY_EXIT);

    // Settings file and Run value were written before the word window went;
    // the icon and the tray menu outlived it.
    ASSERT_TRUE(shutdownProbe.seen);
    EXPECT_EQ(shutdownProbe.fileWindowX, 4321);
    EXPECT_TRUE(shutdownProbe.runValuePresent);
    EXPECT_TRUE(shutdownProbe.iconPresent);
    EXPECT_TRUE(shutdownProbe.trayMenuAlive);
    // Then everything is gone.
    EXPECT_FALSE(IsWindow(owner_));
    EXPECT_FALSE(IsWindow(word));
    EXPECT_FALSE(app().tray.refreshTip(app().wordStore.header()));
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(GetObjectType(brush), 0u);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
    // The menus go with their owners, the application object.
    currentApp.reset();
    EXPECT_FALSE(IsMenu(tray));
    EXPECT_FALSE(IsMenu(words));

    const std::optional<std::wstring> registered = runValue();
    ASSERT_TRUE(registered.has_value());
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    EXPECT_EQ(*registered, L"\"" + std::wstring(module) + L"\"");
    applyRunRegistration(false);
}

TEST_F(OwnerWindowTest, EndingSessionSavesSettingsAndProgressAndKeepsRunning)
{
    makeStoreDirty();
    app().Settings.windowX = 777;
    SendMessageW(owner_, WM_ENDSESSION, FALSE, 0);  // log-off cancelled
    EXPECT_NE(settingsFileInt(kWindowXOffset), 777);
    EXPECT_TRUE(app().wordStore.dirty());

    SendMessageW(owner_, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(settingsFileInt(kWindowXOffset), 777);
    EXPECT_FALSE(app().wordStore.dirty());
    EXPECT_EQ(fs::file_size(progressFile()), 24u + storedWords() * 1664u);
    EXPECT_TRUE(IsWindow(owner_));
}

// Windows ends the process about five seconds after WM_ENDSESSION: a
// worker that does not end is not waited for past kEndSessionWaitMs, and
// the save is made.
TEST_F(OwnerWindowTest, EndingSessionSavesWithoutWaitingForAWorkerThatRunsOn)
{
    makeStoreDirty();
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(app().dictionaryLoad.start(owner_, WM_NULL, [release]() -> LPARAM {
        WaitForSingleObject(release, INFINITE);
        return 0;
    }));
    SendMessageW(owner_, WM_ENDSESSION, TRUE, 0);
    // Returned while the worker still runs, with the progress written.
    EXPECT_EQ(WaitForSingleObject(release, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(app().dictionaryLoad.running());
    EXPECT_FALSE(app().wordStore.dirty());
    EXPECT_EQ(fs::file_size(progressFile()), 24u + storedWords() * 1664u);
    SetEvent(release);
    EXPECT_TRUE(app().dictionaryLoad.wait(30000));
    CloseHandle(release);
}

// Set as the owner window hears WM_DESTROY, before the program handles it.
struct DestroyProbe {
    WNDPROC original = nullptr;
    HANDLE destroying = nullptr;
} destroyProbe;

LRESULT CALLBACK watchOwnerDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) SetEvent(destroyProbe.destroying);
    return CallWindowProcW(destroyProbe.original, window, message, wParam, lParam);
}

// 退出 waits for the workers and saves before the windows go, seconds on a
// slow synced folder: a start made meanwhile must not hand its request to a
// window that will never read it (it would end with 1, and no program would
// run); it waits for this one to end instead.
TEST_F(OwnerWindowTest, AStartDuringTheExitsSaveFindsNoWindowToHandItsRequestTo)
{
    EXPECT_EQ(runningOwnerWindow(), owner_);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    destroyProbe.destroying = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(app().dictionaryLoad.start(owner_, WM_NULL, [release]() -> LPARAM {
        WaitForSingleObject(release, INFINITE);
        return 0;
    }));
    destroyProbe.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchOwnerDestroy)));
    bool refused = false;
    bool exitWaited = false;
    std::thread start([&] {
        if (WaitForSingleObject(destroyProbe.destroying, 10000) == WAIT_OBJECT_0) {
            // The exit waits for the worker now, which is held until this
            // start has looked (a second, far less than the exit waits).
            const ULONGLONG deadline = GetTickCount64() + 1000;
            while (runningOwnerWindow() != nullptr && GetTickCount64() < deadline) Sleep(10);
            refused = runningOwnerWindow() == nullptr;
            exitWaited = IsWindow(owner_) && app().dictionaryLoad.running();
        }
        SetEvent(release);
    });
    app().runTrayCommand(IDM_TRAY_EXIT);
    start.join();
    EXPECT_TRUE(exitWaited) << "the look was made while the exit waited";
    EXPECT_TRUE(refused) << "the ending program's window took the start's request";
    EXPECT_FALSE(IsWindow(owner_));
    EXPECT_EQ(runningOwnerWindow(), nullptr);
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    CloseHandle(destroyProbe.destroying);
    CloseHandle(release);
}

// Sees WM_SAVE_DONE on its way to the owner window.
struct SaveDoneProbe {
    WNDPROC original = nullptr;
    int count = 0;
    WPARAM saved = 0;
} saveDoneProbe;

LRESULT CALLBACK watchOwnerWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SAVE_DONE) {
        ++saveDoneProbe.count;
        saveDoneProbe.saved = static_cast<WPARAM>(lParam);
    }
    return CallWindowProcW(saveDoneProbe.original, window, message, wParam, lParam);
}

TEST_F(OwnerWindowTest, ProgressTimerSavesChangedListsInTheBackground)
{
    saveDoneProbe = {};
    saveDoneProbe.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchOwnerWindow)));
    makeStoreDirty();
    EXPECT_EQ(SendMessageW(owner_, WM_TIMER, TIMER_SAVE_PROGRESS, 0), 0);
    ASSERT_TRUE(pumpUntil([] { return saveDoneProbe.count > 0; }));
    EXPECT_EQ(saveDoneProbe.saved, 1u);
    EXPECT_FALSE(app().progressSaveRunning());
    EXPECT_EQ(fs::file_size(progressFile()), 24u + storedWords() * 1664u);
    EXPECT_FALSE(app().wordStore.dirty());

    // Nothing changed since: nothing is started, nothing written.
    fs::remove(progressFile());
    SendMessageW(owner_, WM_TIMER, TIMER_SAVE_PROGRESS, 0);
    EXPECT_FALSE(app().progressSaveRunning());
    drainMessages();
    EXPECT_EQ(saveDoneProbe.count, 1);
    EXPECT_FALSE(fs::exists(progressFile()));
    SetWindowLongPtrW(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saveDoneProbe.original));
}

TEST_F(OwnerWindowTest, NewNotificationAreaGetsTheIconAgain)
{
    const UINT taskbarCreated = taskbarCreatedMessage();
    ASSERT_NE(taskbarCreated, 0u);
    app().tray.remove();
    ASSERT_FALSE(app().tray.refreshTip(app().wordStore.header()));
    EXPECT_EQ(SendMessageW(owner_, taskbarCreated, 0, 0), 0);
    EXPECT_TRUE(app().tray.refreshTip(app().wordStore.header()));
    // A second announcement while the icon is there keeps it, silently.
    EXPECT_EQ(SendMessageW(owner_, taskbarCreated, 0, 0), 0);
    EXPECT_TRUE(app().tray.refreshTip(app().wordStore.header()));
}

// The notification area that is not there yet: every add fails.
int failedAdds = 0;
BOOL WINAPI missingNotificationArea(DWORD operation, PNOTIFYICONDATAW)
{
    if (operation == NIM_ADD) ++failedAdds;
    return FALSE;
}

// Closes the error box once it shows, keeping its text.
class ErrorBoxCloser {
public:
    ErrorBoxCloser() : thread_(CreateThread(nullptr, 0, &ErrorBoxCloser::run, this, 0, nullptr)) {}
    ~ErrorBoxCloser()
    {
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    // The text of the box that was closed; waits for the closing.
    std::wstring text()
    {
        WaitForSingleObject(thread_, INFINITE);
        return text_;
    }

private:
    static DWORD WINAPI run(void* self)
    {
        auto* closer = static_cast<ErrorBoxCloser*>(self);
        const ULONGLONG deadline = GetTickCount64() + 30000;
        while (!closer->stop_ && GetTickCount64() < deadline) {
            if (HWND box = FindWindowW(L"#32770", L"Dizudiz Error")) {
                wchar_t text[128] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 128);  // the message box's text control
                closer->text_ = text;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return 0;
            }
            Sleep(20);
        }
        return 0;
    }

    std::wstring text_;
    volatile bool stop_ = false;
    HANDLE thread_;
};

// A shell that reports a failed add after a time-out at a busy log-on but
// keeps the icon: every later add fails because the icon exists.
int keptIconAdds = 0;
bool keptIconThere = false;
BOOL WINAPI slowShellKeepsTheIcon(DWORD operation, PNOTIFYICONDATAW)
{
    switch (operation) {
    case NIM_ADD:
        ++keptIconAdds;
        keptIconThere = true;
        return FALSE;
    case NIM_MODIFY:
        return keptIconThere ? TRUE : FALSE;
    case NIM_DELETE:
        keptIconThere = false;
        return TRUE;
    default:
        return FALSE;
    }
}

TEST(SlowShell, AnIconAddedDespiteAFailedAddLeavesTheProgramRunning)
{
    removeProgramFiles();
    writeDictionary();
    keptIconAdds = 0;
    keptIconThere = false;
    {
        ErrorBoxCloser closer;
        ASSERT_NE(startApp(slowShellKeepsTheIcon), nullptr);
    }
    EXPECT_EQ(keptIconAdds, 1);
    EXPECT_FALSE(app().tray.retryPending()) << "the icon is there: nothing to retry";
    EXPECT_FALSE(KillTimer(app().ownerWindow(), TIMER_TRAY_RETRY));
    // A minute on, nothing ends the program.
    app().retryTrayIcon(GetTickCount() + kTrayRetryPeriodMs);
    EXPECT_TRUE(IsWindow(app().ownerWindow()));
    app().tray.setNotifyIconFunction(nullptr);
    endApp();
    removeProgramFiles();
}

class TrayRetryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        removeProgramFiles();
        writeDictionary();
        failedAdds = 0;
        {
            // Should the error box come at once, it is closed, so that the
            // test fails instead of waiting.
            ErrorBoxCloser closer;
            owner_ = startApp(missingNotificationArea);
        }
        // The minute counts from the failed add at creation.
        if (currentApp) created_ = app().tray.retrySince();
    }
    void TearDown() override
    {
        if (currentApp) app().tray.setNotifyIconFunction(nullptr);
        endApp();
        removeProgramFiles();
    }

    HWND owner_ = nullptr;
    DWORD created_ = 0;
};

// At log-on the program may come before the notification area; it used to
// show the error and end at once.
TEST_F(TrayRetryTest, ProgramRunsOnAndAddsTheIconWhenTheAreaComes)
{
    ASSERT_NE(owner_, nullptr) << "the program ended because the icon could not be added";
    EXPECT_EQ(failedAdds, 1);
    EXPECT_TRUE(app().tray.retryPending());
    EXPECT_TRUE(IsWindowVisible(app().wordWindow.handle()));
    EXPECT_EQ(storedWords(), 3u);

    // Retries within the minute fail quietly.
    EXPECT_EQ(SendMessageW(owner_, WM_TIMER, TIMER_TRAY_RETRY, 0), 0);
    app().retryTrayIcon(created_ + 30000);
    EXPECT_EQ(failedAdds, 3);
    EXPECT_TRUE(app().tray.retryPending());
    EXPECT_TRUE(IsWindow(owner_));

    app().tray.setNotifyIconFunction(nullptr);
    app().retryTrayIcon(created_ + 32000);
    EXPECT_FALSE(app().tray.retryPending());
    EXPECT_FALSE(KillTimer(owner_, TIMER_TRAY_RETRY)) << "the retry timer is stopped";
    EXPECT_TRUE(app().tray.refreshTip(app().wordStore.header()));
}

TEST_F(TrayRetryTest, TaskbarCreatedBringsTheIconAtOnce)
{
    ASSERT_NE(owner_, nullptr);
    SendMessageW(owner_, taskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(app().tray.retryPending());

    app().tray.setNotifyIconFunction(nullptr);
    SendMessageW(owner_, taskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(app().tray.retryPending());
    EXPECT_TRUE(app().tray.refreshTip(app().wordStore.header()));
}

TEST_F(TrayRetryTest, AfterAMinuteTheErrorIsShownAndTheProgramEnds)
{
    ASSERT_NE(owner_, nullptr);
    app().retryTrayIcon(created_ + kTrayRetryPeriodMs - 2000);
    ASSERT_TRUE(IsWindow(owner_));
    {
        ErrorBoxCloser closer;
        app().retryTrayIcon(created_ + kTrayRetryPeriodMs);
        EXPECT_EQ(closer.text(), L"Shell_NotifyIcon Error");
    }
    EXPECT_FALSE(IsWindow(owner_));
    EXPECT_FALSE(app().tray.retryPending());
    EXPECT_TRUE(drainMessages()) << "the quit message ends the loop";
}

// --- saves that fail --------------------------------------------------------

// The warning balloons the program asked for (the greeting of a first start,
// an information balloon, is left out), with every other icon call accepted.
std::vector<std::pair<std::wstring, std::wstring>> balloons;
BOOL WINAPI recordBalloons(DWORD operation, PNOTIFYICONDATAW data)
{
    if (operation == NIM_MODIFY && (data->uFlags & NIF_INFO) != 0 && (data->dwInfoFlags & NIIF_ICON_MASK) != NIIF_INFO)
        balloons.emplace_back(data->szInfoTitle, data->szInfo);
    return TRUE;
}

// Holds a file the way another program can: no sharing at all.
class HeldFile {
public:
    explicit HeldFile(const fs::path& file)
        : handle_(CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {}
    ~HeldFile() { release(); }
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void release()
    {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

class FailedSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        removeProgramFiles();
        writeDictionary();
        balloons.clear();
        owner_ = startApp(recordBalloons);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override
    {
        if (currentApp) app().tray.setNotifyIconFunction(nullptr);
        endApp();
        removeProgramFiles();
    }
    // One periodic save, run to its end.
    void periodicSave()
    {
        SendMessageW(owner_, WM_TIMER, TIMER_SAVE_PROGRESS, 0);
        ASSERT_TRUE(pumpUntil([] { return !app().progressSaveRunning(); }));
    }

    HWND owner_ = nullptr;
};

TEST_F(FailedSaveTest, PeriodicSaveFailureIsToldOnceUntilASaveSucceeds)
{
    makeStoreDirty();
    auto held = std::make_unique<HeldFile>(progressFile());
    ASSERT_TRUE(held->held());
    periodicSave();
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].first, L"学习进度没能保存");
    EXPECT_NE(balloons[0].second.find(L"DAvud.bin（文件正被其他程序占用）"), std::wstring::npos) << balloons[0].second;
    EXPECT_TRUE(app().wordStore.dirty()) << "the next save must try again";

    periodicSave();
    EXPECT_EQ(balloons.size(), 1u) << "told once, not at every try";

    held.reset();
    periodicSave();
    EXPECT_FALSE(app().wordStore.dirty());
    EXPECT_EQ(fs::file_size(progressFile()), 24u + storedWords() * 1664u);
    EXPECT_EQ(balloons.size(), 1u);

    // After a save that worked, a new failure is told again.
    makeStoreDirty();
    held = std::make_unique<HeldFile>(progressFile());
    periodicSave();
    EXPECT_EQ(balloons.size(), 2u);
}

TEST_F(FailedSaveTest, SettingsSaveFailureIsToldOnce)
{
    EXPECT_TRUE(app().saveSettings());
    fs::remove(settingsFile());  // never created by a save
    EXPECT_FALSE(app().saveSettings());
    EXPECT_FALSE(app().saveSettings());
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].first, L"设置没能保存");
    EXPECT_NE(balloons[0].second.find(L"mivora.bin"), std::wstring::npos) << balloons[0].second;
}

TEST_F(FailedSaveTest, IniSaveKeepsOtherSectionsAndAFailureIsToldOnce)
{
    {
        std::ofstream user(iniFile(), std::ios::binary);
        user << "; mine\n[Mine]\nKeep=1\n[Speech]\nRate=3\n";
    }
    app().speechSettings.rate = -4;
    EXPECT_TRUE(app().saveSettings());
    std::ifstream in(iniFile(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    // Every section the program knows is written, the hotkeys, the review
    // and the word window with their defaults.
    const std::u16string_view expected = u"\uFEFF; mine\r\n[Mine]\r\nKeep=1\r\n[Speech]\r\nRate=-4\r\nAutoRead=0\r\n"
                                         u"Voice=\r\nVolume=100\r\n\r\n[Hotkeys]\r\nNext=Ctrl+Alt+.\r\n"
                                         u"Previous=Ctrl+Alt+,\r\nRemembered=Ctrl+Alt+M\r\nPause=Ctrl+Alt+/\r\n"
                                         u"Speak=Ctrl+Alt+;\r\nShowHide=\r\nOptions=\r\nForgot=Ctrl+Alt+N\r\n"
                                         u"Reveal=Ctrl+Alt+K\r\nTooEasy=\r\n\r\n[Review]\r\nEnabled=1\r\n"
                                         u"DailyLimit=20\r\nRetention=0.90\r\nRecallFirst=review\r\n"
                                         u"RevealSeconds=5\r\nRecallTipShown=0\r\n\r\n[Word]\r\nExamples=hover\r\n";
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(expected.data()), expected.size() * 2));
    EXPECT_TRUE(balloons.empty());

    auto held = std::make_unique<HeldFile>(iniFile());
    ASSERT_TRUE(held->held());
    app().speechSettings.rate = 5;
    EXPECT_FALSE(app().saveSettings());
    EXPECT_FALSE(app().saveSettings());
    ASSERT_EQ(balloons.size(), 1u) << "told once";
    EXPECT_EQ(balloons[0].first, L"设置没能保存");
    EXPECT_NE(balloons[0].second.find(L"mivora.ini"), std::wstring::npos) << balloons[0].second;
    held.reset();
    EXPECT_TRUE(app().saveSettings());
    IniDocument document;
    ASSERT_EQ(loadIniFile(iniFile(), document), IniLoad::Read);
    EXPECT_EQ(readSpeechSettings(document).rate, 5);
    EXPECT_TRUE(document.get(u"Mine", u"Keep") == std::u16string(u"1"));
}

// --- speech -----------------------------------------------------------------

// The voice object's registration that Wine 8 reads (the per-machine one).
constexpr wchar_t kVoiceServerKey[] =
    L"Software\\Classes\\CLSID\\{96749377-3391-11D2-9EE3-00C04F797396}\\InprocServer32";
fs::path spokenLog()
{
    return exeDirectory() / L"spoken.txt";
}

// Puts the stand-in voice (stand_in_voice.dll, which writes what it is asked
// to say to spoken.txt) in the place of the prefix's own for as long as it
// lives; the other tests of the prefix find Wine's voice again afterwards.
class StandInVoice {
public:
    StandInVoice()
        : server_(registryText(HKEY_LOCAL_MACHINE, kVoiceServerKey, nullptr)),
          threading_(registryText(HKEY_LOCAL_MACHINE, kVoiceServerKey, L"ThreadingModel"))
    {
        setRegistryText(HKEY_LOCAL_MACHINE, kVoiceServerKey, nullptr,
                        (exeDirectory() / L"stand_in_voice.dll").wstring());
        setRegistryText(HKEY_LOCAL_MACHINE, kVoiceServerKey, L"ThreadingModel", std::wstring(L"Both"));
    }
    ~StandInVoice()
    {
        setRegistryText(HKEY_LOCAL_MACHINE, kVoiceServerKey, nullptr, server_);
        setRegistryText(HKEY_LOCAL_MACHINE, kVoiceServerKey, L"ThreadingModel", threading_);
    }
    StandInVoice(const StandInVoice&) = delete;
    StandInVoice& operator=(const StandInVoice&) = delete;

private:
    std::optional<std::wstring> server_;
    std::optional<std::wstring> threading_;
};

// An English voice token for the speech tests: Wine's one voice token
// names no language, and a voice that may not speak English is never
// chosen. Removed again when it goes.
class EnglishVoiceToken {
public:
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Speech\\Voices\\Tokens\\MivoraTestVoice";
    EnglishVoiceToken()
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        const wchar_t name[] = L"Mivora Test Voice";
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
        // Wine's voice object speaks through its own engine whatever token
        // it is given; the stand-in accepts any.
        const wchar_t clsid[] = L"{C2B9CA1A-8B21-4E8C-A2E0-2F8D9C4E5A11}";
        RegSetValueExW(key, L"CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid), sizeof clsid);
        HKEY attributes = nullptr;
        if (RegCreateKeyExW(key, L"Attributes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &attributes, nullptr) ==
            ERROR_SUCCESS) {
            const wchar_t language[] = L"409";
            RegSetValueExW(attributes, L"Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(language),
                           sizeof language);
            RegCloseKey(attributes);
        }
        RegCloseKey(key);
    }
    ~EnglishVoiceToken() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey); }
    EnglishVoiceToken(const EnglishVoiceToken&) = delete;
    EnglishVoiceToken& operator=(const EnglishVoiceToken&) = delete;
};

// The lines of spoken.txt: the call's flags in hex, a space, the text.
std::vector<std::string> spokenLines()
{
    std::vector<std::string> lines;
    std::ifstream in(spokenLog(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// What the stand-in writes for a word said asynchronously, cutting off
// what was being said, as plain text (SPF_ASYNC | SPF_PURGEBEFORESPEAK |
// SPF_IS_NOT_XML).
std::string saidLine(std::u16string_view word)
{
    std::string utf8;
    for (const char16_t unit : word) utf8.push_back(static_cast<char>(unit));  // the test's words are ASCII
    return "13 " + utf8;
}

std::u16string shownWord()
{
    const WordEntry entry = app().wordStore.currentEntry();
    return std::u16string(entry.word);
}

void writeIni(const std::string& bytes)
{
    std::ofstream out(iniFile(), std::ios::binary);
    out << bytes;
}

class SpeechTest : public ::testing::Test {
protected:
    EnglishVoiceToken voiceToken_;
    void SetUp() override
    {
        removeProgramFiles();
        writeDictionary();
        std::error_code ignored;
        fs::remove(spokenLog(), ignored);
        balloons.clear();
    }
    void TearDown() override
    {
        if (currentApp) app().tray.setNotifyIconFunction(nullptr);
        endApp();
        removeProgramFiles();
        std::error_code ignored;
        fs::remove(spokenLog(), ignored);
    }
};

TEST_F(SpeechTest, TheSpeakHotkeySaysTheShownWordAsTheMenuDoes)
{
    StandInVoice standIn;
    HWND owner = startApp(recordBalloons);
    ASSERT_NE(owner, nullptr);
    ASSERT_FALSE(app().speechSettings.autoRead);
    ASSERT_FALSE(app().hotkeys.heldElsewhere(HotkeyCommand::speak));
    pressHotkey(HotkeyCommand::speak);
    const std::vector<std::string> expected = {saidLine(shownWord())};
    ASSERT_TRUE(pumpUntil([] { return !spokenLines().empty(); }));
    EXPECT_EQ(spokenLines(), expected);
    EXPECT_TRUE(balloons.empty());
}

TEST_F(SpeechTest, AutoReadSaysEachNewWordOnceInOrderAndSpeakSaysTheShownWordAsPlainText)
{
    StandInVoice standIn;
    writeIni("[Speech]\nAutoRead=1\n");
    HWND owner = startApp(recordBalloons);
    ASSERT_NE(owner, nullptr);
    ASSERT_TRUE(app().speechSettings.autoRead);
    std::vector<std::string> expected = {saidLine(shownWord())};
    ASSERT_TRUE(pumpUntil([] { return !spokenLines().empty(); }))
        << "the first word after the load; balloons: " << balloons.size()
        << (balloons.empty() ? std::string() : std::string(balloons[0].second.begin(), balloons[0].second.end()));

    for (int i = 0; i < 2; ++i) {
        app().wordWindow.runCommand(WordCommand::next);
        expected.push_back(saidLine(shownWord()));
        ASSERT_TRUE(pumpUntil([&] { return spokenLines().size() >= expected.size(); }));
    }
    // 朗读 from the word's menu: the shown word, the word field only.
    app().wordWindow.runWordCommand(owner, IDM_WORD_SPEAK);
    expected.push_back(saidLine(shownWord()));
    // Markup characters are text.
    EXPECT_TRUE(app().speech.speak(u"R&D <b>"));
    expected.push_back("13 R&D <b>");
    drainMessages();
    EXPECT_EQ(spokenLines(), expected);
    EXPECT_TRUE(balloons.empty());

    // The options' OK leaves mivora.bin byte for byte as it was and writes
    // the [Speech] section.
    ASSERT_TRUE(app().saveSettings());
    const std::vector<char> before = readFile(settingsFile());
    ASSERT_EQ(before.size(), 284u);
    app().speechSettings.volume = 40;
    runSheetCommand(IDM_TRAY_OPTIONS, PSBTN_OK);
    EXPECT_EQ(readFile(settingsFile()), before);
    IniDocument document;
    ASSERT_EQ(loadIniFile(iniFile(), document), IniLoad::Read);
    EXPECT_EQ(readSpeechSettings(document).volume, 40);
    EXPECT_TRUE(readSpeechSettings(document).autoRead);
}

TEST_F(SpeechTest, NothingIsSaidWhileAFullScreenProgramIsInFront)
{
    StandInVoice standIn;
    writeIni("[Speech]\nAutoRead=1\n");
    HWND owner = startApp(recordBalloons);
    ASSERT_NE(owner, nullptr);
    std::vector<std::string> expected = {saidLine(shownWord())};
    ASSERT_TRUE(pumpUntil([] { return !spokenLines().empty(); }));

    // A film from a process of its own covers the screen.
    const std::wstring command = (exeDirectory().parent_path() / L"ui" / L"fullscreen_window.exe").wstring();
    std::wstring line = command;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION film{};
    AllowSetForegroundWindow(ASFW_ANY);
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &film));
    CloseHandle(film.hThread);
    HWND word = app().wordWindow.handle();
    ASSERT_TRUE(pumpUntil([word] { return !IsWindowVisible(word); })) << "the word stayed over the film";
    // Stepping aside cuts off what is being said.
    expected.push_back("3 -");
    // Commands still step on behind the film; nothing is said.
    app().wordWindow.runCommand(WordCommand::next);
    app().wordWindow.runCommand(WordCommand::next);
    drainMessages();
    EXPECT_EQ(spokenLines(), expected);

    PostMessageW(FindWindowW(L"MivoraTestFullScreen", nullptr), WM_CLOSE, 0, 0);
    // Pumping: its window's end sends messages to ours.
    EXPECT_TRUE(pumpUntil([&film] { return WaitForSingleObject(film.hProcess, 0) == WAIT_OBJECT_0; }));
    CloseHandle(film.hProcess);
    ASSERT_TRUE(pumpUntil([word] { return IsWindowVisible(word) != FALSE; })) << "the word never came back";
    // The word shown on coming back is said, once.
    expected.push_back(saidLine(shownWord()));
    ASSERT_TRUE(pumpUntil([&] { return spokenLines().size() >= expected.size(); }));
    drainMessages();
    EXPECT_EQ(spokenLines(), expected);
}

// With SPF_ASYNC an audio device's failure comes after Speak returned: it
// is asked for at the end of the text and told once, until a word has been
// said to its end again.
TEST_F(SpeechTest, AFailureAtTheEndOfTheTextIsToldOnceUntilAWordIsSaidAgain)
{
    StandInVoice standIn;
    HWND owner = startApp(recordBalloons);
    ASSERT_NE(owner, nullptr);
    const struct {
        const char16_t* word;
        std::size_t told;
    } steps[] = {{u"unplugged", 1}, {u"unplugged", 1}, {u"word", 1}, {u"unplugged", 2}};
    for (const auto& step : steps) {
        EXPECT_TRUE(app().speech.speak(step.word));
        drainMessages();
        EXPECT_EQ(balloons.size(), step.told);
    }
    ASSERT_FALSE(balloons.empty());
    EXPECT_EQ(balloons[0].first, kSpeechFailedTitle);
    EXPECT_NE(balloons[0].second.find(L"0x88890004"), std::wstring::npos) << balloons[0].second;
}

TEST_F(SpeechTest, WinesOwnVoiceFailsAndIsToldOnceWhileTheProgramRunsOn)
{
    // A file of nonsense gives every value its default.
    writeIni(std::string("\xFF\xFE[\0S\0p\0e\0e\0c\0h\0]\0\n\0R\0a\0t\0e\0=\0x\0\n\0", 34) + "AutoRead=7\nVolume=-1\n");
    HWND owner = startApp(recordBalloons);
    ASSERT_NE(owner, nullptr);
    EXPECT_TRUE(app().speechSettings == SpeechSettings{});

    app().wordWindow.runWordCommand(owner, IDM_WORD_SPEAK);
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].first, kSpeechFailedTitle);
    EXPECT_NE(balloons[0].second.find(L"语音功能不可用"), std::wstring::npos) << balloons[0].second;
    app().wordWindow.runWordCommand(owner, IDM_WORD_SPEAK);
    EXPECT_FALSE(app().speech.speak(u"word"));
    EXPECT_EQ(balloons.size(), 1u) << "told once";
    // The program runs on: the next word comes.
    const std::u16string first = shownWord();
    app().wordWindow.runCommand(WordCommand::next);
    EXPECT_NE(shownWord(), first);
    EXPECT_TRUE(IsWindow(owner));
}

// Answers the question at exit: records the text of every box in order and
// presses the button the test gives for it; `beforeAnswer` runs first.
class ExitQuestionAnswerer {
public:
    ExitQuestionAnswerer(std::vector<int> answers, std::function<void(int)> beforeAnswer)
        : answers_(std::move(answers)), beforeAnswer_(std::move(beforeAnswer)),
          thread_(CreateThread(nullptr, 0, &ExitQuestionAnswerer::run, this, 0, nullptr))
    {}
    ~ExitQuestionAnswerer()
    {
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    std::vector<std::wstring> texts()
    {
        WaitForSingleObject(thread_, INFINITE);
        return texts_;
    }

private:
    static DWORD WINAPI run(void* self)
    {
        auto* answerer = static_cast<ExitQuestionAnswerer*>(self);
        const ULONGLONG deadline = GetTickCount64() + 60000;
        HWND answered = nullptr;
        while (!answerer->stop_ && GetTickCount64() < deadline && answerer->texts_.size() < answerer->answers_.size()) {
            HWND box = FindWindowW(L"#32770", kExitQuestionTitle);
            // The box just answered may still be there for a moment.
            if (box != nullptr && box != answered && IsWindowVisible(box)) {
                wchar_t text[2048] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 2048);
                const int n = static_cast<int>(answerer->texts_.size());
                answerer->texts_.push_back(text);
                answerer->beforeAnswer_(n);
                PostMessageW(box, WM_COMMAND, answerer->answers_[n], 0);
                answered = box;
            } else if (box == nullptr) {
                answered = nullptr;
            }
            Sleep(20);
        }
        return 0;
    }

    std::vector<int> answers_;
    std::function<void(int)> beforeAnswer_;
    std::vector<std::wstring> texts_;
    volatile bool stop_ = false;
    HANDLE thread_;
};

TEST_F(FailedSaveTest, ExitWithAHeldProgressFileAsksAndRetrySavesOnceItIsFree)
{
    makeStoreDirty();
    const std::size_t words = storedWords();
    auto held = std::make_unique<HeldFile>(progressFile());
    ASSERT_TRUE(held->held());
    app().runTrayCommand(IDM_TRAY_EXIT);
    ASSERT_FALSE(IsWindow(owner_));
    drainMessages();
    // 重试 while the file is still held asks again; the file is let go
    // before the second 重试.
    ExitQuestionAnswerer answerer({IDRETRY, IDRETRY}, [&held](int n) {
        if (n == 1) held->release();
    });
    app().finishWordStore();
    const std::vector<std::wstring> texts = answerer.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rfind(L"学习进度没能保存到\r\n", 0), 0u) << texts[0];
    EXPECT_NE(texts[0].find(L"（文件正被其他程序占用）"), std::wstring::npos) << texts[0];
    EXPECT_NE(texts[0].find(L"重试"), std::wstring::npos);
    EXPECT_FALSE(app().wordStore.dirty());
    EXPECT_EQ(fs::file_size(progressFile()), 24u + words * 1664u);
    EXPECT_TRUE(balloons.empty()) << "at exit the question tells it, not a balloon";
}

// 取消 keeps the question's promise even when the file is let go before
// the program has ended: nothing is written after it.
TEST_F(FailedSaveTest, CancelAtExitEndsAndLeavesTheOldFileAsItWas)
{
    const std::vector<char> before = readFile(progressFile());
    makeStoreDirty();
    HeldFile held(progressFile());
    ASSERT_TRUE(held.held());
    app().runTrayCommand(IDM_TRAY_EXIT);
    drainMessages();
    ExitQuestionAnswerer answerer({IDCANCEL}, [](int) {});
    app().finishWordStore();
    EXPECT_EQ(answerer.texts().size(), 1u);
    EXPECT_TRUE(app().wordStore.dirty());
    held.release();
    EXPECT_EQ(App::release(std::move(currentApp)), nullptr);
    EXPECT_EQ(readFile(progressFile()), before);
    EXPECT_FALSE(fs::exists(dicDirectory() / L"DAvud.bin.tmp"));
}

// The settings alone failing at exit ask as well: with them gone or held,
// the settings would otherwise be lost without a word.
TEST_F(FailedSaveTest, ExitWithOnlyTheSettingsFailingAsks)
{
    for (const bool deleted : {true, false}) {
        SCOPED_TRACE(deleted ? "deleted" : "held");
        if (!currentApp) owner_ = startApp(recordBalloons);
        ASSERT_NE(owner_, nullptr);
        ASSERT_TRUE(fs::exists(settingsFile()));
        std::unique_ptr<HeldFile> held;
        if (deleted)
            fs::remove(settingsFile());
        else
            held = std::make_unique<HeldFile>(settingsFile());
        app().Settings.windowX = 2468;
        app().runTrayCommand(IDM_TRAY_EXIT);
        drainMessages();
        ExitQuestionAnswerer answerer({IDCANCEL}, [](int) {});
        app().finishWordStore();
        const std::vector<std::wstring> texts = answerer.texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].rfind(L"设置没能保存到\r\n", 0), 0u) << texts[0];
        EXPECT_NE(texts[0].find(L"mivora.bin"), std::wstring::npos) << texts[0];
        EXPECT_EQ(texts[0].find(L"学习进度"), std::wstring::npos) << texts[0];
        held.reset();
        endApp();
        EXPECT_NE(settingsFileInt(kWindowXOffset), 2468);
    }
}

// A log-off while the question at exit waits for its answer: Windows
// tells every top-level window of the program and then ends it. What can
// be saved by then is saved; what cannot is told at the next start.
TEST_F(FailedSaveTest, ALogOffWhileTheQuestionWaitsKeepsWhatItCan)
{
    for (const bool letGo : {true, false}) {
        SCOPED_TRACE(letGo ? "file let go before the log-off" : "file still held");
        if (!currentApp) owner_ = startApp(recordBalloons);
        ASSERT_NE(owner_, nullptr);
        RegDeleteKeyW(HKEY_CURRENT_USER, kNoticeKeyPath);
        const std::vector<char> before = readFile(progressFile());
        makeStoreDirty();
        const std::size_t words = storedWords();
        auto held = std::make_unique<HeldFile>(progressFile());
        ASSERT_TRUE(held->held());
        app().runTrayCommand(IDM_TRAY_EXIT);
        drainMessages();
        const DWORD uiThread = GetCurrentThreadId();
        ExitQuestionAnswerer answerer({IDCANCEL}, [&](int) {
            if (letGo) held->release();
            EnumThreadWindows(
                uiThread,
                [](HWND window, LPARAM) -> BOOL {
                    DWORD_PTR ignored = 0;
                    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &ignored);
                    SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &ignored);
                    return TRUE;
                },
                0);
        });
        app().finishWordStore();
        EXPECT_EQ(answerer.texts().size(), 1u);
        held.reset();
        wchar_t kept[1024] = {};
        DWORD bytes = sizeof kept;
        const bool noticeKept = RegGetValueW(HKEY_CURRENT_USER, kNoticeKeyPath, kSessionEndNotice, RRF_RT_REG_SZ,
                                             nullptr, kept, &bytes) == ERROR_SUCCESS;
        if (letGo) {
            EXPECT_FALSE(noticeKept) << kept;
            EXPECT_EQ(fs::file_size(progressFile()), 24u + words * 1664u);
            EXPECT_NE(readFile(progressFile()), before);
        } else {
            // Without the cause: there is no time to look for it.
            EXPECT_TRUE(noticeKept);
            EXPECT_EQ(std::wstring(kept), L"学习进度没能保存到 " + progressFile().wstring());
            EXPECT_EQ(readFile(progressFile()), before);
        }
        endApp();
        RegDeleteKeyW(HKEY_CURRENT_USER, kNoticeKeyPath);
    }
}

// Windows ends a program about five seconds after WM_ENDSESSION: a worker
// that runs on and a file held for good together must not take longer.
TEST_F(FailedSaveTest, ALogOffWithAWorkerRunningOnAndAHeldFileEndsWithinItsDeadline)
{
    makeStoreDirty();
    const std::vector<char> before = readFile(progressFile());
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(app().dictionaryLoad.start(owner_, WM_NULL, [release]() -> LPARAM {
        WaitForSingleObject(release, INFINITE);
        return 0;
    }));
    HeldFile held(progressFile());
    ASSERT_TRUE(held.held());
    const ULONGLONG start = GetTickCount64();
    SendMessageW(owner_, WM_ENDSESSION, TRUE, 0);
    const ULONGLONG took = GetTickCount64() - start;
    RecordProperty("session_end_ms", static_cast<int>(took));
    EXPECT_LT(took, 5000u);
    EXPECT_TRUE(app().dictionaryLoad.running());
    wchar_t kept[1024] = {};
    DWORD bytes = sizeof kept;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kNoticeKeyPath, kSessionEndNotice, RRF_RT_REG_SZ, nullptr, kept, &bytes),
              ERROR_SUCCESS);
    held.release();
    EXPECT_EQ(readFile(progressFile()), before);
    SetEvent(release);
    EXPECT_TRUE(app().dictionaryLoad.wait(30000));
    CloseHandle(release);
}

// A worker the wait at exit gave up on still uses the store: the
// application object is kept for it, and freed when no worker runs.
TEST_F(FailedSaveTest, AWorkerThatRunsOnAtTheEndKeepsTheApplicationObject)
{
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WordGet* store = &app().wordStore;
    ASSERT_TRUE(app().dictionaryLoad.start(owner_, WM_NULL, [release, store]() -> LPARAM {
        WaitForSingleObject(release, INFINITE);
        // What a reload does at its end.
        return store->dirty() ? 1 : 0;
    }));
    app().runTrayCommand(IDM_TRAY_EXIT);
    drainMessages();
    app().finishWordStore(50);
    App* kept = App::release(std::move(currentApp));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(store, &AppTestAccess{*kept}.wordStore);
    SetEvent(release);
    EXPECT_TRUE(AppTestAccess{*kept}.dictionaryLoad.wait(30000));
    CloseHandle(release);
    currentApp.reset(kept);
    EXPECT_EQ(App::release(std::move(currentApp)), nullptr);
}

TEST_F(FailedSaveTest, SessionEndFailureIsKeptAndToldOnceAtTheNextStart)
{
    makeStoreDirty();
    {
        HeldFile held(progressFile());
        ASSERT_TRUE(held.held());
        SendMessageW(owner_, WM_ENDSESSION, TRUE, 0);
        EXPECT_TRUE(balloons.empty()) << "no time to tell it now";
    }
    wchar_t kept[1024] = {};
    DWORD bytes = sizeof kept;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kNoticeKeyPath, kSessionEndNotice, RRF_RT_REG_SZ, nullptr, kept, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(kept).rfind(L"学习进度没能保存到 ", 0), 0u) << kept;

    endApp();
    balloons.clear();
    owner_ = startApp(recordBalloons);
    ASSERT_NE(owner_, nullptr);
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].first, L"上次退出 Windows 时没能保存");
    EXPECT_EQ(balloons[0].second.rfind(kept, 0), 0u) << balloons[0].second;
    // Told once: the start after it says nothing.
    endApp();
    balloons.clear();
    owner_ = startApp(recordBalloons);
    EXPECT_TRUE(balloons.empty());
}

// The program folder can be written here: the files stay beside the
// program, the user's folder is neither made nor told of, and its dic is
// still offered for word lists, first.
TEST_F(FailedSaveTest, WritableProgramFolderKeepsTheFilesBesideTheProgram)
{
    EXPECT_FALSE(app().place.perUser);
    EXPECT_EQ(app().place.folder, exeDirectory());
    EXPECT_FALSE(fs::exists(userFolder()));
    EXPECT_TRUE(balloons.empty());
    ASSERT_EQ(app().place.dictionaryFolders.size(), 2u);
    EXPECT_EQ(app().place.dictionaryFolders[0], userFolder() / L"dic");
    EXPECT_EQ(app().place.dictionaryFolders[1], dicDirectory());
}

// --- recall first ------------------------------------------------------------

// The titles of the information balloons the program asked for.
std::vector<std::wstring> infoBalloons;
BOOL WINAPI recordInfoBalloons(DWORD operation, PNOTIFYICONDATAW data)
{
    if (operation == NIM_MODIFY && (data->uFlags & NIF_INFO) != 0 && (data->dwInfoFlags & NIIF_ICON_MASK) == NIIF_INFO)
        infoBalloons.emplace_back(data->szInfoTitle);
    return TRUE;
}

// The first word under review shown without its meaning brings one balloon,
// once for good (mivora.ini keeps it); the two new hotkeys show the meaning
// and answer 忘了.
TEST(RecallFirst, TheFirstReviewWordBringsOneBalloonAndTheHotkeysAnswerIt)
{
    removeProgramFiles();
    writeDictionary();
    infoBalloons.clear();
    ASSERT_NE(startApp(recordInfoBalloons), nullptr);
    const std::size_t before = infoBalloons.size();  // a first start's greeting
    std::vector<std::u16string> due;
    for (const WordEntry& entry : app().wordStore.entries(WordList::learning)) {
        app().wordStore.setRemembered(entry, true);
        due.emplace_back(entry.word, boundedLength(entry.word, kWordUnits));
    }
    ASSERT_EQ(app().wordStore.bringBack(due, true), 3u);
    app().wordWindow.advance();
    ASSERT_TRUE(app().wordWindow.meaningHidden());
    ASSERT_EQ(infoBalloons.size(), before + 1);
    EXPECT_EQ(infoBalloons.back(), L"先想一想它的意思");

    pressHotkey(HotkeyCommand::reveal);
    EXPECT_FALSE(app().wordWindow.meaningHidden());
    const std::u16string forgotten = currentWord();
    pressHotkey(HotkeyCommand::forgot);
    EXPECT_FALSE(app().wordStore.underReview(forgotten));
    EXPECT_NE(currentWord(), forgotten);
    // The next word under review: no second balloon.
    EXPECT_TRUE(app().wordWindow.meaningHidden());
    EXPECT_EQ(infoBalloons.size(), before + 1);
    IniDocument document;
    ASSERT_EQ(loadIniFile(iniFile(), document), IniLoad::Read);
    EXPECT_TRUE(readReviewSettings(document).recallTipShown);

    app().tray.setNotifyIconFunction(nullptr);
    endApp();
    removeProgramFiles();
}

}  // namespace
