#include "platform/LongWork.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <atomic>
#include <mutex>
#include <optional>
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
    // Set on the main thread when the user cancels, read by the work through LongWork::cancelled().
    std::atomic<bool> cancelRequested = false;
    // Written by the worker before it posts the job's end, read on the main thread after.
    std::exception_ptr error;
    // Set on the main thread once done has run; read on any thread.
    std::atomic<bool> finished = false;
    // The main thread's.
    std::vector<QEventLoop*> waiting;

    // Starts the worker; it is let go once, under the lock, whichever thread waits for it first.
    void startWorker(std::function<void()> body)
    {
        const std::lock_guard lock(workerMutex_);
        worker_ = std::thread(std::move(body));
    }
    // On any thread: returns once the worker has ended (at once when there is none or it was let go).
    void joinWorker()
    {
        const std::lock_guard lock(workerMutex_);
        if (worker_.joinable())
            worker_.join();
    }

    // On the main thread: the worker let go, done run once, the waiting loops woken.
    void complete()
    {
        if (finished)
            return;
        joinWorker();
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

private:
    std::mutex workerMutex_;
    std::thread worker_;
};

namespace {

struct BusyState {
    int depth = 0;
    std::string what;
    // What the outermost scope's wait offers the user, while it waits; else null.
    const LongWork::Offer* offer = nullptr;
    bool shown = false;
    // What waits for the outermost scope to end (whenNotBusy).
    std::vector<std::function<void()>> afterBusy;
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

// The cancel flag of the job whose work runs on this thread.
thread_local const std::atomic<bool>* workerCancelFlag = nullptr;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// While a wait offers the user something, the user's input reaches the progress indicator and nothing else.
class InputToIndicatorOnly : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!isUserInput(event->type()))
            return false;
        const BusyState& state = busyState();
        return !(state.indicator && state.indicator->takesInput(watched));
    }
};

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
    job->startWorker([self = job]() mutable {
        Job& job = *self;
        workerCancelFlag = &job.cancelRequested;
        try {
            job.work();
        } catch (...) {
            job.error = std::current_exception();
        }
        workerCancelFlag = nullptr;
        // The posted call holds the job from now on, so that it is let go on the main thread.
        RunLoop::post([finished = std::move(self)] { finished->complete(); });
    });
    return job;
}

bool LongWork::finished(const std::shared_ptr<Job>& job)
{
    return !job || job->finished;
}

void LongWork::waitFor(const std::shared_ptr<Job>& job, const std::string& what)
{
    waitFor(job, what, Offer{});
}

void LongWork::waitFor(const std::shared_ptr<Job>& given, const std::string& what, const Offer& offered)
{
    const std::shared_ptr<Job> job = given; // held: what the caller holds it in may go while the loop runs
    if (!job || job->finished)
        return;
    if (!RunLoop::isMainThread()) {
        // Only the main thread runs the end of a job: another thread waits for the worker alone.
        job->joinWorker();
        return;
    }
    Busy busy(what);
    // What the progress window offers calls back here; a cancel stops the job too.
    const std::weak_ptr<Job> weak = job;
    Offer offer;
    if (offered.cancel)
        offer.cancel = [weak, cancel = offered.cancel] {
            if (const std::shared_ptr<Job> cancelled = weak.lock())
                cancelled->cancelRequested = true;
            cancel();
        };
    offer.quit = offered.quit;
    BusyState& state = busyState();
    const bool offering = offer.any() && state.depth == 1;
    std::optional<InputToIndicatorOnly> inputFilter;
    if (offering) {
        state.offer = &offer;
        inputFilter.emplace();
        QCoreApplication::instance()->installEventFilter(&*inputFilter);
    }
    QEventLoop loop;
    job->waiting.push_back(&loop);
    loop.exec(offering ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    std::erase(job->waiting, &loop);
    if (offering)
        state.offer = nullptr;
    // The loop ends early only when the application is ending, and will not run again: the job ends here, sooner
    // when its work can stop early.
    if (!job->finished && offer.cancel)
        job->cancelRequested = true;
    job->complete();
}

void LongWork::join(const std::shared_ptr<Job>& job)
{
    if (job)
        job->complete();
}

void LongWork::wait(const std::string& what, std::function<void()> work)
{
    wait(what, std::move(work), Offer{});
}

void LongWork::wait(const std::string& what, std::function<void()> work, const Offer& offer)
{
    std::exception_ptr thrown;
    const std::shared_ptr<Job> job =
        start(std::move(work), [&thrown](std::exception_ptr error) { thrown = std::move(error); });
    waitFor(job, what, offer);
    if (job->cancelRequested)
        throw Cancelled();
    if (thrown)
        std::rethrow_exception(thrown);
}

bool LongWork::cancelled()
{
    return workerCancelFlag && workerCancelFlag->load();
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
                if (busy.offer)
                    busy.indicator->show(busy.what, *busy.offer);
                else
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
    // Run from the loop, once the code that opened the scope has gone on to its end; a scope opened again by
    // then keeps them waiting.
    for (std::function<void()>& action : std::exchange(state.afterBusy, {}))
        RunLoop::post([action = std::move(action)]() mutable { whenNotBusy(std::move(action)); });
}

bool LongWork::busy()
{
    return busyState().depth > 0;
}

void LongWork::whenNotBusy(std::function<void()> action)
{
    if (busy())
        busyState().afterBusy.push_back(std::move(action));
    else
        action();
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
