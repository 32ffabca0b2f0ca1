#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

namespace os {

class StoreSession;

// "Get Orders & Information": the integrity check, get_new_stuff, the
// clean-up and the import of everything the store delivered. Runs inside a
// session; raises os::Error subclasses to end the session.
void RetrieveOrders(StoreSession& session);

// The message shown when the company's invoice directory is missing:
// The "<dataDir>/html/" HTML invoice export directory does not exist!
QString missingHtmlDirMessage(const QString& dataDir);

// What a kept reply is.
enum class KeptReply
{
    Whole,     // "yyyy-MM-dd_HH-mm-ss.reply": a whole delivery
    Incomplete // "yyyy-MM-dd_HH-mm-ss.incomplete.reply": kept for inspection only
};

// Keeps a get_new_stuff reply in <home>/retrievals/ (now from os::Clock;
// "_2", "_3", ... added when the name is taken, never overwriting), readable
// by the owner only. It is written under a temporary name, synced to disk
// and then given its name, so a file with that name is always whole. The
// store forgets its data once told to clean up, so this copy is what
// --import-reply can import again. Returns the file's path; throws
// SessionError when it cannot be written.
QString keepReply(QByteArrayView reply, const QString& home, KeptReply kind = KeptReply::Whole);

// The session's text when the store's reply is not a whole delivery
// (deliveryFault): what was wrong, that nothing was imported and the store
// keeps its data, and where the reply was kept (when it could be).
QString incompleteDeliveryText(const QString& fault, const QString& keptPath);

// A kept reply the store has forgotten (the clean-up was answered) whose
// import has not finished yet is pending: "<reply>.pending" beside it, on
// disk before the import begins and removed once every import step ran. A
// kill, a power cut or a crash during the import leaves the mark, and the
// next start or retrieval imports the reply (the journal applies each record
// at most once). Throws SessionError when the mark cannot be written.
void markReplyPending(const QString& keptPath);
void clearReplyPending(const QString& keptPath);
// The pending kept replies of <home>/retrievals/, oldest first.
QStringList pendingReplies(const QString& home);

// Imports every pending kept reply into the tables of `dataDir` before
// anything else happens, each with a row naming it before and after (type
// "Notice"); a reply imported to the end is no longer pending. Returns how
// many were imported. Throws os::Error (SessionError, DbError) when one
// cannot be read or its import stops: it stays pending for the next time.
int importPendingReplies(const QString& home, const QString& dataDir,
                         const std::function<void(const QString&, const QString&)>& log);

// The rows importPendingReplies adds for a reply.
QString pendingReplyText(const QString& keptPath);
QString pendingReplyImportedText(const QString& keptPath);

// The command line that imports a kept reply again:
// ordersentinel --home "<home>" --import-reply "<path>".
QString importReplyCommand(const QString& keptPath);

} // namespace os
