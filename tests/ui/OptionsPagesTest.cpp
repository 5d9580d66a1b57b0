// The word-library and about pages of the options sheet, created from their
// templates with their real dialog procedures and driven with messages:
// the dictionary list, the reload thread and its end on the UI thread, the
// remembered-words view and its menu, the about page's texts and links.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "WordWindowFixture.h"
#include "res/resource.h"
#include "ui/LibraryPage.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"
#include "win/Messages.h"

namespace {

using namespace uitest;

std::vector<std::wstring> words(WordList list)
{
    std::vector<std::wstring> out;
    for (const WordEntry& entry : wordStore.entries(list)) out.push_back(wide(wordOf(entry)));
    return out;
}

// Notices the owner window received; it hands them on to the reload, as
// Mivora's owner window does.
int reloadNotices = 0;

LRESULT CALLBACK testOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RELOAD_DONE) {
        ++reloadNotices;
        program().reload.finish(wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// What the program does last at exit: every worker waited for, then the
// progress saved if it changed.
void finishWordStore()
{
    program().wordLoad.wait(20000);
    program().dictionaryLoad.wait(20000);
    if (wordStore.dirty()) wordStore.saveProgress();
}

// A message box or menu that comes up during a call is handled by a thread
// timer, which the modal loop dispatches.
struct ModalAnswer {
    UINT answer = 0;  // IDYES / IDNO for a message box
    std::wstring caption, text;
    bool menuSeen = false;
    std::vector<std::wstring> menuItems;
};
ModalAnswer* modal = nullptr;

BOOL CALLBACK findChildText(HWND child, LPARAM parameter)
{
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Static") == 0) {
        const std::wstring text = windowText(child);
        if (!text.empty()) *reinterpret_cast<std::wstring*>(parameter) += text;
    }
    return TRUE;
}

BOOL CALLBACK answerModal(HWND window, LPARAM)
{
    if (!IsWindowVisible(window)) return TRUE;
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (lstrcmpW(className, L"#32770") == 0 && modal->answer != 0) {
        modal->caption = windowText(window);
        EnumChildWindows(window, findChildText, reinterpret_cast<LPARAM>(&modal->text));
        PostMessageW(window, WM_COMMAND, modal->answer, 0);
        modal->answer = 0;
        return FALSE;
    }
    if (lstrcmpW(className, L"#32768") == 0 && !modal->menuSeen) {
        modal->menuSeen = true;
        const auto menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
        for (int i = 0; menu != nullptr && i < GetMenuItemCount(menu); ++i) {
            wchar_t item[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), item, 64, MF_BYPOSITION);
            if (item[0] != L'\0') modal->menuItems.push_back(item);
        }
        EndMenu();
        return FALSE;
    }
    return TRUE;
}

void CALLBACK modalTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (modal != nullptr) EnumThreadWindows(GetCurrentThreadId(), answerModal, 0);
}

class ModalWatch {
public:
    explicit ModalWatch(ModalAnswer& answer) : timer_(SetTimer(nullptr, 0, 30, modalTimer)) { modal = &answer; }
    ~ModalWatch()
    {
        KillTimer(nullptr, timer_);
        modal = nullptr;
    }
    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;

private:
    UINT_PTR timer_;
};

class OptionsPagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        registerWordWindowClass();
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = testOwnerProc;
        windowClass.hInstance = appInstance;
        windowClass.lpszClassName = L"MivoraTestOwner";
        RegisterClassW(&windowClass);
    }

    void SetUp() override
    {
        root_ = makeScratchFolder("mivora-pages");
        setProgramDir(root_.wstring() + L"\\");

        resetSettings();
        Settings.windowX = 100;
        Settings.windowY = 100;
        copyBounded(Settings.dictionaryName, u"first");

        wordStore.setCycleSize(15);
        // An empty progress file: both lists and every counter start at 0,
        // and the word window's start-up load falls back to the dictionary.
        std::ofstream(root_ / "dic" / "DAvud.bin", std::ios::binary).close();
        wordStore.loadProgress(u"");
        ASSERT_TRUE(wordStore.entries(WordList::learning).empty());
        ASSERT_TRUE(wordStore.entries(WordList::remembered).empty());

        reloadNotices = 0;
        ownerWindow =
            CreateWindowExW(0, L"MivoraTestOwner", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, appInstance, nullptr);
        program().reload.setNotifyWindow(ownerWindow);
        // Hidden: under Xvfb without a window manager, hiding a shown window
        // takes seconds.
        host_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 640, 560, nullptr, nullptr, appInstance, nullptr);
        ASSERT_NE(host_, nullptr);
    }

    void TearDown() override
    {
        program().dictionaryLoad.wait(20000);
        pump(0);
        closeWordWindow();
        DestroyWindow(host_);
        DestroyWindow(ownerWindow);
        ownerWindow = nullptr;
        pump(0);
        options.openLink = openWithShell;
        options.dpis = {};
        place = FilePlace{};
        removeScratchFolder(root_);
    }

    // The program and its files in `directory` (given with its final
    // backslash), the program's dic the only folder of word lists.
    static void setProgramDir(const std::wstring& directory)
    {
        const fs::path folder = directory.substr(0, directory.size() - 1);
        place = FilePlace{};
        place.programDir = folder;
        place.folder = folder;
        place.dic = folder / L"dic";
        place.dictionaryFolders = {place.dic};
    }

    void writeDictionary(const std::wstring& name, std::initializer_list<std::u16string_view> lines)
    {
        uitest::writeDictionary(root_ / "dic" / (name + L".txt"), lines);
    }

    HWND openPage(int which)
    {
        HWND page = makeOptionsPage(which, host_);
        EXPECT_NE(page, nullptr) << GetLastError();
        if (page != nullptr) ShowWindow(page, SW_SHOW);
        return page;
    }
    HWND openLibraryPage() { return openPage(kLibraryPage); }
    HWND openAboutPage() { return openPage(kAboutPage); }

    static std::vector<std::wstring> comboItems(HWND page)
    {
        HWND combo = GetDlgItem(page, IDC_LIBRARY_DICTIONARIES);
        std::vector<std::wstring> items;
        const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t item[300] = {};
            if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 300)
                SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
            items.push_back(item);
        }
        return items;
    }

    static std::wstring selectedItem(HWND page)
    {
        HWND combo = GetDlgItem(page, IDC_LIBRARY_DICTIONARIES);
        const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (index < 0) return L"(none)";
        wchar_t item[300] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item));
        return item;
    }

    // Moves the box's selection to `name` as an arrow key or a click in the
    // open list does: the box tells the page of the change.
    static void browse(HWND page, const wchar_t* name)
    {
        HWND combo = GetDlgItem(page, IDC_LIBRARY_DICTIONARIES);
        const LRESULT index =
            SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
        ASSERT_GE(index, 0) << "no item " << std::string(name, name + wcslen(name));
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_LIBRARY_DICTIONARIES, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }

    // Chooses `name` as a user does: a click on it in the open list, which
    // then closes.
    static void pick(HWND page, const wchar_t* name)
    {
        browse(page, name);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_LIBRARY_DICTIONARIES, CBN_CLOSEUP),
                     reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_LIBRARY_DICTIONARIES)));
    }

    static bool comboEnabled(HWND page) { return IsWindowEnabled(GetDlgItem(page, IDC_LIBRARY_DICTIONARIES)) != FALSE; }

    static std::wstring cell(HWND view, int row, int column)
    {
        wchar_t text[600] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 600;
        SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return text;
    }

    static std::vector<std::wstring> numbers(HWND view)
    {
        std::vector<std::wstring> out;
        const auto count = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) out.push_back(cell(view, i, 0));
        return out;
    }

    static void remember(std::initializer_list<const char16_t*> list)
    {
        int i = 0;
        for (const char16_t* word : list) {
            WordEntry entry{};
            copyBounded(entry.word, word);
            copyBounded(entry.phonetic, u"[p" + std::u16string(1, static_cast<char16_t>(u'0' + ++i)) + u"]");
            copyBounded(entry.content, u"意思" + std::u16string(word));
            wordStore.insert(entry, WordList::remembered);
        }
    }

    // Two dictionaries of very different word widths, "first" loaded, and
    // the word window up and showing it.
    void startOnFirst()
    {
        writeDictionary(L"first", {u"cat|kæt|猫", u"dog|dɒɡ|狗"});
        writeDictionary(L"second", {u"internationalisation|ˌɪntəˌnæʃənəlaɪˈzeɪʃən|国际化", u"pear|peə|梨"});
        startWordWindow();
        ASSERT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"cat", L"dog"}));
    }

    fs::path root_;
    HWND host_ = nullptr;
};

// --- word-library page -----------------------------------------------------

