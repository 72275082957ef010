#include "platform/FontManager.h"

#include "platform/InstalledFonts.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>
#include <tuple>

namespace velquine {

namespace {

constexpr int regularWeight = 80;
constexpr int boldWeight = 200;

std::uint32_t traitsOf(const InstalledFace& face)
{
    std::uint32_t traits = 0;
    if (face.weight >= boldWeight)
        traits |= FontTrait::bold;
    if (face.slant > 0)
        traits |= FontTrait::italic;
    return traits;
}

const InstalledFace* faceNamed(std::string_view name)
{
    for (const InstalledFace& face : installedFaceList()) {
        if (face.postScriptName == name)
            return &face;
        for (const std::string& fullName : face.fullNames)
            if (fullName == name)
                return &face;
    }
    return nullptr;
}

const InstalledFace* faceOf(const Font& font)
{
    if (const InstalledFace* face = faceNamed(font.fontName()))
        return face;
    return faceNamed(Font::systemFontName);
}

std::string nameOf(const InstalledFace& face)
{
    return face.fullNames.empty() ? face.postScriptName : face.fullNames.front();
}

// The face of family with exactly the wanted traits: same width first, then the weight nearest to weight.
const InstalledFace* bestFace(const QString& family, std::uint32_t traits, int width, int weight)
{
    const InstalledFace* best = nullptr;
    auto cost = [&](const InstalledFace& face) {
        return (face.width == width ? 0 : 100000) + std::abs(face.weight - weight) * 10 + face.slant % 100;
    };
    for (const InstalledFace& face : installedFaceList())
        if (face.family == family && traitsOf(face) == traits && !nameOf(face).empty())
            if (!best || cost(face) < cost(*best))
                best = &face;
    return best;
}

Font convertOne(const Font& font, std::uint32_t trait)
{
    const InstalledFace* face = faceOf(font);
    if (!face)
        return font;
    std::uint32_t wanted = traitsOf(*face);
    int weight = face->weight;
    switch (trait) {
    case FontTrait::bold: wanted |= FontTrait::bold; weight = boldWeight; break;
    case FontTrait::unbold: wanted &= ~FontTrait::bold; weight = regularWeight; break;
    case FontTrait::italic: wanted |= FontTrait::italic; break;
    case FontTrait::unitalic: wanted &= ~FontTrait::italic; break;
    default: return font;
    }
    if (wanted == traitsOf(*face))
        return font;
    const InstalledFace* target = bestFace(face->family, wanted, face->width, weight);
    return target ? Font(nameOf(*target), font.pointSize()) : font;
}

} // namespace

std::vector<std::string> FontManager::availableFontFamilies()
{
    std::set<std::string> families;
    for (const InstalledFace& face : installedFaceList())
        families.insert(face.family.toStdString());
    return {families.begin(), families.end()};
}

std::vector<FontMember> FontManager::availableMembers(std::string_view family)
{
    const QString wanted = QString::fromUtf8(family.data(), qsizetype(family.size()));
    std::vector<const InstalledFace*> faces;
    for (const InstalledFace& face : installedFaceList())
        if (face.family == wanted && !nameOf(face).empty())
            faces.push_back(&face);
    std::stable_sort(faces.begin(), faces.end(), [](const InstalledFace* a, const InstalledFace* b) {
        return std::tie(a->weight, a->slant, a->width) < std::tie(b->weight, b->slant, b->width);
    });
    std::vector<FontMember> members;
    for (const InstalledFace* face : faces)
        members.push_back({nameOf(*face), face->style.toStdString(), face->weight, traitsOf(*face)});
    return members;
}

std::string FontManager::familyName(const Font& font)
{
    const InstalledFace* face = faceOf(font);
    return face ? face->family.toStdString() : std::string(Font::systemFontName);
}

std::string FontManager::faceName(const Font& font)
{
    const InstalledFace* face = faceOf(font);
    return face ? face->style.toStdString() : std::string();
}

std::uint32_t FontManager::traits(const Font& font)
{
    const InstalledFace* face = faceOf(font);
    return face ? traitsOf(*face) : 0;
}

Font FontManager::convert(const Font& font, std::uint32_t toHaveTrait)
{
    Font result = font;
    for (std::uint32_t trait : {FontTrait::bold, FontTrait::unbold, FontTrait::italic, FontTrait::unitalic})
        if (toHaveTrait & trait)
            result = convertOne(result, trait);
    return result;
}

Font FontManager::convert(const Font& font, double toSize)
{
    return font.withPointSize(toSize);
}

Font FontManager::convert(const Font& font, std::string_view toFamily)
{
    std::optional<Font> regular = FontManager::font(toFamily, font.pointSize());
    if (!regular)
        return font;
    const std::uint32_t old = traits(font);
    return convert(*regular, (old & FontTrait::bold ? FontTrait::bold : 0) | (old & FontTrait::italic ? FontTrait::italic : 0));
}

std::optional<Font> FontManager::font(std::string_view family, double size)
{
    const QString wanted = QString::fromUtf8(family.data(), qsizetype(family.size()));
    const InstalledFace* face = bestFace(wanted, 0, 100, regularWeight);
    if (!face) {
        const std::vector<FontMember> members = availableMembers(family);
        if (members.empty())
            return std::nullopt;
        return Font(members.front().fontName, size);
    }
    return Font(nameOf(*face), size);
}

} // namespace velquine
