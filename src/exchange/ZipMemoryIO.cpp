#include "exchange/ZipMemoryIO.h"

#include <algorithm>
#include <cstring>

namespace velquine::detail {

namespace {

ZipMemoryBuffer& bufferOf(voidpf stream)
{
    return *static_cast<ZipMemoryBuffer*>(stream);
}

voidpf ZCALLBACK openBuffer(voidpf opaque, const void*, int)
{
    auto& buffer = *static_cast<ZipMemoryBuffer*>(opaque);
    buffer.position = 0;
    return opaque;
}

uLong ZCALLBACK readBuffer(voidpf, voidpf stream, void* out, uLong size)
{
    auto& buffer = bufferOf(stream);
    if (buffer.position >= buffer.bytes.size())
        return 0;
    const std::size_t count = std::min<std::size_t>(size, buffer.bytes.size() - buffer.position);
    std::memcpy(out, buffer.bytes.data() + buffer.position, count);
    buffer.position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK writeBuffer(voidpf, voidpf stream, const void* in, uLong size)
{
    auto& buffer = bufferOf(stream);
    const std::size_t end = buffer.position + size;
    if (end > buffer.bytes.size())
        buffer.bytes.resize(end);
    std::memcpy(buffer.bytes.data() + buffer.position, in, size);
    buffer.position = end;
    return size;
}

ZPOS64_T ZCALLBACK tellBuffer(voidpf, voidpf stream)
{
    return bufferOf(stream).position;
}

long ZCALLBACK seekBuffer(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto& buffer = bufferOf(stream);
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = buffer.position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = buffer.bytes.size();
        break;
    default:
        return -1;
    }
    const ZPOS64_T target = base + offset;
    if (target < base || target > buffer.bytes.size())
        return -1;
    buffer.position = static_cast<std::size_t>(target);
    return 0;
}

int ZCALLBACK closeBuffer(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK bufferError(voidpf, voidpf stream)
{
    return bufferOf(stream).failed ? 1 : 0;
}

} // namespace

zlib_filefunc64_def zipMemoryFunctions(ZipMemoryBuffer& buffer)
{
    zlib_filefunc64_def functions{};
    functions.zopen64_file = openBuffer;
    functions.zread_file = readBuffer;
    functions.zwrite_file = writeBuffer;
    functions.ztell64_file = tellBuffer;
    functions.zseek64_file = seekBuffer;
    functions.zclose_file = closeBuffer;
    functions.zerror_file = bufferError;
    functions.opaque = &buffer;
    return functions;
}

} // namespace velquine::detail
