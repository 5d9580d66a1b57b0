// The word window's display: creation, timers, layout, painting and the
// start-up load. Mouse, menu, background probe and title-bar mode live in
// WordWindowInteraction.cpp, the settings it applies at once in
// WordWindowSettings.cpp.
#include "ui/word/WordWindow.h"

#include <string>

#include "res/resource.h"
#include "settings/Win32Settings.h"
#include "store/Text.h"
#include "store/Wide.h"
#include "ui/word/WordPlacement.h"
#include "win/MessageFilter.h"
#include "win/Messages.h"

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
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // Replaced with the window's own brush when it is created.
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kWordWindowClass;
    return RegisterClassW(&windowClass) != 0;
}

bool WordWindow::create(HINSTANCE instance)
{
    if (window_ != nullptr) return true;
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
    if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK WordWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<WordWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<WordWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self != nullptr) self->window_ = window;
    }
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = self->onMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return result;
}

LRESULT WordWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = window_;
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
        hold_.onWordMenuOpening(window);
        showContextMenu();
        hold_.onWordMenuClosed(window);
        break;
    case WM_TIMER:
        if (wParam == TIMER_SWITCH)
            onSwitchRequest(lParam == 0);
        else if (wParam == TIMER_PROBE)
            onProbeTick();
        else if (wParam == TIMER_TITLE)
            writeCapturedTitle();
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
    SetClassLongPtrW(window_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush.get()));
    // Only now: the class must never be left holding a deleted brush.
    backgroundBrush_ = std::move(brush);
}

void WordWindow::onCreate()
{
    // The shell's full-screen notices, also when the program runs elevated.
    allowMessageFromLowerIntegrity(window_, WM_APPBAR_NOTIFY);
    // The font for the monitor the window is going to; the first layout
    // shows it there.
    fontDpi_ = dpiAtPoint({Settings.windowX, Settings.windowY});
    wordFont_ = makeWordFont(fontDpi_);
    installBackgroundBrush(UniqueBrush(CreateSolidBrush(Settings.backgroundColor)));
    SetLayeredWindowAttributes(window_, Settings.backgroundColor, kWindowAlpha,
                               Settings.transparentBackground ? LWA_COLORKEY | LWA_ALPHA : LWA_ALPHA);
    ShowWindow(window_, Settings.titleBarMode ? SW_HIDE : SW_SHOWNA);
    SetTimer(window_, TIMER_PROBE, kProbeDelayMs, nullptr);
    if (Settings.titleBarMode) SetTimer(window_, TIMER_TITLE, kTitlePeriodMs, nullptr);

    WordEntry loading{};
    copyBounded(loading.word, storedDictionaryName(Settings));
    copyBounded(loading.phonetic, u"正在");
    copyBounded(loading.content, u"加载中...");
    wordStore.setCurrentEntry(loading);

    layout();
    startWordLoad();
}

void WordWindow::onDestroy()
{
    hold_.onHoldDestroy(window_);
    KillTimer(window_, TIMER_SWITCH);
    KillTimer(window_, TIMER_PROBE);
    KillTimer(window_, TIMER_TITLE);
    // The class outlives the window: it must not keep the brush that goes
    // with it.
    SetClassLongPtrW(window_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(WHITE_BRUSH)));
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
    loading_ = load_.start(window_, WM_WORDLOAD_DONE, [store, name = std::move(name)]() -> LPARAM {
        store->loadProgress(name);
        return 1;
    });
    // Without a thread the loading line stays.
}

void WordWindow::onWordLoadDone(WPARAM run)
{
    if (!load_.finished(run)) return;
    loading_ = false;
    advance();
    // SetTimer only accepts windows of the calling thread, so the switching
    // timer is started here rather than by the worker.
    if (Settings.autoSwitch) restartSwitchTimer();
}

