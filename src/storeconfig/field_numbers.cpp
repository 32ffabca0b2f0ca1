#include "storeconfig/field_numbers.h"

namespace os {

QString notANumberText(const QString& label, const QString& text)
{
    return QStringLiteral("%1 '%2' is not a valid floating point value").arg(label, text);
}

double fractionFromTyped(double value)
{
    return value > 1 ? value / 100 : value;
}

} // namespace os
