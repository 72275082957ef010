#pragma once

// The program's one diagnostic line format:
//   "H:mm:ss.SSSS: File.cpp:42 function(label:) - message"
// Every warning goes through debugLog; errors whose text reads like a log line are built with logLine.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velquine {

// The line for the current time, without printing it. Every backslash-quote pair is removed from the
// finished line.
std::string logLine(std::string_view file, std::string_view function, long line, std::string_view message);

// Writes logLine(...) and a line feed to standard output (or to the installed sink).
void debugLog(std::string_view file, std::string_view function, long line, std::string_view message);

// The system-log stand-in: systemLogLine(message) on standard error (or to the installed system sink).
void systemLog(std::string_view message);
// "yyyy-MM-dd HH:mm:ss.SSS program[pid:tid] " and the message, the line a system log shows.
std::string systemLogLine(std::string_view message);

// "H:mm:ss.SSSS" of a time given in seconds since 1970, in local time.
std::string logTimestamp(double secondsSince1970);

// Receives every line debugLog writes instead of standard output, while installed.
using LogSink = std::function<void(const std::string& line)>;
void setLogSink(LogSink sink);
// Receives every line systemLog writes instead of standard error, while installed (null: standard error).
void setSystemLogSink(LogSink sink);

// Collects the debug lines written during its lifetime (tests).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view fragment) const;
    void clear();

private:
    struct State;
    State* state_;
};

// An error whose text is a log line, thrown by converters and readers.
class TextError : public std::runtime_error {
public:
    explicit TextError(const std::string& line) : std::runtime_error(line) {}
    // The text with the cause that lies beneath it ("No space left on device"), kept apart so the text stays
    // exactly as fixed while a dialog can show the cause as its detail.
    TextError(const std::string& line, std::string detail) : std::runtime_error(line), detail_(std::move(detail)) {}
    const std::string& detail() const noexcept { return detail_; }
    TextError(std::string_view file, std::string_view function, long line, std::string_view message)
        : std::runtime_error(logLine(file, function, line, message)) {}

private:
    std::string detail_;
};

// A failure that lies in the computer's state rather than in the file read or written: a disk without enough
// free space, a folder that can not be written to. The same file may well be read once that changes, so nothing
// is given up or put aside because of it.
class EnvironmentError : public TextError {
public:
    using TextError::TextError;
};

} // namespace velquine

// Call-site helpers: the caller's file and line, with the function name the caller chooses.
#define VQ_LOG(function, message) ::velquine::debugLog(__FILE__, (function), __LINE__, (message))
#define VQ_LOG_LINE(function, message) ::velquine::logLine(__FILE__, (function), __LINE__, (message))
#define VQ_TEXT_ERROR(function, message) ::velquine::TextError(__FILE__, (function), __LINE__, (message))
