#pragma once

// Shared by the kit's widget tests: screenshots into the artefacts folder, and light and dark palettes.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QString>
#include <QStyle>

namespace velquine::test {

inline QString artefactPath(const QString& fileName)
{
    QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
    return QStringLiteral(VELQUINE_ARTEFACTS_DIR "/") + fileName;
}

inline bool saveArtefact(const QImage& image, const QString& fileName)
{
    return image.save(artefactPath(fileName));
}

// The Fusion palette, or a dark variant of it.
inline QPalette appearancePalette(bool dark)
{
    QPalette palette = QApplication::style()->standardPalette();
    if (!dark)
        return palette;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x20), text(0xe8, 0xe8, 0xea);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x8b, 0xf2));
    return palette;
}

} // namespace velquine::test
