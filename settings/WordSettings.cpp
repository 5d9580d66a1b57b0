#include "WordSettings.h"

#include "store/text/Text.h"

namespace {

std::u16string_view examplesName(ExamplesShown shown)
{
    switch (shown) {
    case ExamplesShown::always:
        return u"always";
    case ExamplesShown::off:
        return u"off";
    case ExamplesShown::hover:
        break;
    }
    return u"hover";
}

}  // namespace

bool iniKeyFits(std::u16string_view name) noexcept
{
    if (name.empty()) return false;
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    if (blank(name.front()) || blank(name.back())) return false;
    if (name.front() == u';' || name.front() == u'#' || name.front() == u'[') return false;
    return name.find_first_of(u"=\r\n") == std::u16string_view::npos;
}

ListOrder WordSettings::orderOf(std::u16string_view name) const
{
    for (const Chosen& chosen : orders)
        if (equalNoCase(chosen.list, name)) return chosen.order;
    return ListOrder::original;
}

void WordSettings::setOrder(std::u16string_view name, ListOrder order)
{
    if (!iniKeyFits(name)) return;
    for (Chosen& chosen : orders) {
        if (equalNoCase(chosen.list, name)) {
            chosen.order = order;
            return;
        }
    }
    orders.push_back(Chosen{std::u16string(name), order});
}

WordSettings readWordSettings(const IniDocument& document)
{
    WordSettings settings;
    if (const auto value = document.get(kWordSection, u"Examples")) {
        for (ExamplesShown shown : {ExamplesShown::hover, ExamplesShown::always, ExamplesShown::off})
            if (equalNoCase(*value, examplesName(shown))) settings.examples = shown;
    }
    for (const std::u16string& list : document.keys(kOrderSection)) {
        const auto value = document.get(kOrderSection, list);
        if (!value) continue;
        if (const auto order = listOrderNamed(*value)) settings.setOrder(list, *order);
    }
    return settings;
}

void writeWordSettings(IniDocument& document, const WordSettings& settings)
{
    document.set(kWordSection, u"Examples", examplesName(settings.examples));
    for (const WordSettings::Chosen& chosen : settings.orders)
        document.set(kOrderSection, chosen.list, listOrderName(chosen.order));
}
