// Reads the resources of the built Mivora.exe back and compares them with
// what the program's code and its users rely on: the ids, texts and order of
// the menus, every control of the three property-sheet pages, the icon
// sizes, the QR bitmap, the version block and the manifest. A typo in the
// .rc, a lost code page (garbled Chinese) or a resource that windres
// silently dropped shows up here.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resource.h"

// resource.h must keep the numbers the rest of the program was written against.
static_assert(IDD_ABOUT_PAGE == 104 && IDI_MIVORA == 105 && IDR_TRAY_MENU == 106);
static_assert(IDD_SETTINGS_PAGE == 107 && IDD_LIBRARY_PAGE == 108);
static_assert(IDR_WORD_MENU == 109 && IDR_REMEMBERED_MENU == 111 && IDB_QRCODE == 114);
static_assert(IDM_TRAY_CAPTURE == 40029 && IDM_TRAY_OPTIONS == 40014 && IDM_TRAY_ABOUT == 40015 &&
              IDM_TRAY_EXIT == 40016);
static_assert(IDM_WORD_REMEMBERED == 40023 && IDM_WORD_PREVIOUS == 40024 && IDM_WORD_NEXT == 40025 &&
              IDM_WORD_PAUSE == 40027);
static_assert(IDM_REMEMBERED_FORGET == 40037 && IDM_REMEMBERED_DELETE == 40039);
static_assert(IDC_SETTINGS_AUTO_SWITCH == 1015 && IDC_SETTINGS_AUTO_START == 1017 &&
              IDC_SETTINGS_SWITCH_SECONDS == 1018 && IDC_SETTINGS_FONT == 1019 &&
              IDC_SETTINGS_BACKGROUND_COLOR == 1020 && IDC_SETTINGS_WORD_COLOR == 1021 &&
              IDC_SETTINGS_PHONETIC_COLOR == 1022 && IDC_SETTINGS_CONTENT_COLOR == 1023 &&
              IDC_SETTINGS_TRANSPARENT == 1024 && IDC_SETTINGS_SAMPLE_BACKGROUND == 1025 &&
              IDC_SETTINGS_TITLE_BAR_MODE == 1027 && IDC_SETTINGS_CYCLE_SIZE == 1029);
static_assert(IDC_LIBRARY_DICTIONARIES == 1016 && IDC_LIBRARY_REMEMBERED_VIEW == 1031);
static_assert(IDC_ABOUT_TITLE == 1018 && IDC_ABOUT_SUBTITLE == 1323 && IDC_ABOUT_BUILD == 1325 &&
              IDC_ABOUT_WEB_LINK == 1327 && IDC_ABOUT_CHAT_LINK == 1329 && IDC_ABOUT_ICON == 1330 &&
              IDC_ABOUT_DESCRIPTION == 1328 && IDC_ABOUT_STATISTICS == 1032);

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

struct Bytes {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

Bytes resourceBytes(LPCWSTR type, int id)
{
    HRSRC info = FindResourceW(exeModule(), MAKEINTRESOURCEW(id), type);
    if (info == nullptr) return {};
    HGLOBAL loaded = LoadResource(exeModule(), info);
    if (loaded == nullptr) return {};
    return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(exeModule(), info)};
}

class ResourceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(exeModule(), nullptr) << "cannot load " << MIVORA_EXE_PATH; }
};

// ---------------------------------------------------------------------------
// Menus

struct MenuItem {
    UINT id;  // 0 for a separator
    const wchar_t* text;
};

void expectMenu(int menuId, const wchar_t* caption, const std::vector<MenuItem>& items)
{
    SCOPED_TRACE(testing::Message() << "menu " << menuId);
    HMENU menu = LoadMenuW(exeModule(), MAKEINTRESOURCEW(menuId));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, caption);

    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(items.size()));
    for (size_t pos = 0; pos < items.size(); ++pos) {
        SCOPED_TRACE(testing::Message() << "position " << pos);
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        ASSERT_TRUE(GetMenuItemInfoW(popup, static_cast<UINT>(pos), TRUE, &info));
        EXPECT_EQ(info.hSubMenu, nullptr);
        if (items[pos].id == 0) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR);
            continue;
        }
        EXPECT_FALSE(info.fType & MFT_SEPARATOR);
        // The code sets grey and check marks itself before each showing.
        EXPECT_EQ(info.fState, static_cast<UINT>(MFS_ENABLED | MFS_UNCHECKED));
        EXPECT_EQ(GetMenuItemID(popup, static_cast<int>(pos)), items[pos].id);
        text[0] = 0;
        GetMenuStringW(popup, static_cast<UINT>(pos), text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, items[pos].text);
    }
    DestroyMenu(menu);
}

