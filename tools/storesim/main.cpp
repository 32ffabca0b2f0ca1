// storesim: plays the store script for tests, benchmarks and the demo.
// See README.md in this directory for the command line and the control API.

#include "charset.h"
#include "store.h"

#include <httplib.h>

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using storesim::Fields;

const char* const kStorePath = "/cgi-bin/ordersentinel.cgi";
// The desktop program's fixed credentials for a server that asks for them.
const char* const kAuthUser = "osdesk";
const char* const kAuthPassword = "sentinel1";

struct Fault
{
    QString kind;
    QString command; // empty: any command
    int count = 1;
    QJsonObject params;
};

struct LastRequest
{
    bool valid = false;
    QString method, path;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    Fields fields;
};

// Everything the handlers share; one mutex guards it all. Handlers that wait
// (delay, never) release it while waiting.
class Simulator
{
public:
    explicit Simulator(storesim::Store& store) : m_store(store) {}

    void storeRequest(const httplib::Request& req, httplib::Response& res,
                      const QByteArray& postBody);
    void controlRequest(const httplib::Request& req, httplib::Response& res);
    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_all();
    }

    int port = 0;
    bool tls = false;

private:
    bool takeFault(const QString& command, const httplib::Request& req, Fault* fault);
    void answer(httplib::Response& res, const QByteArray& body);
    void control(const QString& what, const QJsonObject& body, const std::string& method,
                 QJsonObject& out);

    storesim::Store& m_store;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Fault> m_faults;
    quint64 m_faultGeneration = 0; // bumped by clear-faults to release held replies
    bool m_stopping = false;
    LastRequest m_last;
    QStringList m_commands;
};

bool authOk(const httplib::Request& req)
{
    const std::string expected =
        "Basic " + QByteArray(QByteArray(kAuthUser) + ':' + kAuthPassword).toBase64().toStdString();
    return req.get_header_value("Authorization") == expected;
}

bool Simulator::takeFault(const QString& command, const httplib::Request& req, Fault* fault)
{
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (!it->command.isEmpty() && it->command != command)
            continue;
        *fault = *it;
        // A challenge stays until an authenticated request has passed it.
        if (it->kind == QLatin1String("auth") && !authOk(req))
            return true;
        if (--it->count <= 0)
            m_faults.erase(it);
        return true;
    }
    return false;
}

void Simulator::answer(httplib::Response& res, const QByteArray& body)
{
    res.status = 200;
    res.set_header("Server", "storesim/1.0");
    if (body.isEmpty()) {
        res.set_content(std::string(), "text/html");
        return;
    }
    // Served from the reply itself: a big delivery is not copied again.
    auto data = std::make_shared<QByteArray>(body);
    res.set_content_provider(size_t(data->size()), "text/html",
                             [data](size_t offset, size_t length, httplib::DataSink& sink) {
                                 sink.write(data->constData() + offset,
                                            std::min<size_t>(length, 1 << 20));
                                 return true;
                             });
}

QByteArray errorPage(int status, const QString& reason)
{
    return QStringLiteral(
               "<html><head><title>%1 %2</title></head><body><h1>%2</h1>"
               "<p>The server encountered an error and could not complete your request.</p>"
               "<hr><address>Apache Server at store.example.com Port 80</address></body></html>\n")
        .arg(status)
        .arg(reason.toHtmlEscaped())
        .toUtf8();
}

// 700 filler lines of 100 bytes (99 letters and a line feed), plus one spare
// line, so that any offset into an endless run of them is one copy.
std::shared_ptr<std::string> fillerBlock()
{
    auto block = std::make_shared<std::string>();
    for (int i = 0; i < 701; ++i) {
        for (int c = 0; c < 99; ++c)
            block->push_back(char('a' + c % 26));
        block->push_back('\n');
    }
    return block;
}

// Writes up to `length` bytes of `head` followed by endless filler lines,
// from `offset` on; returns how many it wrote (0 when the client is gone).
size_t writeFiller(const std::string& head, const std::string& block, size_t offset, size_t length,
                   httplib::DataSink& sink)
{
    if (offset < head.size()) {
        const size_t n = std::min(length, head.size() - offset);
        return sink.write(head.data() + offset, n) ? n : 0;
    }
    const size_t start = (offset - head.size()) % 100;
    const size_t n = std::min(length, block.size() - 100);
    return sink.write(block.data() + start, n) ? n : 0;
}

