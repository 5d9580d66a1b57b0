// The about page of the options sheet: name, build, description, the study
// statistics and three links: the user guide that ships beside the program,
// the folder where the user's word lists go, and the folder where the
// settings and the progress are kept, shown by its path.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>

#include "res/resource.h"
#include "store/WordGet.h"
#include "store/text/Text.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "win/Dpi.h"
#include "win/Handles.h"
#include "win/Messages.h"

namespace {

// __DATE__ and __TIME__ are narrow literals; pasting L onto them gives the
// same text as wide literals, so no printf conversion can mistake them.
#define MIVORA_WIDEN2(text) L##text
#define MIVORA_WIDEN(text) MIVORA_WIDEN2(text)
constexpr wchar_t kBuildDate[] = MIVORA_WIDEN(__DATE__);
constexpr wchar_t kBuildTime[] = MIVORA_WIDEN(__TIME__);
#undef MIVORA_WIDEN
#undef MIVORA_WIDEN2

constexpr int kTextUnits = 256;
constexpr COLORREF kLinkColor = 0x00FF0000;
constexpr int kQrCodePixels = 185;  // res/qrcode.bmp
constexpr int kLinks[] = {IDC_ABOUT_GUIDE_LINK, IDC_ABOUT_DIC_LINK, IDC_ABOUT_FILES_LINK};

constexpr wchar_t kDescription[] =
    L"软件说明：\r\n\r\n为了边工作边背单词,因为找不到简单\r\n\r\n适用的软件,所以便有了这个软件,\r\n\r\n"
    L"在使用过程中有任何建议欢迎提出。\r\n\r\n如果你喜欢也可以用手机扫一扫^o^";

// The GUI font, underlined. Its height is that of 100 %, whatever the
// scale: above 96 DPI the links take the height of the page's own font,
// which grows with the page (on a Chinese system the two are the same
// 宋体 9 pt).
HFONT createUnderlinedGuiFont(HWND page, UINT dpi)
{
    LOGFONTW font{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfUnderline = 1;
    LOGFONTW pageFont{};
    const auto own = reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0));
    if (dpi != kBaseDpi && own != nullptr && GetObjectW(own, sizeof pageFont, &pageFont) != 0) {
        font.lfHeight = pageFont.lfHeight;
        font.lfWidth = 0;
    }
    return CreateFontIndirectW(&font);
}

// The QR picture is 185 pixels square, made for 96 DPI; above that it is
// stretched with the page (pixel for pixel, so the code stays sharp
// enough to scan). The static sizes itself to the new bitmap.
UniqueBitmap scaledPicture(HWND page, UINT dpi, HBITMAP current)
{
    if (dpi == kBaseDpi && current == nullptr) return {};
    HWND picture = nullptr;
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
            picture = child;
            break;
        }
    }
    if (picture == nullptr) return {};
    const UniqueBitmap original(static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_QRCODE), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    WindowDC screen(nullptr);
    if (!original || screen.get() == nullptr) return {};
    const int side = scaleToDpi(kQrCodePixels, dpi);
    UniqueBitmap scaled(CreateCompatibleBitmap(screen.get(), side, side));
    const UniqueDC from(CreateCompatibleDC(screen.get()));
    const UniqueDC to(CreateCompatibleDC(screen.get()));
    if (!scaled || !from || !to) return {};
    {
        SelectedObject source(from.get(), original.get());
        SelectedObject target(to.get(), scaled.get());
        // Whole pixels repeated, never blended: a blurred module edge is
        // what makes a code hard to scan.
        SetStretchBltMode(to.get(), COLORONCOLOR);
        StretchBlt(to.get(), 0, 0, side, side, from.get(), 0, 0, kQrCodePixels, kQrCodePixels, SRCCOPY);
    }
    // The bitmap the static loaded itself comes back to us; ours stays with
    // the page's state until after the static is gone.
    const auto previous = reinterpret_cast<HBITMAP>(
        SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.get())));
    if (previous != nullptr && previous != current) DeleteObject(previous);
    return scaled;
}

enum class LinkTarget { guide, dic, files };

// `path` as the shell takes it, or empty when there is none or it is too
// long for the shell.
std::wstring shellPath(const std::filesystem::path& path)
{
    const std::wstring& text = path.native();
    return text.size() < MAX_PATH ? text : std::wstring{};
}

