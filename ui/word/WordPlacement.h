// Where the word window goes on the screen, and how tall its wrapped layout
// really has to be. The choices are pure functions of rectangles and measured
// heights, so they can be checked without a screen; the few calls that ask
// Windows for monitors and text heights sit beside them.
//
// The stored corner (the settings' windowX/windowY) is what the user chose by
// dragging. The window is shown there when it fits; otherwise it is shown on
// the nearest monitor and moved left or up until it ends inside that
// monitor's work area. The stored corner itself is never changed by this.
#pragma once

#include <windows.h>

#include <vector>

#include "store/lists/WordEntry.h"
#include "ui/word/WordLayout.h"

struct MonitorArea {
    RECT monitor;  // the whole monitor, in virtual-screen coordinates
    RECT work;     // the part of it that task bars leave free
};

// The work area of the monitor holding `corner`, or of the monitor nearest
// to it when none does (a screen that was unplugged, a position from another
// machine, an absurd number). No monitors at all: an empty rectangle.
RECT workAreaForCorner(POINT corner, const std::vector<MonitorArea>& monitors);

// The work area of the monitor that holds most of `rect` (the rectangle
// WM_DPICHANGED suggests is mostly on the monitor whose DPI it carries), or,
// when it lies on none, of the monitor nearest to its top-left corner. No
// monitors at all: an empty rectangle.
RECT workAreaForRect(const RECT& rect, const std::vector<MonitorArea>& monitors);

// The top-left corner at which a window of `size` is shown for the stored
// corner `stored` inside `work`: moved left or up by what it takes to end at
// the work area's right or bottom edge, and right or down when it would
// start before its left or top edge. A window larger than the work area is
// aligned with its left or top edge. An empty work area keeps `stored`.
POINT placeInWorkArea(POINT stored, SIZE size, const RECT& work);

// The monitors of the desktop as Windows reports them now.
std::vector<MonitorArea> currentMonitors();

// workAreaForCorner on the current monitors; the primary monitor's work area
// if Windows lists none.
RECT currentWorkAreaFor(POINT corner);

// Shows `window` at `size` (the last layout's), placed for the stored
// corner `stored` inside `work`, in the topmost band and without
// activating it.
void placeWordWindow(HWND window, POINT stored, SIZE size, const RECT& work);

// The width a one-line layout may take in `work` before it wraps instead;
// INT_MAX for an empty work area.
int oneLineLimitFor(const RECT& work);

// Heights of the word and of the phonetic-and-content block as DrawTextW
// wraps them at `layout.width` in `font` (the painting's own flags), fitted
// into `layout` (see fitWrappedLayout). Does nothing to a one-line layout.
void fitToWrappedText(HWND window, HFONT font, const WordEntry& entry, SIZE word, SIZE content, WordLayout& layout);

// How far outside the word window's frame the background probe samples.
constexpr LONG kProbeGap = 2;

// Where the background probe samples for a window at `frame` on `monitor`:
// kProbeGap pixels outside the frame, 10 pixels below its top (or at the
// middle of a lower window), left of it; right of it when that is off the
// monitor; then above and below it. Never inside the frame, whose pixels
// are the window's own background and text. False when no such point lies
// on the monitor (the window covers it).
bool probePointBeside(const RECT& frame, const RECT& monitor, POINT& at);

// probePointBeside for the word window where it really is (which is not
// always the stored corner `stored`) and the monitor it is on. A window
// off every monitor, or none: 10 pixels below its corner (or `stored`),
// a point on no screen, which reads CLR_INVALID.
POINT probePoint(HWND window, POINT stored);
