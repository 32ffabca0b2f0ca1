#include "common/file_utils.h"
#include "common/gui/gui_helpers.h"
#include "common/gui/program_fixture.h"
#include "common/scripted_messages.h"
#include "common/table_rows.h"
#include "common/temp_home.h"
#include "customers_fixture.h"

#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/child_commands.h"
#include "gui/app/db_grid.h"
#include "gui/app/file_dialog.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"
#include "gui/customers/customer_profile.h"
#include "gui/customers/main_customers_view.h"
#include "gui/mail/message_fields.h"
#include "gui/mail/new_mail_message.h"
#include "gui/mail/new_message_type.h"
#include "gui/mail/sent_items.h"
#include "gui/orders/orders_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>

using namespace os;
using os::test::captions;
using os::test::customerRow;
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

class TestCustomersView : public test::ProgramFixture
{
    Q_OBJECT

    void start(const QList<QVariantMap>& customers)
    {
        TMainDataMod::CreateMissingTables(m_home->dataDir());
        test::insertRows(m_home->dataDir(), "customers", customers);
        showProgram();
    }

    TMainCustomersView* openCustomers() { return openChild<TMainCustomersView>("CustomersButton"); }
    QList<int> listed(TMainCustomersView* v) { return test::firstColumnNumbers(v->Grid->model()); }
    bool on(TMainCustomersView* v, const char* name) { return test::toolButtonOn(v, name); }

    // Types `text` into the search box and presses Enter, which opens the
    // Find menu; `pick` (an item's object name) is chosen in it as the
    // merchant does. Returns whether "Customer Number" was enabled in the
    // menu; an item that is disabled is not chosen.
    bool search(TMainCustomersView* v, const QString& text, const QString& pick)
    {
        v->SearchEdit->clear();
        typeText(v->SearchEdit, text);
        bool numberOn = false;
        bool seen = false;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll.stop();
            seen = true;
            numberOn = v->FindMenu->findChild<QAction*>("CustomerNumber1")->isEnabled();
            QAction* a = v->FindMenu->findChild<QAction*>(pick);
            if (!a) {
                // a submenu's item
                for (QMenu* sub : v->FindMenu->findChildren<QMenu*>())
                    if ((a = sub->findChild<QAction*>(pick)))
                        break;
            }
            menu->close();
            if (a && a->isEnabled())
                a->trigger();
        });
        poll.start();
        QTest::keyClick(v->SearchEdit, Qt::Key_Return);
        if (!QTest::qWaitFor([&] { return seen; }))
            QTest::qFail("the Find menu did not open", __FILE__, __LINE__);
        return numberOn;
    }

    // Runs `check` on the profile the button opens, then closes it with Escape.
    void withProfile(QWidget* root, const QStringList& path,
                     const std::function<void(CustomerProfile*)>& check)
    {
        bool ran = false;
        test::whenModal([&](QWidget* w) {
            auto* p = qobject_cast<CustomerProfile*>(w);
            QVERIFY(p);
            check(p);
            ran = true;
            if (p->isVisible())
                QTest::keyClick(p, Qt::Key_Escape);
        });
        QVERIFY(fire(root, path));
        QVERIFY(ran);
    }

    QVariant notesOf(int custId)
    {
        Table t("customersnotes");
        t.setDirectory(m_home->dataDir());
        t.open();
        if (!t.locate("CUSTID", custId))
            return {};
        QVariant v = t.value("NOTES");
        t.next();
        // at most one record per customer
        if (!t.eof() && t.value("CUSTID").toInt() == custId)
            return QStringLiteral("<two records>");
        return v;
    }

    QList<int> listedOrders(TOrdersView* o) { return test::firstColumnNumbers(o->Grid->model()); }

