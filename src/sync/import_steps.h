#pragma once

#include "sync/session_error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace os {

// A field of a delivered record that cannot be read as the number or date it
// must be. It ends the session (what was imported before it stays); the text
// names the value and what it should have been, e.g.
// "'abc' is not a valid integer value".
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

// The records of a work file or section text: one per line, split at "|",
// every field trimmed. A line without "|" gives an empty record.
QList<QStringList> readRecords(const QByteArray& text);

// ---- The import steps --------------------------------------------------------

// What the import steps share in one retrieval: where the tables, the invoice
// directory and the work files are, where log rows go, and the two lists of
// order numbers (the orders whose insert was tried, and those refused).
// Both the store session and --import-reply run the steps with it.
struct ImportContext
{
    QString dataDir; // company data directory: the tables and html/
    QString workDir; // the program's own directory: orders.dat, ...
    std::function<void(const QString& type, const QString& message)> log;

    QSet<qint64> imported;
    QSet<qint64> failed;

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
void writeWorkFiles(const QByteArray& reply, const ImportContext& ctx);

// Each step reads its work file and works on the tables of ctx.dataDir in one
// transaction with a savepoint per record, so a refused record costs only
// that record. A refused row is shown (os::messages().error) with the
// engine's text and the next record follows; a ConversionError ends the
// step and the session, keeping what was imported before it.
void ImportOrders(ImportContext& ctx);
void ImportAccounts(ImportContext& ctx);
void ImportNotes(ImportContext& ctx);
void ApplyInvoiceMarks(ImportContext& ctx);
void ApplyInvoiceStatus(ImportContext& ctx);

// Everything after the clean-up: the work files, the orders, the invoices,
// the accounts, the notes, the marks and the status texts.
void runImportSteps(const QByteArray& reply, ImportContext& ctx);

} // namespace os
