#include "store/lists/ListOrder.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "store/text/Text.h"

std::u16string_view listOrderName(ListOrder order) noexcept
{
    switch (order) {
    case ListOrder::alphabetical:
        return u"alphabetical";
    case ListOrder::shuffled:
        return u"shuffled";
    case ListOrder::original:
        break;
    }
    return u"original";
}

std::optional<ListOrder> listOrderNamed(std::u16string_view name) noexcept
{
    for (ListOrder order : {ListOrder::original, ListOrder::alphabetical, ListOrder::shuffled})
        if (equalNoCase(name, listOrderName(order))) return order;
    return std::nullopt;
}

std::uint64_t shuffleSeed(std::u16string_view listName, std::int32_t day) noexcept
{
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t hash = 14695981039346656037ull;
    const auto byte = [&](unsigned value) {
        hash ^= value & 0xFFu;
        hash *= kPrime;
    };
    for (char16_t unit : listName) {
        const char16_t folded = foldAscii(unit);
        byte(folded);
        byte(folded >> 8);
    }
    const auto dayBits = static_cast<std::uint32_t>(day);
    for (int shift = 0; shift < 32; shift += 8) byte(dayBits >> shift);
    return hash;
}

std::uint64_t ShuffleRandom::next() noexcept
{
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<std::size_t> orderPositions(const std::vector<std::u16string_view>& words, std::u16string_view listName,
                                        const ListOrderChoice& choice)
{
    std::vector<std::size_t> positions(words.size());
    std::iota(positions.begin(), positions.end(), std::size_t{0});
    switch (choice.order) {
    case ListOrder::original:
        break;
    case ListOrder::alphabetical:
        std::stable_sort(positions.begin(), positions.end(), [&](std::size_t a, std::size_t b) {
            const std::u16string_view x = words[a];
            const std::u16string_view y = words[b];
            const std::size_t n = std::min(x.size(), y.size());
            for (std::size_t i = 0; i < n; ++i) {
                const char16_t fx = foldAscii(x[i]);
                const char16_t fy = foldAscii(y[i]);
                if (fx != fy) return fx < fy;
            }
            return x.size() < y.size();
        });
        break;
    case ListOrder::shuffled: {
        ShuffleRandom random(shuffleSeed(listName, choice.day));
        for (std::size_t i = positions.size(); i > 1; --i) {
            const std::size_t j = static_cast<std::size_t>(random.next() % i);
            std::swap(positions[i - 1], positions[j]);
        }
        // The list keeps the first of two lines of one word: the places
        // such lines got go to them in the file's order, so the shuffle
        // never brings a later line's meaning forward.
        std::unordered_map<std::u16string, std::vector<std::size_t>> same;
        for (std::size_t at = 0; at < words.size(); ++at) same[foldedWord(words[at])].push_back(at);
        std::unordered_map<std::u16string, std::size_t> taken;
        for (std::size_t& at : positions) {
            const std::u16string key = foldedWord(words[at]);
            const std::vector<std::size_t>& lines = same[key];
            if (lines.size() > 1) at = lines[taken[key]++];
        }
        break;
    }
    }
    return positions;
}
