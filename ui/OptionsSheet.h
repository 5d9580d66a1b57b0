// The modal options sheet opened from the tray menu, and what its pages
// work on: they reach the program only through the context the sheet hands
// them.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <functional>
#include <string>

#include "settings/SettingsRecord.h"
#include "settings/ReviewSettings.h"
#include "settings/SpeechSettings.h"
#include "store/files/FilePlace.h"
#include "store/review/ReviewStats.h"
#include "store/WordGet.h"
#include "ui/OptionsPages.h"
#include "win/Dpi.h"

class WordWindow;
class Speech;
class DictionaryReload;
class Hotkeys;
struct HotkeySettings;

// The common dialogs the settings page opens. Tests put stand-ins here,
// since a real modal dialog would wait for a person.
struct SettingsPageDialogs {
    BOOL(WINAPI* chooseFont)(LPCHOOSEFONTW);
    BOOL(WINAPI* chooseColor)(LPCHOOSECOLORW);
};
// The dialogs of comdlg32, loaded with the sheet.
SettingsPageDialogs commonDialogs();

// The DPIs the pages convert with: the system's, at which the font dialog
// works, and a window's (its monitor's). Tests put others here to play two
// monitors of different scales, which Wine never has.
struct PageDpis {
    UINT (*system)() = systemDpi;
    UINT (*ofWindow)(HWND) = dpiForWindow;
};

// Opens a link target the way the shell opens a double-clicked file, in a
// window of `show` state. The about page opens its links through this;
// tests put a recorder in its place so that no browser or Explorer window
// is started.
using LinkOpener = void (*)(const wchar_t* target, int show);

// comdlg32's open dialog, through which the library page picks a 生词本 to
// import.
BOOL WINAPI openFileDialog(LPOPENFILENAMEW dialog);
void openWithShell(const wchar_t* target, int show);

// Whether the user has turned on a high-contrast theme (SPI_GETHIGHCONTRAST):
// what the program draws itself then takes the theme's colours.
bool highContrastOn();

// Everything the sheet and its pages act on, owned by the application
// object. The pages edit Settings in place and apply each change to the
// word window at once.
struct OptionsContext {
    HINSTANCE instance;
    HICON icon;  // the sheet's
    SettingsRecord& Settings;
    // Where the program and its files are: the guide, the folder of the
    // settings and the progress, the folders of word lists.
    const FilePlace& place;
    WordGet& wordStore;
    WordWindow& wordWindow;
    DictionaryReload& reload;
    // The colour dialog's 16 custom colours: black at start, kept from one
    // use of the dialog to the next for the life of the process, never saved.
    COLORREF (&customColors)[16];
    // The size of a maximised window: the sheet opens near its middle.
    int maximizedWidth;
    int maximizedHeight;
    // Writes the settings file and the Run registration (OK).
    std::function<void()> saveSettings;
    SettingsPageDialogs dialogs = commonDialogs();
    LinkOpener openLink = openWithShell;
    // What runs the modal sheet: comctl32's PropertySheetW when nullptr.
    // Tests wrap it to give the sheet's result as Windows may give it.
    INT_PTR(WINAPI* runPropertySheet)(LPCPROPSHEETHEADERW) = nullptr;
    // The [Speech] settings of mivora.ini, edited in place by the 朗读 page
    // on OK, and what says the words (its 试听). Without them the page
    // offers nothing.
    SpeechSettings* speech = nullptr;
    Speech* speaker = nullptr;
    PageDpis dpis{};
    // The hotkeys as mivora.ini holds them, which the hotkey page replaces
    // on OK, and their registrations, which it asks whether a combination
    // is free and lets go while it is in front. Without them the page
    // shows empty fields and changes nothing.
    HotkeySettings* hotkeySettings = nullptr;
    Hotkeys* hotkeys = nullptr;
    // The open dialog of the library page's 导入….
    BOOL(WINAPI* getOpenFileName)(LPOPENFILENAMEW) = openFileDialog;
    // The [Review] settings of mivora.ini, which the settings page replaces
    // on OK (the program applies them with the other settings). Without
    // them the page leaves its review fields as the defaults.
    ReviewSettings* review = nullptr;
    // The review history as it is now, which the statistics page takes each
    // time it is shown. Without it the page stays empty.
    std::function<ReviewSnapshot()> reviewSnapshot{};
    // Asked at each drawing of the statistics page's pictures; tests play a
    // high-contrast theme here, which they cannot turn on.
    bool (*highContrast)() = highContrastOn;
};

class OptionsSheet {
public:
    explicit OptionsSheet(OptionsContext& context) : context_(context) {}
    OptionsSheet(const OptionsSheet&) = delete;
    OptionsSheet& operator=(const OptionsSheet&) = delete;

    // Opens the sheet modally on page `startPage` (the settings page for
    // anything that names no page) with `parent` as its owner and returns
    // when it is closed; OK saves the settings.
    void open(HWND parent, int startPage);

    // The open sheet, or nullptr.
    HWND openSheet() const { return openSheet_; }

    OptionsContext& context() const { return context_; }

    // A page was told to apply (OK, or Enter on the sheet): open() saves the
    // settings once the sheet is gone. Windows documents PropertySheet's
    // result as 0 when no page reported a change, and the pages change the
    // settings in place without reporting, so the result cannot tell.
    void applyRequested() { applied_ = true; }

    // A page of this sheet has been made inside `sheet`: while open() runs,
    // the sheet is open from now on. Called by every page as it is created
    // (a page made on its own, outside a sheet, opens nothing).
    void pageCreated(HWND sheet)
    {
        if (opening_ && openSheet_ == nullptr) openSheet_ = sheet;
    }

private:
    OptionsContext& context_;
    bool opening_ = false;
    bool applied_ = false;
    HWND openSheet_ = nullptr;
};

// The sheet's callback: makes room for every page once the sheet exists.
int CALLBACK optionsSheetCallback(HWND sheet, UINT message, LPARAM lParam);

// Places `page` over the whole page area of `sheet`, which the sheet's
// callback may have grown.
void fillPageArea(HWND sheet, HWND page);
