#include "sync/store_session.h"

#include "base/busy_cursor.h"
#include "base/clock.h"
#include "base/main_services.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/settings.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "net/secure_http.h"
#include "sync/publish_preview.h"
#include "sync/publishing.h"
#include "sync/retrieval.h"
#include "sync/session_error.h"

#include <QCoreApplication>
#include <QLocale>
#include <QUrl>

#include <memory>
#include <vector>

namespace os {

const QString StoreSession::GetOrdersAction = QStringLiteral("Get Orders & Information");
const QString StoreSession::PollServerAction = QStringLiteral("Poll Server");
const QString StoreSession::PublishAction = QStringLiteral("Publish Options & Configurations");
const QString StoreSession::LockAction = QStringLiteral("Lock Vendix");
const QString StoreSession::UnlockAction = QStringLiteral("Unlock Vendix");
const QString StoreSession::ChangePasswordAction = QStringLiteral("Change Password");

namespace {

const QString kInvalidPassword = QStringLiteral("Invalid Password!");

// Restores the session's controls and the main window whatever way a
// session step ends.
class SessionClosing
{
public:
    explicit SessionClosing(std::function<void()> steps) : m_steps(std::move(steps)) {}
    ~SessionClosing() { m_steps(); }
    SessionClosing(const SessionClosing&) = delete;
    SessionClosing& operator=(const SessionClosing&) = delete;

private:
    std::function<void()> m_steps;
};

// The locale's long time format without its time-zone part: the session
// lines show the desktop's clock time only.
QString longTimeFormatWithoutZone(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

// A message box text as one log row: each line break (CR, LF or CR LF)
// becomes one space, a break at either end goes; every other character,
// double spaces included, stays as shown.
QString logRowText(const QString& text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    auto isBreak = [](QChar c) { return c == u'\r' || c == u'\n'; };
    while (from < to && isBreak(text[from]))
        ++from;
    while (to > from && isBreak(text[to - 1]))
        --to;
    QString out;
    out.reserve(to - from);
    for (qsizetype i = from; i < to; ++i) {
        const QChar c = text[i];
        if (!isBreak(c)) {
            out += c;
            continue;
        }
        if (c == u'\r' && i + 1 < to && text[i + 1] == u'\n')
            ++i;
        out += u' ';
    }
    return out;
}

// While a session runs, every error it shows is also a row of the event log
// (before "Session Complete: "), so that the log does not read as if all
// went well once the message box is gone.
class ErrorsToLog : public MessageService
{
public:
    explicit ErrorsToLog(EventLog& log) : m_log(log), m_inner(messages()), m_scope(this) {}
    void info(const QString& text) override { m_inner.info(text); }
    void warning(const QString& text) override { m_inner.warning(text); }
    void error(const QString& text) override
    {
        m_log.LogEvent(QStringLiteral("Error"), logRowText(text));
        m_inner.error(text);
    }
    using MessageService::ask;
    Answer ask(const QString& text, Buttons buttons, MessageKind kind) override
    {
        return m_inner.ask(text, buttons, kind);
    }
    void beep() override { m_inner.beep(); }

private:
    EventLog& m_log;
    MessageService& m_inner;
    ScopedMessageService m_scope;
};

} // namespace

QStringList StoreSession::Actions()
{
    return {GetOrdersAction, PollServerAction, PublishAction,
            LockAction,      UnlockAction,     ChangePasswordAction};
}

bool StoreSession::actionNeedsTables(const QString& action)
{
    // The unlock may go on with a full retrieval.
    return action == GetOrdersAction || action == PublishAction || action == UnlockAction;
}

StoreSession::StoreSession(MainServices* main, SessionHost* host, QObject* parent)
    : QObject(parent), m_main(main), m_host(host), m_http(new SecureHTTP(this)), m_log(this)
{
    // These run inside the transfer's event loop, where an exception would
    // end the program: a lack of memory stops the transfer instead, and the
    // session ends with its text.
    connect(m_http, &SecureHTTP::transfer, this,
            [this](qint64 bytesSoFar, const QByteArray& chunk) {
                withoutThrowing([&] {
                    appendToBuffer(chunk);
                    m_host->setTransferCount(bytesSoFar);
                });
            });
    connect(m_http, &SecureHTTP::status, this, [this](const QString& text) {
        withoutThrowing([&] { LogEvent(QStringLiteral("Agent"), text); });
    });
    connect(m_http, &SecureHTTP::header, this, [this](const QString& name, const QString& value) {
        withoutThrowing([&] {
            if (name == QLatin1String("Server"))
                LogEvent(QStringLiteral("Server"), value.trimmed());
        });
    });
}

StoreSession::~StoreSession() = default;

template <typename F> void StoreSession::withoutThrowing(F&& f)
{
    try {
        f();
    } catch (const std::bad_alloc&) {
        m_http->cancel(
            QStringLiteral("There is not enough memory to receive the store's reply; it was "
                           "stopped. Nothing of it was kept or imported."));
    }
}

QString StoreSession::outOfMemoryText()
{
    return QStringLiteral("There is not enough memory to go on; the session was ended.");
}

void StoreSession::appendToBuffer(const QByteArray& chunk)
{
    // The buffer is the one copy of the reply in memory. It grows by
    // doubling, but never past the largest reply the transfer client takes,
    // so a reply near that limit costs no double reservation.
    SecureHTTP::reserveReplyRoom(m_buffer, chunk.size(), m_http->maxReplyBytes());
    m_buffer.append(chunk);
}

void StoreSession::LogEvent(const QString& type, const QString& message)
{
    m_log.LogEvent(type, message);
}

QString StoreSession::sessionTimeText(const QDateTime& when)
{
    const QLocale locale;
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), longTimeFormatWithoutZone(locale));
}

