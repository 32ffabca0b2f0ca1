#include "common/gui/gui_helpers.h"
#include "common/gui/program_fixture.h"

#include "common/file_utils.h"
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/table_rows.h"
#include "common/temp_home.h"

#include "base/settings.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/child_commands.h"
#include "gui/app/db_grid.h"
#include "gui/app/file_dialog.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"
#include "gui/customers/customer_profile.h"
#include "gui/orders/orders_view.h"
#include "gui/orders/shipping_log.h"
#include "gui/sync/update_site_form.h"

#include <QAccessible>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace os;
using os::test::actionNamed;
using os::test::captions;
using os::test::fire;

namespace {

// Types `text` key by key as a keyboard does, letters beyond ASCII included
// (QTest::keyClicks takes ASCII only).
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

class TestOrdersView : public test::ProgramFixture
{
    Q_OBJECT

    void start(const QList<QVariantMap>& orders)
    {
        TMainDataMod::CreateMissingTables(m_home->dataDir());
        test::insertRows(m_home->dataDir(), "orders", orders);
        showProgram();
    }

    TOrdersView* openOrders() { return openChild<TOrdersView>("OrdersButton"); }
    QList<int> listed(TOrdersView* v) { return test::firstColumnNumbers(v->Grid->model()); }
    bool on(TOrdersView* v, const char* name) { return test::toolButtonOn(v, name); }

    // A key to whatever has the focus, as the keyboard sends it.
    static void press(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QWidget* to = QApplication::activePopupWidget();
        if (!to)
            to = QApplication::focusWidget();
        QVERIFY(to);
        QTest::keyClick(to, k, m);
        QCoreApplication::processEvents();
    }

