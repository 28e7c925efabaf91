#pragma once

#include <QString>

#include <optional>

class QLineEdit;
class QWidget;

namespace nubo {

enum class IntegerCheck {
    Valid,
    NotAnInteger,
    OutOfRange,
};

// Reads the text of a dialog's integer field: optional blanks, an optional sign, decimal digits, optional blanks.
IntegerCheck checkIntegerText(const QString& text, int minimum, int maximum, int& value);

// What the dialogs say about a field that failed the check: "Please enter an integer." or "Please enter an integer
// between %1 and %2." with the bounds.
QString integerFieldMessage(IntegerCheck check, int minimum, int maximum);

// The dialogs' validation on OK: the field's value when it is an integer from minimum to maximum. Otherwise shows
// "Please enter an integer." or "Please enter an integer between %1 and %2.", puts the focus on the field with its
// text selected, and returns none; the dialog stays open.
std::optional<int> readIntegerField(QWidget* dialog, QLineEdit* field, int minimum, int maximum);

} // namespace nubo
