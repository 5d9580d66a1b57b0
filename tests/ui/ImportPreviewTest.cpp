// The import's preview in-process: the dialog is driven with messages from a
// timer of the test's thread while it runs modally, as a learner would use
// it: look at the first words, change a column's role, 导入, or 取消.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "ui/ImportPreview.h"

namespace fs = std::filesystem;

namespace {

// The scripted learner: each tick, the step for the dialog's state.
struct Learner {
    std::function<bool(HWND dialog)> step;  // true: done with this dialog
    HWND dialog = nullptr;
    std::chrono::steady_clock::time_point deadline;
    bool timedOut = false;
};
Learner* learner = nullptr;

BOOL CALLBACK findPreview(HWND window, LPARAM found)
{
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (std::wcsncmp(title, L"导入预览", 4) != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (learner == nullptr || learner->dialog == HWND(-1)) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findPreview, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    if (std::chrono::steady_clock::now() > learner->deadline) {
        learner->timedOut = true;
        learner->dialog = HWND(-1);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    if (learner->step(dialog)) learner->dialog = HWND(-1);
}

ImportResult runWith(const ImportRequest& request, std::function<bool(HWND)> step, bool& timedOut)
{
    Learner script{std::move(step), nullptr, std::chrono::steady_clock::now() + std::chrono::seconds(60)};
    learner = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, tick);
    const ImportResult result = runImportPreview(GetModuleHandleW(nullptr), nullptr, request);
    KillTimer(nullptr, timer);
    learner = nullptr;
    timedOut = script.timedOut;
    return result;
}

std::wstring title(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring cell(HWND dialog, int row, int column)
{
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendDlgItemMessageW(dialog, IDC_IMPORT_ROWS, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring text(HWND dialog, int id)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

int choice(HWND dialog, int id)
{
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

// The list file as lines "word|phonetic|meaning".
std::vector<std::wstring> listLines(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    std::vector<std::wstring> lines;
    for (std::size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class ImportPreviewTest : public testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        folder_ = fs::temp_directory_path() / ("mivora-import-preview-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "dic");
        // Excel's CSV of a learner's list: word, phonetic, meaning.
        std::ofstream(folder_ / "words.csv", std::ios::binary)
            << "apple,\xCB\x88\xC3\xA6pl,n. \xE8\x8B\xB9\xE6\x9E\x9C\r\npear,pe\xC9\x99,n. \xE6\xA2\xA8\r\n";
        request_ = {folder_ / "words.csv", folder_ / "dic", u"我的单词", {}, systemCodePageText, nullptr};
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
    ImportRequest request_;
};

}  // namespace

// The first words as guessed; the phonetic column set to 不导入 takes the
// phonetics out of the preview, and 导入 writes the list so.
TEST_F(ImportPreviewTest, AColumnsRoleChangedIsWhatIsWritten)
{
    int state = 0;
    std::wstring seen;
    bool timedOut = false;
    const ImportResult result = runWith(
        request_,
        [&](HWND dialog) {
            if (state == 0 && title(dialog) == L"导入预览") {
                seen = cell(dialog, 0, 0) + L"|" + cell(dialog, 0, 1) + L"|" + cell(dialog, 0, 2) + L"/" +
                       std::to_wstring(choice(dialog, IDC_IMPORT_SEPARATOR)) + L"/" +
                       std::to_wstring(choice(dialog, IDC_IMPORT_ROLE_FIRST)) +
                       std::to_wstring(choice(dialog, IDC_IMPORT_ROLE_FIRST + 1)) +
                       std::to_wstring(choice(dialog, IDC_IMPORT_ROLE_FIRST + 2)) + L"/" +
                       text(dialog, IDC_IMPORT_COUNTS);
                SendDlgItemMessageW(dialog, IDC_IMPORT_ROLE_FIRST + 1, CB_SETCURSEL, 0, 0);  // 不导入
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_IMPORT_ROLE_FIRST + 1, CBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_IMPORT_ROLE_FIRST + 1)));
                state = 1;
            } else if (state == 1 && cell(dialog, 0, 1).empty() && IsWindowEnabled(GetDlgItem(dialog, IDOK))) {
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                return true;
            }
            return false;
        },
        timedOut);
    ASSERT_FALSE(timedOut) << "state " << state;
    // Comma; word, phonetic, meaning.
    EXPECT_EQ(seen, L"apple|ˈæpl|n. 苹果/0/123/UTF-8 编码，共 2 个词");
    EXPECT_EQ(result.refusal, ImportRefusal::none);
    EXPECT_EQ(result.wordCount, 2u);
    EXPECT_EQ(listLines(folder_ / "dic" / u"我的单词.txt"),
              (std::vector<std::wstring>{L"apple||n. 苹果", L"pear||n. 梨"}));
}

// 取消, whether the file has been read yet or not, writes nothing.
TEST_F(ImportPreviewTest, CancelWritesNothing)
{
    bool timedOut = false;
    const ImportResult result = runWith(
        request_,
        [](HWND dialog) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return true;
        },
        timedOut);
    ASSERT_FALSE(timedOut);
    EXPECT_EQ(result.refusal, ImportRefusal::cancelled);
    EXPECT_TRUE(fs::is_empty(folder_ / "dic"));
}
