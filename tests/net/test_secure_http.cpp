// The transfer client against the store simulator over HTTP and HTTPS (with
// certificates made by openssl for each run), and against a raw socket server
// for the reply shapes the simulator does not produce.

#include "common/file_utils.h"
#include "common/store_sim.h"
#include "common/test_certs.h"
#include "net/secure_http.h"
#include "net/transfer_errors.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using os::HttpError;
using os::SecureHTTP;
using os::test::StoreSim;
using os::test::TestCerts;

namespace {

// Everything the client reports during posts.
struct Recorder
{
    explicit Recorder(SecureHTTP& http)
    {
        QObject::connect(&http, &SecureHTTP::transfer,
                         [this](qint64 bytesSoFar, const QByteArray& chunk) {
                             counts.append(bytesSoFar);
                             chunks.append(chunk);
                             buffer.append(chunk);
                         });
        QObject::connect(&http, &SecureHTTP::status,
                         [this](const QString& text) { statuses.append(text); });
        QObject::connect(&http, &SecureHTTP::header,
                         [this](const QString& name, const QString& value) {
                             headers.append({name, value});
                         });
    }
    QString headerValue(const QString& name) const
    {
        for (const auto& [n, v] : headers)
            if (n.compare(name, Qt::CaseInsensitive) == 0)
                return v;
        return {};
    }

    QByteArray buffer;
    QList<QByteArray> chunks;
    QList<qint64> counts;
    QStringList statuses;
    QList<QPair<QString, QString>> headers;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray pollBody(const QString& password)
{
    return "crypt_keeper=" + password.toLatin1() + "&command=poll%5fserver";
}

// Runs the post and returns the error text, or an empty text on success.
QString postError(SecureHTTP& http, const QString& url, const QByteArray& body, const QString& file)
{
    try {
        http.post(url, body, QStringLiteral("application/x-www-form-urlencoded"), file);
    } catch (const HttpError& error) {
        return error.text();
    }
    return {};
}

const QString kFormType = QStringLiteral("application/x-www-form-urlencoded");

} // namespace

class TestSecureHttp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void postDeliversReplyToFileAndChunks();
    void sendsFixedRequestHeaders();
    void emptyReplyEmptiesTheFile();
    void progressTextsOfAPlainPost();
    void httpsWithTestAuthorityAccepted();
    void certificateOption_data();
    void certificateOption();
    void redirectToOtherSchemeRefused_data();
    void redirectToOtherSchemeRefused();
    void sameSchemeRedirectFollowed();
    void errorStatusGivesStatusLine_data();
    void errorStatusGivesStatusLine();
    void replyThatNeverComesIsInterrupted();
    void cutOffReplyFails();
    void unwritableLocalFile();
    void writeErrorOnLocalFile();
    void badUrls_data();
    void badUrls();
    void connectionRefused();
    void authenticationChallengeAnswered();
    void eventLoopRunsDuringPost();
    void intermediateStatusReported();
    void destroyedWhileWaiting();
    void quittingAbortsTheTransferAtOnce();
    void optionThatCannotBeAppliedFailsThePost();
    void resetClearsRequestHeaders();
    void unknownErrorNumberHasNoDescription();

private:
    std::unique_ptr<StoreSim> httpsSim(const TestCerts::Pair& pair);

