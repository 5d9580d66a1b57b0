// The word-library page of the options sheet: the dictionary to learn from,
// reloaded on a worker thread when another is picked, and the remembered
// words, which can be sent back to learning or deleted.
#include "ui/LibraryPage.h"

#include <commctrl.h>

#include <cstdint>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "res/resource.h"
#include "store/Text.h"
#include "store/Wide.h"
#include "store/WordGet.h"
#include "ui/CommonControls.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "ui/word/WordWindow.h"
#include "win/Dpi.h"
#include "win/Handles.h"
#include "win/Messages.h"

namespace {

constexpr std::u16string_view kDictionaryExtension = u".txt";
constexpr wchar_t kDictionaryPattern[] = L"dic\\*.txt";
constexpr std::size_t kNameLimit = kDictionaryNameUnits - 1;  // what dictionaryName holds

// The start-up load swaps its lists in when it ends; a reload that ended
// before it would be undone by it, so a reload waits for it this long.
constexpr DWORD kWordLoadWaitMs = 10000;

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

struct LibraryPageState {
    OptionsSheet& sheet;
    OptionsContext& context;
    HWND view = nullptr;
    RememberedRows rows;
    // The list's font, when the dialog's has no phonetic symbols.
    UniqueFont listFont;
};

LibraryPageState* stateOf(HWND page)
{
    return reinterpret_cast<LibraryPageState*>(GetWindowLongPtrW(page, DWLP_USER));
}

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
    for (const std::wstring& folder : context.dictionaryFolders) {
        const std::wstring pattern = folder + L"\\*.txt";
        // A folder too long for the pattern lists nothing rather than
        // searching a cut path.
        if (pattern.size() < MAX_PATH) addDictionaries(combo, pattern.c_str(), current);
    }
    if (!context.dictionaryFolders.empty()) return;
    const ProgramDir& programDir = context.programDir;
    const std::size_t directoryUnits = boundedLength(programDir, kPathUnits);
    if (directoryUnits == 0 || directoryUnits + std::size(kDictionaryPattern) > MAX_PATH) return;
    wchar_t pattern[MAX_PATH] = {};
    for (std::size_t i = 0; i < directoryUnits; ++i) pattern[i] = static_cast<wchar_t>(programDir[i]);
    for (std::size_t i = 0; i < std::size(kDictionaryPattern); ++i) pattern[directoryUnits + i] = kDictionaryPattern[i];
    addDictionaries(combo, pattern, current);
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

void onDictionaryPicked(HWND page)
{
    LibraryPageState* state = stateOf(page);
    if (state == nullptr) return;
    OptionsContext& context = state->context;
    SettingsRecord& Settings = context.Settings;
    HWND combo = GetDlgItem(page, IDC_LIBRARY_DICTIONARIES);
    // The box is disabled while a reload runs; a pick that still arrives
    // is refused and the box shows the name in use again.
    if (context.reload.running()) {
        selectCurrentDictionary(combo, Settings);
        return;
    }
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index < 0) return;
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0 || static_cast<std::size_t>(length) > kNameLimit) return;
    wchar_t name[kDictionaryNameUnits] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name));
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
    if (hadFocus) SendMessageW(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(state->view), TRUE);
    EnableWindow(combo, FALSE);
    // Without a thread nothing runs, so there is nothing to wait for.
    if (!context.reload.start(std::move(picked), hadFocus ? state->view : nullptr)) {
        EnableWindow(combo, TRUE);
        if (hadFocus) SendMessageW(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
    }
}

// What the dictionary box reports. Browsing the closed box with the arrow
// keys only shows another name; the list is loaded when the choice is
// made: the open list closes on a name (Enter, a click), or the box loses
// the keyboard (Tab, a click elsewhere), or the sheet's OK is pressed.
void onDictionaryBox(HWND page, UINT code)
{
    switch (code) {
    case CBN_CLOSEUP:
    case CBN_KILLFOCUS:
        onDictionaryPicked(page);
        break;
    case CBN_SELCHANGE:
        // A click in the open list changes the selection and closes it;
        // the close-up loads. Without an open list it was an arrow key.
        break;
    default:
        break;
    }
}

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

