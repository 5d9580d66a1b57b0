#include "store/lists/WordListImport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

#include "store/files/FileNames.h"
#include "store/files/FileReplace.h"
#include "store/lists/DictionaryFormat.h"
#include "store/text/Gb18030.h"
#include "store/text/Text.h"

namespace {

// Longest word taken; anything longer is a sentence or a broken line.
constexpr std::size_t kImportWordUnits = 128;
// Line numbers named in the message before the rest is summed up.
constexpr std::size_t kNamedLines = 30;
// Columns whose content is weighed; more are ignored unless chosen.
constexpr std::size_t kWeighedColumns = 16;
// Bytes between two reports of progress.
constexpr std::size_t kProgressStep = 256u << 10;

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

std::u16string number(std::size_t n)
{
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

bool isHan(char16_t c)
{
    return (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF);
}

bool hasHan(std::u16string_view text)
{
    return std::any_of(text.begin(), text.end(), isHan);
}

bool isLatinLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

bool hasLatin(std::u16string_view text)
{
    return std::any_of(text.begin(), text.end(), isLatinLetter);
}

template <class Bytes>
void appendUtf8(std::u16string_view text, Bytes& out)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        appendCodePoint(c, out);
    }
}

char foldByte(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::size_t foldedHash(std::string_view utf8)
{
    std::size_t hash = 14695981039346656037ull & ~std::size_t{0};
    for (const char c : utf8) hash = (hash ^ static_cast<unsigned char>(foldByte(c))) * 1099511628211ull;
    return hash;
}

bool equalFolded(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return foldByte(x) == foldByte(y); });
}

}  // namespace

// ---- The packed words -------------------------------------------------------

namespace {

struct Record {
    std::string_view word, phonetic, meaning;
};

Record recordAt(const std::vector<char>& pool, std::uint32_t at)
{
    const auto length = [&](std::size_t i) {
        return static_cast<std::size_t>(static_cast<unsigned char>(pool[at + i]) |
                                        (static_cast<unsigned char>(pool[at + i + 1]) << 8));
    };
    const std::size_t w = length(0), p = length(2), m = length(4);
    const std::string_view all(pool.data() + at + 6, w + p + m);
    return {all.substr(0, w), all.substr(w, p), all.substr(w + p, m)};
}

std::u16string fromUtf8(std::string_view bytes)
{
    std::u16string text;
    decodeUtf8(bytes, text);
    return text;
}

}  // namespace

ImportedWord ImportedWords::operator[](std::size_t i) const
{
    const Record r = recordAt(pool_, entries_[i]);
    return {fromUtf8(r.word), fromUtf8(r.phonetic), fromUtf8(r.meaning)};
}

std::size_t ImportedWords::find(std::string_view word) const
{
    if (slots_.empty()) return entries_.size();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = foldedHash(word) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot] == 0) return entries_.size();
        const std::size_t i = slots_[slot] - 1;
        if (equalFolded(recordAt(pool_, entries_[i]).word, word)) return i;
    }
}

std::size_t ImportedWords::indexOf(std::u16string_view word) const
{
    std::string utf8;
    appendUtf8(word, utf8);
    return find(utf8);
}

void ImportedWords::grow()
{
    if ((entries_.size() + 1) * 2 <= slots_.size()) return;
    std::vector<std::uint32_t> slots(std::max<std::size_t>(64, slots_.size() * 2), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        std::size_t slot = foldedHash(recordAt(pool_, entries_[i]).word) & mask;
        while (slots[slot] != 0) slot = (slot + 1) & mask;
        slots[slot] = static_cast<std::uint32_t>(i + 1);
    }
    slots_.swap(slots);
}

std::uint32_t ImportedWords::append(std::string_view word, std::u16string_view phonetic, std::u16string_view meaning)
{
    // The pool grows by a quarter, not double: at the moment it moves, the
    // old and the new buffer are both held.
    const std::size_t need = pool_.size() + 6 + word.size() + 3 * (phonetic.size() + meaning.size());
    if (need > pool_.capacity()) pool_.reserve(std::max(need, pool_.capacity() + pool_.capacity() / 4 + 4096));
    const std::size_t at = pool_.size();
    pool_.insert(pool_.end(), 6, '\0');
    pool_.insert(pool_.end(), word.begin(), word.end());
    appendUtf8(phonetic, pool_);
    const std::size_t p = pool_.size() - at - 6 - word.size();
    appendUtf8(meaning, pool_);
    const std::size_t m = pool_.size() - at - 6 - word.size() - p;
    const std::size_t lengths[] = {word.size(), p, m};
    for (std::size_t i = 0; i < 3; ++i) {
        pool_[at + 2 * i] = static_cast<char>(lengths[i] & 0xFF);
        pool_[at + 2 * i + 1] = static_cast<char>(lengths[i] >> 8);
    }
    return static_cast<std::uint32_t>(at);
}

bool ImportedWords::add(std::u16string_view word, std::u16string_view phonetic, std::u16string_view meaning)
{
    std::string utf8;
    appendUtf8(word, utf8);
    const std::size_t i = find(utf8);
    if (i < entries_.size()) {
        // The same word again: it may bring what the first lacked.
        const Record kept = recordAt(pool_, entries_[i]);
        if ((kept.phonetic.empty() && !phonetic.empty()) || (kept.meaning.empty() && !meaning.empty())) {
            const std::u16string p = kept.phonetic.empty() ? std::u16string(phonetic) : fromUtf8(kept.phonetic);
            const std::u16string m = kept.meaning.empty() ? std::u16string(meaning) : fromUtf8(kept.meaning);
            replace(i, p, m);
        }
        return false;
    }
    grow();
    entries_.push_back(append(utf8, phonetic, meaning));
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = foldedHash(utf8) & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(entries_.size());
    return true;
}

void ImportedWords::replace(std::size_t i, std::u16string_view phonetic, std::u16string_view meaning)
{
    const std::string word(recordAt(pool_, entries_[i]).word);
    entries_[i] = append(word, phonetic, meaning);
}

bool ImportedWords::lacks(std::size_t i) const
{
    const Record r = recordAt(pool_, entries_[i]);
    return r.phonetic.empty() || r.meaning.empty();
}

void ImportedWords::reserve(std::size_t words, std::size_t bytes)
{
    entries_.reserve(words);
    pool_.reserve(bytes);
}

void ImportedWords::clear()
{
    std::vector<char>().swap(pool_);
    std::vector<std::uint32_t>().swap(entries_);
    std::vector<std::uint32_t>().swap(slots_);
}

// ---- Reading the bytes --------------------------------------------------------

