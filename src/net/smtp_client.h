#pragma once

#include "base/error.h"
#include "net/mail_format.h"

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QEventLoop;
class QSslSocket;

namespace os {

// A failed SMTP operation. code() is the server's reply code when the server
// refused (its reply is the text), otherwise one of SmtpClient's own codes.
class SmtpError : public Error
{
public:
    SmtpError(int code, const QString& text, bool loginRefused = false)
        : Error(text), m_code(code), m_loginRefused(loginRefused)
    {
    }
    int code() const { return m_code; }
    // The server refused the user name or password (a stored password is stale).
    bool loginRefused() const { return m_loginRefused; }

private:
    int m_code;
    bool m_loginRefused;
};

enum class SmtpSecurity
{
    None = 0,     // plain SMTP
    StartTls = 1, // plain connection, upgraded by STARTTLS before anything else
    Tls = 2       // TLS from the first byte (usually port 465)
};

// The mail client of the outbox run and the bulk mailer: one connection for
// a whole run, several messages over it. Every operation blocks until the
// server has answered, waiting in a local event loop so that windows keep
// repainting; a server that does not answer within the time-out ends the
// operation with an error. Failures throw SmtpError.
//
// The protocol trail (every command line sent, every reply line received,
// and the client's own status lines) is handed out one line at a time by the
// trail signal; login secrets are shown as "********".
//
// Certificates follow the transfer client's policy: an unknown authority is
// always refused; setIgnoreInvalidCert(true) lets a name mismatch or an
// expired (or not yet valid) certificate through. Trusted authorities are the
// system's plus the PEM file of setExtraCaFile() or, when that is empty, of
// the environment variable ORDERSENTINEL_CA_FILE.
class SmtpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutSeconds = 60;
    // A reply line longer than this ends the connection.
    static constexpr int kMaxReplyLineBytes = 64 * 1024;
    static constexpr qint64 kLargeMessageBytes = 1024 * 1024;
    static constexpr int kLargeMessageTimeoutSeconds = 600;

    // The wait for the server's answer after a message body of `bytes`: the
    // base time-out plus a second for every 2 KiB, and at least ten minutes
    // for a message of 1 MiB or more.
    static int dataReplyTimeoutSeconds(qint64 bytes, int baseSeconds);

    // The client's own error codes (server replies use theirs, 200-599).
    enum Code
    {
        NoSender = 1,     // "Please specify a sender (From)."
        NoRecipient = 2,  // "Please specify a recipient (To)."
        NotConnected = 3, // an operation that needs the connection without one
        ConnectFailed = 4,
        ConnectionLost = 5,
        TimedOut = 6,
        TlsFailed = 7,
        Unsupported = 8,    // the server lacks what the settings ask (STARTTLS, AUTH)
        BadReply = 9,       // a reply that is not SMTP
        InvalidAddress = 10 // an address that would break the envelope
    };

    explicit SmtpClient(QObject* parent = nullptr);
    ~SmtpClient() override;

    void setHost(const QString& host) { m_host = host; }
    QString host() const { return m_host; }
    void setPort(int port) { m_port = port; }
    int port() const { return m_port; }
    // Empty: the local host name.
    void setHelloName(const QString& name) { m_helloName = name; }
    QString helloName() const;
    void setSecurity(SmtpSecurity security) { m_security = security; }
    SmtpSecurity security() const { return m_security; }
    // A login is made when the user name is not empty.
    void setUserName(const QString& user) { m_userName = user; }
    QString userName() const { return m_userName; }
    void setPassword(const QString& password) { m_password = password; }
    void setIgnoreInvalidCert(bool ignore) { m_ignoreInvalidCert = ignore; }
    void setExtraCaFile(const QString& pemFile) { m_extraCaFile = pemFile; }
    // For every wait on the server. Only tests shorten it.
    void setTimeoutSeconds(int seconds) { m_timeoutSeconds = seconds; }
    int timeoutSeconds() const { return m_timeoutSeconds; }

