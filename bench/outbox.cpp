// The outbox: "Send Messages" over N queued messages (default 1,000) to a
// real aiosmtpd on loopback, against Python's smtplib sending the same
// messages over one connection to the same server in the same run; and the
// OutBox window opening over M queued messages (default 100,000).
//
//   bench_outbox [N] [M]
#include "common/scripted_messages.h"
#include "common/smtp_server.h"
#include "common/temp_home.h"

#include "base/settings.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "data/transaction.h"
#include "gui/mail/outbox_form.h"
#include "mail/outbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using namespace os;
using namespace os::test;

namespace {

QString bodyOf(int i)
{
    return QStringLiteral("Dear customer %1,\n\nthank you for your order. It was shipped today "
                          "and should reach you within three days.\n\nWith regards,\n\nThe "
                          "entire staff of Acme\n")
        .arg(i);
}

void queue(const QString& dir, int count)
{
    Transaction t(dir, QStringLiteral("outbox"));
    Table out(QStringLiteral("outbox"));
    out.setDirectory(dir);
    out.open();
    for (int i = 0; i < count; ++i) {
        out.insert();
        out.setValue(QStringLiteral("IDATE"), QDateTime::currentDateTime());
        out.setValue(QStringLiteral("TYPE"), QStringLiteral("BENCH"));
        out.setValue(QStringLiteral("SUBJECT"), QStringLiteral("Your order %1").arg(i));
        out.setValue(QStringLiteral("TO"), QStringLiteral("customer%1@cust.test").arg(i));
        out.setValue(QStringLiteral("FROM"), QStringLiteral("\"Acme\" <info@acme.test>"));
        out.setValue(QStringLiteral("BODY"), bodyOf(i));
        out.post();
    }
    t.commit();
}

// smtplib over one connection: the same recipients, sender, subject and body.
double smtplibSeconds(quint16 port, int count)
{
    const QString script = QStringLiteral(R"(
import smtplib, sys, time
from email.message import EmailMessage
port, count = int(sys.argv[1]), int(sys.argv[2])
start = time.perf_counter()
s = smtplib.SMTP("127.0.0.1", port)
s.ehlo("bench.test")
for i in range(count):
    m = EmailMessage()
    m["To"] = "customer%d@cust.test" % i
    m["From"] = '"Acme" <info@acme.test>'
    m["Subject"] = "Your order %d" % i
    m.set_content("Dear customer %d,\n\nthank you for your order. It was shipped today and should reach you within three days.\n\nWith regards,\n\nThe entire staff of Acme\n" % i)
    s.send_message(m)
s.quit()
print(time.perf_counter() - start)
)");
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), script, QString::number(port), QString::number(count)});
    p.waitForFinished(-1);
    return p.readAllStandardOutput().trimmed().toDouble();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int sendCount = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int openCount = argc > 2 ? std::atoi(argv[2]) : 100000;

    SmtpServer server;
    if (!server.isRunning()) {
        std::fprintf(stderr, "aiosmtpd: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    ScriptedMessages shown;

    // --- send ---
    double oursSeconds = 0;
    {
        TempHome home;
        settings() = Settings();
        settings().SMTPServer = QStringLiteral("127.0.0.1");
        settings().SMTPPORT = server.port();
        settings().SMTPhello = QStringLiteral("bench.test");
        TMainDataMod data;
        data.OpenCompanyDatabase(home.dataDir());
        queue(home.dataDir(), sendCount);
        Table myOut(QStringLiteral("outbox"));
        myOut.setDirectory(home.dataDir());
        myOut.open();
        OutboxRun run;
        QElapsedTimer timer;
        timer.start();
        const OutboxRun::Result result = run.run(myOut, *data.SENDBOX);
        oursSeconds = timer.nsecsElapsed() / 1e9;
        if (result != OutboxRun::Result::Done || run.sent() != sendCount) {
            std::fprintf(stderr, "the run failed: %s\n", qPrintable(shown.texts().join('\n')));
            return 1;
        }
    }
    const int received = int(server.messages().size());
    server.clear();
    const double smtplib = smtplibSeconds(server.port(), sendCount);
    const int receivedByPython = int(server.messages().size());
    server.clear();
    std::printf("send %d messages (aiosmtpd on loopback, one connection)\n", sendCount);
    std::printf("  Send Messages (outbox -> sent items): %8.3f s  %7.0f msg/s  (%d received)\n",
                oursSeconds, sendCount / oursSeconds, received);
    std::printf("  Python smtplib, same messages:        %8.3f s  %7.0f msg/s  (%d received)\n",
                smtplib, sendCount / smtplib, receivedByPython);
    std::printf("  ratio ours / smtplib:                 %8.2f  (target <= 1.00)\n",
                oursSeconds / smtplib);

    // --- open ---
    {
        TempHome home;
        TMainDataMod data;
        data.OpenCompanyDatabase(home.dataDir());
        QElapsedTimer fill;
        fill.start();
        queue(home.dataDir(), openCount);
        const double fillSeconds = fill.nsecsElapsed() / 1e9;
        double best = 1e9;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            timer.start();
            TOUTBOXFORM form;
            if (!form.openOutBox())
                return 1;
            form.show();
            QCoreApplication::processEvents(); // the first paint
            form.grab();                       // the whole window drawn once
            best = std::min(best, timer.nsecsElapsed() / 1e6);
            form.close();
        }
        std::printf("open the OutBox window over %d queued messages (queued in %.1f s)\n",
                    openCount, fillSeconds);
        std::printf("  create, open MyOut, show and paint: %8.1f ms  (best of 5; target < 200)\n",
                    best);
    }
    return 0;
}
