// The Connections window offscreen, with real sessions against the store simulator.
#include "base/main_services.h"
#include "base/settings.h"
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "data/main_data_mod.h"
#include "gui/settings/change_password.h"
#include "gui/sync/update_site_form.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

using namespace os;
using namespace os::test;

namespace {

class RecordingMain : public MainServices
{
public:
    void SetCommandsEnabled(bool enabled) override
    {
        calls << (enabled ? "commands on" : "commands off");
    }
    void CloseOtherChildWindows() override { calls << "close others"; }
    QStringList calls;
};

QTreeWidgetItem* findItem(QTreeWidget* tree, const QString& text)
{
    const auto items = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return items.isEmpty() ? nullptr : items.first();
}

void clickItem(QTreeWidget* tree, const QString& text)
{
    QTreeWidgetItem* item = findItem(tree, text);
    QVERIFY2(item, qPrintable(text));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

QStringList logRows(TUpdateSiteForm& form)
{
    QStringList out;
    QAbstractItemModel* model = form.EventLogView->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        const QString type = model->index(r, 0).data().toString();
        if (type != QLatin1String("Agent") && type != QLatin1String("Server"))
            out << type + QLatin1Char('|') + model->index(r, 1).data().toString();
    }
    return out;
}

} // namespace

class TestConnectionsWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void initialState();
    void startSessionFollowsThePassword();
    void actionSelection();
    void noActionSelected();
    void closeQuestion();
    void reopeningShowsAFreshState();
    void pollFillsTheLog();
    void changePasswordThroughTheDialog();
    void retrievalShowsTheByteCount();

private:
    TUpdateSiteForm* openForm();

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<StoreSim> m_sim;
    RecordingMain m_main;
    QPointer<TUpdateSiteForm> m_form;
};

void TestConnectionsWindow::init()
{
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
    m_sim = std::make_unique<StoreSim>();
    QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->errorString()));
    settings() = Settings();
    settings().VendixManagerURL = m_sim->url();
    m_main.calls.clear();
}

void TestConnectionsWindow::cleanup()
{
    delete m_form.data();
    m_sim.reset();
    m_messages.reset();
    m_home.reset();
}

TUpdateSiteForm* TestConnectionsWindow::openForm()
{
    m_form = new TUpdateSiteForm(&m_main);
    m_form->resize(900, 600);
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form))
        return nullptr;
    return m_form;
}

