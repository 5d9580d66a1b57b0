// The settings record: the byte image of the settings file "mivora.bin".
// Kept free of <windows.h> so that the portable core and its native tests can
// use it; FontRecord has exactly the layout of LOGFONTW (checked on the Win32
// side, see settings/Win32Settings.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

struct FontRecord {
    std::int32_t lfHeight;
    std::int32_t lfWidth;
    std::int32_t lfEscapement;
    std::int32_t lfOrientation;
    std::int32_t lfWeight;
    std::uint8_t lfItalic;
    std::uint8_t lfUnderline;
    std::uint8_t lfStrikeOut;
    std::uint8_t lfCharSet;
    std::uint8_t lfOutPrecision;
    std::uint8_t lfClipPrecision;
    std::uint8_t lfQuality;
    std::uint8_t lfPitchAndFamily;
    char16_t lfFaceName[32];
};
static_assert(sizeof(FontRecord) == 92);

constexpr std::size_t kDictionaryNameUnits = 64;
constexpr std::size_t kPathUnits = 260;  // MAX_PATH

struct SettingsRecord {
    std::int32_t autoStart;
    std::int32_t autoSwitch;
    std::int32_t transparentBackground;
    std::int32_t sampleBackground;
    std::int32_t reservedFlag;
    std::int32_t titleBarMode;
    std::int32_t windowX;
    std::int32_t windowY;
    std::int32_t windowWidth;
    std::int32_t windowHeight;
    std::uint32_t wordColor;  // COLORREF 0x00BBGGRR
    std::uint32_t phoneticColor;
    std::uint32_t contentColor;
    std::uint32_t backgroundColor;
    std::int32_t switchSeconds;
    std::int32_t cycleSize;
    FontRecord font;
    char16_t dictionaryName[kDictionaryNameUnits];
};
static_assert(sizeof(SettingsRecord) == 284);
static_assert(offsetof(SettingsRecord, windowX) == 24);
static_assert(offsetof(SettingsRecord, backgroundColor) == 52);
static_assert(offsetof(SettingsRecord, cycleSize) == 60);
static_assert(offsetof(SettingsRecord, font) == 64);
static_assert(offsetof(SettingsRecord, font) + offsetof(FontRecord, lfOutPrecision) == 88);
static_assert(offsetof(SettingsRecord, font) + offsetof(FontRecord, lfFaceName) == 92);
static_assert(offsetof(SettingsRecord, dictionaryName) == 156);

// The dictionary the record names, up to its terminator (or the whole field
// when a hand-edited file left none).
inline std::u16string_view storedDictionaryName(const SettingsRecord& record)
{
    std::size_t units = 0;
    while (units < kDictionaryNameUnits && record.dictionaryName[units] != u'\0') ++units;
    return std::u16string_view(record.dictionaryName, units);
}
