// The hotkey page of the options sheet: one hotkey field (comctl32's
// hotkey control) a command, an empty field for none, and beside each
// field what is to be known about its combination. The page edits a copy;
// OK puts it in place, and the program saves it and registers it again.
// While the page is in front the program's own hotkeys are let go, so a
// combination pressed in a field reaches the field.
#include <windows.h>

#include <commctrl.h>

#include <iterator>
#include <memory>
#include <string>

#include "hotkeys/Hotkeys.h"
#include "res/resource.h"
#include "settings/Hotkeys.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "ui/SheetPage.h"

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
    {HotkeyCommand::forgot, IDC_HOTKEYS_FORGOT, IDC_HOTKEYS_FORGOT_STATUS, L"忘了"},
    {HotkeyCommand::reveal, IDC_HOTKEYS_REVEAL, IDC_HOTKEYS_REVEAL_STATUS, L"显示释义"},
    {HotkeyCommand::easy, IDC_HOTKEYS_EASY, IDC_HOTKEYS_EASY_STATUS, L"太简单"},
};
static_assert(std::size(kFields) == kHotkeyCommandCount);

constexpr wchar_t kHeldElsewhere[] = L"已被其他程序占用";

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

// The control clears itself on Backspace, Delete and Space without telling
// its parent; every key it handles is followed by a look at its value.
LRESULT CALLBACK fieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(field, GWLP_USERDATA));
    const LRESULT result = CallWindowProcW(original, field, message, wParam, lParam);
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP ||
        message == WM_CHAR)
        SendMessageW(GetParent(field), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(field), EN_CHANGE),
                     reinterpret_cast<LPARAM>(field));
    return result;
}

class HotkeysPage : public SheetPage {
public:
    using SheetPage::SheetPage;

private:
    void fill() override;
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void apply() override;
    void destroyed() override;

    // While the page is shown (its tab chosen) the program's own hotkeys are
    // let go; hidden or gone, they are taken again.
    void setInFront(bool inFront);
    void onFieldChanged(int i);
    std::wstring statusOf(int i) const;
    void showStatuses();

    HotkeySettings edited_;
    // What each field showed when last looked at, in the control's form.
    WORD shown_[kHotkeyCommandCount] = {};
    bool inFront_ = false;
};

void HotkeysPage::fill()
{
    if (context().hotkeySettings != nullptr) edited_ = *context().hotkeySettings;
    for (int i = 0; i < kHotkeyCommandCount; ++i) {
        HWND field = item(kFields[i].field);
        // A key alone, or with Shift alone, would be taken from every
        // program the user types in: Ctrl+Alt is added to it.
        SendMessageW(field, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S, MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
        shown_[i] = toControl(edited_.keys[i]);
        SendMessageW(field, HKM_SETHOTKEY, shown_[i], 0);
        const LONG_PTR original = SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fieldProc));
        SetWindowLongPtrW(field, GWLP_USERDATA, original);
    }
    showStatuses();
}

INT_PTR HotkeysPage::onMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_SHOWWINDOW:
        setInFront(wParam != FALSE);
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) != EN_CHANGE) return FALSE;
        for (int i = 0; i < kHotkeyCommandCount; ++i)
            if (kFields[i].field == LOWORD(wParam)) onFieldChanged(i);
        return TRUE;
    default:
        return FALSE;
    }
}

void HotkeysPage::apply()
{
    if (context().hotkeySettings != nullptr) *context().hotkeySettings = edited_;
}

void HotkeysPage::destroyed()
{
    setInFront(false);
}

void HotkeysPage::setInFront(bool inFront)
{
    if (inFront == inFront_) return;
    inFront_ = inFront;
    if (context().hotkeys != nullptr) context().hotkeys->setEditing(inFront);
    // Registered or let go, the program's own combinations are free or not
    // for what the statuses ask of the system.
    if (inFront && window() != nullptr) showStatuses();
}

// Field `i` may have changed: taken into the copy, and every status told
// again (a change can end or make a sameness with another field).
void HotkeysPage::onFieldChanged(int i)
{
    const WORD value = static_cast<WORD>(SendMessageW(item(kFields[i].field), HKM_GETHOTKEY, 0, 0));
    if (value == shown_[i]) return;
    shown_[i] = value;
    edited_.set(kFields[i].command, fromControl(value));
    showStatuses();
}

// What is to be known about field `i`'s combination, from the facts of this
// moment: a value of the file that could not be read, the same combination
// in a field above, one another program holds, or one with the Windows key
// (which the field cannot show).
std::wstring HotkeysPage::statusOf(int i) const
{
    if (!edited_.unreadable[i].empty()) return L"无法识别：" + wide(edited_.unreadable[i]);
    const Hotkey hotkey = edited_.keys[i];
    if (hotkey.none()) return {};
    for (int j = 0; j < i; ++j)
        if (edited_.keys[j] == hotkey) return std::wstring(L"与“") + kFields[j].name + L"”相同";
    const Hotkeys* hotkeys = context().hotkeys;
    if (hotkeys != nullptr && hotkeys->heldByAnotherProgram(hotkey)) return kHeldElsewhere;
    if (hotkey.modifiers & kHotkeyWin) return wide(formatHotkey(hotkey));
    return {};
}

void HotkeysPage::showStatuses()
{
    for (int i = 0; i < kHotkeyCommandCount; ++i) SetWindowTextW(item(kFields[i].status), statusOf(i).c_str());
}

}  // namespace

std::unique_ptr<SheetPage> makeHotkeysPage(OptionsContext& context)
{
    return std::make_unique<HotkeysPage>(context);
}
