#include "exchange/RtfTextReader.h"

#include "exchange/CodePages.h"
#include "exchange/RichTextDocument.h"
#include "base/Hex.h"
#include "base/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace velquine {

namespace {

struct GroupState {
    bool skipped = false;     // a destination whose text is not part of the document
    bool fontTable = false;   // inside \fonttbl: font numbers and character sets are recorded
    bool hidden = false;      // \v
    int fallbackCount = 1;    // \ucN
    int font = -1;            // \fN, -1 for the default font
    int listLevel = -1;       // \ilvlN of the current paragraph, -1 outside a list
};

// Destinations whose contents are never text of the document.
bool isSkippedDestination(std::string_view word)
{
    static constexpr std::array<std::string_view, 55> words{
        "annotation", "atnauthor", "atnid", "atrfend", "atrfstart", "bkmkend", "bkmkstart", "blipuid", "colortbl",
        "colorschememapping", "comment", "datastore", "do", "docvar", "falt", "fldinst", "filetbl", "footer",
        "footerf", "footerl", "footerr", "footnote", "generator", "header", "headerf", "headerl", "headerr",
        "info", "latentstyles", "listoverridetable", "listtable", "listtext", "mmathPr", "nonshppict", "objclass",
        "objdata", "objname", "pgdsctbl", "pict", "picprop", "pn", "pntext", "pntxta", "pntxtb", "private",
        "revtbl", "rsidtbl", "rxe", "shpinst", "stylesheet", "tc", "template", "themedata", "txe", "xe"};
    return std::find(words.begin(), words.end(), word) != words.end();
}

std::optional<char32_t> symbolOfWord(std::string_view word)
{
    static const std::unordered_map<std::string_view, char32_t> symbols{
        {"tab", U'\t'},         {"cell", U'\t'},        {"nestcell", U'\t'},     {"line", 0x2028},
        {"emdash", 0x2014},     {"endash", 0x2013},     {"bullet", 0x2022},      {"lquote", 0x2018},
        {"rquote", 0x2019},     {"ldblquote", 0x201C},  {"rdblquote", 0x201D},   {"emspace", 0x2003},
        {"enspace", 0x2002},    {"qmspace", 0x2005},    {"zwj", 0x200D},         {"zwnj", 0x200C},
        {"zwbo", 0x200B},       {"ltrmark", 0x200E},    {"rtlmark", 0x200F}};
    const auto found = symbols.find(word);
    if (found == symbols.end())
        return std::nullopt;
    return found->second;
}

bool isParagraphEnd(std::string_view word)
{
    return word == "par" || word == "sect" || word == "page" || word == "row" || word == "nestrow";
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The first byte of a two-byte character in the double-byte code pages.
bool isLeadByte(int codePage, unsigned char byte)
{
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    case 1361:
        return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) || (byte >= 0xE0 && byte <= 0xF9);
    default:
        return false;
    }
}

class Reader {
public:
    explicit Reader(std::string_view input)
        : in_(input)
    {
    }

    std::string run();

private:
    GroupState& state() { return groups_.back(); }

