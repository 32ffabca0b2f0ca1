#pragma once

#include "sync/session_error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace os {

// A field of a delivered record that cannot be read as the number or date it
// must be; the text names the value and what it should have been, e.g.
// "'abc' is not a valid integer value". The import steps refuse that record
// alone (shown like a key violation) and go on; in the invoice cutter it ends
// the session.
class ConversionError : public SessionError
{
public:
    using SessionError::SessionError;
};

// ---- Conversions of the fields of delivered records -------------------------

// A 32-bit decimal integer, surrounding blanks ignored (ParseInteger);
// throws ConversionError "'<text>' is not a valid integer value".
int readInteger(const QString& text);
// The same, or `fallback` for text that is not such an integer.
int readIntegerOr(const QString& text, int fallback);

// A money amount in the desktop's format (QLocale()), or with a full stop as
// the decimal separator; rounded to four decimals. Throws ConversionError
// "'<text>' is not a valid floating point value".
double readMoney(const QString& text);

// The text stored in orders.METHOD for a store payment code ("1" to "6",
// compared trimmed); "Unknown" for anything else.
QString paymentMethodText(const QString& code);

// Reads dates in the desktop's regional format (short date, optionally with
// the time) and in ISO 8601 ("2024-03-05", "2024-03-05 14:07:09",
// "2024-03-05T14:07:09"). Two-digit years fall in 1950-2049. Remembers the
// format that worked last, because a store sends all its dates alike.
class DateReader
{
public:
    DateReader();
    // throws ConversionError "'<text>' is not a valid date and time"
    QDateTime dateTime(const QString& text);
    // throws ConversionError "'<text>' is not a valid date"
    QDate date(const QString& text);

private:
    struct Format
    {
        QString pattern;
        bool twoDigitYear;
        bool hasTime;
        int isoLength = 0; // 10 or 19 when the pattern is plain ISO 8601 (read by hand)
    };
    bool tryFormat(const Format& f, const QString& text, QDateTime& out) const;
    QList<Format> m_formats;
    int m_last = -1;
};

// The regional format dates and totals of store records are read with, for
// the first row of a headless run (a cron job often runs without the
// desktop's LANG): "Dates and totals are read in the regional format en_US:
// dates M/d/yy h:mm:ss AP, decimal separator "."; ISO 8601 dates as well."
QString regionalFormatText();

// Field counts below which a record is skipped without a message.
constexpr int kOrderFields = 33;
constexpr int kAccountFields = 21;
constexpr int kNoteFields = 3;
constexpr int kMarkFields = 2;
constexpr int kStatusFields = 2;

// The 34 values of an orders.db row, in column order, from an order record of
// at least 33 trimmed fields; `now` goes to LASTMARKED. Throws ConversionError
// for INV, CUSTID, IDATE and TOTAL.
QVariantList orderRowValues(const QStringList& fields, DateReader& dates, const QDateTime& now);

// The 21 values of a customers.db row, in column order, from an account
// record of at least 21 trimmed fields. Throws ConversionError for CUSTID.
QVariantList accountRowValues(const QStringList& fields);

// Calls fn(line) for every line of `text`, without its line end. Lines end
// at LF (a CR before it is dropped); a lone CR ends a line only in a text
// that holds no LF at all (a store writing old Mac line ends), elsewhere it
// is part of the line. A text ending with a line end has no empty last line.
template <typename Fn> void forEachLine(QByteArrayView text, Fn&& fn)
{
    const qsizetype n = text.size();
    const char end = text.contains('\n') ? '\n' : '\r';
    qsizetype from = 0;
    while (from < n) {
        qsizetype i = text.indexOf(end, from);
        if (i < 0)
            i = n;
        qsizetype len = i - from;
        if (end == '\n' && len > 0 && text[i - 1] == '\r')
            --len;
        fn(text.sliced(from, len));
        from = i + 1;
    }
}

// The fields of one record line: split at "|", every field trimmed, NUL
// characters removed (no value holds one). A line without "|" gives none.
QStringList recordFields(QByteArrayView line);

// The records of a work file or section text: one per line (forEachLine),
// each as recordFields gives it.
QList<QStringList> readRecords(QByteArrayView text);

