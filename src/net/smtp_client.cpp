#include "net/smtp_client.h"

#include "base/clock.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace os {

namespace {

constexpr int kQuitTimeoutSeconds = 10;
const QByteArray kHidden = "********";

// A character that must never reach an envelope: controls, format
// characters and the Unicode line and paragraph separators.
bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 32 || u == 127)
        return true;
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// An envelope address must not carry blanks, control characters or angle
// brackets outside quotes: they would end the address and add parameters.
bool isEnvelopeAddress(const QString& address)
{
    bool quoted = false;
    bool escaped = false;
    for (const QChar c : address) {
        if (isControl(c))
            return false;
        if (escaped) {
            escaped = false;
            continue;
        }
        if (quoted) {
            if (c == QLatin1Char('\\'))
                escaped = true;
            else if (c == QLatin1Char('"'))
                quoted = false;
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted = true;
        else if (c == QLatin1Char(' ') || c == QLatin1Char('<') || c == QLatin1Char('>'))
            return false;
    }
    return !quoted;
}

} // namespace

SmtpClient::SmtpClient(QObject* parent) : QObject(parent) {}

SmtpClient::~SmtpClient()
{
    closeSocket();
}

QString SmtpClient::helloName() const
{
    if (!m_helloName.trimmed().isEmpty())
        return m_helloName.trimmed();
    const QString local = QHostInfo::localHostName();
    return local.isEmpty() ? QStringLiteral("localhost") : local;
}

bool SmtpClient::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool SmtpClient::offers(const QString& extension) const
{
    return m_extensions.contains(extension.toUpper());
}

QString SmtpClient::recipientText() const
{
    return m_recipients.join(QStringLiteral(", "));
}

void SmtpClient::resetHeaders()
{
    m_sender.clear();
    m_recipients.clear();
    m_subject.clear();
    m_body.clear();
}

void SmtpClient::closeSocket()
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    // Deleted later: a signal of it may be on the stack.
    m_socket.release()->deleteLater();
    m_in.clear();
    m_extensions.clear();
    m_authMethods.clear();
    m_extended = false;
    m_ahead.clear();
}

void SmtpClient::failConnection(int code, const QString& text)
{
    status(text);
    closeSocket();
    throw SmtpError(code, text);
}

void SmtpClient::waitFor(const std::function<bool()>& done, const QString& lostText)
{
    QDeadlineTimer deadline(qint64(m_timeoutSeconds) * 1000);
    while (!done()) {
        if (!m_tlsFault.isEmpty())
            failConnection(
                TlsFailed,
                QStringLiteral("The mail server's certificate was refused: %1").arg(m_tlsFault));
        if (!m_socket || m_socket->state() == QAbstractSocket::UnconnectedState ||
            !m_socketFault.isEmpty()) {
            const QString fault = m_socketFault.isEmpty()
                                      ? QStringLiteral("The mail server closed the connection.")
                                      : m_socketFault;
            failConnection(ConnectionLost, QStringLiteral("%1: %2").arg(lostText, fault));
        }
        if (deadline.hasExpired())
            failConnection(TimedOut,
                           QStringLiteral("The mail server did not answer within %1 seconds.")
                               .arg(m_timeoutSeconds));
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime())));
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
}

void SmtpClient::setupTls()
{
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    const QString caFile =
        m_extraCaFile.isEmpty() ? qEnvironmentVariable("ORDERSENTINEL_CA_FILE") : m_extraCaFile;
    if (!caFile.isEmpty())
        conf.addCaCertificates(QSslCertificate::fromPath(caFile));
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(conf);
    m_socket->setPeerVerifyName(m_host);
}

