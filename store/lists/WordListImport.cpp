#include "store/lists/WordListImport.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "store/lists/DictionaryFormat.h"
#include "store/files/FileReplace.h"
#include "store/files/FileNames.h"
#include "store/text/Text.h"

namespace {

// Longest word taken; anything longer is a sentence or a broken line.
constexpr std::size_t kImportWordUnits = 128;
// Line numbers named in the message before the rest is summed up.
constexpr std::size_t kNamedLines = 30;

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x3000 || c == 0xA0 || c == 0xFEFF;
}

std::u16string_view trim(std::u16string_view text)
{
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool startsWith(std::u16string_view text, std::u16string_view prefix)
{
    return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

std::u16string ascii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string number(std::size_t n)
{
    return ascii(std::to_string(n));
}

// The bytes as text; false when they are no text at all.
bool decodeText(std::string_view bytes, const CodePageDecoder& codePage, std::u16string& text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        text.clear();
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(little ? byte(i) | (byte(i + 1) << 8) : (byte(i) << 8) | byte(i + 1)));
    } else if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        decodeUtf8(bytes.substr(3), text);
    } else if (bytes.find('\0') != std::string_view::npos) {
        return false;  // text without a mark has no zero byte
    } else if (!decodeUtf8(bytes, text)) {
        text = codePage(bytes);
    }
    // A picture or a program read as text is full of control characters
    // and characters that could not be decoded.
    std::size_t odd = 0;
    for (const char16_t c : text) {
        if (c == 0) return false;
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFD || c == 0x7F) ++odd;
    }
    return odd * 50 <= text.size();
}

std::u16string decodeEntities(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t semicolon = text[i] == u'&' ? text.find(u';', i) : std::u16string_view::npos;
        if (semicolon == std::u16string_view::npos || semicolon - i > 10) {
            out.push_back(text[i]);
            continue;
        }
        const std::u16string_view name = text.substr(i + 1, semicolon - i - 1);
        char32_t c = 0;
        if (name == u"amp")
            c = u'&';
        else if (name == u"lt")
            c = u'<';
        else if (name == u"gt")
            c = u'>';
        else if (name == u"quot")
            c = u'"';
        else if (name == u"apos")
            c = u'\'';
        else if (name == u"nbsp")
            c = u' ';
        else if (name.size() >= 2 && name[0] == u'#') {
            const bool hex = name[1] == u'x' || name[1] == u'X';
            for (const char16_t d : name.substr(hex ? 2 : 1)) {
                const int v = d >= u'0' && d <= u'9'          ? d - u'0'
                              : hex && d >= u'a' && d <= u'f' ? d - u'a' + 10
                              : hex && d >= u'A' && d <= u'F' ? d - u'A' + 10
                                                              : -1;
                if (v < 0 || c > 0x10FFFF) {
                    c = 0;
                    break;
                }
                c = c * (hex ? 16 : 10) + static_cast<char32_t>(v);
            }
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0;
        }
        if (c == 0) {
            out.push_back(text[i]);
            continue;
        }
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i = semicolon;
    }
    return out;
}

// A field as the list keeps it: tags gone (where the file holds HTML),
// entities decoded, all white space one space, the two units that end or
// divide a dictionary line replaced.
std::u16string cleanField(std::u16string_view field, bool html)
{
    std::u16string text;
    if (html) {
        for (std::size_t i = 0; i < field.size(); ++i) {
            const char16_t next = i + 1 < field.size() ? field[i + 1] : u'\0';
            const bool tag = field[i] == u'<' && ((next >= u'a' && next <= u'z') || (next >= u'A' && next <= u'Z') ||
                                                  next == u'/' || next == u'!');
            const std::size_t close = tag ? field.find(u'>', i) : std::u16string_view::npos;
            if (close == std::u16string_view::npos) {
                text.push_back(field[i]);
                continue;
            }
            text.push_back(u' ');  // <br>, </div>: the words on either side stay apart
            i = close;
        }
        text = decodeEntities(text);
    } else {
        text.assign(field);
    }
    std::u16string out;
    for (const char16_t c : text) {
        if (isSpace(c) || c < 0x20) {
            if (!out.empty() && out.back() != u' ') out.push_back(u' ');
        } else if (c == u'|') {
            out.push_back(u'/');
        } else if (c != u'^') {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

bool isIpaLetter(char16_t c)
{
    return (c >= 0x250 && c <= 0x2FF) || c == 0xE6 || c == 0xF0 || c == 0x3B8 || c == 0x14B;
}

// "英 [ˈæpl] 美 [ˈæpl]": the first transcription, where the labels of the
// two pronunciations stand before them.
std::u16string_view firstOfTwo(std::u16string_view text)
{
    text = trim(text);
    if (text.empty() || (text[0] != u'英' && text[0] != u'美')) return text;
    const std::size_t open = text.find_first_of(u"[/");
    if (open == std::u16string_view::npos) return text;
    const std::size_t close = text.find(text[open] == u'[' ? u']' : u'/', open + 1);
    if (close == std::u16string_view::npos) return text;
    return text.substr(open, close - open + 1);
}

// A transcription: in slashes or square brackets, or bare but written with
// IPA letters; never with Chinese, which "[计] 计算机" has.
bool looksPhonetic(std::u16string_view text)
{
    text = firstOfTwo(text);
    if (text.size() < 2) return false;
    if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x2E80 && c < 0xA000; })) return false;
    const bool wrapped = text.size() >= 3 && ((text.front() == u'/' && text.back() == u'/') ||
                                              (text.front() == u'[' && text.back() == u']'));
    return wrapped || std::any_of(text.begin(), text.end(), isIpaLetter);
}