    // Opens the connection, reads the greeting, greets (EHLO, HELO when the
    // server does not know EHLO), upgrades with STARTTLS and logs in as the
    // settings ask.
    void connectToServer();
    // QUIT, then the connection is closed whatever the answer. Never throws.
    void disconnectFromServer();
    bool isConnected() const;

    // The message: reset, then set the parts, then send().
    void resetHeaders(); // sender, recipients, subject and text
    void setSubject(const QString& subject) { m_subject = subject; }
    void clearRecipients() { m_recipients.clear(); }
    void addRecipient(const QString& entry) { m_recipients << entry; }
    QString recipientText() const; // the entries joined with ", "
    void setSender(const QString& from) { m_sender = from; }
    void setBody(const QString& text) { m_body = splitBodyLines(text); }
    void setBodyLines(const QStringList& lines) { m_body = lines; }

    // RSET, MAIL FROM, RCPT TO for every address (sent together and their
    // replies read in order when the server offers PIPELINING, one at a time
    // otherwise), then DATA with the message.
    void send();

    // For a caller with work to do while the server reads: sends the
    // envelope (RSET, MAIL FROM, RCPT TO) of the message set up now without
    // waiting for its replies, when the server offers PIPELINING; the next
    // send() reads them (and when it is another message's, reads them and
    // starts its own). False, and nothing sent, without PIPELINING or when
    // send() would refuse the message.
    bool sendEnvelopeAhead();

    // What the server offered in its EHLO reply (upper case, first word).
    bool offers(const QString& extension) const;
    // The last message sent, as it went after DATA (before dot-stuffing).
    QByteArray lastMessage() const { return m_lastMessage; }

signals:
    void trail(const QString& line);

private:
    struct Reply
    {
        int code = 0;
        QStringList lines; // as received, code included
        QString text() const { return lines.join(QLatin1Char('\r')); }
    };

    struct Envelope
    {
        QString sender; // the From text, folded
        QString to;     // the recipient text, folded
        QString from;   // the envelope sender
        BodyEncoding encoding = BodyEncoding::SevenBit;
        QList<QByteArray> commands; // RSET, MAIL FROM, RCPT TO...
    };
    // Checks the message and makes its envelope; throws SmtpError.
    Envelope envelope() const;
    void writeEnvelope(const QList<QByteArray>& commands);

    void greet();
    bool ehlo();
    void startTls();
    void login();
    Reply command(const QByteArray& line, const QByteArray& shownAs = QByteArray());
    void expect(const Reply& reply, std::initializer_list<int> codes, bool loginStep = false);
    Reply readReply();
    void pull(); // moves what the socket holds into m_in, up to one line too many
    void writeRaw(const QByteArray& bytes);
    // Waits until done(); a lost connection fails with `lostText` and the
    // socket's fault, a silent server after the time-out.
    void waitFor(const std::function<bool()>& done, const QString& lostText);
    void failConnection(int code, const QString& text);
    void closeSocket();
    void status(const QString& line) { emit trail(line); }
    void setupTls();

    QString m_host;
    int m_port = 25;
    QString m_helloName;
    SmtpSecurity m_security = SmtpSecurity::None;
    QString m_userName;
    QString m_password;
    bool m_ignoreInvalidCert = false;
    QString m_extraCaFile;
    int m_timeoutSeconds = kDefaultTimeoutSeconds;

    QString m_subject;
    QStringList m_recipients;
    QString m_sender;
    QStringList m_body;
    QByteArray m_lastMessage;

    std::unique_ptr<QSslSocket> m_socket;
    QByteArray m_in;
    QList<QByteArray> m_ahead; // an envelope sent ahead, its replies not yet read
    QSet<QString> m_extensions;
    QStringList m_authMethods;
    bool m_extended = false; // the server answered EHLO
    QString m_socketFault;   // set by the socket's error signal
    QString m_tlsFault;      // the certificate fault that refused the peer
    QEventLoop* m_loop = nullptr;
};

} // namespace os
