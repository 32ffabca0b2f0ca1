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

#include "net/secure_http.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace os {

QString missingHtmlDirMessage(const QString& dataDir)
{
    // Named as a directory, with the separator at the end.
    return QStringLiteral("The \"%1/\" HTML invoice export directory does not exist!")
        .arg(AppPaths::htmlDirOf(dataDir));
}

QString incompleteDeliveryText(const QString& fault, const QString& keptPath)
{
    QString text = QStringLiteral("The store's reply is not a whole delivery: %1.\r\rNothing was "
                                  "imported and the store was not told to clean up, so it keeps "
                                  "the data for the next retrieval and stays locked until a "
                                  "whole delivery arrives.")
                       .arg(fault);
    if (!keptPath.isEmpty())
        text += QStringLiteral(" The reply is kept for inspection as \"%1\".").arg(keptPath);
    return text;
}

QString importReplyCommand(const QString& keptPath)
{
    return QStringLiteral("ordersentinel --home \"%1\" --import-reply \"%2\"")
        .arg(QDir::toNativeSeparators(AppPaths::home()), QDir::toNativeSeparators(keptPath));
}

QString keepReply(QByteArrayView reply, const QString& home, KeptReply kind)
{
    const QString dir = home + QStringLiteral("/retrievals");
    if (!QDir().mkpath(dir))
        throw SessionError(QStringLiteral("Cannot create directory \"%1\".").arg(dir));
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString stem =
        dir + QLatin1Char('/') + Clock::now().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QString suffix =
        kind == KeptReply::Whole ? QStringLiteral(".reply") : QStringLiteral(".incomplete.reply");

    // The whole reply under a temporary name first: a kill while it is
    // written leaves no file that looks like a kept reply.
    QString part;
    QFile file;
    for (int n = 1;; ++n) {
        part = stem + QStringLiteral(".reply.%1.part").arg(n);
        file.setFileName(part);
        // Card numbers inside: owner only from the first byte.
        if (openOwnerOnly(file, QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!QFile::exists(part) || n >= 10000)
            throw SessionError(cannotCreateFileText(part, file.errorString()));
    }
    // The store forgets the data once told to clean up: the copy must be
    // on disk, its name included, before that.
    const QString why = file.write(reply.data(), reply.size()) != reply.size() ? file.errorString()
                                                                               : syncToDisk(file);
    file.close();
    if (!why.isEmpty()) {
        QFile::remove(part); // half a reply is no copy to import later
        throw SessionError(cannotWriteFileText(part, why));
    }
    const QByteArray from = QFile::encodeName(part);
    for (int n = 1;; ++n) {
        const QString path = stem + (n == 1 ? QString() : QStringLiteral("_%1").arg(n)) + suffix;
        // link() never replaces an existing kept reply.
        if (::link(from.constData(), QFile::encodeName(path).constData()) == 0) {
            QFile::remove(part);
            if (!syncDirectory(dir) || !syncDirectory(home))
                throw SessionError(QStringLiteral("Cannot write directory \"%1\".").arg(dir));
            return path;
        }
        const int err = errno;
        if (err != EEXIST || n >= 10000) {
            QFile::remove(part);
            throw SessionError(
                cannotCreateFileText(path, QString::fromLocal8Bit(std::strerror(err))));
        }
    }
}

namespace {
QString pendingMarkOf(const QString& keptPath)
{
    return keptPath + QStringLiteral(".pending");
}

// A test holds the program here (stopped, to be killed) to prove that a
// delivery the store has forgotten is not lost.
void holdForTest(const char* point)
{
    if (qEnvironmentVariable("ORDERSENTINEL_TEST_HOLD") == QLatin1String(point))
        ::raise(SIGSTOP);
}
} // namespace

void markReplyPending(const QString& keptPath)
{
    const QString mark = pendingMarkOf(keptPath);
    QFile file(mark);
    if (!openOwnerOnly(file, QIODevice::WriteOnly | QIODevice::Truncate))
        throw SessionError(cannotCreateFileText(mark, file.errorString()));
    const QString why = syncToDisk(file);
    file.close();
    if (!why.isEmpty())
        throw SessionError(cannotWriteFileText(mark, why));
    if (!syncDirectory(QFileInfo(mark).absolutePath()))
        throw SessionError(
            QStringLiteral("Cannot write directory \"%1\".").arg(QFileInfo(mark).absolutePath()));
}

void clearReplyPending(const QString& keptPath)
{
    // A mark left behind only means the reply is looked at again (and every
    // record skipped): harmless.
    if (QFile::remove(pendingMarkOf(keptPath)))
        syncDirectory(QFileInfo(keptPath).absolutePath());
}

QStringList pendingReplies(const QString& home)
{
    const QDir dir(home + QStringLiteral("/retrievals"));
    QStringList replies;
    // Kept reply names begin with their time: sorted by name is oldest first.
    const QStringList marks =
        dir.entryList({QStringLiteral("*.reply.pending")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& mark : marks) {
        const QString reply = dir.filePath(mark.chopped(int(qstrlen(".pending"))));
        if (QFileInfo::exists(reply))
            replies.append(reply);
        else
            QFile::remove(dir.filePath(mark)); // nothing left to import
    }
    return replies;
}

QString pendingReplyText(const QString& keptPath)
{
    return QStringLiteral("The import of the kept reply \"%1\" did not finish; it is imported "
                          "now.")
        .arg(QDir::toNativeSeparators(keptPath));
}

QString pendingReplyImportedText(const QString& keptPath)
{
    return QStringLiteral("The kept reply \"%1\" is imported.")
        .arg(QDir::toNativeSeparators(keptPath));
}

int importPendingReplies(const QString& home, const QString& dataDir,
                         const std::function<void(const QString&, const QString&)>& log)
{
    const QStringList replies = pendingReplies(home);
    for (const QString& path : replies) {
        log(QStringLiteral("Notice"), pendingReplyText(path));
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            throw SessionError(
                QStringLiteral("Cannot open file \"%1\". %2").arg(path, in.errorString()));
        const QByteArray reply = in.readAll();
        in.close();
        const QString fault = deliveryFault(reply);
        if (GetStoreAction(reply) != QLatin1String("DataSuccess") || !fault.isEmpty())
            throw SessionError(
                QStringLiteral("\"%1\" is not a whole delivery: %2. Nothing was imported.")
                    .arg(path, fault.isEmpty() ? QStringLiteral("it holds no data") : fault));
        ImportContext ctx;
        ctx.dataDir = dataDir;
        ctx.workDir = home;
        ctx.reply = QFileInfo(path).fileName();
        ctx.log = log;
        runImportSteps(reply, ctx);
        clearReplyPending(path);
        log(QStringLiteral("Notice"), pendingReplyImportedText(path));
    }
    return int(replies.size());
}

void RetrieveOrders(StoreSession& session)
{
    const QString dataDir = AppPaths::dataDir();
    // The invoice directory is made when missing (a merchant removed it, or
    // the home came without one); only one that cannot be made stops here.
    if (!AppPaths::makeHtmlDir(dataDir)) {
        session.markFailed();
        messages().error(missingHtmlDirMessage(dataDir));
        return;
    }
    // What an earlier retrieval left half imported goes in before the store
    // is asked for more.
    importPendingReplies(AppPaths::home(), dataDir,
                         [&session](const QString& type, const QString& message) {
                             session.LogEvent(type, message);
                         });
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
    // Shared, not copied: the next post starts a new buffer.
    const QByteArray reply = session.responseBuffer();

    // A reply cut off in transit or written wrongly by the store must not
    // make the store forget what it holds: no clean-up, nothing imported.
    const QString fault = deliveryFault(reply);
    if (!fault.isEmpty()) {
        QString kept;
        try {
            kept = keepReply(reply, AppPaths::home(), KeptReply::Incomplete);
        } catch (const SessionError&) {
            // the fault is what the merchant must know; the store still has the data
        }
        throw SessionError(incompleteDeliveryText(fault, kept));
    }

    // The store forgets what it delivered once told to clean up, and the
    // import can stop early: the whole reply is kept first. A copy that
    // cannot be kept ends the session before the clean-up, so the store
    // still holds everything for the next retrieval (and stays locked until
    // then).
    const QString kept = keepReply(reply, AppPaths::home());

    QString cleanUp;
    try {
        cleanUp = session.PostCommand(cleanUpInvoiceCommand(session.password()));
    } catch (const HttpError& e) {
        // Whether the store cleaned up is unknown: importing now would
        // double notes and marks if it did not and delivers them again.
        // The delivery is safe in the kept reply either way.
        throw SessionError(
            e.text() +
            QStringLiteral("\r\rThe store may not have been told to clean up. Nothing was "
                           "imported; the delivery is kept in \"%1\". If the next retrieval does "
                           "not bring these orders again, import the kept reply with:\r%2")
                .arg(QDir::toNativeSeparators(kept), importReplyCommand(kept)));
    }
    if (cleanUp == QLatin1String("PASS_INVALID")) {
        session.reportInvalidPassword();
        return;
    }

    // The store has forgotten the delivery: until every step has run, the
    // kept reply is all there is of it.
    markReplyPending(kept);
    holdForTest("after-clean-up");

    ImportContext ctx;
    ctx.dataDir = dataDir;
    ctx.workDir = AppPaths::home();
    ctx.reply = QFileInfo(kept).fileName();
    ctx.log = [&session](const QString& type, const QString& message) {
        session.LogEvent(type, message);
    };
    runImportSteps(reply, ctx);
    clearReplyPending(kept);

    if (cleanUp != QLatin1String("UNLOCKED!"))
        messages().info(QStringLiteral("Press F9"));
}

} // namespace os
