// POSIX half of the file layer.
#include "store/files/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "store/text/Text.h"

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

bool makeFileName(std::u16string_view name, std::u16string_view extension, std::filesystem::path& out)
{
    std::u16string full(name);
    full += extension;
    if (full.find(u'\0') != std::u16string::npos) return false;
    std::string bytes;
    if (!encodeUtf8(full, bytes)) return false;
    out = std::filesystem::path(bytes);
    return true;
}

bool flushToDisk(std::FILE* file)
{
    return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
}

bool replaceFile(const std::filesystem::path& source, const std::filesystem::path& target, const SaveDeadline&,
                 const std::function<bool()>& mayReplace)
{
    if (mayReplace && !mayReplace()) return false;
    if (std::rename(source.c_str(), target.c_str()) != 0) return false;
    // Make the rename itself durable; the replacement has happened either
    // way, so a directory that cannot be synced is no failure.
    const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

bool renameNoReplace(const std::filesystem::path& source, const std::filesystem::path& target)
{
    // A hard link fails on an existing name, which a plain rename would
    // silently replace.
    if (::link(source.c_str(), target.c_str()) == 0) {
        if (::unlink(source.c_str()) == 0) return true;
        ::unlink(target.c_str());
        return false;
    }
    if (errno == EEXIST) return false;
    // File systems without hard links: look first, then rename.
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0 || errno != ENOENT) return false;
    return std::rename(source.c_str(), target.c_str()) == 0;
}

bool removeFile(const std::filesystem::path& path, const SaveDeadline&)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::int32_t todayDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) return 0;
    return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

bool openForWritingElsewhere(const std::filesystem::path&)
{
    // Files here are not opened with sharing modes: nothing tells a writer.
    return false;
}
