#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace os::test {

// Permission bits of a file as the system holds them; -1 when it is missing.
int unixMode(const QString& path);

// The whole file, or "<missing>" when it cannot be read.
QByteArray readAll(const QString& path);

// Writes (replacing) the whole file; false when it cannot be written.
bool writeAll(const QString& path, const QByteArray& bytes);

// Runs `f` with a full disk, played by a file-size limit of `room` bytes:
// a write past it fails (EFBIG) as on a full disk. The limit is lifted again
// when `f` returns.
void withFullDisk(const std::function<void()>& f, qint64 room = 16 * 1024);

} // namespace os::test
