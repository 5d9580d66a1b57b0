// loadSettingsIn/saveSettings against the real executable directory and the
// registry. Every test puts the Run value and the settings file back as it
// found them: a Run value left behind would start this test at the next log-on.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
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

// The unix path of a Windows path under Wine (another name for the same
// folder, through the Z: drive, as a junction gives one on Windows); empty
// elsewhere.
std::wstring zDrivePath(const std::wstring& path)
{
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return {};
    char* name = unixName(path.c_str());
    if (name == nullptr) return {};
    std::wstring z(MAX_PATH * 4, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, name, -1, z.data(), static_cast<int>(z.size()));
    HeapFree(GetProcessHeap(), 0, name);
    if (length <= 1) return {};
    z.resize(static_cast<std::size_t>(length) - 1);
    std::replace(z.begin(), z.end(), L'/', L'\\');
    return L"Z:" + z;
}

// Sets TMP (which GetTempPathW reads first) for the test's life.
class TemporaryVariable {
public:
    explicit TemporaryVariable(const std::wstring& value)
    {
        wchar_t old[MAX_PATH + 1] = {};
        const DWORD length = GetEnvironmentVariableW(L"TMP", old, MAX_PATH + 1);
        if (length != 0 && length <= MAX_PATH) old_ = std::wstring(old, length);
        SetEnvironmentVariableW(L"TMP", value.c_str());
    }
    ~TemporaryVariable() { SetEnvironmentVariableW(L"TMP", old_ ? old_->c_str() : nullptr); }

private:
    std::optional<std::wstring> old_;
};

