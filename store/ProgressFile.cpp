// The progress file DAvud.bin: a 24-byte header and 1664-byte records, the
// remembered list first, then the learning list.
#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
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
// Where a progress file that could not be read completely is kept.
constexpr char16_t kKeptName[] = u"DAvud.bin.unreadable-";
constexpr int kKeptCopiesPerDay = 99;
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

// The 1664-byte record of one snapshot entry: texts, terminators, zero fill.
void putRecord(WordEntry& record, std::u16string_view units, const ProgressSnapshot::Record& r)
{
    const auto put = [](char16_t* field, std::size_t size, std::u16string_view text) {
        if (!text.empty())
            std::memcpy(field, text.data(), text.size() * sizeof(char16_t));
        std::memset(field + text.size(), 0, (size - text.size()) * sizeof(char16_t));
    };
    put(record.word, kWordUnits, units.substr(0, r.wordUnits));
    put(record.phonetic, kPhoneticUnits, units.substr(r.wordUnits, r.phoneticUnits));
    put(record.content, kContentUnits, units.substr(std::size_t{r.wordUnits} + r.phoneticUnits, r.contentUnits));
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
        File file{failStep() ? nullptr : openFile(path, "rb")};
        if (file) {
            // Both lists are read into lists of their own, without the lock,
            // and swapped in at the end.
            Lane remembered;
            Lane learning;
            ProgressHeader header{};
            // Whether everything the file holds is now in the lists; if not,
            // the file must never be replaced by them.
            bool complete = true;
            // A file shorter than a header holds no progress at all.
            if (!failStep() && std::fread(&header, sizeof header, 1, file.get()) == 1) {
                // The counts only bound the reading; the file's end decides.
                // Nothing is allocated up front from what the header claims,
                // only from what the file can really hold.
                std::error_code error;
                const std::uintmax_t bytes = std::filesystem::file_size(path, error);
                std::uintmax_t recordsInFile = error || bytes < sizeof header ? 0 : (bytes - sizeof header) / sizeof(WordEntry);
                bool endOfFile = false;
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
                        while (records > 0 && !endOfFile) {
                            const std::size_t wanted = std::min<std::uint32_t>(records, kBatchRecords);
                            const std::size_t got =
                                failStep() ? 0 : std::fread(batch.get(), sizeof(WordEntry), wanted, file.get());
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
                            if (got < wanted) {
                                // The end of the file (a torn last record is
                                // no record), or a failed read.
                                endOfFile = true;
                                complete = complete && std::feof(file.get()) && !std::ferror(file.get());
                            }
                            records -= static_cast<std::uint32_t>(got);
                        }
                    };
                    readSection(static_cast<std::uint32_t>(header.rememberedCount), remembered, nullptr);
                    // A word in both sections stays remembered.
                    readSection(static_cast<std::uint32_t>(header.learningCount), learning, &remembered);
                    // Whole records beyond what the counts cover (a damaged
                    // header) are progress too, although they are not loaded.
                    if (!endOfFile && recordsInFile > 0)
                        complete = false;
                    // Anything but a header and exactly the records it counts
                    // (a torn record, counts that are negative or do not match
                    // the size) is a damaged file: what it held cannot be
                    // known to be in the lists, so it is kept, not replaced.
                    const bool wellFormed = !error && bytes >= sizeof header &&
                                            (bytes - sizeof header) % sizeof(WordEntry) == 0 &&
                                            header.rememberedCount >= 0 && header.learningCount >= 0 &&
                                            std::uintmax_t{static_cast<std::uint32_t>(header.rememberedCount)} +
                                                    static_cast<std::uint32_t>(header.learningCount) ==
                                                (bytes - sizeof header) / sizeof(WordEntry);
                    if (!wellFormed)
                        complete = false;
                } catch (const std::bad_alloc&) {
                    // Keep what fitted into memory.
                    complete = false;
                }
            } else {
                // Only an empty file (the one a first start leaves) holds
                // nothing; a few bytes of a cut header are kept.
                std::error_code error;
                complete = !std::ferror(file.get()) && std::feof(file.get()) &&
                           std::filesystem::file_size(path, error) == 0 && !error;
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
            progressUnread_ = !complete;
            ++changes_;
            recomputeCycleEndLocked();
        } else {
            // No progress saved yet: leave an empty file behind, but never
            // replace one that exists and merely could not be opened (held
            // open by another program, no permission): that one is kept.
            std::error_code error;
            const bool missing = !std::filesystem::exists(path, error) && !error;
            if (missing)
                File created{openFile(path, "wb")};
            std::lock_guard guard(lock_);
            progressUnread_ = !missing;
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

bool WordGet::progressFileKeptBack() const
{
    std::lock_guard guard(lock_);
    return progressUnread_;
}

bool WordGet::saveProgress()
{
    const ProgressSnapshot snapshot = snapshotProgress();
    const bool written = writeProgress(snapshot);
    progressWritten(snapshot, written);
    return written;
}

ProgressSnapshot WordGet::snapshotProgress() const
{
    ProgressSnapshot snapshot;
    std::lock_guard guard(lock_);
    snapshot.directory = directory_;
    snapshot.version = changes_;
    snapshot.header = header_;
    snapshot.header.lastDate = todayDate();
    snapshot.header.rememberedCount = clampedCount(remembered_.size());
    snapshot.header.learningCount = clampedCount(learning_.size());
    // Nodes keep only their texts, so the copy is as small as the lists. A
    // node that points into a loaded dictionary keeps its transcription
    // without the square brackets the record carries.
    const auto recordPhoneticUnits = [](const Node* node) {
        return static_cast<std::uint16_t>(node->phoneticUnits + (node->inText && node->phoneticUnits != 0 ? 2 : 0));
    };
    std::size_t units = 0;
    for (const Lane* lane : {&remembered_, &learning_}) {
        for (const Node* node = lane->front(); node != nullptr; node = node->next)
            units += std::size_t{node->wordUnits} + recordPhoneticUnits(node) + node->contentUnits;
    }
    snapshot.units.reserve(units);
    snapshot.records.reserve(remembered_.size() + learning_.size());
    for (const Lane* lane : {&remembered_, &learning_}) {
        for (const Node* node = lane->front(); node != nullptr; node = node->next) {
            snapshot.units.append(node->word());
            const bool bracketed = node->inText && node->phoneticUnits != 0;
            if (bracketed) snapshot.units.push_back(u'[');
            snapshot.units.append(node->phonetic());
            if (bracketed) snapshot.units.push_back(u']');
            snapshot.units.append(node->content());
            snapshot.records.push_back({node->wordUnits, recordPhoneticUnits(node), node->contentUnits});
        }
    }
    return snapshot;
}

namespace {

// "DAvud.bin.unreadable-yyyymmdd", then "-2", "-3" ... for further files of
// the same day: none is ever replaced.
bool keepUnreadProgress(const std::filesystem::path& target, std::int32_t today)
{
    std::error_code error;
    if (!std::filesystem::exists(target, error) && !error)
        return true;  // gone meanwhile: nothing to keep
    for (int copy = 1; copy <= kKeptCopiesPerDay; ++copy) {
        std::u16string name = kKeptName;
        for (char c : std::to_string(today))
            name.push_back(static_cast<char16_t>(c));
        if (copy > 1) {
            name.push_back(u'-');
            for (char c : std::to_string(copy))
                name.push_back(static_cast<char16_t>(c));
        }
        std::filesystem::path kept;
        if (!makeFileName(name, u"", kept))
            return false;
        kept = target.parent_path() / kept;
        if (!failStep() && renameNoReplace(target, kept))
            return true;
        if (!std::filesystem::exists(kept, error) || error)
            return false;  // not a name taken: the file cannot be moved
    }
    return false;
}

}  // namespace

// The new content goes to a temporary file beside the old one, which is then
// replaced in one step: a failure at any point leaves the old file as it was.
bool WordGet::writeProgress(const ProgressSnapshot& snapshot)
{
    if (snapshot.directory.empty())
        return false;
    std::lock_guard saving(saveLock_);
    const std::filesystem::path target = snapshot.directory / kProgressName;
    const std::filesystem::path temporary = snapshot.directory / kTemporaryName;
    const ProgressHeader& header = snapshot.header;

    // A temporary file that a crash left behind is never read; it only
    // stands in the way (it may even be read-only), so it goes first.
    if (!removeFile(temporary))
        return false;
    bool ok = false;
    if (!failStep()) {
        if (File file{openFile(temporary, "wb")}) {
            std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 18);
            ok = !failStep() && std::fwrite(&header, sizeof header, 1, file.get()) == 1;
            WordEntry record;
            std::size_t at = 0;
            for (const ProgressSnapshot::Record& r : snapshot.records) {
                if (!ok)
                    break;
                const std::u16string_view units(snapshot.units.data() + at,
                                                std::size_t{r.wordUnits} + r.phoneticUnits + r.contentUnits);
                at += units.size();
                putRecord(record, units, r);
                ok = !failStep() && std::fwrite(&record, sizeof record, 1, file.get()) == 1;
            }
            ok = ok && !failStep() && flushToDisk(file.get());
            const bool closed = std::fclose(file.release()) == 0;
            ok = ok && !failStep() && closed;
        }
    }
    if (ok) {
        // A progress file that this run could not read completely holds
        // more than the lists: it is kept under a name of its own before the
        // new one takes its place, and if that cannot be done nothing
        // replaces it.
        bool keep;
        {
            std::lock_guard guard(lock_);
            keep = progressUnread_;
        }
        if (keep) {
            ok = keepUnreadProgress(target, header.lastDate);
            if (ok) {
                std::lock_guard guard(lock_);
                progressUnread_ = false;
            }
        }
    }
    ok = ok && !failStep() && replaceFile(temporary, target);
    if (!ok) {
        removeFile(temporary);
        return false;
    }
    return true;
}

void WordGet::progressWritten(const ProgressSnapshot& snapshot, bool written)
{
    if (!written)
        return;
    std::lock_guard guard(lock_);
    // The file's date is the date of its save, whatever happened since.
    header_.lastDate = snapshot.header.lastDate;
    if (changes_ == snapshot.version) {
        header_.rememberedCount = snapshot.header.rememberedCount;
        header_.learningCount = snapshot.header.learningCount;
        dirty_ = false;
    }
}
