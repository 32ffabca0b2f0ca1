#include "mail/headless_outbox.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/settings.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "mail/mail_server.h"
#include "mail/outbox.h"
#include "sync/headless.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace os {

int runSendOutbox()
{
    ErrorCountingMessages shown; // standard error unless a caller installed another
    LoadSettings();

    HeadlessDatabase database;
    if (const std::optional<int> failed = database.open())
        return *failed;
    TMainDataMod* data = &database.data();

    Table myOut(QStringLiteral("outbox"));
    try {
        myOut.setDirectory(data->directory());
        myOut.open();
        if (myOut.isEmpty()) {
            messages().info(QString::fromLatin1(kNoMessagesInOutBox));
            return 0;
        }
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    }

    if (mailLoginConfigured()) {
        if (const std::optional<QString> password = readSecretInput("Mail password: "))
            setMailPasswordForRun(*password);
        // Without a line on standard input a remembered password may still
        // be in the keyring; the run says when there is none.
    }

    OutboxRun run;
    QObject::connect(&run, &OutboxRun::trail, &run,
                     [](const QString& line) { printLogRow(QStringLiteral("SMTP"), line); });
    QObject::connect(
        &run, &OutboxRun::messageSent, &run, [](const QString& to, const QString& subject) {
            printLogRow(QStringLiteral("Sent"), QStringLiteral("%1 to %2").arg(subject, to));
        });
    const OutboxRun::Result result = run.run(myOut, *data->SENDBOX);
    if (run.sent() > 0)
        printLogRow(QStringLiteral("Notice"), OutboxRun::messagesSentText(run.sent()));
    if (result == OutboxRun::Result::NoPassword) {
        std::fputs("No mail password was given on standard input.\n", stderr);
        return 2;
    }
    return result == OutboxRun::Result::Done && shown.errors() == 0 ? 0 : 1;
}

} // namespace os
