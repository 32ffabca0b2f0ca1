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
#include <QFileInfo>

namespace os {

int runImportReply(const QString& file)
{
    ErrorCountingMessages counting;

    ProgramLock lock(AppPaths::dataDir());
    if (!lock.acquireOrReport())
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
    // Half a delivery would be imported again in full by a later retrieval.
    const QString fault = deliveryFault(reply);
    if (!fault.isEmpty()) {
        messages().error(QStringLiteral("\"%1\" is not a whole delivery: %2. Nothing was imported.")
                             .arg(file, fault));
        return 2;
    }

    const QString dataDir = AppPaths::dataDir();
    if (!QDir(AppPaths::htmlDirOf(dataDir)).exists()) {
        messages().error(missingHtmlDirMessage(dataDir));
        return 1;
    }

    EventLog log;
    QObject::connect(&log, &EventLog::rowAdded, &printLogRow);
    printLogRow(QStringLiteral("Notice"), regionalFormatText());

    try {
        TMainDataMod data;
        if (!openCompanyDatabaseReporting(data, dataDir))
            return 1;
        ImportContext ctx;
        ctx.dataDir = dataDir;
        ctx.workDir = AppPaths::home();
        // The journal knows the reply by its name: records an earlier import
        // (or the retrieval that kept it) applied are skipped.
        ctx.reply = QFileInfo(file).fileName();
        ctx.reportSkipped = true;
        ctx.log = [&log](const QString& type, const QString& message) {
            log.LogEvent(type, message);
        };
        runImportSteps(reply, ctx);
        // Imported to the end: a retrieval that stopped with it is done.
        clearReplyPending(file);
    } catch (const ProgramTermination& t) {
        return t.code();
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    }
    return counting.errors() == 0 ? 0 : 1;
}

} // namespace os
