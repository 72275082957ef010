#include "kit/SystemTheme.h"

#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

namespace velquine {

namespace {

class ThemeWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type == QEvent::ThemeChange || type == QEvent::ApplicationPaletteChange) && !pending_) {
            pending_ = true;
            QPointer<ThemeWatcher> self(this);
            RunLoop::post([self] {
                if (!self)
                    return;
                self->pending_ = false;
                NotificationCenter::defaultCenter().post(systemThemeChangedNotification);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool pending_ = false;
};

} // namespace

void SystemTheme::watch()
{
    static QPointer<ThemeWatcher> watcher;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || watcher)
        return;
    watcher = new ThemeWatcher(app);
    app->installEventFilter(watcher);
}

} // namespace velquine
