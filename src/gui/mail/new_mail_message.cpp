#include "gui/mail/new_mail_message.h"
#include "gui/app/window_size.h"

#include "base/clock.h"
#include "base/error.h"
#include "base/messages.h"
#include "base/settings.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/help_window.h"
#include "gui/mail/message_fields.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace os {

namespace {

constexpr int kHelpTopic = 39;

} // namespace

TNewMailMessage::TNewMailMessage(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("NewMailMessage"));
    setWindowTitle(QStringLiteral("New E-mail Message"));
    setProperty("helpTopic", kHelpTopic); // F1
    resizeWithinScreen(this,
                       QSize(fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 32));

    PostBtn = new QPushButton(QStringLiteral("&Post New Message"), this);
    PostBtn->setObjectName(QStringLiteral("PostBtn"));
    CancelBtn = new QPushButton(QStringLiteral("&Cancel New Message"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    HelpBtn = new QPushButton(QStringLiteral("&Help"), this);
    HelpBtn->setObjectName(QStringLiteral("HelpBtn"));
    for (QPushButton* b : {PostBtn, CancelBtn, HelpBtn})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PostBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch();
    buttons->addWidget(HelpBtn);

    Fields = new MessageFields(MessageFields::EditableWithType, this);
    Fields->FromEdit->installEventFilter(this);
    StateLabel = layOutMessageWindow(this, buttons, Fields);

    connect(PostBtn, &QPushButton::clicked, this, &TNewMailMessage::PostBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TNewMailMessage::CancelBtnClick);
    connect(HelpBtn, &QPushButton::clicked, this, [] { showHelpTopic(kHelpTopic); });
    if (Table* t = outbox())
        connect(t, &Table::stateChanged, this, &TNewMailMessage::showState);
}

TNewMailMessage* TNewMailMessage::instance(QWidget* owner)
{
    static QPointer<TNewMailMessage> window;
    if (!window)
        window = new TNewMailMessage(owner);
    return window;
}

Table* TNewMailMessage::outbox() const
{
    TMainDataMod* data = TMainDataMod::instance();
    return data ? data->OUTBOX : nullptr;
}

void TNewMailMessage::showState()
{
    if (Table* t = outbox())
        StateLabel->setText(tableStateText(*t));
}

int TNewMailMessage::exec()
{
    if (Table* t = outbox())
        Fields->load(*t);
    else
        Fields->clear();
    showState();
    Fields->ToEdit->setFocus();
    return QDialog::exec();
}

bool TNewMailMessage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Fields->FromEdit && event->type() == QEvent::FocusIn &&
        Fields->FromEdit->text().isEmpty())
        Fields->FromEdit->setText(settings().infoMail);
    return QDialog::eventFilter(watched, event);
}

void TNewMailMessage::PostBtnClick()
{
    Table* t = outbox();
    if (!t || !t->isOpen())
        return;
    try {
        if (t->state() == Table::State::Browse)
            t->edit();
        Fields->store(*t);
        t->setValue(QStringLiteral("IDATE"), Clock::now());
        if (!t->post())
            return; // the completeness message was shown; the message stays
    } catch (const Error& e) {
        messages().error(e.text());
        return;
    }
    messages().info(QStringLiteral("Message added to your OutBox"));
    t->close();
    accept();
}

void TNewMailMessage::CancelBtnClick()
{
    if (Table* t = outbox()) {
        t->cancel();
        t->close();
    }
    QDialog::reject();
}

void TNewMailMessage::reject()
{
    CancelBtnClick();
}

void NewEmailMessagesCommand(QWidget* mainForm)
{
    TMainDataMod* data = TMainDataMod::instance();
    if (!data)
        return;
    Table* outbox = data->OUTBOX;
    TNewMailMessage* window = TNewMailMessage::instance(mainForm);
    try {
        if (!outbox->isOpen())
            outbox->open();
        outbox->last();
        outbox->insert();
    } catch (const Error& e) {
        outbox->cancel();
        window->close();
        messages().error(e.text());
        return;
    }
    window->exec();
}

} // namespace os
