// Shared helpers of the word store tests: scratch directories, file bytes,
// entries built from text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "store/files/FileReplace.h"
#include "store/lists/WordEntry.h"
#include "store/WordGet.h"

namespace storetest {

namespace fs = std::filesystem;

// A fresh directory of its own under the system's temporary directory,
// removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir()
    {
        static std::atomic<unsigned> serial{0};
        std::random_device random;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        for (;;) {
            path_ = fs::temp_directory_path() /
                    ("mivora-store-" + std::to_string(random()) + "-" + std::to_string(stamp) + "-" +
                     std::to_string(serial++));
            if (fs::create_directory(path_))
                break;
        }
    }
    ~TempDir()
    {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

inline std::string utf16le(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

inline void writeBytes(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline WordEntry entry(std::u16string_view word, std::u16string_view phonetic = {}, std::u16string_view content = {})
{
    WordEntry e{};
    std::copy(word.begin(), word.end(), e.word);
    std::copy(phonetic.begin(), phonetic.end(), e.phonetic);
    std::copy(content.begin(), content.end(), e.content);
    return e;
}

inline std::u16string text(const char16_t* field) { return std::u16string(field); }

inline std::vector<std::u16string> words(const std::vector<WordEntry>& entries)
{
    std::vector<std::u16string> out;
    for (const WordEntry& e : entries)
        out.emplace_back(e.word);
    return out;
}

inline std::vector<std::u16string> learningWords(const WordGet& store) { return words(store.entries(WordList::learning)); }
inline std::vector<std::u16string> rememberedWords(const WordGet& store) { return words(store.entries(WordList::remembered)); }

// Progress file images.
inline std::string headerBytes(ProgressHeader header)
{
    std::string bytes(sizeof header, '\0');
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

inline std::string recordBytes(const WordEntry& e)
{
    std::string bytes(sizeof e, '\0');
    std::memcpy(bytes.data(), &e, sizeof e);
    return bytes;
}

inline ProgressHeader headerOf(const std::string& file)
{
    ProgressHeader header{};
    if (file.size() >= sizeof header)
        std::memcpy(&header, file.data(), sizeof header);
    return header;
}

// A progress file image: the header, then the records as given.
inline std::string progressImage(ProgressHeader header, std::initializer_list<WordEntry> records)
{
    std::string bytes = headerBytes(header);
    for (const WordEntry& e : records)
        bytes += recordBytes(e);
    return bytes;
}

// The file steps the tests fail or count: a store takes part once it is
// given them (WordGet::setFileSteps). One for the test process.
inline FileSteps& testFileSteps()
{
    static FileSteps steps;
    return steps;
}

// With n >= 1 the n-th step from now of a store given testFileSteps() fails;
// 0 turns that off.
inline void failNthFileStep(int n)
{
    testFileSteps().failNth(n);
}

// The file steps that `call` takes, counted through the step hook: tests
// that fail each step in turn take their number from the code, so that a
// step added later is failed too.
template <class Call>
int fileStepsOf(Call&& call)
{
    static std::atomic<int> steps;
    steps = 0;
    testFileSteps().setHook([] { ++steps; });
    call();
    testFileSteps().setHook(nullptr);
    return steps.load();
}

// One save of `store` (given testFileSteps()) with its `step`-th file step
// failing: whether it saved, and how many steps it took. A save that went
// through took fewer steps than `step`: its fault was never reached, and
// had a failed step been ignored it would have been.
struct SaveTry {
    bool saved;
    int steps;
};
inline SaveTry saveFailingStep(WordGet& store, int step)
{
    bool saved = false;
    failNthFileStep(step);
    const int steps = fileStepsOf([&] { saved = store.saveProgress(); });
    failNthFileStep(0);
    return {saved, steps};
}

// Local yyyymmdd, the way the store dates its loads and saves.
inline std::int32_t localDate()
{
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    return (local->tm_year + 1900) * 10000 + (local->tm_mon + 1) * 100 + local->tm_mday;
}

}  // namespace storetest
