// The word window's display: creation, timers, layout, painting and the
// start-up load. Mouse, menu, background probe and title-bar mode live in
// WordWindowInteraction.cpp, the settings it applies at once in
// WordWindowSettings.cpp.
#include "ui/word/WordWindow.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "res/resource.h"
#include "settings/Win32Settings.h"
#include "store/text/Text.h"
#include "store/text/Wide.h"
#include "ui/word/WordPlacement.h"
#include "win/MessageFilter.h"
#include "win/Messages.h"
#include "win/ObjectWindow.h"

namespace {

// How long a second creation waits for the load of the first (only tests
// make a second word window).
constexpr DWORD kEarlierLoadWaitMs = 10000;

std::size_t wordLength(const WordEntry& entry)
{
    return boundedLength(entry.word, kWordUnits);
}

int unitCount(const char16_t* text, std::size_t limit)
{
    return static_cast<int>(boundedLength(text, limit));
}

}  // namespace

WordWindow::WordWindow(SettingsRecord& settings, WordGet& store, Worker& load)
    : Settings(settings), wordStore(store), load_(load), hold_(*this, settings)
{}

WordWindow::~WordWindow()
{
    destroy();
}

bool WordWindow::registerClass(HINSTANCE instance)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = objectWindowProc<WordWindow, &WordWindow::window_, &WordWindow::onMessage>;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // Replaced with the window's own brush when it is created.
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWordWindowClass;
    return RegisterClassW(&windowClass) != 0;
}

bool WordWindow::create(HINSTANCE instance)
{
    if (window_) return true;
    wordMenu_.reset(LoadMenuW(instance, MAKEINTRESOURCEW(IDR_WORD_MENU)));
    // The window records itself in window_ while it is created, so that
    // the handlers of its first messages already find it.
    // Never activated, neither when shown nor when clicked or dragged: it is
    // a tool window without a taskbar button, so a user whose keys went to
    // it could not see where they went (at a start at log-on, the program
    // the user opened first would lose the keyboard).
    return CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kWordWindowClass, L"",
                           WS_POPUP, Settings.windowX, Settings.windowY, 0, 0, nullptr, nullptr, instance,
                           this) != nullptr;
}

void WordWindow::destroy()
{
    // Not window_.reset(): the handlers of the destruction still use the
    // handle, which is let go at WM_NCDESTROY.
    if (window_) DestroyWindow(window_.get());
}

LRESULT WordWindow::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        hold_.onHoldCreate(window);
        onCreate();
        break;
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_MOUSEACTIVATE:
        // WS_EX_NOACTIVATE already says so; answered here as well, so that
        // no click reaches DefWindowProc's activation.
        return MA_NOACTIVATE;
    case WM_PAINT:
        paint();
        break;
    case WM_CONTEXTMENU:
        showContextMenu();
        break;
    case WM_TIMER:
        if (wParam == TIMER_SWITCH) {
            if (lParam == 0)
                onSwitchTick();
            else
                showCurrent();
        } else if (wParam == TIMER_PROBE) {
            onProbeTick();
        } else if (wParam == TIMER_TITLE) {
            writeCapturedTitle();
        } else if (wParam == TIMER_REVEAL) {
            revealMeaning();
        }
        break;
    case WM_WORDLOAD_DONE:
        onWordLoadDone(wParam);
        break;
    case WM_LBUTTONDOWN:
        onLeftButtonDown();
        break;
    case WM_MOUSEMOVE:
        onMouseMove(wParam);
        hold_.onPointerMove(window);
        break;
    case WM_MOUSEHOVER:
        hold_.onPointerHover(window);
        // The pointer rests on the word: the user looks for its meaning.
        if (hold_.held()) revealMeaning();
        break;
    case WM_MOUSELEAVE:
        hold_.onPointerLeave(window);
        break;
    case WM_APPBAR_NOTIFY:
        hold_.onAppBarNotify(window, wParam, lParam);
        break;
    case WM_ACTIVATEAPP:
        hold_.onActivateApp(window);
        break;
    case WM_LBUTTONUP:
        onLeftButtonUp();
        break;
    case WM_DISPLAYCHANGE:
        // A monitor may have gone, or changed its size: lay out again, which
        // also puts the window back on a screen.
        if (!Settings.titleBarMode) layout();
        break;
    case WM_DPICHANGED:
        onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETTINGCHANGE:
        // A task bar moved or grew: the work area is another.
        if (wParam == SPI_SETWORKAREA && !Settings.titleBarMode) layout();
        break;
    default:
        hold_.onOtherMessage(window, message);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WordWindow::installBackgroundBrush(UniqueBrush brush)
{
    SetClassLongPtrW(window_.get(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush.get()));
    // Only now: the class must never be left holding a deleted brush.
    backgroundBrush_ = std::move(brush);
}

