#include "base/owner_only_file.h"

#include <QDir>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

bool openOwnerOnly(QFile& file, QIODevice::OpenMode mode)
{
    if (!file.open(mode, kOwnerOnly))
        return false;
    // The rights given to open() apply only when the file is created. A file
    // of another owner cannot be narrowed; it is still written, as before.
    // Only a plain file is narrowed: a device or pipe named as the file
    // (/dev/null, say) belongs to the system and keeps its rights.
    struct stat info
    {
    };
    if (::fstat(file.handle(), &info) == 0 && S_ISREG(info.st_mode))
        file.setPermissions(kOwnerOnly);
    return true;
}

QString syncToDisk(QFile& file)
{
    if (!file.flush())
        return file.errorString();
    if (::fsync(file.handle()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

bool syncDirectory(const QString& dir)
{
    const int fd = ::open(QFile::encodeName(QDir::toNativeSeparators(dir)).constData(),
                          O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

QString replaceFileOwnerOnly(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return f.errorString();
    f.setPermissions(kOwnerOnly);
    // A short write (a full disk) is not flagged as an error by QSaveFile,
    // which would then put a cut-off file in place of the good one; nor is a
    // failure of the last buffered bytes, written only when commit() closes
    // the file: they are flushed and checked here.
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        const QString why = f.errorString();
        f.cancelWriting();
        f.commit(); // drops the temporary file, keeps the old one
        return why;
    }
    if (!f.commit())
        return f.errorString();
    return {};
}

QString cannotCreateFileText(const QString& path, const QString& why)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, why);
}

QString cannotWriteFileText(const QString& path, const QString& why)
{
    return QStringLiteral("Cannot write file \"%1\". %2").arg(path, why);
}

} // namespace os
