#include "gui/app/db_grid.h"

#include "base/clock.h"
#include "base/messages.h"
#include "data/catalogue.h"
#include "data/db_error.h"
#include "data/stored_values.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace os {

// The view's cursor: before it leaves a row being edited or inserted the row
// is posted, and a refused post keeps the cursor (and the selection) there.
class DbGrid::Cursor : public QItemSelectionModel
{
public:
    Cursor(DbGrid* grid, QAbstractItemModel* model) : QItemSelectionModel(model, grid), m_grid(grid)
    {
    }

    using QItemSelectionModel::select;

    void setCurrentIndex(const QModelIndex& index,
                         QItemSelectionModel::SelectionFlags command) override
    {
        QModelIndex target = index;
        TableModel* model = m_grid->m_model;
        if (model && index.isValid() && index.row() != model->currentRow() &&
            model->currentRow() >= 0) {
            if (!m_grid->commitEditor())
                return;
            int row = index.row();
            if (!model->leaveRow(row))
                return;
            target = model->index(row, index.column());
        }
        QItemSelectionModel::setCurrentIndex(target, command);
    }

    void select(const QItemSelection& selection,
                QItemSelectionModel::SelectionFlags command) override
    {
        // While a row is being edited no other row can be selected.
        TableModel* model = m_grid->m_model;
        if (model && model->table() && model->table()->isOpen()) {
            const Table::State s = model->table()->state();
            if (s == Table::State::Edit || s == Table::State::Insert) {
                for (const QModelIndex& i : selection.indexes()) {
                    if (i.row() != model->currentRow())
                        return;
                }
            }
        }
        QItemSelectionModel::select(selection, command);
    }

private:
    DbGrid* m_grid;
};

// Text editors hold at most the column's size; the open editor is known to
// the grid so that it can be committed before the row is posted.
class DbGrid::Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(DbGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        TableModel* model = m_grid->m_model;
        QWidget* editor = nullptr;
        if (model && !model->gridColumn(index.column()).pickList.isEmpty()) {
            // Typed, or picked from the column's list (Alt+Down opens it).
            auto* pick = new QComboBox(parent);
            pick->setEditable(true);
            pick->setInsertPolicy(QComboBox::NoInsert);
            pick->addItems(model->gridColumn(index.column()).pickList);
            editor = pick;
        } else {
            editor = QStyledItemDelegate::createEditor(parent, option, index);
        }
        QLineEdit* line = qobject_cast<QLineEdit*>(editor);
        if (auto* pick = qobject_cast<QComboBox*>(editor))
            line = pick->lineEdit();
        if (line && model) {
            const FieldDef& f = model->table()->def().fields.at(model->fieldOf(index.column()));
            if (f.type == FieldType::Alpha && f.size > 0)
                line->setMaxLength(f.size);
            line->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
        }
        m_grid->m_editor = editor;
        m_grid->m_editorIndex = index;
        return editor;
    }

    // A value the column cannot hold never leaves the editor: Enter and Tab
    // show the refusal and keep the typing, and leaving the editor for
    // another widget leaves it open as it is.
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && editor == m_grid->m_editor) {
            if (event->type() == QEvent::KeyPress) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab ||
                     key == Qt::Key_Backtab) &&
                    m_grid->refuseEditor())
                    return true;
            } else if (event->type() == QEvent::FocusOut &&
                       !m_grid->refusalOf(editor, m_grid->m_editorIndex).isEmpty()) {
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        if (m_grid->m_editor == editor)
            m_grid->m_editor = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

private:
    DbGrid* m_grid;
};

DbGrid::DbGrid(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setItemDelegate(new Delegate(this));
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The row indicator: the current row, "I" while edited, "*" while new.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) + 8);
    verticalHeader()->setHighlightSections(false);
}

DbGrid::~DbGrid() = default;

