#include "platform/Heap.h"

#include <chrono>

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include "platform/SlotPool.h"

namespace velquine {

void keepLargeBlocksInHeap()
{
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
    constexpr int limit = 256 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, limit);
    mallopt(M_TRIM_THRESHOLD, limit);
#endif
#if defined(M_ARENA_MAX)
    mallopt(M_ARENA_MAX, 1);
#endif
}

namespace {

// How long the program must have been idle, and how much freed memory there must be, for it to go back.
constexpr int idleMilliseconds = 1500;
constexpr std::size_t releasedFrom = std::size_t(16) << 20;

} // namespace

bool releaseFreedMemory()
{
    const bool slotPages = SlotPool::releaseFreePages() != 0;
#if defined(__GLIBC__)
    return (malloc_trim(0) != 0) || slotPages;
#else
    return slotPages;
#endif
}

void releaseFreedMemoryWhenIdle()
{
#if defined(__GLIBC__)
    QCoreApplication* const app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    using Clock = std::chrono::steady_clock;
    static Clock::time_point lastCall;
    static QPointer<QTimer> timer;
    lastCall = Clock::now();
    if (!timer) {
        timer = new QTimer(app);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, [] {
            // Calls since the timer started put it off; restarting it on each call would cost every edit more.
            const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastCall);
            if (idle.count() < idleMilliseconds) {
                timer->start(int(idleMilliseconds - idle.count()));
                return;
            }
            // Free chunks inside the heap and at its top; counting them costs far less than giving them back.
            const struct mallinfo2 info = mallinfo2();
            if (info.fordblks >= releasedFrom)
                malloc_trim(0);
            // The cells of nodes a large edit copied, kept in slabs of their own outside the heap.
            SlotPool::releaseFreePages();
        });
    }
    if (!timer->isActive())
        timer->start(idleMilliseconds);
#endif
}

namespace {

// Hears the application's input and puts the release after it.
class InputWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyRelease:
        case QEvent::MouseButtonRelease:
        case QEvent::Wheel:
            releaseFreedMemoryWhenIdle();
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

void releaseFreedMemoryAfterInput()
{
    static QPointer<QObject> watch;
    QCoreApplication* const app = QCoreApplication::instance();
    if (!app || watch)
        return;
    watch = new InputWatch(app);
    app->installEventFilter(watch);
}

} // namespace velquine
