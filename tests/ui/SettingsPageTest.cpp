// The settings page and the options sheet in-process: the real page from its
// dialog template, bound to the real word window, driven with the messages a
// click or a keystroke sends; the real sheet opened modally and inspected
// from a timer while it runs.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/AppGlobals.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "settings/Win32Settings.h"
#include "store/Text.h"
#include "store/WordGet.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "ui/SettingsPage.h"
#include "ui/WordLayout.h"
#include "ui/WordWindow.h"

namespace {

namespace fs = std::filesystem;

constexpr COLORREF kBackground = RGB(255, 255, 255);

void pump(DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount64() >= end) return;
        Sleep(10);
    }
}

// Pumps until `done` holds or `ms` have passed; returns whether it held.
bool pumpUntil(const std::function<bool()>& done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= end) return false;
        pump(20);
    }
    return true;
}

std::wstring shownWord()
{
    const WordEntry entry = wordStore.currentEntry();
    return std::wstring(entry.word, entry.word + boundedLength(entry.word, kWordUnits));
}

std::wstring windowText(HWND window)
{
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

std::wstring faceOf(const FontRecord& font)
{
    return std::wstring(font.lfFaceName, font.lfFaceName + boundedLength(font.lfFaceName, 32));
}

LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

constexpr wchar_t kPlainClass[] = L"MivoraSettingsTestPlain";

// What the stand-ins for the common dialogs saw, and what they answer.
struct DialogScript {
    bool accept = true;
    int fontCalls = 0;
    CHOOSEFONTW font{};
    LOGFONTW fontSeen{};
    LOGFONTW fontAnswer{};
    int colorCalls = 0;
    CHOOSECOLORW color{};
    COLORREF colorAnswer = 0;
    COLORREF customSeen[16] = {};
};
DialogScript script;

BOOL WINAPI fakeChooseFont(LPCHOOSEFONTW dialog)
{
    ++script.fontCalls;
    script.font = *dialog;
    script.fontSeen = *dialog->lpLogFont;
    // Like the real dialog, it writes into the record it was given, also
    // when the answer is Cancel here: the page must not use it then.
    *dialog->lpLogFont = script.fontAnswer;
    return script.accept ? TRUE : FALSE;
}

BOOL WINAPI fakeChooseColor(LPCHOOSECOLORW dialog)
{
    ++script.colorCalls;
    script.color = *dialog;
    std::memcpy(script.customSeen, dialog->lpCustColors, sizeof script.customSeen);
    dialog->lpCustColors[5] = RGB(5, 5, 5) + static_cast<COLORREF>(script.colorCalls);
    if (!script.accept) return FALSE;
    dialog->rgbResult = script.colorAnswer;
    return TRUE;
}

class SettingsPageTest : public ::testing::Test {
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
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        settingsPageDialogs = {fakeChooseFont, fakeChooseColor};
    }

    void SetUp() override
    {
        static std::atomic<unsigned> serial{0};
        std::random_device random;
        root_ = fs::temp_directory_path() /
                ("mivora-settings-" + std::to_string(random()) + "-" + std::to_string(serial++));
        fs::create_directories(root_ / "dic");

        Settings = {};
        applyDefaultSettings(Settings, 1280);
        Settings.autoSwitch = 0;
        Settings.sampleBackground = 0;
        Settings.windowX = 200;
        Settings.windowY = 150;
        Settings.backgroundColor = kBackground;
        copyBounded(Settings.dictionaryName, u"words");
        script = {};

        wordStore.setDirectory(root_ / "dic");
        for (const WordEntry& entry : wordStore.entries(WordList::learning)) wordStore.setRemembered(entry, true);
        for (const WordEntry& entry : wordStore.entries(WordList::remembered)) wordStore.deleteRemembered(entry.word);

        host_ = CreateWindowExW(0, kPlainClass, L"host", WS_POPUP, 400, 300, 600, 500, nullptr, nullptr,
                                appInstance, nullptr);
    }

    void TearDown() override
    {
        if (page_ != nullptr) DestroyWindow(page_);
        page_ = nullptr;
        if (wordWindow != nullptr) DestroyWindow(wordWindow);
        wordWindow = nullptr;
        waitForWordLoads(10000);
        if (host_ != nullptr) DestroyWindow(host_);
        pump(0);
        wordStore.setDirectory({});
        std::error_code error;
        fs::remove_all(root_, error);
    }

    void writeDictionary(const std::u16string& lines)
    {
        std::ofstream out(root_ / "dic" / "words.txt", std::ios::binary);
        for (char16_t unit : lines) {
            out.put(static_cast<char>(unit & 0xFF));
            out.put(static_cast<char>(unit >> 8));
        }
    }

    // The word window as the shell makes it, its start-up load done.
    void startWordWindow()
    {
        writeDictionary(u"one||1\r\ntwo||2\r\nthree||3\r\nfour||4\r\nfive||5\r\n");
        wordStore.setCycleSize(Settings.cycleSize);
        wordWindow = createWordWindow(appInstance);
        ASSERT_NE(wordWindow, nullptr);
        waitForWordLoads(10000);
        pump(50);
        ASSERT_EQ(shownWord(), L"two");
    }

    void openPage()
    {
        page_ = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_SETTINGS_PAGE), host_, settingsPageProc, 0);
        ASSERT_NE(page_, nullptr) << "settings page template " << IDD_SETTINGS_PAGE << " is not linked in";
        ShowWindow(page_, SW_SHOW);
        pump(20);
    }

    HWND item(int id) const { return GetDlgItem(page_, id); }
    void click(int id) { SendMessageW(item(id), BM_CLICK, 0, 0); }
    bool ticked(int id) const { return IsDlgButtonChecked(page_, id) == BST_CHECKED; }
    // What typing into an edit amounts to: its text changes, it reports
    // EN_CHANGE.
    void type(int id, const wchar_t* text) { SetWindowTextW(item(id), text); }

    // Whether a timer of the word window runs; asking stops it.
    static bool stopTimer(UINT_PTR id) { return KillTimer(wordWindow, id) != FALSE; }

    static DWORD layeredFlags(COLORREF* key = nullptr)
    {
        COLORREF k = 0;
        BYTE alpha = 0;
        DWORD flags = 0;
        EXPECT_TRUE(GetLayeredWindowAttributes(wordWindow, &k, &alpha, &flags));
        EXPECT_EQ(alpha, 250);
        if (key != nullptr) *key = k;
        return flags;
    }

    fs::path root_;
    HWND host_ = nullptr;
    HWND page_ = nullptr;
};