TEST_F(OptionsPagesTest, ListsDictionaryFilesCutAtTheLastDotAndSelectsCaseInsensitively)
{
    writeDictionary(L"a.b", {u"x"});
    writeDictionary(L"First", {u"x"});
    writeDictionary(std::wstring(63, L'n'), {u"x"});  // the longest name dictionaryName holds
    writeDictionary(std::wstring(64, L'm'), {u"x"});  // one more: cannot be stored
    fs::create_directories(root_ / "dic" / "folder.txt");
    std::ofstream(root_ / "dic" / "notes.md") << "not a dictionary";

    HWND page = openLibraryPage();
    std::vector<std::wstring> items = comboItems(page);
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::wstring>{L"First", L"a.b", std::wstring(63, L'n')}));
    EXPECT_EQ(selectedItem(page), L"First");  // Settings say "first"
    DestroyWindow(page);

    copyBounded(Settings.dictionaryName, u"A.B");
    page = openLibraryPage();
    EXPECT_EQ(selectedItem(page), L"a.b");
    DestroyWindow(page);

    copyBounded(Settings.dictionaryName, u"missing");
    page = openLibraryPage();
    EXPECT_EQ(selectedItem(page), L"(none)");
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, AProgramFolderTooLongForThePatternListsNothing)
{
    writeDictionary(L"first", {u"x"});
    // 252 units of folder: with "dic\*.txt" and its terminator the pattern
    // would need 262 of the 260.
    std::wstring folder = root_.wstring() + L"\\";
    folder.resize(252, L'x');
    folder.back() = L'\\';
    setProgramDir(folder);
    HWND page = openLibraryPage();
    EXPECT_TRUE(comboItems(page).empty());
    DestroyWindow(page);

    // The real folder next to it still lists.
    setProgramDir(root_.wstring() + L"\\");
    page = openLibraryPage();
    EXPECT_EQ(comboItems(page), (std::vector<std::wstring>{L"first"}));
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, PickingReloadsOnAWorkerAndTheOwnerWindowEnablesTheBoxAndLaysOutTheNewWord)
{
    startOnFirst();
    HWND page = openLibraryPage();
    ASSERT_EQ(selectedItem(page), L"first");
    const LONG widthBefore = Settings.windowWidth;

    pick(page, L"second");
    // Back from the pick at once, with the reload still to be taken by the
    // UI thread: the box stays disabled until the owner window has its notice.
    EXPECT_EQ(wide(std::u16string_view(Settings.dictionaryName)), L"second");
    EXPECT_TRUE(program().reload.running());
    EXPECT_FALSE(comboEnabled(page));
    EXPECT_EQ(reloadNotices, 0);

    ASSERT_TRUE(pumpUntil([&] { return comboEnabled(page); }, 20000));
    EXPECT_EQ(reloadNotices, 1);
    EXPECT_FALSE(program().reload.running());
    EXPECT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"internationalisation", L"pear"}));
    // The word window shows the new list's first entry, laid out for it.
    EXPECT_EQ(shownWord(), L"internationalisation");
    const OneLine layout = oneLine(wordStore.currentEntry());
    EXPECT_EQ(Settings.windowWidth, layout.width);
    EXPECT_NE(Settings.windowWidth, widthBefore);
    RECT frame{};
    GetWindowRect(wordWindow, &frame);
    EXPECT_EQ(frame.right - frame.left, layout.width);
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, APickWhileAReloadRunsIsRefused)
{
    startOnFirst();
    HWND page = openLibraryPage();
    pick(page, L"second");
    ASSERT_TRUE(program().reload.running());
    // The box is disabled; a pick that still reaches the page changes nothing.
    pick(page, L"first");
    EXPECT_EQ(wide(std::u16string_view(Settings.dictionaryName)), L"second");
    EXPECT_EQ(selectedItem(page), L"second");

    ASSERT_TRUE(pumpUntil([&] { return comboEnabled(page); }, 20000));
    EXPECT_EQ(reloadNotices, 1);
    EXPECT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"internationalisation", L"pear"}));
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, ArrowKeysBrowseAndLeavingTheBoxLoadsWithTheKeyboardKept)
{
    startOnFirst();
    ShowWindow(host_, SW_SHOWNOACTIVATE);
    HWND page = openLibraryPage();
    HWND combo = GetDlgItem(page, IDC_LIBRARY_DICTIONARIES);
    HWND view = GetDlgItem(page, IDC_LIBRARY_REMEMBERED_VIEW);
    SetFocus(combo);
    ASSERT_EQ(GetFocus(), combo);

    browse(page, L"second");  // an arrow key on the closed box
    EXPECT_FALSE(program().reload.running());
    EXPECT_EQ(wide(std::u16string_view(Settings.dictionaryName)), L"first");

    // Leaving the box makes the choice; the keyboard waits on the list
    // while the box is disabled, and goes back when the reload has ended.
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_LIBRARY_DICTIONARIES, CBN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(combo));
    ASSERT_TRUE(program().reload.running());
    EXPECT_FALSE(comboEnabled(page));
    EXPECT_EQ(GetFocus(), view);
    ASSERT_TRUE(pumpUntil([&] { return comboEnabled(page); }, 20000));
    EXPECT_EQ(GetFocus(), combo);
    EXPECT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"internationalisation", L"pear"}));

    // Closing the list on the name in use loads nothing.
    pick(page, L"second");
    EXPECT_FALSE(program().reload.running());
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, TheSheetClosedDuringAReloadLeavesTheNextPageToBeEnabled)
{
    startOnFirst();
    HWND page = openLibraryPage();
    HWND oldCombo = GetDlgItem(page, IDC_LIBRARY_DICTIONARIES);
    pick(page, L"second");
    DestroyWindow(page);  // the sheet closes while the reload runs
    EXPECT_FALSE(IsWindow(oldCombo));

    // Opened again before the notice came: no second pick possible yet.
    HWND again = openLibraryPage();
    EXPECT_EQ(selectedItem(again), L"second");
    EXPECT_FALSE(comboEnabled(again));
    ASSERT_TRUE(pumpUntil([&] { return reloadNotices == 1; }, 20000));
    EXPECT_TRUE(comboEnabled(again));
    EXPECT_EQ(shownWord(), L"internationalisation");
    DestroyWindow(again);

    // Closed for good during a reload: the notice finds no page and only
    // lays out the word window.
    page = openLibraryPage();
    pick(page, L"first");
    DestroyWindow(page);
    ASSERT_TRUE(pumpUntil([&] { return reloadNotices == 2; }, 20000));
    EXPECT_FALSE(program().reload.running());
    EXPECT_EQ(shownWord(), L"cat");
    EXPECT_EQ(Settings.windowWidth, oneLine(wordStore.currentEntry()).width);
}

