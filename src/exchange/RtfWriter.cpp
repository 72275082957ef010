#include "exchange/RtfWriter.h"

#include "exchange/CodePages.h"
#include "base/Utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velquine {

namespace {

long twips(double points)
{
    return std::lround(points * 20.0);
}

void appendByteEscape(std::string& out, unsigned char byte)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\'%02x", byte);
    out += buffer;
}

// \uN takes a signed 16-bit number; the fallback after it is skipped by readers that know \u.
void appendUnicodeEscape(std::string& out, char32_t scalar)
{
    const auto appendUnit = [&](std::uint32_t unit, char32_t fallbackScalar) {
        const int value = unit > 32767 ? static_cast<int>(unit) - 65536 : static_cast<int>(unit);
        out += "\\u";
        out += std::to_string(value);
        if (const auto byte = codepages::toWindows1252(fallbackScalar); byte && *byte >= 0x80)
            appendByteEscape(out, *byte);
        else
            out += '?';
    };
    if (scalar >= 0x10000) {
        const std::uint32_t v = static_cast<std::uint32_t>(scalar) - 0x10000;
        appendUnit(0xD800 + (v >> 10), 0);
        appendUnit(0xDC00 + (v & 0x3FF), 0);
    } else {
        appendUnit(static_cast<std::uint32_t>(scalar), scalar);
    }
}

void appendText(std::string& out, std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = utf8::decodeNext(text, pos);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '{':
            out += "\\{";
            break;
        case '}':
            out += "\\}";
            break;
        case '\t':
            out += "\\tab ";
            break;
        case '\r':
            if (pos < text.size() && text[pos] == '\n')
                ++pos;
            out += "\\line ";
            break;
        case '\n':
        case 0x2028:
        case 0x2029:
            out += "\\line ";
            break;
        default:
            if (c < 0x20 || c == 0x7F)
                appendByteEscape(out, static_cast<unsigned char>(c));
            else if (c < 0x80)
                out += static_cast<char>(c);
            else
                appendUnicodeEscape(out, c);
        }
    }
}

std::string fontName(std::string_view family)
{
    std::string name;
    appendText(name, family);
    // The ";" ends an entry of the font table and cannot be escaped.
    name.erase(std::remove(name.begin(), name.end(), ';'), name.end());
    return name;
}

template <typename T>
std::size_t indexOf(std::vector<T>& list, const T& value)
{
    const auto found = std::find(list.begin(), list.end(), value);
    if (found != list.end())
        return static_cast<std::size_t>(found - list.begin());
    list.push_back(value);
    return list.size() - 1;
}

// The character attributes of a run, as control words naming entries of the font and colour tables.
void appendRunAttributes(std::string& out, const RichTextAttributes& a, std::vector<std::string>& fonts,
                         std::vector<RichTextColor>& colors)
{
    out += "\\f" + std::to_string(a.fontFamily ? indexOf(fonts, *a.fontFamily) : 0);
    if (a.fontSize && *a.fontSize > 0)
        out += "\\fs" + std::to_string(std::max(1L, std::lround(*a.fontSize * 2.0)));
    if (a.bold)
        out += "\\b";
    if (a.italic)
        out += "\\i";
    if (a.foregroundColor)
        out += "\\cf" + std::to_string(indexOf(colors, *a.foregroundColor) + 1);
    // Clear character shading in the pattern's background colour, as word processors write it, and the same
    // colour as highlight: LibreOffice draws a list item's bullet in the text colour of a run that ends the
    // paragraph, with its highlight but without its shading.
    if (a.backgroundColor) {
        const std::string color = std::to_string(indexOf(colors, *a.backgroundColor) + 1);
        out += "\\chshdng0\\chcbpat" + color + "\\highlight" + color;
    }
    if (a.underline)
        out += "\\ul";
    if (a.strikeThrough)
        out += "\\strike";
}

