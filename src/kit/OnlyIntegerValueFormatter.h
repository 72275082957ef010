#pragma once

// The validator of text fields that take a whole number while the user types: the empty text, or an
// optional "+" or "-" followed by digits whose value fits a signed 64-bit integer. Nothing else is let in
// and no replacement is proposed.

#include <QValidator>

namespace velquine {

class OnlyIntegerValueFormatter : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;

    static bool isPartialStringValid(const QString& text);
    State validate(QString& input, int& pos) const override;
};

} // namespace velquine
