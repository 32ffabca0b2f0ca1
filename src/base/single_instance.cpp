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
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    // Close-on-exec: a program we start (a mail server in the tests, a viewer)
    // must not inherit the lock and keep it after we end.
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("%1: %2").arg(path, systemError(errno));
        return false;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        if (err != EWOULDBLOCK)
            m_error = QStringLiteral("%1: %2").arg(path, systemError(err));
        return false;
    }
    // The holder's process id, for whoever looks at the file.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.constData(), size_t(pid.size())) < 0) {
        // Only informative; the lock is what counts.
    }
    m_fd = fd;
    return true;
}

void SingleInstance::release()
{
    if (m_fd < 0)
        return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

bool SingleInstance::acquireOrReport()
{
    if (tryAcquire())
        return true;
    messages().error(m_error.isEmpty() ? AlreadyRunningMessage : m_error);
    return false;
}

} // namespace os
