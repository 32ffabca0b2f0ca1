#include "data/backup.h"

#include "base/clock.h"
#include "data/catalogue.h"
#include "data/connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

// Pages copied per backup step: progress a few times a second on a large
// table, few enough steps that their overhead does not count.
constexpr int kPagesPerStep = 2048;

const QStringList kOtherFiles = {QStringLiteral("zr.ini"), QStringLiteral("ccitems.txt")};

QString systemText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// A connection closed with the object.
struct Db
{
    sqlite3* db = nullptr;
    Db() = default;
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    ~Db()
    {
        if (db)
            sqlite3_close_v2(db);
    }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }
};

void exec(const Db& d, const char* sql, const QString& file)
{
    char* message = nullptr;
    if (sqlite3_exec(d.db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = message ? QString::fromUtf8(message) : d.error();
        sqlite3_free(message);
        throw BackupError(QStringLiteral("Cannot back up %1.\r%2").arg(file, text));
    }
}

// Writes the file's data and its directory entry to the disk.
void syncPath(const QString& path, bool directory)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
    if (fd < 0 || ::fsync(fd) != 0) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        throw BackupError(QStringLiteral("Cannot write \"%1\". %2").arg(path, systemText(err)));
    }
    ::close(fd);
}

// A new, empty file readable by its owner only.
void createOwnerOnly(const QString& path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw BackupError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, systemText(errno)));
    ::close(fd);
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH);
}

const QRegularExpression& completeName()
{
    static const QRegularExpression re(
        QStringLiteral("^ordersentinel-backup-\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}(_\\d+)?$"));
    return re;
}

const QRegularExpression& partialName()
{
    static const QRegularExpression re(
        QStringLiteral("^\\.ordersentinel-backup-.*\\.partial-(\\d+)$"));
    return re;
}

class Copier
{
public:
    Copier(const CompanyBackup::ProgressFn& progress, qint64 total)
        : m_progress(progress), m_total(total)
    {
    }

    void report(const QString& file, qint64 done, bool checking = false)
    {
        if (!m_progress)
            return;
        CompanyBackup::Progress p;
        p.file = file;
        p.done = std::min(done, m_total);
        p.total = m_total;
        p.checking = checking;
        if (!m_progress(p)) {
            cancelled = true;
            throw BackupError(QStringLiteral("The backup was cancelled."));
        }
    }

    // Opens a table file for reading and starts its snapshot: a read
    // transaction that sees the rows committed now, whatever is written
    // later. run() starts the snapshots of all table files before it copies
    // any, so the copies belong together.
    static std::unique_ptr<Db> snapshot(const QString& source)
    {
        const QString file = QFileInfo(source).fileName();
        auto src = std::make_unique<Db>();
        if (sqlite3_open_v2(QFile::encodeName(source).constData(), &src->db, SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK)
            throw BackupError(QStringLiteral("Cannot back up %1.\r%2").arg(file, src->error()));
        // A writer checkpointing holds the file briefly.
        sqlite3_busy_timeout(src->db, 30000);
        if (startSnapshot(*src) == SQLITE_OK)
            return src;
        // A folder nobody can write to (a read-only copy, a mounted medium)
        // cannot get the shared-memory file a reader of a log needs. Without
        // a log file beside the table nobody is writing it either (a writer
        // would need one there), so the file as it stands is the table.
        const QString folder = QFileInfo(source).absolutePath();
        if (::access(QFile::encodeName(folder).constData(), W_OK) != 0 &&
            !QFileInfo::exists(source + QStringLiteral("-wal"))) {
            auto fixed = std::make_unique<Db>();
            const QByteArray uri = QByteArrayLiteral("file:") +
                                   QUrl::fromLocalFile(source).toEncoded(QUrl::RemoveScheme) +
                                   QByteArrayLiteral("?immutable=1");
            if (sqlite3_open_v2(uri.constData(), &fixed->db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                                nullptr) == SQLITE_OK &&
                startSnapshot(*fixed) == SQLITE_OK)
                return fixed;
        }
        throw BackupError(QStringLiteral("Cannot back up %1.\r%2").arg(file, src->error()));
    }

    // One table file: an online backup of its snapshot, then the check.
    void copyTable(const Db& src, const QString& source, const QString& target, bool fullCheck)
    {
        const QString file = QFileInfo(source).fileName();
        createOwnerOnly(target);
        Db dst;
        if (sqlite3_open_v2(QFile::encodeName(target).constData(), &dst.db, SQLITE_OPEN_READWRITE,
                            nullptr) != SQLITE_OK)
            throw BackupError(QStringLiteral("Cannot back up %1.\r%2").arg(file, dst.error()));
        // The copy is a new file in a folder that is renamed only when all
        // is done and synced: no journal or sync of its own is needed.
        exec(dst, "PRAGMA journal_mode=OFF", file);
        exec(dst, "PRAGMA synchronous=OFF", file);

        sqlite3_backup* backup = sqlite3_backup_init(dst.db, "main", src.db, "main");
        if (!backup)
            throw BackupError(QStringLiteral("Cannot back up %1.\r%2").arg(file, dst.error()));
        const qint64 before = m_done;
        const qint64 pageSize = pageSizeOf(src);
        int rc = SQLITE_OK;
        try {
            for (;;) {
                rc = sqlite3_backup_step(backup, kPagesPerStep);
                const qint64 copied =
                    qint64(sqlite3_backup_pagecount(backup) - sqlite3_backup_remaining(backup));
                m_done = before + copied * pageSize;
                report(file, m_done);
                if (rc == SQLITE_DONE)
                    break;
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                    sqlite3_sleep(20);
                    continue;
                }
                if (rc != SQLITE_OK)
                    break;
            }
        } catch (...) {
            sqlite3_backup_finish(backup);
            throw;
        }
        const int finish = sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE || finish != SQLITE_OK)
            throw BackupError(QStringLiteral("Cannot back up %1.\r%2").arg(file, dst.error()));
        exec(src, "COMMIT", file);

