// One word record and the study counters: the byte images that the progress
// file stores, so their layout is fixed.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kWordUnits = 512;
constexpr std::size_t kPhoneticUnits = 64;
constexpr std::size_t kContentUnits = 256;

// Three zero-terminated, zero-filled UTF-16 arrays. Whoever builds an entry
// zero-fills it first (value-initialise: WordEntry e{}), then writes the text;
// copies always copy all 1664 bytes.
struct WordEntry {
    char16_t word[kWordUnits];
    char16_t phonetic[kPhoneticUnits];  // stored with its square brackets
    char16_t content[kContentUnits];
};
static_assert(sizeof(WordEntry) == 1664);
static_assert(offsetof(WordEntry, phonetic) == 1024);
static_assert(offsetof(WordEntry, content) == 1152);

// Study counters; also the 24-byte header of the progress file.
struct ProgressHeader {
    std::int32_t learningCount;
    std::int32_t rememberedCount;
    std::int32_t reserved1;  // never set by the program, written back as read
    std::int32_t reserved2;
    std::int32_t startDate;  // yyyymmdd of the last dictionary load
    std::int32_t lastDate;   // yyyymmdd of the last load or save
};
static_assert(sizeof(ProgressHeader) == 24);
static_assert(offsetof(ProgressHeader, startDate) == 16);
static_assert(offsetof(ProgressHeader, lastDate) == 20);