// The reload tells the page that listens last; an older page that closes
// afterwards must not silence it.
TEST_F(OptionsPagesTest, AnOlderPageClosingLeavesTheReloadsEndToTheNewerOne)
{
    startOnFirst();
    HWND older = openLibraryPage();
    HWND newer = openLibraryPage();
    pick(newer, L"second");
    ASSERT_TRUE(program().reload.running());
    EXPECT_FALSE(comboEnabled(newer));
    DestroyWindow(older);
    ASSERT_TRUE(pumpUntil([&] { return reloadNotices == 1; }, 20000));
    EXPECT_TRUE(comboEnabled(newer));
    DestroyWindow(newer);
}

TEST_F(OptionsPagesTest, ShutdownWaitsForARunningReloadBeforeTheFinalSave)
{
    startOnFirst();
    HWND page = openLibraryPage();
    pick(page, L"second");
    // No message loop from here on: the exit path itself must wait.
    finishWordStore();
    EXPECT_FALSE(program().reload.running());

    std::ifstream in(root_ / "dic" / "DAvud.bin", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 24u + 1664u);
    ProgressHeader header{};
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(header.learningCount, 2);
    EXPECT_EQ(header.rememberedCount, 0);
    const auto* first = reinterpret_cast<const char16_t*>(bytes.data() + 24);
    EXPECT_EQ(wide(std::u16string_view(first, boundedLength(first, kWordUnits))), L"internationalisation");

    // The notice still comes and still enables the box.
    ASSERT_TRUE(pumpUntil([&] { return comboEnabled(page); }, 20000));
    DestroyWindow(page);
}

// The order box shows the order kept for the list the dictionary box
// shows; a new one is kept at once, and applies when the list is chosen
// (the list in use is chosen again in it).
TEST_F(OptionsPagesTest, TheOrderOfAListIsKeptAndAppliesWhenItIsChosen)
{
    WordSettings word;
    word.setOrder(u"third", ListOrder::shuffled);
    options.word = &word;
    writeDictionary(L"third", {u"cherry||樱桃", u"apple||苹果", u"banana||香蕉"});
    startOnFirst();
    HWND page = openLibraryPage();
    HWND order = GetDlgItem(page, IDC_LIBRARY_ORDER);
    const auto shownOrder = [&] {
        wchar_t text[32] = {};
        GetWindowTextW(order, text, 32);
        return std::wstring(text);
    };
    const auto chooseOrder = [&](int index) {
        SendMessageW(order, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_LIBRARY_ORDER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(order));
    };
    EXPECT_EQ(shownOrder(), L"原顺序");
    browse(page, L"third");
    EXPECT_EQ(shownOrder(), L"乱序");
    // Kept for the list browsed to; nothing is loaded.
    chooseOrder(1);
    EXPECT_EQ(word.orderOf(u"third"), ListOrder::alphabetical);
    EXPECT_FALSE(program().reload.running());
    EXPECT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"cat", L"dog"}));
    browse(page, L"first");
    EXPECT_EQ(shownOrder(), L"原顺序");

    pick(page, L"third");
    ASSERT_TRUE(pumpUntil([&] { return comboEnabled(page) && reloadNotices == 1; }, 20000));
    EXPECT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"apple", L"banana", L"cherry"}));
    EXPECT_EQ(shownWord(), L"apple");

    // The list in use, back to the file's order: chosen again in it.
    chooseOrder(0);
    ASSERT_TRUE(pumpUntil([&] { return comboEnabled(page) && reloadNotices == 2; }, 20000));
    EXPECT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"cherry", L"apple", L"banana"}));
    EXPECT_EQ(word.orderOf(u"third"), ListOrder::original);
    DestroyWindow(page);
    options.word = nullptr;

    // The sources of the shipped sentences, as their licence asks.
    HWND about = openAboutPage();
    const std::wstring credits = windowText(GetDlgItem(about, IDC_ABOUT_CREDITS));
    EXPECT_NE(credits.find(L"Tatoeba"), std::wstring::npos) << "no Tatoeba";
    EXPECT_NE(credits.find(L"CC BY 2.0 FR"), std::wstring::npos);
    EXPECT_NE(credits.find(L"ECDICT"), std::wstring::npos);
    DestroyWindow(about);
}

