#pragma once

// Keyed archives of colours and fonts: each one self-contained data value, a small binary property list
// dictionary that names the archived class. Reading checks the class and every field, so a damaged archive
// or one of another class fails with an error instead of giving a half-read value.
//
//   colour: {"$class": "NSColor", "colorSpaceName": <space name>, "components": [<reals>, alpha]}
//   font:   {"$class": "NSFont", "name": <face name>, "size": <real>}

#include <stdexcept>
#include <optional>
#include <string>

#include "platform/Base64.h"
#include "platform/Color.h"
#include "platform/Font.h"

namespace velquine {

class KeyedArchiveError : public std::runtime_error {
public:
    enum class Kind {
        damaged,     // not an archive, or a field missing, of the wrong kind or out of range
        wrongClass,  // a well-formed archive of another class
    };
    KeyedArchiveError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) { }
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

class KeyedArchive {
public:
    static constexpr const char* colorClassName = "NSColor";
    static constexpr const char* fontClassName = "NSFont";

    static Bytes archivedData(const Color& color);
    static Bytes archivedData(const Font& font);

    // The colour in the space and with the components it was archived with. Throws KeyedArchiveError.
    static Color unarchiveColor(const Bytes& data);
    // The font with its stored name, installed or not, and its size. Throws KeyedArchiveError.
    static Font unarchiveFont(const Bytes& data);
    // The size a font archive stores, even one no font can have (0, negative); none when it cannot be read.
    static std::optional<double> archivedFontSize(const Bytes& data);
};

} // namespace velquine
