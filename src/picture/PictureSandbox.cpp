#include "picture/PictureSandbox.h"

#include <fontconfig/fontconfig.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velquine {

namespace {

// The kernel's Landlock interface, as its versions 1 to 6 define it; declared here so that older headers do.
#ifndef SYS_landlock_create_ruleset
#define SYS_landlock_create_ruleset 444
#define SYS_landlock_add_rule 445
#define SYS_landlock_restrict_self 446
#endif

struct RulesetAttributes {
    std::uint64_t handledFileSystem;
    std::uint64_t handledNetwork; // version 4
    std::uint64_t scoped;         // version 6
};

struct PathBeneath {
    std::uint64_t allowed;
    std::int32_t parent;
} __attribute__((packed));

constexpr std::uint32_t createRulesetVersion = 1;
constexpr int rulePathBeneath = 1;
constexpr std::uint64_t readFile = 1 << 2;
constexpr std::uint64_t readDirectory = 1 << 3;

// Every file system right of the version: the thirteen of version 1, then refer (2), truncate (3), and ioctl on
// devices (5).
std::uint64_t fileSystemRights(int version)
{
    std::uint64_t rights = (std::uint64_t(1) << 13) - 1;
    if (version >= 2)
        rights |= std::uint64_t(1) << 13;
    if (version >= 3)
        rights |= std::uint64_t(1) << 14;
    if (version >= 5)
        rights |= std::uint64_t(1) << 15;
    return rights;
}


// The process's mapped memory in kB, from its status; -1 when it cannot be read.
std::int64_t mappedKB()
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    std::int64_t kB = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmSize: %ld kB", &kB) == 1)
            break;
    std::fclose(status);
    return kB;
}

} // namespace

bool PictureSandbox::underSanitizer()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

int PictureSandbox::slowdown()
{
    return underSanitizer() ? 3 : 1;
}

int PictureSandbox::landlockVersion()
{
    const long version = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, createRulesetVersion);
    return version > 0 ? int(version) : 0;
}

bool PictureSandbox::restrictTo(const std::vector<std::string>& readableFolders)
{
    // The leak checker reads the process's threads from /proc at its end, which the restriction forbids.
    const int version = PictureSandbox::underSanitizer() ? 0 : landlockVersion();
    if (version == 0)
        return false;
    RulesetAttributes attributes{fileSystemRights(version), version >= 4 ? 3u : 0u, version >= 6 ? 3u : 0u};
    const std::size_t size = version >= 6 ? 24 : version >= 4 ? 16 : 8;
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
    if (ruleset < 0)
        return false;
    for (const std::string& folder : readableFolders) {
        const int opened = ::open(folder.c_str(), O_PATH | O_CLOEXEC | O_DIRECTORY);
        if (opened < 0)
            continue;
        PathBeneath rule{readFile | readDirectory, opened};
        ::syscall(SYS_landlock_add_rule, ruleset, rulePathBeneath, &rule, 0);
        ::close(opened);
    }
    const bool restricted = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
        && ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return restricted;
}

std::vector<std::string> PictureSandbox::fontFolders()
{
    std::vector<std::string> folders;
    FcConfig* config = FcConfigGetCurrent();
    for (FcStrList* list : {FcConfigGetFontDirs(config), FcConfigGetCacheDirs(config)}) {
        if (!list)
            continue;
        while (FcChar8* folder = FcStrListNext(list))
            folders.emplace_back(reinterpret_cast<const char*>(folder));
        FcStrListDone(list);
    }
    return folders;
}

bool PictureSandbox::limitMemory(std::int64_t megabytesMore)
{
    if (PictureSandbox::underSanitizer())
        return false;
    const std::int64_t mapped = mappedKB();
    if (mapped < 0)
        return false;
    const rlim_t bytes = rlim_t(mapped) * 1024 + rlim_t(megabytesMore) * 1024 * 1024;
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

void PictureSandbox::limitProcessorTime(int seconds)
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double used = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    rlimit limit{};
    ::getrlimit(RLIMIT_CPU, &limit);
    const rlim_t allowed = rlim_t(seconds) * rlim_t(slowdown());
    limit.rlim_cur = rlim_t(std::ceil(used)) + allowed;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_cur > limit.rlim_max)
        limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_CPU, &limit);
}

void PictureSandbox::endQuietly()
{
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    std::signal(SIGXCPU, SIG_DFL);
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGXCPU);
    ::sigprocmask(SIG_UNBLOCK, &mask, nullptr);
}

} // namespace velquine