private slots:
    void initTestCase() { installWindowServices(); }

    void init() { newHome(); }
    void cleanup() { closeProgram(); }

    // From the keyboard alone to a profile: the letters of the toolbar, Tab
    // to "Remove Query" and "Build List", Alt+P, and the Menu key's row menu.
    void profileByKeyboard()
    {
        start({customerRow(5), customerRow(6)});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        QApplication::setActiveWindow(m_form.get());
        QStringList marked;
        for (QAction* a : v->toolbar()->actions()) {
            if (auto* b = qobject_cast<CommandButton*>(v->toolbar()->widgetForAction(a)))
                marked << b->mnemonicText();
        }
        QCOMPARE(marked, QStringList({"&Close", "F&ind", "&Remove Query", "&Profile", "&Build List",
                                      "&Export", "&Help"}));

        v->Grid->setFocus();
        QSet<QString> reached;
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget()->objectName();
        }
        for (const char* name : {"RemoveQueryButton", "ProfileButton", "BuildListButton"})
            QVERIFY2(reached.contains(name), name);

        v->Grid->setFocus();
        QTest::keyClick(v->Grid, Qt::Key_Down);
        const int custId = v->Grid->model()->index(v->Grid->currentIndex().row(), 0).data().toInt();
        QCOMPARE(custId, 6);
        QString shown;
        test::whenModal([&](QWidget* w) {
            if (auto* p = qobject_cast<CustomerProfile*>(w))
                shown = p->field("CUSTID")->text();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QTest::keyClick(v->Grid, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(shown, QString::number(custId));

        shown.clear();
        bool menuSeen = false;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll.stop();
            menuSeen = true;
            QCOMPARE(captions(menu), QStringList({"Profile", "Build List"}));
            test::whenModal([&](QWidget* w) {
                if (auto* p = qobject_cast<CustomerProfile*>(w))
                    shown = p->field("CUSTID")->text();
                QTest::keyClick(w, Qt::Key_Escape);
            });
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        poll.start();
        QTest::keyClick(v->Grid, Qt::Key_Menu);
        QVERIFY(menuSeen);
        QCOMPARE(shown, QString::number(custId));
    }

    void opensOnceWithItsColumnsToolbarAndFindMenu()
    {
        start({customerRow(7), customerRow(3), customerRow(42)});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        QCOMPARE(v->windowTitle(), QString("Customers View"));
        QVERIFY(m_form->mdiArea()->activeSubWindow()->isMaximized());
        QVERIFY(m_form->activeChildIsCustomersBrowser());
        QStringList controls;
        for (QAction* a : v->toolbar()->actions()) {
            if (QWidget* w = v->toolbar()->widgetForAction(a); w && !a->isSeparator())
                controls << w->objectName();
        }
        QCOMPARE(controls, QStringList({"CloseButton", "Navigator", "SearchEdit", "FindButton",
                                        "RemoveQueryButton", "ProfileButton", "BuildListButton",
                                        "ExportButton", "HelpButton"}));
        QStringList titles;
        for (int c = 0; c < v->Grid->model()->columnCount(); ++c)
            titles << v->Grid->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"ID", "Password", "E-mail", "Company", "Name", "Street",
                                      "City", "State", "ZIP", "Country", "Phone"}));
        QCOMPARE(listed(v), QList<int>({3, 7, 42}));
        QVERIFY(!v->FindButton->isEnabled());
        QTest::keyClicks(v->SearchEdit, "x");
        QVERIFY(v->FindButton->isEnabled());
        QTest::keyClick(v->SearchEdit, Qt::Key_Backspace);
        QVERIFY(!v->FindButton->isEnabled());
        QCOMPARE(captions(v->FindMenu), QStringList({"Customer Number", "-", "E-mail", "Password",
                                                     "-", "Billing", "Shipping"}));
        QCOMPARE(captions(v->findChild<QMenu*>("Billing1Menu")),
                 QStringList(
                     {"Name", "Company", "-", "Street", "City", "State", "ZIP", "Country Code"}));
        QCOMPARE(captions(v->findChild<QMenu*>("Shipping1Menu")),
                 QStringList(
                     {"Name", "Company", "-", "Street", "City", "State", "Zip", "Country Code"}));
        QVERIFY(on(v, "ProfileButton"));

        // The command again brings the same window forward.
        QVERIFY(fire(m_form.get(), {"CustomersButton"}));
        QCOMPARE(m_form->mdiArea()->subWindowList().size(), 1);

        // Close asks, and No keeps it.
        m_messages->queueAnswer(Answer::No);
        QTest::mouseClick(v->closeButton(), Qt::LeftButton);
        QCOMPARE(m_messages->texts().last(),
                 QString("Are you sure you want to close the Customers View window?"));
        QCOMPARE(m_form->mdiArea()->subWindowList().size(), 1);
        m_messages->queueAnswer(Answer::Yes);
        QTest::mouseClick(v->closeButton(), Qt::LeftButton);
        QTRY_COMPARE(m_form->mdiArea()->subWindowList().size(), 0);
    }

    void searchesMatchSubstringsAndNumbersAsTyped()
    {
        start({customerRow(12, {{"EMAIL", "Anna@Shop.example"}}),
               customerRow(42, {{"NAME", "Pat O'Brien"}}),
               customerRow(120, {{"SCITY", "Lyon"}, {"EMAIL", "50%off@deals.example"}}),
               customerRow(5, {{"NAME", "Obrien Smith"}})});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);

        // "12a": no customer number; the column searches still run, case blind.
        QVERIFY(!search(v, "12a", "CustomerNumber1"));
        QCOMPARE(listed(v), QList<int>({5, 12, 42, 120}));
        QVERIFY(!search(v, "shop.EX", "Email1"));
        QCOMPARE(listed(v), QList<int>({12}));

        // " 42 " with Customer Number: 42 without the blanks.
        QVERIFY(search(v, " 42 ", "CustomerNumber1"));
        QCOMPARE(listed(v), QList<int>({42}));
        // A number no 32-bit customer number can be lists nobody.
        QVERIFY(search(v, "99999999999", "CustomerNumber1"));
        QCOMPARE(listed(v), QList<int>());
        QVERIFY(!on(v, "ProfileButton"));
        QVERIFY(!on(v, "BuildListButton"));
        QVERIFY(!on(v, "ExportButton"));

        // A quote is just a character of the text.
        search(v, "o'b", "BillName1");
        QCOMPARE(listed(v), QList<int>({42}));
        // So are the wildcards of a LIKE pattern.
        search(v, "50%", "Email1");
        QCOMPARE(listed(v), QList<int>({120}));
        // The text is not trimmed: " lyon" finds nothing in "Lyon".
        search(v, " lyon", "ShipCity1");
        QCOMPARE(listed(v), QList<int>());
        search(v, "lyon", "ShipCity1");
        QCOMPARE(listed(v), QList<int>({120}));
        QVERIFY(on(v, "ProfileButton"));
        QVERIFY(on(v, "BuildListButton"));
        QVERIFY(m_messages->texts().isEmpty());

        // Remove Query: everybody again.
        QTest::mouseClick(v->findChild<QToolButton*>("RemoveQueryButton"), Qt::LeftButton);
        QCOMPARE(listed(v), QList<int>({5, 12, 42, 120}));
    }

    // Letter case beyond A-Z does not matter either: "müller" finds "MÜLLER".
    void searchFoldsCaseBeyondAscii()
    {
        start({customerRow(1, {{"NAME", "MÜLLER GmbH"}}), customerRow(2, {{"NAME", "Jörg Müller"}}),
               customerRow(3, {{"NAME", "Muller"}}), customerRow(4, {{"SCITY", "ÅRHUS"}})});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        search(v, "müller", "BillName1");
        QCOMPARE(listed(v), QList<int>({1, 2}));
        search(v, "MULLER", "BillName1");
        QCOMPARE(listed(v), QList<int>({3}));
        search(v, "århus", "ShipCity1");
        QCOMPARE(listed(v), QList<int>({4}));
        QVERIFY(m_messages->texts().isEmpty());
    }

    void exportsTheListedCustomersWithoutPasswords()
    {
        start({customerRow(1, {{"NAME", "Smith, \"Jo\""}}), customerRow(2), customerRow(3)});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        search(v, "smith", "BillName1");
        const QString file = m_home->path("list.csv");
        setNextFileName(file);
        QTest::mouseClick(v->findChild<QToolButton*>("ExportButton"), Qt::LeftButton);
        QCOMPARE(m_messages->texts(),
                 QStringList({QStringLiteral("1 customers were exported to %1.").arg(file)}));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(),
                 QByteArray("ID,E-mail,Company,Name,Street,City,State,ZIP,Country,Phone\r\n"
                            "1,buyer1@example.com,Firm 1,\"Smith, \"\"Jo\"\"\",1 Main Street,"
                            "Springfield,IL,6271,US,555-011\r\n"));
    }

    void profileOfACustomerWithoutOrdersInBothVariants()
    {
        start({customerRow(5, {{"NOTES", "Leave at the back door"}, {"SUBSCRIBE", QVariant()}})});
        // A guest order: no customer account behind it.
        test::insertRows(m_home->dataDir(), "orders",
                         {test::orderRow(900, "New", {{"CUSTID", QVariant()}})});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        withProfile(v, {"ProfileButton"}, [](CustomerProfile* p) {
            QCOMPARE(p->windowTitle(), QString("Customer Pop-Up [Customers View]"));
            QCOMPARE(p->Pages->currentIndex(), 0);
            QStringList tabs;
            for (int i = 0; i < p->Pages->count(); ++i)
                tabs << p->Pages->tabText(i);
            QCOMPARE(tabs, QStringList({"Billing", "Shipping", "Notes", "Purchase History"}));
            QCOMPARE(p->field("NAME")->text(), QString("Buyer 5"));
            QCOMPARE(p->field("EMAIL")->text(), QString("buyer5@example.com"));
            QCOMPARE(p->field("PASS")->text(), QString("secret5"));
            QCOMPARE(p->field("CUSTID")->text(), QString("5"));
            QCOMPARE(p->field("SSTREET")->text(), QString("5 Dock Road"));
            QVERIFY(p->field("NAME")->isReadOnly());
            QVERIFY(!p->Subscribed->isChecked());
            QVERIFY(!p->findChild<QLabel*>("GiftNote"));
            QCOMPARE(p->CustomerAccountNotes->toPlainText(), QString("Leave at the back door"));
            QCOMPARE(p->OrderCount->text(), QString("0"));
            QCOMPARE(p->Average->text(), QString("00.00"));
            QCOMPARE(p->Total->text(), QString());
            QCOMPARE(p->FirstOrder->text(), QString());
            QVERIFY(p->EmailButton->isEnabled());
            QVERIFY(p->SentItemsFilter->isEnabled());
        });

        // From the guest order: "?" as the average, the gift note on Shipping.
        QVERIFY(fire(m_form.get(), {"OrdersButton"}));
        auto* o = qobject_cast<TOrdersView*>(m_form->mdiArea()->activeSubWindow()->widget());
        QVERIFY(o);
        withProfile(o, {"ThisCustBut"}, [](CustomerProfile* p) {
            QCOMPARE(p->windowTitle(), QString("Customer Pop-Up [Orders View]"));
            QCOMPARE(p->OrderCount->text(), QString("0"));
            QCOMPARE(p->Average->text(), QString("?"));
            QCOMPARE(p->Total->text(), QString());
            QVERIFY(p->findChild<QLabel*>("GiftNote"));
            // Nobody to write to or to look up.
            QVERIFY(!p->EmailButton->isEnabled());
            QVERIFY(!p->SentItemsFilter->isEnabled());
            // Go To Selected Order on an empty history only closes.
            QTest::mouseClick(p->GoToOrderButton, Qt::LeftButton);
            QVERIFY(!p->isVisible());
        });
        QCOMPARE(o->FilterBox->currentText(), QString("New"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    void historyFiguresAndTheJumpsToTheOrders()
    {
        start({customerRow(9), customerRow(10)});
        test::insertRows(m_home->dataDir(), "orders",
                         {test::orderRow(31, "Complete", {{"CUSTID", 9}, {"TOTAL", 10.0}}),
                          test::orderRow(32, "New", {{"CUSTID", 10}, {"TOTAL", 99.0}}),
                          test::orderRow(33, "Void", {{"CUSTID", 9}, {"TOTAL", 5.5}})});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        QCOMPARE(listed(v), QList<int>({9, 10}));
        withProfile(v, {"ProfileButton"}, [](CustomerProfile* p) {
            QCOMPARE(p->OrderCount->text(), QString("2"));
            QCOMPARE(p->Average->text(), QString("7.75"));
            QCOMPARE(p->Total->text(), QString("15.50"));
            QCOMPARE(p->FirstOrder->text(),
                     QLocale::system().toString(QDate(2022, 1, 1), QLocale::ShortFormat));
            QCOMPARE(p->HistoryGrid->model()->rowCount(), 2);
            // The dates and sums are shown whole.
            p->Pages->setCurrentIndex(CustomerProfile::HistoryPage);
            for (QLabel* pane : {p->OrderCount, p->Average, p->Total, p->FirstOrder, p->LastOrder})
                QVERIFY2(pane->contentsRect().width() >=
                             pane->fontMetrics().horizontalAdvance(pane->text()),
                         qPrintable(pane->objectName()));
            // The second order, chosen with the keyboard, then Go To Selected Order.
            p->Pages->setCurrentIndex(CustomerProfile::HistoryPage);
            p->HistoryGrid->setFocus();
            QTest::keyClick(p->HistoryGrid, Qt::Key_Down);
            QTest::mouseClick(p->GoToOrderButton, Qt::LeftButton);
            QVERIFY(!p->isVisible());
        });
        auto* o = qobject_cast<TOrdersView*>(m_form->mdiArea()->activeSubWindow()->widget());
        QVERIFY(o);
        QCOMPARE(o->FilterBox->currentText(), QString("Custom"));
        QCOMPARE(listedOrders(o), QList<int>({33}));

        // From that order's profile: all of the customer's orders.
        withProfile(o, {"ThisCustBut"}, [](CustomerProfile* p) {
            QCOMPARE(p->field("CUSTID")->text(), QString("9"));
            QCOMPARE(p->Average->text(), QString("7.75"));
            QTest::mouseClick(p->ViewOrdersButton, Qt::LeftButton);
        });
        QCOMPARE(listedOrders(o), QList<int>({33, 31}));
        QVERIFY(m_messages->texts().isEmpty());
    }

    void theMerchantsNotesAreCreatedByTypingAndStoredOnClose()
    {
        start({customerRow(4), customerRow(6)});
        test::insertRows(m_home->dataDir(), "orders", {test::orderRow(50, "New", {{"CUSTID", 6}})});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        // Opening and closing without typing makes no record.
        withProfile(v, {"ProfileButton"}, [](CustomerProfile*) {});
        QCOMPARE(notesOf(4), QVariant());
        withProfile(v, {"ProfileButton"}, [](CustomerProfile* p) {
            p->Pages->setCurrentIndex(CustomerProfile::NotesPage);
            p->YourAccountNotes->setFocus();
            QTest::keyClicks(p->YourAccountNotes, "Pays late");
            QTest::mouseClick(p->CloseButton, Qt::LeftButton);
        });
        QCOMPARE(notesOf(4), QVariant("Pays late"));
        withProfile(v, {"ProfileButton"}, [](CustomerProfile* p) {
            QCOMPARE(p->YourAccountNotes->toPlainText(), QString("Pays late"));
            p->YourAccountNotes->setFocus();
            p->YourAccountNotes->moveCursor(QTextCursor::End);
            QTest::keyClicks(p->YourAccountNotes, ", always");
            // Escape closes too, and keeps what was typed.
        });
        QCOMPARE(notesOf(4), QVariant("Pays late, always"));

        // The orders browser's "Customer Notes" opens on the Notes page.
        QVERIFY(fire(m_form.get(), {"OrdersButton"}));
        auto* o = qobject_cast<TOrdersView*>(m_form->mdiArea()->activeSubWindow()->widget());
        withProfile(o, {"NotesButton", "CustomerNotes1"}, [](CustomerProfile* p) {
            QCOMPARE(p->Pages->currentIndex(), int(CustomerProfile::NotesPage));
            QCOMPARE(p->field("CUSTID")->text(), QString("6"));
            QTest::keyClicks(p->YourAccountNotes, "VIP");
        });
        QCOMPARE(notesOf(6), QVariant("VIP"));
        QCOMPARE(notesOf(4), QVariant("Pays late, always"));

        // Notes the table refuses keep the profile open with the text.
        const std::shared_ptr<Connection> file =
            Connection::forTable(m_home->dataDir(), "customersnotes");
        file->exec(QString("CREATE TRIGGER refuse_notes BEFORE UPDATE ON \"%1\" BEGIN "
                           "SELECT RAISE(ABORT, 'notes are read-only now'); END")
                       .arg(file->tableName()));
        bool stayed = false;
        withProfile(o, {"NotesButton", "CustomerNotes1"}, [&](CustomerProfile* p) {
            p->YourAccountNotes->setFocus();
            p->YourAccountNotes->moveCursor(QTextCursor::End);
            QTest::keyClicks(p->YourAccountNotes, " customer");
            QTest::keyClick(p, Qt::Key_Escape);
            stayed = p->isVisible();
            QCOMPARE(p->YourAccountNotes->toPlainText(), QString("VIP customer"));
            QCOMPARE(m_messages->texts(), QStringList{"notes are read-only now"});
            file->exec("DROP TRIGGER refuse_notes");
        });
        QVERIFY(stayed);
        QCOMPARE(notesOf(6), QVariant("VIP customer"));
    }

    void sentItemsFilterAndEmailFromTheProfile()
    {
        start({customerRow(3, {{"EMAIL", "Pat@Cust.test"}}),
               customerRow(4, {{"EMAIL", "lee@cust.test"}})});
        test::insertRows(m_home->dataDir(), "sentitems",
                         {{{"TO", "pat@cust.test"}, {"SUBJECT", "case"}},
                          {{"TO", "lee@cust.test"}, {"SUBJECT", "one"}},
                          {{"TO", "other@cust.test"}, {"SUBJECT", "other"}},
                          {{"TO", "lee@cust.test"}, {"SUBJECT", "two"}}});
        test::insertRows(m_home->dataDir(), "form_letters",
                         {{{"DOCNAME", "Hello"},
                           {"FROM", "shop@shop.test"},
                           {"DOCBODY", "Dear %io_name% (%customer_id%)%order_total%"}}});
        test::insertRows(m_home->dataDir(), "orders", {test::orderRow(70, "New", {{"CUSTID", 4}})});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);

        // Sent to "pat@cust.test" only: another spelling of "Pat@Cust.test".
        withProfile(v, {"ProfileButton"}, [&](CustomerProfile* p) {
            QTest::mouseClick(p->SentItemsFilter, Qt::LeftButton);
            QVERIFY(p->isVisible());
        });
        QCOMPARE(m_messages->texts(),
                 QStringList({"No records in the Sent Box match this e-mail address."}));

        v->Grid->setFocus();
        QTest::keyClick(v->Grid, Qt::Key_Down);
        QStringList sent;
        bool filterOn = false;
        withProfile(v, {"ProfileButton"}, [&](CustomerProfile* p) {
            QCOMPARE(p->field("CUSTID")->text(), QString("4"));
            test::whenModal([&](QWidget* w) {
                auto* items = qobject_cast<TSentItems*>(w);
                QVERIFY(items);
                for (int r = 0; r < items->grid()->model()->rowCount(); ++r)
                    sent << items->grid()->model()->index(r, 2).data().toString() + " to " +
                                items->grid()->model()->index(r, 1).data().toString();
                filterOn = items->RemoveFilterAction->isEnabled();
                QTest::keyClick(items, Qt::Key_Escape);
            });
            QTest::mouseClick(p->SentItemsFilter, Qt::LeftButton);
        });
        QCOMPARE(sent, QStringList({"one to lee@cust.test", "two to lee@cust.test"}));
        QVERIFY(filterOn);

        // E-Mail: New Message Type merges the customer's record, then the
        // new message is posted into the outbox.
        QString to, body;
        withProfile(v, {"ProfileButton"}, [&](CustomerProfile* p) {
            test::whenModal([&](QWidget* w) {
                auto* type = qobject_cast<TNewMessageType*>(w);
                QVERIFY(type);
                type->TemplateCombo->setCurrentText("Hello");
                test::whenModal([&](QWidget* m) {
                    auto* message = qobject_cast<TNewMailMessage*>(m);
                    QVERIFY(message);
                    to = message->Fields->ToEdit->text();
                    body = message->Fields->BodyEdit->toPlainText();
                    QTest::mouseClick(message->PostBtn, Qt::LeftButton);
                });
                QTest::mouseClick(type->OKBtn, Qt::LeftButton);
            });
            QTest::mouseClick(p->EmailButton, Qt::LeftButton);
        });
        QCOMPARE(to, QString("lee@cust.test"));
        QCOMPARE(body, QString("Dear Buyer 4 (4)"));
        Table outbox("outbox");
        outbox.setDirectory(m_home->dataDir());
        outbox.open();
        QCOMPARE(outbox.recordCount(), 1);
        QCOMPARE(outbox.value("TO").toString(), QString("lee@cust.test"));
        QCOMPARE(outbox.value("BODY").toString(), QString("Dear Buyer 4 (4)"));
        outbox.close();

        // From the orders browser: the order's customer.
        QVERIFY(fire(m_form.get(), {"OrdersButton"}));
        auto* o = qobject_cast<TOrdersView*>(m_form->mdiArea()->activeSubWindow()->widget());
        QVERIFY(o);
        to.clear();
        withProfile(o, {"ThisCustBut"}, [&](CustomerProfile* p) {
            test::whenModal([&](QWidget* w) {
                auto* type = qobject_cast<TNewMessageType*>(w);
                QVERIFY(type);
                test::whenModal([&](QWidget* m) {
                    auto* message = qobject_cast<TNewMailMessage*>(m);
                    QVERIFY(message);
                    to = message->Fields->ToEdit->text();
                    QTest::keyClick(message, Qt::Key_Escape);
                });
                QTest::keyClick(type->TemplateCombo, Qt::Key_Return);
            });
            QTest::mouseClick(p->EmailButton, Qt::LeftButton);
        });
        QCOMPARE(to, QString("lee@cust.test"));
        QCOMPARE(m_messages->texts().size(), 2);
        QCOMPARE(m_messages->texts().last(), QString("Message added to your OutBox"));
    }
};

QTEST_MAIN(TestCustomersView)
#include "test_customers_view.moc"
