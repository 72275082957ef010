#include "picture/PictureChecks.h"

#include <QBuffer>
#include <QImageReader>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velquine {

using namespace std::string_view_literals;

namespace {

std::string number(std::int64_t value)
{
    return QLocale(QLocale::English).toString(qlonglong(value)).toStdString();
}

// Big- and little-endian numbers at a place in the bytes; zero past their end.
std::uint32_t be(std::string_view data, std::size_t at, int length)
{
    std::uint32_t value = 0;
    for (int i = 0; i < length; ++i)
        value = (value << 8) | (at + i < data.size() ? std::uint8_t(data[at + i]) : 0u);
    return value;
}

std::uint32_t le(std::string_view data, std::size_t at, int length)
{
    std::uint32_t value = 0;
    for (int i = length - 1; i >= 0; --i)
        value = (value << 8) | (at + i < data.size() ? std::uint8_t(data[at + i]) : 0u);
    return value;
}

QSize sizeOf(std::int64_t width, std::int64_t height)
{
    constexpr std::int64_t most = std::numeric_limits<int>::max();
    return QSize(int(std::min(width, most)), int(std::min(height, most)));
}

// The statement of a picture of the size and bits, refused when its pixels pass the allocation limit.
PictureStatement sized(QSize size, int bitsPerPixel)
{
    PictureStatement statement;
    statement.size = size;
    statement.refusal = PictureChecks::sizeRefusal(size, bitsPerPixel);
    statement.pixels = statement.refusal.empty() ? PictureChecks::pixelsOf(size, bitsPerPixel) : 0;
    return statement;
}

const std::string_view pngSignature("\x89PNG\r\n\x1a\n", 8);

// ---- PNG ----

// Calls visit(type, length, room) for the chunks of a PNG file in order, room being the bytes of the file after
// the chunk's length and type, until visit answers false or a chunk runs past the end.
template <class Visit>
void forEachPngChunk(std::string_view data, Visit&& visit)
{
    std::size_t at = 8;
    while (at + 8 <= data.size()) {
        const std::uint32_t length = be(data, at, 4);
        const std::size_t room = data.size() - at - 8;
        // The length and the checksum after the data lie within the file, or the walk ends there.
        if (!visit(data.substr(at + 4, 4), length, room) || std::uint64_t(length) + 4 > room)
            return;
        at += 8 + std::size_t(length) + 4;
    }
}

std::string chunkDamage(const char* format, std::string_view type, std::uint32_t length)
{
    return std::string("The ") + format + " picture is damaged: its \u201c" + std::string(type) + "\u201d chunk states "
        + number(length) + " bytes, more than the file holds.";
}

// A PNG file whose chunk other than the image data states more bytes than the file holds is refused: its
// decoder would set memory aside for the length first. Image data cut short still decodes as far as it goes.
PictureStatement inspectPng(std::string_view data)
{
    PictureStatement statement;
    bool imageData = false;
    forEachPngChunk(data, [&](std::string_view type, std::uint32_t length, std::size_t room) {
        if (type == "IEND")
            return false;
        imageData = imageData || type == "IDAT";
        // The resolution counts where the decoder reads it: before the image data.
        if (type == "pHYs" && !imageData)
            statement.statesResolution = true;
        if (std::uint64_t(length) + 4 > room && type != "IDAT")
            statement.refusal = chunkDamage("PNG", type, length);
        return statement.refusal.empty();
    });
    if (!statement.refusal.empty() || be(data, 12, 4) != be("IHDR", 0, 4))
        return statement;
    // Sixteen bits a sample decode to 64-bit pixels, but for grey without alpha (16-bit grey).
    const int depth = std::uint8_t(data.size() > 24 ? data[24] : 0);
    const int colour = std::uint8_t(data.size() > 25 ? data[25] : 0);
    const bool resolution = statement.statesResolution;
    statement = sized(sizeOf(be(data, 16, 4), be(data, 20, 4)), depth == 16 && colour != 0 ? 64 : 32);
    statement.statesResolution = resolution;
    return statement;
}

// ---- JPEG ----

bool isStartOfFrame(std::uint8_t marker)
{
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

// Where the entropy-coded data that starts at `at` ends: at the first marker other than a restart.
std::size_t afterEntropyData(std::string_view data, std::size_t at)
{
    while (at + 1 < data.size()) {
        const void* found = std::memchr(data.data() + at, 0xff, data.size() - at - 1);
        if (!found)
            return data.size();
        at = std::size_t(static_cast<const char*>(found) - data.data());
        const std::uint8_t next = std::uint8_t(data[at + 1]);
        if (next != 0x00 && next != 0xff && !(next >= 0xd0 && next <= 0xd7))
            return at;
        at += next == 0xff ? 1 : 2;
    }
    return data.size();
}

// What a JPEG stream states: the size and components of its frame, and its scans.
struct JpegFrame {
    QSize size;
    int components = 3;
    std::int64_t scans = 0;
};

JpegFrame readJpegFrame(std::string_view data)
{
    JpegFrame frame;
    std::size_t at = 2;
    while (at + 4 <= data.size()) {
        const std::uint8_t marker = std::uint8_t(data[at + 1]);
        if (std::uint8_t(data[at]) != 0xff || marker == 0xff) {
            ++at; // fill bytes, or bytes between segments the decoder skips
            continue;
        }
        if (marker == 0xd9)
            break;
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
            at += 2;
            continue;
        }
        const std::size_t end = at + 2 + be(data, at + 2, 2);
        if (isStartOfFrame(marker) && !frame.size.isValid() && at + 10 <= data.size()) {
            frame.size = sizeOf(be(data, at + 7, 2), be(data, at + 5, 2));
            frame.components = std::uint8_t(data[at + 9]);
        }
        if (marker == 0xda) {
            ++frame.scans;
            at = afterEntropyData(data, end);
        } else {
            at = end;
        }
    }
    return frame;
}

// A progressive JPEG is decoded once for each scan over the whole of the picture it belongs to (a scan of few
// bytes, such as one that codes nothing, costs as much as any, and a scan costs a few thousand pixels' work
// however small the picture), so its scans times its pixels are bounded.
std::string scanRefusal(const std::string& subject, std::int64_t scans, std::int64_t pixelsPerScan)
{
    pixelsPerScan = std::max<std::int64_t>(pixelsPerScan, 4096);
    if (scans <= PictureChecks::maximumScanPixels / pixelsPerScan)
        return {};
    return subject + " drawn in " + number(scans) + " scans of " + millionsOf(pixelsPerScan)
        + " pixels; Velquine reads JPEG pictures of up to " + millionsOf(PictureChecks::maximumScanPixels)
        + " pixels in all their scans together.";
}

PictureStatement inspectJpeg(std::string_view data)
{
    const JpegFrame frame = readJpegFrame(data);
    const QSize size = frame.size;
    PictureStatement statement = sized(size, frame.components == 1 ? 8 : 32);
    if (!statement.refusal.empty() || !size.isValid())
        return statement;
    if (std::max(size.width(), size.height()) > 65500)
        statement.refusal = "The picture has " + number(size.width()) + " × " + number(size.height())
            + " pixels; Velquine reads JPEG pictures of up to 65,500 pixels a side.";
    else
        statement.refusal = scanRefusal("The JPEG picture is", frame.scans, std::int64_t(size.width()) * size.height());
    return statement;
}

// ---- MNG ----

// The pixels one picture may have: the image reader's allocation limit, in 32-bit pixels (none when lifted).
std::int64_t readablePixels()
{
    const int megabytes = QImageReader::allocationLimit();
    return megabytes <= 0 ? std::numeric_limits<std::int64_t>::max() : (std::int64_t(megabytes) << 20) / 4;
}

// What an MNG animation sets out as it is read, chunk by chunk. It is made of PNG chunks: its frame's size
// (MHDR), and pictures of sizes of their own (IHDR for a PNG one; JHDR for a JNG one, whose JPEG stream comes in
// JDAT chunks; BASI for one of a single colour; DHDR changing one read before) that its decoder sets out whole.
// The decoder keeps a copy of each to play the animation again, whether it draws it into the frame or keeps it
// hidden to show later (an object DEFI defines), and of each full copy CLON makes: so each picture's size is
// bounded as a picture's on its own, and the frame and all pictures together as one picture's. MAGN magnifies
// pictures read before and after it (up to 65,535 times a side), setting them out again: once an animation
// magnifies any, all its pictures count as magnified by the most it states, in its loops too. Every chunk lies
// within the file (the decoder sets memory aside for each first), and a JNG picture's scans are bounded as a
// JPEG's.
//
// The decoder plays the animation's loops (LOOP … ENDL) as it reads them, until its first frame shows: when a
// second layer is drawn after a delay above zero (a picture drawn is a layer, or with FRAM's framing modes 2 and 4
// the frame a FRAM chunk ends). A loop that draws nothing is played through, however many passes it states
// (2,147,483,647 never end), nested loops multiplying theirs; one that draws ends within two passes. So the work
// of the loops played before the first frame is bounded, in pixels set out: each picture's own (at least 4,096:
// its decoder takes about a microsecond for one of any size) and 64 for each other chunk of a pass.
class MngReading {
public:
    // Reads the chunk; false once the animation is refused or ends.
    bool read(std::string_view type, std::string_view body);
    PictureStatement finish();
    void refuse(const std::string& reason)
    {
        if (statement_.refusal.empty())
            statement_.refusal = reason;
    }

private:
    // An object the animation's pictures are read into: its pixels, and whether it is drawn.
    struct Object {
        std::int64_t pixels = 0;
        bool hidden = false;
    };
    // A loop being read: its level, its passes, and in one pass the work done and the layers drawn.
    struct Loop {
        int level;
        std::int64_t passes;
        std::int64_t work = 0;
        std::int64_t layers = 0;
    };
    static constexpr std::int64_t chunkWork = 64;
    static constexpr std::int64_t pictureWork = 4096;
    void picture(std::string_view type, std::string_view body);
    void frame(std::string_view body);
    void layer();
    void endLoop(int level);
    void close(std::int64_t passes);
    void checkLoops();
    void work(std::int64_t pixels);
    void define(std::string_view body);
    void copy(std::string_view body);
    void magnify(std::string_view body);
    void checkJpeg();
    void setOut(std::int64_t pixels) { pictures_ = std::min(pictures_ + pixels, std::int64_t(1) << 62); }