namespace {

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
        static constexpr std::pair<std::u16string_view, char16_t> named[] = {
            {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}, {u"nbsp", u' '}};
        char32_t c = 0;
        for (const auto& [key, value] : named)
            if (name == key) c = value;
        if (name.size() >= 2 && name[0] == u'#') {
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

// Whether the system's code page is a Chinese one: it reads GBK's 你好 as
// two Chinese characters (Big5 reads other ones, Japanese and Korean do not).
bool chineseCodePage(const CodePageDecoder& codePage)
{
    const std::u16string probe = codePage("\xC4\xE3\xBA\xC3");
    return probe.size() == 2 && isHan(probe[0]) && isHan(probe[1]);
}

// Text that GB18030 reads without a fault and mostly as Chinese characters.
bool readsAsChinese(std::string_view bytes)
{
    std::u16string text;
    decodeGb18030(bytes.substr(0, std::min<std::size_t>(bytes.size(), 1u << 20)), text);
    std::size_t han = 0, other = 0;
    for (const char16_t c : text) {
        if (c == 0xFFFD) return false;
        if (isHan(c))
            ++han;
        else if (c >= 0x80 && !(c >= 0x3000 && c <= 0x303F) && !(c >= 0xFF00 && c <= 0xFFEF))
            ++other;
    }
    return han > 0 && other * 4 <= han;
}

// UTF-16 without a mark: most ASCII characters leave one byte of each pair
// zero, the same byte throughout.
bool utf16WithoutMark(std::string_view bytes, bool& little)
{
    std::size_t even = 0, odd = 0;
    const std::size_t end = std::min<std::size_t>(bytes.size() & ~std::size_t{1}, 1u << 16);
    for (std::size_t i = 0; i < end; i += 2) {
        even += bytes[i] == '\0';
        odd += bytes[i + 1] == '\0';
    }
    little = odd > even;
    return std::max(even, odd) * 4 >= end / 2 && std::min(even, odd) * 8 <= std::max(even, odd);
}

// How the bytes are read, and where the text starts (after a mark); false
// when they are no text.
bool chooseEncoding(std::string_view bytes, const CodePageDecoder& codePage, ImportEncoding& encoding,
                    std::size_t& start)
{
    const auto byte = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0; };
    start = 0;
    bool little = true;
    if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF)) {
        encoding = byte(0) == 0xFF ? ImportEncoding::utf16le : ImportEncoding::utf16be;
        start = 2;
        return true;
    }
    if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) start = 3;
    if (start == 0 && bytes.find('\0') != std::string_view::npos) {
        if (!utf16WithoutMark(bytes, little)) return false;
        encoding = little ? ImportEncoding::utf16le : ImportEncoding::utf16be;
        return true;
    }
    // Line by line: a file that is UTF-8 but for a stray byte or two stays
    // UTF-8, and only those lines are lost.
    std::size_t valid = 0, invalid = 0;
    std::u16string scratch;
    for (std::size_t at = start; at < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
        const std::string_view line = bytes.substr(at, end - at);
        if (std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            ++(decodeUtf8(line, scratch) ? valid : invalid);
        at = end + 1;
    }
    if (invalid == 0 || start == 3 || invalid * 4 <= valid) {
        encoding = invalid == 0 ? ImportEncoding::utf8 : ImportEncoding::utf8Lines;
        return true;
    }
    // "ANSI": GBK read on a system of another code page is still GB18030.
    encoding =
        !chineseCodePage(codePage) && readsAsChinese(bytes) ? ImportEncoding::gb18030 : ImportEncoding::systemCodePage;
    return true;
}

// Progress, the cancel flag and the count of passes over the bytes.
class Ticker {
public:
    Ticker(const ImportJob& job, std::size_t size, std::size_t passes) : job_(job), size_(size), passes_(passes) {}
    void pass(std::size_t n)
    {
        pass_ = n;
        next_ = 0;
    }
    // False once the step is to end.
    bool tick(std::size_t at)
    {
        if (at < next_) return true;
        next_ = at + kProgressStep;
        if (job_.progress) job_.progress(std::min(pass_, passes_ - 1) * size_ + at, passes_ * size_);
        return !cancelled();
    }
    void restart() { next_ = 0; }
    bool cancelled() const { return job_.cancel && job_.cancel->load(); }

private:
    const ImportJob& job_;
    std::size_t size_, passes_, pass_ = 0, next_ = 0;
};

// The decoded lines of the bytes, one at a time: a long file is never held
// decoded as a whole.
class LineSource {
public:
    LineSource(std::string_view bytes, ImportEncoding encoding, std::size_t start, const CodePageDecoder& codePage,
               Ticker& ticker)
        : bytes_(bytes), encoding_(encoding), at_(start), start_(start), codePage_(codePage), ticker_(ticker)
    {}
    // The next line without its line break; `bad` when its bytes are no
    // text of the encoding (the line is then empty). False at the end and
    // once the step is cancelled.
    bool next(std::u16string& line, bool& bad);
    std::size_t number() const { return number_; }
    void rewind()
    {
        at_ = start_;
        number_ = 0;
        ticker_.restart();
    }

private:
    bool nextUtf16(std::u16string& line);
    std::string_view bytes_;
    ImportEncoding encoding_;
    std::size_t at_, start_, number_ = 0;
    const CodePageDecoder& codePage_;
    Ticker& ticker_;
};

bool LineSource::nextUtf16(std::u16string& line)
{
    const bool little = encoding_ == ImportEncoding::utf16le;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes_[i]), b = static_cast<unsigned char>(bytes_[i + 1]);
        return static_cast<char16_t>(little ? a | (b << 8) : (a << 8) | b);
    };
    line.clear();
    while (at_ + 1 < bytes_.size()) {
        const char16_t c = unit(at_);
        at_ += 2;
        if (c == u'\n') return true;
        if (c == u'\r') {
            if (at_ + 1 < bytes_.size() && unit(at_) == u'\n') at_ += 2;
            return true;
        }
        line.push_back(c);
    }
    at_ = bytes_.size();
    return true;
}

bool LineSource::next(std::u16string& line, bool& bad)
{
    bad = false;
    if (at_ >= bytes_.size() ||
        (at_ + 1 >= bytes_.size() && (encoding_ == ImportEncoding::utf16le || encoding_ == ImportEncoding::utf16be)))
        return false;
    if (!ticker_.tick(at_)) return false;
    ++number_;
    if (encoding_ == ImportEncoding::utf16le || encoding_ == ImportEncoding::utf16be) return nextUtf16(line);
    std::size_t end = at_;
    while (end < bytes_.size() && bytes_[end] != '\n' && bytes_[end] != '\r') ++end;
    const std::string_view bytes = bytes_.substr(at_, end - at_);
    at_ = end + (end + 1 < bytes_.size() && bytes_[end] == '\r' && bytes_[end + 1] == '\n' ? 2 : 1);
    line.clear();
    switch (encoding_) {
    case ImportEncoding::utf8:
    case ImportEncoding::utf8Lines:
        if (!decodeUtf8(bytes, line)) {
            bad = true;
            line.clear();
        }
        break;
    case ImportEncoding::gb18030:
        decodeGb18030(bytes, line);
        break;
    default:
        line = bytes.empty() ? std::u16string() : codePage_(bytes);
        break;
    }
    return true;
}

// ---- Fields -----------------------------------------------------------------------

// Anki's sound references, "[sound:abandon.mp3]", are no text of the note.
void dropSounds(std::u16string& text)
{
    for (std::size_t at; (at = text.find(u"[sound:")) != std::u16string::npos;) {
        const std::size_t end = text.find(u']', at);
        text.erase(at, end == std::u16string::npos ? std::u16string::npos : end - at + 1);
    }
}

// Anki's cloze "{{c1::word::hint}}" as the word it hides; `alone` tells
// whether the text held nothing but clozes.
std::u16string unclozed(std::u16string_view text, bool& cloze, bool& alone)
{
    std::u16string out;
    cloze = false;
    alone = true;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t open = text.find(u"{{c", i);
        const std::size_t mark = open == std::u16string_view::npos ? open : text.find(u"::", open);
        const std::size_t close = mark == std::u16string_view::npos ? mark : text.find(u"}}", mark);
        if (close == std::u16string_view::npos) {
            alone = alone && trim(text.substr(i)).empty();
            out.append(text.substr(i));
            break;
        }
        alone = alone && trim(text.substr(i, open - i)).empty();
        out.append(text.substr(i, open - i));
        std::u16string_view hidden = text.substr(mark + 2, close - mark - 2);
        hidden = hidden.substr(0, hidden.find(u"::"));
        out.append(hidden);
        cloze = true;
        i = close + 2;
    }
    return out;
}

