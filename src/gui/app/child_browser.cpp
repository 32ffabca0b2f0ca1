#include "gui/app/child_browser.h"

#include "base/messages.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/help_window.h"
#include "gui/app/toolbar_icons.h"

#include <QAction>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace os {

ChildBrowser::ChildBrowser(const QString& caption, int helpTopic, MainServices* main,
                           QWidget* parent)
    : QWidget(parent), m_caption(caption), m_helpTopic(helpTopic), m_main(main)
{
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    // The main window's Help (F1) opens this topic while the window is in front.
    setProperty("helpTopic", helpTopic);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_toolbar = new QToolBar(caption + QStringLiteral("  Commands"), this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar"));
    m_toolbar->setWindowTitle(caption + QStringLiteral("  Commands"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toolbar->setIconSize(QSize(20, 20));
    layout->addWidget(m_toolbar);

    m_close = new CommandButton(m_toolbar);
    m_close->setObjectName(QStringLiteral("CloseButton"));
    m_close->setText(QStringLiteral("Close"));
    m_close->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    m_close->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(m_close, &QToolButton::clicked, this, &ChildBrowser::CloseClick);
    m_toolbar->addWidget(m_close);
    m_toolbar->addSeparator();

    m_body = new QVBoxLayout;
    m_body->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_body, 1);
}

ChildBrowser::~ChildBrowser() = default;

void ChildBrowser::finishToolbar()
{
    m_toolbar->addSeparator();
    m_help = new CommandButton(m_toolbar);
    m_help->setObjectName(QStringLiteral("HelpButton"));
    m_help->setText(QStringLiteral("Help"));
    m_help->setIcon(makeToolbarIcon(ToolbarIcon::Help));
    m_help->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(m_help, &QToolButton::clicked, this, &ChildBrowser::HelpClick);
    m_toolbar->addWidget(m_help);
}

void ChildBrowser::CloseClick()
{
    if (messages().ask(
            QStringLiteral("Are you sure you want to close the %1 window?").arg(m_caption),
            Buttons::YesNo) != Answer::Yes)
        return;
    // Inside the main window the sub-window closes (and frees the browser).
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void ChildBrowser::HelpClick()
{
    showHelpTopic(m_helpTopic);
}

bool ChildBrowser::isActiveChild() const
{
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub)
        return true;
    QMdiArea* mdi = sub->mdiArea();
    return mdi && mdi->activeSubWindow() == sub;
}

void ChildBrowser::watch(Table* table)
{
    connect(table, &Table::currentChanged, this, &ChildBrowser::updateIfActive);
    connect(table, &Table::dataChanged, this, &ChildBrowser::updateIfActive);
}

void ChildBrowser::setRowMenu(DbGrid* grid, const QStringList& objectNames)
{
    auto* menu = new QMenu(grid);
    menu->setObjectName(grid->objectName() + QStringLiteral("RowMenu"));
    for (const QString& name : objectNames) {
        QAction* a = commands().action(name);
        if (!a)
            continue;
        if (QMenu* items = a->menu()) {
            if (!menu->isEmpty())
                menu->addSeparator();
            menu->addActions(items->actions());
            menu->addSeparator();
        } else {
            menu->addAction(a);
        }
    }
    grid->setRowMenu(menu);
}

void ChildBrowser::assignMnemonics()
{
    m_mnemonics = true;
    QSet<QChar> taken;
    if (QWidget* top = window()) {
        for (const QMenuBar* bar : top->findChildren<QMenuBar*>()) {
            for (const QAction* a : bar->actions()) {
                const QChar m = mnemonicOf(a->text());
                if (!m.isNull())
                    taken.insert(m);
            }
        }
    }
    QList<CommandButton*> buttons;
    QStringList captions;
    for (QAction* a : m_toolbar->actions()) {
        auto* b = qobject_cast<CommandButton*>(m_toolbar->widgetForAction(a));
        if (!b || b->text().isEmpty())
            continue;
        buttons << b;
        captions << b->text();
    }
    const QStringList marked = withMnemonics(captions, taken);
    for (int i = 0; i < buttons.size(); ++i) {
        CommandButton* b = buttons.at(i);
        const QChar letter = mnemonicOf(marked.at(i));
        if (letter.isNull())
            continue;
        b->setMnemonicText(marked.at(i));
        const QString key = QStringLiteral("Alt+") + letter;
        b->setToolTip((b->toolTip().isEmpty() ? b->text() : b->toolTip()) + QStringLiteral(" (") +
                      key + QLatin1Char(')'));
        // Only while the focus is in this window: the other browsers keep
        // their own letters.
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, b, &CommandButton::runByKey);
    }
}

void ChildBrowser::updateIfActive()
{
    if (isActiveChild())
        updateCommands();
}

void ChildBrowser::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_mnemonics)
        assignMnemonics();
    if (!m_hooked) {
        // Activation inside the main window: the states may have moved on
        // while another window was in front.
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
            if (QMdiArea* mdi = sub->mdiArea()) {
                connect(mdi, &QMdiArea::subWindowActivated, this, [this, sub](QMdiSubWindow* w) {
                    if (w == sub)
                        updateCommands();
                });
                m_hooked = true;
            }
        }
    }
    updateCommands();
}

void ChildBrowser::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateIfActive();
}

} // namespace os
