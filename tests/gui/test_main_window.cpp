#include "common/gui/gui_helpers.h"
#include "common/gui/program_fixture.h"

#include "common/file_utils.h"
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"

#include "base/busy_cursor.h"
#include "base/ini_file.h"
#include "base/paths.h"
#include "base/program_version.h"
#include "base/settings.h"
#include "data/catalogue.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/schema.h"
#include "data/table.h"
#include "gui/app/getting_started.h"
#include "gui/app/help_window.h"
#include "gui/app/main_commands.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"
#include "gui/settings/manager_connection.h"
#include "gui/settings/security_stuff.h"
#include "gui/settings/web_docs_form.h"
#include "gui/sync/update_site_form.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace os;
using os::test::actionNamed;
using os::test::captions;
using os::test::fire;
using os::test::whenModal;

namespace {

const QString kCreateNotice = QStringLiteral("Ordersentinel must create databases to function, "
                                             "these databases will be created in the background. "
                                             "This process may take several minutes.");
const QString kInitProc = QStringLiteral("Contact Vendix technical support and report that the "
                                         "\"data create process failed CODE=INITPROC");
const QString kExitQuestion = QStringLiteral("Are you sure you want to exit the program?");
const QString kCloseQuestion =
    QStringLiteral("Are you sure you want to close the Connections window?");

const QStringList kSeven = {"ExitButton",   "OrdersButton", "CustomersButton", "PostOfficeButton",
                            "OnlineButton", "ToDoButton",   "HelpButton"};
const QStringList kMenus = {"FileMenuAction", "OptionsMenuAction", "WindowMenuAction"};
// The commands of `names` that this build has a window for (main_commands.h).
QStringList built(const QStringList& names)
{
    QStringList out;
    for (const QString& n : names) {
        const os::MainCommand* c = os::findMainCommand(n);
        if (c && os::isBuilt(*c))
            out << n;
    }
    return out;
}

// Commands whose windows this build does not have yet: never enabled.
QStringList pendingCommands()
{
    QStringList out;
    for (const os::MainCommand& c : os::mainCommands()) {
        if (!os::isBuilt(c))
            out << QString::fromLatin1(c.objectName);
    }
    return out;
}

QByteArray garbage()
{
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i)
        bytes.append(char((i * 7919 + 13) & 0xff));
    return bytes;
}

// The engine's own text for opening a table file (what the program must show).
QString engineTextFor(const QString& dir, const QString& table)
{
    Table t(table);
    t.setDirectory(dir);
    try {
        t.open();
    } catch (const DbError& e) {
        return e.text();
    }
    return QString();
}

} // namespace

class TestMainWindow : public test::ProgramFixture
{
    Q_OBJECT

    // A started program: home, data module, main window (as main() does it).
    void start(bool open)
    {
        m_form = std::make_unique<TMainForm>();
        m_form->show();
        m_dm = std::make_unique<TMainDataMod>();
        if (open) {
            m_form->openDatabaseCommand();
            m_messages->clear();
        }
    }

    // A started program whose store script is at `url`.
    void startWithStore(const QString& url)
    {
        settings() = Settings();
        settings().VendixManagerURL = url;
        QVERIFY(SaveSettings());
        start(true);
    }

    // "Online", and the Connections window it shows.
    TUpdateSiteForm* openConnections()
    {
        if (!fire(m_form.get(), {"OnlineButton"}))
            return nullptr;
        QMdiSubWindow* sub = m_form->mdiArea()->activeSubWindow();
        return sub ? qobject_cast<TUpdateSiteForm*>(sub->widget()) : nullptr;
    }

    // The event log as "type|message", without the connection's own progress rows.
    static QStringList logRows(TUpdateSiteForm* site)
    {
        QStringList out;
        const QAbstractItemModel* model = site->EventLogView->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString type = model->index(r, 0).data().toString();
            if (type != QLatin1String("Agent") && type != QLatin1String("Server"))
                out << type + QLatin1Char('|') + model->index(r, 1).data().toString();
        }
        return out;
    }

    bool enabled(const QString& name) { return actionNamed(m_form.get(), name)->isEnabled(); }

    QStringList enabledOf(const QStringList& names)
    {
        QStringList out;
        for (const QString& n : names)
            if (enabled(n))
                out << n;
        return out;
    }

