#include "platform/LongWork.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <thread>
#include <utility>
#include <vector>

#include "platform/Heap.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"

namespace velquine {

class LongWork::Job {
public:
    std::function<void()> work;
    std::function<void(std::exception_ptr)> done;
    std::thread worker;
    // Written by the worker before it posts the job's end, read on the main thread after.
    std::exception_ptr error;
    // The rest is the main thread's.
    bool finished = false;
    std::vector<QEventLoop*> waiting;

    // On the main thread: the worker let go, done run once, the waiting loops woken.
    void complete()
    {
        if (finished)
            return;
        if (worker.joinable())
            worker.join();
        finished = true;
        if (done) {
            try {
                done(error);
            } catch (const std::exception& failure) {
                systemLog(std::string("the end of a long work failed: ") + failure.what());
            }
        }
        for (QEventLoop* loop : waiting)
            loop->quit();
        // What the work made and let go of goes back once the program is idle.
        releaseFreedMemoryWhenIdle();
    }
};

namespace {

struct BusyState {
    int depth = 0;
    std::string what;
    bool shown = false;
    std::unique_ptr<LongWork::ProgressIndicator> indicator;
    std::unique_ptr<QTimer> progressTimer;
};

BusyState& busyState()
{
    static BusyState* state = new BusyState; // never destroyed: its timer may outlive the application object
    return *state;
}

bool hasGuiApplication()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

std::shared_ptr<LongWork::Job> LongWork::start(std::function<void()> work, std::function<void(std::exception_ptr)> done)
{
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    job->done = std::move(done);
    if (!QCoreApplication::instance()) {
        try {
            job->work();
        } catch (...) {
            job->error = std::current_exception();
        }
        job->complete();
        return job;
    }
    job->worker = std::thread([self = job]() mutable {
        Job& job = *self;
        try {
            job.work();
        } catch (...) {
            job.error = std::current_exception();
        }
        // The posted call holds the job from now on, so that it is let go on the main thread.
        RunLoop::post([finished = std::move(self)] { finished->complete(); });
    });
    return job;
}

bool LongWork::finished(const std::shared_ptr<Job>& job)
{
    return !job || job->finished;
}

void LongWork::waitFor(const std::shared_ptr<Job>& given, const std::string& what)
{
    const std::shared_ptr<Job> job = given; // held: what the caller holds it in may go while the loop runs
    if (!job || job->finished)
        return;
    if (!RunLoop::isMainThread()) {
        // Only the main thread runs the end of a job: another thread waits for the worker alone.
        if (job->worker.joinable())
            job->worker.join();
        return;
    }
    Busy busy(what);
    QEventLoop loop;
    job->waiting.push_back(&loop);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    std::erase(job->waiting, &loop);
    // The loop ends early only when the application is ending, and will not run again: the job ends here.
    job->complete();
}

void LongWork::join(const std::shared_ptr<Job>& job)
{
    if (job)
        job->complete();
}

void LongWork::wait(const std::string& what, std::function<void()> work)
{
    std::exception_ptr thrown;
    waitFor(start(std::move(work), [&thrown](std::exception_ptr error) { thrown = std::move(error); }), what);
    if (thrown)
        std::rethrow_exception(thrown);
}

LongWork::Busy::Busy(const std::string& what)
{
    if (!QCoreApplication::instance() || !RunLoop::isMainThread())
        return;
    counted_ = true;
    BusyState& state = busyState();
    if (state.depth++ > 0)
        return;
    state.what = what;
    if (hasGuiApplication())
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    if (!state.progressTimer) {
        state.progressTimer = std::make_unique<QTimer>();
        state.progressTimer->setSingleShot(true);
        state.progressTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(state.progressTimer.get(), &QTimer::timeout, [] {
            BusyState& busy = busyState();
            if (busy.depth > 0 && busy.indicator && !busy.shown) {
                busy.shown = true;
                busy.indicator->show(busy.what);
            }
        });
    }
    state.progressTimer->start(progressDelay);
}

LongWork::Busy::~Busy()
{
    if (!counted_)
        return;
    BusyState& state = busyState();
    if (--state.depth > 0)
        return;
    state.progressTimer->stop();
    if (std::exchange(state.shown, false) && state.indicator)
        state.indicator->hide();
    if (hasGuiApplication())
        QGuiApplication::restoreOverrideCursor();
}

bool LongWork::busy()
{
    return busyState().depth > 0;
}

void LongWork::letLoopRun()
{
    if (!busy() || !RunLoop::isMainThread())
        return;
    static QElapsedTimer sinceLastRun;
    if (sinceLastRun.isValid() && sinceLastRun.elapsed() < pauseInterval.count())
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceLastRun.start();
}

void LongWork::setProgressIndicator(std::unique_ptr<ProgressIndicator> indicator)
{
    BusyState& state = busyState();
    if (state.shown && state.indicator)
        state.indicator->hide();
    state.shown = false;
    state.indicator = std::move(indicator);
}

} // namespace velquine
