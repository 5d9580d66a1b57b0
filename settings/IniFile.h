// mivora.ini: the settings that mivora.bin has no room for, in a Windows INI
// file that the user may edit in Notepad. The document keeps every line it
// read (sections, keys and comments the program does not know) and changes
// only the values it is asked to set, so a save never loses what the user or
// a later version wrote there. Each part of the program reads and writes its
// own section through typed functions (SpeechSettings.h is one).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr wchar_t kIniFileName[] = L"mivora.ini";

// Bytes in the system's ANSI code page, as text: on Windows the code page
// of the system's locale (CP_ACP; GB18030 for the Chinese one, whose
// four-byte sequences the older GBK table lacks), elsewhere GB18030.
void decodeAnsi(std::string_view bytes, std::u16string& text);

class IniDocument {
public:
    // The text of a file's bytes: UTF-16LE or UTF-16BE with a byte order
    // mark, UTF-8 with or without one, or, when the bytes are not UTF-8,
    // the system's ANSI code page (decodeAnsi), as Notepad saves "ANSI".
    static IniDocument parse(std::string_view bytes);

    // The value of `key` in `section` (both without regard to ASCII case),
    // with the spaces around it and one pair of enclosing double quotes
    // taken off; nothing when the key is absent. Of two equal keys the
    // first counts, as for Windows' own reader.
    std::optional<std::u16string> get(std::u16string_view section, std::u16string_view key) const;

    // The keys of `section` in the file's order, each once (the first
    // spelling), for sections whose keys are names the user chose.
    std::vector<std::u16string> keys(std::u16string_view section) const;

    // Sets the value in place, or adds the key at the end of its section,
    // or the section at the end of the file. A line break in `value` ends
    // it there: one key is one line.
    void set(std::u16string_view section, std::u16string_view key, std::u16string_view value);

    // The file's bytes: UTF-16LE with a byte order mark, lines ended by CR LF.
    std::string serialize() const;

    bool operator==(const IniDocument&) const = default;

private:
    struct Section {
        std::u16string name;  // empty for the lines before the first header
        std::vector<std::u16string> lines;
        bool operator==(const Section&) const = default;
    };
    // The index of the first section of that name; 0 when there is none.
    std::size_t find(std::u16string_view section) const;
    std::vector<Section> sections_{Section{}};
};

// An integer value within [lowest, highest]; `fallback` when the key is
// absent, not a whole decimal number, or out of that range.
int iniInteger(const IniDocument& document, std::u16string_view section, std::u16string_view key, int fallback,
               int lowest, int highest);

enum class IniLoad {
    Read,        // the file's content is in the document
    Missing,     // there is no file: an empty document
    Unreadable,  // a file is there but cannot be read (held, no permission, too big): an empty document
};
IniLoad loadIniFile(const std::filesystem::path& file, IniDocument& document);

// Writes the document to a temporary file beside `file`, pushes it to the
// disk and puts it in place of `file` in one step: `file` holds either its
// old content or the new, never a mixture. False when it was not replaced.
bool saveIniFile(const std::filesystem::path& file, const IniDocument& document);
