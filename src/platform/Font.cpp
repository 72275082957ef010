#include "platform/Font.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QScreen>

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

namespace velquine {

namespace {

// The family and style Qt knows an installed face by.
struct Face {
    QString family;
    QString style;
};

std::mutex cacheMutex;

// Full names and PostScript names of every installed face, read once from fontconfig.
const std::unordered_map<std::string, Face>& installedFaces()
{
    static const std::unordered_map<std::string, Face> faces = [] {
        std::unordered_map<std::string, Face> map;
        if (!FcInit())
            return map;
        FcPattern* pattern = FcPatternCreate();
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FULLNAME, FC_POSTSCRIPT_NAME, nullptr);
        FcFontSet* set = FcFontList(nullptr, pattern, objects);
        if (set) {
            for (int i = 0; i < set->nfont; ++i) {
                FcPattern* font = set->fonts[i];
                FcChar8* family = nullptr;
                FcChar8* style = nullptr;
                if (FcPatternGetString(font, FC_FAMILY, 0, &family) != FcResultMatch)
                    continue;
                FcPatternGetString(font, FC_STYLE, 0, &style);
                const Face face{QString::fromUtf8(reinterpret_cast<const char*>(family)),
                                style ? QString::fromUtf8(reinterpret_cast<const char*>(style)) : QString()};
                FcChar8* name = nullptr;
                for (int n = 0; FcPatternGetString(font, FC_FULLNAME, n, &name) == FcResultMatch; ++n)
                    map.emplace(reinterpret_cast<const char*>(name), face);
                if (FcPatternGetString(font, FC_POSTSCRIPT_NAME, 0, &name) == FcResultMatch)
                    map.emplace(reinterpret_cast<const char*>(name), face);
            }
            FcFontSetDestroy(set);
        }
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
        return map;
    }();
    return faces;
}

std::optional<Face> installedFace(std::string_view name)
{
    std::lock_guard lock(cacheMutex);
    const auto& faces = installedFaces();
    const auto it = faces.find(std::string(name));
    if (it == faces.end())
        return std::nullopt;
    return it->second;
}

Face systemFace()
{
    if (auto face = installedFace(Font::systemFontName))
        return *face;
    return {QString::fromUtf8(Font::systemFontName.data(), Font::systemFontName.size()), QString()};
}

void checkSize(double size)
{
    if (!std::isfinite(size) || size <= 0)
        throw std::invalid_argument("Font: point size must be finite and positive");
}

} // namespace

int defaultFontResolution()
{
    if (QCoreApplication::testAttribute(Qt::AA_Use96Dpi))
        return 96;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return qRound(screen->logicalDotsPerInchY());
    return 100;
}

Font::Font() : name_(systemFontName), size_(12.0) { }

Font::Font(std::string name, double pointSize) : name_(std::move(name)), size_(pointSize) { checkSize(pointSize); }

Font Font::systemFont(double pointSize) { return Font(std::string(systemFontName), pointSize); }

Font Font::monospacedSystemFont(double pointSize) { return Font(std::string(monospacedSystemFontName), pointSize); }

Font Font::named(std::string_view fullName, double pointSize)
{
    if (isInstalled(fullName))
        return Font(std::string(fullName), pointSize);
    return systemFont(pointSize);
}

bool Font::isInstalled(std::string_view fullName) { return installedFace(fullName).has_value(); }

Font Font::withPointSize(double pointSize) const { return Font(name_, pointSize); }

QFont Font::toQFont(const QPaintDevice* device) const
{
    const int dpi = device ? device->logicalDpiY() : defaultFontResolution();
    using Key = std::tuple<std::string, double, int>;
    static std::map<Key, QFont> fonts;
    Key key{name_, size_, dpi};
    {
        std::lock_guard lock(cacheMutex);
        if (auto it = fonts.find(key); it != fonts.end())
            return it->second;
    }
    const Face face = installedFace(name_).value_or(systemFace());
    QFont font(face.family);
    if (!face.style.isEmpty())
        font.setStyleName(face.style);
    font.setPointSizeF(size_ * 72.0 / (dpi > 0 ? dpi : 72));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    std::lock_guard lock(cacheMutex);
    fonts.emplace(std::move(key), font);
    return font;
}

} // namespace velquine