// HTML as text: tags gone, a line break or the end of a block a line break.
std::u16string untagged(std::u16string_view field)
{
    if (field.find_first_of(u"<&") == std::u16string_view::npos) return std::u16string(field);
    std::u16string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char16_t next = i + 1 < field.size() ? field[i + 1] : u'\0';
        const bool tag = field[i] == u'<' && (isLatinLetter(next) || next == u'/' || next == u'!');
        const std::size_t close = tag ? field.find(u'>', i) : std::u16string_view::npos;
        if (close == std::u16string_view::npos) {
            text.push_back(field[i]);
            continue;
        }
        const std::u16string_view name = field.substr(i + 1, std::min<std::size_t>(close - i - 1, 4));
        const bool breaks = startsWith(name, u"br") || startsWith(name, u"/div") || startsWith(name, u"/p") ||
                            startsWith(name, u"/li") || startsWith(name, u"li");
        text.push_back(breaks ? u'\n' : u' ');
        i = close;
    }
    return decodeEntities(text);
}

// A field as the list keeps it: tags gone (where the file holds HTML),
// sound references dropped, white space one space, the two units that end or
// divide a dictionary line replaced. The lines of a meaning are joined with
// "；", each without the "- " it may be listed with.
std::u16string cleanField(std::u16string_view field, bool html, bool lines = true)
{
    std::u16string text = html ? untagged(field) : std::u16string(field);
    dropSounds(text);
    std::u16string out;
    std::size_t lineStart = 0;
    bool lineBreak = false;
    for (const char16_t c : text) {
        if (c == u'\n' || c == u'\r') {
            lineBreak = lines || lineBreak;
            if (!lines && !out.empty() && out.back() != u' ') out.push_back(u' ');
            continue;
        }
        if (isSpace(c) || c < 0x20) {
            if (out.size() > lineStart && out.back() != u' ') out.push_back(u' ');
            continue;
        }
        if (lineBreak) {
            while (out.size() > lineStart && out.back() == u' ') out.pop_back();
            if (!out.empty() && out.back() != u'；' && out.back() != u';') out += u"；";
            lineStart = out.size();
            lineBreak = false;
        }
        if (out.size() == lineStart && (c == u'-' || c == u'•') && lines) continue;  // "- n. 放弃"
        out.push_back(c == u'|' ? u'/' : c);
        if (c == u'^') out.pop_back();
    }
    while (!out.empty() && (out.back() == u' ' || out.back() == u'；')) out.pop_back();
    const std::size_t lead = out.find_first_not_of(u' ');
    return lead == std::u16string::npos ? std::u16string() : out.substr(lead);
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

// A transcription: in slashes or square brackets, written with IPA letters,
// or the plain ASCII of old lists ("'eibl", "kri:p"), or what Excel's "ANSI"
// left of IPA ("??b?l?ti"); never with Chinese, which "[计] 计算机" has.
bool looksPhonetic(std::u16string_view text)
{
    text = firstOfTwo(text);
    if (text.size() < 2 || hasHan(text)) return false;
    const bool wrapped = text.size() >= 3 && ((text.front() == u'/' && text.back() == u'/') ||
                                              (text.front() == u'[' && text.back() == u']'));
    if (wrapped || std::any_of(text.begin(), text.end(), isIpaLetter)) return true;
    const bool oneToken = text.find(u' ') == std::u16string_view::npos;
    return oneToken && hasLatin(text) &&
           (text.front() == u'\'' || text.front() == u',' || text.find_first_of(u":?") != std::u16string_view::npos);
}

// The transcription without its brackets or slashes; empty when it cannot
// be kept whole, when it is not one (Excel's "ANSI" turned its IPA into
// question marks) or when it is only the word again (有道's placeholder).
std::u16string phoneticOf(std::u16string_view text, std::u16string_view word)
{
    text = firstOfTwo(text);
    if (text.size() >= 2 &&
        ((text.front() == u'[' && text.back() == u']') || (text.front() == u'/' && text.back() == u'/')))
        text = trim(text.substr(1, text.size() - 2));
    if (text.size() > kTranscriptionUnits || text.find(u'?') != std::u16string_view::npos || hasHan(text) ||
        equalNoCase(text, word))
        return {};
    return std::u16string(text);
}

bool wordFits(std::u16string_view word)
{
    if (word.empty() || word.size() > kImportWordUnits || !hasLatin(word) || hasHan(word)) return false;
    return std::none_of(word.begin(), word.end(), [](char16_t c) { return c < 0x20 || c == u'|' || c == 0xFFFD; });
}

// "n.", "vt.", "adj./adv.", "n.&v.": a part of speech; `dotted` asks for the
// dot that tells "a." (adjective) from the word "a".
bool isPartOfSpeech(std::u16string_view token, bool dotted)
{
    static constexpr std::u16string_view kinds[] = {
        u"n",   u"v",      u"vt",   u"vi",     u"adj",    u"adv",  u"a",    u"ad",        u"prep",  u"conj",  u"pron",
        u"int", u"num",    u"art",  u"interj", u"abbr",   u"aux",  u"pl",   u"phr",       u"det",   u"modal", u"u",
        u"c",   u"link-v", u"excl", u"vbl",    u"phrase", u"noun", u"verb", u"adjective", u"adverb"};
    token = trim(token);
    if (token.empty() || (dotted && token.back() != u'.')) return false;
    std::size_t start = 0;
    bool any = false;
    for (std::size_t i = 0; i <= token.size(); ++i) {
        if (i < token.size() && token[i] != u'.' && token[i] != u'/' && token[i] != u'&' && token[i] != u',') continue;
        const std::u16string_view kind = token.substr(start, i - start);
        if (!kind.empty()) {
            if (std::none_of(std::begin(kinds), std::end(kinds), [&](auto k) { return equalNoCase(kind, k); }))
                return false;
            any = true;
        }
        start = i + 1;
    }
    return any;
}

struct Taken {
    std::u16string word, phonetic, meaning;
};

// A line that is a word and its meaning separated by spaces: "abandon vt.
// 放弃", "1. abandon [əˈbændən] v. 放弃", "take off 起飞". The word ends
// where the first part of speech, phonetic or text that is not English
// starts; a running number before it is dropped.
Taken splitSpaced(std::u16string_view line)
{
    line = trim(line);
    std::size_t i = 0;
    while (i < line.size() && line[i] >= u'0' && line[i] <= u'9') ++i;
    if (i > 0 && i < line.size() && std::u16string_view(u".、)）:： \t").find(line[i]) != std::u16string_view::npos)
        line = trim(line.substr(i + 1));
    std::size_t end = 0;
    for (std::size_t token = 0; end < line.size(); ++end) {
        const char16_t c = line[end];
        if (isSpace(c)) {
            token = end + 1;
            continue;
        }
        if (end == token) {
            const std::size_t tokenEnd = std::min(line.find(u' ', token), line.size());
            if (token > 0 && isPartOfSpeech(line.substr(token, tokenEnd - token), true)) break;
        }
        const bool wordChar = isLatinLetter(c) || (c >= u'0' && c <= u'9') ||
                              std::u16string_view(u"-'’.&").find(c) != std::u16string_view::npos;
        if (!wordChar) break;
    }
    Taken taken{std::u16string(trim(line.substr(0, end))), {}, {}};
    std::u16string_view rest = trim(line.substr(end));
    if (!rest.empty() && (rest[0] == u'[' || rest[0] == u'/')) {
        const std::size_t close = rest.find(rest[0] == u'[' ? u']' : u'/', 1);
        if (close != std::u16string_view::npos) {
            taken.phonetic.assign(rest.substr(0, close + 1));
            rest = trim(rest.substr(close + 1));
        }
    }
    taken.meaning.assign(rest);
    return taken;
}

}  // namespace

