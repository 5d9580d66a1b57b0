#include "store/files/FileNames.h"

#include <string>

#include "store/text/Text.h"

namespace {

bool startsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

bool containsNoCase(std::u16string_view text, std::u16string_view part)
{
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (equalNoCase(text.substr(at, part.size()), part)) return true;
    }
    return false;
}

// A computer name as OneDrive appends it: no spaces, dots, brackets or
// other punctuation than hyphens and underscores.
bool computerName(std::u16string_view name)
{
    if (name.empty()) return false;
    for (const char16_t unit : name) {
        const bool ascii = unit < 0x80;
        const bool allowed = !ascii || (unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'z') ||
                             (unit >= u'A' && unit <= u'Z') || unit == u'-' || unit == u'_';
        if (!allowed || unit == u'\u3000') return false;
    }
    return true;
}

}  // namespace

bool isConflictCopyName(std::u16string_view name)
{
    // "DAvud" and ".bin".
    constexpr std::u16string_view file = kProgressFileName;
    constexpr std::u16string_view stem = file.substr(0, file.rfind(u'.'));
    constexpr std::u16string_view extension = file.substr(file.rfind(u'.'));
    constexpr std::size_t kLongestMiddle = 200;
    if (name.size() <= stem.size() + extension.size() || !startsWithNoCase(name, stem) ||
        !equalNoCase(name.substr(name.size() - extension.size()), extension))
        return false;
    const std::u16string_view middle = name.substr(stem.size(), name.size() - stem.size() - extension.size());
    if (middle.size() > kLongestMiddle || middle.find(u'.') != std::u16string_view::npos) return false;
    if (middle.front() == u'-' && computerName(middle.substr(1))) return true;
    const char16_t first = middle.front();
    const bool separated = first == u' ' || first == u'(' || first == u'\uFF08' || first == u'-' || first == u'_';
    return separated && (containsNoCase(middle, u"conflict") || middle.find(u"冲突") != std::u16string_view::npos);
}

bool isReviewLogCopyName(std::u16string_view name)
{
    // The copies take the names the progress file's copies take, with the
    // log's stem and extension: the same rule decides.
    constexpr std::u16string_view file = kReviewLogName;
    constexpr std::u16string_view stem = file.substr(0, file.rfind(u'.'));
    constexpr std::u16string_view extension = file.substr(file.rfind(u'.'));
    if (name.size() <= stem.size() + extension.size() || !equalNoCase(name.substr(0, stem.size()), stem) ||
        !equalNoCase(name.substr(name.size() - extension.size()), extension))
        return false;
    const std::u16string_view middle = name.substr(stem.size(), name.size() - stem.size() - extension.size());
    return isConflictCopyName(u"DAvud" + std::u16string(middle) + u".bin");
}

bool isReviewLogFileName(std::u16string_view name)
{
    return equalNoCase(name, kReviewLogName) || isReviewLogCopyName(name);
}