        report(file, m_done, true);
        check(dst, file, fullCheck);
        if (sqlite3_close(dst.db) != SQLITE_OK)
            throw BackupError(QStringLiteral("Cannot back up %1.\r%2").arg(file, dst.error()));
        dst.db = nullptr;
        // The copy is one file, like the table it restores.
        for (const char* side : {"-wal", "-shm"})
            QFile::remove(target + QLatin1String(side));
        syncPath(target, false);
    }

    // The files of a folder (invoice pages, kept replies) and its
    // subfolders, owner only; synced with the whole backup at its end.
    void copyFolder(const QString& source, const QString& target, const QString& label)
    {
        if (::mkdir(QFile::encodeName(target).constData(), 0700) != 0)
            throw BackupError(QStringLiteral("Cannot create directory \"%1\". %2")
                                  .arg(target, systemText(errno)));
        const QDir dir(source);
        for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden |
                                                            QDir::NoDotAndDotDot | QDir::NoSymLinks,
                                                        QDir::Name)) {
            const QString to = target + QLatin1Char('/') + entry.fileName();
            if (entry.isDir()) {
                copyFolder(entry.filePath(), to, label);
                continue;
            }
            copyBytes(entry.filePath(), to);
            report(label, m_done);
        }
    }

    void copyFile(const QString& source, const QString& target)
    {
        copyBytes(source, target);
        syncPath(target, false);
        report(QFileInfo(source).fileName(), m_done);
    }

