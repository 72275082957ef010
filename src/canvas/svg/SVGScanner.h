#pragma once

// A forward scanner over a text, shared by the SVG readers: it skips a set of characters before each token and
// reads numbers, runs of characters and texts up to a delimiter. Numbers follow one syntax everywhere: an optional
// sign, digits with an optional "." and fraction, an optional exponent; the decimal separator is always ".",
// whatever the locale. A number ends at the first character that cannot continue it, so "-1-2" and ".5.5" are
// two numbers each. Numbers too large for their type are not numbers.

#include <QString>

#include <optional>
#include <string>

namespace velquine {

// A set of characters: some listed ones, optionally together with every blank and line end.
struct SVGCharacterSet {
    QString characters;
    bool whitespaceAndNewlines = false;

    bool contains(QChar c) const { return (whitespaceAndNewlines && c.isSpace()) || characters.contains(c); }
};

class SVGScanner {
public:
    SVGScanner(QString text, SVGCharacterSet skipped);

    const QString& text() const { return text_; }
    qsizetype position() const { return position_; }
    void setPosition(qsizetype position) { position_ = position; }

    // True when nothing but skipped characters remains.
    bool atEnd() const;
    void skip();
    // The character at the position, or a null character at the end.
    QChar current() const { return position_ < text_.size() ? text_[position_] : QChar(); }

    std::optional<double> scanDouble();
    std::optional<float> scanFloat();
    // A run of characters of the set; nothing when the next character is not in it.
    std::optional<QString> scanCharacters(const SVGCharacterSet& set);
    // The text up to (not including) the delimiter or the end; nothing when that text would be empty.
    std::optional<QString> scanUpTo(QChar delimiter);
    // The text from the position to the end.
    QString remainder() const { return text_.mid(position_); }

private:
    QString text_;
    SVGCharacterSet skipped_;
    qsizetype position_ = 0;
};

// The number a text starts with, after leading blanks; 0 when it starts with none ("2px" gives 2).
double leadingDouble(const std::string& text);
float leadingFloat(const std::string& text);
// The integer a text starts with, after leading blanks; 0 when it starts with none. Saturates at the int range.
int leadingInt(const std::string& text);

// The number at position in text (no blanks skipped), with the count of characters it takes, or nothing.
std::optional<double> readNumber(const QString& text, qsizetype position, qsizetype& length);

} // namespace velquine
