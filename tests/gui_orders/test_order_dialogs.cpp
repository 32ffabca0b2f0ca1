// The order dialogs in the real main window, offscreen, driven through their
// own buttons and the keyboard, over real tables and the real outbox.

#include "common/gui/gui_helpers.h"

#include "common/scripted_messages.h"
#include "common/table_rows.h"
#include "common/temp_home.h"

#include "base/clock.h"
#include "base/text_utils.h"
#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/detail_grid.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"
#include "gui/mail/new_mail_message.h"
#include "gui/mail/new_message_type.h"
#include "gui/orders/cc_form.h"
#include "gui/orders/change_price.h"
#include "gui/orders/complete_order_form.h"
#include "gui/orders/order_notes_dialog.h"
#include "gui/orders/orders_view.h"
#include "gui/orders/phone_payment.h"
#include "gui/orders/shipping_log.h"
#include "gui/orders/shipping_notes.h"
#include "orders/order_letter.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

using namespace os;
using os::test::fire;
using os::test::whenModal;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 15));
const QDateTime kMarked(QDate(2023, 1, 2), QTime(8, 0));
const QString kRefused = QStringLiteral("A message must contain a \"To\", \"From\" and \"Subject\" "
                                        "field, as well as a \"Message Body\".");

// Every row of a table file in key order, column name to value.
QList<QVariantMap> rowsOf(const QString& dir, const QString& table)
{
    Table t(table);
    t.setDirectory(dir);
    t.open();
    QList<QVariantMap> rows;
    for (t.first(); !t.eof(); t.next()) {
        QVariantMap row;
        for (const QString& f : t.def().fieldNames())
            row.insert(f, t.value(f));
        rows << row;
    }
    return rows;
}

// The dialog on top is the active window, as it is on a desktop.
void activateDialog()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && QApplication::activeWindow() != modal)
        QApplication::setActiveWindow(modal);
}

// Keys to whatever has the focus: the grid starts its cell editor on the
// first, the rest go to the editor.
void type(const QString& text)
{
    activateDialog();
    for (QChar c : text) {
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        QCoreApplication::processEvents();
    }
}

void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    activateDialog();
    QTest::keyClick(QApplication::focusWidget(), k, m);
    QCoreApplication::processEvents();
}

// A new row in a detail grid, typed cell by cell from the first text column,
// where a new row puts the cursor (the date is filled); the last cell stays
// open.
void typeRow(DetailGrid* grid, const QStringList& cells)
{
    activateDialog();
    grid->grid()->setFocus();
    key(Qt::Key_Insert);
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0)
            key(Qt::Key_Tab);
        type(cells[i]);
    }
}

