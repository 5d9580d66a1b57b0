// POSIX half of readFileStamp.
#include <sys/stat.h>

#include <cerrno>

#include "store/files/FileStamp.h"

bool readFileStamp(const std::filesystem::path& path, FileStamp& stamp)
{
    stamp = FileStamp{};
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return errno == ENOENT || errno == ENOTDIR;
    stamp.exists = true;
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.writeTime = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return true;
}
