#include "gui/storeconfig/config_editor.h"

#include "base/messages.h"
#include "base/settings.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/dialog_buttons.h"
#include "gui/app/help_window.h"
#include "gui/app/record_navigator.h"
#include "gui/app/window_size.h"
#include "gui/settings/settings_editor.h"
#include "sync/rate_tables.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QHash>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace os {

ConfigEditor::ConfigEditor(QWidget* parent, const QString& objectName, const QString& caption,
                           int helpTopic)
    : QDialog(parent), m_helpTopic(helpTopic)
{
    setObjectName(objectName);
    setWindowTitle(caption);
}

void ConfigEditor::finish(QLayout* body, const QString& okText, const QString& cancelText,
                          const QString& helpText)
{
    const DialogButtons row = makeDialogButtons(this, okText, cancelText, helpText, m_helpTopic);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    HelpBtn = row.help;
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(row.layout);
    connect(OKBtn, &QPushButton::clicked, this, &ConfigEditor::OKBtnClick);
    if (CancelBtn)
        connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    if (!m_grids.isEmpty()) {
        // Enter in a grid posts its row; it never closes the window.
        OKBtn->setDefault(false);
        OKBtn->setAutoDefault(false);
    }
    if (!findChild<QAbstractItemView*>())
        fitHeightToWidth(this); // a window with a grid has a size of its own
}

ConfigEditor::~ConfigEditor()
{
    for (const Bound& b : std::as_const(m_grids)) {
        if (b.table)
            b.table->setBeforePost(b.rule);
    }
}

QWidget* ConfigEditor::addGrid(Table* table, QList<GridColumn> columns, const QString& name,
                               bool closeOnExit, DbGrid** gridOut)
{
    auto* box = new QWidget(this);
    box->setObjectName(name);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* grid = new DbGrid(box);
    grid->setObjectName(name + QStringLiteral("Grid"));
    if (gridOut)
        *gridOut = grid;

    try {
        if (!table->isOpen())
            table->open();
    } catch (const DbError& e) {
        messages().error(e.text());
    }

    // A column text the store would read as a separator is refused after the
    // table's own rule, with the column named as this grid titles it.
    QHash<QString, QString> titles;
    for (const GridColumn& c : std::as_const(columns))
        titles.insert(c.field, c.title.isEmpty() ? c.field : c.title);
    const std::function<bool(Table&)> own = table->beforePost();
    table->setBeforePost([this, table, own, titles](Table& t) {
        for (const QString& field : m_percentFields.value(table)) {
            const QVariant v = t.value(field);
            if (v.isNull() || v.toDouble() < 1.0)
                continue;
            const QLocale locale;
            messages().error(QString::fromUtf8(kPercentageMessage) +
                             QStringLiteral("\r\rEnter %1 for %2%.")
                                 .arg(locale.toString(v.toDouble() / 100, 'g', 12),
                                      locale.toString(v.toDouble(), 'g', 12)));
            return false;
        }
        if (own && !own(t))
            return false;
        if (const std::optional<SeparatorInColumn> bad = separatorInRow(t)) {
            messages().error(
                separatorRefusalText(titles.value(bad->column, bad->column), bad->separator));
            return false;
        }
        return true;
    });
    m_grids.append(Bound{grid, table, closeOnExit, own});
    QStringList percents;
    for (const GridColumn& c : std::as_const(columns)) {
        if (c.title.contains(QLatin1String("Percent"), Qt::CaseInsensitive))
            percents << c.title;
    }
    if (!percents.isEmpty())
        grid->setToolTip(QStringLiteral("%1: a fraction, for example 0.055 for 5.5%")
                             .arg(percents.join(QStringLiteral(", "))));

    grid->setTable(table, std::move(columns), true);
    auto* navigator = new RecordNavigator(grid->tableModel(),
                                          RecordNavigator::Moves | RecordNavigator::Insert |
                                              RecordNavigator::Delete | RecordNavigator::Post |
                                              RecordNavigator::Cancel,
                                          box);
    layout->addWidget(navigator, 0, Qt::AlignLeft);
    layout->addWidget(grid, 1);
    return box;
}

void ConfigEditor::refuseWholePercents(Table* table, const QStringList& fields)
{
    m_percentFields.insert(table, fields);
}

bool ConfigEditor::postGrids()
{
    for (const Bound& b : std::as_const(m_grids)) {
        if (!b.table || !b.table->isOpen())
            continue;
        b.grid->commitEditor();
        const Table::State state = b.table->state();
        if (state != Table::State::Edit && state != Table::State::Insert)
            continue;
        bool posted = false;
        try {
            posted = b.table->post();
        } catch (const DbError& e) {
            messages().error(e.text());
        }
        if (!posted) {
            b.grid->setFocus();
            return false;
        }
    }
    return true;
}

void ConfigEditor::askLogicalCell(DbGrid* grid, const QString& field, const QString& question)
{
    Table* t = grid->table();
    if (!t || !t->isOpen())
        return;
    grid->commitEditor();
    try {
        if (t->state() == Table::State::Browse) {
            if (t->isEmpty())
                return; // no row to answer for
            t->edit();
        }
    } catch (const DbError& e) {
        messages().error(e.text());
        return;
    }
    switch (messages().ask(question, Buttons::YesNoHelp)) {
    case Answer::Yes:
        t->setValue(field, true);
        break;
    case Answer::No:
        t->setValue(field, false);
        break;
    case Answer::Help:
        showHelpTopic(m_helpTopic);
        break;
    default:
        break;
    }
}

void ConfigEditor::done(int result)
{
    if (m_closed) {
        QDialog::done(result);
        return;
    }
    if (!postGrids())
        return;
    m_closed = true;
    for (const Bound& b : std::as_const(m_grids)) {
        if (b.closeOnExit && b.table)
            b.table->close();
    }
    QDialog::done(result);
}

void ConfigEditor::OKBtnClick()
{
    // A refused row keeps the window open before anything is stored; a file
    // that cannot be written is shown and the window stays open (the record
    // keeps the values), so that OK can be pressed again.
    if (!postGrids() || !store())
        return;
    if (m_savesSettings && !saveEditedSettings())
        return;
    accept();
}

QPushButton* makeLinkButton(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* link = new QPushButton(text, parent);
    link->setObjectName(objectName);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(
        QStringLiteral("color: palette(link); text-decoration: underline; text-align: left;"));
    return link;
}

void ConfigEditor::showEvent(QShowEvent* event)
{
    // Sized for a large screen in the constructor; a small or scaled one
    // gets what fits.
    if (!event->spontaneous())
        resizeWithinScreen(this, size());
    QDialog::showEvent(event);
}

} // namespace os
