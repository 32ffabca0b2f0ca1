#include "gui/storeconfig/all_account_discount.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/text_utils.h"
#include "storeconfig/field_numbers.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace os {

TAllAccountDiscount::TAllAccountDiscount(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("AllAccountDiscount"),
                   QStringLiteral("All Account Discount"), 52)
{
    setMinimumWidth(420);
    auto* group = new QGroupBox(QStringLiteral("Account Holder Discount"), this);
    auto* groupLayout = new QVBoxLayout(group);
    for (const char* text :
         {"The account holders discount will apply to every shopper on your web site, as each "
          "shopper must create an account.",
          "The discount must be in 0.00 format. For example: 5% would be 0.05 while 50% would be "
          "entered as 0.5"}) {
        auto* label = new QLabel(QString::fromUtf8(text), group);
        label->setWordWrap(true);
        groupLayout->addWidget(label);
    }
    auto* form = new QFormLayout;
    DiscountEdit = new QLineEdit(FormatRate(settings().AllAccountsDiscount), group);
    DiscountEdit->setObjectName(QStringLiteral("DiscountEdit"));
    DiscountEdit->setToolTip(QStringLiteral("A fraction: 0.05 for 5%"));
    form->addRow(QStringLiteral("Discount Percentage:"), DiscountEdit);
    groupLayout->addLayout(form);

    auto* body = new QVBoxLayout;
    body->addWidget(group);
    finish(body, QStringLiteral("&OK"), QStringLiteral("&Cancel"), QStringLiteral("&Help"));
}

bool TAllAccountDiscount::store()
{
    const std::optional<double> typed = parseNumber(DiscountEdit->text());
    if (!typed) {
        // Nothing is stored and the window closes, as it always has.
        messages().error(QStringLiteral("All Account Discount Conversion Error!"));
        reject();
        return false;
    }
    const double discount = fractionFromTyped(*typed);
    if (discount != *typed)
        DiscountEdit->setText(FormatRate(discount));
    settings().AllAccountsDiscount = discount;
    return true;
}

} // namespace os
