#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class QEventLoop;

namespace os {

class SmtpClient;

// The Bulk Mailer's send loop: one fixed message, without tags, straight
// through the mail server (no outbox, no sent copies) to every entry of a
// list, first to last, over one connection. An entry leaves the list only
// once the server took it, so after a stop the list holds exactly the
// entries not yet sent.
//
// A recipient that is refused (by the server, or by the client before it
// reaches the server, as an empty line is) stays first and is tried again,
// but never at once: the run pauses 1 s after the first refusal and doubles
// the pause up to 30 s while the refusals go on, and starts again from 1 s
// after a success. A connection lost during the run is made again before
// the next try; a merchant who cancels the password prompt of that
// reconnect ends the run. requestStop() ends the run within half a second, also in
// the middle of a pause (a command the server has not answered yet is
// waited for first).
class BulkRun : public QObject
{
    Q_OBJECT
public:
    enum class Result
    {
        Finished,      // the list is empty
        Stopped,       // requestStop(); the list holds what was not sent
        ConnectFailed, // the first connection failed; nothing was sent
        NoPassword     // a login is configured and the merchant gave no password
                       // (also at a reconnect during the run: the run ends)
    };

    explicit BulkRun(QObject* parent = nullptr);
    ~BulkRun() override;

    SmtpClient& client() { return *m_client; }

    Result run(QStringList& list, const QString& from, const QString& subject, const QString& body);
    void requestStop();
    bool isRunning() const { return m_running; }

    // The last run's counts: messages the server took, and addresses refused
    // at least once (each counted once, also when it went later).
    int sentCount() const { return m_sentCount; }
    int refusedCount() const { return int(m_refusedAddresses.size()); }
    // "3 messages sent, 1 address refused."
    QString countsText() const;
    // Why the first connection failed (ConnectFailed), in a merchant's words.
    QString connectFailure() const { return m_connectFailure; }

    // The pause after `failures` refused tries in a row (1 s, 2 s, 4 s, ...
    // at most 30 s).
    static int retryDelayMs(int failures);

signals:
    void sent(const QString& address); // taken by the server and removed from the list
    void refused(const QString& address, const QString& reason, int retryInMs);
    void trail(const QString& line);

private:
    bool pause(int ms); // false when a stop was requested
    bool stopRequested();

    std::unique_ptr<SmtpClient> m_client;
    bool m_running = false;
    bool m_stop = false;
    int m_sentCount = 0;
    QString m_connectFailure;
    QSet<QString> m_refusedAddresses;
    QEventLoop* m_wait = nullptr;
};

// "Error in Internet connection, be sure you are signed on and your settings are correct."
extern const char* const kBulkConnectionError;

} // namespace os
