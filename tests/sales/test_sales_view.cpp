// The Sales window in the real main window, offscreen: opened by its
// shortcut, the period and grouping chosen with the keyboard, a best customer
// opened with Enter, the report saved as PDF through its button.

#include "common/gui/gui_helpers.h"
#include "common/gui/program_fixture.h"
#include "common/table_rows.h"

#include "base/clock.h"
#include "gui/app/file_dialog.h"
#include "gui/app/message_box.h"
#include "gui/customers/customer_profile.h"
#include "gui/sales/sales_view.h"

#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace os;

class TestSalesView : public test::ProgramFixture
{
    Q_OBJECT

    QVariantMap order(int inv, const QDateTime& when, const QString& state, double total,
                      int custId, const QString& name, const QString& method = "Visa")
    {
        return test::orderRow(inv, state,
                              {{"IDATE", when},
                               {"TOTAL", total},
                               {"CUSTID", custId},
                               {"NAME", name},
                               {"METHOD", method}});
    }

    void start()
    {
        TMainDataMod::CreateMissingTables(m_home->dataDir());
        test::insertRows(
            m_home->dataDir(), "orders",
            {order(1, QDateTime(QDate(2026, 12, 7), QTime(9, 0)), "New", 120.00, 1, "Ann Lee"),
             order(2, QDateTime(QDate(2026, 12, 8), QTime(0, 0)), "Complete", 80.50, 2, "Bo Chan",
                   "Check"),
             order(3, QDateTime(QDate(2026, 12, 8), QTime(10, 0)), "Void", 999.00, 3, "Void Buyer"),
             order(4, QDateTime(QDate(2026, 11, 20), QTime(10, 0)), "Shipped", 40.00, 2, "Bo Chan"),
             order(5, QDateTime(QDate(2026, 1, 20), QTime(10, 0)), "Complete", 10.00, 4, "Di Ray"),
             order(6, QDateTime(QDate(2025, 12, 9), QTime(10, 0)), "Complete", 5.25, 4, "Di Ray")});
        showProgram();
    }

