#pragma once

// Texts laid out ahead of need on worker threads, for a caller about to measure many texts of one font each
// at one width (sizing the nodes of a large import, say), which passes the set to what measures them. Once
// started, the set answers a text of its own at that width from what a worker laid out: the very lines
// TextMeasurement::lines gives without a paint device. A text a worker is still at is waited for, one no
// worker has begun is laid out by the caller at once, and any other text is measured as usual, so what is
// added is only a guess of what will be asked; asking in the order they were added is fastest. A set is asked
// on the thread that started it. With a single core, or few texts, no worker starts and it answers nothing.
//
// What it buys, measured (bench_LargeImport, with the per-thread font caches it needs): 1.3-1.7x importing
// 100,000 lines of plain text or OPML (best of 2); nothing at 10,000 lines (best of 3).

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
    // Starts the workers.
    void start();

    // The lines of the text at the width from the set; none when the set does not hold it or was not started.
    std::optional<std::vector<TextLine>> answer(const AttributedString& text, double width) const;
    // The lines of the text at the width: from the set when it holds the text, else from TextMeasurement.
    std::vector<TextLine> lines(const AttributedString& text, double width) const;

    // The number of workers started for a number of texts.
    static std::size_t workersFor(std::size_t textCount);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    bool started_ = false;
};

} // namespace velquine