void StoreSession::prepareClient()
{
    m_http->setIgnoreInvalidCert(settings().IGNORE_INVALID_CERT);
    m_http->setUserAgent(storeUserAgent());
}

QString StoreSession::PostCommand(const QByteArray& body, const QString& workFile,
                                  const QString& stepText)
{
    LogEvent(QStringLiteral("Function"), stepText);
    m_buffer.clear();
    {
        // Back to idle after every post, also a failed one, ready for the next.
        SessionClosing idle([this] {
            m_http->reset();
            prepareClient();
        });
        m_http->post(settings().VendixManagerURL, body,
                     QStringLiteral("application/x-www-form-urlencoded"),
                     AppPaths::homeFile(workFile));
    }
    ShowStoreMessages(m_buffer, m_log);
    return GetStoreAction(m_buffer);
}

QString StoreSession::PostCommand(const StoreCommand& command)
{
    return PostCommand(command.body, command.workFile, command.stepText);
}

void StoreSession::reportInvalidPassword()
{
    m_failed = true;
    messages().error(kInvalidPassword);
}

void StoreSession::setTransferPanelVisible(bool visible)
{
    m_host->setTransferPanelVisible(visible);
}

void StoreSession::RunSession(const QString& action)
{
    if (m_running)
        return; // one session at a time; the controls are disabled meanwhile
    m_running = true;
    m_failed = false;

    m_log.clear();
    m_http->reset();
    prepareClient();

    {
        ErrorsToLog logged(m_log);
        BusyCursor busy;
        m_host->setSessionControlsEnabled(false);
        LogEvent(QStringLiteral("Notice"),
                 QStringLiteral("Starting Session: ") + sessionTimeText(Clock::now()));
        m_main->SetCommandsEnabled(false);

        SessionClosing closing([this] {
            m_host->setSessionControlsEnabled(true);
            m_host->setTransferCount(0);
            m_host->setTransferPanelVisible(false);
            m_main->SetCommandsEnabled(true);
        });
        try {
            runAction(action);
        } catch (const Error& e) {
            m_failed = true;
            messages().error(e.text());
        } catch (const std::bad_alloc&) {
            // Ends the session, never the program; what the reply held is let go.
            m_failed = true;
            m_buffer = QByteArray();
            messages().error(outOfMemoryText());
        } catch (const std::exception& e) {
            // Anything else still ends only the session.
            m_failed = true;
            messages().error(QString::fromLocal8Bit(e.what()));
        }
    }
    // Logged after the cursor and controls are back, as the last row.
    LogEvent(QStringLiteral("Notice"),
             QStringLiteral("Session Complete: ") + sessionTimeText(Clock::now()));
    m_running = false;
}

bool StoreSession::isExampleStoreAddress(const QString& url)
{
    const QString host = QUrl(url.trimmed()).host().toLower();
    return host == QLatin1String("www.yourdomain.com") || host == QLatin1String("yourdomain.com");
}

QString StoreSession::exampleStoreAddressText()
{
    return QStringLiteral("Set your store's address in Net Connection Settings first.");
}

