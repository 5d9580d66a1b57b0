// Registering the hotkeys, with a stand-in for the system that records each
// call and refuses the combinations "another program" holds.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hotkeys/Hotkeys.h"

namespace {

class RecordingSystem final : public HotkeySystem {
public:
    bool registerHotkey(HWND window, int id, UINT modifiers, UINT key) override
    {
        const bool free = heldElsewhere.count({modifiers & ~kHotkeyNoRepeat, key}) == 0;
        calls.push_back((free ? "+" : "!") + std::to_string(id) + " " + describe(window, modifiers, key));
        return free;
    }
    void unregisterHotkey(HWND window, int id) override
    {
        calls.push_back("-" + std::to_string(id) + (window == expectedWindow ? "" : " other window"));
    }
    std::string describe(HWND window, UINT modifiers, UINT key) const
    {
        std::string text = std::to_string(modifiers & ~kHotkeyNoRepeat) + "/" + std::to_string(key);
        if ((modifiers & kHotkeyNoRepeat) == 0) text += " repeating";
        if (window != expectedWindow) text += " other window";
        return text;
    }
    std::vector<std::string> take() { return std::exchange(calls, {}); }

    HWND expectedWindow = nullptr;
    std::set<std::pair<UINT, UINT>> heldElsewhere;
    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(Hotkeys, RegisteredForTheWindowReleasedWhileAsideAndAtTheEnd)
{
    RecordingSystem system;
    system.expectedWindow = reinterpret_cast<HWND>(0x1234);
    constexpr UINT ctrlAlt = kHotkeyCtrl | kHotkeyAlt;  // 3
    HotkeySettings settings;
    settings[HotkeyCommand::next] = {ctrlAlt, 'N'};        // id 1
    settings[HotkeyCommand::remembered] = {ctrlAlt, 'M'};  // id 3, held by another program
    settings[HotkeyCommand::options] = {kHotkeyShift, 0x77};  // id 7
    system.heldElsewhere.insert({ctrlAlt, 'M'});
    {
        Hotkeys hotkeys(system);
        hotkeys.setSettings(settings);
        EXPECT_EQ(system.take(), Calls{}) << "no window yet";

        hotkeys.setWindow(system.expectedWindow);
        EXPECT_EQ(system.take(), (Calls{"+1 3/78", "!3 3/77", "+7 4/119"}));
        EXPECT_TRUE(hotkeys.heldElsewhere(HotkeyCommand::remembered));
        EXPECT_FALSE(hotkeys.heldElsewhere(HotkeyCommand::next));
        EXPECT_EQ(hotkeys.commandOf(1), HotkeyCommand::next);
        EXPECT_EQ(hotkeys.commandOf(7), HotkeyCommand::options);
        EXPECT_EQ(hotkeys.commandOf(3), std::nullopt) << "not registered";
        EXPECT_EQ(hotkeys.commandOf(0), std::nullopt);
        EXPECT_EQ(hotkeys.commandOf(10), std::nullopt);

        // Whether a combination is free, for the page: one of ours is, and
        // costs no call; one held elsewhere is not; another is tried on a
        // scratch id and let go.
        EXPECT_FALSE(hotkeys.heldByAnotherProgram({ctrlAlt, 'N'}));
        EXPECT_TRUE(hotkeys.heldByAnotherProgram({ctrlAlt, 'M'}));
        EXPECT_FALSE(hotkeys.heldByAnotherProgram({ctrlAlt, 'K'}));
        EXPECT_FALSE(hotkeys.heldByAnotherProgram({}));
        EXPECT_EQ(system.take(), (Calls{"!10 3/77", "+10 3/75", "-10"}));

        // A full-screen program in front: everything is let go, and taken
        // again when it leaves.
        hotkeys.setStandingAside(true);
        EXPECT_EQ(system.take(), (Calls{"-1", "-7"}));
        EXPECT_EQ(hotkeys.commandOf(1), std::nullopt);
        EXPECT_FALSE(hotkeys.heldElsewhere(HotkeyCommand::remembered));
        hotkeys.setStandingAside(true);
        EXPECT_EQ(system.take(), Calls{});
        hotkeys.setStandingAside(false);
        EXPECT_EQ(system.take(), (Calls{"+1 3/78", "!3 3/77", "+7 4/119"}));

        // OK after the other program let go, with Next moved onto Previous's
        // place and Options cleared: all registered afresh.
        system.heldElsewhere.clear();
        settings[HotkeyCommand::previous] = settings[HotkeyCommand::next];
        settings[HotkeyCommand::next] = {};
        settings[HotkeyCommand::options] = {};
        hotkeys.setSettings(settings);
        EXPECT_EQ(system.take(), (Calls{"-1", "-7", "+2 3/78", "+3 3/77"}));
        EXPECT_FALSE(hotkeys.heldElsewhere(HotkeyCommand::remembered));
        EXPECT_EQ(hotkeys.commandOf(2), HotkeyCommand::previous);
        EXPECT_EQ(hotkeys.commandOf(1), std::nullopt);
    }
    // Gone with its owner: released.
    EXPECT_EQ(system.take(), (Calls{"-2", "-3"}));
}

TEST(Hotkeys, ThePageInFrontAndExitReleaseEverything)
{
    RecordingSystem system;
    system.expectedWindow = reinterpret_cast<HWND>(0x99);
    Hotkeys hotkeys(system);
    hotkeys.setWindow(system.expectedWindow);
    hotkeys.setSettings(defaultHotkeys());
    EXPECT_EQ(system.take().size(), 7u);
    // The hotkey page in front lets them go too; aside and editing at once
    // take them back only when both are over.
    hotkeys.setEditing(true);
    EXPECT_EQ(system.take().size(), 7u);
    hotkeys.setStandingAside(true);
    hotkeys.setEditing(false);
    EXPECT_EQ(system.take(), Calls{});
    hotkeys.setStandingAside(false);
    EXPECT_EQ(system.take().size(), 7u);
    hotkeys.setWindow(nullptr);
    EXPECT_EQ(system.take(), (Calls{"-1", "-2", "-3", "-4", "-5", "-8", "-9"}));
    hotkeys.setStandingAside(false);
    hotkeys.setSettings(defaultHotkeys());
    EXPECT_EQ(system.take(), Calls{}) << "no window, nothing registered";
}

}  // namespace
