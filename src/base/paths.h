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

    // The program's own directory when `--home` is not given: the
    // executable's directory when it holds the company data directory (a copy
    // of the program kept with its data), otherwise the user's own
    // `$XDG_DATA_HOME/ordersentinel` (~/.local/share/ordersentinel): an
    // installed program lives in a system folder that is not the merchant's.
    static QString defaultHome(const QString& programDir);
    // Makes the home, its data directory and the invoice directory where they
    // are missing (owner only: the tables hold card numbers), as an installer
    // would for a program kept with its data. False with the reason.
    static bool prepareUserHome(const QString& home, QString* error);
    // Makes the invoice directory of `dataDir` (and `dataDir` itself) where
    // missing, owner only. False when it is still missing.
    static bool makeHtmlDir(const QString& dataDir);
};

} // namespace os
