#include "gui/storeconfig/options_cc_form.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/text_utils.h"
#include "storeconfig/card_list.h"
#include "storeconfig/field_numbers.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace os {

namespace {

const QString kFeeLabel = QStringLiteral("C.O.D. fee:");

QCheckBox* checkBox(const QString& caption, const QString& name, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QRadioButton* choice(const QString& caption, const QString& name, QWidget* parent)
{
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

TOPTIONS_CC_FORM::TOPTIONS_CC_FORM(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("OPTIONS_CC_FORM"), QStringLiteral("Payment Options"), 12)
{
    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));

    // "General Methods": the cards on the left, the other payment types on the right.
    auto* general = new QWidget(Pages);
    auto* generalLayout = new QHBoxLayout(general);
    auto* cards = new QVBoxLayout;
    AcceptCCBox = checkBox(QStringLiteral("I will accept credit cards"),
                           QStringLiteral("AcceptCCBox"), general);
    cards->addWidget(AcceptCCBox);
    CardList = new QListWidget(general);
    CardList->setObjectName(QStringLiteral("CardList"));
    cards->addWidget(CardList, 1);
    auto* hint = new QLabel(
        QStringLiteral("To remove a credit card from the list, double click on the entry."),
        general);
    hint->setWordWrap(true);
    cards->addWidget(hint);
    auto* addRow = new QHBoxLayout;
    CardEdit = new QLineEdit(general);
    CardEdit->setObjectName(QStringLiteral("CardEdit"));
    CardEdit->installEventFilter(this);
    AddBtn = new QPushButton(QStringLiteral("Add"), general);
    AddBtn->setObjectName(QStringLiteral("AddBtn"));
    AddBtn->setAutoDefault(false);
    addRow->addWidget(CardEdit, 1);
    addRow->addWidget(AddBtn);
    cards->addLayout(addRow);
    generalLayout->addLayout(cards, 1);

    auto* other = new QGroupBox(QStringLiteral("Other Payment Types"), general);
    auto* otherLayout = new QVBoxLayout(other);
    ChecksByMailBox =
        checkBox(QStringLiteral("Payments by mail"), QStringLiteral("ChecksByMailBox"), other);
    PurchaseOrderBox =
        checkBox(QStringLiteral("Purchase orders"), QStringLiteral("PurchaseOrderBox"), other);
    CodOrdersBox = checkBox(QStringLiteral("C.O.D. orders"), QStringLiteral("CodOrdersBox"), other);
    CardsByPhoneBox =
        checkBox(QStringLiteral("Credit Card by phone"), QStringLiteral("CardsByPhoneBox"), other);
    otherLayout->addWidget(ChecksByMailBox);
    otherLayout->addWidget(PurchaseOrderBox);
    otherLayout->addWidget(CodOrdersBox);
    otherLayout->addWidget(CardsByPhoneBox);
    auto* feeRow = new QFormLayout;
    CODFeeEdit = new QLineEdit(other);
    CODFeeEdit->setObjectName(QStringLiteral("CODFeeEdit"));
    CODFeeEdit->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    feeRow->addRow(kFeeLabel, CODFeeEdit);
    otherLayout->addLayout(feeRow);
    otherLayout->addStretch(1);
    generalLayout->addWidget(other);
    Pages->addTab(general, QStringLiteral("General Methods"));

    // "Card Processing Methods"
    auto* processing = new QWidget(Pages);
    auto* processingLayout = new QVBoxLayout(processing);
    auto* how = new QGroupBox(QStringLiteral("How I will accept credit cards:"), processing);
    auto* howLayout = new QVBoxLayout(how);
    RemoteBtn = choice(QStringLiteral("At a remote Web site using an HTML Form Method."),
                       QStringLiteral("RemoteBtn"), how);
    RealtimeBtn = choice(QStringLiteral("Directly on my Web site using realtime background "
                                        "credit card processing."),
                         QStringLiteral("RealtimeBtn"), how);
    LocalBtn = choice(QStringLiteral("Directly from my Web site to be processed later manually."),
                      QStringLiteral("LocalBtn"), how);
    howLayout->addWidget(RemoteBtn);
    howLayout->addWidget(RealtimeBtn);
    howLayout->addWidget(LocalBtn);
    processingLayout->addWidget(how);
    auto* options = new QGroupBox(QStringLiteral("Other Options"), processing);
    auto* optionsLayout = new QVBoxLayout(options);
    AskCVVBox = checkBox(QStringLiteral("Ask for and require CVV Input."),
                         QStringLiteral("AskCVVBox"), options);
    AskCCPhoneBox = checkBox(QStringLiteral("Ask for bank phone number printed on credit card."),
                             QStringLiteral("AskCCPhoneBox"), options);
    optionsLayout->addWidget(AskCVVBox);
    optionsLayout->addWidget(AskCCPhoneBox);
    processingLayout->addWidget(options);
    processingLayout->addStretch(1);
    Pages->addTab(processing, QStringLiteral("Card Processing Methods"));

    auto* body = new QVBoxLayout;
    body->addWidget(Pages);
    finish(body, QStringLiteral("OK"), QStringLiteral("Cancel"), QStringLiteral("Help"));

    // Opening: the list, then every control from its setting.
    CardList->addItems(readCardList());
    const Settings& s = settings();
    AcceptCCBox->setChecked(s.AcceptCC);
    ChecksByMailBox->setChecked(s.ChecksByMail);
    PurchaseOrderBox->setChecked(s.PurchaseOrder);
    CodOrdersBox->setChecked(s.CodOrders);
    CardsByPhoneBox->setChecked(s.CardsByPhone);
    CODFeeEdit->setText(FormatAmount(s.CODFEE));
    if (s.CC_Remote)
        RemoteBtn->setChecked(true);
    else if (s.CC_Rtime)
        RealtimeBtn->setChecked(true);
    else
        LocalBtn->setChecked(true); // also when no way is stored
    AskCVVBox->setChecked(s.AskCVV);
    AskCCPhoneBox->setChecked(s.AskCCPhone);
    Pages->setCurrentIndex(0);

    // The CVV box starts disabled; the stored choices then decide.
    AskCVVBox->setEnabled(false);
    AcceptCCBoxClick();

    connect(AcceptCCBox, &QCheckBox::toggled, this, &TOPTIONS_CC_FORM::AcceptCCBoxClick);
    connect(RemoteBtn, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RemoteBtnClick();
    });
    connect(RealtimeBtn, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RealtimeBtnClick();
    });
    connect(LocalBtn, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            LocalBtnClick();
    });
    connect(CardEdit, &QLineEdit::textChanged, this, &TOPTIONS_CC_FORM::CardEditChange);
    connect(AddBtn, &QPushButton::clicked, this, &TOPTIONS_CC_FORM::AddBtnClick);
    connect(CardList, &QListWidget::itemDoubleClicked, this, &TOPTIONS_CC_FORM::CardListDblClick);
    CardList->installEventFilter(this);
}

