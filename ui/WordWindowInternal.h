// What the two halves of the word window (display and interaction) share.
// Not for use outside ui/WordWindow*.cpp.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>

#include "ui/WordWindow.h"

namespace wordwindow {

// Device context of a window, released on scope exit.
class WindowDC {
public:
    explicit WindowDC(HWND window, bool wholeWindow = false)
        : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back on scope
// exit, so a DC never goes back to the system holding our font.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject()
    {
        if (previous_ != nullptr) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The period of TIMER_SWITCH, kept between one second and the platform's
// maximum wherever the timer is armed (start-up, menu, settings page).
inline UINT switchPeriodMs(int switchSeconds)
{
    return switchTimerPeriodMs(switchSeconds);
}

// Appends `text` to the zero-terminated `buffer` of `units`, cutting what
// does not fit; returns the new length.
std::size_t appendBounded(wchar_t* buffer, std::size_t units, std::size_t length, std::u16string_view text);

// Handlers of the interaction half, called from wordWindowProc.
void onLeftButtonDown(HWND window);
void onMouseMove(HWND window, WPARAM keys);
void onLeftButtonUp(HWND window);
void onProbeTick(HWND window);
void onKillFocus(HWND window);

}  // namespace wordwindow
