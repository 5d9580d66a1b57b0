// GB18030, the Chinese national character set, a superset of GBK (the
// "ANSI" code page 936 in which Notepad on a Chinese Windows saves by
// default). Decoded here without the operating system, so the same bytes
// read the same on every platform and whatever code page the system uses.
#pragma once

#include <string>
#include <string_view>

// Appends the UTF-16 of `bytes` read as GB18030 to `out`. Bytes 0x00-0x7F
// are ASCII; a lead byte 0x81-0xFE starts a two-byte or a four-byte code.
// A code that is cut off or not in the set becomes U+FFFD, one for each
// byte that cannot start a code, and decoding goes on after it.
void decodeGb18030(std::string_view bytes, std::u16string& out);