    PictureStatement statement_;
    std::int64_t framePixels_ = 0;
    std::int64_t pictures_ = 0;            // the pixels of all pictures together
    std::int64_t magnified_ = 1;           // the most MAGN magnifies a picture's pixels by
    std::unordered_map<int, Object> objects_;
    int object_ = 0;                       // the object DEFI names for the pictures that follow
    QSize picture_;                        // of the picture being read
    int pictureObject_ = 0;                // the object it is read into
    bool viewable_ = false;                // whether it is drawn once read, when its object is not hidden
    std::string jpeg_;                     // its JPEG stream, for a JNG picture
    std::vector<Loop> loops_;              // open, the innermost last
    std::array<int, 256> openAtLevel_{};   // how many of them are open at each level
    std::int64_t loopWork_ = 0;            // of the loops closed outside all others
    std::int64_t layers_ = 0;              // drawn outside all loops; the first frame shows at the second
    int framing_ = 1;                      // FRAM's framing mode
    std::int64_t delay_ = 1;               // the delay before the next frame, in ticks
};

// Work counted up to just past the bound.
std::int64_t plusWork(std::int64_t a, std::int64_t b)
{
    return std::min(a + b, PictureChecks::maximumLoopPixels + 1);
}

std::int64_t timesWork(std::int64_t work, std::int64_t passes)
{
    constexpr std::int64_t most = PictureChecks::maximumLoopPixels + 1;
    return passes > 0 && work > most / passes ? most : std::min(work * passes, most);
}

void MngReading::work(std::int64_t pixels)
{
    if (!loops_.empty())
        loops_.back().work = plusWork(loops_.back().work, pixels);
}

// A layer drawn after a delay above zero: the second one shows the first frame.
void MngReading::layer()
{
    if (delay_ <= 0)
        return;
    std::int64_t& layers = loops_.empty() ? layers_ : loops_.back().layers;
    layers = std::min<std::int64_t>(layers + 1, 2);
}

// FRAM may change the framing mode (its first byte; 0 keeps it) and, after the subframe's name and the byte
// that says so, the delay. In modes 2 and 4 the frame ends at FRAM rather than at each layer.
void MngReading::frame(std::string_view body)
{
    const int mode = body.empty() || body[0] == 0 ? framing_ : std::uint8_t(body[0]);
    if ((framing_ == 2 || framing_ == 4) && mode != 1 && mode != 3)
        layer();
    framing_ = mode;
    const std::size_t name = body.find('\0', 1);
    if (body.size() > 1 && name != std::string_view::npos && be(body, name + 1, 1) != 0)
        delay_ = be(body, name + 5, 4);
}

// The innermost loop closes after its passes: one that draws a layer ends within two.
void MngReading::close(std::int64_t passes)
{
    const Loop loop = loops_.back();
    loops_.pop_back();
    --openAtLevel_[std::size_t(loop.level)];
    if (loop.layers > 0)
        passes = std::min<std::int64_t>(passes, 2);
    const std::int64_t work = timesWork(loop.work, passes);
    const std::int64_t layers = std::min<std::int64_t>(loop.layers * passes, 2);
    if (loops_.empty()) {
        loopWork_ = plusWork(loopWork_, work);
        layers_ = std::min<std::int64_t>(layers_ + layers, 2);
    } else {
        loops_.back().work = plusWork(loops_.back().work, work);
        loops_.back().layers = std::min<std::int64_t>(loops_.back().layers + layers, 2);
    }
    checkLoops();
}

void MngReading::checkLoops()
{
    if (timesWork(loopWork_, magnified_) > PictureChecks::maximumLoopPixels)
        refuse("The MNG picture's loops set out more than " + millionsOf(PictureChecks::maximumLoopPixels)
               + " pixels before its first frame shows; Velquine reads MNG pictures whose loops set out up to that "
                 "many.");
}

// ENDL ends the innermost loop of its level; the loops inside it that have not ended are passed once. (An ENDL
// of a level none is open at is passed over at once: the walk never looks through the open loops for nothing.)
void MngReading::endLoop(int level)
{
    if (openAtLevel_[std::size_t(level)] == 0)
        return;
    const auto open
        = std::find_if(loops_.rbegin(), loops_.rend(), [&](const Loop& loop) { return loop.level == level; });
    if (open == loops_.rend())
        return;
    const std::size_t remaining = std::size_t(loops_.rend() - open) - 1;
    while (loops_.size() > remaining + 1)
        close(1);
    close(loops_.back().passes);
}

void MngReading::checkJpeg()
{
    if (!jpeg_.empty())
        refuse(scanRefusal("The MNG picture's JPEG picture is", readJpegFrame(jpeg_).scans,
                           std::int64_t(picture_.width()) * picture_.height()));
    jpeg_.clear();
}

void MngReading::picture(std::string_view type, std::string_view body)
{
    checkJpeg();
    const int object = type == "DHDR" ? int(be(body, 0, 2)) : object_;
    pictureObject_ = object;
    // A BASI picture is drawn when it says so.
    viewable_ = type != "BASI" || be(body, 21, 1) != 0;
    std::int64_t pixels = objects_[object].pixels; // a change to a picture read before sets it out again
    if (type != "DHDR") {
        // Sixteen bits a sample set out 64-bit pixels, but for grey (JHDR states its colour where IHDR and BASI
        // state their depth).
        const bool deep = type != "JHDR" && be(body, 8, 1) == 16 && be(body, 9, 1) != 0;
        picture_ = sizeOf(be(body, 0, 4), be(body, 4, 4));
        refuse(PictureChecks::sizeRefusal(picture_, deep ? 64 : 32));
        pixels = objects_[object].pixels = PictureChecks::pixelsOf(picture_, deep ? 64 : 32);
    }
    setOut(pixels);
    work(std::max(pixels, pictureWork));
}

// DEFI names the object the pictures after it are read into, and may hide it.
void MngReading::define(std::string_view body)
{
    object_ = int(be(body, 0, 2));
    Object& object = objects_[object_];
    if (body.size() >= 3)
        object.hidden = body[2] == 1;
}

// CLON makes an object of another: a full copy (clone type 0, when none is stated) sets its pixels out again.
void MngReading::copy(std::string_view body)
{
    const Object source = objects_[int(be(body, 0, 2))];
    Object& clone = objects_[int(be(body, 2, 2))];
    clone = source;
    if (body.size() >= 6)
        clone.hidden = body[5] == 1;
    if (body.size() < 5 || body[4] == 0) {
        setOut(source.pixels);
        work(std::max(source.pixels, pictureWork));
    }
}

// What MAGN magnifies a picture's pixels by at most, read in one layout: after the objects' ids, the method for
// the width (`method` bytes long, 0 for none), the factors for the inside of each side, the edges' factors (each,
// when not stated, as the inside's) and the method for the height (when not stated, as the width's).
std::int64_t magnification(std::string_view body, int method)
{
    const std::size_t at = 4 + std::size_t(method);
    const auto factor = [&](std::size_t place, std::uint32_t otherwise) {
        return body.size() >= at + place + 2 ? be(body, at + place, 2) : otherwise;
    };
    const std::uint32_t methodX = be(body, 4, method) & 0xff;
    const std::uint32_t methodY = body.size() >= at + 12 + method ? be(body, at + 12, method) & 0xff : methodX;
    const std::uint32_t x = factor(0, 1);
    const std::uint32_t y = factor(2, x);
    const std::int64_t width = methodX == 0 ? 1 : std::max({x, factor(4, x), factor(6, x)});
    const std::int64_t height = methodY == 0 ? 1 : std::max({y, factor(8, y), factor(10, y)});
    return width * height;
}

// libmng reads MAGN with methods of one byte, or of two as some writers wrote them, by its length and fields: the
// larger of the two readings counts. Played in a loop, it sets the pictures out magnified at each pass.
void MngReading::magnify(std::string_view body)
{
    const std::int64_t factor = std::max(magnification(body, 1), magnification(body, 2));
    magnified_ = std::max(magnified_, factor);
    work(std::max(timesWork(pictures_, factor), pictureWork));
}

bool MngReading::read(std::string_view type, std::string_view body)
{
    // Loops count until the first frame shows.
    const bool beforeFrame = layers_ < 2;
    if (beforeFrame)
        work(chunkWork);
    if (type == "MHDR") {
        const PictureStatement frame = sized(sizeOf(be(body, 0, 4), be(body, 4, 4)), 32);
        refuse(frame.refusal);
        statement_.size = frame.size;
        framePixels_ = frame.pixels;
    } else if (type == "IHDR" || type == "JHDR" || type == "BASI" || type == "DHDR") {
        picture(type, body);
    } else if (type == "JDAT") {
        jpeg_.append(body);
    } else if (type == "IEND") {
        checkJpeg();
        if (viewable_ && !objects_[pictureObject_].hidden && (framing_ == 1 || framing_ == 3))
            layer();
        viewable_ = false;
    } else if (type == "FRAM") {
        frame(body);
    } else if (type == "LOOP" && beforeFrame) {
        loops_.push_back({int(be(body, 0, 1)), std::int64_t(be(body, 1, 4))});
        ++openAtLevel_[std::size_t(loops_.back().level)];
    } else if (type == "ENDL") {
        endLoop(int(be(body, 0, 1)));
    } else if (type == "DEFI") {
        define(body);
    } else if (type == "CLON") {
        copy(body);
    } else if (type == "MAGN") {
        magnify(body);
    } else if (type == "MEND") {
        return false;
    }
    return statement_.refusal.empty();
}

PictureStatement MngReading::finish()
{
    checkJpeg();
    checkLoops();
    constexpr std::int64_t most = std::int64_t(1) << 62;
    const std::int64_t pixels = framePixels_ + (pictures_ > most / magnified_ ? most : pictures_ * magnified_);
    if (pixels > readablePixels())
        refuse("The MNG picture sets out " + millionsOf(pixels) + " pixels in its frame and pictures together; "
               "Velquine reads pictures of up to " + millionsOf(readablePixels()) + " pixels.");
    statement_.pixels = statement_.refusal.empty() ? pixels : 0;
    return statement_;
}

PictureStatement inspectMng(std::string_view data)
{
    MngReading reading;
    forEachPngChunk(data, [&](std::string_view type, std::uint32_t length, std::size_t room) {
        if (std::uint64_t(length) + 4 > room) {
            reading.refuse(chunkDamage("MNG", type, length));
            return false;
        }
        return reading.read(type, data.substr(std::size_t(type.data() - data.data()) + 4, length));
    });
    return reading.finish();
}

// ---- BMP, PPM ----

PictureStatement inspectBmp(std::string_view data)
{
    const std::uint32_t header = le(data, 14, 4);
    if (header == 12)
        return sized(sizeOf(le(data, 18, 2), le(data, 20, 2)), 32);
    const std::int64_t width = std::int32_t(le(data, 18, 4));
    const std::int64_t height = std::int32_t(le(data, 22, 4));
    if (header < 16 || width <= 0 || height == 0)
        return {};
    return sized(sizeOf(width, height < 0 ? -height : height), 32);
}

// The width and height after "P1" to "P6", past white space and comments.
PictureStatement inspectPortableMap(std::string_view data)
{
    std::size_t at = 2;
    std::int64_t sides[2] = {0, 0};
    for (std::int64_t& side : sides) {
        while (at < data.size() && (std::isspace(std::uint8_t(data[at])) || data[at] == '#')) {
            if (data[at] == '#')
                at = std::min(data.find('\n', at), data.size());
            else
                ++at;
        }
        if (at >= data.size() || !std::isdigit(std::uint8_t(data[at])))
            return {};
        for (; at < data.size() && std::isdigit(std::uint8_t(data[at])) && side < (std::int64_t(1) << 40); ++at)
            side = side * 10 + (data[at] - '0');
    }
    return sized(sizeOf(sides[0], sides[1]), 32);
}

// ---- XPM ----

// An XPM picture is text, each pixel written as a few characters (up to 15) that its reader looks up: the
// characters its pixels take are bounded with the pixels. Its header is the first quoted text, whose numbers
// the reader reads as scanf does: after any white space, with a sign.
PictureStatement inspectPixmapText(std::string_view data)
{
    const std::size_t quote = data.find('"');
    if (quote == std::string_view::npos)
        return {};
    std::int64_t numbers[4] = {0, 0, 0, 0};
    std::size_t at = quote + 1;
    for (std::int64_t& number : numbers) {
        while (at < data.size() && (std::isspace(std::uint8_t(data[at])) || data[at] == '+'))
            ++at;
        for (; at < data.size() && std::isdigit(std::uint8_t(data[at])) && number < (std::int64_t(1) << 40); ++at)
            number = number * 10 + (data[at] - '0');
    }
    PictureStatement statement = sized(sizeOf(numbers[0], numbers[1]), 32);
    if (!statement.refusal.empty())
        return statement;
    // Within the size bound the pixels are at most 2^25, and the characters of each at most 15 for the reader.
    const std::int64_t characters = numbers[0] * numbers[1] * std::clamp<std::int64_t>(numbers[3], 1, 1 << 20);
    if (characters > PictureChecks::maximumPixmapTextCharacters)
        statement.refusal = "The XPM picture has " + number(numbers[0]) + " × " + number(numbers[1])
            + " pixels of " + number(numbers[3]) + " characters each; Velquine reads XPM pictures of up to "
            + millionsOf(PictureChecks::maximumPixmapTextCharacters) + " characters.";
    return statement;
}

// ---- GIF ----

// The GIF decoder draws each frame onto a picture of its logical screen, set out before the first frame is
// read; a frame larger than the screen is set out whole to be read. The larger of the two on each side counts.
PictureStatement inspectGif(std::string_view data)
{
    const std::uint32_t flags = be(data, 10, 1);
    std::size_t at = 13 + ((flags & 0x80) ? std::size_t(3) << ((flags & 7) + 1) : 0); // after the colour table
    // Extensions before the first frame: their label, then blocks of data up to an empty one.
    while (at < data.size() && data[at] == '\x21') {
        for (at += 2; at < data.size() && data[at] != 0;)
            at += 1 + std::size_t(std::uint8_t(data[at]));
        ++at;
    }
    const bool frame = at < data.size() && data[at] == '\x2c';
    const std::int64_t width = frame ? le(data, at + 5, 2) : 0;
    const std::int64_t height = frame ? le(data, at + 7, 2) : 0;
    return sized(sizeOf(std::max<std::int64_t>(le(data, 6, 2), width), std::max<std::int64_t>(le(data, 8, 2), height)),
                 32);
}

// ---- TIFF ----

// The first directory of a TIFF file, as far as the checks read it.
struct TiffDirectory {
    // A list of numbers in the file: where it starts, how many, and the bytes of each.
    struct Numbers {
        std::size_t at = 0;
        std::size_t count = 0;
        int size = 4;
        const char* name = "";
    };
    std::int64_t width = 0, height = 0, rowsPerStrip = 0, tileWidth = 0, tileHeight = 0;
    int bits = 8, samples = 1, compression = 1;
    bool resolution = false;
    Numbers offsets, byteCounts; // of its strips or tiles
};

TiffDirectory readTiffDirectory(std::string_view data, const std::function<std::uint32_t(std::size_t, int)>& field)
{
    TiffDirectory read;
    const std::size_t directory = field(4, 4);
    const std::size_t count = directory + 2 <= data.size() ? field(directory, 2) : 0;
    for (std::size_t i = 0; i < count && directory + 14 + i * 12 <= data.size(); ++i) {
        const std::size_t entry = directory + 2 + i * 12;
        const std::uint32_t tag = field(entry, 2);
        const int size = field(entry + 2, 2) == 3 ? 2 : 4;
        const std::size_t values = field(entry + 4, 4);
        const std::uint32_t value = field(entry + 8, size);
        TiffDirectory::Numbers numbers{values * size <= 4 ? entry + 8 : field(entry + 8, 4), values, size};
        switch (tag) {
        case 256: read.width = value; break;
        case 257: read.height = value; break;
        case 258: read.bits = int(field(numbers.at, 2)); break;
        case 259: read.compression = int(value); break;
        case 273: case 324:
            numbers.name = tag == 273 ? "strip offsets" : "tile offsets";
            read.offsets = numbers;
            break;
        case 277: read.samples = int(value); break;
        case 278: read.rowsPerStrip = value; break;
        case 279: case 325:
            numbers.name = tag == 279 ? "strip byte counts" : "tile byte counts";
            read.byteCounts = numbers;
            break;
        case 282: read.resolution = true; break;
        case 322: read.tileWidth = value; break;
        case 323: read.tileHeight = value; break;
        }
    }
    return read;
}

// The reader reads each strip (or tile) whole, where its offset and length say: lists of offsets and lengths
// that run past the file's end, and strips that state more bytes together than the file holds (strips
// overlapping, read again and again), are refused as damaged, and strips of JPEG data have their scans bounded
// as a JPEG picture's are. The walk over the strips is thus never longer than the file.
std::string tiffPartsRefusal(std::string_view data, const TiffDirectory& read,
                             const std::function<std::uint32_t(std::size_t, int)>& field)
{
    for (const TiffDirectory::Numbers& list : {read.offsets, read.byteCounts})
        if (list.at + list.count * list.size > data.size())
            return "The TIFF picture is damaged: its list of " + std::string(list.name) + " states "
                + number(std::int64_t(list.count)) + " entries, more than the file holds.";
    const std::size_t parts = std::min(read.offsets.count, read.byteCounts.count);
    std::uint64_t stated = 0;
    std::int64_t scans = 0;
    for (std::size_t i = 0; i < parts; ++i) {
        const std::uint64_t offset = field(read.offsets.at + i * read.offsets.size, read.offsets.size);
        const std::uint64_t length = field(read.byteCounts.at + i * read.byteCounts.size, read.byteCounts.size);
        stated += length;
        if (stated > data.size())
            return "The TIFF picture is damaged: its parts state more bytes together than the file's "
                + number(std::int64_t(data.size())) + ".";
        if ((read.compression == 6 || read.compression == 7) && offset + length <= data.size())
            scans += readJpegFrame(data.substr(offset, length)).scans;
    }
    // A tile (of at most 65,536 pixels a side, as a JPEG stream may have) or a strip of whole rows.
    const std::int64_t side = 65536;
    const std::int64_t partPixels = read.tileWidth > 0
        ? std::min(read.tileWidth, side) * std::min(read.tileHeight, side)
        : read.width * (read.rowsPerStrip > 0 ? std::min(read.rowsPerStrip, read.height) : read.height);
    return scanRefusal("The TIFF picture's JPEG parts are", scans, partPixels);
}

// The first directory's size, bits, parts and resolution. Samples of 16 bits decode to 64-bit pixels, of 32
// bits to 128-bit ones, but for a single sample (grey).
PictureStatement inspectTiff(std::string_view data)
{
    const bool little = data[0] == 'I';
    const std::function<std::uint32_t(std::size_t, int)> field = [&](std::size_t at, int length) {
        return little ? le(data, at, length) : be(data, at, length);
    };
    const TiffDirectory read = readTiffDirectory(data, field);
    if (read.width <= 0 || read.height <= 0)
        return {};
    PictureStatement statement = sized(sizeOf(read.width, read.height),
                                       read.samples > 1 && read.bits > 8 ? std::min(read.bits, 32) * 4 : 32);
    statement.statesResolution = read.resolution;
    if (statement.refusal.empty())
        statement.refusal = tiffPartsRefusal(data, read, field);
    return statement;
}

// ---- Containers ----

std::string damaged(const char* format, const std::string& part, std::uint64_t bytes)
{
    return std::string("The ") + format + " picture is damaged: " + part + " states " + number(std::int64_t(bytes))
        + " bytes, more than the file holds.";
}

// The image reader decodes the first picture of an ICO or CUR file; a PNG one goes through the PNG checks.
PictureStatement inspectIcon(std::string_view data, const char* format)
{
    if (data.size() < 22)
        return {};
    const std::uint64_t offset = le(data, 18, 4);
    const std::uint64_t length = le(data, 14, 4);
    if (offset + length > data.size()) {
        PictureStatement statement;
        statement.refusal = damaged(format, "its first picture", length);
        return statement;
    }
    const std::string_view entry = data.substr(offset, length);
    if (entry.starts_with(pngSignature))
        return inspectPng(entry);
    const int width = std::uint8_t(data[6]);
    const int height = std::uint8_t(data[7]);
    return sized(QSize(width ? width : 256, height ? height : 256), 32);
}

// An ICNS icon's parts follow one another, each with its type and length; its PNG parts go through the PNG
// checks, and the largest counts.
PictureStatement inspectAppleIcon(std::string_view data)
{
    PictureStatement largest;
    for (std::size_t at = 8; at + 8 <= data.size();) {
        const std::uint64_t length = be(data, at + 4, 4);
        const std::string type(data.substr(at, 4));
        if (length < 8 || at + length > data.size()) {
            largest.refusal = damaged("ICNS", "its \u201c" + type + "\u201d part", length);
            return largest;
        }
        const std::string_view part = data.substr(at + 8, length - 8);
        if (part.starts_with(pngSignature)) {
            PictureStatement statement = inspectPng(part);
            if (!statement.refusal.empty())
                return statement;
            if (statement.pixels > largest.pixels)
                largest = statement;
        }
        at += length;
    }
    return largest;
}

QByteArray readerFormat(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader::imageFormat(&buffer);
}

} // namespace

