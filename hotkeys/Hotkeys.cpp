#include "hotkeys/Hotkeys.h"

namespace {

class WindowsHotkeySystem final : public HotkeySystem {
public:
    bool registerHotkey(HWND window, int id, UINT modifiers, UINT key) override
    {
        return RegisterHotKey(window, id, modifiers, key) != FALSE;
    }
    void unregisterHotkey(HWND window, int id) override { UnregisterHotKey(window, id); }
};

// Past the commands' ids, for the hotkey page's question whether a
// combination is free.
constexpr int kScratchId = Hotkeys::kFirstId + kHotkeyCommandCount;

}  // namespace

HotkeySystem& windowsHotkeySystem()
{
    static WindowsHotkeySystem system;
    return system;
}

void Hotkeys::setWindow(HWND window)
{
    if (window == window_) return;
    releaseAll();
    window_ = window;
    update();
}

void Hotkeys::setSettings(const HotkeySettings& settings)
{
    settings_ = settings;
    // Released first: a combination moved from one command to another
    // could not be registered for the second while the first holds it.
    releaseAll();
    update();
}

void Hotkeys::setStandingAside(bool aside)
{
    if (aside == aside_) return;
    aside_ = aside;
    update();
}

void Hotkeys::setEditing(bool editing)
{
    if (editing == editing_) return;
    editing_ = editing;
    update();
}

void Hotkeys::releaseAll()
{
    for (int i = 0; i < kHotkeyCommandCount; ++i) {
        if (!registered_[i].none()) system_.unregisterHotkey(window_, kFirstId + i);
        registered_[i] = Hotkey{};
        failed_[i] = false;
    }
}

void Hotkeys::update()
{
    if (window_ == nullptr || aside_ || editing_) {
        releaseAll();
        return;
    }
    for (int i = 0; i < kHotkeyCommandCount; ++i) {
        const Hotkey wanted = settings_.keys[i];
        if (wanted == registered_[i] && !failed_[i]) continue;
        if (!registered_[i].none()) system_.unregisterHotkey(window_, kFirstId + i);
        registered_[i] = Hotkey{};
        failed_[i] = false;
        if (wanted.none()) continue;
        if (system_.registerHotkey(window_, kFirstId + i, wanted.modifiers | kHotkeyNoRepeat, wanted.key))
            registered_[i] = wanted;
        else
            failed_[i] = true;
    }
}

std::optional<HotkeyCommand> Hotkeys::commandOf(WPARAM id) const
{
    if (id < static_cast<WPARAM>(kFirstId) || id >= static_cast<WPARAM>(kFirstId + kHotkeyCommandCount))
        return std::nullopt;
    const int i = static_cast<int>(id) - kFirstId;
    if (registered_[i].none()) return std::nullopt;
    return static_cast<HotkeyCommand>(i);
}

bool Hotkeys::heldByAnotherProgram(Hotkey hotkey) const
{
    if (hotkey.none()) return false;
    for (const Hotkey& own : registered_)
        if (own == hotkey) return false;
    if (!system_.registerHotkey(window_, kScratchId, hotkey.modifiers | kHotkeyNoRepeat, hotkey.key)) return true;
    system_.unregisterHotkey(window_, kScratchId);
    return false;
}
