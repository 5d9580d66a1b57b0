// The system code page of a 生词本 without a byte-order mark, through Windows.
#include <windows.h>

#include <climits>

#include "store/lists/WordListImport.h"

std::u16string systemCodePageText(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0) return {};
    std::u16string text(static_cast<std::size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()), units);
    return text;
}