    std::unique_ptr<TestCerts> m_certs;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSecureHttp::initTestCase()
{
    // Loopback must not go through a proxy the environment may name.
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        qunsetenv(name);
    qunsetenv(SecureHTTP::kCaFileVariable);
    m_certs = std::make_unique<TestCerts>();
    QVERIFY2(m_certs->isValid(), qPrintable(m_certs->error()));
}

void TestSecureHttp::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

std::unique_ptr<StoreSim> TestSecureHttp::httpsSim(const TestCerts::Pair& pair)
{
    StoreSim::Options options;
    options.certFile = pair.cert;
    options.keyFile = pair.key;
    auto sim = std::make_unique<StoreSim>(options);
    if (!sim->isRunning())
        qWarning("storesim: %s", qPrintable(sim->errorString()));
    return sim;
}

void TestSecureHttp::postDeliversReplyToFileAndChunks()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    const QString file = m_dir->filePath("~g3.tmp");
    {
        QFile old(file); // an older, longer reply must not shine through
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(300000, 'x'));
    }
    sim.bigReply(100000);

    SecureHTTP http;
    Recorder seen(http);
    http.post(sim.url(), pollBody(sim.password()), kFormType, file);

    QCOMPARE(http.statusCode(), 200);
    QCOMPARE(seen.buffer.size(), 100000);
    QVERIFY(seen.buffer.startsWith("VendixResponse:Big reply"));
    QCOMPARE(readFile(file), seen.buffer);
    // The older work file was made with default rights; replies hold card data.
    QCOMPARE(os::test::unixMode(file), 0600);
    qint64 total = 0;
    for (int i = 0; i < seen.chunks.size(); ++i) {
        QVERIFY(!seen.chunks[i].isEmpty());
        QVERIFY2(seen.chunks[i].size() <= SecureHTTP::kChunkSize,
                 qPrintable(QString::number(seen.chunks[i].size())));
        total += seen.chunks[i].size();
        QCOMPARE(seen.counts[i], total);
    }
    QCOMPARE(seen.headerValue("Server"), QStringLiteral("storesim/1.0"));
    QCOMPARE(seen.headerValue("Content-Length"), QStringLiteral("100000"));

    // A second post on the same object: an ordinary store reply, counted afresh.
    http.reset();
    Recorder second(http);
    http.post(sim.url(), pollBody(sim.password()), kFormType, file);
    QVERIFY(second.buffer.contains("VendixAction:POLLED\n"));
    QCOMPARE(second.counts.last(), qint64(second.buffer.size()));
    QCOMPARE(readFile(file), second.buffer);
}

void TestSecureHttp::sendsFixedRequestHeaders()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    SecureHTTP http;
    http.setUserAgent(QStringLiteral("Vendix Ordersentinel Version 1.2.3.4"));
    const QByteArray body = pollBody(sim.password());
    http.post(sim.url(), body, kFormType, m_dir->filePath("reply"));

    const StoreSim::Request request = sim.lastRequest();
    QVERIFY(request.valid);
    QCOMPARE(request.method, QStringLiteral("POST"));
    QCOMPARE(request.body, body);
    QCOMPARE(request.header("Accept"), QByteArray("text/html"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(request.header("Cache-Control"), QByteArray("no-cache"));
    QCOMPARE(request.header("Pragma"), QByteArray("no-cache"));
    QCOMPARE(request.header("User-Agent"), QByteArray("Vendix Ordersentinel Version 1.2.3.4"));
    QCOMPARE(request.header("Content-Length"), QByteArray::number(body.size()));
    QCOMPARE(request.header("Cookie"), QByteArray());
    QCOMPARE(request.header("Authorization"), QByteArray()); // only offered when asked
    QCOMPARE(request.header("Expect"), QByteArray());
}

void TestSecureHttp::emptyReplyEmptiesTheFile()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    const QString file = m_dir->filePath("~g1.tmp");
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the previous reply");
    }
    sim.rawReply(QByteArray());
    SecureHTTP http;
    Recorder seen(http);
    http.post(sim.url(), pollBody(sim.password()), kFormType, file);
    QVERIFY(seen.chunks.isEmpty());
    QVERIFY(QFile::exists(file));
    QCOMPARE(readFile(file), QByteArray());
}

void TestSecureHttp::progressTextsOfAPlainPost()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    SecureHTTP http;
    Recorder seen(http);
    http.post(sim.url(), pollBody(sim.password()), kFormType, m_dir->filePath("reply"));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(sim.port());
    const QStringList expected = {
        "Looking up the IP address 127.0.0.1",
        "Successfully found the IP address 127.0.0.1",
        "Connecting to the socket address " + address,
        "Successfully connected to " + address,
        "Sending the information request to the server.",
        "Successfully sent the information request to the server.",
        "Waiting for the server to respond to a request.",
        "Successfully received a response from the server.",
        "Closing the connection to the server.",
        "Successfully closed the connection to the server.",
    };
    QCOMPARE(seen.statuses.join('\n'), expected.join('\n'));
}

