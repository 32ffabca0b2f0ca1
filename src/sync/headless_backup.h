#pragma once

#include <QString>

namespace os {

// `ordersentinel --home DIR --backup DEST [--keep N] [--verify quick|full]
// [--with-replies]`: a backup of the company database (CompanyBackup,
// src/data/backup.h) with the invoice pages (and with `withReplies` the
// kept store replies) into a new dated folder in DEST, then, with `keep`
// given, all but the newest N complete backups in DEST removed. Each table
// copy is checked with quick_check, or integrity_check under `--verify
// full`. It only reads the company database and takes no lock, so it runs
// beside the window program or a retrieval. Rows on standard output
// ("Backup<TAB>orders.db", ..., "Backup<TAB>html/", "Backup<TAB>Complete:
// PATH", "Backup<TAB>Removed: PATH"), the reason of a failure on standard
// error. A table that could not be backed up is named there while the
// others are. Returns 0 done, 1 failed (also when one table was left out),
// 2 when `keep` is not a number of 1 or more or `verify` not quick or full.
int runBackup(const QString& destination, const QString& keep, const QString& verify = {},
              bool withReplies = false);

} // namespace os
