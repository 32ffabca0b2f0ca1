#include "sync/headless.h"

#include "base/error.h"
#include "base/main_services.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/text_utils.h"
#include "data/main_data_mod.h"
#include "data/table_files.h"
#include "sync/import_steps.h"
#include "sync/publish_preview.h"
#include "sync/store_session.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace os {

namespace {

// Turns the terminal's echo off while a secret is typed.
class NoEcho
{
public:
    NoEcho()
    {
        if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &m_saved) == 0) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            m_active = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~NoEcho()
    {
        if (m_active) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
            std::fputc('\n', stderr); // the Enter that was not echoed
        }
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    termios m_saved{};
    bool m_active = false;
};

// One line of standard input without its line end; nothing at end of input.
std::optional<QString> readSecretLine(const char* prompt)
{
    if (::isatty(STDIN_FILENO)) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
    }
    NoEcho noEcho;
    std::string line;
    int c;
    bool any = false;
    while ((c = std::fgetc(stdin)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line.push_back(char(c));
    }
    if (!any)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
}

// The headless stand-in for the Connections window: no controls, and the new
// password for "Change Password" is read as two more lines of standard input.
class HeadlessHost : public SessionHost
{
public:
    void setSessionControlsEnabled(bool) override {}
    void setTransferPanelVisible(bool) override {}
    void setTransferCount(qint64) override {}
    void passwordEmptied() override {}

    std::optional<QString> askNewPassword() override
    {
        const std::optional<QString> password = readSecretLine("New Password: ");
        const std::optional<QString> confirmation = readSecretLine("Confirm Password: ");
        if (!password || !confirmation || !isAcceptableNewPassword(*password, *confirmation)) {
            m_refused = true;
            messages().error(
                QStringLiteral("Password must be letters and numbers only and must be at least 5 "
                               "characters. Your password is case sensitive."));
            return std::nullopt;
        }
        return password;
    }
    bool refused() const { return m_refused; }

    // Without --allow-example-values a publish of example values is refused:
    // nobody is there to answer the question.
    bool allowExampleValues = false;
    bool publishWithExampleValues(const QString& question) override
    {
        if (allowExampleValues)
            return true;
        m_refused = true;
        QString text = question;
        text.chop(QStringLiteral("Publish anyway?").size());
        messages().error(text + QStringLiteral("Nothing was published; give "
                                               "--allow-example-values to publish them anyway."));
        return false;
    }

private:
    bool m_refused = false;
};

// The differences the next publish would send, as rows; nothing is sent.
int printPublishPreview()
{
    try {
        const PublishPreview preview = previewPublish(settings(), AppPaths::dataDir());
        // A table whose rows cannot be read is logged as the publish would
        // log it, and left out.
        for (const auto& [type, message] : preview.problems)
            printLogRow(type, message);
        for (const ConfigDifference& d : preview.differences)
            printLogRow(ConfigDifference::kindName(d.kind), d.text());
        return 0;
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    }
}

} // namespace

void printLogRow(const QString& type, const QString& message)
{
    // One line per row, whatever the store wrote into its messages.
    const QByteArray line = (type + QLatin1Char('\t') + visibleControls(message)).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int runHeadlessSession(const QString& action, bool dryRun, bool allowExampleValues)
{
    if (dryRun && action != StoreSession::PublishAction) {
        std::fprintf(stderr, "--dry-run works only with --session \"%s\".\n",
                     StoreSession::PublishAction.toLocal8Bit().constData());
        return 2;
    }
    if (!StoreSession::Actions().contains(action)) {
        std::fprintf(stderr, "Unknown session action \"%s\". The actions are:\n",
                     action.toLocal8Bit().constData());
        for (const QString& a : StoreSession::Actions())
            std::fprintf(stderr, "  %s\n", a.toLocal8Bit().constData());
        return 2;
    }

    // The transfer client waits in local event loops.
    std::unique_ptr<QCoreApplication> ownApp;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "ordersentinel";
        static char* argv[] = {name, nullptr};
        ownApp = std::make_unique<QCoreApplication>(argc, argv);
    }

    ErrorCountingMessages shown; // standard error unless a caller installed another

    LoadSettings();

    HeadlessDatabase database;
    if (StoreSession::actionNeedsTables(action)) {
        if (const std::optional<int> failed = database.open())
            return *failed;
    }

    if (dryRun)
        return printPublishPreview();

    const std::optional<QString> password = readSecretLine("Store password: ");
    if (!password || password->isEmpty()) {
        // The window cannot start a session without a password either.
        std::fputs("No store password was given on standard input.\n", stderr);
        return 2;
    }

    NullMainServices main;
    HeadlessHost host;
    host.allowExampleValues = allowExampleValues;
    StoreSession session(&main, &host);
    QObject::connect(&session.eventLog(), &EventLog::rowAdded, &session, &printLogRow);
    // A cron job often runs without the desktop's LANG: say how store dates
    // and totals will be read, so a mismatch is visible.
    printLogRow(QStringLiteral("Notice"), regionalFormatText());
    session.setPassword(*password);
    session.RunSession(action);

    const bool failed = session.lastSessionFailed() || host.refused() || shown.errors() > 0;
    return failed ? 1 : 0;
}

bool openCompanyDatabaseReporting(TMainDataMod& data, const QString& dir)
{
    const QString notice = TMainDataMod::creationNotice(dir);
    if (!notice.isEmpty())
        messages().info(notice);
    try {
        QString error;
        if (data.OpenCompanyDatabase(dir, &error)) {
            if (const QString narrowed = takeOpenNotice(); !narrowed.isEmpty())
                messages().warning(narrowed);
            return true;
        }
        messages().error(error);
    } catch (const OldTableLayout& old) {
        for (const QString& text : old.messages())
            messages().error(text);
        throw;
    } catch (const Error& e) { // a table that cannot be created
        messages().error(e.text());
    }
    return false;
}

HeadlessDatabase::HeadlessDatabase() : m_data(TMainDataMod::instance())
{
    if (!m_data) {
        m_own = std::make_unique<TMainDataMod>();
        m_data = m_own.get();
    }
}

HeadlessDatabase::~HeadlessDatabase() = default;

std::optional<int> HeadlessDatabase::open()
{
    try {
        if (!m_data->isOpen() && !openCompanyDatabaseReporting(*m_data, AppPaths::dataDir()))
            return 1; // the failure has been shown
    } catch (const ProgramTermination& t) {
        return t.code();
    }
    return std::nullopt;
}

std::optional<QString> readSecretInput(const char* prompt)
{
    return readSecretLine(prompt);
}

} // namespace os
