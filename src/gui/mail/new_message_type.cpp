#include "gui/mail/new_message_type.h"

#include "base/clock.h"
#include "base/error.h"
#include "base/messages.h"
#include "base/text_utils.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/table.h"
#include "gui/app/dialog_buttons.h"
#include "gui/mail/new_mail_message.h"
#include "mail/outbox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

namespace {

constexpr int kHelpTopic = 40;

const QString kInvalidName =
    QStringLiteral("Could not create form letter because the form letter name was invalid.");

} // namespace

TNewMessageType::TNewMessageType(const Table& source, QWidget* parent)
    : QDialog(parent), m_source([&source](const QString& column) {
          return source.def().fieldIndex(column) < 0 ? QVariant() : source.value(column);
      })
{
    TMainDataMod* data = TMainDataMod::instance();
    m_isOrder = data && &source == data->ORDERs;
    build();
}

TNewMessageType::TNewMessageType(MergeField source, bool isOrder, QWidget* parent)
    : QDialog(parent), m_source(std::move(source)), m_isOrder(isOrder)
{
    build();
}

void TNewMessageType::build()
{
    setObjectName(QStringLiteral("NewMessageType"));
    setWindowTitle(QStringLiteral("New Message Type"));
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);

    TemplateCombo = new QComboBox(this);
    TemplateCombo->setObjectName(QStringLiteral("TemplateCombo"));
    TemplateCombo->addItem(QString());
    if (TMainDataMod* data = TMainDataMod::instance()) {
        try {
            Query names;
            names.setDirectory(data->directory());
            names.setSql(QStringLiteral("SELECT DOCNAME from \"form_letters.db\""));
            for (names.open(); !names.eof(); names.next())
                TemplateCombo->addItem(names.value(0).toString());
        } catch (const Error& e) {
            messages().error(e.text());
        }
    }
    auto* label = new QLabel(QStringLiteral("Optional &Quillform Template:"), this);
    label->setBuddy(TemplateCombo);

    const DialogButtons row =
        makeDialogButtons(this, QStringLiteral("&OK"), QStringLiteral("&Cancel"),
                          QStringLiteral("&Help"), kHelpTopic);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    HelpBtn = row.help;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(TemplateCombo);
    layout->addStretch();
    layout->addLayout(row.layout);
    connect(OKBtn, &QPushButton::clicked, this, &TNewMessageType::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TNewMessageType::OKBtnClick()
{
    TMainDataMod* data = TMainDataMod::instance();
    if (!data)
        return;
    Table& outbox = *data->OUTBOX;
    Table& docs = *data->DocsTable;
    QString email = m_source(QStringLiteral("EMAIL")).toString();
    if (!email.trimmed().isEmpty()) {
        const std::optional<QString> one = singleStoreAddress(email);
        if (!one) {
            const QString whose =
                m_isOrder
                    ? QStringLiteral("order %1").arg(m_source(QStringLiteral("INV")).toString())
                    : QStringLiteral("customer %1")
                          .arg(m_source(QStringLiteral("CUSTID")).toString());
            messages().error(notOneAddressText(whose, email));
            return; // the dialog stays open
        }
        email = *one;
    }
    const QString name = TemplateCombo->currentText();
    try {
        if (name.isEmpty()) {
            if (!outbox.isOpen())
                outbox.open();
            outbox.last();
            outbox.insert();
            outbox.setValue(QStringLiteral("TO"), email);
        } else {
            docs.setFilter(filterEquals(QStringLiteral("DOCNAME"), name));
            docs.setFiltered(true);
            if (docs.recordCount() != 1) {
                docs.setFiltered(false);
                docs.setFilter(QString());
                messages().error(kInvalidName);
                return; // the dialog stays open
            }
            docs.first();
            const QString subject = docs.value(QStringLiteral("DOCNAME")).toString();
            const QString templateBody = docs.value(QStringLiteral("DOCBODY")).toString();
            const QString from = docs.value(QStringLiteral("FROM")).toString();
            docs.setFiltered(false);
            docs.setFilter(QString());
            QString body = MergeLetter(templateBody, m_source, m_isOrder);
            body = ReplaceTag(body, QString::fromLatin1(kShippingInfoTag), QString());
            if (!outbox.isOpen())
                outbox.open();
            outbox.last();
            outbox.insert();
            outbox.setValue(QStringLiteral("SUBJECT"), subject);
            outbox.setValue(QStringLiteral("TO"), email);
            outbox.setValue(QStringLiteral("FROM"), from);
            outbox.setValue(QStringLiteral("BODY"), body);
            outbox.setValue(QStringLiteral("IDATE"), Clock::now());
        }
    } catch (const Error& e) {
        // No new message to write: New E-mail Message would open over
        // whatever row the outbox is on.
        if (outbox.isOpen() && outbox.state() == Table::State::Insert)
            outbox.cancel();
        messages().error(e.text());
        reject();
        return;
    }
    accept();
    // The merchant posts or cancels the message there.
    TNewMailMessage::instance(parentWidget())->exec();
}

} // namespace os
