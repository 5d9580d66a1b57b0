#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <string>
#include <string_view>

#include "Settings.h"
#include "SettingsFile.h"
#include "win/Handles.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// The executable's full path, or an empty string if it does not fit
// kPathUnits: a cut-off path would name some other file.
std::wstring modulePath()
{
    wchar_t buffer[kPathUnits] = {};
    DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(kPathUnits));
    // On truncation the result is the buffer size (and older systems do not
    // even terminate it), so a path that fills the buffer counts as too long.
    if (length == 0 || length >= kPathUnits) return {};
    return std::wstring(buffer, length);
}

// `path` made full and, where it exists, in its long form (the temporary
// folder often comes as C:\Users\ADMINI~1\...), without a final backslash.
std::wstring longFullPath(const std::wstring& path)
{
    if (path.empty()) return {};
    std::wstring full(kPathUnits, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), kPathUnits, full.data(), nullptr);
    if (length == 0 || length >= kPathUnits) return {};
    full.resize(length);
    // A folder not made yet (the program's "dic") has no long form: the
    // longest part of the path that exists is made long, the rest kept.
    for (std::size_t end = full.size(); end != std::wstring::npos && end > 0; end = full.rfind(L'\\', end - 1)) {
        const std::wstring existing = full.substr(0, end);
        std::wstring longForm(kPathUnits, L'\0');
        length = GetLongPathNameW(existing.c_str(), longForm.data(), kPathUnits);
        if (length == 0 || length >= kPathUnits) continue;
        longForm.resize(length);
        full = longForm + full.substr(end);
        break;
    }
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
}

bool sameFileName(const wchar_t* a, const wchar_t* b, std::size_t units)
{
    return CompareStringOrdinal(a, static_cast<int>(units), b, static_cast<int>(units), TRUE) == CSTR_EQUAL;
}

bool startsWithName(std::wstring_view name, std::wstring_view prefix)
{
    return name.size() >= prefix.size() && sameFileName(name.data(), prefix.data(), prefix.size());
}

bool endsWithName(std::wstring_view name, std::wstring_view suffix)
{
    return name.size() >= suffix.size() &&
           sameFileName(name.data() + name.size() - suffix.size(), suffix.data(), suffix.size());
}

bool hexDigits(std::wstring_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return std::iswxdigit(c) != 0; });
}

// `path` as the file system finally names it, junctions and symbolic links
// followed (a temporary folder moved to another drive is often reached
// through one); empty when it cannot be opened.
std::wstring finalPath(const std::wstring& path)
{
    if (path.empty()) return {};
    HANDLE opened =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return {};
    const UniqueHandle file(opened);
    constexpr DWORD kUnits = 32768;
    std::wstring final(kUnits, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file.get(), final.data(), kUnits, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= kUnits) return {};
    final.resize(length);
    // \\?\C:\... and \\?\UNC\server\share\... in the form the other paths have.
    constexpr std::wstring_view unc = L"\\\\?\\UNC\\";
    constexpr std::wstring_view local = L"\\\\?\\";
    if (startsWithName(final, unc))
        final.replace(0, unc.size(), L"\\\\");
    else if (startsWithName(final, local))
        final.erase(0, local.size());
    while (final.size() > 3 && final.back() == L'\\') final.pop_back();
    return final;
}

// Whether `inner` is `parent` or lies inside it, both full paths.
bool containedIn(const std::wstring& inner, const std::wstring& parent)
{
    if (parent.empty() || inner.size() < parent.size()) return false;
    if (!sameFileName(inner.c_str(), parent.c_str(), parent.size())) return false;
    // C:\Users\me\AppData\Local\Temp2 is not inside ...\Temp.
    return inner.size() == parent.size() || inner[parent.size()] == L'\\' || parent.back() == L'\\';
}

// Whether any folder of the full path `path` carries a name that only an
// archive program gives the folder it unpacks a program into to run it.
bool namedByArchiveProgram(const std::wstring& path)
{
    std::size_t begin = 0;
    while (begin < path.size()) {
        std::size_t end = path.find(L'\\', begin);
        if (end == std::wstring::npos) end = path.size();
        if (archiveFolderName(std::wstring_view(path).substr(begin, end - begin))) return true;
        begin = end + 1;
    }
    return false;
}

}  // namespace

bool archiveFolderName(std::wstring_view name)
{
    // WinRAR: Rar$EXa2816.41203.
    if (startsWithName(name, L"Rar$EX")) return true;
    // 7-Zip: 7zO4E1F2C1D.
    if (startsWithName(name, L"7zO") && hexDigits(name.substr(3))) return true;
    // Bandizip: BNZ.5f2e0c7a1b3d4e6f.
    if (startsWithName(name, L"BNZ.") && name.size() > 4) return true;
    // 360压缩: 360zip$Temp\360$0.
    if (startsWithName(name, L"360zip$")) return true;
    // Explorer's zip folders: Temp1_词汇 Mivora.zip (Temp2_ for a second one).
    if (!startsWithName(name, L"Temp") || !endsWithName(name, L".zip")) return false;
    std::size_t digits = 4;
    while (digits < name.size() && name[digits] >= L'0' && name[digits] <= L'9') ++digits;
    return digits > 4 && digits < name.size() && name[digits] == L'_';
}

