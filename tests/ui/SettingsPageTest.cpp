// The settings page and the options sheet in-process: the real page from its
// template bound to the real word window, driven with the messages a click or
// a keystroke sends; the real sheet opened modally and inspected from a timer.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "WordWindowFixture.h"
#include "res/resource.h"
#include "ui/CommonControls.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"

namespace {

using namespace uitest;

// Whether a timer of the word window runs; asking stops it.
bool stopTimer(UINT_PTR id)
{
    return KillTimer(wordWindow, id) != FALSE;
}

DWORD layeredFlags(COLORREF* key = nullptr)
{
    COLORREF k = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(wordWindow, &k, &alpha, &flags);
    if (key != nullptr) *key = k;
    return alpha == 250 ? flags : 0;
}

// Stand-ins for the common dialogs: what they were given, what they answer.
struct DialogScript {
    bool accept = true;
    CHOOSEFONTW font{};
    LOGFONTW fontAnswer{};
    int colorCalls = 0;
    CHOOSECOLORW color{};
    COLORREF colorAnswer = 0;
    COLORREF customSeen = 0;
} script;

BOOL WINAPI fakeChooseFont(LPCHOOSEFONTW dialog)
{
    script.font = *dialog;
    *dialog->lpLogFont = script.fontAnswer;  // written even when cancelled
    return script.accept;
}

BOOL WINAPI fakeChooseColor(LPCHOOSECOLORW dialog)
{
    script.color = *dialog;
    script.customSeen = dialog->lpCustColors[5];
    dialog->lpCustColors[5] = RGB(5, 5, ++script.colorCalls);  // the user defines a custom colour
    dialog->rgbResult = script.colorAnswer;
    return script.accept;
}

class SettingsPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registerWordWindowClass();
        registerPlainClass();
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        options.dialogs = {fakeChooseFont, fakeChooseColor};
    }

    void SetUp() override
    {
        root_ = makeScratchFolder("mivora-settings");
        writeDictionary(root_ / "dic" / "words.txt", {u"one||1", u"two||2", u"three||3", u"four||4", u"five||5"});
        resetSettings();
        Settings.windowX = 200;
        Settings.windowY = 150;
        script = {};
        options.dpis = {};
        host_ = CreateWindowExW(0, kPlainClass, L"host", WS_POPUP, 400, 300, 600, 500, nullptr, nullptr, appInstance,
                                nullptr);
    }

    void TearDown() override
    {
        if (page_ != nullptr) DestroyWindow(page_);
        closeWordWindow();
        DestroyWindow(host_);
        removeScratchFolder(root_);
    }

    // The word window as the shell makes it, showing "two" after its load.
    void startWordWindow()
    {
        wordStore.setCycleSize(Settings.cycleSize);
        uitest::startWordWindow();
        ASSERT_EQ(shownWord(), L"two");
    }

    void openPage()
    {
        if (page_ != nullptr) DestroyWindow(page_);
        page_ = makeOptionsPage(kSettingsPage, host_);
        ASSERT_NE(page_, nullptr);
    }

    HWND item(int id) const { return GetDlgItem(page_, id); }
    void click(int id) { SendMessageW(item(id), BM_CLICK, 0, 0); }
    bool ticked(int id) const { return IsDlgButtonChecked(page_, id) == BST_CHECKED; }
    // What typing amounts to: the edit's text changes and it reports EN_CHANGE.
    void type(int id, const wchar_t* text) { SetWindowTextW(item(id), text); }

    fs::path root_;
    HWND host_ = nullptr;
    HWND page_ = nullptr;
};

TEST(SwitchTimerPeriod, StaysBetweenOneSecondAndThePlatformMaximum)
{
    EXPECT_EQ(switchTimerPeriodMs(0), 1000u);
    EXPECT_EQ(switchTimerPeriodMs(10), 10000u);
    EXPECT_EQ(switchTimerPeriodMs(2147483), 2147483000u);
    EXPECT_EQ(switchTimerPeriodMs(2147484), static_cast<UINT>(USER_TIMER_MAXIMUM));
    EXPECT_EQ(switchTimerPeriodMs(4294968), static_cast<UINT>(USER_TIMER_MAXIMUM));  // the product wraps to 704
    EXPECT_EQ(switchTimerPeriodMs(-1), static_cast<UINT>(USER_TIMER_MAXIMUM));       // stored unsigned: 4294967295 s
}

