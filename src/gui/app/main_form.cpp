#include "gui/app/main_form.h"

#include "base/busy_cursor.h"
#include "base/error.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/settings.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "data/table_files.h"
#include "gui/app/child_browser.h"
#include "gui/app/getting_started.h"
#include "gui/app/help_window.h"
#include "gui/app/main_commands.h"
#include "gui/app/toolbar_icons.h"
#include "gui/sync/update_site_form.h"
#include "sync/retrieval.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace os {

namespace {

QPointer<TMainForm> g_mainForm;

const char* const kInitProcMessage = "Contact Vendix technical support and report that the \"data "
                                     "create process failed CODE=INITPROC";

// Runs on every way out of a scope (the File menu must come back even when
// opening the database raised an error).
template <class F> struct OnExit
{
    F f;
    ~OnExit() { f(); }
};
template <class F> OnExit(F) -> OnExit<F>;

bool isUpdateSite(const QMdiSubWindow* sub)
{
    return sub && qobject_cast<TUpdateSiteForm*>(sub->widget()) != nullptr;
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    g_mainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Ordersentinel"));

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("ClientArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &TMainForm::activeWindowChanged);

    buildCommands();
    buildStatusBar();

    // Before the first open only leaving and help are offered.
    SetCommandsEnabled(false);
    m_toolbarCommands.first()->setEnabled(true); // "Exit"
    m_toolbarCommands.last()->setEnabled(true);  // "Help"
    m_fileMenu->menuAction()->setEnabled(true);
    m_windowMenu->menuAction()->setEnabled(true);
    m_operationRunning = false; // nothing runs yet: the database is not open
    applyEnabled();

    LoadSettings();
    updateDatabasePane();
    activeWindowChanged();
}

TMainForm::~TMainForm()
{
    // The child windows close while the frame is half gone: they must not
    // call back into it.
    m_mdi->disconnect(this);
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        sub->disconnect(this);
}

TMainForm* TMainForm::instance()
{
    return g_mainForm.data();
}

namespace {

// "FileMenuAction" holds "FileMenu", the drop-down of "PostOfficeButton" is
// "PostOfficeMenu".
QString menuNameFor(const QString& actionName)
{
    QString name = actionName;
    if (name.endsWith(QLatin1String("Action")))
        name.chop(6);
    else if (name.endsWith(QLatin1String("Button")))
        name = name.chopped(6) + QStringLiteral("Menu");
    return name;
}

} // namespace

void TMainForm::buildCommands()
{
    menuBar()->setObjectName(QStringLiteral("MainMenu"));
    m_toolBar = addToolBar(QStringLiteral("Main"));
    m_toolBar->setObjectName(QStringLiteral("MainToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(32, 32));

    QHash<CommandPlace, QMenu*> menus;
    for (const MainCommand& c : mainCommands()) {
        const QString caption = QString::fromUtf8(c.caption);
        const QString name = QString::fromLatin1(c.objectName);
        QAction* a = nullptr;
        QMenu* opened = nullptr;
        if (c.place == CommandPlace::MenuBar) {
            opened = menuBar()->addMenu(caption);
            a = opened->menuAction();
        } else if (c.place == CommandPlace::ToolBar) {
            if (c.separatorBefore)
                m_toolBar->addSeparator();
            a = m_toolBar->addAction(makeToolbarIcon(c.icon), caption);
            if (c.opensMenu != CommandPlace::None) {
                opened = new QMenu(this);
                a->setMenu(opened);
            }
            m_toolbarCommands.append(a);
        } else {
            QMenu* parent = menus.value(c.place);
            Q_ASSERT_X(parent, "TMainForm", "a command listed before its menu");
            if (c.separatorBefore)
                parent->addSeparator();
            if (c.opensMenu != CommandPlace::None) {
                opened = parent->addMenu(caption);
                a = opened->menuAction();
            } else {
                a = parent->addAction(caption);
            }
        }
        a->setObjectName(name);
        m_commands.append({a, &c});
        if (opened) {
            opened->setObjectName(menuNameFor(name));
            // A greyed item says why in its tooltip.
            opened->setToolTipsVisible(true);
            menus.insert(c.opensMenu, opened);
        }
        if (c.shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
        if (c.run)
            connect(a, &QAction::triggered, this, [this, run = c.run] { run(*this); });
        if (c.place == CommandPlace::ToolBar) {
            QWidget* w = m_toolBar->widgetForAction(a);
            w->setObjectName(name + QStringLiteral("Widget"));
            if (auto* tb = qobject_cast<QToolButton*>(w); tb && opened) {
                // The list opens from a side arrow of its own (an arrow drawn
                // into the button would cover the caption). A button without
                // a command of its own opens the list from either part, and
                // from its shortcut.
                tb->setPopupMode(QToolButton::MenuButtonPopup);
                if (!c.run)
                    connect(a, &QAction::triggered, tb, &QToolButton::showMenu,
                            Qt::QueuedConnection);
            }
        }
        if (!isBuilt(c)) {
            a->setEnabled(false);
            m_pendingCommands.append(a);
        }
    }

    m_fileMenu = menus.value(CommandPlace::FileMenu);
    m_optionsMenu = menus.value(CommandPlace::OptionsMenu);
    m_windowMenu = menus.value(CommandPlace::WindowMenu);
    m_postOfficeMenu = menus.value(CommandPlace::PostOfficeMenu);
    m_helpMenu = menus.value(CommandPlace::HelpMenu);

    // "Main Program Help Contents" is the default item of "Help".
    QAction* contents = m_helpMenu->actions().value(0);
    QFont bold = contents->font();
    bold.setBold(true);
    contents->setFont(bold);
    m_helpMenu->setDefaultAction(contents);

    // The Window menu lists the open child windows below "Minimize All".
    m_minimizeAll = m_windowMenu->findChild<QAction*>(QStringLiteral("MinimizeAllItem"));
    m_windowListSeparator = m_windowMenu->addSeparator();
    m_windowListSeparator->setVisible(false);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &TMainForm::rebuildWindowMenu);
}

void TMainForm::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    m_databasePane = new QLabel(this);
    m_databasePane->setObjectName(QStringLiteral("DatabasePane"));
    m_databasePane->setStyleSheet(QStringLiteral("color: black"));
    m_databasePane->setMinimumWidth(m_databasePane->fontMetrics().averageCharWidth() * 42);
    m_orderStatusPane = new QLabel(this);
    m_orderStatusPane->setObjectName(QStringLiteral("OrderStatusPane"));
    m_orderStatusPane->setFrameShape(QFrame::NoFrame);
    bar->addWidget(m_databasePane);
    bar->addWidget(m_orderStatusPane, 1);
    m_orderStatusPane->setVisible(false);
}

bool TMainForm::isImplemented(const QAction* command) const
{
    return !m_pendingCommands.contains(command);
}

void TMainForm::SetCommandsEnabled(bool enabled)
{
    m_commandsEnabled = enabled;
    m_operationRunning = !enabled;
    for (QAction* a : m_toolbarCommands)
        a->setEnabled(enabled);
    for (QMenu* m : {m_fileMenu, m_optionsMenu, m_windowMenu})
        m->menuAction()->setEnabled(enabled);
    applyEnabled();
}

// A command without its window stays disabled whatever was asked.
void TMainForm::applyEnabled()
{
    for (QAction* a : m_pendingCommands)
        a->setEnabled(false);
    updateCommandTips();
}

// Every command's tooltip names it with its shortcut; a greyed one says why,
// in its tooltip and in the status bar.
void TMainForm::updateCommandTips()
{
    for (const auto& [a, c] : m_commands) {
        QString why;
        if (!a->isEnabled()) {
            if (!isBuilt(*c))
                why = QStringLiteral("Available in a later version");
            else if (m_operationRunning)
                why = QStringLiteral("Available again when the running task ends");
            else if (!m_databaseOpen)
                why = QStringLiteral("Open the company database first");
        }
        QString tip = a->text();
        tip.replace(QLatin1String("&&"), QLatin1String("\x01"));
        tip.remove(QLatin1Char('&'));
        tip.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        if (!a->shortcut().isEmpty())
            tip += QStringLiteral(" (%1)").arg(a->shortcut().toString(QKeySequence::NativeText));
        if (!why.isEmpty())
            tip += QLatin1Char('\n') + why;
        a->setToolTip(tip);
        a->setStatusTip(why);
    }
}

void TMainForm::CloseOtherChildWindows()
{
    BusyCursor busy;
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (!isUpdateSite(sub))
            sub->close();
    }
}

void TMainForm::openDatabaseCommand()
{
    SetCommandsEnabled(false);
    m_databaseOpen = false;
    OnExit fileBack{[this] {
        m_fileMenu->menuAction()->setEnabled(true);
        // A failed open leaves the commands off, but nothing is running.
        m_operationRunning = false;
        updateCommandTips();
    }};

    const QList<QMdiSubWindow*> children = m_mdi->subWindowList(QMdiArea::CreationOrder);
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        if (auto* site = qobject_cast<TUpdateSiteForm*>((*it)->widget()))
            site->closeWithoutAsking(); // the program closes it, the merchant was not asked
        else
            (*it)->close();
    }
    QCoreApplication::processEvents();

    TMainDataMod* dm = TMainDataMod::instance();
    if (!dm)
        return;
    dm->CloseCompanyDatabase();
    QCoreApplication::processEvents();

    const QString dir = AppPaths::dataDir();
    const QString notice = TMainDataMod::creationNotice(dir);
    if (!notice.isEmpty())
        messages().info(notice);
    try {
        QString error;
        if (dm->OpenCompanyDatabase(dir, &error)) {
            m_databaseOpen = true;
            SetCommandsEnabled(true);
            watchDataModule();
            if (const QString narrowed = takeOpenNotice(); !narrowed.isEmpty())
                messages().warning(narrowed);
            importPendingRepliesAtStart();
        } else {
            messages().error(error);
            messages().error(QString::fromUtf8(kInitProcMessage));
        }
    } catch (const OldTableLayout& old) {
        for (const QString& text : old.messages())
            messages().error(text);
        throw; // ends the program, touching no table
    } catch (const Error& e) {
        messages().error(e.text());
    }
    updateOrderStatusPane();
}

void TMainForm::importPendingRepliesAtStart()
{
    // A retrieval that was killed after the store forgot its delivery left
    // the kept reply pending: it goes in before the merchant works.
    QString last;
    try {
        importPendingReplies(AppPaths::home(), AppPaths::dataDir(),
                             [&last](const QString&, const QString& message) { last = message; });
    } catch (const Error& e) {
        messages().error(e.text());
        last = e.text().section(QLatin1Char('\r'), 0, 0);
    }
    if (!last.isEmpty())
        statusBar()->showMessage(last);
}

void TMainForm::watchDataModule()
{
    TMainDataMod* dm = TMainDataMod::instance();
    if (!dm || dm == m_watchedDataModule)
        return;
    m_watchedDataModule = dm;
    connect(dm->ORDER_STATS, &Table::currentChanged, this, &TMainForm::updateOrderStatusPane);
    connect(dm->ORDER_STATS, &Table::dataChanged, this, &TMainForm::updateOrderStatusPane);
}

void TMainForm::updateDatabasePane()
{
    m_databasePane->setText(QStringLiteral("Active Database: ") + effectiveStoreDomain());
}

void TMainForm::updateOrderStatusPane()
{
    const bool show = activeChildIsOrdersBrowser();
    QString text;
    TMainDataMod* dm = TMainDataMod::instance();
    if (show && dm && dm->ORDER_STATS->isOpen() && !dm->ORDER_STATS->isEmpty())
        text = dm->ORDER_STATS->value(QStringLiteral("INFSTRING")).toString();
    m_orderStatusPane->setText(text);
    m_orderStatusPane->setVisible(show);
}

static bool activeChildInherits(const QMdiArea* mdi, const char* className)
{
    const QMdiSubWindow* sub = mdi->activeSubWindow();
    return sub && sub->widget() && sub->widget()->inherits(className);
}

bool TMainForm::activeChildIsOrdersBrowser() const
{
    return activeChildInherits(m_mdi, "os::TOrdersView");
}

bool TMainForm::activeChildIsCustomersBrowser() const
{
    return activeChildInherits(m_mdi, "os::TMainCustomersView");
}

void TMainForm::activeWindowChanged()
{
    m_minimizeAll->setEnabled(!m_mdi->subWindowList().isEmpty());
    updateOrderStatusPane();
    rebuildWindowMenu();
}

void TMainForm::rebuildWindowMenu()
{
    qDeleteAll(m_windowListItems);
    m_windowListItems.clear();
    const QList<QMdiSubWindow*> subs = m_mdi->subWindowList(QMdiArea::CreationOrder);
    m_windowListSeparator->setVisible(!subs.isEmpty());
    int n = 0;
    for (QMdiSubWindow* sub : subs) {
        ++n;
        QString title = sub->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* a = m_windowMenu->addAction(n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                                                    : QStringLiteral("%1 %2").arg(n).arg(title));
        a->setObjectName(QStringLiteral("WindowListItem%1").arg(n));
        a->setCheckable(true);
        a->setChecked(sub == m_mdi->activeSubWindow());
        QPointer<QMdiSubWindow> target = sub;
        connect(a, &QAction::triggered, this, [this, target] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            m_mdi->setActiveSubWindow(target);
        });
        m_windowListItems.append(a);
    }
}

