#include "FileReplace.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace {

std::atomic<int> stepsUntilFault{0};

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

void failNthFileStep(int n)
{
    stepsUntilFault.store(n > 0 ? n : 0);
}

bool failStep()
{
    int left = stepsUntilFault.load();
    while (left > 0) {
        if (stepsUntilFault.compare_exchange_weak(left, left - 1))
            return left == 1;
    }
    return false;
}

bool readWholeFile(const std::filesystem::path& path, FileContent& content)
{
    content = FileContent{};
    std::unique_ptr<std::FILE, FileCloser> file(openFile(path, "rb"));
    if (!file)
        return false;
    // The size is only a hint for the first read (one more byte than it
    // says, to see the end at once); reading goes on until the end of the
    // file, whatever the size said.
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    std::size_t capacity = !error && size < (std::uintmax_t{1} << 31) ? static_cast<std::size_t>(size) + 1 : 1 << 16;
    std::unique_ptr<char16_t[]> units(new char16_t[(capacity + 1) / 2]);
    std::size_t bytes = 0;
    for (;;) {
        bytes += std::fread(reinterpret_cast<char*>(units.get()) + bytes, 1, capacity - bytes, file.get());
        if (bytes < capacity)
            break;
        const std::size_t larger = capacity + std::max<std::size_t>(capacity, 1 << 20);
        std::unique_ptr<char16_t[]> grown(new char16_t[(larger + 1) / 2]);
        std::memcpy(grown.get(), units.get(), bytes);
        units = std::move(grown);
        capacity = larger;
    }
    if (std::ferror(file.get()))
        return false;
    content.units = std::move(units);
    content.bytes = bytes;
    return true;
}