// The phonetic font, the columns' widths and the rows' height for the DPI
// of the view's monitor.
void scaleRememberedView(LibraryPageState& state)
{
    HWND view = state.view;
    UniqueFont listFont = phoneticListFont(view, state.context.Settings.font);
    // The old font goes only once the view has the new one.
    const HFONT font =
        listFont ? listFont.get() : reinterpret_cast<HFONT>(SendMessageW(GetParent(view), WM_GETFONT, 0, 0));
    SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    state.listFont = std::move(listFont);

    const UINT dpi = state.context.dpis.ofWindow(view);
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

void setUpRememberedView(LibraryPageState& state)
{
    HWND view = state.view;
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = const_cast<wchar_t*>(kColumns[i].header);
        SendMessageW(view, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    scaleRememberedView(state);
}

// The texts of the owner-data view come from the page's copy.
void fillRememberedView(LibraryPageState& state)
{
    state.rows.fill(state.context.wordStore);
    SendMessageW(state.view, LVM_SETITEMCOUNT, state.rows.size(), 0);
}

void supplyRowText(const LibraryPageState& state, NMLVDISPINFOW& info)
{
    LVITEMW& item = info.item;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= state.rows.size()) return;
    const auto row = static_cast<std::size_t>(item.iItem);
    if ((item.mask & LVIF_IMAGE) != 0) item.iImage = 0;
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
    if (item.iSubItem == 0) {
        wchar_t number[16];
        wsprintfW(number, L"%d", static_cast<int>(state.rows.number(row)));
        lstrcpynW(item.pszText, number, item.cchTextMax);
    } else if (item.iSubItem <= 3) {
        // The view reads it straight away; the copy outlives the page's rows.
        item.pszText = const_cast<wchar_t*>(as_wcstr(state.rows.text(row, item.iSubItem)));
    }
}

// Opens the remembered-words menu for row `row` at `at` (screen) and
// carries out the choice.
void rememberedMenu(HWND view, int row, POINT at)
{
    const LibraryPageState* state = stateOf(GetParent(view));
    if (state == nullptr || row < 0 || static_cast<std::size_t>(row) >= state->rows.size()) return;
    const UniqueMenu menu(LoadMenuW(state->context.instance, MAKEINTRESOURCEW(IDR_REMEMBERED_MENU)));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu.get(), 0);
    const UINT command = static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD, at.x, at.y, 0, view, nullptr));
    runRememberedCommand(view, row, command);
}

// NM_RCLICK anywhere on a row (the leftmost pixel column included) opens
// the menu at the pointer; a click below the last row does not.
void rememberedContextMenu(HWND view, const NMITEMACTIVATE& click)
{
    POINT at{};
    GetCursorPos(&at);
    rememberedMenu(view, click.iItem, at);
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

// Shift+F10 or the menu key: the same menu, under the row it is for.
void keyboardContextMenu(HWND view)
{
    const int row = keyboardRow(view);
    if (row < 0) return;
    SendMessageW(view, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    SendMessageW(view, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    POINT at{bounds.left + 20, bounds.bottom};
    ClientToScreen(view, &at);
    rememberedMenu(view, row, at);
}

INT_PTR onNotify(HWND page, const NMHDR& header)
{
    LibraryPageState* state = stateOf(page);
    if (state == nullptr) return FALSE;
    if (onSheetNotify(&state->sheet, page, header)) return TRUE;
    if (header.hwndFrom != state->view) return FALSE;
    if (header.code == LVN_GETDISPINFOW)
        supplyRowText(*state, *reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
    else if (header.code == NM_RCLICK)
        rememberedContextMenu(state->view, reinterpret_cast<const NMITEMACTIVATE&>(header));
    else if (header.code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE)
        runRememberedCommand(state->view, keyboardRow(state->view), IDM_REMEMBERED_DELETE);
    return FALSE;
}

void onInitDialog(HWND page, LPARAM initParam)
{
    OptionsSheet* sheet = sheetOfNewPage(page, initParam);
    if (sheet == nullptr) return;
    OptionsContext& context = sheet->context();
    auto* state = new (std::nothrow) LibraryPageState{*sheet, context, nullptr, {}, {}};
    // Out of memory: an empty page, which can change nothing.
    if (state == nullptr) return;
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    context.reload.pageOpened(page);
    listDictionaries(page, context);
    // Opened again while the reload of an earlier opening still runs.
    if (context.reload.running()) EnableWindow(GetDlgItem(page, IDC_LIBRARY_DICTIONARIES), FALSE);
    state->view = GetDlgItem(page, IDC_LIBRARY_REMEMBERED_VIEW);
    setUpRememberedView(*state);
    try {
        fillRememberedView(*state);
    } catch (const std::bad_alloc&) {
        SendMessageW(state->view, LVM_SETITEMCOUNT, 0, 0);
    }
}

void onNcDestroy(HWND page)
{
    LibraryPageState* state = stateOf(page);
    if (state != nullptr) state->context.reload.pageClosed(page);
    delete state;
    SetWindowLongPtrW(page, DWLP_USER, 0);
}

}  // namespace

INT_PTR CALLBACK libraryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(page, lParam);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_LIBRARY_DICTIONARIES) onDictionaryBox(page, HIWORD(wParam));
        break;
    case WM_CONTEXTMENU:
        // From the keyboard only (the position is -1, -1): a right click has
        // opened the menu at the pointer already.
        if (lParam == -1 && reinterpret_cast<HWND>(wParam) == GetDlgItem(page, IDC_LIBRARY_REMEMBERED_VIEW))
            keyboardContextMenu(reinterpret_cast<HWND>(wParam));
        break;
    case WM_NOTIFY:
        return onNotify(page, *reinterpret_cast<const NMHDR*>(lParam));
    case kDpiChangedAfterParent:
        // Windows has scaled the page and sent every control the page's
        // font: the list's own font and sizes go back in at the new scale.
        if (LibraryPageState* state = stateOf(page)) scaleRememberedView(*state);
        refitPage(page);
        break;
    case WM_NCDESTROY:
        onNcDestroy(page);
        break;
    default:
        break;
    }
    return FALSE;
}