TEST_F(ResourceTest, MenusHoldTheirCommandsInOrder)
{
    expectMenu(106, L"TASKMENU",
               {{40029, L"当前标题"}, {0, nullptr}, {40014, L"选项"}, {0, nullptr}, {40015, L"关于..."},
                {40016, L"退出"}});
    expectMenu(109, L"POPMENU",
               {{40023, L"已记住"}, {0, nullptr}, {40024, L"上一个"}, {40025, L"下一个"}, {0, nullptr},
                {40027, L"暂停"}});
    expectMenu(111, L"RMMENU", {{40037, L"忘记"}, {0, nullptr}, {40039, L"删除"}});
}

// ---------------------------------------------------------------------------
// Dialog templates, read from the raw DLGTEMPLATEEX

// Bounded little-endian reader; a template cut short clears `ok` instead of
// reading past the resource.
struct Reader {
    const BYTE* begin;
    const BYTE* pos;
    const BYTE* end;
    bool ok = true;

    Reader(Bytes b) : begin(b.data), pos(b.data), end(b.data + b.size) {}

    unsigned take(size_t n)
    {
        if (!ok || static_cast<size_t>(end - pos) < n) {
            ok = false;
            return 0;
        }
        unsigned v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<unsigned>(pos[i]) << (8 * i);
        pos += n;
        return v;
    }
    WORD u16() { return static_cast<WORD>(take(2)); }
    DWORD u32() { return take(4); }
    short s16() { return static_cast<short>(take(2)); }
    void alignDword()
    {
        size_t offset = static_cast<size_t>(pos - begin);
        take((4 - offset % 4) % 4);
    }
    std::wstring sz()
    {
        std::wstring s;
        for (WORD c = u16(); ok && c != 0; c = u16()) s.push_back(static_cast<wchar_t>(c));
        return s;
    }
    // sz_Or_Ord: a string, or 0xFFFF and an ordinal (returned in `ordinal`).
    std::wstring szOrOrd(int& ordinal)
    {
        ordinal = -1;
        WORD first = u16();
        if (first == 0xFFFF) {
            ordinal = u16();
            return {};
        }
        std::wstring s;
        for (WORD c = first; ok && c != 0; c = u16()) s.push_back(static_cast<wchar_t>(c));
        return s;
    }
};

