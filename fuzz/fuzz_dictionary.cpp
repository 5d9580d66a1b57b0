// A dictionary file of any bytes: the load must keep the lists sound.
#include <cstdint>

#include <string_view>

#include "FuzzChecks.h"
#include "store/lists/DictionaryFormat.h"

namespace {

// The one-pass scanner the load runs on must cut the text into the same
// lines and pieces as the line reader and splitter that state the rules.
void checkScanner(std::u16string_view text)
{
    DictionaryLines reader(text);
    DictionaryScanner scanner(text);
    std::u16string_view expected, line;
    bool counts;
    DictionaryLineParts parts;
    while (reader.next(expected)) {
        FUZZ_CHECK(scanner.next(line, counts, parts));
        FUZZ_CHECK(line.data() == expected.data() && line.size() == expected.size());
        FUZZ_CHECK(counts == isDictionaryLine(expected));
        if (counts) {
            const DictionaryLineParts reference = splitDictionaryLine(expected);
            FUZZ_CHECK(parts.word == reference.word);
            FUZZ_CHECK(parts.transcription == reference.transcription);
            FUZZ_CHECK(parts.content == reference.content);
        }
    }
    FUZZ_CHECK(!scanner.next(line, counts, parts));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkScanner(decodeDictionaryText(std::string_view(reinterpret_cast<const char*>(data), size)));

    const auto& directory = fuzzDirectory();
    writeFile(directory / "fuzz.txt", data, size);

    WordGet store;
    store.setDirectory(directory);
    store.setCycleSize(static_cast<std::int32_t>(size % 7) - 1);
    // A few remembered words that a dictionary may repeat.
    for (const char16_t* word : {u"a", u"The", u"1", u"\r\n"}) {
        WordEntry e{};
        copyBounded(e.word, word);
        store.insert(e, WordList::remembered);
    }
    store.loadDictionary(u"fuzz");
    checkStore(store);
    const auto learning = store.entries(WordList::learning);
    FUZZ_CHECK(store.header().learningCount >= static_cast<std::int32_t>(learning.size()));
    for (const WordEntry& e : learning) FUZZ_CHECK(e.phonetic[0] == 0 || e.phonetic[0] == u'[');

    // Moving the head back and forth keeps everything in order.
    if (!learning.empty()) {
        store.setRemembered(learning.front(), true);
        checkStore(store);
        store.setRemembered(learning.front(), false);
        checkStore(store);
    }
    store.setDirectory({});  // no progress file for every input
    return 0;
}
