// The system code page of a 生词本 without a byte-order mark: elsewhere than
// on Windows taken as the Chinese one, GB18030.
#include "store/lists/WordListImport.h"
#include "store/text/Gb18030.h"

std::u16string systemCodePageText(std::string_view bytes)
{
    std::u16string text;
    decodeGb18030(bytes, text);
    return text;
}
