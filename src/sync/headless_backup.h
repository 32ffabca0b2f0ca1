#pragma once

#include <QString>

namespace os {

// `ordersentinel --home DIR --backup DEST [--keep N]`: a backup of the
// company database (CompanyBackup, src/data/backup.h) into a new dated
// folder in DEST, then, with `keep` given, all but the newest N complete
// backups in DEST removed. It only reads the company database and takes no
// lock, so it runs beside the window program or a retrieval. Rows on
// standard output ("Backup<TAB>orders.db", ..., "Backup<TAB>Complete: PATH",
// "Backup<TAB>Removed: PATH"), the reason of a failure on standard error.
// Returns 0 done, 1 failed, 2 when `keep` is not a number of 1 or more.
int runBackup(const QString& destination, const QString& keep);

} // namespace os