// The transcription without its brackets or slashes; empty when it cannot
// be kept whole.
std::u16string phoneticOf(std::u16string_view text)
{
    text = firstOfTwo(text);
    if (text.size() >= 2 &&
        ((text.front() == u'[' && text.back() == u']') || (text.front() == u'/' && text.back() == u'/')))
        text = trim(text.substr(1, text.size() - 2));
    if (text.size() > kTranscriptionUnits) return {};
    return std::u16string(text);
}

bool wordFits(std::u16string_view word)
{
    if (word.empty() || word.size() > kImportWordUnits) return false;
    bool letter = false;
    for (const char16_t c : word) {
        if (c < 0x20 || c == u'|' || c == u'^' || c == 0xFFFD) return false;
        letter = letter || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c >= 0x80;
    }
    return letter;
}

// Collects the words, each once, and the lines that could not be read.
class Collector {
public:
    explicit Collector(ImportResult& result) : result_(result) {}

    void add(std::size_t line, std::u16string_view word, std::u16string_view phonetic, std::u16string_view meaning,
             bool html)
    {
        // A bar cannot stand in a word of a list; in a meaning it becomes a
        // slash.
        const std::u16string cleanWord = cleanField(word, html);
        if (word.find(u'|') != std::u16string_view::npos || !wordFits(cleanWord)) {
            skip(line);
            return;
        }
        std::u16string cleanMeaning = cleanField(meaning, html);
        cleanMeaning.resize(cutLength(cleanMeaning, kContentUnits - 1));
        std::u16string cleanPhonetic = phoneticOf(cleanField(phonetic, html));
        const auto [at, fresh] = seen_.emplace(foldedWord(cleanWord), result_.words.size());
        if (fresh) {
            result_.words.push_back({cleanWord, std::move(cleanPhonetic), std::move(cleanMeaning)});
            return;
        }
        // The same word again: it may bring what the first lacked.
        ImportedWord& kept = result_.words[at->second];
        if (kept.phonetic.empty()) kept.phonetic = std::move(cleanPhonetic);
        if (kept.meaning.empty()) kept.meaning = std::move(cleanMeaning);
    }
    void skip(std::size_t line)
    {
        if (result_.skippedLines.empty() || result_.skippedLines.back() != line) result_.skippedLines.push_back(line);
    }

private:
    ImportResult& result_;
    std::unordered_map<std::u16string, std::size_t> seen_;
};

// The lines of a text with their numbers; CR LF, LF and a lone CR end one.
struct Line {
    std::size_t number;
    std::u16string_view text;
};
std::vector<Line> linesOf(std::u16string_view text)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\n' && text[i] != u'\r') continue;
        lines.push_back({lines.size() + 1, text.substr(start, i - start)});
        if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    return lines;
}

std::size_t lineAt(std::u16string_view text, std::size_t pos)
{
    return 1 +
           static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(pos), u'\n'));
}