void TestSecureHttp::httpsWithTestAuthorityAccepted()
{
    auto sim = httpsSim(m_certs->valid());
    QVERIFY(sim->isRunning());
    QVERIFY(sim->url().startsWith("https://127.0.0.1:"));
    const QString file = m_dir->filePath("reply");

    SecureHTTP strict;
    strict.setExtraCaFile(m_certs->caCert());
    Recorder seen(strict);
    QCOMPARE(postError(strict, sim->url(), pollBody(sim->password()), file), QString());
    QVERIFY(seen.buffer.contains("VendixAction:POLLED\n"));
    QCOMPARE(readFile(file), seen.buffer);

    // The same authority named through the environment instead.
    qputenv(SecureHTTP::kCaFileVariable, QFile::encodeName(m_certs->caCert()));
    SecureHTTP fromEnvironment;
    const QString error = postError(fromEnvironment, sim->url(), pollBody(sim->password()), file);
    qunsetenv(SecureHTTP::kCaFileVariable);
    QCOMPARE(error, QString());

    // Without the test authority the system's store does not know it.
    SecureHTTP systemOnly;
    QCOMPARE(postError(systemOnly, sim->url(), pollBody(sim->password()), file),
             QStringLiteral("[12045] Invalid Certification Authority."));
}

void TestSecureHttp::certificateOption_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("ignoreInvalid");
    QTest::addColumn<QString>("error");
    const QString expired =
        QStringLiteral("[12037] The certificate has expired or is not yet valid.");
    const QString wrongName =
        QStringLiteral("[12038] The certificate's name does not match the server's name.");
    const QString unknownCa = QStringLiteral("[12045] Invalid Certification Authority.");
    QTest::newRow("valid, option off") << "valid" << false << QString();
    QTest::newRow("valid, option on") << "valid" << true << QString();
    QTest::newRow("expired, option off") << "expired" << false << expired;
    QTest::newRow("expired, option on") << "expired" << true << QString();
    QTest::newRow("wrong name, option off") << "wrongName" << false << wrongName;
    QTest::newRow("wrong name, option on") << "wrongName" << true << QString();
    QTest::newRow("unknown authority, option off") << "unknownCa" << false << unknownCa;
    QTest::newRow("unknown authority, option on") << "unknownCa" << true << unknownCa;
}

void TestSecureHttp::certificateOption()
{
    QFETCH(QString, kind);
    QFETCH(bool, ignoreInvalid);
    QFETCH(QString, error);
    const TestCerts::Pair pair = kind == "valid"       ? m_certs->valid()
                                 : kind == "expired"   ? m_certs->expired()
                                 : kind == "wrongName" ? m_certs->wrongName()
                                                       : m_certs->unknownCa();
    auto sim = httpsSim(pair);
    QVERIFY(sim->isRunning());
    const QString file = m_dir->filePath("reply");
    SecureHTTP http;
    http.setExtraCaFile(m_certs->caCert());
    http.setIgnoreInvalidCert(ignoreInvalid);
    Recorder seen(http);
    QCOMPARE(postError(http, sim->url(), pollBody(sim->password()), file), error);
    if (error.isEmpty()) {
        QVERIFY(seen.buffer.contains("VendixAction:POLLED\n"));
    } else {
        QVERIFY(seen.chunks.isEmpty());
        QVERIFY(!QFile::exists(file));
        QVERIFY(!seen.statuses.contains("Sending the information request to the server."));
    }
}

void TestSecureHttp::redirectToOtherSchemeRefused_data()
{
    QTest::addColumn<bool>("fromHttps");
    QTest::addColumn<QString>("error");
    QTest::newRow("https to http")
        << true << "[12040] The redirection from a secure to a non-secure site was refused.";
    QTest::newRow("http to https")
        << false << "[12039] The redirection from a non-secure to a secure site was refused.";
}

void TestSecureHttp::redirectToOtherSchemeRefused()
{
    QFETCH(bool, fromHttps);
    QFETCH(QString, error);
    StoreSim plain;
    auto secure = httpsSim(m_certs->valid());
    QVERIFY(plain.isRunning() && secure->isRunning());
    StoreSim& from = fromHttps ? *secure : plain;
    StoreSim& to = fromHttps ? plain : *secure;
    for (bool ignoreInvalid : {false, true}) {
        from.redirectTo(to.url());
        to.clearCommands();
        SecureHTTP http;
        http.setExtraCaFile(m_certs->caCert());
        http.setIgnoreInvalidCert(ignoreInvalid);
        Recorder seen(http);
        QCOMPARE(postError(http, from.url(), pollBody(from.password()), m_dir->filePath("reply")),
                 error);
        QVERIFY(seen.chunks.isEmpty());
        QVERIFY(to.commands().isEmpty()); // nothing reached the other site
        QCOMPARE(http.statusCode(), 302);
    }
}