TEST_F(SettingsPageTest, OpeningShowsTheSettingsAndChangesNone)
{
    Settings.autoStart = 1;
    Settings.transparentBackground = 1;
    Settings.switchSeconds = 7;
    Settings.wordColor = RGB(1, 2, 3);
    startWordWindow();
    const SettingsRecord before = Settings;
    openPage();
    EXPECT_EQ(windowText(item(IDC_SETTINGS_BACKGROUND_COLOR)), L"16777215");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_WORD_COLOR)), L"197121");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_SWITCH_SECONDS)), L"7");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_CYCLE_SIZE)), L"15");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_FONT)), L"字体：Arial,-16");
    EXPECT_TRUE(ticked(IDC_SETTINGS_AUTO_START) && ticked(IDC_SETTINGS_TRANSPARENT));
    EXPECT_FALSE(ticked(IDC_SETTINGS_AUTO_SWITCH) || ticked(IDC_SETTINGS_SAMPLE_BACKGROUND) ||
                 ticked(IDC_SETTINGS_TITLE_BAR_MODE));
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SETTINGS_SWITCH_SECONDS)));
    EXPECT_FALSE(stopTimer(TIMER_SWITCH));
    EXPECT_EQ(std::memcmp(&Settings, &before, sizeof before), 0);
    EXPECT_EQ(SendMessageW(item(IDC_SETTINGS_SWITCH_SECONDS), EM_GETLIMITTEXT, 0, 0), 9);
}

TEST_F(SettingsPageTest, OpeningRestartsTheSwitchPeriod)
{
    Settings.autoSwitch = 1;
    Settings.switchSeconds = 2;
    startWordWindow();
    SetTimer(wordWindow, TIMER_SWITCH, 1000, nullptr);  // a switch is due in a second...
    openPage();
    // ...but the page starts a full period of two seconds afresh.
    EXPECT_FALSE(wordChangesBefore(1500));
    ASSERT_TRUE(pumpUntil([] { return shownWord() != L"two"; }, 30000));
}

TEST_F(SettingsPageTest, SwitchingControlsDriveTheTimerAndTheCycle)
{
    Settings.switchSeconds = 30;
    Settings.cycleSize = 3;
    startWordWindow();
    openPage();
    click(IDC_SETTINGS_AUTO_SWITCH);
    EXPECT_EQ(Settings.autoSwitch, 1);
    EXPECT_TRUE(IsWindowEnabled(item(IDC_SETTINGS_SWITCH_SECONDS)));
    type(IDC_SETTINGS_SWITCH_SECONDS, L"");
    EXPECT_EQ(Settings.switchSeconds, 0);  // stored as typed...
    // ...but switched every second, not at the platform's 10 ms minimum.
    EXPECT_FALSE(wordChangesBefore(500));
    ASSERT_TRUE(pumpUntil([] { return shownWord() != L"two"; }, 30000));

    click(IDC_SETTINGS_AUTO_SWITCH);
    EXPECT_EQ(Settings.autoSwitch, 0);
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SETTINGS_SWITCH_SECONDS)));
    EXPECT_FALSE(stopTimer(TIMER_SWITCH));

    // The store keeps its own cycle size; the page must hand it the new one.
    EXPECT_EQ(wordStore.cycleEndWord(), u"three");
    type(IDC_SETTINGS_CYCLE_SIZE, L"2");
    EXPECT_EQ(Settings.cycleSize, 2);
    EXPECT_EQ(wordStore.cycleEndWord(), u"two");
    type(IDC_SETTINGS_CYCLE_SIZE, L"");  // 0: the whole learning list
    EXPECT_EQ(wordStore.cycleEndWord(), u"five");
}

