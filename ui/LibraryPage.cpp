// The word-library page of the options sheet: the dictionary to learn from,
// reloaded on a worker thread when another is picked, a learner's own 生词本
// imported as a new one, and the remembered words, which can be sent back
// to learning or deleted.
#include "ui/LibraryPage.h"

#include <commctrl.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "store/review/ReviewLog.h"
#include "store/text/Text.h"
#include "store/text/Wide.h"
#include "store/WordGet.h"
#include "store/lists/WordListImport.h"
#include "ui/CommonControls.h"
#include "ui/DictionaryReload.h"
#include "ui/ImportPreview.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "ui/word/WordWindow.h"
#include "win/Dpi.h"
#include "win/Handles.h"
#include "win/Messages.h"

namespace {

constexpr std::u16string_view kDictionaryExtension = u".txt";
constexpr std::size_t kNameLimit = kDictionaryNameUnits - 1;  // what dictionaryName holds

// A compact copy of the remembered list as it was when the page opened. The
// view is an owner-data view over it: opening the page costs one pass over
// the list however long it is, and rows keep the numbers they were given
// when others are removed.
class RememberedRows {
public:
    void fill(const WordGet& wordStore)
    {
        rows_.clear();
        units_.clear();
        std::uint32_t number = 0;
        wordStore.forEachEntry(WordList::remembered, [&](const WordFields& fields) {
            Row row{++number, add(fields.word), add(fields.phonetic), add(fields.content)};
            rows_.push_back(row);
        });
    }
    std::size_t size() const { return rows_.size(); }
    void erase(std::size_t row) { rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row)); }
    std::uint32_t number(std::size_t row) const { return rows_[row].number; }
    // Column 1, 2 or 3 of a row, zero-terminated; stays valid until the page
    // is destroyed.
    const char16_t* text(std::size_t row, int column) const
    {
        const Row& r = rows_[row];
        return units_.data() + (column == 1 ? r.word : column == 2 ? r.phonetic : r.content);
    }
    WordEntry entry(std::size_t row) const
    {
        WordEntry entry{};
        copyBounded(entry.word, text(row, 1));
        copyBounded(entry.phonetic, text(row, 2));
        copyBounded(entry.content, text(row, 3));
        return entry;
    }

private:
    struct Row {
        std::uint32_t number;                 // 1-based position in the list when the page opened
        std::size_t word, phonetic, content;  // offsets into units_
    };
    std::size_t add(std::u16string_view text)
    {
        const std::size_t at = units_.size();
        units_.append(text);
        units_.push_back(u'\0');
        return at;
    }

    std::u16string units_;
    std::vector<Row> rows_;
};

// A file of dic\ as a dictionary name: the file name without its ".txt";
// empty when it cannot be one (no name left, or longer than dictionaryName
// holds, so that picking it could never be stored).
std::u16string_view dictionaryNameOf(const wchar_t* fileName)
{
    const std::u16string_view file(as_u16cstr(fileName), boundedLength(as_u16cstr(fileName), MAX_PATH));
    // The pattern also matches through 8.3 aliases ("x.txtold"); the loader
    // opens <name>.txt, so only that is a dictionary.
    if (file.size() <= kDictionaryExtension.size() ||
        !equalNoCase(file.substr(file.size() - kDictionaryExtension.size()), kDictionaryExtension))
        return {};
    // The review history lives in the same folder with the same ending.
    if (isReviewLogFileName(file)) return {};
    const std::u16string_view name = file.substr(0, file.size() - kDictionaryExtension.size());
    return name.size() <= kNameLimit ? name : std::u16string_view{};
}

// Adds the dictionaries of the folder whose search pattern is `pattern`; a
// name the box holds already (from a folder looked in first) is left out,
// as the loader would never open its file.
void addDictionaries(HWND combo, const wchar_t* pattern, std::u16string_view current)
{
    WIN32_FIND_DATAW found{};
    const UniqueFind find(FindFirstFileW(pattern, &found));
    if (!find) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::u16string_view name = dictionaryNameOf(found.cFileName);
        if (name.empty()) continue;
        const std::wstring item(name.begin(), name.end());
        // CB_FINDSTRINGEXACT ignores case, as the file system does.
        if (SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str())) !=
            CB_ERR)
            continue;
        const LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (index < 0) continue;
        if (equalNoCase(name, current)) SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    } while (FindNextFileW(find.get(), &found));
}