TEST(SwitchTimerPeriod, StaysBetweenOneSecondAndThePlatformMaximum)
{
    EXPECT_EQ(switchTimerPeriodMs(0), 1000u);
    EXPECT_EQ(switchTimerPeriodMs(1), 1000u);
    EXPECT_EQ(switchTimerPeriodMs(10), 10000u);
    EXPECT_EQ(switchTimerPeriodMs(2147483), 2147483000u);
    // One more second no longer fits the platform's maximum period.
    EXPECT_EQ(switchTimerPeriodMs(2147484), static_cast<UINT>(USER_TIMER_MAXIMUM));
    EXPECT_EQ(switchTimerPeriodMs(4294968), static_cast<UINT>(USER_TIMER_MAXIMUM));  // the product would wrap to 704
    EXPECT_EQ(switchTimerPeriodMs(INT32_MAX), static_cast<UINT>(USER_TIMER_MAXIMUM));
    // Stored by the page as unsigned: 4294967295 seconds, not -1.
    EXPECT_EQ(switchTimerPeriodMs(-1), static_cast<UINT>(USER_TIMER_MAXIMUM));
}

TEST_F(SettingsPageTest, OpeningFillsEveryControlFromTheSettings)
{
    Settings.autoStart = 1;
    Settings.transparentBackground = 1;
    Settings.titleBarMode = 0;
    Settings.sampleBackground = 1;
    Settings.switchSeconds = 7;
    Settings.cycleSize = 4;
    Settings.wordColor = RGB(1, 2, 3);
    startWordWindow();
    openPage();

    EXPECT_EQ(windowText(item(IDC_SETTINGS_BACKGROUND_COLOR)), L"16777215");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_WORD_COLOR)), L"197121");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_PHONETIC_COLOR)), std::to_wstring(Settings.phoneticColor));
    EXPECT_EQ(windowText(item(IDC_SETTINGS_CONTENT_COLOR)), std::to_wstring(Settings.contentColor));
    EXPECT_EQ(windowText(item(IDC_SETTINGS_SWITCH_SECONDS)), L"7");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_CYCLE_SIZE)), L"4");
    EXPECT_TRUE(ticked(IDC_SETTINGS_AUTO_START));
    EXPECT_FALSE(ticked(IDC_SETTINGS_AUTO_SWITCH));
    EXPECT_TRUE(ticked(IDC_SETTINGS_TRANSPARENT));
    EXPECT_TRUE(ticked(IDC_SETTINGS_SAMPLE_BACKGROUND));
    EXPECT_FALSE(ticked(IDC_SETTINGS_TITLE_BAR_MODE));
    EXPECT_EQ(windowText(item(IDC_SETTINGS_FONT)), L"字体：Arial,-16");
    // Switching is off: the seconds cannot be edited, and nothing switches.
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SETTINGS_SWITCH_SECONDS)));
    EXPECT_FALSE(stopTimer(TIMER_SWITCH));
    // Opening changes no setting.
    EXPECT_EQ(Settings.switchSeconds, 7);
    EXPECT_EQ(Settings.cycleSize, 4);
    EXPECT_EQ(Settings.autoSwitch, 0);
}

