// The order in which a chosen word list comes into the round: the file's
// own (the shipped lists are most frequent first, an imported one as its
// export had it), alphabetical, or shuffled. A shuffle depends only on the
// list's name and the day, so two PCs that choose the same list on the same
// day learn it in the same order, and the next day's choice is another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ListOrder { original, alphabetical, shuffled };

// How mivora.ini spells an order ("original", "alphabetical", "shuffled");
// nothing for anything else.
std::u16string_view listOrderName(ListOrder order) noexcept;
std::optional<ListOrder> listOrderNamed(std::u16string_view name) noexcept;

// The order a load applies: which one, and for a shuffle the day (yyyymmdd)
// whose shuffle it is.
struct ListOrderChoice {
    ListOrder order = ListOrder::original;
    std::int32_t day = 0;
};

// The shuffle's seed: FNV-1a (64 bits) over the list's name with its ASCII
// letters folded, each unit as two bytes low first, then the day's four
// bytes low first.
std::uint64_t shuffleSeed(std::u16string_view listName, std::int32_t day) noexcept;

// SplitMix64: the same numbers on every compiler and platform, unlike the
// standard library's distributions.
class ShuffleRandom {
public:
    explicit ShuffleRandom(std::uint64_t seed) noexcept : state_(seed) {}
    std::uint64_t next() noexcept;

private:
    std::uint64_t state_;
};

// The positions of `words` in the order asked for: alphabetical compares
// with ASCII letters folded and keeps the file's order among equals; the
// shuffle is Fisher-Yates from the last position down, each swap with
// position next() % (i + 1); of two lines of one word (ASCII letters
// folded) the file's first always comes first.
std::vector<std::size_t> orderPositions(const std::vector<std::u16string_view>& words, std::u16string_view listName,
                                        const ListOrderChoice& choice);