void listDictionaries(HWND page, const OptionsContext& context)
{
    HWND combo = GetDlgItem(page, IDC_LIBRARY_DICTIONARIES);
    const std::u16string_view current = storedDictionaryName(context.Settings);
    // The folders the loader looks in, in its order: the user's own dic
    // first, then the program's.
    for (const std::filesystem::path& folder : context.place.dictionaryFolders) {
        const std::wstring pattern = folder.native() + L"\\*.txt";
        // A folder too long for the pattern lists nothing rather than
        // searching a cut path.
        if (pattern.size() < MAX_PATH) addDictionaries(combo, pattern.c_str(), current);
    }
}

void selectCurrentDictionary(HWND combo, const SettingsRecord& Settings)
{
    const std::u16string_view current = storedDictionaryName(Settings);
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0 || static_cast<std::size_t>(length) > kNameLimit) continue;
        wchar_t item[kDictionaryNameUnits] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        if (equalNoCase(as_u16cstr(item), current)) {
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return;
        }
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

// What the dictionary box reports. Browsing the closed box with the arrow
// keys only shows another name; the list is loaded when the choice is
// made: the open list closes on a name (Enter, a click), or the box loses
// the keyboard (Tab, a click elsewhere), or the sheet's OK is pressed.
// The phonetic column shows symbols such as ˈ, ə and ʊ, which the
// dialog's font (宋体 on a Chinese system) lacks. The list takes the first of
// these faces that has them, at the list's own size: the word window's face
// (which the user chose to read words in), then faces Windows ships with
// them. Chinese in the other columns comes from font linking as before.
bool hasPhoneticSymbols(HDC dc, HFONT font)
{
    SelectedObject selected(dc, font);
    WORD glyphs[3] = {};
    return GetGlyphIndicesW(dc, L"\u02C8\u0259\u028A", 3, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == 3 &&
           glyphs[0] != 0xFFFF && glyphs[1] != 0xFFFF && glyphs[2] != 0xFFFF;
}

UniqueFont phoneticListFont(HWND view, const FontRecord& wordFont)
{
    LOGFONTW list{};
    // The page's font, at the scale Windows made it for the page's monitor.
    const auto current = reinterpret_cast<HFONT>(SendMessageW(GetParent(view), WM_GETFONT, 0, 0));
    if (GetObjectW(current != nullptr ? static_cast<HGDIOBJ>(current) : GetStockObject(DEFAULT_GUI_FONT), sizeof list,
                   &list) == 0)
        return {};
    WindowDC dc(view);
    if (dc.get() == nullptr) return {};
    if (current != nullptr && hasPhoneticSymbols(dc.get(), current)) return {};
    wchar_t wordFace[LF_FACESIZE] = {};
    for (int i = 0; i < LF_FACESIZE - 1 && wordFont.lfFaceName[i] != u'\0'; ++i)
        wordFace[i] = static_cast<wchar_t>(wordFont.lfFaceName[i]);
    const wchar_t* const faces[] = {wordFace, L"Segoe UI", L"Lucida Sans Unicode", L"Arial Unicode MS", L"Arial"};
    for (const wchar_t* face : faces) {
        if (face[0] == L'\0') continue;
        lstrcpynW(list.lfFaceName, face, LF_FACESIZE);
        UniqueFont candidate(CreateFontIndirectW(&list));
        if (candidate && hasPhoneticSymbols(dc.get(), candidate.get())) return candidate;
    }
    return {};
}

struct Column {
    const wchar_t* header;
    int width;
};
// Widths in pixels at 96 DPI, grown with the view's DPI like its font.
constexpr Column kColumns[] = {{L"序号", 40}, {L"单词", 100}, {L"音标", 100}, {L"内容", 160}};

// The phonetic font (kept in `listFont`), the columns' widths and the rows'
// height for the DPI of the view's monitor.
void scaleRememberedView(HWND view, const OptionsContext& context, UniqueFont& listFont)
{
    UniqueFont made = phoneticListFont(view, context.Settings.font);
    // The old font goes only once the view has the new one.
    const HFONT font = made ? made.get() : reinterpret_cast<HFONT>(SendMessageW(GetParent(view), WM_GETFONT, 0, 0));
    SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    listFont = std::move(made);

    const UINT dpi = context.dpis.ofWindow(view);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        SendMessageW(view, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), scaleToDpi(kColumns[i].width, dpi));
    // Gives the rows their height: 16 pixels at 96 DPI. The view owns and
    // frees the one it has (no LVS_SHAREIMAGELISTS); one it gives back for
    // a new one is ours.
    const CommonControlsApi* api = commonControls();
    if (api == nullptr) return;
    HIMAGELIST rowHeight = api->imageListCreate(1, scaleToDpi(16, dpi), ILC_COLOR32, 1, 1);
    const auto previous = reinterpret_cast<HIMAGELIST>(
        SendMessageW(view, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(rowHeight)));
    if (previous != nullptr) api->imageListDestroy(previous);
    InvalidateRect(view, nullptr, TRUE);
}