// ---- Records ----------------------------------------------------------------------

namespace {

// Splits one line into fields as CSV quotes them, going on with a record
// whose quoted field a line before left open (`quoted`): a quote opens a
// field only at its start, a doubled quote inside one stands for one quote.
void splitLine(std::u16string_view line, char16_t separator, std::vector<std::u16string>& fields, bool& quoted,
               bool& fieldStart)
{
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (quoted) {
            if (c != u'"')
                fields.back().push_back(c);
            else if (i + 1 < line.size() && line[i + 1] == u'"')
                fields.back().push_back(line[++i]);
            else
                quoted = false;
        } else if (c == separator) {
            fields.emplace_back();
            fieldStart = true;
        } else if (c == u'"' && fieldStart) {
            quoted = true;
            fieldStart = false;
            fields.back().clear();
        } else {
            fieldStart = fieldStart && isSpace(c);
            fields.back().push_back(c);
        }
    }
}

std::size_t columnsOf(std::u16string_view line, char16_t separator, bool& balanced)
{
    std::vector<std::u16string> fields(1);
    bool quoted = false, fieldStart = true;
    splitLine(line, separator, fields, quoted, fieldStart);
    balanced = !quoted;
    return fields.size();
}

// The records of separated text. A quoted field may run over lines; one
// that runs into a line that holds the file's usual count of columns on its
// own lacks its closing quote: its lines are skipped and that line starts
// the next record.
class RecordReader {
public:
    RecordReader(LineSource& lines, char16_t separator, std::size_t usual, std::vector<std::size_t>& skipped)
        : lines_(lines), separator_(separator), usual_(usual), skipped_(skipped)
    {}
    // The next record and its first line; false at the end.
    bool next(std::vector<std::u16string>& fields, std::size_t& line);

private:
    bool fetch()
    {
        if (held_) {
            held_ = false;
            return true;
        }
        if (!lines_.next(text_, bad_)) return false;
        number_ = lines_.number();
        return true;
    }
    LineSource& lines_;
    char16_t separator_;
    std::size_t usual_;
    std::vector<std::size_t>& skipped_;
    std::u16string text_;
    std::size_t number_ = 0;
    bool bad_ = false, held_ = false;
};

bool RecordReader::next(std::vector<std::u16string>& fields, std::size_t& line)
{
    for (;;) {
        if (!fetch()) return false;
        if (bad_) {
            skipped_.push_back(number_);
            continue;
        }
        line = number_;
        fields.assign(1, std::u16string());
        if (separator_ == 0) {
            fields[0] = text_;
            return true;
        }
        bool quoted = false, fieldStart = true, broken = false;
        splitLine(text_, separator_, fields, quoted, fieldStart);
        while (quoted && fetch()) {
            bool balanced = false;
            if (usual_ >= 2 && !bad_ && columnsOf(text_, separator_, balanced) == usual_ && balanced) {
                held_ = true;
                broken = true;
                break;
            }
            if (bad_) skipped_.push_back(number_);
            fields.back().push_back(u'\n');
            splitLine(bad_ ? std::u16string() : text_, separator_, fields, quoted, fieldStart);
        }
        if (!broken) return true;
        for (std::size_t n = line; n < number_; ++n) skipped_.push_back(n);
    }
}

// Counts the columns of each record under one separator, quotes respected,
// to find the separator whose count varies least over the file.
struct SeparatorCount {
    static constexpr std::size_t kMost = 12;
    char16_t separator;
    std::size_t columns = 1, spanned = 0;
    bool quoted = false, fieldStart = true;
    std::array<std::size_t, kMost + 1> records{};

    // The same rules as splitLine, counting fields instead of keeping them.
    void feed(std::u16string_view line)
    {
        if (!quoted) {
            columns = 1;
            fieldStart = true;
            spanned = 0;
        }
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char16_t c = line[i];
            if (quoted) {
                if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
                    ++i;
                else if (c == u'"')
                    quoted = false;
            } else if (c == separator) {
                ++columns;
                fieldStart = true;
            } else if (c == u'"' && fieldStart) {
                quoted = true;
                fieldStart = false;
            } else {
                fieldStart = fieldStart && isSpace(c);
            }
        }
        // An unbalanced quote must not hide the rest of the file.
        if (quoted && ++spanned < 50) return;
        quoted = false;
        ++records[std::min(columns, kMost)];
    }
    // A record still open at the end counts as it stands.
    void finish()
    {
        if (quoted) ++records[std::min(columns, kMost)];
        quoted = false;
    }
    // The usual count and how many records have it; one column counts not.
    std::size_t usual(std::size_t& count) const
    {
        std::size_t best = 0;
        count = 0;
        for (std::size_t n = 2; n <= kMost; ++n) {
            if (records[n] > count) {
                count = records[n];
                best = n;
            }
        }
        return best;
    }
};

// Which role a header names; false when the name is none the program knows.
bool headerRole(std::u16string_view name, ColumnRole& role)
{
    static constexpr std::pair<std::u16string_view, ColumnRole> names[] = {
        {u"word", ColumnRole::word},
        {u"words", ColumnRole::word},
        {u"单词", ColumnRole::word},
        {u"生词", ColumnRole::word},
        {u"词汇", ColumnRole::word},
        {u"英文", ColumnRole::word},
        {u"英文单词", ColumnRole::word},
        {u"单词名称", ColumnRole::word},
        {u"英语", ColumnRole::word},
        {u"english", ColumnRole::word},
        {u"term", ColumnRole::word},
        {u"front", ColumnRole::word},
        {u"vocabulary", ColumnRole::word},
        {u"headword", ColumnRole::word},
        {u"phonetic", ColumnRole::phonetic},
        {u"phonetics", ColumnRole::phonetic},
        {u"音标", ColumnRole::phonetic},
        {u"发音", ColumnRole::phonetic},
        {u"pronunciation", ColumnRole::phonetic},
        {u"ipa", ColumnRole::phonetic},
        {u"definition", ColumnRole::meaning},
        {u"definitions", ColumnRole::meaning},
        {u"meaning", ColumnRole::meaning},
        {u"meanings", ColumnRole::meaning},
        {u"translation", ColumnRole::meaning},
        {u"chinese", ColumnRole::meaning},
        {u"chinese meaning", ColumnRole::meaning},
        {u"释义", ColumnRole::meaning},
        {u"解释", ColumnRole::meaning},
        {u"词义", ColumnRole::meaning},
        {u"中文", ColumnRole::meaning},
        {u"翻译", ColumnRole::meaning},
        {u"注释", ColumnRole::meaning},
        {u"back", ColumnRole::meaning},
        {u"explanation", ColumnRole::meaning},
        {u"释意", ColumnRole::meaning},
        {u"意思", ColumnRole::meaning},
        {u"中文意思", ColumnRole::meaning},
        {u"中文释义", ColumnRole::meaning},
        {u"中文解释", ColumnRole::meaning},
        {u"含义", ColumnRole::meaning},
        {u"词意", ColumnRole::meaning},
        {u"part of speech", ColumnRole::partOfSpeech},
        {u"pos", ColumnRole::partOfSpeech},
        {u"词性", ColumnRole::partOfSpeech},
        {u"序号", ColumnRole::ignore},
        {u"no.", ColumnRole::ignore},
        {u"no", ColumnRole::ignore},
        {u"编号", ColumnRole::ignore},
        {u"tags", ColumnRole::ignore},
        {u"标签", ColumnRole::ignore},
        {u"例句", ColumnRole::ignore},
        {u"example", ColumnRole::ignore},
        {u"extra", ColumnRole::ignore},
        {u"text", ColumnRole::ignore}};
    name = trim(name);
    for (const auto& [known, named] : names) {
        if (equalNoCase(name, known)) {
            role = named;
            return true;
        }
    }
    return false;
}