// The text of <name>…</name> in `item`, a CDATA section taken as it stands.
std::u16string xmlField(std::u16string_view item, std::u16string_view name, bool& broken)
{
    const std::u16string open = u"<" + std::u16string(name) + u">";
    const std::u16string close = u"</" + std::u16string(name) + u">";
    const std::size_t start = item.find(open);
    if (start == std::u16string_view::npos) return {};
    const std::size_t end = item.find(close, start);
    if (end == std::u16string_view::npos) {
        broken = true;
        return {};
    }
    std::u16string_view inner = trim(item.substr(start + open.size(), end - start - open.size()));
    constexpr std::u16string_view kCdata = u"<![CDATA[";
    if (inner.substr(0, kCdata.size()) == kCdata) {
        const std::size_t cdataEnd = inner.find(u"]]>");
        if (cdataEnd == std::u16string_view::npos) {
            broken = true;
            return {};
        }
        return std::u16string(inner.substr(kCdata.size(), cdataEnd - kCdata.size()));
    }
    return decodeEntities(inner);
}

// 有道词典's 单词本: <wordbook><item><word>…</word><trans>…</trans>
// <phonetic>…</phonetic>…</item>…</wordbook>.
void parseYoudao(std::u16string_view text, Collector& collect)
{
    std::size_t pos = 0;
    for (;;) {
        std::size_t start = text.find(u"<item>", pos);
        if (start == std::u16string_view::npos) break;
        const std::size_t end = text.find(u"</item>", start);
        if (end == std::u16string_view::npos) {
            collect.skip(lineAt(text, start));
            break;
        }
        const std::u16string_view item = text.substr(start, end - start);
        bool broken = false;
        const std::u16string word = xmlField(item, u"word", broken);
        const std::u16string trans = xmlField(item, u"trans", broken);
        const std::u16string phonetic = xmlField(item, u"phonetic", broken);
        if (broken)
            collect.skip(lineAt(text, start));
        else
            collect.add(lineAt(text, start), word, phonetic, trans, false);
        pos = end + 7;
    }
}

// The word of `N@word@definition`, 欧路词典's TXT; nullopt-like false when the
// line starts no entry.
bool eudicEntry(std::u16string_view line, std::u16string_view& word, std::u16string_view& definition)
{
    line = trim(line);
    std::size_t i = 0;
    while (i < line.size() && line[i] >= u'0' && line[i] <= u'9') ++i;
    if (i == 0 || i >= line.size() || line[i] != u'@') return false;
    const std::size_t at = line.find(u'@', i + 1);
    word = line.substr(i + 1, at == std::u16string_view::npos ? std::u16string_view::npos : at - i - 1);
    definition = at == std::u16string_view::npos ? std::u16string_view{} : line.substr(at + 1);
    return true;
}

// 欧路词典's TXT: an entry starts at `N@word@`, its definition runs on over
// the lines up to the next entry.
void parseEudicText(const std::vector<Line>& lines, Collector& collect)
{
    std::size_t entryLine = 0;
    std::u16string_view word;
    std::u16string definition;
    const auto flush = [&] {
        if (entryLine != 0) collect.add(entryLine, word, {}, definition, true);
    };
    for (const Line& line : lines) {
        std::u16string_view nextWord, nextDefinition;
        if (eudicEntry(line.text, nextWord, nextDefinition)) {
            flush();
            entryLine = line.number;
            word = nextWord;
            definition.assign(nextDefinition);
        } else if (!trim(line.text).empty()) {
            if (entryLine == 0) {
                collect.skip(line.number);
                continue;
            }
            definition += u' ';
            definition += line.text;
        }
    }
    flush();
}