std::wstring targetOf(const FilePlace& place, LinkTarget kind)
{
    switch (kind) {
    case LinkTarget::guide:
        return place.programDir.empty() ? std::wstring{} : shellPath(place.programDir / L"使用说明.html");
    case LinkTarget::dic:
        // The dic beside the progress: where the user may add word lists
        // even when the program folder cannot be written.
        return shellPath(place.dic);
    case LinkTarget::files:
        return shellPath(place.folder);
    }
    return {};
}

// The static's own procedure, kept in its user data when the link's
// replaced it.
WNDPROC previousProc(HWND link)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(link, GWLP_USERDATA));
}

LRESULT callPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC previous = previousProc(window);
    if (message == WM_NCDESTROY) {
        // The control's own procedure goes back in place for its last message.
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    return previous != nullptr ? CallWindowProcW(previous, window, message, wParam, lParam)
                               : DefWindowProcW(window, message, wParam, lParam);
}

// The keys a focused link takes for itself: Enter and Space open it, as they
// press a focused button. Everything else (Tab, Escape, Ctrl+Tab) stays with
// the sheet.
bool opensLink(const MSG* message)
{
    return message != nullptr && message->message == WM_KEYDOWN &&
           (message->wParam == VK_RETURN || message->wParam == VK_SPACE);
}

void openLink(HWND link, LinkTarget kind)
{
    const SheetPage* page = sheetPageOf(GetParent(link));
    if (page == nullptr) return;
    const OptionsContext& context = page->context();
    const std::wstring target = targetOf(context.place, kind);
    if (target.empty()) return;
    // A folder that is not there yet is made, so the user is shown the
    // place where word lists go rather than nothing at all.
    if (kind == LinkTarget::dic) CreateDirectoryW(target.c_str(), nullptr);
    context.openLink(target.c_str(), SW_SHOWMAXIMIZED);
}

LRESULT linkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, LinkTarget kind)
{
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return 0;
    case WM_LBUTTONDOWN:
        openLink(link, kind);
        return 0;
    case WM_GETDLGCODE:
        return callPrevious(link, message, wParam, lParam) |
               (opensLink(reinterpret_cast<const MSG*>(lParam)) ? DLGC_WANTMESSAGE : 0);
    case WM_KEYDOWN:
        if (wParam != VK_RETURN && wParam != VK_SPACE) break;
        openLink(link, kind);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(link, nullptr, TRUE);
        break;
    case WM_PAINT: {
        // A static draws no focus of its own: the link shows it as a button
        // would, inside its frame.
        const LRESULT painted = callPrevious(link, message, wParam, lParam);
        if (GetFocus() == link) {
            RECT r{};
            GetClientRect(link, &r);
            InflateRect(&r, -2, -2);
            WindowDC dc(link);
            if (dc.get() != nullptr) DrawFocusRect(dc.get(), &r);
        }
        return painted;
    }
    default:
        break;
    }
    return callPrevious(link, message, wParam, lParam);
}

// The read-only text boxes: a multi-line edit asks for every key, Escape
// included, so Escape in one would not close the sheet. They leave it to
// the sheet. Nor is their whole text selected when the keyboard arrives:
// there is nothing to type over, and the page would open highlighted.
LRESULT CALLBACK textBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE) {
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        LRESULT code = callPrevious(box, message, wParam, lParam) & ~static_cast<LRESULT>(DLGC_HASSETSEL);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_ESCAPE)
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        return code;
    }
    return callPrevious(box, message, wParam, lParam);
}

// The user guide in Chinese, 使用说明.html beside Mivora.exe.
LRESULT CALLBACK guideLinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam)
{
    return linkProc(link, message, wParam, lParam, LinkTarget::guide);
}

// The dic folder, where the user puts word lists, opened in Explorer.
LRESULT CALLBACK dicLinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam)
{
    return linkProc(link, message, wParam, lParam, LinkTarget::dic);
}

// The folder where the settings and the progress are kept, shown by its
// path.
LRESULT CALLBACK filesLinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam)
{
    return linkProc(link, message, wParam, lParam, LinkTarget::files);
}

void replaceProc(HWND link, WNDPROC proc)
{
    if (link == nullptr || previousProc(link) != nullptr) return;
    const auto old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
    SetWindowLongPtrW(link, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(old));
}

