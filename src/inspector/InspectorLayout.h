#pragma once

// The common look of the inspector panes: a container of sections, each a small heading with a divider line
// above its controls, and the 16-point text the content views write in.

#include <QFont>
#include <QString>

#include <functional>

class QBoxLayout;
class QObject;
class QVBoxLayout;
class QWidget;

namespace velquine {
class EditingTextView;
}

namespace velquine::InspectorLayout {

// A container filling the pane, with a vertical layout for the sections (its layout()).
QWidget* makeContainer(QWidget* pane);
// Adds a heading titled title and the content below it; stretch as QBoxLayout::addWidget takes it.
void addSection(QVBoxLayout* layout, const QString& title, QWidget* content, int stretch = 0);
// Adds a heading and a row layout for the section's controls, and returns the row.
QBoxLayout* addRowSection(QVBoxLayout* layout, const QString& title);
// Hands the view's editing reports (begin, change, end, Escape) to the handlers while context lives.
void connectEditing(EditingTextView* view, QObject* context, std::function<void()> began,
                    std::function<void()> changed, std::function<void()> ended, std::function<void()> cancelled);
// The system font at 16 points.
QFont textFont();

} // namespace velquine::InspectorLayout