void WordWindow::onCreate()
{
    HWND window = window_.get();
    // The shell's full-screen notices, also when the program runs elevated.
    allowMessageFromLowerIntegrity(window, WM_APPBAR_NOTIFY);
    // The font for the monitor the window is going to; the first layout
    // shows it there.
    fontDpi_ = dpiAtPoint({Settings.windowX, Settings.windowY});
    wordFont_ = makeWordFont(fontDpi_);
    installBackgroundBrush(UniqueBrush(CreateSolidBrush(Settings.backgroundColor)));
    SetLayeredWindowAttributes(window, Settings.backgroundColor, kWindowAlpha,
                               Settings.transparentBackground ? LWA_COLORKEY | LWA_ALPHA : LWA_ALPHA);
    SetTimer(window, TIMER_PROBE, kProbeDelayMs, nullptr);

    WordEntry loading{};
    copyBounded(loading.word, storedDictionaryName(Settings));
    copyBounded(loading.phonetic, u"正在");
    copyBounded(loading.content, u"加载中...");
    wordStore.setCurrentEntry(loading);

    menuOpen_ = hiddenByUser_ = destroying_ = freshPeriod_ = false;
    decided_ = Decided{};
    asideTold_ = toldAny_ = false;
    reveal_ = Reveal{};
    shownOnce_.clear();
    newShowing_ = true;
    revealFresh_ = false;
    // No switching before the lists are in place. The window is laid out
    // for the loading line and shown (unless in title-bar mode).
    loading_ = true;
    decide();
    startWordLoad();
}

void WordWindow::onDestroy()
{
    HWND window = window_.get();
    hold_.onHoldDestroy(window);
    destroying_ = true;
    decide();
    KillTimer(window, TIMER_PROBE);
    // The class outlives the window: it must not keep the brush that goes
    // with it.
    SetClassLongPtrW(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(WHITE_BRUSH)));
    backgroundBrush_.reset();
    wordFont_.reset();
    loading_ = false;
}

void WordWindow::startWordLoad()
{
    // A second word window must not start its load over a running one.
    load_.wait(kEarlierLoadWaitMs);
    // Inputs by value: the name is read here, so the worker never reads the
    // settings while the UI thread may change them. The store is made for
    // use from several threads.
    WordGet* store = &wordStore;
    std::u16string name(storedDictionaryName(Settings));
    loading_ = load_.start(window_.get(), WM_WORDLOAD_DONE, [store, name = std::move(name)]() -> LPARAM {
        store->loadProgress(name);
        return 1;
    });
    // Without a thread the loading line stays.
    if (!loading_) decide();
}

void WordWindow::onWordLoadDone(WPARAM run)
{
    if (!load_.finished(run)) return;
    loading_ = false;
    if (events_.loaded) events_.loaded();
    // A full-screen program already in front sends the window aside before
    // the first word would show over it.
    hold_.checkFullScreen(window_.get());
    // The load's advance always happens, under a resting pointer or behind
    // a full-screen program too: otherwise the loading line would stay, and
    // the first word shown would be the list's head instead of its second.
    // Aside, the store steps and the window shows the word when it is back.
    stepOn();
    decide();
}