void DbGrid::setTable(Table* table, QList<GridColumn> columns, bool editable)
{
    QItemSelectionModel* oldCursor = selectionModel();
    TableModel* old = m_model;
    m_model = new TableModel(table, std::move(columns), this);
    m_model->setEditable(editable);
    setModel(m_model);
    setSelectionModel(new Cursor(this, m_model));
    // The table view posts on every row change; the cursor posts before the
    // row is left instead (and keeps the row on a refusal).
    QObject::disconnect(selectionModel(), SIGNAL(currentRowChanged(QModelIndex, QModelIndex)),
                        m_model, SLOT(submit()));
    delete oldCursor;
    delete old;
    setEditTriggers(editable
                        ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed
                        : QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(editable);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_model->setCurrentRow(current.row());
            });
    connect(m_model, &TableModel::currentRowChanged, this, &DbGrid::followTable);
    // After the model (connected first) has placed the new row.
    disconnect(m_newRowWatch);
    if (table)
        m_newRowWatch = connect(table, &Table::currentChanged, this, &DbGrid::startNewRow);
    connect(m_model, &QAbstractItemModel::modelReset, this,
            [this] { followTable(m_model->currentRow()); });
    applyColumnWidths();
    followTable(m_model->currentRow());
}

void DbGrid::applyColumnWidths()
{
    const QFontMetrics fm = fontMetrics();
    const int charWidth = fm.averageCharWidth();
    // Dates and amounts as this locale writes them, at their widest.
    const QDateTime wideTime(QDate(2000, 12, 28), QTime(23, 58, 58));
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const GridColumn& col = m_model->gridColumn(c);
        const FieldDef& f = m_model->table()->def().fields.at(m_model->fieldOf(c));
        int px = col.width * charWidth;
        if (col.width <= 0) {
            switch (f.type) {
            case FieldType::Alpha:
                px = qBound(8, f.size, 30) * charWidth;
                break;
            case FieldType::Memo:
                px = 30 * charWidth;
                break;
            case FieldType::Timestamp:
                px = fm.horizontalAdvance(m_model->displayText(c, wideTime));
                break;
            case FieldType::Date:
                px = fm.horizontalAdvance(m_model->displayText(c, wideTime.date()));
                break;
            case FieldType::Logical:
                px = 6 * charWidth;
                break;
            case FieldType::Money:
            case FieldType::Number:
                px = fm.horizontalAdvance(m_model->displayText(c, -88888.88));
                break;
            default:
                px = 9 * charWidth;
                break;
            }
        }
        px = qMax(px, fm.horizontalAdvance(col.title) + 2 * charWidth);
        setColumnWidth(c, px + 12);
    }
}

