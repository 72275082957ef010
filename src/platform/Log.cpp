#include "platform/Log.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

#include <unistd.h>

namespace velquine {

namespace {

std::mutex sinkMutex;
LogSink& currentSink()
{
    static LogSink sink;
    return sink;
}

LogSink& systemSink()
{
    static LogSink sink;
    return sink;
}

std::string_view lastPathComponent(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void removeBackslashQuotes(std::string& line)
{
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            ++i;
            continue;
        }
        out.push_back(line[i]);
    }
    line.swap(out);
}

} // namespace

std::string logTimestamp(double secondsSince1970)
{
    double whole = std::floor(secondsSince1970);
    // Four fractional digits, truncated as a date formatter does.
    long fraction = static_cast<long>((secondsSince1970 - whole) * 10000.0);
    if (fraction > 9999)
        fraction = 9999;
    const std::time_t t = static_cast<std::time_t>(whole);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d.%04ld", local.tm_hour, local.tm_min, local.tm_sec, fraction);
    return buffer;
}

std::string logLine(std::string_view file, std::string_view function, long line, std::string_view message)
{
    std::string out = logTimestamp(Clock::now());
    out += ": ";
    out += lastPathComponent(file);
    out += ':';
    out += std::to_string(line);
    out += ' ';
    out += function;
    out += " - ";
    out += message;
    removeBackslashQuotes(out);
    return out;
}

void debugLog(std::string_view file, std::string_view function, long line, std::string_view message)
{
    const std::string text = logLine(file, function, line, message);
    std::lock_guard lock(sinkMutex);
    if (currentSink()) {
        currentSink()(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string systemLogLine(std::string_view message)
{
    const double now = Clock::now();
    const std::time_t t = static_cast<std::time_t>(std::floor(now));
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[64];
    const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const long millis = std::min(999L, static_cast<long>((now - std::floor(now)) * 1000.0));
    char prefix[160];
    std::snprintf(prefix, sizeof prefix, "%.*s.%03ld %s[%ld:%ld] ", static_cast<int>(length), stamp, millis,
                  program_invocation_short_name, static_cast<long>(::getpid()), static_cast<long>(::gettid()));
    return prefix + std::string(message);
}

void systemLog(std::string_view message)
{
    const std::string line = systemLogLine(message);
    std::lock_guard lock(sinkMutex);
    if (systemSink()) {
        systemSink()(line);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}

void setSystemLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex);
    systemSink() = std::move(sink);
}

void setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex);
    currentSink() = std::move(sink);
}

struct LogCapture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

LogCapture::LogCapture() : state_(new State)
{
    State* s = state_;
    setLogSink([s](const std::string& line) {
        std::lock_guard lock(s->mutex);
        s->lines.push_back(line);
    });
}

LogCapture::~LogCapture()
{
    setLogSink({});
    delete state_;
}

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard lock(state_->mutex);
    return state_->lines;
}

bool LogCapture::contains(std::string_view fragment) const
{
    std::lock_guard lock(state_->mutex);
    for (const auto& l : state_->lines)
        if (l.find(fragment) != std::string::npos)
            return true;
    return false;
}

void LogCapture::clear()
{
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
}

} // namespace velquine
