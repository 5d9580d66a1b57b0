#include "DictionaryFormat.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "FileReplace.h"
#include "Text.h"
#include "WordGet.h"

namespace {

bool isLittleEndianHost()
{
    const std::uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

std::u16string utf16le(const char* bytes, std::size_t size)
{
    std::u16string text(size / 2, u'\0');
    if (text.empty())
        return text;
    if (isLittleEndianHost()) {
        std::memcpy(text.data(), bytes, text.size() * 2);
    } else {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes);
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    }
    return text;
}

// Length of the run at `from` of units that are not `|` (the scanset [^|]).
std::size_t notBar(std::u16string_view line, std::size_t from) noexcept
{
    std::size_t i = from;
    while (i < line.size() && line[i] != u'|')
        ++i;
    return i - from;
}

// Length of the run at `from` of units that end no content (the scanset
// [^\r^\n]: everything but CR, LF and the circumflex).
std::size_t contentRun(std::u16string_view line, std::size_t from) noexcept
{
    std::size_t i = from;
    while (i < line.size() && line[i] != u'\r' && line[i] != u'\n' && line[i] != u'^')
        ++i;
    return i - from;
}

bool barAt(std::u16string_view line, std::size_t at) noexcept
{
    return at < line.size() && line[at] == u'|';
}

// Decides how a dictionary's bytes are read. UTF-8 text is decoded into
// `decoded` (true); otherwise the bytes are UTF-16LE from unit `firstUnit`
// on, which skips a byte-order mark.
bool decodeIfUtf8(std::string_view bytes, std::u16string& decoded, std::size_t& firstUnit)
{
    firstUnit = 0;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        firstUnit = 1;
        return false;
    }
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) {
        decodeUtf8(bytes.substr(3), decoded);
        return true;
    }
    if (bytes.find('\0') == std::string_view::npos && decodeUtf8(bytes, decoded))
        return true;
    std::u16string().swap(decoded);
    return false;
}

// Line feeds in `text`, to size the index once. Counting in 16 bits over
// stretches short enough not to overflow lets the compiler compare many units
// per instruction.
std::size_t countLineFeeds(std::u16string_view text) noexcept
{
    std::size_t total = 0;
    for (std::size_t at = 0; at < text.size(); at += 0xFFFF) {
        const std::size_t end = std::min(text.size(), at + 0xFFFF);
        std::uint16_t count = 0;
        for (std::size_t i = at; i < end; ++i)
            count = static_cast<std::uint16_t>(count + (text[i] == u'\n'));
        total += count;
    }
    return total;
}

// "[%s]": the transcription in square brackets, written to `out`, which has
// room for a phonetic field; returns the units written, no terminator.
std::size_t bracketed(std::u16string_view transcription, char16_t* out) noexcept
{
    out[0] = u'[';
    std::memcpy(out + 1, transcription.data(), transcription.size() * sizeof(char16_t));
    out[transcription.size() + 1] = u']';
    return transcription.size() + 2;
}

// Adds the words of a dictionary text to a lane of its own; returns the lines
// that count, duplicates included.
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
        char16_t phonetic[kPhoneticUnits];
    };
    constexpr std::size_t kAhead = 8;
    Pending queue[kAhead];
    std::size_t parsed = 0;  // line k waits in queue[k % kAhead]
    const auto addLine = [&](std::size_t k) {
        const Pending& pending = queue[k % kAhead];
        lane.add(pending.fields, WordLane::Allocation::bulk, pending.hash);
    };

    DictionaryLines reader(text);
    std::u16string_view line;
    while (reader.next(line)) {
        if (!isDictionaryLine(line))
            continue;
        if (parsed >= kAhead)
            addLine(parsed - kAhead);  // frees the queue entry for this line
        // The node is built straight from the line's units; only the
        // bracketed phonetic needs a few units of its own.
        Pending& pending = queue[parsed % kAhead];
        const DictionaryLineParts parts = splitDictionaryLine(line);
        pending.fields = WordFields{parts.word, {}, parts.content};
        if (!parts.transcription.empty())
            pending.fields.phonetic = std::u16string_view(pending.phonetic, bracketed(parts.transcription, pending.phonetic));
        pending.hash = WordLane::hashOf(parts.word);
        lane.prefetch(pending.hash);
        ++parsed;
    }
    for (std::size_t k = parsed > kAhead ? parsed - kAhead : 0; k < parsed; ++k)
        addLine(k);
    return parsed;
}

}  // namespace