void DbGrid::followTable(int row)
{
    if (!m_model)
        return;
    QItemSelectionModel* cursor = selectionModel();
    if (row < 0) {
        if (cursor->currentIndex().isValid())
            cursor->clear();
        viewport()->update();
        return;
    }
    const int column = qMax(0, cursor->currentIndex().column());
    const QModelIndex target = m_model->index(row, column);
    if (cursor->currentIndex() != target || !cursor->isRowSelected(row, {})) {
        cursor->setCurrentIndex(target,
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    scrollTo(target);
    verticalHeader()->viewport()->update();
}

bool DbGrid::commitEditor()
{
    if (QWidget* editor = m_editor) {
        if (refuseEditor())
            return false;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    return true;
}

void DbGrid::dropEditor()
{
    if (QWidget* editor = m_editor)
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

QString DbGrid::refusalOf(QWidget* editor, const QModelIndex& index) const
{
    if (!m_model || !index.isValid() || !table())
        return {};
    QString text;
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        text = line->text();
    else if (auto* pick = qobject_cast<QComboBox*>(editor))
        text = pick->currentText();
    else
        return {}; // date, time and number editors hold only what fits
    const FieldDef& def = table()->def().fields.at(m_model->fieldOf(index.column()));
    QVariant value = text;
    if (isFloatType(def.type)) {
        // Numbers are typed in the locale's form, as the model takes them.
        bool ok = false;
        const double d = QLocale().toDouble(text.trimmed(), &ok);
        if (ok)
            value = d;
    }
    try {
        toStored(value, &def);
    } catch (const DbError& e) {
        // The merchant knows the column by its title, not by the field.
        QString refusal = e.text();
        const QString field = QStringLiteral(" field %1.").arg(def.name);
        if (refusal.endsWith(field)) {
            refusal.chop(field.size());
            refusal += QStringLiteral(" field %1.").arg(m_model->gridColumn(index.column()).title);
        }
        return refusal;
    }
    return {};
}

bool DbGrid::refuseEditor()
{
    QWidget* editor = m_editor;
    const QString refusal = refusalOf(editor, m_editorIndex);
    if (refusal.isEmpty())
        return false;
    messages().error(refusal);
    if (editor) {
        editor->setFocus();
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->selectAll();
    }
    return true;
}

void DbGrid::setNewRowStart(const QString& stampField, const QString& typingField)
{
    m_stampField = stampField;
    m_typingField = typingField;
}

void DbGrid::startNewRow()
{
    Table* t = table();
    if (!t || !t->isOpen() || t->state() != Table::State::Insert || m_stampField.isEmpty())
        return;
    const int row = m_model->currentRow();
    if (row < 0)
        return;
    int stamp = -1;
    int typing = -1;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        if (m_model->gridColumn(c).field == m_stampField)
            stamp = c;
        if (m_model->gridColumn(c).field == m_typingField)
            typing = c;
    }
    if (stamp >= 0 && t->value(m_stampField).isNull()) {
        const FieldType type = t->def().fields.at(m_model->fieldOf(stamp)).type;
        const QVariant now =
            type == FieldType::Date ? QVariant(Clock::today()) : QVariant(Clock::now());
        m_model->setData(m_model->index(row, stamp), now, Qt::EditRole);
    }
    if (typing >= 0)
        selectionModel()->setCurrentIndex(m_model->index(row, typing),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
}

void DbGrid::deleteCurrentRow()
{
    Table* t = table();
    if (!t || !t->isOpen() || m_model->rowCount() == 0)
        return;
    if (messages().ask(QStringLiteral("Delete record?"), Buttons::YesNo, MessageKind::Warning) !=
        Answer::Yes)
        return;
    try {
        t->remove();
    } catch (const DbError& e) {
        messages().error(e.text());
    }
}

bool DbGrid::rowIsBlank() const
{
    const Table* t = table();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const QVariant v = t->value(m_model->gridColumn(c).field);
        if (!v.isNull() && !v.toString().isEmpty())
            return false;
    }
    return true;
}

void DbGrid::showRowMenu(const QPoint& global)
{
    if (m_rowMenu && !m_rowMenu->isEmpty())
        m_rowMenu->exec(global);
}

void DbGrid::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_rowMenu) {
        QTableView::contextMenuEvent(event);
        return;
    }
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse) {
        // The commands act on the row clicked.
        const QModelIndex at = indexAt(event->pos());
        if (at.isValid() && at.row() != currentIndex().row())
            setCurrentIndex(at);
        showRowMenu(event->globalPos());
        return;
    }
    const QRect cell = visualRect(currentIndex());
    showRowMenu(
        viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : viewport()->rect().center()));
}

void DbGrid::keyPressEvent(QKeyEvent* event)
{
    if (m_rowMenu && ((event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier) ||
                      (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier))) {
        event->accept();
        const QRect cell = visualRect(currentIndex());
        showRowMenu(viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft()
                                                           : viewport()->rect().center()));
        return;
    }
    Table* t = table();
    const bool editing = t && t->isOpen() &&
                         (t->state() == Table::State::Edit || t->state() == Table::State::Insert);
    const bool editable = m_model && m_model->isEditable();
    switch (event->key()) {
    case Qt::Key_Escape:
        if (editing) {
            t->cancel();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // From an open cell editor the delegate commits the cell and posts.
        if (m_editor) {
            event->accept();
            return;
        }
        if (editing) {
            m_model->submit();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Insert:
        if (editable && event->modifiers() == Qt::NoModifier) {
            try {
                t->insert();
            } catch (const DbError& e) {
                messages().error(e.text());
            }
            event->accept();
            return;
        }
        break;
    case Qt::Key_Down:
        // Down from the last row of an editing grid posts it and opens a new
        // one, so a table can be typed in row after row; a new row left
        // blank stays as it is.
        if (editable && event->modifiers() == Qt::NoModifier &&
            currentIndex().row() == m_model->rowCount() - 1) {
            event->accept();
            if (!commitEditor())
                return;
            if (t->state() == Table::State::Insert && rowIsBlank())
                return;
            if (!m_model->submit())
                return;
            m_model->placeNextNewRowLast();
            try {
                t->append();
            } catch (const DbError& e) {
                messages().error(e.text());
            }
            if (t->state() == Table::State::Insert && m_stampField.isEmpty())
                setCurrentIndex(m_model->index(m_model->rowCount() - 1, 0));
            return;
        }
        break;
    case Qt::Key_Delete:
        if (editable && event->modifiers() == Qt::ControlModifier) {
            deleteCurrentRow();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

} // namespace os