// Where archive programs unpack an .exe they run: WinRAR's Rar$EX folders,
// 7-Zip's 7zO, Explorer's "Temp1_<zip name>". Also with TMP set to a long
// name given in its short form, and the other way round.
TEST(TemporaryFolder, FoldersInsideItAreTakenInEveryFormAndNoOthers)
{
    const std::wstring systemTemp = temporaryFolder();
    ASSERT_FALSE(systemTemp.empty());
    const std::wstring longTemp = systemTemp + L"\\Mivora 临时文件夹 long name";
    ASSERT_TRUE(CreateDirectoryW(longTemp.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    wchar_t shortTemp[MAX_PATH] = {};
    const DWORD shortTempLength = GetShortPathNameW(longTemp.c_str(), shortTemp, MAX_PATH);
    ASSERT_NE(shortTempLength, 0u);
    ASSERT_NE(std::wstring(shortTemp, shortTempLength), longTemp) << "no short form to test with";

    for (const std::wstring& tmp : {longTemp, std::wstring(shortTemp, shortTempLength)}) {
        SCOPED_TRACE(tmp);
        const TemporaryVariable variable(tmp);
        const std::wstring temp = temporaryFolder();
        ASSERT_EQ(temp, tmp);
        const std::wstring unpacked = temp + L"\\Mivora 词汇";
        ASSERT_TRUE(CreateDirectoryW(unpacked.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        wchar_t shortForm[MAX_PATH] = {};
        const DWORD shortLength = GetShortPathNameW(unpacked.c_str(), shortForm, MAX_PATH);
        wchar_t longForm[MAX_PATH] = {};
        const DWORD longLength = GetLongPathNameW(unpacked.c_str(), longForm, MAX_PATH);
        const std::wstring sibling = temp + L"2";
        const std::wstring parent = temp.substr(0, temp.rfind(L'\\'));
        const std::wstring name = temp.substr(temp.rfind(L'\\') + 1);

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
            {std::wstring(shortForm, shortLength), true},
            {std::wstring(longForm, longLength), true},
            {parent + L"\\x\\..\\" + name + L"\\Mivora", true},
            {temp + L"\\..\\Mivora", false},
            {sibling, false},
            {sibling + L"\\Mivora", false},
            {parent, false},
            {L"C:\\windows", false},
            {L"", false},
        };
        for (std::size_t i = 0; i < std::size(cases); ++i)
            EXPECT_EQ(insideTemporaryFolder(cases[i].folder), cases[i].inside) << "case " << i;
        // The same folder under another name of the file system's.
        if (const std::wstring other = zDrivePath(unpacked); !other.empty()) {
            EXPECT_TRUE(insideTemporaryFolder(other)) << other;
            EXPECT_TRUE(runsFromArchive(other)) << other;
        }
        RemoveDirectoryW(unpacked.c_str());
    }
    RemoveDirectoryW(longTemp.c_str());
}

// The folders archive programs unpack into, under whatever temporary folder
// they were set to use, and folders that only look alike.
TEST(ArchiveFolder, IsKnownByTheNamesArchiveProgramsGiveIt)
{
    const struct {
        const wchar_t* folder;
        bool archive;
    } cases[] = {
        {L"D:\\Temp\\Rar$EXa2816.41203", true},
        {L"D:\\Temp\\rar$exa2816.41203\\Mivora 词汇", true},
        {L"C:\\Windows\\Temp\\7zO4E1F2C1D", true},
        {L"E:\\tmp\\7zOC0A8", true},
        {L"C:\\Users\\me\\AppData\\Local\\Temp\\BNZ.5f2e0c7a1b3d4e6f", true},
        {L"C:\\Users\\me\\AppData\\Local\\Temp\\360zip$Temp\\360$0\\Mivora", true},
        {L"D:\\Temp\\Temp1_Mivora 词汇.zip\\Mivora", true},
        {L"D:\\Temp\\Temp12_mivora.ZIP", true},
        {L"D:\\Tools\\Mivora", false},
        {L"D:\\Tools\\7zOptions", false},
        {L"D:\\Tools\\7zO", false},
        {L"D:\\Tools\\BNZ.", false},
        {L"D:\\Temp\\Temp_Mivora.zip", false},
        {L"D:\\Temp\\Temp1_Mivora", false},
        {L"D:\\Temp\\TempX_Mivora.zip", false},
        {L"D:\\Rar\\Mivora", false},
    };
    for (const auto& c : cases) EXPECT_EQ(runsFromArchive(c.folder), c.archive) << c.folder;
}

// Run from inside an archive, the Run value belongs to the copy the user
// installed: it is neither written for the vanishing copy (a log-on would
// start nothing) nor deleted because the archive's settings say off.
TEST_F(SettingsWinTest, AProgramRunFromAnArchiveLeavesTheRunValueAsItIs)
{
    const std::wstring installed = runCommand(L"D:\\Mivora\\Mivora.exe");
    const std::wstring archived[] = {
        temporaryFolder() + L"\\7zO0815\\Mivora.exe",
        temporaryFolder() + L"\\Mivora\\Mivora.exe",
        L"D:\\Temp\\Rar$EXa1.2\\Mivora.exe",
        L"C:\\Windows\\Temp\\Temp1_Mivora.zip\\Mivora\\Mivora.exe",
    };
    for (const std::wstring& module : archived) {
        for (const bool installedValue : {false, true}) {
            for (const bool autoStart : {false, true}) {
                SCOPED_TRACE(testing::Message() << module.c_str() << " value " << installedValue << " on " << autoStart);
                if (installedValue)
                    ASSERT_EQ(applyRunRegistration(true, L"D:\\Mivora\\Mivora.exe"), RunRegistration::written);
                else
                    writeRunValue(std::nullopt);
                EXPECT_EQ(applyRunRegistration(autoStart, module), RunRegistration::unchanged);
                const std::optional<RegValue> after = readRunValue();
                ASSERT_EQ(after.has_value(), installedValue);
                if (after) {
                    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(after->data.data())), installed);
                }
                writeRunValue(std::nullopt);
            }
        }
    }
    // Unpacked elsewhere, on and off are carried out.
    EXPECT_EQ(applyRunRegistration(true, L"D:\\Mivora\\Mivora.exe"), RunRegistration::written);
    EXPECT_EQ(applyRunRegistration(false, L"D:\\Mivora\\Mivora.exe"), RunRegistration::deleted);
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
