#include "gui/orders/phone_payment.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/text_utils.h"
#include "data/catalogue.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "orders/card_number.h"
#include "orders/order_transitions.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

namespace {

// The length of a text column of orders.db.
int columnSize(const Table& orders, const char* field)
{
    const FieldDef* f = orders.def().field(QLatin1String(field));
    return f ? f->size : 32767;
}

} // namespace

TPhonePayment::TPhonePayment(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Phone Payment"));
    setProperty("helpTopic", 31);
    setSizeGripEnabled(true);
    TMainDataMod* data = TMainDataMod::instance();
    const Table& orders = *data->ORDERs;
    const bool any = !orders.isEmpty();
    auto text = [&](const char* field) {
        return any ? orders.value(QLatin1String(field)).toString() : QString();
    };

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    auto shown = [&](const QString& label, const QString& value, const char* name) {
        auto* l = new QLabel(value, this);
        l->setObjectName(QLatin1String(name));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, l);
    };
    shown(QStringLiteral("Name:"), text("NAME"), "CustName");
    shown(QStringLiteral("Company:"), text("COMPANY"), "Company");
    shown(QStringLiteral("Phone:"), text("PHONE"), "Phone");
    shown(QStringLiteral("Invoice:"), text("INV"), "Invoice");
    shown(QStringLiteral("TOTAL:"),
          any ? FormatMoney(orders.value(QStringLiteral("TOTAL")).toDouble()) : QString(), "Total");

    CardType = new QComboBox(this);
    CardType->setObjectName(QStringLiteral("CardType"));
    CardType->setEditable(true);
    CardType->setInsertPolicy(QComboBox::NoInsert);
    CardType->addItems(cardTypeChoices(data->directory()));
    CardType->setCurrentIndex(-1);
    CardType->setEditText(text("CARDTYPE"));
    CardType->lineEdit()->setMaxLength(columnSize(orders, "CARDTYPE"));
    form->addRow(QStringLiteral("Card &Type:"), CardType);

    auto edit = [&](const char* field, const char* name) {
        auto* e = new QLineEdit(text(field), this);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(columnSize(orders, field));
        return e;
    };
    CardNumber = edit("CARDNUM", "CardNumber");
    form->addRow(QStringLiteral("Card &Number:"), CardNumber);
    CCMonth = edit("CCMONTH", "CCMonth");
    CCYear = edit("CCYEAR", "CCYear");
    const int twoDigits = 5 * fontMetrics().averageCharWidth();
    CCMonth->setMaximumWidth(twoDigits);
    CCYear->setMaximumWidth(twoDigits);
    auto* expiry = new QHBoxLayout;
    expiry->addWidget(CCMonth);
    expiry->addWidget(new QLabel(QStringLiteral("/"), this));
    expiry->addWidget(CCYear);
    expiry->addStretch(1);
    form->addRow(QStringLiteral("&Expires Mo. / Yr.:"), expiry);
    CCPhone = edit("CCPHONE", "CCPhone");
    form->addRow(QStringLiteral("CC &Phone:"), CCPhone);
    layout->addLayout(form);
    layout->addStretch(1);

    auto* buttons = new QDialogButtonBox(this);
    OKBtn = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    layout->addWidget(buttons);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setMinimumWidth(48 * fontMetrics().averageCharWidth());
    CardType->setFocus();
}

void TPhonePayment::OKBtnClick()
{
    const CardDetails card{CardType->currentText(), CardNumber->text(), CCMonth->text(),
                           CCYear->text(), CCPhone->text()};
    try {
        ModifyCardInformation(*TMainDataMod::instance()->ORDERs, card);
    } catch (const Error& e) {
        messages().error(e.text());
        return;
    }
    accept();
}

} // namespace os
