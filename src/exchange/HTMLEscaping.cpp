#include "exchange/HTMLEscaping.h"

#include "exchange/HTMLStringMappings.h"
#include "base/Utf8.h"

#include <QStringView>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cstdint>

namespace velquine {

namespace {

void appendReference(std::string& out, char32_t scalar)
{
    out += "&#";
    out += std::to_string(static_cast<std::uint32_t>(scalar));
    out += ';';
}

// A strict unsigned 32-bit parse: an optional sign, then at least one digit of the radix; "-" only
// for a zero value, nothing above 4,294,967,295.
std::optional<std::uint32_t> parseUnsigned32(std::string_view digits, int radix)
{
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (negative && value != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace

std::string addingUnicodeEntities(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        // Every scalar of the set is a single ASCII byte, and no byte of a longer UTF-8 sequence is
        // ASCII, so a byte test is a scalar test.
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 128 && HTMLStringMappings::isEscaped(byte))
            appendReference(out, byte);
        else
            out.push_back(c);
    }
    return out;
}

std::string addingASCIIEntities(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    const auto appendASCII = [&](char32_t scalar) {
        if (HTMLStringMappings::isEscaped(scalar))
            appendReference(out, scalar);
        else
            out.push_back(static_cast<char>(scalar));
    };
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        // In ASCII text the only character of several scalars is a carriage return with its line
        // feed, and it passes unchanged.
        for (char c : text)
            appendASCII(static_cast<unsigned char>(c));
        return out;
    }

    const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, string);
    qsizetype start = 0;
    while (start < string.size()) {
        qsizetype end = finder.toNextBoundary();
        if (end <= start)
            end = string.size();
        const QStringView cluster = QStringView(string).mid(start, end - start);
        start = end;
        if (cluster == QLatin1String("\r\n")) {
            out += "\r\n";
            continue;
        }
        if (cluster.size() == 1 && cluster.front().unicode() < 128) {
            appendASCII(cluster.front().unicode());
            continue;
        }
        for (qsizetype i = 0; i < cluster.size(); ++i) {
            char32_t scalar = cluster[i].unicode();
            if (QChar::isHighSurrogate(scalar) && i + 1 < cluster.size() && cluster[i + 1].isLowSurrogate()) {
                scalar = QChar::surrogateToUcs4(cluster[i], cluster[i + 1]);
                ++i;
            }
            appendReference(out, scalar);
        }
    }
    return out;
}

std::optional<char32_t> decodeNumericEntity(std::string_view entity)
{
    if (entity.empty() || entity.front() != '#')
        return std::nullopt;
    entity.remove_prefix(1);
    int radix = 10;
    if (!entity.empty() && (entity.front() == 'x' || entity.front() == 'X')) {
        radix = 16;
        entity.remove_prefix(1);
    }
    const auto value = parseUnsigned32(entity, radix);
    if (!value || !utf8::isScalar(*value))
        return std::nullopt;
    return static_cast<char32_t>(*value);
}

std::string removingHTMLEntities(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const auto& named = HTMLStringMappings::namedEntities();
    std::size_t start = 0;
    while (true) {
        const std::size_t ampersand = text.find('&', start);
        if (ampersand == std::string_view::npos) {
            out.append(text.substr(start));
            break;
        }
        std::size_t candidate = ampersand;
        std::size_t i = ampersand + 1;
        while (i < text.size() && text[i] != ';') {
            if (text[i] == '&')
                candidate = i;
            ++i;
        }
        if (i >= text.size()) {
            out.append(text.substr(start));
            break;
        }
        const std::string_view entity = text.substr(candidate + 1, i - candidate - 1);
        out.append(text.substr(start, candidate - start));
        if (const auto scalar = decodeNumericEntity(entity)) {
            utf8::append(out, *scalar);
            start = i + 1;
        } else if (const auto found = named.find(std::string(entity)); found != named.end()) {
            out += found->second;
            start = i + 1;
        } else {
            out.push_back('&');
            start = candidate + 1;
        }
    }
    return out;
}

QString addingUnicodeEntities(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return QString::fromStdString(addingUnicodeEntities(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))));
}

QString addingASCIIEntities(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return QString::fromStdString(addingASCIIEntities(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))));
}

QString removingHTMLEntities(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return QString::fromStdString(removingHTMLEntities(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))));
}

} // namespace velquine
