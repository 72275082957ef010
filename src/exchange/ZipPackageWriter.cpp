#include "exchange/ZipPackageWriter.h"

#include "exchange/ZipMemoryIO.h"

#include <zip.h>
#include <zlib.h>

#include <ctime>

namespace velquine {

struct ZipPackageWriter::State {
    detail::ZipMemoryBuffer buffer;
    zipFile zip = nullptr;
};

ZipPackageWriter::ZipPackageWriter()
    : state_(new State)
{
    zlib_filefunc64_def functions = detail::zipMemoryFunctions(state_->buffer);
    state_->zip = zipOpen2_64("package", APPEND_STATUS_CREATE, nullptr, &functions);
    if (!state_->zip) {
        delete state_;
        throw ZipPackageError("The zip package could not be created.");
    }
}

ZipPackageWriter::~ZipPackageWriter()
{
    if (state_->zip)
        zipClose(state_->zip, nullptr);
    delete state_;
}

void ZipPackageWriter::addEntry(const std::string& name, std::string_view contents)
{
    if (!state_->zip)
        throw ZipPackageError("The zip package is already finished.");
    zip_fileinfo info{};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
    info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
    info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
    info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
    info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
    info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    info.external_fa = 0100644u << 16;
    constexpr uLong versionMadeByUnix = (3u << 8) | 20u;
    int result = zipOpenNewFileInZip4_64(state_->zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                         Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                         versionMadeByUnix, 0, 0);
    if (result != ZIP_OK)
        throw ZipPackageError("The entry \"" + name + "\" could not be added to the zip package.");
    std::size_t offset = 0;
    while (result == ZIP_OK && offset < contents.size()) {
        const std::size_t chunk = std::min<std::size_t>(contents.size() - offset, 1u << 20);
        result = zipWriteInFileInZip(state_->zip, contents.data() + offset, static_cast<unsigned>(chunk));
        offset += chunk;
    }
    const int closed = zipCloseFileInZip(state_->zip);
    if (result != ZIP_OK || closed != ZIP_OK)
        throw ZipPackageError("The entry \"" + name + "\" could not be written to the zip package.");
}

std::string ZipPackageWriter::finish()
{
    if (!state_->zip)
        throw ZipPackageError("The zip package is already finished.");
    const int result = zipClose(state_->zip, nullptr);
    state_->zip = nullptr;
    if (result != ZIP_OK)
        throw ZipPackageError("The zip package could not be finished.");
    return std::move(state_->buffer.bytes);
}

} // namespace velquine
