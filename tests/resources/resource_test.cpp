// Reads the resources of the built Mivora.exe back, for what the build can
// get wrong without a word: Chinese texts garbled by the resource compiler's
// code page, a menu or page that does not load or lacks a command or control
// the code addresses, a missing icon size, image, version block or
// manifest, and imports that would load the common controls at every start.
// Where the controls sit and what they say is the pages' own business.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resource.h"

namespace {

std::wstring exePath()
{
    const char* utf8 = MIVORA_EXE_PATH;
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring path(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, path.data(), n);
    // The cross build passes a Unix path; under Wine the root file system is Z:.
    if (!path.empty() && path[0] == L'/') path.insert(0, L"Z:");
    return path;
}

HMODULE exeModule()
{
    static HMODULE module =
        LoadLibraryExW(exePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return module;
}

class ResourceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(exeModule(), nullptr) << "cannot load " << MIVORA_EXE_PATH; }
};

// Every command the code handles is in its menu, once. The code page is the
// .rc file's: one text of the menus shows whether it was right.
TEST_F(ResourceTest, MenusHoldTheCommandsTheCodeHandles)
{
    const struct {
        int menu;
        std::vector<UINT> commands;
    } menus[] = {
        {IDR_TRAY_MENU, {IDM_TRAY_CAPTURE, IDM_TRAY_OPTIONS, IDM_TRAY_ABOUT, IDM_TRAY_EXIT}},
        {IDR_WORD_MENU, {IDM_WORD_REMEMBERED, IDM_WORD_PREVIOUS, IDM_WORD_NEXT, IDM_WORD_PAUSE}},
        {IDR_REMEMBERED_MENU, {IDM_REMEMBERED_FORGET, IDM_REMEMBERED_DELETE}},
    };
    for (const auto& m : menus) {
        SCOPED_TRACE(testing::Message() << "menu " << m.menu);
        HMENU menu = LoadMenuW(exeModule(), MAKEINTRESOURCEW(m.menu));
        ASSERT_NE(menu, nullptr);
        // The program always shows sub-menu 0.
        HMENU popup = GetSubMenu(menu, 0);
        ASSERT_NE(popup, nullptr);
        std::multiset<UINT> ids;
        for (int pos = 0; pos < GetMenuItemCount(popup); ++pos)
            if (GetMenuItemID(popup, pos) != 0) ids.insert(GetMenuItemID(popup, pos));
        for (const UINT command : m.commands)
            EXPECT_EQ(ids.count(command), 1u) << "command " << command;
        DestroyMenu(menu);
    }
    HMENU tray = LoadMenuW(exeModule(), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    wchar_t text[32] = {};
    GetMenuStringW(tray, IDM_TRAY_EXIT, text, 32, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"退出");
    DestroyMenu(tray);
}

INT_PTR CALLBACK idleDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Each page is made as the property sheet makes it: every control's class
// exists, the images the statics name load, and the controls the code
// addresses are there with the class and the styles it relies on.
TEST_F(ResourceTest, PagesHoldTheControlsTheCodeAddresses)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);

    // The styles the code relies on: check boxes that check themselves,
    // colour buttons and a list the page draws, links that report clicks.
    constexpr DWORD kButtonType = BS_TYPEMASK;
    const struct {
        int page;
        int id;
        const wchar_t* cls;
        DWORD mask;
        DWORD style;  // what the style holds under the mask
    } controls[] = {
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_AUTO_SWITCH, L"Button", kButtonType, BS_AUTOCHECKBOX},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_AUTO_START, L"Button", kButtonType, BS_AUTOCHECKBOX},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_TRANSPARENT, L"Button", kButtonType, BS_AUTOCHECKBOX},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_SAMPLE_BACKGROUND, L"Button", kButtonType, BS_AUTOCHECKBOX},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_TITLE_BAR_MODE, L"Button", kButtonType, BS_AUTOCHECKBOX},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_SWITCH_SECONDS, L"Edit", 0, 0},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_CYCLE_SIZE, L"Edit", 0, 0},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_FONT, L"Button", 0, 0},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_BACKGROUND_COLOR, L"Button", kButtonType, BS_OWNERDRAW},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_WORD_COLOR, L"Button", kButtonType, BS_OWNERDRAW},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_PHONETIC_COLOR, L"Button", kButtonType, BS_OWNERDRAW},
        {IDD_SETTINGS_PAGE, IDC_SETTINGS_CONTENT_COLOR, L"Button", kButtonType, BS_OWNERDRAW},
        {IDD_LIBRARY_PAGE, IDC_LIBRARY_DICTIONARIES, L"ComboBox", 3, CBS_DROPDOWNLIST},
        {IDD_LIBRARY_PAGE, IDC_LIBRARY_REMEMBERED_VIEW, WC_LISTVIEWW, LVS_TYPEMASK | LVS_OWNERDATA,
         LVS_REPORT | LVS_OWNERDATA},
        {IDD_ABOUT_PAGE, IDC_ABOUT_BUILD, L"Static", 0, 0},
        {IDD_ABOUT_PAGE, IDC_ABOUT_GUIDE_LINK, L"Static", SS_NOTIFY, SS_NOTIFY},
        {IDD_ABOUT_PAGE, IDC_ABOUT_DIC_LINK, L"Static", SS_NOTIFY, SS_NOTIFY},
        {IDD_ABOUT_PAGE, IDC_ABOUT_FILES_LINK, L"Static", SS_NOTIFY, SS_NOTIFY},
        {IDD_ABOUT_PAGE, IDC_ABOUT_DESCRIPTION, L"Edit", ES_MULTILINE | ES_READONLY, ES_MULTILINE | ES_READONLY},
        {IDD_ABOUT_PAGE, IDC_ABOUT_STATISTICS, L"Edit", ES_MULTILINE | ES_READONLY, ES_MULTILINE | ES_READONLY},
    };
    for (const int pageId : {IDD_SETTINGS_PAGE, IDD_LIBRARY_PAGE, IDD_ABOUT_PAGE}) {
        SCOPED_TRACE(testing::Message() << "page " << pageId);
        HWND page = CreateDialogParamW(exeModule(), MAKEINTRESOURCEW(pageId), host, idleDialogProc, 0);
        ASSERT_NE(page, nullptr) << GetLastError();
        std::multiset<int> ids;
        for (HWND c = GetWindow(page, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            ids.insert(GetDlgCtrlID(c));
            const LONG type = GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK;
            wchar_t cls[64] = {};
            GetClassNameW(c, cls, 64);
            if (_wcsicmp(cls, L"Static") != 0 || (type != SS_ICON && type != SS_BITMAP)) continue;
            EXPECT_NE(SendMessageW(c, STM_GETIMAGE, type == SS_ICON ? IMAGE_ICON : IMAGE_BITMAP, 0), 0)
                << "the image of control " << GetDlgCtrlID(c) << " did not load";
        }
        for (const auto& e : controls) {
            if (e.page != pageId) continue;
            SCOPED_TRACE(testing::Message() << "control " << e.id);
            EXPECT_EQ(ids.count(e.id), 1u);
            HWND c = GetDlgItem(page, e.id);
            ASSERT_NE(c, nullptr);
            wchar_t cls[64] = {};
            GetClassNameW(c, cls, 64);
            EXPECT_EQ(_wcsicmp(cls, e.cls), 0) << "class";
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(c, GWL_STYLE)) & e.mask, e.style) << "styles";
        }
        if (pageId == IDD_SETTINGS_PAGE) {
            wchar_t text[32] = {};
            GetDlgItemTextW(page, IDC_SETTINGS_AUTO_START, text, 32);
            EXPECT_STREQ(text, L"开机自动启动");
        }
        DestroyWindow(page);
    }
    DestroyWindow(host);
}