// The reply with one section sent as two blocks (the records split between
// them, or the only record repeated): a store that writes a section twice.
QByteArray sectionTwice(const QByteArray& reply, const QString& section)
{
    const QByteArray start = "STARTVendixResponse|" + section.toUtf8() + ':';
    const QByteArray end = "ENDVendixResponse|" + section.toUtf8() + ':';
    const qsizetype s = reply.indexOf(start);
    const qsizetype e = reply.indexOf(end);
    if (s < 0 || e < s)
        return reply;
    const QByteArray body = reply.mid(s + start.size(), e - s - start.size());
    QList<QByteArray> lines = body.split('\n');
    lines.removeAll(QByteArray());
    const qsizetype half = std::max<qsizetype>(1, lines.size() / 2);
    QByteArray first = '\n' + lines.mid(0, half).join('\n') + '\n';
    QByteArray second = '\n' + (lines.size() > 1 ? lines.mid(half) : lines).join('\n') + '\n';
    return reply.left(s) + start + first + end + '\n' + start + second + end +
           reply.mid(e + end.size());
}

void Simulator::storeRequest(const httplib::Request& req, httplib::Response& res,
                             const QByteArray& postBody)
{
    const QByteArray body = req.method == "POST"
                                ? postBody
                                : QByteArray::fromStdString(req.target.substr(
                                      std::min(req.target.size(), req.target.find('?') + 1)));
    const Fields fields = storesim::decodeForm(body);
    QString command;
    for (const auto& f : fields)
        if (f.first == QLatin1String("command")) {
            command = f.second;
            break;
        }
    Fault fault;
    bool faulty = false;
    quint64 generation = 0;
    {
        std::lock_guard lock(m_mutex);
        m_last.valid = true;
        m_last.method = QString::fromStdString(req.method);
        m_last.path = QString::fromStdString(req.path);
        m_last.headers.clear();
        for (const auto& [name, value] : req.headers)
            if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
                name != "LOCAL_PORT")
                m_last.headers.append(
                    {QByteArray::fromStdString(name), QByteArray::fromStdString(value)});
        m_last.body = body;
        m_last.fields = fields;
        m_commands.append(command);
        faulty = takeFault(command, req, &fault);
        generation = m_faultGeneration;
    }
    const QString kind = faulty ? fault.kind : QString();

    if (kind == QLatin1String("delay")) {
        std::unique_lock lock(m_mutex);
        const auto ms = std::chrono::milliseconds(
            qint64(fault.params.value(QStringLiteral("seconds")).toDouble(1) * 1000));
        m_wake.wait_for(lock, ms, [&] { return m_stopping || m_faultGeneration != generation; });
    } else if (kind == QLatin1String("never")) {
        // Held until the test clears the faults, the server stops or ten minutes pass.
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::minutes(10),
                        [&] { return m_stopping || m_faultGeneration != generation; });
        res.status = 503;
        res.set_content("released\n", "text/plain");
        return;
    } else if (kind == QLatin1String("status")) {
        const int status = fault.params.value(QStringLiteral("status")).toInt(500);
        res.status = status;
        res.reason = fault.params.value(QStringLiteral("reason")).toString().toStdString();
        const QByteArray page = errorPage(
            status, fault.params.value(QStringLiteral("reason")).toString(QStringLiteral("Error")));
        res.set_content(page.constData(), size_t(page.size()), "text/html");
        return;
    } else if (kind == QLatin1String("html")) {
        answer(res, errorPage(500, QStringLiteral("Internal Server Error")));
        return;
    } else if (kind == QLatin1String("redirect")) {
        res.set_redirect(fault.params.value(QStringLiteral("location")).toString().toStdString(),
                         fault.params.value(QStringLiteral("status")).toInt(302));
        return;
    } else if (kind == QLatin1String("auth") && !authOk(req)) {
        res.status = 401;
        res.set_header("WWW-Authenticate", "Basic realm=\"Vendix Store\"");
        res.set_content(errorPage(401, QStringLiteral("Unauthorized")).toStdString(), "text/html");
        return;
    } else if (kind == QLatin1String("reply")) {
        // Bytes exactly as the test gave them (base64), in whatever set.
        answer(res, QByteArray::fromBase64(
                        fault.params.value(QStringLiteral("base64")).toString().toLatin1()));
        return;
    } else if (kind == QLatin1String("big")) {
        // Made while it is sent, so a 50 MB reply costs no 50 MB of memory.
        const size_t total = size_t(fault.params.value(QStringLiteral("bytes")).toInteger(1 << 20));
        const auto head =
            std::make_shared<std::string>("VendixResponse:Big reply\nVendixAction:BIG\n");
        auto block = fillerBlock();
        res.status = 200;
        res.set_header("Server", "storesim/1.0");
        res.set_content_provider(
            total, "text/html",
            [head, block](size_t offset, size_t length, httplib::DataSink& sink) {
                writeFiller(*head, *block, offset, length, sink);
                return true;
            });
        return;
    } else if (kind == QLatin1String("endless")) {
        // A delivery whose Orders section never ends: filler lines until the
        // client goes away. No Content-Length, so only the client can stop it.
        const auto head = std::make_shared<std::string>(
            "VendixResponse:Endless "
            "reply\nVendixAction:DataSuccess\nSTARTVendixResponse|Orders:\n");
        auto block = fillerBlock();
        res.status = 200;
        res.set_header("Server", "storesim/1.0");
        auto offset = std::make_shared<size_t>(0);
        res.set_content_provider(
            "text/html", [head, block, offset](size_t, httplib::DataSink& sink) {
                const size_t n = writeFiller(*head, *block, *offset, size_t(1) << 20, sink);
                *offset += n;
                return n > 0;
            });
        return;
    }
    QByteArray reply;
    {
        std::lock_guard lock(m_mutex);
        reply = m_store.handle(fields);
    }
    if (kind == QLatin1String("cutoff")) {
        // The first `at` bytes of the reply (all by default), then the
        // connection closes. "length": "double" promises twice the reply
        // (a cut the client sees), "none" sends no Content-Length (the body
        // simply ends), "short" promises `at` bytes and sends the whole reply.
        const QString length =
            fault.params.value(QStringLiteral("length")).toString(QStringLiteral("double"));
        const qint64 at = fault.params.value(QStringLiteral("at")).toInteger(reply.size());
        auto data = std::make_shared<std::string>(reply.toStdString());
        const size_t cut = std::min<size_t>(size_t(std::max<qint64>(0, at)), data->size());
        res.status = 200;
        res.set_header("Server", "storesim/1.0");
        if (length == QLatin1String("none")) {
            res.set_header("Connection", "close");
            auto sent = std::make_shared<bool>(false);
            res.set_content_provider("text/html",
                                     [data, cut, sent](size_t, httplib::DataSink& sink) {
                                         if (!*sent && cut > 0)
                                             sink.write(data->data(), cut);
                                         *sent = true;
                                         sink.done();
                                         return true;
                                     });
        } else if (length == QLatin1String("short")) {
            res.set_content_provider(cut, "text/html",
                                     [data](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset == 0)
                                             sink.write(data->data(), data->size());
                                         return true;
                                     });
        } else {
            res.set_content_provider(data->size() * 2, "text/html",
                                     [data, cut](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset < cut)
                                             sink.write(data->data() + offset, cut - offset);
                                         return false;
                                     });
        }
        return;
    }
    if (kind == QLatin1String("twice"))
        reply = sectionTwice(
            reply,
            fault.params.value(QStringLiteral("section")).toString(QStringLiteral("Orders")));
    answer(res, reply);
}

