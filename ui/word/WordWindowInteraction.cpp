// What the user does with the word window: dragging it, its context menu,
// the background probe and title-bar mode.
#include <windows.h>

#include <cstdint>

#include "res/resource.h"
#include "store/text/Text.h"
#include "store/text/Wide.h"
#include "ui/word/WordContrast.h"
#include "ui/word/WordPlacement.h"
#include "ui/word/WordWindow.h"

namespace {

constexpr UINT kTitleSendTimeoutMs = 500;
// After a drag the word is over another part of the screen: sampled again
// once the user has let go.
constexpr UINT kAfterDragProbeDelayMs = 500;

}  // namespace

void WordWindow::onLeftButtonDown()
{
    SetCapture(window_.get());
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(window_.get(), &cursor);
    grabOffset_ = cursor;
    dragMoved_ = false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
}

void WordWindow::onMouseMove(WPARAM keys)
{
    // Only while our press holds the capture: a button pressed elsewhere and
    // dragged across the window must not move it by a stale grab offset.
    if ((keys & MK_LBUTTON) == 0 || GetCapture() != window_.get()) return;
    GetCursorPos(&dragCursor_);
    MoveWindow(window_.get(), dragCursor_.x - grabOffset_.x, dragCursor_.y - grabOffset_.y, Settings.windowWidth,
               Settings.windowHeight, TRUE);
    dragMoved_ = true;
}

void WordWindow::onLeftButtonUp()
{
    // Only a drag stores a corner. A click without one would combine the new
    // grab offset with the cursor of some earlier drag, and storing where
    // the window is would make a shift off the screen's edge (made for one
    // wide entry) the user's choice for good.
    if (dragMoved_) {
        Settings.windowX = dragCursor_.x - grabOffset_.x;
        Settings.windowY = dragCursor_.y - grabOffset_.y;
        // Let go partly past the screen's edge, or on another monitor: laid
        // out for that monitor and shown inside its work area.
        layout();
        if (Settings.sampleBackground) SetTimer(window_.get(), TIMER_PROBE, kAfterDragProbeDelayMs, nullptr);
    }
    const bool clicked = !dragMoved_;
    dragMoved_ = false;
    ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    // A click that moved nothing asks for the meaning.
    if (clicked) revealMeaning();
}

void WordWindow::onProbeTick()
{
    KillTimer(window_.get(), TIMER_PROBE);
    if (Settings.titleBarMode) {
        captureForegroundWindow();
        return;
    }
    if (Settings.sampleBackground) probeBackground();
}

HMENU WordWindow::prepareWordMenu()
{
    menuOpen_ = true;
    // Whatever the pointer does while the menu tracks, the command chosen
    // acts; the hold is taken up again when the menu is gone.
    if (window_) hold_.onWordMenuOpening(window_.get());
    decide();
    HMENU popup = wordMenu_ ? GetSubMenu(wordMenu_.get(), 0) : nullptr;
    if (popup != nullptr) {
        CheckMenuItem(popup, IDM_WORD_PAUSE, MF_BYCOMMAND | (Settings.autoSwitch ? MF_UNCHECKED : MF_CHECKED));
        showForgotItem(popup);
        showRevealItem(popup);
        showSentenceItem(popup);
    }
    return popup;
}

// 忘了 stands right after 已记住, and only while the word shown is under
// review: for any other word there is nothing to forget yet.
void WordWindow::showForgotItem(HMENU popup)
{
    const WordEntry entry = wordStore.currentEntry();
    const bool reviewing =
        !loading_ && wordStore.underReview(std::u16string_view(entry.word, boundedLength(entry.word, kWordUnits)));
    const bool shown = GetMenuState(popup, IDM_WORD_FORGOT, MF_BYCOMMAND) != static_cast<UINT>(-1);
    if (reviewing && !shown) {
        const int count = GetMenuItemCount(popup);
        for (int i = 0; i < count; ++i) {
            if (GetMenuItemID(popup, i) == IDM_WORD_REMEMBERED) {
                InsertMenuW(popup, static_cast<UINT>(i + 1), MF_BYPOSITION | MF_STRING, IDM_WORD_FORGOT, L"忘了");
                break;
            }
        }
    } else if (!reviewing && shown) {
        DeleteMenu(popup, IDM_WORD_FORGOT, MF_BYCOMMAND);
    }
}