void TestSecureHttp::sameSchemeRedirectFollowed()
{
    StoreSim moved;
    auto secure = httpsSim(m_certs->valid());
    QVERIFY(moved.isRunning() && secure->isRunning());
    StoreSim target;
    QVERIFY(target.isRunning());

    // A 307 keeps the POST and its body: the store at the new place answers the command.
    moved.control("POST", "fault",
                  QJsonObject{{"kind", "redirect"}, {"location", target.url()}, {"status", 307}});
    SecureHTTP http;
    Recorder seen(http);
    http.post(moved.url(), pollBody(target.password()), kFormType, m_dir->filePath("reply"));
    QVERIFY(seen.buffer.contains("VendixAction:POLLED\n"));
    QCOMPARE(target.commands(), QStringList{"poll_server"});
    QVERIFY2(
        seen.statuses.contains(
            "An HTTP request is about to automatically redirect the request to " + target.url()),
        qPrintable(seen.statuses.join('\n')));
    QCOMPARE(seen.statuses.count("Successfully connected to 127.0.0.1:" +
                                 QString::number(target.port())),
             1);

    // Over HTTPS, a relative Location on the same site.
    const QString path = QUrl(secure->url()).path();
    secure->redirectTo(path);
    SecureHTTP tls;
    tls.setExtraCaFile(m_certs->caCert());
    Recorder tlsSeen(tls);
    tls.post(secure->url(), pollBody(secure->password()), kFormType, m_dir->filePath("reply"));
    QVERIFY(tlsSeen.statuses.contains(
        "An HTTP request is about to automatically redirect the request to " + secure->url()));
    QCOMPARE(tls.statusCode(), 200);
}

void TestSecureHttp::errorStatusGivesStatusLine_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::newRow("500") << 500 << "500 Internal Server Error";
    QTest::newRow("404") << 404 << "404 Not Found";
    QTest::newRow("503") << 503 << "503 Service Unavailable";
}

void TestSecureHttp::errorStatusGivesStatusLine()
{
    QFETCH(int, status);
    QFETCH(QString, error);
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.failWithStatus(status);
    const QString file = m_dir->filePath("~g1.tmp");
    SecureHTTP http;
    Recorder seen(http);
    QCOMPARE(postError(http, sim.url(), pollBody(sim.password()), file), error);
    QCOMPARE(http.statusCode(), status);
    QVERIFY(seen.chunks.isEmpty()); // an error page is not the reply
    QVERIFY(!QFile::exists(file));
}

void TestSecureHttp::replyThatNeverComesIsInterrupted()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.neverReply();
    SecureHTTP http;
    http.setTimeoutSeconds(1);
    Recorder seen(http);
    QElapsedTimer clock;
    clock.start();
    const QString error =
        postError(http, sim.url(), pollBody(sim.password()), m_dir->filePath("reply"));
    const qint64 elapsed = clock.elapsed();
    sim.clearFaults();
    QCOMPARE(error, QStringLiteral("Interrupted."));
    QVERIFY2(elapsed >= 900 && elapsed < 5000, qPrintable(QString::number(elapsed)));
    QVERIFY(seen.statuses.contains("Waiting for the server to respond to a request."));
    QVERIFY(!seen.statuses.contains("Successfully received a response from the server."));
}

void TestSecureHttp::cutOffReplyFails()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.cutOffReply();
    SecureHTTP http;
    Recorder seen(http);
    QCOMPARE(postError(http, sim.url(), pollBody(sim.password()), m_dir->filePath("reply")),
             QStringLiteral("[12030] The connection with the server was terminated abnormally."));
    QVERIFY(!seen.buffer.isEmpty()); // what came before the cut was delivered
}

void TestSecureHttp::unwritableLocalFile()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    SecureHTTP http;
    Recorder seen(http);
    QCOMPARE(postError(http, sim.url(), pollBody(sim.password()),
                       m_dir->filePath("missing/dir/~g1.tmp")),
             QStringLiteral("Can't open local file for writing."));
    QVERIFY(seen.chunks.isEmpty());

    // A directory in place of the work file; an empty reply must fail the same way.
    const QString blocked = m_dir->filePath("~g3.tmp");
    QVERIFY(QDir().mkpath(blocked));
    sim.rawReply(QByteArray());
    QCOMPARE(postError(http, sim.url(), pollBody(sim.password()), blocked),
             QStringLiteral("Can't open local file for writing."));
}