// The tray asks for the 16-pixel icon, the window frames and the task
// switcher for 32 and 48: each has an image of its own, not one scaled.
TEST_F(ResourceTest, IconHasTheSizesTheSystemAsksFor)
{
    HRSRC group = FindResourceW(exeModule(), MAKEINTRESOURCEW(IDI_MIVORA), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(exeModule(), group)));
    ASSERT_NE(directory, nullptr);
    for (const int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        HRSRC image = FindResourceW(exeModule(), MAKEINTRESOURCEW(id), RT_ICON);
        ASSERT_NE(image, nullptr);
        BITMAPINFOHEADER header{};
        ASSERT_GE(SizeofResource(exeModule(), image), sizeof header);
        std::memcpy(&header, LockResource(LoadResource(exeModule(), image)), sizeof header);
        EXPECT_EQ(header.biWidth, size);
    }
}

// The file's version is the project's (the download is named after it).
TEST_F(ResourceTest, VersionIsTheProjects)
{
    const std::wstring path = exePath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    wchar_t version[64];
    wsprintfW(version, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    EXPECT_STREQ(version, L"" MIVORA_VERSION);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translations = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                               &length));
    ASSERT_GE(length, 4u);
    wchar_t query[64];
    wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\FileVersion", translations[0], translations[1]);
    void* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), query, &text, &length));
    EXPECT_STREQ(static_cast<const wchar_t*>(text), L"" MIVORA_VERSION);
}

BOOL CALLBACK countName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// A manifest the loader cannot parse, or whose dependency does not resolve,
// stops the program before its first line runs; a second one (a
// toolchain's default) would be ignored or clash. Without common controls
// 6 the options sheet looks a decade older; without asInvoker Windows
// guesses that a program may need to run elevated, and with uiAccess it
// refuses to start an unsigned one.
TEST_F(ResourceTest, OneManifestThatActivates)
{
    int manifests = 0;
    EnumResourceNamesW(exeModule(), MAKEINTRESOURCEW(24), countName, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1);
    HRSRC info = FindResourceW(exeModule(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(info, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(exeModule(), info))),
                           SizeofResource(exeModule(), info));
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("uiAccess=\"false\""), std::string::npos);
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    // Per-monitor awareness v2, then per-monitor (Windows 10 1607 and
    // earlier), and "true/pm" for Windows 8.1 (per-monitor) and 7 (system).
    EXPECT_NE(text.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                        "PerMonitorV2, PerMonitor</dpiAwareness>"),
              std::string::npos);
    EXPECT_NE(text.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                        "true/pm</dpiAware>"),
              std::string::npos);
    // Both inside the asm.v3 application element, where Windows looks.
    const auto application = text.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
    ASSERT_NE(application, std::string::npos);
    EXPECT_LT(application, text.find("<dpiAwareness"));
    EXPECT_GT(text.find("</application>", application), text.find("<dpiAwareness"));

    const std::wstring path = exePath();
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    ReleaseActCtx(context);
}

