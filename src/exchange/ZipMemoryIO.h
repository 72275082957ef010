#pragma once

// minizip file functions over a byte buffer in memory, so packages are written and read without
// temporary files. Internal to the zip package reader and writer.

#include <cstddef>
#include <string>

#include <ioapi.h>

namespace velquine::detail {

struct ZipMemoryBuffer {
    std::string bytes;
    std::size_t position = 0;
    bool failed = false;
};

// File functions whose every "file" is the given buffer; the buffer must outlive the zip handle.
zlib_filefunc64_def zipMemoryFunctions(ZipMemoryBuffer& buffer);

} // namespace velquine::detail
