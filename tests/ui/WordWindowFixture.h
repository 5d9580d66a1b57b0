// Shared by the in-process tests of the word window and the options sheet:
// what the application object owns for them (settings, store, workers, word
// window, reload, sheet), owned here by the test process; serving the
// message queue, settings that change nothing by themselves, a scratch
// program folder with dictionaries written as the program reads them, the
// real word window made and loaded as the shell does it, and what the window
// shows and how large it must be.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>

#include <prsht.h>

#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "settings/Win32Settings.h"
#include "store/files/FilePlace.h"
#include "store/text/Text.h"
#include "store/text/Wide.h"
#include "store/WordGet.h"
#include "ui/DictionaryReload.h"
#include "ui/LibraryPage.h"
#include "ui/OptionsSheet.h"
#include "ui/word/WordLayout.h"
#include "ui/word/WordWindow.h"
#include "win/Worker.h"

namespace uitest {

namespace fs = std::filesystem;

// The parts of the program the word window and the options sheet work on,
// as the application object owns them; one for the test process.
struct TestProgram {
    SettingsRecord Settings{};
    FilePlace place{};
    WordGet wordStore;
    Worker wordLoad;
    Worker dictionaryLoad;
    WordWindow wordWindow{Settings, wordStore, wordLoad};
    DictionaryReload reload{dictionaryLoad, wordStore, wordWindow};
    COLORREF customColors[16] = {};
    OptionsContext options{GetModuleHandleW(nullptr), nullptr, Settings, place, wordStore, wordWindow,
                           reload, customColors, 1280, 800, [this] { saveSettings(Settings, place.folder); }};
    OptionsSheet sheet{options};
};

inline TestProgram& program()
{
    static TestProgram instance;
    return instance;
}

// The names the program's code uses, for the tests' own code.
inline HINSTANCE appInstance = GetModuleHandleW(nullptr);
inline SettingsRecord& Settings = program().Settings;
inline WordGet& wordStore = program().wordStore;
inline FilePlace& place = program().place;
inline COLORREF (&customColors)[16] = program().customColors;
inline OptionsSheet& sheet = program().sheet;
inline OptionsContext& options = program().options;
// The word window object, and its window's handle while it has one (set by
// startWordWindow).
inline WordWindow& theWordWindow = program().wordWindow;
inline HWND wordWindow = nullptr;
// A window standing in for the owner window, where reloads end.
inline HWND ownerWindow = nullptr;

// Page `which` of the test's sheet, made on its own from its template as a
// child of `parent`, given what the sheet gives its pages: the
// PROPSHEETPAGEW that names the sheet and the page.
inline HWND makeOptionsPage(int which, HWND parent)
{
    static PageSeed seeds[kOptionsPageCount];
    static PROPSHEETPAGEW pages[kOptionsPageCount];
    seeds[which] = {&program().sheet, which};
    pages[which] = {};
    pages[which].dwSize = sizeof pages[which];
    pages[which].lParam = reinterpret_cast<LPARAM>(&seeds[which]);
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kOptionsPages[which].templateId), parent,
                              optionsPageProc, reinterpret_cast<LPARAM>(&pages[which]));
}

// Serves the queue (timers, posted and sent messages, paints) until `done()`
// holds after a round, or `ms` have passed; returns whether it held.
template <class Done>
bool pumpUntil(Done done, DWORD ms)
{
    for (const ULONGLONG end = GetTickCount64() + ms;; Sleep(10)) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
    }
}

// Serves the queue for about `ms` milliseconds; pump(0) serves what is
// queued now, once.
inline void pump(DWORD ms)
{
    pumpUntil([] { return false; }, ms);
}

inline std::wstring wide(std::u16string_view s)
{
    return std::wstring(s.begin(), s.end());
}

// A window's text, up to 1023 units.
inline std::wstring windowText(HWND window)
{
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

// A fixed-size text field of an entry, up to its terminator.
inline std::u16string fieldText(const char16_t* field, std::size_t units)
{
    return std::u16string(field, boundedLength(field, units));
}

inline std::u16string wordOf(const WordEntry& entry)
{
    return fieldText(entry.word, kWordUnits);
}

// The word the word window shows.
inline std::wstring shownWord()
{
    return wide(wordOf(wordStore.currentEntry()));
}

// Serves the queue until a reference timer of `ms` fires and tells whether
// the shown word had changed by then. Timers come due in order however slow
// the machine is, so this checks which of two things came first, not how
// long either took.
inline bool wordChangesBefore(UINT ms)
{
    struct Reference {
        std::wstring before;
        bool fired = false;
        bool changed = false;
    };
    static Reference reference;
    reference = Reference{shownWord()};
    const UINT_PTR timer = SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        if (reference.fired) return;
        reference.fired = true;
        reference.changed = shownWord() != reference.before;
    });
    EXPECT_NE(timer, 0u);
    // Generous: only a machine that stops altogether gets here.
    EXPECT_TRUE(pumpUntil([] { return reference.fired; }, ms + 60000)) << "the reference timer never fired";
    return reference.changed;
}

