#include "FileReplace.h"

#include <algorithm>
#include <atomic>
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

bool readWholeFile(const std::filesystem::path& path, std::string& bytes)
{
    bytes.clear();
    std::unique_ptr<std::FILE, FileCloser> file(openFile(path, "rb"));
    if (!file)
        return false;
    // The size is only a hint for the first read (one more byte than it
    // says, to see the end at once); reading goes on until the end of the
    // file, whatever the size said.
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    std::size_t want = !error && size < (std::uintmax_t{1} << 31) ? static_cast<std::size_t>(size) + 1 : 1 << 16;
    for (;;) {
        const std::size_t old = bytes.size();
        bytes.resize(old + want);
        const std::size_t got = std::fread(bytes.data() + old, 1, want, file.get());
        bytes.resize(old + got);
        if (got < want)
            break;
        want = std::max<std::size_t>(want, 1 << 20);
    }
    return !std::ferror(file.get());
}
