#include "ui/word/WordExamples.h"

#include <algorithm>

#include "store/text/Wide.h"
#include "win/Dpi.h"

namespace {

// Where a line may break: after a space, and before and after a character
// of the scripts written without spaces (Chinese text and its punctuation).
bool widePoint(wchar_t c)
{
    return c >= 0x2E80;
}

std::vector<std::wstring> breakablePieces(const std::wstring& text)
{
    std::vector<std::wstring> pieces;
    std::wstring piece;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (widePoint(c) && !piece.empty()) pieces.push_back(std::move(piece)), piece.clear();
        piece.push_back(c);
        // A surrogate pair stays together.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) piece.push_back(text[++i]);
        if (c == L' ' || widePoint(c)) pieces.push_back(std::move(piece)), piece.clear();
    }
    if (!piece.empty()) pieces.push_back(std::move(piece));
    return pieces;
}

std::wstring wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

UniqueFont derivedFont(HFONT wordFont, bool bold)
{
    LOGFONTW font{};
    if (wordFont == nullptr || GetObjectW(wordFont, sizeof font, &font) == 0) return {};
    // Four fifths of the word's size: the sentences are read after the word.
    font.lfHeight = font.lfHeight * 4 / 5;
    font.lfWidth = font.lfWidth * 4 / 5;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    return UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace

GrownPlacement growWordWindow(const RECT& main, SIZE block, const RECT& work)
{
    GrownPlacement placed;
    const LONG mainWidth = main.right - main.left;
    const LONG mainHeight = main.bottom - main.top;
    const LONG workWidth = std::max<LONG>(work.right - work.left, mainWidth);
    const LONG width = std::min<LONG>(std::max<LONG>(mainWidth, block.cx), workWidth);
    LONG left = main.left;
    if (left + width > work.right) left = std::max<LONG>(work.left, work.right - width);
    const LONG below = std::max<LONG>(work.bottom - main.bottom, 0);
    const LONG above = std::max<LONG>(main.top - work.top, 0);
    const LONG room = std::max<LONG>(work.bottom - work.top - mainHeight, 0);
    const LONG height = std::min<LONG>(block.cy, room);
    placed.blockHeight = static_cast<int>(height);
    LONG top = main.top;
    bool up = false;
    if (height <= below) {
        top = main.top;
    } else if (height <= above) {
        top = main.top - height;
        up = true;
    } else if (above > below) {
        top = work.top;
        up = true;
    } else {
        top = work.bottom - mainHeight - height;
    }
    placed.window = {left, top, left + width, top + mainHeight + height};
    if (up) {
        placed.mainAt = {main.left - left, static_cast<LONG>(height)};
        placed.blockAt = {0, 0};
    } else {
        placed.mainAt = {main.left - left, 0};
        placed.blockAt = {0, mainHeight};
    }
    return placed;
}

const WordExamples* WordExamplesView::find(std::u16string_view word) const
{
    if (!table_ || shown_ == ExamplesShown::off || word.empty()) return nullptr;
    const WordExamples* found = table_->find(word);
    if (found == nullptr || (found->forms.empty() && found->sentences.empty())) return nullptr;
    return found;
}

void WordExamplesView::clear()
{
    runs_.clear();
    sentence_.clear();
}

void WordExamplesView::place(HDC dc, const std::wstring& text, Kind kind, int& x, int& y, int& line, int left,
                             int right, int lineHeight, int& widest)
{
    SelectedObject font(dc, kind == Kind::bold ? bold_.get() : normal_.get());
    for (const std::wstring& piece : breakablePieces(text)) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, piece.c_str(), static_cast<int>(piece.size()), &extent);
        if (x > left && x + extent.cx > right && piece != L" ") {
            x = left;
            y += lineHeight;
            ++line;
        }
        runs_.push_back(Run{piece, kind, {x, y}, line});
        x += extent.cx;
        widest = std::max(widest, x);
    }
}

SIZE WordExamplesView::layOut(HWND window, HFONT wordFont, UINT dpi, const WordExamples& examples, int minWidth,
                              int maxWidth)
{
    clear();
    normal_ = derivedFont(wordFont, false);
    bold_ = derivedFont(wordFont, true);
    WindowDC dc(window);
    if (!normal_ || !bold_ || dc.get() == nullptr) return {};
    TEXTMETRICW metrics{};
    {
        SelectedObject font(dc.get(), normal_.get());
        GetTextMetricsW(dc.get(), &metrics);
    }
    const int margin = scaleToDpi(6, dpi);
    const int gap = scaleToDpi(4, dpi);
    const int lineHeight = std::max<int>(metrics.tmHeight, 1);
    const int left = margin;
    const int right = std::max(maxWidth - margin, left + lineHeight);
    int x = left;
    int y = gap;
    int line = 0;
    int widest = 0;
    const auto newLine = [&](int extra) {
        x = left;
        y += lineHeight + extra;
        ++line;
    };
    if (!examples.forms.empty()) {
        place(dc.get(), wide(formsLine(examples.forms)), Kind::forms, x, y, line, left, right, lineHeight, widest);
        newLine(gap);
    }
    for (const ExampleSentence& sentence : examples.sentences) {
        const std::size_t start = std::min(sentence.boldStart, sentence.english.size());
        const std::size_t end = std::min(start + sentence.boldLength, sentence.english.size());
        const std::u16string_view english(sentence.english);
        place(dc.get(), wide(english.substr(0, start)), Kind::english, x, y, line, left, right, lineHeight, widest);
        place(dc.get(), wide(english.substr(start, end - start)), Kind::bold, x, y, line, left, right, lineHeight,
              widest);
        place(dc.get(), wide(english.substr(end)), Kind::english, x, y, line, left, right, lineHeight, widest);
        newLine(0);
        place(dc.get(), wide(sentence.chinese), Kind::chinese, x, y, line, left, right, lineHeight, widest);
        newLine(gap);
        if (sentence_.empty()) sentence_ = sentence.english;
    }
    if (runs_.empty()) return {};
    return {std::max(widest + margin, minWidth), y};
}

void WordExamplesView::paint(HDC dc, POINT origin, int height, COLORREF formsColour, COLORREF englishColour,
                             COLORREF chineseColour) const
{
    if (runs_.empty()) return;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, origin.x, origin.y, origin.x + 32767, origin.y + height);
    SetBkMode(dc, TRANSPARENT);
    for (const Run& run : runs_) {
        SelectObject(dc, run.kind == Kind::bold ? bold_.get() : normal_.get());
        SetTextColor(dc, run.kind == Kind::forms     ? formsColour
                         : run.kind == Kind::chinese ? chineseColour
                                                     : englishColour);
        TextOutW(dc, origin.x + run.at.x, origin.y + run.at.y, run.text.c_str(), static_cast<int>(run.text.size()));
    }
    RestoreDC(dc, saved);
}

std::wstring WordExamplesView::shownText() const
{
    std::wstring text;
    int line = 0;
    bool inBold = false;
    for (const Run& run : runs_) {
        if (run.line != line) {
            if (inBold) text += L']', inBold = false;
            text += L'\n';
            line = run.line;
        }
        if ((run.kind == Kind::bold) != inBold) {
            text += inBold ? L']' : L'[';
            inBold = !inBold;
        }
        text += run.text;
    }
    if (inBold) text += L']';
    return text;
}
