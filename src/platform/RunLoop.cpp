#include "platform/RunLoop.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace velquine {

namespace {

// The thread that ran the static initialisers, which is the one that runs main().
const std::thread::id startThread = std::this_thread::get_id();

// Receives the invocations, each of which runs the oldest queued call. They are queued by name, so that Qt
// makes and deletes everything an invocation carries: a queued functor would be made on the posting thread
// and deleted by this program's code on the main thread, behind the event queue's lock, which a race detector
// that does not see into Qt takes for a race.
class Receiver : public QObject {
    Q_OBJECT

public:
    Q_INVOKABLE void runOne();
};

struct Queue {
    std::mutex mutex;
    std::deque<std::function<void()>> calls;
    QObject* receiver = nullptr; // lives in the main thread; never deleted (it outlives every post)
    QCoreApplication* receiverApp = nullptr;
};

Queue& queue()
{
    static Queue* q = new Queue; // not destroyed at exit: posts may still arrive from other threads
    return *q;
}

// Takes the oldest call off the queue; empty when there is none.
std::function<void()> takeFront()
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.calls.empty())
        return {};
    std::function<void()> fn = std::move(q.calls.front());
    q.calls.pop_front();
    return fn;
}

void runGuarded(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        systemLog(std::string("a deferred call failed: ") + e.what());
    } catch (...) {
        systemLog("a deferred call failed with an unknown exception");
    }
}

// Each post schedules one invocation, and each invocation runs the oldest queued call. Because the calls
// are taken from the shared queue rather than carried by the invocations, the order is the order in which
// post took the lock, and drain() can empty the queue without disturbing the invocations still in flight
// (they find nothing to do).
void Receiver::runOne()
{
    if (std::function<void()> fn = takeFront())
        runGuarded(fn);
}

// The object the invocations are queued on, made on first use and moved to the main thread; sets
// backlog to the number of calls that were queued while there was no application object to deliver them
// (they need invocations of their own). Called with the queue's lock held.
QObject* receiverLocked(Queue& q, std::size_t& backlog)
{
    backlog = 0;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    if (q.receiver && q.receiverApp == app)
        return q.receiver;
    // First delivery, or the application object was replaced. (An object may be moved to another thread
    // only by its own thread, which is the current one here.)
    q.receiver = new Receiver;
    q.receiver->moveToThread(app->thread());
    q.receiverApp = app;
    backlog = q.calls.empty() ? 0 : q.calls.size() - 1;
    return q.receiver;
}

// Makes the receiver on the application's own thread as the application object is made, and queues an
// invocation for each call posted before. Made there, the object a worker's invocations reach is one that
// thread made, not one a worker made and handed over behind the event queue's lock (which a race detector
// that does not see into Qt takes for a race).
void makeReceiver()
{
    Queue& q = queue();
    QObject* receiver = nullptr;
    std::size_t waiting = 0;
    {
        std::lock_guard lock(q.mutex);
        std::size_t backlog = 0;
        receiver = receiverLocked(q, backlog);
        waiting = q.calls.size();
    }
    for (std::size_t i = 0; receiver && i < waiting; ++i)
        QMetaObject::invokeMethod(receiver, "runOne", Qt::QueuedConnection);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(makeReceiver)

void RunLoop::post(std::function<void()> fn)
{
    if (!fn)
        return;
    Queue& q = queue();
    QObject* receiver = nullptr;
    std::size_t backlog = 0;
    {
        std::lock_guard lock(q.mutex);
        q.calls.push_back(std::move(fn));
        receiver = receiverLocked(q, backlog);
    }
    if (!receiver)
        return; // no application object yet: the call waits for the next post or for drain()
    for (std::size_t i = 0; i <= backlog; ++i)
        QMetaObject::invokeMethod(receiver, "runOne", Qt::QueuedConnection);
}

void RunLoop::drain()
{
    while (std::function<void()> fn = takeFront())
        runGuarded(fn);
}

void RunLoop::runQueued()
{
    // The invocations already queued for these calls find nothing left when they come.
    for (std::size_t left = pendingCount(); left > 0; --left)
        if (std::function<void()> fn = takeFront())
            runGuarded(fn);
}

std::size_t RunLoop::pendingCount()
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    return q.calls.size();
}

bool RunLoop::isMainThread()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        return QThread::currentThread() == app->thread();
    return std::this_thread::get_id() == startThread;
}

} // namespace velquine

#include "RunLoop.moc"