void TestSecureHttp::writeErrorOnLocalFile()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    SecureHTTP http;
    Recorder seen(http);
    // A full disk (a file-size limit plays it): the reply fails while it
    // streams in, the message names the file, and nothing of it is left.
    const QString workFile = m_dir->filePath("~g1.tmp");
    QVERIFY(os::test::writeAll(workFile, "an older reply"));
    sim.bigReply(2000000);
    QString error;
    os::test::withFullDisk(
        [&] { error = postError(http, sim.url(), pollBody(sim.password()), workFile); }, 64 * 1024);
    QCOMPARE(error, QStringLiteral("The disk is full: the reply could not be written to \"%1\".")
                        .arg(QDir::toNativeSeparators(workFile)));
    QVERIFY(!QFile::exists(workFile));
    QVERIFY(seen.buffer.size() <= 64 * 1024);
}

void TestSecureHttp::badUrls_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("error");
    const QString scheme = QStringLiteral("Specified URLScheme is invalid.");
    const QString host = QStringLiteral("No server specified in URL.");
    QTest::newRow("ftp") << "ftp://127.0.0.1/cgi-bin/ordersentinel.cgi" << scheme;
    QTest::newRow("no scheme") << "store.example.com/cgi-bin/ordersentinel.cgi" << scheme;
    QTest::newRow("empty") << "" << scheme;
    QTest::newRow("http without host") << "http:///cgi-bin/ordersentinel.cgi" << host;
    QTest::newRow("https without host") << "https://:8443/cgi-bin/ordersentinel.cgi" << host;
}

void TestSecureHttp::badUrls()
{
    QFETCH(QString, url);
    QFETCH(QString, error);
    SecureHTTP http;
    Recorder seen(http);
    QCOMPARE(postError(http, url, "a=b", m_dir->filePath("reply")), error);
    QVERIFY(seen.statuses.isEmpty());
    QVERIFY(!http.isBusy());
}

void TestSecureHttp::connectionRefused()
{
    // A port that was just free: nothing listens there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    SecureHTTP http;
    QCOMPARE(postError(http, QStringLiteral("http://127.0.0.1:%1/x").arg(port), "a=b",
                       m_dir->filePath("reply")),
             QStringLiteral("[12029] A connection with the server could not be established."));
}

void TestSecureHttp::authenticationChallengeAnswered()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.requireAuth();
    SecureHTTP http;
    Recorder seen(http);
    http.post(sim.url(), pollBody(sim.password()), kFormType, m_dir->filePath("reply"));
    QVERIFY(seen.buffer.contains("VendixAction:POLLED\n"));
    QVERIFY(!seen.buffer.contains("Unauthorized")); // the challenge page is not part of the reply
    QCOMPARE(sim.lastRequest().header("Authorization"),
             "Basic " + QByteArray("osdesk:sentinel1").toBase64());
}

void TestSecureHttp::eventLoopRunsDuringPost()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.delayReply(1.0);
    int ticks = 0;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start();
    SecureHTTP http;
    bool busyDuringPost = false;
    QTimer::singleShot(200, [&] { busyDuringPost = http.isBusy(); });
    http.post(sim.url(), pollBody(sim.password()), kFormType, m_dir->filePath("reply"));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    QVERIFY(busyDuringPost);
    QVERIFY(!http.isBusy());

    // A second post while one runs is refused; the first still completes.
    sim.delayReply(0.5);
    QString nestedError;
    QTimer::singleShot(
        100, [&] { nestedError = postError(http, sim.url(), "x", m_dir->filePath("other")); });
    http.post(sim.url(), pollBody(sim.password()), kFormType, m_dir->filePath("reply"));
    QCOMPARE(nestedError, QStringLiteral("A transfer is already in progress."));
    QVERIFY(!QFile::exists(m_dir->filePath("other")));
}

