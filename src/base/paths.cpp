#include "base/paths.h"

#include <QCoreApplication>
#include <QDir>

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

} // namespace os
