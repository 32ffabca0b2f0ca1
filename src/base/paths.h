#pragma once

#include <QString>

namespace os {

// Where the program keeps its files. The program's own directory is where the
// executable lives unless `--home DIR` names another; the company data
// directory is that directory followed by "data"; the store work files
// (~g1.tmp, orders.dat, ...) live in the program's own directory.
class AppPaths
{
public:
    static void setHome(const QString& dir);          // fixed once at start-up
    static QString home();                            // the program's own directory
    static QString dataDir();                         // home + "/data"
    static QString htmlDir();                         // dataDir + "/html"
    static QString htmlDirOf(const QString& dataDir); // the invoice directory of a data directory
    static QString homeFile(const QString& name);
    static QString dataFile(const QString& name);
};

} // namespace os