// What the cells of one column look like over the file.
struct ColumnLook {
    std::size_t filled = 0, latin = 0, phonetic = 0, partOfSpeech = 0, han = 0, numbers = 0;

    void add(std::u16string_view cell)
    {
        cell = trim(cell);
        if (cell.empty()) return;
        ++filled;
        if (std::all_of(cell.begin(), cell.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
            ++numbers;
        } else if (looksPhonetic(cell)) {
            ++phonetic;
        } else if (hasHan(cell)) {
            ++han;
        } else if (isPartOfSpeech(cell, false)) {
            ++partOfSpeech;
        } else if (hasLatin(cell)) {
            ++latin;
        }
    }
    bool mostly(std::size_t n) const { return filled > 0 && n * 2 > filled; }
    void add(const ColumnLook& other)
    {
        filled += other.filled;
        latin += other.latin;
        phonetic += other.phonetic;
        partOfSpeech += other.partOfSpeech;
        han += other.han;
        numbers += other.numbers;
    }
};

}  // namespace

// ---- Taking the words -------------------------------------------------------------

namespace {

// Adds the words of the file to the analysis, each once, and names the lines
// that hold none.
class Collector {
public:
    explicit Collector(ImportAnalysis& analysis) : analysis_(analysis) {}

    void add(std::size_t line, std::u16string_view word, std::u16string_view phonetic, std::u16string_view meaning)
    {
        // A cloze note is a word where the cloze is its whole field (the
        // sentence stands in another); a sentence with a cloze in it is none.
        bool cloze = false, alone = false;
        const std::u16string unclozedWord = unclozed(word, cloze, alone);
        const std::u16string cleanWord = cleanField(unclozedWord, analysis_.html, false);
        if ((cloze && !alone) || word.find(u'|') != std::u16string_view::npos || !wordFits(cleanWord)) {
            skip(line);
            return;
        }
        std::u16string cleanMeaning = cleanField(unclozed(meaning, cloze, alone), analysis_.html);
        cleanMeaning.resize(cutLength(cleanMeaning, kContentUnits - 1));
        analysis_.words.add(cleanWord, phoneticOf(cleanField(phonetic, analysis_.html, false), cleanWord),
                            cleanMeaning);
    }
    void skip(std::size_t line)
    {
        std::vector<std::size_t>& skipped = analysis_.skippedLines;
        if (skipped.empty() || skipped.back() != line) skipped.push_back(line);
    }

private:
    ImportAnalysis& analysis_;
};

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

// The value of the first of `names` that the tag `element` has as attribute.
std::u16string xmlAttribute(std::u16string_view element, std::initializer_list<std::u16string_view> names)
{
    for (const std::u16string_view name : names) {
        for (std::size_t at = element.find(name); at != std::u16string_view::npos; at = element.find(name, at + 1)) {
            const std::size_t quote = at + name.size();
            if (at == 0 || !isSpace(element[at - 1]) || quote + 1 >= element.size() || element[quote] != u'=' ||
                (element[quote + 1] != u'"' && element[quote + 1] != u'\''))
                continue;
            const std::size_t end = element.find(element[quote + 1], quote + 2);
            if (end == std::u16string_view::npos) return {};
            return decodeEntities(element.substr(quote + 2, end - quote - 2));
        }
    }
    return {};
}

// 有道词典's 单词本: <wordbook><item><word>…</word><trans>…</trans>
// <phonetic>…</phonetic>…</item>…</wordbook>.
void takeYoudao(std::u16string_view text, Collector& collect)
{
    for (std::size_t pos = 0;;) {
        const std::size_t start = text.find(u"<item>", pos);
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
            collect.add(lineAt(text, start), word, phonetic, trans);
        pos = end + 7;
    }
}

// 欧路词典's StudyList.xml: <CustomizeListItem word="…" exp="…" …/>.
void takeEudicXml(std::u16string_view text, Collector& collect)
{
    constexpr std::u16string_view kItem = u"<CustomizeListItem";
    for (std::size_t start = text.find(kItem); start != std::u16string_view::npos;
         start = text.find(kItem, start + 1)) {
        const std::size_t end = text.find(u'>', start);
        if (end == std::u16string_view::npos) {
            collect.skip(lineAt(text, start));
            break;
        }
        const std::u16string_view element = text.substr(start, end - start);
        collect.add(lineAt(text, start), xmlAttribute(element, {u"word"}),
                    xmlAttribute(element, {u"phon", u"phonetic", u"pron"}),
                    xmlAttribute(element, {u"exp", u"explain", u"explanation", u"meaning", u"trans", u"definition"}));
    }
}

// `N@word@definition`, 欧路词典's TXT; false when the line starts no entry.
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
void takeEudicText(LineSource& lines, Collector& collect)
{
    std::size_t entryLine = 0;
    std::u16string word, definition, line;
    const auto flush = [&] {
        if (entryLine != 0) collect.add(entryLine, word, {}, definition);
    };
    bool bad = false;
    while (lines.next(line, bad)) {
        std::u16string_view nextWord, nextDefinition;
        if (bad) {
            collect.skip(lines.number());
        } else if (eudicEntry(line, nextWord, nextDefinition)) {
            flush();
            entryLine = lines.number();
            word.assign(nextWord);
            definition.assign(nextDefinition);
        } else if (!trim(line).empty()) {
            if (entryLine == 0) {
                collect.skip(lines.number());
                continue;
            }
            definition += u'\n';
            definition += line;
        }
    }
    flush();
}

std::size_t roleColumn(const std::vector<ColumnRole>& roles, ColumnRole role)
{
    return static_cast<std::size_t>(std::find(roles.begin(), roles.end(), role) - roles.begin());
}

// Separated text under the analysis's choices.
void takeSeparated(LineSource& lines, ImportAnalysis& analysis, Collector& collect)
{
    const std::vector<ColumnRole>& roles = analysis.choices.roles;
    const char16_t separator = analysis.choices.separator;
    const std::size_t word = roleColumn(roles, ColumnRole::word), phonetic = roleColumn(roles, ColumnRole::phonetic),
                      meaning = roleColumn(roles, ColumnRole::meaning),
                      partOfSpeech = roleColumn(roles, ColumnRole::partOfSpeech);
    // Where the meaning is the last column, separators the meaning holds
    // unquoted ("n. 苹果, 苹果树") give a row more columns than the rest.
    const bool meaningLast = meaning + 1 == roles.size();
    RecordReader reader(lines, separator, analysis.columns, analysis.skippedLines);
    std::vector<std::u16string> fields;
    std::size_t line = 0;
    bool first = true;
    std::u16string joined;
    while (reader.next(fields, line)) {
        if (std::all_of(fields.begin(), fields.end(), [](const std::u16string& f) { return trim(f).empty(); }))
            continue;
        if (std::exchange(first, false)) {
            if (separator != 0) analysis.firstRow = fields;
            if (analysis.choices.header) continue;
        }
        if (separator == 0) {
            const Taken taken = splitSpaced(fields[0]);
            collect.add(line, taken.word, taken.phonetic, taken.meaning);
            continue;
        }
        const auto field = [&](std::size_t i) { return i < fields.size() ? std::u16string_view(fields[i]) : u""; };
        joined.assign(field(partOfSpeech));
        if (!joined.empty()) joined += u' ';
        for (std::size_t i = meaning; i < fields.size() && (i == meaning || meaningLast); ++i) {
            if (i > meaning) joined += separator;
            joined += fields[i];
        }
        // A row whose meaning column holds its transcription has its meaning
        // in the next column that has text.
        std::u16string_view rowPhonetic = field(phonetic);
        if (rowPhonetic.empty() && looksPhonetic(trim(field(meaning))) && meaning + 1 < fields.size()) {
            rowPhonetic = field(meaning);
            std::size_t next = meaning + 1;
            const auto taken = [&](std::size_t i) {
                return (i < roles.size() && roles[i] != ColumnRole::ignore) ||
                       std::find(analysis.anki.begin(), analysis.anki.end(), i) != analysis.anki.end();
            };
            while (next < fields.size() && (trim(fields[next]).empty() || taken(next))) ++next;
            joined.assign(next < fields.size() ? fields[next] : std::u16string());
        }
        collect.add(line, field(word), rowPhonetic, joined);
    }
}

}  // namespace

