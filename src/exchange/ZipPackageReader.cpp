#include "exchange/ZipPackageReader.h"

#include "exchange/ZipMemoryIO.h"

#include <unzip.h>
#include <zlib.h>

namespace velquine {

namespace {

constexpr int caseInsensitive = 2;

} // namespace

struct ZipPackageReader::State {
    detail::ZipMemoryBuffer buffer;
    unzFile zip = nullptr;
};

ZipPackageReader::ZipPackageReader(std::string bytes)
    : state_(new State)
{
    state_->buffer.bytes = std::move(bytes);
    zlib_filefunc64_def functions = detail::zipMemoryFunctions(state_->buffer);
    state_->zip = unzOpen2_64("package", &functions);
    if (!state_->zip) {
        delete state_;
        throw ZipPackageError("The file is not a zip archive.");
    }
}

ZipPackageReader::~ZipPackageReader()
{
    unzClose(state_->zip);
    delete state_;
}

bool ZipPackageReader::contains(const std::string& name) const
{
    return unzLocateFile(state_->zip, name.c_str(), caseInsensitive) == UNZ_OK;
}

std::string ZipPackageReader::read(const std::string& name, std::size_t maxSize) const
{
    unzFile zip = state_->zip;
    if (unzLocateFile(zip, name.c_str(), caseInsensitive) != UNZ_OK)
        throw ZipPackageError("The package has no entry \"" + name + "\".");
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        throw ZipPackageError("The entry \"" + name + "\" of the package is damaged.");
    if (info.flag & 1u)
        throw ZipPackageError("The entry \"" + name + "\" of the package is encrypted.");
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED)
        throw ZipPackageError("The entry \"" + name + "\" of the package uses an unsupported compression method.");
    if (info.uncompressed_size > maxSize)
        throw ZipPackageError("The entry \"" + name + "\" of the package is too large.");
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        throw ZipPackageError("The entry \"" + name + "\" of the package cannot be opened.");

    std::string contents;
    contents.reserve(static_cast<std::size_t>(info.uncompressed_size));
    char chunk[65536];
    bool tooLarge = false;
    int count = 0;
    while ((count = unzReadCurrentFile(zip, chunk, sizeof chunk)) > 0) {
        if (contents.size() + static_cast<std::size_t>(count) > maxSize) {
            tooLarge = true;
            break;
        }
        contents.append(chunk, static_cast<std::size_t>(count));
    }
    const int closed = unzCloseCurrentFile(zip);
    if (tooLarge)
        throw ZipPackageError("The entry \"" + name + "\" of the package is too large.");
    // A read error, a CRC mismatch or fewer bytes than announced all mean a damaged entry.
    if (count < 0 || closed != UNZ_OK || contents.size() != info.uncompressed_size)
        throw ZipPackageError("The entry \"" + name + "\" of the package is damaged.");
    return contents;
}

} // namespace velquine
