#include "Hotkeys.h"

namespace {

struct KeyName {
    const char* name;  // ASCII; compared without regard to case
    std::uint32_t key;
};

// The keys with a name of their own; letters, digits and F1-F24 are worked
// out below. The first name of a key is the one written; later ones are
// other spellings people use, accepted when read.
constexpr KeyName kNamedKeys[] = {
    {"Left", 0x25},   {"Up", 0x26},        {"Right", 0x27}, {"Down", 0x28},     {"Home", 0x24},   {"End", 0x23},
    {"PgUp", 0x21},   {"PageUp", 0x21},    {"PgDn", 0x22},  {"PageDown", 0x22}, {"Insert", 0x2D}, {"Ins", 0x2D},
    {"Delete", 0x2E}, {"Del", 0x2E},       {"Space", 0x20}, {"Tab", 0x09},      {"Esc", 0x1B},    {"Escape", 0x1B},
    {"Enter", 0x0D},  {"Backspace", 0x08}, {"Pause", 0x13}, {"Num*", 0x6A},     {"Num+", 0x6B},   {"Num-", 0x6D},
    {"Num.", 0x6E},   {"Num/", 0x6F},      {";", 0xBA},     {"=", 0xBB},        {",", 0xBC},      {"-", 0xBD},
    {".", 0xBE},      {"/", 0xBF},         {"`", 0xC0},     {"[", 0xDB},        {"\\", 0xDC},     {"]", 0xDD},
    {"'", 0xDE},
};

struct ModifierName {
    const char* name;
    std::uint32_t bit;
};

// In the order they are written.
constexpr ModifierName kModifiers[] = {
    {"Ctrl", kHotkeyCtrl}, {"Control", kHotkeyCtrl}, {"Alt", kHotkeyAlt}, {"Shift", kHotkeyShift}, {"Win", kHotkeyWin},
};

constexpr const char16_t* kIniKeys[kHotkeyCommandCount] = {
    u"Next", u"Previous", u"Remembered", u"Pause", u"Speak", u"ShowHide", u"Options", u"Forgot", u"Reveal",
};

char16_t lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool sameName(std::u16string_view text, const char* name)
{
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i)
        if (i >= text.size() || lower(text[i]) != lower(static_cast<char16_t>(name[i]))) return false;
    return i == text.size();
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

std::u16string_view trimmed(std::u16string_view text)
{
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::uint32_t> keyOfName(std::u16string_view name)
{
    if (name.size() == 1) {
        const char16_t c = name[0];
        if (c >= u'a' && c <= u'z') return static_cast<std::uint32_t>(c - u'a' + 'A');
        if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return static_cast<std::uint32_t>(c);
    }
    if (name.size() >= 2 && lower(name[0]) == u'f') {
        unsigned number = 0;
        for (std::size_t i = 1; i < name.size(); ++i) {
            if (name[i] < u'0' || name[i] > u'9' || i > 2) return std::nullopt;
            number = number * 10 + static_cast<unsigned>(name[i] - u'0');
        }
        if (number >= 1 && number <= 24 && name[1] != u'0') return 0x70 + (number - 1);  // VK_F1…
        return std::nullopt;
    }
    if (name.size() == 4 && sameName(name.substr(0, 3), "Num") && name[3] >= u'0' && name[3] <= u'9')
        return static_cast<std::uint32_t>(0x60 + (name[3] - u'0'));  // VK_NUMPAD0…
    for (const KeyName& known : kNamedKeys)
        if (sameName(name, known.name)) return known.key;
    return std::nullopt;
}

std::u16string nameOfKey(std::uint32_t key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::u16string(1, static_cast<char16_t>(key));
    if (key >= 0x70 && key <= 0x87) {
        const unsigned number = key - 0x70 + 1;
        std::u16string name = u"F";
        if (number >= 10) name += static_cast<char16_t>(u'0' + number / 10);
        name += static_cast<char16_t>(u'0' + number % 10);
        return name;
    }
    if (key >= 0x60 && key <= 0x69) return std::u16string(u"Num") + static_cast<char16_t>(u'0' + (key - 0x60));
    for (const KeyName& known : kNamedKeys) {
        if (known.key != key) continue;
        std::u16string name;
        for (const char* c = known.name; *c != '\0'; ++c) name += static_cast<char16_t>(*c);
        return name;
    }
    return {};
}

}  // namespace

std::optional<Hotkey> parseHotkey(std::u16string_view written)
{
    // Typed in Notepad with the input method on, the '+' and the
    // punctuation keys come in their full-width forms ("Ctrl＋Alt＋，").
    std::u16string plain(written);
    for (char16_t& c : plain)
        if (c >= u'\uFF01' && c <= u'\uFF5E') c = static_cast<char16_t>(c - 0xFEE0);
    std::u16string_view text = trimmed(plain);
    Hotkey hotkey;
    if (text.empty()) return hotkey;
    // Modifiers are taken from the front while one is followed by a '+';
    // what is left is the key's name, which may itself end in '+' ("Num+").
    for (;;) {
        const std::size_t plus = text.find(u'+');
        if (plus == std::u16string_view::npos || plus == 0) break;
        const std::u16string_view word = trimmed(text.substr(0, plus));
        std::uint32_t bit = 0;
        for (const ModifierName& modifier : kModifiers)
            if (sameName(word, modifier.name)) bit = modifier.bit;
        if (bit == 0) break;
        if ((hotkey.modifiers & bit) != 0) return std::nullopt;
        hotkey.modifiers |= bit;
        text = trimmed(text.substr(plus + 1));
    }
    // No key name holds a space: "Pg Up" is PgUp.
    std::u16string name;
    for (char16_t c : text)
        if (!isSpace(c)) name += c;
    const std::optional<std::uint32_t> key = keyOfName(name);
    if (!key) return std::nullopt;
    hotkey.key = *key;
    return hotkey;
}

std::u16string formatHotkey(Hotkey hotkey)
{
    if (hotkey.none()) return {};
    std::u16string key = nameOfKey(hotkey.key);
    if (key.empty()) return {};
    std::u16string text;
    if (hotkey.modifiers & kHotkeyCtrl) text += u"Ctrl+";
    if (hotkey.modifiers & kHotkeyAlt) text += u"Alt+";
    if (hotkey.modifiers & kHotkeyShift) text += u"Shift+";
    if (hotkey.modifiers & kHotkeyWin) text += u"Win+";
    return text + key;
}

const char16_t* hotkeyIniKey(HotkeyCommand command)
{
    const int i = static_cast<int>(command);
    return i >= 0 && i < kHotkeyCommandCount ? kIniKeys[i] : u"";
}

void HotkeySettings::read(HotkeyCommand command, const std::u16string* value)
{
    if (value == nullptr) return;
    const int i = static_cast<int>(command);
    const std::optional<Hotkey> hotkey = parseHotkey(*value);
    keys[i] = hotkey.value_or(Hotkey{});
    unreadable[i] = hotkey ? std::u16string() : *value;
}

std::u16string HotkeySettings::text(HotkeyCommand command) const
{
    const int i = static_cast<int>(command);
    return unreadable[i].empty() ? formatHotkey(keys[i]) : unreadable[i];
}

void HotkeySettings::set(HotkeyCommand command, Hotkey hotkey)
{
    const int i = static_cast<int>(command);
    keys[i] = hotkey;
    unreadable[i].clear();
}

HotkeySettings readHotkeySettings(const IniDocument& document)
{
    HotkeySettings settings = defaultHotkeys();
    for (int i = 0; i < kHotkeyCommandCount; ++i) {
        const auto command = static_cast<HotkeyCommand>(i);
        const std::optional<std::u16string> value = document.get(kHotkeysSection, hotkeyIniKey(command));
        settings.read(command, value ? &*value : nullptr);
    }
    return settings;
}

void writeHotkeySettings(IniDocument& document, const HotkeySettings& settings)
{
    for (int i = 0; i < kHotkeyCommandCount; ++i) {
        const auto command = static_cast<HotkeyCommand>(i);
        document.set(kHotkeysSection, hotkeyIniKey(command), settings.text(command));
    }
}

HotkeySettings defaultHotkeys()
{
    constexpr std::uint32_t ctrlAlt = kHotkeyCtrl | kHotkeyAlt;
    HotkeySettings defaults;
    defaults[HotkeyCommand::next] = {ctrlAlt, 0xBE};       // Ctrl+Alt+.  (the > key)
    defaults[HotkeyCommand::previous] = {ctrlAlt, 0xBC};   // Ctrl+Alt+,  (the < key)
    defaults[HotkeyCommand::remembered] = {ctrlAlt, 'M'};  // Ctrl+Alt+M
    defaults[HotkeyCommand::pause] = {ctrlAlt, 0xBF};      // Ctrl+Alt+/
    defaults[HotkeyCommand::speak] = {ctrlAlt, 0xBA};      // Ctrl+Alt+;
    defaults[HotkeyCommand::forgot] = {ctrlAlt, 'N'};      // Ctrl+Alt+N
    defaults[HotkeyCommand::reveal] = {ctrlAlt, 'K'};      // Ctrl+Alt+K
    return defaults;
}
