#pragma once

// Fonts as values: a face name and a size in points, equal when both are equal. The name is kept as given,
// even for a face that is not installed; such a font draws and measures with the system font of its size.
// toQFont is the one way to a QFont, shared by measuring and drawing: the QFont it gives for a paint device
// is sized so that one point is one logical pixel on that device, whatever its DPI.

#include <string>
#include <string_view>

class QFont;
class QPaintDevice;

namespace velquine {

class Font {
public:
    // The faces behind the system font and the monospaced system font.
    static constexpr std::string_view systemFontName = "DejaVu Sans";
    static constexpr std::string_view monospacedSystemFontName = "DejaVu Sans Mono";

    // The system font at 12 points.
    Font();
    // Any face name, kept as given. Throws std::invalid_argument for a size that is not finite and positive.
    Font(std::string name, double pointSize);

    static Font systemFont(double pointSize);
    static Font monospacedSystemFont(double pointSize);
    // The face whose full name (or PostScript name) is given, or the system font of the same size when no
    // installed face has that name.
    static Font named(std::string_view fullName, double pointSize);
    // Whether an installed face has this full name or PostScript name.
    static bool isInstalled(std::string_view fullName);

    const std::string& fontName() const { return *name_; }
    double pointSize() const { return size_; }
    // Whether the face draws as itself rather than as the system font.
    bool isInstalled() const { return isInstalled(*name_); }
    Font withPointSize(double pointSize) const;

    // The QFont for drawing on (or measuring for) the device: one point of this font is one logical pixel
    // of the device. With no device, Qt's default resolution (what QFontMetricsF and a QTextLayout without
    // a device use). Built once per font and resolution, then served from a cache of the calling thread: copies
    // of a QFont share the font engines it found last, which Qt drops and looks up again whenever a copy is
    // used on another thread. The text workers of a large import need it (with the titles laid out ahead,
    // bench_LargeImport at 100,000 lines: plain text, flat 993 -> 681 ms; OPML, wide 1211 -> 837 ms).
    QFont toQFont(const QPaintDevice* device = nullptr) const;

    friend bool operator==(const Font&, const Font&) = default;

private:
    // Each face name is kept once for the life of the program (a map names a handful), so a font copies as a
    // pointer and a size, and equal names are the same pointer.
    static const std::string* keptName(std::string_view name);

    const std::string* name_;
    double size_ = 12.0;
};

// The logical DPI Qt resolves fonts with when no paint device is given.
int defaultFontResolution();

} // namespace velquine
