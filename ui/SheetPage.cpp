// What every page of the options sheet does the same way: its object made
// with its window and freed with it, the sheet's notifications, and the
// messages handed to the page.
#include "ui/SheetPage.h"

#include <prsht.h>

#include <new>

#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"

SheetPage* sheetPageOf(HWND window)
{
    // Only a page's window has this procedure, and only its DWLP_USER holds
    // a page object.
    if (window == nullptr || reinterpret_cast<DLGPROC>(GetWindowLongPtrW(window, DWLP_DLGPROC)) != optionsPageProc)
        return nullptr;
    return reinterpret_cast<SheetPage*>(GetWindowLongPtrW(window, DWLP_USER));
}

INT_PTR SheetPage::onMessage(UINT, WPARAM, LPARAM)
{
    return FALSE;
}

INT_PTR CALLBACK optionsPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* page = reinterpret_cast<SheetPage*>(GetWindowLongPtrW(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        const auto* made = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        const auto* seed = made != nullptr ? reinterpret_cast<const PageSeed*>(made->lParam) : nullptr;
        if (seed == nullptr || seed->sheet == nullptr || seed->page < 0 || seed->page >= kOptionsPageCount)
            return FALSE;
        OptionsSheet& sheet = *seed->sheet;
        // A page made on its own, outside a sheet, opens nothing.
        sheet.pageCreated(GetParent(window));
        // Out of memory: an empty page, which can change nothing. An
        // exception must not cross the dialog manager.
        try {
            std::unique_ptr<SheetPage> object = kOptionsPages[seed->page].make(sheet.context());
            object->sheet_ = &sheet;
            object->window_ = window;
            page = object.release();
            SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
            page->fill();
        } catch (const std::bad_alloc&) {}
        return FALSE;
    }
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (header.code == PSN_SETACTIVE) {
            // Windows places a page in the page area it computed when the
            // sheet was made, before the sheet grew to fit the largest page
            // (Wine measures it again at every change of page): every page is
            // made to fill the grown area as it is shown.
            fillPageArea(GetParent(window), window);
            SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        if (header.code == PSN_APPLY) {
            if (page != nullptr) {
                page->apply();
                page->sheet_->applyRequested();
            }
            SetWindowLongPtrW(window, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        }
        break;
    }
    case kDpiChangedAfterParent:
        if (page != nullptr) page->dpiChanged();
        fillPageArea(GetParent(window), window);
        return FALSE;
    case WM_NCDESTROY:
        if (page != nullptr) {
            page->destroyed();
            page->window_ = nullptr;
        }
        SetWindowLongPtrW(window, DWLP_USER, 0);
        delete page;
        return FALSE;
    default:
        break;
    }
    return page != nullptr ? page->onMessage(message, wParam, lParam) : FALSE;
}
