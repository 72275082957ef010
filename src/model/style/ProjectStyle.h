#pragma once

// A project style (a theme): a name and two sets of values. `current` holds the values in force (node
// styling and the canvas background read it; changing the background colour writes it); `defaults` holds
// the values the style was defined with (the swatch lists read it). Styles are told apart by name.

#include <string>
#include <string_view>
#include <vector>

#include "model/style/NodeShape.h"
#include "model/style/PaletteEntry.h"
#include "model/style/ProjectStyleValues.h"
#include "model/style/StrokeStyle.h"
#include "model/style/StrokeThickness.h"
#include "platform/Color.h"
#include "platform/Geometry.h"
#include "platform/Image.h"

namespace velquine {

struct ProjectStyle {
    using Values = ProjectStyleValues;

    std::string name;
    Values current;
    Values defaults;

    // The style text: a JSON object with "name" and the values texts of "current" and "defaults" held as
    // strings. Throws what writing the values throws.
    std::string jsonValue() const;
    // A style from its text: "name", then "current", then "defaults"; the first failure ends the reading
    // and nothing is returned. Throws the JSON reader's error for text that is not JSON and TextError for
    // every other fault.
    static ProjectStyle fromJsonString(std::string_view jsonString);

    // Swatch lists for the inspectors' colour wells, from `defaults` and the palette's stroke colours.
    // Border and branch colours: the first four strokes and the root border colour, or, with dynamic main
    // node colours, the first five strokes alone.
    std::vector<Color> previewColors() const;
    // Fill colours: as previewColors, with the root fill colour in place of the root border colour.
    std::vector<Color> previewColors2() const;
    // Background colours: the first four strokes and the background colour.
    std::vector<Color> previewColors3() const;

    // A strip of colour squares standing for the style (see PaletteSwatch.h).
    Image paletteSwatch(Size size) const;

    // The 24 built-in styles, made afresh, sorted by name code point by code point.
    static std::vector<ProjectStyle> builtInStyles();

    // Font sizes shared by most built-in styles: root nodes, and main and sub nodes.
    static constexpr double presetRootFontSize = 20.0;
    static constexpr double presetNodeFontSize = 16.0;

    // One builder per built-in style; each call makes a new value.
    static ProjectStyle seaweed();
    static ProjectStyle caligraphy();
    static ProjectStyle caligraphyMono();
    static ProjectStyle cyber();
    static ProjectStyle espresso();
    static ProjectStyle slime();
    static ProjectStyle atlantis();
    static ProjectStyle sandbox();
    static ProjectStyle outrun();
    static ProjectStyle casual();
    static ProjectStyle spectral();
    static ProjectStyle midnight();
    static ProjectStyle patagonia();
    static ProjectStyle patagoniaLight();
    static ProjectStyle monochrome();
    static ProjectStyle bright();
    static ProjectStyle dark();
    static ProjectStyle natural();
    static ProjectStyle sunset();
    static ProjectStyle lcd();
    static ProjectStyle tasty();
    static ProjectStyle omaha();
    static ProjectStyle omahaLight();
    static ProjectStyle omahaXL();

    // The Omaha family: a 22-entry palette of white fills over six recurring strokes, Helvetica at the given
    // sizes, the given strokes at all three levels, and dynamic main node colours. The name is kept as given.
    static ProjectStyle makePreset(std::string name, StrokeThickness borderWidth, StrokeStyle branchStyle,
                                   StrokeThickness branchWidth, NodeShape rootNodeShape, NodeShape mainNodeShape,
                                   double rootFontSize, double mainFontSize, double subFontSize);

    friend bool operator==(const ProjectStyle&, const ProjectStyle&) = default;
};

// The user default naming the built-in style a new document takes.
inline constexpr std::string_view defaultProjectStyleKey = "defaultProjectStyle";

// The first built-in style whose name, lower-cased, equals the lower-cased text of the user default
// "defaultProjectStyle" in the standard user defaults; Omaha when the default is absent or names none.
ProjectStyle defaultProjectStyle();

} // namespace velquine