// The build line "Build:<date> <time>" from the compiler's __DATE__ and
// __TIME__ ("Mar  6 2020", "14:10:10"), as the page shows it.
std::wstring buildLine()
{
    wchar_t line[kTextUnits];
    wsprintfW(line, L"Build:%s %s", kBuildDate, kBuildTime);
    return line;
}

class AboutPage : public SheetPage {
public:
    using SheetPage::SheetPage;

private:
    void fill() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR onCtlColorStatic(HDC dc, HWND control) const;
    void dpiChanged() override { scale(); }
    // The links' font and the QR picture for the DPI of the page's monitor.
    void scale();
    // The study counters, as they are at this moment.
    void showStatistics();

    // What the page draws its links with: made once when the page opens and
    // freed with it (after the statics are gone, so nothing can draw with
    // them any more), since WM_CTLCOLORSTATIC comes at every repaint.
    UniqueFont linkFont_;
    UniqueBitmap picture_;
    UniqueBrush faceBrush_{CreateSolidBrush(GetSysColor(COLOR_BTNFACE))};
};

void AboutPage::fill()
{
    HWND page = window();
    scale();

    SetDlgItemTextW(page, IDC_ABOUT_BUILD, buildLine().c_str());

    replaceProc(item(IDC_ABOUT_DIC_LINK), dicLinkProc);
    replaceProc(item(IDC_ABOUT_GUIDE_LINK), guideLinkProc);
    replaceProc(item(IDC_ABOUT_FILES_LINK), filesLinkProc);
    SetDlgItemTextW(page, IDC_ABOUT_FILES_LINK, targetOf(context().place, LinkTarget::files).c_str());
    replaceProc(item(IDC_ABOUT_DESCRIPTION), textBoxProc);
    replaceProc(item(IDC_ABOUT_STATISTICS), textBoxProc);
    SetDlgItemTextW(page, IDC_ABOUT_DESCRIPTION, kDescription);
    showStatistics();
}

void AboutPage::showStatistics()
{
    const ProgressHeader counters = context().wordStore.header();
    // wsprintfW: %d and a format of about 60 units; the result fits easily.
    wchar_t text[kTextUnits];
    wsprintfW(text, L"学习信息：\r\n\r\n记住数量: %d\r\n\r\n学习数量: %d\r\n\r\n上次时间: %d\r\n\r\n开始时间: %d",
              counters.rememberedCount, counters.learningCount, counters.lastDate, counters.startDate);
    SetDlgItemTextW(window(), IDC_ABOUT_STATISTICS, text);
}

void AboutPage::scale()
{
    HWND page = window();
    const UINT dpi = context().dpis.ofWindow(page);
    // Statics select their own font after asking for their colours (Wine
    // does), which would undo the font chosen in WM_CTLCOLORSTATIC: give
    // them the underlined font as their own as well. It lives until the
    // page's last message, after the statics are gone, or until they have
    // the next one.
    if (UniqueFont linkFont{createUnderlinedGuiFont(page, dpi)}) {
        const auto font = reinterpret_cast<WPARAM>(linkFont.get());
        for (int link : kLinks) SendDlgItemMessageW(page, link, WM_SETFONT, font, TRUE);
        linkFont_ = std::move(linkFont);
    }
    if (UniqueBitmap picture = scaledPicture(page, dpi, picture_.get())) picture_ = std::move(picture);
}

INT_PTR AboutPage::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CTLCOLORSTATIC)
        return onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    if (message == PSM_QUERYSIBLINGS && wParam == kProgressChangedQuery) {
        // Another PC's progress was merged: the counters changed.
        showStatistics();
        SetWindowLongPtrW(window(), DWLP_MSGRESULT, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR AboutPage::onCtlColorStatic(HDC dc, HWND control) const
{
    const int id = GetDlgCtrlID(control);
    if (std::find(std::begin(kLinks), std::end(kLinks), id) == std::end(kLinks)) return FALSE;
    if (linkFont_) SelectObject(dc, linkFont_.get());
    SetTextColor(dc, kLinkColor);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(faceBrush_.get());
}

}  // namespace

std::unique_ptr<SheetPage> makeAboutPage(OptionsContext& context)
{
    return std::make_unique<AboutPage>(context);
}
