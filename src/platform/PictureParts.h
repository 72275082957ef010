#pragma once

// Drawing recorded in parts. A painter on PictureParts records what it draws as a QPicture would; cut()
// closes the part recorded so far, hands it over as a picture of its own and goes on recording into a new one
// that starts with the painter's state as it is. Played one after the other onto one painter, the parts draw
// what a single picture would have drawn, so each can be played (say, on a worker into a PDF page) while the
// next is recorded.
//
// The device has a picture's resolution and paint engine type; a cut is made only while the painter clips
// nothing (the clip is not carried over) and after something was recorded.

#include <QPaintDevice>
#include <QPicture>
#include <QSize>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QPainter;

namespace velquine {

class PictureParts : public QPaintDevice {
public:
    // size: what the device reports as its width and height; finished: given each part, in order, on the
    // thread that cuts or ends the painter.
    PictureParts(QSize size, std::function<void(QPicture part)> finished);
    ~PictureParts() override;
    PictureParts(const PictureParts&) = delete;
    PictureParts& operator=(const PictureParts&) = delete;

    // Hands the part recorded since the last cut over. Nothing while no painter is active, nothing was drawn
    // or the painter clips.
    void cut();

    QPaintEngine* paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
    QSize size_;
};

// The parts of a drawing on their way from the thread that records them to the one that plays them.
class PictureQueue {
public:
    void push(QPicture part);
    // No part comes after this.
    void close();
    // The next part, waited for; none once the queue is closed and empty.
    std::optional<QPicture> pop();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<QPicture> parts_;
    bool closed_ = false;
};

// Records what record draws here, with a painter on PictureParts of the given size cut wherever it calls cut,
// while play takes the parts from the queue as they come, on a worker (without an application to run one, once
// all is recorded). Returns once play has ended, and rethrows what record, or else play, threw.
void recordWhilePlaying(QSize size, const std::function<void(QPainter&, const std::function<void()>& cut)>& record,
                        const std::function<void(PictureQueue&)>& play);

// Plays each part the queue brings into the painter, one unit of the recording to a unit of the painter's device
// (a picture plays scaled from its own resolution to the device's).
void playParts(QPainter& painter, PictureQueue& parts);

} // namespace velquine
