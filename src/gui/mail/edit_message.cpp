#include "gui/mail/edit_message.h"
#include "gui/app/window_size.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/table.h"
#include "gui/mail/message_fields.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace os {

TEditMessage::TEditMessage(Table* table, QWidget* parent) : QDialog(parent), m_table(table)
{
    setObjectName(QStringLiteral("EditMessage"));
    setWindowTitle(QStringLiteral("Edit Message"));
    resizeWithinScreen(this,
                       QSize(fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 30));

    PostBtn = new QPushButton(QStringLiteral("&Post Updates"), this);
    PostBtn->setObjectName(QStringLiteral("PostBtn"));
    CancelBtn = new QPushButton(QStringLiteral("&Cancel Updates"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PostBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch();

    Fields = new MessageFields(MessageFields::Editable, this);
    StateLabel = layOutMessageWindow(this, buttons, Fields);

    Fields->load(*m_table);
    showState();
    connect(m_table, &Table::stateChanged, this, &TEditMessage::showState);
    connect(PostBtn, &QPushButton::clicked, this, &TEditMessage::PostBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TEditMessage::CancelBtnClick);
    Fields->ToEdit->setFocus();
}

void TEditMessage::showState()
{
    StateLabel->setText(tableStateText(*m_table));
}

void TEditMessage::PostBtnClick()
{
    try {
        if (m_table->state() == Table::State::Browse)
            m_table->edit();
        Fields->store(*m_table);
        if (!m_table->post())
            return; // refused: the message was shown; the fields stay
    } catch (const Error& e) {
        messages().error(e.text());
        return;
    }
    accept();
}

void TEditMessage::CancelBtnClick()
{
    m_table->cancel();
    QDialog::reject();
}

void TEditMessage::reject()
{
    CancelBtnClick();
}

} // namespace os
