// The settings page of the options sheet. There is no copy of the settings
// and no Apply step: every click or keystroke writes its field of Settings at
// once and applies it to the word window through the functions the word
// window offers. OK on the sheet only writes the file, and hands over the
// review fields, which the program applies with it.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <memory>
#include <string>

#include "res/resource.h"
#include "settings/Win32Settings.h"
#include "store/WordGet.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "ui/word/WordWindow.h"
#include "win/Dpi.h"
#include "win/Handles.h"

namespace {

// Nine digits always read back as a number; a longer text can exceed what
// GetDlgItemInt reads, which then gives 0 instead of what the user typed.
constexpr WPARAM kNumberDigits = 9;

// The captions drawn on the colour buttons. Their window texts hold the
// colours instead.
struct ColourButton {
    int id;
    const wchar_t* caption;
};
constexpr ColourButton kColourButtons[] = {
    {IDC_SETTINGS_BACKGROUND_COLOR, L"背景"},
    {IDC_SETTINGS_WORD_COLOR, L"单词"},
    {IDC_SETTINGS_PHONETIC_COLOR, L"音标"},
    {IDC_SETTINGS_CONTENT_COLOR, L"内容"},
};

const wchar_t* captionOf(int id)
{
    for (const ColourButton& button : kColourButtons)
        if (button.id == id) return button.caption;
    return nullptr;
}

std::int32_t isTicked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED ? 1 : 0;
}

void tick(HWND page, int id, std::int32_t flag)
{
    CheckDlgButton(page, id, flag != 0 ? BST_CHECKED : BST_UNCHECKED);
}

// Both numbers are stored as the unsigned value the edit shows.
std::int32_t readNumber(HWND page, int id)
{
    return static_cast<std::int32_t>(GetDlgItemInt(page, id, nullptr, FALSE));
}

void showNumber(HWND page, int id, std::uint32_t value)
{
    SetDlgItemInt(page, id, value, FALSE);
}

COLORREF buttonColour(HWND button)
{
    wchar_t text[32] = {};
    GetWindowTextW(button, text, 32);
    return static_cast<COLORREF>(std::wcstoul(text, nullptr, 10));
}

void showButtonColour(HWND button, COLORREF colour)
{
    SetWindowTextW(button, std::to_wstring(colour).c_str());
    InvalidateRect(button, nullptr, FALSE);
}

void showFontLabel(HWND page, const SettingsRecord& Settings)
{
    // The face from the record, cut to its field even without a terminator.
    wchar_t face[LF_FACESIZE] = {};
    for (int i = 0; i < LF_FACESIZE - 1 && Settings.font.lfFaceName[i] != u'\0'; ++i)
        face[i] = static_cast<wchar_t>(Settings.font.lfFaceName[i]);
    wchar_t label[64];  // 3 + 31 + 1 + 11 units at most
    wsprintfW(label, L"字体：%s,%d", face, Settings.font.lfHeight);
    SetDlgItemTextW(page, IDC_SETTINGS_FONT, label);
}

void showSettings(HWND page, const SettingsRecord& Settings)
{
    EnableWindow(GetDlgItem(page, IDC_SETTINGS_SWITCH_SECONDS), Settings.autoSwitch != 0);
    SendDlgItemMessageW(page, IDC_SETTINGS_SWITCH_SECONDS, EM_LIMITTEXT, kNumberDigits, 0);
    SendDlgItemMessageW(page, IDC_SETTINGS_CYCLE_SIZE, EM_LIMITTEXT, kNumberDigits, 0);

    showNumber(page, IDC_SETTINGS_BACKGROUND_COLOR, Settings.backgroundColor);
    showNumber(page, IDC_SETTINGS_WORD_COLOR, Settings.wordColor);
    showNumber(page, IDC_SETTINGS_PHONETIC_COLOR, Settings.phoneticColor);
    showNumber(page, IDC_SETTINGS_CONTENT_COLOR, Settings.contentColor);
    // Each of these reports EN_CHANGE, handled like a keystroke: the switch
    // period starts afresh as the page appears, and the cycle end is
    // recomputed.
    showNumber(page, IDC_SETTINGS_SWITCH_SECONDS, static_cast<std::uint32_t>(Settings.switchSeconds));
    showNumber(page, IDC_SETTINGS_CYCLE_SIZE, static_cast<std::uint32_t>(Settings.cycleSize));

    tick(page, IDC_SETTINGS_AUTO_START, Settings.autoStart);
    tick(page, IDC_SETTINGS_AUTO_SWITCH, Settings.autoSwitch);
    tick(page, IDC_SETTINGS_TRANSPARENT, Settings.transparentBackground);
    tick(page, IDC_SETTINGS_SAMPLE_BACKGROUND, Settings.sampleBackground);
    tick(page, IDC_SETTINGS_TITLE_BAR_MODE, Settings.titleBarMode);
    showFontLabel(page, Settings);
}