QJsonObject parseBody(const httplib::Request& req, bool* ok)
{
    *ok = true;
    if (req.body.empty())
        return {};
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject())
        *ok = false;
    return doc.object();
}

QJsonArray idsJson(const QList<qint64>& ids)
{
    QJsonArray a;
    for (qint64 id : ids)
        a.append(id);
    return a;
}

QJsonArray pairsJson(const QList<QPair<QString, QString>>& pairs)
{
    QJsonArray a;
    for (const auto& [n, v] : pairs)
        a.append(QJsonArray{n, v});
    return a;
}

struct ControlError
{
    QString text;
};

void Simulator::control(const QString& what, const QJsonObject& b, const std::string& method,
                        QJsonObject& out)
{
    const bool post = method == "POST";
    auto needPost = [&] {
        if (!post)
            throw ControlError{QStringLiteral("%1 needs POST").arg(what)};
    };
    if (what == QLatin1String("ping")) {
        out[QStringLiteral("port")] = port;
        out[QStringLiteral("tls")] = tls;
    } else if (what == QLatin1String("state")) {
        out = m_store.stateJson();
    } else if (what == QLatin1String("reset")) {
        needPost();
        m_store.reset(b.value(QStringLiteral("seed")).toString(QStringLiteral("empty")));
    } else if (what == QLatin1String("orders")) {
        needPost();
        QList<qint64> invs = m_store.addOrders(b.value(QStringLiteral("orders")).toArray());
        if (b.contains(QStringLiteral("generate")))
            invs += m_store.generateOrders(b.value(QStringLiteral("generate")).toInt(),
                                           b.value(QStringLiteral("invoiceSize")).toInt());
        out[QStringLiteral("invs")] = idsJson(invs);
    } else if (what == QLatin1String("accounts")) {
        needPost();
        QList<qint64> ids = m_store.addAccounts(b.value(QStringLiteral("accounts")).toArray());
        if (b.contains(QStringLiteral("generate")))
            ids += m_store.generateAccounts(b.value(QStringLiteral("generate")).toInt());
        out[QStringLiteral("custids")] = idsJson(ids);
    } else if (what == QLatin1String("notes")) {
        needPost();
        for (const QJsonValue& v : b.value(QStringLiteral("notes")).toArray())
            m_store.addNote(v[QStringLiteral("inv")].toInteger(),
                            v[QStringLiteral("date")].toString(),
                            v[QStringLiteral("text")].toString());
    } else if (what == QLatin1String("marks")) {
        needPost();
        for (const QJsonValue& v : b.value(QStringLiteral("marks")).toArray())
            m_store.addMark(v[QStringLiteral("inv")].toInteger(),
                            v[QStringLiteral("state")].toString());
    } else if (what == QLatin1String("statuses")) {
        needPost();
        for (const QJsonValue& v : b.value(QStringLiteral("statuses")).toArray())
            m_store.addStatus(v[QStringLiteral("inv")].toInteger(),
                              v[QStringLiteral("text")].toString());
    } else if (what == QLatin1String("raw")) {
        needPost();
        if (!m_store.addRaw(b.value(QStringLiteral("section")).toString(),
                            b.value(QStringLiteral("text")).toString()))
            throw ControlError{QStringLiteral("unknown section")};
    } else if (what == QLatin1String("password")) {
        needPost();
        m_store.setPassword(b.value(QStringLiteral("password")).toString());
    } else if (what == QLatin1String("lock")) {
        needPost();
        if (!m_store.setLock(b.value(QStringLiteral("state")).toString()))
            throw ControlError{QStringLiteral("unknown lock state")};
    } else if (what == QLatin1String("format")) {
        needPost();
        m_store.setFormat(b.value(QStringLiteral("dateFormat")).toString(),
                          b.value(QStringLiteral("decimalSeparator")).toString());
    } else if (what == QLatin1String("last-request")) {
        out[QStringLiteral("valid")] = m_last.valid;
        out[QStringLiteral("method")] = m_last.method;
        out[QStringLiteral("path")] = m_last.path;
        QJsonArray headers;
        for (const auto& [n, v] : m_last.headers)
            headers.append(QJsonArray{QString::fromLatin1(n), QString::fromLatin1(v)});
        out[QStringLiteral("headers")] = headers;
        out[QStringLiteral("body")] = QString::fromLatin1(m_last.body);
        out[QStringLiteral("fields")] = pairsJson(m_last.fields);
    } else if (what == QLatin1String("config")) {
        out[QStringLiteral("fields")] = m_store.configJson();
        out[QStringLiteral("received")] = m_store.configReceived();
    } else if (what == QLatin1String("commands")) {
        out[QStringLiteral("commands")] = QJsonArray::fromStringList(m_commands);
    } else if (what == QLatin1String("commands/clear")) {
        needPost();
        m_commands.clear();
    } else if (what == QLatin1String("fault")) {
        needPost();
        static const QStringList kinds = {
            QStringLiteral("status"),  QStringLiteral("delay"), QStringLiteral("never"),
            QStringLiteral("cutoff"),  QStringLiteral("html"),  QStringLiteral("redirect"),
            QStringLiteral("auth"),    QStringLiteral("big"),   QStringLiteral("reply"),
            QStringLiteral("endless"), QStringLiteral("twice")};
        Fault f;
        f.kind = b.value(QStringLiteral("kind")).toString();
        if (!kinds.contains(f.kind))
            throw ControlError{QStringLiteral("unknown fault kind \"%1\"").arg(f.kind)};
        f.command = b.value(QStringLiteral("command")).toString();
        f.count = b.value(QStringLiteral("count")).toInt(1);
        f.params = b;
        if (f.count > 0)
            m_faults.push_back(f);
        out[QStringLiteral("queued")] = int(m_faults.size());
    } else if (what == QLatin1String("clear-faults")) {
        needPost();
        m_faults.clear();
        ++m_faultGeneration;
        m_wake.notify_all();
    } else {
        throw ControlError{QStringLiteral("unknown control request \"%1\"").arg(what)};
    }
}

