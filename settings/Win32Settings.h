// The record's FontRecord is a LOGFONTW in all but name; this is the one place
// that relies on that, and it proves it at compile time.
#pragma once

#include <windows.h>

#include <cstddef>

#include "SettingsRecord.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t));
static_assert(sizeof(LOGFONTW) == sizeof(FontRecord));
static_assert(alignof(LOGFONTW) == alignof(FontRecord));
#define MIVORA_SAME_OFFSET(member) static_assert(offsetof(LOGFONTW, member) == offsetof(FontRecord, member), #member)
MIVORA_SAME_OFFSET(lfHeight);
MIVORA_SAME_OFFSET(lfWidth);
MIVORA_SAME_OFFSET(lfEscapement);
MIVORA_SAME_OFFSET(lfOrientation);
MIVORA_SAME_OFFSET(lfWeight);
MIVORA_SAME_OFFSET(lfItalic);
MIVORA_SAME_OFFSET(lfUnderline);
MIVORA_SAME_OFFSET(lfStrikeOut);
MIVORA_SAME_OFFSET(lfCharSet);
MIVORA_SAME_OFFSET(lfOutPrecision);
MIVORA_SAME_OFFSET(lfClipPrecision);
MIVORA_SAME_OFFSET(lfQuality);
MIVORA_SAME_OFFSET(lfPitchAndFamily);
MIVORA_SAME_OFFSET(lfFaceName);
#undef MIVORA_SAME_OFFSET
static_assert(sizeof(LOGFONTW::lfFaceName) == sizeof(FontRecord::lfFaceName));

inline LOGFONTW& logFont(FontRecord& font)
{
    return *reinterpret_cast<LOGFONTW*>(&font);
}

inline const LOGFONTW& logFont(const FontRecord& font)
{
    return *reinterpret_cast<const LOGFONTW*>(&font);
}
