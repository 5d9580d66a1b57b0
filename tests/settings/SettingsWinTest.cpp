// loadSettingsIn/saveSettings against the real executable directory and the
// registry. Every test puts the Run value and the settings file back as it
// found them: a Run value left behind would start this test at the next log-on.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Settings.h"
#include "SettingsFile.h"
#include "Win32Settings.h"

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

namespace {

// The record, folder and screen size the program's application object owns,
// here owned by the test.
SettingsRecord Settings{};
fs::path folder;
int maximizedWidth = 0;
int maximizedHeight = 0;

// As the program does at start with its own folder.
void loadSettings()
{
    folder = programFolder();
    loadSettingsIn(Settings, folder, maximizedWidth);
}

void saveSettings()
{
    ::saveSettings(Settings, folder);
}

fs::path settingsFilePath()
{
    return ::settingsFilePath(folder);
}

struct RegValue {
    DWORD type = 0;
    Bytes data;
};

std::optional<RegValue> readRunValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue v;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, kRunValueName, nullptr, &v.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        v.data.resize(size);
        status = RegQueryValueExW(key, kRunValueName, nullptr, &v.type, v.data.data(), &size);
        v.data.resize(size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return v;
}

void writeRunValue(const std::optional<RegValue>& v)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (v)
        RegSetValueExW(key, kRunValueName, 0, v->type, v->data.data(), static_cast<DWORD>(v->data.size()));
    else
        RegDeleteValueW(key, kRunValueName);
    RegCloseKey(key);
}

std::wstring exePath()
{
    wchar_t buffer[1024] = {};
    DWORD n = GetModuleFileNameW(nullptr, buffer, 1024);
    return std::wstring(buffer, n);
}

std::optional<Bytes> readFile(const fs::path& p)
{
    std::FILE* f = _wfopen(p.c_str(), L"rb");
    if (f == nullptr) return std::nullopt;
    Bytes out;
    unsigned char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return out;
}

void writeFile(const fs::path& p, const Bytes& bytes)
{
    std::FILE* f = _wfopen(p.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) std::fwrite(bytes.data(), bytes.size(), 1, f);
    std::fclose(f);
}

Bytes imageOf(const SettingsRecord& r)
{
    Bytes b(sizeof r);
    std::memcpy(b.data(), &r, sizeof r);
    return b;
}

class SettingsWinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring exe = exePath();
        ASSERT_FALSE(exe.empty());
        exeDir_ = exe.substr(0, exe.rfind(L'\\') + 1);
        settingsFile_ = fs::path(exeDir_ + L"mivora.bin");
        savedFile_ = readFile(settingsFile_);
        savedRun_ = readRunValue();
        Settings = SettingsRecord{};
        folder.clear();
        maximizedWidth = GetSystemMetrics(SM_CXMAXIMIZED);
        maximizedHeight = GetSystemMetrics(SM_CYMAXIMIZED);
    }

    void TearDown() override
    {
        writeRunValue(savedRun_);
        std::error_code ec;
        fs::permissions(settingsFile_, fs::perms::owner_write, fs::perm_options::add, ec);
        if (savedFile_)
            writeFile(settingsFile_, *savedFile_);
        else
            fs::remove(settingsFile_, ec);
    }

    std::wstring exeDir_;
    fs::path settingsFile_;
    std::optional<Bytes> savedFile_;
    std::optional<RegValue> savedRun_;
};