QMdiSubWindow* TMainForm::addChildWindow(QWidget* widget, bool maximized)
{
    // No half-built window flickers in the frame.
    setUpdatesEnabled(false);
    widget->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow* sub = m_mdi->addSubWindow(widget);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // Restored, a child window is never smaller than its contents need.
    sub->setMinimumSize(sub->minimumSizeHint());
    // A closed child leaves the Window menu and may disable "Minimize All".
    connect(sub, &QObject::destroyed, this, &TMainForm::activeWindowChanged, Qt::QueuedConnection);
    // A window that closes itself takes its frame along (an empty frame would
    // stay in the area and in the Window menu). Queued: the frame may itself
    // be going, and then the call is dropped with it.
    connect(widget, &QObject::destroyed, sub, &QMdiSubWindow::close, Qt::QueuedConnection);
    if (maximized)
        sub->showMaximized();
    else
        sub->show();
    setUpdatesEnabled(true);
    m_mdi->setActiveSubWindow(sub);
    activeWindowChanged();
    return sub;
}

QMdiSubWindow* TMainForm::childWindowOf(const QMetaObject& type) const
{
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (sub->widget() && type.cast(sub->widget()))
            return sub;
    }
    return nullptr;
}

QWidget* TMainForm::childWidget(QMdiSubWindow* sub)
{
    return sub ? sub->widget() : nullptr;
}

