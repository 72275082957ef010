#include "platform/Document.h"

#include <QLocale>
#include <QMarginsF>
#include <QPageSize>

namespace velquine {

namespace {

QPageLayout defaultPrintInfo()
{
    const bool inches = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(72, 72, 72, 72), QPageLayout::Point);
}

} // namespace

Document::Document() : printInfo(defaultPrintInfo()), undoManager_(std::make_unique<UndoManager>()) {}

Document::~Document() = default;

void Document::setHasUndoManager(bool hasUndoManager)
{
    if (!hasUndoManager)
        undoManager_.reset();
    else if (!undoManager_)
        undoManager_ = std::make_unique<UndoManager>();
}

} // namespace velquine
