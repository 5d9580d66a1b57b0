// The options sheet: a modal property sheet with the settings, word-library
// and about pages. The pages edit Settings in place; OK writes the settings
// file, Cancel writes nothing and undoes nothing.
#include "ui/OptionsSheet.h"

#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>

#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "res/resource.h"
#include "ui/CommonControls.h"
#include "ui/word/WordPlacement.h"
#include "win/Dpi.h"
#include "win/Program.h"

namespace {

// The dialogs come from comdlg32, loaded with the sheet; the sheet only
// opens once both are there, so the FALSE (as for Cancel) is a last resort.
BOOL WINAPI chooseFontLoaded(LPCHOOSEFONTW dialog)
{
    const CommonControlsApi* api = commonControls();
    return api != nullptr ? api->chooseFont(dialog) : FALSE;
}

BOOL WINAPI chooseColorLoaded(LPCHOOSECOLORW dialog)
{
    const CommonControlsApi* api = commonControls();
    return api != nullptr ? api->chooseColor(dialog) : FALSE;
}

// The page templates live in the executable's resources. The sheet's
// callback is given no context, and the sheet window itself belongs to
// comctl32, so the executable's module is asked for them.
HINSTANCE resourceModule()
{
    return GetModuleHandleW(nullptr);
}

// --- Making room for every page --------------------------------------------
//
// The sheet sizes its page area from the templates' sizes in dialog units,
// but converts them with its own font. The about page is laid out in 宋体 9,
// whose dialog units are larger than those of the other pages' MS Shell Dlg
// 8, so without help its lower and right parts are cut off. Each template is
// therefore measured in its own font, and the sheet grown to the largest.

// Skips one sz_Or_Ord field (menu or class) of a dialog template.
const WORD* skipNameOrOrdinal(const WORD* p, const WORD* end)
{
    if (p >= end) return end;
    if (*p == 0x0000) return p + 1;
    if (*p == 0xFFFF) return p + 2;
    while (p < end && *p != 0) ++p;
    return p < end ? p + 1 : end;
}

const WORD* skipString(const WORD* p, const WORD* end)
{
    while (p < end && *p != 0) ++p;
    return p < end ? p + 1 : end;
}

// The template's header (size, style, font) without its controls, in a
// DWORD-aligned buffer ready for CreateDialogIndirectParamW; empty when the
// template cannot be read.
std::vector<DWORD> headerOnlyTemplate(HINSTANCE instance, int templateId)
{
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (found == nullptr) return {};
    const DWORD bytes = SizeofResource(instance, found);
    HGLOBAL loaded = LoadResource(instance, found);
    const auto* start = static_cast<const WORD*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (start == nullptr || bytes < 26) return {};
    const WORD* end = start + bytes / sizeof(WORD);

    const bool extended = start[1] == 0xFFFF;
    DWORD style = 0;
    std::size_t countOffset = 0;  // in WORDs
    const WORD* p = nullptr;
    if (extended) {
        std::memcpy(&style, start + 6, sizeof style);
        countOffset = 8;
        p = start + 13;  // behind cDlgItems, x, y, cx, cy
    } else {
        std::memcpy(&style, start, sizeof style);
        countOffset = 4;
        p = start + 9;
    }
    p = skipNameOrOrdinal(p, end);  // menu
    p = skipNameOrOrdinal(p, end);  // class
    p = skipString(p, end);         // title
    if (style & DS_SETFONT) {
        p += extended ? 3 : 1;  // point size (and weight, italic, charset)
        p = skipString(std::min(p, end), end);
    }
    if (p >= end) return {};

    const std::size_t headerBytes = static_cast<std::size_t>(p - start) * sizeof(WORD);
    std::vector<DWORD> copy((headerBytes + sizeof(DWORD) - 1) / sizeof(DWORD) + 1, 0);
    std::memcpy(copy.data(), start, headerBytes);
    auto* words = reinterpret_cast<WORD*>(copy.data());
    words[countOffset] = 0;  // no controls
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(words + (extended ? 6 : 0), &style, sizeof style);
    return copy;
}

INT_PTR CALLBACK measureOnlyProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The size in pixels a page needs: its template in the template's own font.
SIZE pageTemplateSize(HWND sheet, int templateId)
{
    const HINSTANCE instance = resourceModule();
    const std::vector<DWORD> header = headerOnlyTemplate(instance, templateId);
    if (header.empty()) return {0, 0};
    HWND probe = CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(header.data()), sheet,
                                            measureOnlyProc, 0);
    if (probe == nullptr) return {0, 0};
    RECT r{};
    GetWindowRect(probe, &r);
    DestroyWindow(probe);
    return {r.right - r.left, r.bottom - r.top};
}