// The choices of RecallFirst, in the order of the enum.
constexpr const wchar_t* kRecallFirstChoices[] = {
    L"复习的单词",
    // A word being learnt from its second showing in a round on: the first
    // is for study.
    L"复习和学习中的单词",
    L"不用，直接显示释义",
};

void showReview(HWND page, const ReviewSettings& review)
{
    SendDlgItemMessageW(page, IDC_SETTINGS_REVIEW_LIMIT, EM_LIMITTEXT, 4, 0);
    SendDlgItemMessageW(page, IDC_SETTINGS_RETENTION, EM_LIMITTEXT, 2, 0);
    SendDlgItemMessageW(page, IDC_SETTINGS_REVEAL_SECONDS, EM_LIMITTEXT, 2, 0);
    HWND recall = GetDlgItem(page, IDC_SETTINGS_RECALL_FIRST);
    SendMessageW(recall, CB_RESETCONTENT, 0, 0);
    for (const wchar_t* choice : kRecallFirstChoices)
        SendMessageW(recall, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    SendMessageW(recall, CB_SETCURSEL, static_cast<WPARAM>(review.recallFirst), 0);
    showNumber(page, IDC_SETTINGS_REVEAL_SECONDS, static_cast<std::uint32_t>(review.revealSeconds));
    tick(page, IDC_SETTINGS_REVIEW, review.enabled ? 1 : 0);
    showNumber(page, IDC_SETTINGS_REVIEW_LIMIT, static_cast<std::uint32_t>(review.dailyLimit));
    showNumber(page, IDC_SETTINGS_RETENTION, static_cast<std::uint32_t>(review.retentionPercent));
}

// What the review fields say; a limit beyond its range is held to it, and
// so is the retention.
ReviewSettings reviewFromPage(HWND page, ReviewSettings review)
{
    review.enabled = isTicked(page, IDC_SETTINGS_REVIEW) != 0;
    review.dailyLimit = std::clamp(readNumber(page, IDC_SETTINGS_REVIEW_LIMIT), 0, kReviewLimitHighest);
    review.retentionPercent =
        std::clamp(readNumber(page, IDC_SETTINGS_RETENTION), kRetentionLowestPercent, kRetentionHighestPercent);
    const LRESULT recall = SendDlgItemMessageW(page, IDC_SETTINGS_RECALL_FIRST, CB_GETCURSEL, 0, 0);
    if (recall >= 0 && recall < static_cast<LRESULT>(std::size(kRecallFirstChoices)))
        review.recallFirst = static_cast<RecallFirst>(recall);
    review.revealSeconds = std::clamp(readNumber(page, IDC_SETTINGS_REVEAL_SECONDS), 0, kRevealSecondsHighest);
    return review;
}

void chooseFont(HWND page, OptionsContext& context)
{
    SettingsRecord& Settings = context.Settings;
    // The dialog works on a copy, so that a cancelled dialog cannot have
    // touched the record.
    LOGFONTW font = logFont(Settings.font);
    font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    // The record keeps 96-DPI units. The dialog runs system-aware and so
    // offers and returns sizes at the system DPI on every monitor (a
    // per-monitor one would still work at it: LOGPIXELSY is the system's),
    // and the same choice stores the same bytes wherever the sheet is.
    const UINT dpi = context.dpis.system();
    const LONG storedHeight = font.lfHeight;
    const LONG storedWidth = font.lfWidth;
    font.lfHeight = fontHeightForDpi(storedHeight, dpi);
    font.lfWidth = fontHeightForDpi(storedWidth, dpi);
    CHOOSEFONTW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = page;
    dialog.lpLogFont = &font;
    dialog.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    dialog.nFontType = SCREEN_FONTTYPE;
    bool chosen = false;
    {
        SystemDpiAwareness systemAware;
        chosen = context.dialogs.chooseFont(&dialog) != FALSE;
    }
    if (!chosen) return;

    // Back to 96-DPI units; the size that was offered gives back the very
    // bytes it came from.
    font.lfHeight = fontHeightFromDpi(font.lfHeight, dpi, storedHeight);
    font.lfWidth = fontHeightFromDpi(font.lfWidth, dpi, storedWidth);
    logFont(Settings.font) = font;
    context.wordWindow.applyWordFont();
    showFontLabel(page, Settings);
    // Steps on and measures the next word in the new font.
    context.wordWindow.advance();
}

void chooseColour(HWND page, HWND button, OptionsContext& context)
{
    SettingsRecord& Settings = context.Settings;
    WordWindow& wordWindow = context.wordWindow;
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = page;
    dialog.rgbResult = buttonColour(button);
    dialog.lpCustColors = context.customColors;
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN | CC_SOLIDCOLOR | CC_ANYCOLOR;
    bool chosen = false;
    {
        SystemDpiAwareness systemAware;
        chosen = context.dialogs.chooseColor(&dialog) != FALSE;
    }
    if (!chosen) return;

    const COLORREF colour = dialog.rgbResult;
    showButtonColour(button, colour);
    switch (GetDlgCtrlID(button)) {
    case IDC_SETTINGS_BACKGROUND_COLOR:
        // A later probe must not replace the chosen colour, and the page
        // shows that sampling is off now.
        Settings.sampleBackground = 0;
        tick(page, IDC_SETTINGS_SAMPLE_BACKGROUND, 0);
        wordWindow.applyWordBackground(colour);
        break;
    case IDC_SETTINGS_WORD_COLOR:
        Settings.wordColor = colour;
        wordWindow.repaint();
        break;
    case IDC_SETTINGS_PHONETIC_COLOR:
        Settings.phoneticColor = colour;
        wordWindow.repaint();
        break;
    case IDC_SETTINGS_CONTENT_COLOR:
        Settings.contentColor = colour;
        wordWindow.repaint();
        break;
    default:
        break;
    }
}

void onAutoSwitch(HWND page, OptionsContext& context)
{
    SettingsRecord& Settings = context.Settings;
    Settings.autoSwitch = isTicked(page, IDC_SETTINGS_AUTO_SWITCH);
    context.wordWindow.switchingChanged();
    EnableWindow(GetDlgItem(page, IDC_SETTINGS_SWITCH_SECONDS), Settings.autoSwitch != 0);
}

void onSampleBackground(HWND page, OptionsContext& context)
{
    SettingsRecord& Settings = context.Settings;
    Settings.sampleBackground = isTicked(page, IDC_SETTINGS_SAMPLE_BACKGROUND);
    if (!Settings.sampleBackground) return;
    context.wordWindow.startWordProbe();
    showButtonColour(GetDlgItem(page, IDC_SETTINGS_BACKGROUND_COLOR), Settings.backgroundColor);
}

void onTitleBarMode(HWND page, OptionsContext& context)
{
    context.Settings.titleBarMode = isTicked(page, IDC_SETTINGS_TITLE_BAR_MODE);
    context.wordWindow.titleBarModeChanged();
}

void onCommand(HWND page, OptionsContext& context, int id, UINT code, HWND control)
{
    if (control == nullptr) return;  // menus and accelerators: the page has none
    SettingsRecord& Settings = context.Settings;
    switch (id) {
    case IDC_SETTINGS_SWITCH_SECONDS:
        if (code != EN_CHANGE) return;
        Settings.switchSeconds = readNumber(page, id);
        context.wordWindow.switchingChanged();
        return;
    case IDC_SETTINGS_CYCLE_SIZE:
        if (code != EN_CHANGE) return;
        Settings.cycleSize = readNumber(page, id);
        // The store keeps its own copy and recomputes the cycle end from it.
        context.wordStore.setCycleSize(Settings.cycleSize);
        return;
    default:
        break;
    }
    // Buttons act on a click only: an owner-drawn button also reports double
    // clicks, which must not open its dialog a second time.
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_SETTINGS_AUTO_SWITCH:
        onAutoSwitch(page, context);
        break;
    case IDC_SETTINGS_AUTO_START:
        // The Run registration follows when the settings are saved.
        Settings.autoStart = isTicked(page, id);
        break;
    case IDC_SETTINGS_FONT:
        chooseFont(page, context);
        break;
    case IDC_SETTINGS_BACKGROUND_COLOR:
    case IDC_SETTINGS_WORD_COLOR:
    case IDC_SETTINGS_PHONETIC_COLOR:
    case IDC_SETTINGS_CONTENT_COLOR:
        chooseColour(page, control, context);
        break;
    case IDC_SETTINGS_TRANSPARENT:
        Settings.transparentBackground = isTicked(page, id);
        context.wordWindow.applyWordTransparency();
        break;
    case IDC_SETTINGS_SAMPLE_BACKGROUND:
        onSampleBackground(page, context);
        break;
    case IDC_SETTINGS_TITLE_BAR_MODE:
        onTitleBarMode(page, context);
        break;
    default:
        break;
    }
}

