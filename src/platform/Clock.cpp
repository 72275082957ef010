#include "platform/Clock.h"

#include <chrono>
#include <mutex>

namespace velquine {

namespace {
std::mutex sourceMutex;
std::function<double()>& source()
{
    static std::function<double()> s;
    return s;
}
} // namespace

double Clock::now()
{
    {
        std::lock_guard lock(sourceMutex);
        if (source())
            return source()();
    }
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void Clock::setSource(std::function<double()> s)
{
    std::lock_guard lock(sourceMutex);
    source() = std::move(s);
}

} // namespace velquine