// ---- Guessing -----------------------------------------------------------------------

namespace {

// What one pass over all lines tells: whether it is text at all, the first
// line, Anki's header lines, and how each separator divides the rest.
struct Scan {
    std::u16string head;
    std::size_t units = 0, odd = 0;
    bool zero = false;
    // Anki's header lines: "#separator:tab", "#html:true", "#tags column:3".
    std::size_t ankiLines = 0;
    char16_t ankiSeparator = 0;
    bool html = true;
    std::vector<std::size_t> dropped;
    std::array<SeparatorCount, 4> counts{{{u'\t'}, {u'|'}, {u','}, {u';'}}};
};

// Reads one of Anki's header lines into the scan; false when it is none.
bool ankiLine(std::u16string_view line, Scan& scan)
{
    line = trim(line);
    const std::size_t colon = line.find(u':');
    if (line.empty() || line[0] != u'#' || colon == std::u16string_view::npos) return false;
    const std::u16string_view key = trim(line.substr(1, colon - 1));
    const std::u16string_view value = trim(line.substr(colon + 1));
    if (equalNoCase(key, u"separator")) {
        static constexpr std::pair<std::u16string_view, char16_t> names[] = {{u"tab", u'\t'},      {u"comma", u','},
                                                                             {u"semicolon", u';'}, {u"pipe", u'|'},
                                                                             {u"space", u' '},     {u"colon", u':'}};
        scan.ankiSeparator = value.size() == 1 ? value[0] : u'\t';
        for (const auto& [name, separator] : names)
            if (equalNoCase(value, name)) scan.ankiSeparator = separator;
    } else if (equalNoCase(key, u"html")) {
        scan.html = !equalNoCase(value, u"false");
    } else if (key.size() > 7 && equalNoCase(key.substr(key.size() - 7), u" column")) {
        const std::int32_t column = numericKey(value);
        if (column > 0) scan.dropped.push_back(static_cast<std::size_t>(column - 1));
    }
    return true;
}

void scanLines(LineSource& lines, Scan& scan)
{
    std::u16string line;
    bool bad = false, header = true;
    while (lines.next(line, bad)) {
        for (const char16_t c : line) {
            scan.zero = scan.zero || c == 0;
            scan.odd += (c < 0x20 && c != u'\t') || c == 0xFFFD || c == 0x7F;
        }
        scan.units += line.size() + 1;
        if (trim(line).empty()) continue;
        if (scan.head.empty()) scan.head = trim(line);
        if (header && ankiLine(line, scan)) {
            scan.ankiLines = lines.number();
            continue;
        }
        header = false;
        if (scan.ankiSeparator == 0)
            for (SeparatorCount& count : scan.counts) count.feed(line);
    }
    for (SeparatorCount& count : scan.counts) count.finish();
}

// The separator whose column count holds in most records, if it holds in at
// least half of them; else none, a word and its meaning a line.
char16_t chooseSeparator(const Scan& scan, std::size_t& usual)
{
    if (scan.ankiSeparator != 0) return scan.ankiSeparator;
    const SeparatorCount* best = nullptr;
    std::size_t bestCount = 0;
    for (const SeparatorCount& count : scan.counts) {
        std::size_t n = 0;
        const std::size_t columns = count.usual(n);
        if (columns >= 2 && n > bestCount) {
            best = &count;
            bestCount = n;
            usual = columns;
        }
    }
    std::size_t records = 0;
    if (best != nullptr)
        for (const std::size_t n : best->records) records += n;
    return best != nullptr && bestCount * 2 >= records ? best->separator : char16_t{0};
}

// Each column's role from what its cells look like: the word is the first
// column of English, a column of transcriptions the phonetic, a column of
// parts of speech goes before the meaning, the meaning is the column with the
// most Chinese (or, without any, the first other column with text).
std::vector<ColumnRole> rolesByContent(const std::vector<ColumnLook>& looks, const std::vector<std::size_t>& dropped)
{
    std::vector<ColumnRole> roles(looks.size(), ColumnRole::ignore);
    const auto free = [&](std::size_t i) {
        return roles[i] == ColumnRole::ignore && std::find(dropped.begin(), dropped.end(), i) == dropped.end() &&
               !looks[i].mostly(looks[i].numbers);
    };
    const auto pick = [&](ColumnRole role, auto&& fits) {
        for (std::size_t i = 0; i < looks.size(); ++i) {
            if (free(i) && fits(looks[i])) {
                roles[i] = role;
                return i;
            }
        }
        return looks.size();
    };
    const std::size_t word = pick(ColumnRole::word, [](const ColumnLook& l) { return l.mostly(l.latin); });
    if (word == looks.size()) pick(ColumnRole::word, [](const ColumnLook& l) { return l.latin > 0; });
    pick(ColumnRole::phonetic, [](const ColumnLook& l) { return l.mostly(l.phonetic); });
    pick(ColumnRole::partOfSpeech, [](const ColumnLook& l) { return l.mostly(l.partOfSpeech); });
    std::size_t meaning = looks.size();
    for (std::size_t i = 0; i < looks.size(); ++i)
        if (free(i) && looks[i].han > 0 && (meaning == looks.size() || looks[i].han > looks[meaning].han)) meaning = i;
    if (meaning == looks.size()) meaning = pick(ColumnRole::meaning, [](const ColumnLook& l) { return l.filled > 0; });
    if (meaning < looks.size()) roles[meaning] = ColumnRole::meaning;
    return roles;
}

// Whether the first row is a header, and the roles it names. A row of names
// the program does not know ("English,Chinese") is still one where it does
// not fit what the columns hold below it.
bool headerRoles(const std::vector<std::u16string>& row, const std::vector<ColumnLook>& looks,
                 std::vector<ColumnRole>& roles)
{
    std::vector<ColumnRole> named(roles.size(), ColumnRole::ignore);
    std::vector<bool> known(roles.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < row.size() && i < roles.size(); ++i)
        any = (known[i] = headerRole(row[i], named[i])) || any;
    if (!any) {
        // Names are never Chinese text with a transcription beside it.
        if (std::any_of(row.begin(), row.end(), [](const std::u16string& cell) { return looksPhonetic(cell); }))
            return false;
        // Nor a part of speech, nor English in small letters, as words are.
        const bool han = std::any_of(row.begin(), row.end(), [](const std::u16string& cell) {
            const std::u16string_view name = trim(cell);
            return hasHan(name) || (!name.empty() && name[0] >= u'a' && name[0] <= u'z') ||
                   splitSpaced(name).word != name;
        });
        for (std::size_t i = 0; i < row.size() && i < roles.size(); ++i) {
            const std::u16string_view cell = trim(row[i]);
            if ((roles[i] == ColumnRole::word && !hasLatin(cell)) ||
                (!han && roles[i] == ColumnRole::meaning && looks[i].mostly(looks[i].han)) ||
                (!han && roles[i] == ColumnRole::phonetic && !cell.empty()))
                return true;
        }
        return false;
    }
    // The names hold where given; a column the content gave a role that a
    // name now has keeps none.
    for (std::size_t i = 0; i < roles.size(); ++i) {
        if (known[i]) continue;
        const bool clash = std::find(named.begin(), named.end(), roles[i]) != named.end();
        if (clash && roles[i] != ColumnRole::ignore) roles[i] = ColumnRole::ignore;
    }
    for (std::size_t i = 0; i < roles.size(); ++i)
        if (known[i]) roles[i] = named[i];
    return true;
}

}  // namespace

