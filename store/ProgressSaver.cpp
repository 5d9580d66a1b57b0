#include "ProgressSaver.h"

#include <system_error>
#include <utility>

#include "WordGet.h"

ProgressSaver::~ProgressSaver()
{
    wait();
}

bool ProgressSaver::start(std::function<void(bool saved)> done)
{
    if (running_.load())
        return false;
    // A worker that has finished is still to be joined before the next one.
    wait();
    if (!store_.dirty())
        return false;
    ProgressSnapshot snapshot = store_.snapshotProgress();
    running_.store(true);
    try {
        worker_ = std::thread([this, snapshot = std::move(snapshot), done = std::move(done)] {
            bool saved = false;
            try {
                saved = store_.writeProgress(snapshot);
                store_.progressWritten(snapshot, saved);
            } catch (...) {
                // Out of memory in the file layer: the store stays dirty and
                // the next save tries again.
            }
            if (done)
                done(saved);
            running_.store(false);
        });
    } catch (const std::system_error&) {
        running_.store(false);
        return false;
    }
    return true;
}

void ProgressSaver::wait()
{
    if (worker_.joinable())
        worker_.join();
}
