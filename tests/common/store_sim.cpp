#include "common/store_sim.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QThread>

#include <stdexcept>

namespace os::test {

namespace {

[[noreturn]] void fail(const QString& text)
{
    qWarning("StoreSim: %s", qPrintable(text));
    throw std::runtime_error(text.toStdString());
}

QList<qint64> ids(const QJsonValue& v)
{
    QList<qint64> ids;
    for (const QJsonValue& id : v.toArray())
        ids.append(id.toInteger());
    return ids;
}

QList<QPair<QString, QString>> pairs(const QJsonValue& v)
{
    QList<QPair<QString, QString>> pairs;
    for (const QJsonValue& p : v.toArray())
        pairs.append({p.toArray().at(0).toString(), p.toArray().at(1).toString()});
    return pairs;
}

} // namespace

QByteArray StoreSim::Request::header(const QByteArray& name) const
{
    for (const auto& [n, v] : headers)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return QByteArray();
}

QString StoreSim::Request::field(const QString& name) const
{
    for (const auto& [n, v] : fields)
        if (n == name)
            return v;
    return QString();
}

QStringList StoreSim::Request::fieldValues(const QString& name) const
{
    QStringList values;
    for (const auto& [n, v] : fields)
        if (n == name)
            values.append(v);
    return values;
}

StoreSim::StoreSim() : StoreSim(Options()) {}

StoreSim::StoreSim(const Options& options) : m_options(options)
{
    m_password = options.password;
    m_stateFile = options.stateFile;
    if (m_stateFile.isEmpty()) {
        m_tempDir = std::make_unique<QTemporaryDir>();
        m_stateFile = m_tempDir->filePath(QStringLiteral("store.json"));
    }
    start(0);
}

StoreSim::~StoreSim()
{
    stop();
}

bool StoreSim::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running && m_port != 0;
}

QString StoreSim::baseUrl() const
{
    const bool tls = !m_options.certFile.isEmpty();
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_port);
}

QString StoreSim::url() const
{
    return baseUrl() + QStringLiteral("/cgi-bin/ordersentinel.cgi");
}

QString StoreSim::password() const
{
    // The program may have changed it with changepass: ask the store.
    int status = 0;
    const QByteArray answer =
        const_cast<StoreSim*>(this)->httpRequest("GET", QStringLiteral("state"), {}, &status);
    if (status != 200)
        return m_password;
    return QJsonDocument::fromJson(answer).object().value(QStringLiteral("password")).toString();
}

bool StoreSim::start(quint16 wantedPort)
{
    m_error.clear();
    m_port = m_controlPort = 0;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{QStringLiteral("--port"),       QString::number(wantedPort),
                     QStringLiteral("--bind"),       QStringLiteral("127.0.0.1"),
                     QStringLiteral("--state"),      m_stateFile,
                     QStringLiteral("--seed"),       m_options.seed,
                     QStringLiteral("--print-port"), QStringLiteral("--exit-with-parent")};
    if (!m_options.password.isEmpty())
        args << QStringLiteral("--password") << m_options.password;
    if (!m_options.certFile.isEmpty())
        args << QStringLiteral("--cert") << m_options.certFile << QStringLiteral("--key")
             << m_options.keyFile << QStringLiteral("--control-port") << QStringLiteral("0");
    if (!m_options.dateFormat.isEmpty())
        args << QStringLiteral("--date-format") << m_options.dateFormat;
    if (!m_options.decimalSeparator.isEmpty())
        args << QStringLiteral("--decimal-separator") << m_options.decimalSeparator;
    if (!m_options.charset.isEmpty())
        args << QStringLiteral("--charset") << m_options.charset;
    m_process->start(QStringLiteral(OS_STORESIM_EXE), args);
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("storesim did not start: %1").arg(m_process->errorString());
        return false;
    }
    QDeadlineTimer deadline(15000);
    bool ready = false;
    while (!ready && !deadline.hasExpired()) {
        if (!m_process->canReadLine() &&
            !m_process->waitForReadyRead(int(deadline.remainingTime())))
            break;
        while (m_process->canReadLine()) {
            const QByteArray line = m_process->readLine().trimmed();
            if (line.startsWith("PORT "))
                m_port = quint16(line.mid(5).toUInt());
            else if (line.startsWith("CONTROL_PORT "))
                m_controlPort = quint16(line.mid(13).toUInt());
            else if (line == "READY")
                ready = true;
        }
    }
    if (!ready || m_port == 0) {
        m_error = QStringLiteral("storesim did not report its port (exit code %1)")
                      .arg(m_process->exitCode());
        m_process->kill();
        m_process->waitForFinished(5000);
        m_port = 0;
        return false;
    }
    if (m_controlPort == 0)
        m_controlPort = m_port;
    // Listening is set up before READY is printed, but make sure it answers.
    for (int i = 0; i < 50; ++i) {
        int status = 0;
        httpRequest("GET", QStringLiteral("ping"), {}, &status);
        if (status == 200)
            return true;
        QThread::msleep(100);
    }
    m_error = QStringLiteral("storesim does not answer on port %1").arg(m_controlPort);
    return false;
}