    // Runs `handler` on the next pop-up menu to open.
    static void whenPopup(std::function<void(QMenu*)> handler)
    {
        auto* timer = new QTimer(qApp);
        timer->setInterval(0);
        QElapsedTimer clock;
        clock.start();
        QObject::connect(timer, &QTimer::timeout, timer, [timer, handler, clock] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu && !clock.hasExpired(10000))
                return;
            timer->stop();
            timer->deleteLater();
            if (menu) {
                handler(menu);
                if (QTest::currentTestFailed()) {
                    while (QWidget* open = QApplication::activePopupWidget())
                        open->close();
                }
            }
        });
        timer->start();
    }

    // Tab from the focus until `name` has it (or the round ends).
    static bool tabTo(const QString& name)
    {
        for (int i = 0; i < 60; ++i) {
            if (QApplication::focusWidget() && QApplication::focusWidget()->objectName() == name)
                return true;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        return false;
    }

    // Picks a filter entry with the keyboard, as a merchant does.
    void chooseFilter(TOrdersView* v, const QString& entry)
    {
        v->FilterBox->setFocus();
        const int steps = v->FilterBox->findText(entry) - v->FilterBox->currentIndex();
        for (int i = 0; i < qAbs(steps); ++i)
            QTest::keyClick(v->FilterBox, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    }

private slots:
    void initTestCase() { installWindowServices(); }

    void init() { newHome(); }
    void cleanup() { closeProgram(); }

    // The keyboard alone: every toolbar command has a letter of its own (the
    // caption unchanged, clear of the menu bar's), Tab reaches each one, and
    // an order is marked, shipped and its customer shown without the mouse.
    void keyboardAlone()
    {
        start({test::orderRow(1, "New"), test::orderRow(3, "New")});
        TOrdersView* v = openOrders();
        QVERIFY(v);
        QApplication::setActiveWindow(m_form.get());
        QStringList marked;
        QSet<QChar> letters;
        for (QAction* a : v->toolbar()->actions()) {
            auto* b = qobject_cast<CommandButton*>(v->toolbar()->widgetForAction(a));
            if (!b)
                continue;
            QString plain = b->mnemonicText();
            plain.remove('&');
            QCOMPARE(plain, b->text());
            marked << b->mnemonicText();
            letters.insert(mnemonicOf(b->mnemonicText()));
        }
        QCOMPARE(marked, QStringList({"&Close", "Credit Card &Pop-Up", "&Activities", "&Notes",
                                      "P&rofile", "&Export", "&Help"}));
        QCOMPARE(letters.size(), marked.size());
        QCOMPARE(v->findChild<QToolButton*>("ThisCustBut")->toolTip(), QString("Profile (Alt+R)"));

        QApplication::setActiveWindow(m_form.get());
        v->Grid->setFocus();
        QSet<QString> reached;
        for (int i = 0; i < 40; ++i) {
            press(Qt::Key_Tab);
            reached << QApplication::focusWidget()->objectName();
        }
        for (const char* name : {"ActivitiesBut", "NotesButton", "ThisCustBut", "ExportButton"})
            QVERIFY2(reached.contains(name), name);

        // Alt+A opens "Activities"; its items are the button's children for
        // a screen reader; Mark Order > Payment Received by arrows and Enter.
        QCOMPARE(listed(v), QList<int>({3, 1}));
        QApplication::setActiveWindow(m_form.get());
        v->Grid->setFocus();
        QStringList read;
        whenPopup([&](QMenu* menu) {
            auto* button = v->findChild<QToolButton*>("ActivitiesBut");
            QAccessibleInterface* b = QAccessible::queryAccessibleInterface(button);
            QCOMPARE(b->role(), QAccessible::ButtonMenu);
            QCOMPARE(b->text(QAccessible::Name), QString("Activities"));
            QCOMPARE(b->childCount(), 1);
            QAccessibleInterface* items = b->child(0);
            QVERIFY(items);
            QCOMPARE(items->object(), menu);
            for (int i = 0; i < items->childCount() && i < 4; ++i)
                read << items->child(i)->text(QAccessible::Name);
            press(Qt::Key_Down);
            press(Qt::Key_Down);
            press(Qt::Key_Right); // "Mark Order", on "New"
            press(Qt::Key_Down);
            m_messages->queueAnswer(Answer::Yes);
            press(Qt::Key_Return);
        });
        press(Qt::Key_A, Qt::AltModifier);
        QCOMPARE(read.mid(0, 2), QStringList({"Mark Order Wizards", "Mark Order"}));
        QCOMPARE(m_messages->texts().last(),
                 QString("You are about to mark this order \"Payment Received\". This will not "
                         "undo any previous actions, it will only move the order to the "
                         "\"Payment Received\" list.\r\rAre you sure you want to do this?"));
        QCOMPARE(listed(v), QList<int>({1}));

        // Shift+F10 on the grid: the row commands; the Ship Order Wizard.
        QApplication::setActiveWindow(m_form.get());
        v->Grid->setFocus();
        bool wizard = false;
        whenPopup([&](QMenu* menu) {
            QCOMPARE(menu->objectName(), QString("OrdersGridRowMenu"));
            press(Qt::Key_Down); // "Mark Order Wizards"
            press(Qt::Key_Right);
            press(Qt::Key_Down);                  // "Ship Order Wizard"
            m_messages->queueAnswer(Answer::Yes); // the order is still "New"
            test::whenModal([&](QWidget* w) {
                wizard = qobject_cast<TShipping_Log*>(w) != nullptr;
                QTest::keyClick(w, Qt::Key_Escape);
            });
            press(Qt::Key_Return);
        });
        press(Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(wizard);
        QCOMPARE(m_messages->texts().last(),
                 QString("This order is marked \"New\", are you sure you want to start the "
                         "Shipping Wizard?"));

        // Tab to "Profile", Space: the customer's profile.
        QApplication::setActiveWindow(m_form.get());
        v->Grid->setFocus();
        QVERIFY(tabTo("ThisCustBut"));
        QString profile;
        test::whenModal([&](QWidget* w) {
            if (auto* p = qobject_cast<CustomerProfile*>(w))
                profile = p->windowTitle();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        press(Qt::Key_Space);
        QCOMPARE(profile, QString("Customer Pop-Up [Orders View]"));

        // The Menu key, and Alt+R, open it too.
        QApplication::setActiveWindow(m_form.get());
        v->Grid->setFocus();
        profile.clear();
        whenPopup([&](QMenu*) {
            press(Qt::Key_Up); // the last item: "Profile"
            test::whenModal([&](QWidget* w) {
                if (auto* p = qobject_cast<CustomerProfile*>(w))
                    profile = p->windowTitle();
                QTest::keyClick(w, Qt::Key_Escape);
            });
            press(Qt::Key_Return);
        });
        press(Qt::Key_Menu);
        QCOMPARE(profile, QString("Customer Pop-Up [Orders View]"));
        profile.clear();
        QApplication::setActiveWindow(m_form.get());
        v->Grid->setFocus();
        test::whenModal([&](QWidget* w) {
            if (auto* p = qobject_cast<CustomerProfile*>(w))
                profile = p->windowTitle();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        press(Qt::Key_R, Qt::AltModifier);
        QCOMPARE(profile, QString("Customer Pop-Up [Orders View]"));
    }

    // A store session closes the Orders View; opened again it shows the list
    // and the find text the merchant left, "Custom" (a find) included.
    void storeSessionKeepsTheListAndFindText()
    {
        test::StoreSim sim;
        QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
        start({test::orderRow(1, "New"), test::orderRow(2, "Shipped"), test::orderRow(3, "Shipped"),
               test::orderRow(4, "New")});
        settings().VendixManagerURL = sim.url();
        QApplication::setActiveWindow(m_form.get());

        auto pollServer = [&] {
            QVERIFY(fire(m_form.get(), {"OnlineButton"}));
            auto* site =
                qobject_cast<TUpdateSiteForm*>(m_form->mdiArea()->activeSubWindow()->widget());
            QVERIFY(site);
            site->PassEdit->clear();
            QTest::keyClicks(site->PassEdit, "secret1");
            QTreeWidgetItem* poll = nullptr;
            for (QTreeWidgetItemIterator it(site->RzTreeView1); *it; ++it) {
                if ((*it)->text(0) == QLatin1String("Poll Server"))
                    poll = *it;
            }
            QVERIFY(poll);
            QTest::mouseClick(site->RzTreeView1->viewport(), Qt::LeftButton, {},
                              site->RzTreeView1->visualItemRect(poll).center());
            QTest::mouseClick(site->Button1, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return site->Button1->isEnabled(); }, 60000));
        };

        TOrdersView* v = openOrders();
        QVERIFY(v);
        chooseFilter(v, "Shipped");
        QCOMPARE(listed(v), QList<int>({3, 2}));
        QTest::keyClicks(v->FindEdit, "Customer"); // typed, not yet looked for
        pollServer();
        QVERIFY(m_form->mdiArea()->subWindowList().size() == 1); // the session closed the view
        v = openOrders();
        QVERIFY(v);
        QCOMPARE(v->FilterBox->currentText(), QString("Shipped"));
        QCOMPARE(v->FindEdit->text(), QString("Customer"));
        QCOMPARE(listed(v), QList<int>({3, 2}));

        // A find: the "Custom" list stays what was found.
        v->FindEdit->selectAll();
        QTest::keyClicks(v->FindEdit, "Customer 4");
        QTest::keyClick(v->FindEdit, Qt::Key_Return);
        QCOMPARE(v->FilterBox->currentText(), QString("Custom"));
        QCOMPARE(listed(v), QList<int>({4}));
        pollServer();
        v = openOrders();
        QVERIFY(v);
        QCOMPARE(v->FilterBox->currentText(), QString("Custom"));
        QCOMPARE(v->FindEdit->text(), QString("Customer 4"));
        QCOMPARE(listed(v), QList<int>({4}));
        QVERIFY(m_messages->texts().isEmpty());
    }

    void opensOnceInFrontOnItsFirstPage()
    {
        start({test::orderRow(1, "New"), test::orderRow(2, "Shipped"), test::orderRow(3, "New")});
        TOrdersView* v = openOrders();
        QVERIFY(v);
        QCOMPARE(v->windowTitle(), QString("Orders View"));
        QVERIFY(m_form->mdiArea()->activeSubWindow()->isMaximized());
        QCOMPARE(v->toolbar()->windowTitle(), QString("Orders View  Commands"));
        QStringList controls;
        for (QAction* a : v->toolbar()->actions()) {
            if (QWidget* w = v->toolbar()->widgetForAction(a); w && !a->isSeparator())
                controls << w->objectName();
        }
        QCOMPARE(controls, QStringList({"ToolbarButton971", "Navigator", "FilterBox", "FindEdit",
                                        "CCBUTTON", "ActivitiesBut", "NotesButton", "ThisCustBut",
                                        "ExportButton", "HelpButton"}));
        QStringList entries;
        for (int i = 0; i < v->FilterBox->count(); ++i)
            entries << v->FilterBox->itemText(i);
        QCOMPARE(entries,
                 QStringList({"New", "Payment Received", "Partially Shipped", "Shipped",
                              "Status Pending", "Complete", "Void", "AutoVoid", "ALL", "Custom"}));
        QCOMPARE(v->FilterBox->currentText(), QString("New"));
        QCOMPARE(listed(v), QList<int>({3, 1}));
        QCOMPARE(v->Pages->tabText(0), QString("Main Orders View"));
        QCOMPARE(v->Pages->tabText(1), QString("Web Page View"));
        QCOMPARE(v->Pages->tabText(2), QString("Order History"));
        QCOMPARE(
            captions(v->findChild<QMenu*>("ActivitiesButMenu")),
            QStringList({"Mark Order Wizards", "Mark Order", "-", "Change Price", "Delete Order",
                         "-", "Change Payment Method To", "-", "Send Letter",
                         "Show all orders from this customer", "-", "Mark ALL of These Orders"}));
        QCOMPARE(captions(v->findChild<QMenu*>("MarkOrder1Menu")),
                 QStringList({"New", "Payment Received", "Shipped", "Partially Shipped", "Complete",
                              "Status Pending", "Void"}));
        QCOMPARE(captions(v->findChild<QMenu*>("NotesButtonMenu")),
                 QStringList({"Order Notes", "Shipping Log", "Customer Notes"}));
        // Every command is built: the order dialogs and Send Letter are lit.
        for (const char* built : {"ReceiveMayments1", "ShipOrder1", "ChangePrice1", "OrderNotes1",
                                  "ShippingLog1", "MarkOrderWizards1", "SendLetter1"})
            QVERIFY2(actionNamed(v, built)->isEnabled(), built);

        // Another window in front, the second page: "Orders" brings the one
        // browser back on its first page.
        v->Pages->setCurrentIndex(1);
        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        QVERIFY(!m_form->activeChildIsOrdersBrowser());
        QCOMPARE(openOrders(), v);
        QCOMPARE(m_form->mdiArea()->subWindowList().size(), 2);
        QCOMPARE(v->Pages->currentIndex(), 0);
        QVERIFY(m_form->activeChildIsOrdersBrowser());

        // Close asks; the filter stays on the shared table.
        const QString question = "Are you sure you want to close the Orders View window?";
        QPointer<TOrdersView> gone = v;
        m_messages->queueAnswer(Answer::No);
        QTest::mouseClick(v->findChild<QToolButton*>("ToolbarButton971"), Qt::LeftButton);
        QVERIFY(gone);
        m_messages->queueAnswer(Answer::Yes);
        QTest::mouseClick(v->findChild<QToolButton*>("ToolbarButton971"), Qt::LeftButton);
        QTRY_VERIFY(gone.isNull());
        QCOMPARE(m_messages->texts(), QStringList({question, question}));
        QVERIFY(m_dm->ORDERs->filtered());
        QCOMPARE(m_dm->ORDERs->filter(), QString("ORDERSTATE='New'"));
    }

    // The toolbar follows the current order and the list; the store status
    // text shows while the browser is in front.
    void toolbarAndStatusFollowTheOrder()
    {
        start({test::orderRow(1, "New", {{"METHOD", "COD"}}),
               test::orderRow(2, "New", {{"METHOD", "Remote Credit Card"}}),
               test::orderRow(3, "New", {{"METHOD", "Credit Card by Phone"}}),
               test::orderRow(4, "New", {{"METHOD", "Credit Card"}})});
        test::insertRows(m_home->dataDir(), "invoice_result",
                         {{{"INVOICE", 3}, {"INFSTRING", "Card declined"}}});
        TOrdersView* v = openOrders();
        QVERIFY(v);
        // The card button is offered for every card method.
        QList<bool> card;
        QStringList status;
        for (int i = 0; i < 4; ++i) {
            card << v->commands().wanted("CCBUTTON");
            QCOMPARE(on(v, "CCBUTTON"), card.last());
            status << m_form->orderStatusPane()->text();
            QVERIFY(on(v, "ActivitiesBut"));
            QTest::keyClick(v->Grid, Qt::Key_Down);
        }
        QCOMPARE(card, QList<bool>({true, true, true, false}));
        QCOMPARE(status, QStringList({"", "Card declined", "", ""}));
        QVERIFY(m_form->orderStatusPane()->isVisible());
        // Notes and the customer profile are built: "Notes" and "Profile".
        QVERIFY(v->commands().wanted("NotesButton") && on(v, "NotesButton"));
        QVERIFY(v->commands().wanted("ThisCustBut") && on(v, "ThisCustBut"));

        QVERIFY(fire(m_form.get(), {"OnlineButton"}));
        QVERIFY(!m_form->orderStatusPane()->isVisible());
        openOrders();
        QVERIFY(m_form->orderStatusPane()->isVisible());

        // An empty list: everything per order is off, and the commands that
        // reach it anyway do nothing (no question comes).
        chooseFilter(v, "AutoVoid");
        QCOMPARE(v->Grid->model()->rowCount(), 0);
        for (const char* b : {"CCBUTTON", "ActivitiesBut", "NotesButton", "ThisCustBut"})
            QVERIFY2(!v->commands().wanted(b), b);
        QVERIFY(!on(v, "ActivitiesBut"));
        actionNamed(v, "Deleterecord1")->trigger();
        actionNamed(v, "Showallorderfromthiscustomer1")->trigger();
        actionNamed(v, "PaymentReceived1")->trigger();
        QVERIFY(m_messages->texts().isEmpty());
        QCOMPARE(v->FilterBox->currentText(), QString("AutoVoid"));
    }

    void filterFindAndCustom()
    {
        start({test::orderRow(1, "New", {{"CUSTID", 70}}),
               test::orderRow(2, "void", {{"CUSTID", 70}}),
               test::orderRow(3, "Void", {{"CUSTID", 71}, {"NAME", "Ann O'Hara"}}),
               test::orderRow(4, "Complete", {{"CUSTID", 70}})});
        TOrdersView* v = openOrders();
        QVERIFY(v);
        chooseFilter(v, "Void");
        QCOMPARE(listed(v), QList<int>({3, 2})); // the filter ignores case
        chooseFilter(v, "ALL");
        QCOMPARE(listed(v), QList<int>({4, 3, 2, 1}));

        // "Custom" by hand is refused and the list goes back to "New".
        chooseFilter(v, "Custom");
        QCOMPARE(m_messages->texts(),
                 QStringList({"This view is not available manually, it is reserved for internal "
                              "functions."}));
        QCOMPARE(v->FilterBox->currentText(), QString("New"));
        QCOMPARE(listed(v), QList<int>({1}));

        // All orders of the current order's customer, through "Custom".
        QVERIFY(fire(v, {"Showallorderfromthiscustomer1"}));
        QCOMPARE(v->FilterBox->currentText(), QString("Custom"));
        QCOMPARE(listed(v), QList<int>({4, 2, 1}));

        // The find box: a name with a quote, a part of an invoice number.
        QTest::keyClick(v->Grid, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), v->FindEdit);
        QTest::keyClicks(v->FindEdit, "o'hara");
        QTest::keyClick(v->FindEdit, Qt::Key_Return);
        QCOMPARE(listed(v), QList<int>({3}));
        QCOMPARE(v->FilterBox->currentText(), QString("Custom"));
        QCOMPARE(QApplication::focusWidget(), v->Grid);
        chooseFilter(v, "Complete");
        QCOMPARE(listed(v), QList<int>({4}));
        QCOMPARE(m_messages->texts().size(), 1);
    }

    // The find box folds case beyond A-Z: "müller" finds "MÜLLER".
    void findFoldsCaseBeyondAscii()
    {
        start({test::orderRow(1, "New", {{"NAME", "HANS MÜLLER"}}),
               test::orderRow(2, "New", {{"NAME", "Hans Muller"}}),
               test::orderRow(3, "New", {{"NAME", "Ærø Øl"}})});
        TOrdersView* v = openOrders();
        QVERIFY(v);
        QTest::keyClick(v->Grid, Qt::Key_F, Qt::ControlModifier);
        typeText(v->FindEdit, "müller");
        QTest::keyClick(v->FindEdit, Qt::Key_Return);
        QCOMPARE(listed(v), QList<int>({1}));
        QTest::keyClick(v->Grid, Qt::Key_F, Qt::ControlModifier);
        v->FindEdit->selectAll();
        typeText(v->FindEdit, "ærø øl");
        QTest::keyClick(v->FindEdit, Qt::Key_Return);
        QCOMPARE(listed(v), QList<int>({3}));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // Marking through the menus, as the merchant does it; Mark ALL reaches
    // the orders the Custom filter hides and gives the commands back.
    void markingThroughTheMenus()
    {
        start({test::orderRow(1, "New", {{"CUSTID", 5}}), test::orderRow(2, "New", {{"CUSTID", 6}}),
               test::orderRow(3, "New", {{"CUSTID", 5}})});
        TOrdersView* v = openOrders();
        QVERIFY(v);
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrder1", "PaymentReceived1"}));
        QCOMPARE(m_messages->texts().last(),
                 QString("You are about to mark this order \"Payment Received\". This will not "
                         "undo any previous actions, it will only move the order to the \"Payment "
                         "Received\" list.\r\rAre you sure you want to do this?"));
        QCOMPARE(listed(v), QList<int>({2, 1})); // 3 left the "New" list
        QCOMPARE(m_dm->ORDERs->value("INV").toInt(), 2);

        QVERIFY(fire(v, {"Showallorderfromthiscustomer1"})); // customer 6: order 2 only
        QCOMPARE(listed(v), QList<int>({2}));
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(fire(v, {"ActivitiesBut", "MarkALLofTheseOrders1", "Void2"}));
        QCOMPARE(m_messages->texts().last(),
                 QString("You are about to mark ALL New orders to Void. Are you sure you want to "
                         "do this?"));
        chooseFilter(v, "Void");
        QCOMPARE(listed(v), QList<int>({2, 1}));
        QVERIFY(actionNamed(m_form.get(), "OrdersButton")->isEnabled());
        QVERIFY(actionNamed(m_form.get(), "OptionsMenuAction")->isEnabled());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // The invoice on show is always the current order's, and what prints.
    void invoicePageFollowsTheOrder()
    {
        start({test::orderRow(1, "New"), test::orderRow(2, "New"), test::orderRow(3, "New")});
        const QString html = m_home->dataDir() + "/html/";
        QVERIFY(test::writeAll(html + "3inv.html",
                               "<html><body><p>Invoice three for Carol</p>"
                               "<img src=\"http://192.0.2.1/logo.png\"></body></html>"));
        QVERIFY(test::writeAll(html + "2inv.html",
                               "<html><body><p>Invoice two for Bob</p></body></html>"));
        TOrdersView* v = openOrders();
        QVERIFY(v);
        v->Pages->setCurrentIndex(1);
        QCOMPARE(v->shownPage(), QUrl::fromLocalFile(html + "3inv.html"));
        QVERIFY(v->WebBrowser1->toPlainText().contains("Invoice three for Carol"));
        QTest::mouseClick(v->findChild<QToolButton*>("NavNext"), Qt::LeftButton);
        QVERIFY(v->WebBrowser1->toPlainText().contains("Invoice two for Bob"));

        const QString pdf = m_home->path("invoice.pdf");
        setNextFileName(pdf);
        QVERIFY(fire(v, {"SaveAsPdfItem"}));
        QProcess text;
        text.start("pdftotext", {pdf, "-"});
        QVERIFY(text.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains("Invoice two for Bob"));

        // No invoice file: the placeholder page.
        QTest::mouseClick(v->findChild<QToolButton*>("NavNext"), Qt::LeftButton);
        QCOMPARE(v->shownPage(), QUrl("qrc:/gui/orders/null.html"));
        QVERIFY(v->WebBrowser1->toPlainText().contains("No invoice is on file for this order."));
        QVERIFY(test::writeAll(m_home->path("null.html"), "<p>Our own placeholder</p>"));
        v->Pages->setCurrentIndex(0);
        v->Pages->setCurrentIndex(1);
        QCOMPARE(v->shownPage(), QUrl::fromLocalFile(m_home->path("null.html")));
    }

    // An invoice is shown in the store's character set unless it names its own.
    void invoicePageReadInTheStoresSet()
    {
        start({test::orderRow(1, "New"), test::orderRow(2, "New"), test::orderRow(3, "New")});
        const QString html = m_home->dataDir() + "/html/";
        QVERIFY(test::writeAll(html + "3inv.html",
                               "<html><body><p>Caf\xe9 \x80 \x93Noel\x94</p></body></html>\r\n"));
        QVERIFY(test::writeAll(html + "2inv.html",
                               "<html><head><meta charset=\"utf-8\"></head><body><p>Caf\xc3\xa9 "
                               "\xe2\x82\xac</p></body></html>\r\n"));
        QVERIFY(test::writeAll(html + "1inv.html",
                               "<html><body><p>Caf\xc3\xa9 \xe2\x82\xac</p></body></html>\r\n"));
        settings().storeCharset = StoreCharset::Windows1252;
        TOrdersView* v = openOrders();
        QVERIFY(v);
        v->Pages->tabBar()->setFocus();
        QTest::keyClick(v->Pages->tabBar(), Qt::Key_Right);
        QCOMPARE(v->Pages->currentIndex(), 1);
        QCOMPARE(v->shownPage(), QUrl::fromLocalFile(html + "3inv.html"));
        QCOMPARE(v->WebBrowser1->toPlainText().trimmed(),
                 QStringLiteral("Caf\u00e9 \u20ac \u201cNoel\u201d"));
        QTest::mouseClick(v->findChild<QToolButton*>("NavNext"), Qt::LeftButton);
        QCOMPARE(v->WebBrowser1->toPlainText().trimmed(), QStringLiteral("Caf\u00e9 \u20ac"));
        // A UTF-8 store's page without a charset of its own.
        settings().storeCharset = StoreCharset::Utf8;
        QTest::mouseClick(v->findChild<QToolButton*>("NavNext"), Qt::LeftButton);
        QCOMPARE(v->shownPage(), QUrl::fromLocalFile(html + "1inv.html"));
        QCOMPARE(v->WebBrowser1->toPlainText().trimmed(), QStringLiteral("Caf\u00e9 \u20ac"));
        settings().storeCharset = StoreCharset::Windows1252;
    }

    void exportButtonWritesTheList()
    {
        start({test::orderRow(1, "New"), test::orderRow(2, "Complete"), test::orderRow(3, "New")});
        TOrdersView* v = openOrders();
        QVERIFY(v);
        const QString file = m_home->path("listed.csv");
        setNextFileName(file);
        QTest::mouseClick(v->findChild<QToolButton*>("ExportButton"), Qt::LeftButton);
        QCOMPARE(m_messages->texts(),
                 QStringList({QString("2 orders were exported to %1.").arg(file)}));
        const QList<QByteArray> lines = test::readAll(file).split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(0).startsWith("Invoice,Customer,Date,Total,Last Marked,Order Status,"));
        QVERIFY(lines.at(1).startsWith("3,"));
        QVERIFY(lines.at(2).startsWith("1,"));
        // Cancelled: nothing written, nothing said.
        setNextFileName(QString());
        QTest::mouseClick(v->findChild<QToolButton*>("ExportButton"), Qt::LeftButton);
        QCOMPARE(m_messages->texts().size(), 1);
    }
};

QTEST_MAIN(TestOrdersView)
#include "test_orders_view.moc"
