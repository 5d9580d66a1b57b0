// The word window's grown part: the word's forms on one line and its
// example sentences, each with its translation and the word's form in bold.
// It shows below the word (above it where the screen ends below), while the
// pointer rests on the word or always, as mivora.ini's [Word] Examples says.
// The word window owns one; it lays the part out and paints it, and decides
// nothing about the word window itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/WordSettings.h"
#include "store/lists/Examples.h"
#include "win/Handles.h"

// Where a grown window goes: the whole window, and where in it the word's
// own part and the grown part lie (client coordinates).
struct GrownPlacement {
    RECT window{};
    POINT mainAt{};
    POINT blockAt{};
    int blockHeight = 0;  // as much of the part as the work area has room for
};

// The word's own part is at `main` (placed inside `work` already). The
// grown part of `block` goes below it, or above it when the work area ends
// first below; where neither side has room, on the side with more, the word
// moving as little as it must. The window is as wide as the wider part,
// moved left where the work area ends on the right, and never leaves the
// work area (so never covers a task bar).
GrownPlacement growWordWindow(const RECT& main, SIZE block, const RECT& work);

class WordExamplesView {
public:
    void setTable(SharedExamples table) { table_ = std::move(table); }
    void setShown(ExamplesShown shown) { shown_ = shown; }
    ExamplesShown shown() const { return shown_; }

    // What the table has for `word`: nullptr when nothing.
    const WordExamples* find(std::u16string_view word) const;

    // Lays `examples` out in fonts made from `wordFont` (smaller, and bold
    // for the word's form), at least `minWidth` and at most `maxWidth`
    // pixels wide; returns the part's size, which is kept for painting.
    SIZE layOut(HWND window, HFONT wordFont, UINT dpi, const WordExamples& examples, int minWidth, int maxWidth);
    void clear();
    bool laidOut() const { return !runs_.empty(); }

    // Paints the part laid out last at `origin`, its height cut at
    // `height`: forms in `formsColour`, English in `englishColour`,
    // translations in `chineseColour`.
    void paint(HDC dc, POINT origin, int height, COLORREF formsColour, COLORREF englishColour,
               COLORREF chineseColour) const;

    // The first sentence laid out (for 朗读 and 朗读例句); empty when none.
    const std::u16string& sentence() const { return sentence_; }
    // Every text laid out, in order, for tests: the lines joined by '\n'
    // and the bold runs in [brackets].
    std::wstring shownText() const;

private:
    enum class Kind { forms, english, bold, chinese };
    struct Run {
        std::wstring text;
        Kind kind;
        POINT at;
        int line;
    };
    void place(HDC dc, const std::wstring& text, Kind kind, int& x, int& y, int& line, int left, int right,
               int lineHeight, int& widest);

    SharedExamples table_;
    ExamplesShown shown_ = ExamplesShown::hover;
    UniqueFont normal_;
    UniqueFont bold_;
    std::vector<Run> runs_;
    std::u16string sentence_;
};
