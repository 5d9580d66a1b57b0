// What the user does with the word window: dragging it, its context menu,
// the background probe and title-bar mode.
#include <cstdint>

#include "app/AppGlobals.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "store/Text.h"
#include "store/Wide.h"
#include "store/WordGet.h"
#include "ui/WordPlacement.h"
#include "ui/WordWindow.h"
#include "ui/WordWindowInternal.h"

HWND capturedWindow = nullptr;

namespace {

POINT grabOffset = {};  // cursor in client coordinates at the press
POINT dragCursor = {};  // cursor in screen coordinates at the last move
bool dragMoved = false;  // a move happened since the last press

// Who owned capturedWindow when it was captured. A handle outlives its
// window, and Windows hands the number out again: without this check the
// words would one day land in the title of some unrelated program.
DWORD capturedProcess = 0;
DWORD capturedThread = 0;

constexpr UINT kTitleSendTimeoutMs = 500;

}  // namespace

void wordwindow::onLeftButtonDown(HWND window)
{
    SetCapture(window);
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    grabOffset = cursor;
    dragMoved = false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
}

void wordwindow::onMouseMove(HWND window, WPARAM keys)
{
    // Only while our press holds the capture: a button pressed elsewhere and
    // dragged across the window must not move it by a stale grab offset.
    if ((keys & MK_LBUTTON) == 0 || GetCapture() != window) return;
    GetCursorPos(&dragCursor);
    MoveWindow(window, dragCursor.x - grabOffset.x, dragCursor.y - grabOffset.y, Settings.windowWidth,
               Settings.windowHeight, TRUE);
    dragMoved = true;
}

void wordwindow::onLeftButtonUp(HWND window)
{
    // Only a drag stores a corner. A click without one would combine the new
    // grab offset with the cursor of some earlier drag, and storing where
    // the window is would make a shift off the screen's edge (made for one
    // wide entry) the user's choice for good.
    if (dragMoved) {
        Settings.windowX = dragCursor.x - grabOffset.x;
        Settings.windowY = dragCursor.y - grabOffset.y;
        // Let go partly past the screen's edge, or on another monitor: laid
        // out for that monitor and shown inside its work area.
        SendMessageW(window, WM_TIMER, TIMER_SWITCH, 1);
    }
    dragMoved = false;
    ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void wordwindow::onKillFocus(HWND window)
{
    if (Settings.sampleBackground) SetTimer(window, TIMER_PROBE, 500, nullptr);
}

void wordwindow::onProbeTick(HWND window)
{
    KillTimer(window, TIMER_PROBE);
    if (Settings.titleBarMode) {
        captureForegroundWindow();
        return;
    }
    if (Settings.sampleBackground) probeBackground();
}

HMENU prepareWordMenu()
{
    if (Settings.autoSwitch) KillTimer(wordWindow, TIMER_SWITCH);
    HMENU popup = wordMenu != nullptr ? GetSubMenu(wordMenu, 0) : nullptr;
    if (popup != nullptr)
        CheckMenuItem(popup, IDM_WORD_PAUSE, MF_BYCOMMAND | (Settings.autoSwitch ? MF_UNCHECKED : MF_CHECKED));
    return popup;
}

void runWordCommand(HWND menuOwner, UINT id)
{
    switch (id) {
    case IDM_WORD_REMEMBERED: {
        // Step on first, while the word is still in the learning list where
        // the step finds it; the copy keeps the word being marked.
        const WordEntry marked = wordStore.currentEntry();
        SendMessageW(wordWindow, WM_TIMER, TIMER_SWITCH, 0);
        wordStore.setRemembered(marked, true);
        break;
    }
    case IDM_WORD_PREVIOUS:
        wordStore.stepBack();
        SendMessageW(wordWindow, WM_TIMER, TIMER_SWITCH, 1);
        break;
    case IDM_WORD_NEXT:
        SendMessageW(wordWindow, WM_TIMER, TIMER_SWITCH, 0);
        break;
    case IDM_WORD_PAUSE:
        Settings.autoSwitch = Settings.autoSwitch ? 0 : 1;
        break;
    default:
        break;  // dismissed
    }
    // Makes the menu's owner handle the menu's end before it goes idle (a
    // tray menu otherwise fails to close on the next click elsewhere).
    PostMessageW(menuOwner, WM_NULL, 0, 0);
    if (Settings.autoSwitch)
        SetTimer(wordWindow, TIMER_SWITCH, wordwindow::switchPeriodMs(Settings.switchSeconds), nullptr);
}

void showWordMenu(HWND menuOwner)
{
    HMENU popup = prepareWordMenu();
    UINT chosen = 0;
    if (popup != nullptr) {
        POINT cursor;
        GetCursorPos(&cursor);
        chosen = static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, cursor.x,
                                                  cursor.y, 0, menuOwner, nullptr));
    }
    runWordCommand(menuOwner, chosen);
}

bool adoptBackgroundColor(COLORREF colour)
{
    if (colour == CLR_INVALID || colour == Settings.backgroundColor) return false;
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush == nullptr) return false;
    Settings.backgroundColor = colour;
    HBRUSH previous = backgroundBrush;
    backgroundBrush = brush;
    SetClassLongPtrW(wordWindow, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush));
    if (previous != nullptr) DeleteObject(previous);
    if (Settings.transparentBackground)
        SetLayeredWindowAttributes(wordWindow, colour, 250, LWA_COLORKEY | LWA_ALPHA);
    InvalidateRect(wordWindow, nullptr, TRUE);
    return true;
}

void probeBackground()
{
    HWND desktop = GetDesktopWindow();
    COLORREF colour = CLR_INVALID;
    {
        wordwindow::WindowDC screen(desktop, true);
        if (screen.get() != nullptr) {
            // Below the corner where the window really is, which is not the
            // stored one when it was moved to stay on the screen.
            const POINT at = probePoint(wordWindow);
            colour = GetPixel(screen.get(), at.x, at.y);
        }
    }
    adoptBackgroundColor(colour);
}

void captureTitleWindow(HWND window)
{
    capturedWindow = window;
    capturedProcess = 0;
    capturedThread = window != nullptr ? GetWindowThreadProcessId(window, &capturedProcess) : 0;
}

void captureForegroundWindow()
{
    captureTitleWindow(GetForegroundWindow());
}

void writeCapturedTitle()
{
    if (capturedWindow == nullptr || capturedThread == 0) return;
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(capturedWindow, &process);
    if (thread != capturedThread || process != capturedProcess) return;  // gone, or the handle was reused

    const WordEntry entry = wordStore.currentEntry();
    composeBuffer[0] = L'\0';
    std::size_t n = 0;
    n = wordwindow::appendBounded(composeBuffer, kComposeUnits, n,
                                  std::u16string_view(entry.word, boundedLength(entry.word, kWordUnits)));
    n = wordwindow::appendBounded(composeBuffer, kComposeUnits, n,
                                  std::u16string_view(entry.phonetic, boundedLength(entry.phonetic, kPhoneticUnits)));
    wordwindow::appendBounded(composeBuffer, kComposeUnits, n,
                              std::u16string_view(entry.content, boundedLength(entry.content, kContentUnits)));
    // WM_SETTEXT is what SetWindowTextW sends to another program's window;
    // sent with a time limit, a hung program cannot freeze the word window.
    SendMessageTimeoutW(capturedWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(composeBuffer),
                        SMTO_ABORTIFHUNG | SMTO_NORMAL, kTitleSendTimeoutMs, nullptr);
}
