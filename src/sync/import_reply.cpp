#include "sync/import_reply.h"

#include "app/error.h"
#include "app/messages.h"
#include "app/paths.h"
#include "app/single_instance.h"
#include "data/datamodule.h"
#include "sync/event_log.h"
#include "sync/import_steps.h"
#include "sync/protocol.h"
#include "sync/retrieval.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace os {

namespace {

// Passes every text on to the service in force and counts the errors: an
// import that showed one did not bring everything in.
class CountingMessages : public MessageService
{
public:
    explicit CountingMessages(MessageService& inner) : m_inner(inner) { setMessageService(this); }
    ~CountingMessages() override { setMessageService(m_restore ? &m_inner : nullptr); }
    CountingMessages(const CountingMessages&) = delete;
    CountingMessages& operator=(const CountingMessages&) = delete;

    void info(const QString& text) override { m_inner.info(text); }
    void warning(const QString& text) override { m_inner.warning(text); }
    void error(const QString& text) override
    {
        ++m_errors;
        m_inner.error(text);
    }
    Answer ask(const QString& text, Buttons buttons) override { return m_inner.ask(text, buttons); }
    void beep() override { m_inner.beep(); }
    int errors() const { return m_errors; }
    void restoreOnExit(bool restore) { m_restore = restore; }

private:
    MessageService& m_inner;
    int m_errors = 0;
    bool m_restore = true;
};

} // namespace

int RunImportReply(const QString& file)
{
    MessageService& inner = messages();
    // The default service is not installed explicitly; restore it as null.
    const bool innerIsDefault = dynamic_cast<StderrMessageService*>(&inner) != nullptr;
    CountingMessages counting(inner);
    counting.restoreOnExit(!innerIsDefault);

    SingleInstance instance;
    if (!instance.tryAcquire()) {
        messages().error(instance.errorString().isEmpty() ? SingleInstance::AlreadyRunningMessage
                                                         : instance.errorString());
        return 1;
    }

    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        messages().error(QStringLiteral("Cannot open file \"%1\". %2").arg(file, in.errorString()));
        return 2;
    }
    const QByteArray reply = in.readAll();
    in.close();
    // Only a reply that delivered data is imported: anything else would
    // overwrite the work files of the last retrieval with nothing.
    if (GetStoreAction(reply) != QLatin1String("DataSuccess")) {
        messages().error(QStringLiteral("\"%1\" is not a kept store reply with data.").arg(file));
        return 2;
    }

    const QString dataDir = AppPaths::dataDir();
    if (!QDir(dataDir + QStringLiteral("/html")).exists()) {
        messages().error(MissingHtmlDirMessage(dataDir));
        return 1;
    }

    EventLog log;
    QObject::connect(&log, &EventLog::rowAdded, [](const QString& type, const QString& message) {
        const QByteArray line = (type + QLatin1Char('\t') + message + QLatin1Char('\n')).toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    });

    try {
        TMainDataMod data;
        if (!data.OpenCompanyDatabase(dataDir))
            return 1;
        ImportContext ctx;
        ctx.dataDir = dataDir;
        ctx.workDir = AppPaths::home();
        ctx.log = [&log](const QString& type, const QString& message) { log.LogEvent(type, message); };
        RunImportSteps(reply, ctx);
    } catch (const ProgramTermination& t) {
        return t.code();
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    }
    return counting.errors() == 0 ? 0 : 1;
}

} // namespace os