TEST_F(SettingsPageTest, OpeningRestartsTheSwitchPeriod)
{
    Settings.autoSwitch = 1;
    Settings.switchSeconds = 2;
    startWordWindow();
    // A switch due in about a third of a second...
    SetTimer(wordWindow, TIMER_SWITCH, 1000, nullptr);
    pump(700);
    ASSERT_EQ(shownWord(), L"two");
    // ...comes a full period after the page appeared instead.
    openPage();
    EXPECT_TRUE(IsWindowEnabled(item(IDC_SETTINGS_SWITCH_SECONDS)));
    const ULONGLONG opened = GetTickCount64();
    ASSERT_TRUE(pumpUntil([] { return shownWord() != L"two"; }, 10000));
    EXPECT_GE(GetTickCount64() - opened, 1900u);
    EXPECT_EQ(shownWord(), L"three");
}

TEST_F(SettingsPageTest, AutoSwitchBoxStartsAndStopsSwitchingAndEnablesTheSeconds)
{
    Settings.switchSeconds = 1;
    startWordWindow();
    openPage();
    click(IDC_SETTINGS_AUTO_SWITCH);
    EXPECT_EQ(Settings.autoSwitch, 1);
    EXPECT_TRUE(IsWindowEnabled(item(IDC_SETTINGS_SWITCH_SECONDS)));
    ASSERT_TRUE(pumpUntil([] { return shownWord() == L"three"; }, 10000));

    click(IDC_SETTINGS_AUTO_SWITCH);
    EXPECT_EQ(Settings.autoSwitch, 0);
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SETTINGS_SWITCH_SECONDS)));
    EXPECT_FALSE(stopTimer(TIMER_SWITCH));
}

TEST_F(SettingsPageTest, AClearedSecondsFieldSwitchesOncePerSecondNotContinuously)
{
    Settings.autoSwitch = 1;
    Settings.switchSeconds = 30;
    startWordWindow();
    openPage();
    type(IDC_SETTINGS_SWITCH_SECONDS, L"");
    EXPECT_EQ(Settings.switchSeconds, 0);  // stored as typed
    // Without the lower bound the word would change every ~10 ms here.
    const ULONGLONG cleared = GetTickCount64();
    pump(600);
    EXPECT_EQ(shownWord(), L"two");
    ASSERT_TRUE(pumpUntil([] { return shownWord() != L"two"; }, 10000));
    EXPECT_GE(GetTickCount64() - cleared, 950u);
    EXPECT_EQ(shownWord(), L"three");

    type(IDC_SETTINGS_SWITCH_SECONDS, L"12");
    EXPECT_EQ(Settings.switchSeconds, 12);
    EXPECT_TRUE(stopTimer(TIMER_SWITCH));
    // Typing while switching is off stores the number and starts nothing.
    Settings.autoSwitch = 0;
    type(IDC_SETTINGS_SWITCH_SECONDS, L"5");
    EXPECT_EQ(Settings.switchSeconds, 5);
    EXPECT_FALSE(stopTimer(TIMER_SWITCH));
}

TEST_F(SettingsPageTest, TheNumberFieldsTakeNoMoreThanNineDigits)
{
    startWordWindow();
    openPage();
    EXPECT_EQ(SendMessageW(item(IDC_SETTINGS_SWITCH_SECONDS), EM_GETLIMITTEXT, 0, 0), 9);
    EXPECT_EQ(SendMessageW(item(IDC_SETTINGS_CYCLE_SIZE), EM_GETLIMITTEXT, 0, 0), 9);
}

