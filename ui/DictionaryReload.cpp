#include "ui/DictionaryReload.h"

#include <utility>

#include "ui/word/WordWindow.h"
#include "win/Messages.h"

namespace {

// The start-up load swaps its lists in when it ends; a reload that ended
// before it would be undone by it, so a reload waits for it this long.
constexpr DWORD kWordLoadWaitMs = 10000;

}  // namespace

bool DictionaryReload::start(std::u16string name, ListOrderChoice order)
{
    if (worker_.running()) return false;
    wordWindow_.waitForWordLoad(kWordLoadWaitMs);
    // Inputs by value; the store is made for use from several threads.
    WordGet* store = &store_;
    return worker_.start(notify_, WM_RELOAD_DONE, [store, name = std::move(name), order]() -> LPARAM {
        store->loadDictionary(name, order);
        return 1;
    });
}

void DictionaryReload::finish(WPARAM run)
{
    // A notice from a reload that shutdown already waited for, followed by
    // a newer reload, must not end the newer one.
    if (!worker_.finished(run)) return;
    // The new list's first entry, laid out at once: painting it into the
    // previous word's extents would cut or misplace it until the next tick.
    wordWindow_.layout();
    // A copy: the listener may stop listening while it is told.
    if (const std::function<void()> ended = ended_) ended();
}

void DictionaryReload::listen(const void* listener, std::function<void()> ended)
{
    listener_ = listener;
    ended_ = std::move(ended);
}

void DictionaryReload::stopListening(const void* listener)
{
    if (listener_ != listener) return;
    listener_ = nullptr;
    ended_ = nullptr;
}
