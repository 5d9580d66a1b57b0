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
#include <functional>
#include <string>
#include <unordered_set>

#include "settings/ReviewSettings.h"
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

// The word commands of the menu. Any other way of giving them (keys, for
// one) runs the same; a command the user gives always acts, whatever the
// pointer or a full-screen program: only the timer's tick waits for them.
enum class WordCommand {
    remembered,  // 已记住
    previous,    // 上一个
    next,        // 下一个
    pause,       // 暂停: pause or resume automatic switching
    forgot,      // 忘了, for a word under review
    reveal,      // 显示释义: the hidden meaning shows
};

// What the word window tells its owner. Either may be empty.
struct WordWindowEvents {
    // A word is newly shown: laid out in the window, or written into the
    // captured window's title in title-bar mode. Never the loading line,
    // never the same entry twice in a row, never while the window is aside
    // or hidden: a word the store stepped to meanwhile is told when the
    // window shows again.
    std::function<void(const WordEntry&)> wordShown;
    // The window stepped aside for a full-screen program (true) or came
    // back (false). Hiding on the user's request is no stepping aside.
    std::function<void(bool aside)> asideChanged;
    // The user asked for the shown word to be said (朗读 in its menu).
    std::function<void(const WordEntry&)> speakRequested;
    // The user answered for a word: 已记住 (good) or 忘了 (not good), after
    // the store has moved it; `beforeMeaning`: while its meaning was still
    // hidden.
    std::function<void(const WordEntry&, bool good, bool beforeMeaning)> answered;
    // The start-up load has put the lists in place; the first word is shown
    // right after this returns.
    std::function<void()> loaded;
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
    HWND handle() const { return window_.get(); }

    // What the owner hears of the window; set before create().
    void setEvents(WordWindowEvents events) { events_ = std::move(events); }

    // Step on (always: this is a command, not a tick), or show the current
    // entry again (a new font, a display change, a reload). In title-bar
    // mode both write the captured window's title instead; while the window
    // is aside or hidden the store steps and the window shows the result
    // when it comes back. WM_TIMER / TIMER_SWITCH with lParam 1 is the
    // same request as layout(); with lParam 0 it is a tick, which waits
    // under a resting pointer and behind a full-screen program.
    void advance();
    void layout();
    // Repaints the current entry as laid out (new text colours).
    void repaint();

    // Carries out a word command at once, as the menu does.
    void runCommand(WordCommand command);

    // Recall first: a word `mode` names is shown with its word and phonetic
    // only, and a quiet placeholder where its meaning will be (the window
    // keeps the meaning's size, so nothing jumps when it shows). The meaning
    // shows when the pointer rests on the word, on a click that is no drag,
    // on 显示释义, or by itself after `revealSeconds` (0: at once). The
    // round moves on a full period after it has shown, never before.
    // Applies from the next word shown; a meaning hidden now shows at once
    // when recall first is turned off.
    void setRecallFirst(RecallFirst mode, int revealSeconds);
    // The meaning of the word shown is hidden still.
    bool meaningHidden() const { return reveal_.hidden; }

    // Hides the word window for a moment on the user's request (a
    // presentation, a screenshot), and shows it again. While hidden the
    // study round waits and no title is written; commands still act.
    void setHiddenByUser(bool hidden);
    bool hiddenByUser() const { return hiddenByUser_; }
    // Stepped aside for a full-screen program.
    bool steppedAside() const { return hold_.aside(); }

    // Opens the context menu at the cursor, owned by `menuOwner`, and carries
    // out the chosen command.
    void showWordMenu(HWND menuOwner);
    // The two halves of showWordMenu. prepareWordMenu marks the menu open
    // (no automatic switch while it is) and sets the pause item's check
    // mark; it returns the popup to show (nullptr without the menu).
    // runWordCommand carries out command `id` (0: dismissed), then lets
    // `menuOwner` know the menu is gone; the switching period starts afresh.
    HMENU prepareWordMenu();
    void runWordCommand(HWND menuOwner, UINT id);

    // Waits (bounded) for the start-up load still running on its worker.
    bool waitForWordLoad(DWORD timeoutMs) { return load_.wait(timeoutMs); }
    // From creation until the load's notice has been taken.
    bool loading() const { return loading_; }

