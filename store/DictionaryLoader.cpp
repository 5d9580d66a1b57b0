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

}  // namespace

std::u16string decodeDictionaryText(std::string_view bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        return utf16le(bytes.data() + 2, bytes.size() - 2);
    std::u16string text;
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) {
        decodeUtf8(bytes.substr(3), text);
        return text;
    }
    if (bytes.find('\0') == std::string_view::npos && decodeUtf8(bytes, text))
        return text;
    return utf16le(bytes.data(), bytes.size());
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

void parseDictionaryLine(std::u16string_view line, WordEntry& entry) noexcept
{
    // The line reads like a C string: a zero unit ends it.
    line = line.substr(0, line.find(u'\0'));

    // "%[^|]|%[^|]|%[^\r^\n]": each directive needs at least one unit, and
    // the scan stops at the first one that does not match.
    const std::size_t wordUnits = notBar(line, 0);
    if (wordUnits == 0)
        return;
    copyBounded(entry.word, line.substr(0, wordUnits));
    std::u16string_view transcription;
    std::size_t at = wordUnits;
    if (barAt(line, at)) {
        ++at;
        transcription = line.substr(at, notBar(line, at));
        at += transcription.size();
        if (!transcription.empty() && barAt(line, at)) {
            ++at;
            copyBounded(entry.content, line.substr(at, contentRun(line, at)));
        }
    }

    if (!transcription.empty()) {
        // "[%s]", with the closing bracket kept however long the text is.
        const std::size_t n = cutLength(transcription, kTranscriptionUnits);
        entry.phonetic[0] = u'[';
        std::memcpy(entry.phonetic + 1, transcription.data(), n * sizeof(char16_t));
        entry.phonetic[n + 1] = u']';
        std::memset(entry.phonetic + n + 2, 0, (kPhoneticUnits - n - 2) * sizeof(char16_t));
        return;
    }

    // "%*[^|]||%[^\r^\n]": the shape with an empty phonetic field.
    if (barAt(line, wordUnits) && barAt(line, wordUnits + 1)) {
        at = wordUnits + 2;
        copyBounded(entry.content, line.substr(at, contentRun(line, at)));
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
    if (!directory.empty() && makeFileName(name, u".txt", fileName)) {
        try {
            std::string bytes;
            if (readWholeFile(directory / fileName, bytes)) {
                const std::u16string text = decodeDictionaryText(bytes);
                std::string().swap(bytes);
                // Every line is a possible word: size the index once.
                fresh.index.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n')) + 1);
                DictionaryLines reader(text);
                std::u16string_view line;
                while (reader.next(line)) {
                    if (!isDictionaryLine(line))
                        continue;
                    WordEntry entry{};
                    parseDictionaryLine(line, entry);
                    fresh.add(entry);
                    ++lines;
                }
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
            dirty_ = true;
        }
        if (!learning_.nodes.empty())
            current_ = learning_.nodes.front().entry;
    }
    // `fresh` now holds the old learning list; it is freed here, outside the
    // lock.
}