void WordWindow::measure(const WordEntry& entry)
{
    WindowDC dc(window_);
    if (dc.get() == nullptr) return;
    SelectedObject font(dc.get(), wordFont_.get());
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.word), unitCount(entry.word, kWordUnits), &wordExtent_);
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.phonetic), unitCount(entry.phonetic, kPhoneticUnits),
                          &phoneticExtent_);
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.content), unitCount(entry.content, kContentUnits), &contentExtent_);
}

// TIMER_SWITCH: every tick, and every request to show something.
void WordWindow::advanceAndLayout(bool stepOn)
{
    if (stepOn) wordStore.advance();
    if (Settings.titleBarMode) {
        writeCapturedTitle();
        return;
    }
    // The monitor of the stored corner (or the nearest one) decides how wide
    // one line may be, where the window is shown and the scale of its text.
    const POINT stored{Settings.windowX, Settings.windowY};
    layoutAt(stored, currentWorkAreaFor(stored), dpiAtPoint(stored));
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
    fitToWrappedText(window_, wordFont_.get(), entry, wordExtent_, contentExtent_, layout);
    laidOut_ = layout;
    Settings.windowWidth = layout.width;
    Settings.windowHeight = layout.height;
    placing_ = true;
    placeWordWindow(window_, corner, {layout.width, layout.height}, work);
    placing_ = false;
    InvalidateRect(window_, nullptr, TRUE);
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
    if (GetCapture() == window_) {
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

void WordWindow::onSwitchRequest(bool stepOn)
{
    // Every advance first asks whether a full-screen program is in front.
    if (stepOn && hold_.switchStaysAside(window_)) return;
    advanceAndLayout(stepOn);
}

void WordWindow::advance()
{
    if (window_ != nullptr) onSwitchRequest(true);
}

void WordWindow::layout()
{
    if (window_ != nullptr) onSwitchRequest(false);
}

void WordWindow::repaint()
{
    if (window_ != nullptr) InvalidateRect(window_, nullptr, TRUE);
}

void WordWindow::paint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    if (dc == nullptr) return;
    {
        SetBkMode(dc, TRANSPARENT);
        SelectedObject font(dc, wordFont_.get());
        // A copy: a load on another thread may replace the entry meanwhile.
        const WordEntry entry = wordStore.currentEntry();
        const std::size_t length = wordLength(entry);
        // Positions come from the extents of the last layout, never from a
        // new measurement.
        const WordLayout layout =
            computeLayout(wordExtent_, phoneticExtent_, contentExtent_, length, laidOutLineLimit_, fontDpi_);
        SetTextColor(dc, Settings.wordColor);
        if (!layout.wrapped) {
            TextOutW(dc, layout.wordX, layout.textY, as_wcstr(entry.word), static_cast<int>(length));
            SetTextColor(dc, Settings.phoneticColor);
            TextOutW(dc, layout.phoneticX, layout.textY, as_wcstr(entry.phonetic),
                     unitCount(entry.phonetic, kPhoneticUnits));
            SetTextColor(dc, Settings.contentColor);
            TextOutW(dc, layout.contentX, layout.textY, as_wcstr(entry.content),
                     unitCount(entry.content, kContentUnits));
        } else {
            // The whole client area, not ps.rcPaint: an uncovered strip of
            // the window must not become the frame the text wraps into.
            RECT r;
            GetClientRect(window_, &r);
            DrawTextW(dc, as_wcstr(entry.word), static_cast<int>(length), &r, DT_EDITCONTROL | DT_WORDBREAK);
            const std::size_t n = composeWrappedBlock(entry, composeBuffer_);
            // The phonetic shares the content's colour in this layout.
            SetTextColor(dc, Settings.contentColor);
            r.top = laidOut_.wrapped && laidOut_.blockHeight > 0
                        ? r.bottom - laidOut_.blockHeight
                        : wrappedBlockTop(r.bottom, contentExtent_, Settings.windowWidth);
            DrawTextW(dc, composeBuffer_, static_cast<int>(n), &r, DT_EDITCONTROL | DT_WORDBREAK | DT_BOTTOM);
        }
    }
    EndPaint(window_, &ps);
}