void TestSecureHttp::intermediateStatusReported()
{
    // The simulator never sends a 1xx reply; a raw server on this thread
    // does (it is served by the client's own wait loop).
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QByteArray received;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, [socket, &received] {
            received += socket->readAll();
            if (!received.contains("\r\n\r\na=b"))
                return;
            socket->write("HTTP/1.1 102 Processing\r\n\r\n"
                          "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
            socket->disconnectFromHost();
        });
    });
    SecureHTTP http;
    Recorder seen(http);
    const QString file = m_dir->filePath("reply");
    http.post(QStringLiteral("http://127.0.0.1:%1/cgi").arg(server.serverPort()), "a=b", kFormType,
              file);
    QCOMPARE(seen.buffer, QByteArray("hello"));
    QCOMPARE(readFile(file), QByteArray("hello"));
    QCOMPARE(seen.statuses.count(
                 "Received an intermediate (100 level) status code message from the server."),
             1);
    const int intermediate = seen.statuses.indexOf(
        "Received an intermediate (100 level) status code message from the server.");
    QVERIFY(intermediate <
            seen.statuses.indexOf("Successfully received a response from the server."));
}

void TestSecureHttp::destroyedWhileWaiting()
{
    // The window that owns the client may go while a post waits: the worker
    // is stopped and the post ends as interrupted.
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.neverReply();
    auto* http = new SecureHTTP;
    QTimer::singleShot(300, [http] { delete http; });
    QElapsedTimer clock;
    clock.start();
    const QString error =
        postError(*http, sim.url(), pollBody(sim.password()), m_dir->filePath("reply"));
    sim.clearFaults();
    QCOMPARE(error, QStringLiteral("Interrupted."));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
}

void TestSecureHttp::quittingAbortsTheTransferAtOnce()
{
    // Quitting ends every local event loop, the post's wait included: the
    // transfer in flight is aborted then, not waited out until its time-out
    // (120 s here, and the store would hold the reply for ten minutes).
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.neverReply(2);
    SecureHTTP http;
    QTimer::singleShot(300, [] { QCoreApplication::exit(0); });
    QElapsedTimer clock;
    clock.start();
    const QString file = m_dir->filePath("reply");
    QCOMPARE(postError(http, sim.url(), pollBody(sim.password()), file),
             QStringLiteral("Interrupted."));
    // A post made while the program quits (a session's closing step) ends
    // the same way.
    QCOMPARE(postError(http, sim.url(), pollBody(sim.password()), file),
             QStringLiteral("Interrupted."));
    const qint64 elapsed = clock.elapsed();
    sim.clearFaults();
    QVERIFY2(elapsed < 60000, qPrintable(QString::number(elapsed)));
    QVERIFY(!http.isBusy());
    // Back to normal event processing for the tests that follow.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    http.post(sim.url(), pollBody(sim.password()), kFormType, file);
    QCOMPARE(http.statusCode(), 200);
}

void TestSecureHttp::optionThatCannotBeAppliedFailsThePost()
{
    // libcurl refuses a text option longer than 8 MB. Such a post used to go
    // out without the option; it now fails before anything is sent.
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    SecureHTTP http;
    http.setUserAgent(QString(8 * 1000 * 1000 + 1, QLatin1Char('a')));
    QCOMPARE(postError(http, sim.url(), pollBody(sim.password()), m_dir->filePath("reply")),
             QStringLiteral("[43] A libcurl function was given a bad argument."));
    QCOMPARE(sim.commands(), QStringList());
}

void TestSecureHttp::resetClearsRequestHeaders()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    SecureHTTP http;
    http.setRequestHeader("X-Test", "one");
    http.setRequestHeader("x-test", "two");
    http.post(sim.url(), pollBody(sim.password()), kFormType, m_dir->filePath("reply"));
    QCOMPARE(sim.lastRequest().header("X-Test"), QByteArray("two"));
    http.reset();
    http.post(sim.url(), pollBody(sim.password()), kFormType, m_dir->filePath("reply"));
    QCOMPARE(sim.lastRequest().header("X-Test"), QByteArray());
    QCOMPARE(http.statusCode(), 200);
}

void TestSecureHttp::unknownErrorNumberHasNoDescription()
{
    QCOMPARE(os::transferErrorText(9999, 0, 0),
             QStringLiteral("[9999] (no description available)"));
    QCOMPARE(os::numberedErrorText(12045, QString()),
             QStringLiteral("[12045] (no description available)"));
}

QTEST_GUILESS_MAIN(TestSecureHttp)
#include "test_secure_http.moc"
