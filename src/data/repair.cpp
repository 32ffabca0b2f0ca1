#include "data/repair.h"
#include "data/table_files.h"

#include "base/clock.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/schema.h"
#include "data/statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

// The utility has the home to itself; a wait means a writer that is
// finishing (or a test holding a file on purpose).
constexpr int kBusyMs = 120000;

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString sqlLiteral(const QString& text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString number(qint64 n)
{
    return QLocale::c().toString(n);
}

// A connection closed with the object.
struct Db
{
    sqlite3* db = nullptr;
    Db() = default;
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    ~Db() { close(); }
    void close()
    {
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
    }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }

    // Read-write as the program opens a table: a log left behind is folded
    // in by the first statement.
    int open(const QString& path)
    {
        close();
        const int rc =
            sqlite3_open_v2(native(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        if (db) {
            sqlite3_busy_timeout(db, kBusyMs);
            sqlite3_extended_result_codes(db, 1);
            registerFoldCase(db);
        }
        return rc;
    }

    // Runs `sql`, handing each row to `row`; the result code, with the
    // engine's text in `error`.
    int query(const QString& sql, const std::function<void(sqlite3_stmt*)>& row = {},
              QString* error = nullptr) const
    {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                if (row)
                    row(st);
            }
            if (rc == SQLITE_DONE)
                rc = SQLITE_OK;
        }
        if (rc != SQLITE_OK && error)
            *error = this->error();
        sqlite3_finalize(st);
        return rc;
    }

    // The first column of the first row as an integer; -1 when it fails.
    qint64 scalar(const QString& sql) const
    {
        qint64 value = -1;
        if (query(sql, [&value](sqlite3_stmt* st) { value = sqlite3_column_int64(st, 0); }) !=
            SQLITE_OK)
            return -1;
        return value;
    }

    void exec(const QString& sql) const
    {
        QString error;
        if (query(sql, {}, &error) != SQLITE_OK)
            throw DbError(error);
    }
};