TEST_F(OptionsPagesTest, ForgetAndDeleteRemoveTheRowAndTheRowsBelowKeepTheirNumbers)
{
    writeDictionary(L"first", {u"zebra||斑马"});
    wordStore.loadDictionary(u"first");
    remember({u"w1", u"w2", u"w3", u"w4", u"w5"});
    HWND page = openLibraryPage();
    HWND view = GetDlgItem(page, IDC_LIBRARY_REMEMBERED_VIEW);
    EXPECT_EQ(cell(view, 0, 1) + L"|" + cell(view, 0, 2) + L"|" + cell(view, 0, 3), L"w1|[p1]|意思w1");

    runRememberedCommand(view, 1, IDM_REMEMBERED_FORGET);  // w2 back to learning
    EXPECT_EQ(numbers(view), (std::vector<std::wstring>{L"1", L"3", L"4", L"5"}));
    EXPECT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"zebra", L"w2"}));
    EXPECT_EQ(words(WordList::remembered), (std::vector<std::wstring>{L"w1", L"w3", L"w4", L"w5"}));

    ModalAnswer no;
    no.answer = IDNO;
    {
        ModalWatch watch(no);
        runRememberedCommand(view, 1, IDM_REMEMBERED_DELETE);
    }
    EXPECT_EQ(no.caption, L"提示");
    EXPECT_EQ(no.text, L"确定执行删除操作吗？");
    EXPECT_EQ(numbers(view), (std::vector<std::wstring>{L"1", L"3", L"4", L"5"}));

    ModalAnswer yes;
    yes.answer = IDYES;
    {
        ModalWatch watch(yes);
        runRememberedCommand(view, 1, IDM_REMEMBERED_DELETE);  // w3
    }
    EXPECT_EQ(yes.text, L"确定执行删除操作吗？");
    EXPECT_EQ(numbers(view), (std::vector<std::wstring>{L"1", L"4", L"5"}));
    EXPECT_EQ(cell(view, 1, 1), L"w4");
    EXPECT_EQ(words(WordList::remembered), (std::vector<std::wstring>{L"w1", L"w4", L"w5"}));
    EXPECT_EQ(words(WordList::learning), (std::vector<std::wstring>{L"zebra", L"w2"}));

    runRememberedCommand(view, 0, 0);  // menu dismissed
    EXPECT_EQ(numbers(view).size(), 3u);
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, ARightClickOnTheLeftmostPixelOfARowOpensTheMenuBelowTheRowsNot)
{
    remember({u"apple", u"banana"});
    HWND page = openLibraryPage();
    HWND view = GetDlgItem(page, IDC_LIBRARY_REMEMBERED_VIEW);
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageW(view, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row)));

    auto rightClick = [&](int x, int y) {
        ModalAnswer seen;
        ModalWatch watch(seen);
        PostMessageW(view, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
        SendMessageW(view, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
        pump(0);
        return seen;
    };
    const ModalAnswer atEdge = rightClick(0, (row.top + row.bottom) / 2);
    EXPECT_TRUE(atEdge.menuSeen);
    EXPECT_EQ(atEdge.menuItems, (std::vector<std::wstring>{L"忘记", L"删除"}));
    EXPECT_EQ(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0), 2);  // dismissed: nothing changed

    const ModalAnswer below = rightClick(5, row.bottom + 3 * (row.bottom - row.top));
    EXPECT_FALSE(below.menuSeen);
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, TheKeyboardReachesTheMenuAndDeletesEverySelectedRow)
{
    remember({u"apple", u"banana", u"cherry", u"damson"});
    HWND page = openLibraryPage();
    HWND view = GetDlgItem(page, IDC_LIBRARY_REMEMBERED_VIEW);
    auto select = [&](int row) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    };
    select(0);
    select(2);

    // Shift+F10 or the menu key: the view passes WM_CONTEXTMENU at -1, -1 on.
    {
        ModalAnswer seen;
        ModalWatch watch(seen);
        SendMessageW(view, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view), -1);
        EXPECT_TRUE(seen.menuSeen);
        EXPECT_EQ(seen.menuItems, (std::vector<std::wstring>{L"忘记", L"删除"}));
    }
    // Delete asks once, for both selected rows.
    ModalAnswer yes;
    yes.answer = IDYES;
    {
        ModalWatch watch(yes);
        SendMessageW(view, WM_KEYDOWN, VK_DELETE, 0);
    }
    EXPECT_EQ(yes.text, L"确定执行删除操作吗？");
    EXPECT_EQ(words(WordList::remembered), (std::vector<std::wstring>{L"banana", L"damson"}));
    EXPECT_EQ(numbers(view), (std::vector<std::wstring>{L"2", L"4"}));

    // The phonetic column's font has the symbols the entries use.
    const auto font = reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    HDC dc = GetDC(view);
    const HGDIOBJ previous = SelectObject(dc, font);
    WORD glyphs[3] = {};
    EXPECT_EQ(GetGlyphIndicesW(dc, L"\u02C8\u0259\u028A", 3, glyphs, GGI_MARK_NONEXISTING_GLYPHS), 3u);
    for (WORD glyph : glyphs) EXPECT_NE(glyph, 0xFFFF);
    SelectObject(dc, previous);
    ReleaseDC(view, dc);
    DestroyWindow(page);
}

UINT playedPageDpi = 96;

// The font a control draws with, as a LOGFONT.
LOGFONTW fontOf(HWND control)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

// What Windows does when the sheet lands on a monitor of another scale: it
// scales the pages, sends every control the page's font, then tells each
// page. The scale is played through the pages' DPI seam (Wine gives every
// monitor one DPI).
void moveToDpi(HWND page, UINT dpi)
{
    playedPageDpi = dpi;
    const auto pageFont = SendMessageW(page, WM_GETFONT, 0, 0);
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(pageFont), FALSE);
    SendMessageW(page, kDpiChangedAfterParent, 0, 0);
}