private slots:
    void initTestCase() { installWindowServices(); }

    void init() { newHome(); }

    void cleanup()
    {
        closeHelpWindow();
        closeProgram();
    }

    void menusToolbarAndCaptions()
    {
        start(false);
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Ordersentinel"));
        QStringList bar;
        for (QAction* a : m_form->menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, QStringList({"&File", "&Options", "&Window"}));
        QCOMPARE(captions(m_form->findChild<QMenu*>("FileMenu")),
                 QStringList({"&Back Up Company Database...", "-", "E&xit"}));
        QCOMPARE(captions(m_form->findChild<QMenu*>("VitalConfigsMenu")),
                 QStringList({"&Net Connection Settings", "-", "Vendix Location && &Web Documents",
                              "-", "Advanced Sp&oof Prevention"}));
        QCOMPARE(captions(m_form->findChild<QMenu*>("OptionsMenu")),
                 QStringList(
                     {"&Vital Configs (Do These First)", "-", "&Company Information",
                      "St&yles and Colors", "&Payment Types and Credit Cards", "-", "&Taxes", "-",
                      "Shippi&ng Settings", "-", "Cu&rrency Conversion Options", "-", "Co&upons",
                      "All Account &Discount", "&Gift Wrapping", "-", "My &Merchant Accounts"}));
        QCOMPARE(captions(m_form->findChild<QMenu*>("TaxesMenu")),
                 QStringList({"State and &Regional Taxes", "S&mart Taxes"}));
        QCOMPARE(captions(m_form->findChild<QMenu*>("WindowMenu")), QStringList({"&Minimize All"}));

        QStringList buttons;
        for (QAction* a : m_form->findChild<QToolBar*>("MainToolBar")->actions())
            if (!a->isSeparator())
                buttons << a->text();
        QCOMPARE(buttons, QStringList({"Exit", "Orders", "Customers", "Post Office", "Online",
                                       "To-Do", "Sales", "Help"}));
        QCOMPARE(captions(actionNamed(m_form.get(), "PostOfficeButton")->menu()),
                 QStringList({"OutBox", "-", "Sent Items", "-", "New E-mail Messages", "-",
                              "Quillform Templates", "-", "Bulk Mailer"}));
        QMenu* help = actionNamed(m_form.get(), "HelpButton")->menu();
        QCOMPARE(captions(help), QStringList({"Main Program Help Contents", "Getting Started",
                                              "Technical Support Information"}));
        QCOMPARE(help->defaultAction(), actionNamed(m_form.get(), "HelpContentsItem"));
    }

    void initialStatesBeforeTheFirstOpen()
    {
        start(false);
        QCOMPARE(enabledOf(kSeven + kMenus),
                 QStringList({"ExitButton", "HelpButton", "FileMenuAction", "WindowMenuAction"}));
        QVERIFY(!enabled("MinimizeAllItem"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    void successfulOpenEnablesTheCommandsThatHaveWindows()
    {
        start(false);
        m_form->openDatabaseCommand();
        QCOMPARE(m_messages->texts(), QStringList({kCreateNotice}));
        QVERIFY(m_dm->isOpen());
        QCOMPARE(enabledOf(kSeven + kMenus), built(kSeven + kMenus));
        QCOMPARE(enabledOf(pendingCommands()), QStringList());
        QCOMPARE(
            enabledOf({"NetConnectionSettingsItem", "WebDocumentsItem", "SpoofPreventionItem"}),
            QStringList({"NetConnectionSettingsItem", "WebDocumentsItem", "SpoofPreventionItem"}));

        // A second open of the complete set shows nothing and changes nothing.
        m_messages->clear();
        m_form->openDatabaseCommand();
        QVERIFY(m_messages->texts().isEmpty());
        QVERIFY(enabled("OnlineButton"));
    }

    void setCommandsEnabledNeverEnablesACommandWithoutItsWindow()
    {
        start(true);
        m_form->SetCommandsEnabled(false);
        QCOMPARE(enabledOf(kSeven + kMenus), QStringList());
        m_form->SetCommandsEnabled(true);
        QCOMPARE(enabledOf(pendingCommands()), QStringList());
        QCOMPARE(enabledOf(kSeven + kMenus), built(kSeven + kMenus));
    }

    void failedOpenLeavesOnlyTheFileMenu_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("customers") << QStringLiteral("customers");
        QTest::newRow("orders") << QStringLiteral("orders");
        QTest::newRow("invoice_result") << QStringLiteral("invoice_result");
    }

    void failedOpenLeavesOnlyTheFileMenu()
    {
        QFETCH(QString, table);
        // A complete set first, then one table file overwritten with garbage.
        TMainDataMod::CreateMissingTables(AppPaths::dataDir());
        const QString file = AppPaths::dataFile(table + QStringLiteral(".db"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(garbage());
        }
        start(false);
        m_form->openDatabaseCommand();

        const QString engineText = engineTextFor(AppPaths::dataDir(), table);
        QVERIFY(!engineText.isEmpty());
        QCOMPARE(m_messages->texts(), QStringList({engineText, kInitProc}));
        QCOMPARE(m_messages->shown().last().kind, MessageKind::Error);
        QVERIFY(!m_dm->isOpen());
        QCOMPARE(enabledOf(kSeven + kMenus), QStringList({"FileMenuAction"}));

        // The damaged file is left exactly as it was.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), garbage());

        // The way out still works.
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(fire(m_form.get(), {"FileMenuAction", "ExitItem"}));
        QCOMPARE(m_messages->texts().last(), kExitQuestion);
        QVERIFY(!m_form->isVisible());
    }

    void oldLayoutShowsItsThreeMessagesAndEnds()
    {
        const QString dir = AppPaths::dataDir();
        TMainDataMod::CreateMissingTables(dir);
        QVERIFY(QFile::remove(dir + QStringLiteral("/orders.db")));
        TableDef old = *findTableDef(QStringLiteral("orders"));
        old.fields.insert(1, FieldDef{QStringLiteral("DATE"), FieldType::Date, 0});
        old.indexes.clear();
        createTable(dir, old);
        start(false);
        QVERIFY_THROWS_EXCEPTION(ProgramTermination, m_form->openDatabaseCommand());
        const QString all = dir + QStringLiteral("/*.*");
        QCOMPARE(
            m_messages->texts(),
            QStringList({"UPGRADE REQUIRED:\r\rWith your Ordersentinel installation you have a "
                         "program called \"Ordersentinel Database Repair Utility.\" This "
                         "program is used to pack, repair and upgrade databases. Please run "
                         "this utility before starting Ordersentinel.",
                         "It is STRONGLY recommended that you back up all files in:\r\r" + all,
                         "Ordersentinel will shut down now.\r\r" + all}));
        for (const auto& shown : m_messages->shown())
            QCOMPARE(shown.kind, MessageKind::Error);
        QVERIFY(!m_dm->isOpen());
    }

    void uncreatableTableShowsItsTextOnly()
    {
        // No data directory: the notice, then the engine's text, no INITPROC.
        QVERIFY(QDir(AppPaths::dataDir()).removeRecursively());
        start(false);
        m_form->openDatabaseCommand();
        QCOMPARE(m_messages->texts(),
                 QStringList({kCreateNotice,
                              QStringLiteral("Cannot create table %1/customers.db.\rNo such file "
                                             "or directory")
                                  .arg(AppPaths::dataDir())}));
        QCOMPARE(enabledOf(kSeven + kMenus), QStringList({"FileMenuAction"}));
    }

    void exitAsksAndNoKeepsTheProgram()
    {
        start(true);
        m_messages->queueAnswer(Answer::No);
        QVERIFY(fire(m_form.get(), {"ExitButton"}));
        QCOMPARE(m_messages->texts(), QStringList({kExitQuestion}));
        QCOMPARE(m_messages->shown().first().kind, MessageKind::Question);
        QVERIFY(m_form->isVisible());

        m_messages->queueAnswer(Answer::No);
        QVERIFY(fire(m_form.get(), {"FileMenuAction", "ExitItem"}));
        QVERIFY(m_form->isVisible());

        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(fire(m_form.get(), {"ExitButton"}));
        QCOMPARE(m_messages->texts(), QStringList({kExitQuestion, kExitQuestion, kExitQuestion}));
        QVERIFY(!m_form->isVisible());
    }

    void closingTheFrameAsksNothingAndClosesHelp()
    {
        start(true);
        QVERIFY(fire(m_form.get(), {"HelpButton"}));
        QVERIFY(THelpWindow::current() && THelpWindow::current()->isVisible());
        QVERIFY(m_form->close());
        QVERIFY(m_messages->texts().isEmpty()); // a question would also fail the test
        QTRY_VERIFY(THelpWindow::current() == nullptr);
    }

    void theFrameStaysWhileALongOperationRuns()
    {
        start(true);
        m_form->SetCommandsEnabled(false); // as a store session does
        QVERIFY(!m_form->close());
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_messages->beeps(), 1);
        QVERIFY(m_messages->texts().isEmpty());
        m_form->SetCommandsEnabled(true);
        QVERIFY(m_form->close());
        QVERIFY(!m_form->isVisible());
    }

    void minimizeAllFollowsTheChildWindows()
    {
        start(true);
        QVERIFY(!enabled("MinimizeAllItem"));
        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        QTRY_VERIFY(enabled("MinimizeAllItem"));

        // The Window menu lists the open child window.
        QMenu* windowMenu = m_form->findChild<QMenu*>("WindowMenu");
        QCOMPARE(captions(windowMenu),
                 QStringList({"&Minimize All", "-", "&1 Vendix Connections"}));
        QVERIFY(actionNamed(m_form.get(), "WindowListItem1")->isChecked());

        QVERIFY(fire(m_form.get(), {"WindowMenuAction", "MinimizeAllItem"}));
        const QList<QMdiSubWindow*> subs = m_form->mdiArea()->subWindowList();
        QCOMPARE(subs.size(), 1);
        QTRY_VERIFY(subs.first()->isMinimized());

        m_messages->queueAnswer(Answer::Yes); // the frame's close box asks, like "Close"
        subs.first()->close();
        QTRY_VERIFY(m_form->mdiArea()->subWindowList().isEmpty());
        QTRY_VERIFY(!enabled("MinimizeAllItem"));
        QCOMPARE(captions(windowMenu), QStringList({"&Minimize All"}));
    }

    void onlineTwiceGivesOneConnectionsWindow()
    {
        start(true);
        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        QMdiArea* mdi = m_form->mdiArea();
        QCOMPARE(mdi->subWindowList().size(), 1);
        QMdiSubWindow* first = mdi->subWindowList().first();
        auto* site = qobject_cast<TUpdateSiteForm*>(first->widget());
        QVERIFY(site);
        QVERIFY(first->isMaximized());

        // Another child in front; "Online" brings the one Connections window back.
        auto* other = new QWidget;
        other->setWindowTitle(QStringLiteral("Other"));
        m_form->addChildWindow(other);
        QCOMPARE(mdi->activeSubWindow()->widget(), other);
        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        QCOMPARE(mdi->subWindowList().size(), 2);
        QCOMPARE(mdi->activeSubWindow(), first);

        // Closed, it is created anew.
        QPointer<TUpdateSiteForm> old = site;
        m_messages->queueAnswer(Answer::Yes);
        first->close();
        QTRY_VERIFY(old.isNull());
        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        QCOMPARE(mdi->subWindowList().size(), 2);
        QVERIFY(qobject_cast<TUpdateSiteForm*>(mdi->activeSubWindow()->widget()));
    }

    void closeButtonClosesTheWholeChildWindow()
    {
        start(true);
        TUpdateSiteForm* site = openConnections();
        QVERIFY(site);
        QMdiArea* mdi = m_form->mdiArea();
        QPointer<QMdiSubWindow> frame = mdi->subWindowList().value(0);

        m_messages->queueAnswer(Answer::No);
        QTest::mouseClick(site->CloseButton, Qt::LeftButton);
        QCOMPARE(m_messages->texts(), QStringList{kCloseQuestion});
        QCOMPARE(mdi->subWindowList(), QList<QMdiSubWindow*>{frame});
        QVERIFY(site->isVisible());

        // Yes closes the child window itself: no empty frame stays behind.
        m_messages->queueAnswer(Answer::Yes);
        QTest::mouseClick(site->CloseButton, Qt::LeftButton);
        QTRY_VERIFY(frame.isNull());
        QVERIFY(mdi->subWindowList().isEmpty());
        QTRY_COMPARE(captions(m_form->findChild<QMenu*>("WindowMenu")),
                     QStringList({"&Minimize All"}));

        // The next "Online" opens a fresh window.
        site = openConnections();
        QVERIFY(site);
        QCOMPARE(site->MainLabel->text(), QStringLiteral("No Action Selected"));
        QCOMPARE(mdi->subWindowList().size(), 1);

        // The frame's close box asks the same question.
        m_messages->queueAnswer(Answer::No);
        QVERIFY(!mdi->subWindowList().first()->close());
        QCOMPARE(m_messages->texts().last(), kCloseQuestion);
        QCOMPARE(mdi->subWindowList().size(), 1);
    }

    void theHighlightedActionIsTheOneThatRuns()
    {
        test::StoreSim sim;
        QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
        startWithStore(sim.url());
        TUpdateSiteForm* site = openConnections();
        QVERIFY(site);
        QTreeWidget* tree = site->RzTreeView1;
        const auto item = [tree](const char* text) {
            return tree->findItems(QString::fromUtf8(text), Qt::MatchExactly | Qt::MatchRecursive)
                .value(0);
        };

        // A click, then the arrow keys: the label follows the highlight.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(item("Poll Server")).center());
        QCOMPARE(site->MainLabel->text(), QStringLiteral("Poll Server"));
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentItem(), item("Lock Vendix"));
        QCOMPARE(tree->selectedItems(), QList<QTreeWidgetItem*>{item("Lock Vendix")});
        QCOMPARE(site->MainLabel->text(), QStringLiteral("Lock Vendix"));
        // "Maintenance" leaves the action as it is, as a click does.
        QTest::keyClick(tree, Qt::Key_Up);
        QCOMPARE(tree->currentItem(), item("Maintenance"));
        QCOMPARE(site->MainLabel->text(), QStringLiteral("Lock Vendix"));
        QTest::keyClick(tree, Qt::Key_Up);
        QTest::keyClick(tree, Qt::Key_Up);
        QCOMPARE(site->MainLabel->text(), QStringLiteral("Poll Server"));

        // Enter in the password box starts the session once there is a password.
        QTest::keyClick(site->PassEdit, Qt::Key_Return);
        QCOMPARE(sim.commands(), QStringList());
        QTest::keyClicks(site->PassEdit, QStringLiteral("wrong1"));
        QTest::keyClick(site->PassEdit, Qt::Key_Return);
        QCOMPARE(sim.commands(), QStringList{"poll_server"});
        QCOMPARE(m_messages->texts(), QStringList{"Invalid Password!"});
        // The failure is in the log too, before "Session Complete: ".
        QStringList rows = logRows(site);
        QVERIFY2(rows.size() >= 3, qPrintable(rows.join('\n')));
        QCOMPARE(rows.at(rows.size() - 2), QStringLiteral("Error|Invalid Password!"));
        QVERIFY(rows.last().startsWith(QLatin1String("Notice|Session Complete: ")));

        site->PassEdit->selectAll();
        QTest::keyClicks(site->PassEdit, sim.password());
        QTest::keyClick(site->PassEdit, Qt::Key_Enter);
        QCOMPARE(sim.commands(), (QStringList{"poll_server", "poll_server"}));
        rows = logRows(site);
        QVERIFY2(rows.contains(QStringLiteral("Vendix|Site is not locked.")),
                 qPrintable(rows.join('\n')));
        QVERIFY(!rows.join('\n').contains(QLatin1String("Error|")));
        QCOMPARE(m_messages->texts().size(), 1);
    }

    void restoredConnectionsWindowKeepsItsLogAndActionsInView()
    {
        start(true);
        TUpdateSiteForm* site = openConnections();
        QVERIFY(site);
        QMdiSubWindow* frame = m_form->mdiArea()->activeSubWindow();
        frame->showNormal();
        frame->resize(50, 50);
        QTRY_VERIFY(site->EventLogView->isVisible());
        QTableView* log = site->EventLogView;
        const int messageRoom = log->viewport()->width() - log->columnViewportPosition(1);
        QVERIFY2(messageRoom >= log->fontMetrics().horizontalAdvance(QString(30, QLatin1Char('x'))),
                 qPrintable(QString::number(messageRoom)));
        QTreeWidget* tree = site->RzTreeView1;
        QTreeWidgetItem* last = tree->topLevelItem(3)->child(2);
        QVERIFY(tree->viewport()->rect().contains(tree->visualItemRect(last)));
    }

    void storeDomainIsSetInWebDocumentsAndFallsBackToTheStoreUrl()
    {
        const QString prefix = QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?");
        startWithStore(QStringLiteral("https://www.shop.example/cgi-bin/ordersentinel.cgi"));
        QCOMPARE(m_form->databasePane()->text(), QStringLiteral("Active Database: shop.example"));

        const auto suggest = [this](const QString& before) {
            QString after;
            whenModal([&](QWidget* w) {
                auto* d = qobject_cast<TSecurityStuff*>(w);
                d->SecURLEdit->setText(before);
                QTest::mouseClick(d->SuggestLink, Qt::LeftButton);
                after = d->SecURLEdit->text();
                d->reject();
            });
            fire(m_form.get(),
                 {"OptionsMenuAction", "VitalConfigsMenuAction", "SpoofPreventionItem"});
            return after;
        };
        QCOMPARE(suggest(QStringLiteral("^custom$")), prefix + QStringLiteral("shop\\.example/"));

        // The domain's own field; its placeholder shows what is used without it.
        const auto setDomain = [this](const QString& domain) {
            QString placeholder;
            whenModal([&](QWidget* w) {
                auto* d = qobject_cast<TWebDocsForm*>(w);
                placeholder = d->StoreDomainEdit->placeholderText();
                d->StoreDomainEdit->selectAll();
                if (domain.isEmpty())
                    QTest::keyClick(d->StoreDomainEdit, Qt::Key_Delete);
                else
                    QTest::keyClicks(d->StoreDomainEdit, domain);
                QTest::mouseClick(d->OKBtn, Qt::LeftButton);
            });
            fire(m_form.get(), {"OptionsMenuAction", "VitalConfigsMenuAction", "WebDocumentsItem"});
            return placeholder;
        };
        QCOMPARE(setDomain(QStringLiteral("myshop.test")), QStringLiteral("shop.example"));
        IniFile installation(installationFile());
        QVERIFY(installation.load());
        QCOMPARE(installation.value("Installation", "StoreDomain", "?"),
                 QStringLiteral("myshop.test"));
        QCOMPARE(m_form->databasePane()->text(), QStringLiteral("Active Database: myshop.test"));
        QCOMPARE(suggest(QStringLiteral("^custom$")), prefix + QStringLiteral("myshop\\.test/"));
        QVERIFY(m_messages->texts().isEmpty());

        // No domain at all (a new installation's placeholder URL): the link
        // says what is missing and leaves the expression alone.
        setDomain(QString());
        settings().VendixManagerURL = Settings().VendixManagerURL;
        QCOMPARE(suggest(QStringLiteral("^custom$")), QStringLiteral("^custom$"));
        QCOMPARE(m_messages->texts(),
                 QStringList{"The suggested expression needs the domain of your store. Enter it "
                             "as \"Store domain:\" in Options, Vital Configs (Do These First), "
                             "Vendix Location & Web Documents, or set the Ordersentinel CGI "
                             "location in Net Connection Settings."});
    }

    void vitalConfigsShowAFailedSaveAndStayOpen_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("retry");
        for (const bool retry : {true, false}) {
            const char* how = retry ? "retry" : "cancel";
            QTest::addRow("net %s", how) << "NetConnectionSettingsItem"
                                         << "URLEdit"
                                         << "MAINC"
                                         << "VendixManagerURL" << retry;
            QTest::addRow("web %s", how) << "WebDocumentsItem"
                                         << "CGIBINEdit"
                                         << "MAINC"
                                         << "CGIBINLocation" << retry;
            QTest::addRow("spoof %s", how) << "SpoofPreventionItem"
                                           << "SecURLEdit"
                                           << "SECINFO"
                                           << "SecURL" << retry;
        }
    }

    void vitalConfigsShowAFailedSaveAndStayOpen()
    {
        QFETCH(QString, item);
        QFETCH(QString, field);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(bool, retry);
        start(true);
        const QString data = AppPaths::dataDir();
        const QString aside = data + QStringLiteral(".aside");
        const QString typed = QStringLiteral("http://typed.example/x");
        bool stayedOpen = false;
        bool closed = false;
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<QDialog*>(w);
            auto* edit = d->findChild<QLineEdit*>(field);
            edit->selectAll();
            QTest::keyClicks(edit, typed);
            // The company directory cannot take the file: a file stands in its place.
            QVERIFY(QDir().rename(data, aside));
            QVERIFY(test::writeAll(data, "not a directory"));
            QTest::mouseClick(d->findChild<QPushButton*>("OKBtn"), Qt::LeftButton);
            stayedOpen = d->isVisible() && d->result() != QDialog::Accepted;
            QVERIFY(QFile::remove(data));
            QVERIFY(QDir().rename(aside, data));
            QTest::mouseClick(d->findChild<QPushButton*>(retry ? "OKBtn" : "CancelBtn"),
                              Qt::LeftButton);
            closed = !d->isVisible();
        });
        QVERIFY(fire(m_form.get(), {"OptionsMenuAction", "VitalConfigsMenuAction", item}));
        QVERIFY(stayedOpen);
        QVERIFY(closed);
        QCOMPARE(m_messages->texts(),
                 QStringList{"The settings could not be saved to \"" +
                             QDir::toNativeSeparators(AppPaths::dataFile("zr.ini")) +
                             "\": Not a directory.\r\rThe changes are in use but will be lost "
                             "when Ordersentinel ends. Fix the cause and press OK to try again, "
                             "or Cancel."});
        QCOMPARE(m_messages->shown().first().kind, MessageKind::Error);

        // The record kept the value either way; the retry wrote it.
        IniFile file(AppPaths::dataFile("zr.ini"));
        if (retry) {
            QVERIFY(file.load());
            QCOMPARE(file.value(section, key, "?"), typed);
        } else {
            QVERIFY(!file.load() || file.value(section, key, "?") != typed);
            QVERIFY(SaveSettings());
            QVERIFY(file.load());
            QCOMPARE(file.value(section, key, "?"), typed);
        }
    }

    void keyboardReachAndWhyCommandsAreGreyed()
    {
        start(false);
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        // Every toolbar command has a shortcut, named in its tooltip.
        for (const MainCommand& c : mainCommands()) {
            if (c.place != CommandPlace::ToolBar)
                continue;
            QVERIFY2(c.shortcut, c.objectName);
            QAction* a = actionNamed(m_form.get(), QString::fromLatin1(c.objectName));
            QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(c.shortcut)));
            QVERIFY2(a->toolTip().startsWith(QStringLiteral("%1 (%2)").arg(
                         QString::fromUtf8(c.caption),
                         a->shortcut().toString(QKeySequence::NativeText))),
                     qPrintable(a->toolTip()));
        }

        // Before the open, a greyed command says so.
        QAction* online = actionNamed(m_form.get(), "OnlineButton");
        QCOMPARE(online->toolTip(),
                 QStringLiteral("Online (Ctrl+Shift+L)\nOpen the company database first"));
        QCOMPARE(online->statusTip(), QStringLiteral("Open the company database first"));
        QCOMPARE(actionNamed(m_form.get(), "ExitButton")->toolTip(),
                 QStringLiteral("Exit (Ctrl+Q)"));
        QCOMPARE(actionNamed(m_form.get(), "ExitButton")->statusTip(), QString());

        m_form->openDatabaseCommand();
        m_messages->clear();
        QCOMPARE(online->toolTip(), QStringLiteral("Online (Ctrl+Shift+L)"));
        QCOMPARE(online->statusTip(), QString());
        for (const QString& name : pendingCommands()) {
            QAction* a = actionNamed(m_form.get(), name);
            QCOMPARE(a->statusTip(), QStringLiteral("Available in a later version"));
            QVERIFY(a->toolTip().endsWith(QLatin1String("\nAvailable in a later version")));
        }
        m_form->SetCommandsEnabled(false); // as a store session does
        QCOMPARE(online->statusTip(), QStringLiteral("Available again when the running task ends"));
        m_form->SetCommandsEnabled(true);
        QCOMPARE(online->statusTip(), QString());

        // "Online" and F1 from the keyboard: the active window's help topic,
        // or the contents.
        QTest::keyClick(m_form.get(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(m_form->mdiArea()->subWindowList().size(), 1);
        auto* site = qobject_cast<TUpdateSiteForm*>(m_form->mdiArea()->activeSubWindow()->widget());
        QVERIFY(site);
        QTest::keyClick(site->PassEdit, Qt::Key_F1);
        QVERIFY(THelpWindow::current());
        QCOMPARE(THelpWindow::current()->browser()->source(), helpTopicUrl(44));
        site->closeWithoutAsking();
        QTRY_VERIFY(m_form->mdiArea()->subWindowList().isEmpty());
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QTest::keyClick(m_form.get(), Qt::Key_F1);
        QCOMPARE(THelpWindow::current()->browser()->source(), helpContentsUrl());

        // F1 in a settings dialog is its Help button.
        QUrl shown;
        whenModal([&](QWidget* w) {
            QTRY_COMPARE(QApplication::activeWindow(), w);
            QTest::keyClick(w->findChild<QLineEdit*>("URLEdit"), Qt::Key_F1);
            shown = THelpWindow::current() ? THelpWindow::current()->browser()->source() : QUrl();
            qobject_cast<QDialog*>(w)->reject();
        });
        QVERIFY(fire(m_form.get(),
                     {"OptionsMenuAction", "VitalConfigsMenuAction", "NetConnectionSettingsItem"}));
        QCOMPARE(shown, helpTopicUrl(10));
    }

    void closeOtherChildWindowsKeepsTheConnectionsWindow()
    {
        start(true);
        QPointer<QWidget> a = new QWidget;
        QPointer<QWidget> b = new QWidget;
        m_form->addChildWindow(a);
        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        m_form->addChildWindow(b);
        QCOMPARE(m_form->mdiArea()->subWindowList().size(), 3);

        m_form->CloseOtherChildWindows();
        QTRY_VERIFY(a.isNull() && b.isNull());
        const QList<QMdiSubWindow*> left = m_form->mdiArea()->subWindowList();
        QCOMPARE(left.size(), 1);
        QVERIFY(qobject_cast<TUpdateSiteForm*>(left.first()->widget()));
        QCOMPARE(QApplication::overrideCursor(), nullptr); // the busy cursor is gone again
    }

    void openDatabaseCommandClosesEveryChildWindow()
    {
        start(true);
        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        QPointer<QWidget> other = new QWidget;
        m_form->addChildWindow(other);
        m_form->openDatabaseCommand();
        QTRY_VERIFY(m_form->mdiArea()->subWindowList().isEmpty());
        QVERIFY(m_dm->isOpen());
        QVERIFY(enabled("OnlineButton"));
    }

    void browserQuestionsAndStatusPanes()
    {
        saveStoreDomain(QStringLiteral("yourshop.com"));
        start(true);
        QCOMPARE(m_form->databasePane()->text(), QStringLiteral("Active Database: yourshop.com"));
        QVERIFY(m_form->databasePane()->isVisible());

        QVERIFY(!m_form->activeChildIsOrdersBrowser());
        QVERIFY(!m_form->activeChildIsCustomersBrowser());
        QVERIFY(!m_form->orderStatusPane()->isVisible());

        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        QVERIFY(!m_form->activeChildIsOrdersBrowser());
        QVERIFY(!m_form->activeChildIsCustomersBrowser());
        QVERIFY(!m_form->orderStatusPane()->isVisible());
    }

    void vitalConfigsOpenModalAndAnew_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("title");
        QTest::newRow("net") << "NetConnectionSettingsItem"
                             << "os::TManagerConnection"
                             << "Ordersentinel Net Connection Settings";
        QTest::newRow("web") << "WebDocumentsItem"
                             << "os::TWebDocsForm"
                             << "Web Documents";
        QTest::newRow("spoof") << "SpoofPreventionItem"
                               << "os::TSecurityStuff"
                               << "Advanced Spoof Prevention";
    }

    void vitalConfigsOpenModalAndAnew()
    {
        QFETCH(QString, item);
        QFETCH(QString, className);
        QFETCH(QString, title);
        start(true);
        for (int round = 0; round < 2; ++round) {
            QPointer<QWidget> seen;
            QString seenClass;
            QString seenTitle;
            whenModal([&](QWidget* w) {
                seen = w;
                seenClass = QString::fromLatin1(w->metaObject()->className());
                seenTitle = w->windowTitle();
                if (auto* d = qobject_cast<QDialog*>(w))
                    d->reject();
            });
            QVERIFY(fire(m_form.get(), {"OptionsMenuAction", "VitalConfigsMenuAction", item}));
            QCOMPARE(seenClass, className);
            QCOMPARE(seenTitle, title);
            QVERIFY(seen.isNull()); // freed when closed; the next one is new
        }
    }

    void helpContentsAndTopics()
    {
        start(true);
        QVERIFY(fire(m_form.get(), {"HelpButton"}));
        THelpWindow* help = THelpWindow::current();
        QVERIFY(help);
        QCOMPARE(help->browser()->source(), helpContentsUrl());
        QCOMPARE(help->browser()->documentTitle(), QStringLiteral("Contents"));
        // It opens within the small offscreen screen (800x600).
        const QSize room = help->screen()->availableSize();
        QVERIFY(help->width() <= room.width() && help->height() <= room.height());

        // "Getting Started" opens its window; the window's Help, the page.
        QVERIFY(fire(m_form.get(), {"HelpButton", "GettingStartedItem"}));
        TGettingStarted* steps = m_form->findChild<TGettingStarted*>();
        QVERIFY(steps && steps->isVisible());
        QTest::mouseClick(steps->findChild<QPushButton*>(QStringLiteral("HelpButton")),
                          Qt::LeftButton);
        steps->close();
        QCOMPARE(THelpWindow::current(), help); // one viewer
        QCOMPARE(help->browser()->source(), helpTopicUrl(45));
        QCOMPARE(help->browser()->documentTitle(), QStringLiteral("Getting Started"));
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("Net Connection Settings")));

        QVERIFY(fire(m_form.get(), {"HelpButton", "TechSupportItem"}));
        QCOMPARE(help->browser()->source(), helpTopicUrl(60));
        const QString text = help->browser()->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("Program version\n") + programVersion() +
                               QLatin1Char('\n')),
                 qPrintable(text));
        QVERIFY(text.contains(AppPaths::dataDir()));
        QVERIFY(!text.contains(QStringLiteral("%datadir%")));

        // Back goes to the page before.
        QAction* back = help->findChild<QAction*>("HelpBackButton");
        QVERIFY(back && back->isEnabled());
        back->trigger();
        QCOMPARE(help->browser()->source(), helpTopicUrl(45));

        QVERIFY(fire(m_form.get(), {"HelpButton", "HelpContentsItem"}));
        QCOMPARE(help->browser()->source(), helpContentsUrl());
    }

    void everyTopicAWindowAsksForHasAPage_data()
    {
        QTest::addColumn<int>("topic");
        for (int t : {0, 10, 23, 44, 45, 46, 60, 61})
            QTest::newRow(qPrintable(QString::number(t))) << t;
    }

    void everyTopicAWindowAsksForHasAPage()
    {
        QFETCH(int, topic);
        showHelpTopic(topic);
        THelpWindow* help = THelpWindow::current();
        QVERIFY(help);
        QCOMPARE(help->browser()->source(), helpTopicUrl(topic));
        QVERIFY(!help->browser()->documentTitle().startsWith(QStringLiteral("No help")));
        QVERIFY(help->browser()->toPlainText().size() > 200);
    }

    void missingTopicSaysSo()
    {
        showHelpTopic(999);
        THelpWindow* help = THelpWindow::current();
        QVERIFY(help);
        QCOMPARE(help->browser()->documentTitle(), QStringLiteral("No help for topic 999"));
        QVERIFY(help->browser()->toPlainText().contains(
            QStringLiteral("This version of Ordersentinel has no help page for topic 999.")));
    }

    void helpFromAModalDialogIsUsable()
    {
        QDialog dialog;
        dialog.setGeometry(20, 20, 300, 200);
        QPointer<THelpWindow> help;
        QWidget* ownerWhileUp = nullptr;
        bool besideTheDialog = false;
        whenModal([&](QWidget*) {
            showHelpTopic(10);
            help = THelpWindow::current();
            // A window under the modal dialog is not blocked by it.
            ownerWhileUp = help ? help->parentWidget() : nullptr;
            // Where the screen has room, it does not cover the dialog.
            besideTheDialog = help && !help->frameGeometry().intersects(dialog.frameGeometry()) &&
                              help->screen()->availableGeometry().contains(help->frameGeometry());
            dialog.accept();
        });
        dialog.exec();
        QVERIFY(help);
        QCOMPARE(ownerWhileUp, &dialog);
        QVERIFY(besideTheDialog);
        QTRY_VERIFY(help->parentWidget() == nullptr); // a window of its own again
        QVERIFY(help->isVisible());
        QCOMPARE(help->browser()->source(), helpTopicUrl(10));
    }

    // The window build's message service (not the scripted double).
    void messageBoxesShowTheTextAndReturnThePressedButton()
    {
        QtMessageService service;
        QString shownText;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            shownText = box->text();
            QCOMPARE(box->icon(), QMessageBox::Critical);
            box->button(QMessageBox::Ok)->click();
        });
        service.error(QStringLiteral("Invalid Password!\r\rRemember"));
        QCOMPARE(shownText, QStringLiteral("Invalid Password!\n\nRemember"));

        QList<QMessageBox::StandardButton> offered;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            for (QAbstractButton* b : box->buttons())
                offered << box->standardButton(b);
            box->button(QMessageBox::Help)->click();
        });
        QCOMPARE(service.ask(QStringLiteral("More?"), Buttons::YesNoCancelHelp), Answer::Help);
        std::sort(offered.begin(), offered.end());
        QList<QMessageBox::StandardButton> expected = {QMessageBox::Yes, QMessageBox::No,
                                                       QMessageBox::Cancel, QMessageBox::Help};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(offered, expected);

        whenModal(
            [&](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::No)->click(); });
        QCOMPARE(service.ask(kExitQuestion, Buttons::YesNo), Answer::No);
    }

    void busyCursorIsTheOverrideCursor()
    {
        {
            BusyCursor busy;
            QVERIFY(QApplication::overrideCursor());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