// A work file read one line at a time, in blocks: memory stays bounded by
// the longest line, however large the file. Lines end as in forEachLine.
class RecordFile
{
public:
    explicit RecordFile(const QString& path); // throws SessionError
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    // The next line without its end (lines end at LF, a CR before it is
    // dropped and `crlf` says so); false at the end of the file. Throws
    // SessionError when the file cannot be read.
    bool nextLine(QByteArray& line, bool* crlf = nullptr);

private:
    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_pos = 0;     // start of the next line in m_buffer
    qsizetype m_scanned = 0; // searched for a line end up to here
    bool m_atEnd = false;
};

// The records of one work file: its lines, with a record that a line break
// inside a value cut into lines put together again. A line goes on the
// record before it when that record is short of `fields` fields and the
// line brings it no further than whole (and does not begin with a number
// and "|" of its own, unless it makes the record exactly whole), or when the
// line holds no "|" at all; the break stays in the value. Lines that cannot
// be put together into a whole record are refused by name, with their text
// (os::messages().error, brokenRecordText), and never reach the step.
class RecordReader
{
public:
    RecordReader(const QString& path, int fields, const char* section); // throws SessionError
    // The next record as one text; false at the end. Throws SessionError.
    bool next(QByteArray& record);
    int refused() const { return m_refused; }

    // "A record of the <section> section is broken by a line break and cannot
    // be put together; it was not imported: "<text>""
    static QString brokenRecordText(const QString& section, const QString& text);

private:
    void open(QByteArray&& line, int fields, bool crlf);
    bool close(QByteArray& record);
    void refuse(const QByteArray& fragments);

    RecordFile m_file;
    int m_fields;
    QString m_section;
    QByteArray m_group; // the record being put together
    int m_count = 0;    // its fields so far
    int m_lines = 0;
    bool m_lastCrlf = false;
    bool m_open = false;
    int m_refused = 0;
};

// ---- The import steps --------------------------------------------------------

// What the import steps share in one retrieval: where the tables, the invoice
// directory and the work files are, where log rows go, which kept reply is
// imported (for the journal), and the lists of order numbers (the orders
// whose insert was tried, those refused, and those an earlier import of the
// same reply stored). Both the store session and --import-reply run the
// steps with it.
struct ImportContext
{
    QString dataDir; // company data directory: the tables and html/
    QString workDir; // the program's own directory: orders.dat, ...
    std::function<void(const QString& type, const QString& message)> log;
    // The kept reply's file name ("2024-06-01_09-30-00.reply"): its records
    // are journaled (ImportJournal) and applied at most once. Empty: no journal.
    QString reply;
    // Log the summary of skipped records even when none was skipped.
    bool reportSkipped = false;

    QSet<qint64> imported;
    QSet<qint64> failed;
    QSet<qint64> earlier; // stored by an earlier import of this reply
    int skipped = 0;      // records applied by an earlier import, skipped now

    QString htmlDir() const;
    QString workFile(const QString& name) const;
    void write(const QString& type, const QString& message) const
    {
        if (log)
            log(type, message);
    }
};

// The five data sections of a get_new_stuff reply and the work files they
// are saved to, in the order they are written.
struct SectionFile
{
    const char* start;
    const char* end;
    const char* file;
};
const QList<SectionFile>& workFileSections();

// Saves the Orders, Accounts, InvoiceStatus, InvMarks and Notes sections of a
// get_new_stuff reply, each followed by CR LF, as orders.dat, accts.dat,
// invstats.dat, invmarks.dat and notes.dat (a missing section gives a file
// holding only the line end). A file that cannot be written ends the session.
void writeWorkFiles(QByteArrayView reply, const ImportContext& ctx);

// Each step reads its work file and works on the tables of ctx.dataDir in one
// transaction with a savepoint per record, so a refused record costs only
// that record. A record the table refuses, or whose number or date cannot be
// read, is shown (os::messages().error) with the engine's or the
// conversion's text and the next record follows; a refused order goes to
// the failed list and gets no invoice. A record the journal knows from an
// earlier import of the same reply is skipped without a message. A full
// disk, an I/O error or a lack of memory ends the step and the session.
void ImportOrders(ImportContext& ctx);
void ImportAccounts(ImportContext& ctx);
void ImportNotes(ImportContext& ctx);
void ApplyInvoiceMarks(ImportContext& ctx);
void ApplyInvoiceStatus(ImportContext& ctx);

// "N records of this reply were imported before and were skipped."
QString skippedRecordsText(int skipped);

// Everything after the clean-up: the work files, the orders, the invoices,
// the accounts, the notes, the marks and the status texts; then, when
// records were skipped (or ctx.reportSkipped), the summary row (type
// "Notice").
void runImportSteps(QByteArrayView reply, ImportContext& ctx);

} // namespace os