void setUpRememberedView(HWND view, const OptionsContext& context, UniqueFont& listFont)
{
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = const_cast<wchar_t*>(kColumns[i].header);
        SendMessageW(view, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    scaleRememberedView(view, context, listFont);
}

void supplyRowText(const RememberedRows& rows, NMLVDISPINFOW& info)
{
    LVITEMW& item = info.item;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows.size()) return;
    const auto row = static_cast<std::size_t>(item.iItem);
    if ((item.mask & LVIF_IMAGE) != 0) item.iImage = 0;
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
    if (item.iSubItem == 0) {
        wchar_t number[16];
        wsprintfW(number, L"%d", static_cast<int>(rows.number(row)));
        lstrcpynW(item.pszText, number, item.cchTextMax);
    } else if (item.iSubItem <= 3) {
        // The view reads it straight away; the copy outlives the page's rows.
        item.pszText = const_cast<wchar_t*>(as_wcstr(rows.text(row, item.iSubItem)));
    }
}

// The row the keyboard works on: the focused one when it is selected, else
// the first selected one; -1 without a selection.
int keyboardRow(HWND view)
{
    const auto focused = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused >= 0 && SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(focused), LVIS_SELECTED) != 0)
        return focused;
    return static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

class LibraryPage : public SheetPage {
public:
    using SheetPage::SheetPage;

    // runRememberedCommand on this page's view.
    void runCommand(int row, UINT command);

private:
    void fill() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void destroyed() override { context().reload.stopListening(this); }
    void dpiChanged() override { scaleRememberedView(view_, context(), listFont_); }

    HWND dictionaries() const { return item(IDC_LIBRARY_DICTIONARIES); }
    void onDictionaryBox(UINT code);
    void onDictionaryPicked();
    // Loads dictionary `name` in place of the one in use.
    void switchTo(const wchar_t* name);
    void onImport();
    void reloadEnded();
    INT_PTR onNotify(const NMHDR& header);
    void openMenu(int row, POINT at);
    void keyboardContextMenu();
    // The remembered words, as they are at this moment.
    void showRemembered();

    HWND view_ = nullptr;
    RememberedRows rows_;
    // The list's font, when the dialog's has no phonetic symbols.
    UniqueFont listFont_;
    // The keyboard went from the dictionary box to the list while the box
    // is disabled for a reload; it comes back if it is still there.
    bool keyboardLent_ = false;
};

LibraryPage* libraryPageOf(HWND page)
{
    return dynamic_cast<LibraryPage*>(sheetPageOf(page));
}

void LibraryPage::fill()
{
    OptionsContext& context = this->context();
    // A reload still running from an earlier opening ends on this page too.
    context.reload.listen(this, [this] { reloadEnded(); });
    listDictionaries(window(), context);
    if (context.reload.running()) EnableWindow(dictionaries(), FALSE);
    view_ = item(IDC_LIBRARY_REMEMBERED_VIEW);
    setUpRememberedView(view_, context, listFont_);
    showRemembered();
}

void LibraryPage::showRemembered()
{
    // The texts of the owner-data view come from the page's copy.
    try {
        rows_.fill(context().wordStore);
        SendMessageW(view_, LVM_SETITEMCOUNT, rows_.size(), 0);
    } catch (const std::bad_alloc&) {
        SendMessageW(view_, LVM_SETITEMCOUNT, 0, 0);
    }
    InvalidateRect(view_, nullptr, TRUE);
}

INT_PTR LibraryPage::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_LIBRARY_DICTIONARIES) onDictionaryBox(HIWORD(wParam));
        if (LOWORD(wParam) == IDC_LIBRARY_IMPORT && HIWORD(wParam) == BN_CLICKED) onImport();
        break;
    case WM_CONTEXTMENU:
        // From the keyboard only (the position is -1, -1): a right click has
        // opened the menu at the pointer already.
        if (lParam == -1 && reinterpret_cast<HWND>(wParam) == view_) keyboardContextMenu();
        break;
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case PSM_QUERYSIBLINGS:
        if (wParam != kProgressChangedQuery) break;
        // Another PC's progress was merged: the remembered words changed.
        showRemembered();
        SetWindowLongPtrW(window(), DWLP_MSGRESULT, 0);
        return TRUE;
    default:
        break;
    }
    return FALSE;
}