void SmtpClient::connectToServer()
{
    closeSocket();
    m_socketFault.clear();
    m_tlsFault.clear();
    if (m_host.trimmed().isEmpty())
        throw SmtpError(ConnectFailed, QStringLiteral("No mail server is set."));

    m_socket = std::make_unique<QSslSocket>();
    QSslSocket* socket = m_socket.get();
    auto wake = [this] {
        if (m_loop)
            m_loop->quit();
    };
    // A server that never ends its line costs at most a reply line and one
    // buffer: the socket holds back what is not read.
    socket->setReadBufferSize(kMaxReplyLineBytes);
    connect(socket, &QSslSocket::readyRead, this, [this, wake] {
        pull();
        wake();
    });
    connect(socket, &QAbstractSocket::connected, this, wake);
    connect(socket, &QSslSocket::encrypted, this, wake);
    connect(socket, &QAbstractSocket::disconnected, this, [this, wake] {
        pull();
        wake();
    });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, socket, wake](QAbstractSocket::SocketError error) {
                // A refused certificate is told by its own fault; a peer that
                // closes after its last reply is no fault until we read on.
                if (error != QAbstractSocket::RemoteHostClosedError && m_socketFault.isEmpty())
                    m_socketFault = socket->errorString();
                wake();
            });
    connect(socket, &QSslSocket::sslErrors, this, [this, socket](const QList<QSslError>& errors) {
        bool all = true;
        for (const QSslError& e : errors) {
            const bool invalidOnly = e.error() == QSslError::HostNameMismatch ||
                                     e.error() == QSslError::CertificateExpired ||
                                     e.error() == QSslError::CertificateNotYetValid;
            if (!(m_ignoreInvalidCert && invalidOnly)) {
                all = false;
                if (m_tlsFault.isEmpty())
                    m_tlsFault = e.errorString();
            }
        }
        if (all)
            socket->ignoreSslErrors(errors);
    });

    const QString where = QStringLiteral("%1:%2").arg(m_host).arg(m_port);
    status(QStringLiteral("Connecting to mail server."));
    try {
        if (m_security == SmtpSecurity::Tls) {
            setupTls();
            socket->connectToHostEncrypted(m_host, quint16(m_port));
            waitFor([socket] { return socket->isEncrypted(); },
                    QStringLiteral("Cannot connect to the mail server %1").arg(where));
        } else {
            socket->connectToHost(m_host, quint16(m_port));
            waitFor([socket] { return socket->state() == QAbstractSocket::ConnectedState; },
                    QStringLiteral("Cannot connect to the mail server %1").arg(where));
        }
        // Commands are small and each waits for its reply: send at once.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        status(QStringLiteral("Connected to %1.").arg(where));
        expect(readReply(), {220});
        greet();
        if (m_security == SmtpSecurity::StartTls) {
            if (!offers(QStringLiteral("STARTTLS")))
                throw SmtpError(Unsupported,
                                QStringLiteral("The mail server does not offer STARTTLS. Choose "
                                               "another security in the Net Connection "
                                               "Settings."));
            expect(command("STARTTLS"), {220});
            startTls();
            if (!ehlo())
                throw SmtpError(BadReply,
                                QStringLiteral("The mail server refused EHLO after STARTTLS."));
        }
        if (!m_userName.isEmpty())
            login();
    } catch (const SmtpError&) {
        closeSocket();
        throw;
    }
}

void SmtpClient::greet()
{
    if (ehlo())
        return;
    const QByteArray hello = "HELO " + helloName().toUtf8();
    expect(command(hello), {250});
}

