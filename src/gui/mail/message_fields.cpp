#include "gui/mail/message_fields.h"

#include "data/table.h"
#include "gui/app/db_grid.h"
#include "mail/outbox.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QVBoxLayout>

namespace os {

MessageFields::MessageFields(Mode mode, QWidget* parent) : QWidget(parent), m_mode(mode)
{
    const bool readOnly = mode == ReadOnly;
    auto edit = [this, readOnly](const char* name, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(readOnly);
        e->setMaxLength(maxLength);
        return e;
    };
    ToEdit = edit("ToEdit", 255);
    FromEdit = edit("FromEdit", 255);
    SubjectEdit = edit("SubjectEdit", 100);
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    // Read-only, below a browser's toolbar, the fields leave the Alt keys to
    // the window's commands.
    const QString mark = readOnly ? QString() : QStringLiteral("&");
    form->addRow(mark + QStringLiteral("To:"), ToEdit);
    form->addRow(mark + QStringLiteral("From:"), FromEdit);
    form->addRow(mark + QStringLiteral("Subject:"), SubjectEdit);
    if (mode == EditableWithType) {
        TypeCombo = new QComboBox(this);
        TypeCombo->setObjectName(QStringLiteral("TypeCombo"));
        TypeCombo->addItems(messageTypes());
        form->addRow(QStringLiteral("T&ype:"), TypeCombo);
    }
    BodyEdit = new QPlainTextEdit(this);
    BodyEdit->setObjectName(QStringLiteral("BodyEdit"));
    BodyEdit->setReadOnly(readOnly);
    BodyEdit->setTabChangesFocus(true);
    // Letters are laid out in a fixed font (rules of hyphens, columns).
    BodyEdit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(form);
    layout->addWidget(BodyEdit, 1);
}

void MessageFields::clear()
{
    ToEdit->clear();
    FromEdit->clear();
    SubjectEdit->clear();
    if (TypeCombo)
        TypeCombo->setCurrentIndex(0);
    BodyEdit->clear();
}

void MessageFields::load(const Table& table)
{
    // Without a current row every column reads as empty.
    if (!table.isOpen()) {
        clear();
        return;
    }
    ToEdit->setText(table.value(QStringLiteral("TO")).toString());
    FromEdit->setText(table.value(QStringLiteral("FROM")).toString());
    SubjectEdit->setText(table.value(QStringLiteral("SUBJECT")).toString());
    if (TypeCombo) {
        const QString type = table.value(QStringLiteral("TYPE")).toString();
        int i = TypeCombo->findText(type);
        if (i < 0) { // a type of a merge batch: shown as it is
            TypeCombo->addItem(type);
            i = TypeCombo->count() - 1;
        }
        TypeCombo->setCurrentIndex(i);
    }
    BodyEdit->setPlainText(table.value(QStringLiteral("BODY")).toString());
    ToEdit->setCursorPosition(0);
    FromEdit->setCursorPosition(0);
    SubjectEdit->setCursorPosition(0);
}

void MessageFields::store(Table& table) const
{
    table.setValue(QStringLiteral("TO"), ToEdit->text());
    table.setValue(QStringLiteral("FROM"), FromEdit->text());
    table.setValue(QStringLiteral("SUBJECT"), SubjectEdit->text());
    if (TypeCombo)
        table.setValue(QStringLiteral("TYPE"), TypeCombo->currentText());
    table.setValue(QStringLiteral("BODY"), BodyEdit->toPlainText());
}

QString tableStateText(const Table& table)
{
    switch (table.state()) {
    case Table::State::Inactive:
        return QStringLiteral("Inactive");
    case Table::State::Browse:
        return QStringLiteral("Browse");
    case Table::State::Edit:
        return QStringLiteral("Edit");
    case Table::State::Insert:
        return QStringLiteral("Insert");
    }
    return QString();
}

QList<GridColumn> messageGridColumns()
{
    return {{QStringLiteral("IDATE"), QStringLiteral("Date")},
            {QStringLiteral("TO"), QStringLiteral("To"), 26},
            {QStringLiteral("SUBJECT"), QStringLiteral("Subject"), 34},
            {QStringLiteral("FROM"), QStringLiteral("From"), 24},
            {QStringLiteral("TYPE"), QStringLiteral("Message Type"), 14}};
}

void setMessageGrid(DbGrid* grid, Table* table)
{
    grid->setTable(table, messageGridColumns());
    QHeaderView* header = grid->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(2, QHeaderView::Stretch); // "Subject"
}

QLabel* layOutMessageWindow(QWidget* window, QBoxLayout* buttons, MessageFields* fields)
{
    auto* status = new QStatusBar(window);
    status->setSizeGripEnabled(false);
    auto* state = new QLabel(status);
    state->setObjectName(QStringLiteral("StateLabel"));
    status->addWidget(state);

    auto* layout = new QVBoxLayout(window);
    layout->addLayout(buttons);
    layout->addWidget(fields, 1);
    layout->addWidget(status);
    return state;
}

} // namespace os