// What the dictionary box reports. Browsing the closed box with the arrow
// keys only shows another name; the list is loaded when the choice is
// made: the open list closes on a name (Enter, a click), or the box loses
// the keyboard (Tab, a click elsewhere), or the sheet's OK is pressed.
// (A click in the open list changes the selection, CBN_SELCHANGE, and
// closes it; the close-up loads. Without an open list it was an arrow key.)
void LibraryPage::onDictionaryBox(UINT code)
{
    if (code == CBN_CLOSEUP || code == CBN_KILLFOCUS) onDictionaryPicked();
}

void LibraryPage::onDictionaryPicked()
{
    HWND combo = dictionaries();
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index < 0) return;
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0 || static_cast<std::size_t>(length) > kNameLimit) return;
    wchar_t name[kDictionaryNameUnits] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name));
    switchTo(name);
}

void LibraryPage::switchTo(const wchar_t* name)
{
    OptionsContext& context = this->context();
    SettingsRecord& Settings = context.Settings;
    HWND combo = dictionaries();
    // The box is disabled while a reload runs; a pick that still arrives
    // is refused and the box shows the name in use again.
    if (context.reload.running()) {
        selectCurrentDictionary(combo, Settings);
        return;
    }
    // Leaving the box on the list in use loads nothing.
    if (equalNoCase(as_u16cstr(name), storedDictionaryName(Settings))) return;
    copyBounded(Settings.dictionaryName, as_u16cstr(name));
    std::u16string picked;
    try {
        picked.assign(storedDictionaryName(Settings));
    } catch (const std::bad_alloc&) {
        return;
    }
    // A disabled control loses the keyboard to nowhere: it goes to the list
    // below first, and comes back when the reload has ended.
    const bool hadFocus = GetFocus() == combo;
    if (hadFocus) SendMessageW(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(view_), TRUE);
    EnableWindow(combo, FALSE);
    keyboardLent_ = hadFocus;
    // Without a thread nothing runs, so there is nothing to wait for.
    if (!context.reload.start(std::move(picked))) {
        keyboardLent_ = false;
        EnableWindow(combo, TRUE);
        if (hadFocus) SendMessageW(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
    }
}

// 导入…: a file the user picks becomes a list in the dic folder, named after
// the file; then the user is asked whether to learn from it now.
void LibraryPage::onImport()
{
    OptionsContext& context = this->context();
    std::vector<wchar_t> file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = GetParent(window());
    dialog.lpstrFilter = L"生词本 (*.xml;*.csv;*.txt;*.tsv)\0*.xml;*.csv;*.txt;*.tsv\0所有文件 (*.*)\0*.*\0";
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = L"选择要导入的生词本";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (context.getOpenFileName(&dialog) == FALSE) return;
    // The dialog ran a message loop of its own, in which the page may have
    // gone.
    HWND page = window();
    const std::filesystem::path source(file.data());
    const std::vector<std::filesystem::path>& folders = context.place.dictionaryFolders;
    const auto taken = [&](std::u16string_view name) {
        std::filesystem::path fileName;
        if (!makeFileName(name, kDictionaryExtension, fileName)) return true;
        std::error_code error;
        for (const std::filesystem::path& folder : folders) {
            if (std::filesystem::exists(folder / fileName, error) || error) return true;
        }
        return false;
    };
    ImportResult result;
    std::u16string name;
    try {
        name = importedListName(source, kNameLimit, taken);
        if (name.empty())
            result.refusal = ImportRefusal::notWritten;
        else
            // The file is read, shown as it will be taken and written in
            // the preview, which runs the steps on a worker.
            result =
                runImportPreview(context.instance, GetParent(page),
                                 {source, context.place.dic, name, folders, systemCodePageText,
                                  [font = context.Settings.font](HWND view) { return phoneticListFont(view, font); }});
    } catch (const std::bad_alloc&) {
        result = ImportResult{};
        result.refusal = ImportRefusal::tooLarge;
    }
    if (result.refusal == ImportRefusal::cancelled) return;
    const std::u16string message = importMessage(result);
    if (result.refusal != ImportRefusal::none) {
        MessageBoxW(page, as_wcstr(message.c_str()), L"导入生词本", MB_OK | MB_ICONWARNING);
        return;
    }
    if (!IsWindow(page)) return;
    HWND combo = dictionaries();
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    listDictionaries(page, context);
    const std::u16string question = message + u"，已存为词库“" + name + u"”。\r\n\r\n现在就换成这个词库吗？";
    if (MessageBoxW(page, as_wcstr(question.c_str()), L"导入生词本", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    // The question ran a message loop too.
    LibraryPage* self = IsWindow(page) ? libraryPageOf(page) : nullptr;
    if (self == nullptr) return;
    const std::wstring picked(name.begin(), name.end());
    const LRESULT index =
        SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(picked.c_str()));
    if (index >= 0) SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    self->switchTo(picked.c_str());
}

// The reload this page (or an earlier opening) started has ended: the box
// takes picks again, and the keyboard goes back to it unless the user has
// taken it elsewhere meanwhile.
void LibraryPage::reloadEnded()
{
    HWND combo = dictionaries();
    EnableWindow(combo, TRUE);
    const bool lent = std::exchange(keyboardLent_, false);
    if (lent && GetFocus() == view_) SendMessageW(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
}

INT_PTR LibraryPage::onNotify(const NMHDR& header)
{
    if (header.hwndFrom != view_) return FALSE;
    if (header.code == LVN_GETDISPINFOW) {
        supplyRowText(rows_, *reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
    } else if (header.code == NM_RCLICK) {
        // Anywhere on a row (the leftmost pixel column included) the menu
        // opens at the pointer; a click below the last row opens none.
        POINT at{};
        GetCursorPos(&at);
        openMenu(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem, at);
    } else if (header.code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
        runCommand(keyboardRow(view_), IDM_REMEMBERED_DELETE);
    }
    return FALSE;
}

// Opens the remembered-words menu for row `row` at `at` (screen) and
// carries out the choice.
void LibraryPage::openMenu(int row, POINT at)
{
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
    const UniqueMenu menu(LoadMenuW(context().instance, MAKEINTRESOURCEW(IDR_REMEMBERED_MENU)));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu.get(), 0);
    const UINT command = static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD, at.x, at.y, 0, view_, nullptr));
    runRememberedCommand(view_, row, command);
}

// Shift+F10 or the menu key: the same menu, under the row it is for.
void LibraryPage::keyboardContextMenu()
{
    const int row = keyboardRow(view_);
    if (row < 0) return;
    SendMessageW(view_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    SendMessageW(view_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    POINT at{bounds.left + 20, bounds.bottom};
    ClientToScreen(view_, &at);
    openMenu(row, at);
}

void LibraryPage::runCommand(int row, UINT command)
{
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
    if (command != IDM_REMEMBERED_FORGET && command != IDM_REMEMBERED_DELETE) return;
    HWND view = view_;
    // The command is for every selected row when the row it was opened on is
    // one of them (a click on a row outside the selection selects that row
    // alone), the same from the mouse and from the keyboard.
    std::vector<int> targets;
    if (SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0) {
        for (int i = -1;
             (i = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0;)
            if (static_cast<std::size_t>(i) < rows_.size()) targets.push_back(i);
    }
    if (targets.empty()) targets.push_back(row);
    std::vector<WordEntry> entries;
    for (int target : targets) entries.push_back(rows_.entry(static_cast<std::size_t>(target)));

    WordGet& wordStore = context().wordStore;
    LibraryPage* page = this;
    if (command == IDM_REMEMBERED_DELETE) {
        // One question for all of them.
        if (MessageBoxW(view, L"确定执行删除操作吗？", L"提示", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        // The question ran a message loop of its own, in which the page may
        // have gone: look it up again.
        page = IsWindow(view) ? libraryPageOf(GetParent(view)) : nullptr;
        if (page == nullptr) return;
        for (const WordEntry& entry : entries) wordStore.deleteRemembered(entry.word);
    } else {
        for (const WordEntry& entry : entries) wordStore.setRemembered(entry, false);
    }
    // From the bottom up, so that the rows still to go keep their places.
    for (auto target = targets.rbegin(); target != targets.rend(); ++target) {
        if (static_cast<std::size_t>(*target) >= page->rows_.size()) continue;
        page->rows_.erase(static_cast<std::size_t>(*target));
        SendMessageW(view, LVM_DELETEITEM, static_cast<WPARAM>(*target), 0);
    }
}

}  // namespace

std::unique_ptr<SheetPage> makeLibraryPage(OptionsContext& context)
{
    return std::make_unique<LibraryPage>(context);
}

void runRememberedCommand(HWND view, int row, UINT command)
{
    if (LibraryPage* page = libraryPageOf(GetParent(view))) page->runCommand(row, command);
}