void StoreSession::runAction(const QString& action)
{
    // The example address names nobody's store: nothing is sent there.
    if (isExampleStoreAddress(settings().VendixManagerURL)) {
        m_failed = true;
        messages().error(exampleStoreAddressText());
        return;
    }
    if (action == GetOrdersAction) {
        setTransferPanelVisible(true);
        RetrieveOrders(*this);
    } else if (action == PollServerAction) {
        PollServer();
    } else if (action == PublishAction) {
        PublishConfiguration();
    } else if (action == LockAction) {
        LockStore();
    } else if (action == UnlockAction) {
        EmergencyUnlock();
    } else if (action == ChangePasswordAction) {
        const std::optional<QString> newPassword = m_host->askNewPassword();
        if (newPassword)
            ChangeStorePassword(*newPassword);
    }
}

void StoreSession::PollServer()
{
    // The poll's result is in the store's messages, already logged.
    if (PostCommand(pollServerCommand(m_password)) == QLatin1String("PASS_INVALID"))
        reportInvalidPassword();
}

void StoreSession::LockStore()
{
    if (PostCommand(lockVendixCommand(m_password)) == QLatin1String("PASS_INVALID"))
        reportInvalidPassword();
}

void StoreSession::EmergencyUnlock()
{
    const QString action = PostCommand(emergencyUnlockCommand(m_password));
    if (action == QLatin1String("NOLOCKSTOP")) {
        messages().info(QStringLiteral("The site was not locked. You should only perform this "
                                       "action when Vendix tells you it is needed."));
        return;
    }
    if (action == QLatin1String("MANUALUNLOCK")) {
        messages().warning(QStringLiteral("An important message can be found in the event log."));
        return;
    }
    if (action == QLatin1String("WASUNLOCK"))
        LogEvent(QStringLiteral("Vendix"),
                 QStringLiteral("Ordersentinel must now perform order retrieval!"));
    if (action == QLatin1String("PASS_INVALID")) {
        reportInvalidPassword();
        return;
    }
    // Fetch what the store held while it was locked, so that it cleans up
    // and unlocks; the transfer panel stays hidden.
    RetrieveOrders(*this);
}

void StoreSession::ChangeStorePassword(const QString& newPassword)
{
    const QString action = PostCommand(changePassCommand(m_password, newPassword));
    if (action == QLatin1String("PASS_INVALID")) {
        m_failed = true;
        messages().error(
            kInvalidPassword +
            QStringLiteral("\r\rRemember that your password has not been changed yet. Enter your "
                           "current password so that Ordersentinel can change it to the new one."));
    } else if (action == QLatin1String("PASSCHANGED")) {
        messages().info(QStringLiteral("Your password has been changed!"));
        m_password.clear();
        m_host->passwordEmptied();
    }
}

bool SessionHost::publishWithExampleValues(const QString& question)
{
    return messages().ask(question, Buttons::YesNo, MessageKind::Warning) == Answer::Yes;
}

bool StoreSession::PublishConfiguration()
{
    // Nothing goes to the store while the merchant has not seen the example
    // addresses still in the settings; a publish declined ends the session
    // as not done.
    if (const QStringList examples = exampleValueFields(settings()); !examples.isEmpty()) {
        if (!m_host->publishWithExampleValues(exampleValuesQuestion(examples))) {
            m_failed = true;
            LogEvent(QStringLiteral("Notice"), QStringLiteral("Nothing was published."));
            return false;
        }
    }
    m_buffer.clear();
    const QString dataDir = AppPaths::dataDir();
    // The data module's table objects, as every builder opens and closes
    // them; table objects of its own where no company database is open.
    TMainDataMod* data = TMainDataMod::instance();
    std::vector<std::unique_ptr<Table>> own;
    const auto tableFor = [&](const RateTableFormat& format) -> Table& {
        if (data && data->isOpen()) {
            if (Table* shared = sharedRateTable(*data, format.table))
                return *shared;
        }
        own.push_back(std::make_unique<Table>(format.table));
        own.back()->setDirectory(dataDir);
        return *own.back();
    };
    const QByteArray configuration = buildConfiguration(
        settings(), dataDir, tableFor,
        [this](const QString& type, const QString& message) { LogEvent(type, message); },
        [] { QCoreApplication::processEvents(); }); // the log lines show at once

    const QString action = PostCommand(genConfigsCommand(m_password, configuration));
    if (action == QLatin1String("PASS_INVALID")) {
        reportInvalidPassword();
        return false;
    }
    // Kept only when a store answered: an error page of the web server does
    // not mean the store has the new configuration.
    bool answered = false;
    storeMessages(m_buffer, &answered);
    if (answered) {
        const QString why = keepLastPublish(dataDir, configuration);
        if (!why.isEmpty())
            messages().warning(QStringLiteral("The configuration was published, but the copy "
                                              "that \"Preview Changes\" compares with could not "
                                              "be kept.\r\r") +
                               why);
    }
    return true;
}

} // namespace os
