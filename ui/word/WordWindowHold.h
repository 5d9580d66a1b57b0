// Keeping the word window out of the user's way: the word stays while the
// pointer rests on it, and the window steps aside while a full-screen
// program is in front on its monitor. The word window owns one and calls it
// from its window procedure; the rest of the program never needs it. The
// hold only gathers these two facts and reports each change to the word
// window, whose decide() works out its timer and its visibility from them:
// the hold never touches either.
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

    // The facts. held: the pointer rests on the shown word, so a tick of
    // the switch timer advances nothing (the word window gives the next word
    // a full period once it leaves). aside: a full-screen program is in
    // front on the word window's monitor.
    bool held() const { return held_ && pointerHoldApplies(); }
    bool aside() const { return aside_; }

    // Pointer hold. Entering the window (its first WM_MOUSEMOVE) holds the
    // word and asks for WM_MOUSEHOVER and WM_MOUSELEAVE. Leaving releases
    // it. Never touches autoSwitch: a held word is not a paused one.
    void onPointerMove(HWND window);
    void onPointerHover(HWND window);
    void onPointerLeave(HWND window);
    // While the context menu is open the pointer holds nothing; a pointer
    // still on the word when it closes holds it again.
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
    // Called for every tick of the switch timer before it advances, which
    // makes the timer the periodic check as well: true when the tick must
    // not advance, because a full-screen program is in front (the window
    // steps aside), has just left (the window comes back with the word it
    // showed), or the pointer holds the word. Commands never ask.
    bool tickWaits(HWND window);
    // Steps aside or comes back as the program in front demands, now.
    void checkFullScreen(HWND window) { reconsider(window); }

private:
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
