#pragma once

// A node's picture, shared by the copies of a node and changed by none of them.
//
// A picture comes into a map as bytes (a map's file, a paste) that the picture reader decodes apart from the
// editor (PictureReading). Until it has, and for good when it could not (a picture beyond the reader's bounds,
// bytes that are no picture), the node keeps the bytes untouched and shows no picture: a save and a copy write
// them back as they came, so no picture is lost because this program could not read it. A picture read, or set
// from an image, is shown and written as its image.

#include <memory>
#include <optional>
#include <string>

#include "platform/Base64.h"
#include "platform/Image.h"

namespace velquine {

class NodePicture {
public:
    enum class State : std::uint8_t {
        shown,     // the image
        beingRead, // the bytes, handed to the reader
        notShown,  // the bytes, which the reader could not make into a picture (reason says why)
    };

    explicit NodePicture(Image image) : state_(State::shown), image_(std::move(image)) { }
    NodePicture(std::shared_ptr<const Bytes> bytes, State state, std::string reason = {})
        : state_(state), bytes_(std::move(bytes)), reason_(std::move(reason))
    {
    }

    State state() const { return state_; }
    // The image shown; nothing unless shown.
    const std::optional<Image>& image() const { return image_; }
    // The bytes it came as while it is not shown; null when shown.
    const std::shared_ptr<const Bytes>& bytes() const { return bytes_; }
    // Why it is not shown, for the user; empty while it is being read, and for bytes that are no picture.
    const std::string& reason() const { return reason_; }

    // Whether two pictures show and keep the same: the same image, or the same bytes not shown (being read or
    // not counts alike).
    static bool same(const std::shared_ptr<const NodePicture>& a, const std::shared_ptr<const NodePicture>& b);

private:
    State state_;
    std::optional<Image> image_;
    std::shared_ptr<const Bytes> bytes_;
    std::string reason_;
};

} // namespace velquine
