#include "gui/orders/complete_order_form.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/dialog_buttons.h"
#include "gui/orders/order_notes_dialog.h"
#include "orders/order_letter.h"
#include "orders/order_transitions.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

TCompleteOrderForm::TCompleteOrderForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Complete Order"));
    setProperty("helpTopic", 41);
    auto* layout = new QVBoxLayout(this);
    addOrderLine(this, layout, *TMainDataMod::instance()->ORDERs);
    Label1 = new QLabel(QStringLiteral("Please Select a \"Thank You\" letter:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(Label1);
    FormLetter = new QComboBox(this);
    FormLetter->setObjectName(QStringLiteral("FormLetter"));
    FormLetter->setMinimumContentsLength(32);
    Label1->setBuddy(FormLetter);
    layout->addWidget(FormLetter);
    layout->addStretch(1);

    const DialogButtons b = makeDialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"),
                                              QStringLiteral("Help"), 41);
    OKBtn = b.ok;
    CancelBtn = b.cancel;
    HelpBtn = b.help;
    layout->addLayout(b.layout);

    TMainDataMod* data = TMainDataMod::instance();
    try {
        FormLetter->addItems(letterTemplateNames(data->directory()));
    } catch (const Error& e) {
        messages().error(e.text());
    }
    FormLetter->setCurrentIndex(-1);
    OKBtn->setEnabled(false);
    connect(FormLetter, &QComboBox::currentIndexChanged, this,
            [this](int index) { OKBtn->setEnabled(index >= 0); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormLetter->setFocus();
}

void TCompleteOrderForm::OKBtnClick()
{
    if (FormLetter->currentIndex() < 0)
        return;
    Table& orders = *TMainDataMod::instance()->ORDERs;
    const OrderLetterResult result =
        queueOrderLetter(orders, FormLetter->currentText(), OrderLetterKind::Complete);
    if (result == OrderLetterResult::NameInvalid)
        return; // the merchant picks another template or cancels
    if (result == OrderLetterResult::Queued) {
        try {
            CompleteOrder(orders);
        } catch (const Error& e) {
            messages().error(e.text());
        }
    }
    accept();
}

} // namespace os
