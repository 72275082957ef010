#pragma once

// Reads entries of a zip package held in memory. The input is treated as hostile: an entry is read
// only up to a size limit, encrypted or unknown compression is refused, and a damaged entry (bad
// CRC, truncated data) is an error, never a partial result.

#include <cstddef>
#include <string>

#include "exchange/ZipPackageWriter.h"

namespace velquine {

class ZipPackageReader {
public:
    // Throws ZipPackageError when the bytes are no zip archive.
    explicit ZipPackageReader(std::string bytes);
    ~ZipPackageReader();
    ZipPackageReader(const ZipPackageReader&) = delete;
    ZipPackageReader& operator=(const ZipPackageReader&) = delete;

    // Entry names are compared without case, as package part names are.
    bool contains(const std::string& name) const;

    // The whole entry. Throws ZipPackageError when it is missing, encrypted, damaged or larger
    // than maxSize bytes once decompressed.
    std::string read(const std::string& name, std::size_t maxSize) const;

private:
    struct State;
    State* state_;
};

} // namespace velquine