// Being called again from inside (a move the shown window causes, a
// listener that acts on the window) decides again once this round is done,
// from the facts as they are then.
void WordWindow::decide()
{
    if (!window_) return;
    if (deciding_) {
        decideAgain_ = true;
        return;
    }
    deciding_ = true;
    do {
        decideAgain_ = false;
        decideOnce();
    } while (decideAgain_);
    deciding_ = false;
}

void WordWindow::decideOnce()
{
    HWND window = window_.get();
    const bool titleBar = Settings.titleBarMode != 0;
    const bool aside = hold_.aside();
    const bool held = hold_.held();
    const Decided was = decided_;
    Decided now;
    now.held = held;
    now.aside = aside;
    now.showing = !destroying_ && !aside && !hiddenByUser_;
    now.visible = now.showing && !titleBar;
    now.titleRuns = now.showing && titleBar;
    // TIMER_SWITCH paces the round while switching is on. While the window
    // is aside it also runs, paused or not, as the check for the full-screen
    // program to go (its ticks advance nothing then); while the pointer
    // holds the word it runs on as the check for one to come (the word
    // window is never the active one, so no WM_ACTIVATEAPP tells of it).
    // Nothing switches while the menu is open, before the lists are loaded,
    // or while the user keeps the window hidden.
    now.switchRuns = !destroying_ && !loading_ && !menuOpen_ && !hiddenByUser_ && (Settings.autoSwitch != 0 || aside);
    now.period = switchTimerPeriodMs(Settings.switchSeconds);
    // The hidden meaning shows by itself while the word is on display.
    now.revealRuns = now.showing && !loading_ && reveal_.hidden;
    const bool revealFresh = revealFresh_;
    revealFresh_ = false;
    // A full period from now: the pointer left the word, the window came
    // back with the word it showed, a command showed a word.
    const bool fresh = freshPeriod_ || (was.held && !held) || (was.aside && !aside);
    freshPeriod_ = false;
    decided_ = now;

    if (!now.switchRuns)
        KillTimer(window, TIMER_SWITCH);
    else if (!was.switchRuns || now.period != was.period || fresh)
        SetTimer(window, TIMER_SWITCH, now.period, nullptr);  // a running timer starts its period afresh
    if (!now.revealRuns)
        KillTimer(window, TIMER_REVEAL);
    else if (!was.revealRuns || revealFresh)
        SetTimer(window, TIMER_REVEAL, static_cast<UINT>(revealSeconds_) * 1000, nullptr);
    if (!now.titleRuns)
        KillTimer(window, TIMER_TITLE);
    else if (!was.titleRuns)
        SetTimer(window, TIMER_TITLE, kTitlePeriodMs, nullptr);
    if (destroying_) return;  // DestroyWindow hides it; nobody is told any more

    // Told first: whoever stops its work while the window is aside (keys,
    // speech) has started again before a word comes back.
    if (aside != asideTold_) {
        asideTold_ = aside;
        if (events_.asideChanged) events_.asideChanged(aside);
    }
    if (now.visible && !was.visible) {
        // Laid out before it shows: the entry may have changed while the
        // window was hidden (a step behind a full-screen program, a reload).
        workOutReveal();
        layoutAtStoredCorner();
        ShowWindow(window, SW_SHOWNA);
        tellShown();
    } else if (!now.visible && IsWindowVisible(window)) {
        ShowWindow(window, SW_HIDE);
    }
    if (now.titleRuns && !was.titleRuns) showCurrent();
}

void WordWindow::setHiddenByUser(bool hidden)
{
    if (hiddenByUser_ == hidden) return;
    hiddenByUser_ = hidden;
    decide();
}

void WordWindow::measure(const WordEntry& entry)
{
    WindowDC dc(window_.get());
    if (dc.get() == nullptr) return;
    SelectedObject font(dc.get(), wordFont_.get());
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.word), unitCount(entry.word, kWordUnits), &wordExtent_);
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.phonetic), unitCount(entry.phonetic, kPhoneticUnits),
                          &phoneticExtent_);
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.content), unitCount(entry.content, kContentUnits), &contentExtent_);
}

