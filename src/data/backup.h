#pragma once

#include "base/error.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace os {

// A backup that failed or was cancelled; text() says why.
class BackupError : public Error
{
public:
    using Error::Error;
};

// A backup of the company database that may run while the program or a
// retrieval writes to it (it only reads, and takes no lock):
// DEST/ordersentinel-backup-yyyy-MM-dd_HH-mm-ss/ with a consistent copy of
// every table file (the retrieval journal lives inside them), zr.ini,
// ccitems.txt, the invoice pages (html/) and, when asked, the kept store
// replies (retrievals/).
//
// - Table files are copied with SQLite's online backup API inside one read
//   transaction each: a copy holds the rows committed when it began, never
//   half of a transaction that was open meanwhile. Each copy is then checked
//   with PRAGMA quick_check (every page and record; linear time), or with
//   PRAGMA integrity_check (every index entry too) when asked.
// - A table file that cannot be read (not SQLite, damaged) costs only
//   itself: the others are backed up and failures() names it.
// - A read-only data folder can be backed up.
// - The folder is written under a hidden temporary name
//   (".ordersentinel-backup-<stamp>.partial-<pid>") and renamed when complete,
//   so a killed backup never leaves a folder that looks finished.
// - Files are created 0600, the folder 0700 (card numbers inside).
class CompanyBackup
{
public:
    static constexpr const char* FolderPrefix = "ordersentinel-backup-";

    struct Progress
    {
        QString file;          // the file being copied ("orders.db")
        qint64 done = 0;       // bytes of the whole backup copied so far
        qint64 total = 0;      // bytes of the whole backup
        bool checking = false; // the copy of `file` is being checked
    };
    // Called often, from the thread that runs the backup; returning false
    // cancels it (BackupError "The backup was cancelled.").
    using ProgressFn = std::function<bool(const Progress&)>;

    struct Options
    {
        // The kept store replies of this folder (<home>/retrievals) are
        // copied into retrievals/ of the backup; empty: they are not.
        QString repliesDir;
        // PRAGMA integrity_check instead of quick_check.
        bool fullCheck = false;
    };

    CompanyBackup(const QString& dataDir, const QString& destination);
    CompanyBackup(const QString& dataDir, const QString& destination, Options options);

    // Runs the backup; returns the complete folder's path. The destination
    // is created when missing. Throws BackupError (or DbError) with the
    // reason when nothing could be backed up (or it was cancelled); nothing
    // that looks like a backup is left then. A table file that could not be
    // backed up while others were is named in failures().
    QString run(const ProgressFn& progress = {});

    // Why each table file left out of the last run was left out
    // ("Cannot back up orders.db.\rfile is not a database").
    QStringList failures() const { return m_failures; }

    // The files a backup copies, in order: the table files that exist, then
    // zr.ini and ccitems.txt when they exist (names, in the data directory).
    // The invoice pages and kept replies follow them as folders.
    QStringList files() const;

    // Removes all but the newest `keep` complete backups in `destination`,
    // and the temporary folders of backups that were killed; returns the
    // complete backups removed. Throws BackupError when one cannot be removed.
    static QStringList prune(const QString& destination, int keep);

    // The complete backups in `destination`, oldest first.
    static QStringList completeBackups(const QString& destination);

private:
    QString m_dataDir;
    QString m_destination;
    Options m_options;
    QStringList m_failures;
};

} // namespace os