void StoreSim::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

bool StoreSim::restart()
{
    const quint16 old = m_port;
    stop();
    // Same port when free, so URLs the test already holds stay valid.
    if (start(old))
        return true;
    stop();
    return start(0);
}

QByteArray StoreSim::httpRequest(const QByteArray& method, const QString& path,
                                 const QByteArray& body, int* status)
{
    *status = 0;
    if (m_controlPort == 0)
        return QByteArray();
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), m_controlPort);
    if (!socket.waitForConnected(5000))
        return QByteArray();
    QByteArray request = method + " /_sim/" + path.toUtf8() +
                         " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                         "Connection: close\r\nContent-Type: application/json\r\nContent-Length: " +
                         QByteArray::number(body.size()) + "\r\n\r\n" + body;
    socket.write(request);
    if (!socket.waitForBytesWritten(10000))
        return QByteArray();
    QByteArray response;
    QDeadlineTimer deadline(60000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        if (socket.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 1000))))
            response += socket.readAll();
    }
    response += socket.readAll();
    const qsizetype headerEnd = response.indexOf("\r\n\r\n");
    if (!response.startsWith("HTTP/1.") || headerEnd < 0)
        return QByteArray();
    *status = response.mid(9, 3).toInt();
    return response.mid(headerEnd + 4);
}

QJsonObject StoreSim::control(const QByteArray& method, const QString& path,
                              const QJsonObject& body)
{
    int status = 0;
    const QByteArray payload =
        method == "POST" ? QJsonDocument(body).toJson(QJsonDocument::Compact) : QByteArray();
    const QByteArray answer = httpRequest(method, path, payload, &status);
    const QJsonObject json = QJsonDocument::fromJson(answer).object();
    if (status != 200 || !json.value(QStringLiteral("ok")).toBool())
        fail(QStringLiteral("control %1 /_sim/%2 failed (status %3): %4")
                 .arg(QString::fromLatin1(method), path)
                 .arg(status)
                 .arg(json.value(QStringLiteral("error")).toString(QString::fromUtf8(answer))));
    return json;
}

QList<qint64> StoreSim::addOrders(const QJsonArray& orders)
{
    return ids(control("POST", QStringLiteral("orders"), {{QStringLiteral("orders"), orders}})
                   .value(QStringLiteral("invs")));
}

QList<qint64> StoreSim::generateOrders(int count, int invoiceBytes)
{
    return ids(control("POST", QStringLiteral("orders"),
                       {{QStringLiteral("generate"), count},
                        {QStringLiteral("invoiceSize"), invoiceBytes}})
                   .value(QStringLiteral("invs")));
}

QList<qint64> StoreSim::addAccounts(const QJsonArray& accounts)
{
    return ids(control("POST", QStringLiteral("accounts"), {{QStringLiteral("accounts"), accounts}})
                   .value(QStringLiteral("custids")));
}

QList<qint64> StoreSim::generateAccounts(int count)
{
    return ids(control("POST", QStringLiteral("accounts"), {{QStringLiteral("generate"), count}})
                   .value(QStringLiteral("custids")));
}

void StoreSim::addNote(qint64 inv, const QString& date, const QString& text)
{
    control("POST", QStringLiteral("notes"),
            {{QStringLiteral("notes"), QJsonArray{QJsonObject{{QStringLiteral("inv"), inv},
                                                              {QStringLiteral("date"), date},
                                                              {QStringLiteral("text"), text}}}}});
}

void StoreSim::addMark(qint64 inv, const QString& state)
{
    control("POST", QStringLiteral("marks"),
            {{QStringLiteral("marks"), QJsonArray{QJsonObject{{QStringLiteral("inv"), inv},
                                                              {QStringLiteral("state"), state}}}}});
}

void StoreSim::addStatus(qint64 inv, const QString& text)
{
    control(
        "POST", QStringLiteral("statuses"),
        {{QStringLiteral("statuses"),
          QJsonArray{QJsonObject{{QStringLiteral("inv"), inv}, {QStringLiteral("text"), text}}}}});
}

void StoreSim::addNotes(const QJsonArray& notes)
{
    control("POST", QStringLiteral("notes"), {{QStringLiteral("notes"), notes}});
}

void StoreSim::addMarks(const QJsonArray& marks)
{
    control("POST", QStringLiteral("marks"), {{QStringLiteral("marks"), marks}});
}

