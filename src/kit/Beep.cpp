#include "kit/Beep.h"

#include <QApplication>

#include <atomic>

namespace velquine {

namespace {
std::atomic<int> beeps{0};
}

void Beep::beep()
{
    ++beeps;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

int Beep::count()
{
    return beeps;
}

void Beep::resetCount()
{
    beeps = 0;
}

} // namespace velquine
