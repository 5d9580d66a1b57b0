// Reloading the learning list from another dictionary on a worker. It
// outlives the options sheet (its end comes to the owner window), so the
// word-library page, which starts it, only listens for its end while open.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "store/WordGet.h"
#include "win/Worker.h"

class WordWindow;

// Only the UI thread calls these.
class DictionaryReload {
public:
    // Reloads run on `worker` and end on the notify window (WM_RELOAD_DONE),
    // a window of the UI thread that outlives the options sheet;
    // `wordWindow` then shows the new list's first entry.
    DictionaryReload(Worker& worker, WordGet& store, WordWindow& wordWindow)
        : worker_(worker), store_(store), wordWindow_(wordWindow)
    {}
    DictionaryReload(const DictionaryReload&) = delete;
    DictionaryReload& operator=(const DictionaryReload&) = delete;

    void setNotifyWindow(HWND notify) { notify_ = notify; }

    // Starts reloading dictionary `name`; false (and nothing started) while
    // a reload still runs or when no thread can be had.
    bool start(std::u16string name, ListOrderChoice order = {});

    // True from the moment a dictionary is picked until the UI thread has
    // taken its reload's notice (or shutdown has waited for it). A pick made
    // meanwhile is refused.
    bool running() const { return worker_.running(); }

    // WM_RELOAD_DONE, whose wParam is the number of the reload that posted
    // it: lets the word window show the new list's first entry at once,
    // then tells the listener, if one listens.
    void finish(WPARAM run);

    // The open library page listens for the end of a reload (its own, or one
    // an earlier opening started): `listener` identifies it, and only the
    // same listener stops listening.
    void listen(const void* listener, std::function<void()> ended);
    void stopListening(const void* listener);

private:
    Worker& worker_;
    WordGet& store_;
    WordWindow& wordWindow_;
    HWND notify_ = nullptr;
    const void* listener_ = nullptr;
    std::function<void()> ended_;
};
