#pragma once

// Single- and double-byte Windows code pages as RTF files use them. Windows-1252 is built in; the
// others are converted through the C library's iconv, and fall back to Windows-1252 when the C
// library does not know them.

#include <optional>
#include <string>
#include <string_view>

namespace velquine::codepages {

// The UTF-8 text of bytes in the code page. Bytes the code page does not define give U+FFFD.
std::string decode(std::string_view bytes, int codePage);

// The scalar of one Windows-1252 byte (U+FFFD for the five undefined bytes).
char32_t windows1252(unsigned char byte);

// The Windows-1252 byte of a scalar, if it has one.
std::optional<unsigned char> toWindows1252(char32_t scalar);

// The code page of an RTF character set number (\fcharsetN); none for "use the document's".
std::optional<int> codePageOfCharset(int charset);

} // namespace velquine::codepages
