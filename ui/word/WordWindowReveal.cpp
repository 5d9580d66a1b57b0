// Recall first: a word that tests memory is shown without its meaning until
// the user has had a moment to recall it. Shown the answer at once, people
// judge that they know words they will not recall a week later; the schedule
// of the review assumes a real attempt.
#include <windows.h>

#include <algorithm>

#include "res/resource.h"
#include "store/text/Text.h"
#include "ui/word/WordWindow.h"
#include "win/Dpi.h"

namespace {

std::u16string wordOf(const WordEntry& entry)
{
    return std::u16string(entry.word, boundedLength(entry.word, kWordUnits));
}

}  // namespace

void WordWindow::setRecallFirst(RecallFirst mode, int revealSeconds)
{
    recallFirst_ = mode;
    revealSeconds_ = std::clamp(revealSeconds, 0, kRevealSecondsHighest);
    if (!reveal_.hidden) return;
    if (mode == RecallFirst::off || revealSeconds_ == 0) {
        revealMeaning();
        return;
    }
    // The wait the user has just set, from now.
    revealFresh_ = true;
    decide();
}

bool WordWindow::recallsFirst(std::u16string_view word)
{
    if (loading_ || word.empty()) return false;  // the loading line is no word
    if (wordStore.underReview(word)) return recallFirst_ != RecallFirst::off;
    // A word being learnt: its first showing is for study, the later ones
    // test. Counted whatever the setting, so that turning `all` on does not
    // start the words already seen over.
    const bool shownBefore = !shownOnce_.emplace(word).second;
    return recallFirst_ == RecallFirst::all && shownBefore;
}

void WordWindow::workOutReveal()
{
    const WordEntry entry = wordStore.currentEntry();
    std::u16string word = wordOf(entry);
    if (!newShowing_ && word == reveal_.word) return;  // the same showing, laid out again
    newShowing_ = false;
    const bool wasHidden = reveal_.hidden;
    reveal_.hidden = revealSeconds_ > 0 && recallsFirst(word);
    reveal_.word = std::move(word);
    if (!reveal_.hidden && !wasHidden) return;
    // The reveal timer waits its full time for this word.
    revealFresh_ = true;
    decide();
}

bool WordWindow::hidesMeaningOf(const WordEntry& entry) const
{
    return reveal_.hidden && reveal_.word == std::u16string_view(entry.word, boundedLength(entry.word, kWordUnits));
}

void WordWindow::revealMeaning()
{
    if (!reveal_.hidden) return;
    reveal_.hidden = false;
    // The round moves on a full period after the meaning has shown.
    freshPeriod_ = true;
    decide();
    if (!window_ || !decided_.showing) return;
    if (Settings.titleBarMode)
        writeCapturedTitle();
    else
        InvalidateRect(window_.get(), nullptr, TRUE);
}

// A dotted line where the meaning will be, in its colour: it says that
// something is to come there without drawing the eye from the word.
void WordWindow::drawMeaningPlaceholder(HDC dc, int left, int right, int middle) const
{
    const int dot = std::max(scaleToDpi(2, fontDpi_), 1);
    const int step = dot * 3;
    UniqueBrush brush(CreateSolidBrush(Settings.contentColor));
    if (!brush) return;
    const int inset = scaleToDpi(2, fontDpi_);
    for (int x = left + inset; x + dot <= right - inset; x += step) {
        const RECT r{x, middle - dot / 2, x + dot, middle - dot / 2 + dot};
        FillRect(dc, &r, brush.get());
    }
}

// 显示释义 stands after 已记住 (and 忘了), and only while the meaning is
// hidden: otherwise there is nothing to show.
void WordWindow::showRevealItem(HMENU popup)
{
    const bool hidden = !loading_ && hidesMeaningOf(wordStore.currentEntry());
    const bool shown = GetMenuState(popup, IDM_WORD_REVEAL, MF_BYCOMMAND) != static_cast<UINT>(-1);
    if (hidden && !shown) {
        const int count = GetMenuItemCount(popup);
        int after = -1;
        for (int i = 0; i < count; ++i) {
            const UINT id = GetMenuItemID(popup, i);
            if (id == IDM_WORD_REMEMBERED || id == IDM_WORD_FORGOT) after = i;
        }
        if (after >= 0)
            InsertMenuW(popup, static_cast<UINT>(after + 1), MF_BYPOSITION | MF_STRING, IDM_WORD_REVEAL, L"显示释义");
    } else if (!hidden && shown) {
        DeleteMenu(popup, IDM_WORD_REVEAL, MF_BYCOMMAND);
    }
}
