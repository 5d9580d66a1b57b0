// What must hold for the word store whatever a file contained.
#pragma once

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "store/WordGet.h"
#include "store/text/Text.h"

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

inline bool fieldIsClean(const char16_t* field, std::size_t units)
{
    const std::size_t n = boundedLength(field, units);
    if (n == units) return false;
    for (std::size_t i = n; i < units; ++i)
        if (field[i] != 0) return false;
    return true;
}

inline void checkEntry(const WordEntry& e)
{
    FUZZ_CHECK(fieldIsClean(e.word, kWordUnits));
    FUZZ_CHECK(fieldIsClean(e.phonetic, kPhoneticUnits));
    FUZZ_CHECK(fieldIsClean(e.content, kContentUnits));
}

inline void checkStore(WordGet& store)
{
    const auto learning = store.entries(WordList::learning);
    const auto remembered = store.entries(WordList::remembered);
    std::set<std::u16string> words;
    for (const auto* list : {&remembered, &learning}) {
        std::int32_t lastKey = INT32_MIN;
        for (const WordEntry& e : *list) {
            checkEntry(e);
            FUZZ_CHECK(words.insert(foldedWord(e.word)).second);
            const std::int32_t key = numericKey(e.word);
            FUZZ_CHECK(lastKey <= key);
            lastKey = key;
        }
    }
    const std::u16string end = store.cycleEndWord();
    if (learning.empty()) {
        FUZZ_CHECK(end.empty());
    } else {
        bool found = false;
        for (const WordEntry& e : learning) found = found || std::u16string(e.word) == end;
        FUZZ_CHECK(found);
    }
    checkEntry(store.currentEntry());
    // A walk forwards from the head returns to it within the cycle.
    if (!learning.empty()) {
        WordEntry e = learning.front();
        std::size_t steps = 0;
        do {
            store.next(e.word, e);
            checkEntry(e);
            ++steps;
        } while (foldedWord(e.word) != foldedWord(learning.front().word) && steps <= learning.size());
        FUZZ_CHECK(steps <= learning.size());
        store.previous(e.word, e);
        FUZZ_CHECK(foldedWord(e.word) == foldedWord(end));
    }
}

// One scratch directory per process, removed at exit.
inline const std::filesystem::path& fuzzDirectory()
{
    static const std::filesystem::path directory = [] {
        std::random_device random;
        auto path = std::filesystem::temp_directory_path() /
                    ("mivora-fuzz-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(path);
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(fuzzDirectory(), error);
        });
        return path;
    }();
    return directory;
}

inline void writeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    if (size > 0) FUZZ_CHECK(std::fwrite(data, size, 1, file) == 1);
    FUZZ_CHECK(std::fclose(file) == 0);
}
