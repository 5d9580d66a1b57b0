#include "store/ProgressSaver.h"

std::optional<ProgressSnapshot> ProgressSaver::take(const WordGet& store)
{
    if (!store.dirty()) return std::nullopt;
    return store.snapshotProgress();
}

bool ProgressSaver::write(WordGet& store, const ProgressSnapshot& snapshot) noexcept
{
    bool saved = false;
    try {
        saved = store.saveSnapshot(snapshot);
    } catch (...) {
        // Out of memory in the file layer: the store stays dirty and the
        // next save tries again.
    }
    return saved;
}
