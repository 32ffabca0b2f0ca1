#include "orders/card_number.h"

#include "base/messages.h"
#include "data/table.h"
#include "orders/order_history.h"

#include <QDir>
#include <QFile>

namespace os {

QString reformattedCardNumber(const QString& number)
{
    QString digits;
    for (const QChar c : number) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    }
    if (digits.isEmpty())
        return number;
    QString out;
    for (qsizetype i = 0; i < digits.size(); i += 4) {
        if (i > 0)
            out += QLatin1Char('-');
        out += digits.mid(i, 4);
    }
    return out;
}

bool ReformatCardNumber(Table& orders)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    if (messages().ask(QStringLiteral("Reformat credit card number to a more readable format?"),
                       Buttons::YesNo) != Answer::Yes)
        return false;
    const QString field = QStringLiteral("CARDNUM");
    const QString number = orders.value(field).toString();
    const QString formatted = reformattedCardNumber(number);
    // The dashes must not push digits out of the column (it holds 26
    // characters): such a number stays as it is.
    if (formatted == number || formatted.size() > orders.def().field(field)->size)
        return false;
    orders.edit();
    try {
        orders.setValue(field, formatted);
        if (!postOrderChange(orders, QLatin1String(history::kReformatCardNumber))) {
            orders.cancel();
            return false;
        }
    } catch (...) {
        orders.cancel();
        throw;
    }
    return true;
}

QStringList cardTypeChoices(const QString& dataDir)
{
    QFile file(QDir(dataDir).filePath(QStringLiteral("ccitems.txt")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList types;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString type = line.trimmed();
        if (!type.isEmpty())
            types << type;
    }
    return types;
}

} // namespace os