// A raised (or, while pressed, pushed) button face with the caption on the
// left half and a sunken swatch of the button's colour on the right half.
// Pressing moves the swatch one pixel right and down; the caption stays.
void drawColourButton(const DRAWITEMSTRUCT& item)
{
    if (item.CtlType != ODT_BUTTON || item.hwndItem == nullptr) return;
    RECT r;
    GetClientRect(item.hwndItem, &r);
    const COLORREF colour = buttonColour(item.hwndItem);
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));

    // The button grows with the dialog's font at every scale; the margins
    // and the push offset (pixels at 96 DPI) grow with it. The frame's own
    // edges are what DrawFrameControl draws at this DPI.
    const UINT dpi = dpiForWindow(item.hwndItem);
    const int margin = scaleToDpi(2, dpi);
    const int push = scaleToDpi(1, dpi);
    RECT swatch{r.right / 2, margin, r.right - margin, r.bottom - margin};
    UINT state = DFCS_BUTTONPUSH;
    if (item.itemState & ODS_SELECTED) {
        OffsetRect(&swatch, push, push);
        state |= DFCS_PUSHED;
    }
    DrawFrameControl(item.hDC, &r, DFC_BUTTON, state);
    DrawFrameControl(item.hDC, &swatch, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
    InflateRect(&swatch, -push, -push);
    if (const UniqueBrush brush{CreateSolidBrush(colour)}) FillRect(item.hDC, &swatch, brush.get());

    if (const wchar_t* caption = captionOf(static_cast<int>(item.CtlID))) {
        RECT left{r.left, r.top, r.right / 2, r.bottom};
        DrawTextW(item.hDC, caption, 2, &left, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -margin, -margin);
        DrawFocusRect(item.hDC, &focus);
    }
}

class SettingsPage : public SheetPage {
public:
    using SheetPage::SheetPage;

private:
    void fill() override
    {
        showSettings(window(), context().Settings);
        showReview(window(), context().review != nullptr ? *context().review : ReviewSettings{});
    }

    void apply() override
    {
        if (context().review != nullptr) *context().review = reviewFromPage(window(), *context().review);
    }

    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_COMMAND:
            onCommand(window(), context(), LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_DRAWITEM:
            drawColourButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return FALSE;
        default:
            return FALSE;
        }
    }
};

}  // namespace

std::unique_ptr<SheetPage> makeSettingsPage(OptionsContext& context)
{
    return std::make_unique<SettingsPage>(context);
}
