#pragma once

#include "gui/app/table_model.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class QLayout;
class QPushButton;

namespace os {

class DbGrid;
class RecordNavigator;

// The pattern of the store-configuration editors of the "&Options" menu: a
// modal window filled from the settings record when it is made. OK (or Done)
// calls store(); when that accepts, the settings file is written and the
// window closes. Cancel, Escape and the title bar close without storing.
//
// An editor of a rate table adds a grid (addGrid): rows are stored by the grid
// itself under the table's row rules, independently of OK and Cancel. Closing
// the window by any means first posts a row being edited or inserted; a
// refused post keeps the window open on that row until it is corrected or
// its edit cancelled (Escape in the grid, or the navigator's Cancel).
class ConfigEditor : public QDialog
{
    Q_OBJECT
public:
    ~ConfigEditor() override;

    QPushButton* OKBtn = nullptr;     // "OK", "&OK", "Done" or "&Done"
    QPushButton* CancelBtn = nullptr; // null in a window without Cancel
    QPushButton* HelpBtn = nullptr;

    void done(int result) override;

protected:
    // A window sized for a large screen is made to fit a small or scaled one.
    void showEvent(QShowEvent* event) override;
    ConfigEditor(QWidget* parent, const QString& objectName, const QString& caption, int helpTopic);

    // A grid over `table` (opened when it is not open) with a record
    // navigator that moves, adds, deletes, posts and cancels rows; returns
    // the two in one widget, named `name`. Besides the table's own row rule,
    // a text that would split the records of a published rate table (a "^"
    // or a terminator such as ":TAX:") is refused, naming the column by its
    // title. `closeOnExit`: the table is closed when the window closes.
    QWidget* addGrid(Table* table, QList<GridColumn> columns, const QString& name, bool closeOnExit,
                     DbGrid** grid = nullptr);
    // The grid's columns titled as a percentage hold a fraction (the grid's
    // tooltip says so). Where `fields` of `table` must stay under 1, a whole
    // percentage typed there (5.5) is refused naming the fraction meant:
    // "Enter 0.055 for 5.5%."
    void refuseWholePercents(Table* table, const QStringList& fields);
    // Posts a row being edited or inserted in any grid; false (the refusal
    // shown, the grid on the row) when one was refused.
    bool postGrids();

    // The button of a logical cell: puts the grid's current row into edit
    // (unless it is being edited or inserted) and asks `question` with Yes,
    // No and Help. Yes sets `field` true, No false; Help opens the window's
    // help topic and leaves the value.
    void askLogicalCell(DbGrid* grid, const QString& field, const QString& question);

    // Windows whose Done only closes (no settings of their own).
    void setSavesSettings(bool on) { m_savesSettings = on; }

    // Lays out `body` above the button row; an empty `cancelText` leaves
    // Cancel out.
    void finish(QLayout* body, const QString& okText, const QString& cancelText,
                const QString& helpText);

    // Stores the controls into the settings record. False (after telling the
    // merchant why) when nothing may be stored: the window stays open.
    virtual bool store() = 0;

    int helpTopic() const { return m_helpTopic; }

private:
    void OKBtnClick();
    QHash<Table*, QStringList> m_percentFields;

    struct Bound
    {
        DbGrid* grid;
        QPointer<Table> table;
        bool closeOnExit;
        std::function<bool(Table&)> rule; // the table's own, put back on close
    };

    int m_helpTopic;
    bool m_savesSettings = true;
    bool m_closed = false;
    QList<Bound> m_grids;
};

// A flat button that looks like a link ("Show Shipping Extensions").
QPushButton* makeLinkButton(const QString& text, const QString& objectName, QWidget* parent);

} // namespace os