void TMainForm::bringToFront(QMdiSubWindow* sub)
{
    m_mdi->setActiveSubWindow(sub);
    if (sub->isMinimized())
        sub->showMaximized();
    if (auto* browser = qobject_cast<ChildBrowser*>(sub->widget()))
        browser->broughtToFront();
}

void TMainForm::OnlineClick()
{
    if (m_updateSite) {
        m_mdi->setActiveSubWindow(m_updateSite);
        if (m_updateSite->isMinimized())
            m_updateSite->showMaximized();
        return;
    }
    m_updateSite = addChildWindow(new TUpdateSiteForm(static_cast<MainServices*>(this)), true);
}

void TMainForm::MinimizeAllClick()
{
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        sub->showMinimized();
}

void TMainForm::HelpContentsClick()
{
    showHelpContents();
}

void TMainForm::HelpClick()
{
    // A window of its own in front (Getting Started, say) names its topic.
    if (QWidget* active = QApplication::activeWindow(); active && active != this) {
        const QVariant own = active->property("helpTopic");
        if (own.isValid()) {
            showHelpTopic(own.toInt());
            return;
        }
    }
    // A child window names its topic in its "helpTopic" property.
    const QMdiSubWindow* sub = m_mdi->activeSubWindow();
    const QVariant topic = sub && sub->widget() ? sub->widget()->property("helpTopic") : QVariant();
    if (topic.isValid())
        showHelpTopic(topic.toInt());
    else
        showHelpContents();
}

void TMainForm::GettingStartedClick()
{
    if (!m_gettingStarted)
        m_gettingStarted = new TGettingStarted(this);
    if (auto* steps = qobject_cast<TGettingStarted*>(m_gettingStarted.data()))
        steps->refresh(); // a window opened before shows what was done since
    m_gettingStarted->show();
    m_gettingStarted->raise();
    m_gettingStarted->activateWindow();
}

void TMainForm::showGettingStartedAtStart()
{
    if (TGettingStarted::showAtStart())
        GettingStartedClick();
}

void TMainForm::ExitClick()
{
    if (messages().ask(QStringLiteral("Are you sure you want to exit the program?"),
                       Buttons::YesNo) == Answer::Yes)
        close();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // A store session or a bulk run waits in a local event loop; ending the
    // program under it would cut it off before its closing steps (the store
    // would stay locked). Its caller disabled the commands; the frame stays.
    if (m_operationRunning) {
        messages().beep();
        event->ignore();
        return;
    }
    closeHelpWindow();
    event->accept();
}

} // namespace os
