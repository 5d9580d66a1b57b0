// A settings file of any bytes: the record takes the file's first bytes
// (and the defaults past a short file's end),
// both strings end inside their fields, a save writes the record back over
// the file's start and nothing else, and the dictionary name it carries
// opens no file outside the dictionary folder.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "FuzzChecks.h"
#include "SettingsFile.h"
#include "store/files/FileReplace.h"

namespace {

std::string readAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto& directory = fuzzDirectory();
    const std::filesystem::path file = directory / "mivora.bin";
    const std::filesystem::path dic = directory / "dic";
    static const bool prepared = [&] {
        std::filesystem::create_directories(dic);
        // A dictionary outside dic that no settings file may reach.
        const char16_t text[] = u"outside|p|c\r\n";
        writeFile(directory / "outside.txt", reinterpret_cast<const std::uint8_t*>(text), sizeof text - 2);
        return true;
    }();
    (void)prepared;
    writeFile(file, data, size);

    SettingsRecord record;
    std::memset(&record, 0xA5, sizeof record);
    FUZZ_CHECK(loadSettingsFile(file, record, 1920) == SettingsLoad::FromFile);
    FUZZ_CHECK(boundedLength(record.font.lfFaceName, 32) < 32);
    FUZZ_CHECK(boundedLength(record.dictionaryName, kDictionaryNameUnits) < kDictionaryNameUnits);
    // The record is the file's first bytes, the defaults past a short file's
    // end, except the two terminators the load enforces.
    SettingsRecord defaults{};
    applyDefaultSettings(defaults, 1920);
    unsigned char expected[sizeof(SettingsRecord)];
    std::memcpy(expected, &defaults, sizeof expected);
    std::memcpy(expected, data, size < sizeof expected ? size : sizeof expected);
    unsigned char got[sizeof(SettingsRecord)];
    std::memcpy(got, &record, sizeof got);
    for (std::size_t i = 0; i < sizeof got; ++i) {
        const bool terminator = i == 92 + 62 || i == 92 + 63 || i == sizeof got - 2 || i == sizeof got - 1;
        FUZZ_CHECK(got[i] == expected[i] || (terminator && got[i] == 0));
    }

    // A save overwrites the first 284 bytes of the file and leaves the rest.
    FUZZ_CHECK(saveSettingsFile(file, record));
    const std::string saved = readAll(file);
    FUZZ_CHECK(saved.size() == (size > sizeof got ? size : sizeof got));
    FUZZ_CHECK(std::memcmp(saved.data(), got, sizeof got) == 0);
    if (size > sizeof got)
        FUZZ_CHECK(std::memcmp(saved.data() + sizeof got, data + sizeof got, size - sizeof got) == 0);

    // The dictionary it names: a plain name inside dic, or nothing at all.
    const std::u16string_view name(record.dictionaryName, boundedLength(record.dictionaryName, kDictionaryNameUnits));
    WordGet store;
    store.setDirectory(dic);
    store.loadDictionary(name);
    checkStore(store);
    FUZZ_CHECK(!store.contains(u"outside"));
    if (!isPlainFileName(name)) FUZZ_CHECK(store.entries(WordList::learning).empty() && !store.dirty());
    store.setDirectory({});
    return 0;
}
