// SVG node images drawn from their own bytes: what they name outside themselves is never opened.

#include "platform/Image.h"
#include "picture/SvgImageData.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <csignal>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include "support/TempFiles.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

// A 40 × 40 white image with an 20 × 20 picture laid over it at (10, 10), named by the address.
std::string svgNaming(const std::string& address)
{
    return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"40\" height=\"40\">"
           "<rect width=\"40\" height=\"40\" fill=\"white\"/>"
           "<image x=\"10\" y=\"10\" width=\"20\" height=\"20\" xlink:href=\"" + address + "\"/></svg>";
}

Image::Data bytesOf(const std::string& text)
{
    return Image::Data(text.begin(), text.end());
}

QByteArray pngOf(QColor colour)
{
    QImage picture(20, 20, QImage::Format_ARGB32);
    picture.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return png;
}

// How many pixels of the decoded image are near the colour; -1 when nothing was decoded.
int pixelsOf(const std::optional<Image>& image, QColor colour)
{
    if (!image)
        return -1;
    const QImage bitmap = image->bitmap().convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const QColor pixel = bitmap.pixelColor(x, y);
            count += std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
                        + std::abs(pixel.blue() - colour.blue()) < 30 ? 1 : 0;
        }
    return count;
}

// Decodes the bytes in a child process, which may take 10 s at most; 0 when it ended by itself within them.
int decodesInTime(const Image::Data& data, const std::function<void()>& prepare = {})
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (prepare)
            prepare();
        ::alarm(10);
        (void)Image::fromData(data);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string gzipped(const std::string& text)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, uLong(text.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = uInt(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

} // namespace

// A pipe, /dev/stdin held open by a writer, a readable picture of the user's, a file: address: none is opened.
// An embedded picture is drawn; an embedded SVG picture, which could name files of its own, is not.
TEST(SvgImageData, AnSvgImageDrawsFromItsOwnBytesAlone)
{
    Folder folder;
    const std::string fifo = folder / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(decodesInTime(bytesOf(svgNaming(fifo))), 0) << "a pipe nobody writes to";
    EXPECT_EQ(decodesInTime(bytesOf(svgNaming("/dev/stdin")), [] {
                  int ends[2];
                  if (::pipe(ends) == 0)
                      ::dup2(ends[0], STDIN_FILENO); // the writing end stays open: a read waits for ever
              }),
              0)
        << "/dev/stdin with a writer";

    const std::string photo = folder / "photo.png";
    const QByteArray red = pngOf(Qt::red);
    writeBytes(photo, red.toStdString());
    const QColor redColour(Qt::red);
    for (const std::string& address : {photo, "file://" + photo}) {
        const std::optional<Image> drawn = Image::fromData(bytesOf(svgNaming(address)));
        ASSERT_TRUE(drawn) << address;
        EXPECT_EQ(drawn->pixelsWide(), 40);
        EXPECT_EQ(pixelsOf(drawn, redColour), 0) << address;
        EXPECT_EQ(pixelsOf(drawn, Qt::white), 40 * 40) << address;
    }
    const std::optional<Image> compressed = Image::fromData(bytesOf(gzipped(svgNaming(photo))));
    EXPECT_EQ(pixelsOf(compressed, redColour), 0) << "compressed";
    EXPECT_EQ(pixelsOf(compressed, Qt::white), 40 * 40) << "compressed";

    const std::string embedded = "data:image/png;base64," + pngOf(Qt::green).toBase64().toStdString();
    EXPECT_GT(pixelsOf(Image::fromData(bytesOf(svgNaming(embedded))), Qt::green), 300);
    const std::string nested = "data:image/svg+xml;base64," + QByteArray::fromStdString(svgNaming(photo)).toBase64().toStdString();
    EXPECT_EQ(pixelsOf(Image::fromData(bytesOf(svgNaming(nested))), redColour), 0) << "nested";

    // References into the image itself stay, and so does a style sheet that imports nothing.
    const std::string inner = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                              "width=\"40\" height=\"40\"><style>.b { fill: blue; }</style><defs><rect id=\"r\" "
                              "class=\"b\" width=\"40\" height=\"40\"/></defs><use xlink:href=\"#r\"/></svg>";
    EXPECT_EQ(pixelsOf(Image::fromData(bytesOf(inner)), Qt::blue), 40 * 40);
    const std::optional<QByteArray> rewritten = SvgImageData::selfContained(QByteArray::fromStdString(svgNaming(photo)));
    ASSERT_TRUE(rewritten);
    EXPECT_FALSE(rewritten->contains("photo.png")) << rewritten->toStdString();
    EXPECT_TRUE(SvgImageData::isSvg(*rewritten));
}
