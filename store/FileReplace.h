// The store's file layer: opening by full Unicode path, reading a whole file,
// and replacing a file atomically. The platform halves are
// FileReplace_posix.cpp and FileReplace_win.cpp; nothing else in the core
// touches the operating system's file API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

// fopen by a path that may hold any Unicode character (_wfopen on Windows).
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// A file name made of `name` followed by `extension`, both UTF-16. False when
// no such name can be formed (a zero unit inside, or text that the platform
// cannot represent); such a file counts as one that cannot be opened.
bool makeFileName(std::u16string_view name, std::u16string_view extension, std::filesystem::path& out);

// Pushes the C library's buffer and the operating system's cache of `file` to
// the disk.
bool flushToDisk(std::FILE* file);

// Replaces `target` by `source` in one step: afterwards `target` holds either
// its old or its new content, never a mixture.
bool replaceFile(const std::filesystem::path& source, const std::filesystem::path& target);

// Today's local date as yyyymmdd.
std::int32_t todayDate();

// The whole content of a file, held in memory aligned for UTF-16 units so
// that a UTF-16 text can be used where it was read, without a copy. The
// buffer is not zero-filled before the read: a big file is written once.
struct FileContent {
    std::unique_ptr<char16_t[]> units;  // the bytes as on disk, two to a unit
    std::size_t bytes = 0;
    std::string_view view() const noexcept { return {reinterpret_cast<const char*>(units.get()), bytes}; }
};
// False when the file cannot be opened or read. May throw bad_alloc.
bool readWholeFile(const std::filesystem::path& path, FileContent& content);

// Fault injection for tests of the progress save: every fallible step of a
// save (create, each write, flush, close, replace) asks failStep() first. With
// failNthFileStep(n), n >= 1, the n-th step from then on fails; 0 turns it off.
void failNthFileStep(int n);
bool failStep();
