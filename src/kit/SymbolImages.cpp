#include "kit/SymbolImages.h"

#include "kit/SystemColors.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

#include <algorithm>

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

namespace {

// Draws a symbol at the size and in the look it is asked for, when it is first asked for, and keeps what it
// drew: a window shows a few of the looks of its icons, and making every one ahead slows every start.
class SymbolIconEngine final : public QIconEngine {
public:
    SymbolIconEngine(const QString& name, bool dark)
        : name_(name), normal_(SystemColors::label(dark)), disabled_(SystemColors::disabledControlText(dark)),
          secondary_(dark ? QColor(Qt::black) : QColor(Qt::white))
    {
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        if (size.isEmpty())
            return {};
        const QString key = QStringLiteral("%1x%2/%3").arg(size.width()).arg(size.height()).arg(int(mode));
        if (const auto found = drawn_.constFind(key); found != drawn_.cend())
            return *found;
        const QColor primary = mode == QIcon::Disabled ? disabled_ : normal_;
        QPixmap drawn = QPixmap::fromImage(SymbolImages::render(name_, QSizeF(size), 1.0, primary, secondary_));
        if (mode == QIcon::Selected && !drawn.isNull()) {
            QStyleOption option;
            option.palette = QGuiApplication::palette();
            drawn = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
        }
        drawn_.insert(key, drawn);
        return drawn;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {{16, 16}, {24, 24}, {32, 32}}; }
    QString key() const override { return QStringLiteral("velquine-symbol"); }
    QIconEngine* clone() const override { return new SymbolIconEngine(*this); }

private:
    QString name_;
    QColor normal_, disabled_, secondary_;
    QHash<QString, QPixmap> drawn_;
};

} // namespace

QIcon SymbolImages::icon(const QString& name, bool dark)
{
    if (!exists(name))
        return {};
    return QIcon(new SymbolIconEngine(name, dark));
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
