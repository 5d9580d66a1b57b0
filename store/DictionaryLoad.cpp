// The load of a word list into the word store: the file read whole, decoded
// by the list format's rules, and its lines added to a learning list of its
// own that is swapped in at the end.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "store/WordGet.h"
#include "store/files/FileReplace.h"
#include "store/lists/DictionaryFormat.h"
#include "store/text/Text.h"

namespace {

// Line feeds in `text`, to size the index once. Counting in 16 bits over
// stretches short enough not to overflow lets the compiler compare many units
// per instruction.
std::size_t countLineFeeds(std::u16string_view text) noexcept
{
    std::size_t total = 0;
    for (std::size_t at = 0; at < text.size(); at += 0xFFFF) {
        const std::size_t end = std::min(text.size(), at + 0xFFFF);
        std::uint16_t count = 0;
        for (std::size_t i = at; i < end; ++i) count = static_cast<std::uint16_t>(count + (text[i] == u'\n'));
        total += count;
    }
    return total;
}

// Adds the words of a dictionary text to a lane of its own; returns the lines
// that count, duplicates included. The lane must keep `text` (keepText): its
// nodes point into it wherever a line's pieces lie as they are stored.
std::size_t addLines(std::u16string_view text, WordLane& lane)
{
    // Every line is a possible word: size the index once.
    lane.reserve(countLineFeeds(text) + 1);

    // Parsed lines wait in a short queue before they are added: the index
    // slot of each is fetched into the cache while the ones before it are
    // added, so that a large index does not stall the load once per word.
    // The order is kept, and with it the rule that the first of two equal
    // words wins.
    struct Pending {
        WordFields fields;
        std::size_t hash;
        bool inText;
        char16_t phonetic[kPhoneticUnits];
    };
    constexpr std::size_t kAhead = 8;
    Pending queue[kAhead];
    std::size_t parsed = 0;  // line k waits in queue[k % kAhead]
    const auto addLine = [&](std::size_t k) {
        const Pending& pending = queue[k % kAhead];
        if (pending.inText)
            lane.addInText(pending.fields, pending.hash);
        else
            lane.add(pending.fields, WordLane::Allocation::bulk, pending.hash);
    };

    DictionaryScanner scanner(text);
    std::u16string_view line;
    bool counts;
    DictionaryLineParts parts;
    while (scanner.next(line, counts, parts)) {
        if (!counts) continue;
        if (parsed >= kAhead) addLine(parsed - kAhead);  // frees the queue entry for this line
        // Usually the node points at the line's own units. A line whose word
        // or transcription had to be cut gets a node with copies, the
        // transcription bracketed in a few units of its own.
        Pending& pending = queue[parsed % kAhead];
        pending.fields = WordFields{parts.word, parts.transcription, parts.content};
        pending.inText = WordLane::laidOutInText(pending.fields);
        if (!pending.inText && !parts.transcription.empty())
            pending.fields.phonetic =
                std::u16string_view(pending.phonetic, bracketed(parts.transcription, pending.phonetic));
        pending.hash = WordLane::hashOf(parts.word);
        lane.prefetch(pending.hash);
        ++parsed;
    }
    for (std::size_t k = parsed > kAhead ? parsed - kAhead : 0; k < parsed; ++k) addLine(k);
    return parsed;
}

// The counted lines of `text` in the order asked for, one after the other,
// each ending in a line feed: the load then runs on this text as on the
// file's own.
std::shared_ptr<std::u16string> reorderedText(std::u16string_view text, std::u16string_view name,
                                              const ListOrderChoice& choice)
{
    std::vector<std::u16string_view> lines;
    std::vector<std::u16string_view> words;
    DictionaryScanner scanner(text);
    std::u16string_view line;
    bool counts;
    DictionaryLineParts parts;
    while (scanner.next(line, counts, parts)) {
        if (!counts) continue;
        lines.push_back(line);
        words.push_back(parts.word);
    }
    auto ordered = std::make_shared<std::u16string>();
    ordered->reserve(text.size() + lines.size());
    for (std::size_t at : orderPositions(words, name, choice)) {
        ordered->append(lines[at]);
        if (lines[at].empty() || lines[at].back() != u'\n') ordered->push_back(u'\n');
    }
    return ordered;
}

}  // namespace

void WordGet::loadDictionary(std::u16string_view name, const ListOrderChoice& order)
{
    std::vector<std::filesystem::path> directories;
    {
        std::lock_guard guard(lock_);
        directories = dictionaryDirectories_;
        if (directories.empty() && !directory_.empty()) directories.push_back(directory_);
    }

    // Everything from here to the swap works on a list of its own, without
    // the lock: the UI thread goes on navigating the old list meanwhile.
    Lane fresh;
    std::int64_t lines = 0;
    bool loaded = false;
    std::filesystem::path fileName;
    // The name comes from the settings file: only a plain name inside `dic`.
    if (!directories.empty() && isPlainFileName(name) && makeFileName(name, u".txt", fileName)) {
        try {
            FileContent file;
            const auto readFirst = [&] {
                for (const std::filesystem::path& directory : directories) {
                    if (readWholeFile(directory / fileName, file)) return true;
                }
                return false;
            };
            if (readFirst()) {
                // As decodeDictionaryText reads the bytes, but UTF-16 text,
                // the usual case, is used where it was read.
                // The lane keeps the text, since its nodes point into it.
                auto decoded = std::make_shared<std::u16string>();
                std::size_t firstUnit;
                std::u16string_view text;
                if (decodeIfNotUtf16(file.view(), *decoded, firstUnit)) {
                    file = FileContent{};
                    text = *decoded;
                    fresh.keepText(std::move(decoded));
                } else {
                    decoded.reset();
                    char16_t* const units = file.units.get() + firstUnit;
                    const std::size_t size = file.bytes / 2 - firstUnit;
                    if (!isLittleEndianHost()) {
                        for (std::size_t i = 0; i < size; ++i)
                            units[i] = static_cast<char16_t>(((units[i] & 0xFF) << 8) | (units[i] >> 8));
                    }
                    text = std::u16string_view(units, size);
                    fresh.keepText(std::shared_ptr<const char16_t[]>(std::move(file.units)));
                }
                if (order.order != ListOrder::original) {
                    auto ordered = reorderedText(text, name, order);
                    text = *ordered;
                    fresh.keepText(std::move(ordered));
                }
                lines = static_cast<std::int64_t>(addLines(text, fresh));
                loaded = true;
            }
        } catch (const std::bad_alloc&) {
            // A file too big for memory is treated like one that cannot be
            // opened: nothing changes.
            loaded = false;
        }
    }
    const std::int32_t today = loaded ? this->today() : 0;

    {
        std::lock_guard guard(lock_);
        if (loaded) {
            fresh.dropWordsOf(remembered_);
            learning_.swap(fresh);
            recomputeCycleEndLocked();
            header_.learningCount = lines > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(lines);
            header_.startDate = today;
            header_.lastDate = today;
            markDirtyLocked();
        }
        if (!learning_.empty()) learning_.front()->copyTo(current_);
    }
    // A new list chosen: a word sent back or deleted before it follows
    // the new list on every PC.
    if (loaded) recordListChosen(today);
    // `fresh` now holds the old learning list; it is freed here, outside the
    // lock.
}
