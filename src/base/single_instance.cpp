#include "base/single_instance.h"

#include "base/messages.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

const QString SingleInstance::AlreadyRunningMessage =
    QStringLiteral("Ordersentinel is already running or the database repair utility is open!");

namespace {

QString lockDir()
{
    QString dir = qEnvironmentVariable("ORDERSENTINEL_LOCK_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// An exclusive flock() on `path`, created when missing: the descriptor, or
// -1 with `error` set (left empty when another process holds the lock).
int lockExclusive(const QString& path, QString& error)
{
    const QByteArray native = QFile::encodeName(path);
    // Close-on-exec: a program we start (a mail server in the tests, a viewer)
    // must not inherit the lock and keep it after we end.
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = QStringLiteral("%1: %2").arg(path, systemError(errno));
        return -1;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        if (err != EWOULDBLOCK)
            error = QStringLiteral("%1: %2").arg(path, systemError(err));
        return -1;
    }
    // The holder's process id, for whoever looks at the file.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.constData(), size_t(pid.size())) < 0) {
        // Only informative; the lock is what counts.
    }
    return fd;
}

void unlock(int& fd)
{
    if (fd < 0)
        return;
    ::flock(fd, LOCK_UN);
    ::close(fd);
    fd = -1;
}

// Makes the lock folder and any missing parent owner-only (0700): nobody else
// needs to see which programs run. Folders that exist are left as they are.
void makeOwnerOnlyPath(const QString& dir)
{
    const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
    if (QFileInfo(clean).isDir())
        return;
    const QString parent = QFileInfo(clean).path();
    if (parent != clean)
        makeOwnerOnlyPath(parent);
    ::mkdir(QFile::encodeName(clean).constData(), 0700);
}

} // namespace

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance()
{
    release();
}

QString SingleInstance::lockFilePath()
{
    return lockDir() + QStringLiteral("/ZR");
}

bool SingleInstance::tryAcquire()
{
    if (m_fd >= 0)
        return true;
    m_error.clear();
    const QString path = lockFilePath();
    makeOwnerOnlyPath(QFileInfo(path).absolutePath());
    m_fd = lockExclusive(path, m_error);
    return m_fd >= 0;
}

void SingleInstance::release()
{
    unlock(m_fd);
}

bool SingleInstance::acquireOrReport()
{
    if (tryAcquire())
        return true;
    messages().error(m_error.isEmpty() ? AlreadyRunningMessage : m_error);
    return false;
}

HomeLock::HomeLock(const QString& dataDir) : m_dataDir(dataDir) {}

HomeLock::~HomeLock()
{
    release();
}

QString HomeLock::lockFilePath(const QString& dataDir)
{
    return dataDir + QLatin1Char('/') + QLatin1String(FileName);
}

bool HomeLock::tryAcquire()
{
    if (m_fd >= 0)
        return true;
    m_error.clear();
    if (!QFileInfo(m_dataDir).isDir())
        return true;
    m_fd = lockExclusive(lockFilePath(m_dataDir), m_error);
    return m_fd >= 0;
}

void HomeLock::release()
{
    unlock(m_fd);
}

bool HomeLock::acquireOrReport()
{
    if (tryAcquire())
        return true;
    messages().error(m_error.isEmpty() ? SingleInstance::AlreadyRunningMessage : m_error);
    return false;
}

} // namespace os
