// The dictionary file format: how the bytes of a word-list file become lines
// and how one line becomes a WordEntry. Used by WordGet::loadDictionary; kept
// apart so that the rules can be exercised one line at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "store/lists/WordEntry.h"

// Longest line one read hands out, in units; a longer line is continued by
// the next read as if it were a line of its own.
constexpr std::size_t kLineUnits = 2047;
// Most units of transcription that fit between the brackets of `phonetic`.
constexpr std::size_t kTranscriptionUnits = kPhoneticUnits - 3;

// The file's text as UTF-16. A UTF-16LE byte-order mark at the start is
// dropped. A UTF-8 file (one that starts with the UTF-8 mark, or that has no
// mark, not one zero byte and is valid UTF-8) is decoded; a file without a
// mark and without a zero byte that is not valid UTF-8 is decoded as
// GB18030 (Notepad's "ANSI" on a Chinese system); anything else is taken as
// UTF-16LE as it stands, an odd last byte ignored.
std::u16string decodeDictionaryText(std::string_view bytes);
// The same decision without copying UTF-16 text: UTF-8 and GB18030 text is
// decoded into `decoded` (true); otherwise the bytes are UTF-16LE from unit
// `firstUnit` on, past a byte-order mark, to be used where they lie.
bool decodeIfNotUtf16(std::string_view bytes, std::u16string& decoded, std::size_t& firstUnit);
bool isLittleEndianHost();
// "[%s]": the transcription in square brackets, written to `out`, which has
// room for a phonetic field; returns the units written, no terminator.
std::size_t bracketed(std::u16string_view transcription, char16_t* out) noexcept;

// Hands out the lines of a text: each up to and including its line feed, at
// most kLineUnits units.
class DictionaryLines {
public:
    explicit DictionaryLines(std::u16string_view text) : text_(text) {}
    bool next(std::u16string_view& line);

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
};

// Whether a line takes part in the load at all: the text before any zero unit
// must be at least two units long (line breaks included).
bool isDictionaryLine(std::u16string_view line) noexcept;

// The pieces of one line, each already cut to fit its field: the phonetic
// as it stands in the file, without the square brackets it is stored in.
struct DictionaryLineParts {
    std::u16string_view word;
    std::u16string_view transcription;
    std::u16string_view content;
};
// Splits a line into views of its own units, without copying anything.
DictionaryLineParts splitDictionaryLine(std::u16string_view line) noexcept;

// The lines of a text together with their pieces, found in one pass over the
// units: the same lines as DictionaryLines gives, each with what
// isDictionaryLine and splitDictionaryLine say of it. The load runs on this;
// the three above are the rules it keeps.
class DictionaryScanner {
public:
    explicit DictionaryScanner(std::u16string_view text) : text_(text) {}
    // The next line, whether it takes part in the load, and (only then) its
    // pieces; false at the end of the text.
    bool next(std::u16string_view& line, bool& counts, DictionaryLineParts& parts) noexcept;

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
};

// Parses one line into `entry`, which the caller has zero-filled. Fields are
// cut to fit their arrays; the phonetic is stored in square brackets.
void parseDictionaryLine(std::u16string_view line, WordEntry& entry) noexcept;