std::u16string decodeDictionaryText(std::string_view bytes)
{
    std::u16string decoded;
    std::size_t firstUnit;
    if (decodeIfUtf8(bytes, decoded, firstUnit))
        return decoded;
    return utf16le(bytes.data() + 2 * firstUnit, bytes.size() - 2 * firstUnit);
}

bool DictionaryLines::next(std::u16string_view& line)
{
    if (pos_ >= text_.size())
        return false;
    const std::size_t limit = std::min(text_.size(), pos_ + kLineUnits);
    std::size_t end = pos_;
    while (end < limit && text_[end] != u'\n')
        ++end;
    if (end < limit)
        ++end;  // the line feed belongs to its line
    line = text_.substr(pos_, end - pos_);
    pos_ = end;
    return true;
}

bool isDictionaryLine(std::u16string_view line) noexcept
{
    return line.size() >= 2 && line[0] != 0 && line[1] != 0;
}

DictionaryLineParts splitDictionaryLine(std::u16string_view line) noexcept
{
    // The line reads like a C string: a zero unit ends it.
    line = line.substr(0, line.find(u'\0'));
    const auto cut = [](std::u16string_view text, std::size_t units) { return text.substr(0, cutLength(text, units)); };

    // "%[^|]|%[^|]|%[^\r^\n]": each directive needs at least one unit, and
    // the scan stops at the first one that does not match.
    DictionaryLineParts parts;
    const std::size_t wordUnits = notBar(line, 0);
    if (wordUnits == 0)
        return parts;
    parts.word = cut(line.substr(0, wordUnits), kWordUnits - 1);
    std::size_t at = wordUnits;
    if (barAt(line, at)) {
        ++at;
        const std::u16string_view transcription = line.substr(at, notBar(line, at));
        at += transcription.size();
        if (!transcription.empty()) {
            parts.transcription = cut(transcription, kTranscriptionUnits);
            if (barAt(line, at)) {
                ++at;
                parts.content = cut(line.substr(at, contentRun(line, at)), kContentUnits - 1);
            }
            return parts;
        }
    }

    // "%*[^|]||%[^\r^\n]": the shape with an empty phonetic field.
    if (barAt(line, wordUnits) && barAt(line, wordUnits + 1)) {
        at = wordUnits + 2;
        parts.content = cut(line.substr(at, contentRun(line, at)), kContentUnits - 1);
    }
    return parts;
}

void parseDictionaryLine(std::u16string_view line, WordEntry& entry) noexcept
{
    const DictionaryLineParts parts = splitDictionaryLine(line);
    if (parts.word.empty())
        return;
    copyBounded(entry.word, parts.word);
    copyBounded(entry.content, parts.content);
    if (!parts.transcription.empty()) {
        const std::size_t n = bracketed(parts.transcription, entry.phonetic);
        std::memset(entry.phonetic + n, 0, (kPhoneticUnits - n) * sizeof(char16_t));
    }
}

void WordGet::loadDictionary(std::u16string_view name)
{
    std::filesystem::path directory;
    {
        std::lock_guard guard(lock_);
        directory = directory_;
    }

    // Everything from here to the swap works on a list of its own, without
    // the lock: the UI thread goes on navigating the old list meanwhile.
    Lane fresh;
    std::int64_t lines = 0;
    bool loaded = false;
    std::filesystem::path fileName;
    // The name comes from the settings file: only a plain name inside `dic`.
    if (!directory.empty() && isPlainFileName(name) && makeFileName(name, u".txt", fileName)) {
        try {
            FileContent file;
            if (readWholeFile(directory / fileName, file)) {
                // As decodeDictionaryText reads the bytes, but UTF-16 text,
                // the usual case, is used where it was read.
                std::u16string decoded;
                std::size_t firstUnit;
                std::u16string_view text;
                if (decodeIfUtf8(file.view(), decoded, firstUnit)) {
                    file = FileContent{};
                    text = decoded;
                } else {
                    char16_t* const units = file.units.get() + firstUnit;
                    const std::size_t size = file.bytes / 2 - firstUnit;
                    if (!isLittleEndianHost()) {
                        for (std::size_t i = 0; i < size; ++i)
                            units[i] = static_cast<char16_t>(((units[i] & 0xFF) << 8) | (units[i] >> 8));
                    }
                    text = std::u16string_view(units, size);
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
    const std::int32_t today = loaded ? todayDate() : 0;

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
        if (!learning_.empty())
            learning_.front()->copyTo(current_);
    }
    // `fresh` now holds the old learning list; it is freed here, outside the
    // lock.
}