// ---- The steps ----------------------------------------------------------------------

namespace {

struct Pass {
    std::string_view bytes;
    std::size_t start;
    const ImportJob& job;
    Ticker& ticker;
    LineSource lines() const { return LineSource(bytes, encodingOf, start, job.codePage, ticker); }
    ImportEncoding encodingOf;
};

bool startsXml(std::u16string_view head)
{
    return startsWith(head, u"<?xml") || startsWith(head, u"<wordbook") || startsWith(head, u"<CustomizeList") ||
           startsWith(head, u"<StudyList");
}

// The whole text, for the XML exports, whose records ignore lines.
std::u16string wholeText(LineSource lines)
{
    std::u16string text, line;
    bool bad = false;
    while (lines.next(line, bad)) {
        text += line;
        text += u'\n';
    }
    return text;
}

// Weighs the columns under the chosen separator: the first row apart, the
// rest column by column.
void weighColumns(LineSource lines, std::size_t ankiLines, ImportAnalysis& analysis, std::vector<ColumnLook>& looks,
                  std::vector<ColumnLook>& firstLooks)
{
    std::u16string skipped;
    bool bad = false;
    for (std::size_t i = 0; i < ankiLines && lines.next(skipped, bad);) ++i;
    std::vector<std::size_t> ignored;
    RecordReader reader(lines, analysis.choices.separator, analysis.columns, ignored);
    std::vector<std::u16string> fields;
    std::size_t line = 0;
    while (reader.next(fields, line)) {
        if (std::all_of(fields.begin(), fields.end(), [](const std::u16string& f) { return trim(f).empty(); }))
            continue;
        const bool first = analysis.firstRow.empty();
        if (first) analysis.firstRow = fields;
        std::vector<ColumnLook>& into = first ? firstLooks : looks;
        for (std::size_t i = 0; i < fields.size() && i < kWeighedColumns; ++i) {
            if (into.size() <= i) into.resize(i + 1);
            std::u16string cell = cleanField(fields[i], analysis.html, false);
            bool cloze = false, alone = false;
            into[i].add(unclozed(cell, cloze, alone));
        }
    }
    // A first row without a name the program knows may be a word: its cells
    // count (a short file has few others).
    ColumnRole role;
    const bool named = std::any_of(analysis.firstRow.begin(), analysis.firstRow.end(),
                                   [&](const std::u16string& cell) { return headerRole(cell, role); });
    looks.resize(std::max(looks.size(), firstLooks.size()));
    for (std::size_t i = 0; i < firstLooks.size() && !named; ++i) looks[i].add(firstLooks[i]);
}

// The words under the analysis's choices, gaps filled, the preview taken.
void take(const Pass& pass, std::size_t ankiLines, ImportAnalysis& analysis)
{
    analysis.words.clear();
    analysis.skippedLines.clear();
    analysis.firstWords.clear();
    // The words' UTF-8 takes about as much room as the file (more where two
    // bytes of GB18030 become three).
    const bool utf =
        analysis.encoding != ImportEncoding::gb18030 && analysis.encoding != ImportEncoding::systemCodePage;
    analysis.words.reserve(0, (utf ? pass.bytes.size() / 8 * 9 : pass.bytes.size() / 2 * 3) + 4096);
    Collector collect(analysis);
    LineSource lines = pass.lines();
    if (analysis.format == ImportFormat::youdaoXml || analysis.format == ImportFormat::eudicXml) {
        const std::u16string text = wholeText(lines);
        if (text.find(u"<CustomizeListItem") != std::u16string::npos) analysis.format = ImportFormat::eudicXml;
        if (analysis.format == ImportFormat::youdaoXml)
            takeYoudao(text, collect);
        else
            takeEudicXml(text, collect);
    } else if (analysis.format == ImportFormat::eudicText) {
        takeEudicText(lines, collect);
    } else {
        std::u16string skipped;
        bool bad = false;
        for (std::size_t i = 0; i < ankiLines && lines.next(skipped, bad);) ++i;
        takeSeparated(lines, analysis, collect);
    }
    if (pass.ticker.cancelled()) return;
    std::sort(analysis.skippedLines.begin(), analysis.skippedLines.end());
    analysis.skippedLines.erase(std::unique(analysis.skippedLines.begin(), analysis.skippedLines.end()),
                                analysis.skippedLines.end());
    fillFromShippedLists(analysis.words, pass.job.folders);
    for (std::size_t i = 0; i < analysis.words.size() && i < kImportPreviewRows; ++i)
        analysis.firstWords.push_back(analysis.words[i]);
    if (analysis.words.empty()) analysis.refusal = ImportRefusal::noWords;
}

ImportAnalysis refused(ImportRefusal refusal)
{
    ImportAnalysis analysis;
    analysis.refusal = refusal;
    return analysis;
}

}  // namespace

// The usual column count under `separator`, counted over the records below
// Anki's header lines. The analysis and a change of the choices count it
// alike, so that the same choices always take the same words and skip the
// same lines.
std::size_t usualColumns(const Pass& pass, char16_t separator, std::size_t ankiLines)
{
    if (separator == 0) return 1;
    LineSource lines = pass.lines();
    std::u16string line;
    bool bad = false;
    SeparatorCount count{separator};
    while (lines.next(line, bad))
        if (lines.number() > ankiLines && !trim(line).empty()) count.feed(line);
    count.finish();
    std::size_t n = 0;
    return std::max<std::size_t>(1, count.usual(n));
}