TEST_F(OptionsPagesTest, AMonitorOfAnotherScaleScalesTheRememberedListAgain)
{
    WordEntry apple{};
    copyBounded(apple.word, u"apple");
    copyBounded(apple.phonetic, u"ˈæpl");
    copyBounded(apple.content, u"n. 苹果");
    wordStore.insert(apple, WordList::remembered);
    options.dpis.ofWindow = [](HWND) { return playedPageDpi; };
    playedPageDpi = 96;
    HWND page = openLibraryPage();
    HWND view = GetDlgItem(page, IDC_LIBRARY_REMEMBERED_VIEW);
    const LOGFONTW listFont = fontOf(view);
    const auto rowHeight = [&] {
        int cx = 0;
        int cy = 0;
        ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(view, LVM_GETIMAGELIST, LVSIL_SMALL, 0)), &cx,
                              &cy);
        return cy;
    };
    const auto widths = [&] {
        std::vector<int> all;
        for (int i = 0; i < 4; ++i) all.push_back(static_cast<int>(SendMessageW(view, LVM_GETCOLUMNWIDTH, i, 0)));
        return all;
    };
    EXPECT_EQ(widths(), (std::vector<int>{40, 100, 100, 160}));
    EXPECT_EQ(rowHeight(), 16);

    // 150 %: every size half as large again.
    moveToDpi(page, 144);
    EXPECT_EQ(widths(), (std::vector<int>{60, 150, 150, 240}));
    EXPECT_EQ(rowHeight(), 24);
    // The list's font is its own again, the one with the phonetic symbols
    // (a face of its own where the page's font lacks them).
    EXPECT_STREQ(fontOf(view).lfFaceName, listFont.lfFaceName);
    HDC dc = GetDC(view);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0)));
    WORD glyphs[3] = {};
    EXPECT_EQ(GetGlyphIndicesW(dc, L"\u02C8\u0259\u028A", 3, glyphs, GGI_MARK_NONEXISTING_GLYPHS), 3u);
    for (WORD glyph : glyphs) EXPECT_NE(glyph, 0xFFFF);
    SelectObject(dc, previous);
    ReleaseDC(view, dc);
    EXPECT_EQ(cell(view, 0, 2), L"ˈæpl");

    moveToDpi(page, 96);
    EXPECT_EQ(widths(), (std::vector<int>{40, 100, 100, 160}));
    EXPECT_EQ(rowHeight(), 16);
    DestroyWindow(page);
    options.dpis = {};
}

TEST_F(OptionsPagesTest, AMonitorOfAnotherScaleScalesTheLinksAndThePictureAgain)
{
    options.dpis.ofWindow = [](HWND) { return playedPageDpi; };
    playedPageDpi = 96;
    HWND page = openAboutPage();
    const auto pictureSide = [&] {
        for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) continue;
            BITMAP bitmap{};
            GetObjectW(reinterpret_cast<HBITMAP>(SendMessageW(child, STM_GETIMAGE, IMAGE_BITMAP, 0)), sizeof bitmap,
                       &bitmap);
            return bitmap.bmHeight;
        }
        return 0L;
    };
    EXPECT_EQ(pictureSide(), 185);
    // 185 * 1.5 = 277.5, rounded up; 185 * 2 = 370.
    for (const auto& [dpi, side] : {std::pair{144u, 278L}, std::pair{192u, 370L}, std::pair{96u, 185L}}) {
        moveToDpi(page, dpi);
        EXPECT_EQ(pictureSide(), side) << dpi;
        for (const int link : {IDC_ABOUT_GUIDE_LINK, IDC_ABOUT_DIC_LINK, IDC_ABOUT_FILES_LINK})
            EXPECT_EQ(fontOf(GetDlgItem(page, link)).lfUnderline, 1) << "link " << link << " at " << dpi;
    }
    DestroyWindow(page);
    options.dpis = {};
}

TEST_F(OptionsPagesTest, AHundredThousandRememberedWordsOpenAtOnce)
{
    constexpr int kWords = 100000;
    for (int i = 1; i <= kWords; ++i) {
        WordEntry entry{};
        const std::string word = "word" + std::to_string(i);
        copyBounded(entry.word, std::u16string(word.begin(), word.end()));
        copyBounded(entry.content, u"一个相当长的意思，用来占位置");
        wordStore.insert(entry, WordList::remembered);
    }
    ShowWindow(host_, SW_SHOWNOACTIVATE);  // so that the first rows are really drawn
    HWND page = openLibraryPage();
    UpdateWindow(page);

    HWND view = GetDlgItem(page, IDC_LIBRARY_REMEMBERED_VIEW);
    ASSERT_EQ(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0), kWords);
    EXPECT_EQ(cell(view, kWords - 1, 0), L"100000");
    EXPECT_EQ(cell(view, kWords - 1, 1), L"word100000");
    EXPECT_EQ(cell(view, kWords - 1, 3), L"一个相当长的意思，用来占位置");
    DestroyWindow(page);
}

// --- about page ------------------------------------------------------------

