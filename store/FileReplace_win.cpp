// Win32 half of the file layer.
#include "FileReplace.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <string>

#include "Wide.h"

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    // The mode is plain ASCII.
    std::wstring wideMode;
    for (const char* m = mode; *m; ++m)
        wideMode.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*m)));
    return _wfopen(path.c_str(), wideMode.c_str());
}

bool makeFileName(std::u16string_view name, std::u16string_view extension, std::filesystem::path& out)
{
    std::u16string full(name);
    full += extension;
    if (full.find(u'\0') != std::u16string::npos)
        return false;
    // The units go to the file system as they are; no code page is involved.
    out = std::filesystem::path(std::wstring(as_wcstr(full.c_str()), full.size()));
    return true;
}

bool flushToDisk(std::FILE* file)
{
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool replaceFile(const std::filesystem::path& source, const std::filesystem::path& target)
{
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool renameNoReplace(const std::filesystem::path& source, const std::filesystem::path& target)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes the call fail.
    return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::filesystem::path& path)
{
    // DeleteFileW refuses read-only files; the attribute goes first.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (DeleteFileW(path.c_str()))
        return true;
    // Put the attribute back on a file that stays.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(path.c_str(), attributes);
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}

std::int32_t todayDate()
{
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return local.wYear * 10000 + local.wMonth * 100 + local.wDay;
}