private:
    void copyBytes(const QString& source, const QString& target)
    {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly))
            throw BackupError(
                QStringLiteral("Cannot open file \"%1\". %2").arg(source, in.errorString()));
        createOwnerOnly(target);
        QFile out(target);
        if (!out.open(QIODevice::WriteOnly))
            throw BackupError(
                QStringLiteral("Cannot write file \"%1\". %2").arg(target, out.errorString()));
        const QByteArray bytes = in.readAll();
        if (out.write(bytes) != bytes.size() || !out.flush())
            throw BackupError(
                QStringLiteral("Cannot write file \"%1\". %2").arg(target, out.errorString()));
        out.close();
        m_done += bytes.size();
    }

    static int startSnapshot(const Db& d)
    {
        int rc = sqlite3_exec(d.db, "BEGIN", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) // the snapshot starts here
            rc =
                sqlite3_exec(d.db, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        return rc;
    }

    static qint64 pageSizeOf(const Db& d)
    {
        sqlite3_stmt* st = nullptr;
        qint64 size = 4096;
        if (sqlite3_prepare_v2(d.db, "PRAGMA page_size", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            size = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return size;
    }

    // Asked now and then during the check, which may take a while on a
    // large table: a cancelled backup stops it at once.
    static int checkProgress(void* self)
    {
        auto* copier = static_cast<Copier*>(self);
        if (!copier->m_progress)
            return 0;
        CompanyBackup::Progress p;
        p.file = copier->m_checking;
        p.done = std::min(copier->m_done, copier->m_total);
        p.total = copier->m_total;
        p.checking = true;
        return copier->m_progress(p) ? 0 : 1;
    }

    // quick_check reads every page and record once (linear time) and finds
    // a damaged page or record; integrity_check also looks every row up in
    // every index.
    void check(const Db& d, const QString& file, bool full)
    {
        m_checking = file;
        sqlite3_progress_handler(d.db, 1000000, &Copier::checkProgress, this);
        // With the file mapped and a large cache the check reads pages from
        // memory, not one read() each.
        sqlite3_exec(d.db, "PRAGMA mmap_size=1073741824; PRAGMA cache_size=-262144", nullptr,
                     nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(d.db, full ? "PRAGMA integrity_check" : "PRAGMA quick_check", -1,
                               &st, nullptr) != SQLITE_OK)
            throw BackupError(
                QStringLiteral("Cannot check the copy of %1.\r%2").arg(file, d.error()));
        QStringList problems;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const QString row =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            if (row != QLatin1String("ok") && problems.size() < 5)
                problems << row;
        }
        sqlite3_finalize(st);
        if (rc == SQLITE_INTERRUPT) {
            cancelled = true;
            throw BackupError(QStringLiteral("The backup was cancelled."));
        }
        if (rc != SQLITE_DONE)
            throw BackupError(
                QStringLiteral("Cannot check the copy of %1.\r%2").arg(file, d.error()));
        if (!problems.isEmpty())
            throw BackupError(QStringLiteral("The copy of %1 failed its integrity check:\r%2")
                                  .arg(file, problems.join(QLatin1Char('\r'))));
    }

public:
    bool cancelled = false;

private:
    const CompanyBackup::ProgressFn& m_progress;
    qint64 m_total;
    qint64 m_done = 0;
    QString m_checking;
};

} // namespace

CompanyBackup::CompanyBackup(const QString& dataDir, const QString& destination)
    : m_dataDir(dataDir), m_destination(destination)
{
}

CompanyBackup::CompanyBackup(const QString& dataDir, const QString& destination, Options options)
    : m_dataDir(dataDir), m_destination(destination), m_options(std::move(options))
{
}

QStringList CompanyBackup::files() const
{
    QStringList names;
    for (const TableDef& def : catalogue()) {
        if (tableFileExists(m_dataDir, def.name))
            names << QFileInfo(tableFilePath(m_dataDir, def.name)).fileName();
    }
    for (const QString& name : kOtherFiles) {
        if (QFileInfo(m_dataDir + QLatin1Char('/') + name).isFile())
            names << name;
    }
    return names;
}

namespace {

qint64 folderSize(const QString& dir)
{
    qint64 total = 0;
    for (const QFileInfo& entry : QDir(dir).entryInfoList(
             QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        total += entry.isDir() ? folderSize(entry.filePath()) : entry.size();
    }
    return total;
}

// Every file written on the destination's file system reaches the disk: one
// call for the many small invoice pages instead of one sync each.
void syncFileSystem(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd < 0 || ::syncfs(fd) != 0) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        throw BackupError(QStringLiteral("Cannot write \"%1\". %2").arg(path, systemText(err)));
    }
    ::close(fd);
}

} // namespace

