#include "net/secure_http.h"

#include "base/owner_only_file.h"
#include "net/transfer_errors.h"

#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QUrl>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

namespace os {

namespace {

struct CurlCleanup
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;

struct CurlListFree
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListFree>;

struct CurlMultiCleanup
{
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiCleanup>;

// Collects the results of curl_easy_setopt: the first failure fails the
// post, whatever the option (a security option that cannot be applied above
// all: the post would go out without it).
class OptionResults
{
public:
    void operator()(CURLcode result)
    {
        if (m_first == CURLE_OK)
            m_first = result;
    }
    CURLcode first() const { return m_first; }

private:
    CURLcode m_first = CURLE_OK;
};

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

const QString kSending = QStringLiteral("Sending the information request to the server.");
const QString kSent = QStringLiteral("Successfully sent the information request to the server.");
const QString kWaiting = QStringLiteral("Waiting for the server to respond to a request.");
const QString kReceived = QStringLiteral("Successfully received a response from the server.");
const QString kClosing = QStringLiteral("Closing the connection to the server.");
const QString kClosed = QStringLiteral("Successfully closed the connection to the server.");
const QString kIntermediate =
    QStringLiteral("Received an intermediate (100 level) status code message from the server.");
const char kOutOfMemory[] = "There is not enough memory to receive the reply; it was stopped.";

QString addressText(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        return QString::fromLatin1(text);
    }
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        return QString::fromLatin1(text);
    }
    return QStringLiteral("?");
}

int addressPort(const sockaddr* address)
{
    if (address->sa_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
    if (address->sa_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
    return 0;
}

QString socketAddressText(const QString& ip, int port)
{
    return (ip.contains(':') ? '[' + ip + ']' : ip) + ':' + QString::number(port);
}

// Where the verify callback finds the post it belongs to: an ex-data slot of
// the SSL_CTX that libcurl makes for the connection.
int jobIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

bool isRedirectStatus(int code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

} // namespace

// Everything one post needs on the worker thread, and the queue of events it
// hands to the owner's thread. Shared by both threads for the life of the post.
struct SecureHTTP::Job
{
    struct Event
    {
        enum Kind
        {
            Data,
            Status,
            Header,
            Finished
        } kind;
        QByteArray data;
        QString first;
        QString second;
    };

    // --- request, fixed before the worker starts ---
    QByteArray url;
    QString scheme;
    QByteArray body;
    QByteArray contentType;
    QByteArray userAgent;
    QString localFile;
    bool ignoreInvalidCert = false;
    int timeoutSeconds = kDefaultTimeoutSeconds;
    QString extraCaFile;
    QList<QPair<QByteArray, QByteArray>> requestHeaders;
    qint64 maxReplyBytes = kDefaultMaxReplyBytes;
    SecureHTTP* owner = nullptr; // outlives the worker: its destructor joins it
    std::atomic<bool> abort{false};

    // The worker waits for the network in curl_multi_poll; stop() wakes it
    // there, so an abort takes effect at once, not at the next progress call.
    std::mutex multiMutex;
    CURLM* multi = nullptr; // set while a transfer runs

    // --- event queue (both threads) ---
    std::mutex mutex;
    std::condition_variable drained; // the owner took the queued events, or abort
    std::deque<Event> events;
    // Delivered chunks come back here to be filled again: a fresh block for
    // every 32 KB would make the allocator hand pages back and fault them in
    // again, which costs more than the transfer itself.
    std::vector<QByteArray> spareChunks;
    qint64 queuedBytes = 0;
    bool deliveryPosted = false;

    // --- worker state ---
    CURL* curl = nullptr;
    int responseCode = 0;
    QString statusLine; // "500 Internal Server Error"
    QByteArray location;
    QString host;
    bool lookupPending = true;
    std::set<curl_socket_t> openingSockets; // opened, not yet known to be connected
    std::set<curl_socket_t> connectedSockets;
    qint64 requestBodyLeft = -1; // body bytes of this request still to go; -1: sent
    std::unique_ptr<QFile> file;
    enum class FileFault
    {
        None,
        Open,
        Write,
        DiskFull,
        TooLarge,
        OutOfMemory
    } fileFault = FileFault::None;
    qint64 bodyBytes = 0;             // of the 2xx reply, so far
    int certificateError = X509_V_OK; // the first fault of the server's chain
    int refusedRedirect = 0;          // error number when a redirect to another scheme came
    QString error;                    // the outcome: empty on success

    // --- owner thread ---
    bool finished = false;

    void push(Event event)
    {
        bool post = false;
        {
            std::lock_guard lock(mutex);
            events.push_back(std::move(event));
            post = !deliveryPosted;
            deliveryPosted = true;
        }
        if (post)
            postDelivery();
    }

    void pushStatus(const QString& text) { push({Event::Status, {}, text, {}}); }

    // Body bytes are packed into chunks of at most kChunkSize while they wait,
    // so a busy user-interface thread gets few, full chunks. When the owner
    // has not yet taken kMaxQueuedBytes, the worker waits for it (the socket
    // then fills and the server waits too): a reply never piles up in the
    // queue faster than it is consumed.
    void pushData(const char* data, qint64 size)
    {
        bool post = false;
        {
            std::unique_lock lock(mutex);
            if (queuedBytes >= kMaxQueuedBytes) {
                if (!deliveryPosted) {
                    deliveryPosted = true;
                    lock.unlock();
                    postDelivery();
                    lock.lock();
                }
                drained.wait(lock, [this] { return queuedBytes < kMaxQueuedBytes || abort; });
            }
            queuedBytes += size;
            while (size > 0) {
                if (events.empty() || events.back().kind != Event::Data ||
                    events.back().data.size() >= kChunkSize) {
                    events.push_back({Event::Data, {}, {}, {}});
                    if (!spareChunks.empty()) {
                        events.back().data = std::move(spareChunks.back());
                        spareChunks.pop_back();
                    }
                }
                QByteArray& chunk = events.back().data;
                if (chunk.capacity() < kChunkSize)
                    chunk.reserve(kChunkSize);
                const qint64 take = std::min<qint64>(size, kChunkSize - chunk.size());
                chunk.append(data, take);
                data += take;
                size -= take;
            }
            post = !deliveryPosted;
            deliveryPosted = true;
        }
        if (post)
            postDelivery();
    }

    void postDelivery()
    {
        SecureHTTP* target = owner;
        QMetaObject::invokeMethod(
            target, [target] { target->deliverEvents(); }, Qt::QueuedConnection);
    }

    std::deque<Event> takeEvents()
    {
        std::deque<Event> taken;
        {
            std::lock_guard lock(mutex);
            deliveryPosted = false;
            queuedBytes = 0;
            taken = std::exchange(events, {});
        }
        drained.notify_all();
        return taken;
    }

    void giveBack(QByteArray&& chunk)
    {
        if (chunk.isDetached() && chunk.capacity() >= kChunkSize) {
            chunk.resize(0);
            std::lock_guard lock(mutex);
            if (spareChunks.size() < 256)
                spareChunks.push_back(std::move(chunk));
        }
    }

    // libcurl is C: an exception thrown into it from a callback would end
    // the program. A lack of memory in a callback stops the transfer instead.
    template <typename R, typename F> static R noThrow(Job* job, R failed, F&& callback)
    {
        try {
            return callback();
        } catch (const std::bad_alloc&) {
            job->fileFault = FileFault::OutOfMemory;
            job->abort = true;
            return failed;
        }
    }

    void run();
    void runTransfer();
    void stop();
    CURLcode configure(CURL* handle, curl_slist* headers);
    CURLcode perform(CURLM* multi, CURL* handle);
    QString outcome(CURLcode code);
    bool openFile();
    void requestSent();

    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onWrite(char* data, size_t size, size_t count, void* self);
    static int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* self);
    static curl_socket_t onOpenSocket(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int onCloseSocket(void* self, curl_socket_t socket);
    static int onPrerequest(void* self, char* ip, char* localIp, int port, int localPort);
    static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static CURLcode onSslContext(CURL*, void* sslContext, void* self);
    static int onVerify(int preverifyOk, X509_STORE_CTX* context);
};

void SecureHTTP::Job::run()
{
    try {
        runTransfer();
    } catch (const std::bad_alloc&) {
        error = QString::fromLatin1(kOutOfMemory);
    }
    curl = nullptr;
    // The owner waits for this event: try until it can be queued (the owner
    // keeps taking what was queued before, which frees memory).
    for (;;) {
        try {
            push({Event::Finished, {}, {}, {}});
            return;
        } catch (const std::bad_alloc&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

void SecureHTTP::Job::runTransfer()
{
    pushStatus(QStringLiteral("Looking up the IP address ") + host);
    {
        CurlList headers; // declared first: it must outlive the handles
        CurlMulti multiHandle(curl_multi_init());
        CurlHandle handle(curl_easy_init());
        curl = handle.get();
        CURLcode code = CURLE_FAILED_INIT;
        if (handle && multiHandle) {
            curl_slist* list = nullptr;
            auto add = [&list](const QByteArray& line) {
                if (curl_slist* grown = curl_slist_append(list, line.constData()))
                    list = grown;
            };
            add("Accept: text/html");
            if (!contentType.isEmpty())
                add("Content-Type: " + contentType);
            add("Cache-Control: no-cache");
            add("Pragma: no-cache");
            add("Expect:"); // send the body at once, without waiting for "100 Continue"
            for (const auto& [name, value] : requestHeaders)
                add(name + ": " + value);
            headers.reset(list);
            code = configure(curl, headers.get());
            if (code == CURLE_OK)
                code = perform(multiHandle.get(), curl);
        }
        error = outcome(code);
        if (file) {
            if (!file->flush() && error.isEmpty())
                error = QStringLiteral("Error writing to LocalFile");
            file->close();
        }
        // The connection is closed when the transfer ends (never reused), at
        // the latest when the handles are cleaned up here: the closing texts
        // come before the end of the post.
    }
}

CURLcode SecureHTTP::Job::configure(CURL* c, curl_slist* headers)
{
    OptionResults set;
    const char* protocol = scheme == QLatin1String("https") ? "https" : "http";
    // Security first: only this scheme, also for redirects (no http <-> https),
    // the peer's certificate verified, credentials only where the server asks.
    set(curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocol));
    set(curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, protocol));
    set(curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, ignoreInvalidCert ? 0L : 2L));
    set(curl_easy_setopt(c, CURLOPT_CA_CACHE_TIMEOUT, 0L)); // the extra authority is per post
    set(curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, &Job::onSslContext));
    set(curl_easy_setopt(c, CURLOPT_SSL_CTX_DATA, this));
    set(curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_ANY));
    set(curl_easy_setopt(c, CURLOPT_USERNAME, kUserName));
    set(curl_easy_setopt(c, CURLOPT_PASSWORD, kPassword));
    set(curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L)); // every post its own connection

