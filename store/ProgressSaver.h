// Writes the progress file on a worker thread, so that whoever asks for a
// save (the UI thread's periodic timer) never waits for the disk: a save of
// 100,000 words writes 166 MB.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

class WordGet;

class ProgressSaver {
public:
    explicit ProgressSaver(WordGet& store) : store_(store) {}
    // Waits for a running save.
    ~ProgressSaver();
    ProgressSaver(const ProgressSaver&) = delete;
    ProgressSaver& operator=(const ProgressSaver&) = delete;

    // When the store changed since its last save and no save is running,
    // copies the lists (under the store's lock, on this thread) and writes
    // them on a worker thread, which then calls `done` with the result. The
    // store is marked clean only if nothing changed since the copy. False
    // when no save was started.
    bool start(std::function<void(bool saved)> done = {});
    // True from start() until the worker has called `done`.
    bool running() const { return running_.load(); }
    // Waits until a started save has finished; at once when there is none.
    // Only the thread that calls start() calls this.
    void wait();

private:
    WordGet& store_;
    std::thread worker_;
    std::atomic<bool> running_{false};
};
