// The options sheet with its three tabs. The pages show their dialog
// templates and do not act yet; opening, the start page, closing and saving
// on OK already behave as the finished sheet will.
#include "ui/OptionsSheet.h"

#include <commctrl.h>
#include <prsht.h>

#include <iterator>

#include "app/AppGlobals.h"
#include "res/resource.h"
#include "ui/OptionsPages.h"
#include "settings/Settings.h"

HWND openSheet = nullptr;

namespace {

// The tray reads openSheet to refuse a second sheet; the sheet window exists
// from PSCB_INITIALIZED on.
int CALLBACK optionsSheetCallback(HWND sheet, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED) openSheet = sheet;
    return 0;
}

struct PageTemplate {
    int templateId;
    const wchar_t* title;
    DLGPROC proc;
};

constexpr PageTemplate kPages[] = {
    {IDD_SETTINGS_PAGE, L"设置", settingsPageProc},
    {IDD_LIBRARY_PAGE, L"词库", libraryPageProc},
    {IDD_ABOUT_PAGE, L"关于", aboutPageProc},
};

}  // namespace

void openOptionsSheet(HWND parent, int startPage)
{
    // The word-library page holds a list view.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);

    PROPSHEETPAGEW pages[std::size(kPages)] = {};
    for (std::size_t i = 0; i < std::size(kPages); ++i) {
        pages[i].dwSize = sizeof(PROPSHEETPAGEW);
        pages[i].dwFlags = PSP_USETITLE;
        pages[i].hInstance = appInstance;
        pages[i].pszTemplate = MAKEINTRESOURCEW(kPages[i].templateId);
        pages[i].pszTitle = kPages[i].title;
        pages[i].pfnDlgProc = kPages[i].proc;
    }

    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_USEHICON | PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_NOCONTEXTHELP;
    header.hwndParent = parent;
    header.hInstance = appInstance;
    header.hIcon = trayIcon;
    header.pszCaption = appName;
    header.nPages = static_cast<UINT>(std::size(pages));
    header.nStartPage = startPage >= 0 && startPage < static_cast<int>(std::size(pages)) ? startPage : 0;
    header.ppsp = pages;
    header.pfnCallback = optionsSheetCallback;

    // The sheet opens relative to its owner: put the owner near the middle
    // of the screen and above ordinary windows first.
    SetWindowPos(parent, HWND_TOPMOST, maximizedWidth / 2 - 300, maximizedHeight / 2 - 200, 0, 0,
                 SWP_NOSIZE | SWP_NOREDRAW | SWP_NOSENDCHANGING);
    if (PropertySheetW(&header) == 1) saveSettings();
    openSheet = nullptr;
}
