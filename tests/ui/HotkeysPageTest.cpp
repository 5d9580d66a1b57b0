// The hotkey page on its own, with registrations whose system is a stand-in
// that refuses what "another program" holds: what each field shows, what is
// told beside it as it changes, and what OK hands on.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "WordWindowFixture.h"
#include "res/resource.h"
#include "settings/Hotkeys.h"
#include "ui/OptionsPages.h"
#include "hotkeys/Hotkeys.h"

using namespace uitest;

namespace {

class StandInSystem final : public HotkeySystem {
public:
    bool registerHotkey(HWND, int id, UINT modifiers, UINT key) override
    {
        if (held.count({modifiers & ~kHotkeyNoRepeat, key}) != 0) return false;
        registered.insert(id);
        return true;
    }
    void unregisterHotkey(HWND, int id) override { registered.erase(id); }

    std::set<std::pair<UINT, UINT>> held;
    std::set<int> registered;
};

constexpr UINT kCtrlAlt = kHotkeyCtrl | kHotkeyAlt;

class HotkeysPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_HOTKEY_CLASS};
        InitCommonControlsEx(&controls);
    }

    void SetUp() override
    {
        system_.held.insert({kCtrlAlt, 'J'});
        settings_[HotkeyCommand::next] = {kCtrlAlt, 'N'};
        settings_[HotkeyCommand::pause] = {kCtrlAlt, 'J'};  // held elsewhere
        settings_[HotkeyCommand::options] = {kHotkeyShift | kHotkeyAlt, VK_PRIOR};
        const std::u16string garbled = u"Ctrl+Alt+Wat";
        settings_.read(HotkeyCommand::previous, &garbled);
        host_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 640, 560, nullptr, nullptr, appInstance, nullptr);
        ASSERT_NE(host_, nullptr);
        hotkeys_.setWindow(host_);
        hotkeys_.setSettings(settings_);
        options.hotkeySettings = &settings_;
        options.hotkeys = &hotkeys_;
        page_ = makeOptionsPage(kHotkeysPage, host_);
        ASSERT_NE(page_, nullptr) << GetLastError();
    }

    void TearDown() override
    {
        if (page_ != nullptr) DestroyWindow(page_);
        DestroyWindow(host_);
        options.hotkeySettings = nullptr;
        options.hotkeys = nullptr;
    }

    // The sheet shows a page when its tab is chosen and hides it when
    // another is.
    void show(bool shown) { ShowWindow(page_, shown ? SW_SHOW : SW_HIDE); }
    void notify(UINT code)
    {
        NMHDR header{host_, 0, code};
        SendMessageW(page_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    }
    WORD field(int id) { return static_cast<WORD>(SendDlgItemMessageW(page_, id, HKM_GETHOTKEY, 0, 0)); }
    // A combination put in as the control does when the user presses it.
    void press(int id, WORD value)
    {
        SendDlgItemMessageW(page_, id, HKM_SETHOTKEY, value, 0);
        SendMessageW(page_, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page_, id)));
    }
    std::wstring status(int id) { return windowText(GetDlgItem(page_, id)); }

    StandInSystem system_;
    Hotkeys hotkeys_{system_};
    HotkeySettings settings_;
    HWND host_ = nullptr;
    HWND page_ = nullptr;
};

TEST_F(HotkeysPageTest, FieldsShowTheSettingsAndTheStatusesWhatIsKnown)
{
    EXPECT_EQ(system_.registered, (std::set<int>{1, 7}));
    show(true);
    // In front, the program's own hotkeys are let go, so that pressing one
    // reaches the field.
    EXPECT_TRUE(system_.registered.empty());

    EXPECT_EQ(field(IDC_HOTKEYS_NEXT), MAKEWORD('N', HOTKEYF_CONTROL | HOTKEYF_ALT));
    EXPECT_EQ(field(IDC_HOTKEYS_PREVIOUS), 0);
    EXPECT_EQ(field(IDC_HOTKEYS_REMEMBERED), 0);
    // PgUp, not the number pad's 9.
    EXPECT_EQ(field(IDC_HOTKEYS_OPTIONS), MAKEWORD(VK_PRIOR, HOTKEYF_SHIFT | HOTKEYF_ALT | HOTKEYF_EXT));

    EXPECT_EQ(status(IDC_HOTKEYS_NEXT_STATUS), L"");
    EXPECT_EQ(status(IDC_HOTKEYS_PREVIOUS_STATUS), L"无法识别：Ctrl+Alt+Wat");
    EXPECT_EQ(status(IDC_HOTKEYS_PAUSE_STATUS), L"已被其他程序占用");
    EXPECT_EQ(status(IDC_HOTKEYS_OPTIONS_STATUS), L"");

    // Another tab chosen: taken again.
    show(false);
    EXPECT_EQ(system_.registered, (std::set<int>{1, 7}));
}

TEST_F(HotkeysPageTest, AChangedFieldIsToldAtOnceAndOkHandsTheCopyOn)
{
    show(true);
    // Onto a combination another program holds, then one of another field.
    press(IDC_HOTKEYS_REMEMBERED, MAKEWORD('J', HOTKEYF_CONTROL | HOTKEYF_ALT));
    EXPECT_EQ(status(IDC_HOTKEYS_REMEMBERED_STATUS), L"已被其他程序占用");
    press(IDC_HOTKEYS_REMEMBERED, MAKEWORD('N', HOTKEYF_CONTROL | HOTKEYF_ALT));
    EXPECT_EQ(status(IDC_HOTKEYS_REMEMBERED_STATUS), L"与“下一个”相同");
    // The unreadable value replaced by a combination: told no more.
    press(IDC_HOTKEYS_PREVIOUS, MAKEWORD(VK_F8, HOTKEYF_CONTROL | HOTKEYF_SHIFT));
    EXPECT_EQ(status(IDC_HOTKEYS_PREVIOUS_STATUS), L"");
    // Backspace clears a field without the control telling anyone; the page
    // sees it all the same, and the sameness above is gone.
    SendDlgItemMessageW(page_, IDC_HOTKEYS_NEXT, WM_KEYDOWN, VK_BACK, 0);
    EXPECT_EQ(field(IDC_HOTKEYS_NEXT), 0);
    EXPECT_EQ(status(IDC_HOTKEYS_REMEMBERED_STATUS), L"");

    // Nothing is handed on before OK.
    EXPECT_EQ(settings_[HotkeyCommand::next], (Hotkey{kCtrlAlt, 'N'}));
    show(false);
    notify(PSN_APPLY);
    EXPECT_TRUE(settings_[HotkeyCommand::next].none());
    EXPECT_EQ(settings_.text(HotkeyCommand::next), u"");
    EXPECT_EQ(settings_.text(HotkeyCommand::previous), u"Ctrl+Shift+F8");
    EXPECT_EQ(settings_.text(HotkeyCommand::remembered), u"Ctrl+Alt+N");
    EXPECT_EQ(settings_.text(HotkeyCommand::pause), u"Ctrl+Alt+J");
    EXPECT_EQ(settings_.text(HotkeyCommand::options), u"Alt+Shift+PgUp");
}

TEST_F(HotkeysPageTest, ClosedWhileInFrontTheHotkeysComeBack)
{
    show(true);
    ASSERT_TRUE(system_.registered.empty());
    DestroyWindow(page_);
    page_ = nullptr;
    EXPECT_EQ(system_.registered, (std::set<int>{1, 7}));
}

}  // namespace
