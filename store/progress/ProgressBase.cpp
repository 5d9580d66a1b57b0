#include "store/progress/ProgressBase.h"

#include <algorithm>
#include <cstring>

#include "store/text/Text.h"
#include "store/WordGet.h"

namespace {

constexpr std::uint64_t kMultiplier = 0xFF51AFD7ED558CCDull;

std::uint64_t mixed(std::uint64_t state, std::uint64_t word) noexcept
{
    state = (state ^ word) * kMultiplier;
    return state ^ (state >> 29);
}

}  // namespace

void ContentHash::block(const unsigned char* at) noexcept
{
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        std::uint64_t word;
        std::memcpy(&word, at + lane * 8, 8);
        lanes_[lane] = mixed(lanes_[lane], word);
    }
}

void ContentHash::add(const void* bytes, std::size_t size) noexcept
{
    const auto* at = static_cast<const unsigned char*>(bytes);
    total_ += size;
    if (pendingBytes_ != 0) {
        const std::size_t taken = std::min(size, kBlock - pendingBytes_);
        std::memcpy(pending_ + pendingBytes_, at, taken);
        pendingBytes_ += taken;
        at += taken;
        size -= taken;
        if (pendingBytes_ < kBlock) return;
        block(pending_);
        pendingBytes_ = 0;
    }
    for (; size >= kBlock; size -= kBlock, at += kBlock) block(at);
    std::memcpy(pending_, at, size);
    pendingBytes_ = size;
}

std::uint64_t ContentHash::value() const noexcept
{
    ContentHash last = *this;
    // The tail zero-filled, then the length: "a" and "a\0" differ.
    std::memset(last.pending_ + last.pendingBytes_, 0, kBlock - last.pendingBytes_);
    last.block(last.pending_);
    std::uint64_t state = total_;
    for (const std::uint64_t lane : last.lanes_) state = mixed(state, lane);
    return mixed(state, total_);
}

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