    set(curl_easy_setopt(c, CURLOPT_URL, url.constData()));
    set(curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L));
    set(curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L));
    set(curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1)));
    set(curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(timeoutSeconds) * 1000L));
    set(curl_easy_setopt(c, CURLOPT_POST, 1L));
    set(curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.constData()));
    set(curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size())));
    set(curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers));
    if (!userAgent.isEmpty())
        set(curl_easy_setopt(c, CURLOPT_USERAGENT, userAgent.constData()));

    set(curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Job::onHeader));
    set(curl_easy_setopt(c, CURLOPT_HEADERDATA, this));
    set(curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Job::onWrite));
    set(curl_easy_setopt(c, CURLOPT_WRITEDATA, this));
    // The debug stream is how the stages of sending become visible.
    set(curl_easy_setopt(c, CURLOPT_VERBOSE, 1L));
    set(curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &Job::onDebug));
    set(curl_easy_setopt(c, CURLOPT_DEBUGDATA, this));
    set(curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &Job::onOpenSocket));
    set(curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, this));
    set(curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &Job::onCloseSocket));
    set(curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, this));
    set(curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, &Job::onPrerequest));
    set(curl_easy_setopt(c, CURLOPT_PREREQDATA, this));
    set(curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L));
    set(curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Job::onProgress));
    set(curl_easy_setopt(c, CURLOPT_XFERINFODATA, this));

    // Only a tuning, the one option allowed to fail: fewer reads (chunks are
    // cut to size when queued); with the default buffer a post is just slower.
    static_cast<void>(curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 256L * 1024L));
    return set.first();
}