// Reads records of separated fields, quoted as CSV quotes them (a quoted
// field may hold separators, line breaks and doubled quotes).
class RecordReader {
public:
    RecordReader(std::u16string_view text, char16_t separator) : text_(text), separator_(separator) {}
    bool next(std::vector<std::u16string>& fields, std::size_t& line)
    {
        if (pos_ >= text_.size()) return false;
        fields.assign(1, std::u16string());
        line = line_;
        bool quoted = false;
        bool fieldStart = true;
        while (pos_ < text_.size()) {
            const char16_t c = text_[pos_++];
            if (quoted) {
                if (c == u'"' && pos_ < text_.size() && text_[pos_] == u'"') {
                    fields.back().push_back(u'"');
                    ++pos_;
                } else if (c == u'"') {
                    quoted = false;
                } else {
                    if (c == u'\n') ++line_;
                    fields.back().push_back(c);
                }
                continue;
            }
            if (c == u'\n' || c == u'\r') {
                if (c == u'\r' && pos_ < text_.size() && text_[pos_] == u'\n') ++pos_;
                ++line_;
                return true;
            }
            if (separator_ != 0 && c == separator_) {
                fields.emplace_back();
                fieldStart = true;
                continue;
            }
            if (c == u'"' && fieldStart && separator_ != 0) {
                quoted = true;
                fieldStart = false;
                continue;
            }
            if (!isSpace(c)) fieldStart = false;
            fields.back().push_back(c);
        }
        return true;
    }

private:
    std::u16string_view text_;
    char16_t separator_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

bool isNumber(std::u16string_view text)
{
    text = trim(text);
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// Which column a header names: 0 word, 1 phonetic, 2 meaning, -1 none.
int headerColumn(std::u16string_view field)
{
    static constexpr std::u16string_view words[] = {u"word", u"单词", u"生词", u"词汇", u"英文", u"单词名称", u"front"};
    static constexpr std::u16string_view phonetics[] = {u"phonetic", u"音标", u"发音", u"pronunciation"};
    static constexpr std::u16string_view meanings[] = {u"definition", u"meaning", u"translation", u"释义",
                                                       u"解释",       u"词义",    u"中文",        u"翻译",
                                                       u"注释",       u"back",    u"explanation", u"释意"};
    field = trim(field);
    for (const auto w : words)
        if (equalNoCase(field, w)) return 0;
    for (const auto p : phonetics)
        if (equalNoCase(field, p)) return 1;
    for (const auto m : meanings)
        if (equalNoCase(field, m)) return 2;
    return -1;
}

// Anki's text export, Excel's CSV and tab-separated text, 欧路词典's CSV and
// plain lists of words.
void parseSeparated(std::u16string_view text, const std::vector<Line>& lines, Collector& collect)
{
    // Anki's header lines: "#separator:tab", "#html:true", "#tags column:3".
    char16_t separator = 0;
    bool separatorKnown = false;
    bool html = true;
    std::vector<std::size_t> dropped;  // 0-based columns that hold no field of the note
    std::size_t bodyLine = 0;
    for (; bodyLine < lines.size(); ++bodyLine) {
        const std::u16string_view line = trim(lines[bodyLine].text);
        const std::size_t colon = line.find(u':');
        if (line.empty() || line[0] != u'#' || colon == std::u16string_view::npos) break;
        const std::u16string_view key = trim(line.substr(1, colon - 1));
        const std::u16string_view value = trim(line.substr(colon + 1));
        if (equalNoCase(key, u"separator")) {
            separatorKnown = true;
            separator = equalNoCase(value, u"tab")         ? u'\t'
                        : equalNoCase(value, u"comma")     ? u','
                        : equalNoCase(value, u"semicolon") ? u';'
                        : equalNoCase(value, u"pipe")      ? u'|'
                        : equalNoCase(value, u"space")     ? u' '
                        : equalNoCase(value, u"colon")     ? u':'
                        : value.size() == 1                ? value[0]
                                                           : u'\t';
        } else if (equalNoCase(key, u"html")) {
            html = !equalNoCase(value, u"false");
        } else if (key.size() > 7 && equalNoCase(key.substr(key.size() - 7), u" column")) {
            const std::int32_t column = numericKey(value);
            if (column > 0) dropped.push_back(static_cast<std::size_t>(column - 1));
        }
    }
    // The records start after the header lines and their line breaks.
    std::size_t offset = 0;
    if (bodyLine > 0) {
        offset =
            static_cast<std::size_t>(lines[bodyLine - 1].text.data() + lines[bodyLine - 1].text.size() - text.data());
        if (offset < text.size() && text[offset] == u'\r') ++offset;
        if (offset < text.size() && text[offset] == u'\n') ++offset;
    }

    if (!separatorKnown) {
        // The separator that most of the first lines hold; none in most of
        // them makes a plain list of words.
        std::size_t sample = 0, tabs = 0, semicolons = 0, commas = 0;
        for (std::size_t i = bodyLine; i < lines.size() && sample < 50; ++i) {
            if (trim(lines[i].text).empty()) continue;
            ++sample;
            tabs += lines[i].text.find(u'\t') != std::u16string_view::npos;
            semicolons += lines[i].text.find(u';') != std::u16string_view::npos;
            commas += lines[i].text.find(u',') != std::u16string_view::npos;
        }
        separator = tabs * 2 >= sample && tabs > 0               ? u'\t'
                    : semicolons * 2 >= sample && semicolons > 0 ? u';'
                    : commas * 2 >= sample && commas > 0         ? u','
                                                                 : char16_t{0};
    }

    RecordReader reader(text.substr(offset), separator);
    std::vector<std::u16string> fields;
    std::size_t line = 0;
    bool first = true;
    int wordColumn = -1, phoneticColumn = -1, meaningColumn = -1;
    while (reader.next(fields, line)) {
        line += bodyLine;
        for (auto d = dropped.rbegin(); d != dropped.rend(); ++d) {
            if (*d < fields.size()) fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(*d));
        }
        if (std::all_of(fields.begin(), fields.end(), [](const std::u16string& f) { return trim(f).empty(); }))
            continue;
        if (first) {
            first = false;
            // A header row names its columns.
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const int column = headerColumn(fields[i]);
                if (column == 0 && wordColumn < 0) wordColumn = static_cast<int>(i);
                if (column == 1 && phoneticColumn < 0) phoneticColumn = static_cast<int>(i);
                if (column == 2 && meaningColumn < 0) meaningColumn = static_cast<int>(i);
            }
            if (wordColumn >= 0) continue;
            phoneticColumn = meaningColumn = -1;
        }
        const auto field = [&](int i) {
            return i >= 0 && static_cast<std::size_t>(i) < fields.size() ? std::u16string_view(fields[i])
                                                                         : std::u16string_view{};
        };
        if (wordColumn >= 0) {
            collect.add(line, field(wordColumn), field(phoneticColumn), field(meaningColumn), html);
            continue;
        }
        // The word first (after 欧路词典's running number), then the meaning;
        // a column that looks like a phonetic is one.
        std::size_t at = fields.size() >= 2 && isNumber(fields[0]) ? 1 : 0;
        std::u16string_view phonetic, meaning;
        for (std::size_t i = at + 1; i < fields.size(); ++i) {
            const std::u16string cleaned = cleanField(fields[i], html);
            if (phonetic.empty() && looksPhonetic(cleaned))
                phonetic = fields[i];
            else if (meaning.empty() && !cleaned.empty())
                meaning = fields[i];
        }
        collect.add(line, fields[at], phonetic, meaning, html);
    }
}

}  // namespace

