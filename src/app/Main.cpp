#include "app/Main.h"

#include "app/busy_cursor.h"
#include "app/error.h"
#include "app/help_window.h"
#include "app/manager_connection.h"
#include "app/messages.h"
#include "app/paths.h"
#include "app/security_stuff.h"
#include "app/settings.h"
#include "app/toolbar_icons.h"
#include "app/webdocs.h"
#include "data/datamodule.h"
#include "data/table.h"
#include "sync/updatesite.h"

#include <QActionGroup>
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
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &TMainForm::ActiveWindowChanged);

    buildMenus();
    buildToolBar();
    buildStatusBar();

    // Before the first open only leaving and help are offered.
    SetCommandsEnabled(false);
    m_toolbarCommands.first()->setEnabled(true); // "Exit"
    m_toolbarCommands.last()->setEnabled(true);  // "Help"
    m_fileMenu->menuAction()->setEnabled(true);
    m_windowMenu->menuAction()->setEnabled(true);
    applyEnabled();

    LoadSettings();
    UpdateDatabasePane();
    ActiveWindowChanged();
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

QAction* TMainForm::command(QAction* action, bool implemented)
{
    m_implemented.insert(action, implemented);
    if (!implemented)
        m_pendingCommands.append(action);
    return action;
}

QAction* TMainForm::menuItem(QMenu* menu, const QString& caption, const QString& name)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

// A command whose window this build does not have yet: listed with its
// caption, never enabled.
QAction* TMainForm::pending(QMenu* menu, const QString& caption, const QString& name)
{
    QAction* a = menuItem(menu, caption, name);
    a->setEnabled(false);
    return command(a, false);
}

void TMainForm::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));

    m_fileMenu = bar->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("FileMenu"));
    m_fileMenu->menuAction()->setObjectName(QStringLiteral("FileMenuAction"));
    QAction* exitItem = menuItem(m_fileMenu, QStringLiteral("E&xit"), QStringLiteral("ExitItem"));
    connect(exitItem, &QAction::triggered, this, &TMainForm::ExitClick);

    m_optionsMenu = bar->addMenu(QStringLiteral("&Options"));
    m_optionsMenu->setObjectName(QStringLiteral("OptionsMenu"));
    m_optionsMenu->menuAction()->setObjectName(QStringLiteral("OptionsMenuAction"));

    QMenu* vital = m_optionsMenu->addMenu(QStringLiteral("Vital Configs (Do These First)"));
    vital->setObjectName(QStringLiteral("VitalConfigsMenu"));
    vital->menuAction()->setObjectName(QStringLiteral("VitalConfigsMenuAction"));
    QAction* net = menuItem(vital, QStringLiteral("&Net Connection Settings"),
                            QStringLiteral("NetConnectionSettingsItem"));
    connect(net, &QAction::triggered, this, [this] { runModal<TManagerConnection>(); });
    vital->addSeparator();
    QAction* web = menuItem(vital, QStringLiteral("Vendix Location && &Web Documents"),
                            QStringLiteral("WebDocumentsItem"));
    connect(web, &QAction::triggered, this, [this] { runModal<TWebDocsForm>(); });
    vital->addSeparator();
    QAction* spoof = menuItem(vital, QStringLiteral("Advanced Sp&oof Prevention"),
                              QStringLiteral("SpoofPreventionItem"));
    connect(spoof, &QAction::triggered, this, [this] { runModal<TSecurityStuff>(); });

    m_optionsMenu->addSeparator();
    pending(m_optionsMenu, QStringLiteral("&Company Information"),
            QStringLiteral("CompanyInformationItem"));
    pending(m_optionsMenu, QStringLiteral("St&yles and Colors"),
            QStringLiteral("StylesAndColorsItem"));
    pending(m_optionsMenu, QStringLiteral("&Payment Types and Credit Cards"),
            QStringLiteral("PaymentTypesItem"));
    m_optionsMenu->addSeparator();
    QMenu* taxes = m_optionsMenu->addMenu(QStringLiteral("&Taxes"));
    taxes->setObjectName(QStringLiteral("TaxesMenu"));
    taxes->menuAction()->setObjectName(QStringLiteral("TaxesMenuAction"));
    pending(taxes, QStringLiteral("State and &Regional Taxes"),
            QStringLiteral("RegionalTaxesItem"));
    pending(taxes, QStringLiteral("S&mart Taxes"), QStringLiteral("SmartTaxesItem"));
    // A submenu with nothing to choose is greyed out like its items.
    command(taxes->menuAction(), false)->setEnabled(false);
    m_optionsMenu->addSeparator();
    pending(m_optionsMenu, QStringLiteral("Shippin&g Settings"),
            QStringLiteral("ShippingSettingsItem"));
    m_optionsMenu->addSeparator();
    pending(m_optionsMenu, QStringLiteral("Currency Conversion Options"),
            QStringLiteral("CurrencyConversionItem"));
    m_optionsMenu->addSeparator();
    pending(m_optionsMenu, QStringLiteral("Co&upons"), QStringLiteral("CouponsItem"));
    pending(m_optionsMenu, QStringLiteral("All Account &Discount"),
            QStringLiteral("AllAccountDiscountItem"));
    pending(m_optionsMenu, QStringLiteral("&Gift Wrapping"), QStringLiteral("GiftWrappingItem"));
    m_optionsMenu->addSeparator();
    pending(m_optionsMenu, QStringLiteral("My &Merchant Accounts"),
            QStringLiteral("MerchantAccountsItem"));

    m_windowMenu = bar->addMenu(QStringLiteral("&Window"));
    m_windowMenu->setObjectName(QStringLiteral("WindowMenu"));
    m_windowMenu->menuAction()->setObjectName(QStringLiteral("WindowMenuAction"));
    m_minimizeAll =
        menuItem(m_windowMenu, QStringLiteral("&Minimize All"), QStringLiteral("MinimizeAllItem"));
    connect(m_minimizeAll, &QAction::triggered, this, &TMainForm::MinimizeAllClick);
    m_windowListSeparator = m_windowMenu->addSeparator();
    m_windowListSeparator->setVisible(false);
    connect(m_windowMenu, &QMenu::aboutToShow, this, &TMainForm::RebuildWindowMenu);

    for (QMenu* m : {m_fileMenu, m_optionsMenu, m_windowMenu})
        command(m->menuAction(), true);
}