struct DialogControl {
    int id;
    std::wstring cls;
    std::wstring text;
    int textOrdinal;  // resource id of an icon or bitmap, else -1
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

struct DialogTemplate {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::wstring title;
    WORD pointSize = 0;
    std::wstring face;
    std::vector<DialogControl> controls;
    bool ok = false;
};

std::wstring predefinedClass(int ordinal)
{
    switch (ordinal) {
    case 0x80: return L"Button";
    case 0x81: return L"Edit";
    case 0x82: return L"Static";
    case 0x83: return L"ListBox";
    case 0x84: return L"ScrollBar";
    case 0x85: return L"ComboBox";
    default: return L"#" + std::to_wstring(ordinal);
    }
}

DialogTemplate readDialog(int id)
{
    DialogTemplate d;
    Bytes bytes = resourceBytes(RT_DIALOG, id);
    if (bytes.data == nullptr) return d;
    Reader r(bytes);
    if (r.u16() != 1 || r.u16() != 0xFFFF) return d;  // DLGTEMPLATEEX only
    r.u32();                                          // help id
    r.u32();                                          // extended style
    d.style = r.u32();
    WORD count = r.u16();
    r.s16();
    r.s16();
    d.cx = r.s16();
    d.cy = r.s16();
    int ordinal;
    if (!r.szOrOrd(ordinal).empty() || ordinal != -1) return d;  // no menu
    r.szOrOrd(ordinal);                                          // class
    d.title = r.sz();
    if (d.style & (DS_SETFONT | DS_SHELLFONT)) {
        d.pointSize = r.u16();
        r.u16();  // weight
        r.take(2);  // italic, charset
        d.face = r.sz();
    }
    for (WORD i = 0; i < count && r.ok; ++i) {
        DialogControl c;
        r.alignDword();
        r.u32();  // help id
        c.exStyle = r.u32();
        c.style = r.u32();
        c.x = r.s16();
        c.y = r.s16();
        c.cx = r.s16();
        c.cy = r.s16();
        c.id = static_cast<int>(static_cast<short>(r.u32() & 0xFFFF));
        int classOrdinal;
        c.cls = r.szOrOrd(classOrdinal);
        if (classOrdinal != -1) c.cls = predefinedClass(classOrdinal);
        c.text = r.szOrOrd(c.textOrdinal);
        r.take(r.u16());  // creation data
        d.controls.push_back(c);
    }
    d.ok = r.ok;
    return d;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

struct Expected {
    int id;
    const wchar_t* cls;
    const wchar_t* text;  // nullptr: an image given by `ordinal`
    int ordinal;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
};

void expectControls(const DialogTemplate& d, const std::vector<Expected>& expected)
{
    ASSERT_EQ(d.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const DialogControl& c = d.controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << ", id " << e.id);
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(_wcsicmp(c.cls.c_str(), e.cls), 0) << "class";
        if (e.text != nullptr) {
            EXPECT_EQ(c.textOrdinal, -1);
            EXPECT_EQ(c.text, std::wstring(e.text));
        } else {
            EXPECT_EQ(c.textOrdinal, e.ordinal);
        }
        EXPECT_EQ(c.style, kChild | e.style) << "style 0x" << std::hex << c.style << ", expected 0x" << (kChild | e.style);
        EXPECT_EQ(c.exStyle, e.exStyle);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
    }
}

// The pages live inside the property sheet: child dialogs with no caption,
// never visible or popped up on their own.
void expectPage(const DialogTemplate& d, short cx, short cy, WORD points, const wchar_t* face)
{
    ASSERT_TRUE(d.ok) << "template missing or not DLGTEMPLATEEX";
    EXPECT_EQ(d.cx, cx);
    EXPECT_EQ(d.cy, cy);
    EXPECT_TRUE(d.style & WS_CHILD);
    EXPECT_TRUE(d.style & DS_CONTROL);
    EXPECT_TRUE(d.style & DS_SETFONT);
    EXPECT_FALSE(d.style & (WS_POPUP | WS_VISIBLE | WS_CAPTION));
    EXPECT_EQ(d.title, L"");
    EXPECT_EQ(d.pointSize, points);
    EXPECT_EQ(d.face, std::wstring(face));
}

const DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
const DWORD kColour = BS_OWNERDRAW | WS_TABSTOP;

const std::vector<Expected> kSettingsControls = {
    {1015, L"Button", L"自动切换单词，切换时间（秒）：", 0, kCheck, 0, 32, 69, 136, 10},
    {1017, L"Button", L"开机自动启动", 0, kCheck, 0, 32, 33, 64, 10},
    {-1, L"Button", L"单词选项", 0, BS_GROUPBOX, 0, 17, 16, 247, 96},
    {-1, L"Button", L"界面设定", 0, BS_GROUPBOX, 0, 17, 123, 247, 86},
    {1018, L"Edit", L"", 0, ES_CENTER | ES_NUMBER | WS_BORDER | WS_TABSTOP, 0, 171, 67, 27, 12},
    {1019, L"Button", L"字体...", 0, BS_PUSHBUTTON | WS_TABSTOP, 0, 33, 143, 99, 16},
    {1020, L"Button", L"背景", 0, kColour, 0, 34, 177, 50, 18},
    {1021, L"Button", L"单词", 0, kColour, 0, 89, 177, 50, 18},
    {1022, L"Button", L"音标", 0, kColour, 0, 143, 177, 50, 18},
    {1023, L"Button", L"内容", 0, kColour, 0, 197, 177, 50, 18},
    {1024, L"Button", L"背景透明", 0, kCheck, 0, 147, 138, 48, 10},
    {1025, L"Button", L"当前位置颜色设为背景", 0, kCheck, 0, 147, 154, 96, 10},
    {1027, L"Button", L"替换当前窗口标题栏", 0, kCheck, 0, 32, 50, 88, 10},
    {1029, L"Edit", L"", 0, ES_CENTER | ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 171, 88, 27, 12},
    {-1, L"Static", L"每次要循环背诵单词的数量（个）：", 0, SS_LEFT, 0, 34, 91, 129, 8},
};

const std::vector<Expected> kLibraryControls = {
    {-1, L"Static", L"请选择单词词库：", 0, SS_LEFT, 0, 2, 12, 65, 8},
    {1016, L"ComboBox", L"", 0, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 77, 10, 209, 126},
    {-1, L"Static", L"已记住单词列表：", 0, SS_LEFT, 0, 2, 30, 65, 8},
    {1031, L"SysListView32", L"", 0, LVS_REPORT | LVS_NOSORTHEADER | LVS_OWNERDATA | WS_BORDER | WS_TABSTOP, 0, 2, 42, 284, 185},
};

const DWORD kLink = SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | SS_NOTIFY;
const DWORD kReadOnlyText = ES_MULTILINE | ES_READONLY;

const std::vector<Expected> kAboutControls = {
    {1018, L"Static", L"米沃拉 Mivora 1.0", 0, SS_LEFT | SS_CENTERIMAGE, 0, 38, 7, 110, 12},
    {1323, L"Static", L"边工作边背单词的小工具", 0, SS_LEFT | SS_CENTERIMAGE, 0, 38, 19, 134, 12},
    {1325, L"Static", L"生成", 0, SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN, 0, 9, 40, 269, 13},
    {1327, L"Static", L"使用说明", 0, kLink, 0, 153, 194, 125, 19},
    {1329, L"Static", L"打开词库文件夹（dic）", 0, kLink, 0, 153, 223, 125, 19},
    {-1, L"Static", L"文件位置：", 0, SS_LEFT | SS_CENTERIMAGE, 0, 9, 248, 44, 12},
    // The folder of the files: its path is set when the page opens.
    {1331, L"Static", L"", 0, SS_LEFT | SS_CENTERIMAGE | SS_PATHELLIPSIS | SS_NOTIFY, 0, 53, 248, 225, 12},
    {1330, L"Static", nullptr, 105, SS_ICON, 0, 10, 9, 20, 20},
    {1328, L"Edit", L"", 0, kReadOnlyText, WS_EX_STATICEDGE, 9, 60, 134, 96},
    {1032, L"Edit", L"", 0, kReadOnlyText, WS_EX_STATICEDGE, 9, 162, 135, 81},
    {-1, L"Static", nullptr, 114, SS_BITMAP, WS_EX_STATICEDGE, 153, 60, 125, 125},
};

TEST_F(ResourceTest, SettingsPageTemplate)
{
    DialogTemplate d = readDialog(107);
    expectPage(d, 286, 230, 8, L"MS Shell Dlg");
    expectControls(d, kSettingsControls);
}

TEST_F(ResourceTest, LibraryPageTemplate)
{
    DialogTemplate d = readDialog(108);
    expectPage(d, 288, 228, 8, L"MS Shell Dlg");
    expectControls(d, kLibraryControls);
}

TEST_F(ResourceTest, AboutPageTemplate)
{
    DialogTemplate d = readDialog(104);
    expectPage(d, 285, 262, 9, L"宋体");
    expectControls(d, kAboutControls);
}

INT_PTR CALLBACK idleDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Instantiating each page proves the window system accepts the templates:
// the classes exist, and the icon and bitmap the statics name resolve.
TEST_F(ResourceTest, PagesCreateEveryControl)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    HWND host = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);

    const std::pair<int, const std::vector<Expected>*> pages[] = {
        {107, &kSettingsControls}, {108, &kLibraryControls}, {104, &kAboutControls}};
    for (const auto& [dialogId, expected] : pages) {
        SCOPED_TRACE(testing::Message() << "dialog " << dialogId);
        HWND page = CreateDialogParamW(exeModule(), MAKEINTRESOURCEW(dialogId), host, idleDialogProc, 0);
        ASSERT_NE(page, nullptr) << GetLastError();
        EXPECT_FALSE(IsWindowVisible(page));

        // Children come in template order.
        std::vector<HWND> children;
        for (HWND c = GetWindow(page, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
        ASSERT_EQ(children.size(), expected->size());
        for (size_t i = 0; i < children.size(); ++i) {
            const Expected& e = (*expected)[i];
            SCOPED_TRACE(testing::Message() << "control " << i << ", id " << e.id);
            HWND c = children[i];
            EXPECT_EQ(GetDlgCtrlID(c), e.id);
            if (e.id != -1) {
                EXPECT_EQ(GetDlgItem(page, e.id), c);
            }
            wchar_t buffer[128] = {};
            GetClassNameW(c, buffer, 128);
            EXPECT_EQ(_wcsicmp(buffer, e.cls), 0) << "class";
            if (e.text != nullptr) {
                buffer[0] = 0;
                GetWindowTextW(c, buffer, 128);
                EXPECT_STREQ(buffer, e.text);
            } else if (e.ordinal == 105) {
                EXPECT_NE(SendMessageW(c, STM_GETICON, 0, 0), 0) << "icon not loaded";
            } else {
                EXPECT_NE(SendMessageW(c, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "bitmap not loaded";
            }
        }
        DestroyWindow(page);
    }
    DestroyWindow(host);
}

// ---------------------------------------------------------------------------
// Icon and bitmap

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14);

TEST_F(ResourceTest, IconGroupHas48_32_16At256Colours)
{
    Bytes group = resourceBytes(RT_GROUP_ICON, 105);
    ASSERT_NE(group.data, nullptr);
    ASSERT_GE(group.size, 6u);
    WORD header[3];
    std::memcpy(header, group.data, sizeof header);
    EXPECT_EQ(header[0], 0);
    EXPECT_EQ(header[1], 1);  // icons, not cursors
    ASSERT_EQ(header[2], 3);
    ASSERT_GE(group.size, 6u + 3 * sizeof(GroupIconEntry));

    std::vector<int> sizes;
    for (int i = 0; i < 3; ++i) {
        GroupIconEntry e;
        std::memcpy(&e, group.data + 6 + i * sizeof e, sizeof e);
        int size = e.width == 0 ? 256 : e.width;
        SCOPED_TRACE(testing::Message() << size << " px");
        sizes.push_back(size);
        EXPECT_EQ(e.height, e.width);
        EXPECT_EQ(e.bitCount, 8);
        EXPECT_EQ(e.planes, 1);

        Bytes image = resourceBytes(RT_ICON, e.id);
        ASSERT_NE(image.data, nullptr);
        EXPECT_EQ(image.size, e.bytesInRes);
        ASSERT_GE(image.size, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER bih;
        std::memcpy(&bih, image.data, sizeof bih);
        EXPECT_EQ(bih.biWidth, size);
        EXPECT_EQ(bih.biHeight, 2 * size);  // colour image and AND mask
        EXPECT_EQ(bih.biBitCount, 8);
        EXPECT_EQ(bih.biCompression, static_cast<DWORD>(BI_RGB));
        // Header, 256-colour palette, 8-bit image, 1-bit mask with 32-bit rows.
        DWORD expectedSize = 40 + 1024 + size * ((size + 3) & ~3) + size * (((size + 31) / 32) * 4);
        EXPECT_EQ(image.size, expectedSize);
    }
    EXPECT_EQ(sizes, (std::vector<int>{48, 32, 16}));

    // The tray loads the small image by size; the system must find it.
    HICON small = static_cast<HICON>(LoadImageW(exeModule(), MAKEINTRESOURCEW(105), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ASSERT_NE(small, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(small, &info));
    BITMAP bm = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 16);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(small);
}

TEST_F(ResourceTest, QrBitmapIs185SquareBlackOnWhiteWithQuietZone)
{
    Bytes bmp = resourceBytes(RT_BITMAP, 114);
    ASSERT_NE(bmp.data, nullptr);
    ASSERT_GE(bmp.size, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER bih;
    std::memcpy(&bih, bmp.data, sizeof bih);
    EXPECT_EQ(bih.biWidth, 185);
    EXPECT_EQ(bih.biHeight, 185);
    EXPECT_EQ(bih.biBitCount, 24);
    EXPECT_EQ(bih.biCompression, static_cast<DWORD>(BI_RGB));
    const DWORD stride = (185 * 3 + 3) & ~3u;
    ASSERT_GE(bmp.size, bih.biSize + stride * 185);

    // Only pure black and white; a scanner needs the light margin around the
    // code (four modules of five pixels), and the code itself in the middle.
    const BYTE* pixels = bmp.data + bih.biSize;
    int dark = 0, otherColours = 0, darkInMargin = 0;
    for (int row = 0; row < 185; ++row) {
        for (int x = 0; x < 185; ++x) {
            const BYTE* p = pixels + row * stride + x * 3;
            bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
            bool white = p[0] == 255 && p[1] == 255 && p[2] == 255;
            if (!black && !white) ++otherColours;
            if (!black) continue;
            ++dark;
            if (x < 20 || x >= 165 || row < 20 || row >= 165) ++darkInMargin;
        }
    }
    EXPECT_EQ(otherColours, 0);
    EXPECT_EQ(darkInMargin, 0);
    EXPECT_GT(dark, 145 * 145 / 4);
    EXPECT_LT(dark, 145 * 145 * 3 / 4);

    // The top-left finder pattern: a dark 7x7 ring starting at the margin.
    // Rows are stored bottom-up.
    auto isDark = [&](int x, int y) { return pixels[(184 - y) * stride + x * 3] == 0; };
    for (int m = 0; m < 7; ++m) {
        EXPECT_TRUE(isDark(20 + m * 5 + 2, 22));        // top edge
        EXPECT_TRUE(isDark(22, 20 + m * 5 + 2));        // left edge
    }
    EXPECT_FALSE(isDark(20 + 5 + 2, 20 + 5 + 2));       // the light ring
    EXPECT_TRUE(isDark(20 + 15 + 2, 20 + 15 + 2));      // the dark centre

    HBITMAP loaded = static_cast<HBITMAP>(LoadImageW(exeModule(), MAKEINTRESOURCEW(114), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(loaded, nullptr);
    DeleteObject(loaded);
}

// ---------------------------------------------------------------------------
// Version and manifest

std::wstring versionString(const std::vector<BYTE>& block, const std::wstring& translation, const wchar_t* name)
{
    std::wstring query = L"\\StringFileInfo\\" + translation + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || value == nullptr) return L"<missing>";
    return static_cast<const wchar_t*>(value);
}

TEST_F(ResourceTest, VersionIs1_0_0_1)
{
    std::wstring path = exePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translations = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                               &length));
    ASSERT_GE(length, 4u);
    wchar_t key[9];
    wsprintfW(key, L"%04x%04x", translations[0], translations[1]);
    EXPECT_EQ(versionString(block, key, L"InternalName"), L"Mivora");
    EXPECT_EQ(versionString(block, key, L"ProductName"), L"Mivora");
    EXPECT_EQ(versionString(block, key, L"OriginalFilename"), L"Mivora.exe");
    EXPECT_EQ(versionString(block, key, L"FileVersion"), L"1.0.0.1");
    EXPECT_EQ(versionString(block, key, L"ProductVersion"), L"1.0.0.1");
    EXPECT_NE(versionString(block, key, L"FileDescription"), L"<missing>");
}

BOOL CALLBACK countName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(ResourceTest, OneManifestAsInvokerWithCommonControls6)
{
    int manifests = 0;
    EnumResourceNamesW(exeModule(), MAKEINTRESOURCEW(24), countName, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(manifests, 1);  // a second one (a toolchain default) would be ignored or clash

    Bytes manifest = resourceBytes(MAKEINTRESOURCEW(24), 1);
    ASSERT_NE(manifest.data, nullptr);
    std::string text(reinterpret_cast<const char*>(manifest.data), manifest.size);
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("uiAccess=\"false\""), std::string::npos);
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    EXPECT_EQ(text.find("dpiAware"), std::string::npos);

    // A manifest the loader cannot parse, or whose dependency does not
    // resolve, stops the program before its first line runs.
    std::wstring path = exePath();
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
// Imports

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