bool insideTemporaryFolder(const std::wstring& folder)
{
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) return false;
    if (containedIn(longFullPath(folder), longFullPath(temporary))) return true;
    // Either of them may be reached through a junction.
    const std::wstring inner = finalPath(longFullPath(folder));
    return !inner.empty() && containedIn(inner, finalPath(longFullPath(temporary)));
}

bool runsFromArchive(const std::wstring& folder)
{
    if (insideTemporaryFolder(folder)) return true;
    const std::wstring full = longFullPath(folder);
    return namedByArchiveProgram(full) || namedByArchiveProgram(finalPath(full));
}

std::wstring runCommand(const std::wstring& module)
{
    // A Windows path holds no double quote, so no escaping is needed.
    std::wstring command;
    command.reserve(module.size() + 2);
    command.push_back(L'"');
    command.append(module);
    command.push_back(L'"');
    return command;
}

std::filesystem::path settingsFilePath(const std::filesystem::path& folder)
{
    if (folder.empty()) return {};
    std::filesystem::path file = folder / kSettingsFileName;
    if (file.native().size() + 1 > kPathUnits) return {};
    return file;
}

std::filesystem::path programFolder()
{
    const std::wstring module = modulePath();
    if (module.empty()) return {};
    return std::filesystem::path(module).parent_path();
}

void loadSettingsIn(SettingsRecord& settings, const std::filesystem::path& folder, std::int32_t maximizedWidth)
{
    std::filesystem::path file = settingsFilePath(folder);
    if (file.empty()) {
        applyDefaultSettings(settings, maximizedWidth);
        return;
    }
    loadSettingsFile(file, settings, maximizedWidth);
}

bool saveSettings(const SettingsRecord& settings, const std::filesystem::path& folder)
{
    std::filesystem::path file = settingsFilePath(folder);
    const bool written = !file.empty() && saveSettingsFile(file, settings);
    // The registration follows autoStart even when the file could not be
    // written, so it is repaired at every save.
    applyRunRegistration(settings.autoStart != 0);
    return written;
}

namespace {

// The value as it is now: present or not, and its text when it is a string.
struct RunValue {
    bool present = false;
    std::wstring text;
};

UniqueRegKey openRunKey(REGSAM access)
{
    HKEY key = nullptr;
    return UniqueRegKey(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, access, &key) == ERROR_SUCCESS ? key
                                                                                                        : nullptr);
}

RunValue readRunValue(HKEY key)
{
    RunValue value;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, kRunValueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return value;
    value.present = true;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes == 0) return value;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, kRunValueName, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) !=
        ERROR_SUCCESS)
        return value;
    // The stored text need not end with a terminator; it ends at the first.
    text.resize(wcsnlen(text.c_str(), bytes / sizeof(wchar_t)));
    value.text = std::move(text);
    return value;
}

}  // namespace

// The security programs common in China ask the user about every write to
// the Run key, so the key is only read unless the value must change, and it
// is opened with no more rights than that needs.
RunRegistration applyRunRegistration(bool autoStart)
{
    return applyRunRegistration(autoStart, modulePath());
}

RunRegistration applyRunRegistration(bool autoStart, const std::wstring& module)
{
    std::wstring wanted;
    if (autoStart) {
        // Quoted: Windows reads the value as a command line, and an unquoted
        // "D:\My Tools\Mivora.exe" would start "D:\My.exe" if anyone put one
        // there. A value of an earlier version, without quotes, differs and
        // is replaced.
        if (module.empty()) return RunRegistration::failed;
        wanted = runCommand(module);
    }
    // Run from inside an archive: its settings (the archive's, or the
    // defaults of a first run) say nothing about the copy the user
    // installed, whose value this is. A value for this copy would start
    // nothing at the next log-on (the folder is gone by then), and deleting
    // the installed copy's would end its start at log-on.
    const std::size_t slash = module.rfind(L'\\');
    if (slash != std::wstring::npos && runsFromArchive(module.substr(0, slash))) return RunRegistration::unchanged;

    if (const UniqueRegKey key = openRunKey(KEY_QUERY_VALUE)) {
        const RunValue now = readRunValue(key.get());
        if (autoStart ? now.present && now.text == wanted : !now.present) return RunRegistration::unchanged;
    } else if (!autoStart) {
        return RunRegistration::unchanged;  // no key, so no value to delete
    }

    if (autoStart) {
        // The key exists on every Windows, but a cleaned-up profile may lack it.
        HKEY created = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                            &created, nullptr) != ERROR_SUCCESS)
            return RunRegistration::failed;
        const UniqueRegKey key(created);
        const DWORD bytes = static_cast<DWORD>((wanted.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key.get(), kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(wanted.c_str()),
                              bytes) == ERROR_SUCCESS
                   ? RunRegistration::written
                   : RunRegistration::failed;
    }
    const UniqueRegKey key = openRunKey(KEY_SET_VALUE);
    if (!key) return RunRegistration::failed;
    return RegDeleteValueW(key.get(), kRunValueName) == ERROR_SUCCESS ? RunRegistration::deleted
                                                                      : RunRegistration::failed;
}
