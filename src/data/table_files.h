#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

namespace os {

class DbError;

// A file SQLite itself calls damaged (malformed, not a database): the open
// failure's text, and that a backup or the repair utility can bring it back.
QString damagedTableText(const QString& path, const QString& engineText);
// The failure of opening `path` on `db` (its last error, or `rc` without a
// connection): damagedTableText for a damaged file, openFailText otherwise.
DbError openFailError(sqlite3* db, int rc, const QString& path, const QString& engineText);

// A table file (and its log) that others may read is narrowed to its owner
// when a connection first opens it: the tables hold card numbers. True when
// it was narrowed; the file is remembered for takeNarrowedFiles.
bool narrowToOwner(const QString& path);
// The files narrowed since the last call (emptied by it).
QStringList takeNarrowedFiles();
// The notice naming them.
QString narrowedNotice(const QStringList& files);
// The notice for the files narrowed since the last call, empty when none
// was; shown by whoever opened the company database.
QString takeOpenNotice();

// Case-insensitive matching beyond ASCII: every connection to a table file
// has the SQL function os_fold(text), the text in Unicode case folding
// (QString::toCaseFolded; "MÜLLER" -> "müller"). A search compares
// os_fold(column) with the folded text; texts of ASCII letters only keep
// the case-blind indexes (COLLATE NOCASE, LIKE) as they are.
QString foldCase(const QString& text);
bool isAscii(const QString& text);
void registerFoldCase(sqlite3* db);

} // namespace os
