// The word window grows to show the word's forms and example sentences:
// below the word, or above it where the screen ends below, always inside
// the work area of the window's monitor.
#include <windows.h>

#include <algorithm>

#include "res/resource.h"
#include "store/text/Text.h"
#include "ui/word/WordWindow.h"
#include "win/Dpi.h"

namespace {

// How wide the grown part may become before its sentences wrap, in pixels
// at 96 DPI: a short sentence stays on one line, a long one does not make
// the window cross the screen.
constexpr int kExamplesWidth = 560;

}  // namespace

void WordWindow::setExamples(SharedExamples table)
{
    examplesView_.setTable(std::move(table));
    if (window_ && decided_.visible) layoutAtStoredCorner();
}

void WordWindow::setExamplesShown(ExamplesShown shown)
{
    if (examplesView_.shown() == shown) return;
    examplesView_.setShown(shown);
    if (window_ && decided_.visible) layoutAtStoredCorner();
}

std::u16string WordWindow::shownSentence() const
{
    return grown_ ? examplesView_.sentence() : std::u16string{};
}

bool WordWindow::examplesWanted(const WordEntry& entry) const
{
    if (!window_ || loading_ || destroying_ || Settings.titleBarMode) return false;
    const ExamplesShown shown = examplesView_.shown();
    if (shown == ExamplesShown::off) return false;
    // While the menu is open the pointer holds nothing, but the sentences
    // stay for 朗读例句.
    if (shown == ExamplesShown::hover && !(hold_.held() && pointerRested_) && !(menuOpen_ && grown_)) return false;
    // The translations would give the meaning away before it shows.
    if (hidesMeaningOf(entry)) return false;
    return examplesView_.find(std::u16string_view(entry.word, boundedLength(entry.word, kWordUnits))) != nullptr;
}

void WordWindow::growForExamples(const WordEntry& entry, const RECT& work)
{
    grown_ = false;
    const WordExamples* examples =
        examplesWanted(entry)
            ? examplesView_.find(std::u16string_view(entry.word, boundedLength(entry.word, kWordUnits)))
            : nullptr;
    if (examples == nullptr) {
        examplesView_.clear();
        return;
    }
    HWND window = window_.get();
    RECT main{};
    GetWindowRect(window, &main);
    const int mainWidth = main.right - main.left;
    const int workWidth = work.right > work.left ? static_cast<int>(work.right - work.left) : mainWidth;
    const int widest = std::max(mainWidth, std::min(workWidth, scaleToDpi(kExamplesWidth, fontDpi_)));
    const SIZE block = examplesView_.layOut(window, wordFont_.get(), fontDpi_, *examples, mainWidth, widest);
    if (block.cx <= 0 || block.cy <= 0) {
        examplesView_.clear();
        return;
    }
    grownAt_ = growWordWindow(main, block, work);
    grown_ = true;
    const RECT& r = grownAt_.window;
    SetWindowPos(window, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE);
}

void WordWindow::paintExamples(HDC dc) const
{
    if (!grown_) return;
    examplesView_.paint(dc, grownAt_.blockAt, grownAt_.blockHeight, Settings.phoneticColor, Settings.wordColor,
                        Settings.contentColor);
}

// 朗读例句 stands after 朗读, and only while a sentence shows.
void WordWindow::showSentenceItem(HMENU popup)
{
    const bool wanted = grown_ && !examplesView_.sentence().empty();
    const bool shown = GetMenuState(popup, IDM_WORD_SPEAK_EXAMPLE, MF_BYCOMMAND) != static_cast<UINT>(-1);
    if (wanted && !shown) {
        const int count = GetMenuItemCount(popup);
        for (int i = 0; i < count; ++i) {
            if (GetMenuItemID(popup, i) == IDM_WORD_SPEAK) {
                InsertMenuW(popup, static_cast<UINT>(i + 1), MF_BYPOSITION | MF_STRING, IDM_WORD_SPEAK_EXAMPLE,
                            L"朗读例句");
                break;
            }
        }
    } else if (!wanted && shown) {
        DeleteMenu(popup, IDM_WORD_SPEAK_EXAMPLE, MF_BYCOMMAND);
    }
}