void WordWindow::forgetShownWord()
{
    const WordEntry marked = wordStore.currentEntry();
    if (loading_ || !wordStore.underReview(std::u16string_view(marked.word, boundedLength(marked.word, kWordUnits))))
        return;
    const bool beforeMeaning = hidesMeaningOf(marked);
    stepOn();
    if (wordStore.forgetReviewed(marked) && events_.answered) events_.answered(marked, false, beforeMeaning);
    freshPeriod_ = true;
}

void WordWindow::runCommand(WordCommand command)
{
    switch (command) {
    case WordCommand::remembered:
    case WordCommand::easy: {
        // Step on first, while the word is still in the learning list where
        // the step finds it; the copy keeps the word being marked.
        const WordEntry marked = wordStore.currentEntry();
        // An answer only for a word of the store (not the loading line).
        const bool inStore = wordStore.contains(marked.word);
        // A word the store has already moved (a second 已记住 on the last
        // word, shown still with nothing left to learn) is left as it is,
        // and no second answer is recorded.
        if (inStore && !wordStore.inList(marked.word, WordList::learning) &&
            !wordStore.underReview(std::u16string_view(marked.word, boundedLength(marked.word, kWordUnits))))
            return;
        const bool beforeMeaning = hidesMeaningOf(marked);
        stepOn();
        wordStore.setRemembered(marked, true);
        if (inStore && command == WordCommand::easy) {
            if (events_.answeredEasy) events_.answeredEasy(marked, beforeMeaning);
        } else if (inStore && events_.answered) {
            events_.answered(marked, true, beforeMeaning);
        }
        break;
    }
    case WordCommand::forgot:
        forgetShownWord();
        break;
    case WordCommand::reveal:
        revealMeaning();
        break;
    case WordCommand::previous:
        wordStore.stepBack();
        showCurrent();
        break;
    case WordCommand::next:
        stepOn();
        break;
    case WordCommand::pause:
        Settings.autoSwitch = Settings.autoSwitch ? 0 : 1;
        break;
    }
    // The word a command shows gets its full period.
    freshPeriod_ = true;
    decide();
}

void WordWindow::runWordCommand(HWND menuOwner, UINT id)
{
    switch (id) {
    case IDM_WORD_REMEMBERED:
        runCommand(WordCommand::remembered);
        break;
    case IDM_WORD_SPEAK_EXAMPLE:
        if (events_.sentenceSpeakRequested && grown_) events_.sentenceSpeakRequested(examplesView_.sentence());
        break;
    case IDM_WORD_EASY:
        runCommand(WordCommand::easy);
        break;
    case IDM_WORD_FORGOT:
        runCommand(WordCommand::forgot);
        break;
    case IDM_WORD_REVEAL:
        runCommand(WordCommand::reveal);
        break;
    case IDM_WORD_PREVIOUS:
        runCommand(WordCommand::previous);
        break;
    case IDM_WORD_NEXT:
        runCommand(WordCommand::next);
        break;
    case IDM_WORD_PAUSE:
        runCommand(WordCommand::pause);
        break;
    case IDM_WORD_SPEAK:
        // Not while the list is loading: the loading line is no word.
        if (events_.speakRequested && !loading_) events_.speakRequested(wordStore.currentEntry());
        break;
    default:
        break;  // dismissed
    }
    // Makes the menu's owner handle the menu's end before it goes idle (a
    // tray menu otherwise fails to close on the next click elsewhere).
    PostMessageW(menuOwner, WM_NULL, 0, 0);
    // After every use of the menu, even a dismissal, the period starts
    // afresh (or switching stays stopped when paused).
    menuOpen_ = false;
    decide();
    // A pointer still resting on the word holds it again.
    if (window_) hold_.onWordMenuClosed(window_.get());
}

