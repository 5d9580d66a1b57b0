// The system-wide hotkeys, registered for the owner window. The owner of
// this object says what is wanted (the settings, the window, whether the
// word window stands aside for a full-screen program); which combinations
// are registered follows from that in one place, and those another program
// holds are remembered so the hotkey page can say so.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "settings/Hotkeys.h"

// RegisterHotKey and UnregisterHotKey. Tests put a stand-in for the system
// here, which can refuse a combination as if another program held it.
class HotkeySystem {
public:
    virtual ~HotkeySystem() = default;
    virtual bool registerHotkey(HWND window, int id, UINT modifiers, UINT key) = 0;
    virtual void unregisterHotkey(HWND window, int id) = 0;
};
// The real functions of user32.
HotkeySystem& windowsHotkeySystem();

// RegisterHotKey's MOD_NOREPEAT (Windows 7 and later): a key held down
// would otherwise step through the words at the keyboard's repeat rate.
constexpr UINT kHotkeyNoRepeat = 0x4000;

class Hotkeys {
public:
    explicit Hotkeys(HotkeySystem& system = windowsHotkeySystem()) : system_(system) {}
    ~Hotkeys() { setWindow(nullptr); }
    Hotkeys(const Hotkeys&) = delete;
    Hotkeys& operator=(const Hotkeys&) = delete;

    // The facts the registrations follow from; each call brings them up to
    // date at once. UI thread only: a hotkey belongs to the thread of the
    // window it is registered for.
    // The window WM_HOTKEY goes to; nullptr releases every hotkey (exit).
    void setWindow(HWND window);
    // The combinations wanted, after loading the settings and after OK.
    // Every one is registered again, so that one another program let go of
    // meanwhile is taken now.
    void setSettings(const HotkeySettings& settings);
    // While the word window stands aside for a full-screen program every
    // hotkey is let go, so that a game or a film gets every key.
    void setStandingAside(bool aside);
    // While the hotkey page is in front they are let go as well: a
    // combination of ours pressed in one of its fields would otherwise run
    // its command instead of reaching the field.
    void setEditing(bool editing);

    // The command of WM_HOTKEY's wParam, or nothing for an id not ours.
    std::optional<HotkeyCommand> commandOf(WPARAM id) const;
    // Whether the combination wanted for `command` could not be registered
    // because another program holds it (known only while registered).
    bool heldElsewhere(HotkeyCommand command) const { return failed_[index(command)]; }
    // Whether another program holds `hotkey` now: tried on a scratch id
    // and let go at once. A combination this object holds is not.
    bool heldByAnotherProgram(Hotkey hotkey) const;

    static constexpr int kFirstId = 1;

private:
    static int index(HotkeyCommand command) { return static_cast<int>(command); }
    // Registers what the facts ask for, releases everything else.
    void update();
    void releaseAll();

    HotkeySystem& system_;
    HWND window_ = nullptr;
    HotkeySettings settings_{};
    bool aside_ = false;
    bool editing_ = false;
    // What is registered now, per command (none: nothing).
    std::array<Hotkey, kHotkeyCommandCount> registered_{};
    std::array<bool, kHotkeyCommandCount> failed_{};
};