CURLcode SecureHTTP::Job::perform(CURLM* m, CURL* c)
{
    if (curl_multi_add_handle(m, c) != CURLM_OK)
        return CURLE_FAILED_INIT;
    {
        std::lock_guard lock(multiMutex);
        multi = m;
    }
    CURLcode result = CURLE_FAILED_INIT;
    bool done = false;
    while (!done && !abort.load()) {
        int running = 0;
        if (curl_multi_perform(m, &running) != CURLM_OK)
            break;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(m, &left)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                done = true;
            }
        }
        if (!done && curl_multi_poll(m, nullptr, 0, 1000, nullptr) != CURLM_OK)
            break;
    }
    if (!done && abort.load())
        result = CURLE_ABORTED_BY_CALLBACK;
    {
        std::lock_guard lock(multiMutex);
        multi = nullptr;
    }
    curl_multi_remove_handle(m, c); // closes a connection still open
    return result;
}

void SecureHTTP::Job::stop()
{
    abort = true;
    {
        // A worker waiting for the queue to drain goes on (and ends).
        std::lock_guard lock(mutex);
        drained.notify_all();
    }
    std::lock_guard lock(multiMutex);
    if (multi)
        curl_multi_wakeup(multi);
}

QString SecureHTTP::Job::outcome(CURLcode code)
{
    if (fileFault == FileFault::TooLarge) {
        // Nothing of a reply that was stopped is kept.
        if (file)
            file->resize(0);
        return replyTooLargeText(maxReplyBytes);
    }
    if (fileFault == FileFault::OutOfMemory || code == CURLE_OUT_OF_MEMORY)
        return QString::fromLatin1(kOutOfMemory);
    if (fileFault == FileFault::Open)
        return QStringLiteral("Can't open local file for writing.");
    if (fileFault == FileFault::Write || fileFault == FileFault::DiskFull) {
        // What a failed write left is no reply: it goes, and the disk's room
        // with it.
        if (file) {
            file->close();
            QFile::remove(localFile);
            file.reset();
        }
        if (fileFault == FileFault::DiskFull)
            return diskFullText(QStringLiteral("reply"), localFile);
        return QStringLiteral("Error writing to LocalFile");
    }
    if (code == CURLE_OK) {
        if (responseCode < 200 || responseCode > 299)
            return statusLine.isEmpty() ? QString::number(responseCode) : statusLine;
        // An empty reply still replaces what the file held before.
        if (!file && !openFile())
            return QStringLiteral("Can't open local file for writing.");
        return {};
    }
    // A refused peer whose chain had no fault was refused for its name.
    return transferErrorText(code, certificateError, refusedRedirect);
}