TEST_F(SettingsPageTest, CycleSizeReachesTheStoreAtOnce)
{
    Settings.cycleSize = 3;
    startWordWindow();
    openPage();
    EXPECT_EQ(wordStore.cycleEndWord(), u"three");
    type(IDC_SETTINGS_CYCLE_SIZE, L"2");
    EXPECT_EQ(Settings.cycleSize, 2);
    EXPECT_EQ(wordStore.cycleEndWord(), u"two");
    type(IDC_SETTINGS_CYCLE_SIZE, L"");  // 0: the whole learning list
    EXPECT_EQ(Settings.cycleSize, 0);
    EXPECT_EQ(wordStore.cycleEndWord(), u"five");
}

TEST_F(SettingsPageTest, AutoStartBoxChangesOnlyItsField)
{
    startWordWindow();
    openPage();
    const SettingsRecord before = Settings;
    click(IDC_SETTINGS_AUTO_START);
    EXPECT_EQ(Settings.autoStart, 1);
    SettingsRecord expected = before;
    expected.autoStart = 1;
    EXPECT_EQ(std::memcmp(&Settings, &expected, sizeof expected), 0);
    click(IDC_SETTINGS_AUTO_START);
    EXPECT_EQ(Settings.autoStart, 0);
}

TEST_F(SettingsPageTest, TitleBarModeHidesTheWindowAndLeavingLaysItOutWithoutAdvancing)
{
    startWordWindow();
    openPage();
    stopTimer(TIMER_PROBE);  // the one creation armed
    click(IDC_SETTINGS_TITLE_BAR_MODE);
    EXPECT_EQ(Settings.titleBarMode, 1);
    EXPECT_FALSE(IsWindowVisible(wordWindow));
    EXPECT_TRUE(stopTimer(TIMER_PROBE));
    EXPECT_TRUE(stopTimer(TIMER_TITLE));

    SetTimer(wordWindow, TIMER_TITLE, 3000, nullptr);
    // Resized behind the window's back while hidden: leaving must lay out.
    SetWindowPos(wordWindow, nullptr, 0, 0, 3, 3, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    click(IDC_SETTINGS_TITLE_BAR_MODE);
    EXPECT_EQ(Settings.titleBarMode, 0);
    EXPECT_TRUE(IsWindowVisible(wordWindow));
    EXPECT_FALSE(stopTimer(TIMER_TITLE));
    EXPECT_EQ(shownWord(), L"two");
    RECT frame{};
    GetWindowRect(wordWindow, &frame);
    EXPECT_EQ(frame.right - frame.left, Settings.windowWidth);
    EXPECT_EQ(frame.bottom - frame.top, Settings.windowHeight);
    EXPECT_GT(Settings.windowWidth, 3);
    // The sheet keeps the keyboard: showing the word window did not
    // activate it.
    EXPECT_NE(GetActiveWindow(), wordWindow);
}

TEST_F(SettingsPageTest, TransparentBoxMakesTheBackgroundColourTheKey)
{
    Settings.backgroundColor = RGB(10, 20, 30);
    startWordWindow();
    openPage();
    EXPECT_EQ(layeredFlags(), static_cast<DWORD>(LWA_ALPHA));
    click(IDC_SETTINGS_TRANSPARENT);
    EXPECT_EQ(Settings.transparentBackground, 1);
    COLORREF key = 0;
    EXPECT_EQ(layeredFlags(&key), static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(key, RGB(10, 20, 30));
    click(IDC_SETTINGS_TRANSPARENT);
    EXPECT_EQ(Settings.transparentBackground, 0);
    EXPECT_EQ(layeredFlags(), static_cast<DWORD>(LWA_ALPHA));
}

TEST_F(SettingsPageTest, SamplingBoxArmsTheProbeAndShowsTheCurrentBackground)
{
    startWordWindow();
    openPage();
    stopTimer(TIMER_PROBE);
    Settings.backgroundColor = RGB(40, 50, 60);  // as a probe would have left it
    click(IDC_SETTINGS_SAMPLE_BACKGROUND);
    EXPECT_EQ(Settings.sampleBackground, 1);
    EXPECT_TRUE(stopTimer(TIMER_PROBE));
    EXPECT_EQ(windowText(item(IDC_SETTINGS_BACKGROUND_COLOR)), std::to_wstring(RGB(40, 50, 60)));

    click(IDC_SETTINGS_SAMPLE_BACKGROUND);
    EXPECT_EQ(Settings.sampleBackground, 0);
    EXPECT_FALSE(stopTimer(TIMER_PROBE));
}

TEST_F(SettingsPageTest, ChosenFontReplacesTheWordFontAndAdvances)
{
    startWordWindow();
    openPage();
    const HFONT before = wordFont;
    script.fontAnswer = logFont(Settings.font);
    std::wcscpy(script.fontAnswer.lfFaceName, L"Courier New");
    script.fontAnswer.lfHeight = -20;
    script.fontAnswer.lfItalic = 1;
    click(IDC_SETTINGS_FONT);

    ASSERT_EQ(script.fontCalls, 1);
    EXPECT_EQ(script.font.hwndOwner, page_);
    EXPECT_EQ(script.font.Flags, static_cast<DWORD>(0x141));
    EXPECT_EQ(script.font.nFontType, SCREEN_FONTTYPE);
    EXPECT_STREQ(script.fontSeen.lfFaceName, L"Arial");
    EXPECT_EQ(script.fontSeen.lfHeight, -16);

    EXPECT_EQ(faceOf(Settings.font), L"Courier New");
    EXPECT_EQ(Settings.font.lfHeight, -20);
    EXPECT_EQ(Settings.font.lfItalic, 1);
    ASSERT_NE(wordFont, before);
    EXPECT_EQ(GetObjectType(before), 0u) << "the old font was not deleted";
    LOGFONTW made{};
    ASSERT_NE(GetObjectW(wordFont, sizeof made, &made), 0);
    EXPECT_STREQ(made.lfFaceName, L"Courier New");
    EXPECT_EQ(made.lfHeight, -20);
    EXPECT_EQ(windowText(item(IDC_SETTINGS_FONT)), L"字体：Courier New,-20");
    // The next word, measured in the new font.
    EXPECT_EQ(shownWord(), L"three");
    const WordEntry entry = wordStore.currentEntry();
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, wordFont);
    SIZE word{};
    GetTextExtentPoint32W(dc, L"three", 5, &word);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(wordExtent.cx, word.cx);
    (void)entry;
}

TEST_F(SettingsPageTest, CancelledFontDialogChangesNothing)
{
    startWordWindow();
    openPage();
    const HFONT before = wordFont;
    const SettingsRecord settingsBefore = Settings;
    script.accept = false;
    script.fontAnswer = logFont(Settings.font);
    std::wcscpy(script.fontAnswer.lfFaceName, L"Courier New");
    click(IDC_SETTINGS_FONT);
    ASSERT_EQ(script.fontCalls, 1);
    EXPECT_EQ(std::memcmp(&Settings, &settingsBefore, sizeof Settings), 0);
    EXPECT_EQ(wordFont, before);
    EXPECT_EQ(shownWord(), L"two");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_FONT)), L"字体：Arial,-16");
}

