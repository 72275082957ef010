#pragma once

// Waiting for a document's pictures: those its open did not wait for are read beside it and put into its nodes by
// the main thread, as the run loop goes on.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "document/VQDocument.h"
#include "platform/RunLoop.h"

namespace velquine::testing {

// Lets the run loop go on until the document reads no more pictures; false when 60 s were not enough.
inline bool picturesRead(const VQDocument& document)
{
    QElapsedTimer waited;
    waited.start();
    while (document.isReadingPictures() && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        RunLoop::drain();
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    RunLoop::drain();
    return !document.isReadingPictures();
}

} // namespace velquine::testing
