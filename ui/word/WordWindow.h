// The word window: the layered, topmost tool window that shows the current
// word, and everything it owns (its font, brush and menu, its timers, the
// last layout, the drag, the captured title window, the pointer hold and
// stepping aside). The rest of the program acts on it only through what
// this class offers.
#pragma once

#include <windows.h>

#include <climits>
#include <cstddef>
#include <cstdint>

#include "settings/SettingsRecord.h"
#include "store/WordGet.h"
#include "ui/word/WordLayout.h"
#include "ui/word/WordWindowHold.h"
#include "win/Handles.h"
#include "win/Timers.h"
#include "win/Worker.h"

constexpr wchar_t kWordWindowClass[] = L"Mivora_Show";

// The period of TIMER_SWITCH for `switchSeconds`, taken as the unsigned
// number the settings page stores: at least one second (a cleared field
// would make the word flicker at the platform's minimum period), at most
// USER_TIMER_MAXIMUM (a huge one would overflow the 32-bit product).
UINT switchTimerPeriodMs(std::int32_t switchSeconds);

// A window of another program taken for title-bar mode, and who owned it
// when it was taken. A handle outlives its window, and Windows hands the
// number out again: without this check the words would one day land in the
// title of some unrelated program.
struct CapturedWindow {
    HWND window = nullptr;
    DWORD process = 0;
    DWORD thread = 0;

    static CapturedWindow of(HWND window);
    // Whether the handle still names the window that was taken: it exists
    // and belongs to the same thread of the same process.
    bool stillThere() const;
};

class WordWindow {
public:
    // The window shows `store`'s current entry as `settings` say; its
    // start-up load runs on `load`. All three outlive it.
    WordWindow(SettingsRecord& settings, WordGet& store, Worker& load);
    ~WordWindow();
    WordWindow(const WordWindow&) = delete;
    WordWindow& operator=(const WordWindow&) = delete;

    // The window class "Mivora_Show"; once a process.
    static bool registerClass(HINSTANCE instance);

    // Creates the window at the stored position with its menu; its creation
    // starts the start-up load. False when the window could not be made.
    bool create(HINSTANCE instance);
    // Destroys the window (nothing when there is none).
    void destroy();
    HWND handle() const { return window_; }

    // The advance-and-layout request: step on, or lay out the current entry
    // again (a new font, a display change, a reload). In title-bar mode
    // both write the captured window's title instead. The window answers the
    // same request as WM_TIMER / TIMER_SWITCH with lParam 0 or 1 from
    // anyone who sends it.
    void advance();
    void layout();
    // Repaints the current entry as laid out (new text colours).
    void repaint();

    // Opens the context menu at the cursor, owned by `menuOwner`, and carries
    // out the chosen command.
    void showWordMenu(HWND menuOwner);
    // The two halves of showWordMenu. prepareWordMenu stops automatic
    // switching for as long as the menu is open and sets the pause item's
    // check mark; it returns the popup to show (nullptr without the menu).
    // runWordCommand carries out command `id` (0: dismissed), then lets
    // `menuOwner` know the menu is gone and restarts automatic switching
    // when it is on.
    HMENU prepareWordMenu();
    void runWordCommand(HWND menuOwner, UINT id);

    // Waits (bounded) for the start-up load still running on its worker.
    bool waitForWordLoad(DWORD timeoutMs) { return load_.wait(timeoutMs); }
    // From creation until the load's notice has been taken.
    bool loading() const { return loading_; }

    // Settings applied at once; the options sheet's settings page changes
    // the window only through these.
    // Starts TIMER_SWITCH afresh with the period of switchSeconds, or stops it.
    void restartSwitchTimer();
    void stopSwitchTimer();
    // Replaces the font by one made from the settings' font at the DPI the
    // window is laid out for; an unusable record keeps the old font.
    // Returns whether the font changed.
    bool applyWordFont();
    // The layered attributes: alpha 250, and the background colour as the
    // transparent one when the background is to be transparent.
    void applyWordTransparency();
    // Makes `colour` the background colour, brush and (when transparent) key.
    void applyWordBackground(COLORREF colour);
    // Makes `colour` the window background. A reading of CLR_INVALID (the
    // point was off the screen) or the colour already in use changes
    // nothing; returns whether the background changed.
    bool adoptBackgroundColor(COLORREF colour);
    // Arms the one-shot TIMER_PROBE (2000 ms): samples the screen or, in
    // title-bar mode, captures the foreground window.
    void startWordProbe();
    // Samples the screen colour just outside the window's edge (see
    // probePoint) and adopts it when every text colour stays readable on it
    // (readableBackground).
    void probeBackground();
    // Title-bar mode: hide the window and start capturing and writing
    // titles; leaving shows the window again, laid out for the current entry.
    void enterTitleBarMode();
    void leaveTitleBarMode();