// ---------------------------------------------------------------------------
// The image file

// The whole file, or nothing.
std::vector<BYTE> exeFileBytes()
{
    std::vector<BYTE> bytes;
    HANDLE file = CreateFileW(exePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1LL << 30)) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
            bytes.clear();
    }
    CloseHandle(file);
    return bytes;
}

// Copies the PE32+ headers out of the file; where they start, or 0 when the
// file has none.
std::size_t ntHeaders(const std::vector<BYTE>& file, IMAGE_NT_HEADERS64& nt)
{
    IMAGE_DOS_HEADER dos{};
    if (file.size() < sizeof dos) return 0;
    std::memcpy(&dos, file.data(), sizeof dos);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) return 0;
    const auto at = static_cast<std::size_t>(dos.e_lfanew);
    if (at > file.size() || file.size() - at < sizeof nt) return 0;
    std::memcpy(&nt, file.data() + at, sizeof nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return 0;
    return at;
}

// The lower-case names of the DLLs the loader maps before the program's
// first line (the import directory; delay-loaded DLLs are not in it).
// Empty when the file is not a PE32+ image this can read.
std::vector<std::string> importedDllNames(const std::vector<BYTE>& file)
{
    std::vector<std::string> names;
    auto fits = [&](std::size_t offset, std::size_t length) {
        return offset <= file.size() && length <= file.size() - offset;
    };
    IMAGE_NT_HEADERS64 nt{};
    const std::size_t ntAt = ntHeaders(file, nt);
    if (ntAt == 0) return names;

    const std::size_t sectionsAt = ntAt + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                   nt.FileHeader.SizeOfOptionalHeader;
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    if (!fits(sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER))) return names;
    std::memcpy(sections.data(), file.data() + sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER));
    // A relative virtual address to its place in the file; SIZE_MAX when
    // no section holds it.
    auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (const IMAGE_SECTION_HEADER& section : sections)
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.SizeOfRawData)
                return section.PointerToRawData + (rva - section.VirtualAddress);
        return SIZE_MAX;
    };

    const IMAGE_DATA_DIRECTORY directory = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::size_t at = fileOffset(directory.VirtualAddress);
    for (;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR entry{};
        if (!fits(at, sizeof entry)) return {};
        std::memcpy(&entry, file.data() + at, sizeof entry);
        if (entry.Name == 0) break;  // the all-zero entry ends the list
        const std::size_t nameAt = fileOffset(entry.Name);
        if (!fits(nameAt, 1)) return {};
        std::string name;
        for (std::size_t i = nameAt; i < file.size() && file[i] != 0; ++i)
            name += static_cast<char>(std::tolower(file[i]));
        names.push_back(name);
    }
    return names;
}

// The common controls and dialogs (and the OLE and shell parts they bring)
// cost every start several megabytes of private memory; only the options
// sheet needs them, and it loads them when it first opens. Linking either
// again, or calling one of their functions directly, would bring them back.
TEST_F(ResourceTest, StartLoadsNeitherCommonControlsNorCommonDialogs)
{
    const std::vector<BYTE> file = exeFileBytes();
    ASSERT_FALSE(file.empty()) << "cannot read " << MIVORA_EXE_PATH;
    const std::vector<std::string> names = importedDllNames(file);
    // What the program cannot start without: proof the table was read.
    for (const char* needed : {"kernel32.dll", "user32.dll", "gdi32.dll"})
        EXPECT_EQ(std::count(names.begin(), names.end(), needed), 1) << needed;
    for (const char* lazy : {"comctl32.dll", "comdlg32.dll"})
        EXPECT_EQ(std::count(names.begin(), names.end(), lazy), 0) << lazy << " is imported";
}

// Wine maps an image's sections from the file only when they start on page
// boundaries there too; otherwise it reads the whole image (1.6 MB with the
// static C++ runtime) into private memory at every start.
TEST_F(ResourceTest, SectionsArePageAlignedInTheFile)
{
    const std::vector<BYTE> file = exeFileBytes();
    IMAGE_NT_HEADERS64 nt{};
    ASSERT_NE(ntHeaders(file, nt), 0u) << "no PE32+ headers in " << MIVORA_EXE_PATH;
    EXPECT_EQ(nt.OptionalHeader.FileAlignment % 4096, 0u) << nt.OptionalHeader.FileAlignment;
    EXPECT_EQ(nt.OptionalHeader.SectionAlignment % 4096, 0u) << nt.OptionalHeader.SectionAlignment;
}

}  // namespace