TEST_F(SettingsPageTest, TextColoursAreStoredShownOnTheButtonAndRepainted)
{
    startWordWindow();
    openPage();
    struct Case {
        int id;
        std::uint32_t SettingsRecord::*field;
    };
    const Case cases[] = {{IDC_SETTINGS_WORD_COLOR, &SettingsRecord::wordColor},
                          {IDC_SETTINGS_PHONETIC_COLOR, &SettingsRecord::phoneticColor},
                          {IDC_SETTINGS_CONTENT_COLOR, &SettingsRecord::contentColor}};
    COLORREF answer = RGB(1, 2, 3);
    for (const Case& c : cases) {
        const COLORREF before = Settings.*c.field;
        script.colorAnswer = answer;
        ValidateRect(wordWindow, nullptr);
        click(c.id);
        EXPECT_EQ(script.color.rgbResult, before) << "the dialog opens on the button's colour";
        EXPECT_EQ(script.color.hwndOwner, page_);
        EXPECT_EQ(script.color.Flags, static_cast<DWORD>(0x183));
        EXPECT_EQ(script.color.lpCustColors, customColors);
        EXPECT_EQ(Settings.*c.field, answer);
        EXPECT_EQ(windowText(item(c.id)), std::to_wstring(answer));
        EXPECT_TRUE(GetUpdateRect(wordWindow, nullptr, FALSE)) << "the word window repaints";
        answer += RGB(1, 1, 1);
    }
    // Cancelled: nothing changes.
    script.accept = false;
    const COLORREF kept = Settings.wordColor;
    click(IDC_SETTINGS_WORD_COLOR);
    EXPECT_EQ(Settings.wordColor, kept);
    EXPECT_EQ(windowText(item(IDC_SETTINGS_WORD_COLOR)), std::to_wstring(kept));
}