void TMainForm::buildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Main"));
    m_toolBar->setObjectName(QStringLiteral("MainToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(32, 32));

    auto button = [&](const QString& caption, const QString& name, ToolbarIcon icon,
                      bool implemented) {
        QAction* a = m_toolBar->addAction(MakeToolbarIcon(icon), caption);
        a->setObjectName(name);
        if (QWidget* w = m_toolBar->widgetForAction(a))
            w->setObjectName(name + QStringLiteral("Widget"));
        m_toolbarCommands.append(a);
        return command(a, implemented);
    };

    QAction* exitButton =
        button(QStringLiteral("Exit"), QStringLiteral("ExitButton"), ToolbarIcon::Exit, true);
    connect(exitButton, &QAction::triggered, this, &TMainForm::ExitClick);
    m_toolBar->addSeparator();
    button(QStringLiteral("Orders"), QStringLiteral("OrdersButton"), ToolbarIcon::Orders, false);
    button(QStringLiteral("Customers"), QStringLiteral("CustomersButton"), ToolbarIcon::Customers,
           false);

    // "Post Office": a drop-down of its own; enabled when any of its items is.
    m_postOfficeMenu = new QMenu(this);
    m_postOfficeMenu->setObjectName(QStringLiteral("PostOfficeMenu"));
    const QList<QAction*> postItems = {
        pending(m_postOfficeMenu, QStringLiteral("OutBox"), QStringLiteral("OutBoxItem")),
        pending(m_postOfficeMenu, QStringLiteral("Sent Items"), QStringLiteral("SentItemsItem")),
        pending(m_postOfficeMenu, QStringLiteral("New E-mail Messages"),
                QStringLiteral("NewEmailItem")),
        pending(m_postOfficeMenu, QStringLiteral("Quillform Templates"),
                QStringLiteral("QuillformTemplatesItem")),
        pending(m_postOfficeMenu, QStringLiteral("Bulk Mailer"), QStringLiteral("BulkMailerItem")),
    };
    // Separators between all five items.
    for (int i = 1; i < postItems.size(); ++i)
        m_postOfficeMenu->insertSeparator(postItems.at(i));
    bool anyPost = false;
    for (QAction* a : postItems)
        anyPost = anyPost || m_implemented.value(a);
    QAction* post = button(QStringLiteral("Post Office"), QStringLiteral("PostOfficeButton"),
                           ToolbarIcon::PostOffice, anyPost);
    post->setMenu(m_postOfficeMenu);
    if (auto* tb = qobject_cast<QToolButton*>(m_toolBar->widgetForAction(post)))
        tb->setPopupMode(QToolButton::InstantPopup);

    QAction* online =
        button(QStringLiteral("Online"), QStringLiteral("OnlineButton"), ToolbarIcon::Online, true);
    connect(online, &QAction::triggered, this, &TMainForm::OnlineClick);
    button(QStringLiteral("To-Do"), QStringLiteral("ToDoButton"), ToolbarIcon::ToDo, false);
    m_toolBar->addSeparator();

    // "Help": pressing the button opens the contents (the default item).
    m_helpMenu = new QMenu(this);
    m_helpMenu->setObjectName(QStringLiteral("HelpMenu"));
    QAction* contents = menuItem(m_helpMenu, QStringLiteral("Main Program Help Contents"),
                                 QStringLiteral("HelpContentsItem"));
    QFont bold = contents->font();
    bold.setBold(true);
    contents->setFont(bold);
    m_helpMenu->setDefaultAction(contents);
    connect(contents, &QAction::triggered, this, &TMainForm::HelpContentsClick);
    QAction* started = menuItem(m_helpMenu, QStringLiteral("Getting Started"),
                                QStringLiteral("GettingStartedItem"));
    connect(started, &QAction::triggered, this, [] { ShowHelpTopic(45); });
    QAction* support = menuItem(m_helpMenu, QStringLiteral("Technical Support Information"),
                                QStringLiteral("TechSupportItem"));
    connect(support, &QAction::triggered, this, [] { ShowHelpTopic(60); });

    QAction* help =
        button(QStringLiteral("Help"), QStringLiteral("HelpButton"), ToolbarIcon::Help, true);
    help->setMenu(m_helpMenu);
    connect(help, &QAction::triggered, this, &TMainForm::HelpContentsClick);
    if (auto* tb = qobject_cast<QToolButton*>(m_toolBar->widgetForAction(help)))
        tb->setPopupMode(QToolButton::MenuButtonPopup);
}

void TMainForm::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    m_databasePane = new QLabel(this);
    m_databasePane->setObjectName(QStringLiteral("DatabasePane"));
    m_databasePane->setStyleSheet(QStringLiteral("color: black"));
    m_databasePane->setMinimumWidth(260);
    m_orderStatusPane = new QLabel(this);
    m_orderStatusPane->setObjectName(QStringLiteral("OrderStatusPane"));
    m_orderStatusPane->setFrameShape(QFrame::NoFrame);
    bar->addWidget(m_databasePane);
    bar->addWidget(m_orderStatusPane, 1);
    m_orderStatusPane->setVisible(false);
}

