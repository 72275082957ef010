#include "editor/EmojiPalette.h"

#include <QApplication>
#include <QCursor>
#include <QGridLayout>
#include <QLineEdit>
#include <QToolButton>

#include "kit/EditingTextView.h"

namespace velquine {

const QStringList& EmojiPalette::emoji()
{
    static const QStringList list = QString::fromUtf8("😀 😂 😊 😍 🤔 😎 😢 😡 👍 👎 👏 🙏 💪 👀 🎉 🔥 ⭐ ✅ ❌ ⚠️ "
                                                      "❓ 💡 📌 📎 📅 📝 📚 🔍 🔒 🔑 💰 📈 📉 🚀 🎯 🏁 "
                                                      "❤️ 💔 🌟 ☀️ 🌙 ☁️ 🌧️ 🍀 🌍 🏠 🚗 ✈️ ☕ 🍎 🎵 ⏰")
                                        .split(u' ', Qt::SkipEmptyParts);
    return list;
}

EmojiPalette::EmojiPalette(QWidget* target, QWidget* parent) : QFrame(parent, Qt::Popup), target_(target)
{
    setObjectName(QStringLiteral("EmojiPalette"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    grid->setSpacing(2);
    const int columns = 8;
    int index = 0;
    for (const QString& text : emoji()) {
        auto* button = new QToolButton(this);
        button->setText(text);
        button->setAutoRaise(true);
        button->setFixedSize(34, 34);
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() * 1.5);
        button->setFont(font);
        connect(button, &QToolButton::clicked, this, [this, text] { choose(text); });
        grid->addWidget(button, index / columns, index % columns);
        ++index;
    }
}

EmojiPalette* EmojiPalette::show(QWidget* window)
{
    auto* palette = new EmojiPalette(QApplication::focusWidget(), window);
    palette->adjustSize();
    palette->move(QCursor::pos());
    palette->QFrame::show();
    return palette;
}

void EmojiPalette::choose(const QString& text)
{
    if (auto* view = qobject_cast<EditingTextView*>(target_.data())) {
        if (!view->isReadOnly())
            view->performUserEdit([&] { view->insertPlainText(text); });
    } else if (auto* line = qobject_cast<QLineEdit*>(target_.data())) {
        if (!line->isReadOnly()) {
            line->insert(text);
            emit line->textEdited(line->text());
        }
    } else if (auto* edit = qobject_cast<QTextEdit*>(target_.data())) {
        if (!edit->isReadOnly())
            edit->insertPlainText(text);
    }
    close();
}

} // namespace velquine
