#include "gui/orders/shipping_log.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/detail_grid.h"
#include "gui/app/dialog_buttons.h"
#include "gui/app/window_size.h"
#include "gui/orders/order_notes_dialog.h"
#include "gui/orders/shipping_notes.h"
#include "orders/order_letter.h"
#include "orders/order_transitions.h"
#include "orders/shipping_info.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace os {

TShipping_Log::TShipping_Log(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Shipping Wizard"));
    setProperty("helpTopic", 33);
    setSizeGripEnabled(true);
    TMainDataMod* data = TMainDataMod::instance();
    auto* layout = new QVBoxLayout(this);
    addOrderLine(this, layout, *data->ORDERs);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);

    auto* letter = new QGroupBox(QStringLiteral("Optional Quillform Template"), this);
    auto* letterLayout = new QVBoxLayout(letter);
    auto* letterText = new QLabel(
        QStringLiteral("If no Quillform Template is selected, no letter will be sent:"), letter);
    letterText->setWordWrap(true);
    letterLayout->addWidget(letterText);
    FormLetter = new QComboBox(letter);
    FormLetter->setObjectName(QStringLiteral("FormLetter"));
    FormLetter->setMinimumContentsLength(28);
    letterText->setBuddy(FormLetter);
    letterLayout->addWidget(FormLetter);
    letterLayout->addStretch(1);
    top->addWidget(letter, 2);
    try {
        const QStringList names = letterTemplateNames(data->directory());
        if (!names.isEmpty())
            FormLetter->addItems(QStringList{QString()} + names); // the empty entry: no letter
    } catch (const Error& e) {
        messages().error(e.text());
    }
    FormLetter->setCurrentIndex(-1);

    auto* mark = new QGroupBox(QStringLiteral("Mark Order"), this);
    auto* markLayout = new QVBoxLayout(mark);
    CompletelyShipped = new QRadioButton(QStringLiteral("&Completely Shipped"), mark);
    CompletelyShipped->setObjectName(QStringLiteral("CompletelyShipped"));
    PartiallyShipped = new QRadioButton(QStringLiteral("&Partially Shipped"), mark);
    PartiallyShipped->setObjectName(QStringLiteral("PartiallyShipped"));
    CompletelyShipped->setChecked(true);
    markLayout->addWidget(CompletelyShipped);
    markLayout->addWidget(PartiallyShipped);
    markLayout->addStretch(1);
    top->addWidget(mark, 1);
    connect(CompletelyShipped, &QRadioButton::toggled, this, [this](bool on) {
        m_shipState = on ? QStringLiteral("Shipped") : QStringLiteral("Partially Shipped");
    });

    Records = new DetailGrid(data->Shipping_LOG, shippingColumns(), this);
    Records->setObjectName(QStringLiteral("Records"));
    Records->grid()->setObjectName(QStringLiteral("ShippingGrid"));
    Records->grid()->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Records, 1);

    const DialogButtons b = makeDialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"),
                                              QStringLiteral("Help"), 33);
    OKBtn = b.ok;
    CancelBtn = b.cancel;
    HelpBtn = b.help;
    layout->addLayout(b.layout);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &TShipping_Log::reject);

    // Wide enough for every shipping record column.
    resizeWithinScreen(
        this, QSize(windowWidthForGrid(this, Records->grid()), 30 * fontMetrics().height()));
    Records->setFocus();
}

void TShipping_Log::OKBtnClick()
{
    if (!Records->saveTyping())
        return;
    TMainDataMod* data = TMainDataMod::instance();
    Table& orders = *data->ORDERs;
    if (orders.isEmpty())
        return;
    if (data->Shipping_LOG->isEmpty() &&
        messages().ask(QStringLiteral("You did not enter any shipping records, are you sure you "
                                      "want to complete this entry?"),
                       Buttons::YesNo) != Answer::Yes)
        return;
    try {
        const QString name = FormLetter->currentText();
        const qint64 inv = currentOrderNumber(orders);
        const bool queued = m_queuedInvoice == inv && m_queuedLetter == name;
        if (!name.isEmpty() && !queued) {
            const QString block = ShippingInfoBlock(shippingRecords(data->directory(), inv));
            const OrderLetterResult result =
                queueOrderLetter(orders, name, OrderLetterKind::Shipping, block);
            if (result == OrderLetterResult::NameInvalid ||
                result == OrderLetterResult::MissingShippingTag)
                return; // the wizard stays open, the order unmarked
            if (result == OrderLetterResult::Queued) {
                m_queuedInvoice = inv;
                m_queuedLetter = name;
            }
        }
        ShipOrder(orders, m_shipState);
    } catch (const Error& e) {
        messages().error(e.text());
        return;
    }
    accept();
}

void TShipping_Log::reject()
{
    Records->discardTyping();
    QDialog::reject();
}

} // namespace os