void StoreSim::addStatuses(const QJsonArray& statuses)
{
    control("POST", QStringLiteral("statuses"), {{QStringLiteral("statuses"), statuses}});
}

void StoreSim::addRaw(const QString& section, const QString& text)
{
    control("POST", QStringLiteral("raw"),
            {{QStringLiteral("section"), section}, {QStringLiteral("text"), text}});
}

void StoreSim::reset(const QString& seed)
{
    control("POST", QStringLiteral("reset"), {{QStringLiteral("seed"), seed}});
}

void StoreSim::setPassword(const QString& password)
{
    control("POST", QStringLiteral("password"), {{QStringLiteral("password"), password}});
    m_password = password;
}

void StoreSim::setLock(const QString& state)
{
    control("POST", QStringLiteral("lock"), {{QStringLiteral("state"), state}});
}

void StoreSim::setDateFormat(const QString& qtFormat)
{
    control("POST", QStringLiteral("format"), {{QStringLiteral("dateFormat"), qtFormat}});
}

void StoreSim::setDecimalSeparator(const QString& separator)
{
    control("POST", QStringLiteral("format"), {{QStringLiteral("decimalSeparator"), separator}});
}

QJsonObject StoreSim::state()
{
    return control("GET", QStringLiteral("state"));
}

StoreSim::Request StoreSim::lastRequest()
{
    const QJsonObject j = control("GET", QStringLiteral("last-request"));
    Request r;
    r.valid = j.value(QStringLiteral("valid")).toBool();
    r.method = j.value(QStringLiteral("method")).toString();
    r.path = j.value(QStringLiteral("path")).toString();
    for (const auto& [n, v] : pairs(j.value(QStringLiteral("headers"))))
        r.headers.append({n.toLatin1(), v.toLatin1()});
    r.body = j.value(QStringLiteral("body")).toString().toLatin1();
    r.fields = pairs(j.value(QStringLiteral("fields")));
    return r;
}

QList<QPair<QString, QString>> StoreSim::lastConfig()
{
    return pairs(control("GET", QStringLiteral("config")).value(QStringLiteral("fields")));
}

QStringList StoreSim::commands()
{
    QStringList list;
    for (const QJsonValue& v :
         control("GET", QStringLiteral("commands")).value(QStringLiteral("commands")).toArray())
        list.append(v.toString());
    return list;
}

void StoreSim::clearCommands()
{
    control("POST", QStringLiteral("commands/clear"));
}

void StoreSim::addFault(QJsonObject fault, int count, const QString& command)
{
    fault[QStringLiteral("count")] = count;
    if (!command.isEmpty())
        fault[QStringLiteral("command")] = command;
    control("POST", QStringLiteral("fault"), fault);
}

void StoreSim::failWithStatus(int status, const QString& reason, int count, const QString& command)
{
    QJsonObject f{{QStringLiteral("kind"), QStringLiteral("status")},
                  {QStringLiteral("status"), status}};
    if (!reason.isEmpty())
        f[QStringLiteral("reason")] = reason;
    addFault(f, count, command);
}

void StoreSim::delayReply(double seconds, int count, const QString& command)
{
    addFault(
        {{QStringLiteral("kind"), QStringLiteral("delay")}, {QStringLiteral("seconds"), seconds}},
        count, command);
}

void StoreSim::neverReply(int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("never")}}, count, command);
}

void StoreSim::cutOffReply(int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("cutoff")}}, count, command);
}

void StoreSim::cutReplyAt(qint64 at, const QString& length, int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("cutoff")},
              {QStringLiteral("at"), at},
              {QStringLiteral("length"), length}},
             count, command);
}

void StoreSim::endlessReply(int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("endless")}}, count, command);
}

void StoreSim::sectionTwice(const QString& section, int count, const QString& command)
{
    addFault(
        {{QStringLiteral("kind"), QStringLiteral("twice")}, {QStringLiteral("section"), section}},
        count, command);
}

void StoreSim::replyNonStore(int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("html")}}, count, command);
}

void StoreSim::redirectTo(const QString& location, int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("redirect")},
              {QStringLiteral("location"), location}},
             count, command);
}

void StoreSim::requireAuth(int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("auth")}}, count, command);
}

void StoreSim::bigReply(qint64 bytes, int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("big")}, {QStringLiteral("bytes"), bytes}},
             count, command);
}

void StoreSim::rawReply(const QByteArray& body, int count, const QString& command)
{
    addFault({{QStringLiteral("kind"), QStringLiteral("reply")},
              {QStringLiteral("base64"), QString::fromLatin1(body.toBase64())}},
             count, command);
}

void StoreSim::clearFaults()
{
    control("POST", QStringLiteral("clear-faults"));
}

} // namespace os::test
