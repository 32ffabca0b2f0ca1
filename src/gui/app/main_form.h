#pragma once

#include "base/busy_cursor.h"
#include "base/main_services.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;

namespace os {

class TMainDataMod;
struct MainCommand;

// The program's frame window: menus, toolbar, status bar and the child
// windows (browsers and the Connections window) in an MDI area. Every action,
// menu and toolbar button has a stable object name (see docs/windows.md).
class TMainForm : public QMainWindow, public MainServices
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The main window of the run (the last one created and still alive), or null.
    static TMainForm* instance();

    // MainServices
    void SetCommandsEnabled(bool enabled) override;
    void CloseOtherChildWindows() override;

    // The open-database command: closes the child windows, reopens the
    // company database of the data module (TMainDataMod::instance()) and sets
    // the commands' enabled state from the outcome. os::ProgramTermination
    // passes through to the caller.
    void openDatabaseCommand();

    // The questions the data module's change notifications depend on; both
    // false when there is no child window.
    bool activeChildIsOrdersBrowser() const;
    bool activeChildIsCustomersBrowser() const;

    // Adds `widget` as a child window and shows it (maximised if asked).
    QMdiSubWindow* addChildWindow(QWidget* widget, bool maximized = false);

    // A browser (a ChildBrowser taking the MainServices): one instance,
    // created maximised with the busy cursor; an open one is brought to the
    // front instead and told so (ChildBrowser::broughtToFront).
    template <class Browser> Browser* showChildBrowser()
    {
        if (QMdiSubWindow* open = childWindowOf(Browser::staticMetaObject)) {
            bringToFront(open);
            return qobject_cast<Browser*>(childWidget(open));
        }
        BusyCursor busy;
        auto* browser = new Browser(static_cast<MainServices*>(this));
        addChildWindow(browser, true);
        return browser;
    }
    // The child window showing a widget of `type`, or null.
    QMdiSubWindow* childWindowOf(const QMetaObject& type) const;
    void bringToFront(QMdiSubWindow* sub);
    QMdiArea* mdiArea() const { return m_mdi; }

    // The status bar panes: the active database, and the current order's
    // store status text (visible only while the orders browser is active).
    QLabel* databasePane() const { return m_databasePane; }
    QLabel* orderStatusPane() const { return m_orderStatusPane; }
    void updateDatabasePane();

    // Whether the window behind a command exists in this build; commands
    // without one stay disabled whatever SetCommandsEnabled says.
    bool isImplemented(const QAction* command) const;

    // A modal window of the main window (a settings editor, say): created
    // anew each time, run, and freed.
    template <class Dialog> void runModal()
    {
        Dialog dialog(this);
        dialog.exec();
        // The settings editors may have changed what the status bar shows.
        updateDatabasePane();
    }

public slots:
    void ExitClick();   // "E&xit" and "Exit": asks first
    void OnlineClick(); // the Connections window, one instance
    void MinimizeAllClick();
    void HelpContentsClick();
    // "Help" and F1: the help topic of the active child window (its
    // "helpTopic" property), or the contents.
    void HelpClick();
    // "Getting Started": the window of a new shop's steps, one instance.
    void GettingStartedClick();

public:
    // At start: the Getting Started window, unless the merchant asked it
    // away or every step is done.
    void showGettingStartedAtStart();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static QWidget* childWidget(QMdiSubWindow* sub);
    // Menus and toolbar from the command table (main_commands.h).
    void buildCommands();
    void buildStatusBar();
    void applyEnabled();
    void updateCommandTips();
    void activeWindowChanged();
    void updateOrderStatusPane();
    void rebuildWindowMenu();
    void watchDataModule();
    // Imports kept replies a killed retrieval left pending; says so in the status bar.
    void importPendingRepliesAtStart();

    QMdiArea* m_mdi = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_databasePane = nullptr;
    QLabel* m_orderStatusPane = nullptr;

    QMenu* m_fileMenu = nullptr;
    QMenu* m_optionsMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QMenu* m_postOfficeMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QAction* m_minimizeAll = nullptr;
    QAction* m_windowListSeparator = nullptr;
    QList<QAction*> m_windowListItems;

    // The seven toolbar buttons, in their order, and the three menus.
    QList<QAction*> m_toolbarCommands;
    QList<QAction*> m_pendingCommands;
    QList<std::pair<QAction*, const MainCommand*>> m_commands; // every row, built
    bool m_databaseOpen = false;
    QPointer<QMdiSubWindow> m_updateSite;
    QPointer<QWidget> m_gettingStarted;
    QPointer<TMainDataMod> m_watchedDataModule;
    bool m_commandsEnabled = true;
    bool m_operationRunning = false; // commands disabled by a long operation
};

} // namespace os
