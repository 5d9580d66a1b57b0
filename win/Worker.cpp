#include "win/Worker.h"

#include <memory>
#include <new>
#include <utility>

namespace {

struct Task {
    HWND notify;
    UINT message;
    WPARAM run;
    std::function<LPARAM()> work;
};

DWORD WINAPI workerMain(void* parameter)
{
    std::unique_ptr<Task> task(static_cast<Task*>(parameter));
    LPARAM result = 0;
    try {
        result = task->work();
    } catch (...) {
        // Out of memory part-way: the work reports nothing done.
    }
    // Posted, never sent: the UI thread may be blocked waiting for us.
    PostMessageW(task->notify, task->message, task->run, result);
    return 0;
}

}  // namespace

bool Worker::start(HWND notify, UINT message, std::function<LPARAM()> work)
{
    if (thread_) return false;
    auto task = std::unique_ptr<Task>(new (std::nothrow) Task{notify, message, run_ + 1, std::move(work)});
    if (task == nullptr) return false;
    HANDLE thread = CreateThread(nullptr, 0, workerMain, task.get(), 0, nullptr);
    if (thread == nullptr) return false;
    task.release();  // the thread owns it now
    thread_.reset(thread);
    ++run_;
    return true;
}

bool Worker::finished(WPARAM run)
{
    // A wait may have let the thread go already; the notice still counts.
    // Ten seconds is far beyond the moment between posting and returning.
    return run == run_ && wait(10000);
}

bool Worker::wait(DWORD timeoutMs)
{
    if (!thread_) return true;
    if (WaitForSingleObject(thread_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    thread_.reset();
    return true;
}
