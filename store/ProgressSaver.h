// The periodic save in two halves, so that the file is written off the
// thread that asks for it (a save of 100,000 words writes 166 MB) by
// whoever runs the program's threads: take() copies what is to be written,
// under the store's lock, on the asking thread; write() writes that copy on
// any thread and records the outcome.
#pragma once

#include <optional>

#include "store/WordGet.h"

class ProgressSaver {
public:
    // The copy to write when the store changed since its last save, or
    // nothing.
    static std::optional<ProgressSnapshot> take(const WordGet& store);
    // Writes `snapshot` and tells the store: it is marked clean only if
    // nothing changed since the copy. False when nothing was written (the
    // store then stays dirty and the next save tries again).
    static bool write(WordGet& store, const ProgressSnapshot& snapshot) noexcept;
};