void runRememberedCommand(HWND view, int row, UINT command)
{
    LibraryPageState* state = stateOf(GetParent(view));
    if (state == nullptr || row < 0 || static_cast<std::size_t>(row) >= state->rows.size()) return;
    if (command != IDM_REMEMBERED_FORGET && command != IDM_REMEMBERED_DELETE) return;
    // The command is for every selected row when the row it was opened on is
    // one of them (a click on a row outside the selection selects that row
    // alone), the same from the mouse and from the keyboard.
    std::vector<int> targets;
    if (SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0) {
        for (int i = -1;
             (i = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0;)
            if (static_cast<std::size_t>(i) < state->rows.size()) targets.push_back(i);
    }
    if (targets.empty()) targets.push_back(row);
    std::vector<WordEntry> entries;
    for (int target : targets) entries.push_back(state->rows.entry(static_cast<std::size_t>(target)));

    WordGet& wordStore = state->context.wordStore;
    if (command == IDM_REMEMBERED_DELETE) {
        // One question for all of them.
        if (MessageBoxW(view, L"确定执行删除操作吗？", L"提示", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
        // The question ran a message loop of its own: look the page up again.
        state = IsWindow(view) ? stateOf(GetParent(view)) : nullptr;
        if (state == nullptr) return;
        for (const WordEntry& entry : entries) wordStore.deleteRemembered(entry.word);
    } else {
        for (const WordEntry& entry : entries) wordStore.setRemembered(entry, false);
    }
    // From the bottom up, so that the rows still to go keep their places.
    for (auto target = targets.rbegin(); target != targets.rend(); ++target) {
        if (static_cast<std::size_t>(*target) >= state->rows.size()) continue;
        state->rows.erase(static_cast<std::size_t>(*target));
        SendMessageW(view, LVM_DELETEITEM, static_cast<WPARAM>(*target), 0);
    }
}

bool DictionaryReload::start(std::u16string name, HWND keyboardHeldBy)
{
    if (worker_.running()) return false;
    keyboardHeldBy_ = keyboardHeldBy;
    wordWindow_.waitForWordLoad(kWordLoadWaitMs);
    // Inputs by value; the store is made for use from several threads.
    WordGet* store = &store_;
    return worker_.start(notify_, WM_RELOAD_DONE, [store, name = std::move(name)]() -> LPARAM {
        store->loadDictionary(name);
        return 1;
    });
}

void DictionaryReload::finish(WPARAM run)
{
    // A notice from a reload that shutdown already waited for, followed by
    // a newer reload, must not end the newer one.
    if (!worker_.finished(run)) return;
    // The new list's first entry, laid out at once: painting it into the
    // previous word's extents would cut or misplace it until the next tick.
    wordWindow_.layout();
    const HWND heldBy = keyboardHeldBy_;
    keyboardHeldBy_ = nullptr;
    if (libraryPage_ == nullptr) return;
    HWND combo = GetDlgItem(libraryPage_, IDC_LIBRARY_DICTIONARIES);
    EnableWindow(combo, TRUE);
    // The keyboard goes back to the box, unless the user has taken it
    // elsewhere meanwhile.
    if (heldBy != nullptr && GetFocus() == heldBy)
        SendMessageW(libraryPage_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
}
