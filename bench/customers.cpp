// The Customers View over 200,000 customers and 1,000,000 orders, the
// customer profile, the mailing-list merge of 100,000 subscribed customers
// into the outbox, and the bulk mailer's send loop against a local aiosmtpd:
// prints milliseconds per operation.
#include "support/bench_support.h"

#include "base/messages.h"
#include "base/settings.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/statement.h"
#include "data/stored_values.h"
#include "data/table.h"
#include "data/transaction.h"
#include "gui/app/db_grid.h"
#include "gui/customers/customer_profile.h"
#include "gui/customers/main_customers_view.h"
#include "mail/bulk_run.h"
#include "mail/mailing_list.h"

#ifdef OS_STORESIM_EXE
#include "common/smtp_server.h"
#endif

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace os;
using os::bench::Figures;
using os::bench::ms;
using os::bench::paint;

namespace {

constexpr int kCustomers = 200000;
constexpr int kOrders = 1000000;

void build(const QString& dir)
{
    TMainDataMod::CreateMissingTables(dir);
    QRandomGenerator rng(7);
    {
        auto conn = Connection::forTable(dir, QStringLiteral("customers"));
        Transaction tr(dir, QStringLiteral("customers"));
        Statement st(conn->handle(),
                     QStringLiteral("INSERT INTO customers (CUSTID, PASS, EMAIL, NAME, COMPANY, "
                                    "STREET, CITY, STATE, ZIP, COUNTRY, PHONE, SNAME, SSTREET, "
                                    "SCITY, SUBSCRIBE) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
                                    "?9, ?10, ?11, ?12, ?13, ?14, ?15)"));
        for (int i = 1; i <= kCustomers; ++i) {
            const quint32 r = rng.generate();
            st.bind(1, i);
            st.bind(2, QStringLiteral("pw%1").arg(r % 100000));
            st.bind(3, QStringLiteral("customer%1@example%2.com").arg(i).arg(r % 97));
            st.bind(4, QStringLiteral("Customer Name %1").arg(i));
            st.bind(5, (r & 8) ? QVariant(QStringLiteral("Firm %1").arg(r % 5000)) : QVariant());
            st.bind(6, QStringLiteral("%1 Market Street").arg(r % 999));
            st.bind(7, QStringLiteral("Springfield"));
            st.bind(8, QStringLiteral("IL"));
            st.bind(9, QStringLiteral("6%1").arg(r % 10000, 4, 10, QLatin1Char('0')));
            st.bind(10, QStringLiteral("US"));
            st.bind(11, QStringLiteral("555-%1").arg(r % 10000, 4, 10, QLatin1Char('0')));
            st.bind(12, QStringLiteral("Customer Name %1").arg(i));
            st.bind(13, QStringLiteral("%1 Dock Road").arg(r % 999));
            st.bind(14, QStringLiteral("Portland"));
            st.bind(15, (i % 2) ? 1 : 0); // every other customer subscribed
            st.step();
            st.reset();
        }
        tr.commit();
    }
    {
        auto conn = Connection::forTable(dir, QStringLiteral("orders"));
        conn->exec(QStringLiteral("PRAGMA cache_size=-65536"));
        Transaction tr(dir, QStringLiteral("orders"));
        Statement st(conn->handle(),
                     QStringLiteral("INSERT INTO orders (INV, CUSTID, EMAIL, NAME, IDATE, TOTAL, "
                                    "METHOD, ORDERSTATE) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"));
        const FieldDef* idate =
            findTableDef(QStringLiteral("orders"))->field(QStringLiteral("IDATE"));
        QDateTime when(QDate(2010, 1, 1), QTime(8, 0), Qt::UTC);
        for (int i = 1; i <= kOrders; ++i) {
            const quint32 r = rng.generate();
            const int cust = 1 + int(r % kCustomers);
            when = when.addSecs(60 + r % 600);
            st.bind(1, 100000 + i);
            st.bind(2, cust);
            st.bind(3, QStringLiteral("customer%1@example.com").arg(cust));
            st.bind(4, QStringLiteral("Customer Name %1").arg(cust));
            st.bind(5, toStored(when, idate));
            st.bind(6, double(r % 50000) / 100.0);
            st.bind(7, QStringLiteral("Credit Card"));
            st.bind(8, bench::stateFor(r));
            st.step();
            st.reset();
        }
        tr.commit();
        conn->exec(QStringLiteral("PRAGMA cache_size=-2000"));
    }
    {
        auto conn = Connection::forTable(dir, QStringLiteral("form_letters"));
        Statement st(conn->handle(),
                     QStringLiteral("INSERT INTO form_letters (DOCNAME, DOCBODY, \"FROM\") VALUES "
                                    "('Spring Sale', ?1, 'shop@shop.test')"));
        st.bind(1, QStringLiteral("Dear %io_name%,\n\nour spring sale starts today. As customer "
                                  "%customer_id% of %io_city%, %io_state% %io_zip% you get 10% "
                                  "off.\n\n%io_shipping_info_structure%\n\nYour shop\n")
                       .repeated(3));
        st.step();
    }
}

void customersView(const QString& dir)
{
    TMainDataMod data;
    QString error;
    if (!data.OpenCompanyDatabase(dir, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }

    Figures open;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        TMainCustomersView view(nullptr);
        view.resize(1280, 800);
        view.show();
        paint(view);
        open.add(ms(t));
    }
    std::printf("Customers View, first screen (%d customers): first %.1f ms, median %.1f ms, max "
                "%.1f ms\n",
                kCustomers, open.values.first(), open.median(), open.max());

    TMainCustomersView view(nullptr);
    view.resize(1280, 800);
    view.show();
    paint(view);
    for (const QString& text : {QStringLiteral("customer123456@"), QStringLiteral("example42."),
                                QStringLiteral("nobody@nowhere")}) {
        Figures search;
        int rows = 0;
        for (int run = 0; run < 5; ++run) {
            view.RemoveQueryClick();
            paint(view);
            QElapsedTimer t;
            t.start();
            view.SearchEdit->setText(text);
            view.searchColumn(QStringLiteral("EMAIL"));
            paint(view);
            search.add(ms(t));
            rows = view.Grid->model()->rowCount();
        }
        std::printf("e-mail search \"%s\" (%d found): median %.1f ms, max %.1f ms\n",
                    qPrintable(text), rows, search.median(), search.max());
    }
    {
        Figures number;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer t;
            t.start();
            view.SearchEdit->setText(QString::number(150000 + run));
            view.searchColumn(QStringLiteral("CUSTID"));
            paint(view);
            number.add(ms(t));
        }
        std::printf("customer number search: median %.1f ms, max %.1f ms\n", number.median(),
                    number.max());
    }

