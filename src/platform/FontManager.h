#pragma once

// Fonts by family, face and traits, over the installed faces: the family list, a family's faces, and the
// conversions the style commands make (to bold or not, italic or not, another size, another family).
// Thread-safe: the family list may be gathered off the main thread.
//
// Traits are the usual masks: italic 1, bold 2, unbold 4, unitalic 0x01000000. A conversion that no
// installed face can satisfy gives the font back unchanged.

#include "platform/Font.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquine {

namespace FontTrait {
constexpr std::uint32_t italic = 0x00000001;
constexpr std::uint32_t bold = 0x00000002;
constexpr std::uint32_t unbold = 0x00000004;
constexpr std::uint32_t unitalic = 0x01000000;
} // namespace FontTrait

// One face of a family: its font name, its face name ("Bold Oblique"), weight (fontconfig's scale, 80
// regular, 200 bold) and traits (italic and bold bits only).
struct FontMember {
    std::string fontName;
    std::string faceName;
    int weight = 80;
    std::uint32_t traits = 0;
};

class FontManager {
public:
    // Every family name once, in byte order (upper case before lower case).
    static std::vector<std::string> availableFontFamilies();
    // The faces of a family, lightest first, upright before slanted; empty when there is no such family.
    static std::vector<FontMember> availableMembers(std::string_view family);

    // The family and face of a font (a font that names no installed face is the system font).
    static std::string familyName(const Font& font);
    static std::string faceName(const Font& font);
    static std::uint32_t traits(const Font& font);

    // The font of the same family and size with the traits of mask added (bold, unbold, italic, unitalic).
    static Font convert(const Font& font, std::uint32_t toHaveTrait);
    static Font convert(const Font& font, double toSize);
    // The same traits and size in another family; unchanged when the family is not installed.
    static Font convert(const Font& font, std::string_view toFamily);
    // The regular face of a family at a size, or nothing when there is no such family.
    static std::optional<Font> font(std::string_view family, double size);
};

} // namespace velquine
