#include "store/text/Text.h"

#include <cstring>
#include <limits>

namespace {

constexpr bool isHighSurrogate(char16_t c) noexcept
{
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool isLowSurrogate(char16_t c) noexcept
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The white space the C locale's iswspace accepts.
constexpr bool isCSpace(char16_t c) noexcept
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

}  // namespace

int compareNoCase(const char16_t* a, const char16_t* b) noexcept
{
    for (;; ++a, ++b) {
        const int x = foldAscii(*a);
        const int y = foldAscii(*b);
        if (x != y || x == 0) return x - y;
    }
}

bool equalNoCase(std::u16string_view a, std::u16string_view b) noexcept
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    return true;
}

std::u16string foldedWord(std::u16string_view word)
{
    std::u16string folded(word);
    for (char16_t& c : folded) c = foldAscii(c);
    return folded;
}

std::size_t boundedLength(const char16_t* text, std::size_t limit) noexcept
{
    std::size_t n = 0;
    while (n < limit && text[n] != 0) ++n;
    return n;
}

std::int32_t numericKey(std::u16string_view text) noexcept
{
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate the magnitude in 64 bits and stop growing it once it is
    // beyond every 32-bit value, so any number of digits is safe.
    constexpr std::int64_t beyond = std::int64_t{1} << 32;
    std::int64_t magnitude = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        digits = true;
        if (magnitude < beyond) magnitude = magnitude * 10 + (text[i] - u'0');
    }
    if (!digits) return 0;
    if (negative) {
        const std::int64_t value = -magnitude;
        return value < std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::min()
                                                                : static_cast<std::int32_t>(value);
    }
    return magnitude > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                                : static_cast<std::int32_t>(magnitude);
}

std::int32_t numericKey(const char16_t* text) noexcept
{
    return numericKey(std::u16string_view(text));
}

std::size_t cutLength(std::u16string_view text, std::size_t limit) noexcept
{
    if (text.size() <= limit) return text.size();
    std::size_t n = limit;
    if (n > 0 && isHighSurrogate(text[n - 1]) && isLowSurrogate(text[n])) --n;
    return n;
}

std::size_t copyBounded(char16_t* field, std::size_t fieldUnits, std::u16string_view source) noexcept
{
    if (fieldUnits == 0) return 0;
    const std::size_t n = cutLength(source, fieldUnits - 1);
    if (n > 0) std::memcpy(field, source.data(), n * sizeof(char16_t));
    std::memset(field + n, 0, (fieldUnits - n) * sizeof(char16_t));
    return n;
}

bool decodeUtf8(std::string_view bytes, std::u16string& out)
{
    out.clear();
    out.reserve(bytes.size());
    bool valid = true;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        std::size_t need;
        char32_t cp;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0;  // overlong
            else if (b == 0xED)
                hi = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;  // overlong
            else if (b == 0xF4)
                hi = 0x8F;  // beyond U+10FFFF
        } else {
            out.push_back(0xFFFD);
            valid = false;
            ++i;
            continue;
        }
        // Consume the longest valid prefix; a broken sequence is one U+FFFD.
        std::size_t j = 1;
        for (; j <= need && i + j < size; ++j) {
            const unsigned char c = p[i + j];
            const unsigned char min = j == 1 ? lo : 0x80;
            const unsigned char max = j == 1 ? hi : 0xBF;
            if (c < min || c > max) break;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (j <= need) {
            out.push_back(0xFFFD);
            valid = false;
            i += j;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += need + 1;
    }
    return valid;
}

bool encodeUtf8(std::u16string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (isHighSurrogate(text[i])) {
            if (i + 1 >= text.size() || !isLowSurrogate(text[i + 1])) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isLowSurrogate(text[i])) {
            return false;
        }
        appendCodePoint(cp, out);
    }
    return true;
}