ImportResult parseWordList(std::string_view bytes, const CodePageDecoder& codePage)
{
    ImportResult result;
    if (bytes.empty()) {
        result.refusal = ImportRefusal::empty;
        return result;
    }
    if (bytes.size() > kImportMaxBytes) {
        result.refusal = ImportRefusal::tooLarge;
        return result;
    }
    std::u16string text;
    if (!decodeText(bytes, codePage, text)) {
        result.refusal = ImportRefusal::notText;
        return result;
    }
    const std::vector<Line> lines = linesOf(text);
    const auto firstLine =
        std::find_if(lines.begin(), lines.end(), [](const Line& l) { return !trim(l.text).empty(); });
    if (firstLine == lines.end()) {
        result.refusal = ImportRefusal::empty;
        return result;
    }
    Collector collect(result);
    const std::u16string_view head = trim(firstLine->text);
    std::u16string_view word, definition;
    if (startsWith(head, u"<?xml") || startsWith(head, u"<wordbook"))
        parseYoudao(text, collect);
    else if (eudicEntry(head, word, definition))
        parseEudicText(lines, collect);
    else
        parseSeparated(text, lines, collect);
    if (result.words.empty()) result.refusal = ImportRefusal::noWords;
    return result;
}

void fillFromShippedLists(std::vector<ImportedWord>& words, const std::vector<std::filesystem::path>& folders)
{
    std::unordered_map<std::u16string, std::vector<std::size_t>> wanted;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i].phonetic.empty() || words[i].meaning.empty()) wanted[foldedWord(words[i].word)].push_back(i);
    }
    for (const std::u16string_view list : kShippedLists) {
        if (wanted.empty()) return;
        std::filesystem::path fileName;
        if (!makeFileName(list, u".txt", fileName)) continue;
        FileContent content;
        if (std::none_of(folders.begin(), folders.end(), [&](const std::filesystem::path& folder) {
                return readWholeFile(folder / fileName, content);
            }))
            continue;
        const std::u16string text = decodeDictionaryText(content.view());
        DictionaryLines lines(text);
        std::u16string_view line;
        while (lines.next(line)) {
            const DictionaryLineParts parts = splitDictionaryLine(line);
            const auto found = wanted.find(foldedWord(parts.word));
            if (found == wanted.end()) continue;
            bool complete = true;
            for (const std::size_t i : found->second) {
                ImportedWord& word = words[i];
                if (word.phonetic.empty()) word.phonetic.assign(parts.transcription);
                if (word.meaning.empty()) word.meaning.assign(parts.content);
                complete = complete && !word.phonetic.empty() && !word.meaning.empty();
            }
            if (complete) wanted.erase(found);
        }
    }
}