void Simulator::controlRequest(const httplib::Request& req, httplib::Response& res)
{
    const QString what = QString::fromStdString(req.path).mid(int(sizeof("/_sim/")) - 1);
    bool ok = false;
    const QJsonObject body = parseBody(req, &ok);
    QJsonObject out;
    try {
        if (!ok)
            throw ControlError{QStringLiteral("the body is not a JSON object")};
        std::lock_guard lock(m_mutex);
        control(what, body, req.method, out);
        if (req.method == "POST") {
            m_store.listsChanged();
            QString error;
            if (!m_store.save(&error))
                throw ControlError{error};
        }
        out[QStringLiteral("ok")] = true;
        res.status = 200;
    } catch (const ControlError& e) {
        out = QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), e.text}};
        res.status = 400;
    }
    res.set_content(QJsonDocument(out).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json");
}

void route(httplib::Server& server, Simulator& sim, bool withStore)
{
    // Plenty of workers: held and slow replies must not starve the others.
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    server.set_read_timeout(30);
    server.set_payload_max_length(size_t(1) << 30);
    server.set_write_timeout(120);
    auto control = [&sim](const httplib::Request& req, httplib::Response& res) {
        sim.controlRequest(req, res);
    };
    server.Get(R"(/_sim/.*)", control);
    server.Post(R"(/_sim/.*)", control);
    if (withStore) {
        // The body is read here rather than by the server: the library refuses
        // form posts over 8 KB, and a configuration post with rate tables is larger.
        server.Post(kStorePath, [&sim](const httplib::Request& req, httplib::Response& res,
                                       const httplib::ContentReader& reader) {
            std::string body;
            reader([&body](const char* data, size_t length) {
                body.append(data, length);
                return true;
            });
            sim.storeRequest(req, res, QByteArray::fromStdString(body));
        });
        server.Get(kStorePath, [&sim](const httplib::Request& req, httplib::Response& res) {
            sim.storeRequest(req, res, QByteArray());
        });
    }
}

