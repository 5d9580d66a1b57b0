#include "store/lists/DictionaryFormat.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "store/text/Gb18030.h"
#include "store/text/Text.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define MIVORA_SSE2 1
#endif
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace {

// The units that end or divide something on a dictionary line: the end of
// the C string, the line feed, the two that end the content, and the bar.
constexpr bool isSpecial(char16_t c) noexcept
{
    return c <= u'|' && (c == u'|' || c == u'\n' || c == u'\r' || c == u'^' || c == 0);
}

// Index of the lowest set bit of a mask that is not zero.
unsigned lowestBit(std::uint32_t mask) noexcept
{
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward(&index, mask);
    return index;
#elif defined(__GNUC__) || defined(__clang__)
    return static_cast<unsigned>(__builtin_ctz(mask));
#else
    unsigned index = 0;
    while ((mask & 1) == 0) {
        mask >>= 1;
        ++index;
    }
    return index;
#endif
}

// Units the scanner looks at together: one bit each in a mask.
constexpr std::size_t kBlockUnits = 16;

// Bit k is set when unit k of the `n` units at p (at most kBlockUnits) is
// special. Lines are mostly ordinary units with a handful of specials, so
// where the processor can, a whole block is tested at once.
std::uint32_t specialMask(const char16_t* p, std::size_t n) noexcept
{
#ifdef MIVORA_SSE2
    if (n == kBlockUnits) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i lineFeed = _mm_set1_epi16(0x0A);
        const __m128i carriageReturn = _mm_set1_epi16(0x0D);
        const __m128i circumflex = _mm_set1_epi16(0x5E);
        const __m128i bar = _mm_set1_epi16(0x7C);
        const auto hits = [&](const char16_t* at) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            return _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi16(units, zero), _mm_cmpeq_epi16(units, lineFeed)),
                _mm_or_si128(_mm_cmpeq_epi16(units, carriageReturn),
                             _mm_or_si128(_mm_cmpeq_epi16(units, circumflex), _mm_cmpeq_epi16(units, bar))));
        };
        // Each hit is 0xFFFF, which packs to one 0xFF byte per unit.
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(hits(p), hits(p + 8))));
    }
#endif
    std::uint32_t mask = 0;
    for (std::size_t k = 0; k < n; ++k) mask |= static_cast<std::uint32_t>(isSpecial(p[k])) << k;
    return mask;
}

std::u16string utf16le(const char* bytes, std::size_t size)
{
    std::u16string text(size / 2, u'\0');
    if (text.empty()) return text;
    if (isLittleEndianHost()) {
        std::memcpy(text.data(), bytes, text.size() * 2);
    } else {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes);
        for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    }
    return text;
}

// Length of the run at `from` of units that are not `|` (the scanset [^|]).
std::size_t notBar(std::u16string_view line, std::size_t from) noexcept
{
    std::size_t i = from;
    while (i < line.size() && line[i] != u'|') ++i;
    return i - from;
}

// Length of the run at `from` of units that end no content (the scanset
// [^\r^\n]: everything but CR, LF and the circumflex).
std::size_t contentRun(std::u16string_view line, std::size_t from) noexcept
{
    std::size_t i = from;
    while (i < line.size() && line[i] != u'\r' && line[i] != u'\n' && line[i] != u'^') ++i;
    return i - from;
}

bool barAt(std::u16string_view line, std::size_t at) noexcept
{
    return at < line.size() && line[at] == u'|';
}

}  // namespace

std::size_t bracketed(std::u16string_view transcription, char16_t* out) noexcept
{
    out[0] = u'[';
    std::memcpy(out + 1, transcription.data(), transcription.size() * sizeof(char16_t));
    out[transcription.size() + 1] = u']';
    return transcription.size() + 2;
}

bool isLittleEndianHost()
{
    const std::uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// Decides how a dictionary's bytes are read. UTF-8 and GB18030 text is
// decoded into `decoded` (true); otherwise the bytes are UTF-16LE from unit
// `firstUnit` on, which skips a byte-order mark. A text without a mark and
// without one zero byte (which every UTF-16 line break has) that is not
// valid UTF-8 is what Notepad saves as "ANSI" on a Chinese system: GBK, of
// which GB18030 is a superset. It is read so whatever the code page of the
// system the program runs on.
bool decodeIfNotUtf16(std::string_view bytes, std::u16string& decoded, std::size_t& firstUnit)
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
    if (bytes.find('\0') == std::string_view::npos) {
        if (decodeUtf8(bytes, decoded)) return true;
        decoded.clear();
        decodeGb18030(bytes, decoded);
        return true;
    }
    std::u16string().swap(decoded);
    return false;
}