ImportAnalysis analyseWordList(std::string bytes, const ImportJob& job)
{
    if (bytes.empty()) return refused(ImportRefusal::empty);
    if (bytes.size() > kImportMaxBytes) return refused(ImportRefusal::tooLarge);
    ImportAnalysis analysis;
    std::size_t start = 0;
    if (!chooseEncoding(bytes, job.codePage, analysis.encoding, start)) return refused(ImportRefusal::notText);
    analysis.bytes = std::make_shared<const std::string>(std::move(bytes));
    analysis.textStart = start;
    Ticker ticker(job, analysis.bytes->size(), 3);
    const Pass pass{*analysis.bytes, start, job, ticker, analysis.encoding};
    Scan scan;
    LineSource lines = pass.lines();
    scanLines(lines, scan);
    if (ticker.cancelled()) return refused(ImportRefusal::cancelled);
    // A picture or a program read as text is full of control characters
    // and characters that could not be decoded.
    if (scan.zero || scan.odd * 50 > scan.units) return refused(ImportRefusal::notText);
    if (scan.head.empty()) return refused(ImportRefusal::empty);
    analysis.html = scan.html;
    analysis.anki = scan.dropped;
    analysis.ankiLines = scan.ankiLines;
    std::u16string_view word, definition;
    if (startsXml(scan.head)) {
        analysis.format = ImportFormat::youdaoXml;  // or 欧路词典's, told by its items
    } else if (eudicEntry(scan.head, word, definition)) {
        analysis.format = ImportFormat::eudicText;
    } else {
        analysis.choices.separator = chooseSeparator(scan, analysis.columns);
        // Anki names its separator in a header line; the columns it gives
        // are counted as for any other.
        if (scan.ankiSeparator != 0) analysis.columns = usualColumns(pass, analysis.choices.separator, scan.ankiLines);
        ticker.pass(1);
        std::vector<ColumnLook> looks, firstLooks;
        if (analysis.choices.separator != 0) weighColumns(pass.lines(), scan.ankiLines, analysis, looks, firstLooks);
        if (ticker.cancelled()) return refused(ImportRefusal::cancelled);
        analysis.choices.roles = rolesByContent(looks, scan.dropped);
        if (analysis.choices.separator == u'|' && analysis.columns <= 3)
            analysis.choices.roles = {ColumnRole::word, ColumnRole::phonetic,
                                      ColumnRole::meaning};  // the program's own
        analysis.choices.header = !looks.empty() && headerRoles(analysis.firstRow, looks, analysis.choices.roles);
    }
    ticker.pass(2);
    take(pass, analysis.ankiLines, analysis);
    if (ticker.cancelled()) return refused(ImportRefusal::cancelled);
    return analysis;
}

ImportAnalysis analyseWordFile(const std::filesystem::path& file, const ImportJob& job)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) return refused(ImportRefusal::unreadable);
    // A huge file is refused before it is read.
    if (size > kImportMaxBytes) return refused(ImportRefusal::tooLarge);
    std::string bytes;
    try {
        const UniqueFile in(openFile(file, "rb"));
        if (!in) return refused(ImportRefusal::unreadable);
        bytes.resize(static_cast<std::size_t>(size));
        if (std::fread(bytes.data(), 1, bytes.size(), in.get()) != bytes.size() || std::fgetc(in.get()) != EOF)
            return refused(ImportRefusal::unreadable);
        return analyseWordList(std::move(bytes), job);
    } catch (const std::bad_alloc&) {
        return refused(ImportRefusal::tooLarge);
    }
}

ImportAnalysis applyImportChoices(ImportAnalysis analysis, const ImportChoices& choices, const ImportJob& job)
{
    if (!analysis.bytes || analysis.format != ImportFormat::separated) return analysis;
    analysis.refusal = ImportRefusal::none;
    analysis.choices = choices;
    Ticker ticker(job, analysis.bytes->size(), 2);
    const Pass pass{*analysis.bytes, analysis.textStart, job, ticker, analysis.encoding};
    analysis.columns = usualColumns(pass, choices.separator, analysis.ankiLines);
    ticker.pass(1);
    take(pass, analysis.ankiLines, analysis);
    // Cancelled, the file stays for the choices to be applied again.
    if (ticker.cancelled()) {
        analysis.refusal = ImportRefusal::cancelled;
        analysis.words.clear();
        analysis.firstWords.clear();
    }
    return analysis;
}

void fillFromShippedLists(ImportedWords& words, const std::vector<std::filesystem::path>& folders)
{
    std::size_t lacking = 0;
    for (std::size_t i = 0; i < words.size(); ++i) lacking += words.lacks(i);
    for (const std::u16string_view list : kShippedLists) {
        if (lacking == 0) return;
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
            const std::size_t i = words.indexOf(parts.word);
            if (i == words.size() || !words.lacks(i)) continue;
            ImportedWord word = words[i];
            if (word.phonetic.empty()) word.phonetic.assign(parts.transcription);
            if (word.meaning.empty()) word.meaning.assign(parts.content);
            words.replace(i, word.phonetic, word.meaning);
            lacking -= !words.lacks(i);
        }
    }
}

ImportRefusal writeImportedList(const ImportAnalysis& analysis, const std::filesystem::path& folder,
                                std::u16string_view name, const ImportJob& job)
{
    if (analysis.refusal != ImportRefusal::none) return analysis.refusal;
    std::filesystem::path target, temporary;
    if (!makeFileName(name, u".txt", target) || !makeFileName(name, u".txt.tmp", temporary))
        return ImportRefusal::notWritten;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    target = folder / target;
    temporary = folder / temporary;
    if (!removeFile(temporary)) return ImportRefusal::notWritten;
    // UTF-16LE without a mark, `word|phonetic|meaning` lines ending in CR LF,
    // written a piece at a time.
    Ticker ticker(job, analysis.words.size(), 1);
    bool ok = false;
    {
        UniqueFile out(openFile(temporary, "wb"));
        std::string piece;
        const auto put = [&](std::u16string_view text) {
            for (const char16_t c : text) {
                piece.push_back(static_cast<char>(c & 0xFF));
                piece.push_back(static_cast<char>(c >> 8));
            }
        };
        ok = out != nullptr;
        for (std::size_t i = 0; ok && i < analysis.words.size(); ++i) {
            const ImportedWord word = analysis.words[i];
            put(word.word);
            put(u"|");
            put(word.phonetic);
            put(u"|");
            put(word.meaning);
            put(u"\r\n");
            if (piece.size() < (64u << 10) && i + 1 < analysis.words.size()) continue;
            ok = std::fwrite(piece.data(), 1, piece.size(), out.get()) == piece.size() && ticker.tick(i);
            piece.clear();
        }
        ok = ok && flushToDisk(out.get()) && std::fclose(out.release()) == 0;
    }
    // Never over a list of that name that appeared meanwhile.
    ok = ok && renameNoReplace(temporary, target);
    if (!ok) removeFile(temporary);
    if (ticker.cancelled()) return ImportRefusal::cancelled;
    return ok ? ImportRefusal::none : ImportRefusal::notWritten;
}

ImportResult importResultOf(const ImportAnalysis& analysis)
{
    ImportResult result;
    result.refusal = analysis.refusal;
    if (analysis.refusal != ImportRefusal::none) return result;
    result.wordCount = analysis.words.size();
    result.skippedLines = analysis.skippedLines;
    return result;
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
    case ImportRefusal::cancelled:
        return u"已取消，没有导入。";
    case ImportRefusal::none:
        break;
    }
    std::u16string message = u"导入 " + number(result.wordCount) + u" 个词";
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
    ImportJob job;
    job.codePage = codePage;
    job.folders = folders;
    try {
        const ImportAnalysis analysis = analyseWordFile(file, job);
        ImportResult result = importResultOf(analysis);
        if (result.refusal != ImportRefusal::none) return result;
        result.refusal = writeImportedList(analysis, folder, name, job);
        if (result.refusal != ImportRefusal::none) result = ImportResult{result.refusal, 0, {}};
        return result;
    } catch (const std::bad_alloc&) {
        return ImportResult{ImportRefusal::tooLarge, 0, {}};
    }
}