bool SecureHTTP::Job::openFile()
{
    // Replies carry card numbers and customer data: owner-only, also when an
    // older work file was left with wider rights.
    file = std::make_unique<QFile>(localFile);
    // Unbuffered: every piece goes straight to the system (writeAllTo), so a
    // full disk is seen at the write that found it, with its cause.
    if (localFile.isEmpty() ||
        !openOwnerOnly(*file, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        file.reset();
        return false;
    }
    return true;
}

size_t SecureHTTP::Job::onHeader(char* data, size_t size, size_t count, void* self)
{
    auto* job = static_cast<Job*>(self);
    return noThrow(job, size_t(0), [&]() -> size_t {
        const size_t length = size * count;
        const QByteArray line = QByteArray(data, qsizetype(length)).trimmed();
        if (line.startsWith("HTTP/")) {
            // A new response: "HTTP/1.1 500 Internal Server Error".
            const int space = line.indexOf(' ');
            job->statusLine =
                space < 0 ? QString() : QString::fromLatin1(line.mid(space + 1)).trimmed();
            job->responseCode = job->statusLine.left(3).toInt();
            job->location.clear();
            if (job->responseCode >= 100 && job->responseCode < 200)
                job->pushStatus(kIntermediate);
            return length;
        }
        if (line.isEmpty()) {
            // End of this response's headers.
            if (job->responseCode < 200)
                return length;
            job->pushStatus(kReceived);
            if (isRedirectStatus(job->responseCode) && !job->location.isEmpty()) {
                char* current = nullptr;
                curl_easy_getinfo(job->curl, CURLINFO_EFFECTIVE_URL, &current);
                const QUrl target =
                    QUrl(QString::fromLatin1(current ? current : job->url.constData()))
                        .resolved(QUrl(QString::fromLatin1(job->location)));
                if (target.scheme().toLower() != job->scheme) {
                    job->refusedRedirect = job->scheme == QLatin1String("https")
                                               ? kHttpsToHttpRedirect
                                               : kHttpToHttpsRedirect;
                } else {
                    job->pushStatus(
                        QStringLiteral(
                            "An HTTP request is about to automatically redirect the request to ") +
                        target.toString());
                    if (target.host() != job->host) {
                        job->host = target.host();
                        job->lookupPending = true;
                        job->pushStatus(QStringLiteral("Looking up the IP address ") + job->host);
                    }
                }
            }
            return length;
        }
        const int colon = line.indexOf(':');
        if (colon > 0) {
            const QByteArray name = line.left(colon).trimmed();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name.compare("Location", Qt::CaseInsensitive) == 0)
                job->location = value;
            job->push({Event::Header, {}, QString::fromLatin1(name), QString::fromLatin1(value)});
        }
        return length;
    });
}

