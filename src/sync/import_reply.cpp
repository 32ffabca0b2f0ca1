#include "sync/import_reply.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/single_instance.h"
#include "data/main_data_mod.h"
#include "sync/event_log.h"
#include "sync/headless.h"
#include "sync/import_steps.h"
#include "sync/protocol.h"
#include "sync/retrieval.h"

#include <QDir>
#include <QFile>

namespace os {

int runImportReply(const QString& file)
{
    ErrorCountingMessages counting;

    SingleInstance instance;
    if (!instance.acquireOrReport())
        return 1;

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
    if (!QDir(AppPaths::htmlDirOf(dataDir)).exists()) {
        messages().error(missingHtmlDirMessage(dataDir));
        return 1;
    }

    EventLog log;
    QObject::connect(&log, &EventLog::rowAdded, &printLogRow);

    try {
        TMainDataMod data;
        if (!openCompanyDatabaseReporting(data, dataDir))
            return 1;
        ImportContext ctx;
        ctx.dataDir = dataDir;
        ctx.workDir = AppPaths::home();
        ctx.log = [&log](const QString& type, const QString& message) {
            log.LogEvent(type, message);
        };
        runImportSteps(reply, ctx);
    } catch (const ProgramTermination& t) {
        return t.code();
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    }
    return counting.errors() == 0 ? 0 : 1;
}

} // namespace os
