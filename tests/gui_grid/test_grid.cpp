#include "common/scripted_messages.h"
#include "common/table_rows.h"
#include "common/temp_home.h"

#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/message_box.h"
#include "gui/app/record_navigator.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace os;

namespace {

const QString kCouponRule = QStringLiteral("A coupon must have a code and a discount percentage.");
const QString kPercentage = QStringLiteral(
    "Percentages should be in 0.00 format.\r\rExample: 0.25 would be 25 percent, while 0.025 "
    "would be 2.5 percent.\r\rAnything over 1 is over 100 percent!");

// A grid with its navigator in a window of its own, shown and active.
struct GridWindow
{
    QWidget window;
    DbGrid* grid = nullptr;
    RecordNavigator* nav = nullptr;

    GridWindow(Table* table, QList<GridColumn> columns, bool editable,
               RecordNavigator::Buttons buttons)
    {
        auto* layout = new QVBoxLayout(&window);
        grid = new DbGrid(&window);
        grid->setTable(table, std::move(columns), editable);
        nav = new RecordNavigator(grid->tableModel(), buttons, &window);
        layout->addWidget(nav);
        layout->addWidget(grid);
        window.resize(700, 400);
        window.show();
        QApplication::setActiveWindow(&window);
        grid->setFocus();
    }
    QToolButton* button(const char* name) { return window.findChild<QToolButton*>(name); }
    QString cell(int row, int column)
    {
        return grid->model()->index(row, column).data().toString();
    }
};

// Types into whatever has the focus (the grid starts an editor on the first
// key; the rest go to the editor).
void type(const QString& text)
{
    for (QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

// A key to whatever has the focus; what it queued (a cell editor commits
// after the key) runs before the check that follows.
void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), k, m);
    QCoreApplication::processEvents();
}

} // namespace

class TestGrid : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempHome> m_home;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_dm;

