#include "mail/outbox.h"

#include "base/busy_cursor.h"
#include "base/clock.h"
#include "base/error.h"
#include "base/messages.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/row_move.h"
#include "data/table.h"
#include "mail/mail_server.h"
#include "net/mail_format.h"
#include "net/smtp_client.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

// How often at most the list follows a run.
constexpr qint64 kListFollowMs = 50;

// The columns a sent message keeps, in the order the run reads them.
enum MovedColumn
{
    kIdate,
    kType,
    kSubject,
    kTo,
    kFrom,
    kBody
};

const QStringList& movedColumns()
{
    static const QStringList columns{QStringLiteral("IDATE"),   QStringLiteral("TYPE"),
                                     QStringLiteral("SUBJECT"), QStringLiteral("TO"),
                                     QStringLiteral("FROM"),    QStringLiteral("BODY")};
    return columns;
}

} // namespace

QString connectionCause(const SmtpError& e)
{
    if (e.loginRefused())
        return QStringLiteral("The mail server refused the login: %1")
            .arg(QString(e.text()).replace(QLatin1Char('\r'), QLatin1Char(' ')));
    return QString(e.text()).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

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

std::optional<QString> singleStoreAddress(const QString& field)
{
    const QString text = field.trimmed();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const QChar::Category cat = c.category();
        if (u < 32 || u == 127 || cat == QChar::Other_Control || cat == QChar::Other_Format ||
            cat == QChar::Separator_Line || cat == QChar::Separator_Paragraph)
            return std::nullopt;
        // Another list separator some mail programs take.
        if (c == QLatin1Char(';'))
            return std::nullopt;
    }
    if (parseRecipients(text).size() != 1)
        return std::nullopt;
    return text;
}

QString notOneAddressText(const QString& whose, const QString& field)
{
    return QStringLiteral("No letter was made: the e-mail address of %1 (\"%2\") is not exactly "
                          "one address.")
        .arg(whose, field);
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

QString connectionErrorText(const QString& cause)
{
    if (cause.isEmpty())
        return kConnectionError;
    return kConnectionError + QLatin1Char('\n') + cause;
}

QString OutboxRun::messagesSentText(int count)
{
    return count == 1 ? QStringLiteral("1 message sent")
                      : QStringLiteral("%1 messages sent").arg(count);
}

void OutboxRun::sendNextEnvelope(const QVariantList& stored)
{
    SmtpClient& c = *m_client;
    if (!c.offers(QStringLiteral("PIPELINING")))
        return;
    c.resetHeaders();
    c.addRecipient(stored.at(kTo).toString());
    c.setSender(stored.at(kFrom).toString());
    c.setBody(stored.at(kBody).toString());
    c.sendEnvelopeAhead();
}

OutboxRun::Result OutboxRun::run(Table& myOut, Table& sentItems)
{
    m_running = true;
    m_sent = 0;
    m_held.clear();
    BusyCursor busy;
    Result result = Result::Done;
    QString failure;
    try {
        // The messages the list shows, by key, in its order: the run sends
        // and moves exactly these, wherever the list's cursor goes meanwhile.
        QList<qint64> keys;
        const int id = myOut.def().fieldIndex(QStringLiteral("ID"));
        myOut.scan([&keys, id](const QVariantList& stored) {
            keys << stored.at(id).toLongLong();
            return true;
        });
        const int total = int(keys.size());
        emit started(total);

        // Each message is read by its key and moved into sent items in one
        // commit, with statements prepared once for the run.
        RowMover mover(myOut.directory(), myOut.tableName(), QStringLiteral("ID"),
                       sentItems.directory(), sentItems.tableName(), movedColumns());

        MailConnect connected = MailConnect::Connected;
        try {
            connected = connectMailServer(*m_client);
        } catch (const SmtpError& e) {
            messages().error(connectionErrorText(connectionCause(e)));
            m_running = false;
            emit finished(Result::ConnectFailed);
            return Result::ConnectFailed;
        }
        if (connected == MailConnect::NoPassword) {
            m_running = false;
            emit finished(Result::NoPassword);
            return Result::NoPassword;
        }

        int done = 0;
        QElapsedTimer shown;
        myOut.first();
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const qint64 key = keys.at(i);
            // Deleted meanwhile (by another window of the run): nothing to send.
            const std::optional<QVariantList> stored = mover.read(key);
            if (!stored)
                continue;
            // The list shows the message that goes now (usually the current
            // row already, the next after the last one sent). Re-reading the
            // list's rows costs more than a move, so on a fast server the
            // list follows the run at most every kListFollowMs; its progress
            // bar at every message.
            const bool follow = !shown.isValid() || shown.elapsed() >= kListFollowMs;
            if (follow && (myOut.eof() || myOut.value(QStringLiteral("ID")).toLongLong() != key))
                myOut.locate(QStringLiteral("ID"), key);
            emit sending(key, done, total);
            const QString to = stored->at(kTo).toString();
            const QString subject = stored->at(kSubject).toString();
            SmtpClient& c = *m_client;
            c.resetHeaders();
            c.setSubject(subject);
            c.clearRecipients();
            c.addRecipient(to);
            c.setSender(stored->at(kFrom).toString());
            c.setBody(stored->at(kBody).toString());
            try {
                c.send();
            } catch (const SmtpError& e) {
                if (e.code() == SmtpClient::InvalidAddress) {
                    // Never reached the server: this one stays with its
                    // reason, the others go.
                    m_held << HeldMessage{key, to, subject, e.text()};
                    emit held(key, e.text());
                    emit advanced(++done, total);
                    continue;
                }
                failure = e.text();
                result = Result::SendFailed;
                break;
            }
            // The next letter's envelope goes out now, so the server reads
            // it while this one is put away.
            if (i + 1 < keys.size()) {
                if (const std::optional<QVariantList> next = mover.read(keys.at(i + 1)))
                    sendNextEnvelope(*next);
            }
            QCoreApplication::processEvents();
            // Exactly the message that went, copy and removal in one commit.
            const bool wasQueued = mover.move(key, *stored);
            ++m_sent;
            if (follow) {
                myOut.refresh(); // the list drops it and shows the next
                shown.start();
            }
            if (!wasQueued)
                throw Error(QStringLiteral("The sent message \"%1\" to %2 is no longer in the "
                                           "outbox.")
                                .arg(subject, to));
            emit messageSent(to, subject);
            emit advanced(++done, total);
        }
    } catch (const Error& e) {
        failure = e.text();
        result = Result::SendFailed;
    }
    if (m_sent > 0 && myOut.isOpen() && myOut.state() == Table::State::Browse)
        myOut.refresh(); // the rows moved since the list last followed
    if (m_sent > 0 && sentItems.isOpen() && sentItems.state() == Table::State::Browse)
        sentItems.refresh(); // a window on sent items shows the new ones
    m_client->disconnectFromServer();
    m_running = false;
    if (result == Result::Done && !m_held.isEmpty())
        result = Result::SomeHeld;
    emit finished(result);
    if (!failure.isEmpty())
        messages().error(failure);
    if (!m_held.isEmpty()) {
        QStringList lines;
        for (const HeldMessage& h : m_held)
            lines << QStringLiteral("\"%1\": %2").arg(h.subject, h.reason);
        messages().error(QStringLiteral("These messages stay in the outbox:\n") +
                         lines.join(QLatin1Char('\n')));
    }
    return result;
}

} // namespace os
