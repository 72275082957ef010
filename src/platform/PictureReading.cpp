#include "platform/PictureReading.h"

#include "picture/PictureMessages.h"
#include "picture/PictureReader.h"
#include "picture/PictureSandbox.h"
#include "platform/Log.h"
#include "platform/LongWork.h"
#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velquine {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<std::uint64_t> stopGeneration{0};
std::mutex readerPathMutex;
std::string chosenReaderPath;

// A reader process, talked to through one end of a socket pair whose other end is its standard input and output
// (a socket, so that writing to a reader that has ended gives an error instead of a signal).
class ReaderProcess {
public:
    static std::unique_ptr<ReaderProcess> spawn(const PictureReading::Limits& limits)
    {
        const std::string path = PictureReading::readerPath();
        int ends[2];
        if (path.empty() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return nullptr;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        // It starts with every signal at its default and none blocked, whatever the thread starting it has.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t mask;
        sigemptyset(&mask);
        posix_spawnattr_setsigmask(&attributes, &mask);
        sigfillset(&mask);
        posix_spawnattr_setsigdefault(&attributes, &mask);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        const std::string seconds = std::to_string(limits.processorSeconds);
        const std::string megabytes = std::to_string(limits.memoryMegabytes);
        const char* arguments[] = {path.c_str(), PictureReader::processorOption, seconds.c_str(),
                                   PictureReader::memoryOption, megabytes.c_str(), nullptr};
        pid_t pid = 0;
        const int failed = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, const_cast<char**>(arguments),
                                         environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(ends[1]);
        if (failed != 0) {
            ::close(ends[0]);
            VQ_LOG("PictureReading", "the picture reader " + path + " did not start: " + std::strerror(failed));
            return nullptr;
        }
        ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
        return std::unique_ptr<ReaderProcess>(new ReaderProcess(pid, ends[0]));
    }

    ~ReaderProcess()
    {
        // Its input ends, and it ends with it; one that does not is ended.
        ::shutdown(socket_, SHUT_WR);
        if (!exited_) {
            int status = 0;
            for (int i = 0; i < 20 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
                ::usleep(5000);
            if (::waitpid(pid_, &status, WNOHANG) == 0)
                end();
        }
        ::close(socket_);
    }

    int socket() const { return socket_; }

    // Ends it now, and waits for it: how it ended, as waitpid tells.
    int end()
    {
        if (!exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            exited_ = true;
        }
        return status_;
    }
    // Waits for it to end of itself, as it does once its output has ended.
    int ended()
    {
        if (!exited_) {
            const Clock::time_point until = Clock::now() + std::chrono::seconds(1);
            while (::waitpid(pid_, &status_, WNOHANG) == 0) {
                if (Clock::now() > until)
                    return end();
                ::usleep(2000);
            }
            exited_ = true;
        }
        return status_;
    }

private:
    ReaderProcess(pid_t pid, int socket) : pid_(pid), socket_(socket) { }

    pid_t pid_;
    int socket_;
    int status_ = 0;
    bool exited_ = false;
};

enum class Exchange { answered, stopped, timedOut, ended, invalid };

// Sends the request and reads the answer's body, stopping when asked, when the time is up or when the reader's
// output ends.
Exchange exchange(ReaderProcess& reader, const QByteArray& frame, std::uint64_t longest, Clock::time_point until,
                  const std::function<bool()>& stop, QByteArray& body)
{
    qsizetype written = 0;
    char header[PictureMessages::headerBytes];
    std::size_t headerRead = 0;
    std::optional<std::uint64_t> length;
    body.clear();
    while (true) {
        if (stop())
            return Exchange::stopped;
        const Clock::time_point now = Clock::now();
        if (now >= until)
            return Exchange::timedOut;
        pollfd watched{reader.socket(), short(POLLIN | (written < frame.size() ? POLLOUT : 0)), 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
        if (::poll(&watched, 1, int(std::clamp<long long>(left, 1, 50))) <= 0)
            continue;
        if ((watched.revents & POLLOUT) && written < frame.size()) {
            const ssize_t put = ::send(reader.socket(), frame.constData() + written,
                                       std::size_t(frame.size() - written), MSG_NOSIGNAL);
            if (put > 0)
                written += put;
        }
        if (!(watched.revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        ssize_t got = 0;
        if (length) {
            const std::size_t room = std::size_t(*length) - std::size_t(body.size());
            QByteArray chunk(qsizetype(std::min<std::size_t>(room, 1 << 20)), Qt::Uninitialized);
            got = ::recv(reader.socket(), chunk.data(), std::size_t(chunk.size()), 0);
            if (got > 0)
                body.append(chunk.constData(), got);
        } else {
            got = ::recv(reader.socket(), header + headerRead, sizeof header - headerRead, 0);
            if (got > 0)
                headerRead += std::size_t(got);
        }
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
            return Exchange::ended;
        if (!length && headerRead == sizeof header) {
            length = PictureMessages::bodyLength(header);
            if (*length > longest)
                return Exchange::invalid;
            body.reserve(qsizetype(*length));
        }
        if (length && std::uint64_t(body.size()) == *length)
            return Exchange::answered;
    }
}

// Why the reader ended without an answer, from how it ended.
std::string reasonOfEnd(int status, const PictureReading::Limits& limits)
{
    if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))
        return PictureReader::tookTooLong(limits.processorSeconds);
    VQ_LOG("PictureReading", WIFSIGNALED(status) ? "the picture reader ended by signal " + std::to_string(WTERMSIG(status))
                                                 : "the picture reader exited with " + std::to_string(WEXITSTATUS(status)));
    return PictureReading::crashed();
}

// What the reader's answer says of the picture.
PictureRead readOf(const PictureReply& reply, const PictureReading::Limits& limits, PictureBudget* budget)
{
    PictureRead read;
    read.answered = true;
    read.stated = reply.stated;
    read.processorSeconds = reply.processorSeconds;
    read.grownKB = reply.grownKB;
    // A picture the reader had no memory for takes nothing.
    if (budget && reply.taken > 0 && reply.outcome != PictureReply::Outcome::outOfMemory)
        budget->take(std::min(reply.taken, budget->pixelsLeft()));
    switch (reply.outcome) {
    case PictureReply::Outcome::picture:
        read.image = Image(reply.bitmap, Size{reply.points.width(), reply.points.height()});
        break;
    case PictureReply::Outcome::refused:
        read.refusal = reply.refusal;
        break;
    case PictureReply::Outcome::outOfMemory:
        // The reader says its own bound, which may not be the one asked for.
        read.refusal = reply.refusal.empty() ? PictureReader::neededTooMuch(limits.memoryMegabytes) : reply.refusal;
        break;
    case PictureReply::Outcome::none:
        break;
    }
    if (budget && !read.refusal.empty())
        budget->noteRefusal(read.refusal);
    return read;
}

PictureRead refused(std::string reason, PictureBudget* budget)
{
    PictureRead read;
    read.answered = true;
    read.refusal = std::move(reason);
    if (budget)
        budget->noteRefusal(read.refusal);
    return read;
}

} // namespace

void PictureReading::read(const std::vector<std::shared_ptr<const Bytes>>& pictures, const Limits& limits,
                          PictureBudget* budget, const Arrived& arrived, const std::function<bool()>& shouldStop)
{
    const std::uint64_t generation = stopGeneration.load();
    const auto stop = [&] { return stopGeneration.load() != generation || (shouldStop && shouldStop()); };
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = limits.deadline.count() > 0 ? start + limits.deadline : Clock::time_point::max();
    std::unique_ptr<ReaderProcess> reader;
    QByteArray body;
    for (std::size_t index = 0; index < pictures.size(); ++index) {
        if (stop())
            return;
        if (Clock::now() >= deadline) {
            arrived(index, refused(pastDeadline(limits.deadline), budget));
            continue;
        }
        const Bytes& bytes = *pictures[index];
        PictureRequest request;
        request.bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        request.budgetTotal = budget ? budget->total() : -1;
        request.budgetLeft = budget ? budget->pixelsLeft() : -1;
        request.fitWidth = limits.box.width();
        request.fitHeight = limits.box.height();
        if (!reader)
            reader = ReaderProcess::spawn(limits);
        if (!reader) {
            arrived(index, refused(notStarted(), budget));
            continue;
        }
        const Clock::time_point until = std::min(Clock::now() + limits.perPicture * PictureSandbox::slowdown(), deadline);
        const Exchange exchanged = exchange(*reader, PictureMessages::frame(request),
                                            PictureMessages::longestReply(request.fitWidth, request.fitHeight), until,
                                            stop, body);
        if (exchanged == Exchange::stopped) {
            reader->end();
            return;
        }
        std::optional<PictureReply> reply;
        if (exchanged == Exchange::answered)
            reply = PictureMessages::reply(body, request.fitWidth, request.fitHeight);
        if (reply) {
            arrived(index, readOf(*reply, limits, budget));
            if (reply->outcome == PictureReply::Outcome::outOfMemory)
                reader.reset(); // its memory is left as the failure left it
            continue;
        }
        // An answer that is none (too long for what was asked, or not one at all) is the reader's failure.
        std::string reason = exchanged == Exchange::timedOut
            ? (until == deadline ? pastDeadline(limits.deadline) : PictureReader::tookTooLong(limits.processorSeconds))
            : exchanged == Exchange::ended ? reasonOfEnd(reader->ended(), limits)
                                           : crashed();
        reader->end();
        reader.reset();
        arrived(index, refused(std::move(reason), budget));
    }
}

PictureRead PictureReading::readOne(const Bytes& picture, PictureBudget* budget)
{
    PictureRead result;
    // The caller's bytes, not copied.
    const std::shared_ptr<const Bytes> bytes(std::shared_ptr<const Bytes>(), &picture);
    read({bytes}, Limits(), budget, [&](std::size_t, PictureRead read) { result = std::move(read); },
         [] { return LongWork::cancelled(); });
    return result;
}

std::vector<PictureRead> PictureReading::readWaiting(const std::vector<std::shared_ptr<const Bytes>>& pictures,
                                                     const std::string& what)
{
    std::vector<PictureRead> reads(pictures.size());
    const auto work = [&] {
        read(pictures, Limits(), nullptr, [&](std::size_t index, PictureRead answer) { reads[index] = std::move(answer); },
             [] { return LongWork::cancelled(); });
    };
    try {
        if (QCoreApplication::instance() && RunLoop::isMainThread()) {
            LongWork::Offer offer;
            offer.cancel = [] {};
            LongWork::wait(what, work, offer);
        } else {
            work();
        }
    } catch (const LongWork::Cancelled&) {
        // What was not read is left unanswered.
    }
    return reads;
}

std::shared_ptr<PictureReading> PictureReading::start(std::vector<std::shared_ptr<const Bytes>> pictures,
                                                      Limits limits, Arrived arrived)
{
    std::shared_ptr<PictureReading> reading(new PictureReading());
    // Each reader takes every n-th picture, in order, with its share of the budget: which pictures the budget
    // refuses does not hang on which reader is quicker.
    const std::size_t readers = std::clamp<std::size_t>(limits.readers, 1, std::max<std::size_t>(pictures.size(), 1));
    reading->state_->running = int(readers);
    auto shared = std::make_shared<const std::vector<std::shared_ptr<const Bytes>>>(std::move(pictures));
    for (std::size_t first = 0; first < readers; ++first)
        reading->threads_.emplace_back([state = reading->state_, shared, limits, arrived, first, readers] {
            std::vector<std::shared_ptr<const Bytes>> mine;
            for (std::size_t i = first; i < shared->size(); i += readers)
                mine.push_back((*shared)[i]);
            PictureBudget budget(PictureBudget::mapPixels, PictureBudget::mapPixels / std::int64_t(readers));
            read(mine, limits, &budget, [&](std::size_t index, PictureRead read) {
                arrived(first + index * readers, std::move(read));
            }, [&state] { return state->cancelled.load(); });
            const std::lock_guard lock(state->mutex);
            if (--state->running == 0)
                state->finished.notify_all();
        });
    return reading;
}

PictureReading::~PictureReading()
{
    cancel();
    for (std::thread& thread : threads_) {
        if (!thread.joinable())
            continue;
        // Let go of by an answer handed on from one of its own threads: that one ends by itself, holding what
        // it shares.
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();
    }
}

void PictureReading::cancel()
{
    state_->cancelled = true;
}

bool PictureReading::waitUntilDone(std::chrono::milliseconds most)
{
    std::unique_lock lock(state_->mutex);
    return state_->finished.wait_for(lock, most, [this] { return state_->running == 0; });
}

bool PictureReading::done() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->running == 0;
}

void PictureReading::stopAll()
{
    ++stopGeneration;
}

void PictureReading::setReaderPath(std::string path)
{
    const std::lock_guard lock(readerPathMutex);
    chosenReaderPath = std::move(path);
}

std::string PictureReading::readerPath()
{
    {
        const std::lock_guard lock(readerPathMutex);
        if (!chosenReaderPath.empty())
            return chosenReaderPath;
    }
    if (const char* named = std::getenv("VELQUINE_PICTURE_READER"); named && *named)
        return named;
    const QString here = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                      : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString folder = QCoreApplication::instance() ? here : QFileInfo(here).absolutePath();
    const QString name = QString::fromLatin1(PictureReader::programName);
    for (const QString& candidate : {folder + u'/' + name,
                                     folder + QStringLiteral("/" VELQUINE_READER_INSTALLED "/") + name,
                                     QStringLiteral(VELQUINE_READER_BUILT)}) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable())
            return file.absoluteFilePath().toStdString();
    }
    return {};
}

std::string PictureReading::crashed()
{
    return "The picture could not be read: its decoder failed on it.";
}

std::string PictureReading::notStarted()
{
    return "The picture could not be read: Velquine's picture reader did not start.";
}

std::string PictureReading::pastDeadline(std::chrono::milliseconds deadline)
{
    return "The map's pictures took more than " + std::to_string((deadline.count() + 999) / 1000)
        + " seconds to read together; this one was not read in that time.";
}

} // namespace velquine