QString CompanyBackup::run(const ProgressFn& progress)
{
    m_failures.clear();
    if (!QFileInfo(m_dataDir).isDir())
        throw BackupError(
            QStringLiteral("The company data directory \"%1\" does not exist.").arg(m_dataDir));
    const QStringList names = files();
    if (names.isEmpty())
        throw BackupError(
            QStringLiteral("There is no company database in \"%1\" to back up.").arg(m_dataDir));
    if (!QDir().mkpath(m_destination))
        throw BackupError(QStringLiteral("Cannot create directory \"%1\".").arg(m_destination));

    // The folders copied after the files: the invoice pages, the kept replies.
    QList<QPair<QString, QString>> folders; // source, name in the backup
    const QString html = m_dataDir + QStringLiteral("/html");
    if (QFileInfo(html).isDir())
        folders.append({html, QStringLiteral("html")});
    if (!m_options.repliesDir.isEmpty() && QFileInfo(m_options.repliesDir).isDir())
        folders.append({m_options.repliesDir, QStringLiteral("retrievals")});

    const QString stamp = Clock::now().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QString temp = m_destination + QStringLiteral("/.%1%2.partial-%3")
                                             .arg(QLatin1String(FolderPrefix), stamp)
                                             .arg(qint64(::getpid()));
    if (::mkdir(QFile::encodeName(temp).constData(), 0700) != 0)
        throw BackupError(
            QStringLiteral("Cannot create directory \"%1\". %2").arg(temp, systemText(errno)));

    try {
        qint64 total = 0;
        for (const QString& name : names)
            total += QFileInfo(m_dataDir + QLatin1Char('/') + name).size();
        for (const auto& folder : folders)
            total += folderSize(folder.first);
        Copier copier(progress, total);
        // A table that cannot be read costs only itself: the others are
        // backed up and it is named.
        std::vector<std::unique_ptr<Db>> snapshots;
        for (const QString& name : names) {
            if (kOtherFiles.contains(name))
                continue;
            try {
                snapshots.push_back(Copier::snapshot(m_dataDir + QLatin1Char('/') + name));
            } catch (const BackupError& e) {
                snapshots.push_back(nullptr);
                m_failures << e.text();
            }
        }
        std::size_t next = 0;
        int tablesCopied = 0;
        for (const QString& name : names) {
            const QString source = m_dataDir + QLatin1Char('/') + name;
            const QString target = temp + QLatin1Char('/') + name;
            if (kOtherFiles.contains(name)) {
                copier.copyFile(source, target);
                continue;
            }
            std::unique_ptr<Db> snap = std::move(snapshots[next++]);
            if (!snap)
                continue;
            try {
                copier.copyTable(*snap, source, target, m_options.fullCheck);
                ++tablesCopied;
            } catch (const BackupError& e) {
                if (copier.cancelled)
                    throw;
                m_failures << e.text();
                QFile::remove(target);
            }
            snap.reset(); // its snapshot ends: the writers' log can be folded in
        }
        if (tablesCopied == 0)
            throw BackupError(m_failures.join(QLatin1Char('\r')));
        for (const auto& folder : folders)
            copier.copyFolder(folder.first, temp + QLatin1Char('/') + folder.second,
                              folder.second + QLatin1Char('/'));
        if (!folders.isEmpty())
            syncFileSystem(temp);
        syncPath(temp, true);

        // Complete: it gets its name, which is never one taken before.
        for (int n = 1;; ++n) {
            const QString final = m_destination + QLatin1Char('/') + QLatin1String(FolderPrefix) +
                                  stamp + (n == 1 ? QString() : QStringLiteral("_%1").arg(n));
            if (::renameat2(AT_FDCWD, QFile::encodeName(temp).constData(), AT_FDCWD,
                            QFile::encodeName(final).constData(), RENAME_NOREPLACE) == 0) {
                syncPath(m_destination, true);
                return final;
            }
            if (errno != EEXIST || n >= 1000)
                throw BackupError(QStringLiteral("Cannot rename \"%1\" to \"%2\". %3")
                                      .arg(temp, final, systemText(errno)));
        }
    } catch (...) {
        QDir(temp).removeRecursively();
        throw;
    }
}

QStringList CompanyBackup::completeBackups(const QString& destination)
{
    QStringList names;
    for (const QString& name :
         QDir(destination).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (completeName().match(name).hasMatch())
            names << name;
    }
    return names;
}

QStringList CompanyBackup::prune(const QString& destination, int keep)
{
    QStringList removed;
    const QStringList complete = completeBackups(destination);
    for (qsizetype i = 0; i + keep < complete.size(); ++i) {
        const QString path = destination + QLatin1Char('/') + complete[i];
        if (!QDir(path).removeRecursively())
            throw BackupError(QStringLiteral("Cannot remove the old backup \"%1\".").arg(path));
        removed << path;
    }
    // What a killed backup left: never complete, and no one is writing it.
    for (const QString& name :
         QDir(destination).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = partialName().match(name);
        if (m.hasMatch() && !processAlive(m.captured(1).toLongLong()))
            QDir(destination + QLatin1Char('/') + name).removeRecursively();
    }
    return removed;
}

} // namespace os
