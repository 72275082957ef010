#pragma once

// Texts laid out ahead of need on worker threads, for a caller about to measure many texts of one font each
// at one width (sizing the nodes of a large import, say). While one is started, TextMeasurement::lines on the
// thread that made it answers a text of the set at that width, without a paint device, from what a worker
// laid out: the very lines laying it out on the calling thread gives. A text a worker is still at is waited
// for, one no worker has begun is laid out by the caller at once, and any other text is measured as usual,
// so what is added is only a guess of what will be asked; asking in the order they were added is fastest.
// With a single core, or few texts, no worker starts and nothing changes.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/AttributedString.h"
#include "platform/Font.h"
#include "platform/TextMeasurement.h"

namespace velquine {

class TextsMeasuredAhead {
public:
    explicit TextsMeasuredAhead(double width);
    // Stops the workers (texts not begun are left) and waits for them.
    ~TextsMeasuredAhead();
    TextsMeasuredAhead(const TextsMeasuredAhead&) = delete;
    TextsMeasuredAhead& operator=(const TextsMeasuredAhead&) = delete;

    // Adds a text in one font, before start.
    void add(std::string text, const Font& font);
    // Starts the workers and answers for the calling thread until destroyed (an earlier one answers again
    // after that).
    void start();

    // The lines of the text at the width from the set started last on this thread; none when the set does
    // not hold it.
    static std::optional<std::vector<TextLine>> answer(const AttributedString& text, double width);

    // The number of workers started for a number of texts.
    static std::size_t workersFor(std::size_t textCount);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    TextsMeasuredAhead* previous_ = nullptr;
    bool started_ = false;
};

} // namespace velquine
