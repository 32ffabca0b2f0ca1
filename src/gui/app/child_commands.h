#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QToolButton>

#include <functional>
#include <span>

class QAction;
class QMenu;
class QToolBar;
class QWidget;

namespace os {

// A toolbar button of a child window. It takes the focus from Tab (and runs
// on Space), and shows its mnemonic letter underlined while its caption stays
// as it is; the window binds Alt+letter to it (ChildBrowser). A button with a
// drop-down owns its menu, so the menu's items are the button's children in
// the accessibility tree as well.
class CommandButton : public QToolButton
{
    Q_OBJECT
public:
    explicit CommandButton(QWidget* parent = nullptr);

    // The caption with "&" before the mnemonic letter; empty: none.
    void setMnemonicText(const QString& text);
    QString mnemonicText() const { return m_mnemonicText; }
    // Alt+letter: opens the drop-down, or clicks.
    void runByKey();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_mnemonicText;
};

// Puts "&" before a letter of each caption, unique within the list and not in
// `taken` (letters in upper case): a caption that has one keeps it; the
// others take the first free initial of a word, else the first free letter.
QStringList withMnemonics(const QStringList& captions, QSet<QChar> taken = {});
// The letter after the "&" of a caption (upper case), or a null QChar.
QChar mnemonicOf(const QString& caption);
// Makes the menu of every tool button with a drop-down the button's child in
// the accessibility tree (installed once, after the application object; the
// first CommandButton does it).
void installMenuButtonAccessibility();

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