void TOPTIONS_CC_FORM::AcceptCCBoxClick()
{
    const bool accept = AcceptCCBox->isChecked();
    CardList->setEnabled(accept);
    CardEdit->setEnabled(accept);
    RemoteBtn->setEnabled(accept);
    RealtimeBtn->setEnabled(accept);
    LocalBtn->setEnabled(accept);
    CardsByPhoneBox->setEnabled(accept);
    AskCCPhoneBox->setEnabled(accept);
    // CVV checks need a processor that answers at once: the saved choice decides.
    AskCVVBox->setEnabled(accept && settings().CC_Rtime);
    CardEditChange();
}

void TOPTIONS_CC_FORM::RemoteBtnClick()
{
    if (!settings().CC_Remote)
        AskCVVBox->setEnabled(false);
}

void TOPTIONS_CC_FORM::RealtimeBtnClick()
{
    AskCVVBox->setEnabled(true);
}

void TOPTIONS_CC_FORM::LocalBtnClick()
{
    AskCVVBox->setEnabled(false);
}

void TOPTIONS_CC_FORM::CardEditChange()
{
    AddBtn->setEnabled(AcceptCCBox->isChecked() && !CardEdit->text().isEmpty());
}

void TOPTIONS_CC_FORM::AddBtnClick()
{
    if (CardEdit->text().isEmpty())
        return;
    CardList->addItem(CardEdit->text());
    CardList->setCurrentRow(CardList->count() - 1);
    CardEdit->clear();
    CardEdit->setFocus();
}

void TOPTIONS_CC_FORM::CardListDblClick(QListWidgetItem* item)
{
    delete CardList->takeItem(CardList->row(item));
}

bool TOPTIONS_CC_FORM::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter in the card field adds the card instead of closing the window.
        if (watched == CardEdit && (key == Qt::Key_Return || key == Qt::Key_Enter) &&
            AddBtn->isEnabled()) {
            AddBtnClick();
            return true;
        }
        // Delete removes the selected card, as a double click does.
        if (watched == CardList && key == Qt::Key_Delete && CardList->currentItem()) {
            CardListDblClick(CardList->currentItem());
            return true;
        }
    }
    return ConfigEditor::eventFilter(watched, event);
}

bool TOPTIONS_CC_FORM::store()
{
    const std::optional<double> fee = parseNumber(CODFeeEdit->text());
    if (!fee) {
        messages().error(notANumberText(kFeeLabel, CODFeeEdit->text()));
        Pages->setCurrentIndex(0);
        CODFeeEdit->setFocus();
        CODFeeEdit->selectAll();
        return false;
    }
    QStringList cards;
    for (int i = 0; i < CardList->count(); ++i)
        cards << CardList->item(i)->text();
    // The list first: when it cannot be written, nothing is stored and the
    // merchant can try again or cancel.
    const QString failure = writeCardList(cards);
    if (!failure.isEmpty()) {
        messages().error(failure);
        return false;
    }

    Settings& s = settings();
    s.AcceptCC = AcceptCCBox->isChecked();
    s.ChecksByMail = ChecksByMailBox->isChecked();
    s.PurchaseOrder = PurchaseOrderBox->isChecked();
    s.CodOrders = CodOrdersBox->isChecked();
    s.CardsByPhone = CardsByPhoneBox->isChecked();
    s.CC_Remote = RemoteBtn->isChecked();
    s.CC_Rtime = RealtimeBtn->isChecked();
    s.CC_Local = LocalBtn->isChecked();
    s.AskCVV = AskCVVBox->isChecked();
    s.AskCCPhone = AskCCPhoneBox->isChecked();
    s.CODFEE = *fee;
    return true;
}

} // namespace os
