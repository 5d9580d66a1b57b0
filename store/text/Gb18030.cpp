#include "store/text/Gb18030.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

#include "store/text/Gb18030Table.inc"

constexpr char16_t kReplacement = u'\uFFFD';
// The linear index of the four-byte code 0x90308130, which is U+10000; the
// planes above the first follow it one for one.
constexpr std::uint32_t kSupplementaryBase = 189000;
constexpr std::uint32_t kBmpFourByteCount = 39420;

bool isFourByteDigit(unsigned char byte)
{
    return byte >= 0x30 && byte <= 0x39;
}
bool isLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

char16_t bmpFromLinear(std::uint32_t index)
{
    const auto* end = std::end(kGbFourByteRunIndex);
    // The last run starting at or before `index`.
    const auto* run = std::upper_bound(std::begin(kGbFourByteRunIndex), end, index) - 1;
    const auto at = static_cast<std::size_t>(run - std::begin(kGbFourByteRunIndex));
    const char16_t start = kGbFourByteRunStart[at];
    if (start == 0) return kReplacement;
    return static_cast<char16_t>(start + (index - *run));
}

void appendCodePoint(std::uint32_t cp, std::u16string& out)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

}  // namespace

void decodeGb18030(std::string_view bytes, std::u16string& out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    out.reserve(out.size() + size);
    std::size_t i = 0;
    while (i < size) {
        const unsigned char b1 = p[i];
        if (b1 < 0x80) {
            out.push_back(b1);
            ++i;
            continue;
        }
        if (!isLeadByte(b1) || i + 1 >= size) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        const unsigned char b2 = p[i + 1];
        if (isFourByteDigit(b2)) {
            if (i + 3 >= size || !isLeadByte(p[i + 2]) || !isFourByteDigit(p[i + 3])) {
                out.push_back(kReplacement);
                ++i;
                continue;
            }
            const std::uint32_t index =
                (((b1 - 0x81u) * 10 + (b2 - 0x30u)) * 126 + (p[i + 2] - 0x81u)) * 10 + (p[i + 3] - 0x30u);
            if (index < kBmpFourByteCount)
                out.push_back(bmpFromLinear(index));
            else if (index >= kSupplementaryBase && index - kSupplementaryBase <= 0xFFFFFu)
                appendCodePoint(0x10000 + (index - kSupplementaryBase), out);
            else
                out.push_back(kReplacement);
            i += 4;
            continue;
        }
        const bool trail = (b2 >= 0x40 && b2 <= 0x7E) || (b2 >= 0x80 && b2 <= 0xFE);
        const char16_t unit = trail ? kGbTwoByte[(b1 - 0x81) * 190 + (b2 < 0x7F ? b2 - 0x40 : b2 - 0x41)] : char16_t{0};
        if (unit == 0) {
            // The second byte may begin the next character (an ASCII letter
            // after a stray lead byte): only the first is lost.
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(unit);
        i += 2;
    }
}