// Extent of `s` in the font the settings name, as the word window measures it.
inline SIZE extentOf(std::u16string_view s)
{
    HFONT font = CreateFontIndirectW(&logFont(Settings.font));
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, as_wcstr(s.data()), static_cast<int>(s.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return size;
}

// Where the one-line layout of `entry` puts things, stated here from the
// texts' extents: the word at x = 1, 4 pixels of gap, the phonetic, the
// content directly after it and 5 pixels to spare; one line of the word's
// height with a pixel above and below.
struct OneLine {
    int width, height, wordX, phoneticX, contentX;
};

inline OneLine oneLine(const WordEntry& entry)
{
    const SIZE word = extentOf(wordOf(entry));
    const SIZE phonetic = extentOf(fieldText(entry.phonetic, kPhoneticUnits));
    const SIZE content = extentOf(fieldText(entry.content, kContentUnits));
    return {10 + word.cx + phonetic.cx + content.cx, 2 + word.cy, 1, 5 + word.cx, 5 + word.cx + phonetic.cx};
}

// The height DrawTextW needs for `text` wrapped at `width` in the settings'
// font, measured here as the painting draws it.
inline int wrappedTextHeight(std::u16string_view text, int width)
{
    HFONT font = CreateFontIndirectW(&logFont(Settings.font));
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    RECT r{0, 0, width, 0};
    DrawTextW(dc, as_wcstr(text.data()), static_cast<int>(text.size()), &r, DT_EDITCONTROL | DT_WORDBREAK | DT_CALCRECT);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return r.bottom - r.top;
}

// The settings of a first run on a screen `maximizedWidth` wide, less what
// would change the window by itself (automatic switching, background
// sampling), with the dictionary "words".
inline void resetSettings(std::int32_t maximizedWidth = 1280)
{
    Settings = {};
    applyDefaultSettings(Settings, maximizedWidth);
    Settings.autoSwitch = 0;
    Settings.sampleBackground = 0;
    copyBounded(Settings.dictionaryName, u"words");
}

// A fresh program folder of its own under the temporary directory, with an
// empty dic\ that the word store is pointed at.
inline fs::path makeScratchFolder(const std::string& prefix)
{
    static std::atomic<unsigned> serial{0};
    std::random_device random;
    const fs::path root =
        fs::temp_directory_path() / (prefix + "-" + std::to_string(random()) + "-" + std::to_string(serial++));
    fs::create_directories(root / "dic");
    wordStore.setDirectory(root / "dic");
    return root;
}

// The store lets go of the folder first: it saves its lists there at exit.
inline void removeScratchFolder(const fs::path& root)
{
    wordStore.setDirectory({});
    std::error_code error;
    fs::remove_all(root, error);
}

// A dictionary as the program reads it: UTF-16LE without a signature, every
// line ended by CR LF.
inline void writeDictionary(const fs::path& file, std::initializer_list<std::u16string_view> lines)
{
    std::u16string all;
    for (std::u16string_view line : lines) {
        all += line;
        all += u"\r\n";
    }
    std::ofstream out(file, std::ios::binary);
    for (char16_t unit : all) {
        out.put(static_cast<char>(unit & 0xFF));
        out.put(static_cast<char>(unit >> 8));
    }
}

// Learning and remembered lists both empty, whatever earlier tests left.
inline void emptyWordStore()
{
    for (const WordEntry& entry : wordStore.entries(WordList::learning)) wordStore.setRemembered(entry, true);
    for (const WordEntry& entry : wordStore.entries(WordList::remembered)) wordStore.deleteRemembered(entry.word);
}

// The word window's class "Mivora_Show" for this module; once a process is
// enough.
inline void registerWordWindowClass()
{
    WordWindow::registerClass(appInstance);
}

// A class of plain windows: an owner, a host, a window of another program.
inline constexpr wchar_t kPlainClass[] = L"MivoraTestPlain";

inline void registerPlainClass()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kPlainClass;
    RegisterClassW(&windowClass);
}

// Creates the word window as the shell does and lets its start-up load end,
// with the load's last step delivered.
inline void startWordWindow()
{
    ASSERT_TRUE(theWordWindow.create(appInstance));
    wordWindow = theWordWindow.handle();
    ASSERT_NE(wordWindow, nullptr);
    // The load posts its end; served here, as the message loop would.
    ASSERT_TRUE(pumpUntil([] { return !theWordWindow.loading(); }, 20000));
    pump(0);
}

// Destroys the word window, if any, and waits for a load it left running.
inline void closeWordWindow()
{
    theWordWindow.destroy();
    wordWindow = nullptr;
    theWordWindow.waitForWordLoad(20000);
}

}  // namespace uitest
