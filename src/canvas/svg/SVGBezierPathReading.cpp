// Reading SVG documents into paths, with the process-wide cache of documents read from files.

#include "canvas/svg/SVGBezierPath.h"

#include <QFile>
#include <QString>
#include <QUrl>

#include <mutex>
#include <unordered_map>

#include "canvas/svg/SVGError.h"
#include "canvas/svg/SVGScanner.h"
#include "canvas/svg/SVGWriter.h"
#include "canvas/svg/svgParser.h"

namespace velquine {

namespace {

struct PathCache {
    std::mutex mutex;
    std::unordered_map<std::string, std::vector<SVGBezierPath>> documents;
};

PathCache& pathCache()
{
    static PathCache cache;
    return cache;
}

std::vector<SVGBezierPath> pathsWithLineWidths(std::vector<SVGBezierPath> paths)
{
    for (SVGBezierPath& path : paths) {
        const std::optional<std::string> width = svgAttribute<std::string>(path.svgAttributes(), "stroke-width");
        path.setLineWidth(width ? leadingDouble(*width) : 1.0);
    }
    return paths;
}

} // namespace

std::vector<SVGBezierPath> SVGBezierPath::pathsFromSVGString(const std::string& svgText)
{
    return pathsWithLineWidths(svgParser(svgText).parse(true));
}

std::vector<SVGBezierPath> SVGBezierPath::pathsFromSVGAtURL(const std::string& location)
{
    PathCache& cache = pathCache();
    {
        const std::lock_guard lock(cache.mutex);
        const auto it = cache.documents.find(location);
        if (it != cache.documents.end())
            return it->second;
    }
    QString file = QString::fromStdString(location);
    if (file.startsWith(QLatin1String("file:")))
        file = QUrl(file).toLocalFile();
    QFile input(file);
    if (file.isEmpty() || !input.open(QIODevice::ReadOnly))
        throw SVGError::invalidParameter("svgString");
    const QByteArray bytes = input.readAll();
    std::vector<SVGBezierPath> paths =
        pathsWithLineWidths(svgParser(std::string(bytes.constData(), std::size_t(bytes.size())), true).parse(true));
    const std::lock_guard lock(cache.mutex);
    cache.documents[location] = paths;
    return paths;
}

void SVGBezierPath::resetCache()
{
    PathCache& cache = pathCache();
    const std::lock_guard lock(cache.mutex);
    cache.documents.clear();
}

std::string SVGBezierPath::SVGRepresentation() const
{
    return svgTextFromPaths({*this});
}

} // namespace velquine