std::string millionsOf(std::int64_t count)
{
    if (count < 1000000)
        return number(count);
    return number(count / 1000000) + " million";
}

std::int64_t PictureChecks::pixelsOf(QSize size, int bitsPerPixel)
{
    return size.isValid() ? std::int64_t(size.width()) * size.height() * std::max(bitsPerPixel, 32) / 32 : 0;
}

std::string PictureChecks::sizeRefusal(QSize size, int bitsPerPixel)
{
    const int megabytes = QImageReader::allocationLimit();
    if (!size.isValid() || megabytes <= 0)
        return {};
    bitsPerPixel = std::max(bitsPerPixel, 32);
    // As the image reader counts: whole lines of 32-bit words.
    const std::int64_t line = (std::int64_t(size.width()) * bitsPerPixel + 31) / 32 * 4;
    const std::int64_t limit = std::int64_t(megabytes) << 20;
    if (line == 0 || size.height() <= limit / line)
        return {};
    const std::string pixels = number(size.width()) + " × " + number(size.height()) + " pixels";
    if (bitsPerPixel == 32)
        return "The picture has " + pixels + "; Velquine reads pictures of up to " + millionsOf(limit / 4) + " pixels.";
    return "The picture has " + pixels + " of " + std::to_string(bitsPerPixel)
        + " bits; Velquine reads such pictures of up to " + millionsOf(limit * 8 / bitsPerPixel) + " pixels.";
}

