#pragma once

#include <QByteArray>
#include <QString>

namespace os::test {

// Permission bits of a file as the system holds them; -1 when it is missing.
int unixMode(const QString& path);

// The whole file, or "<missing>" when it cannot be read.
QByteArray readAll(const QString& path);

// Writes (replacing) the whole file; false when it cannot be written.
bool writeAll(const QString& path, const QByteArray& bytes);

} // namespace os::test
