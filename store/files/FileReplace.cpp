#include "store/files/FileReplace.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {}  // namespace

bool FileSteps::fail()
{
    if (void (*const hook)() = hook_.load()) hook();
    int left = untilFault_.load();
    while (left > 0) {
        if (untilFault_.compare_exchange_weak(left, left - 1)) return left == 1;
    }
    return false;
}

bool isPlainFileName(std::u16string_view name)
{
    if (name == u"." || name == u"..") return false;
    for (const char16_t unit : name) {
        if (unit == u'\\' || unit == u'/' || unit == u':' || unit == u'\0') return false;
    }
    // Windows ignores spaces before the dot of a device name ("NUL .txt").
    std::u16string_view stem = name.substr(0, name.find(u'.'));
    while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
    std::string folded;
    for (const char16_t unit : stem) {
        if (unit == 0xB9 || unit == 0xB2 || unit == 0xB3) {
            folded.push_back(unit == 0xB9 ? '1' : unit == 0xB2 ? '2' : '3');
            continue;
        }
        if (unit > 0x7F) return true;  // no device name has other letters
        folded.push_back(static_cast<char>(unit >= u'a' && unit <= u'z' ? unit - u'a' + u'A' : unit));
    }
    static constexpr std::string_view devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view device : devices) {
        if (folded == device) return false;
    }
    // COM1-COM9 and LPT1-LPT9; also with the superscript digits ¹²³, which
    // Windows takes for the same ports.
    return !(folded.size() == 4 && (folded.starts_with("COM") || folded.starts_with("LPT")) && folded[3] >= '1' &&
             folded[3] <= '9');
}

bool readWholeFile(const std::filesystem::path& path, FileContent& content)
{
    content = FileContent{};
    UniqueFile file(openFile(path, "rb"));
    if (!file) return false;
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
        if (bytes < capacity) break;
        const std::size_t larger = capacity + std::max<std::size_t>(capacity, 1 << 20);
        std::unique_ptr<char16_t[]> grown(new char16_t[(larger + 1) / 2]);
        std::memcpy(grown.get(), units.get(), bytes);
        units = std::move(grown);
        capacity = larger;
    }
    if (std::ferror(file.get())) return false;
    content.units = std::move(units);
    content.bytes = bytes;
    return true;
}

bool writeFlushed(const std::filesystem::path& temporary, std::string_view bytes, FileSteps* steps)
{
    UniqueFile file{failStep(steps) ? nullptr : openFile(temporary, "wb")};
    if (!file) return false;
    bool ok = !failStep(steps) && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    ok = ok && !failStep(steps) && flushCounted(file.get(), steps);
    const bool closed = std::fclose(file.release()) == 0;
    return ok && !failStep(steps) && closed;
}
