#include "common/file_utils.h"

#include <QFile>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

namespace os::test {

int unixMode(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

void withFullDisk(const std::function<void()>& f, qint64 room)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = rlim_t(room);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    f();
    setrlimit(RLIMIT_FSIZE, &old);
}

} // namespace os::test