void WordWindow::showWordMenu(HWND menuOwner)
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

void WordWindow::showContextMenu()
{
    // TrackPopupMenu needs its owner in front, or the menu does not close
    // when the user clicks elsewhere. The window that had the keyboard gets
    // it back when the menu is gone.
    HWND window = window_.get();
    HWND previous = GetForegroundWindow();
    SetForegroundWindow(window);
    showWordMenu(window);
    if (previous != nullptr && previous != window && window_ && GetForegroundWindow() == window)
        SetForegroundWindow(previous);
}

bool WordWindow::adoptBackgroundColor(COLORREF colour)
{
    if (colour == CLR_INVALID || colour == Settings.backgroundColor) return false;
    UniqueBrush brush(CreateSolidBrush(colour));
    if (!brush) return false;
    Settings.backgroundColor = colour;
    if (!window_) return true;
    installBackgroundBrush(std::move(brush));
    if (Settings.transparentBackground) applyWordTransparency();
    InvalidateRect(window_.get(), nullptr, TRUE);
    return true;
}

void WordWindow::probeBackground()
{
    HWND desktop = GetDesktopWindow();
    COLORREF colour = CLR_INVALID;
    {
        WindowDC screen(desktop, true);
        if (screen.get() != nullptr) {
            // Beside where the window really is, which is not the stored
            // corner when it was moved to stay on the screen.
            const POINT at = probePoint(window_.get(), {Settings.windowX, Settings.windowY});
            colour = GetPixel(screen.get(), at.x, at.y);
        }
    }
    // A colour the text would vanish into is not taken: a dark desktop
    // under the default colours, or one of the text colours itself (in
    // transparent mode the word would become the key and vanish).
    if (colour == CLR_INVALID ||
        !readableBackground(colour, {Settings.wordColor, Settings.phoneticColor, Settings.contentColor}, kWindowAlpha))
        return;
    adoptBackgroundColor(colour);
}

CapturedWindow CapturedWindow::of(HWND window)
{
    CapturedWindow captured;
    captured.window = window;
    captured.thread = window != nullptr ? GetWindowThreadProcessId(window, &captured.process) : 0;
    return captured;
}

bool CapturedWindow::stillThere() const
{
    if (window == nullptr || thread == 0) return false;
    DWORD owner = 0;
    return GetWindowThreadProcessId(window, &owner) == thread && owner == process;
}

void WordWindow::captureTitleWindow(HWND window)
{
    captured_ = CapturedWindow::of(window);
}

void WordWindow::captureForegroundWindow()
{
    // Every window of the program (the owner, the word window, the sheet,
    // its choosers and message boxes) belongs to the UI thread, this one.
    HWND front = GetForegroundWindow();
    if (front == nullptr || GetWindowThreadProcessId(front, nullptr) == GetCurrentThreadId()) return;
    captureTitleWindow(front);
}

void WordWindow::writeCapturedTitle()
{
    if (!captured_.stillThere()) return;  // gone, or the handle was reused

    const WordEntry entry = wordStore.currentEntry();
    composeBuffer_[0] = L'\0';
    std::size_t n = 0;
    n = appendBounded(composeBuffer_, kComposeUnits, n,
                      std::u16string_view(entry.word, boundedLength(entry.word, kWordUnits)));
    n = appendBounded(composeBuffer_, kComposeUnits, n,
                      std::u16string_view(entry.phonetic, boundedLength(entry.phonetic, kPhoneticUnits)));
    // The meaning follows once it shows (revealMeaning writes again).
    if (!hidesMeaningOf(entry))
        appendBounded(composeBuffer_, kComposeUnits, n,
                      std::u16string_view(entry.content, boundedLength(entry.content, kContentUnits)));
    // WM_SETTEXT is what SetWindowTextW sends to another program's window;
    // sent with a time limit, a hung program cannot freeze the word window.
    SendMessageTimeoutW(captured_.window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(composeBuffer_),
                        SMTO_ABORTIFHUNG | SMTO_NORMAL, kTitleSendTimeoutMs, nullptr);
}