// The part of the sheet's client area where pages are shown.
RECT pageArea(HWND sheet)
{
    RECT r{};
    HWND tab = PropSheet_GetTabControl(sheet);
    if (tab == nullptr) return r;
    GetClientRect(tab, &r);
    TabCtrl_AdjustRect(tab, FALSE, &r);
    MapWindowPoints(tab, sheet, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void moveBy(HWND sheet, HWND child, int dx, int dy, bool grow)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&r), 2);
    if (grow)
        SetWindowPos(child, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    else
        SetWindowPos(child, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void fitPagesIntoSheet(HWND sheet)
{
    SIZE needed{0, 0};
    for (const OptionsPageKind& page : kOptionsPages) {
        const SIZE size = pageTemplateSize(sheet, page.templateId);
        needed.cx = std::max(needed.cx, size.cx);
        needed.cy = std::max(needed.cy, size.cy);
    }
    const RECT area = pageArea(sheet);
    const int dx = std::max(0L, needed.cx - (area.right - area.left));
    const int dy = std::max(0L, needed.cy - (area.bottom - area.top));
    if (dx > 0 || dy > 0) {
        // The tab control grows with the sheet; the buttons below it keep
        // their place at the bottom right.
        HWND tab = PropSheet_GetTabControl(sheet);
        RECT frame{};
        GetWindowRect(sheet, &frame);
        SetWindowPos(sheet, nullptr, 0, 0, frame.right - frame.left + dx, frame.bottom - frame.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (HWND child = GetWindow(sheet, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            if (child == tab)
                moveBy(sheet, child, dx, dy, true);
            else if (PropSheet_HwndToIndex(sheet, child) < 0)
                moveBy(sheet, child, dx, dy, false);
        }
    }
    // Pages made so far (the start page) fill the page area; the sheet
    // places later ones into the grown area when their tab is first chosen.
    for (int i = 0; i < kOptionsPageCount; ++i) fillPageArea(sheet, PropSheet_IndexToHwnd(sheet, i));

    // At 150 % and more the sheet is half as large again or twice as large,
    // and where it opens it may reach past the screen's edge: moved left or
    // up by what it takes to be whole on its monitor. (At 100 % it always
    // fits where it opens.)
    RECT frame{};
    GetWindowRect(sheet, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromRect(&frame, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const POINT at = placeInWorkArea({frame.left, frame.top}, {frame.right - frame.left, frame.bottom - frame.top},
                                         monitor.rcWork);
        if (at.x != frame.left || at.y != frame.top)
            SetWindowPos(sheet, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace

void fillPageArea(HWND sheet, HWND page)
{
    if (page == nullptr) return;
    const RECT area = pageArea(sheet);
    // Not in a sheet (a page made on its own): nothing to fill.
    if (IsRectEmpty(&area)) return;
    SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WINAPI openFileDialog(LPOPENFILENAMEW dialog)
{
    const CommonControlsApi* api = commonControls();
    return api != nullptr ? api->getOpenFileName(dialog) : FALSE;
}

SettingsPageDialogs commonDialogs()
{
    return {chooseFontLoaded, chooseColorLoaded};
}

namespace {

// COM for the time of one ShellExecuteEx, as its documentation asks: the
// handler of a target may be a COM object. ole32 is loaded only here, as the
// common controls are, so that a start without the sheet never maps it.
class ShellComScope {
public:
    ShellComScope()
    {
        using Initialize = HRESULT(WINAPI*)(void*, DWORD);
        if (!resolveOle(ole_, "CoInitializeEx", initialize_) || !resolveOle(ole_, "CoUninitialize", uninitialize_))
            return;
        // S_FALSE (already initialised on this thread) is balanced as well.
        initialized_ = SUCCEEDED(
            reinterpret_cast<Initialize>(initialize_)(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    }
    ~ShellComScope()
    {
        if (initialized_) reinterpret_cast<void(WINAPI*)()>(uninitialize_)();
    }
    ShellComScope(const ShellComScope&) = delete;
    ShellComScope& operator=(const ShellComScope&) = delete;

private:
    static bool resolveOle(const LoadedModule& module, const char* name, void*& target)
    {
        const FARPROC found = findExport(module, name);
        target = reinterpret_cast<void*>(found);
        return found != nullptr;
    }

    LoadedModule ole_{LoadLibraryW(L"ole32.dll")};
    void* initialize_ = nullptr;
    void* uninitialize_ = nullptr;
    bool initialized_ = false;
};

}  // namespace

bool highContrastOn()
{
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) != 0 &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void openWithShell(const wchar_t* target, int show)
{
    // The page's own window: the active one of this thread, the sheet.
    HWND owner = GetActiveWindow();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The shell's own error boxes are replaced by the one below.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = target;
    info.nShow = show;
    DWORD error = ERROR_SUCCESS;
    {
        ShellComScope com;
        if (!ShellExecuteExW(&info)) error = GetLastError();
    }
    if (error == ERROR_SUCCESS) return;
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                         GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES;
    std::wstring text = missing ? L"找不到：\r\n\r\n" : L"无法打开：\r\n\r\n";
    text += target;
    if (missing) text += L"\r\n\r\n它应该在 Mivora.exe 所在的文件夹中。";
    MessageBoxW(owner, text.c_str(), L"提示", MB_OK | MB_ICONWARNING);
}

int CALLBACK optionsSheetCallback(HWND sheet, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED) fitPagesIntoSheet(sheet);
    return 0;
}

void OptionsSheet::open(HWND parent, int startPage)
{
    // The first opening loads the common controls and dialogs; without
    // them there is no sheet to show.
    const CommonControlsApi* api = commonControls();
    if (api == nullptr) return;
    // The word-library page holds a list view, the 朗读 page trackbars, the
    // hotkey page hotkey fields, the import's preview a progress bar.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_HOTKEY_CLASS | ICC_PROGRESS_CLASS};
    api->initCommonControlsEx(&controls);

    PageSeed seeds[kOptionsPageCount] = {};
    PROPSHEETPAGEW pages[kOptionsPageCount] = {};
    for (int i = 0; i < kOptionsPageCount; ++i) {
        seeds[i] = {this, i};
        pages[i].dwSize = sizeof(PROPSHEETPAGEW);
        pages[i].dwFlags = PSP_USETITLE;
        pages[i].hInstance = context_.instance;
        pages[i].pszTemplate = MAKEINTRESOURCEW(kOptionsPages[i].templateId);
        pages[i].pszTitle = kOptionsPages[i].title;
        pages[i].pfnDlgProc = optionsPageProc;
        pages[i].lParam = reinterpret_cast<LPARAM>(&seeds[i]);
    }

    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_USEHICON | PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_NOCONTEXTHELP;
    header.hwndParent = parent;
    header.hInstance = context_.instance;
    header.hIcon = context_.icon;
    header.pszCaption = appName;
    header.nPages = static_cast<UINT>(std::size(pages));
    // The tray asks for the settings page ("选项") or the about page
    // ("关于..."); anything else would name no page.
    header.nStartPage = startPage >= 0 && startPage < kOptionsPageCount ? startPage : kSettingsPage;
    header.ppsp = pages;
    header.pfnCallback = optionsSheetCallback;

    // The sheet opens relative to its owner: put the owner near the middle
    // of the screen first. An ordinary window, not a topmost one: the sheet,
    // its choosers and message boxes would all be topmost with it, and the
    // guide and the dic folder that the about page opens would appear
    // behind the sheet.
    // (Half the sheet's size at 96 DPI, grown with the scale as the sheet
    // grows with its font.)
    const UINT dpi = systemDpi();
    SetWindowPos(parent, HWND_NOTOPMOST, context_.maximizedWidth / 2 - scaleToDpi(300, dpi),
                 context_.maximizedHeight / 2 - scaleToDpi(200, dpi), 0, 0,
                 SWP_NOSIZE | SWP_NOREDRAW | SWP_NOSENDCHANGING | SWP_NOACTIVATE);
    opening_ = true;
    applied_ = false;
    const auto run = context_.runPropertySheet != nullptr ? context_.runPropertySheet : api->propertySheet;
    run(&header);
    opening_ = false;
    openSheet_ = nullptr;
    // OK was pressed: saved whatever PropertySheet returned (see
    // applyRequested). Cancel saves nothing.
    if (applied_ && context_.saveSettings) context_.saveSettings();
}