// True when the server answered EHLO; false when it does not know it (the
// caller falls back to HELO). Its extensions are remembered.
bool SmtpClient::ehlo()
{
    const Reply r = command("EHLO " + helloName().toUtf8());
    if (r.code >= 500 && r.code <= 504)
        return false;
    expect(r, {250});
    m_extended = true;
    m_extensions.clear();
    m_authMethods.clear();
    for (int i = 1; i < r.lines.size(); ++i) {
        const QString keyword = r.lines.at(i).mid(4).trimmed();
        const QStringList words =
            keyword.split(QRegularExpression(QStringLiteral("[ =]")), Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        m_extensions.insert(words.first().toUpper());
        if (words.first().compare(QLatin1String("AUTH"), Qt::CaseInsensitive) == 0) {
            for (int k = 1; k < words.size(); ++k)
                m_authMethods << words.at(k).toUpper();
        }
    }
    return true;
}

void SmtpClient::startTls()
{
    status(QStringLiteral("Starting TLS."));
    QSslSocket* socket = m_socket.get();
    setupTls();
    m_in.clear(); // nothing the server sent in the clear counts after this
    socket->startClientEncryption();
    waitFor([socket] { return socket->isEncrypted(); }, QStringLiteral("TLS could not be started"));
    status(QStringLiteral("TLS started."));
}

void SmtpClient::login()
{
    if (!m_extended || !offers(QStringLiteral("AUTH")))
        throw SmtpError(Unsupported, QStringLiteral("The mail server does not offer a login "
                                                    "(AUTH). Leave the user name empty in the "
                                                    "Net Connection Settings."));
    if (!m_socket->isEncrypted())
        throw SmtpError(Unsupported,
                        QStringLiteral("The password is never sent over an unencrypted "
                                       "connection. Choose STARTTLS or TLS in the Net "
                                       "Connection Settings."));
    const QByteArray user = m_userName.toUtf8();
    const QByteArray pass = m_password.toUtf8();
    if (m_authMethods.contains(QStringLiteral("PLAIN"))) {
        const QByteArray token = (QByteArray(1, '\0') + user + '\0' + pass).toBase64();
        expect(command("AUTH PLAIN " + token, "AUTH PLAIN " + kHidden), {235}, true);
    } else if (m_authMethods.contains(QStringLiteral("LOGIN"))) {
        expect(command("AUTH LOGIN"), {334}, true);
        expect(command(user.toBase64(), kHidden), {334}, true);
        expect(command(pass.toBase64(), kHidden), {235}, true);
    } else {
        throw SmtpError(Unsupported,
                        QStringLiteral("The mail server offers no login method this program "
                                       "knows (PLAIN, LOGIN): %1")
                            .arg(m_authMethods.join(QLatin1Char(' '))));
    }
    status(QStringLiteral("Logged in as %1.").arg(m_userName));
}

void SmtpClient::writeRaw(const QByteArray& bytes)
{
    if (!isConnected())
        throw SmtpError(NotConnected, QStringLiteral("Not connected to the mail server."));
    m_socket->write(bytes);
}

SmtpClient::Reply SmtpClient::command(const QByteArray& line, const QByteArray& shownAs)
{
    emit trail(QString::fromUtf8(shownAs.isEmpty() ? line : shownAs));
    writeRaw(line + "\r\n");
    return readReply();
}

void SmtpClient::pull()
{
    if (m_socket && m_in.size() <= kMaxReplyLineBytes && m_socket->bytesAvailable() > 0)
        m_in += m_socket->read(kMaxReplyLineBytes + 1 - m_in.size());
}

SmtpClient::Reply SmtpClient::readReply()
{
    Reply reply;
    while (true) {
        pull(); // what the socket held back while the last line was long
        qsizetype end = m_in.indexOf('\n');
        if (end > kMaxReplyLineBytes || (end < 0 && m_in.size() > kMaxReplyLineBytes))
            failConnection(BadReply,
                           QStringLiteral("The mail server sent a reply line longer than %1 KiB; "
                                          "the connection was closed.")
                               .arg(kMaxReplyLineBytes / 1024));
        if (end < 0) {
            waitFor([this] { return m_in.contains('\n') || m_in.size() > kMaxReplyLineBytes; },
                    QStringLiteral("The connection to the mail server was lost"));
            continue;
        }
        QByteArray line = m_in.left(end);
        m_in.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        const QString text = QString::fromUtf8(line);
        emit trail(text);
        bool ok = false;
        const int code = line.left(3).toInt(&ok);
        if (!ok || line.size() < 3 || (line.size() > 3 && line.at(3) != '-' && line.at(3) != ' '))
            failConnection(
                BadReply,
                QStringLiteral("The mail server sent a reply that is not SMTP: %1").arg(text));
        reply.code = code;
        reply.lines << text;
        if (line.size() == 3 || line.at(3) == ' ')
            return reply;
    }
}

void SmtpClient::expect(const Reply& reply, std::initializer_list<int> codes, bool loginStep)
{
    for (const int c : codes) {
        if (reply.code == c)
            return;
    }
    throw SmtpError(reply.code, reply.text(), loginStep && reply.code >= 500);
}

void SmtpClient::disconnectFromServer()
{
    if (!m_socket)
        return;
    if (isConnected()) {
        status(QStringLiteral("Disconnecting from mail server."));
        const int saved = m_timeoutSeconds;
        m_timeoutSeconds = std::min(saved, kQuitTimeoutSeconds);
        try {
            command("QUIT");
        } catch (const SmtpError&) {
            // The connection is closed anyway.
        }
        m_timeoutSeconds = saved;
    }
    closeSocket();
}

SmtpClient::Envelope SmtpClient::envelope() const
{
    Envelope e;
    e.sender = foldHeaderValue(m_sender);
    if (e.sender.trimmed().isEmpty())
        throw SmtpError(NoSender, QStringLiteral("Please specify a sender (From)."));
    e.to = foldHeaderValue(recipientText());
    const QStringList addresses = parseRecipients(e.to);
    if (addresses.isEmpty())
        throw SmtpError(NoRecipient, QStringLiteral("Please specify a recipient (To)."));
    e.from = senderAddress(e.sender);
    const QStringList all = QStringList(addresses) << e.from;
    for (const QString& a : all) {
        if (!a.isEmpty() && !isEnvelopeAddress(a))
            throw SmtpError(InvalidAddress,
                            QStringLiteral("\"%1\" is not a valid e-mail address.").arg(a));
    }
    if (!isConnected())
        throw SmtpError(NotConnected, QStringLiteral("Not connected to the mail server."));
    // Every letter starts from a clean transaction.
    e.encoding = bodyEncodingFor(m_body, offers(QStringLiteral("8BITMIME")));
    QByteArray mail = "MAIL FROM:<" + e.from.toUtf8() + ">";
    if (e.encoding == BodyEncoding::EightBit)
        mail += " BODY=8BITMIME";
    e.commands = {"RSET", mail};
    for (const QString& a : addresses)
        e.commands << "RCPT TO:<" + a.toUtf8() + ">";
    return e;
}

void SmtpClient::writeEnvelope(const QList<QByteArray>& commands)
{
    QByteArray batch;
    for (const QByteArray& line : commands) {
        emit trail(QString::fromUtf8(line));
        batch += line + "\r\n";
    }
    writeRaw(batch);
}

bool SmtpClient::sendEnvelopeAhead()
{
    if (!m_ahead.isEmpty() || !isConnected() || !offers(QStringLiteral("PIPELINING")))
        return false;
    Envelope e;
    try {
        e = envelope();
    } catch (const SmtpError&) {
        return false; // send() says why
    }
    writeEnvelope(e.commands);
    m_ahead = e.commands;
    return true;
}

void SmtpClient::send()
{
    const Envelope e = envelope();
    const QList<QByteArray> ahead = std::exchange(m_ahead, {});
    if (offers(QStringLiteral("PIPELINING"))) {
        // With PIPELINING the envelope goes out in one write (or went ahead)
        // and its replies are read in order; DATA waits for them.
        if (!ahead.isEmpty() && ahead != e.commands) {
            // Another letter's envelope went ahead: its replies are read and
            // its transaction is reset by this one's RSET.
            for (qsizetype i = 0; i < ahead.size(); ++i)
                readReply();
        }
        if (ahead != e.commands)
            writeEnvelope(e.commands);
        QList<Reply> replies;
        for (qsizetype i = 0; i < e.commands.size(); ++i)
            replies << readReply(); // every reply is read, so none is left for the next command
        for (qsizetype i = 0; i < replies.size(); ++i) {
            if (i < 2)
                expect(replies.at(i), {250});
            else
                expect(replies.at(i), {250, 251});
        }
    } else {
        for (qsizetype i = 0; i < e.commands.size(); ++i) {
            if (i < 2)
                expect(command(e.commands.at(i)), {250});
            else
                expect(command(e.commands.at(i)), {250, 251});
        }
    }
    expect(command("DATA"), {354});

    MailMessage message;
    message.to = e.to;
    message.from = e.sender;
    message.subject = m_subject;
    message.body = m_body;
    message.date = Clock::now();
    message.messageId = makeMessageId(message.date, e.from, helloName());
    m_lastMessage = composeMessage(message, e.encoding);
    const QByteArray wire = dotStuffed(m_lastMessage);
    writeRaw(wire);
    // A slow server may take long to say it took a large letter: a time-out
    // here would send an accepted letter again.
    const int saved = m_timeoutSeconds;
    m_timeoutSeconds = dataReplyTimeoutSeconds(wire.size(), saved);
    try {
        const Reply taken = readReply();
        m_timeoutSeconds = saved;
        expect(taken, {250});
    } catch (...) {
        m_timeoutSeconds = saved;
        throw;
    }
}

int SmtpClient::dataReplyTimeoutSeconds(qint64 bytes, int baseSeconds)
{
    // One second more for every 2 KiB; from 1 MiB on at least ten minutes.
    qint64 seconds = baseSeconds + bytes / 2048;
    if (bytes >= kLargeMessageBytes)
        seconds = std::max<qint64>(seconds, kLargeMessageTimeoutSeconds);
    return int(std::min<qint64>(seconds, 24 * 3600));
}

} // namespace os
