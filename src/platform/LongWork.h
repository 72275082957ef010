#pragma once

// Work that can take long (reading a big file, building an export's bytes, writing an archive), kept off the
// main thread, and what the user sees while waiting for it.
//
// Pure work, which touches no window, layer or document the main thread uses, runs on a worker thread; what it
// made comes back to the main thread the way every deferred call does, through RunLoop::post, and is installed
// there. Work that must stay on the main thread (building a window, drawing layers) runs there inside a Busy
// scope.
//
// start() hands work to a worker and returns at once; the job's done function runs on the main thread once the
// work has ended. wait() (or waitFor() a started job) keeps the caller until the work has ended while the main
// loop goes on: windows repaint, timers and deferred calls run, and input from the user is held back until the
// wait is over, so that the user can neither change what is being written nor close what is being read.
//
// A Busy scope shows the wait cursor from its start to its end and, once it has lasted progressDelay while the
// main loop ran, the progress window the window side installs (setProgressIndicator), titled with what the
// outermost scope is doing. Every wait is such a scope.
//
// A wait may offer the user a way out (Offer): to cancel the work, or to end the program once it has ended. The
// progress window then takes the user's input, and only it: the input meant for every other window is dropped
// until the wait is over. A cancelled job goes on until its work stops: work that can stop early asks
// cancelled() now and then and throws Cancelled.

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <string>

class QObject;

namespace velquine {

class LongWork {
public:
    class Job;

    // Thrown by work that stopped because the user cancelled it, and by wait() for a job the user cancelled.
    class Cancelled : public std::exception {
    public:
        const char* what() const noexcept override { return "cancelled"; }
    };

    // What a wait offers the user while its progress window shows. cancel: the job is cancelled (and the function
    // told); quit: the user asked to end the program. An empty function is not offered.
    struct Offer {
        std::function<void()> cancel;
        std::function<void()> quit;
        bool any() const { return cancel || quit; }
    };

    // Shows, and hides, the progress of work that has lasted progressDelay.
    class ProgressIndicator {
    public:
        virtual ~ProgressIndicator() = default;
        virtual void show(const std::string& what) = 0;
        // The same with what the user may ask meanwhile (offer.any() is true): the indicator offers it.
        virtual void show(const std::string& what, const Offer& /*offer*/) { show(what); }
        virtual void hide() = 0;
        // Whether the indicator's window is, or holds, the object: the input of an offering wait goes to it alone.
        virtual bool takesInput(const QObject* /*target*/) const { return false; }
    };

    static constexpr std::chrono::milliseconds progressDelay{1000};

    // Runs work on a worker thread; done runs on the main thread afterwards with what work threw (null when
    // it returned), before anyone waiting for the job goes on. Without an application object the job runs at
    // once on the calling thread, done included.
    static std::shared_ptr<Job> start(std::function<void()> work,
                                      std::function<void(std::exception_ptr)> done = nullptr);
    // Keeps the main thread until the job has ended (its done function run), as a Busy scope titled what. At
    // once when it has. When the application is ending meanwhile, waits for the worker without the loop.
    // On another thread: returns once the worker has ended (done runs on the main thread, maybe later); safe
    // while the main thread ends the same job.
    static void waitFor(const std::shared_ptr<Job>& job, const std::string& what = {});
    // The same offering the user what `offer` holds while the progress window shows.
    static void waitFor(const std::shared_ptr<Job>& job, const std::string& what, const Offer& offer);
    // Ends the job without running the main loop: waits for the worker and runs done now (once). For a caller
    // that cannot let the loop run (a destructor, the program's end).
    static void join(const std::shared_ptr<Job>& job);
    // start() and waitFor(); rethrows what work threw.
    static void wait(const std::string& what, std::function<void()> work);
    // The same offering what `offer` holds; throws Cancelled when the user cancelled the job, whatever its work did.
    static void wait(const std::string& what, std::function<void()> work, const Offer& offer);
    // On a job's worker: whether the user cancelled the job. False anywhere else.
    static bool cancelled();
    // Whether the job's done function has run.
    static bool finished(const std::shared_ptr<Job>& job);

    // The wait cursor while it lives, and after progressDelay of a running main loop the progress window.
    // Scopes nest: the outermost one's title is shown. Main thread only; does nothing elsewhere.
    class Busy {
    public:
        explicit Busy(const std::string& what);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        bool counted_ = false;
    };
    // Whether a Busy scope (or a wait) is open now.
    static bool busy();
    // Runs the action now when no Busy scope is open; else from the main loop after the outermost one has ended
    // (what ends a window or the program must not run inside the loop of a wait or a render). Main thread.
    static void whenNotBusy(std::function<void()> action);
    // For main-thread work in a Busy scope that goes in parts (drawing a big map): lets the main loop run once
    // between two parts as a wait does (windows repaint, timers and deferred calls run, the user's input is held
    // back), at most every pauseInterval. Outside a Busy scope, or off the main thread: nothing.
    static void letLoopRun();
    static constexpr std::chrono::milliseconds pauseInterval{25};

    static void setProgressIndicator(std::unique_ptr<ProgressIndicator> indicator);
};

} // namespace velquine
