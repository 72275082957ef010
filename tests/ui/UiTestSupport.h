#pragma once

// Shared pieces of the window tests: private settings, a recorder for opened addresses and system-log
// lines, screenshots into the artefacts folder.

#include <QDir>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

#include "platform/Log.h"
#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"

namespace velquine::test {

// Addresses handed to the desktop and lines written to the system log while alive.
struct DesktopRecorder {
    UrlOpenerCapture opened;
    std::vector<std::string> systemLines;
    DesktopRecorder()
    {
        setSystemLogSink([this](const std::string& line) { systemLines.push_back(line); });
    }
    ~DesktopRecorder() { setSystemLogSink(nullptr); }
    // The opened addresses in their encoded form.
    std::vector<std::string> urls() const
    {
        std::vector<std::string> texts;
        for (const QUrl& url : opened.urls())
            texts.push_back(url.toString(QUrl::FullyEncoded).toStdString());
        return texts;
    }
};

inline void saveScreenshot(QWidget* widget, const QString& name)
{
    QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
    widget->grab().save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/") + name + QStringLiteral(".png"));
}

} // namespace velquine::test
