#pragma once

// A window manager (Openbox) on the test's display while alive; running() is false when it did not come up.

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

namespace velquine::test {

class WindowManager {
public:
    WindowManager()
    {
        process_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!process_.waitForStarted(10000))
            return;
        // It is up once it has named itself on the root window.
        QElapsedTimer clock;
        clock.start();
        while (!(running_ = namedOnRoot()) && clock.elapsed() < 10000)
            QThread::msleep(200);
    }
    ~WindowManager()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    bool running() const { return running_; }

private:
    static bool namedOnRoot()
    {
        QProcess property;
        property.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        property.waitForFinished(5000);
        return property.readAllStandardOutput().contains("window id");
    }

    QProcess process_;
    bool running_ = false;
};

} // namespace velquine::test
