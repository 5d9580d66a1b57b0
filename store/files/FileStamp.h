// A file's size and last-write time, read without opening it: what tells
// whether another program has replaced a file since it was last seen.
#pragma once

#include <cstdint>
#include <filesystem>

// What the file system says of a file without opening it. The last-write
// time is the platform's own, at its full resolution.
struct FileStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t writeTime = 0;
    bool operator==(const FileStamp&) const = default;
};
// False when the file's attributes cannot be read (other than for a file
// that is not there, which gives a stamp with `exists` false).
bool readFileStamp(const std::filesystem::path& path, FileStamp& stamp);
