#pragma once

#include "gui/app/child_commands.h"

#include <QWidget>

class QToolBar;
class QToolButton;
class QVBoxLayout;

namespace os {

class CommandButton;
class DbGrid;
class MainServices;
class Table;

// A browsing child window of the main window (the orders and customers
// browsers): a toolbar "<caption>  Commands" that starts with Close (which
// asks "Are you sure you want to close the <caption> window?") and ends with
// Help, and below it the window's own pages. The window adds its navigator,
// its controls and its command table (child_commands.h) to the toolbar
// between the two, and its pages to body().
//
// One instance per main window: TMainForm::showChildBrowser<T>() creates it
// maximised or brings the open one to the front (calling broughtToFront).
// updateCommands() recomputes the toolbar's enabled states; it runs when the
// window is shown or activated, and whenever a watched table moves or changes
// while the window is the main window's active child.
class ChildBrowser : public QWidget
{
    Q_OBJECT
public:
    ChildBrowser(const QString& caption, int helpTopic, MainServices* main,
                 QWidget* parent = nullptr);
    ~ChildBrowser() override;

    QString caption() const { return m_caption; }
    QToolBar* toolbar() const { return m_toolbar; }
    CommandButton* closeButton() const { return m_close; }
    CommandButton* helpButton() const { return m_help; }
    MainServices* mainServices() const { return m_main; }
    ChildCommandSet& commands() { return m_commands; }

    // The main window's command found the window open and brought it forward.
    virtual void broughtToFront() {}
    // Sets the enabled states of the window's commands.
    virtual void updateCommands() {}

    // Whether the window is the main window's active child (a window shown
    // on its own, outside a main window, counts as active).
    bool isActiveChild() const;

    // Close: the question, then the window closes (and is freed).
    void CloseClick();
    void HelpClick();

protected:
    // Adds Help at the end of the toolbar; call once the window's own
    // controls are in.
    void finishToolbar();
    QVBoxLayout* body() const { return m_body; }
    // Recomputes the commands when `table` moves or changes while active.
    void watch(Table* table);
    // The grid's row commands on right-click, the Menu key and Shift+F10:
    // the commands named, a drop-down's items in place of the drop-down.
    void setRowMenu(DbGrid* grid, const QStringList& objectNames);
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateIfActive();
    // Gives every toolbar button an Alt+letter of its own, clear of the main
    // window's menu bar.
    void assignMnemonics();

    QString m_caption;
    int m_helpTopic;
    MainServices* m_main;
    QToolBar* m_toolbar = nullptr;
    CommandButton* m_close = nullptr;
    CommandButton* m_help = nullptr;
    QVBoxLayout* m_body = nullptr;
    ChildCommandSet m_commands;
    bool m_hooked = false;
    bool m_mnemonics = false;
};

} // namespace os