void TestConnectionsWindow::initialState()
{
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    QCOMPARE(form->objectName(), QStringLiteral("UpdateSiteForm"));
    QCOMPARE(form->windowTitle(), QStringLiteral("Vendix Connections"));
    QCOMPARE(form->Toolbar->windowTitle(), QStringLiteral("Internet Connections"));
    QCOMPARE(form->CloseButton->text(), QStringLiteral("Close"));
    QCOMPARE(form->Button1->text(), QStringLiteral("Start Session"));
    QCOMPARE(form->ToolbarButton971->text(), QStringLiteral("Help"));
    QVERIFY(!form->Button1->isEnabled());
    QCOMPARE(form->PassEdit->echoMode(), QLineEdit::Password);
    QCOMPARE(form->PassEdit->text(), QString());
    QCOMPARE(form->MainLabel->text(), QStringLiteral("No Action Selected"));
    QVERIFY(!form->TransferPanel->isVisible());
    QCOMPARE(form->TransferState->text(), QStringLiteral("0"));
    QCOMPARE(form->findChild<QTableView*>(QStringLiteral("EventLog")), form->EventLogView);
    QCOMPARE(form->EventLogView->model()->rowCount(), 0);
    QCOMPARE(form->EventLogView->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Type"));
    QCOMPARE(form->EventLogView->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Message"));
    QCOMPARE(form->EventLogView->columnWidth(0), 99);
    QCOMPARE(form->EventLogView->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(form->EventLogView->editTriggers(), QAbstractItemView::NoEditTriggers);

    // The action list, in order, with the maintenance group.
    QTreeWidget* tree = form->RzTreeView1;
    QCOMPARE(tree->topLevelItemCount(), 4);
    QStringList top;
    for (int i = 0; i < 4; ++i)
        top << tree->topLevelItem(i)->text(0);
    QCOMPARE(top, (QStringList{"Get Orders & Information", "Poll Server",
                               "Publish Options & Configurations", "Maintenance"}));
    QTreeWidgetItem* maintenance = tree->topLevelItem(3);
    QCOMPARE(maintenance->childCount(), 3);
    QCOMPARE(maintenance->child(0)->text(0), QStringLiteral("Lock Vendix"));
    QCOMPARE(maintenance->child(1)->text(0), QStringLiteral("Unlock Vendix"));
    QCOMPARE(maintenance->child(2)->text(0), QStringLiteral("Change Password"));
}

void TestConnectionsWindow::startSessionFollowsThePassword()
{
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    QTest::keyClicks(form->PassEdit, QStringLiteral("se"));
    QVERIFY(form->Button1->isEnabled());
    QCOMPARE(form->session().password(), QStringLiteral("se"));
    QTest::keyClick(form->PassEdit, Qt::Key_Backspace);
    QVERIFY(form->Button1->isEnabled());
    QTest::keyClick(form->PassEdit, Qt::Key_Backspace);
    QVERIFY(!form->Button1->isEnabled());
}

void TestConnectionsWindow::actionSelection()
{
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    clickItem(form->RzTreeView1, QStringLiteral("Poll Server"));
    QCOMPARE(form->MainLabel->text(), QStringLiteral("Poll Server"));
    clickItem(form->RzTreeView1, QStringLiteral("Maintenance"));
    QCOMPARE(form->MainLabel->text(), QStringLiteral("Poll Server"));
    clickItem(form->RzTreeView1, QStringLiteral("Unlock Vendix"));
    QCOMPARE(form->MainLabel->text(), QStringLiteral("Unlock Vendix"));
}

void TestConnectionsWindow::noActionSelected()
{
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    QTest::keyClicks(form->PassEdit, QStringLiteral("secret1"));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QCOMPARE(m_messages->texts(), QStringList{"No action was selected from the action list."});
    QCOMPARE(m_sim->commands(), QStringList());
    QCOMPARE(m_main.calls, QStringList());
}

void TestConnectionsWindow::closeQuestion()
{
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    m_messages->queueAnswer(Answer::No);
    QTest::mouseClick(form->CloseButton, Qt::LeftButton);
    QCOMPARE(m_messages->texts(),
             QStringList{"Are you sure you want to close the Connections window?"});
    QVERIFY(form->isVisible());

    m_messages->queueAnswer(Answer::Yes);
    QTest::mouseClick(form->CloseButton, Qt::LeftButton);
    QCOMPARE(m_messages->texts().size(), 2);
    // Closed and destroyed.
    QTRY_VERIFY(m_form.isNull());
}

void TestConnectionsWindow::reopeningShowsAFreshState()
{
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    QTest::keyClicks(form->PassEdit, QStringLiteral("secret1"));
    clickItem(form->RzTreeView1, QStringLiteral("Poll Server"));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QVERIFY(form->EventLogView->model()->rowCount() > 0);
    m_messages->queueAnswer(Answer::Yes);
    form->close();
    QTRY_VERIFY(m_form.isNull());

    form = openForm();
    QVERIFY(form);
    QCOMPARE(form->PassEdit->text(), QString());
    QCOMPARE(form->session().password(), QString());
    QCOMPARE(form->MainLabel->text(), QStringLiteral("No Action Selected"));
    QCOMPARE(form->EventLogView->model()->rowCount(), 0);
    QVERIFY(!form->Button1->isEnabled());
}

void TestConnectionsWindow::pollFillsTheLog()
{
    m_sim->addOrders(QJsonArray{QJsonObject{}});
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    QTest::keyClicks(form->PassEdit, QStringLiteral("secret1"));
    clickItem(form->RzTreeView1, QStringLiteral("Poll Server"));

    // While the session runs, its controls are off.
    bool sawDisabled = false;
    QMetaObject::Connection probe = connect(&form->session().eventLog(), &EventLog::rowAdded, this,
                                            [&](const QString& type, const QString&) {
                                                if (type == QLatin1String("Function"))
                                                    sawDisabled = !form->Button1->isEnabled() &&
                                                                  !form->CloseButton->isEnabled();
                                            });
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    disconnect(probe);
    QVERIFY(sawDisabled);

    const QStringList rows = logRows(*form);
    QCOMPARE(rows.size(), 7);
    QVERIFY(rows.first().startsWith(QLatin1String("Notice|Starting Session: ")));
    QCOMPARE(rows.mid(1, 5),
             (QStringList{"Function|Connecting to Vendix Polling...",
                          "Vendix|1 new orders waiting.", "Vendix|1 account updates waiting.",
                          "Vendix|0 notes, 0 order marks and 0 status texts waiting.",
                          "Vendix|Site is not locked."}));
    QVERIFY(rows.last().startsWith(QLatin1String("Notice|Session Complete: ")));
    QCOMPARE(m_messages->texts(), QStringList());
    QCOMPARE(m_main.calls, (QStringList{"close others", "commands off", "commands on"}));

    // Everything is back; the action stays selected for the next run.
    QVERIFY(form->Button1->isEnabled());
    QVERIFY(form->CloseButton->isEnabled());
    QCOMPARE(form->MainLabel->text(), QStringLiteral("Poll Server"));
    QCOMPARE(form->TransferState->text(), QStringLiteral("0"));
    QVERIFY(!form->TransferPanel->isVisible());

    // Types carry icons; the newest row is in view.
    const QModelIndex vendix = form->EventLogView->model()->index(2, 0);
    QVERIFY(!vendix.data(Qt::DecorationRole).value<QIcon>().isNull());
    const int last = form->EventLogView->model()->rowCount() - 1;
    QVERIFY(form->EventLogView->viewport()->rect().intersects(
        form->EventLogView->visualRect(form->EventLogView->model()->index(last, 1))));
}

void TestConnectionsWindow::changePasswordThroughTheDialog()
{
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    QTest::keyClicks(form->PassEdit, QStringLiteral("secret1"));
    clickItem(form->RzTreeView1, QStringLiteral("Change Password"));

    bool answered = false;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<TChangePassword*>(QApplication::activeModalWidget());
        if (!dialog || answered)
            return;
        answered = true;
        QTest::keyClicks(dialog->NewPassEdit, QStringLiteral("Fresh_pass7"));
        QTest::keyClicks(dialog->ConfirmPassEdit, QStringLiteral("Fresh_pass7"));
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    driver.start();
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    driver.stop();

    QVERIFY(answered);
    QCOMPARE(m_messages->texts(), QStringList{"Your password has been changed!"});
    QCOMPARE(m_sim->password(), QStringLiteral("Fresh_pass7"));
    // The password box is emptied; "Start Session" waits for a new password.
    QCOMPARE(form->PassEdit->text(), QString());
    QVERIFY(!form->Button1->isEnabled());
    QTest::keyClicks(form->PassEdit, QStringLiteral("Fresh_pass7"));
    QVERIFY(form->Button1->isEnabled());
}

void TestConnectionsWindow::retrievalShowsTheByteCount()
{
    m_sim->generateOrders(3, 2000);
    TMainDataMod::CreateMissingTables(m_home->dataDir());
    TUpdateSiteForm* form = openForm();
    QVERIFY(form);
    QTest::keyClicks(form->PassEdit, QStringLiteral("secret1"));
    clickItem(form->RzTreeView1, QStringLiteral("Get Orders & Information"));

    // Each row logged while the session runs sees the panel's state of that moment.
    bool panelShownAtFirstStep = false;
    QStringList countsAfterReplies;
    QMetaObject::Connection probe =
        connect(&form->session().eventLog(), &EventLog::rowAdded, this,
                [&](const QString& type, const QString& message) {
                    if (type == QLatin1String("Function") &&
                        message == QLatin1String("Connecting to Vendix to check status."))
                        panelShownAtFirstStep = form->TransferPanel->isVisible();
                    if (message == QLatin1String("Closing the connection to the server."))
                        countsAfterReplies << form->TransferState->text();
                });
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    disconnect(probe);

    QVERIFY2(panelShownAtFirstStep,
             qPrintable(logRows(*form).join("\n") + m_messages->texts().join("\n")));
    // Three posts (check, get_new_stuff, clean-up), each counted from its own start;
    // the get_new_stuff reply carries three 2,000-byte invoices.
    QCOMPARE(countsAfterReplies.size(), 3);
    QVERIFY2(countsAfterReplies[1].toLongLong() > 6000, qPrintable(countsAfterReplies.join(',')));
    QVERIFY(countsAfterReplies[0].toLongLong() > 0);
    QVERIFY(countsAfterReplies[0].toLongLong() < countsAfterReplies[1].toLongLong());
    QCOMPARE(m_messages->texts(), QStringList());
    // The closing steps put the panel away and the counter back.
    QVERIFY(!form->TransferPanel->isVisible());
    QCOMPARE(form->TransferState->text(), QStringLiteral("0"));
    QCOMPARE(QDir(m_home->dataDir() + "/html").entryList(QDir::Files).size(), 3);
}

QTEST_MAIN(TestConnectionsWindow)
#include "test_connections_window.moc"