int usage()
{
    std::fprintf(stderr,
                 "usage: storesim --port N [--bind ADDR] [--cert FILE --key FILE] --state FILE\n"
                 "                [--seed demo|empty] [--password P] [--date-format FMT]\n"
                 "                [--decimal-separator S] [--control-port N] [--print-port]\n"
                 "                [--exit-with-parent] [--charset windows-1252|utf-8]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QString bind = QStringLiteral("127.0.0.1"), cert, key, stateFile,
            seed = QStringLiteral("empty"), password, dateFormat, decimal;
    int port = -1, controlPort = -1;
    bool printPort = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto next = [&]() -> QString {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "storesim: %s needs a value\n", argv[i]);
                std::exit(usage());
            }
            return QString::fromLocal8Bit(argv[++i]);
        };
        if (a == QLatin1String("--port"))
            port = next().toInt();
        else if (a == QLatin1String("--bind"))
            bind = next();
        else if (a == QLatin1String("--cert"))
            cert = next();
        else if (a == QLatin1String("--key"))
            key = next();
        else if (a == QLatin1String("--state"))
            stateFile = next();
        else if (a == QLatin1String("--seed"))
            seed = next();
        else if (a == QLatin1String("--password"))
            password = next();
        else if (a == QLatin1String("--date-format"))
            dateFormat = next();
        else if (a == QLatin1String("--decimal-separator"))
            decimal = next();
        else if (a == QLatin1String("--control-port"))
            controlPort = next().toInt();
        else if (a == QLatin1String("--charset")) {
            storesim::Charset charset;
            if (!storesim::parseCharset(next(), &charset))
                return usage();
            storesim::setCharset(charset);
        } else if (a == QLatin1String("--print-port"))
            printPort = true;
        else if (a == QLatin1String("--exit-with-parent")) {
            // A test that crashes must not leave its store running.
            const pid_t parent = getppid();
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                return 1;
        } else
            return usage();
    }
    if (port < 0 || stateFile.isEmpty() || cert.isEmpty() != key.isEmpty() ||
        (seed != QLatin1String("demo") && seed != QLatin1String("empty")))
        return usage();

    storesim::Store store(stateFile);
    QString error;
    if (!store.open(seed, password, &error)) {
        std::fprintf(stderr, "storesim: %s\n", qPrintable(error));
        return 1;
    }
    if (!dateFormat.isEmpty() || !decimal.isEmpty()) {
        store.setFormat(dateFormat, decimal);
        store.save();
    }

    const bool tls = !cert.isEmpty();
    std::unique_ptr<httplib::Server> server;
    if (tls)
        server = std::make_unique<httplib::SSLServer>(cert.toLocal8Bit().constData(),
                                                      key.toLocal8Bit().constData());
    else
        server = std::make_unique<httplib::Server>();
    if (!server->is_valid()) {
        std::fprintf(stderr, "storesim: cannot use the certificate %s / key %s\n", qPrintable(cert),
                     qPrintable(key));
        return 1;
    }
    Simulator sim(store);
    sim.tls = tls;
    route(*server, sim, true);
    const std::string host = bind.toStdString();
    int bound =
        port == 0 ? server->bind_to_any_port(host) : (server->bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "storesim: cannot listen on %s port %d\n", host.c_str(), port);
        return 1;
    }
    sim.port = bound;

    // With TLS, tests steer the store over a plain-HTTP control port.
    std::unique_ptr<httplib::Server> controlServer;
    int boundControl = 0;
    if (controlPort >= 0 || tls) {
        controlServer = std::make_unique<httplib::Server>();
        route(*controlServer, sim, false);
        const int want = controlPort < 0 ? 0 : controlPort;
        boundControl = want == 0 ? controlServer->bind_to_any_port(host)
                                 : (controlServer->bind_to_port(host, want) ? want : -1);
        if (boundControl <= 0) {
            std::fprintf(stderr, "storesim: cannot listen on %s control port %d\n", host.c_str(),
                         want);
            return 1;
        }
    }
    if (printPort) {
        std::printf("PORT %d\n", bound);
        if (controlServer)
            std::printf("CONTROL_PORT %d\n", boundControl);
        std::printf("READY\n");
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "storesim: serving %s://%s:%d%s\n", tls ? "https" : "http",
                     host.c_str(), bound, kStorePath);
    }
    std::thread controlThread;
    if (controlServer)
        controlThread = std::thread([&] { controlServer->listen_after_bind(); });
    const bool ok = server->listen_after_bind();
    sim.stop();
    if (controlServer) {
        controlServer->stop();
        controlThread.join();
    }
    return ok ? 0 : 1;
}
