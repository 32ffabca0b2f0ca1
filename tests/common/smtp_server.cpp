#include "common/smtp_server.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <stdexcept>

namespace os::test {

namespace {

[[noreturn]] void fail(const QString& text)
{
    qWarning("SmtpServer: %s", qPrintable(text));
    throw std::runtime_error(text.toStdString());
}

QStringList strings(const QJsonValue& v)
{
    QStringList out;
    for (const QJsonValue& s : v.toArray())
        out << s.toString();
    return out;
}

} // namespace

SmtpServer::SmtpServer() : SmtpServer(Options()) {}

SmtpServer::SmtpServer(const Options& options)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{QStringLiteral(OS_TESTS_SOURCE_DIR "/common/smtp_server.py")};
    if (!options.certFile.isEmpty())
        args << QStringLiteral("--cert") << options.certFile << QStringLiteral("--key")
             << options.keyFile;
    // Debian's python: another one first on PATH may lack aiosmtpd.
    m_process->start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("python3 did not start: %1").arg(m_process->errorString());
        return;
    }
    if (!m_process->waitForReadyRead(30000) && !m_process->canReadLine()) {
        m_error = QStringLiteral("the SMTP server did not come up");
        return;
    }
    QDeadlineTimer deadline(30000);
    while (!m_process->canReadLine() && !deadline.hasExpired())
        m_process->waitForReadyRead(int(deadline.remainingTime()));
    const QJsonObject ports = QJsonDocument::fromJson(m_process->readLine()).object();
    m_port = quint16(ports.value(QStringLiteral("port")).toInt());
    m_tlsPort = quint16(ports.value(QStringLiteral("tls_port")).toInt());
    if (m_port == 0)
        m_error = QStringLiteral("the SMTP server did not say its port");
}

SmtpServer::~SmtpServer()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->closeWriteChannel(); // end of input stops it
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
}

bool SmtpServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running && m_port != 0;
}

QJsonObject SmtpServer::control(const QJsonObject& command)
{
    if (!isRunning())
        fail(QStringLiteral("the server is not running: %1").arg(m_error));
    m_process->write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    QDeadlineTimer deadline(30000);
    while (!m_process->canReadLine()) {
        if (deadline.hasExpired() || m_process->state() != QProcess::Running)
            fail(QStringLiteral("no answer to %1")
                     .arg(QString::fromUtf8(QJsonDocument(command).toJson())));
        m_process->waitForReadyRead(100);
    }
    const QJsonObject answer = QJsonDocument::fromJson(m_process->readLine()).object();
    if (!answer.value(QStringLiteral("ok")).toBool())
        fail(QStringLiteral("command refused: %1")
                 .arg(answer.value(QStringLiteral("error")).toString()));
    return answer;
}

QList<SmtpServer::Message> SmtpServer::messages()
{
    QList<Message> out;
    const QJsonArray list =
        control({{"cmd", "messages"}}).value(QStringLiteral("messages")).toArray();
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject();
        Message m;
        m.mailFrom = o.value(QStringLiteral("mail_from")).toString();
        m.mailOptions = strings(o.value(QStringLiteral("mail_options")));
        m.rcptTos = strings(o.value(QStringLiteral("rcpt_tos")));
        m.data = QByteArray::fromBase64(o.value(QStringLiteral("data")).toString().toLatin1());
        m.tls = o.value(QStringLiteral("tls")).toBool();
        m.authUser = o.value(QStringLiteral("auth_user")).toString();
        out << m;
    }
    return out;
}

QStringList SmtpServer::log()
{
    return strings(control({{"cmd", "log"}}).value(QStringLiteral("log")));
}

void SmtpServer::clear()
{
    control({{"cmd", "clear"}});
}

void SmtpServer::requireStartTls(bool on)
{
    control({{"cmd", "configure"}, {"require_starttls", on}});
}

void SmtpServer::requireLogin(const QString& user, const QString& password)
{
    control({{"cmd", "configure"}, {"auth", QJsonObject{{"user", user}, {"password", password}}}});
}

void SmtpServer::offer8BitMime(bool on)
{
    control({{"cmd", "configure"}, {"eightbitmime", on}});
}

void SmtpServer::offerEhlo(bool on)
{
    control({{"cmd", "configure"}, {"ehlo", on}});
}

void SmtpServer::offerPipelining(bool on)
{
    control({{"cmd", "configure"}, {"pipelining", on}});
}

void SmtpServer::delay(const QString& command, double seconds, int after, int times)
{
    fault(command, QStringLiteral("delay"), after, times, QString(), QString(), seconds);
}

void SmtpServer::flood(const QString& command, int after, int times)
{
    fault(command, QStringLiteral("flood"), after, times, QString(), QString());
}

void SmtpServer::fault(const QString& command, const QString& action, int after, int times,
                       const QString& address, const QString& reply, double seconds)
{
    QJsonObject o{{"cmd", "fault"},
                  {"command", command},
                  {"action", action},
                  {"after", after},
                  {"times", times}};
    if (!address.isEmpty())
        o.insert(QStringLiteral("address"), address);
    if (!reply.isEmpty())
        o.insert(QStringLiteral("reply"), reply);
    if (seconds > 0)
        o.insert(QStringLiteral("seconds"), seconds);
    control(o);
}

void SmtpServer::refuse(const QString& command, const QString& reply, int after, int times,
                        const QString& address)
{
    fault(command, QStringLiteral("refuse"), after, times, address, reply);
}

void SmtpServer::refuseRecipient(const QString& address, const QString& reply)
{
    refuse(QStringLiteral("RCPT"), reply, 0, -1, address);
}

void SmtpServer::drop(const QString& command, int after, int times)
{
    fault(command, QStringLiteral("drop"), after, times, QString(), QString());
}

void SmtpServer::stall(const QString& command, int after, int times)
{
    fault(command, QStringLiteral("stall"), after, times, QString(), QString());
}

bool SmtpServer::waitForLogLine(const QString& line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (log().contains(line))
            return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace os::test
