#include "shell/integer_field.h"

#include <QLineEdit>
#include <QMessageBox>

namespace nubo {

IntegerCheck checkIntegerText(const QString& text, int minimum, int maximum, int& value)
{
    const QString trimmed = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-')) {
        negative = trimmed[i] == u'-';
        ++i;
    }
    if (i == trimmed.size())
        return IntegerCheck::NotAnInteger;
    long long magnitude = 0;
    for (; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (c < u'0' || c > u'9')
            return IntegerCheck::NotAnInteger;
        // A value past the 32-bit range is no integer the field can hold.
        magnitude = magnitude * 10 + (c.unicode() - u'0');
        if (magnitude > 2147483648LL)
            return IntegerCheck::NotAnInteger;
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > 2147483647LL)
        return IntegerCheck::NotAnInteger;
    if (signedValue < minimum || signedValue > maximum)
        return IntegerCheck::OutOfRange;
    value = static_cast<int>(signedValue);
    return IntegerCheck::Valid;
}

QString integerFieldMessage(IntegerCheck check, int minimum, int maximum)
{
    return check == IntegerCheck::NotAnInteger
        ? QStringLiteral("Please enter an integer.")
        : QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum);
}

std::optional<int> readIntegerField(QWidget* dialog, QLineEdit* field, int minimum, int maximum)
{
    int value = 0;
    const IntegerCheck check = checkIntegerText(field->text(), minimum, maximum, value);
    if (check == IntegerCheck::Valid)
        return value;
    QMessageBox::warning(dialog, QStringLiteral("nubo"), integerFieldMessage(check, minimum, maximum));
    field->setFocus();
    field->selectAll();
    return std::nullopt;
}

} // namespace nubo
