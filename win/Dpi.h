// Display scale. The program declares per-monitor awareness (v2, with the
// older forms as fallbacks) in its manifest, so Windows scales nothing for
// it: every size and position it handles is in physical pixels, and what
// should look the same at every scale is multiplied by the DPI of the
// monitor it is shown on over 96.
//
// The functions newer than Windows 7 are looked up at run time; without them
// every monitor counts as having the DPI of the screen's device context,
// which is what Windows 7 (system awareness only) gives.
#pragma once

#include <windows.h>

constexpr UINT kBaseDpi = 96;
// WM_DPICHANGED_AFTERPARENT (Windows 10 1703), which headers for Windows 7
// leave out: sent to every child window once Windows has scaled its
// top-level window for a new DPI.
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// `value` (at `from` DPI) at `to` DPI, rounded half away from zero as MulDiv
// does, computed in 64 bits and clamped to the int range. A DPI of 0 (not
// known) counts as 96.
int scaleBetweenDpi(int value, UINT from, UINT to);
inline int scaleToDpi(int value, UINT dpi)
{
    return scaleBetweenDpi(value, kBaseDpi, dpi);
}

// A LOGFONT height (negative: character height, positive: cell height, 0:
// the default size) kept in 96-DPI units, as a program unaware of scaling
// stores it, at `dpi`. A height that is not 0 never rounds to 0, which
// would mean another font size altogether.
LONG fontHeightForDpi(LONG height96, UINT dpi);

// The 96-DPI height to store for `chosen`, a height at `dpi` returned by
// the font dialog, which was opened with `stored96` scaled by
// fontHeightForDpi. Choosing the size that was offered again gives back
// `stored96` exactly, whatever the rounding, so the file keeps its bytes.
LONG fontHeightFromDpi(LONG chosen, UINT dpi, LONG stored96);

// The DPI of the screen's device context: the system DPI, the one
// Windows 7 has, and the one the notification area draws at.
UINT systemDpi();
// The DPI of `monitor` (its effective DPI), or systemDpi().
UINT dpiForMonitor(HMONITOR monitor);
// The DPI Windows gives `window`, or the DPI of its monitor, or systemDpi().
UINT dpiForWindow(HWND window);
// The monitor nearest to `point`, and its DPI.
UINT dpiAtPoint(POINT point);

// While it lives, the windows this thread creates are system-DPI aware
// (SetThreadDpiAwarenessContext, Windows 10 1607 and later, looked up at
// run time); the thread's awareness before is restored at its end. The
// common font and colour dialogs know only the system DPI: their sizes are
// in it on every monitor, and Windows scales them as a whole on a monitor
// of another scale instead of leaving them half-drawn.
class SystemDpiAwareness {
public:
    SystemDpiAwareness();
    ~SystemDpiAwareness();
    SystemDpiAwareness(const SystemDpiAwareness&) = delete;
    SystemDpiAwareness& operator=(const SystemDpiAwareness&) = delete;

private:
    // A DPI_AWARENESS_CONTEXT, which older headers do not name.
    HANDLE previous_ = nullptr;
};
