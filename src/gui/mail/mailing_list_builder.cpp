#include "gui/mail/mailing_list_builder.h"
#include "gui/app/window_size.h"

#include "base/busy_cursor.h"
#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/dialog_buttons.h"
#include "mail/mailing_list.h"
#include "mail/merge_letter.h"
#include "orders/order_letter.h" // kOperationAborted

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

namespace {

QString dataDir()
{
    TMainDataMod* data = TMainDataMod::instance();
    return data ? data->directory() : QString();
}

QLabel* wrapped(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}

} // namespace

TMailingListBuilder::TMailingListBuilder(const Table& customers, QWidget* parent)
    : QDialog(parent), m_customers(customers)
{
    setObjectName(QStringLiteral("MailingListBuilder"));
    setWindowTitle(QStringLiteral("Mailing List Builder"));
    setProperty("helpTopic", 38);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrapped(
        QStringLiteral("The mailing list builder will take the current query and merge it with "
                       "the Quillform Template selected below. It will place all of the letters in "
                       "your outbox."),
        this));

    auto* pick = new QLabel(QStringLiteral("Select an Quillform Template:"), this);
    layout->addWidget(pick);
    TemplateBox = new QComboBox(this);
    TemplateBox->setObjectName(QStringLiteral("TemplateBox"));
    pick->setBuddy(TemplateBox);
    try {
        TemplateBox->addItems(templateNames(dataDir()));
    } catch (const Error& e) {
        messages().error(e.text());
    }
    TemplateBox->setCurrentIndex(-1);
    layout->addWidget(TemplateBox);

    layout->addWidget(wrapped(
        QStringLiteral("Give your mailing list merge an outbox identification (TYPE). This will "
                       "let you view, reference and delete these later without affecting the rest "
                       "of the outbox records. This should be unique for each mailing list merge "
                       "you perform."),
        this));
    auto* typeRow = new QHBoxLayout;
    TypeEdit = new QLineEdit(this);
    TypeEdit->setObjectName(QStringLiteral("TypeEdit"));
    TypeEdit->setMaxLength(25);
    TypeEdit->setMinimumWidth(TypeEdit->fontMetrics().averageCharWidth() * 28);
    typeRow->addWidget(TypeEdit);
    typeRow->addWidget(new QLabel(QStringLiteral("Example: \"Specials 05/06/1999\""), this));
    typeRow->addStretch(1);
    layout->addLayout(typeRow);

    StatusLine = new QWidget(this);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    auto* status = new QHBoxLayout(StatusLine);
    status->setContentsMargins(0, 0, 0, 0);
    ProgressBar = new QProgressBar(StatusLine);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    status->addWidget(ProgressBar);
    StatusLine->hide();
    layout->addWidget(StatusLine);

    const DialogButtons buttons = makeDialogButtons(
        this, QStringLiteral("&OK"), QStringLiteral("&Cancel"), QStringLiteral("&Help"), 38);
    OKBtn = buttons.ok;
    CancelBtn = buttons.cancel;
    connect(OKBtn, &QPushButton::clicked, this, &TMailingListBuilder::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    layout->addLayout(buttons.layout);

    connect(TemplateBox, &QComboBox::currentIndexChanged, this, &TMailingListBuilder::updateOk);
    connect(TypeEdit, &QLineEdit::textChanged, this, &TMailingListBuilder::updateOk);
    updateOk();

    resizeWithinScreen(this, QSize(fontMetrics().averageCharWidth() * 80, sizeHint().height()));
    fitHeightToWidth(this);
}

void TMailingListBuilder::updateOk()
{
    OKBtn->setEnabled(TemplateBox->currentIndex() >= 0 && !TypeEdit->text().isEmpty());
}

void TMailingListBuilder::OKBtnClick()
{
    if (!OKBtn->isEnabled())
        return;
    // A customer letter has no order: its order tags would come out empty.
    try {
        const QStringList orderTags =
            orderTagsIn(templateBody(dataDir(), TemplateBox->currentText()));
        if (!orderTags.isEmpty() &&
            messages().ask(emptyInCustomerLetterText(orderTags) + QStringLiteral("\nMerge anyway?"),
                           Buttons::YesNo) != Answer::Yes)
            return;
    } catch (const Error& e) {
        messages().error(e.text());
        return;
    }
    StatusLine->show();
    ProgressBar->setValue(0);
    MailingListMerge result;
    try {
        ProgressBar->setMaximum(qMax(1, m_customers.recordCount()));
        BusyCursor busy;
        OKBtn->setEnabled(false);
        CancelBtn->setEnabled(false);
        result = mergeMailingList(m_customers, dataDir(), TemplateBox->currentText(),
                                  TypeEdit->text(), [this](int letters) {
                                      // Repaint now and then; the merchant waits for the end.
                                      if (letters % 256 == 0) {
                                          ProgressBar->setValue(letters);
                                          QCoreApplication::processEvents(
                                              QEventLoop::ExcludeUserInputEvents);
                                      }
                                  });
        ProgressBar->setValue(result.letters);
    } catch (const Error& e) {
        StatusLine->hide();
        messages().error(e.text());
        accept();
        return;
    }
    CancelBtn->setEnabled(true);
    StatusLine->hide();
    switch (result.outcome) {
    case MailingListMerge::Outcome::InvalidTemplate:
        updateOk();
        messages().error(QString::fromUtf8(kInvalidFormLetter));
        return;
    case MailingListMerge::Outcome::Refused:
        messages().error(QString::fromUtf8(kOperationAborted));
        break;
    case MailingListMerge::Outcome::Done:
        messages().info(QString::number(result.letters) + QString::fromUtf8(kMessagesAdded));
        break;
    }
    if (!result.notOneAddress.isEmpty())
        messages().warning(result.notOneAddress.join(QLatin1Char('\n')));
    accept();
}

} // namespace os