void WordWindow::layoutAtStoredCorner()
{
    // The monitor of the stored corner (or the nearest one) decides how wide
    // one line may be, where the window is shown and the scale of its text.
    const POINT stored{Settings.windowX, Settings.windowY};
    layoutAt(stored, currentWorkAreaFor(stored), dpiAtPoint(stored));
}

void WordWindow::showCurrent()
{
    if (!window_ || !decided_.showing) return;
    workOutReveal();
    if (Settings.titleBarMode)
        writeCapturedTitle();
    else
        layoutAtStoredCorner();
    tellShown();
}

void WordWindow::tellShown()
{
    if (loading_) return;  // the loading line is no word
    const WordEntry entry = wordStore.currentEntry();
    if (toldAny_ && std::memcmp(&entry, &told_, sizeof entry) == 0) return;
    told_ = entry;
    toldAny_ = true;
    if (events_.wordShown) events_.wordShown(entry);
}

void WordWindow::layoutAt(POINT corner, const RECT& work, UINT dpi)
{
    if (dpi != fontDpi_) {
        // A record GDI refuses keeps the font there is, at its own DPI.
        if (UniqueFont font = makeWordFont(dpi)) {
            wordFont_ = std::move(font);
            fontDpi_ = dpi;
        }
    }
    const WordEntry entry = wordStore.currentEntry();
    measure(entry);
    laidOutLineLimit_ = oneLineLimitFor(work);
    WordLayout layout =
        computeLayout(wordExtent_, phoneticExtent_, contentExtent_, wordLength(entry), laidOutLineLimit_, fontDpi_);
    fitToWrappedText(window_.get(), wordFont_.get(), entry, wordExtent_, contentExtent_, layout);
    laidOut_ = layout;
    Settings.windowWidth = layout.width;
    Settings.windowHeight = layout.height;
    placing_ = true;
    placeWordWindow(window_.get(), corner, {layout.width, layout.height}, work);
    placing_ = false;
    InvalidateRect(window_.get(), nullptr, TRUE);
}

void WordWindow::onDpiChanged(UINT dpi, const RECT& suggested)
{
    // Our own move to the monitor the layout was made for.
    if (placing_) return;
    if (Settings.titleBarMode) {
        // Hidden: only the font follows, for when the window is shown again.
        if (UniqueFont font = makeWordFont(dpi)) {
            wordFont_ = std::move(font);
            fontDpi_ = dpi;
        }
        return;
    }
    // Dragged onto a monitor of another scale, or the scale of this one
    // changed: laid out again at the corner Windows suggests, wholly on the
    // monitor of that rectangle. The stored corner stays what the user
    // chose; a drag stores its own when it ends.
    POINT corner{suggested.left, suggested.top};
    if (GetCapture() == window_.get()) {
        // Still dragging: the point of the word that was grabbed stays under
        // the pointer. The grab offset was in pixels of the old scale; the
        // corner Windows suggests keeps the old offset and would make the
        // word jump away from the pointer.
        grabOffset_ = {scaleBetweenDpi(grabOffset_.x, fontDpi_, dpi), scaleBetweenDpi(grabOffset_.y, fontDpi_, dpi)};
        GetCursorPos(&dragCursor_);
        corner = {dragCursor_.x - grabOffset_.x, dragCursor_.y - grabOffset_.y};
    }
    layoutAt(corner, workAreaForRect(suggested, currentMonitors()), dpi);
}

void WordWindow::onSwitchTick()
{
    // Every tick first asks whether a full-screen program is in front: the
    // timer is the periodic check as well.
    if (hiddenByUser_ || hold_.tickWaits(window_.get())) return;
    // The round waits for the meaning: it moves on a full period after the
    // meaning has shown (revealMeaning starts that period).
    if (reveal_.hidden) return;
    stepOn();
}

void WordWindow::stepOn()
{
    newShowing_ = true;
    wordStore.advance();
    showCurrent();
}

void WordWindow::advance()
{
    if (window_) stepOn();
}

void WordWindow::layout()
{
    showCurrent();
}

void WordWindow::repaint()
{
    if (window_) InvalidateRect(window_.get(), nullptr, TRUE);
}

