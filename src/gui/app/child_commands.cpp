#include "gui/app/child_commands.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QMenu>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolBar>
#include <QToolButton>

namespace os {

namespace {

// The drop-down of a tool button: its own menu or its command's.
QMenu* menuOf(const QToolButton* button)
{
    if (QMenu* own = button->menu())
        return own;
    return button->defaultAction() ? button->defaultAction()->menu() : nullptr;
}

// A button with a drop-down in the accessibility tree: its menu is its child,
// so a screen reader finds the menu's items under the button while it is
// open (a pop-up menu is no top-level object of its own there).
class MenuButtonAccessible : public QAccessibleWidget
{
public:
    explicit MenuButtonAccessible(QToolButton* button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QAccessible::Role role() const override
    {
        return menuOf(button()) ? QAccessible::ButtonMenu : QAccessible::Button;
    }

    QToolButton* button() const { return static_cast<QToolButton*>(object()); }

    int childCount() const override { return menuOf(button()) ? 1 : 0; }
    QAccessibleInterface* child(int index) const override
    {
        if (index == 0 && menuOf(button()))
            return QAccessible::queryAccessibleInterface(menuOf(button()));
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && menuOf(button()) && child->object() == menuOf(button()) ? 0 : -1;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            QString name = button()->text();
            name.remove(QLatin1Char('&'));
            return name;
        }
        if (t == QAccessible::Accelerator) {
            if (auto* b = qobject_cast<CommandButton*>(button())) {
                const QChar letter = mnemonicOf(b->mnemonicText());
                if (!letter.isNull())
                    return QStringLiteral("Alt+") + letter;
            }
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.hasPopup = menuOf(button()) != nullptr;
        s.pressed = button()->isDown();
        return s;
    }
    QStringList actionNames() const override
    {
        if (!button()->isEnabled())
            return {};
        if (!menuOf(button()))
            return {pressAction()};
        if (button()->popupMode() == QToolButton::InstantPopup)
            return {showMenuAction()};
        return {pressAction(), showMenuAction()};
    }
    void doAction(const QString& name) override
    {
        if (!button()->isEnabled())
            return;
        if (name == showMenuAction())
            button()->showMenu();
        else if (name == pressAction())
            button()->click();
    }
};

QAccessibleInterface* menuButtonFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String("QToolButton") &&
        className != QLatin1String("os::CommandButton"))
        return nullptr;
    auto* button = qobject_cast<QToolButton*>(object);
    if (!button)
        return nullptr;
    // A command button is ours whatever its state (the interface is made
    // once, maybe before the button has its menu); another tool button only
    // with a drop-down.
    if (!qobject_cast<CommandButton*>(button) && !menuOf(button))
        return nullptr; // the toolkit's own
    return new MenuButtonAccessible(button);
}

} // namespace

CommandButton::CommandButton(QWidget* parent) : QToolButton(parent)
{
    installMenuButtonAccessibility();
    setFocusPolicy(Qt::TabFocus);
    setAutoRaise(true);
}

void CommandButton::setMnemonicText(const QString& text)
{
    m_mnemonicText = text;
    update();
}

void CommandButton::runByKey()
{
    if (!isEnabled() || !isVisible())
        return;
    setFocus(Qt::ShortcutFocusReason);
    if (menuOf(this) && popupMode() == QToolButton::InstantPopup)
        showMenu();
    else
        click();
}

void CommandButton::paintEvent(QPaintEvent*)
{
    // As QToolButton paints itself, with the mnemonic in the caption.
    QStylePainter p(this);
    QStyleOptionToolButton opt;
    initStyleOption(&opt);
    if (!m_mnemonicText.isEmpty())
        opt.text = m_mnemonicText;
    p.drawComplexControl(QStyle::CC_ToolButton, opt);
}

void installMenuButtonAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(menuButtonFactory);
        installed = true;
    }
}

QChar mnemonicOf(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return caption.at(i + 1).toUpper();
    }
    return {};
}

QStringList withMnemonics(const QStringList& captions, QSet<QChar> taken)
{
    QStringList out = captions;
    for (const QString& c : captions) {
        const QChar m = mnemonicOf(c);
        if (!m.isNull())
            taken.insert(m);
    }
    for (QString& c : out) {
        if (!mnemonicOf(c).isNull())
            continue;
        qsizetype at = -1;
        // A word's initial first, then any letter.
        for (int pass = 0; pass < 2 && at < 0; ++pass) {
            for (qsizetype i = 0; i < c.size(); ++i) {
                const QChar ch = c.at(i);
                const bool initial = i == 0 || !c.at(i - 1).isLetterOrNumber();
                if (ch.isLetterOrNumber() && ch.unicode() < 128 && (pass == 1 || initial) &&
                    !taken.contains(ch.toUpper())) {
                    at = i;
                    break;
                }
            }
        }
        if (at < 0)
            continue;
        taken.insert(c.at(at).toUpper());
        c.insert(at, QLatin1Char('&'));
    }
    return out;
}

void ChildCommandSet::build(QWidget* owner, QToolBar* toolbar, const QList<Entry>& entries)
{
    for (const Entry& e : entries) {
        QAction* a = nullptr;
        QMenu* opened = nullptr;
        CommandButton* button = nullptr;
        if (e.place == 0) {
            if (e.separatorBefore)
                toolbar->addSeparator();
            a = new QAction(e.caption, owner);
            button = new CommandButton(toolbar);
            button->setToolButtonStyle(toolbar->toolButtonStyle());
            button->setIconSize(toolbar->iconSize());
            button->setDefaultAction(a);
            toolbar->addWidget(button);
            if (e.opensMenu != 0) {
                opened = new QMenu(button);
                a->setMenu(opened);
            }
        } else {
            QMenu* parent = m_menus.value(e.place);
            Q_ASSERT_X(parent, "ChildCommandSet", "a command listed before its menu");
            if (e.separatorBefore)
                parent->addSeparator();
            if (e.opensMenu != 0) {
                opened = parent->addMenu(e.caption);
                a = opened->menuAction();
            } else {
                a = parent->addAction(e.caption);
            }
        }
        a->setObjectName(e.objectName);
        if (opened) {
            opened->setObjectName(e.objectName + QStringLiteral("Menu"));
            m_menus.insert(e.opensMenu, opened);
        }
        if (e.trigger)
            QObject::connect(a, &QAction::triggered, owner, e.trigger);
        if (button) {
            button->setObjectName(e.objectName);
            if (opened)
                button->setPopupMode(e.trigger ? QToolButton::MenuButtonPopup
                                               : QToolButton::InstantPopup);
        }
        if (!e.built) {
            a->setEnabled(false);
            m_pending.insert(e.objectName);
        }
        if (a->isEnabled() && e.built)
            m_wanted.insert(e.objectName);
        m_actions.insert(e.objectName, a);
        m_order << e.objectName;
    }
}

void ChildCommandSet::setEnabled(const QString& objectName, bool on)
{
    if (on)
        m_wanted.insert(objectName);
    else
        m_wanted.remove(objectName);
    if (QAction* a = m_actions.value(objectName))
        a->setEnabled(on && !m_pending.contains(objectName));
}

} // namespace os