    // Settings applied at once; the options sheet's settings page changes
    // the window only through these.
    // autoSwitch or switchSeconds changed: switching starts or stops, and a
    // running period starts afresh.
    void switchingChanged();
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
    // titleBarMode changed. Turned on, the window hides and a capture is
    // armed; turned off, the window shows again, laid out for the current
    // entry.
    void titleBarModeChanged();

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

    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The one place that decides, from the facts (switching on or paused,
    // the period, loading, the menu open, the word held under the pointer,
    // stepped aside, hidden by the user, title-bar mode, being destroyed,
    // the meaning hidden), whether TIMER_SWITCH, TIMER_TITLE and
    // TIMER_REVEAL run and whether the window is shown. Every change of one of them calls it; nothing else sets or
    // kills those timers or shows or hides the window.
    void decide();
    void decideOnce();
    // The hold's facts changed (WordWindowHold.cpp reports them here).
    friend class WordHold;

    // Display (WordWindow.cpp).
    void onCreate();
    void onDestroy();
    void onWordLoadDone(WPARAM run);
    void startWordLoad();
    void installBackgroundBrush(UniqueBrush brush);
    void measure(const WordEntry& entry);
    // TIMER_SWITCH's tick: steps on unless the pointer holds the word or a
    // full-screen program is in front.
    void onSwitchTick();
    // Steps the store on and shows the result.
    void stepOn();
    // Shows the current entry: lays it out in the window, or writes the
    // title; nothing while the window is aside or hidden (decide lays it
    // out when it shows the window again).
    void showCurrent();
    void layoutAtStoredCorner();
    // Tells the owner of the current entry if it is new (wordShown).
    void tellShown();
    // Lays out the current entry in a font for `dpi` and shows the window
    // at `corner`, wholly inside `work` where it fits.
    void layoutAt(POINT corner, const RECT& work, UINT dpi);
    // WM_DPICHANGED: another monitor, or another scale of this one.
    void onDpiChanged(UINT dpi, const RECT& suggested);
    // The settings' font scaled from its 96-DPI units to `dpi`; nullptr for
    // a record GDI refuses.
    UniqueFont makeWordFont(UINT dpi) const;
    void paint();
    void drawReviewMark(HDC dc, int x, int y) const;

    // Recall first (WordWindowReveal.cpp). The one place that works out
    // whether the meaning of the word about to be shown is hidden: once a
    // showing (a step, or another word in the store's current entry).
    void workOutReveal();
    bool recallsFirst(std::u16string_view word);
    // Whether `entry`'s meaning is hidden now.
    bool hidesMeaningOf(const WordEntry& entry) const;
    void revealMeaning();
    void drawMeaningPlaceholder(HDC dc, int left, int right, int middle) const;
    // 显示释义 in the word's menu, while the meaning is hidden.
    void showRevealItem(HMENU popup);

    // What the user does (WordWindowInteraction.cpp).
    void onLeftButtonDown();
    void onMouseMove(WPARAM keys);
    void onLeftButtonUp();
    void onProbeTick();
    // The word's own context menu (a right click), with the window in front
    // for as long as the menu tracks.
    void showContextMenu();
    // 忘了 in the word's menu.
    void showForgotItem(HMENU popup);
    void forgetShownWord();

    SettingsRecord& Settings;
    WordGet& wordStore;
    Worker& load_;

    UniqueWindow window_;
    WordWindowEvents events_;
    UniqueFont wordFont_;
    UINT fontDpi_ = kBaseDpi;
    // While layoutAt moves the window: the WM_DPICHANGED this move causes is
    // already answered by the font the layout made for the target monitor.
    bool placing_ = false;
    UniqueBrush backgroundBrush_;
    UniqueMenu wordMenu_;
    bool loading_ = false;

    // Facts decide() reads besides the settings and the hold.
    bool menuOpen_ = false;
    bool hiddenByUser_ = false;
    bool destroying_ = false;
    // A command was given: the word it shows gets a full period.
    bool freshPeriod_ = false;
    // What decide() last made of them.
    struct Decided {
        bool switchRuns = false;
        UINT period = 0;
        bool titleRuns = false;
        bool showing = false;  // the word is on display (window or title)
        bool visible = false;  // the window is shown
        bool held = false;
        bool aside = false;
        bool revealRuns = false;
    };
    Decided decided_;
    bool deciding_ = false;
    bool decideAgain_ = false;
    bool asideTold_ = false;
    // The entry last told to events_.wordShown.
    WordEntry told_{};
    bool toldAny_ = false;

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

    // Recall first: the settings, the word whose showing the state is of,
    // and the words being learnt already shown once (their first showing
    // is for study).
    RecallFirst recallFirst_ = RecallFirst::review;
    int revealSeconds_ = 5;
    struct Reveal {
        std::u16string word;
        bool hidden = false;
    };
    Reveal reveal_;
    // A step since the reveal was worked out: a new showing, also of the
    // same word (the only one of the round).
    bool newShowing_ = true;
    // The reveal timer starts its wait afresh (a new hidden meaning).
    bool revealFresh_ = false;
    std::unordered_set<std::u16string> shownOnce_;

    WordHold hold_;
};
