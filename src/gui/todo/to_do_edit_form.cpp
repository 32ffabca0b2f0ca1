#include "gui/todo/to_do_edit_form.h"
#include "gui/app/window_size.h"

#include "base/clock.h"
#include "base/error.h"
#include "base/messages.h"
#include "data/table.h"
#include "gui/app/dialog_buttons.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace os {

namespace {

constexpr int kMaxDescription = 255;
constexpr int kHelpTopic = 30;

} // namespace

TToDoEditForm::TToDoEditForm(Table* todoTable, QWidget* parent)
    : QDialog(parent), m_table(todoTable)
{
    setObjectName(QStringLiteral("ToDoEditForm"));
    setWindowTitle(QStringLiteral("To Do Entry"));
    resizeWithinScreen(this,
                       QSize(fontMetrics().averageCharWidth() * 64, fontMetrics().height() * 14));

    PrioritySpin = new QSpinBox(this);
    PrioritySpin->setObjectName(QStringLiteral("PrioritySpin"));
    PrioritySpin->setRange(0, 5);
    PrioritySpin->setSingleStep(1);
    DescriptionEdit = new QPlainTextEdit(this);
    DescriptionEdit->setObjectName(QStringLiteral("DescriptionEdit"));
    DescriptionEdit->setTabChangesFocus(true);
    DescriptionEdit->installEventFilter(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Priority:"), PrioritySpin);
    auto* label = new QLabel(QStringLiteral("&Description:"), this);
    label->setBuddy(DescriptionEdit);

    const DialogButtons row =
        makeDialogButtons(this, QStringLiteral("&OK"), QStringLiteral("&Cancel"),
                          QStringLiteral("&Help"), kHelpTopic);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(label);
    layout->addWidget(DescriptionEdit, 1);
    layout->addLayout(row.layout);

    const QVariant priority = m_table->value(QStringLiteral("PRIORITY"));
    PrioritySpin->setValue(priority.isNull() ? 0 : priority.toInt());
    DescriptionEdit->setPlainText(m_table->value(QStringLiteral("DESCRIPTION")).toString());

    connect(DescriptionEdit, &QPlainTextEdit::textChanged, this, &TToDoEditForm::keepOneParagraph);
    connect(OKBtn, &QPushButton::clicked, this, &TToDoEditForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TToDoEditForm::CancelBtnClick);
    DescriptionEdit->setFocus();
}

// Pasted line breaks become blanks, and the text stops at 255 characters.
void TToDoEditForm::keepOneParagraph()
{
    QString text = DescriptionEdit->toPlainText();
    QString fixed = text;
    fixed.replace(QLatin1Char('\n'), QLatin1Char(' '));
    fixed.replace(QChar(QChar::ParagraphSeparator), QLatin1Char(' '));
    fixed.truncate(kMaxDescription);
    if (fixed == text)
        return;
    QTextCursor cursor = DescriptionEdit->textCursor();
    const int position = std::min(cursor.position(), int(fixed.size()));
    const QSignalBlocker block(DescriptionEdit);
    DescriptionEdit->setPlainText(fixed);
    cursor = DescriptionEdit->textCursor();
    cursor.setPosition(position);
    DescriptionEdit->setTextCursor(cursor);
}

bool TToDoEditForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DescriptionEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true; // no line breaks in a description
    }
    return QDialog::eventFilter(watched, event);
}

bool TToDoEditForm::save()
{
    const Table::State state = m_table->state();
    if (state != Table::State::Insert && state != Table::State::Edit)
        return true;
    try {
        m_table->setValue(QStringLiteral("PRIORITY"), PrioritySpin->value());
        m_table->setValue(QStringLiteral("IDATE"), Clock::now());
        m_table->setValue(QStringLiteral("DESCRIPTION"), DescriptionEdit->toPlainText());
        return m_table->post(); // a refusal was shown by the row rule
    } catch (const Error& e) {
        messages().error(e.text());
        return false;
    }
}

void TToDoEditForm::OKBtnClick()
{
    if (save())
        accept();
}

void TToDoEditForm::CancelBtnClick()
{
    m_table->cancel();
    QDialog::reject();
}

void TToDoEditForm::reject()
{
    CancelBtnClick();
}

void TToDoEditForm::closeEvent(QCloseEvent* event)
{
    // The window's close button saves like "&OK".
    if (!save()) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(Accepted);
}

} // namespace os
