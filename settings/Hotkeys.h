// The system-wide hotkeys as the user writes them in mivora.ini, section
// [Hotkeys] ("Next=Ctrl+Alt+N", "Pause=Ctrl+Shift+F8"), and as the program
// keeps them: the modifier bits and virtual-key code RegisterHotKey takes,
// with no Windows header needed, so that the text form is checked on every
// platform.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "IniFile.h"

// What a hotkey can do, in the order of the hotkey page's fields.
enum class HotkeyCommand : int {
    next,
    previous,
    remembered,
    pause,
    speak,
    showHide,
    options,
    forgot,  // 忘了, for a word under review
    reveal,  // 显示释义: the meaning of a word shown without it
};
constexpr int kHotkeyCommandCount = 9;

// RegisterHotKey's modifier bits (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
constexpr std::uint32_t kHotkeyAlt = 0x1;
constexpr std::uint32_t kHotkeyCtrl = 0x2;
constexpr std::uint32_t kHotkeyShift = 0x4;
constexpr std::uint32_t kHotkeyWin = 0x8;

struct Hotkey {
    std::uint32_t modifiers = 0;  // kHotkey* bits
    std::uint32_t key = 0;        // a virtual-key code; 0: no hotkey
    bool none() const { return key == 0; }
    friend bool operator==(const Hotkey&, const Hotkey&) = default;
};

// A combination read from its text: modifiers first, each followed by '+',
// then one key, in any case and with spaces anywhere between the parts
// ("ctrl + alt + n"). Empty or blank text is no hotkey; text that names an
// unknown key, a modifier twice or no key at all gives nothing.
std::optional<Hotkey> parseHotkey(std::u16string_view text);
// The one written form: Ctrl, Alt, Shift, Win in this order, then the key's
// name ("Ctrl+Alt+N"). Empty for no hotkey and for a key without a name.
std::u16string formatHotkey(Hotkey hotkey);

// The key of each command in the [Hotkeys] section ("Next", "Previous", …).
const char16_t* hotkeyIniKey(HotkeyCommand command);

// Every command's hotkey, as mivora.ini holds them.
struct HotkeySettings {
    std::array<Hotkey, kHotkeyCommandCount> keys{};
    // A value that could not be read, kept as it stood: its hotkey is off,
    // and it is written back unchanged until the user sets that field, so
    // a slip in the file is not silently erased by an OK on another page.
    std::array<std::u16string, kHotkeyCommandCount> unreadable{};

    Hotkey& operator[](HotkeyCommand command) { return keys[static_cast<int>(command)]; }
    const Hotkey& operator[](HotkeyCommand command) const { return keys[static_cast<int>(command)]; }

    // The value read for `command` (nullptr: the file has no such key, and
    // the default stays).
    void read(HotkeyCommand command, const std::u16string* value);
    // The command's value as it is written: the combination's text, the
    // unreadable text kept, or empty for none.
    std::u16string text(HotkeyCommand command) const;
    // Sets `command` from the page: any kept unreadable text is dropped.
    void set(HotkeyCommand command, Hotkey hotkey);
};

constexpr char16_t kHotkeysSection[] = u"Hotkeys";

// The [Hotkeys] section of mivora.ini: a key missing takes its default.
HotkeySettings readHotkeySettings(const IniDocument& document);
// Every command's value, readable; an unreadable one as it stood.
void writeHotkeySettings(IniDocument& document, const HotkeySettings& settings);

// The defaults: the four study commands and 朗读 on the right hand's
// bottom row with Ctrl+Alt, 忘了 beside 已记住 (N for "no") and 显示释义
// on the home row above (K for 看); showing and hiding the word and the
// options have none until the user picks one.
HotkeySettings defaultHotkeys();
