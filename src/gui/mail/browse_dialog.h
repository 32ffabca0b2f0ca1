#pragma once

#include <QDialog>
#include <QKeySequence>
#include <QStyle>

#include <functional>

class QSplitter;
class QStatusBar;
class QToolBar;

namespace os {

class DbGrid;

// The modal browsers of the mail and the to-do list (OutBox, Sent Items,
// Quillform Templates, To Do List): a toolbar of commands, a read-only grid
// over one table, the current row in full below it, and a status line. The
// grid has the focus; Enter runs the window's open command (Edit, Modify /
// View, Edit / View Entry) and Delete its delete command, as a merchant
// expects of a list.
class BrowseDialog : public QDialog
{
    Q_OBJECT
public:
    BrowseDialog(const QString& caption, const QString& toolbarTitle, int helpTopic,
                 QWidget* parent = nullptr);

    QToolBar* toolBar() const { return m_toolBar; }
    DbGrid* grid() const { return m_grid; }
    QStatusBar* statusLine() const { return m_status; }

    // A toolbar command named `name` (its object name; the action's too).
    // Without a `shortcut`, the caption's "&" letter with Alt runs it from
    // anywhere in the window.
    QAction* addCommand(const QString& caption, const char* name, QStyle::StandardPixmap icon,
                        std::function<void()> run, const QKeySequence& shortcut = {});
    // The Help command at the end of the toolbar.
    void addHelp();
    // The widget below the grid (the row in full).
    void setDetail(QWidget* detail);
    // The commands Enter and Delete run in the grid.
    void setOpenCommand(QAction* action) { m_open = action; }
    void setDeleteCommand(QAction* action) { m_delete = action; }

    // Sets the commands' enabled states; runs when the window is shown and
    // whenever the grid's row or data changes.
    virtual void updateCommands() {}

protected:
    // Call once the grid has its table.
    void followGrid();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QToolBar* m_toolBar;
    DbGrid* m_grid;
    QSplitter* m_splitter;
    QStatusBar* m_status;
    int m_helpTopic;
    QAction* m_open = nullptr;
    QAction* m_delete = nullptr;
};

} // namespace os
