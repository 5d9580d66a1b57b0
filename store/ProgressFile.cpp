// The progress file DAvud.bin: a 24-byte header and 1664-byte records, the
// remembered list first, then the learning list.
#include <bit>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <system_error>

#include "FileReplace.h"
#include "Text.h"
#include "WordGet.h"

// The file is the byte image of the header and of the records, whose
// integers and text units are little-endian.
static_assert(std::endian::native == std::endian::little, "the progress file is read and written as a byte image");

namespace {

constexpr char16_t kProgressName[] = u"DAvud.bin";
constexpr char16_t kTemporaryName[] = u"DAvud.bin.tmp";

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::int32_t clampedCount(std::size_t count)
{
    return count > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(count);
}

}  // namespace

void WordGet::loadProgress(std::u16string_view fallbackName)
{
    std::filesystem::path directory;
    {
        std::lock_guard guard(lock_);
        directory = directory_;
    }

    if (!directory.empty()) {
        const std::filesystem::path path = directory / kProgressName;
        if (File file{openFile(path, "rb")}) {
            // Both lists are read into lists of their own, without the lock,
            // and swapped in at the end.
            Lane remembered;
            Lane learning;
            ProgressHeader header{};
            std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 16);
            // A file shorter than a header holds no progress at all.
            if (std::fread(&header, sizeof header, 1, file.get()) == 1) {
                // The counts only bound the reading; the file's end decides.
                // Nothing is allocated up front from what the header claims.
                try {
                    WordEntry entry;
                    const auto rememberedRecords = static_cast<std::uint32_t>(header.rememberedCount);
                    for (std::uint32_t i = 0; i < rememberedRecords; ++i) {
                        if (std::fread(&entry, sizeof entry, 1, file.get()) != 1)
                            break;
                        normalize(entry);
                        remembered.add(entry);
                    }
                    const auto learningRecords = static_cast<std::uint32_t>(header.learningCount);
                    for (std::uint32_t i = 0; i < learningRecords; ++i) {
                        if (std::fread(&entry, sizeof entry, 1, file.get()) != 1)
                            break;
                        normalize(entry);
                        // A word in both sections stays remembered.
                        if (!remembered.holds(foldedWord(std::u16string_view(
                                entry.word, boundedLength(entry.word, kWordUnits)))))
                            learning.add(entry);
                    }
                } catch (const std::bad_alloc&) {
                    // Keep what fitted into memory.
                }
            } else {
                header = ProgressHeader{};
            }
            file.reset();

            // The counters tell what is really loaded, not what a torn or
            // hand-edited header claimed.
            header.rememberedCount = clampedCount(remembered.nodes.size());
            header.learningCount = clampedCount(learning.nodes.size());
            std::lock_guard guard(lock_);
            remembered_.swap(remembered);
            learning_.swap(learning);
            header_ = header;
            recomputeCycleEndLocked();
        } else {
            // No progress saved yet: leave an empty file behind, but never
            // replace one that exists and merely could not be opened.
            std::error_code error;
            if (!std::filesystem::exists(path, error) && !error)
                File created{openFile(path, "wb")};
        }
    }

    bool nothingToLearn;
    {
        std::lock_guard guard(lock_);
        nothingToLearn = header_.learningCount == 0;
    }
    if (nothingToLearn)
        loadDictionary(fallbackName);

    std::lock_guard guard(lock_);
    if (!learning_.nodes.empty())
        current_ = learning_.nodes.front().entry;
}

bool WordGet::saveProgress()
{
    std::lock_guard guard(lock_);
    return saveProgressLocked();
}

// The new content goes to a temporary file beside the old one, which is then
// replaced in one step: a failure at any point leaves the old file as it was.
// The lock is held throughout, so the file holds one consistent state and
// `dirty` is cleared for exactly that state.
bool WordGet::saveProgressLocked()
{
    if (directory_.empty())
        return false;
    const std::filesystem::path target = directory_ / kProgressName;
    const std::filesystem::path temporary = directory_ / kTemporaryName;

    ProgressHeader header = header_;
    header.lastDate = todayDate();
    header.rememberedCount = clampedCount(remembered_.nodes.size());
    header.learningCount = clampedCount(learning_.nodes.size());

    bool ok = false;
    if (!failStep()) {
        if (File file{openFile(temporary, "wb")}) {
            std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 18);
            ok = !failStep() && std::fwrite(&header, sizeof header, 1, file.get()) == 1;
            for (const Lane* lane : {&remembered_, &learning_}) {
                for (auto node = lane->nodes.begin(); ok && node != lane->nodes.end(); ++node)
                    ok = !failStep() && std::fwrite(&node->entry, sizeof node->entry, 1, file.get()) == 1;
            }
            ok = ok && !failStep() && flushToDisk(file.get());
            const bool closed = std::fclose(file.release()) == 0;
            ok = ok && !failStep() && closed;
            ok = ok && !failStep() && replaceFile(temporary, target);
        }
    }
    if (!ok) {
        std::error_code error;
        std::filesystem::remove(temporary, error);
        return false;
    }
    header_ = header;
    dirty_ = false;
    return true;
}