    Figures profile;
    QRandomGenerator rng(11);
    int orders = 0;
    for (int run = 0; run < 9; ++run) {
        const int cust = 1 + int(rng.generate() % kCustomers);
        QElapsedTimer t;
        t.start();
        TCustomersForm form(cust);
        form.Pages->setCurrentIndex(CustomerProfile::HistoryPage);
        form.show();
        paint(form);
        profile.add(ms(t));
        orders += form.figures().orders;
        form.reject();
    }
    std::printf("profile with history and totals (%.1f orders each on average): median %.1f ms, "
                "max %.1f ms\n",
                orders / 9.0, profile.median(), profile.max());

    // The whole list, of which every other customer is subscribed.
    view.RemoveQueryClick();
    paint(view);
    QElapsedTimer t;
    t.start();
    const MailingListMerge merged = mergeMailingList(
        view.customers(), dir, QStringLiteral("Spring Sale"), QStringLiteral("SPRING 2026"));
    const double mergeMs = ms(t);
    std::printf("mailing-list merge: %d letters queued in %.0f ms (%.0f letters/s)\n",
                merged.letters, mergeMs, merged.letters / (mergeMs / 1000.0));
}

#ifdef OS_STORESIM_EXE
void bulkMailer()
{
    test::SmtpServer server;
    if (!server.isRunning()) {
        std::printf("bulk mailer: no aiosmtpd (%s)\n", qPrintable(server.errorString()));
        return;
    }
    settings().SMTPServer = QStringLiteral("127.0.0.1");
    settings().SMTPPORT = server.port();
    QStringList list;
    for (int i = 0; i < 1000; ++i)
        list << QStringLiteral("reader%1@cust.test").arg(i);
    BulkRun run;
    QElapsedTimer t;
    t.start();
    run.run(list, QStringLiteral("shop@shop.test"), QStringLiteral("News"),
            QStringLiteral("Our news, one line of it.\n").repeated(40));
    const double sendMs = ms(t);
    std::printf("bulk mailer: 1000 messages to aiosmtpd on loopback in %.0f ms (%.0f messages/s)\n",
                sendMs, 1000 / (sendMs / 1000.0));
}
#endif

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::YesToAll quiet;
    ScopedMessageService messages(&quiet);

    QTemporaryDir tmp;
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.path();
    const QString dir = root + QStringLiteral("/customers-bench");
    std::printf("bench_customers (Release figures; the machine is shared)\n");
    if (!QFileInfo::exists(dir + QStringLiteral("/customers.db"))) {
        QDir().mkpath(dir + QStringLiteral("/html"));
        QElapsedTimer t;
        t.start();
        build(dir);
        std::printf("built %d customers and %d orders in %.0f ms\n", kCustomers, kOrders, ms(t));
    }
    // The merge adds to the outbox: start each run from an empty one.
    QFile::remove(dir + QStringLiteral("/outbox.db"));
    QFile::remove(dir + QStringLiteral("/outbox.db-wal"));
    QFile::remove(dir + QStringLiteral("/outbox.db-shm"));
    customersView(dir);
#ifdef OS_STORESIM_EXE
    bulkMailer();
#endif
    std::printf("peak memory: %s\n", qPrintable(bench::peakRss()));
    return 0;
}