TEST_F(OptionsPagesTest, AboutPageShowsTheBuildLineDescriptionAndStatisticsInOrder)
{
    writeDictionary(L"first", {u"cat||猫", u"dog||狗", u"eel||鳗"});
    wordStore.loadDictionary(u"first");
    wordStore.setRemembered(wordStore.entries(WordList::learning).front(), true);
    const ProgressHeader counters = wordStore.header();
    ASSERT_EQ(counters.rememberedCount, 1);
    ASSERT_EQ(counters.learningCount, 2);

    HWND page = openAboutPage();
    EXPECT_EQ(windowText(GetDlgItem(page, IDC_ABOUT_TITLE)), L"米沃拉 Mivora 1.0");
    const std::wstring build = windowText(GetDlgItem(page, IDC_ABOUT_BUILD));
    EXPECT_TRUE(std::regex_match(build, std::wregex(L"Build:(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                                    L"[ 123][0-9] [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]")))
        << std::string(build.begin(), build.end());
    EXPECT_EQ(windowText(GetDlgItem(page, IDC_ABOUT_DESCRIPTION)),
              L"软件说明：\r\n\r\n为了边工作边背单词,因为找不到简单\r\n\r\n适用的软件,所以便有了这个软件,\r\n\r\n"
              L"在使用过程中有任何建议欢迎提出。\r\n\r\n如果你喜欢也可以用手机扫一扫^o^");
    const std::wstring today = std::to_wstring(counters.startDate);
    EXPECT_EQ(today.size(), 8u);
    EXPECT_EQ(windowText(GetDlgItem(page, IDC_ABOUT_STATISTICS)),
              L"学习信息：\r\n\r\n记住数量: 1\r\n\r\n学习数量: 2\r\n\r\n上次时间: " +
                  std::to_wstring(counters.lastDate) + L"\r\n\r\n开始时间: " + today);
    // Shown as it was when the page opened.
    wordStore.setRemembered(wordStore.entries(WordList::learning).front(), true);
    EXPECT_NE(windowText(GetDlgItem(page, IDC_ABOUT_STATISTICS)).find(L"记住数量: 1\r\n"), std::wstring::npos);
    DestroyWindow(page);
}

// Another PC's progress merged while the sheet is open: the sheet hands
// the notice to each page (PSM_QUERYSIBLINGS), which shows the lists anew.
TEST_F(OptionsPagesTest, MergedProgressIsShownOnTheOpenAboutAndLibraryPages)
{
    writeDictionary(L"first", {u"cat||猫", u"dog||狗", u"eel||鳗"});
    wordStore.loadDictionary(u"first");
    wordStore.setRemembered(wordStore.entries(WordList::learning).front(), true);
    HWND about = openAboutPage();
    HWND library = openLibraryPage();
    HWND view = GetDlgItem(library, IDC_LIBRARY_REMEMBERED_VIEW);
    ASSERT_NE(windowText(GetDlgItem(about, IDC_ABOUT_STATISTICS)).find(L"记住数量: 1\r\n"), std::wstring::npos);
    ASSERT_EQ(numbers(view).size(), 1u);

    wordStore.setRemembered(wordStore.entries(WordList::learning).front(), true);
    // Another query of the sheet's pages is no such notice.
    SendMessageW(about, PSM_QUERYSIBLINGS, 1, 0);
    SendMessageW(library, PSM_QUERYSIBLINGS, 1, 0);
    EXPECT_NE(windowText(GetDlgItem(about, IDC_ABOUT_STATISTICS)).find(L"记住数量: 1\r\n"), std::wstring::npos);
    EXPECT_EQ(numbers(view).size(), 1u);

    SendMessageW(about, PSM_QUERYSIBLINGS, kProgressChangedQuery, 0);
    SendMessageW(library, PSM_QUERYSIBLINGS, kProgressChangedQuery, 0);
    EXPECT_NE(windowText(GetDlgItem(about, IDC_ABOUT_STATISTICS)).find(L"记住数量: 2\r\n\r\n学习数量: 1"),
              std::wstring::npos);
    EXPECT_EQ(numbers(view), (std::vector<std::wstring>{L"1", L"2"}));
    EXPECT_EQ(cell(view, 1, 1), L"dog");
    DestroyWindow(library);
    DestroyWindow(about);
}

struct OpenedLink {
    std::wstring target;
    int show;
};
std::vector<OpenedLink> openedLinks;
void recordLink(const wchar_t* target, int show)
{
    openedLinks.push_back({target, show});
}

// The keys the about page's controls ask the dialog manager for: Escape
// stays with the sheet from its text boxes, and a focused link takes Enter
// and Space, which open it.
TEST_F(OptionsPagesTest, TheAboutPageLeavesEscapeToTheSheetAndItsLinksOpenByKey)
{
    openedLinks.clear();
    options.openLink = recordLink;
    HWND page = openAboutPage();
    auto asks = [](HWND control, WPARAM key) {
        MSG message{};
        message.hwnd = control;
        message.message = WM_KEYDOWN;
        message.wParam = key;
        return SendMessageW(control, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&message));
    };
    for (int box : {IDC_ABOUT_DESCRIPTION, IDC_ABOUT_STATISTICS}) {
        EXPECT_EQ(asks(GetDlgItem(page, box), VK_ESCAPE) & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE), 0) << box;
        EXPECT_EQ(asks(GetDlgItem(page, box), VK_TAB) & DLGC_HASSETSEL, 0) << box;
    }
    HWND guide = GetDlgItem(page, IDC_ABOUT_GUIDE_LINK);
    EXPECT_NE(asks(guide, VK_RETURN) & DLGC_WANTMESSAGE, 0);
    EXPECT_EQ(asks(guide, VK_ESCAPE) & DLGC_WANTMESSAGE, 0);
    SendMessageW(guide, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(GetDlgItem(page, IDC_ABOUT_DIC_LINK), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(openedLinks.size(), 2u);
    EXPECT_EQ(fs::path(openedLinks[0].target).filename(), fs::path(L"使用说明.html"));
    EXPECT_EQ(fs::path(openedLinks[1].target).filename(), fs::path(L"dic"));
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, LinksOpenTheGuideAndTheDictionaryFolderOnButtonDownWithAHandCursor)
{
    openedLinks.clear();
    options.openLink = recordLink;
    HWND page = openAboutPage();
    HWND guide = GetDlgItem(page, IDC_ABOUT_GUIDE_LINK);
    HWND folder = GetDlgItem(page, IDC_ABOUT_DIC_LINK);
    const std::wstring dir = root_.wstring() + L"\\";

    SendMessageW(guide, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(guide, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    ASSERT_EQ(openedLinks.size(), 1u);
    EXPECT_EQ(openedLinks[0].target, dir + L"使用说明.html");
    EXPECT_EQ(openedLinks[0].show, SW_SHOWMAXIMIZED);
    SendMessageW(folder, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ASSERT_EQ(openedLinks.size(), 2u);
    EXPECT_EQ(openedLinks[1].target, dir + L"dic");
    EXPECT_EQ(openedLinks[1].show, SW_SHOWMAXIMIZED);

    // In a program folder without dic, the folder is made to be shown.
    const fs::path bare = root_ / "bare";
    fs::create_directories(bare);
    setProgramDir(bare.wstring() + L"\\");
    SendMessageW(folder, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ASSERT_EQ(openedLinks.size(), 3u);
    EXPECT_EQ(openedLinks[2].target, bare.wstring() + L"\\dic");
    EXPECT_TRUE(fs::is_directory(bare / "dic"));

    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(folder, WM_SETCURSOR, reinterpret_cast<WPARAM>(folder), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), hand);
    SendMessageW(GetDlgItem(page, IDC_ABOUT_TITLE), WM_SETCURSOR,
                 reinterpret_cast<WPARAM>(GetDlgItem(page, IDC_ABOUT_TITLE)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), hand);
    DestroyWindow(page);
}

TEST_F(OptionsPagesTest, LinkColoursComeFromOneFontAndOneBrushFreedWithThePage)
{
    HWND page = openAboutPage();
    HWND guide = GetDlgItem(page, IDC_ABOUT_GUIDE_LINK);
    HDC dc = GetDC(guide);

    const auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(guide)));
    ASSERT_NE(brush, nullptr);
    const auto font = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    for (int i = 0; i < 2000; ++i) {
        HWND link = i % 2 == 0 ? guide : GetDlgItem(page, IDC_ABOUT_DIC_LINK);
        ASSERT_EQ(reinterpret_cast<HBRUSH>(SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                        reinterpret_cast<LPARAM>(link))),
                  brush);
        ASSERT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
        RedrawWindow(link, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }

    EXPECT_EQ(GetTextColor(dc), static_cast<COLORREF>(0x00FF0000));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    LOGFONTW logical{};
    ASSERT_NE(GetObjectW(font, sizeof logical, &logical), 0);
    LOGFONTW gui{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
    EXPECT_EQ(logical.lfUnderline, 1);
    EXPECT_STREQ(logical.lfFaceName, gui.lfFaceName);
    EXPECT_EQ(logical.lfHeight, gui.lfHeight);
    LOGBRUSH face{};
    ASSERT_NE(GetObjectW(brush, sizeof face, &face), 0);
    EXPECT_EQ(face.lbColor, GetSysColor(COLOR_BTNFACE));
    // Other statics keep the system's colours (the dialog manager's answer).
    EXPECT_NE(reinterpret_cast<HBRUSH>(SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                    reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_ABOUT_TITLE)))),
              brush);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    ReleaseDC(guide, dc);

    DestroyWindow(page);
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(GetObjectType(brush), 0u);
}

// With the files in the user's folder: the library lists its dic first and
// the program's after it, a name in both once; the about page shows the
// files' folder, its path opens it and the dic link opens the dic there.
TEST_F(OptionsPagesTest, BothDicFoldersAreListedAndTheAboutPageShowsAndOpensTheFilesFolder)
{
    writeDictionary(L"shipped", {u"x"});
    writeDictionary(L"Both", {u"x"});
    const fs::path user = root_ / "user";
    fs::create_directories(user / "dic");
    uitest::writeDictionary(user / "dic" / "mine.txt", {u"y"});
    uitest::writeDictionary(user / "dic" / "both.txt", {u"y"});
    place.folder = user;
    place.dic = user / "dic";
    place.dictionaryFolders = {user / "dic", root_ / "dic"};
    HWND library = openLibraryPage();
    std::vector<std::wstring> items = comboItems(library);
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::wstring>{L"both", L"mine", L"shipped"}));
    DestroyWindow(library);

    openedLinks.clear();
    options.openLink = recordLink;
    HWND about = openAboutPage();
    wchar_t shown[MAX_PATH] = {};
    GetDlgItemTextW(about, IDC_ABOUT_FILES_LINK, shown, MAX_PATH);
    EXPECT_EQ(std::wstring(shown), user.wstring());
    SendMessageW(GetDlgItem(about, IDC_ABOUT_FILES_LINK), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(GetDlgItem(about, IDC_ABOUT_DIC_LINK), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ASSERT_EQ(openedLinks.size(), 2u);
    EXPECT_EQ(openedLinks[0].target, user.wstring());
    EXPECT_EQ(openedLinks[1].target, (user / "dic").wstring());
    DestroyWindow(about);
}

}  // namespace
