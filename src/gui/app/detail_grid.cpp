#include "gui/app/detail_grid.h"

#include "base/messages.h"
#include "data/db_error.h"
#include "gui/app/db_grid.h"
#include "gui/app/record_navigator.h"

#include <QVBoxLayout>

namespace os {

DetailGrid::DetailGrid(Table* table, QList<GridColumn> columns, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_grid = new DbGrid(this);
    // A new row is a dated note: its date is now and the cursor waits in the
    // first column after the date.
    QString stamp;
    QString typing;
    for (const GridColumn& c : columns) {
        const FieldDef* f = table->def().field(c.field);
        const bool dated = f && (f->type == FieldType::Date || f->type == FieldType::Timestamp);
        if (dated && stamp.isEmpty())
            stamp = c.field;
        else if (!dated && !c.readOnly && typing.isEmpty())
            typing = c.field;
    }
    m_grid->setTable(table, std::move(columns), true);
    m_grid->setNewRowStart(stamp, typing);
    m_navigator = new RecordNavigator(m_grid->tableModel(), RecordNavigator::All, this);
    m_navigator->setObjectName(QStringLiteral("Navigator"));
    layout->addWidget(m_navigator, 0, Qt::AlignLeft);
    layout->addWidget(m_grid, 1);
    setFocusProxy(m_grid);
}

Table* DetailGrid::table() const
{
    return m_grid->table();
}

bool DetailGrid::isTyping() const
{
    const Table* t = table();
    return t && t->isOpen() &&
           (t->state() == Table::State::Edit || t->state() == Table::State::Insert);
}

bool DetailGrid::saveTyping()
{
    if (!m_grid->commitEditor())
        return false; // refused: the typing stays in its cell
    if (!isTyping())
        return true;
    Table* t = table();
    if (t->state() == Table::State::Insert) {
        bool typed = false;
        const TableModel* model = m_grid->tableModel();
        for (int c = 0; c < model->columnCount() && !typed; ++c) {
            const FieldDef& f = t->def().fields.at(model->fieldOf(c));
            if (f.type != FieldType::Date && f.type != FieldType::Timestamp)
                typed = !t->valueAt(model->fieldOf(c)).isNull();
        }
        if (!typed) {
            t->cancel();
            return true;
        }
    }
    try {
        return t->post();
    } catch (const DbError& e) {
        messages().error(e.text());
        return false;
    }
}

void DetailGrid::discardTyping()
{
    // The open cell editor and the row are dropped.
    m_grid->dropEditor();
    if (isTyping())
        table()->cancel();
}

} // namespace os
