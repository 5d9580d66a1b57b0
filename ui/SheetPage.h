// The base of the options sheet's pages. Each page is a small class in a
// file of its own with a dialog template in the resources; the sheet makes
// the page's window from the template, the base makes the page object as
// that window is created and frees it with the window's last message, so a
// page only fills its controls from the program's state, reacts to them,
// and applies at OK what it has not applied at once.
#pragma once

#include <windows.h>

class OptionsSheet;
struct OptionsContext;

class SheetPage {
public:
    explicit SheetPage(OptionsContext& context) : context_(context) {}
    virtual ~SheetPage() = default;
    SheetPage(const SheetPage&) = delete;
    SheetPage& operator=(const SheetPage&) = delete;

    // The page's dialog window, from fill() until destroyed().
    HWND window() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }
    // What the page acts on: the program's state, owned by the application.
    OptionsContext& context() const { return context_; }

protected:
    // WM_INITDIALOG: the controls exist; show the program's state in them.
    virtual void fill() = 0;
    // OK (PSN_APPLY, which every page made so far receives; a page whose
    // tab was never chosen was never made): whatever the page has not
    // applied yet goes into the program's state. The sheet writes the
    // settings once after it has closed.
    virtual void apply() {}
    // Every other message but WM_NCDESTROY, as a dialog procedure takes it
    // (TRUE when handled). WM_NOTIFY comes here too, after the sheet's own
    // notifications have been served.
    virtual INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_NCDESTROY: the controls are gone; the object is deleted after it.
    virtual void destroyed() {}
    // Windows has scaled the page for a monitor of another scale (or a new
    // scale of its own) and sent every control the page's font: what the
    // page sized or chose a font for by the DPI is done again. The base then
    // fills the sheet's page area with the page again.
    virtual void dpiChanged() {}

private:
    friend INT_PTR CALLBACK optionsPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    OptionsContext& context_;
    OptionsSheet* sheet_ = nullptr;
    HWND window_ = nullptr;
};

// What a page's PROPSHEETPAGEW carries in its lParam to the page's
// WM_INITDIALOG: the sheet and which page of the list to make.
struct PageSeed {
    OptionsSheet* sheet;
    int page;
};

// The page object of a page's window; nullptr for any other window.
SheetPage* sheetPageOf(HWND window);

// The dialog procedure of every page.
INT_PTR CALLBACK optionsPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