private slots:
    void initTestCase() { installWindowServices(); }

    void init()
    {
        m_home = std::make_unique<test::TempHome>();
        m_messages = std::make_unique<test::ScriptedMessages>();
        m_dm = std::make_unique<TMainDataMod>();
        QVERIFY(m_dm->OpenCompanyDatabase(m_home->dataDir()));
        m_messages->clear();
    }

    void cleanup()
    {
        m_dm.reset();
        QVERIFY(!m_messages->unexpectedQuestion());
        m_messages.reset();
        m_home.reset();
    }

    // The model holds up under Qt's own checks through every kind of change
    // the table makes, and shows exactly the table's rows in its order.
    void modelFollowsTheTable()
    {
        QList<QVariantMap> rows;
        for (int inv = 1; inv <= 1000; ++inv)
            rows << test::orderRow(inv, inv % 3 ? "New" : "Complete");
        test::insertRows(m_home->dataDir(), "orders", rows);
        Table& orders = *m_dm->ORDERs;
        orders.refresh();

        TableModel model(&orders, {{"INV", "Invoice"},
                                   {"ORDERSTATE", "Order Status"},
                                   {"TOTAL", "Total", 0, {}, GridFormat::Money}});
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 1000);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Invoice"));
        // INVDATE order: the newest invoice first; read in chunks from
        // either end and from the middle.
        QCOMPARE(model.index(0, 0).data().toString(), QString("1000"));
        QCOMPARE(model.index(999, 0).data().toString(), QString("1"));
        QCOMPARE(model.index(500, 0).data().toString(), QString("500"));
        QCOMPARE(model.index(501, 2).data().toString(), QString("509.00"));
        QCOMPARE(model.index(501, 2).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        for (int row = 0; row < 1000; row += 37)
            QCOMPARE(model.index(row, 0).data().toInt(), 1000 - row);

        // The filter, a write that moves a row out of the set, a refresh.
        orders.setFilter("ORDERSTATE='complete'");
        orders.setFiltered(true);
        QCOMPARE(model.rowCount(), 333);
        QCOMPARE(model.index(0, 0).data().toString(), QString("999"));
        QCOMPARE(model.currentRow(), 0);
        orders.edit();
        orders.setValue("ORDERSTATE", "New");
        QVERIFY(orders.post());
        QCOMPARE(model.rowCount(), 332);
        QCOMPARE(model.index(0, 0).data().toString(), QString("996"));
        QCOMPARE(model.currentRow(), 0);
        QCOMPARE(orders.value("INV").toInt(), 996);
        orders.last();
        QCOMPARE(model.currentRow(), 331);
        orders.refresh();
        QCOMPARE(model.currentRow(), 331);

        // Insert shows a new row at the cursor; cancel takes it away.
        orders.insert();
        QCOMPARE(model.rowCount(), 333);
        QCOMPARE(model.currentRow(), 331);
        QCOMPARE(model.headerData(331, Qt::Vertical).toString(), QString("*"));
        orders.setValue("INV", 5000);
        QCOMPARE(model.index(331, 0).data().toString(), QString("5000"));
        QCOMPARE(model.index(332, 0).data().toString(), QString("3"));
        orders.cancel();
        QCOMPARE(model.rowCount(), 332);
        orders.remove();
        QCOMPARE(model.rowCount(), 331);
        orders.close();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.currentRow(), -1);
        orders.open();
        QCOMPARE(model.rowCount(), 331);
    }

    // The view's cursor and the table's current row move together, both
    // ways, and the detail tables follow.
    void cursorAndTableMoveTogether()
    {
        QList<QVariantMap> rows;
        for (int inv = 1; inv <= 500; ++inv)
            rows << test::orderRow(inv);
        test::insertRows(m_home->dataDir(), "orders", rows);
        test::insertRows(m_home->dataDir(), "invoice_result",
                         {{{"INVOICE", 250}, {"INFSTRING", "Shipped by courier"}}});
        Table& orders = *m_dm->ORDERs;
        orders.refresh();
        GridWindow w(&orders, {{"INV"}, {"NAME"}}, false, RecordNavigator::Browsing);
        DbGrid* g = w.grid;
        QCOMPARE(g->currentIndex().row(), 0);
        QVERIFY(!w.button("NavFirst")->isEnabled());
        QVERIFY(w.button("NavNext")->isEnabled());

        QTest::keyClick(g, Qt::Key_Down);
        QTest::keyClick(g, Qt::Key_Down);
        QCOMPARE(orders.value("INV").toInt(), 498);
        QTest::keyClick(g, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(g->currentIndex().row(), 499);
        QCOMPARE(orders.value("INV").toInt(), 1);
        QVERIFY(!w.button("NavLast")->isEnabled());
        QTest::mouseClick(w.button("NavFirst"), Qt::LeftButton);
        QCOMPARE(g->currentIndex().row(), 0);
        QTest::mouseClick(w.button("NavNext"), Qt::LeftButton);
        QCOMPARE(g->currentIndex().row(), 1);
        QVERIFY(w.button("NavPrior")->isEnabled());

        // A jump made by the program (a locate) shows in the grid, and the
        // store status row follows the order.
        QVERIFY(orders.locate("INV", 250));
        QCOMPARE(g->currentIndex().row(), 250);
        QCOMPARE(m_dm->ORDER_STATS->value("INFSTRING").toString(), QString("Shipped by courier"));
        QTest::keyClick(g, Qt::Key_PageDown);
        QVERIFY(g->currentIndex().row() > 250);
        QCOMPARE(orders.value("INV").toInt(), 500 - g->currentIndex().row());
        QVERIFY(m_dm->ORDER_STATS->isEmpty());

        // A click on a row makes it the table's current row.
        const QModelIndex third = g->model()->index(2, 1);
        g->scrollTo(third);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(third).center());
        QCOMPARE(orders.value("INV").toInt(), 498);
        QCOMPARE(g->verticalHeader()->model()->headerData(2, Qt::Vertical).toString(),
                 QString("\u25B8"));
    }

    // An editing grid edits through the table: the row rule refuses with
    // the merchant's values kept, Enter and leaving the row post, Escape
    // cancels, Insert and Ctrl+Delete add and remove rows.
    void editingThroughTheTable()
    {
        test::insertRows(
            m_home->dataDir(), "coupons",
            {{{"CODE", "SPRING"}, {"DISCOUNT", 0.1}}, {{"CODE", "WINTER"}, {"DISCOUNT", 0.2}}});
        Table& coupons = *m_dm->Coupons;
        coupons.open();
        GridWindow w(&coupons, {{"CODE", "Code"}, {"DISCOUNT", "Discount"}}, true,
                     RecordNavigator::All);
        DbGrid* g = w.grid;
        QAbstractItemModelTester tester(g->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(g->model()->rowCount(), 2);
        QVERIFY(!w.button("NavPost")->isEnabled());

        // A new row without a discount is refused; what was typed stays.
        key(Qt::Key_Insert);
        QCOMPARE(coupons.state(), Table::State::Insert);
        QCOMPARE(g->model()->rowCount(), 3);
        QVERIFY(w.button("NavPost")->isEnabled());
        type("abc");
        key(Qt::Key_Return);
        QCOMPARE(m_messages->texts(), QStringList({kCouponRule}));
        QCOMPARE(coupons.state(), Table::State::Insert);
        QCOMPARE(w.cell(g->currentIndex().row(), 0), QString("abc"));

        // A discount of 1.5 is refused too; leaving the row does not help.
        key(Qt::Key_Right);
        type("1.5");
        key(Qt::Key_Return);
        QCOMPARE(m_messages->texts().last(), kPercentage);
        const int newRow = g->currentIndex().row();
        key(Qt::Key_Down);
        QCOMPARE(m_messages->texts().size(), 3);
        QCOMPARE(m_messages->texts().last(), kPercentage);
        QCOMPARE(g->currentIndex().row(), newRow);
        QCOMPARE(coupons.state(), Table::State::Insert);
        QCOMPARE(w.cell(newRow, 1), QString("1.5"));

        // Corrected, it posts: stored upper-cased, in its place by key.
        QTest::keyClick(g, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        type("0.05");
        key(Qt::Key_Return);
        QCOMPARE(coupons.state(), Table::State::Browse);
        QCOMPARE(g->model()->rowCount(), 3);
        QCOMPARE(w.cell(0, 0), QString("ABC"));
        QCOMPARE(coupons.value("CODE").toString(), QString("ABC"));
        QCOMPARE(g->currentIndex().row(), 0);
        QCOMPARE(m_messages->texts().size(), 3);

        // An edit cancelled with Escape leaves the stored row as it was.
        QTest::keyClick(g, Qt::Key_Down);
        QCOMPARE(coupons.value("CODE").toString(), QString("SPRING"));
        g->setCurrentIndex(g->model()->index(1, 0));
        type("zz");
        key(Qt::Key_Tab); // the next cell, the same row: nothing posted yet
        QCOMPARE(coupons.state(), Table::State::Edit);
        QCOMPARE(w.cell(1, 0), QString("zz"));
        QCOMPARE(g->currentIndex(), g->model()->index(1, 1));
        key(Qt::Key_Escape); // closes the cell editor and cancels the row
        QCOMPARE(coupons.state(), Table::State::Browse);
        QCOMPARE(w.cell(1, 0), QString("SPRING"));

        // Leaving an edited row posts it.
        g->setFocus();
        g->setCurrentIndex(g->model()->index(1, 1));
        type("0.15");
        key(Qt::Key_Down);
        QCOMPARE(coupons.state(), Table::State::Browse);
        QCOMPARE(g->currentIndex().row(), 2);
        QCOMPARE(coupons.value("CODE").toString(), QString("WINTER"));
        QVERIFY(coupons.locate("CODE", "SPRING"));
        QCOMPARE(coupons.value("DISCOUNT").toDouble(), 0.15);

        // Ctrl+Delete asks first.
        m_messages->queueAnswer(Answer::No);
        QTest::keyClick(g, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(g->model()->rowCount(), 3);
        m_messages->queueAnswer(Answer::Yes);
        QTest::keyClick(g, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(m_messages->texts().mid(3), QStringList({"Delete record?", "Delete record?"}));
        QCOMPARE(g->model()->rowCount(), 2);
        QVERIFY(!coupons.locate("CODE", "SPRING"));

        // Down from the last row types a table row after row: it posts the
        // row and opens a new one below it, in the first column; from a new
        // row left blank it does nothing.
        g->setCurrentIndex(g->model()->index(1, 1));
        key(Qt::Key_Down);
        QCOMPARE(coupons.state(), Table::State::Insert);
        QCOMPARE(g->model()->rowCount(), 3);
        QCOMPARE(g->currentIndex(), g->model()->index(2, 0));
        QCOMPARE(w.cell(1, 0), QString("WINTER"));
        key(Qt::Key_Down);
        QCOMPARE(coupons.state(), Table::State::Insert);
        QCOMPARE(g->model()->rowCount(), 3);
        type("fall");
        key(Qt::Key_Tab);
        type("0.3");
        key(Qt::Key_Down);
        QCOMPARE(coupons.state(), Table::State::Insert);
        QCOMPARE(g->model()->rowCount(), 4);
        QCOMPARE(w.cell(1, 0), QString("FALL"));
        QCOMPARE(g->currentIndex(), g->model()->index(3, 0));
        key(Qt::Key_Escape);
        QCOMPARE(g->model()->rowCount(), 3);
        QVERIFY(coupons.locate("CODE", "FALL"));
        QCOMPARE(coupons.value("DISCOUNT").toDouble(), 0.3);
        QCOMPARE(m_messages->texts().size(), 5);
    }
};

QTEST_MAIN(TestGrid)
#include "test_grid.moc"
