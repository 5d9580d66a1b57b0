// The hotkey page of the options sheet: one hotkey field (comctl32's
// hotkey control) a command, an empty field for none, and beside each
// field what is to be known about its combination. The page edits a copy;
// OK puts it in place, and the program saves it and registers it again.
// While the page is in front the program's own hotkeys are let go, so a
// combination pressed in a field reaches the field.
#include <windows.h>

#include <commctrl.h>

#include <iterator>
#include <new>
#include <string>

#include "res/resource.h"
#include "settings/Hotkeys.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "win/Hotkeys.h"

namespace {

struct HotkeyField {
    HotkeyCommand command;
    int field;
    int status;
    const wchar_t* name;  // as the menu names it
};

constexpr HotkeyField kFields[] = {
    {HotkeyCommand::next, IDC_HOTKEYS_NEXT, IDC_HOTKEYS_NEXT_STATUS, L"下一个"},
    {HotkeyCommand::previous, IDC_HOTKEYS_PREVIOUS, IDC_HOTKEYS_PREVIOUS_STATUS, L"上一个"},
    {HotkeyCommand::remembered, IDC_HOTKEYS_REMEMBERED, IDC_HOTKEYS_REMEMBERED_STATUS, L"已记住"},
    {HotkeyCommand::pause, IDC_HOTKEYS_PAUSE, IDC_HOTKEYS_PAUSE_STATUS, L"暂停"},
    {HotkeyCommand::speak, IDC_HOTKEYS_SPEAK, IDC_HOTKEYS_SPEAK_STATUS, L"朗读"},
    {HotkeyCommand::showHide, IDC_HOTKEYS_SHOW_HIDE, IDC_HOTKEYS_SHOW_HIDE_STATUS, L"隐藏/显示单词"},
    {HotkeyCommand::options, IDC_HOTKEYS_OPTIONS, IDC_HOTKEYS_OPTIONS_STATUS, L"选项"},
};
static_assert(std::size(kFields) == kHotkeyCommandCount);

constexpr wchar_t kHeldElsewhere[] = L"已被其他程序占用";

struct HotkeysPageState {
    OptionsSheet* sheet = nullptr;
    HotkeySettings edited;
    // What each field showed when last looked at, in the control's form.
    WORD shown[kHotkeyCommandCount] = {};
};

HotkeysPageState* stateOf(HWND page)
{
    return reinterpret_cast<HotkeysPageState*>(GetWindowLongPtrW(page, DWLP_USER));
}

Hotkeys* registrations(const HotkeysPageState& state)
{
    return state.sheet != nullptr ? state.sheet->context().hotkeys : nullptr;
}

// The keys the hotkey control tells apart from their number-pad twins only
// by HOTKEYF_EXT: without it Home would show as "Num 7".
bool isExtendedKey(std::uint32_t key)
{
    return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE || key == VK_DIVIDE;
}

// The control's form: the key in the low byte, HOTKEYF_* in the high one.
// It has no flag for the Windows key.
WORD toControl(Hotkey hotkey)
{
    if (hotkey.none() || hotkey.key > 0xFF) return 0;
    BYTE flags = 0;
    if (hotkey.modifiers & kHotkeyShift) flags |= HOTKEYF_SHIFT;
    if (hotkey.modifiers & kHotkeyCtrl) flags |= HOTKEYF_CONTROL;
    if (hotkey.modifiers & kHotkeyAlt) flags |= HOTKEYF_ALT;
    if (isExtendedKey(hotkey.key)) flags |= HOTKEYF_EXT;
    return MAKEWORD(static_cast<BYTE>(hotkey.key), flags);
}

Hotkey fromControl(WORD value)
{
    const BYTE key = LOBYTE(value);
    const BYTE flags = HIBYTE(value);
    if (key == 0) return {};
    Hotkey hotkey{0, key};
    if (flags & HOTKEYF_SHIFT) hotkey.modifiers |= kHotkeyShift;
    if (flags & HOTKEYF_CONTROL) hotkey.modifiers |= kHotkeyCtrl;
    if (flags & HOTKEYF_ALT) hotkey.modifiers |= kHotkeyAlt;
    return hotkey;
}

std::wstring wide(const std::u16string& text)
{
    return std::wstring(text.begin(), text.end());
}

// What is to be known about field `i`'s combination, from the facts of this
// moment: a value of the file that could not be read, the same combination
// in a field above, one another program holds, or one with the Windows key
// (which the field cannot show).
std::wstring statusOf(const HotkeysPageState& state, int i)
{
    const HotkeyCommand command = kFields[i].command;
    if (!state.edited.unreadable[i].empty()) return L"无法识别：" + wide(state.edited.unreadable[i]);
    const Hotkey hotkey = state.edited[command];
    if (hotkey.none()) return {};
    for (int j = 0; j < i; ++j)
        if (state.edited.keys[j] == hotkey) return std::wstring(L"与“") + kFields[j].name + L"”相同";
    const Hotkeys* hotkeys = registrations(state);
    if (hotkeys != nullptr && hotkeys->heldByAnotherProgram(hotkey)) return kHeldElsewhere;
    if (hotkey.modifiers & kHotkeyWin) return wide(formatHotkey(hotkey));
    return {};
}

void showStatuses(HWND page, const HotkeysPageState& state)
{
    for (int i = 0; i < kHotkeyCommandCount; ++i) SetDlgItemTextW(page, kFields[i].status, statusOf(state, i).c_str());
}

// Field `i` may have changed: taken into the copy, and every status told
// again (a change can end or make a sameness with another field).
void onFieldChanged(HWND page, HotkeysPageState& state, int i)
{
    const WORD value = static_cast<WORD>(SendDlgItemMessageW(page, kFields[i].field, HKM_GETHOTKEY, 0, 0));
    if (value == state.shown[i]) return;
    state.shown[i] = value;
    state.edited.set(kFields[i].command, fromControl(value));
    showStatuses(page, state);
}

// The control clears itself on Backspace, Delete and Space without telling
// its parent; every key it handles is followed by a look at its value.
LRESULT CALLBACK fieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(field, GWLP_USERDATA));
    const LRESULT result = CallWindowProcW(original, field, message, wParam, lParam);
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP ||
        message == WM_CHAR) {
        HWND page = GetParent(field);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(field), EN_CHANGE), reinterpret_cast<LPARAM>(field));
    }
    if (message == WM_NCDESTROY) SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    return result;
}

