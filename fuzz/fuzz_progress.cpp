// A progress file of any bytes: the load must keep the lists sound, and what
// it loaded must survive a save and a second load unchanged.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "FuzzChecks.h"

namespace {

bool sameEntries(const std::vector<WordEntry>& a, const std::vector<WordEntry>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(WordEntry)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto& directory = fuzzDirectory();
    static const bool dictionaryWritten = [&] {
        const char16_t text[] = u"x|p|c\r\ny||c\r\n10 z|p|\r\n";
        writeFile(directory / "fallback.txt", reinterpret_cast<const std::uint8_t*>(text), sizeof text - 2);
        return true;
    }();
    (void)dictionaryWritten;
    writeFile(directory / "DAvud.bin", data, size);

    WordGet store;
    store.setDirectory(directory);
    store.loadProgress(u"fallback");
    checkStore(store);
    const ProgressHeader header = store.header();
    FUZZ_CHECK(header.rememberedCount == static_cast<std::int32_t>(store.entries(WordList::remembered).size()));

    // A file the load could not take in completely is kept, byte for byte,
    // before the save replaces it.
    const bool keptBack = store.progressFileKeptBack();
    FUZZ_CHECK(store.saveProgress());
    FUZZ_CHECK(!store.dirty());
    FUZZ_CHECK(!store.progressFileKeptBack());
    bool keptCopy = false;
    for (const auto& item : std::filesystem::directory_iterator(directory)) {
        if (item.path().filename().string().rfind("DAvud.bin.unreadable-", 0) != 0) continue;
        FUZZ_CHECK(!keptCopy);
        keptCopy = true;
        std::ifstream in(item.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        FUZZ_CHECK(bytes.size() == size && (size == 0 || std::memcmp(bytes.data(), data, size) == 0));
        in.close();
        std::filesystem::remove(item.path());
    }
    FUZZ_CHECK(keptCopy == keptBack);
    WordGet again;
    again.setDirectory(directory);
    again.loadProgress(u"fallback");
    checkStore(again);
    FUZZ_CHECK(sameEntries(store.entries(WordList::learning), again.entries(WordList::learning)));
    FUZZ_CHECK(sameEntries(store.entries(WordList::remembered), again.entries(WordList::remembered)));
    const ProgressHeader reread = again.header();
    FUZZ_CHECK(reread.reserved1 == header.reserved1 && reread.reserved2 == header.reserved2);

    // The same bytes brought by a sync program as another PC's save: the
    // next save merges them, or leaves a file it cannot read whole as it is.
    writeFile(directory / "DAvud.bin", data, size);
    std::filesystem::last_write_time(directory / "DAvud.bin",
                                     std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
    const std::vector<WordEntry> learning = again.entries(WordList::learning);
    if (!learning.empty()) again.setRemembered(learning.front(), true);
    const bool merged = again.saveProgress();
    checkStore(again);
    if (merged) {
        WordGet third;
        third.setDirectory(directory);
        third.loadProgress(u"fallback");
        FUZZ_CHECK(!third.progressFileKeptBack());
        FUZZ_CHECK(sameEntries(third.entries(WordList::remembered), again.entries(WordList::remembered)));
        // With nothing left to learn, the start-up load falls back to the
        // dictionary.
        if (!again.entries(WordList::learning).empty())
            FUZZ_CHECK(sameEntries(third.entries(WordList::learning), again.entries(WordList::learning)));
        third.setDirectory({});
    } else {
        std::ifstream in(directory / "DAvud.bin", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        FUZZ_CHECK(bytes.size() == size && (size == 0 || std::memcmp(bytes.data(), data, size) == 0));
    }
    store.setDirectory({});
    again.setDirectory({});
    return 0;
}
