// The text form of a hotkey in mivora.ini, both ways, and what a [Hotkeys]
// section read into the settings leaves on.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Hotkeys.h"

namespace {

constexpr std::uint32_t C = kHotkeyCtrl, A = kHotkeyAlt, S = kHotkeyShift, W = kHotkeyWin;

struct TextCase {
    const char16_t* written;     // as a user may write it
    std::optional<Hotkey> read;  // nullopt: cannot be read
    const char16_t* canonical;   // how the program writes it back
};

// Virtual-key codes as Windows defines them, written out here rather than
// taken from the code under test.
const TextCase kTextCases[] = {
    {u"Ctrl+Alt+N", Hotkey{C | A, 0x4E}, u"Ctrl+Alt+N"},
    {u"Ctrl+Shift+F8", Hotkey{C | S, 0x77}, u"Ctrl+Shift+F8"},
    {u"  ctrl + alt + n ", Hotkey{C | A, 0x4E}, u"Ctrl+Alt+N"},
    {u"ALT+CTRL+n", Hotkey{C | A, 0x4E}, u"Ctrl+Alt+N"},  // any order in, one order out
    {u"Win+Shift+Alt+Control+7", Hotkey{C | A | S | W, 0x37}, u"Ctrl+Alt+Shift+Win+7"},
    {u"F1", Hotkey{0, 0x70}, u"F1"},
    {u"Shift+f24", Hotkey{S, 0x87}, u"Shift+F24"},
    {u"Ctrl+F10", Hotkey{C, 0x79}, u"Ctrl+F10"},
    {u"Ctrl+Alt+Left", Hotkey{C | A, 0x25}, u"Ctrl+Alt+Left"},
    {u"Ctrl+Down", Hotkey{C, 0x28}, u"Ctrl+Down"},
    {u"Alt+PageUp", Hotkey{A, 0x21}, u"Alt+PgUp"},
    {u"Alt+Pg Dn", Hotkey{A, 0x22}, u"Alt+PgDn"},
    {u"Ctrl+Home", Hotkey{C, 0x24}, u"Ctrl+Home"},
    {u"Ctrl+END", Hotkey{C, 0x23}, u"Ctrl+End"},
    {u"Ctrl+Ins", Hotkey{C, 0x2D}, u"Ctrl+Insert"},
    {u"Ctrl+Alt+Del", Hotkey{C | A, 0x2E}, u"Ctrl+Alt+Delete"},
    {u"Ctrl+Alt+Space", Hotkey{C | A, 0x20}, u"Ctrl+Alt+Space"},
    {u"Alt+Tab", Hotkey{A, 0x09}, u"Alt+Tab"},
    {u"Shift+Escape", Hotkey{S, 0x1B}, u"Shift+Esc"},
    {u"Ctrl+Num5", Hotkey{C, 0x65}, u"Ctrl+Num5"},
    {u"Ctrl+Num 0", Hotkey{C, 0x60}, u"Ctrl+Num0"},
    {u"Ctrl+Num+", Hotkey{C, 0x6B}, u"Ctrl+Num+"},
    {u"Num-", Hotkey{0, 0x6D}, u"Num-"},
    {u"Ctrl+Alt+Num/", Hotkey{C | A, 0x6F}, u"Ctrl+Alt+Num/"},
    {u"Ctrl+Alt+.", Hotkey{C | A, 0xBE}, u"Ctrl+Alt+."},
    {u"Ctrl+Alt+,", Hotkey{C | A, 0xBC}, u"Ctrl+Alt+,"},
    {u"Ctrl+Alt+/", Hotkey{C | A, 0xBF}, u"Ctrl+Alt+/"},
    {u"Ctrl+Alt+;", Hotkey{C | A, 0xBA}, u"Ctrl+Alt+;"},
    {u"Ctrl+[", Hotkey{C, 0xDB}, u"Ctrl+["},
    {u"Ctrl+\\", Hotkey{C, 0xDC}, u"Ctrl+\\"},
    {u"Ctrl+'", Hotkey{C, 0xDE}, u"Ctrl+'"},
    {u"Ctrl+`", Hotkey{C, 0xC0}, u"Ctrl+`"},
    {u"Ctrl+Alt+-", Hotkey{C | A, 0xBD}, u"Ctrl+Alt+-"},
    {u"Ctrl+=", Hotkey{C, 0xBB}, u"Ctrl+="},
    // Typed with the input method on: full-width plus and comma.
    {u"Ctrl＋Alt＋，", Hotkey{C | A, 0xBC}, u"Ctrl+Alt+,"},
    {u"Ctrl\u3000+Alt+N", Hotkey{C | A, 0x4E}, u"Ctrl+Alt+N"},
    // Empty means none.
    {u"", Hotkey{}, u""},
    {u"   ", Hotkey{}, u""},
    // Cannot be read: that hotkey is off.
    {u"Ctrl+Alt", std::nullopt, nullptr},
    {u"Ctrl+", std::nullopt, nullptr},
    {u"+", std::nullopt, nullptr},
    {u"Ctrl++", std::nullopt, nullptr},
    {u"Ctrl+Ctrl+N", std::nullopt, nullptr},
    {u"Ctrl+Alt+NN", std::nullopt, nullptr},
    {u"Hyper+N", std::nullopt, nullptr},
    {u"Ctrl+F0", std::nullopt, nullptr},
    {u"Ctrl+F25", std::nullopt, nullptr},
    {u"Ctrl+F01", std::nullopt, nullptr},
    {u"Ctrl+F100", std::nullopt, nullptr},
    {u"Ctrl+Num", std::nullopt, nullptr},
    {u"Ctrl+Alt+中", std::nullopt, nullptr},
    {u"Ctrl-Alt-N", std::nullopt, nullptr},
    {u"N+Ctrl", std::nullopt, nullptr},
};

std::string narrow(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

TEST(HotkeyText, ReadAndWrittenAsTheTableSays)
{
    for (const TextCase& c : kTextCases) {
        SCOPED_TRACE(narrow(c.written));
        const std::optional<Hotkey> read = parseHotkey(c.written);
        ASSERT_EQ(read.has_value(), c.read.has_value());
        if (!read) continue;
        EXPECT_EQ(read->modifiers, c.read->modifiers);
        EXPECT_EQ(read->key, c.read->key);
        const std::u16string written = formatHotkey(*read);
        EXPECT_EQ(narrow(written), narrow(c.canonical));
        // The canonical form reads back as the same combination.
        EXPECT_EQ(parseHotkey(written), read);
    }
}

TEST(HotkeyText, EveryKeyAndModifierSetRoundTrips)
{
    // Every virtual-key code with a name, under every set of modifiers.
    int named = 0;
    for (std::uint32_t key = 1; key < 0x100; ++key) {
        for (std::uint32_t modifiers = 0; modifiers < 16; ++modifiers) {
            const std::u16string text = formatHotkey({modifiers, key});
            if (text.empty()) continue;
            if (modifiers == 0) ++named;
            SCOPED_TRACE(narrow(text));
            EXPECT_EQ(parseHotkey(text), (Hotkey{modifiers, key}));
        }
    }
    // 26 letters, 10 digits, F1-F24, 10 number-pad digits and 5 of its
    // signs, 4 arrows, Home/End/PgUp/PgDn/Insert/Delete, Space, Tab, Esc,
    // Enter, Backspace, Pause and 11 punctuation keys.
    EXPECT_EQ(named, 26 + 10 + 24 + 10 + 5 + 4 + 6 + 3 + 3 + 11);
    EXPECT_TRUE(formatHotkey({kHotkeyCtrl, 0}).empty());
    EXPECT_TRUE(formatHotkey({kHotkeyCtrl, 0xFF}).empty());
}

TEST(HotkeySettings, AValueThatCannotBeReadIsOffAndKeptAsItStood)
{
    HotkeySettings settings = defaultHotkeys();
    const std::u16string garbled = u"Ctrl+Alt+Ñ";
    const std::u16string empty;
    const std::u16string previous = u"shift+f8";
    settings.read(HotkeyCommand::next, &garbled);
    settings.read(HotkeyCommand::remembered, &empty);
    settings.read(HotkeyCommand::previous, &previous);
    settings.read(HotkeyCommand::pause, nullptr);  // not in the file

    EXPECT_TRUE(settings[HotkeyCommand::next].none());
    EXPECT_EQ(settings.text(HotkeyCommand::next), garbled);
    EXPECT_TRUE(settings[HotkeyCommand::remembered].none());
    EXPECT_EQ(settings.text(HotkeyCommand::remembered), u"");
    EXPECT_EQ(settings[HotkeyCommand::previous], (Hotkey{kHotkeyShift, 0x77}));
    EXPECT_EQ(settings.text(HotkeyCommand::previous), u"Shift+F8");
    EXPECT_EQ(settings[HotkeyCommand::pause], defaultHotkeys()[HotkeyCommand::pause]);

    // Set from the page, the kept text goes.
    settings.set(HotkeyCommand::next, {kHotkeyCtrl | kHotkeyAlt, 'N'});
    EXPECT_EQ(settings.text(HotkeyCommand::next), u"Ctrl+Alt+N");
}

TEST(HotkeySettings, DefaultsAvoidTheCombinationsOthersHold)
{
    // Held on a Chinese desk: Intel's display rotation, the input method's
    // switches, QQ's, WeChat's and the music players' keys.
    const std::u16string taken[] = {
        u"Ctrl+Alt+Up", u"Ctrl+Alt+Down", u"Ctrl+Alt+Left", u"Ctrl+Alt+Right", u"Ctrl+Space", u"Ctrl+.",
        u"Shift+Space", u"Ctrl+Alt+A",    u"Alt+A",         u"Ctrl+Alt+Z",     u"Ctrl+Alt+D", u"Ctrl+Alt+W",
        u"Ctrl+Alt+Q",  u"Ctrl+Alt+P",    u"Ctrl+Alt+L",    u"Ctrl+Alt+F5",    u"Ctrl+Alt+X", u"Ctrl+Alt+S",
    };
    const HotkeySettings defaults = defaultHotkeys();
    for (int i = 0; i < kHotkeyCommandCount; ++i) {
        const Hotkey hotkey = defaults.keys[i];
        const bool wanted = i <= static_cast<int>(HotkeyCommand::speak) ||
                            i == static_cast<int>(HotkeyCommand::forgot) ||
                            i == static_cast<int>(HotkeyCommand::reveal);
        EXPECT_EQ(hotkey.none(), !wanted) << i;
        if (hotkey.none()) continue;
        EXPECT_EQ(hotkey.modifiers & kHotkeyWin, 0u) << i;  // Windows' own
        // Ctrl or Alt alone with Shift are the input method's switches.
        EXPECT_NE(hotkey.modifiers, 0u) << i;
        for (const std::u16string& other : taken) EXPECT_NE(hotkey, *parseHotkey(other)) << narrow(other);
        for (int j = 0; j < i; ++j) EXPECT_NE(hotkey, defaults.keys[j]) << i << " " << j;
    }
}

}  // namespace

namespace {

TEST(HotkeySettings, TheSectionReadAndWrittenBackKeepsWhatItCannotRead)
{
    const IniDocument file = IniDocument::parse("[Speech]\r\nRate=2\r\n[Hotkeys]\r\n; mine\r\nnext = ctrl + alt + n\r\n"
                                                "Previous=Ctrl+Alt+Wat\r\nRemembered=\r\n");
    const HotkeySettings read = readHotkeySettings(file);
    const HotkeySettings defaults = defaultHotkeys();
    EXPECT_EQ(read[HotkeyCommand::next], (Hotkey{C | A, 'N'}));
    EXPECT_TRUE(read[HotkeyCommand::previous].none());
    EXPECT_TRUE(read[HotkeyCommand::remembered].none());
    EXPECT_EQ(read[HotkeyCommand::pause], defaults[HotkeyCommand::pause]);
    EXPECT_EQ(read[HotkeyCommand::speak], defaults[HotkeyCommand::speak]);

    IniDocument written = file;
    writeHotkeySettings(written, read);
    const std::pair<const char16_t*, const char16_t*> expected[] = {
        {u"Next", u"Ctrl+Alt+N"},  {u"Previous", u"Ctrl+Alt+Wat"}, {u"Remembered", u""},
        {u"Pause", u"Ctrl+Alt+/"}, {u"Speak", u"Ctrl+Alt+;"},      {u"ShowHide", u""},
        {u"Options", u""},         {u"Forgot", u"Ctrl+Alt+N"},     {u"Reveal", u"Ctrl+Alt+K"},
        {u"TooEasy", u""},
    };
    for (const auto& [key, value] : expected) {
        SCOPED_TRACE(narrow(key));
        EXPECT_EQ(written.get(u"Hotkeys", key), std::u16string(value));
    }
    EXPECT_EQ(written.get(u"Speech", u"Rate"), std::u16string(u"2"));
    // Read back, it is the same.
    EXPECT_EQ(readHotkeySettings(IniDocument::parse(written.serialize())).keys, read.keys);
}

}  // namespace
