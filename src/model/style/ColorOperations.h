#pragma once

// The texts colours are stored and defined in.
//
// Colour text: the JSON object {"colorSpaceName": <space name>, "comps": [<components>..., <alpha>]}, the
// colour written in its own space without any conversion, so it reads back in that space with the same
// components, bit for bit.
//
// Brace text and 0xRRGGBB integers are the compact forms the built-in styles are written in; documents
// never hold them.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Color.h"

namespace velquine {

// The colour text. Throws what the JSON writer throws.
std::string jsonString(const Color& color);

// A colour from its colour text. Throws the JSON reader's error for text that is not JSON, and a TextError
// for a text that is not an object, a missing "colorSpaceName" ("Can not get key 'colorSpaceName' from
// JSON"), a space name this program does not know ("Can not create CGColorSpace with name <name>"), a
// "comps" member that is missing or not an array of numbers ("Can not get 'comps' from json object!"), and
// a count of numbers other than the space's components plus alpha.
Color colorFromJsonString(std::string_view jsonString);

// "{r, g, b, a}" read as an sRGB colour; numbers after the fourth are ignored. A text that is not a list of
// at least four numbers gives opaque calibrated magenta; this never throws.
Color colorFromBraceString(std::string_view braceString);

// 0xRRGGBB as an opaque calibrated RGB colour, each byte divided by 255; bits above 23 are ignored.
Color colorFromRGB(std::uint32_t rgb);

} // namespace velquine