size_t SecureHTTP::Job::onWrite(char* data, size_t size, size_t count, void* self)
{
    auto* job = static_cast<Job*>(self);
    const size_t length = size * count;
    // Only a 2xx reply is the answer; the bodies of error pages, redirects
    // and authentication challenges are dropped.
    if (job->responseCode < 200 || job->responseCode > 299)
        return length;
    if (job->bodyBytes + qint64(length) > job->maxReplyBytes) {
        job->fileFault = FileFault::TooLarge;
        return 0;
    }
    try {
        if (!job->file && !job->openFile()) {
            job->fileFault = FileFault::Open;
            return 0;
        }
        if (const int error = writeAllTo(job->file->handle(), data, qint64(length))) {
            job->fileFault = isDiskFullError(error) ? FileFault::DiskFull : FileFault::Write;
            return 0;
        }
        job->bodyBytes += qint64(length);
        job->pushData(data, qint64(length));
    } catch (const std::bad_alloc&) {
        // Thrown into libcurl's C code it would end the program.
        job->fileFault = FileFault::OutOfMemory;
        return 0;
    }
    return length;
}

int SecureHTTP::Job::onDebug(CURL*, curl_infotype type, char* data, size_t size, void* self)
{
    auto* job = static_cast<Job*>(self);
    return noThrow(job, int(0), [&]() -> int {
        if (type == CURLINFO_HEADER_OUT) {
            job->pushStatus(kSending);
            // The request is sent once the body its Content-Length announces is out.
            job->requestBodyLeft = 0;
            for (const QByteArray& line : QByteArray(data, qsizetype(size)).split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    job->requestBodyLeft = line.mid(15).trimmed().toLongLong();
            }
            if (job->requestBodyLeft <= 0)
                job->requestSent();
        } else if (type == CURLINFO_DATA_OUT && job->requestBodyLeft > 0) {
            job->requestBodyLeft -= qint64(size);
            if (job->requestBodyLeft <= 0)
                job->requestSent();
        }
        return 0;
    });
}

void SecureHTTP::Job::requestSent()
{
    requestBodyLeft = -1;
    pushStatus(kSent);
    pushStatus(kWaiting);
}

curl_socket_t SecureHTTP::Job::onOpenSocket(void* self, curlsocktype purpose,
                                            curl_sockaddr* address)
{
    auto* job = static_cast<Job*>(self);
    return noThrow(job, curl_socket_t(CURL_SOCKET_BAD), [&]() -> curl_socket_t {
        const curl_socket_t socket =
            ::socket(address->family, address->socktype, address->protocol);
        if (purpose != CURLSOCKTYPE_IPCXN || socket == CURL_SOCKET_BAD)
            return socket;
        const QString ip = addressText(&address->addr);
        if (job->lookupPending) {
            job->lookupPending = false;
            job->pushStatus(QStringLiteral("Successfully found the IP address ") + ip);
        }
        job->pushStatus(QStringLiteral("Connecting to the socket address ") +
                        socketAddressText(ip, addressPort(&address->addr)));
        job->openingSockets.insert(socket);
        return socket;
    });
}

