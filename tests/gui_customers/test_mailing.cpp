#include "common/file_utils.h"
#include "common/gui/gui_helpers.h"
#include "common/gui/program_fixture.h"
#include "common/scripted_messages.h"
#include "common/smtp_server.h"
#include "common/table_rows.h"
#include "common/temp_home.h"
#include "customers_fixture.h"

#include "base/clock.h"
#include "base/settings.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/file_dialog.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"
#include "gui/customers/main_customers_view.h"
#include "gui/mail/bulkmail.h"
#include "gui/mail/mailing_list_builder.h"
#include "mail/bulk_run.h"
#include "mail/mail_server.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace os;
using os::test::customerRow;
using os::test::fire;

class TestMailing : public test::ProgramFixture
{
    Q_OBJECT

    std::unique_ptr<test::SmtpServer> m_server;

    void start(const QList<QVariantMap>& customers, const QList<QVariantMap>& templates = {})
    {
        TMainDataMod::CreateMissingTables(m_home->dataDir());
        if (!customers.isEmpty())
            test::insertRows(m_home->dataDir(), "customers", customers);
        if (!templates.isEmpty())
            test::insertRows(m_home->dataDir(), "form_letters", templates);
        showProgram();
        settings().SMTPServer = QStringLiteral("127.0.0.1");
        settings().SMTPPORT = m_server->port();
    }

    TMainCustomersView* openCustomers() { return openChild<TMainCustomersView>("CustomersButton"); }

    struct Letter
    {
        QString type, subject, to, from, body;
        QDateTime when;
    };
    QList<Letter> outbox()
    {
        QList<Letter> out;
        Table t("outbox");
        t.setDirectory(m_home->dataDir());
        t.open();
        for (t.first(); !t.eof(); t.next())
            out << Letter{t.value("TYPE").toString(), t.value("SUBJECT").toString(),
                          t.value("TO").toString(),   t.value("FROM").toString(),
                          t.value("BODY").toString(), t.value("IDATE").toDateTime()};
        return out;
    }

    // Opens the Bulk Mailer from "Post Office" and runs `work` in it.
    void withBulkMailer(const std::function<void(Tbulkmail*)>& work)
    {
        bool ran = false;
        test::whenModal([&](QWidget* w) {
            auto* b = qobject_cast<Tbulkmail*>(w);
            QVERIFY(b);
            work(b);
            ran = true;
            if (b->isVisible())
                QTest::mouseClick(b->ExitButton, Qt::LeftButton);
        });
        QVERIFY(fire(m_form.get(), {"BulkMailerItem"}));
        QVERIFY(ran);
    }

    // Loads a list file and fills the message, as the merchant does.
    void prepare(Tbulkmail* b, const QByteArray& list)
    {
        const QString file = m_home->path("mailing.list");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(list);
        f.close();
        QVERIFY(!b->SendButton->isEnabled());
        setNextFileName(file);
        QTest::mouseClick(b->LoadButton, Qt::LeftButton);
        QVERIFY(!b->SendButton->isEnabled());
        QTest::keyClicks(b->FromEdit, "Shop <shop@shop.test>");
        QTest::keyClicks(b->SubjectEdit, "Spring sale");
        QVERIFY(!b->SendButton->isEnabled());
        QTest::keyClicks(b->Body, "Everything half price.");
        QVERIFY(b->SendButton->isEnabled());
    }

    QStringList recipients()
    {
        QStringList out;
        for (const test::SmtpServer::Message& m : m_server->messages())
            out << m.rcptTos;
        return out;
    }

private slots:
    void initTestCase()
    {
        installWindowServices();
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        m_server = std::make_unique<test::SmtpServer>();
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    }

    void init()
    {
        m_server->clear();
        newHome();
        settings() = Settings();
        resetMailPasswords();
    }

    void cleanup()
    {
        closeProgram();
        Clock::pin(QDateTime());
    }