TEST_F(SettingsPageTest, ChosenBackgroundReplacesTheBrushStopsSamplingAndBecomesTheKey)
{
    Settings.sampleBackground = 1;
    Settings.transparentBackground = 1;
    startWordWindow();
    openPage();
    ASSERT_TRUE(ticked(IDC_SETTINGS_SAMPLE_BACKGROUND));
    const HBRUSH before = backgroundBrush;
    script.colorAnswer = RGB(90, 80, 70);
    click(IDC_SETTINGS_BACKGROUND_COLOR);

    EXPECT_EQ(script.color.rgbResult, kBackground);
    EXPECT_EQ(Settings.backgroundColor, RGB(90, 80, 70));
    EXPECT_EQ(windowText(item(IDC_SETTINGS_BACKGROUND_COLOR)), std::to_wstring(RGB(90, 80, 70)));
    EXPECT_EQ(Settings.sampleBackground, 0);
    EXPECT_FALSE(ticked(IDC_SETTINGS_SAMPLE_BACKGROUND)) << "the page shows that sampling is off";
    ASSERT_NE(backgroundBrush, before);
    EXPECT_EQ(GetObjectType(before), 0u) << "the old brush was not deleted";
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(wordWindow, GCLP_HBRBACKGROUND)), backgroundBrush);
    LOGBRUSH brush{};
    ASSERT_NE(GetObjectW(backgroundBrush, sizeof brush, &brush), 0);
    EXPECT_EQ(brush.lbColor, RGB(90, 80, 70));
    COLORREF key = 0;
    EXPECT_EQ(layeredFlags(&key), static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(key, RGB(90, 80, 70));
}

TEST_F(SettingsPageTest, CustomColoursAreKeptFromOneOpeningToTheNext)
{
    startWordWindow();
    openPage();
    script.colorAnswer = RGB(1, 1, 1);
    click(IDC_SETTINGS_CONTENT_COLOR);  // the dialog defines custom colour 5
    const COLORREF defined = script.color.lpCustColors[5];
    DestroyWindow(page_);
    openPage();
    click(IDC_SETTINGS_WORD_COLOR);
    ASSERT_EQ(script.colorCalls, 2);
    EXPECT_EQ(script.customSeen[5], defined);
}