PictureStatement PictureChecks::inspect(const QByteArray& bytes)
{
    const std::string_view data(bytes.constData(), std::size_t(bytes.size()));
    if (data.starts_with(pngSignature))
        return inspectPng(data);
    // The JPEG decoder takes a file that starts with the start-of-image marker, and skips any bytes before the
    // next marker.
    if (data.starts_with("\xff\xd8"))
        return inspectJpeg(data);
    if (data.starts_with("\x8aMNG\r\n\x1a\n") || data.starts_with("\x8bJNG\r\n\x1a\n"))
        return inspectMng(data);
    if (data.starts_with("GIF87a") || data.starts_with("GIF89a"))
        return inspectGif(data);
    if (data.starts_with("BM") && data.size() >= 26)
        return inspectBmp(data);
    if (data.size() > 3 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6' && std::isspace(std::uint8_t(data[2])))
        return inspectPortableMap(data);
    if (data.size() >= 8 && (data.starts_with("II*\0"sv) || data.starts_with("MM\0*"sv)))
        return inspectTiff(data);
    if (data.starts_with("icns"))
        return inspectAppleIcon(data);
    if (data.starts_with("/* XPM"))
        return inspectPixmapText(data);
    // An icon directory: no reserved bits, type 1 (ICO) or 2 (CUR), at least one picture; the first bytes of some
    // TGA files read the same, so the image reader's choice decides.
    if (data.size() >= 6 && le(data, 0, 2) == 0 && (le(data, 2, 2) == 1 || le(data, 2, 2) == 2) && le(data, 4, 2) > 0) {
        const QByteArray format = readerFormat(bytes);
        if (format == "ico" || format == "cur")
            return inspectIcon(data, format == "ico" ? "ICO" : "CUR");
    }
    return {};
}

} // namespace velquine