    void controlWord(std::string_view word, std::optional<long> parameter);
    void controlSymbol(char symbol);
    void textByte(unsigned char byte);
    void emitScalar(char32_t scalar);
    void emitUnicodeUnit(long value);
    void endParagraph();
    void flushBytes();
    void beginText();
    int codePage();
    bool discarding() const { return groups_.back().skipped || groups_.back().hidden; }
    // True when the token is a fallback of the last \u and must be dropped.
    bool consumeFallback()
    {
        if (fallbackRemaining_ <= 0)
            return false;
        --fallbackRemaining_;
        return true;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    std::vector<GroupState> groups_;
    std::string out_;
    std::string pendingBytes_;
    int pendingCodePage_ = 1252;
    char16_t pendingHighSurrogate_ = 0;
    int documentCodePage_ = 1252;
    int defaultFont_ = 0;
    int definedFont_ = -1;
    std::unordered_map<int, int> fontCodePages_;
    int fallbackRemaining_ = 0;
    bool atParagraphStart_ = true;
    bool expectTrailByte_ = false;
};

int Reader::codePage()
{
    const int font = state().font >= 0 ? state().font : defaultFont_;
    if (const auto found = fontCodePages_.find(font); found != fontCodePages_.end())
        return found->second;
    return documentCodePage_;
}

void Reader::flushBytes()
{
    expectTrailByte_ = false;
    if (!pendingBytes_.empty()) {
        out_ += codepages::decode(pendingBytes_, pendingCodePage_);
        pendingBytes_.clear();
    }
}

void Reader::beginText()
{
    if (pendingHighSurrogate_) {
        pendingHighSurrogate_ = 0;
        utf8::append(out_, utf8::replacementCharacter);
    }
    if (atParagraphStart_) {
        atParagraphStart_ = false;
        if (state().listLevel > 0)
            out_.append(static_cast<std::size_t>(state().listLevel), '\t');
    }
}

void Reader::emitScalar(char32_t scalar)
{
    flushBytes();
    beginText();
    if (scalar != 0)
        utf8::append(out_, scalar);
}

void Reader::textByte(unsigned char byte)
{
    if (discarding())
        return;
    if (expectTrailByte_) {
        // The second byte of a double-byte character may lie in the ASCII range.
        expectTrailByte_ = false;
        pendingBytes_.push_back(static_cast<char>(byte));
        return;
    }
    if (byte < 0x80) {
        emitScalar(byte);
        return;
    }
    const int page = codePage();
    if (!pendingBytes_.empty() && page != pendingCodePage_)
        flushBytes();
    if (pendingBytes_.empty())
        beginText();
    pendingCodePage_ = page;
    pendingBytes_.push_back(static_cast<char>(byte));
    expectTrailByte_ = isLeadByte(page, byte);
}

void Reader::emitUnicodeUnit(long value)
{
    if (value < 0)
        value += 65536;
    if (value < 0 || value > 0xFFFF)
        return;
    const auto unit = static_cast<char16_t>(value);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        flushBytes();
        beginText();
        pendingHighSurrogate_ = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        flushBytes();
        if (pendingHighSurrogate_) {
            const char32_t scalar = 0x10000 + ((static_cast<char32_t>(pendingHighSurrogate_) - 0xD800) << 10) + (unit - 0xDC00);
            pendingHighSurrogate_ = 0;
            emitScalar(scalar);
        } else {
            emitScalar(utf8::replacementCharacter);
        }
        return;
    }
    emitScalar(unit);
}

void Reader::endParagraph()
{
    flushBytes();
    if (pendingHighSurrogate_) {
        pendingHighSurrogate_ = 0;
        utf8::append(out_, utf8::replacementCharacter);
    }
    out_.push_back('\n');
    atParagraphStart_ = true;
}

void Reader::controlSymbol(char symbol)
{
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        if (!consumeFallback())
            textByte(static_cast<unsigned char>(symbol));
        break;
    case '~':
        if (!consumeFallback() && !discarding())
            emitScalar(0x00A0);
        break;
    case '_':
        if (!consumeFallback() && !discarding())
            emitScalar(0x2011);
        break;
    case '*':
        // An ignorable destination: none of them holds text of the document.
        state().skipped = true;
        break;
    case '\n':
    case '\r':
        if (!consumeFallback() && !discarding())
            endParagraph();
        break;
    case '\'': {
        if (pos_ + 2 <= in_.size()) {
            const int high = hexDigitValue(in_[pos_]);
            const int low = hexDigitValue(in_[pos_ + 1]);
            if (high >= 0 && low >= 0) {
                pos_ += 2;
                if (!consumeFallback())
                    textByte(static_cast<unsigned char>(high * 16 + low));
            }
        }
        break;
    }
    default:
        consumeFallback();
        break;
    }
}