int SecureHTTP::Job::onCloseSocket(void* self, curl_socket_t socket)
{
    auto* job = static_cast<Job*>(self);
    job->openingSockets.erase(socket); // a losing attempt of several addresses
    const bool wasConnected = job->connectedSockets.erase(socket) > 0;
    if (wasConnected)
        noThrow(job, 0, [&] { return job->pushStatus(kClosing), 0; });
    const int result = ::close(socket);
    if (wasConnected)
        noThrow(job, 0, [&] { return job->pushStatus(kClosed), 0; });
    return result;
}

int SecureHTTP::Job::onPrerequest(void* self, char* ip, char*, int port, int)
{
    auto* job = static_cast<Job*>(self);
    return noThrow(job, int(CURL_PREREQFUNC_ABORT), [&]() -> int {
        // Called before every request; a socket opened since the last one is the
        // new connection (attempts on other addresses are closed by now).
        if (!job->openingSockets.empty()) {
            job->connectedSockets.merge(job->openingSockets);
            job->openingSockets.clear();
            job->pushStatus(QStringLiteral("Successfully connected to ") +
                            socketAddressText(QString::fromLatin1(ip), port));
        }
        return CURL_PREREQFUNC_OK;
    });
}

int SecureHTTP::Job::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Job*>(self)->abort.load() ? 1 : 0;
}

CURLcode SecureHTTP::Job::onSslContext(CURL*, void* sslContext, void* self)
{
    auto* job = static_cast<Job*>(self);
    auto* context = static_cast<SSL_CTX*>(sslContext);
    if (!job->extraCaFile.isEmpty()) {
        const QByteArray path = QFile::encodeName(job->extraCaFile);
        if (X509_STORE_load_file(SSL_CTX_get_cert_store(context), path.constData()) != 1)
            return CURLE_SSL_CACERT_BADFILE;
    }
    if (SSL_CTX_set_ex_data(context, jobIndex(), job) != 1)
        return CURLE_SSL_CONNECT_ERROR;
    SSL_CTX_set_verify(context, SSL_CTX_get_verify_mode(context), &Job::onVerify);
    return CURLE_OK;
}

// Records the first fault of the server's chain, so that a refusal can be
// told apart (authority, dates, name). With the certificate option on, a
// server certificate outside its validity dates is let through; every other
// fault, an unknown authority above all, still fails. The forgiven error is
// cleared so that libcurl's own check of the verification result agrees.
int SecureHTTP::Job::onVerify(int preverifyOk, X509_STORE_CTX* context)
{
    if (preverifyOk)
        return 1;
    auto* ssl = static_cast<SSL*>(
        X509_STORE_CTX_get_ex_data(context, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* job =
        ssl ? static_cast<Job*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), jobIndex())) : nullptr;
    const int error = X509_STORE_CTX_get_error(context);
    if (job && job->ignoreInvalidCert && X509_STORE_CTX_get_error_depth(context) == 0 &&
        (error == X509_V_ERR_CERT_HAS_EXPIRED || error == X509_V_ERR_CERT_NOT_YET_VALID)) {
        X509_STORE_CTX_set_error(context, X509_V_OK);
        return 1;
    }
    if (job && job->certificateError == X509_V_OK)
        job->certificateError = error;
    return 0;
}

// --- SecureHTTP ---

SecureHTTP::SecureHTTP(QObject* parent) : QObject(parent)
{
    initCurlOnce();
}

SecureHTTP::~SecureHTTP()
{
    if (m_job)
        m_job->stop();
    if (m_worker.joinable())
        m_worker.join();
    if (m_loop)
        m_loop->quit();
}

void SecureHTTP::setRequestHeader(const QByteArray& name, const QByteArray& value)
{
    for (auto& header : m_requestHeaders) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            header.second = value;
            return;
        }
    }
    m_requestHeaders.append({name, value});
}

void SecureHTTP::reserveReplyRoom(QByteArray& buffer, qsizetype more, qint64 limit)
{
    const qsizetype needed = buffer.size() + more;
    if (needed <= buffer.capacity())
        return;
    buffer.reserve(std::max(needed, qsizetype(std::min<qint64>(2 * buffer.capacity(), limit))));
}