    void mergesTheSubscribedCustomersTheViewLists()
    {
        start({customerRow(1), customerRow(2, {{"SUBSCRIBE", false}}),
               customerRow(3, {{"SUBSCRIBE", QVariant()}}), customerRow(4),
               customerRow(5, {{"CITY", "Shelbyville"}}), customerRow(6)},
              {{{"DOCNAME", "Autumn"}, {"DOCBODY", "x"}, {"FROM", "a@shop.test"}},
               {{"DOCNAME", "Spring Sale"},
                {"DOCBODY", "Dear %io_name% (%customer_id%) of %io_city%\n"
                            "%io_shipping_info_structure%\nTotal: %io_order_total%."},
                {"FROM", "shop@shop.test"}}});
        Clock::pin(QDateTime(QDate(2026, 5, 6), QTime(10, 0)));
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        // Five customers of Springfield listed; two of them not subscribed.
        v->SearchEdit->setText("springfield");
        v->searchColumn("CITY");
        QCOMPARE(v->Grid->model()->rowCount(), 5);

        bool ran = false;
        test::whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TMailingListBuilder*>(w);
            QVERIFY(d);
            ran = true;
            QCOMPARE(d->windowTitle(), QString("Mailing List Builder"));
            QVERIFY(d->StatusLine->isHidden());
            QCOMPARE(d->TemplateBox->count(), 2);
            QCOMPARE(d->TemplateBox->currentIndex(), -1);
            QVERIFY(!d->OKBtn->isEnabled());
            d->TemplateBox->setFocus();
            QTest::keyClick(d->TemplateBox, Qt::Key_Down);
            QTest::keyClick(d->TemplateBox, Qt::Key_Down);
            QCOMPARE(d->TemplateBox->currentText(), QString("Spring Sale"));
            QVERIFY(!d->OKBtn->isEnabled());
            d->TypeEdit->setFocus();
            QTest::keyClicks(d->TypeEdit, "Specials 05/06/1999 for the list");
            QCOMPARE(d->TypeEdit->text(), QString("Specials 05/06/1999 for t"));
            QVERIFY(d->OKBtn->isEnabled());
            // The order total of a customer letter is empty: the merchant is
            // warned and merges anyway.
            m_messages->queueAnswer(Answer::Yes);
            QTest::keyClick(d->TypeEdit, Qt::Key_Return);
        });
        QVERIFY(fire(v, {"BuildListButton"}));
        QVERIFY(ran);
        QCOMPARE(m_messages->texts(),
                 QStringList({"%io_order_total% is empty in a customer letter\nMerge anyway?",
                              "3 messages added to your OutBox."}));
        const QList<Letter> letters = outbox();
        QCOMPARE(letters.size(), 3);
        QStringList to;
        for (const Letter& l : letters) {
            to << l.to;
            QCOMPARE(l.type, QString("Specials 05/06/1999 for t"));
            QCOMPARE(l.subject, QString("Spring Sale"));
            QCOMPARE(l.from, QString("shop@shop.test"));
            QCOMPARE(l.when, QDateTime(QDate(2026, 5, 6), QTime(10, 0)));
        }
        QCOMPARE(to,
                 QStringList({"buyer1@example.com", "buyer4@example.com", "buyer6@example.com"}));
        QCOMPARE(
            letters.first().body,
            QString("Dear Buyer 1 (1) of Springfield\n%io_shipping_info_structure%\nTotal: ."));
    }

    void aTemplateWithOrderTagsIsNotMergedUnlessTheMerchantSaysSo()
    {
        start({customerRow(1), customerRow(2)},
              {{{"DOCNAME", "Receipt"},
                {"DOCBODY", "Dear %io_name%, your order %Invoice_Number% of %order_date_time%."},
                {"FROM", "shop@shop.test"}}});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        bool stayed = false;
        test::whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TMailingListBuilder*>(w);
            QVERIFY(d);
            d->TemplateBox->setFocus();
            QTest::keyClick(d->TemplateBox, Qt::Key_Down);
            QTest::keyClicks(d->TypeEdit, "RECEIPTS");
            m_messages->queueAnswer(Answer::No);
            QTest::mouseClick(d->OKBtn, Qt::LeftButton);
            stayed = d->isVisible() && d->StatusLine->isHidden();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QVERIFY(fire(v, {"BuildListButton"}));
        QVERIFY(stayed);
        QCOMPARE(m_messages->texts(),
                 QStringList({"%order_date_time% is empty in a customer letter\n"
                              "%invoice_number% is empty in a customer letter\nMerge anyway?"}));
        QCOMPARE(m_messages->shown().value(0).kind, MessageKind::Question);
        QVERIFY(outbox().isEmpty());
    }

    void aRefusedLetterEndsTheMergeKeepingTheLettersBefore()
    {
        start({customerRow(1), customerRow(2, {{"EMAIL", QVariant()}}), customerRow(3)},
              {{{"DOCNAME", "News"}, {"DOCBODY", "Hello %io_name%"}, {"FROM", "shop@shop.test"}}});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        test::whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TMailingListBuilder*>(w);
            QVERIFY(d);
            d->TemplateBox->setCurrentIndex(0);
            QTest::keyClicks(d->TypeEdit, "NEWS 1");
            QTest::mouseClick(d->OKBtn, Qt::LeftButton);
        });
        QVERIFY(fire(v, {"BuildListButton"}));
        QCOMPARE(m_messages->texts(),
                 QStringList({"A message must contain a \"To\", \"From\" and \"Subject\" field, "
                              "as well as a \"Message Body\".",
                              "Operation aborted"}));
        const QList<Letter> letters = outbox();
        QCOMPARE(letters.size(), 1);
        QCOMPARE(letters.first().to, QString("buyer1@example.com"));
        QCOMPARE(letters.first().body, QString("Hello Buyer 1"));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void aTemplateGoneMeanwhileKeepsTheBuilderOpen()
    {
        start({customerRow(1)},
              {{{"DOCNAME", "News"}, {"DOCBODY", "Hello"}, {"FROM", "shop@shop.test"}}});
        TMainCustomersView* v = openCustomers();
        QVERIFY(v);
        test::whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TMailingListBuilder*>(w);
            QVERIFY(d);
            d->TemplateBox->setCurrentIndex(0);
            QTest::keyClicks(d->TypeEdit, "NEWS");
            Table t("form_letters");
            t.setDirectory(m_home->dataDir());
            t.open();
            t.remove();
            t.close();
            QTest::mouseClick(d->OKBtn, Qt::LeftButton);
            QVERIFY(d->isVisible());
            QVERIFY(d->StatusLine->isHidden());
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QVERIFY(fire(v, {"BuildListButton"}));
        QCOMPARE(m_messages->texts(),
                 QStringList({"Could not create form letter because the form letter name was "
                              "invalid."}));
        QVERIFY(outbox().isEmpty());
    }

    void bulkMailerStoppedAfterTheFirstAddressGoesOnLater()
    {
        start({});
        withBulkMailer([&](Tbulkmail* b) {
            QCOMPARE(b->windowTitle(), QString("Bulk Mail"));
            QVERIFY(b->StatusLine->isHidden());
            prepare(b, "one@cust.test\ntwo@cust.test\nthree@cust.test\n");
            QCOMPARE(b->listEntries(),
                     QStringList({"one@cust.test", "two@cust.test", "three@cust.test"}));
            QString captionDuringRun;
            bool visibleDuringRun = false;
            bool inputOffDuringRun = false;
            auto stop = connect(&b->bulkRun(), &BulkRun::sent, b, [&] {
                captionDuringRun = b->ExitButton->text();
                visibleDuringRun = b->StatusLine->isVisible();
                // The run works its own copy: nothing takes typing but "Abort?".
                inputOffDuringRun = !b->FromEdit->isEnabled() && !b->SubjectEdit->isEnabled() &&
                                    !b->Body->isEnabled() && !b->ListBox->isEnabled() &&
                                    !b->LoadButton->isEnabled() && b->ExitButton->isEnabled();
                QTest::mouseClick(b->ExitButton, Qt::LeftButton);
                QCOMPARE(b->ExitButton->text(), QString("Exit"));
            });
            QTest::mouseClick(b->SendButton, Qt::LeftButton);
            disconnect(stop);
            QCOMPARE(captionDuringRun, QString("Abort?"));
            QVERIFY(visibleDuringRun);
            QVERIFY(inputOffDuringRun);
            QVERIFY(b->FromEdit->isEnabled() && b->Body->isEnabled() && b->ListBox->isEnabled());
            QCOMPARE(b->listEntries(), QStringList({"two@cust.test", "three@cust.test"}));
            QCOMPARE(recipients(), QStringList({"one@cust.test"}));
            QVERIFY(b->StatusLine->isHidden());
            QVERIFY(b->LoadButton->isEnabled());
            QVERIFY(b->SendButton->isEnabled());

            // Send again: the rest, one message each.
            QTest::mouseClick(b->SendButton, Qt::LeftButton);
            QCOMPARE(b->listEntries(), QStringList());
            QCOMPARE(recipients(),
                     QStringList({"one@cust.test", "two@cust.test", "three@cust.test"}));
            QVERIFY(!b->SendButton->isEnabled());
            const test::SmtpServer::Message last = m_server->messages().last();
            QCOMPARE(last.mailFrom, QString("shop@shop.test"));
            QVERIFY(last.data.contains("Subject: Spring sale\r\n"));
            QVERIFY(last.data.contains("\r\n\r\nEverything half price.\r\n"));
        });
        // Each run ends with what it sent and what was refused.
        QCOMPARE(m_messages->texts(), QStringList({"1 message sent, 0 addresses refused.",
                                                   "2 messages sent, 0 addresses refused."}));
    }

    void anEmptyLineIsRetriedWithAPauseUntilAbort()
    {
        start({});
        withBulkMailer([&](Tbulkmail* b) {
            prepare(b, "one@cust.test\n\nthree@cust.test");
            QCOMPARE(b->listEntries(), QStringList({"one@cust.test", "", "three@cust.test"}));
            QList<int> pauses;
            QStringList shown;
            QElapsedTimer sinceFirst;
            qint64 secondAfter = -1;
            QElapsedTimer sinceAbort;
            connect(&b->bulkRun(), &BulkRun::refused, b,
                    [&](const QString& address, const QString& reason, int retryInMs) {
                        QCOMPARE(address, QString());
                        QCOMPARE(reason, QString("Please specify a recipient (To)."));
                        pauses << retryInMs;
                        shown << b->RefusedPane->text();
                        if (pauses.size() == 1) {
                            sinceFirst.start();
                            return;
                        }
                        secondAfter = sinceFirst.elapsed();
                        // Abort in the middle of the pause that follows.
                        QTimer::singleShot(0, b, [&] {
                            sinceAbort.start();
                            QTest::mouseClick(b->ExitButton, Qt::LeftButton);
                        });
                    });
            QTest::mouseClick(b->SendButton, Qt::LeftButton);
            const qint64 stoppedAfter = sinceAbort.elapsed();
            QCOMPARE(pauses, QList<int>({1000, 2000}));
            // The second try waited for the first pause.
            QVERIFY2(secondAfter >= 1000, qPrintable(QString::number(secondAfter)));
            // The abort did not wait for the 2 s pause to run out.
            QVERIFY2(stoppedAfter < 2000, qPrintable(QString::number(stoppedAfter)));
            QCOMPARE(shown.first(), QString("Refused: (an empty line): Please specify a recipient "
                                            "(To). Trying again in 1 s; press Abort? to stop."));
            QCOMPARE(b->listEntries(), QStringList({"", "three@cust.test"}));
            QCOMPARE(recipients(), QStringList({"one@cust.test"}));
            QCOMPARE(b->ExitButton->text(), QString("Exit"));
            QCOMPARE(m_messages->texts(), QStringList({"1 message sent, 1 address refused."}));
        });
    }

    void aConnectionFailureLeavesTheListAsItWas()
    {
        start({});
        settings().SMTPPORT = 1; // nobody listens there
        withBulkMailer([&](Tbulkmail* b) {
            prepare(b, "one@cust.test\ntwo@cust.test\n");
            QTest::mouseClick(b->SendButton, Qt::LeftButton);
            QCOMPARE(m_messages->texts(),
                     QStringList({"Error in Internet connection, be sure you are signed on and "
                                  "your settings are correct.\nCannot connect to the mail server "
                                  "127.0.0.1:1: Connection refused"}));
            QCOMPARE(b->listEntries(), QStringList({"one@cust.test", "two@cust.test"}));
            QCOMPARE(b->ExitButton->text(), QString("Exit"));
            QVERIFY(b->SendButton->isEnabled());
            QVERIFY(b->StatusLine->isHidden());
        });
        QVERIFY(m_server->messages().isEmpty());
    }
};

QTEST_MAIN(TestMailing)
#include "test_mailing.moc"
