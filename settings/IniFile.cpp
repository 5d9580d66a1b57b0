#include "IniFile.h"

#include <climits>
#include <memory>
#include <system_error>

#include "store/files/FileReplace.h"
#include "store/text/Gb18030.h"
#include "store/text/Text.h"

namespace {

// Far beyond any settings file a person writes; a bigger one is not read
// (and so never overwritten).
constexpr std::uintmax_t kMaxIniBytes = 1u << 20;

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

std::u16string_view trimmed(std::u16string_view text)
{
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool isComment(std::u16string_view line)
{
    return !line.empty() && (line.front() == u';' || line.front() == u'#');
}

// The section name of a header line ("[Name]", spaces allowed around it).
std::optional<std::u16string_view> headerName(std::u16string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() != u'[') return std::nullopt;
    line.remove_prefix(1);
    const std::size_t end = line.find(u']');
    return trimmed(line.substr(0, end));
}

// The key and the raw value of a "key = value" line.
bool splitKey(std::u16string_view line, std::u16string_view& key, std::u16string_view& value)
{
    line = trimmed(line);
    if (line.empty() || isComment(line)) return false;
    const std::size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos || equals == 0) return false;
    key = trimmed(line.substr(0, equals));
    value = trimmed(line.substr(equals + 1));
    return !key.empty();
}

std::u16string decodeText(std::string_view bytes)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::u16string text;
    if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        text.reserve(bytes.size() / 2);
        // A last odd byte is half a unit: it is dropped.
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1)));
        return text;
    }
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        decodeUtf8(bytes.substr(3), text);
        return text;
    }
    if (!decodeUtf8(bytes, text)) decodeAnsi(bytes, text);
    return text;
}

}  // namespace

IniDocument IniDocument::parse(std::string_view bytes)
{
    IniDocument document;
    const std::u16string text = decodeText(bytes);
    std::u16string_view rest = text;
    while (!rest.empty()) {
        // CR LF, LF or a lone CR ends a line.
        const std::size_t end = rest.find_first_of(u"\r\n");
        const std::u16string_view line = rest.substr(0, end);
        if (end == std::u16string_view::npos) {
            rest = {};
        } else {
            const bool pair = rest[end] == u'\r' && end + 1 < rest.size() && rest[end + 1] == u'\n';
            rest.remove_prefix(end + (pair ? 2 : 1));
        }
        if (const auto name = headerName(line)) document.sections_.push_back(Section{std::u16string(*name), {}});
        document.sections_.back().lines.emplace_back(line);
    }
    return document;
}

std::size_t IniDocument::find(std::u16string_view section) const
{
    // The lines before the first header (index 0) belong to no section.
    for (std::size_t i = 1; i < sections_.size(); ++i) {
        if (equalNoCase(sections_[i].name, section)) return i;
    }
    return 0;
}

std::optional<std::u16string> IniDocument::get(std::u16string_view section, std::u16string_view key) const
{
    const std::size_t found = find(section);
    if (found == 0) return std::nullopt;
    for (const std::u16string& line : sections_[found].lines) {
        std::u16string_view name, value;
        if (!splitKey(line, name, value) || !equalNoCase(name, key)) continue;
        if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
            value = value.substr(1, value.size() - 2);
        return std::u16string(value);
    }
    return std::nullopt;
}

std::vector<std::u16string> IniDocument::keys(std::u16string_view section) const
{
    std::vector<std::u16string> names;
    const std::size_t found = find(section);
    if (found == 0) return names;
    for (const std::u16string& line : sections_[found].lines) {
        std::u16string_view name, value;
        if (!splitKey(line, name, value)) continue;
        bool seen = false;
        for (const std::u16string& earlier : names) seen = seen || equalNoCase(earlier, name);
        if (!seen) names.emplace_back(name);
    }
    return names;
}

void IniDocument::set(std::u16string_view section, std::u16string_view key, std::u16string_view value)
{
    value = value.substr(0, value.find_first_of(u"\r\n"));
    std::u16string line = std::u16string(key) + u"=" + std::u16string(value);
    std::size_t index = find(section);
    if (index == 0) {
        // A blank line before the new header, as a person would write it.
        Section& last = sections_.back();
        if (!last.lines.empty() && !trimmed(last.lines.back()).empty()) last.lines.emplace_back();
        sections_.push_back(Section{std::u16string(section), {u"[" + std::u16string(section) + u"]"}});
        index = sections_.size() - 1;
    }
    Section* const found = &sections_[index];
    std::size_t lastUsed = 0;  // after the header, or after the last line with text
    for (std::size_t i = 0; i < found->lines.size(); ++i) {
        std::u16string_view name, old;
        if (splitKey(found->lines[i], name, old) && equalNoCase(name, key)) {
            // The key keeps the spelling the file gave it.
            found->lines[i] = std::u16string(name) + u"=" + std::u16string(value);
            return;
        }
        if (!trimmed(found->lines[i]).empty()) lastUsed = i;
    }
    // Before the blank lines that part this section from the next.
    found->lines.insert(found->lines.begin() + static_cast<std::ptrdiff_t>(lastUsed) + 1, std::move(line));
}

std::string IniDocument::serialize() const
{
    std::string bytes = "\xFF\xFE";
    const auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    };
    for (const Section& section : sections_) {
        for (const std::u16string& line : section.lines) {
            for (const char16_t unit : line) put(unit);
            put(u'\r');
            put(u'\n');
        }
    }
    return bytes;
}

int iniInteger(const IniDocument& document, std::u16string_view section, std::u16string_view key, int fallback,
               int lowest, int highest)
{
    const std::optional<std::u16string> text = document.get(section, key);
    if (!text) return fallback;
    std::u16string_view digits = *text;
    const bool negative = !digits.empty() && digits.front() == u'-';
    if (!digits.empty() && (digits.front() == u'-' || digits.front() == u'+')) digits.remove_prefix(1);
    if (digits.empty()) return fallback;
    long long value = 0;
    for (const char16_t c : digits) {
        if (c < u'0' || c > u'9') return fallback;
        value = value * 10 + (c - u'0');
        if (value > INT_MAX) return fallback;
    }
    if (negative) value = -value;
    return value < lowest || value > highest ? fallback : static_cast<int>(value);
}

IniLoad loadIniFile(const std::filesystem::path& file, IniDocument& document)
{
    document = IniDocument{};
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) return IniLoad::Missing;
    if (status.type() != std::filesystem::file_type::regular) return IniLoad::Unreadable;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxIniBytes) return IniLoad::Unreadable;
    FileContent content;
    if (!readWholeFile(file, content) || content.bytes > kMaxIniBytes) return IniLoad::Unreadable;
    document = IniDocument::parse(content.view());
    return IniLoad::Read;
}

bool saveIniFile(const std::filesystem::path& file, const IniDocument& document)
{
    std::filesystem::path temporary = file;
    temporary += L".tmp";
    // A temporary file a crash left behind is only ever overwritten.
    if (!removeFile(temporary)) return false;
    const std::string bytes = document.serialize();
    const bool ok = writeFlushed(temporary, bytes) && replaceFile(temporary, file);
    if (!ok) removeFile(temporary);
    return ok;
}
