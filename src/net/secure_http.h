#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <memory>
#include <thread>

class QEventLoop;

namespace os {

// A failed transfer; text() is what the user is shown.
class HttpError : public Error
{
public:
    using Error::Error;
};

// The HTTP(S) client the store sessions post through: one POST at a time,
// run by libcurl on a worker thread while the caller waits in a local event
// loop (windows keep repainting). Its events are delivered on the thread that
// owns the object, in the order they happened:
// - transfer: each piece of the reply body (at most kChunkSize bytes) with the
//   number of body bytes received so far, this piece included (the worker
//   waits when kMaxQueuedBytes are not yet delivered, so memory stays bounded
//   whatever the network's speed);
// - status: a progress text ("Sending the information request to the server." ...);
// - header: name and value of each reply header.
//
// Fixed behaviour: Accept "text/html"; no cookies; no caching (no-cache request
// headers); the proxy from the environment (http_proxy, https_proxy, no_proxy);
// redirects followed only within the request's scheme; the credentials
// kUserName/kPassword offered when a server asks for HTTP authentication.
// Trusted authorities: the system's, plus the PEM file given by
// setExtraCaFile() or, when that is empty, by the environment variable
// ORDERSENTINEL_CA_FILE (tests trust their own authority this way).
class SecureHTTP : public QObject
{
    Q_OBJECT

public:
    static constexpr int kChunkSize = 32000;
    static constexpr int kDefaultTimeoutSeconds = 120;
    static constexpr const char* kUserName = "osdesk";
    static constexpr const char* kPassword = "sentinel1";
    static constexpr const char* kCaFileVariable = "ORDERSENTINEL_CA_FILE";
    // The largest reply accepted: a store that never stops sending is cut
    // off here rather than filling the memory.
    static constexpr qint64 kDefaultMaxReplyBytes = qint64(1) << 30;
    // Body bytes waiting between the worker and the owner's thread before
    // the worker waits: a slow consumer holds at most this much extra.
    static constexpr qint64 kMaxQueuedBytes = qint64(4) << 20;

    explicit SecureHTTP(QObject* parent = nullptr);
    ~SecureHTTP() override; // a post still running is interrupted and waited for

    void setUserAgent(const QString& userAgent) { m_userAgent = userAgent; }
    QString userAgent() const { return m_userAgent; }

    // True: a server certificate whose name does not match the host, or that
    // has expired or is not yet valid, is accepted. An unknown authority is
    // refused either way.
    void setIgnoreInvalidCert(bool ignore) { m_ignoreInvalidCert = ignore; }
    bool ignoreInvalidCert() const { return m_ignoreInvalidCert; }

    // For the whole request, redirects included. Only tests shorten it.
    void setTimeoutSeconds(int seconds) { m_timeoutSeconds = seconds; }
    int timeoutSeconds() const { return m_timeoutSeconds; }

    // Replies longer than this fail with replyTooLargeText() and leave the
    // local file empty. Only tests lower it.
    void setMaxReplyBytes(qint64 bytes) { m_maxReplyBytes = bytes; }
    qint64 maxReplyBytes() const { return m_maxReplyBytes; }
    // "The reply is larger than 1 GiB (1073741824 bytes), the most that is
    // accepted; it was stopped."
    static QString replyTooLargeText(qint64 limit);

    void setExtraCaFile(const QString& pemFile) { m_extraCaFile = pemFile; }
    QString extraCaFile() const { return m_extraCaFile; }

    // An additional request header for the next posts (until reset()).
    void setRequestHeader(const QByteArray& name, const QByteArray& value);

    // Posts body to url (http or https) with the given Content-Type. The reply
    // body goes to localFile (created or overwritten when the first data
    // arrives; an empty reply leaves it empty) and to the transfer signal.
    // Returns when a reply with a 2xx status is complete; throws HttpError
    // with the failure's text otherwise.
    void post(const QString& url, const QByteArray& body, const QString& contentType,
              const QString& localFile);

    // Back to idle, ready for the next post: request headers cleared.
    void reset();

    // Stops the post in flight: post() then throws HttpError(why). For a
    // caller that cannot take the reply any more (its memory ran out).
    void cancel(const QString& why);

    // Grows `buffer` (a reply being collected from the transfer events) to
    // hold `more` bytes after its end: by doubling, so appending stays
    // linear, but never past `limit` (a reply near the largest accepted costs
    // no double reservation).
    static void reserveReplyRoom(QByteArray& buffer, qsizetype more, qint64 limit);

    bool isBusy() const { return m_busy; }
    int statusCode() const { return m_statusCode; } // of the last reply; 0 when none came

signals:
    void transfer(qint64 bytesSoFar, const QByteArray& chunk);
    void status(const QString& text);
    void header(const QString& name, const QString& value);

private:
    struct Job;
    void deliverEvents();

    QString m_userAgent;
    bool m_ignoreInvalidCert = false;
    int m_timeoutSeconds = kDefaultTimeoutSeconds;
    qint64 m_maxReplyBytes = kDefaultMaxReplyBytes;
    QString m_extraCaFile;
    QString m_cancelled; // why the post in flight was cancelled
    QList<QPair<QByteArray, QByteArray>> m_requestHeaders;

    bool m_busy = false;
    int m_statusCode = 0;
    qint64 m_bytesSoFar = 0;
    std::shared_ptr<Job> m_job;
    std::thread m_worker;
    QEventLoop* m_loop = nullptr;
};

} // namespace os
