// Keeping the word window out of the user's way: the word stays while the
// pointer rests on it, and the window steps aside while a full-screen
// program is in front on its monitor. The word window owns one and calls it
// from its window procedure; the rest of the program never needs it.
#pragma once

#include <windows.h>

#include "settings/SettingsRecord.h"

class WordWindow;

class WordHold {
public:
    // `owner` is the word window this holds; it is asked to lay out again
    // when it comes back.
    WordHold(WordWindow& owner, const SettingsRecord& settings) : owner_(owner), Settings(settings) {}
    WordHold(const WordHold&) = delete;
    WordHold& operator=(const WordHold&) = delete;

    // Pointer hold. Entering the window (its first WM_MOUSEMOVE) holds the
    // word and asks for WM_MOUSEHOVER and WM_MOUSELEAVE; the switch timer's
    // ticks then advance nothing (they still check for full-screen
    // programs). Leaving releases it, and the next word comes a full period
    // later. Never touches autoSwitch: a held word is not a paused one.
    void onPointerMove(HWND window);
    void onPointerHover(HWND window);
    void onPointerLeave(HWND window);
    // The context menu takes the switch timer over for as long as it is open
    // and restarts it when it closes; a pointer still on the word then holds
    // it again.
    void onWordMenuOpening(HWND window);
    void onWordMenuClosed(HWND window);

    // Stepping aside. Registers the window with the shell for full-screen
    // notifications, and removes it again.
    void onHoldCreate(HWND window);
    void onHoldDestroy(HWND window);
    // WM_APPBAR_NOTIFY from the shell, WM_ACTIVATEAPP, and messages nobody
    // else handles (the shell restarting).
    void onAppBarNotify(HWND window, WPARAM notification, LPARAM lParam);
    void onActivateApp(HWND window);
    void onOtherMessage(HWND window, UINT message);
    // Called for every advance request (TIMER_SWITCH, lParam 0) before the
    // advance, which makes the switch timer the periodic check as well: true
    // when the request must not advance, because a full-screen program is in
    // front (the window steps aside) or has just left (the window comes back
    // with the word it showed).
    bool switchStaysAside(HWND window);

private:
    void restartSwitch(HWND window);
    void trackPointer(HWND window);
    void stopTracking(HWND window);
    void hold(HWND window);
    bool pointerHoldApplies() const;
    void holdIfPointerOn(HWND window);
    bool fullScreenInFront(HWND window) const;
    void stepAside(HWND window);
    void comeBack(HWND window);
    bool reconsider(HWND window);
    void registerAppBar(HWND window);
    void removeAppBar(HWND window);

    WordWindow& owner_;
    const SettingsRecord& Settings;
    bool tracking_ = false;    // TrackMouseEvent watches for the pointer leaving
    bool hoverArmed_ = false;  // ... and for it resting
    bool held_ = false;        // the pointer holds the word
    bool aside_ = false;       // stepped aside for a full-screen program
    bool appBarRegistered_ = false;
    // The foreground window the shell last announced as full-screen: its
    // word holds only while that window stays in front.
    HWND shellFullScreenWindow_ = nullptr;
};

namespace wordwindow {

// What decides whether the program in front counts as full-screen for the
// word window, gathered from the window system so the decision itself can
// be checked for any monitor layout.
struct FullScreenFacts {
    bool foreground = false;      // some window is in the foreground
    bool ownProcess = false;      // it is ours (the options sheet, a dialog)
    bool desktop = false;         // the desktop or another of the shell's windows
    bool shown = false;           // visible and not minimised
    RECT client = {};             // its client area, in screen coordinates
    RECT foregroundMonitor = {};  // the monitor it is mostly on
    RECT wordMonitor = {};        // the monitor the word window is on
    bool shellBusy = false;       // the shell: busy, full-screen Direct3D, presenting
    bool shellReported = false;   // the shell announced this window as full-screen
};
bool coversWordMonitor(const FullScreenFacts& facts);

}  // namespace wordwindow
