// The one place where the program converts between its own text type
// (char16_t) and the Win32 wide character type. Both are 16-bit UTF-16 code
// units on Windows, so the conversion is a reinterpretation of the pointer.
#pragma once

#ifdef _WIN32

static_assert(sizeof(wchar_t) == 2, "Win32 wide characters are UTF-16 code units");
static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* as_wcstr(const char16_t* text) noexcept
{
    return reinterpret_cast<const wchar_t*>(text);
}

inline wchar_t* as_wcstr(char16_t* text) noexcept
{
    return reinterpret_cast<wchar_t*>(text);
}

inline const char16_t* as_u16cstr(const wchar_t* text) noexcept
{
    return reinterpret_cast<const char16_t*>(text);
}

inline char16_t* as_u16cstr(wchar_t* text) noexcept
{
    return reinterpret_cast<char16_t*>(text);
}

#endif  // _WIN32
