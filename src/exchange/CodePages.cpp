#include "exchange/CodePages.h"

#include "base/Utf8.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace velquine::codepages {

namespace {

// Windows-1252 differs from ISO-8859-1 only in 0x80 to 0x9F.
constexpr std::array<char32_t, 32> windows1252High{
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::string decodeWindows1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        utf8::append(out, windows1252(static_cast<unsigned char>(c)));
    return out;
}

std::string iconvName(int codePage)
{
    switch (codePage) {
    case 10000:
        return "MACINTOSH";
    case 65001:
        return "UTF-8";
    case 20127:
        return "ASCII";
    case 28591:
        return "ISO-8859-1";
    default:
        return "CP" + std::to_string(codePage);
    }
}

} // namespace

char32_t windows1252(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return windows1252High[byte - 0x80];
    return byte;
}

std::optional<unsigned char> toWindows1252(char32_t scalar)
{
    if (scalar < 0x80 || (scalar >= 0xA0 && scalar <= 0xFF))
        return static_cast<unsigned char>(scalar);
    for (std::size_t i = 0; i < windows1252High.size(); ++i) {
        if (windows1252High[i] == scalar && scalar != 0xFFFD)
            return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

std::optional<int> codePageOfCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return std::nullopt;
    }
}

std::string decode(std::string_view bytes, int codePage)
{
    if (bytes.empty())
        return {};
    if (codePage == 1252 || codePage <= 0)
        return decodeWindows1252(bytes);
    iconv_t converter = iconv_open("UTF-8", iconvName(codePage).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return decodeWindows1252(bytes);
    std::string out;
    out.reserve(bytes.size() * 3);
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // An invalid or incomplete sequence: one replacement character, then go on after it.
            utf8::append(out, utf8::replacementCharacter);
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(converter, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    iconv_close(converter);
    return out;
}

} // namespace velquine::codepages
