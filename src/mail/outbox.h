#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace os {

class SmtpClient;
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

// The labels offered for TYPE in the New E-mail Message window, in order
// (the empty one first).
const QStringList& messageTypes();

// "You have no messages in your OutBox."
extern const char* const kNoMessagesInOutBox;

// "Send Messages": sends the messages a table over outbox.db shows (its
// filter in force), in its order, over one connection of the client. Each
// message the server took is posted to sent items and then deleted from the
// outbox, so a message is always in the outbox, in sent items, or for a
// moment in both (a process killed between the two steps), never in
// neither. Its sent copy keeps the queuing date.
//
// Failures are shown through the message service: a connection that cannot
// be made shows "Connection Error! Be sure you are signed on and your \"Net
// Connection Settings\" are correct." and moves nothing; a message the
// server refuses ends the run with the server's reply and stays queued with
// every message after it.
class OutboxRun : public QObject
{
    Q_OBJECT
public:
    enum class Result
    {
        Done,          // every message shown was sent (also when there was none)
        ConnectFailed, // nothing was sent
        SendFailed,    // stopped at a message; it and the later ones stay
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

signals:
    void started(int total);
    void advanced(int sent, int total);
    void messageSent(const QString& to, const QString& subject);
    void trail(const QString& line); // the client's protocol trail, one line at a time
    // The connection is closed and sent items are put away; a failure's text
    // is shown after this (the window hides its progress first).
    void finished(OutboxRun::Result result);

private:
    std::unique_ptr<SmtpClient> m_client;
    bool m_running = false;
    int m_sent = 0;
};

} // namespace os
