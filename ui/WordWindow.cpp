// The word window's display: creation, timers, layout, painting and the
// start-up load. Mouse, menu, background probe and title-bar mode live in
// WordWindowInteraction.cpp.
#include "ui/WordWindow.h"

#include <climits>
#include <memory>
#include <new>
#include <string>

#include "app/Messages.h"
#include "settings/Settings.h"
#include "settings/Win32Settings.h"
#include "store/Text.h"
#include "store/Wide.h"
#include "store/WordGet.h"
#include "ui/WordLayout.h"
#include "ui/WordPlacement.h"
#include "ui/WordWindowHold.h"
#include "ui/WordWindowInternal.h"

HFONT wordFont = nullptr;
HBRUSH backgroundBrush = nullptr;
SIZE wordExtent = {};
SIZE phoneticExtent = {};
SIZE contentExtent = {};
wchar_t composeBuffer[kComposeUnits] = {};

namespace {

constexpr BYTE kWindowAlpha = 250;

// The last layout and the one-line limit it was made under; painting draws
// by them and measures nothing.
WordLayout laidOut;
int laidOutLineLimit = INT_MAX;

// The start-up load thread. Unlike a fire-and-forget thread it keeps its
// handle until someone has waited for it: the shell must be able to let a
// running load finish before the store is saved and freed at exit.
HANDLE loadThread = nullptr;

struct LoadRequest {
    HWND window;
    // Read on the UI thread before the thread starts, so the worker never
    // reads the settings string while the UI thread might change it.
    std::u16string dictionaryName;
};

std::size_t wordLength(const WordEntry& entry)
{
    return boundedLength(entry.word, kWordUnits);
}

int unitCount(const char16_t* text, std::size_t limit)
{
    return static_cast<int>(boundedLength(text, limit));
}

DWORD WINAPI loadThreadMain(void* parameter)
{
    std::unique_ptr<LoadRequest> request(static_cast<LoadRequest*>(parameter));
    try {
        wordStore.loadProgress(request->dictionaryName);
    } catch (...) {
        // Out of memory while loading: show whatever the store holds.
    }
    // Synchronous: the advance runs on the UI thread, which owns the window.
    SendMessageW(request->window, WM_TIMER, TIMER_SWITCH, 0);
    // SetTimer only accepts windows of the calling thread, so the switching
    // timer is started by the UI thread itself.
    SendMessageW(request->window, WM_WORDLOAD_DONE, 0, 0);
    return 0;
}

void startLoadThread(HWND window)
{
    // A second word window (only tests create one) must not orphan the
    // handle of an earlier load; one that hangs is let go.
    waitForWordLoads(10000);
    if (loadThread != nullptr) {
        CloseHandle(loadThread);
        loadThread = nullptr;
    }
    auto* request = new (std::nothrow) LoadRequest{window, {}};
    if (request == nullptr) return;
    request->dictionaryName.assign(Settings.dictionaryName,
                                   boundedLength(Settings.dictionaryName, kDictionaryNameUnits));
    loadThread = CreateThread(nullptr, 0, loadThreadMain, request, 0, nullptr);
    if (loadThread == nullptr) delete request;  // the loading line stays
}

void installBackgroundBrush(HWND window, HBRUSH brush)
{
    HBRUSH previous = backgroundBrush;
    backgroundBrush = brush;
    SetClassLongPtrW(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush));
    // Only now: the class must never be left holding a deleted brush.
    if (previous != nullptr && previous != brush) DeleteObject(previous);
}

void onCreate(HWND window)
{
    HFONT font = CreateFontIndirectW(&logFont(Settings.font));
    if (wordFont != nullptr) DeleteObject(wordFont);
    wordFont = font;

    installBackgroundBrush(window, CreateSolidBrush(Settings.backgroundColor));
    SetLayeredWindowAttributes(window, Settings.backgroundColor, kWindowAlpha,
                               Settings.transparentBackground ? LWA_COLORKEY | LWA_ALPHA : LWA_ALPHA);
    ShowWindow(window, Settings.titleBarMode ? SW_HIDE : SW_SHOW);
    SetTimer(window, TIMER_PROBE, 2000, nullptr);
    if (Settings.titleBarMode) SetTimer(window, TIMER_TITLE, 3000, nullptr);

    WordEntry loading{};
    copyBounded(loading.word, std::u16string_view(Settings.dictionaryName,
                                                   boundedLength(Settings.dictionaryName, kDictionaryNameUnits)));
    copyBounded(loading.phonetic, u"正在");
    copyBounded(loading.content, u"加载中...");
    wordStore.setCurrentEntry(loading);

    SendMessageW(window, WM_TIMER, TIMER_SWITCH, 1);
    startLoadThread(window);
}

