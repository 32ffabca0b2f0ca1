#pragma once

#include <QByteArray>
#include <QString>

namespace os {

class StoreSession;

// "Get Orders & Information": the integrity check, get_new_stuff, the
// clean-up and the import of everything the store delivered. Runs inside a
// session; raises os::Error subclasses to end the session.
void RetrieveOrders(StoreSession& session);

// The message shown when the company's invoice directory is missing:
// The "<dataDir>/html/" HTML invoice export directory does not exist!
QString missingHtmlDirMessage(const QString& dataDir);

// Keeps a get_new_stuff reply in <home>/retrievals/ as
// "yyyy-MM-dd_HH-mm-ss.reply" (now from os::Clock; "_2", "_3", ... added when
// the name is taken, never overwriting), readable by the owner only. The
// store forgets its data once told to clean up, so this copy is what
// --import-reply can import again. Returns the file's path; throws
// SessionError when it cannot be written.
QString keepReply(const QByteArray& reply, const QString& home);

} // namespace os