    TSalesView* openSales()
    {
        // The main window's shortcut, as the toolbar button's tooltip says.
        QTest::keyClick(m_form.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QMdiSubWindow* sub = m_form->mdiArea()->activeSubWindow();
        return sub ? qobject_cast<TSalesView*>(sub->widget()) : nullptr;
    }

    static void choose(QComboBox* box, int index)
    {
        box->setFocus();
        const int steps = index - box->currentIndex();
        for (int i = 0; i < qAbs(steps); ++i)
            QTest::keyClick(box, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    }

private slots:
    void initTestCase()
    {
        installWindowServices();
        // Wednesday 9 December 2026.
        Clock::pin(QDateTime(QDate(2026, 12, 9), QTime(15, 0)));
    }
    void cleanupTestCase() { Clock::pin(QDateTime()); }

    void init() { newHome(); }
    void cleanup() { closeProgram(); }

    void opensOnItsShortcutWithTheLastTwelveMonths()
    {
        start();
        TSalesView* v = openSales();
        QVERIFY(v);
        QCOMPARE(test::actionNamed(m_form.get(), "SalesButton")->text(), QString("Sales"));
        QCOMPARE(v->PeriodBox->currentText(), QString("Last 12 months"));
        QCOMPARE(v->FromEdit->date(), QDate(2026, 1, 1));
        QCOMPARE(v->ToEdit->date(), QDate(2026, 12, 31));
        QCOMPARE(v->OrdersTotal->text(), QString("Orders: 4 (a year before: 1)"));
        QCOMPARE(v->RevenueTotal->text(), QString("Revenue: $250.50 (a year before: $5.25)"));
        // A year by day, then by month: twelve bars.
        QCOMPARE(v->ByBox->currentText(), QString("Day"));
        QCOMPARE(v->periods().size(), 365);
        QCOMPARE(v->periods().at(341).label, QString("2026-12-08"));
        QCOMPARE(v->periods().at(341).cents, 8050);
        choose(v->ByBox, 2);
        QCOMPARE(v->periods().size(), 12);
        auto* bars = qobject_cast<QBarSeries*>(v->RevenueChart->chart()->series().value(0));
        QVERIFY(bars);
        QCOMPARE(bars->barSets().value(0)->count(), 12);
        QCOMPARE(bars->barSets().value(0)->at(11), 200.50);
        QCOMPARE(bars->barSets().value(0)->at(10), 40.0);
        QCOMPARE(bars->barSets().value(0)->at(0), 10.0);
        // Void counts among the states only.
        QStringList best;
        for (int i = 0; i < v->BestCustomers->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* it = v->BestCustomers->topLevelItem(i);
            best << QString("%1|%2|%3").arg(it->text(0), it->text(1), it->text(2));
        }
        QCOMPARE(best, QStringList({"Bo Chan|2|$120.50", "Ann Lee|1|$120.00", "Di Ray|1|$10.00"}));
        // The command again brings the same window forward.
        QCOMPARE(openSales(), v);
        QCOMPARE(m_form->mdiArea()->subWindowList().size(), 1);
    }

    void periodAndGroupingByKeyboard()
    {
        start();
        TSalesView* v = openSales();
        QVERIFY(v);
        choose(v->PeriodBox, TSalesView::ThisWeek);
        QCOMPARE(v->FromEdit->date(), QDate(2026, 12, 7));
        QCOMPARE(v->ToEdit->date(), QDate(2026, 12, 13));
        QCOMPARE(v->OrdersTotal->text(), QString("Orders: 2 (a year before: 1)"));
        QCOMPARE(v->periods().size(), 7);
        QCOMPARE(v->periods().at(1).label, QString("2026-12-08"));
        QCOMPARE(v->periods().at(1).cents, 8050);
        choose(v->PeriodBox, TSalesView::ThisMonth);
        QCOMPARE(v->periods().size(), 31);
        QCOMPARE(v->RevenueTotal->text(), QString("Revenue: $200.50 (a year before: $5.25)"));
        // A date typed makes the range a custom one.
        v->FromEdit->setFocus();
        v->FromEdit->setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(v->FromEdit, Qt::Key_Up); // 1 December to the 2nd
        QCOMPARE(v->FromEdit->date(), QDate(2026, 12, 2));
        QCOMPARE(v->PeriodBox->currentText(), QString("Custom range"));
        QCOMPARE(v->periods().first().start, QDate(2026, 12, 2));
        QCOMPARE(v->periods().size(), 30);
    }

    void bestCustomerOpensTheCustomerPopUp()
    {
        start();
        TSalesView* v = openSales();
        QVERIFY(v);
        v->BestCustomers->setFocus();
        QTest::keyClick(v->BestCustomers, Qt::Key_Down);
        qint64 shown = -1;
        test::whenModal([&shown](QWidget* w) {
            if (auto* form = qobject_cast<TCustomersForm*>(w))
                shown = form->customerId();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QTest::keyClick(v->BestCustomers, Qt::Key_Return);
        QCOMPARE(shown, 1); // Ann Lee, the second
    }

    void saveAsPdfGivesTheReport()
    {
        start();
        TSalesView* v = openSales();
        QVERIFY(v);
        const QString file = m_home->path("sales.pdf");
        setNextFileName(file);
        QTest::mouseClick(v->SaveAsPdfButton, Qt::LeftButton);
        QVERIFY(QFile::exists(file));
        QProcess text;
        text.start("pdftotext", {"-layout", file, "-"});
        QVERIFY(text.waitForFinished(60000));
        const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(pdf.contains("Orders: 4 (a year before: 1)"), qPrintable(pdf));
        QVERIFY2(pdf.contains("Revenue: $250.50 (a year before: $5.25)"), qPrintable(pdf));
        QVERIFY2(pdf.contains("Bo Chan"), qPrintable(pdf));
        QVERIFY2(!pdf.contains("Void Buyer"), qPrintable(pdf));
        // A folder that cannot hold it: the reason, no file.
        const QString bad = m_home->path("missing/sales.pdf");
        setNextFileName(bad);
        QTest::mouseClick(v->SaveAsPdfButton, Qt::LeftButton);
        QCOMPARE(m_messages->texts().value(m_messages->texts().size() - 1),
                 QString("Cannot write \"%1\".").arg(bad));
        QVERIFY(!QFile::exists(bad));

        // Pictures of the window for a look (when asked for).
        const QString shots = qEnvironmentVariable("OS_SALES_SCREENSHOTS");
        if (!shots.isEmpty())
            m_form->grab().save(
                QDir(shots).filePath(QString("sales-%1x.png").arg(qApp->devicePixelRatio())));
    }
};

QTEST_MAIN(TestSalesView)
#include "test_sales_view.moc"
