#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <span>

class QAction;
class QMenu;
class QToolBar;
class QWidget;

namespace os {

// One command of a child window (a browser's toolbar button, drop-down or
// menu item), declared once in the window's command table, like the main
// window's (main_commands.h). A command whose dialog is not built yet has no
// run function: it keeps its caption and place but stays disabled. Its
// pre-check (the questions asked before the dialog opens) can be in the
// table already; wiring the dialog later is giving the row its run function.
template <class Window> struct ChildCommand
{
    int place;              // 0: the window's toolbar; otherwise one of the window's menus
    const char* caption;    // as shown; "&" marks the accelerator
    const char* objectName; // the action's (and a toolbar button's) object name
    const char* opens;      // what it shows, in words
    void (*run)(Window& window) = nullptr;   // null: not built, disabled
    bool (*check)(Window& window) = nullptr; // runs before `run`; false stops the command
    int opensMenu = 0; // a drop-down or submenu: the place whose commands it holds
    bool separatorBefore = false;
};

// The actions built from a child window's command table.
class ChildCommandSet
{
public:
    struct Entry
    {
        int place;
        QString caption;
        QString objectName;
        int opensMenu;
        bool separatorBefore;
        bool built;
        std::function<void()> trigger; // empty when not built
    };

    // Creates the actions under `owner`: toolbar entries are appended to
    // `toolbar` (a drop-down opens its menu; a button with a command of its
    // own shows the menu in a side arrow), menu entries go to their menus.
    void build(QWidget* owner, QToolBar* toolbar, const QList<Entry>& entries);

    QAction* action(const QString& objectName) const { return m_actions.value(objectName); }
    QMenu* menu(int place) const { return m_menus.value(place); }
    bool isBuilt(const QString& objectName) const { return !m_pending.contains(objectName); }
    // Enables a command as the window's rules say; one not built stays off.
    void setEnabled(const QString& objectName, bool on);
    // What the window's rules last said, built or not.
    bool wanted(const QString& objectName) const { return m_wanted.contains(objectName); }
    QStringList names() const { return m_order; }

private:
    QHash<QString, QAction*> m_actions;
    QHash<int, QMenu*> m_menus;
    QSet<QString> m_pending;
    QSet<QString> m_wanted;
    QStringList m_order;
};

// Builds `table` for `window` (see ChildCommand).
template <class Window>
void buildChildCommands(ChildCommandSet& set, Window& window,
                        std::span<const ChildCommand<Window>> table, QToolBar* toolbar)
{
    std::function<bool(const ChildCommand<Window>&)> built = [&](const ChildCommand<Window>& c) {
        if (c.run)
            return true;
        if (c.opensMenu == 0)
            return false;
        for (const ChildCommand<Window>& k : table) {
            if (k.place == c.opensMenu && built(k))
                return true;
        }
        return false;
    };
    QList<ChildCommandSet::Entry> entries;
    for (const ChildCommand<Window>& c : table) {
        ChildCommandSet::Entry e{c.place,
                                 QString::fromUtf8(c.caption),
                                 QString::fromLatin1(c.objectName),
                                 c.opensMenu,
                                 c.separatorBefore,
                                 built(c),
                                 {}};
        if (c.run) {
            e.trigger = [&window, run = c.run, check = c.check] {
                if (!check || check(window))
                    run(window);
            };
        }
        entries << e;
    }
    set.build(&window, toolbar, entries);
}

} // namespace os
