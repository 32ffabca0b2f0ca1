#include "gui/app/child_commands.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace os {

void ChildCommandSet::build(QWidget* owner, QToolBar* toolbar, const QList<Entry>& entries)
{
    for (const Entry& e : entries) {
        QAction* a = nullptr;
        QMenu* opened = nullptr;
        if (e.place == 0) {
            if (e.separatorBefore)
                toolbar->addSeparator();
            a = toolbar->addAction(e.caption);
            if (e.opensMenu != 0) {
                opened = new QMenu(owner);
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
        if (e.place == 0) {
            if (auto* b = qobject_cast<QToolButton*>(toolbar->widgetForAction(a))) {
                b->setObjectName(e.objectName);
                if (opened)
                    b->setPopupMode(e.trigger ? QToolButton::MenuButtonPopup
                                              : QToolButton::InstantPopup);
            }
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