// The colour button as the system asks for it, drawn into a bitmap.
class ButtonPicture {
public:
    ButtonPicture(HWND button, UINT state)
    {
        RECT r{};
        GetClientRect(button, &r);
        width_ = r.right;
        height_ = r.bottom;
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, width_, height_);
        ReleaseDC(nullptr, screen);
        previousBitmap_ = SelectObject(dc_, bitmap_);
        previousFont_ = SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc_, &r, red);  // anything left unpainted shows as magenta
        DeleteObject(red);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(GetDlgCtrlID(button));
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = button;
        item.hDC = dc_;
        item.rcItem = r;
        SendMessageW(GetParent(button), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    }
    ~ButtonPicture()
    {
        SelectObject(dc_, previousFont_);
        SelectObject(dc_, previousBitmap_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    ButtonPicture(const ButtonPicture&) = delete;
    ButtonPicture& operator=(const ButtonPicture&) = delete;

    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    HGDIOBJ previousFont_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

TEST_F(SettingsPageTest, ColourButtonDrawsItsSwatchWhichMovesWhenPressedWhileTheCaptionStays)
{
    constexpr COLORREF kSwatch = RGB(200, 30, 40);
    Settings.wordColor = kSwatch;
    startWordWindow();
    openPage();
    HWND button = item(IDC_SETTINGS_WORD_COLOR);
    const ButtonPicture normal(button, 0);
    const ButtonPicture pressed(button, ODS_SELECTED);
    const int w = normal.width();
    const int h = normal.height();
    ASSERT_GT(w, 20);
    ASSERT_GT(h, 10);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);

    // The swatch fills the right half inside a sunken frame: from
    // (w/2 + 1, 3) to (w - 4, h - 4), one pixel further right and down when
    // pressed.
    EXPECT_EQ(normal.at(w / 2 + 1, 3), kSwatch);
    EXPECT_EQ(normal.at(w - 4, h - 4), kSwatch);
    EXPECT_NE(normal.at(w - 3, h - 3), kSwatch);
    EXPECT_NE(normal.at(w / 2, 3), kSwatch);  // the frame
    EXPECT_NE(pressed.at(w / 2 + 1, 3), kSwatch);
    EXPECT_EQ(pressed.at(w / 2 + 2, 4), kSwatch);
    EXPECT_EQ(pressed.at(w - 3, h - 3), kSwatch);
    EXPECT_NE(normal.at(w / 2 - 4, h / 2), RGB(255, 0, 255)) << "the face is painted";

    // The caption: drawn on the left half, and in the same pixels whether
    // pressed or not (the button's own edges are left out).
    int captionPixels = 0;
    int moved = 0;
    for (int y = 3; y < h - 3; ++y)
        for (int x = 3; x < w / 2 - 1; ++x) {
            if (normal.at(x, y) != face) ++captionPixels;
            if (normal.at(x, y) != pressed.at(x, y)) ++moved;
        }
    EXPECT_GT(captionPixels, 10);
    EXPECT_EQ(moved, 0);

    // The focus rectangle, 2 pixels in from the edges.
    const ButtonPicture focused(button, ODS_FOCUS);
    int focusPixels = 0;
    for (int x = 2; x < w / 2; ++x)
        if (focused.at(x, 2) != normal.at(x, 2)) ++focusPixels;
    EXPECT_GT(focusPixels, 3);
}

// --- The sheet --------------------------------------------------------------

fs::path settingsFileIn(const fs::path& directory)
{
    return directory / L"mivora.bin";
}

std::int32_t fileInt(const fs::path& file, std::size_t offset)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::int32_t value = INT32_MIN;
    if (bytes.size() >= offset + 4) std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

constexpr std::size_t kTransparentOffset = 8;

// What a timer found while the sheet was open.
struct SheetVisit {
    int button = PSBTN_CANCEL;
    bool done = false;
    HWND sheet = nullptr;
    bool openSheetWasSheet = false;
    std::wstring caption;
    int startPage = -1;
    bool applyShown = true;
    bool helpShown = true;
    bool contextHelp = true;
    bool ownerTopmost = false;
    HICON icon = nullptr;
    std::vector<std::wstring> clipped;  // controls not shown whole
    int pagesSeen = 0;
    std::function<void(HWND)> onSettingsPage;
};
SheetVisit visit;

bool shownAndVisible(HWND window)
{
    return window != nullptr && IsWindowVisible(window);
}

RECT screenRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

bool inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Every visible control of the current page lies within the sheet's page
// area (and so within the sheet).
void checkCurrentPage(HWND sheet, int index)
{
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    if (page == nullptr) {
        visit.clipped.push_back(L"page " + std::to_wstring(index) + L" missing");
        return;
    }
    ++visit.pagesSeen;
    HWND tab = PropSheet_GetTabControl(sheet);
    RECT area{};
    GetClientRect(tab, &area);
    TabCtrl_AdjustRect(tab, FALSE, &area);
    MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&area), 2);
    RECT client{};
    GetClientRect(sheet, &client);
    MapWindowPoints(sheet, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const RECT pageRect = screenRect(page);
    if (!EqualRect(&pageRect, &area)) visit.clipped.push_back(L"page " + std::to_wstring(index) + L" does not fill the page area");
    for (HWND control = GetWindow(page, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control)) continue;
        const RECT r = screenRect(control);
        if (!inside(r, area) || !inside(r, client)) {
            wchar_t name[64] = {};
            GetWindowTextW(control, name, 64);
            visit.clipped.push_back(L"page " + std::to_wstring(index) + L" control " +
                                    std::to_wstring(GetDlgCtrlID(control)) + L" \"" + name + L"\"");
        }
    }
}