void measure(HWND window, const WordEntry& entry)
{
    wordwindow::WindowDC dc(window);
    if (dc.get() == nullptr) return;
    wordwindow::SelectedObject font(dc.get(), wordFont);
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.word), unitCount(entry.word, kWordUnits), &wordExtent);
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.phonetic), unitCount(entry.phonetic, kPhoneticUnits),
                          &phoneticExtent);
    GetTextExtentPoint32W(dc.get(), as_wcstr(entry.content), unitCount(entry.content, kContentUnits),
                          &contentExtent);
}

// WM_TIMER / TIMER_SWITCH: every tick, and every request from elsewhere to
// show something. lParam 0 steps on first; anything else only lays out.
void advanceAndLayout(HWND window, LPARAM lParam)
{
    if (lParam == 0) wordStore.advance();
    if (Settings.titleBarMode) {
        writeCapturedTitle();
        return;
    }
    const WordEntry entry = wordStore.currentEntry();
    measure(window, entry);
    // The monitor of the stored corner (or the nearest one) decides how wide
    // one line may be and where the window is shown.
    const RECT work = currentWorkAreaFor({Settings.windowX, Settings.windowY});
    laidOutLineLimit = oneLineLimitFor(work);
    WordLayout layout = computeLayout(wordExtent, phoneticExtent, contentExtent, wordLength(entry), laidOutLineLimit);
    fitToWrappedText(window, wordFont, entry, wordExtent, contentExtent, layout);
    laidOut = layout;
    Settings.windowWidth = layout.width;
    Settings.windowHeight = layout.height;
    placeWordWindow(window, work);
    InvalidateRect(window, nullptr, TRUE);
}

void paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc == nullptr) return;
    {
        SetBkMode(dc, TRANSPARENT);
        wordwindow::SelectedObject font(dc, wordFont);
        // A copy: a load on another thread may replace the entry meanwhile.
        const WordEntry entry = wordStore.currentEntry();
        const int phoneticUnits = unitCount(entry.phonetic, kPhoneticUnits);
        const int contentUnits = unitCount(entry.content, kContentUnits);
        const std::size_t length = wordLength(entry);
        // Positions come from the extents of the last layout, never from a
        // new measurement.
        const WordLayout layout = computeLayout(wordExtent, phoneticExtent, contentExtent, length, laidOutLineLimit);
        SetTextColor(dc, Settings.wordColor);
        if (!layout.wrapped) {
            TextOutW(dc, layout.wordX, 1, as_wcstr(entry.word), static_cast<int>(length));
            SetTextColor(dc, Settings.phoneticColor);
            TextOutW(dc, layout.phoneticX, 1, as_wcstr(entry.phonetic), phoneticUnits);
            SetTextColor(dc, Settings.contentColor);
            TextOutW(dc, layout.contentX, 1, as_wcstr(entry.content), contentUnits);
        } else {
            // The whole client area, not ps.rcPaint: an uncovered strip of
            // the window must not become the frame the text wraps into.
            RECT r;
            GetClientRect(window, &r);
            DrawTextW(dc, as_wcstr(entry.word), static_cast<int>(length), &r, DT_EDITCONTROL | DT_WORDBREAK);
            composeBuffer[0] = L'\0';
            std::size_t n = wordwindow::appendBounded(composeBuffer, kComposeUnits, 0,
                                                      std::u16string_view(entry.phonetic, phoneticUnits));
            n = wordwindow::appendBounded(composeBuffer, kComposeUnits, n,
                                          std::u16string_view(entry.content, contentUnits));
            // The phonetic shares the content's colour in this layout.
            SetTextColor(dc, Settings.contentColor);
            r.top = laidOut.wrapped && laidOut.blockHeight > 0
                        ? r.bottom - laidOut.blockHeight
                        : wrappedBlockTop(r.bottom, contentExtent, Settings.windowWidth);
            DrawTextW(dc, composeBuffer, static_cast<int>(n), &r, DT_EDITCONTROL | DT_WORDBREAK | DT_BOTTOM);
        }
    }
    EndPaint(window, &ps);
}

}  // namespace

