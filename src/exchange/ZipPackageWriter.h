#pragma once

// Writes a zip package (the container of Office Open XML documents) into memory.

#include <stdexcept>
#include <string>
#include <string_view>

namespace velquine {

class ZipPackageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ZipPackageWriter {
public:
    ZipPackageWriter();
    ~ZipPackageWriter();
    ZipPackageWriter(const ZipPackageWriter&) = delete;
    ZipPackageWriter& operator=(const ZipPackageWriter&) = delete;

    // Adds one entry, deflated, dated now, with the permissions rw-r--r--. Throws ZipPackageError.
    void addEntry(const std::string& name, std::string_view contents);

    // Closes the package and returns its bytes. No entry can be added afterwards.
    std::string finish();

private:
    struct State;
    State* state_;
};

} // namespace velquine
