// Win32 half of the file layer.
#include "store/files/FileReplace.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <string>

#include "store/text/Wide.h"

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    // The mode is plain ASCII.
    std::wstring wideMode;
    for (const char* m = mode; *m; ++m) wideMode.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*m)));
    return _wfopen(path.c_str(), wideMode.c_str());
}

bool makeFileName(std::u16string_view name, std::u16string_view extension, std::filesystem::path& out)
{
    std::u16string full(name);
    full += extension;
    if (full.find(u'\0') != std::u16string::npos) return false;
    // The units go to the file system as they are; no code page is involved.
    out = std::filesystem::path(std::wstring(as_wcstr(full.c_str()), full.size()));
    return true;
}

bool flushToDisk(std::FILE* file)
{
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

namespace {

// A virus scanner looking at a file just closed (Defender scans on close),
// the search indexer, OneDrive (which syncs Desktop and Documents by
// default) and backup programs open a freshly written file for tens to
// hundreds of milliseconds without delete sharing. Replacing or deleting
// it then fails with a sharing violation or access denied; both are tried
// again for about a second before the failure counts.
constexpr DWORD kBusyRetryDelaysMs[] = {20, 40, 80, 160, 250, 450};

bool isBriefLock(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

// Runs `attempt` until it succeeds, fails for another reason, or the
// delays are used up; a delay that would end past `deadline` is not waited.
// GetLastError() afterwards is the last attempt's.
template <typename Attempt>
bool retryWhileLocked(Attempt attempt, const SaveDeadline& deadline)
{
    for (const DWORD delay : kBusyRetryDelaysMs) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if (!isBriefLock(error)) return false;
        if (deadline && std::chrono::steady_clock::now() + std::chrono::milliseconds(delay) > *deadline) {
            SetLastError(error);
            return false;
        }
        Sleep(delay);
    }
    return attempt();
}

}  // namespace

bool replaceFile(const std::filesystem::path& source, const std::filesystem::path& target, const SaveDeadline& deadline,
                 const std::function<bool()>& mayReplace)
{
    return retryWhileLocked(
        [&] {
            if (mayReplace && !mayReplace()) {
                // Not a brief lock: no retry.
                SetLastError(ERROR_CANCELLED);
                return false;
            }
            return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        },
        deadline);
}

bool renameNoReplace(const std::filesystem::path& source, const std::filesystem::path& target)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes the call fail.
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::filesystem::path& path, const SaveDeadline& deadline)
{
    // DeleteFileW refuses read-only files; the attribute goes first.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (retryWhileLocked([&] { return DeleteFileW(path.c_str()) != 0; }, deadline)) return true;
    // Put the attribute back on a file that stays.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesW(path.c_str(), attributes);
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}

std::int32_t todayDate()
{
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return local.wYear * 10000 + local.wMonth * 100 + local.wDay;
}

bool openForWritingElsewhere(const std::filesystem::path& path)
{
    // Opened for reading while others may only read it: a handle open for
    // writing refuses that with a sharing violation. A handle that only
    // reads does not; one that refuses reading makes the read fail first.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return false;
}
