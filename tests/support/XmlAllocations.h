#pragma once

// Counts the blocks libxml2 hands out while an object of this class lives, so that a test can check that
// the code it runs leaves none of them behind. The parser is set up before counting starts, so its own
// lasting tables are not counted.

#include <libxml/parser.h>
#include <libxml/xmlmemory.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace velquine::testing {

class XmlAllocations {
public:
    XmlAllocations()
    {
        xmlInitParser();
        xmlMemGet(&free_, &malloc_, &realloc_, &strdup_);
        const std::lock_guard lock(mutex());
        live().clear();
        xmlMemSetup(release, allocate, reallocate, duplicate);
    }
    ~XmlAllocations() { xmlMemSetup(free_, malloc_, realloc_, strdup_); }
    XmlAllocations(const XmlAllocations&) = delete;
    XmlAllocations& operator=(const XmlAllocations&) = delete;

    // The blocks handed out since the start and not given back.
    std::size_t leftBehind() const
    {
        const std::lock_guard lock(mutex());
        return live().size();
    }

private:
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::unordered_set<void*>& live()
    {
        static std::unordered_set<void*> blocks;
        return blocks;
    }
    static void* allocate(std::size_t size)
    {
        void* block = std::malloc(size);
        const std::lock_guard lock(mutex());
        live().insert(block);
        return block;
    }
    static void release(void* block)
    {
        {
            const std::lock_guard lock(mutex());
            live().erase(block);
        }
        std::free(block);
    }
    static void* reallocate(void* block, std::size_t size)
    {
        void* moved = std::realloc(block, size);
        if (moved) {
            const std::lock_guard lock(mutex());
            live().erase(block);
            live().insert(moved);
        }
        return moved;
    }
    static char* duplicate(const char* text)
    {
        auto* copy = static_cast<char*>(allocate(std::strlen(text) + 1));
        std::strcpy(copy, text);
        return copy;
    }

    xmlFreeFunc free_ = nullptr;
    xmlMallocFunc malloc_ = nullptr;
    xmlReallocFunc realloc_ = nullptr;
    xmlStrdupFunc strdup_ = nullptr;
};

} // namespace velquine::testing
