#pragma once

// A small writer of XML text: elements, attributes and character data, escaped so the result is
// always well-formed. Characters XML 1.0 cannot carry (most C0 controls, U+FFFE, U+FFFF) are
// dropped; malformed UTF-8 becomes U+FFFD.

#include <string>
#include <string_view>
#include <vector>

namespace velquine {

class XmlWriter {
public:
    // Writes the XML declaration with UTF-8 encoding and standalone="yes", and a line feed.
    void declaration();

    // Opens an element; attributes follow until the next call of another kind.
    void startElement(std::string_view name);
    void attribute(std::string_view name, std::string_view value);
    void text(std::string_view text);
    // Closes the innermost open element, as "<name/>" when it got no content.
    void endElement();
    // An element with no content: startElement then endElement.
    void emptyElement(std::string_view name);

    // Closes every open element and returns the text.
    std::string finish();

    // Character data: "&", "<" and ">" as references.
    static std::string escapedText(std::string_view text);
    // Attribute values: also quotation marks, and tab, line feed and carriage return as numeric
    // references so a parser gives them back instead of blanks.
    static std::string escapedAttribute(std::string_view value);

private:
    void closeStartTag();

    std::string out_;
    std::vector<std::string> open_;
    bool startTagOpen_ = false;
};

} // namespace velquine
