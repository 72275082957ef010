#include "platform/AttributedString.h"

#include <QString>

#include <algorithm>

namespace velquine {

namespace {

std::size_t utf16Length(const std::string& text)
{
    // Plain ASCII, most titles, takes one unit a byte; anything else is counted as decoding counts it.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return text.size();
    return std::size_t(QString::fromUtf8(text).size());
}

} // namespace

int TextAttributes::count() const
{
    return int(font.has_value()) + int(foregroundColor.has_value()) + int(paragraphStyle.has_value())
        + int(underlineStyle.has_value()) + int(underlineColor.has_value()) + int(strikethroughStyle.has_value())
        + int(strikethroughColor.has_value());
}

AttributedString::AttributedString(std::string text, TextAttributes attributes) : text_(std::move(text))
{
    length_ = utf16Length(text_);
    if (length_ > 0)
        runs_.push_back({0, length_, std::move(attributes)});
}

QString AttributedString::qstring() const { return QString::fromUtf8(text_); }

void AttributedString::append(const std::string& text, const TextAttributes& attributes)
{
    const std::size_t added = utf16Length(text);
    if (added == 0)
        return;
    text_ += text;
    runs_.push_back({length_, added, attributes});
    length_ += added;
    normalize();
}

AttributedString AttributedString::appendingWithLastAttributes(const std::string& text) const
{
    AttributedString copy = *this;
    copy.append(text, runs_.empty() ? TextAttributes{} : runs_.back().attributes);
    return copy;
}

void AttributedString::setAttributes(std::size_t location, std::size_t length, const TextAttributes& attributes)
{
    if (location >= length_ || length == 0)
        return;
    const std::size_t end = location + std::min(length, length_ - location);
    // Runs cover the whole text without gaps: keep what lies before and after the range, put the range
    // between.
    std::vector<Run> result;
    for (const Run& run : runs_)
        if (run.location < location)
            result.push_back({run.location, std::min(run.location + run.length, location) - run.location, run.attributes});
    result.push_back({location, end - location, attributes});
    for (const Run& run : runs_) {
        const std::size_t runEnd = run.location + run.length;
        if (runEnd > end) {
            const std::size_t from = std::max(run.location, end);
            result.push_back({from, runEnd - from, run.attributes});
        }
    }
    runs_ = std::move(result);
    normalize();
}

TextAttributes AttributedString::attributesAt(std::size_t index) const
{
    for (const Run& run : runs_)
        if (index >= run.location && index < run.location + run.length)
            return run.attributes;
    return {};
}

std::string AttributedString::substring(std::size_t location, std::size_t length) const
{
    const QString text = qstring();
    if (location >= std::size_t(text.size()))
        return {};
    return text.mid(qsizetype(location), qsizetype(std::min(length, std::size_t(text.size()) - location))).toStdString();
}

void AttributedString::normalize()
{
    std::vector<Run> merged;
    for (Run& run : runs_) {
        if (run.length == 0)
            continue;
        if (!merged.empty() && merged.back().attributes == run.attributes
            && merged.back().location + merged.back().length == run.location)
            merged.back().length += run.length;
        else
            merged.push_back(std::move(run));
    }
    runs_ = std::move(merged);
}

} // namespace velquine
