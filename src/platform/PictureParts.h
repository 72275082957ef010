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

#include <functional>
#include <memory>

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

} // namespace velquine
