#include "data/table_files.h"

#include "data/connection.h"
#include "data/db_error.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <sys/stat.h>

namespace os {

namespace {

// The table files whose modes were narrowed since the last takeNarrowedFiles.
QStringList& narrowedFiles()
{
    static QStringList files;
    return files;
}

} // namespace

QString damagedTableText(const QString& path, const QString& engineText)
{
    return openFailText(path, engineText) +
           QStringLiteral("\rThe file is damaged. Restore it from a backup, or run the "
                          "Ordersentinel Database Repair Utility (ordersentinel --repair) to "
                          "save its readable rows.");
}

DbError openFailError(sqlite3* db, int rc, const QString& path, const QString& engineText)
{
    const int code = (db ? sqlite3_extended_errcode(db) : rc) & 0xff;
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        return DbError(damagedTableText(path, engineText), DbError::Kind::Storage);
    return DbError(openFailText(path, engineText), DbError::Kind::Storage);
}

bool narrowToOwner(const QString& path)
{
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0 || (st.st_mode & 077) == 0)
        return false;
    if (::chmod(native.constData(), st.st_mode & 0700) != 0)
        return false;
    // The log and shared-memory companions hold the same rows.
    for (const char* side : {"-wal", "-shm"}) {
        const QByteArray companion = native + side;
        struct stat cs;
        if (::stat(companion.constData(), &cs) == 0 && (cs.st_mode & 077) != 0)
            ::chmod(companion.constData(), cs.st_mode & 0700);
    }
    narrowedFiles().append(path);
    return true;
}

QStringList takeNarrowedFiles()
{
    QStringList files;
    files.swap(narrowedFiles());
    return files;
}

QString takeOpenNotice()
{
    const QStringList files = takeNarrowedFiles();
    return files.isEmpty() ? QString() : narrowedNotice(files);
}

QString narrowedNotice(const QStringList& files)
{
    QStringList native;
    for (const QString& f : files)
        native << QDir::toNativeSeparators(f);
    return QStringLiteral("These table files could be read by other users of this computer; "
                          "they are now readable by you only:\r\r%1")
        .arg(native.join(QLatin1Char('\r')));
}

QString foldCase(const QString& text)
{
    return text.toCaseFolded();
}

bool isAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

namespace {

void foldFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    sqlite3_value* arg = argv[0];
    if (sqlite3_value_type(arg) != SQLITE_TEXT) {
        sqlite3_result_value(context, arg);
        return;
    }
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(arg));
    const int size = sqlite3_value_bytes(arg);
    // Most names are ASCII: LIKE and the comparisons fold those themselves.
    bool ascii = true;
    for (int i = 0; i < size && ascii; ++i)
        ascii = (static_cast<unsigned char>(bytes[i]) & 0x80) == 0;
    if (ascii) {
        sqlite3_result_value(context, arg);
        return;
    }
    const QByteArray folded = QString::fromUtf8(bytes, size).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

} // namespace

void registerFoldCase(sqlite3* db)
{
    sqlite3_create_function_v2(db, "os_fold", 1,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               &foldFunction, nullptr, nullptr, nullptr);
}

} // namespace os
