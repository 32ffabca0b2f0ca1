#pragma once

#include "sync/event_log.h"
#include "sync/protocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace os {

class MainServices;
class SecureHTTP;

// What the Connections window does for a session beyond the main window's
// services. The headless mode uses a host without windows.
class SessionHost
{
public:
    virtual ~SessionHost() = default;
    // Enables or disables "Close" and "Start Session" while a session runs.
    virtual void setSessionControlsEnabled(bool enabled) = 0;
    // Shows or hides the transfer panel (the byte counter under the action list).
    virtual void setTransferPanelVisible(bool visible) = 0;
    // The running byte count of the reply being received ("0" between posts).
    virtual void setTransferCount(qint64 bytes) = 0;
    // Asks for a new store password (the change-password dialog); nothing
    // when the user cancels.
    virtual std::optional<QString> askNewPassword() = 0;
    // The password was emptied after a successful change: the password box
    // is emptied, which keeps "Start Session" disabled until one is typed.
    virtual void passwordEmptied() = 0;
    // Whether to publish settings that still hold example values (the
    // question names them). The windows ask, with the warning sign.
    virtual bool publishWithExampleValues(const QString& question);
};

// A host without windows: controls and panels do not exist, and no new
// password can be asked for.
class NullSessionHost : public SessionHost
{
public:
    void setSessionControlsEnabled(bool) override {}
    void setTransferPanelVisible(bool) override {}
    void setTransferCount(qint64) override {}
    std::optional<QString> askNewPassword() override { return std::nullopt; }
    void passwordEmptied() override {}
    // Nobody to ask: what it is given is published.
    bool publishWithExampleValues(const QString&) override { return true; }
};

// One store session at a time: the transfer client, the response buffer,
// the store password and the event log, and the session actions. Used by the
// Connections window and by the headless mode; it has no widgets.
//
// A session step ends the session by raising an os::Error subclass (a
// transfer failure, a SessionError, a table error); RunSession shows its text
// and still runs the closing steps.
class StoreSession : public QObject
{
    Q_OBJECT
public:
    // The action texts, in the order of the action list.
    static const QString GetOrdersAction;      // "Get Orders & Information"
    static const QString PollServerAction;     // "Poll Server"
    static const QString PublishAction;        // "Publish Options & Configurations"
    static const QString LockAction;           // "Lock Vendix"
    static const QString UnlockAction;         // "Unlock Vendix"
    static const QString ChangePasswordAction; // "Change Password"
    static QStringList Actions();
    // Whether the action works on the company database (retrieval, publishing).
    static bool actionNeedsTables(const QString& action);

    // `main` and `host` are not owned and must outlive the session.
    StoreSession(MainServices* main, SessionHost* host, QObject* parent = nullptr);
    ~StoreSession() override;

    // The store password as typed; never written anywhere.
    void setPassword(const QString& password) { m_password = password; }
    const QString& password() const { return m_password; }

    EventLog& eventLog() { return m_log; }
    SecureHTTP& http() { return *m_http; }

    // The reply of the last post, as received (appended chunk by chunk).
    QByteArray& responseBuffer() { return m_buffer; }

    // Adds a row to the event log (with the log's filters).
    void LogEvent(const QString& type, const QString& message);

    // Posts one command to the store script (settings VendixManagerURL):
    // logs the step text ("Function"), empties the response buffer, writes the
    // reply to the work file in the program's own directory and to the
    // buffer, logs the reply's messages and returns its action word. A
    // transfer failure is raised (HttpError) and ends the session.
    QString PostCommand(const QByteArray& body, const QString& workFile, const QString& stepText);
    QString PostCommand(const StoreCommand& command);

    // Runs one session for the action text (exact comparison; any other text
    // runs nothing). Errors are shown, never raised; the closing steps
    // ("Session Complete: ") always run.
    void RunSession(const QString& action);
    bool isRunning() const { return m_running; }
    // Whether the last session ended on an error (a raised error or an
    // "Invalid Password!" reply). For the headless mode's exit code.
    bool lastSessionFailed() const { return m_failed; }

    // Shows "Invalid Password!" and marks the session failed; for every
    // step that receives "PASS_INVALID".
    void reportInvalidPassword();
    // Marks the session failed without raising (a step that showed its own error).
    void markFailed() { m_failed = true; }

    // Shows or hides the transfer panel during a session (hidden again by
    // the closing steps).
    void setTransferPanelVisible(bool visible);

    // The session actions (each posts through PostCommand).
    void PollServer();
    void LockStore();
    void EmergencyUnlock();
    void ChangeStorePassword(const QString& newPassword);
    // Sends the settings and the seven rate tables in one genconfigs post
    // (docs/publishing.md); false when the store refused the password. A
    // rate table that cannot be opened or holds a separator ends the session
    // before anything is posted. After a publish the store answered, what was
    // sent (without the password) is kept for "Preview Changes".
    bool PublishConfiguration();

    // "Starting Session: " / "Session Complete: " time stamps: the locale's
    // short date and long time (without a time zone).
    static QString sessionTimeText(const QDateTime& when);

    // Whether the store script's address is still the example one
    // (www.yourdomain.com): a session then refuses at once with
    // "Set your store's address in Net Connection Settings first."
    static bool isExampleStoreAddress(const QString& url);
    static QString exampleStoreAddressText();

    // "There is not enough memory to go on; the session was ended.": an
    // allocation failure anywhere in a session ends the session with it.
    static QString outOfMemoryText();

private:
    void runAction(const QString& action);
    void prepareClient();
    void appendToBuffer(const QByteArray& chunk);
    template <typename F> void withoutThrowing(F&& f);

    MainServices* m_main;
    SessionHost* m_host;
    SecureHTTP* m_http;
    EventLog m_log;
    QByteArray m_buffer;
    QString m_password;
    bool m_running = false;
    bool m_failed = false;
};

} // namespace os