std::u16string decodeDictionaryText(std::string_view bytes)
{
    std::u16string decoded;
    std::size_t firstUnit;
    if (decodeIfNotUtf16(bytes, decoded, firstUnit)) return decoded;
    return utf16le(bytes.data() + 2 * firstUnit, bytes.size() - 2 * firstUnit);
}

bool DictionaryLines::next(std::u16string_view& line)
{
    if (pos_ >= text_.size()) return false;
    const std::size_t limit = std::min(text_.size(), pos_ + kLineUnits);
    std::size_t end = pos_;
    while (end < limit && text_[end] != u'\n') ++end;
    if (end < limit) ++end;  // the line feed belongs to its line
    line = text_.substr(pos_, end - pos_);
    pos_ = end;
    return true;
}

bool DictionaryScanner::next(std::u16string_view& line, bool& counts, DictionaryLineParts& parts) noexcept
{
    if (pos_ >= text_.size()) return false;
    const char16_t* const begin = text_.data() + pos_;
    const char16_t* const limit = begin + std::min(text_.size() - pos_, kLineUnits);

    // One walk over the specials of the line. Where each piece starts and
    // ends follows the scan formats of splitDictionaryLine: the word runs to
    // the first bar, the transcription to the second, the content from
    // there to the first CR, LF or circumflex; a zero unit ends them all.
    enum class In { word, transcription, content, nothing };
    In in = In::word;
    const char16_t* firstBar = nullptr;
    const char16_t* secondBar = nullptr;
    const char16_t* contentEnd = nullptr;
    const char16_t* parseEnd = nullptr;  // the first zero unit, if any
    const char16_t* end = limit;
    bool lineFeed = false;
    for (const char16_t* block = begin; block < limit && !lineFeed; block += kBlockUnits) {
        const std::size_t units = std::min<std::size_t>(kBlockUnits, static_cast<std::size_t>(limit - block));
        for (std::uint32_t mask = specialMask(block, units); mask != 0; mask &= mask - 1) {
            const char16_t* const p = block + lowestBit(mask);
            const char16_t c = *p;
            if (c == u'\n') {
                end = p + 1;
                lineFeed = true;
                if (in == In::content) contentEnd = p;
                break;
            }
            if (in == In::nothing) continue;
            if (c == 0) {
                parseEnd = p;
                if (in == In::content) contentEnd = p;
                in = In::nothing;
            } else if (c == u'|') {
                if (in == In::word) {
                    firstBar = p;
                    in = In::transcription;
                } else if (in == In::transcription) {
                    secondBar = p;
                    in = In::content;
                }
            } else if (in == In::content) {  // CR or circumflex
                contentEnd = p;
                in = In::nothing;
            }
        }
    }
    line = std::u16string_view(begin, static_cast<std::size_t>(end - begin));
    pos_ += line.size();
    if (parseEnd == nullptr) parseEnd = end;
    if (in == In::content && contentEnd == nullptr) contentEnd = parseEnd;

    counts = line.size() >= 2 && begin[0] != 0 && begin[1] != 0;
    parts = DictionaryLineParts{};
    if (!counts) return true;
    const auto piece = [](const char16_t* from, const char16_t* to, std::size_t units) {
        const std::u16string_view text(from, static_cast<std::size_t>(to - from));
        return text.substr(0, cutLength(text, units));
    };
    const char16_t* const wordEnd = firstBar != nullptr ? firstBar : parseEnd;
    if (wordEnd == begin) return true;  // no word: nothing matched
    parts.word = piece(begin, wordEnd, kWordUnits - 1);
    if (firstBar == nullptr) return true;
    const char16_t* const transcriptionEnd = secondBar != nullptr ? secondBar : parseEnd;
    parts.transcription = piece(firstBar + 1, transcriptionEnd, kTranscriptionUnits);
    if (secondBar != nullptr) parts.content = piece(secondBar + 1, contentEnd, kContentUnits - 1);
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
    if (wordUnits == 0) return parts;
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
    if (parts.word.empty()) return;
    copyBounded(entry.word, parts.word);
    copyBounded(entry.content, parts.content);
    if (!parts.transcription.empty()) {
        const std::size_t n = bracketed(parts.transcription, entry.phonetic);
        std::memset(entry.phonetic + n, 0, (kPhoneticUnits - n) * sizeof(char16_t));
    }
}
