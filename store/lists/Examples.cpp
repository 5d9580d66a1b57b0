#include "store/lists/Examples.h"

#include <new>

#include "store/files/FileReplace.h"
#include "store/text/Text.h"

namespace {

// The longest sentence number taken: Tatoeba's are far shorter; more digits
// are not a number the program could show anyone.
constexpr std::size_t kIdDigitsLimit = 12;

bool isWordUnit(char16_t c) noexcept
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

std::vector<std::u16string_view> split(std::u16string_view text, char16_t separator)
{
    std::vector<std::u16string_view> pieces;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        if (at == std::u16string_view::npos) {
            pieces.push_back(text.substr(from));
            return pieces;
        }
        pieces.push_back(text.substr(from, at - from));
        from = at + 1;
    }
}

bool isSentenceId(std::u16string_view id) noexcept
{
    if (id.empty() || id.size() > kIdDigitsLimit) return false;
    for (char16_t c : id)
        if (c < u'0' || c > u'9') return false;
    return true;
}

std::vector<WordForm> parseForms(std::u16string_view text)
{
    std::vector<WordForm> forms;
    if (text.empty()) return forms;
    for (std::u16string_view piece : split(text, u'/')) {
        // "p:went": a known code, a colon, a form.
        if (piece.size() < 3 || piece[1] != u':' || formLabel(piece[0]).empty()) continue;
        forms.push_back(WordForm{piece[0], std::u16string(piece.substr(2))});
    }
    return forms;
}

// One line without its line break; false when it is not one to keep.
bool parseLine(std::string_view bytes, std::u16string& word, WordExamples& examples)
{
    if (bytes.empty() || bytes.front() == '#' || bytes.size() > kExampleLineLimit) return false;
    std::u16string text;
    if (!decodeUtf8(bytes, text)) return false;
    const std::vector<std::u16string_view> fields = split(text, u'\t');
    if (fields.size() < 2 || (fields.size() - 2) % 4 != 0 || (fields.size() - 2) / 4 > kSentencesPerWord) return false;
    if (fields[0].empty()) return false;
    word.assign(fields[0]);
    examples.forms = parseForms(fields[1]);
    examples.sentences.clear();
    for (std::size_t at = 2; at + 4 <= fields.size(); at += 4) {
        const std::u16string_view id = fields[at];
        const std::u16string_view form = fields[at + 1];
        const std::u16string_view english = fields[at + 2];
        const std::u16string_view chinese = fields[at + 3];
        if (!isSentenceId(id) || english.empty() || chinese.empty()) continue;
        ExampleSentence sentence{std::u16string(id), std::u16string(english), std::u16string(chinese), 0, 0};
        std::size_t start = 0;
        // The form as the file names it; the word itself where that form is
        // not in the sentence (a file written by hand).
        if (!form.empty() && findWholeWord(english, form, start)) {
            sentence.boldStart = start;
            sentence.boldLength = form.size();
        } else if (findWholeWord(english, word, start)) {
            sentence.boldStart = start;
            sentence.boldLength = word.size();
        }
        examples.sentences.push_back(std::move(sentence));
    }
    return !examples.forms.empty() || !examples.sentences.empty();
}

}  // namespace

std::u16string_view formLabel(char16_t code) noexcept
{
    switch (code) {
    case u'p':
        return u"过去式";
    case u'd':
        return u"过去分词";
    case u'i':
        return u"现在分词";
    case u'3':
        return u"第三人称单数";
    case u's':
        return u"复数";
    case u'r':
        return u"比较级";
    case u't':
        return u"最高级";
    default:
        return {};
    }
}

std::u16string formsLine(const std::vector<WordForm>& forms)
{
    std::u16string line;
    for (const WordForm& form : forms) {
        if (!line.empty()) line += u" · ";
        line += formLabel(form.code);
        line += u' ';
        line += form.form;
    }
    return line;
}

bool findWholeWord(std::u16string_view sentence, std::u16string_view form, std::size_t& start) noexcept
{
    if (form.empty() || form.size() > sentence.size()) return false;
    for (std::size_t at = 0; at + form.size() <= sentence.size(); ++at) {
        if (at > 0 && isWordUnit(sentence[at - 1]) && isWordUnit(form.front())) continue;
        const std::size_t end = at + form.size();
        if (end < sentence.size() && isWordUnit(sentence[end]) && isWordUnit(form.back())) continue;
        if (equalNoCase(sentence.substr(at, form.size()), form)) {
            start = at;
            return true;
        }
    }
    return false;
}

Examples Examples::parse(std::string_view bytes)
{
    Examples table;
    // A byte order mark, should an editor have added one.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::u16string word;
    WordExamples examples;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!parseLine(line, word, examples)) continue;
        table.words_.try_emplace(foldedWord(word), std::move(examples));
        examples = WordExamples{};
    }
    return table;
}

Examples Examples::load(const std::vector<std::filesystem::path>& folders)
{
    try {
        for (const std::filesystem::path& folder : folders) {
            const std::filesystem::path file = folder / std::filesystem::path(kExamplesFileName);
            std::error_code error;
            const auto size = std::filesystem::file_size(file, error);
            if (error) continue;
            if (size > kExamplesFileLimit) return Examples{};
            FileContent content;
            if (!readWholeFile(file, content)) continue;
            return parse(content.view());
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::filesystem::filesystem_error&) {}
    return Examples{};
}

const WordExamples* Examples::find(std::u16string_view word) const
{
    if (words_.empty()) return nullptr;
    const auto found = words_.find(foldedWord(word));
    return found == words_.end() ? nullptr : &found->second;
}
