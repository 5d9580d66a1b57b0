// The word window's [Word] section of mivora.ini (when the example
// sentences show) and the [Order] section: the order chosen for each list,
// one key a list ("雅思词汇=shuffled").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "IniFile.h"
#include "store/lists/ListOrder.h"

constexpr char16_t kWordSection[] = u"Word";
constexpr char16_t kOrderSection[] = u"Order";

// When the word window grows to show the word's forms and sentences: while
// the pointer rests on the word, always, or never.
enum class ExamplesShown { hover, always, off };

struct WordSettings {
    ExamplesShown examples = ExamplesShown::hover;

    // The order chosen for the list `name` (its name in any case); the
    // file's own when none was.
    ListOrder orderOf(std::u16string_view name) const;
    // Keeps `order` for the list. A name mivora.ini cannot hold as a key
    // (spaces around it, '=', or a first character that starts a comment or
    // a section) is not kept: that list comes in the file's order.
    void setOrder(std::u16string_view name, ListOrder order);

    struct Chosen {
        std::u16string list;
        ListOrder order;
        bool operator==(const Chosen&) const = default;
    };
    std::vector<Chosen> orders;

    bool operator==(const WordSettings&) const = default;
};

// Whether `name` can be a key of mivora.ini as it stands.
bool iniKeyFits(std::u16string_view name) noexcept;

// Examples: "hover", "always" or "off" in any case; anything else is hover.
// An order that is none of original, alphabetical, shuffled is left out.
WordSettings readWordSettings(const IniDocument& document);
void writeWordSettings(IniDocument& document, const WordSettings& settings);