bool TMainForm::isImplemented(const QAction* command) const
{
    return m_implemented.value(command, true);
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
}

void TMainForm::CloseOtherChildWindows()
{
    BusyCursor busy;
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (!isUpdateSite(sub))
            sub->close();
    }
}

void TMainForm::OpenDatabaseCommand()
{
    SetCommandsEnabled(false);
    OnExit fileBack{[this] {
        m_fileMenu->menuAction()->setEnabled(true);
        // A failed open leaves the commands off, but nothing is running.
        m_operationRunning = false;
    }};

    const QList<QMdiSubWindow*> children = m_mdi->subWindowList(QMdiArea::CreationOrder);
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        (*it)->close();
    QCoreApplication::processEvents();

    TMainDataMod* dm = TMainDataMod::instance();
    if (!dm)
        return;
    dm->CloseCompanyDatabase();
    QCoreApplication::processEvents();

    try {
        if (dm->OpenCompanyDatabase(AppPaths::dataDir())) {
            SetCommandsEnabled(true);
            watchDataModule();
        } else {
            messages().error(QString::fromUtf8(kInitProcMessage));
        }
    } catch (const Error& e) {
        messages().error(e.text());
    }
    UpdateOrderStatusPane();
}

void TMainForm::watchDataModule()
{
    TMainDataMod* dm = TMainDataMod::instance();
    if (!dm || dm == m_watchedDataModule)
        return;
    m_watchedDataModule = dm;
    connect(dm->ORDER_STATS, &Table::currentChanged, this, &TMainForm::UpdateOrderStatusPane);
    connect(dm->ORDER_STATS, &Table::dataChanged, this, &TMainForm::UpdateOrderStatusPane);
}

void TMainForm::UpdateDatabasePane()
{
    m_databasePane->setText(QStringLiteral("Active Database: ") + settings().storeDomain);
}

void TMainForm::UpdateOrderStatusPane()
{
    const bool show = ActiveChildIsOrdersBrowser();
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

bool TMainForm::ActiveChildIsOrdersBrowser() const
{
    return activeChildInherits(m_mdi, "os::TOrdersView");
}

bool TMainForm::ActiveChildIsCustomersBrowser() const
{
    return activeChildInherits(m_mdi, "os::TMainCustomersView");
}

void TMainForm::ActiveWindowChanged()
{
    m_minimizeAll->setEnabled(!m_mdi->subWindowList().isEmpty());
    UpdateOrderStatusPane();
    RebuildWindowMenu();
}

void TMainForm::RebuildWindowMenu()
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
    // A closed child leaves the Window menu and may disable "Minimize All".
    connect(sub, &QObject::destroyed, this, &TMainForm::ActiveWindowChanged, Qt::QueuedConnection);
    if (maximized)
        sub->showMaximized();
    else
        sub->show();
    setUpdatesEnabled(true);
    m_mdi->setActiveSubWindow(sub);
    ActiveWindowChanged();
    return sub;
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
    ShowHelpContents();
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
    CloseHelpWindow();
    event->accept();
}

template <class Dialog> void TMainForm::runModal()
{
    Dialog dialog(this);
    dialog.exec();
    // The settings editors may have changed what the status bar shows.
    UpdateDatabasePane();
}

} // namespace os