QString SecureHTTP::replyTooLargeText(qint64 limit)
{
    const QString size = limit % (qint64(1) << 30) == 0
                             ? QStringLiteral("%1 GiB").arg(limit >> 30)
                             : QStringLiteral("%1 MiB").arg(double(limit) / (1 << 20), 0, 'f', 1);
    return QStringLiteral("The reply is larger than %1 (%2 bytes), the most that is accepted; it "
                          "was stopped.")
        .arg(size)
        .arg(limit);
}

void SecureHTTP::cancel(const QString& why)
{
    if (!m_job || m_job->finished)
        return;
    if (m_cancelled.isEmpty())
        m_cancelled = why;
    m_job->stop();
}

void SecureHTTP::reset()
{
    if (m_busy)
        return;
    m_requestHeaders.clear();
    m_statusCode = 0;
    m_bytesSoFar = 0;
}

void SecureHTTP::post(const QString& url, const QByteArray& body, const QString& contentType,
                      const QString& localFile)
{
    if (m_busy)
        throw HttpError(QStringLiteral("A transfer is already in progress."));
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        throw HttpError(QStringLiteral("Specified URLScheme is invalid."));
    if (parsed.host().isEmpty())
        throw HttpError(QStringLiteral("No server specified in URL."));

    auto job = std::make_shared<Job>();
    job->url = url.toUtf8(); // used as given; libcurl parses it itself
    job->scheme = scheme;
    job->host = parsed.host();
    job->body = body;
    job->contentType = contentType.toLatin1();
    job->userAgent = m_userAgent.toLatin1();
    job->localFile = localFile;
    job->ignoreInvalidCert = m_ignoreInvalidCert;
    job->timeoutSeconds = m_timeoutSeconds > 0 ? m_timeoutSeconds : kDefaultTimeoutSeconds;
    job->extraCaFile =
        m_extraCaFile.isEmpty() ? qEnvironmentVariable(kCaFileVariable) : m_extraCaFile;
    job->requestHeaders = m_requestHeaders;
    job->maxReplyBytes = m_maxReplyBytes > 0 ? m_maxReplyBytes : kDefaultMaxReplyBytes;
    job->owner = this;

    m_busy = true;
    m_statusCode = 0;
    m_bytesSoFar = 0;
    m_cancelled.clear();
    m_job = job;
    QPointer<SecureHTTP> self(this);
    QEventLoop loop;
    m_loop = &loop;
    try {
        m_worker = std::thread([job] { job->run(); });
    } catch (const std::system_error&) {
        m_loop = nullptr;
        m_job.reset();
        m_busy = false;
        throw HttpError(QStringLiteral("Interrupted."));
    }
    if (!job->finished)
        loop.exec();
    if (!self) // destroyed while waiting: the destructor stopped the worker
        throw HttpError(QStringLiteral("Interrupted."));
    // The wait ended before the transfer did (the program is quitting, which
    // ends every local event loop): the transfer is aborted at once rather
    // than waited out.
    if (!job->finished)
        job->stop();
    m_loop = nullptr;
    m_worker.join();
    deliverEvents(); // anything queued after the loop ended
    m_statusCode = job->responseCode;
    m_job.reset();
    m_busy = false;
    if (!m_cancelled.isEmpty())
        throw HttpError(std::exchange(m_cancelled, QString()));
    if (!job->error.isEmpty())
        throw HttpError(job->error);
}

void SecureHTTP::deliverEvents()
{
    const std::shared_ptr<Job> job = m_job;
    if (!job)
        return;
    QPointer<SecureHTTP> self(this);
    for (Job::Event& event : job->takeEvents()) {
        switch (event.kind) {
        case Job::Event::Data:
            if (!m_cancelled.isEmpty())
                break; // the caller wants no more of it
            m_bytesSoFar += event.data.size();
            emit transfer(m_bytesSoFar, event.data);
            job->giveBack(std::move(event.data));
            break;
        case Job::Event::Status:
            emit status(event.first);
            break;
        case Job::Event::Header:
            emit header(event.first, event.second);
            break;
        case Job::Event::Finished:
            job->finished = true;
            if (m_loop)
                m_loop->quit();
            break;
        }
        if (!self)
            return;
    }
}

} // namespace os
