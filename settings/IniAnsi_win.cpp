#include <windows.h>

#include "IniFile.h"
#include "store/text/Gb18030.h"

// Notepad's "ANSI" is the code page of the system's locale: GBK on a
// Chinese Windows, but Windows-1252 on a German one, whose user may write
// "Grüße" in a comment.
void decodeAnsi(std::string_view bytes, std::u16string& text)
{
    const UINT codePage = GetACP();
    if (codePage == 936 || codePage == 54936 || bytes.empty() || bytes.size() > 0x7FFFFFFF) {
        decodeGb18030(bytes, text);
        return;
    }
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0) {
        decodeGb18030(bytes, text);
        return;
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), units);
    text.assign(wide.begin(), wide.end());
}
