// A 生词本 of any bytes: the import must refuse it or take words that fit a
// list, and taking them again under other choices must hold the same.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzChecks.h"
#include "store/lists/WordListImport.h"

namespace {

// Latin-1 as the system's code page: every byte is a character.
std::u16string latin1(std::string_view bytes)
{
    return std::u16string(bytes.begin(), bytes.end());
}

// Every word as the list will hold it: one line, three fields, within their
// sizes, never empty, each once.
void checkWords(const ImportAnalysis& analysis)
{
    if (analysis.refusal != ImportRefusal::none) {
        FUZZ_CHECK(analysis.words.empty() || analysis.refusal == ImportRefusal::cancelled);
        return;
    }
    FUZZ_CHECK(!analysis.words.empty());
    FUZZ_CHECK(analysis.firstWords.size() == std::min(analysis.words.size(), kImportPreviewRows));
    std::set<std::u16string> seen;
    for (std::size_t i = 0; i < analysis.words.size(); ++i) {
        const ImportedWord word = analysis.words[i];
        FUZZ_CHECK(!word.word.empty() && word.word.size() <= 128);
        FUZZ_CHECK(word.phonetic.size() < kPhoneticUnits - 2 && word.meaning.size() < kContentUnits);
        for (const std::u16string* field : {&word.word, &word.phonetic, &word.meaning})
            for (const char16_t c : *field) FUZZ_CHECK(c != u'|' && c != u'\r' && c != u'\n' && c != 0);
        FUZZ_CHECK(seen.insert(foldedWord(word.word)).second);
        if (i < analysis.firstWords.size()) FUZZ_CHECK(analysis.firstWords[i].word == word.word);
    }
    for (std::size_t i = 1; i < analysis.skippedLines.size(); ++i)
        FUZZ_CHECK(analysis.skippedLines[i - 1] < analysis.skippedLines[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ImportJob job;
    job.codePage = latin1;
    const ImportAnalysis analysis = analyseWordList(std::string(reinterpret_cast<const char*>(data), size), job);
    checkWords(analysis);
    if (analysis.refusal == ImportRefusal::none && analysis.format == ImportFormat::separated) {
        // The same choices again give the same words; other ones sound ones.
        const ImportAnalysis again = applyImportChoices(analysis, analysis.choices, job);
        FUZZ_CHECK(again.words.size() == analysis.words.size());
        FUZZ_CHECK(again.skippedLines == analysis.skippedLines);
        ImportChoices other = analysis.choices;
        other.separator = size > 0 && data[0] % 2 ? u';' : char16_t{0};
        other.header = !other.header;
        other.roles = {ColumnRole::meaning, ColumnRole::word, ColumnRole::partOfSpeech, ColumnRole::phonetic};
        checkWords(applyImportChoices(analysis, other, job));
    }
    return 0;
}