void Reader::controlWord(std::string_view word, std::optional<long> parameter)
{
    GroupState& s = state();
    if (word == "bin") {
        // Raw binary data of the given length follows; it is never text.
        const long length = parameter.value_or(0);
        if (length > 0)
            pos_ += std::min<std::size_t>(static_cast<std::size_t>(length), in_.size() - pos_);
        consumeFallback();
        return;
    }
    if (word == "u") {
        if (!discarding() && parameter)
            emitUnicodeUnit(*parameter);
        fallbackRemaining_ = s.fallbackCount;
        return;
    }
    if (consumeFallback())
        return;

    if (word == "fonttbl") {
        s.skipped = true;
        s.fontTable = true;
        return;
    }
    if (s.fontTable) {
        if (word == "f" && parameter)
            definedFont_ = static_cast<int>(*parameter);
        else if (word == "fcharset" && parameter && definedFont_ >= 0) {
            if (const auto page = codepages::codePageOfCharset(static_cast<int>(*parameter)))
                fontCodePages_.try_emplace(definedFont_, *page);
        } else if (word == "cpg" && parameter && definedFont_ >= 0 && *parameter > 0)
            fontCodePages_[definedFont_] = static_cast<int>(*parameter);
        return;
    }
    if (isSkippedDestination(word)) {
        s.skipped = true;
        return;
    }
    if (word == "uc") {
        s.fallbackCount = static_cast<int>(std::clamp<long>(parameter.value_or(1), 0, 16));
    } else if (word == "ansi") {
        documentCodePage_ = 1252;
    } else if (word == "mac") {
        documentCodePage_ = 10000;
    } else if (word == "pc") {
        documentCodePage_ = 437;
    } else if (word == "pca") {
        documentCodePage_ = 850;
    } else if (word == "ansicpg") {
        if (parameter && *parameter > 0 && *parameter < 100000)
            documentCodePage_ = static_cast<int>(*parameter);
    } else if (word == "deff") {
        defaultFont_ = static_cast<int>(parameter.value_or(0));
    } else if (word == "f") {
        s.font = static_cast<int>(parameter.value_or(0));
    } else if (word == "plain") {
        s.font = -1;
        s.hidden = false;
    } else if (word == "v") {
        s.hidden = parameter.value_or(1) != 0;
    } else if (word == "pard") {
        s.listLevel = -1;
    } else if (word == "ilvl") {
        s.listLevel = static_cast<int>(std::clamp<long>(parameter.value_or(0), 0, RichTextParagraph::maxListLevel));
    } else if (isParagraphEnd(word)) {
        if (!discarding())
            endParagraph();
    } else if (const auto symbol = symbolOfWord(word)) {
        if (!discarding())
            emitScalar(*symbol);
    }
}

std::string Reader::run()
{
    std::size_t start = 0;
    while (start < in_.size() && (in_[start] == ' ' || in_[start] == '\t' || in_[start] == '\r' || in_[start] == '\n'))
        ++start;
    if (in_.substr(start, 5) != "{\\rtf")
        throw RtfReadError("The file is not an RTF document.");
    pos_ = start;
    while (pos_ < in_.size()) {
        const char c = in_[pos_++];
        if (c == '{') {
            if (groups_.size() >= RtfTextReader::maxGroupDepth)
                throw RtfReadError("The RTF document nests its groups too deeply.");
            flushBytes();
            groups_.push_back(groups_.empty() ? GroupState{} : groups_.back());
            fallbackRemaining_ = 0;
        } else if (c == '}') {
            flushBytes();
            fallbackRemaining_ = 0;
            groups_.pop_back();
            if (groups_.empty())
                break;
        } else if (c == '\\') {
            if (pos_ >= in_.size())
                break;
            if (isLetter(in_[pos_])) {
                const std::size_t wordStart = pos_;
                while (pos_ < in_.size() && isLetter(in_[pos_]) && pos_ - wordStart < 32)
                    ++pos_;
                const std::string_view word = in_.substr(wordStart, pos_ - wordStart);
                std::optional<long> parameter;
                bool negative = false;
                if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && isDigit(in_[pos_ + 1])) {
                    negative = true;
                    ++pos_;
                }
                if (pos_ < in_.size() && isDigit(in_[pos_])) {
                    long value = 0;
                    std::size_t digits = 0;
                    while (pos_ < in_.size() && isDigit(in_[pos_])) {
                        if (digits < 10)
                            value = value * 10 + (in_[pos_] - '0');
                        ++digits;
                        ++pos_;
                    }
                    parameter = negative ? -value : value;
                }
                if (pos_ < in_.size() && in_[pos_] == ' ')
                    ++pos_;
                controlWord(word, parameter);
            } else {
                controlSymbol(in_[pos_++]);
            }
        } else if (c == '\r' || c == '\n' || c == '\0') {
            continue;
        } else {
            if (!consumeFallback())
                textByte(static_cast<unsigned char>(c));
        }
    }
    flushBytes();
    if (pendingHighSurrogate_)
        utf8::append(out_, utf8::replacementCharacter);
    return std::move(out_);
}

} // namespace

std::string RtfTextReader::plainText(std::string_view rtf)
{
    return Reader(rtf).run();
}

} // namespace velquine