std::string dictionaryBytes(const std::vector<ImportedWord>& words)
{
    std::string bytes;
    const auto put = [&](std::u16string_view text) {
        for (const char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
    };
    for (const ImportedWord& word : words) {
        put(word.word);
        put(u"|");
        put(word.phonetic);
        put(u"|");
        put(word.meaning);
        put(u"\r\n");
    }
    return bytes;
}

std::u16string importMessage(const ImportResult& result)
{
    switch (result.refusal) {
    case ImportRefusal::unreadable:
        return u"无法读取这个文件，没有导入。";
    case ImportRefusal::empty:
        return u"这个文件是空的，没有可以导入的单词。";
    case ImportRefusal::tooLarge:
        return u"这个文件太大（超过 16 MB），不像是生词本，没有导入。";
    case ImportRefusal::notText:
        return u"这个文件不是文本（可能是图片或其他文件），不是生词本，没有导入。";
    case ImportRefusal::noWords:
        return u"这个文件里没有找到可以导入的单词，没有导入。";
    case ImportRefusal::notWritten:
        return u"无法在词库文件夹里写入新词库，没有导入。";
    case ImportRefusal::none:
        break;
    }
    std::u16string message = u"导入 " + number(result.words.size()) + u" 个词";
    if (result.skippedLines.empty()) return message;
    message += u"，跳过 " + number(result.skippedLines.size()) + u" 行：第 ";
    for (std::size_t i = 0; i < result.skippedLines.size() && i < kNamedLines; ++i) {
        if (i > 0) message += u"、";
        message += number(result.skippedLines[i]);
    }
    message += result.skippedLines.size() > kNamedLines ? u" 行等" : u" 行";
    return message;
}

std::u16string importedListName(const std::filesystem::path& file, std::size_t maxUnits,
                                const std::function<bool(std::u16string_view)>& taken)
{
    std::u16string stem = file.stem().u16string();
    std::u16string name;
    for (const char16_t c : trim(stem)) name.push_back(c < 0x20 || c == u'|' || c == u'^' ? u'_' : c);
    constexpr std::size_t kRoomForNumber = 6;  // " (99)"
    const std::size_t room = maxUnits > kRoomForNumber ? maxUnits - kRoomForNumber : maxUnits;
    name.resize(cutLength(name, room));
    while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
    // The review log shares the folder and its ".txt": a list must never
    // take its name.
    if (name.empty() || !isPlainFileName(name) || isReviewLogFileName(name + u".txt")) name = u"生词本";
    if (!taken(name)) return name;
    for (std::size_t n = 2; n < 1000; ++n) {
        const std::u16string numbered = name + u" (" + number(n) + u")";
        if (numbered.size() <= maxUnits && !taken(numbered)) return numbered;
    }
    return {};
}

ImportResult importWordList(const std::filesystem::path& file, const std::filesystem::path& folder,
                            std::u16string_view name, const std::vector<std::filesystem::path>& folders,
                            const CodePageDecoder& codePage)
{
    ImportResult result;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        result.refusal = ImportRefusal::unreadable;
        return result;
    }
    // A huge file is refused before it is read.
    if (size > kImportMaxBytes) {
        result.refusal = ImportRefusal::tooLarge;
        return result;
    }
    FileContent content;
    try {
        if (!readWholeFile(file, content)) {
            result.refusal = ImportRefusal::unreadable;
            return result;
        }
        result = parseWordList(content.view(), codePage);
        if (result.refusal != ImportRefusal::none) return result;
        fillFromShippedLists(result.words, folders);
    } catch (const std::bad_alloc&) {
        result = ImportResult{};
        result.refusal = ImportRefusal::tooLarge;
        return result;
    }

    std::filesystem::path target, temporary;
    bool ok = makeFileName(name, u".txt", target) && makeFileName(name, u".txt.tmp", temporary);
    if (ok) {
        std::filesystem::create_directories(folder, error);
        target = folder / target;
        temporary = folder / temporary;
        const std::string bytes = dictionaryBytes(result.words);
        // Never over a list of that name that appeared meanwhile.
        ok = removeFile(temporary) && writeFlushed(temporary, bytes) && renameNoReplace(temporary, target);
        if (!ok) removeFile(temporary);
    }
    if (!ok) {
        result.refusal = ImportRefusal::notWritten;
        result.words.clear();
    }
    return result;
}