void onInitDialog(HWND page, LPARAM initParam)
{
    auto* state = new (std::nothrow) HotkeysPageState;
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    if (state == nullptr) return;
    state->sheet = sheetOfNewPage(page, initParam);
    const HotkeySettings* settings = state->sheet != nullptr ? state->sheet->context().hotkeySettings : nullptr;
    state->edited = settings != nullptr ? *settings : HotkeySettings{};
    for (int i = 0; i < kHotkeyCommandCount; ++i) {
        HWND field = GetDlgItem(page, kFields[i].field);
        // A key alone, or with Shift alone, would be taken from every
        // program the user types in: Ctrl+Alt is added to it.
        SendMessageW(field, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
        state->shown[i] = toControl(state->edited.keys[i]);
        SendMessageW(field, HKM_SETHOTKEY, state->shown[i], 0);
        const LONG_PTR original = SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fieldProc));
        SetWindowLongPtrW(field, GWLP_USERDATA, original);
    }
}

void onDestroy(HWND page)
{
    HotkeysPageState* state = stateOf(page);
    SetWindowLongPtrW(page, DWLP_USER, 0);
    if (state == nullptr) return;
    if (Hotkeys* hotkeys = registrations(*state)) hotkeys->setEditing(false);
    delete state;
}

void onCommand(HWND page, int id, int code)
{
    HotkeysPageState* state = stateOf(page);
    if (state == nullptr || code != EN_CHANGE) return;
    for (int i = 0; i < kHotkeyCommandCount; ++i)
        if (kFields[i].field == id) onFieldChanged(page, *state, i);
}

INT_PTR onNotify(HWND page, const NMHDR& header)
{
    HotkeysPageState* state = stateOf(page);
    OptionsSheet* sheet = state != nullptr ? state->sheet : nullptr;
    Hotkeys* hotkeys = state != nullptr ? registrations(*state) : nullptr;
    switch (header.code) {
    case PSN_SETACTIVE:
        if (hotkeys != nullptr) hotkeys->setEditing(true);
        if (state != nullptr) showStatuses(page, *state);
        break;
    case PSN_KILLACTIVE:
        if (hotkeys != nullptr) hotkeys->setEditing(false);
        SetWindowLongPtrW(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    case PSN_APPLY:
        if (sheet != nullptr && sheet->context().hotkeySettings != nullptr)
            *sheet->context().hotkeySettings = state->edited;
        break;
    default:
        break;
    }
    return onSheetNotify(sheet, page, header) ? TRUE : FALSE;
}

}  // namespace

INT_PTR CALLBACK hotkeysPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(page, lParam);
        return FALSE;
    case WM_COMMAND:
        onCommand(page, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        return onNotify(page, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_DESTROY:
        onDestroy(page);
        return FALSE;
    default:
        return FALSE;
    }
}