// One paragraph style per list level, each naming the list and its level. LibreOffice takes the level of
// a document's last paragraph only from its style, so every list paragraph also names the style of its
// level.
void appendListStyles(std::string& out)
{
    out += "{\\stylesheet{\\s0 Normal;}";
    for (int level = 0; level <= RichTextParagraph::maxListLevel; ++level)
        out += "{\\s" + std::to_string(level + 1) + "\\ls1\\ilvl" + std::to_string(level) + " List Level "
            + std::to_string(level + 1) + ";}";
    out += "}\n";
}

void appendListTable(std::string& out)
{
    out += "{\\*\\listtable{\\list\\listtemplateid1\\listhybrid\n";
    // The indents of each level are those its paragraphs have.
    const std::string hanging = std::to_string(twips(RichTextParagraph::listIndentStep));
    for (int level = 0; level <= RichTextParagraph::maxListLevel; ++level) {
        const std::string indent = std::to_string(twips(RichTextParagraph::listTextIndent(level)));
        out += "{\\listlevel\\levelnfc23\\levelnfcn23\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace360\\levelindent0"
               "{\\leveltext\\leveltemplateid"
            + std::to_string(level + 101) + "\\'01\\u8226\\'95;}{\\levelnumbers;}\\fi-" + hanging + "\\li" + indent + "\\lin"
            + indent + " }\n";
    }
    out += "{\\listname ;}\\listid1}}\n";
    out += "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}\n";
}

} // namespace

std::string RtfWriter::write(const RichTextDocument& document)
{
    std::vector<std::string> fonts{document.defaultFontFamily};
    std::vector<RichTextColor> colors;
    bool hasList = false;
    for (const RichTextParagraph& paragraph : document.paragraphs) {
        hasList = hasList || paragraph.listLevel.has_value();
        for (const RichTextRun& run : paragraph.runs) {
            if (run.attributes.fontFamily)
                indexOf(fonts, *run.attributes.fontFamily);
            for (const std::optional<RichTextColor>& color : {run.attributes.foregroundColor, run.attributes.backgroundColor})
                if (color)
                    indexOf(colors, *color);
        }
    }

    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (std::size_t i = 0; i < fonts.size(); ++i)
        out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 " + fontName(fonts[i]) + ";}";
    out += "}\n{\\colortbl;";
    for (const RichTextColor& color : colors)
        out += "\\red" + std::to_string(color.red) + "\\green" + std::to_string(color.green) + "\\blue" + std::to_string(color.blue) + ";";
    out += "}\n";
    if (hasList) {
        appendListStyles(out);
        appendListTable(out);
    }

    for (const RichTextParagraph& paragraph : document.paragraphs) {
        // The list level, or -1 for a paragraph outside the list.
        const int level = paragraph.listLevel ? std::clamp(*paragraph.listLevel, 0, RichTextParagraph::maxListLevel) : -1;
        out += "\\pard\\plain";
        if (level >= 0)
            out += "\\s" + std::to_string(level + 1);
        out += "\\li" + std::to_string(twips(paragraph.headIndent)) + "\\fi"
            + std::to_string(twips(paragraph.firstLineHeadIndent - paragraph.headIndent));
        switch (paragraph.alignment) {
        case RichTextAlignment::natural:
            break;
        case RichTextAlignment::left:
            out += "\\ql";
            break;
        case RichTextAlignment::center:
            out += "\\qc";
            break;
        case RichTextAlignment::right:
            out += "\\qr";
            break;
        case RichTextAlignment::justified:
            out += "\\qj";
            break;
        }
        if (level >= 0)
            out += "\\ls1\\ilvl" + std::to_string(level) + " {\\listtext\\tab \\u8226\\'95\\tab }";
        for (const RichTextRun& run : paragraph.runs) {
            out += '{';
            appendRunAttributes(out, run.attributes, fonts, colors);
            out += ' ';
            appendText(out, run.text);
            out += '}';
        }
        out += "\\par\n";
    }
    out += "}\n";
    return out;
}

} // namespace velquine
