#pragma once

#include <QString>

#include <functional>

namespace os {

// The Ordersentinel Database Repair Utility (`ordersentinel --repair`): checks
// and mends every table file of a company data directory, which nobody else
// may use meanwhile (the caller holds the program lock and the home lock).
//
// First every table file (with a log a stopped program left beside it) is
// copied as it is into a new folder, so nothing is changed without a copy.
// Then, table by table:
// - a missing table file is created;
// - the file is opened as the program opens it, which folds in a log left
//   behind (WAL recovery), and checked with PRAGMA integrity_check;
// - a file SQLite calls damaged is salvaged: every row that can still be
//   read goes into a new file of the current layout, reading stepping over
//   the damaged pages (where a read stops, the first row id after the damage
//   is found by probing and reading goes on from there); the damaged file is
//   kept aside as "<file>.damaged-<stamp>", and the rows saved and lost are
//   reported (the rows lost counted against the table's own indexes where
//   one still reads);
// - a layout that differs from the catalogue (the older orders layout with
//   its DATE column, a missing column, index or engine object, a column of
//   another type) is rebuilt into the current one with every row: DATE goes
//   into IDATE, a missing column is empty, a column of another type is copied;
// - otherwise the indexes are rebuilt (REINDEX) and the file packed (VACUUM).
class DatabaseRepair
{
public:
    // A row of the report: its type ("Check", "Upgraded", ...) and message.
    using Report = std::function<void(const QString& type, const QString& message)>;

    // The copies go into a new folder "ordersentinel-repair-<stamp>" inside
    // `backupRoot` (created when missing).
    DatabaseRepair(const QString& dataDir, const QString& backupRoot);

    // True when nothing needed mending or everything was mended; false when
    // something could not be saved (a row lost, a file that could not be
    // mended), each named in an "Error" row.
    bool run(const Report& report);

    QString backupFolder() const { return m_backupFolder; }

private:
    QString m_dataDir;
    QString m_backupRoot;
    QString m_backupFolder;
};

} // namespace os
