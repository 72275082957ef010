#include "exchange/StringBuilder.h"

#include <QString>
#include <QTextBoundaryFinder>

namespace velquine {

std::size_t StringBuilder::length() const
{
    const QString text = QString::fromStdString(stringValue_);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    std::size_t count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace velquine
