#include "common/temp_home.h"

#include "base/paths.h"

#include <QDir>

namespace os::test {

TempHome::TempHome(bool withDataDirs)
{
    if (withDataDirs)
        QDir(m_dir.path()).mkpath(QStringLiteral("data/html"));
    AppPaths::setHome(m_dir.path());
}

TempHome::~TempHome() = default;

QString TempHome::dataDir() const
{
    return m_dir.path() + QStringLiteral("/data");
}
QString TempHome::path(const QString& relative) const
{
    return m_dir.path() + QLatin1Char('/') + relative;
}

} // namespace os::test
