// Win32 half of readFileStamp: the last-write time in 100-nanosecond units,
// as NTFS keeps it (the C library's stat would give whole seconds only).
#include <windows.h>

#include "store/files/FileStamp.h"

bool readFileStamp(const std::filesystem::path& path, FileStamp& stamp)
{
    stamp = FileStamp{};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    stamp.exists = true;
    stamp.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    stamp.writeTime = static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                                data.ftLastWriteTime.dwLowDateTime);
    return true;
}
