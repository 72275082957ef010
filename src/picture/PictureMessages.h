#pragma once

// What the program and its picture reader say to each other through two pipes: the program writes a request
// (a picture's bytes, what is left of the budget, the box to fit it into), the reader answers with the fitted
// pixels or the reason it refused them. Each message is a frame: its length in eight bytes, then its body.
// Every number is little-endian. The program reads a reply as it would a file from outside: a frame too long
// for what was asked, or pixels that do not match their size, are no reply.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>

#include <cstdint>
#include <optional>
#include <string>

namespace velquine {

struct PictureRequest {
    QByteArray bytes;
    std::int64_t budgetTotal = -1; // none when negative
    std::int64_t budgetLeft = -1;
    double fitWidth = 0;  // the box the picture is fitted into, in points
    double fitHeight = 0;
};

struct PictureReply {
    enum class Outcome : std::uint8_t {
        picture = 0,     // the pixels
        refused = 1,     // refused by a check, with the reason
        none = 2,        // the bytes are no picture
        outOfMemory = 3, // decoding needed more memory than the reader may have
    };
    Outcome outcome = Outcome::none;
    std::string refusal;
    QSize stated;             // the size the picture states; invalid when none
    std::int64_t taken = 0;   // pixels taken from the budget
    QImage bitmap;            // premultiplied 32-bit pixels, fitted into the box
    QSizeF points;
    double processorSeconds = 0; // what reading it took the reader
    std::int64_t grownKB = 0;    // how much the reader's peak resident memory grew while reading it
};

class PictureMessages {
public:
    static constexpr int headerBytes = 8;
    // The longest request body: a picture of up to a gigabyte.
    static constexpr std::uint64_t longestRequest = std::uint64_t(1) << 30;

    // The whole frame of the message.
    static QByteArray frame(const PictureRequest& request);
    static QByteArray frame(const PictureReply& reply);
    // The body length a header states.
    static std::uint64_t bodyLength(const char* header);
    // The longest reply body to a request fitting into the box.
    static std::uint64_t longestReply(double fitWidth, double fitHeight);

    // The message in a frame's body; nothing when the body is not one.
    static std::optional<PictureRequest> request(const QByteArray& body);
    static std::optional<PictureReply> reply(const QByteArray& body, double fitWidth, double fitHeight);
};

} // namespace velquine
