// Freed heap memory goes back to the system once the program is idle after work that freed much of it, and memory
// one thread freed serves the allocations of another.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "platform/Heap.h"

namespace {

long residentPages()
{
    long size = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    return resident;
}

} // namespace

TEST(HeapRelease, FreedBlocksBelowOneStillHeldGoBackOnceIdle)
{
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "The sanitizer's allocator stands in for the C library's heap, which this checks";
#endif
    // 64 MB of blocks too small to be mapped on their own, written to, then freed below one block still held:
    // the heap cannot shrink past that one, so the freed pages stay until given back.
    std::vector<char*> blocks;
    for (int i = 0; i < 1024; ++i) {
        blocks.push_back(static_cast<char*>(std::malloc(64 * 1024)));
        std::memset(blocks.back(), 1, 64 * 1024);
    }
    void* held = std::malloc(64);
    for (char* block : blocks)
        std::free(block);
    const long before = residentPages(), freedPages = (64L << 20) / sysconf(_SC_PAGESIZE);
    velquine::releaseFreedMemoryWhenIdle();
    const QDeadlineTimer deadline(10000);
    while (residentPages() >= before - freedPages / 2 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10); // a poll
    }
    EXPECT_LT(residentPages(), before - freedPages / 2);
    std::free(held);
}

namespace {

// A thread's blocks, 32 MB of them, freed: are they reused by the main thread's next 32 MB? Run in a process of
// its own (the arenas threads take are settled as they first allocate). Exits 0 when they are.
[[noreturn]] void reuseAcrossThreads()
{
    velquine::keepLargeBlocksInHeap();
    constexpr int count = 512, size = 64 * 1024;
    std::thread worker([] {
        std::vector<char*> blocks;
        for (int i = 0; i < count; ++i) {
            blocks.push_back(static_cast<char*>(std::malloc(size)));
            std::memset(blocks.back(), 1, size);
        }
        for (char* block : blocks)
            std::free(block);
    });
    worker.join();
    const long before = residentPages();
    std::vector<char*> blocks;
    for (int i = 0; i < count; ++i) {
        blocks.push_back(static_cast<char*>(std::malloc(size)));
        std::memset(blocks.back(), 2, size);
    }
    const long grown = residentPages() - before, pages = long(count) * size / sysconf(_SC_PAGESIZE);
    std::_Exit(grown < pages / 2 ? 0 : 1);
}

} // namespace

TEST(HeapRelease, MemoryAThreadFreedIsReusedByAnother)
{
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "The sanitizer's allocator stands in for the C library's heap, which this checks";
#endif
    // A map read on a worker and shown on the main thread must not keep the read's freed memory apart.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(reuseAcrossThreads(), ::testing::ExitedWithCode(0), "");
}