bool isDamage(int rc)
{
    const int code = rc & 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

QString columnText(sqlite3_stmt* st, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
}

struct Column
{
    QString name;
    QString type;
};

QList<Column> columnsOf(const Db& d, const QString& schema, const QString& table)
{
    QList<Column> cols;
    d.query(QStringLiteral("PRAGMA %1.table_info(%2)").arg(quoteIdent(schema), quoteIdent(table)),
            [&cols](sqlite3_stmt* st) {
                cols.append({columnText(st, 1), columnText(st, 2)});
            });
    return cols;
}

int columnIndex(const QList<Column>& cols, const QString& name)
{
    for (int i = 0; i < cols.size(); ++i) {
        if (cols.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The table's name as the file stores it; empty when the file has none.
QString storedName(const Db& d, const QString& schema, const QString& table)
{
    QString name;
    d.query(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type='table' AND name=%2 "
                           "COLLATE NOCASE")
                .arg(quoteIdent(schema), sqlLiteral(table)),
            [&name](sqlite3_stmt* st) { name = columnText(st, 0); });
    return name;
}

// The file's own objects (table, indexes, triggers), each as its SQL text
// without case or spacing, to compare a file's layout with a fresh one.
QStringList layoutOf(const Db& d)
{
    QStringList items;
    d.query(QStringLiteral("SELECT sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT "
                           "LIKE 'sqlite_%'"),
            [&items](sqlite3_stmt* st) { items << columnText(st, 0).simplified().toLower(); });
    items.sort();
    return items;
}

// The rows the damaged table held, as far as its table or one of its
// indexes can still count them; -1 when none can.
qint64 expectedRows(const Db& d, const QString& table)
{
    const QString t = quoteIdent(table);
    // A count reads the smallest index when there is one, else the table.
    const qint64 viaIndex = d.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(t));
    const qint64 viaTable = d.scalar(QStringLiteral("SELECT count(*) FROM %1 NOT INDEXED").arg(t));
    return std::max(viaIndex, viaTable);
}

void syncFile(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void renameOrThrow(const QString& from, const QString& to)
{
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        throw DbError(
            QStringLiteral("Cannot rename \"%1\" to \"%2\". %3").arg(from, to, systemText(errno)));
}

// Copies `source` as it is (owner only).
void copyRaw(const QString& source, const QString& target)
{
    QFile::remove(target);
    if (!QFile::copy(source, target))
        throw DbError(QStringLiteral("Cannot copy \"%1\" to \"%2\".").arg(source, target));
    ::chmod(native(target).constData(), 0600);
    syncFile(target);
}

struct Mapping
{
    QStringList columns;     // of the new table
    QStringList expressions; // over the old one
    QStringList added, changed, dropped;
    bool dateMoved = false;
};

// How the rows of an old table (columns `old`) go into the catalogue's layout.
// `position` maps an old column to its SQL (a name, or "c3" of a salvaged
// record); `rowId` is the row's id where a record holds none for its Autoinc.
Mapping mapColumns(const TableDef& def, const QList<Column>& old,
                   const std::function<QString(int)>& position, const QString& rowId = {})
{
    Mapping m;
    const int date = columnIndex(old, QStringLiteral("DATE"));
    for (const FieldDef& f : def.fields) {
        const int at = columnIndex(old, f.name);
        QString expr;
        if (at >= 0) {
            expr = position(at);
            if (f.type == FieldType::Autoinc && !rowId.isEmpty())
                expr = QStringLiteral("COALESCE(%1, %2)").arg(expr, rowId);
        }
        // The older orders layout kept the order's date in DATE.
        if (f.name == QLatin1String("IDATE") && date >= 0 && !def.field(QStringLiteral("DATE"))) {
            const QString d = position(date);
            const QString converted =
                f.type == FieldType::Timestamp
                    ? QStringLiteral("CASE WHEN length(%1) = 10 THEN %1 || 'T00:00:00' ELSE %1 END")
                          .arg(d)
                    : QStringLiteral("substr(%1, 1, 10)").arg(d);
            expr = expr.isEmpty() ? converted
                                  : QStringLiteral("COALESCE(%1, %2)").arg(expr, converted);
            m.dateMoved = true;
        }
        if (expr.isEmpty()) {
            m.added << f.name;
            continue;
        }
        m.columns << quoteIdent(f.name);
        m.expressions << expr;
    }
    for (const Column& c : old) {
        if (def.fieldIndex(c.name) < 0 && !(m.dateMoved && c.name == QLatin1String("DATE")))
            m.dropped << c.name;
    }
    return m;
}

class Repairer
{
public:
    Repairer(const QString& dataDir, const DatabaseRepair::Report& report)
        : m_dataDir(dataDir), m_report(report),
          m_stamp(Clock::now().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")))
    {
    }

    ~Repairer()
    {
        if (!m_work.isEmpty())
            QDir(m_work).removeRecursively();
    }

    QString stamp() const { return m_stamp; }

    // One table file; false when something of it could not be saved.
    bool repair(const TableDef& def)
    {
        const QString path = tableFilePath(m_dataDir, def.name);
        const QString file = QFileInfo(path).fileName();
        if (!QFileInfo::exists(path)) {
            createTable(m_dataDir, def);
            m_report(QStringLiteral("Created"), QStringLiteral("%1: it was missing").arg(file));
            return true;
        }
        if (narrowToOwner(path))
            m_report(QStringLiteral("Mended"),
                     QStringLiteral("%1: others could read it; now its owner only").arg(file));
        const bool logLeft = QFileInfo(path + QStringLiteral("-wal")).size() > 0;

        Db d;
        QString error;
        int rc = d.open(path);
        if (rc == SQLITE_OK)
            rc = d.query(QStringLiteral("PRAGMA journal_mode=WAL"), {}, &error);
        else
            error = d.error();
        QStringList problems;
        if (rc == SQLITE_OK) {
            rc = d.query(
                QStringLiteral("PRAGMA integrity_check(20)"),
                [&problems](sqlite3_stmt* st) {
                    const QString row = columnText(st, 0);
                    if (row != QLatin1String("ok"))
                        problems << row;
                },
                &error);
        }
        if (isDamage(rc) || !problems.isEmpty()) {
            m_report(QStringLiteral("Check"),
                     QStringLiteral("%1: damaged (%2)")
                         .arg(file, problems.isEmpty()
                                        ? error
                                        : problems.first().split(QLatin1Char('\n')).last()));
            const qint64 expected =
                expectedRows(d, storedName(d, QStringLiteral("main"), def.name));
            d.close();
            return salvage(def, path, expected);
        }
        if (rc != SQLITE_OK) {
            m_report(QStringLiteral("Error"), openFailText(path, error));
            return false;
        }
        if (logLeft)
            m_report(
                QStringLiteral("Recovered"),
                QStringLiteral("%1: the log a stopped program left behind is folded in").arg(file));

        const QString stored = storedName(d, QStringLiteral("main"), def.name);
        const qint64 rows =
            stored.isEmpty()
                ? 0
                : d.scalar(QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdent(stored)));
        const QString fresh = freshFile(def);
        QStringList expected;
        {
            Db f;
            if (f.open(fresh) != SQLITE_OK)
                throw DbError(f.error());
            expected = layoutOf(f);
        }
        const QStringList actual = layoutOf(d);
        const bool sameLayout =
            !stored.isEmpty() && std::all_of(expected.begin(), expected.end(),
                                             [&](const QString& s) { return actual.contains(s); });
        if (!sameLayout) {
            d.close(); // its log is folded in as it closes
            return upgrade(def, path, fresh, rows);
        }
        m_report(QStringLiteral("Check"),
                 QStringLiteral("%1: sound, %2 rows").arg(file, number(rows)));
        d.exec(QStringLiteral("REINDEX"));
        const qint64 before = QFileInfo(path).size();
        d.exec(QStringLiteral("VACUUM"));
        d.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        m_report(QStringLiteral("Packed"),
                 QStringLiteral("%1: indexes rebuilt, %2 KB to %3 KB")
                     .arg(file, number((before + 1023) / 1024),
                          number((QFileInfo(path).size() + 1023) / 1024)));
        return true;
    }

private:
    QString workDir()
    {
        if (m_work.isEmpty()) {
            m_work = m_dataDir + QStringLiteral("/.repair-%1").arg(qint64(::getpid()));
            QDir(m_work).removeRecursively();
            if (::mkdir(native(m_work).constData(), 0700) != 0)
                throw DbError(QStringLiteral("Cannot create directory \"%1\". %2")
                                  .arg(m_work, systemText(errno)));
        }
        return m_work;
    }

    // An empty table file of the catalogue's layout in the work folder.
    QString freshFile(const TableDef& def)
    {
        const QString dir = workDir();
        const QString path = dir + QLatin1Char('/') + def.fileName();
        for (const char* side : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(side));
        createTable(dir, def);
        return path;
    }

    // Puts the new file in the place of the old one; the old one's log and
    // shared memory go with it (the old file itself is in the copies or
    // kept aside already).
    static void replace(const QString& fresh, const QString& path)
    {
        syncFile(fresh);
        renameOrThrow(fresh, path);
        for (const char* side : {"-wal", "-shm"})
            QFile::remove(path + QLatin1String(side));
        syncFile(QFileInfo(path).absolutePath());
    }

    static QString describe(const Mapping& m)
    {
        QStringList parts;
        if (m.dateMoved)
            parts << QStringLiteral("dates moved from DATE to IDATE");
        if (!m.added.isEmpty())
            parts << QStringLiteral("columns added: %1").arg(m.added.join(QStringLiteral(", ")));
        if (!m.changed.isEmpty())
            parts << QStringLiteral("columns of another type copied: %1")
                         .arg(m.changed.join(QStringLiteral(", ")));
        if (!m.dropped.isEmpty())
            parts << QStringLiteral("columns not kept (they stay in the copy): %1")
                         .arg(m.dropped.join(QStringLiteral(", ")));
        parts << QStringLiteral("indexes made anew");
        return parts.join(QStringLiteral("; "));
    }

    bool upgrade(const TableDef& def, const QString& path, const QString& fresh, qint64 rows)
    {
        const QString file = QFileInfo(path).fileName();
        Db n;
        if (n.open(fresh) != SQLITE_OK)
            throw DbError(n.error());
        n.exec(QStringLiteral("ATTACH DATABASE %1 AS old").arg(sqlLiteral(path)));
        const QString stored = storedName(n, QStringLiteral("old"), def.name);
        Mapping m;
        if (!stored.isEmpty()) {
            const QList<Column> old = columnsOf(n, QStringLiteral("old"), stored);
            m = mapColumns(def, old, [&old](int i) { return quoteIdent(old.at(i).name); });
            for (const FieldDef& f : def.fields) {
                const int at = columnIndex(old, f.name);
                if (at >= 0 && old.at(at).type.compare(declaredType(f), Qt::CaseInsensitive) != 0)
                    m.changed << f.name;
            }
            n.exec(QStringLiteral("BEGIN"));
            QString error;
            if (!m.columns.isEmpty() &&
                n.query(QStringLiteral("INSERT INTO main.%1 (%2) SELECT %3 FROM old.%4 ORDER BY "
                                       "rowid")
                            .arg(quoteIdent(def.name), m.columns.join(QStringLiteral(", ")),
                                 m.expressions.join(QStringLiteral(", ")), quoteIdent(stored)),
                        {}, &error) != SQLITE_OK) {
                n.query(QStringLiteral("ROLLBACK"));
                m_report(QStringLiteral("Error"),
                         QStringLiteral("%1: its layout cannot be upgraded; it is left as it "
                                        "was.\r%2")
                             .arg(file, error));
                return false;
            }
            const qint64 copied =
                n.scalar(QStringLiteral("SELECT count(*) FROM main.%1").arg(quoteIdent(def.name)));
            if (copied != rows) {
                n.query(QStringLiteral("ROLLBACK"));
                m_report(QStringLiteral("Error"),
                         QStringLiteral("%1: %2 of %3 rows would go into the new layout; it is "
                                        "left as it was.")
                             .arg(file, number(copied), number(rows)));
                return false;
            }
            n.exec(QStringLiteral("COMMIT"));
        } else {
            m_report(QStringLiteral("Check"),
                     QStringLiteral("%1: it holds no table %2").arg(file, def.name));
        }
        n.exec(QStringLiteral("DETACH DATABASE old"));
        n.close(); // the log folds into the file
        replace(fresh, path);
        m_report(QStringLiteral("Upgraded"), QStringLiteral("%1: %2 rows in the current layout; %3")
                                                 .arg(file, number(rows), describe(m)));
        return true;
    }

    bool salvage(const TableDef& def, const QString& path, qint64 expected)
    {
        const QString file = QFileInfo(path).fileName();
        const QString fresh = freshFile(def);
        Db n;
        if (n.open(fresh) != SQLITE_OK)
            throw DbError(n.error());
        qint64 saved = 0;
        QString readError;
        // The damaged file is read on a connection of its own: an error it
        // raises never touches the new file's transaction.
        Db src;
        if (src.open(path) == SQLITE_OK) {
            const QString stored = storedName(src, QStringLiteral("main"), def.name);
            const QList<Column> old =
                stored.isEmpty() ? QList<Column>() : columnsOf(src, QStringLiteral("main"), stored);
            if (!old.isEmpty()) {
                const Mapping m =
                    mapColumns(def, old, [&old](int i) { return quoteIdent(old.at(i).name); });
                n.exec(QStringLiteral("BEGIN"));
                saved = copyReadableRows(src, n, def.name, stored, m);
                n.exec(QStringLiteral("COMMIT"));
            } else {
                readError = src.error();
            }
        } else {
            readError = src.error();
        }
        src.close();
        n.close();

        const QString aside = path + QStringLiteral(".damaged-") + m_stamp;
        renameOrThrow(path, aside);
        for (const char* side : {"-wal", "-shm"}) {
            const QString companion = path + QLatin1String(side);
            if (QFileInfo::exists(companion))
                renameOrThrow(companion, aside + QLatin1String(side));
        }
        replace(fresh, path);
        const QString keptAs = QFileInfo(aside).fileName();
        if (expected < 0) {
            m_report(QStringLiteral("Salvaged"),
                     QStringLiteral("%1: %2 rows saved; how many were lost cannot be told; the "
                                    "damaged file is kept as %3")
                         .arg(file, number(saved), keptAs));
            m_report(QStringLiteral("Error"),
                     QStringLiteral("%1: rows may be lost%2; restore it from a backup if one is "
                                    "newer than the last rows you need.")
                         .arg(file, readError.isEmpty() ? QString()
                                                        : QStringLiteral(" (%1)").arg(readError)));
            return false;
        }
        const qint64 lost = std::max<qint64>(0, expected - saved);
        m_report(QStringLiteral("Salvaged"),
                 QStringLiteral("%1: %2 rows saved, %3 lost; the damaged file is kept as %4")
                     .arg(file, number(saved), number(lost), keptAs));
        if (lost > 0) {
            m_report(QStringLiteral("Error"),
                     QStringLiteral("%1: %2 rows could not be read; a backup may still hold "
                                    "them.")
                         .arg(file, number(lost)));
            return false;
        }
        return true;
    }

    // Copies every row of <stored> on `src` that can be read into <table> on `n`,
    // in row id order, stepping over damaged pages: where reading stops, the
    // first row id after the damage from which the table reads again is
    // found by probing (doubling the step, then halving the gap), and
    // reading goes on from there. Returns the rows copied.
    static qint64 copyReadableRows(const Db& src, const Db& n, const QString& table,
                                   const QString& stored, const Mapping& m)
    {
        const QString select =
            QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ?1 ORDER BY rowid")
                .arg(m.expressions.join(QStringLiteral(", ")), quoteIdent(stored));
        QStringList marks;
        for (int i = 1; i <= m.columns.size(); ++i)
            marks << QStringLiteral("?%1").arg(i);
        const QString insertSql = QStringLiteral("INSERT OR IGNORE INTO main.%1 (%2) VALUES (%3)")
                                      .arg(quoteIdent(table), m.columns.join(QStringLiteral(", ")),
                                           marks.join(QStringLiteral(", ")));
        sqlite3_stmt* read = nullptr;
        sqlite3_stmt* probe = nullptr;
        sqlite3_stmt* insert = nullptr;
        auto finalize = [&] {
            sqlite3_finalize(read);
            sqlite3_finalize(probe);
            sqlite3_finalize(insert);
        };
        if (sqlite3_prepare_v2(src.db, select.toUtf8().constData(), -1, &read, nullptr) !=
                SQLITE_OK ||
            sqlite3_prepare_v2(src.db, (select + QStringLiteral(" LIMIT 1")).toUtf8().constData(),
                               -1, &probe, nullptr) != SQLITE_OK ||
            sqlite3_prepare_v2(n.db, insertSql.toUtf8().constData(), -1, &insert, nullptr) !=
                SQLITE_OK) {
            finalize();
            return 0;
        }
        // ROW: a row at or after `key` reads; DONE: none; else damaged.
        auto tryKey = [probe](qint64 key) {
            sqlite3_bind_int64(probe, 1, key);
            const int rc = sqlite3_step(probe);
            sqlite3_reset(probe);
            return rc;
        };
        const int width = int(m.columns.size());
        qint64 saved = 0;
        qint64 next = std::numeric_limits<qint64>::min();
        for (;;) {
            sqlite3_bind_int64(read, 1, next);
            bool any = false;
            qint64 last = next;
            int rc;
            while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
                any = true;
                last = sqlite3_column_int64(read, 0);
                for (int i = 0; i < width; ++i)
                    sqlite3_bind_value(insert, i + 1, sqlite3_column_value(read, i + 1));
                if (sqlite3_step(insert) == SQLITE_DONE)
                    saved += sqlite3_changes(n.db);
                sqlite3_reset(insert);
            }
            sqlite3_reset(read);
            if (rc == SQLITE_DONE)
                break;
            // Damaged after `last`: find where the table reads again.
            qint64 bad = any ? last : next;
            if (bad == std::numeric_limits<qint64>::max())
                break;
            qint64 step = 1;
            qint64 hi = 0;
            int hiRc = SQLITE_ERROR;
            for (;;) {
                hi = bad > std::numeric_limits<qint64>::max() - step
                         ? std::numeric_limits<qint64>::max()
                         : bad + step;
                hiRc = tryKey(hi);
                if (hiRc == SQLITE_ROW || hiRc == SQLITE_DONE)
                    break;
                if (hi == std::numeric_limits<qint64>::max())
                    break;
                bad = hi;
                step *= 2;
            }
            if (hiRc != SQLITE_ROW && hiRc != SQLITE_DONE)
                break; // nothing after the damage reads
            while (hi - bad > 1) {
                const qint64 mid = bad + (hi - bad) / 2;
                const int midRc = tryKey(mid);
                if (midRc == SQLITE_ROW || midRc == SQLITE_DONE) {
                    hi = mid;
                    hiRc = midRc;
                } else {
                    bad = mid;
                }
            }
            if (tryKey(hi) != SQLITE_ROW)
                break; // no readable row after the damage
            next = hi;
        }
        finalize();
        return saved;
    }

    QString m_dataDir;
    const DatabaseRepair::Report& m_report;
    QString m_stamp;
    QString m_work;
};

} // namespace

DatabaseRepair::DatabaseRepair(const QString& dataDir, const QString& backupRoot)
    : m_dataDir(dataDir), m_backupRoot(backupRoot)
{
}

bool DatabaseRepair::run(const Report& report)
{
    if (!QFileInfo(m_dataDir).isDir()) {
        report(QStringLiteral("Error"),
               QStringLiteral("The company data directory \"%1\" does not exist.").arg(m_dataDir));
        return false;
    }
    Repairer repairer(m_dataDir, report);

    // Nothing changes before every table file is copied as it stands.
    try {
        if (!QDir().mkpath(m_backupRoot))
            throw DbError(QStringLiteral("Cannot create directory \"%1\".").arg(m_backupRoot));
        m_backupFolder = m_backupRoot + QStringLiteral("/ordersentinel-repair-") + repairer.stamp();
        for (int n = 2; QFileInfo::exists(m_backupFolder); ++n)
            m_backupFolder =
                m_backupRoot +
                QStringLiteral("/ordersentinel-repair-%1_%2").arg(repairer.stamp()).arg(n);
        if (::mkdir(native(m_backupFolder).constData(), 0700) != 0)
            throw DbError(QStringLiteral("Cannot create directory \"%1\". %2")
                              .arg(m_backupFolder, systemText(errno)));
        for (const TableDef& def : catalogue()) {
            const QString path = tableFilePath(m_dataDir, def.name);
            if (!QFileInfo::exists(path))
                continue;
            const QString name = QFileInfo(path).fileName();
            copyRaw(path, m_backupFolder + QLatin1Char('/') + name);
            if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
                copyRaw(path + QStringLiteral("-wal"),
                        m_backupFolder + QLatin1Char('/') + name + QStringLiteral("-wal"));
        }
        syncFile(m_backupFolder);
    } catch (const DbError& e) {
        report(
            QStringLiteral("Error"),
            QStringLiteral("Nothing was changed: the copies could not be made.\r%1").arg(e.text()));
        return false;
    }
    report(QStringLiteral("Backup"),
           QStringLiteral("The table files as they were: %1").arg(m_backupFolder));

    bool allSaved = true;
    for (const TableDef& def : catalogue()) {
        try {
            allSaved = repairer.repair(def) && allSaved;
        } catch (const DbError& e) {
            report(QStringLiteral("Error"), QStringLiteral("%1: %2").arg(def.fileName(), e.text()));
            allSaved = false;
        }
    }
    report(QStringLiteral("Done"),
           allSaved ? QStringLiteral("Every table file is sound.")
                    : QStringLiteral("Some table files could not be mended in full; the copies "
                                     "of how they were are in %1")
                          .arg(m_backupFolder));
    return allSaved;
}

} // namespace os
