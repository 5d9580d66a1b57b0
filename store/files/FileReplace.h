// The store's file layer: opening by full Unicode path, reading a whole file,
// and replacing a file atomically. The platform halves are
// FileReplace_posix.cpp and FileReplace_win.cpp; nothing else in the core
// touches the operating system's file API.
#pragma once

#include <atomic>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// fopen by a path that may hold any Unicode character (_wfopen on Windows).
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// An open file, closed when it goes out of scope. Where a failed close
// matters (the last write of a file), call std::fclose(file.release()).
struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// A file name made of `name` followed by `extension`, both UTF-16. False when
// no such name can be formed (a zero unit inside, or text that the platform
// cannot represent); such a file counts as one that cannot be opened.
bool makeFileName(std::u16string_view name, std::u16string_view extension, std::filesystem::path& out);

// Whether `name` can only name a file inside the folder it is looked up in:
// no separator (\ or /), no drive or stream colon, not "." or "..", and no
// Windows device name (CON, NUL, COM1 ...) before its first dot, which
// Windows opens as the device in any folder. A name from a settings file
// that fails this opens no file.
bool isPlainFileName(std::u16string_view name);

// Pushes the C library's buffer and the operating system's cache of `file` to
// the disk.
bool flushToDisk(std::FILE* file);

// The first half of saving a whole file: `bytes` written into `temporary`
// (made anew) and flushed to the disk, ready to be swapped in. False when any
// step fails; the temporary file is then left for the caller to remove.
// `steps`, in tests, fails or counts its steps (see FileSteps).
class FileSteps;
bool writeFlushed(const std::filesystem::path& temporary, std::string_view bytes, FileSteps* steps = nullptr);

// When a save must be over: at the end of a Windows session the program has
// a few seconds for everything, so the retries of a briefly held file stop
// there. Without one the retries take their own second.
using SaveDeadline = std::optional<std::chrono::steady_clock::time_point>;

// Whether `deadline` has passed.
inline bool pastDeadline(const SaveDeadline& deadline)
{
    return deadline && std::chrono::steady_clock::now() >= *deadline;
}

// Replaces `target` by `source` in one step: afterwards `target` holds either
// its old or its new content, never a mixture. `mayReplace`, when given, is
// asked before every attempt, the retries of a held file included; false
// ends the replace unmade.
bool replaceFile(const std::filesystem::path& source, const std::filesystem::path& target,
                 const SaveDeadline& deadline = {}, const std::function<bool()>& mayReplace = {});

// Gives `source` the name `target` unless a file of that name exists, which
// is never replaced. False when nothing was renamed.
bool renameNoReplace(const std::filesystem::path& source, const std::filesystem::path& target);

// Deletes a file, also one marked read-only. True when no file of that name
// is left (also when there was none).
bool removeFile(const std::filesystem::path& path, const SaveDeadline& deadline = {});

// Whether another program has `path` open for writing and keeps others from
// writing it meanwhile, as a download in place does: such a file is still
// being written. Where the platform cannot tell, false.
bool openForWritingElsewhere(const std::filesystem::path& path);

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

// Fault injection for tests of the progress file: every fallible step of a
// save (create, each write, flush, close, replace) and of a load (open, each
// read) of a store asks the store's FileSteps first. A store has none unless
// a test hands it one (WordGet::setFileSteps).
class FileSteps {
public:
    // With n >= 1, the n-th step from now fails; 0 turns it off.
    void failNth(int n) { untilFault_.store(n > 0 ? n : 0); }
    // Called at every step before it is answered, on the thread of the save
    // or load: tests count the steps, or hold a save part-way. nullptr
    // removes it.
    void setHook(void (*hook)()) { hook_.store(hook); }
    // One step: true when it is the one to fail.
    bool fail();
    // The flushes to the disk made through these steps: a write that must
    // reach the disk before it replaces a file shows it here.
    void countFlush() { ++flushes_; }
    int flushes() const { return flushes_.load(); }

private:
    std::atomic<int> untilFault_{0};
    std::atomic<void (*)()> hook_{nullptr};
    std::atomic<int> flushes_{0};
};

// flushToDisk, counted by `steps` when it went through.
inline bool flushCounted(std::FILE* file, FileSteps* steps)
{
    const bool flushed = flushToDisk(file);
    if (flushed && steps != nullptr) steps->countFlush();
    return flushed;
}

// A step of `steps`; with none, no step fails.
inline bool failStep(FileSteps* steps)
{
    return steps != nullptr && steps->fail();
}
