// The program's one way of doing work off the UI thread. A worker gets its
// inputs by value (captured by the function it runs), runs once, and posts
// its result to a window of the UI thread; it never sends to it, so the UI
// thread may simply block while it waits for a worker. The start-up load,
// the dictionary reload and the periodic save each have one Worker, owned by
// the application object, and exit and log-off wait for all of them through
// the same path.
#pragma once

#include <windows.h>

#include <functional>

#include "win/Handles.h"

class Worker {
public:
    Worker() = default;
    // A thread may still run here only when an earlier bounded wait gave up
    // on it; its owner then keeps the worker, and what the thread uses,
    // alive until the process ends instead of destroying them.
    ~Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Runs `work` on a new thread and, when it returns, posts `message` to
    // `notify` with wParam = the run's number and lParam = what `work`
    // returned (0 when it threw). False, and nothing started, while an
    // earlier run is held (see running) or when no thread can be had.
    bool start(HWND notify, UINT message, std::function<LPARAM()> work);

    // True from start() until the run's notice has been taken (finished) or
    // a wait has seen the thread end.
    bool running() const { return static_cast<bool>(thread_); }

    // The number of the latest run; 0 before the first.
    WPARAM run() const { return run_; }

    // The notice of run `run` has arrived on the UI thread. True when it is
    // the latest run's: its thread is then let go (posting was its last act
    // but one, so any wait here is short). A notice of an earlier run is
    // stale and gives false.
    bool finished(WPARAM run);

    // Waits up to `timeoutMs` for a running thread; true when none runs any
    // longer. A thread that does not end in time is kept for a later wait.
    bool wait(DWORD timeoutMs);

private:
    UniqueHandle thread_;
    WPARAM run_ = 0;
};
