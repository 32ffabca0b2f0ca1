#include "mail/outbox.h"

#include "base/busy_cursor.h"
#include "base/clock.h"
#include "base/error.h"
#include "base/messages.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "mail/mail_server.h"
#include "net/smtp_client.h"

#include <QCoreApplication>

namespace os {

const char* const kNoMessagesInOutBox = "You have no messages in your OutBox.";

namespace {

const QString kConnectionError = QStringLiteral(
    "Connection Error! Be sure you are signed on and your \"Net Connection Settings\" are "
    "correct.");

// Closes a table at the end of a scope when it was closed at its start.
class OpenForScope
{
public:
    explicit OpenForScope(Table& table) : m_table(table), m_wasOpen(table.isOpen())
    {
        if (!m_wasOpen)
            m_table.open();
    }
    ~OpenForScope()
    {
        if (!m_wasOpen)
            m_table.close();
        else
            m_table.cancel(); // an unposted row is discarded either way
    }
    OpenForScope(const OpenForScope&) = delete;
    OpenForScope& operator=(const OpenForScope&) = delete;

private:
    Table& m_table;
    bool m_wasOpen;
};

} // namespace

bool queueMessage(const OutboxMessage& message)
{
    TMainDataMod* data = TMainDataMod::instance();
    if (!data || !data->isOpen())
        throw Error(QStringLiteral("The company database is not open."));
    Table& outbox = *data->OUTBOX;
    OpenForScope open(outbox);
    outbox.last();
    outbox.insert();
    try {
        outbox.setValue(QStringLiteral("SUBJECT"), message.subject);
        outbox.setValue(QStringLiteral("TO"), message.to);
        outbox.setValue(QStringLiteral("FROM"), message.from);
        outbox.setValue(QStringLiteral("BODY"), message.body);
        outbox.setValue(QStringLiteral("IDATE"), Clock::now());
        outbox.setValue(QStringLiteral("TYPE"), message.type);
        if (!outbox.post()) {
            outbox.cancel();
            return false;
        }
    } catch (const DbError&) {
        outbox.cancel();
        throw;
    }
    return true;
}

const QStringList& messageTypes()
{
    static const QStringList types{
        QString(),
        QStringLiteral("COLLECTION"),
        QStringLiteral("COLLECTION PROBLEM"),
        QStringLiteral("DAMAGED GOODS"),
        QStringLiteral("GENERAL"),
        QStringLiteral("PRODUCT RETURN"),
        QStringLiteral("SALES"),
        QStringLiteral("SERVICE"),
        QStringLiteral("SERVICE PROBLEM"),
        QStringLiteral("SHIPPING"),
        QStringLiteral("SHIPPING PROBLEM"),
    };
    return types;
}

OutboxRun::OutboxRun(QObject* parent) : QObject(parent), m_client(std::make_unique<SmtpClient>())
{
    connect(m_client.get(), &SmtpClient::trail, this, &OutboxRun::trail);
}

OutboxRun::~OutboxRun() = default;

OutboxRun::Result OutboxRun::run(Table& myOut, Table& sentItems)
{
    m_running = true;
    m_sent = 0;
    BusyCursor busy;
    Result result = Result::Done;
    QString failure;
    const int total = myOut.recordCount();
    emit started(total);
    try {
        OpenForScope openSent(sentItems);
        sentItems.last();

        MailConnect connected = MailConnect::Connected;
        try {
            connected = connectMailServer(*m_client);
        } catch (const SmtpError&) {
            messages().error(kConnectionError);
            m_running = false;
            emit finished(Result::ConnectFailed);
            return Result::ConnectFailed;
        }
        if (connected == MailConnect::NoPassword) {
            m_running = false;
            emit finished(Result::NoPassword);
            return Result::NoPassword;
        }

        myOut.first();
        while (!myOut.eof()) {
            sentItems.last();
            sentItems.insert();
            for (const char* column : {"SUBJECT", "TO", "FROM", "BODY", "IDATE", "TYPE"}) {
                const QString c = QLatin1String(column);
                sentItems.setValue(c, myOut.value(c));
            }
            SmtpClient& c = *m_client;
            c.resetHeaders();
            c.setSubject(myOut.value(QStringLiteral("SUBJECT")).toString());
            c.clearRecipients();
            c.addRecipient(myOut.value(QStringLiteral("TO")).toString());
            c.setSender(myOut.value(QStringLiteral("FROM")).toString());
            c.setBody(myOut.value(QStringLiteral("BODY")).toString());
            try {
                c.send();
            } catch (const SmtpError& e) {
                sentItems.cancel();
                failure = e.text();
                result = Result::SendFailed;
                break;
            }
            QCoreApplication::processEvents();
            // The copy first: a process killed between the two steps leaves
            // the message in both places, never in neither.
            sentItems.post();
            ++m_sent;
            emit messageSent(myOut.value(QStringLiteral("TO")).toString(),
                             myOut.value(QStringLiteral("SUBJECT")).toString());
            emit advanced(m_sent, total);
            myOut.remove();
        }
    } catch (const Error& e) {
        failure = e.text();
        result = Result::SendFailed;
    }
    m_client->disconnectFromServer();
    m_running = false;
    emit finished(result);
    if (!failure.isEmpty())
        messages().error(failure);
    return result;
}

} // namespace os
