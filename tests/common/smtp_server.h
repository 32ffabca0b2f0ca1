#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace os::test {

// A real SMTP server (aiosmtpd, tests/common/smtp_server.py, run by Debian's
// /usr/bin/python3) on loopback ports chosen at run time, for the life of the
// object. Start one per suite and clear() it between tests.
//
// What it can do: accept and keep every message byte for byte (the bytes
// after DATA with the dot transparency undone), log every command, refuse a
// recipient, drop the connection or stall (never answer) at any command, ask
// for STARTTLS and a login, leave out 8BITMIME or EHLO. With a certificate it
// offers STARTTLS on port() and implicit TLS on tlsPort().
//
// Every call throws std::runtime_error when the server does not answer, so a
// broken fixture fails the test loudly.
class SmtpServer
{
public:
    struct Options
    {
        QString certFile; // both given: STARTTLS on port(), implicit TLS on tlsPort()
        QString keyFile;
    };

    struct Message
    {
        QString mailFrom;
        QStringList mailOptions; // e.g. "BODY=8BITMIME"
        QStringList rcptTos;
        QByteArray data; // as received after DATA, CR LF line ends, dots undone
        bool tls = false;
        QString authUser; // empty without a login
    };

    SmtpServer();
    explicit SmtpServer(const Options& options);
    ~SmtpServer();
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    bool isRunning() const;
    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }

    QList<Message> messages();
    QStringList log();
    // Forgets messages, log, faults and settings; closes stalled connections.
    void clear();

    // --- settings ---
    void requireStartTls(bool on = true);
    void requireLogin(const QString& user, const QString& password);
    void offer8BitMime(bool on);
    void offerEhlo(bool on);
    // PIPELINING in the EHLO reply (on by default; aiosmtpd reads pipelined
    // commands in order but does not advertise it by itself).
    void offerPipelining(bool on);

    // --- faults: the first `after` matching commands pass, then `times` of
    // them (-1: all) get the fault. `address` limits MAIL/RCPT faults to one
    // address. Commands: "GREETING", "EHLO", "HELO", "MAIL", "RCPT", "DATA",
    // "RSET", "QUIT". ---
    void refuse(const QString& command, const QString& reply, int after = 0, int times = -1,
                const QString& address = QString());
    void refuseRecipient(const QString& address,
                         const QString& reply =
                             QStringLiteral("550 5.1.1 Recipient address rejected: User unknown"));
    void drop(const QString& command, int after = 0, int times = -1);
    void stall(const QString& command, int after = 0, int times = -1);
    // Answers the matching commands only after `seconds` (a slow server).
    void delay(const QString& command, double seconds, int after = 0, int times = -1);
    // Answers with megabytes of one reply line that never ends.
    void flood(const QString& command, int after = 0, int times = -1);

    // Polls the log until a line equal to `line` appears (for a process that
    // is to be killed while the server holds it); false after `timeoutMs`.
    bool waitForLogLine(const QString& line, int timeoutMs = 30000);

    // A raw command (see smtp_server.py); returns the answer.
    QJsonObject control(const QJsonObject& command);

private:
    void fault(const QString& command, const QString& action, int after, int times,
               const QString& address, const QString& reply, double seconds = 0);

    std::unique_ptr<QProcess> m_process;
    QString m_error;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
};

} // namespace os::test
