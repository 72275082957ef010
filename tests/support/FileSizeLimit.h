#pragma once

// Lowers the largest file this process may write while it lives: writes beyond it fail with EFBIG ("File too
// large") instead of raising SIGXFSZ. The stand-in for a full disk that needs no mounting.

#include <csignal>

#include <sys/resource.h>

namespace velquine::testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        applied_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool applied() const { return applied_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool applied_ = false;
};

} // namespace velquine::testing
