#include "inspector/InspectorLayout.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "kit/EditingTextView.h"
#include "kit/KVLabeledDivider.h"
#include "platform/Font.h"

namespace velquine::InspectorLayout {

namespace {

constexpr int headingHeight = 22;

void addHeading(QVBoxLayout* layout, const QString& title)
{
    auto* heading = new KVLabeledDivider(layout->parentWidget());
    heading->setTitle(title);
    heading->style().labelMarginLeft = 0;
    heading->setFixedHeight(headingHeight);
    if (layout->count() > 0)
        layout->addSpacing(6);
    layout->addWidget(heading);
}

} // namespace

QWidget* makeContainer(QWidget* pane)
{
    auto* outer = new QVBoxLayout(pane);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* container = new QWidget(pane);
    container->setObjectName(QStringLiteral("containerView"));
    outer->addWidget(container);
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(10, 6, 10, 10);
    layout->setSpacing(4);
    return container;
}

void addSection(QVBoxLayout* layout, const QString& title, QWidget* content, int stretch)
{
    addHeading(layout, title);
    layout->addWidget(content, stretch);
}

QBoxLayout* addRowSection(QVBoxLayout* layout, const QString& title)
{
    addHeading(layout, title);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    layout->addLayout(row);
    return row;
}

void connectEditing(EditingTextView* view, QObject* context, std::function<void()> began,
                    std::function<void()> changed, std::function<void()> ended, std::function<void()> cancelled)
{
    QObject::connect(view, &EditingTextView::textDidBeginEditing, context, std::move(began));
    QObject::connect(view, &EditingTextView::textDidChange, context, std::move(changed));
    QObject::connect(view, &EditingTextView::textDidEndEditing, context, std::move(ended));
    QObject::connect(view, &EditingTextView::cancelOperation, context, std::move(cancelled));
}

QFont textFont()
{
    return Font::systemFont(16).toQFont();
}

} // namespace velquine::InspectorLayout
