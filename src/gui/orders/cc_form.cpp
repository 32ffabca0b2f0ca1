#include "gui/orders/cc_form.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/help_window.h"
#include "gui/app/window_size.h"
#include "gui/orders/phone_payment.h"
#include "gui/orders/receive_pay_form.h"
#include "orders/card_number.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

namespace {

Table& orders()
{
    return *TMainDataMod::instance()->ORDERs;
}

} // namespace

TCCForm::TCCForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Credit Card PopUp"));
    setProperty("helpTopic", 1052);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    layout->addLayout(top);

    // A group of captioned values; each value label is named after its column.
    auto group = [&](const QString& title, const QList<std::pair<const char*, const char*>>& rows) {
        auto* box = new QGroupBox(title, this);
        auto* grid = new QGridLayout(box);
        int r = 0;
        for (const auto& [caption, field] : rows) {
            grid->addWidget(new QLabel(QLatin1String(caption), box), r, 0, Qt::AlignRight);
            auto* value = new QLabel(box);
            value->setObjectName(QLatin1String(field));
            value->setMinimumWidth(22 * fontMetrics().averageCharWidth());
            grid->addWidget(value, r++, 1);
            m_shown << value;
        }
        grid->setColumnStretch(1, 1);
        grid->setRowStretch(r, 1);
        top->addWidget(box, 1);
        return box;
    };
    group(QStringLiteral("Billing Information:"), {{"Company:", "COMPANY"},
                                                   {"Name:", "NAME"},
                                                   {"Street:", "STREET"},
                                                   {"City:", "CITY"},
                                                   {"State:", "STATE"},
                                                   {"Zip:", "ZIP"},
                                                   {"Country:", "COUNTRY"}});
    group(QStringLiteral("Credit Card Information:"), {{"Card Type:", "CARDTYPE"},
                                                       {"Card Number:", "CARDNUM"},
                                                       {"Expires:", "CCEXPIRES"},
                                                       {"CC Phone:", "CCPHONE"}});
    CARDNUM = findChild<QLabel*>(QStringLiteral("CARDNUM"));
    CARDNUM->setCursor(Qt::PointingHandCursor);
    CARDNUM->setToolTip(QStringLiteral("Click to reformat the card number"));
    CARDNUM->setFocusPolicy(Qt::StrongFocus); // Space reformats from the keyboard
    CARDNUM->installEventFilter(this);

    layout->addWidget(new QLabel(QStringLiteral("Merchant Accounts:"), this));
    MerchantGrid = new DbGrid(this);
    MerchantGrid->setObjectName(QStringLiteral("MerchantGrid"));
    MerchantGrid->setTable(TMainDataMod::instance()->merchant,
                           {{QStringLiteral("ACCOUNT"), QStringLiteral("Account")},
                            {QStringLiteral("PHONE"), QStringLiteral("Phone")},
                            {QStringLiteral("MERCHANTNUMBER"), QStringLiteral("Merchant Number")},
                            {QStringLiteral("COMMENTS"), QStringLiteral("Comments")}},
                           false);
    MerchantGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    MerchantGrid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(MerchantGrid, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    buttons->addStretch(1);
    DoneBtn = button(QStringLiteral("&Done"), "DoneBtn");
    DoneBtn->setDefault(true);
    ReceivePaymentBtn = button(QStringLiteral("&Receive Payment"), "ReceivePaymentBtn");
    ModifyCardBtn = button(QStringLiteral("&Modify Card Information"), "ModifyCardBtn");
    HelpBtn = button(QStringLiteral("&Help"), "HelpBtn");
    layout->addLayout(buttons);
    connect(DoneBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(ReceivePaymentBtn, &QPushButton::clicked, this, [this] { ReceivePaymentBtnClick(); });
    connect(ModifyCardBtn, &QPushButton::clicked, this, [this] { ModifyCardBtnClick(); });
    connect(HelpBtn, &QPushButton::clicked, this, [this] { showHelpTopic(1052); });

    showOrder();
    // Wide enough for every merchant account column beside the two groups.
    resizeWithinScreen(this,
                       QSize(windowWidthForGrid(this, MerchantGrid), 30 * fontMetrics().height()));
    DoneBtn->setFocus();
}

void TCCForm::showOrder()
{
    const Table& o = orders();
    const bool any = !o.isEmpty();
    for (QLabel* l : m_shown) {
        const QString field = l->objectName();
        if (!any) {
            l->clear();
        } else if (field == QLatin1String("CCEXPIRES")) {
            l->setText(o.value(QStringLiteral("CCMONTH")).toString() + QStringLiteral(" / ") +
                       o.value(QStringLiteral("CCYEAR")).toString());
        } else {
            l->setText(o.value(field).toString());
        }
    }
}

void TCCForm::CARDNUMMouseDown()
{
    try {
        ReformatCardNumber(orders());
    } catch (const Error& e) {
        messages().error(e.text());
    }
    showOrder();
}

void TCCForm::ReceivePaymentBtnClick()
{
    if (orders().isEmpty())
        return;
    if (orders().value(QStringLiteral("ORDERSTATE")).toString() != QLatin1String("New") &&
        messages().ask(QStringLiteral("This item is not \"New\", are you sure you want to do "
                                      "this?\r\rThe only reason for doing this is to update or "
                                      "preview the payment information."),
                       Buttons::YesNo) != Answer::Yes)
        return;
    TReceivePay_Form receive(this);
    receive.exec();
    if (receive.OrderChanged()) {
        accept(); // the order shown here has left the list
        return;
    }
    showOrder();
}

void TCCForm::ModifyCardBtnClick()
{
    TPhonePayment phone(this);
    phone.exec();
    showOrder();
}

bool TCCForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == CARDNUM) {
        if (event->type() == QEvent::MouseButtonPress) {
            CARDNUMMouseDown();
            return true;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
            CARDNUMMouseDown();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace os
