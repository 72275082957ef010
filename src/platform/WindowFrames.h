#pragma once

// Where each document's window stood and how large it was when it last closed, kept in the settings under
// "documentWindowFrames" as a JSON array of [absolute path, frame] pairs, newest first, so that the document
// opens in the same place in a later run. The frame is the window side's own text; this class only keeps it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velquine {

class WindowFrames {
public:
    static constexpr std::string_view settingsKey = "documentWindowFrames";
    static constexpr std::size_t maximumCount = 50;

    // The frame last noted for the file, if any.
    static std::optional<std::string> frame(const std::string& path);
    // Keeps the frame for the file (as an absolute path), first, and the newest maximumCount.
    static void note(const std::string& path, const std::string& frame);
};

} // namespace velquine