TEST_F(SettingsPageTest, ModeBoxesChangeTheirFieldAndTheWordWindow)
{
    Settings.backgroundColor = RGB(10, 20, 30);
    startWordWindow();
    openPage();
    stopTimer(TIMER_PROBE);  // the one creation armed

    click(IDC_SETTINGS_AUTO_START);
    EXPECT_EQ(Settings.autoStart, 1);

    click(IDC_SETTINGS_TRANSPARENT);
    COLORREF key = 0;
    EXPECT_EQ(layeredFlags(&key), static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(key, RGB(10, 20, 30));
    click(IDC_SETTINGS_TRANSPARENT);
    EXPECT_EQ(Settings.transparentBackground, 0);
    EXPECT_EQ(layeredFlags(), static_cast<DWORD>(LWA_ALPHA));

    Settings.backgroundColor = RGB(40, 50, 60);  // as a probe would have left it
    click(IDC_SETTINGS_SAMPLE_BACKGROUND);
    EXPECT_EQ(Settings.sampleBackground, 1);
    EXPECT_TRUE(stopTimer(TIMER_PROBE));
    EXPECT_EQ(windowText(item(IDC_SETTINGS_BACKGROUND_COLOR)), std::to_wstring(RGB(40, 50, 60)));
    click(IDC_SETTINGS_SAMPLE_BACKGROUND);
    EXPECT_FALSE(stopTimer(TIMER_PROBE));

    click(IDC_SETTINGS_TITLE_BAR_MODE);
    EXPECT_EQ(Settings.titleBarMode, 1);
    EXPECT_FALSE(IsWindowVisible(wordWindow));
    EXPECT_TRUE(stopTimer(TIMER_PROBE) && stopTimer(TIMER_TITLE));
    SetTimer(wordWindow, TIMER_TITLE, 3000, nullptr);
    SetWindowPos(wordWindow, nullptr, 0, 0, 3, 3, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    click(IDC_SETTINGS_TITLE_BAR_MODE);
    EXPECT_TRUE(IsWindowVisible(wordWindow));
    EXPECT_FALSE(stopTimer(TIMER_TITLE));
    EXPECT_EQ(shownWord(), L"two");  // laid out again, not advanced
    RECT frame{};
    GetWindowRect(wordWindow, &frame);
    EXPECT_GT(Settings.windowWidth, 3);
    EXPECT_EQ(frame.right - frame.left, Settings.windowWidth);
    EXPECT_NE(GetActiveWindow(), wordWindow);  // the sheet keeps the keyboard
}

TEST_F(SettingsPageTest, ChosenFontReplacesTheWordFontAndAdvancesCancelChangesNothing)
{
    startWordWindow();
    openPage();
    const HFONT before = theWordWindow.wordFont();
    script.fontAnswer = logFont(Settings.font);
    std::wcscpy(script.fontAnswer.lfFaceName, L"Courier New");
    script.fontAnswer.lfHeight = -20;
    script.accept = false;
    click(IDC_SETTINGS_FONT);
    EXPECT_EQ(Settings.font.lfHeight, -16);
    EXPECT_EQ(theWordWindow.wordFont(), before);
    EXPECT_EQ(shownWord(), L"two");

    script.accept = true;
    click(IDC_SETTINGS_FONT);
    EXPECT_EQ(script.font.hwndOwner, page_);
    EXPECT_EQ(script.font.Flags, static_cast<DWORD>(0x141));
    EXPECT_EQ(Settings.font.lfHeight, -20);
    EXPECT_EQ(GetObjectType(before), 0u) << "the old font is deleted";
    LOGFONTW made{};
    ASSERT_NE(GetObjectW(theWordWindow.wordFont(), sizeof made, &made), 0);
    EXPECT_STREQ(made.lfFaceName, L"Courier New");
    EXPECT_EQ(windowText(item(IDC_SETTINGS_FONT)), L"字体：Courier New,-20");
    EXPECT_EQ(shownWord(), L"three");
}

// The awareness of this thread's new windows: 0 unaware, 1 system, 2 per
// monitor; -1 where Windows cannot say.
int threadDpiAwareness()
{
    using GetContext = HANDLE(WINAPI*)();
    using AwarenessOf = int(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto get =
        reinterpret_cast<GetContext>(reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    const auto awareness = reinterpret_cast<AwarenessOf>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    return get != nullptr && awareness != nullptr ? awareness(get()) : -1;
}

// The real font dialog's arithmetic: it shows and takes sizes in points at
// the system DPI (LOGPIXELSY), whatever the monitor.
struct PointDialog {
    UINT systemDpi = 96;
    int chosenPoints = 12;
    int offeredPoints = 0;
    int awareness = -1;
} pointDialog;

BOOL WINAPI pointChooseFont(LPCHOOSEFONTW dialog)
{
    pointDialog.awareness = threadDpiAwareness();
    pointDialog.offeredPoints = MulDiv(-dialog->lpLogFont->lfHeight, 72, static_cast<int>(pointDialog.systemDpi));
    dialog->lpLogFont->lfHeight = -MulDiv(pointDialog.chosenPoints, static_cast<int>(pointDialog.systemDpi), 72);
    return TRUE;
}

UINT playedWindowDpi = 96;

BOOL WINAPI awareChooseColor(LPCHOOSECOLORW dialog)
{
    pointDialog.awareness = threadDpiAwareness();
    dialog->rgbResult = RGB(1, 2, 3);
    return TRUE;
}

// Two monitors of different scales, and a system DPI of either: the stored
// 12 pt is offered as 12 pt, and a choice stores the same bytes everywhere.
TEST_F(SettingsPageTest, TheFontDialogWorksAtTheSystemDpiOnEveryMonitor)
{
    startWordWindow();
    openPage();
    const SettingsPageDialogs realDialogs = options.dialogs;
    options.dialogs.chooseFont = pointChooseFont;
    const int before = threadDpiAwareness();
    struct Case {
        UINT system, window;
    };
    for (const Case c : {Case{96, 96}, Case{96, 144}, Case{144, 96}, Case{144, 144}}) {
        SCOPED_TRACE(testing::Message() << "system " << c.system << ", sheet's monitor " << c.window);
        pointDialog.systemDpi = c.system;
        playedWindowDpi = c.window;
        options.dpis.system = [] { return pointDialog.systemDpi; };
        options.dpis.ofWindow = [](HWND) { return playedWindowDpi; };
        // 12 pt and 14 pt at 96 DPI: 16 and 14 * 96 / 72 = 18.67 pixels.
        for (const auto& [points, stored] : {std::pair{12, -16}, std::pair{14, -19}, std::pair{12, -16}}) {
            pointDialog.chosenPoints = points;
            const LONG offered = Settings.font.lfHeight;
            click(IDC_SETTINGS_FONT);
            // 12 pt is a whole number of pixels at either DPI (16, 24).
            if (offered == -16) {
                EXPECT_EQ(pointDialog.offeredPoints, 12);
            }
            EXPECT_EQ(Settings.font.lfHeight, stored) << points << " pt";
        }
        if (before != -1) {
            EXPECT_EQ(pointDialog.awareness, 1) << "the dialog runs system-aware";
            EXPECT_EQ(threadDpiAwareness(), before) << "and the thread's awareness comes back";
        }
    }
    // The colour dialog too.
    options.dialogs.chooseColor = awareChooseColor;
    pointDialog.awareness = -1;
    click(IDC_SETTINGS_WORD_COLOR);
    EXPECT_EQ(Settings.wordColor, RGB(1, 2, 3));
    if (before != -1) {
        EXPECT_EQ(pointDialog.awareness, 1) << "the colour dialog runs system-aware";
        EXPECT_EQ(threadDpiAwareness(), before);
    }
    options.dialogs = realDialogs;
    options.dpis = {};
}

TEST_F(SettingsPageTest, ChosenColoursAreStoredShownAndApplied)
{
    Settings.sampleBackground = 1;
    Settings.transparentBackground = 1;
    startWordWindow();
    openPage();
    script.colorAnswer = RGB(1, 2, 3);
    ValidateRect(wordWindow, nullptr);
    click(IDC_SETTINGS_PHONETIC_COLOR);
    EXPECT_EQ(script.color.rgbResult, static_cast<COLORREF>(0x000F000F)) << "opens on the button's colour";
    EXPECT_EQ(script.color.Flags, static_cast<DWORD>(0x183));
    EXPECT_EQ(Settings.phoneticColor, RGB(1, 2, 3));
    EXPECT_EQ(windowText(item(IDC_SETTINGS_PHONETIC_COLOR)), L"197121");
    EXPECT_TRUE(GetUpdateRect(wordWindow, nullptr, FALSE)) << "the word window repaints";

    const HBRUSH before = theWordWindow.backgroundBrush();
    script.colorAnswer = RGB(90, 80, 70);
    click(IDC_SETTINGS_BACKGROUND_COLOR);
    EXPECT_EQ(script.color.rgbResult, RGB(255, 255, 255));
    EXPECT_EQ(Settings.backgroundColor, RGB(90, 80, 70));
    EXPECT_EQ(Settings.sampleBackground, 0);
    EXPECT_FALSE(ticked(IDC_SETTINGS_SAMPLE_BACKGROUND)) << "the page shows that sampling is off";
    EXPECT_EQ(GetObjectType(before), 0u) << "the old brush is deleted";
    EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(wordWindow, GCLP_HBRBACKGROUND)),
              theWordWindow.backgroundBrush());
    LOGBRUSH brush{};
    GetObjectW(theWordWindow.backgroundBrush(), sizeof brush, &brush);
    EXPECT_EQ(brush.lbColor, RGB(90, 80, 70));
    COLORREF key = 0;
    EXPECT_EQ(layeredFlags(&key), static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(key, RGB(90, 80, 70));

    // Cancelled: nothing changes. The custom colours outlive the page.
    script.accept = false;
    openPage();
    click(IDC_SETTINGS_WORD_COLOR);
    EXPECT_EQ(script.customSeen, RGB(5, 5, 2));
    EXPECT_EQ(script.color.lpCustColors, customColors);
    EXPECT_EQ(Settings.wordColor, static_cast<COLORREF>(0x00FF0000));
    EXPECT_EQ(windowText(item(IDC_SETTINGS_WORD_COLOR)), std::to_wstring(0x00FF0000));
}

// The colour button drawn by the page into a bitmap, as the system asks.
std::vector<COLORREF> drawButton(HWND button, UINT state, int& w, int& h)
{
    RECT r{};
    GetClientRect(button, &r);
    w = r.right;
    h = r.bottom;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
    DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(button)), 0, ODA_DRAWENTIRE, state, button, dc, r,
                        0};
    SendMessageW(GetParent(button), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    std::vector<COLORREF> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

TEST_F(SettingsPageTest, ColourButtonSwatchMovesWhenPressedCaptionStays)
{
    constexpr COLORREF kSwatch = RGB(200, 30, 40);
    Settings.wordColor = kSwatch;
    startWordWindow();
    openPage();
    int w = 0, h = 0;
    const std::vector<COLORREF> normal = drawButton(item(IDC_SETTINGS_WORD_COLOR), 0, w, h);
    const std::vector<COLORREF> pressed = drawButton(item(IDC_SETTINGS_WORD_COLOR), ODS_SELECTED, w, h);
    const std::vector<COLORREF> focused = drawButton(item(IDC_SETTINGS_WORD_COLOR), ODS_FOCUS, w, h);
    ASSERT_GT(w, 20);
    auto at = [w](const std::vector<COLORREF>& p, int x, int y) { return p[static_cast<std::size_t>(y * w + x)]; };
    // Swatch inside a sunken frame on the right half: (w/2+1, 3) to
    // (w-4, h-4), one pixel right and down when pressed.
    EXPECT_NE(at(normal, w / 2, 3), kSwatch);
    EXPECT_EQ(at(normal, w / 2 + 1, 3), kSwatch);
    EXPECT_EQ(at(normal, w - 4, h - 4), kSwatch);
    EXPECT_NE(at(normal, w - 3, h - 3), kSwatch);
    EXPECT_NE(at(pressed, w / 2 + 1, 3), kSwatch);
    EXPECT_EQ(at(pressed, w / 2 + 2, 4), kSwatch);
    EXPECT_EQ(at(pressed, w - 3, h - 3), kSwatch);
    // The caption on the left half: the same pixels pressed or not.
    int caption = 0, moved = 0, focus = 0;
    for (int y = 3; y < h - 3; ++y)
        for (int x = 3; x < w / 2 - 1; ++x) {
            caption += at(normal, x, y) != GetSysColor(COLOR_BTNFACE);
            moved += at(normal, x, y) != at(pressed, x, y);
        }
    for (int x = 2; x < w - 2; ++x) focus += at(focused, x, 2) != at(normal, x, 2);
    EXPECT_GT(caption, 10);
    EXPECT_EQ(moved, 0);
    EXPECT_GT(focus, 3) << "focus rectangle 2 pixels in";
}

// --- The sheet: opened modally, inspected by a timer that then closes it.
struct SheetVisit {
    int button = PSBTN_CANCEL;
    bool done = false;
    bool ownedByOwner = false;
    std::wstring caption;
    int startPage = -1;
    bool applyOrHelp = true;
    bool contextHelp = true;
    HICON icon = nullptr;
    int pagesWhole = 0;
    std::vector<std::string> clipped;
    bool clickTransparent = false;
    // Each page, once checked, is moved off its place and told that Windows
    // has scaled it for another monitor, then checked again.
    bool rescale = false;
} visit;

bool inside(const RECT& a, const RECT& b)
{
    return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
}

// The current page fills the sheet's page area, which lies inside the
// sheet's client area, and each of its visible controls lies within it.
void checkCurrentPage(HWND sheet, int index)
{
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    HWND tab = PropSheet_GetTabControl(sheet);
    RECT area{}, pageRect{}, control{}, client{};
    GetClientRect(tab, &area);
    TabCtrl_AdjustRect(tab, FALSE, &area);
    MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&area), 2);
    GetClientRect(sheet, &client);
    MapWindowPoints(sheet, nullptr, reinterpret_cast<POINT*>(&client), 2);
    GetWindowRect(page, &pageRect);
    std::size_t before = visit.clipped.size();
    if (page == nullptr || !EqualRect(&pageRect, &area) || !inside(area, client))
        visit.clipped.push_back("page " + std::to_string(index));
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowRect(child, &control);
        if (IsWindowVisible(child) && !inside(control, area))
            visit.clipped.push_back("page " + std::to_string(index) + " control " +
                                    std::to_string(GetDlgCtrlID(child)));
    }
    if (visit.clipped.size() == before) ++visit.pagesWhole;
}

