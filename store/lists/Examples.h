// Example sentences and word forms shipped beside the word lists
// (dic/mivora-examples.tsv): for a word, its inflected forms and up to two
// short English sentences that use it, each with its Chinese translation.
// The file is UTF-8, one word a line:
//   word<TAB>forms[<TAB>id<TAB>form<TAB>english<TAB>chinese]...
// `forms` is a '/'-joined list of code:form pairs ("p:went/d:gone"), `id`
// the sentence's number in its source, `form` the word as the sentence
// spells it. Lines starting with '#' are comments. The table is read once,
// off the UI thread, and then only looked up.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

constexpr char16_t kExamplesFileName[] = u"mivora-examples.tsv";

// The file is read up to this size; a bigger one is not a file the program
// shipped, and is left unread.
constexpr std::size_t kExamplesFileLimit = 64u << 20;
// Longer lines are skipped: no word and two sentences come near it.
constexpr std::size_t kExampleLineLimit = 8192;
constexpr std::size_t kSentencesPerWord = 2;

struct WordForm {
    char16_t code = 0;  // p d i 3 s r t
    std::u16string form;
};

struct ExampleSentence {
    std::u16string id;  // decimal digits
    std::u16string english;
    std::u16string chinese;
    // The word's form in `english`, drawn in bold: its first whole-word
    // occurrence regardless of ASCII case; length 0 when it does not occur.
    std::size_t boldStart = 0;
    std::size_t boldLength = 0;
};

struct WordExamples {
    std::vector<WordForm> forms;
    std::vector<ExampleSentence> sentences;
};

// The Chinese name of a form code ("过去式" for 'p'); empty for an unknown one.
std::u16string_view formLabel(char16_t code) noexcept;
// The forms on one line: "过去式 went · 过去分词 gone · 现在分词 going".
std::u16string formsLine(const std::vector<WordForm>& forms);
// Where `form` first stands in `sentence` as a whole word (not inside a
// longer word), regardless of ASCII case; false when it does not.
bool findWholeWord(std::u16string_view sentence, std::u16string_view form, std::size_t& start) noexcept;

class Examples {
public:
    // The table of the file's bytes: bad lines (too few or too many fields,
    // a sentence number that is not one, text that is not UTF-8, an empty
    // word) are skipped; of two lines for the same word the first counts.
    static Examples parse(std::string_view bytes);
    // The first of `folders` that holds a readable mivora-examples.tsv; an
    // empty table when none does (or it is too big, or memory runs out).
    static Examples load(const std::vector<std::filesystem::path>& folders);

    // The word's forms and sentences, its ASCII letters in any case;
    // nullptr when the file has nothing for it.
    const WordExamples* find(std::u16string_view word) const;
    std::size_t size() const { return words_.size(); }
    bool empty() const { return words_.empty(); }

private:
    std::unordered_map<std::u16string, WordExamples> words_;
};

// The table as the UI thread holds it once the load has posted it.
using SharedExamples = std::shared_ptr<const Examples>;
