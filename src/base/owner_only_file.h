#pragma once

#include <QFile>
#include <QString>

namespace os {

// Files holding card numbers, customer names and addresses (store replies,
// work files, invoices) are readable and writable by their owner only.

// Opens `file` with `mode`; a new file is created owner-only, and an existing
// one has its rights narrowed to owner-only as well (a file left by an older
// version or another program may be wider). False when it cannot be opened.
bool openOwnerOnly(QFile& file, QIODevice::OpenMode mode);

// Writes the buffered bytes and waits until the file is on disk (fsync).
// Empty when done, else why not.
QString syncToDisk(QFile& file);

// Waits until the entries of `dir` (a file just created in it) are on disk.
// False when the directory cannot be opened or synced.
bool syncDirectory(const QString& dir);

// Replaces the file at `path` with `bytes` in one step: written to a temporary
// file in the same directory, synced, then renamed over the old one, and left
// owner-only. A crash or a full disk leaves the old file as it was. Empty when
// done, else the system's reason.
QString replaceFileOwnerOnly(const QString& path, const QByteArray& bytes);

// "Cannot create file "<path>". <why>" and "Cannot write file "<path>". <why>".
QString cannotCreateFileText(const QString& path, const QString& why);
QString cannotWriteFileText(const QString& path, const QString& why);

} // namespace os
