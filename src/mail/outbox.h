#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace os {

class SmtpClient;
class SmtpError;
class Table;

// Every letter the program writes to a customer goes through the outbox
// (outbox.db) and, once the mail server has taken it, into sent items
// (sentitems.db). See docs/mail.md.

// One message to queue.
struct OutboxMessage
{
    QString type; // free label (at most 25 characters) to filter and delete groups by
    QString subject;
    QString to;
    QString from;
    QString body;
};

// Queues a message through the shared OUTBOX table of the data module: opens
// it when closed, moves to its last row, inserts, sets SUBJECT, TO, FROM,
// BODY, TYPE and IDATE (now) and posts. False when OUTBOX's completeness
// rule refused the row (it has shown "A message must contain a \"To\",
// \"From\" and \"Subject\" field, as well as a \"Message Body\"." and the
// insert is cancelled). Throws DbError on an engine failure (also cancelled).
bool queueMessage(const OutboxMessage& message);

// The one address of an e-mail field the store sent (an order's or a
// customer's EMAIL), trimmed; nothing when the field holds several
// addresses, a control character, or a line or paragraph separator. A letter
// made from it goes to that address only: a customer record never adds a
// recipient.
std::optional<QString> singleStoreAddress(const QString& field);
// "No letter was made: the e-mail address of order 1042 ("a@x, b@y") is not
// exactly one address." `whose` is "order 1042" or "customer 17".
QString notOneAddressText(const QString& whose, const QString& field);

// The labels offered for TYPE in the New E-mail Message window, in order
// (the empty one first).
const QStringList& messageTypes();

// "You have no messages in your OutBox."
extern const char* const kNoMessagesInOutBox;

// "Connection Error! Be sure you are signed on and your \"Net Connection
// Settings\" are correct.", with the cause on the next line when there is one.
QString connectionErrorText(const QString& cause);
// The cause of a failed connection in a merchant's words (a refused login
// says so before the server's reply).
QString connectionCause(const SmtpError& e);

// "Send Messages": sends the messages a table over outbox.db shows (its
// filter in force), in its order, over one connection of the client. Each
// message the server took is posted to sent items and then deleted from the
// outbox, so a message is always in the outbox, in sent items, or for a
// moment in both (a process killed between the two steps), never in
// neither. Its sent copy keeps the queuing date.
//
// The run takes the keys of the messages shown when it starts and sends and
// moves exactly those, whatever row the table's cursor is on meanwhile.
//
// Failures are shown through the message service: a connection that cannot
// be made shows "Connection Error! Be sure you are signed on and your \"Net
// Connection Settings\" are correct." with its cause on the next line and
// moves nothing; a message the server refuses ends the run with the server's
// reply and stays queued with every message after it. A message whose
// address the client refuses before anything reaches the server (a control
// character in it) stays queued with its reason, and the run goes on.
class OutboxRun : public QObject
{
    Q_OBJECT
public:
    enum class Result
    {
        Done,          // every message shown was sent (also when there was none)
        ConnectFailed, // nothing was sent
        SendFailed,    // stopped at a message; it and the later ones stay
        SomeHeld,      // every other message was sent; held() ones stay
        NoPassword     // a login is configured and the merchant gave no password
    };

    explicit OutboxRun(QObject* parent = nullptr);
    ~OutboxRun() override;

    // The client of the run; set up from the settings at every run.
    SmtpClient& client() { return *m_client; }

    // Sends what `myOut` shows. `sentItems` is a table over sentitems.db
    // (the shared SENDBOX); it is opened for the run and closed after it
    // when it was closed before.
    Result run(Table& myOut, Table& sentItems);

    bool isRunning() const { return m_running; }
    int sent() const { return m_sent; }

    // A message the run left in the outbox because its address is invalid.
    struct HeldMessage
    {
        qint64 key = 0;
        QString to;
        QString subject;
        QString reason;
    };
    const QList<HeldMessage>& heldMessages() const { return m_held; }

    // "5 messages sent" ("1 message sent").
    static QString messagesSentText(int count);

signals:
    void started(int total);
    void sending(qint64 key, int done, int total); // the message with this ID goes now
    void held(qint64 key, const QString& reason);
    void advanced(int sent, int total);
    void messageSent(const QString& to, const QString& subject);
    void trail(const QString& line); // the client's protocol trail, one line at a time
    // The connection is closed and sent items are put away; a failure's text
    // is shown after this (the window hides its progress first).
    void finished(OutboxRun::Result result);

private:
    // Sends the envelope of the next message ahead (PIPELINING); `stored` are
    // its columns in the order the run reads them.
    void sendNextEnvelope(const QVariantList& stored);

    std::unique_ptr<SmtpClient> m_client;
    bool m_running = false;
    int m_sent = 0;
    QList<HeldMessage> m_held;
};

} // namespace os
