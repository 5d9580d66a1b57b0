// What the word-library page offers to the rest of the program: the
// dictionary reload, which outlives the page (it ends on the owner window),
// and the commands of its remembered-words menu. The page's dialog
// procedure is in OptionsPages.h.
#pragma once

#include <windows.h>

#include <string>

#include "store/WordGet.h"
#include "win/Worker.h"

class WordWindow;

// Reloading the learning list from another dictionary on a worker. Only the
// UI thread calls these.
class DictionaryReload {
public:
    // Reloads run on `worker` and end on `notify` (WM_RELOAD_DONE), a window
    // of the UI thread that outlives the options sheet; `wordWindow` then
    // shows the new list's first entry.
    DictionaryReload(Worker& worker, WordGet& store, WordWindow& wordWindow)
        : worker_(worker), store_(store), wordWindow_(wordWindow)
    {}
    DictionaryReload(const DictionaryReload&) = delete;
    DictionaryReload& operator=(const DictionaryReload&) = delete;

    void setNotifyWindow(HWND notify) { notify_ = notify; }

    // Starts reloading dictionary `name`; false (and nothing started) while
    // a reload still runs or when no thread can be had. `keyboardHeldBy` is
    // the control that took the keyboard from the disabled dictionary box,
    // which gets it back at the end if it still has it.
    bool start(std::u16string name, HWND keyboardHeldBy = nullptr);

    // True from the moment a dictionary is picked until the UI thread has
    // taken its reload's notice (or shutdown has waited for it). A pick made
    // meanwhile is refused.
    bool running() const { return worker_.running(); }

    // WM_RELOAD_DONE, whose wParam is the number of the reload that posted
    // it: lets the word window show the new list's first entry at once and
    // enables the dictionary box again if a library page is open.
    void finish(WPARAM run);

    // The open library page, whose box is enabled again when a reload ends.
    void pageOpened(HWND page) { libraryPage_ = page; }
    void pageClosed(HWND page)
    {
        if (libraryPage_ == page) libraryPage_ = nullptr;
    }

private:
    Worker& worker_;
    WordGet& store_;
    WordWindow& wordWindow_;
    HWND notify_ = nullptr;
    HWND libraryPage_ = nullptr;
    HWND keyboardHeldBy_ = nullptr;
};

// Carries out command `command` of the remembered-words menu ("忘记",
// "删除"; 0 when the menu was dismissed) on row `row` of `view`, the page's
// list view, and on every other selected row when `row` is selected.
// "删除" asks first, once.
void runRememberedCommand(HWND view, int row, UINT command);
