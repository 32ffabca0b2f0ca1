#pragma once

#include <QString>
#include <QTemporaryDir>

namespace os::test {

// A program home in a temporary directory, with data/ and data/html/, made
// the program's home (AppPaths) for the life of the object.
class TempHome
{
public:
    explicit TempHome(bool withDataDirs = true);
    ~TempHome();
    QString home() const { return m_dir.path(); }
    QString dataDir() const;
    QString path(const QString& relative) const; // under home
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};

} // namespace os::test
