#include "base/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace os {

namespace {
QString g_home;
}

void AppPaths::setHome(const QString& dir)
{
    g_home = QDir::cleanPath(QDir(dir).absolutePath());
}

QString AppPaths::home()
{
    if (g_home.isEmpty() && QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return g_home;
}

QString AppPaths::dataDir()
{
    return home() + QStringLiteral("/data");
}
QString AppPaths::htmlDir()
{
    return htmlDirOf(dataDir());
}
QString AppPaths::htmlDirOf(const QString& dataDir)
{
    return dataDir + QStringLiteral("/html");
}
QString AppPaths::homeFile(const QString& name)
{
    return home() + QLatin1Char('/') + name;
}
QString AppPaths::dataFile(const QString& name)
{
    return dataDir() + QLatin1Char('/') + name;
}

QString AppPaths::defaultHome(const QString& programDir)
{
    if (QFileInfo(programDir + QStringLiteral("/data")).isDir())
        return programDir;
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (userData.isEmpty())
        return programDir;
    return userData + QStringLiteral("/ordersentinel");
}

namespace {

// Makes each missing directory of `dirs` in turn, owner only.
bool makeOwnerOnly(const QStringList& dirs, QString* error)
{
    for (const QString& dir : dirs) {
        if (QFileInfo(dir).isDir())
            continue;
        if (!QDir().mkdir(dir) ||
            !QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            if (error)
                *error = QStringLiteral("Cannot create directory \"%1\".").arg(dir);
            return false;
        }
    }
    return true;
}

} // namespace

bool AppPaths::prepareUserHome(const QString& home, QString* error)
{
    // The home's own parents are made as usual (~/.local/share may be missing).
    if (!QFileInfo(home).isDir() && !QDir().mkpath(QFileInfo(home).absolutePath())) {
        if (error)
            *error = QStringLiteral("Cannot create directory \"%1\".").arg(home);
        return false;
    }
    return makeOwnerOnly(
        {home, home + QStringLiteral("/data"), htmlDirOf(home + QStringLiteral("/data"))}, error);
}

bool AppPaths::makeHtmlDir(const QString& dataDir)
{
    return makeOwnerOnly({dataDir, htmlDirOf(dataDir)}, nullptr);
}

} // namespace os