TEST_F(SettingsWinTest, LoadFindsTheProgramFolderAndCreatesMissingFile)
{
    std::error_code ec;
    fs::remove(settingsFile_, ec);
    ASSERT_FALSE(fs::exists(settingsFile_));

    loadSettings();

    std::wstring dir = folder.wstring() + L"\\";
    ASSERT_GE(dir.size(), 3u);
    EXPECT_EQ(dir[1], L':') << "an absolute drive path is expected";
    EXPECT_EQ(dir.find(L"settings_win_tests"), std::wstring::npos) << "the file name must be cut off";
    EXPECT_TRUE(fs::is_regular_file(fs::path(dir + L"settings_win_tests.exe")));
    EXPECT_EQ(settingsFilePath(), fs::path(dir + L"mivora.bin"));

    std::optional<Bytes> written = readFile(settingsFile_);
    ASSERT_TRUE(written.has_value()) << "loadSettings must create the settings file";
    ASSERT_EQ(written->size(), 284u);
    EXPECT_EQ(*written, imageOf(Settings));
    EXPECT_EQ(Settings.windowX, GetSystemMetrics(SM_CXMAXIMIZED) - 300);
    EXPECT_EQ(Settings.cycleSize, 15);

    // The next run reads back what a save wrote.
    Settings.cycleSize = 7;
    Settings.windowY = 300;
    Bytes saved = imageOf(Settings);
    saveSettings();
    EXPECT_EQ(readFile(settingsFile_), saved);
    Settings = SettingsRecord{};
    loadSettings();
    EXPECT_EQ(imageOf(Settings), saved);
}

// How Windows splits a command line (the Run value is one): the program
// is the first argument.
std::vector<std::wstring> commandLineArguments(const std::wstring& commandLine)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> out;
    for (int i = 0; arguments != nullptr && i < count; ++i) out.emplace_back(arguments[i]);
    LocalFree(arguments);
    return out;
}

TEST_F(SettingsWinTest, RunValueFollowsAutoStart)
{
    const std::wstring exe = exePath();
    const std::wstring quoted = L"\"" + exe + L"\"";
    std::optional<RegValue> stale = RegValue{REG_SZ, Bytes{'x', 0, 0, 0}};
    // What an earlier version wrote: the bare path.
    RegValue bare{REG_SZ, Bytes(reinterpret_cast<const unsigned char*>(exe.c_str()),
                                reinterpret_cast<const unsigned char*>(exe.c_str() + exe.size() + 1))};
    for (const std::optional<RegValue>& before : {std::optional<RegValue>{}, stale, std::optional<RegValue>{bare}}) {
        SCOPED_TRACE(before ? "value existed" : "value absent");
        writeRunValue(before);

        applyRunRegistration(true);
        std::optional<RegValue> v = readRunValue();
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->type, static_cast<DWORD>(REG_SZ));
        ASSERT_EQ(v->data.size(), (quoted.size() + 1) * sizeof(wchar_t)) << "size includes the terminator";
        std::wstring data(reinterpret_cast<const wchar_t*>(v->data.data()), quoted.size() + 1);
        EXPECT_EQ(data, quoted + L'\0') << "the path in double quotes, no arguments";
        EXPECT_EQ(commandLineArguments(quoted), std::vector<std::wstring>{exe});

        writeRunValue(before);
        applyRunRegistration(false);
        EXPECT_FALSE(readRunValue().has_value());
        applyRunRegistration(false);  // removing an absent value is harmless
        EXPECT_FALSE(readRunValue().has_value());
    }
}

// The Run key's last write, as RegQueryInfoKey reports it.
ULONGLONG runKeyWriteTime()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    FILETIME written{};
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &written);
    RegCloseKey(key);
    return (ULONGLONG{written.dwHighDateTime} << 32) | written.dwLowDateTime;
}

