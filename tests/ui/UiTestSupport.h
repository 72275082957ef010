#pragma once

// Shared pieces of the window tests: private settings, a recorder for opened addresses and system-log
// lines, screenshots into the artefacts folder.

#include <QDir>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

#include "platform/Log.h"
#include "platform/SystemInformation.h"
#include "platform/UserDefaults.h"

namespace velquine::test {

// Addresses handed to the desktop and lines written to the system log while alive.
struct DesktopRecorder {
    std::vector<std::string> urls;
    std::vector<std::string> systemLines;
    URLOpener previous;
    DesktopRecorder()
    {
        previous = setURLOpener([this](const std::string& url) { urls.push_back(url); });
        setSystemLogSink([this](const std::string& line) { systemLines.push_back(line); });
    }
    ~DesktopRecorder()
    {
        setURLOpener(previous);
        setSystemLogSink(nullptr);
    }
};

inline void saveScreenshot(QWidget* widget, const QString& name)
{
    QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
    widget->grab().save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/") + name + QStringLiteral(".png"));
}

} // namespace velquine::test
