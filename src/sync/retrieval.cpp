#include "sync/retrieval.h"

#include "base/clock.h"
#include "base/messages.h"
#include "base/owner_only_file.h"
#include "base/paths.h"
#include "sync/import_steps.h"
#include "sync/integrity.h"
#include "sync/protocol.h"
#include "sync/session_error.h"
#include "sync/store_session.h"

#include <QDir>
#include <QFile>

namespace os {

QString missingHtmlDirMessage(const QString& dataDir)
{
    // Named as a directory, with the separator at the end.
    return QStringLiteral("The \"%1/\" HTML invoice export directory does not exist!")
        .arg(AppPaths::htmlDirOf(dataDir));
}

QString keepReply(const QByteArray& reply, const QString& home)
{
    const QString dir = home + QStringLiteral("/retrievals");
    if (!QDir().mkpath(dir))
        throw SessionError(QStringLiteral("Cannot create directory \"%1\".").arg(dir));
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString stem =
        dir + QLatin1Char('/') + Clock::now().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    for (int n = 1;; ++n) {
        const QString path =
            stem + (n == 1 ? QString() : QStringLiteral("_%1").arg(n)) + QStringLiteral(".reply");
        QFile file(path);
        // NewOnly: an existing kept reply is never replaced. Card numbers
        // inside: owner only from the first byte.
        if (!openOwnerOnly(file, QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFile::exists(path) && n < 10000)
                continue;
            throw SessionError(cannotCreateFileText(path, file.errorString()));
        }
        // The store forgets the data once told to clean up: the copy must be
        // on disk, its name included, before that.
        const QString why =
            file.write(reply) != reply.size() ? file.errorString() : syncToDisk(file);
        if (!why.isEmpty()) {
            file.remove(); // half a reply is no copy to import later
            throw SessionError(cannotWriteFileText(path, why));
        }
        if (!syncDirectory(dir) || !syncDirectory(home))
            throw SessionError(QStringLiteral("Cannot write directory \"%1\".").arg(dir));
        return path;
    }
}

void RetrieveOrders(StoreSession& session)
{
    const QString dataDir = AppPaths::dataDir();
    if (!QDir(AppPaths::htmlDirOf(dataDir)).exists()) {
        session.markFailed();
        messages().error(missingHtmlDirMessage(dataDir));
        return;
    }
    if (!CheckDataIntegrity(session))
        return;

    session.responseBuffer().clear();
    const QString action = session.PostCommand(getNewStuffCommand(session.password()));
    if (action == QLatin1String("PASS_INVALID")) {
        session.reportInvalidPassword();
        return;
    }
    if (action != QLatin1String("DataSuccess"))
        return;
    const QByteArray reply = session.responseBuffer(); // the next post reuses the buffer

    // The store forgets what it delivered once told to clean up, and the
    // import can stop early: the whole reply is kept first. A copy that
    // cannot be kept ends the session before the clean-up, so the store
    // still holds everything for the next retrieval.
    keepReply(reply, AppPaths::home());

    const QString cleanUp = session.PostCommand(cleanUpInvoiceCommand(session.password()));
    if (cleanUp == QLatin1String("PASS_INVALID")) {
        session.reportInvalidPassword();
        return;
    }

    ImportContext ctx;
    ctx.dataDir = dataDir;
    ctx.workDir = AppPaths::home();
    ctx.log = [&session](const QString& type, const QString& message) {
        session.LogEvent(type, message);
    };
    runImportSteps(reply, ctx);

    if (cleanUp != QLatin1String("UNLOCKED!"))
        messages().info(QStringLiteral("Press F9"));
}

} // namespace os