void CALLBACK visitOpenSheet(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (visit.done || sheet.openSheet() == nullptr) return;
    visit.done = true;
    KillTimer(nullptr, timer);
    HWND sheet = uitest::sheet.openSheet();
    // Owned by the owner window, and neither of them topmost: the guide and
    // the dic folder that the about page opens must come in front of it.
    visit.ownedByOwner = GetWindow(sheet, GW_OWNER) == ownerWindow &&
                         (GetWindowLongPtrW(ownerWindow, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0 &&
                         (GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0;
    wchar_t caption[64] = {};
    GetWindowTextW(sheet, caption, 64);
    visit.caption = caption;
    visit.startPage = PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
    visit.applyOrHelp = IsWindowVisible(GetDlgItem(sheet, 0x3021)) || IsWindowVisible(GetDlgItem(sheet, IDHELP));
    visit.contextHelp = (GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0;
    visit.icon = reinterpret_cast<HICON>(SendMessageW(sheet, WM_GETICON, ICON_SMALL, 0));
    PropSheet_SetCurSel(sheet, nullptr, visit.startPage);
    checkCurrentPage(sheet, visit.startPage);
    for (int index = 0; index < kOptionsPageCount; ++index) {
        PropSheet_SetCurSel(sheet, nullptr, index);
        checkCurrentPage(sheet, index);
        if (visit.rescale) {
            HWND page = PropSheet_GetCurrentPageHwnd(sheet);
            SetWindowPos(page, nullptr, 3, 3, 50, 40, SWP_NOZORDER | SWP_NOACTIVATE);
            SendMessageW(page, kDpiChangedAfterParent, 0, 0);
            checkCurrentPage(sheet, index);
        }
    }
    if (visit.clickTransparent) {
        PropSheet_SetCurSel(sheet, nullptr, 0);
        SendMessageW(GetDlgItem(PropSheet_GetCurrentPageHwnd(sheet), IDC_SETTINGS_TRANSPARENT), BM_CLICK, 0, 0);
    }
    PropSheet_PressButton(sheet, visit.button);
}

class OptionsSheetTest : public SettingsPageTest {
protected:
    void SetUp() override
    {
        SettingsPageTest::SetUp();
        place = FilePlace{};
        place.folder = root_;  // the settings file goes there
        std::ofstream(root_ / "mivora.bin", std::ios::binary).write(reinterpret_cast<const char*>(&Settings), 284);
        ownerWindow = host_;
        options.icon = static_cast<HICON>(LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_MIVORA), IMAGE_ICON, 16, 16, 0));
        options.maximizedWidth = 1280;
        options.maximizedHeight = 800;
        visit = SheetVisit{};
        startWordWindow();
    }
    void TearDown() override
    {
        DestroyIcon(options.icon);
        options.icon = nullptr;
        ownerWindow = nullptr;
        place = FilePlace{};
        SettingsPageTest::TearDown();
    }

    void runSheet(int startPage, int button)
    {
        visit.button = button;
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, visitOpenSheet);
        sheet.open(host_, startPage);
        KillTimer(nullptr, timer);
        ASSERT_TRUE(visit.done) << "the sheet never showed";
        EXPECT_EQ(sheet.openSheet(), nullptr);
        for (const std::string& what : visit.clipped) ADD_FAILURE() << "not shown whole: " << what;
    }

    std::int32_t transparentInFile()
    {
        std::int32_t value = -1;
        std::ifstream(root_ / "mivora.bin", std::ios::binary).seekg(8).read(reinterpret_cast<char*>(&value), 4);
        return value;
    }
};

TEST_F(OptionsSheetTest, SheetIsAsSpecifiedAndShowsEveryPageWholeFromEitherStartPage)
{
    runSheet(kAboutPage, PSBTN_CANCEL);
    EXPECT_EQ(visit.startPage, kAboutPage);
    EXPECT_EQ(visit.pagesWhole, kOptionsPageCount + 1);
    visit = SheetVisit{};
    runSheet(kSettingsPage, PSBTN_CANCEL);
    EXPECT_EQ(visit.startPage, kSettingsPage);
    EXPECT_EQ(visit.pagesWhole, kOptionsPageCount + 1);
    EXPECT_TRUE(visit.ownedByOwner);
    EXPECT_EQ(visit.caption, L"Mivora");
    EXPECT_FALSE(visit.applyOrHelp);
    EXPECT_FALSE(visit.contextHelp);
    EXPECT_EQ(visit.icon, options.icon);
}

// Windows scales the sheet and its pages for a monitor of another scale by
// the ratio of the two DPIs; each page then fills the page area again.
TEST_F(OptionsSheetTest, APageScaledForAnotherMonitorFillsThePageAreaAgain)
{
    visit.rescale = true;
    runSheet(kSettingsPage, PSBTN_CANCEL);
    EXPECT_EQ(visit.pagesWhole, 2 * kOptionsPageCount + 1);
}

TEST_F(OptionsSheetTest, CancelKeepsChangesInMemoryOnlyOkWritesTheFile)
{
    visit.clickTransparent = true;
    runSheet(0, PSBTN_CANCEL);
    EXPECT_EQ(Settings.transparentBackground, 1);
    EXPECT_EQ(layeredFlags(), static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
    EXPECT_EQ(transparentInFile(), 0);
    visit = SheetVisit{};
    runSheet(0, PSBTN_OK);
    EXPECT_EQ(transparentInFile(), 1);
}

// Windows documents PropertySheet's result as 0 when no page reported a
// change, which these pages never do: OK must save all the same.
INT_PTR WINAPI sheetReportingNoChange(LPCPROPSHEETHEADERW header)
{
    const CommonControlsApi* api = commonControls();
    if (api != nullptr) api->propertySheet(header);
    return 0;
}

TEST_F(OptionsSheetTest, OkSavesWhateverTheSheetReturns)
{
    options.runPropertySheet = sheetReportingNoChange;
    visit.clickTransparent = true;
    runSheet(0, PSBTN_OK);
    options.runPropertySheet = nullptr;
    EXPECT_EQ(transparentInFile(), 1);
}

// The 复习 group's recall-first fields: shown from the settings, and what
// OK hands on, a wait beyond its range held to it.
TEST_F(SettingsPageTest, TheRecallFirstFieldsShowAndHandOnTheirSettings)
{
    struct Row {
        int choice;
        const wchar_t* seconds;
        RecallFirst recallFirst;
        int revealSeconds;
    };
    const Row rows[] = {
        {1, L"12", RecallFirst::all, 12},
        {2, L"99", RecallFirst::off, 60},
        {0, L"0", RecallFirst::review, 0},
    };
    ReviewSettings review;
    review.recallFirst = RecallFirst::off;
    review.revealSeconds = 7;
    options.review = &review;
    openPage();
    EXPECT_EQ(SendMessageW(item(IDC_SETTINGS_RECALL_FIRST), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(item(IDC_SETTINGS_RECALL_FIRST), CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(windowText(item(IDC_SETTINGS_REVEAL_SECONDS)), L"7");
    for (const Row& row : rows) {
        SendMessageW(item(IDC_SETTINGS_RECALL_FIRST), CB_SETCURSEL, row.choice, 0);
        type(IDC_SETTINGS_REVEAL_SECONDS, row.seconds);
        NMHDR header{host_, 0, static_cast<UINT>(PSN_APPLY)};
        SendMessageW(page_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
        EXPECT_EQ(review.recallFirst, row.recallFirst) << row.choice;
        EXPECT_EQ(review.revealSeconds, row.revealSeconds) << row.seconds;
    }
    options.review = nullptr;
}

}  // namespace
