#include "kit/SymbolImages.h"

#include "kit/SystemColors.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace velquine {

namespace {

const QString symbolFolder = QStringLiteral(":/icons/symbols/");
const QString imageFolder = QStringLiteral(":/icons/images/");
const QString templateImages[] = {QStringLiteral("segm_cloud")};

QString pathOf(const QString& name)
{
    for (const QString& folder : {symbolFolder, imageFolder}) {
        const QString path = folder + name + QStringLiteral(".svg");
        if (QFile::exists(path))
            return path;
    }
    return {};
}

QByteArray sourceOf(const QString& name)
{
    static QHash<QString, QByteArray> sources;
    auto found = sources.find(name);
    if (found != sources.end())
        return *found;
    QFile file(pathOf(name));
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    sources.insert(name, bytes);
    return bytes;
}

QByteArray colourText(const QColor& colour)
{
    return colour.name(QColor::HexRgb).toLatin1();
}

} // namespace

bool SymbolImages::exists(const QString& name)
{
    return !name.isEmpty() && !pathOf(name).isEmpty();
}

QStringList SymbolImages::names()
{
    QStringList result;
    for (const QString& folder : {symbolFolder, imageFolder})
        for (const QString& file : QDir(folder).entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name))
            result.append(file.chopped(4));
    return result;
}

bool SymbolImages::isTemplate(const QString& name)
{
    if (QFile::exists(symbolFolder + name + QStringLiteral(".svg")))
        return true;
    for (const QString& image : templateImages)
        if (image == name)
            return true;
    return false;
}

QImage SymbolImages::render(const QString& name, QSizeF size, qreal devicePixelRatio, const QColor& primary,
                            const QColor& secondary)
{
    QByteArray source = sourceOf(name);
    const QSize pixels = (size * devicePixelRatio).toSize();
    if (source.isEmpty() || pixels.isEmpty())
        return {};
    const bool isTemplateImage = isTemplate(name);
    if (isTemplateImage) {
        source.replace("currentColor", colourText(primary.isValid() ? primary : QColor(Qt::black)));
        source.replace("#fffffe", colourText(secondary.isValid() ? secondary : QColor(Qt::white)));
    }
    QSvgRenderer renderer(source);
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isTemplateImage && primary.isValid())
            painter.setOpacity(primary.alphaF());
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

void SymbolImages::draw(QPainter& painter, const QRectF& rect, const QString& name, const QColor& primary,
                        const QColor& secondary)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage image = render(name, rect.size(), ratio, primary, secondary);
    if (!image.isNull())
        painter.drawImage(rect, image);
}

QIcon SymbolImages::icon(const QString& name, bool dark)
{
    if (!exists(name))
        return {};
    QIcon icon;
    const QColor normal = SystemColors::label(dark);
    const QColor disabled = SystemColors::disabledControlText(dark);
    const QColor secondary = dark ? QColor(Qt::black) : QColor(Qt::white);
    for (int side : {16, 24, 32}) {
        const QSizeF size(side, side);
        icon.addPixmap(QPixmap::fromImage(render(name, size, 1.0, normal, secondary)), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(render(name, size, 1.0, disabled, secondary)), QIcon::Disabled);
        icon.addPixmap(QPixmap::fromImage(render(name, size, 2.0, normal, secondary)), QIcon::Normal);
    }
    return icon;
}

QCursor SymbolImages::cursor(const QString& name, QPoint hotSpot)
{
    const QImage image = render(name, QSizeF(16, 16), 2.0, QColor());
    if (image.isNull())
        return QCursor();
    return QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

QImage tinted(const QImage& image, const QColor& colour)
{
    if (image.isNull())
        return image;
    QImage copy = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&copy);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(QRectF(QPointF(0, 0), copy.deviceIndependentSize()), colour);
    return copy;
}

} // namespace velquine
