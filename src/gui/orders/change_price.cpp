#include "gui/orders/change_price.h"

#include "base/text_utils.h"
#include "data/table.h"
#include "orders/order_transitions.h"

#include <QDoubleValidator>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

namespace os {

TChangePrice::TChangePrice(QWidget* parent)
    : OrderNotesDialog(QStringLiteral("Change Price"), 32,
                       QStringLiteral("When you change the price, it will not be reflected on the "
                                      "HTML invoice. It will be available only on the main order "
                                      "view."),
                       QStringLiteral("Order Notes"), parent)
{
    setCloseBoxSavesNote(true);
    const QVariant total =
        orders().isEmpty() ? QVariant() : orders().value(QStringLiteral("TOTAL"));
    CurrentTotal =
        addShown(QStringLiteral("Current Total:"), FormatMoney(total.toDouble()), "CurrentTotal");
    NewTotal = new QLineEdit(this);
    NewTotal->setObjectName(QStringLiteral("NewTotal"));
    auto* numbers = new QDoubleValidator(NewTotal);
    numbers->setNotation(QDoubleValidator::StandardNotation);
    numbers->setLocale([] {
        QLocale plain;
        plain.setNumberOptions(QLocale::RejectGroupSeparator);
        return plain;
    }());
    NewTotal->setValidator(numbers);
    NewTotal->setText(total.isNull() ? QString() : FormatAmount(total.toDouble()));
    m_shown = NewTotal->text();
    NewTotal->setMaximumWidth(16 * fontMetrics().averageCharWidth());
    fields()->addRow(QStringLiteral("&New Total:"), NewTotal);
    NewTotal->setFocus();
    NewTotal->selectAll();
}

void TChangePrice::OKBtnClick()
{
    // The box shows the total rounded to cents: left as shown (or emptied)
    // the stored total stays as it is, and only the note is saved.
    const QString typed = NewTotal->text().trimmed();
    if (typed.isEmpty() || typed == m_shown) {
        if (saveNote())
            accept();
        return;
    }
    bool number = false;
    const double total = QLocale().toDouble(typed, &number);
    if (!number) {
        messages().error(QStringLiteral("The new total must be a number."));
        NewTotal->setFocus();
        NewTotal->selectAll();
        return;
    }
    if (!saveNote())
        return;
    bool shownNumber = false;
    const double shown = QLocale().toDouble(m_shown, &shownNumber);
    if (shownNumber && shown == total) {
        accept(); // the same amount typed again
        return;
    }
    if (guarded([&] { ChangeOrderTotal(orders(), total); }))
        accept();
}

} // namespace os