std::size_t wordwindow::appendBounded(wchar_t* buffer, std::size_t units, std::size_t length,
                                      std::u16string_view text)
{
    if (units == 0) return 0;
    std::size_t room = length < units ? units - 1 - length : 0;
    std::size_t take = cutLength(text, room);
    for (std::size_t i = 0; i < take; ++i) buffer[length + i] = static_cast<wchar_t>(text[i]);
    length += take;
    buffer[length < units ? length : units - 1] = L'\0';
    return length;
}

LRESULT CALLBACK wordWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        wordwindow::onHoldCreate(window);
        onCreate(window);
        break;
    case WM_DESTROY:
        wordwindow::onHoldDestroy(window);
        KillTimer(window, TIMER_SWITCH);
        KillTimer(window, TIMER_PROBE);
        KillTimer(window, TIMER_TITLE);
        return 0;
    case WM_KILLFOCUS:
        wordwindow::onKillFocus(window);
        break;
    case WM_PAINT:
        paint(window);
        break;
    case WM_CONTEXTMENU:
        wordwindow::onWordMenuOpening(window);
        showWordMenu(window);
        wordwindow::onWordMenuClosed(window);
        break;
    case WM_TIMER:
        // Every advance first asks whether a full-screen program is in front.
        if (wParam == TIMER_SWITCH && lParam == 0 && wordwindow::switchStaysAside(window)) break;
        if (wParam == TIMER_SWITCH)
            advanceAndLayout(window, lParam);
        else if (wParam == TIMER_PROBE)
            wordwindow::onProbeTick(window);
        else if (wParam == TIMER_TITLE)
            writeCapturedTitle();
        break;
    case WM_WORDLOAD_DONE:
        if (Settings.autoSwitch)
            SetTimer(window, TIMER_SWITCH, wordwindow::switchPeriodMs(Settings.switchSeconds), nullptr);
        wordwindow::keepSwitchHeld(window);
        break;
    case WM_LBUTTONDOWN:
        wordwindow::onLeftButtonDown(window);
        break;
    case WM_MOUSEMOVE:
        wordwindow::onMouseMove(window, wParam);
        wordwindow::onPointerMove(window);
        break;
    case WM_MOUSEHOVER:
        wordwindow::onPointerHover(window);
        break;
    case WM_MOUSELEAVE:
        wordwindow::onPointerLeave(window);
        break;
    case WM_APPBAR_NOTIFY:
        wordwindow::onAppBarNotify(window, wParam, lParam);
        break;
    case WM_ACTIVATEAPP:
        wordwindow::onActivateApp(window);
        break;
    case WM_LBUTTONUP:
        wordwindow::onLeftButtonUp(window);
        break;
    case WM_DISPLAYCHANGE:
        // A monitor may have gone, or changed its size: lay out again, which
        // also puts the window back on a screen.
        if (!Settings.titleBarMode) SendMessageW(window, WM_TIMER, TIMER_SWITCH, 1);
        break;
    case WM_SETTINGCHANGE:
        // A task bar moved or grew: the work area is another.
        if (wParam == SPI_SETWORKAREA && !Settings.titleBarMode) SendMessageW(window, WM_TIMER, TIMER_SWITCH, 1);
        break;
    default:
        wordwindow::onOtherMessage(window, message);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createWordWindow(HINSTANCE instance)
{
    return CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"Mivora_Show", L"", WS_POPUP,
                           Settings.windowX, Settings.windowY, 0, 0, nullptr, nullptr, instance, nullptr);
}

void waitForWordLoads(DWORD timeoutMs)
{
    if (loadThread == nullptr) return;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            remaining = elapsed >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - elapsed);
        }
        // The load ends by sending its advance to the word window, so a UI
        // thread that merely blocked here would wait for itself. Serve sent
        // messages (only those) while waiting.
        const DWORD woke = MsgWaitForMultipleObjects(1, &loadThread, FALSE, remaining, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) {
            CloseHandle(loadThread);
            loadThread = nullptr;
            return;
        }
        if (woke != WAIT_OBJECT_0 + 1) return;  // timed out: keep the handle for a later wait
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
