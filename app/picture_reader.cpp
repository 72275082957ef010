// The picture reader's program (PictureReader): it decodes the pictures the editor hands it, bounded by the
// operating system in time and memory, and links the picture library alone.
//
// Its allocator is glibc's, reached through the names glibc exports for it; the functions here only note when
// an allocation fails, so that a picture whose decoding ran out of memory at the reader's bound (RLIMIT_AS) is
// told apart from bytes that are no picture. The sanitizers bring allocators of their own and no such bound.

#include "picture/PictureReader.h"

#include <atomic>
#include <cstddef>

namespace {

std::atomic<bool> failed{false};

bool allocationFailed()
{
    return failed.exchange(false, std::memory_order_relaxed);
}

} // namespace

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)

extern "C" {

void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

static void* noted(void* pointer, std::size_t size)
{
    if (!pointer && size > 0)
        failed.store(true, std::memory_order_relaxed);
    return pointer;
}

void* malloc(std::size_t size)
{
    return noted(__libc_malloc(size), size);
}

void* calloc(std::size_t count, std::size_t size)
{
    return noted(__libc_calloc(count, size), count * size);
}

void* realloc(void* pointer, std::size_t size)
{
    return noted(__libc_realloc(pointer, size), size);
}

void* memalign(std::size_t alignment, std::size_t size)
{
    return noted(__libc_memalign(alignment, size), size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    return noted(__libc_memalign(alignment, size), size);
}

int posix_memalign(void** pointer, std::size_t alignment, std::size_t size)
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return 22; // EINVAL
    void* allocated = noted(__libc_memalign(alignment, size), size);
    if (!allocated && size > 0)
        return 12; // ENOMEM
    *pointer = allocated;
    return 0;
}

} // extern "C"

#endif

int main(int argc, char** argv)
{
    return velquine::PictureReader::run(argc, argv, allocationFailed);
}