    // Title-bar mode: remembers a window (and who owns it) as the one to
    // write to, and writes the current entry into its title. Writing stops
    // for good when that window is gone, even if its handle is later given
    // to another. The program's own windows (the hidden owner the tray menu
    // brings to the front, the options sheet) are never taken: the window
    // taken before is kept.
    void captureTitleWindow(HWND window);
    void captureForegroundWindow();
    void writeCapturedTitle();
    HWND capturedWindow() const { return captured_.window; }

    HFONT wordFont() const { return wordFont_.get(); }
    // The DPI the font was made for and the window is laid out at: that of
    // the monitor of the stored corner, or the one WM_DPICHANGED gave.
    UINT wordDpi() const { return fontDpi_; }
    HBRUSH backgroundBrush() const { return backgroundBrush_.get(); }

private:
    static constexpr BYTE kWindowAlpha = 250;
    static constexpr UINT kProbeDelayMs = 2000;
    static constexpr UINT kTitlePeriodMs = 3000;

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Display (WordWindow.cpp).
    void onCreate();
    void onDestroy();
    void onWordLoadDone(WPARAM run);
    void startWordLoad();
    void installBackgroundBrush(UniqueBrush brush);
    void measure(const WordEntry& entry);
    // The advance-and-layout request, from a tick, a message or a call.
    void onSwitchRequest(bool stepOn);
    void advanceAndLayout(bool stepOn);
    // Lays out the current entry in a font for `dpi` and shows the window
    // at `corner`, wholly inside `work` where it fits.
    void layoutAt(POINT corner, const RECT& work, UINT dpi);
    // WM_DPICHANGED: another monitor, or another scale of this one.
    void onDpiChanged(UINT dpi, const RECT& suggested);
    // The settings' font scaled from its 96-DPI units to `dpi`; nullptr for
    // a record GDI refuses.
    UniqueFont makeWordFont(UINT dpi) const;
    void paint();

    // What the user does (WordWindowInteraction.cpp).
    void onLeftButtonDown();
    void onMouseMove(WPARAM keys);
    void onLeftButtonUp();
    void onProbeTick();
    // The word's own context menu (a right click), with the window in front
    // for as long as the menu tracks.
    void showContextMenu();

    SettingsRecord& Settings;
    WordGet& wordStore;
    Worker& load_;

    HWND window_ = nullptr;
    UniqueFont wordFont_;
    UINT fontDpi_ = kBaseDpi;
    // While layoutAt moves the window: the WM_DPICHANGED this move causes is
    // already answered by the font the layout made for the target monitor.
    bool placing_ = false;
    UniqueBrush backgroundBrush_;
    UniqueMenu wordMenu_;
    bool loading_ = false;

    // Extents of the current entry's texts in the font, as measured by the
    // last layout, and the layout with the one-line limit it was made under;
    // painting draws by them and measures nothing.
    SIZE wordExtent_ = {};
    SIZE phoneticExtent_ = {};
    SIZE contentExtent_ = {};
    WordLayout laidOut_;
    int laidOutLineLimit_ = INT_MAX;
    // Scratch text for the wrapped layout's second block and for title-bar
    // mode.
    wchar_t composeBuffer_[kComposeUnits] = {};

    // The drag: cursor in client coordinates at the press, cursor in screen
    // coordinates at the last move, and whether a move happened since the
    // press.
    POINT grabOffset_ = {};
    POINT dragCursor_ = {};
    bool dragMoved_ = false;

    // The title-bar window.
    CapturedWindow captured_;

    WordHold hold_;
};