void CALLBACK visitOpenSheet(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (visit.done || openSheet == nullptr) return;
    visit.done = true;
    KillTimer(nullptr, timer);
    HWND sheet = openSheet;
    visit.sheet = sheet;
    visit.openSheetWasSheet = IsWindow(sheet) && GetWindow(sheet, GW_OWNER) == ownerWindow;
    wchar_t caption[64] = {};
    GetWindowTextW(sheet, caption, 64);
    visit.caption = caption;
    visit.startPage = PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
    visit.applyShown = shownAndVisible(GetDlgItem(sheet, 0x3021));
    visit.helpShown = shownAndVisible(GetDlgItem(sheet, IDHELP));
    visit.contextHelp = (GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0;
    visit.ownerTopmost = (GetWindowLongPtrW(ownerWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    visit.icon = reinterpret_cast<HICON>(SendMessageW(sheet, WM_GETICON, ICON_SMALL, 0));
    if (visit.onSettingsPage) {
        PropSheet_SetCurSel(sheet, nullptr, 0);
        visit.onSettingsPage(PropSheet_GetCurrentPageHwnd(sheet));
    } else {
        for (int index = 0; index < 3; ++index) {
            PropSheet_SetCurSel(sheet, nullptr, index);
            checkCurrentPage(sheet, index);
        }
    }
    PropSheet_PressButton(sheet, visit.button);
}

class OptionsSheetTest : public SettingsPageTest {
protected:
    void SetUp() override
    {
        SettingsPageTest::SetUp();
        // The settings file lives in a scratch program folder.
        const std::u16string dir = root_.u16string() + u"\\";
        ASSERT_LT(dir.size(), kPathUnits);
        std::memset(programDir, 0, sizeof programDir);
        std::memcpy(programDir, dir.data(), dir.size() * sizeof(char16_t));
        ownerWindow = host_;
        trayIcon = static_cast<HICON>(LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_MIVORA), IMAGE_ICON, 16, 16, 0));
        maximizedWidth = 1280;
        maximizedHeight = 800;
        visit = SheetVisit{};
    }
    void TearDown() override
    {
        SetWindowPos(host_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (trayIcon != nullptr) DestroyIcon(trayIcon);
        trayIcon = nullptr;
        ownerWindow = nullptr;
        std::memset(programDir, 0, sizeof programDir);
        SettingsPageTest::TearDown();
    }

    void writeSettingsFile()
    {
        std::ofstream out(settingsFileIn(root_), std::ios::binary);
        out.write(reinterpret_cast<const char*>(&Settings), sizeof Settings);
    }

    void runSheet(int startPage, int button)
    {
        visit.button = button;
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, visitOpenSheet);
        ASSERT_NE(timer, 0u);
        openOptionsSheet(host_, startPage);
        KillTimer(nullptr, timer);
        ASSERT_TRUE(visit.done) << "the sheet never showed";
    }
};

TEST_F(OptionsSheetTest, SheetHasItsCaptionIconNoApplyNoHelpAndShowsEveryPageWhole)
{
    startWordWindow();
    runSheet(0, PSBTN_CANCEL);
    EXPECT_TRUE(visit.openSheetWasSheet);
    EXPECT_EQ(visit.caption, L"Mivora");
    EXPECT_EQ(visit.startPage, 0);
    EXPECT_FALSE(visit.applyShown);
    EXPECT_FALSE(visit.helpShown);
    EXPECT_FALSE(visit.contextHelp);
    EXPECT_TRUE(visit.ownerTopmost);
    EXPECT_EQ(visit.icon, trayIcon);
    EXPECT_EQ(visit.pagesSeen, 3);
    for (const std::wstring& control : visit.clipped) ADD_FAILURE() << "clipped: " << std::string(control.begin(), control.end());
    EXPECT_EQ(openSheet, nullptr);
    RECT owner = screenRect(host_);
    EXPECT_EQ(owner.left, 1280 / 2 - 300);
    EXPECT_EQ(owner.top, 800 / 2 - 200);
}

TEST_F(OptionsSheetTest, OpenedOnTheAboutPageEveryPageIsShownWholeToo)
{
    startWordWindow();
    runSheet(2, PSBTN_CANCEL);
    EXPECT_EQ(visit.startPage, 2);
    EXPECT_EQ(visit.pagesSeen, 3);
    for (const std::wstring& control : visit.clipped) ADD_FAILURE() << "clipped: " << std::string(control.begin(), control.end());
}

TEST_F(OptionsSheetTest, CancelKeepsThePagesChangesInMemoryAndWritesNothing)
{
    startWordWindow();
    writeSettingsFile();
    visit.onSettingsPage = [](HWND page) { SendMessageW(GetDlgItem(page, IDC_SETTINGS_TRANSPARENT), BM_CLICK, 0, 0); };
    runSheet(0, PSBTN_CANCEL);
    EXPECT_EQ(Settings.transparentBackground, 1);
    EXPECT_EQ(layeredFlags(), static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(fileInt(settingsFileIn(root_), kTransparentOffset), 0);
    EXPECT_EQ(openSheet, nullptr);
}

TEST_F(OptionsSheetTest, OkWritesTheSettingsFile)
{
    startWordWindow();
    writeSettingsFile();
    visit.onSettingsPage = [](HWND page) { SendMessageW(GetDlgItem(page, IDC_SETTINGS_TRANSPARENT), BM_CLICK, 0, 0); };
    runSheet(0, PSBTN_OK);
    EXPECT_EQ(Settings.transparentBackground, 1);
    EXPECT_EQ(fileInt(settingsFileIn(root_), kTransparentOffset), 1);
    EXPECT_EQ(openSheet, nullptr);
}

}  // namespace