// Waits until the system clock has passed `stamp`, so that a write from
// now on gets a later time than one before.
void waitForClockPast(ULONGLONG stamp)
{
    for (;;) {
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        if (((ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime) > stamp) return;
        Sleep(1);
    }
}

// Every exit saves the settings; a save that leaves autoStart as it was
// must not write the key, which security programs ask the user about.
TEST_F(SettingsWinTest, SavesThatKeepAutoStartLeaveTheRunKeyUnwritten)
{
    loadSettings();
    for (const std::int32_t autoStart : {1, 0}) {
        SCOPED_TRACE(autoStart);
        Settings.autoStart = autoStart;
        saveSettings();
        const ULONGLONG written = runKeyWriteTime();
        ASSERT_NE(written, 0u);
        waitForClockPast(written);
        saveSettings();
        saveSettings();
        EXPECT_EQ(runKeyWriteTime(), written);
        EXPECT_EQ(readRunValue().has_value(), autoStart != 0);
    }
    // The measure itself: a change of autoStart does write.
    const ULONGLONG before = runKeyWriteTime();
    waitForClockPast(before);
    Settings.autoStart = 1;
    saveSettings();
    EXPECT_GT(runKeyWriteTime(), before);
}

// What each save does to the key, seen at the call itself: the registry
// may skip a write of the same value without changing the key's time, so
// only this shows a write that every exit would repeat.
TEST_F(SettingsWinTest, TheRunKeyIsWrittenOnlyWhenTheValueMustChange)
{
    const std::wstring exe = exePath();
    const std::wstring quoted = L"\"" + exe + L"\"";
    const auto sz = [](const std::wstring& text) {
        return RegValue{REG_SZ, Bytes(reinterpret_cast<const unsigned char*>(text.c_str()),
                                      reinterpret_cast<const unsigned char*>(text.c_str() + text.size() + 1))};
    };
    const std::optional<RegValue> absent;
    struct Case {
        const char* name;
        std::optional<RegValue> before;
        bool autoStart;
        RunRegistration done;
    } const cases[] = {
        {"absent, on", absent, true, RunRegistration::written},
        {"current, on", sz(quoted), true, RunRegistration::unchanged},
        {"earlier version's bare path, on", sz(exe), true, RunRegistration::written},
        {"another program's path, on", sz(L"\"C:\\Other\\Mivora.exe\""), true, RunRegistration::written},
        {"absent, off", absent, false, RunRegistration::unchanged},
        {"current, off", sz(quoted), false, RunRegistration::deleted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeRunValue(c.before);
        EXPECT_EQ(applyRunRegistration(c.autoStart), c.done);
        EXPECT_EQ(readRunValue().has_value(), c.autoStart);
        // And the next save, as at every exit, leaves the key alone.
        EXPECT_EQ(applyRunRegistration(c.autoStart), RunRegistration::unchanged);
    }
}

// Unquoted, Windows would run "D:\My.exe" with the rest as arguments.
TEST(RunCommand, APathWithSpacesStaysOneProgram)
{
    for (const std::wstring path : {L"D:\\My Tools\\Mivora\\Mivora.exe", L"C:\\Program Files (x86)\\a b\\Mivora.exe",
                                    L"C:\\Mivora\\Mivora.exe", L"\\\\server\\share name\\Mivora.exe"}) {
        const std::wstring command = runCommand(path);
        EXPECT_EQ(commandLineArguments(command), std::vector<std::wstring>{path}) << command;
        EXPECT_EQ(command.front(), L'"');
        EXPECT_EQ(command.back(), L'"');
    }
}

TEST_F(SettingsWinTest, SaveAppliesRegistrationEvenWithoutAFile)
{
    std::error_code ec;
    fs::remove(settingsFile_, ec);
    loadSettings();
    ASSERT_TRUE(fs::remove(settingsFile_));

    Settings.autoStart = 5;  // any non-zero flag counts as on
    saveSettings();
    EXPECT_FALSE(fs::exists(settingsFile_)) << "a save never re-creates the file";
    ASSERT_TRUE(readRunValue().has_value());

    Settings.autoStart = 0;
    saveSettings();
    EXPECT_FALSE(readRunValue().has_value());
    EXPECT_FALSE(fs::exists(settingsFile_));
}

TEST(SettingsFontTest, DefaultFontMatchesTheGdiConstants)
{
    SettingsRecord r{};
    applyDefaultSettings(r, 1024);
    const LOGFONTW& lf = logFont(r.font);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_EQ(lf.lfCharSet, 0);
    EXPECT_EQ(lf.lfOutPrecision, OUT_STROKE_PRECIS);
    EXPECT_EQ(lf.lfClipPrecision, CLIP_STROKE_PRECIS);
    EXPECT_EQ(lf.lfQuality, DRAFT_QUALITY);
    EXPECT_EQ(lf.lfPitchAndFamily, VARIABLE_PITCH | FF_SWISS);
    EXPECT_STREQ(lf.lfFaceName, L"Arial");

    // A font chooser writes through the view straight into the record.
    HFONT font = CreateFontIndirectW(&lf);
    ASSERT_NE(font, nullptr);
    LOGFONTW chosen{};
    ASSERT_EQ(GetObjectW(font, sizeof chosen, &chosen), static_cast<int>(sizeof chosen));
    DeleteObject(font);
    chosen.lfCharSet = GB2312_CHARSET;
    logFont(r.font) = chosen;
    EXPECT_EQ(imageOf(r)[64 + 23], GB2312_CHARSET);
    EXPECT_EQ(r.font.lfFaceName[0], u'A');
}

}  // namespace

// The temporary folder as GetTempPathW gives it, without its final
// backslash.
std::wstring temporaryFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring folder(buffer, length);
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring upperCase(std::wstring text)
{
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Where archive programs unpack an .exe they run: WinRAR's Rar$EX folders,
// 7-Zip's 7zO, Explorer's "Temp1_<zip name>".
TEST(TemporaryFolder, FoldersInsideItAreTakenInEveryFormAndNoOthers)
{
    const std::wstring temp = temporaryFolder();
    ASSERT_FALSE(temp.empty());
    const std::wstring unpacked = temp + L"\\Rar$EXa4712.31 Mivora 词汇";
    ASSERT_TRUE(CreateDirectoryW(unpacked.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    wchar_t shortForm[MAX_PATH] = {};
    const DWORD shortLength = GetShortPathNameW(unpacked.c_str(), shortForm, MAX_PATH);
    const std::wstring sibling = temp + L"2";
    const std::wstring parent = temp.substr(0, temp.rfind(L'\\'));

    struct Case {
        std::wstring folder;
        bool inside;
    };
    const Case cases[] = {
        {temp, true},
        {temp + L"\\", true},
        {unpacked, true},
        {unpacked + L"\\dic", true},
        {upperCase(unpacked), true},
        {temp + L"\\x\\..\\7zO1A2B", true},
        {std::wstring(shortForm, shortLength), shortLength != 0},
        {sibling, false},
        {sibling + L"\\Mivora", false},
        {parent, false},
        {L"C:\\windows", false},
        {L"", false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(insideTemporaryFolder(cases[i].folder), cases[i].inside) << "case " << i;
    RemoveDirectoryW(unpacked.c_str());
}

// A log-on would start nothing: the folder is gone by then.
TEST_F(SettingsWinTest, NoRunValueIsWrittenForAProgramInTheTemporaryFolder)
{
    const std::wstring unpacked = temporaryFolder() + L"\\7zO0815\\Mivora.exe";
    const std::wstring elsewhere = L"D:\\Mivora\\Mivora.exe";
    writeRunValue(std::nullopt);
    EXPECT_EQ(applyRunRegistration(true, unpacked), RunRegistration::unchanged);
    EXPECT_FALSE(readRunValue().has_value());

    // The program unpacked elsewhere keeps its value.
    EXPECT_EQ(applyRunRegistration(true, elsewhere), RunRegistration::written);
    const std::optional<RegValue> kept = readRunValue();
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(applyRunRegistration(true, unpacked), RunRegistration::unchanged);
    const std::optional<RegValue> after = readRunValue();
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->data, kept->data);
    // Off is off wherever the program runs.
    EXPECT_EQ(applyRunRegistration(false, unpacked), RunRegistration::deleted);
    EXPECT_FALSE(readRunValue().has_value());
}

// The settings file beside its folder, a drive's root included; a path that
// would not fit a 260-unit buffer with its terminator names no file.
TEST(SettingsFilePath, IsTheFolderWithTheFileNameWhenItFits)
{
    const std::wstring longest(kPathUnits - 1 - 11, L'x');  // with "\mivora.bin": 259 units
    const struct {
        std::wstring folder;
        std::wstring file;
    } cases[] = {
        {L"C:\\", L"C:\\mivora.bin"},
        {L"D:\\Tools\\Mivora", L"D:\\Tools\\Mivora\\mivora.bin"},
        {L"", L""},
        {L"C:\\" + longest.substr(3), L"C:\\" + longest.substr(3) + L"\\mivora.bin"},
        {L"C:\\" + longest.substr(3) + L"y", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(settingsFilePath(c.folder).wstring(), c.file) << c.folder.size();
}
