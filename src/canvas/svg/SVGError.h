#pragma once

// The one error the SVG reader throws. Every failure of reading a document (an unreadable file, a colour the
// reader does not know, a parser that cannot be created) arrives as this type, so a caller that draws from an
// event handler can catch it in one place and carry on without the outline.

#include <stdexcept>
#include <string>

namespace velquine {

class SVGError : public std::runtime_error {
public:
    explicit SVGError(const std::string& message) : std::runtime_error(message) {}

    // "Invalid parameter not satisfying: <condition>"
    static SVGError invalidParameter(const std::string& condition)
    {
        return SVGError("Invalid parameter not satisfying: " + condition);
    }
};

} // namespace velquine
