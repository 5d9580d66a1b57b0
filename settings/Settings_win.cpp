#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>

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
    std::wstring longForm(kPathUnits, L'\0');
    length = GetLongPathNameW(full.c_str(), longForm.data(), kPathUnits);
    if (length != 0 && length < kPathUnits) {
        longForm.resize(length);
        full = std::move(longForm);
    }
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
}

bool sameFileName(const wchar_t* a, const wchar_t* b, std::size_t units)
{
    return CompareStringOrdinal(a, static_cast<int>(units), b, static_cast<int>(units), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool insideTemporaryFolder(const std::wstring& folder)
{
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) return false;
    const std::wstring parent = longFullPath(temporary);
    const std::wstring inner = longFullPath(folder);
    if (parent.empty() || inner.size() < parent.size()) return false;
    if (!sameFileName(inner.c_str(), parent.c_str(), parent.size())) return false;
    // C:\Users\me\AppData\Local\Temp2 is not inside ...\Temp.
    return inner.size() == parent.size() || inner[parent.size()] == L'\\' || parent.back() == L'\\';
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
        // Gone after this run: a log-on would start nothing, or whatever
        // took its name.
        const std::size_t slash = module.rfind(L'\\');
        if (slash != std::wstring::npos && insideTemporaryFolder(module.substr(0, slash)))
            return RunRegistration::unchanged;
        wanted = runCommand(module);
    }

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