// A word under review is a test of memory: a small dot in the word's colour
// at its top right, in the gap before the phonetic, tells the user so.
void WordWindow::drawReviewMark(HDC dc, int x, int y) const
{
    const int size = std::max(scaleToDpi(3, fontDpi_), 2);
    const int left = x + std::max(scaleToDpi(1, fontDpi_) / 2, 0);
    UniqueBrush brush(CreateSolidBrush(Settings.wordColor));
    if (!brush) return;
    SelectedObject pen(dc, GetStockObject(NULL_PEN));
    SelectedObject fill(dc, brush.get());
    // With the null pen the ellipse is a pixel smaller than its box.
    Ellipse(dc, left, y + size / 2, left + size + 1, y + size / 2 + size + 1);
}

void WordWindow::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_.get(), &ps);
    if (dc == nullptr) return;
    {
        SetBkMode(dc, TRANSPARENT);
        SelectedObject font(dc, wordFont_.get());
        // A copy: a load on another thread may replace the entry meanwhile.
        const WordEntry entry = wordStore.currentEntry();
        const std::size_t length = wordLength(entry);
        const bool reviewing = !loading_ && wordStore.underReview(std::u16string_view(entry.word, length));
        const bool hidden = hidesMeaningOf(entry);
        // Positions come from the extents of the last layout, never from a
        // new measurement.
        const WordLayout layout =
            computeLayout(wordExtent_, phoneticExtent_, contentExtent_, length, laidOutLineLimit_, fontDpi_);
        SetTextColor(dc, Settings.wordColor);
        if (!layout.wrapped) {
            TextOutW(dc, layout.wordX, layout.textY, as_wcstr(entry.word), static_cast<int>(length));
            if (reviewing) drawReviewMark(dc, layout.wordX + wordExtent_.cx, layout.textY);
            SetTextColor(dc, Settings.phoneticColor);
            TextOutW(dc, layout.phoneticX, layout.textY, as_wcstr(entry.phonetic),
                     unitCount(entry.phonetic, kPhoneticUnits));
            SetTextColor(dc, Settings.contentColor);
            if (hidden)
                drawMeaningPlaceholder(dc, layout.contentX, layout.contentX + contentExtent_.cx,
                                       layout.textY + contentExtent_.cy / 2);
            else
                TextOutW(dc, layout.contentX, layout.textY, as_wcstr(entry.content),
                         unitCount(entry.content, kContentUnits));
        } else {
            // The whole client area, not ps.rcPaint: an uncovered strip of
            // the window must not become the frame the text wraps into.
            RECT r;
            GetClientRect(window_.get(), &r);
            DrawTextW(dc, as_wcstr(entry.word), static_cast<int>(length), &r, DT_EDITCONTROL | DT_WORDBREAK);
            if (reviewing) drawReviewMark(dc, r.right - scaleToDpi(5, fontDpi_), layout.textY);
            // Hidden, the block holds the phonetic alone; the placeholder
            // takes the last line, where the meaning ends.
            const std::size_t n =
                hidden
                    ? appendBounded(composeBuffer_, kComposeUnits, 0,
                                    std::u16string_view(entry.phonetic, boundedLength(entry.phonetic, kPhoneticUnits)))
                    : composeWrappedBlock(entry, composeBuffer_);
            // The phonetic shares the content's colour in this layout.
            SetTextColor(dc, Settings.contentColor);
            r.top = laidOut_.wrapped && laidOut_.blockHeight > 0
                        ? r.bottom - laidOut_.blockHeight
                        : wrappedBlockTop(r.bottom, contentExtent_, Settings.windowWidth);
            DrawTextW(dc, composeBuffer_, static_cast<int>(n), &r, DT_EDITCONTROL | DT_WORDBREAK | DT_BOTTOM);
            if (hidden)
                drawMeaningPlaceholder(dc, r.left, r.left + std::min<LONG>(contentExtent_.cx, r.right - r.left),
                                       r.bottom - contentExtent_.cy / 2);
        }
    }
    EndPaint(window_.get(), &ps);
}