// Runs `handler` on the next modal dialog; a check failing inside it closes
// the dialog, so the test ends instead of waiting on it.
void whenDialog(std::function<void(QWidget*)> handler)
{
    whenModal([handler](QWidget* w) {
        handler(w);
        if (QTest::currentTestFailed()) {
            while (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->done(QDialog::Rejected);
        }
    });
}

void click(QAbstractButton* button)
{
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestOrderDialogs : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempHome> m_home;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_dm;
    std::unique_ptr<TMainForm> m_form;

    QString dir() const { return m_home->dataDir(); }
    Table& orders() { return *m_dm->ORDERs; }

    TOrdersView* start(const QList<QVariantMap>& orderRows, const QList<QVariantMap>& letters = {})
    {
        TMainDataMod::CreateMissingTables(dir());
        test::insertRows(dir(), "orders", orderRows);
        if (!letters.isEmpty())
            test::insertRows(dir(), "form_letters", letters);
        m_form = std::make_unique<TMainForm>();
        m_form->resize(1200, 800);
        m_form->show();
        m_dm = std::make_unique<TMainDataMod>();
        m_form->openDatabaseCommand();
        if (!m_dm->isOpen() || !fire(m_form.get(), {"OrdersButton"}))
            return nullptr;
        QMdiSubWindow* sub = m_form->mdiArea()->activeSubWindow();
        return sub ? qobject_cast<TOrdersView*>(sub->widget()) : nullptr;
    }

    QVariantMap order(int inv)
    {
        for (const QVariantMap& o : rowsOf(dir(), "orders")) {
            if (o.value("INV").toInt() == inv)
                return o;
        }
        return {};
    }

    // The history rows of an order as "command|changed|old|new", oldest first.
    QStringList history(int inv)
    {
        QStringList out;
        for (const QVariantMap& h : rowsOf(dir(), "order_history")) {
            if (h.value("INV").toInt() == inv)
                out << QStringList{h.value("COMMAND").toString(), h.value("CHANGED").toString(),
                                   h.value("OLDVALUE").toString(), h.value("NEWVALUE").toString()}
                           .join('|');
        }
        return out;
    }

    QStringList notes(int inv)
    {
        QStringList out;
        for (const QVariantMap& n : rowsOf(dir(), "invoice_notes")) {
            if (n.value("INVOICE").toInt() == inv)
                out << n.value("IDATE").toDate().toString(Qt::ISODate) + ' ' +
                           n.value("NOTE").toString();
        }
        return out;
    }

    static QVariantMap letter(const QString& name, const QString& body,
                              const QString& from = "shop@example.com")
    {
        return {{"DOCNAME", name}, {"DOCBODY", body}, {"FROM", from}};
    }

private slots:
    void initTestCase() { installWindowServices(); }

    void init()
    {
        m_home = std::make_unique<test::TempHome>();
        m_messages = std::make_unique<test::ScriptedMessages>();
        Clock::pin(kNow);
    }

    void cleanup()
    {
        m_form.reset();
        m_dm.reset();
        QVERIFY(!m_messages->unexpectedQuestion());
        m_messages.reset();
        m_home.reset();
        Clock::pin(QDateTime());
        QTest::qWait(0);
    }

    // Void and Status Pending: OK keeps the typed note and stamps the order;
    // Cancel drops it and changes nothing. The history page shows the change.
    void voidAndPendingNotes()
    {
        TOrdersView* v = start({test::orderRow(1, "New"), test::orderRow(2, "New")});
        QVERIFY(v);
        QCOMPARE(orders().value("INV").toInt(), 2);

        bool seen = false;
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<OrderNotesDialog*>(w);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QString("Void Order"));
            QCOMPARE(d->findChild<QLabel*>("OrderLine")->text(), QString("Invoice 2: Customer 2"));
            QCOMPARE(d->Label1->text(),
                     QString("The Void Order Wizard allows you to void the order and provide a "
                             "reason for doing so in the order notes database. Providing a reason "
                             "for voiding this order allows you to recall this information in the "
                             "future."));
            typeRow(d->Notes, {"Customer called to cancel"});
            click(d->OKBtn);
            seen = true;
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "VoidOrder1"}));
        QVERIFY(seen);
        QCOMPARE(order(2).value("ORDERSTATE").toString(), QString("Void"));
        QCOMPARE(order(2).value("LASTMARKED").toDateTime(), kNow);
        QCOMPARE(notes(2), QStringList{"2024-03-05 Customer called to cancel"});
        QCOMPARE(history(2), QStringList{"Void Order|Order Status|New|Void"});
        QCOMPARE(orders().value("INV").toInt(), 1); // 2 left the "New" list

        // Cancel drops the note being typed; the order stays as it was.
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<OrderNotesDialog*>(w);
            QCOMPARE(d->windowTitle(), QString("Status Pending"));
            QCOMPARE(d->findChild<QLabel*>("OrderLine")->text(), QString("Invoice 1: Customer 1"));
            typeRow(d->Notes, {"not this"});
            click(d->CancelBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "StatusPending2"}));
        QCOMPARE(m_dm->InvoiceNotes->state(), Table::State::Browse);
        QCOMPARE(notes(1), QStringList());
        QCOMPARE(order(1).value("ORDERSTATE").toString(), QString("New"));
        QVERIFY(history(1).isEmpty());

        // Escape, with a saved note and one still being typed: the saved one stays.
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<OrderNotesDialog*>(w);
            typeRow(d->Notes, {"kept"});
            key(Qt::Key_Return); // posts the row
            typeRow(d->Notes, {"dropped"});
            key(Qt::Key_Escape); // closes the cell editor and drops the row
            key(Qt::Key_Escape); // closes the dialog
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "StatusPending2"}));
        QCOMPARE(notes(1), QStringList{"2024-03-05 kept"});
        QCOMPARE(order(1).value("ORDERSTATE").toString(), QString("New"));

        whenDialog([&](QWidget* w) { click(qobject_cast<OrderNotesDialog*>(w)->OKBtn); });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "StatusPending2"}));
        QCOMPARE(order(1).value("ORDERSTATE").toString(), QString("Status Pending"));
        QCOMPARE(order(1).value("LASTMARKED").toDateTime(), kNow);
        QCOMPARE(history(1), QStringList{"Status Pending|Order Status|New|Status Pending"});

        // The history page, newest first, follows the current order.
        v->FilterBox->setCurrentIndex(v->FilterBox->findText("ALL"));
        v->FilterBoxChange(v->FilterBox->currentIndex());
        QVERIFY(orders().locate("INV", 1));
        v->Pages->setCurrentIndex(2);
        QCOMPARE(v->Pages->tabText(2), QString("Order History"));
        QAbstractItemModel* h = v->HistoryGrid->model();
        QCOMPARE(h->rowCount(), 1);
        QCOMPARE(h->index(0, 1).data().toString(), QString("Status Pending"));
        QCOMPARE(h->index(0, 4).data().toString(), QString("Status Pending"));
    }

    // Change Price: any number, shown at once; Cancel drops the new total;
    // text that is not a number is refused. Order Notes keeps or drops a note.
    void changePriceAndOrderNotes()
    {
        TOrdersView* v = start({test::orderRow(7, "New", {{"TOTAL", 1234.5}})});
        QVERIFY(v);
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TChangePrice*>(w);
            QVERIFY(d);
            QCOMPARE(d->CurrentTotal->text(), QString("1,234.50"));
            QCOMPARE(d->findChild<QLabel*>("OrderLine")->text(), QString("Invoice 7: Customer 7"));
            QCOMPARE(d->NewTotal->text(), QString("1234.50"));
            d->NewTotal->selectAll();
            QTest::keyClicks(d->NewTotal, "-12.5");
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "ChangePrice1"}));
        QCOMPARE(order(7).value("TOTAL").toDouble(), -12.5);
        QCOMPARE(order(7).value("ORDERSTATE").toString(), QString("New"));
        QCOMPARE(history(7), QStringList{"Change Price|Total|1234.50|-12.50"});

        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TChangePrice*>(w);
            d->NewTotal->selectAll();
            QTest::keyClick(d->NewTotal, Qt::Key_Backspace);
            QTest::keyClicks(d->NewTotal, "-abc"); // letters refused by the field
            QCOMPARE(d->NewTotal->text(), QString("-"));
            click(d->OKBtn);
            QCOMPARE(m_messages->texts().last(), QString("The new total must be a number."));
            QVERIFY(d->isVisible());
            QTest::keyClicks(d->NewTotal, "0");
            click(d->CancelBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "ChangePrice1"}));
        QCOMPARE(order(7).value("TOTAL").toDouble(), -12.5);

        // A total of more than two decimals, shown rounded: OK with the box
        // as shown keeps it; an emptied box with a note saves the note only.
        {
            Table& o = orders();
            o.edit();
            o.setValue("TOTAL", 10.125);
            QVERIFY(o.post());
        }
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TChangePrice*>(w);
            QCOMPARE(d->NewTotal->text(), QString(FormatAmount(10.125)));
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "ChangePrice1"}));
        QCOMPARE(order(7).value("TOTAL").toDouble(), 10.125);
        QCOMPARE(history(7).size(), 1);
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TChangePrice*>(w);
            d->NewTotal->selectAll();
            QTest::keyClick(d->NewTotal, Qt::Key_Backspace);
            typeRow(d->Notes, {"price agreed by phone"});
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "ChangePrice1"}));
        QCOMPARE(order(7).value("TOTAL").toDouble(), 10.125);
        QCOMPARE(notes(7), QStringList{"2024-03-05 price agreed by phone"});
        QCOMPARE(history(7).size(), 1);

        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<OrderNotesDialog*>(w);
            QCOMPARE(d->windowTitle(), QString("Order Notes"));
            QCOMPARE(d->findChild<QLabel*>("OrderLine")->text(), QString("Invoice 7: Customer 7"));
            typeRow(d->Notes, {"Gift wrap"});
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"NotesButton", "OrderNotes1"}));
        QCOMPARE(notes(7),
                 QStringList({"2024-03-05 price agreed by phone", "2024-03-05 Gift wrap"}));
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<OrderNotesDialog*>(w);
            typeRow(d->Notes, {"dropped"});
            click(d->CancelBtn);
        });
        QVERIFY(fire(v, {"NotesButton", "OrderNotes1"}));
        QCOMPARE(notes(7),
                 QStringList({"2024-03-05 price agreed by phone", "2024-03-05 Gift wrap"}));
        QCOMPARE(history(7).size(), 1);
    }

    // A new note row starts dated now with the cursor on the note; a date the
    // column cannot hold is refused by the column's title and the typing
    // stays in its cell until it is mended: nothing is saved blank.
    void notesNeverLost()
    {
        TOrdersView* v = start({test::orderRow(8, "New")});
        QVERIFY(v);
        test::insertRows(dir(), "invoice_notes",
                         {{{"INVOICE", 8}, {"IDATE", QVariant()}, {"NOTE", "undated"}}});
        const QString refusal("'Visa auth 435242' is not a valid date value for field Date.");
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<OrderNotesDialog*>(w);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QString("Receive Payment"));
            DbGrid* grid = d->Notes->grid();
            activateDialog();
            grid->setFocus();
            key(Qt::Key_Insert);
            QCOMPARE(grid->currentIndex().column(), 1);
            QCOMPARE(grid->model()->index(grid->currentIndex().row(), 0).data().toString(),
                     QLocale().toString(kNow.date(), QLocale::ShortFormat));
            type("Visa auth 435242");
            key(Qt::Key_Return);
            QCOMPARE(notes(8), QStringList({" undated", "2024-03-05 Visa auth 435242"}));

            // The undated row: text typed in its date is refused on Enter,
            // on OK and on leaving the row, and stays in the editor.
            key(Qt::Key_Up);
            QCOMPARE(grid->currentIndex().row(), 0);
            key(Qt::Key_Home);
            QCOMPARE(grid->currentIndex().column(), 0);
            type("Visa auth 435242");
            key(Qt::Key_Return);
            QCOMPARE(m_messages->texts().last(), refusal);
            auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
            QVERIFY(editor);
            QCOMPARE(editor->text(), QString("Visa auth 435242"));
            const int shown = m_messages->texts().size();
            click(d->OKBtn);
            QCOMPARE(m_messages->texts().size(), shown + 1);
            QCOMPARE(m_messages->texts().last(), refusal);
            QVERIFY(d->isVisible());
            key(Qt::Key_Down);
            QCOMPARE(m_messages->texts().size(), shown + 2);
            QCOMPARE(m_messages->texts().last(), refusal);
            QCOMPARE(grid->currentIndex().row(), 0);
            editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
            QVERIFY(editor);
            QCOMPARE(editor->text(), QString("Visa auth 435242"));
            QCOMPARE(notes(8), QStringList({" undated", "2024-03-05 Visa auth 435242"}));
            editor->selectAll();
            type("2024-03-01");
            m_messages->queueAnswer(Answer::Yes);
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "ReceiveMayments1"}));
        QCOMPARE(notes(8), QStringList({"2024-03-01 undated", "2024-03-05 Visa auth 435242"}));
        QCOMPARE(order(8).value("ORDERSTATE").toString(), QString("Payment Received"));
    }

    // Complete Order: no templates, a template deleted meanwhile, an order
    // without e-mail, and the thank-you letter in the outbox.
    void completeOrderLetters()
    {
        TOrdersView* v = start({test::orderRow(3, "Shipped", {{"LASTMARKED", kMarked}}),
                                test::orderRow(4, "Shipped", {{"EMAIL", QVariant()}})});
        QVERIFY(v);
        v->FilterBox->setCurrentIndex(v->FilterBox->findText("Shipped"));
        v->FilterBoxChange(v->FilterBox->currentIndex());
        QCOMPARE(orders().value("INV").toInt(), 4);

        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TCompleteOrderForm*>(w);
            QVERIFY(d);
            QCOMPARE(d->FormLetter->count(), 0);
            QCOMPARE(d->findChild<QLabel*>("OrderLine")->text(), QString("Invoice 4: Customer 4"));
            QVERIFY(!d->OKBtn->isEnabled());
            key(Qt::Key_Escape);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "MarkOrderComplete1"}));

        test::insertRows(dir(), "form_letters",
                         {letter("Thanks", "Dear %IO_NAME%, order %invoice_number% of "
                                           "%order_date_time%%coupon_code%: %io_order_total%"),
                          letter("Gone", "x")});
        // Without an e-mail the outbox refuses; the order stays unmarked.
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TCompleteOrderForm*>(w);
            QCOMPARE(d->FormLetter->currentIndex(), -1);
            d->FormLetter->setFocus();
            key(Qt::Key_Down); // "Gone"
            key(Qt::Key_Down); // "Thanks"
            QCOMPARE(d->FormLetter->currentText(), QString("Thanks"));
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "MarkOrderComplete1"}));
        QCOMPARE(m_messages->texts().mid(m_messages->texts().size() - 2),
                 QStringList({kRefused, "Operation aborted"}));
        QCOMPARE(order(4).value("ORDERSTATE").toString(), QString("Shipped"));
        QVERIFY(rowsOf(dir(), "outbox").isEmpty());

        QVERIFY(orders().locate("INV", 3));
        // A template deleted while the dialog is up: it stays open, the order unmarked.
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TCompleteOrderForm*>(w);
            d->FormLetter->setFocus();
            key(Qt::Key_Down);
            QCOMPARE(d->FormLetter->currentText(), QString("Gone"));
            Table letters("form_letters");
            letters.setDirectory(dir());
            letters.open();
            QVERIFY(letters.locate("DOCNAME", "Gone"));
            letters.remove();
            click(d->OKBtn);
            QCOMPARE(m_messages->texts().last(), QString(kInvalidLetterName));
            QVERIFY(d->isVisible());
            d->FormLetter->setFocus();
            key(Qt::Key_Down);
            QCOMPARE(d->FormLetter->currentText(), QString("Thanks"));
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "MarkOrderComplete1"}));
        QCOMPARE(order(3).value("ORDERSTATE").toString(), QString("Complete"));
        QCOMPARE(order(3).value("LASTMARKED").toDateTime(), kMarked);
        QCOMPARE(history(3), QStringList{"Complete Order|Order Status|Shipped|Complete"});
        const QList<QVariantMap> out = rowsOf(dir(), "outbox");
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].value("SUBJECT").toString(), QString("Thanks"));
        QCOMPARE(out[0].value("TO").toString(), QString("c3@example.com"));
        QCOMPARE(out[0].value("FROM").toString(), QString("shop@example.com"));
        QCOMPARE(out[0].value("TYPE").toString(), QString("SERVICE"));
        QCOMPARE(out[0].value("BODY").toString(),
                 QString("Dear Customer 3, order 3 of %1: 13.00")
                     .arg(orderLetterDateTime(QDateTime(QDate(2022, 1, 1), QTime(9, 3)))));
    }

    // The card window: the number reformatted on a press, Receive Payment
    // through it closing it when the order leaves the "New" list.
    void cardWindowAndReceivePayment()
    {
        TOrdersView* v = start(
            {test::orderRow(5, "New", {{"CARDNUM", "4111 1111-1111 1111"}, {"CCMONTH", "07"}}),
             test::orderRow(6, "New")});
        QVERIFY(v);
        QVERIFY(orders().locate("INV", 5));
        bool closed = false;
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TCCForm*>(w);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QString("Credit Card PopUp"));
            QCOMPARE(d->CARDNUM->text(), QString("4111 1111-1111 1111"));
            m_messages->queueAnswer(Answer::No);
            QTest::mousePress(d->CARDNUM, Qt::LeftButton);
            QCOMPARE(d->CARDNUM->text(), QString("4111 1111-1111 1111"));
            m_messages->queueAnswer(Answer::Yes);
            QTest::mousePress(d->CARDNUM, Qt::LeftButton);
            QCOMPARE(m_messages->texts().last(),
                     QString("Reformat credit card number to a more readable format?"));
            QCOMPARE(d->CARDNUM->text(), QString("4111-1111-1111-1111"));

            whenDialog([&](QWidget* r) {
                auto* p = qobject_cast<OrderNotesDialog*>(r);
                QCOMPARE(p->windowTitle(), QString("Receive Payment"));
                QCOMPARE(p->findChild<QLabel*>("Total")->text(), QString("15.00"));
                typeRow(p->Notes, {"auth 0042"});
                m_messages->queueAnswer(Answer::Yes);
                click(p->OKBtn);
            });
            click(d->ReceivePaymentBtn);
            closed = !d->isVisible();
        });
        QVERIFY(fire(v, {"CCBUTTON"}));
        QVERIFY(closed);
        QCOMPARE(m_messages->texts().last(),
                 QString("Move the order to the \"Payment Received\" list (strongly "
                         "recommended)."));
        QCOMPARE(order(5).value("ORDERSTATE").toString(), QString("Payment Received"));
        QVERIFY(order(5).value("LASTMARKED").isNull());
        QCOMPARE(notes(5), QStringList{"2024-03-05 auth 0042"});
        QCOMPARE(history(5), QStringList({"Reformat Card Number|Card Details||Card Number changed",
                                          "Receive Payment|Order Status|New|Payment Received"}));
        QCOMPARE(order(5).value("CARDNUM").toString(), QString("4111-1111-1111-1111"));
    }

    // On the small offscreen screen (800x600) the card window and the
    // Shipping Wizard open wide enough for every column of their grids, and
    // the history page shows its dates whole.
    void windowsShowTheirColumns()
    {
        TOrdersView* v = start({test::orderRow(5, "New", {{"CARDNUM", "4111111111111111"}})});
        QVERIFY(v);
        test::insertRows(dir(), "order_history",
                         {{{"INV", 5}, {"IDATE", kNow}, {"COMMAND", "Change Price"}}});
        auto fitsScreen = [](QWidget* w) {
            const QSize room = w->screen()->availableSize();
            return w->width() <= room.width() && w->height() <= room.height();
        };
        int shown = 0;
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TCCForm*>(w);
            QVERIFY(d && fitsScreen(d));
            QTRY_COMPARE(d->MerchantGrid->horizontalScrollBar()->maximum(), 0);
            ++shown;
            click(d->DoneBtn);
        });
        QVERIFY(fire(v, {"CCBUTTON"}));
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TShipping_Log*>(w);
            QVERIFY(d && fitsScreen(d));
            QTRY_COMPARE(d->Records->grid()->horizontalScrollBar()->maximum(), 0);
            ++shown;
            click(d->CancelBtn);
        });
        m_messages->queueAnswer(Answer::Yes); // the order is still "New"
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "ShipOrder1"}));
        QCOMPARE(shown, 2);

        QTabBar* tabs = v->Pages->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        QCOMPARE(v->Pages->currentIndex(), 2);
        const QTableView* history = v->HistoryGrid;
        const QString date = history->model()->index(0, 0).data().toString();
        QCOMPARE(date, QLocale().toString(kNow, QLocale::ShortFormat));
        QVERIFY(history->fontMetrics().horizontalAdvance(date) < history->columnWidth(0));
    }

    // Phone Payment: the card list, the column limits, OK and Cancel.
    void phonePayment()
    {
        TOrdersView* v = start({test::orderRow(8, "New", {{"METHOD", "Credit Card by Phone"}})});
        QVERIFY(v);
        QFile cards(dir() + "/ccitems.txt");
        QVERIFY(cards.open(QIODevice::WriteOnly));
        cards.write("Visa\r\nMasterCard\r\n\r\n");
        cards.close();

        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TPhonePayment*>(w);
            QVERIFY(d);
            QCOMPARE(d->CardType->count(), 2);
            QCOMPARE(d->CardType->itemText(1), QString("MasterCard"));
            QTest::keyClicks(d->CardType, "Discover");
            QTest::keyClicks(d->CardNumber, "6011000000000004");
            QTest::keyClicks(d->CCMonth, "123");
            QTest::keyClicks(d->CCYear, "2027");
            QTest::keyClicks(d->CCPhone, "555-0100");
            QCOMPARE(d->CCMonth->text(), QString("12"));
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"CCBUTTON"}));
        const QVariantMap o = order(8);
        QCOMPARE(o.value("CARDTYPE").toString(), QString("Discover"));
        QCOMPARE(o.value("CARDNUM").toString(), QString("6011000000000004"));
        QCOMPARE(o.value("CCMONTH").toString(), QString("12"));
        QCOMPARE(o.value("CCYEAR").toString(), QString("20"));
        QCOMPARE(o.value("CCPHONE").toString(), QString("555-0100"));
        QCOMPARE(history(8).size(), 1);
        QVERIFY(!history(8).first().contains("6011"));

        // With a number the button opens the card window; Modify, then Cancel.
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TCCForm*>(w);
            QVERIFY(d);
            whenDialog([&](QWidget* p) {
                auto* phone = qobject_cast<TPhonePayment*>(p);
                phone->CardNumber->selectAll();
                QTest::keyClicks(phone->CardNumber, "1");
                click(phone->CancelBtn);
            });
            click(d->ModifyCardBtn);
            QCOMPARE(d->CARDNUM->text(), QString("6011000000000004"));
            click(d->DoneBtn);
        });
        QVERIFY(fire(v, {"CCBUTTON"}));
        QCOMPARE(order(8).value("CARDNUM").toString(), QString("6011000000000004"));
    }

    // "Send Letter" opens New Message Type on the current order: the chosen
    // template is merged with the order and posted from New E-mail Message.
    void sendLetter()
    {
        TOrdersView* v = start({test::orderRow(14, "New"), test::orderRow(15, "New")},
                               {letter("Thanks", "Dear %io_name%, order %invoice_number%.")});
        QVERIFY(v);
        QVERIFY(orders().locate("INV", 14));
        bool posted = false;
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TNewMessageType*>(w);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QString("New Message Type"));
            d->TemplateCombo->setFocus();
            key(Qt::Key_Down);
            QCOMPARE(d->TemplateCombo->currentText(), QString("Thanks"));
            whenDialog([&](QWidget* m) {
                auto* message = qobject_cast<TNewMailMessage*>(m);
                QVERIFY(message);
                click(message->PostBtn);
                posted = true;
            });
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "SendLetter1"}));
        QVERIFY(posted);
        const QList<QVariantMap> out = rowsOf(dir(), "outbox");
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].value("SUBJECT").toString(), QString("Thanks"));
        QCOMPARE(out[0].value("TO").toString(), QString("c14@example.com"));
        QCOMPARE(out[0].value("BODY").toString(), QString("Dear Customer 14, order 14."));
    }

    // Marking the order fails after its letter went to the outbox: the
    // wizard stays, and a second OK marks the order without a second letter.
    void shippingWizardLetterOnce()
    {
        TOrdersView* v =
            start({test::orderRow(12, "Payment Received")},
                  {letter("Ship", "Hi %io_name%,\r\n%io_shipping_info_structure%Bye")});
        QVERIFY(v);
        v->FilterBox->setCurrentIndex(v->FilterBox->findText("Payment Received"));
        v->FilterBoxChange(v->FilterBox->currentIndex());
        QCOMPARE(orders().value("INV").toInt(), 12);
        const std::shared_ptr<Connection> file = Connection::forTable(dir(), "orders");
        file->exec(QString("CREATE TRIGGER refuse_marking BEFORE UPDATE ON \"%1\" BEGIN "
                           "SELECT RAISE(ABORT, 'orders are read-only now'); END")
                       .arg(file->tableName()));
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TShipping_Log*>(w);
            QVERIFY(d);
            typeRow(d->Records, {"Left today"});
            d->FormLetter->setFocus();
            key(Qt::Key_Down);
            key(Qt::Key_Down);
            QCOMPARE(d->FormLetter->currentText(), QString("Ship"));
            click(d->OKBtn);
            QCOMPARE(m_messages->texts().mid(m_messages->texts().size() - 2),
                     QStringList(
                         {"A message has been added to the OutBox", "orders are read-only now"}));
            QVERIFY(d->isVisible());
            QCOMPARE(rowsOf(dir(), "outbox").size(), 1);
            file->exec("DROP TRIGGER refuse_marking");
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "ShipOrder1"}));
        QCOMPARE(order(12).value("ORDERSTATE").toString(), QString("Shipped"));
        QCOMPARE(rowsOf(dir(), "outbox").size(), 1);
        QCOMPARE(rowsOf(dir(), "shipped_info").size(), 1);
    }

    // The Shipping Wizard: the case-sensitive tag check, the letter with the
    // block, "Partially Shipped", the no-records question, the refused letter
    // that still marks the order; the Shipping Log keeps a typed row.
    void shippingWizard()
    {
        TOrdersView* v =
            start({test::orderRow(10, "Payment Received"),
                   test::orderRow(11, "Payment Received", {{"EMAIL", QVariant()}})},
                  {letter("Caps", "%IO_SHIPPING_INFO_STRUCTURE%"),
                   letter("Ship", "Hi %io_name%,\r\n%io_shipping_info_structure%Bye")});
        QVERIFY(v);
        v->FilterBox->setCurrentIndex(v->FilterBox->findText("Payment Received"));
        v->FilterBoxChange(v->FilterBox->currentIndex());
        QVERIFY(orders().locate("INV", 10));

        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TShipping_Log*>(w);
            QVERIFY(d);
            QCOMPARE(d->FormLetter->count(), 3);
            QCOMPARE(d->findChild<QLabel*>("OrderLine")->text(),
                     QString("Invoice 10: Customer 10"));
            QCOMPARE(d->FormLetter->itemText(0), QString());
            QCOMPARE(d->FormLetter->currentIndex(), -1);
            QVERIFY(d->CompletelyShipped->isChecked());
            typeRow(d->Records, {"Left today", "UPS", "Ground", "1Z999"});
            d->FormLetter->setFocus();
            key(Qt::Key_Down);
            key(Qt::Key_Down); // "Caps"
            click(d->OKBtn);
            QCOMPARE(m_messages->texts().last(), QString(kMissingShippingTag));
            QVERIFY(d->isVisible());
            d->FormLetter->setFocus();
            key(Qt::Key_Down); // "Ship"
            click(d->PartiallyShipped);
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "ShipOrder1"}));
        QCOMPARE(m_messages->texts().last(), QString("A message has been added to the OutBox"));
        QCOMPARE(order(10).value("ORDERSTATE").toString(), QString("Partially Shipped"));
        QCOMPARE(order(10).value("LASTMARKED").toDateTime(), kNow);
        const QString dashes(55, '-');
        const QList<QVariantMap> out = rowsOf(dir(), "outbox");
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].value("TYPE").toString(), QString("SHIPPING"));
        QCOMPARE(out[0].value("SUBJECT").toString(), QString("Ship"));
        QCOMPARE(out[0].value("BODY").toString(),
                 "Hi Customer 10,\r\n" + dashes +
                     "\r\nDATE: " + QLocale().toString(QDate(2024, 3, 5), QLocale::ShortFormat) +
                     "\r\nSERVICE: UPS\r\nMETHOD: Ground\r\nTRACKING: 1Z999\r\nCOMMENT: "
                     "\r\nLeft today\r\n" +
                     dashes + "\r\nBye");

        // No records, no template: asked, answered No (stays), then Yes.
        QVERIFY(orders().locate("INV", 11));
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TShipping_Log*>(w);
            m_messages->queueAnswer(Answer::No);
            click(d->OKBtn);
            QCOMPARE(m_messages->texts().last(),
                     QString("You did not enter any shipping records, are you sure you want to "
                             "complete this entry?"));
            QVERIFY(d->isVisible());
            typeRow(d->Records, {"dropped"});
            click(d->CancelBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "ShipOrder1"}));
        QCOMPARE(order(11).value("ORDERSTATE").toString(), QString("Payment Received"));
        QCOMPARE(rowsOf(dir(), "shipped_info").size(), 1);

        // Without an e-mail the letter is refused, and the order is marked all the same.
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TShipping_Log*>(w);
            d->FormLetter->setFocus();
            key(Qt::Key_Down);
            key(Qt::Key_Down);
            key(Qt::Key_Down); // "Ship"
            m_messages->queueAnswer(Answer::Yes);
            click(d->OKBtn);
        });
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrderWizards1", "ShipOrder1"}));
        QCOMPARE(m_messages->texts().mid(m_messages->texts().size() - 2),
                 QStringList({kRefused, "Operation aborted"}));
        QCOMPARE(order(11).value("ORDERSTATE").toString(), QString("Shipped"));
        QCOMPARE(rowsOf(dir(), "outbox").size(), 1);

        // The Shipping Log: "&Done" keeps the row still being typed.
        v->FilterBox->setCurrentIndex(v->FilterBox->findText("Shipped"));
        v->FilterBoxChange(v->FilterBox->currentIndex());
        QCOMPARE(orders().value("INV").toInt(), 11);
        whenDialog([&](QWidget* w) {
            auto* d = qobject_cast<TShippingNotes*>(w);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QString("Shipping Log"));
            typeRow(d->Records, {"second parcel"});
            click(d->DoneBtn);
        });
        QVERIFY(fire(v, {"NotesButton", "ShippingLog1"}));
        QCOMPARE(rowsOf(dir(), "shipped_info").size(), 2);
        QCOMPARE(rowsOf(dir(), "shipped_info")[1].value("SHIPCOMMENT").toString(),
                 QString("second parcel"));
    }
};

QTEST_MAIN(TestOrderDialogs)
#include "test_order_dialogs.moc"
