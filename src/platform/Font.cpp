#include "platform/Font.h"

#include "platform/InstalledFonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QScreen>


#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace velquine {

namespace {

// The family and style Qt knows an installed face by.
struct Face {
    QString family;
    QString style;
};

std::mutex cacheMutex;

// Full names and PostScript names of every installed face.
const std::unordered_map<std::string, Face>& installedFaces()
{
    static const std::unordered_map<std::string, Face> faces = [] {
        std::unordered_map<std::string, Face> map;
        for (const InstalledFace& installed : installedFaceList()) {
            const Face face{installed.family, installed.style};
            for (const std::string& name : installed.fullNames)
                map.emplace(name, face);
            if (!installed.postScriptName.empty())
                map.emplace(installed.postScriptName, face);
        }
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

const std::string* Font::keptName(std::string_view name)
{
    // Never freed: fonts may outlive every other static. The system font, in nearly every node, takes no lock.
    static const std::string* const system = new std::string(systemFontName);
    if (name == *system)
        return system;
    static std::mutex namesMutex;
    static auto* const names = new std::unordered_set<std::string>();
    std::lock_guard lock(namesMutex);
    return &*names->emplace(name).first;
}

Font::Font() : name_(keptName(systemFontName)), size_(12.0) { }

Font::Font(std::string name, double pointSize) : name_(keptName(name)), size_(pointSize) { checkSize(pointSize); }

Font Font::systemFont(double pointSize) { return Font(std::string(systemFontName), pointSize); }

Font Font::monospacedSystemFont(double pointSize) { return Font(std::string(monospacedSystemFontName), pointSize); }

Font Font::named(std::string_view fullName, double pointSize)
{
    if (isInstalled(fullName))
        return Font(std::string(fullName), pointSize);
    return systemFont(pointSize);
}

bool Font::isInstalled(std::string_view fullName) { return installedFace(fullName).has_value(); }

Font Font::withPointSize(double pointSize) const
{
    checkSize(pointSize);
    Font font = *this;
    font.size_ = pointSize;
    return font;
}

QFont Font::toQFont(const QPaintDevice* device) const
{
    const int dpi = device ? device->logicalDpiY() : defaultFontResolution();
    using Key = std::tuple<std::string, double, int>;
    // One cache per thread, keyed by value: copies of a QFont share the font engines it found last, which Qt
    // drops and looks up again whenever a copy is used on another thread than the one that found them.
    // What it buys, measured (bench_LargeImport at 10,000 lines, best of 3): 1.1-1.2x on plain text and OPML.
    thread_local std::map<Key, QFont> fonts;
    Key key{*name_, size_, dpi};
    if (auto it = fonts.find(key); it != fonts.end())
        return it->second;
    const Face face = installedFace(*name_).value_or(systemFace());
    QFont font(face.family);
    if (!face.style.isEmpty())
        font.setStyleName(face.style);
    font.setPointSizeF(size_ * 72.0 / (dpi > 0 ? dpi : 72));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    fonts.emplace(std::move(key), font);
    return font;
}

} // namespace velquine
