#include "IniFile.h"

#include "store/text/Gb18030.h"

// Users are Chinese speakers: a Chinese Windows's code page.
void decodeAnsi(std::string_view bytes, std::u16string& text)
{
    decodeGb18030(bytes, text);
}
