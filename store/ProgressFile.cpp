// The progress file DAvud.bin: a 24-byte header and 1664-byte records, the
// remembered list first, then the learning list.
#include <algorithm>
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
// Records read with one call: big enough that the C library copies straight
// from the file into them, small enough to stay in the cache.
constexpr std::uint32_t kBatchRecords = 64;

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
            // A file shorter than a header holds no progress at all.
            if (std::fread(&header, sizeof header, 1, file.get()) == 1) {
                // The counts only bound the reading; the file's end decides.
                // Nothing is allocated up front from what the header claims,
                // only from what the file can really hold.
                std::error_code error;
                const std::uintmax_t bytes = std::filesystem::file_size(path, error);
                std::uintmax_t recordsInFile = error || bytes < sizeof header ? 0 : (bytes - sizeof header) / sizeof(WordEntry);
                try {
                    // Records are read a batch at a time; a node takes only
                    // the texts of its record.
                    const auto batch = std::make_unique<WordEntry[]>(kBatchRecords);
                    WordFields fields[kBatchRecords];
                    std::size_t hashes[kBatchRecords];
                    const auto readSection = [&](std::uint32_t records, Lane& into, const Lane* unlessIn) {
                        const std::uintmax_t expected = std::min<std::uintmax_t>(records, recordsInFile);
                        into.reserve(static_cast<std::size_t>(expected));
                        recordsInFile -= expected;
                        while (records > 0) {
                            const std::size_t wanted = std::min<std::uint32_t>(records, kBatchRecords);
                            const std::size_t got = std::fread(batch.get(), sizeof(WordEntry), wanted, file.get());
                            // The index slots of the whole batch are fetched
                            // before the first record is added, so that their
                            // cache misses overlap.
                            for (std::size_t i = 0; i < got; ++i) {
                                fields[i] = fieldsOf(batch[i]);
                                hashes[i] = Lane::hashOf(fields[i].word);
                                into.prefetch(hashes[i]);
                                if (unlessIn != nullptr)
                                    unlessIn->prefetch(hashes[i]);
                            }
                            for (std::size_t i = 0; i < got; ++i) {
                                if (unlessIn == nullptr || unlessIn->find(fields[i].word, hashes[i]) == nullptr)
                                    into.add(fields[i], Lane::Allocation::bulk, hashes[i]);
                            }
                            if (got < wanted)
                                break;  // the end of the file, or a torn record
                            records -= static_cast<std::uint32_t>(got);
                        }
                    };
                    readSection(static_cast<std::uint32_t>(header.rememberedCount), remembered, nullptr);
                    // A word in both sections stays remembered.
                    readSection(static_cast<std::uint32_t>(header.learningCount), learning, &remembered);
                } catch (const std::bad_alloc&) {
                    // Keep what fitted into memory.
                }
            } else {
                header = ProgressHeader{};
            }
            file.reset();

            // The counters tell what is really loaded, not what a torn or
            // hand-edited header claimed.
            header.rememberedCount = clampedCount(remembered.size());
            header.learningCount = clampedCount(learning.size());
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
    if (!learning_.empty())
        learning_.front()->copyTo(current_);
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
    header.rememberedCount = clampedCount(remembered_.size());
    header.learningCount = clampedCount(learning_.size());

    bool ok = false;
    if (!failStep()) {
        if (File file{openFile(temporary, "wb")}) {
            std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 18);
            ok = !failStep() && std::fwrite(&header, sizeof header, 1, file.get()) == 1;
            WordEntry record;
            for (const Lane* lane : {&remembered_, &learning_}) {
                for (const Node* node = lane->front(); ok && node != nullptr; node = node->next) {
                    node->copyTo(record);
                    ok = !failStep() && std::fwrite(&record, sizeof record, 1, file.get()) == 1;
                }
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
