#include "mail/bulk_run.h"

#include "mail/mail_server.h"
#include "mail/outbox.h"
#include "net/smtp_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace os {

const char* const kBulkConnectionError =
    "Error in Internet connection, be sure you are signed on and your settings are correct.";

BulkRun::BulkRun(QObject* parent) : QObject(parent), m_client(std::make_unique<SmtpClient>())
{
    connect(m_client.get(), &SmtpClient::trail, this, &BulkRun::trail);
}

BulkRun::~BulkRun() = default;

QString BulkRun::countsText() const
{
    const int refused = int(m_refusedAddresses.size());
    return QStringLiteral("%1 %2 sent, %3 %4 refused.")
        .arg(m_sentCount)
        .arg(m_sentCount == 1 ? QStringLiteral("message") : QStringLiteral("messages"))
        .arg(refused)
        .arg(refused == 1 ? QStringLiteral("address") : QStringLiteral("addresses"));
}

int BulkRun::retryDelayMs(int failures)
{
    if (failures <= 0)
        return 0;
    const int shift = qMin(failures - 1, 5);
    return qMin(1000 << shift, 30000);
}

void BulkRun::requestStop()
{
    m_stop = true;
    if (m_wait)
        m_wait->quit();
}

bool BulkRun::stopRequested()
{
    QCoreApplication::processEvents();
    return m_stop;
}

bool BulkRun::pause(int ms)
{
    if (m_stop)
        return false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // never shorter than said
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    m_wait = &loop;
    loop.exec();
    m_wait = nullptr;
    return !m_stop;
}

BulkRun::Result BulkRun::run(QStringList& list, const QString& from, const QString& subject,
                             const QString& body)
{
    m_running = true;
    m_stop = false;
    m_sentCount = 0;
    m_refusedAddresses.clear();
    m_connectFailure.clear();
    struct Done
    {
        BulkRun* run;
        ~Done()
        {
            run->m_client->disconnectFromServer();
            run->m_running = false;
        }
    } done{this};

    try {
        if (connectMailServer(*m_client) == MailConnect::NoPassword)
            return Result::NoPassword;
    } catch (const SmtpError& e) {
        m_connectFailure = connectionCause(e);
        return Result::ConnectFailed;
    }
    m_client->resetHeaders();
    m_client->setSubject(subject);
    m_client->setSender(from);
    m_client->setBody(body);

    int failures = 0;
    while (!list.isEmpty()) {
        if (stopRequested())
            return Result::Stopped;
        const QString address = list.first();
        try {
            // A merchant who cancels the password prompt of a reconnect
            // ends the run, as "Abort?" does.
            if (!m_client->isConnected() && connectMailServer(*m_client) == MailConnect::NoPassword)
                return Result::NoPassword;
            m_client->clearRecipients();
            m_client->addRecipient(address);
            m_client->send();
        } catch (const SmtpError& e) {
            ++failures;
            m_refusedAddresses.insert(address);
            const int wait = retryDelayMs(failures);
            emit refused(address, e.text(), wait);
            if (!pause(wait))
                return Result::Stopped;
            continue;
        }
        failures = 0;
        list.removeFirst();
        ++m_sentCount;
        emit sent(address);
    }
    return Result::Finished;
}

} // namespace os
