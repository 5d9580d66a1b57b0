// The periodic save as the program runs it, on a thread of its own, for the
// native tests (the program itself runs the two halves on its Win32 worker):
// one save at a time, the store usable while the file is written.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "store/ProgressSaver.h"

class BackgroundSave {
public:
    explicit BackgroundSave(WordGet& store) : store_(store) {}
    ~BackgroundSave() { wait(); }
    BackgroundSave(const BackgroundSave&) = delete;
    BackgroundSave& operator=(const BackgroundSave&) = delete;

    // False when a save runs or nothing changed.
    bool start(std::function<void(bool saved)> done = {})
    {
        if (running_.load()) return false;
        wait();
        std::optional<ProgressSnapshot> snapshot = ProgressSaver::take(store_);
        if (!snapshot) return false;
        running_.store(true);
        worker_ = std::thread([this, snapshot = std::move(*snapshot), done = std::move(done)] {
            const bool saved = ProgressSaver::write(store_, snapshot);
            if (done) done(saved);
            running_.store(false);
        });
        return true;
    }
    bool running() const { return running_.load(); }
    void wait()
    {
        if (worker_.joinable()) worker_.join();
    }

private:
    WordGet& store_;
    std::thread worker_;
    std::atomic<bool> running_{false};
};
