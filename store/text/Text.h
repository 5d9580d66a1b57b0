// Text helpers of the program. Everything works on UTF-16 code units
// (char16_t) and behaves the same on every platform, independent of the C
// library's locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Case folding of the ASCII letters only, as the C library's wide
// case-insensitive comparison does in the default locale: 'A' and 'a' are the
// same letter, 'Ä' and 'ä' are not.
constexpr char16_t foldAscii(char16_t c) noexcept
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// <0, 0 or >0 like wcsicmp: compares the folded units of two zero-terminated
// strings.
int compareNoCase(const char16_t* a, const char16_t* b) noexcept;
bool equalNoCase(std::u16string_view a, std::u16string_view b) noexcept;

// The word with its ASCII letters folded: two words are the same word exactly
// when their folded forms are equal.
std::u16string foldedWord(std::u16string_view word);

// Length of a zero-terminated string, but never more than `limit` units (for
// fields that might lack their terminator).
std::size_t boundedLength(const char16_t* text, std::size_t limit) noexcept;

// The value of a decimal integer at the start of `text`, read like wcstol with
// a 32-bit long: leading white space (the C locale's: space, TAB, LF, VT, FF,
// CR), an optional sign, decimal digits. Out-of-range values are clamped to
// INT32_MIN / INT32_MAX; no digits at all gives 0.
std::int32_t numericKey(const char16_t* text) noexcept;
std::int32_t numericKey(std::u16string_view text) noexcept;

// Largest n <= limit such that text[0, n) does not end in the middle of a
// surrogate pair.
std::size_t cutLength(std::u16string_view text, std::size_t limit) noexcept;

// Copies `source` into a fixed field of `fieldUnits` units: over-long text is
// cut (never inside a surrogate pair), the result is always zero-terminated
// and the rest of the field is zero-filled. Returns the units copied.
std::size_t copyBounded(char16_t* field, std::size_t fieldUnits, std::u16string_view source) noexcept;

template <std::size_t N>
std::size_t copyBounded(char16_t (&field)[N], std::u16string_view source) noexcept
{
    return copyBounded(field, N, source);
}

// UTF-8 -> UTF-16. Malformed sequences (overlong forms, surrogates, values
// beyond U+10FFFF, truncated or stray bytes) become U+FFFD; the result tells
// whether the input was valid UTF-8.
bool decodeUtf8(std::string_view bytes, std::u16string& out);
// UTF-16 -> UTF-8; false (and `out` unspecified) on an unpaired surrogate.
bool encodeUtf8(std::u16string_view text, std::string& out);
// Appends the UTF-8 bytes of one code point (at most U+10FFFF) to `out`,
// anything with push_back(char).
template <class Bytes>
void appendCodePoint(char32_t cp, Bytes& out)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}
