#include "sync/import_steps.h"

#include "base/paths.h"

#include "base/clock.h"
#include "base/messages.h"
#include "base/owner_only_file.h"
#include "base/text_utils.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/statement.h"
#include "data/stored_values.h"
#include "data/table.h"
#include "data/transaction.h"
#include "orders/order_history.h"
#include "sync/import_journal.h"
#include "sync/invoices.h"
#include "sync/protocol.h"
#include "sync/retrieval.h"

#include <QFile>
#include <QHash>
#include <QLocale>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>

namespace os {

// ---- Conversions --------------------------------------------------------------

int readInteger(const QString& text)
{
    const std::optional<int> value = parseInteger(text);
    if (!value)
        throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return *value;
}

int readIntegerOr(const QString& text, int fallback)
{
    return parseInteger(text).value_or(fallback);
}

double readMoney(const QString& text)
{
    const QString t = trimControl(text);
    bool ok = false;
    double value = QLocale().toDouble(t, &ok);
    if (!ok) {
        // A store on another locale writes a full stop.
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        value = c.toDouble(t, &ok);
    }
    if (!ok || !std::isfinite(value))
        throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    // Money keeps four decimals.
    return std::round(value * 10000.0) / 10000.0;
}

QString paymentMethodText(const QString& code)
{
    static const char* const kMethods[] = {
        "Credit Card",    "Credit Card by Phone", "COD",
        "Purchase Order", "Remote Credit Card",   "Mail Payment"};
    const QString c = trimControl(code);
    if (c.size() == 1 && c[0] >= u'1' && c[0] <= u'6')
        return QString::fromLatin1(kMethods[c[0].unicode() - u'1']);
    return QStringLiteral("Unknown");
}

DateReader::DateReader()
{
    const QLocale loc;
    QStringList dates{loc.dateFormat(QLocale::ShortFormat)};
    QStringList times;
    auto addTime = [&times](QString f) {
        // A time-zone designator is never part of what the store writes.
        f.remove(QStringLiteral(" t"));
        f = f.trimmed();
        if (!f.isEmpty() && !times.contains(f))
            times.append(f);
    };
    addTime(loc.timeFormat(QLocale::LongFormat));
    addTime(loc.timeFormat(QLocale::ShortFormat));

    for (const QString& d : dates) {
        const bool shortYear =
            d.contains(QStringLiteral("yy")) && !d.contains(QStringLiteral("yyyy"));
        QStringList variants{d};
        if (shortYear) {
            QString four = d;
            four.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
            variants.prepend(four); // "3/5/2024" before "3/5/24"
        }
        for (const QString& v : variants) {
            const bool two = shortYear && v == d;
            for (const QString& t : times)
                m_formats.append({v + QLatin1Char(' ') + t, two, true});
            m_formats.append({v, two, false});
        }
    }
    // ISO 8601, also with a space between date and time.
    for (const char* f : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm",
                          "yyyy-MM-ddTHH:mm", "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-ddTHH:mm:ss.zzz"})
        m_formats.append({QString::fromLatin1(f), false, true});
    m_formats.append({QStringLiteral("yyyy-MM-dd"), false, false});

    for (Format& f : m_formats) {
        if (f.pattern == QLatin1String("yyyy-MM-dd") ||
            f.pattern == QLatin1String("yyyy-MM-dd HH:mm:ss") ||
            f.pattern == QLatin1String("yyyy-MM-ddTHH:mm:ss"))
            f.isoLength = int(f.pattern.size());
    }
}

namespace {

// Two or four ASCII digits at `at`; -1 when any is not a digit.
int digits(const QString& text, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// "yyyy-MM-dd" and "yyyy-MM-dd HH:mm:ss" (or with a T) in plain digits, read
// by hand: the general parser costs a hundred times more, once per order.
// Gives up (false) on anything it is not sure of, and the general parser
// decides; what it accepts the general parser reads to the same value.
bool readIsoByHand(const QString& pattern, const QString& text, QDateTime& out)
{
    if (text.size() != pattern.size())
        return false;
    for (qsizetype i : {4, 7, 10, 13, 16}) {
        if (i < pattern.size() && text[i] != pattern[i])
            return false;
    }
    const int y = digits(text, 0, 4);
    const int m = digits(text, 5, 2);
    const int d = digits(text, 8, 2);
    if (y < 1000 || m < 0 || d < 0)
        return false;
    const QDate date(y, m, d);
    QTime time(0, 0);
    if (pattern.size() == 19) {
        const int h = digits(text, 11, 2);
        const int mi = digits(text, 14, 2);
        const int s = digits(text, 17, 2);
        if (h < 0 || mi < 0 || s < 0)
            return false;
        time = QTime(h, mi, s);
    }
    if (!date.isValid() || !time.isValid())
        return false;
    const QDateTime dt(date, time);
    // A clock time the local zone skips (or moves) is left to the parser.
    if (!dt.isValid() || dt.date() != date || dt.time() != time)
        return false;
    out = dt;
    return true;
}

} // namespace

bool DateReader::tryFormat(const Format& f, const QString& text, QDateTime& out) const
{
    if (f.isoLength && !f.twoDigitYear && readIsoByHand(f.pattern, text, out))
        return true;
    QDateTime dt;
    if (f.hasTime) {
        dt = QLocale().toDateTime(text, f.pattern);
        if (!dt.isValid())
            dt = QLocale::c().toDateTime(text, f.pattern);
    } else {
        QDate d = QLocale().toDate(text, f.pattern);
        if (!d.isValid())
            d = QLocale::c().toDate(text, f.pattern);
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
    }
    if (!dt.isValid())
        return false;
    if (f.twoDigitYear && dt.date().year() < 1950)
        dt = dt.addYears(100);
    out = dt;
    return true;
}

QDateTime DateReader::dateTime(const QString& text)
{
    const QString t = trimControl(text);
    QDateTime out;
    if (!t.isEmpty()) {
        if (m_last >= 0 && tryFormat(m_formats[m_last], t, out))
            return out;
        for (int i = 0; i < m_formats.size(); ++i) {
            if (i != m_last && tryFormat(m_formats[i], t, out)) {
                m_last = i;
                return out;
            }
        }
    }
    throw ConversionError(QStringLiteral("'%1' is not a valid date and time").arg(text));
}

QDate DateReader::date(const QString& text)
{
    try {
        return dateTime(text).date();
    } catch (const ConversionError&) {
        throw ConversionError(QStringLiteral("'%1' is not a valid date").arg(text));
    }
}

QString regionalFormatText()
{
    const QLocale locale;
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(QStringLiteral(" t")); // as DateReader reads it
    return QStringLiteral("Dates and totals are read in the regional format %1: dates %2 %3, "
                          "decimal separator \"%4\"; ISO 8601 dates as well.")
        .arg(locale.name(), locale.dateFormat(QLocale::ShortFormat), time.trimmed(),
             locale.decimalPoint());
}

QVariantList orderRowValues(const QStringList& f, DateReader& dates, const QDateTime& now)
{
    Q_ASSERT(f.size() >= kOrderFields);
    QVariantList v;
    v.reserve(34);
    v.append(readInteger(f[0]));  // INV
    v.append(readInteger(f[1]));  // CUSTID
    for (int i = 2; i <= 20; ++i) // PASS .. NOTES
        v.append(f[i]);
    v.append(dates.dateTime(f[21])); // IDATE
    v.append(readMoney(f[22]));      // TOTAL
    v.append(paymentMethodText(f[23]));
    for (int i = 24; i <= 29; ++i) // CARDNUM .. PURCHASEORDER
        v.append(f[i]);
    v.append(readIntegerOr(f[30], 0)); // AFFILIATECODE
    v.append(f[31]);                   // COUPON
    v.append(f[32]);                   // ORDERSTATE
    v.append(now);                     // LASTMARKED
    return v;
}

QVariantList accountRowValues(const QStringList& f)
{
    Q_ASSERT(f.size() >= kAccountFields);
    QVariantList v;
    v.reserve(21);
    v.append(readInteger(f[0]));
    for (int i = 1; i <= 19; ++i)
        v.append(f[i]);
    v.append(f[20] == QLatin1String("1"));
    return v;
}

QStringList recordFields(QByteArrayView line)
{
    QString text = decodeStoreText(line);
    // A NUL is no part of a value (other tools would end the text there).
    text.remove(QChar(u'\0'));
    // SplitFields at "|", with the one-character split (several times faster).
    if (!text.contains(u'|'))
        return {};
    QStringList fields = text.split(u'|', Qt::KeepEmptyParts);
    for (QString& f : fields)
        f = trimControl(f);
    return fields;
}

QList<QStringList> readRecords(QByteArrayView text)
{
    QList<QStringList> records;
    forEachLine(text, [&records](QByteArrayView line) { records.append(recordFields(line)); });
    return records;
}

RecordFile::RecordFile(const QString& path) : m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw SessionError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, m_file.errorString()));
}

RecordFile::~RecordFile() = default;

bool RecordFile::nextLine(QByteArray& line, bool* crlf)
{
    // Read in blocks, so a work file of any size costs a block and the
    // longest line. Lines end at LF; a CR before it is dropped, a CR
    // anywhere else is part of the line (a value broken by a notes box).
    constexpr qint64 kBlock = 1 << 20;
    for (;;) {
        const char* d = m_buffer.constData();
        const qsizetype n = m_buffer.size();
        const qsizetype from = std::max(m_pos, m_scanned);
        const void* hit = from < n ? std::memchr(d + from, '\n', size_t(n - from)) : nullptr;
        const qsizetype i = hit ? static_cast<const char*>(hit) - d : n;
        m_scanned = i;
        if (i < n) {
            const bool cr = i > m_pos && d[i - 1] == '\r';
            line = m_buffer.mid(m_pos, i - m_pos - (cr ? 1 : 0));
            if (crlf)
                *crlf = cr;
            m_pos = i + 1;
            return true;
        }
        if (m_atEnd) {
            if (m_pos >= n)
                return false;
            line = m_buffer.mid(m_pos);
            if (crlf)
                *crlf = false;
            m_pos = n;
            return true;
        }
        m_buffer.remove(0, m_pos);
        m_scanned -= m_pos;
        m_pos = 0;
        const QByteArray more = m_file.read(kBlock);
        if (more.isEmpty()) {
            if (m_file.error() != QFileDevice::NoError)
                throw SessionError(QStringLiteral("Cannot read file \"%1\". %2")
                                       .arg(m_file.fileName(), m_file.errorString()));
            m_atEnd = true;
        }
        m_buffer += more;
    }
}

namespace {
// Whether a line begins with a number and "|": how every record of the five
// sections begins (the order, account or invoice number).
bool startsWithNumber(const QByteArray& line)
{
    const qsizetype bar = line.indexOf('|');
    return bar > 0 && parseInteger(decodeStoreText(QByteArrayView(line).first(bar))).has_value();
}
} // namespace

RecordReader::RecordReader(const QString& path, int fields, const char* section)
    : m_file(path), m_fields(fields), m_section(QString::fromLatin1(section))
{
}

QString RecordReader::brokenRecordText(const QString& section, const QString& text)
{
    return QStringLiteral("A record of the %1 section is broken by a line break and cannot be put "
                          "together; it was not imported: \"%2\"")
        .arg(section, text);
}

void RecordReader::refuse(const QByteArray& fragments)
{
    ++m_refused;
    QString text = decodeStoreText(fragments);
    text.remove(QChar(u'\0'));
    messages().error(brokenRecordText(m_section, text));
}

bool RecordReader::close(QByteArray& record)
{
    m_open = false;
    // One line is a record as it is (a short one is skipped by the step, as
    // ever); lines joined must make at least a whole record.
    if (m_lines == 1 || m_count >= m_fields) {
        record = std::move(m_group);
        m_group = QByteArray();
        return true;
    }
    refuse(m_group);
    m_group = QByteArray();
    return false;
}

bool RecordReader::next(QByteArray& record)
{
    QByteArray line;
    bool crlf = false;
    for (;;) {
        if (!m_file.nextLine(line, &crlf)) {
            if (m_open && close(record))
                return true;
            return false;
        }
        const int k = int(line.count('|')) + 1;
        if (m_open) {
            // A line without "|" is no record: the rest of a value the line
            // break cut. A line that brings a record short of fields no
            // further than whole is its next part, unless it begins a record
            // of its own.
            const int joined = m_count + k - 1;
            if (k == 1 || (m_count < m_fields && joined <= m_fields &&
                           (joined == m_fields || !startsWithNumber(line)))) {
                m_group.append(m_lastCrlf ? QByteArrayView("\r\n") : QByteArrayView("\n"));
                m_group.append(line);
                m_count = joined;
                ++m_lines;
                m_lastCrlf = crlf;
                continue;
            }
            const bool whole = close(record);
            open(std::move(line), k, crlf);
            if (whole)
                return true;
            continue;
        }
        if (k == 1) {
            if (!trimControl(QByteArrayView(line)).isEmpty())
                refuse(line); // a fragment with no record before it
            continue;
        }
        open(std::move(line), k, crlf);
    }
}

void RecordReader::open(QByteArray&& line, int fields, bool crlf)
{
    m_group = std::move(line);
    m_count = fields;
    m_lines = 1;
    m_lastCrlf = crlf;
    m_open = true;
}

// ---- Work files ---------------------------------------------------------------

QString ImportContext::htmlDir() const
{
    return AppPaths::htmlDirOf(dataDir);
}
QString ImportContext::workFile(const QString& name) const
{
    return workDir + QLatin1Char('/') + name;
}

const QList<SectionFile>& workFileSections()
{
    static const QList<SectionFile> sections{
        {markers::OrdersStart, markers::OrdersEnd, "orders.dat"},
        {markers::AccountsStart, markers::AccountsEnd, "accts.dat"},
        {markers::InvoiceStatusStart, markers::InvoiceStatusEnd, "invstats.dat"},
        {markers::InvMarksStart, markers::InvMarksEnd, "invmarks.dat"},
        {markers::NotesStart, markers::NotesEnd, "notes.dat"},
    };
    return sections;
}

void writeWorkFiles(QByteArrayView reply, const ImportContext& ctx)
{
    for (const SectionFile& s : workFileSections()) {
        const QString path = ctx.workFile(QString::fromLatin1(s.file));
        QFile file(path);
        // Work files hold card numbers: owner only, also a file left wider.
        if (!openOwnerOnly(file, QIODevice::WriteOnly | QIODevice::Truncate))
            throw SessionError(cannotCreateFileText(path, file.errorString()));
        // Written from the reply itself: no copy of a large section.
        QByteArrayView text = sectionText(reply, s.start, s.end);
        // A store that ends its records with a CR alone (and sends no LF in
        // the whole section): its CRs become the LFs records end with.
        QByteArray crOnly;
        if (text.contains('\r') && !text.contains('\n')) {
            crOnly = text.toByteArray();
            crOnly.replace('\r', '\n');
            text = crOnly;
        }
        if (file.write(text.data(), text.size()) != text.size() || file.write("\r\n", 2) != 2 ||
            !file.flush())
            throw SessionError(cannotWriteFileText(path, file.errorString()));
    }
}

namespace {

// An insert, update or delete on one table file, prepared once and run for
// every record; values are converted by the catalogue's column types.
class Prepared
{
public:
    Prepared(const std::shared_ptr<Connection>& conn, const QString& sql,
             QList<const FieldDef*> defs)
        : m_conn(conn), m_stmt(*conn, sql), m_defs(std::move(defs))
    {
    }

    // A column whose value is the same for every row (an import's time
    // stamp): converted once, bound instead of values[index].
    void setFixed(int index, const QVariant& value)
    {
        m_fixed.insert(index, toStored(value, m_defs.value(index)));
    }

    // Runs the statement; returns the rows it changed. Throws DbError.
    int run(const QVariantList& values)
    {
        m_stmt.reset();
        for (int i = 0; i < values.size(); ++i) {
            const auto fixed = m_fixed.constFind(i);
            m_stmt.bind(i + 1,
                        fixed != m_fixed.cend() ? *fixed : toStored(values[i], m_defs.value(i)));
        }
        try {
            m_stmt.step();
        } catch (const DbError&) {
            m_stmt.reset();
            throw;
        }
        const int changed = m_stmt.changes();
        m_stmt.reset();
        return changed;
    }

    // For a SELECT: the first column of the first row (an invalid QVariant
    // when it is NULL); nothing when there is no row.
    std::optional<QVariant> firstValue(const QVariantList& values)
    {
        m_stmt.reset();
        for (int i = 0; i < values.size(); ++i)
            m_stmt.bind(i + 1, toStored(values[i], m_defs.value(i)));
        std::optional<QVariant> result;
        try {
            if (m_stmt.step())
                result = m_stmt.column(0);
        } catch (...) {
            m_stmt.reset();
            throw;
        }
        m_stmt.reset();
        return result;
    }

private:
    std::shared_ptr<Connection> m_conn;
    Statement m_stmt;
    QList<const FieldDef*> m_defs;
    QHash<int, QVariant> m_fixed;
};

// Called in the handler of a failed record: rethrows when the import cannot
// go on. A record the table refuses costs that record only; but after a full
// disk, an I/O error or a lack of memory the engine may have rolled the
// whole transaction back, and every later record would be written outside
// it (and the earlier ones are gone): the step ends with the engine's text.
void rethrowUnlessRecordRefused(const Connection& conn, const DbError& e)
{
    if (!conn.inTransaction() || e.storageFailed())
        throw;
}

// The invoice number of a record; a text that is not one is shown, and the
// record is passed over.
std::optional<int> invoiceNumber(const QString& text)
{
    try {
        return readInteger(text);
    } catch (const ConversionError& e) {
        messages().error(e.text());
        return std::nullopt;
    }
}

// Writes one record in a savepoint of its own together with its journal
// key, so that the record and the note that it went in commit as one.
// `write` runs the statements and says whether the record was applied (only
// then is its key journalled). A record the table refuses is rolled back
// and its text shown, and the import goes on with the next: the result is
// then empty.
enum class RecordStatements
{
    One,    // one statement: the engine undoes a refused one by itself
    Several // a savepoint keeps them together
};

std::optional<bool> writeRecord(const std::shared_ptr<Connection>& conn, ImportJournal& journal,
                                const std::optional<ImportJournal::Key>& key,
                                const std::function<bool()>& write,
                                RecordStatements statements = RecordStatements::Several)
{
    std::optional<Savepoint> sp;
    if (statements == RecordStatements::Several)
        sp.emplace(conn);
    bool applied = false;
    try {
        applied = write();
    } catch (const DbError& e) {
        rethrowUnlessRecordRefused(*conn, e);
        if (sp)
            sp->rollback();
        messages().error(e.text());
        return std::nullopt;
    }
    if (applied && key)
        journal.add(*key);
    if (sp)
        sp->release();
    return applied;
}

struct TableFile
{
    TableFile(const QString& dir, const char* table)
        : def(findTableDef(QString::fromLatin1(table))), conn(Connection::forTable(dir, def->name)),
          quoted(quoteIdent(conn->tableName()))
    {
    }
    const FieldDef* field(const char* name) const { return def->field(QString::fromLatin1(name)); }
    QList<const FieldDef*> allFields() const
    {
        QList<const FieldDef*> defs;
        for (const FieldDef& f : def->fields)
            defs.append(&f);
        return defs;
    }
    QString columnList(const QList<const FieldDef*>& defs) const
    {
        QStringList names;
        for (const FieldDef* f : defs)
            names.append(quoteIdent(f->name));
        return names.join(QLatin1Char(','));
    }
    QString insertSql(const QList<const FieldDef*>& defs) const
    {
        QStringList marks;
        for (qsizetype i = 0; i < defs.size(); ++i)
            marks.append(QStringLiteral("?"));
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoted, columnList(defs), marks.join(QLatin1Char(',')));
    }

    const TableDef* def;
    std::shared_ptr<Connection> conn;
    QString quoted;
};

// Runs `body` inside one transaction on `dir`/`table`. Whatever ends the step
// early (a conversion error ends the session), the records handled before it
// are committed: what was imported stays.
// A savepoint keeps the original of every page its record changes in a
// sub-journal. Past 64 KB SQLite moves that journal to a temporary file for
// the rest of the transaction, and every record then costs a dozen file
// writes. A record touches a few pages only: the import keeps it in memory.
class SubJournalInMemory
{
public:
    explicit SubJournalInMemory(std::shared_ptr<Connection> conn) : m_conn(std::move(conn))
    {
        try {
            Statement current(*m_conn, QStringLiteral("PRAGMA temp_store"));
            if (current.step())
                m_previous = int(current.column(0).toLongLong());
            m_conn->exec(QStringLiteral("PRAGMA temp_store=MEMORY"));
            m_set = true;
        } catch (const DbError&) {
            // only slower
        }
    }
    ~SubJournalInMemory()
    {
        if (!m_set)
            return;
        try {
            m_conn->exec(QStringLiteral("PRAGMA temp_store=%1").arg(m_previous));
        } catch (const DbError&) {
            // the setting stays for this connection; nothing is lost
        }
    }
    SubJournalInMemory(const SubJournalInMemory&) = delete;
    SubJournalInMemory& operator=(const SubJournalInMemory&) = delete;

private:
    std::shared_ptr<Connection> m_conn;
    int m_previous = 0;
    bool m_set = false;
};

template <typename Body>
void inTransaction(const QString& dir, const char* table, ImportJournal& journal, Body&& body)
{
    // Set before the transaction begins (it is read then), reset after it ends.
    const SubJournalInMemory subJournal(Connection::forTable(dir, QString::fromLatin1(table)));
    Transaction tx(dir, QString::fromLatin1(table));
    try {
        body();
    } catch (...) {
        try {
            // The records handled so far stay, with their journal keys; keys
            // that cannot be written take their records back with them.
            journal.flush();
            tx.commit();
        } catch (const DbError&) {
            // the original error is the one to report
        }
        throw;
    }
    journal.flush();
    tx.commit();
}

TMainDataMod* openDataModule(const QString& dir)
{
    TMainDataMod* dm = TMainDataMod::instance();
    if (!dm || !dm->isOpen() || dm->directory() != dir)
        return nullptr;
    return dm;
}

void refreshShared(Table* table)
{
    if (table && table->isOpen() && table->state() == Table::State::Browse)
        table->refresh();
}

} // namespace

// ---- The steps ----------------------------------------------------------------

namespace {

// A record stored by an earlier import of the same reply: skipped without a
// message, and counted for the summary row.
bool alreadyApplied(ImportJournal& journal, const std::optional<ImportJournal::Key>& key,
                    ImportContext& ctx)
{
    if (!key || !journal.contains(*key))
        return false;
    ++ctx.skipped;
    return true;
}

} // namespace

void ImportOrders(ImportContext& ctx)
{
    RecordReader file(ctx.workFile(QStringLiteral("orders.dat")), kOrderFields, "Orders");
    TableFile orders(ctx.dataDir, "orders");
    const QList<const FieldDef*> defs = orders.allFields();
    Prepared insert(orders.conn, orders.insertSql(defs), defs);
    ImportJournal journal(orders.conn, ctx.reply, "Orders");
    DateReader dates;
    const QDateTime now = Clock::now();
    insert.setFixed(orders.def->fieldIndex(QStringLiteral("LASTMARKED")), now);

    inTransaction(ctx.dataDir, "orders", journal, [&] {
        QByteArray line;
        while (file.next(line)) {
            const QStringList rec = recordFields(line);
            if (rec.size() < kOrderFields)
                continue;
            const std::optional<ImportJournal::Key> key = journal.keyOf(line);
            if (alreadyApplied(journal, key, ctx)) {
                // Its invoice is written again if its file went missing.
                if (const std::optional<int> inv = parseInteger(rec[0]))
                    ctx.earlier.insert(*inv);
                continue;
            }
            QVariantList values;
            try {
                values = orderRowValues(rec, dates, now);
            } catch (const ConversionError& e) {
                // Refused alone, like a key violation: no row, no invoice.
                if (const std::optional<int> inv = parseInteger(rec[0])) {
                    ctx.imported.insert(*inv);
                    ctx.failed.insert(*inv);
                }
                messages().error(e.text());
                continue;
            }
            const qint64 inv = values[0].toLongLong();
            ctx.imported.insert(inv);
            if (!writeRecord(
                    orders.conn, journal, key,
                    [&] {
                        insert.run(values);
                        return true;
                    },
                    RecordStatements::One)) {
                ctx.failed.insert(inv);
                continue;
            }
            ctx.write(QStringLiteral("Order"), rec[0] + QStringLiteral(" Data Record"));
        }
    });
    if (TMainDataMod* dm = openDataModule(ctx.dataDir))
        refreshShared(dm->ORDERs);
}

void ImportAccounts(ImportContext& ctx)
{
    RecordReader file(ctx.workFile(QStringLiteral("accts.dat")), kAccountFields, "Accounts");
    TableFile customers(ctx.dataDir, "customers");
    const QList<const FieldDef*> defs = customers.allFields();
    const FieldDef* custid = customers.field("CUSTID");
    Prepared insert(customers.conn, customers.insertSql(defs), defs);
    Prepared lookup(
        customers.conn,
        QStringLiteral("SELECT %1 FROM %2 WHERE %3=?")
            .arg(quoteIdent(QStringLiteral("EMAIL")), customers.quoted, quoteIdent(custid->name)),
        {custid});
    Prepared remove(
        customers.conn,
        QStringLiteral("DELETE FROM %1 WHERE %2=?").arg(customers.quoted, quoteIdent(custid->name)),
        {custid});
    ImportJournal journal(customers.conn, ctx.reply, "Accounts");

    inTransaction(ctx.dataDir, "customers", journal, [&] {
        QByteArray line;
        while (file.next(line)) {
            const QStringList rec = recordFields(line);
            if (rec.size() < kAccountFields)
                continue;
            // Replaced once: a second import must not undo the merchant's edits.
            const std::optional<ImportJournal::Key> key = journal.keyOf(line);
            if (alreadyApplied(journal, key, ctx))
                continue;
            QVariantList values;
            try {
                values = accountRowValues(rec);
            } catch (const ConversionError& e) {
                messages().error(e.text()); // this account alone
                continue;
            }
            // An account without an e-mail (NULL) is matched as "".
            const std::optional<QVariant> stored = lookup.firstValue({values[0]});
            if (stored && stored->toString() != rec[2]) {
                ctx.write(QStringLiteral("Internal Trouble"),
                          rec[0] + QStringLiteral(" AND ") + rec[2] +
                              QStringLiteral(" do not match, record not updated!"));
                continue;
            }
            // The old row goes and the new one comes in one savepoint: an
            // insert the table refuses leaves the old account in place.
            const auto replaced = writeRecord(customers.conn, journal, key, [&] {
                try {
                    remove.run({values[0]});
                } catch (const DbError& e) {
                    rethrowUnlessRecordRefused(*customers.conn, e);
                    messages().error(e.text());
                }
                insert.run(values);
                return true;
            });
            if (!replaced)
                continue;
            ctx.write(QStringLiteral("Account"),
                      rec[0] + QStringLiteral(" New or Updated Shopper Account"));
        }
    });
    if (TMainDataMod* dm = openDataModule(ctx.dataDir))
        refreshShared(dm->CUSTOMERS);
}

void ImportNotes(ImportContext& ctx)
{
    RecordReader file(ctx.workFile(QStringLiteral("notes.dat")), kNoteFields, "Notes");
    TableFile notes(ctx.dataDir, "invoice_notes");
    const QList<const FieldDef*> defs{notes.field("INVOICE"), notes.field("IDATE"),
                                      notes.field("NOTE")};
    Prepared insert(notes.conn, notes.insertSql(defs), defs);
    ImportJournal journal(notes.conn, ctx.reply, "Notes");
    DateReader dates;

    inTransaction(ctx.dataDir, "invoice_notes", journal, [&] {
        QByteArray line;
        while (file.next(line)) {
            const QStringList rec = recordFields(line);
            if (rec.size() < kNoteFields || rec[0].isEmpty() || rec[2].isEmpty())
                continue;
            // A note added once must not be added again.
            const std::optional<ImportJournal::Key> key = journal.keyOf(line);
            if (alreadyApplied(journal, key, ctx))
                continue;
            const int inv = parseInteger(rec[0]).value_or(0);
            if (inv == 0) {
                ctx.write(QStringLiteral("Internal Trouble"),
                          QStringLiteral("Notes API invoice number was invalid!"));
                continue;
            }
            QDate date;
            try {
                // A note without a date is dated today, as every note row is.
                date = rec[1].isEmpty() ? Clock::today() : dates.date(rec[1]);
            } catch (const ConversionError& e) {
                messages().error(e.text());
                continue;
            }
            if (!writeRecord(
                    notes.conn, journal, key,
                    [&] {
                        insert.run({inv, date, rec[2]});
                        return true;
                    },
                    RecordStatements::One))
                continue;
            ctx.write(QStringLiteral("Order Notes"),
                      rec[0] + QStringLiteral(" Order Notes API Entry"));
        }
    });
    if (TMainDataMod* dm = openDataModule(ctx.dataDir))
        refreshShared(dm->InvoiceNotes);
}

namespace {

// A mark read from the work file, not yet applied.
struct StoreMark
{
    int inv;
    QString invText; // the record's first field, for the log row
    QString state;
    std::optional<ImportJournal::Key> key;
};

// All marks at once, as Mark ALL does: the marks go into a temporary table,
// their history rows are written by one INSERT ... SELECT (a mark's old state
// is the previous mark of the same order, or the order's state), and one
// UPDATE gives each order its last mark. Returns the orders that exist (their
// marks are applied). Throws DbError; the caller's savepoint takes it all back.
QSet<qint64> applyMarksTogether(const TableFile& orders, const QString& dir,
                                const QList<StoreMark>& marks, const QDateTime& now)
{
    Connection& c = *orders.conn;
    const FieldDef* invDef = orders.field("INV");
    const FieldDef* stateDef = orders.field("ORDERSTATE");
    c.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS os_marks "
                          "(SEQ INTEGER PRIMARY KEY, INV INTEGER, STATE TEXT)"));
    c.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS temp.os_marks_inv ON os_marks (INV, SEQ)"));
    c.exec(QStringLiteral("DELETE FROM temp.os_marks"));
    {
        Statement insert(c,
                         QStringLiteral("INSERT INTO temp.os_marks (INV, STATE) VALUES (?1, ?2)"));
        for (const StoreMark& m : marks) {
            insert.reset();
            insert.bind(1, toStored(m.inv, invDef));
            insert.bind(2, toStored(m.state, stateDef));
            insert.step();
        }
        insert.reset();
    }
    const QString inv = quoteIdent(QStringLiteral("INV"));
    const QString state = quoteIdent(QStringLiteral("ORDERSTATE"));
    QSet<qint64> found;
    {
        Statement existing(c, QStringLiteral("SELECT DISTINCT m.INV FROM temp.os_marks m JOIN %1 o "
                                             "ON o.%2 = m.INV")
                                  .arg(orders.quoted, inv));
        while (existing.step())
            found.insert(existing.column(0).toLongLong());
    }
    const TableDef* historyDef = findTableDef(QStringLiteral("order_history"));
    const QString history = quoteIdent(c.attach(dir, historyDef->name)) + QLatin1Char('.') +
                            quoteIdent(historyDef->name);
    {
        // An order that already has the state gets no row.
        Statement rows(
            c, QStringLiteral("INSERT INTO %1 (\"INV\", \"IDATE\", \"COMMAND\", \"CHANGED\", "
                              "\"OLDVALUE\", \"NEWVALUE\") SELECT INV, ?1, ?2, ?3, OLD, STATE FROM "
                              "(SELECT m.SEQ AS SEQ, m.INV AS INV, m.STATE AS STATE, "
                              "COALESCE(LAG(m.STATE) OVER (PARTITION BY m.INV ORDER BY m.SEQ), "
                              "o.%2, '') AS OLD FROM temp.os_marks m JOIN %3 o ON o.%4 = m.INV) "
                              "WHERE OLD <> STATE ORDER BY SEQ")
                   .arg(history, state, orders.quoted, inv));
        rows.bind(1, toStored(now, historyDef->field(QStringLiteral("IDATE"))));
        rows.bind(2, QString::fromLatin1(history::kStoreMark));
        rows.bind(3, QString::fromLatin1(history::kState));
        rows.step();
    }
    {
        Statement update(c,
                         QStringLiteral("UPDATE %1 SET %2 = (SELECT m.STATE FROM temp.os_marks m "
                                        "WHERE m.INV = %1.%3 ORDER BY m.SEQ DESC LIMIT 1) "
                                        "WHERE %3 IN (SELECT INV FROM temp.os_marks)")
                             .arg(orders.quoted, state, inv));
        update.step();
    }
    c.exec(QStringLiteral("DELETE FROM temp.os_marks"));
    return found;
}

} // namespace

void ApplyInvoiceMarks(ImportContext& ctx)
{
    RecordReader file(ctx.workFile(QStringLiteral("invmarks.dat")), kMarkFields, "InvMarks");
    TableFile orders(ctx.dataDir, "orders");
    ImportJournal journal(orders.conn, ctx.reply, "InvMarks");
    const QDateTime now = Clock::now();

    QList<StoreMark> marks;
    QByteArray line;
    while (file.next(line)) {
        const QStringList rec = recordFields(line);
        if (rec.size() < kMarkFields || rec[0].isEmpty() || rec[1].isEmpty())
            continue;
        // Applied once: a second import must not undo the merchant's later
        // state changes.
        const std::optional<ImportJournal::Key> key = journal.keyOf(line);
        if (alreadyApplied(journal, key, ctx))
            continue;
        const std::optional<int> read = invoiceNumber(rec[0]);
        if (!read)
            continue;
        marks.append({*read, rec[0], rec[1], key});
    }
    if (marks.isEmpty())
        return;

    auto logMark = [&ctx](const StoreMark& m, bool applied) {
        if (!applied)
            ctx.write(QStringLiteral("Invoice Marker"), QStringLiteral("Could not mark invoice ") +
                                                            m.invText + QLatin1Char(' ') + m.state);
        else
            ctx.write(QStringLiteral("Invoice Marker"),
                      m.invText + QStringLiteral(" Order marked ") + m.state);
    };

    inTransaction(ctx.dataDir, "orders", journal, [&] {
        std::optional<QSet<qint64>> found;
        {
            Savepoint together(orders.conn);
            try {
                found = applyMarksTogether(orders, ctx.dataDir, marks, now);
                together.release();
            } catch (const DbError& e) {
                rethrowUnlessRecordRefused(*orders.conn, e);
                together.rollback(); // a mark the table refuses: one at a time below
            }
        }
        if (found) {
            // A mark for an order that is not there yet is not applied: a
            // later import (after the order is mended) may still apply it.
            for (const StoreMark& m : marks) {
                const bool applied = found->contains(m.inv);
                if (applied && m.key)
                    journal.add(*m.key);
                logMark(m, applied);
            }
            return;
        }

        Prepared update(orders.conn,
                        QStringLiteral("UPDATE %1 SET %2=? WHERE %3=?")
                            .arg(orders.quoted, quoteIdent(QStringLiteral("ORDERSTATE")),
                                 quoteIdent(QStringLiteral("INV"))),
                        {orders.field("ORDERSTATE"), orders.field("INV")});
        // The store's marks go on record like the merchant's own changes, in
        // the same savepoint as the mark (the writer shares the connection).
        OrderHistoryWriter changes(ctx.dataDir);
        for (const StoreMark& m : marks) {
            const std::optional<bool> changed = writeRecord(orders.conn, journal, m.key, [&] {
                const OrderTracked before = changes.read(m.inv);
                if (update.run({m.state, m.inv}) == 0)
                    return false;
                changes.record(m.inv, before, changes.read(m.inv),
                               QLatin1String(history::kStoreMark), now);
                return true;
            });
            if (changed)
                logMark(m, *changed);
        }
    });
    if (TMainDataMod* dm = openDataModule(ctx.dataDir))
        refreshShared(dm->ORDERs);
}

void ApplyInvoiceStatus(ImportContext& ctx)
{
    RecordReader file(ctx.workFile(QStringLiteral("invstats.dat")), kStatusFields, "InvoiceStatus");
    TableFile results(ctx.dataDir, "invoice_result");
    const QList<const FieldDef*> defs{results.field("INVOICE"), results.field("INFSTRING")};
    Prepared insert(results.conn, results.insertSql(defs), defs);
    ImportJournal journal(results.conn, ctx.reply, "InvoiceStatus");

    inTransaction(ctx.dataDir, "invoice_result", journal, [&] {
        QByteArray line;
        while (file.next(line)) {
            const QStringList rec = recordFields(line);
            if (rec.size() < kStatusFields || rec[0].isEmpty() || rec[1].isEmpty())
                continue;
            const std::optional<ImportJournal::Key> key = journal.keyOf(line);
            if (alreadyApplied(journal, key, ctx))
                continue;
            const std::optional<int> read = invoiceNumber(rec[0]);
            if (!read)
                continue;
            const int inv = *read;
            // An order that already has its status text is refused.
            const std::optional<bool> added = writeRecord(
                results.conn, journal, key,
                [&] {
                    return insert.run({inv, rec[1]}) > 0;
                },
                RecordStatements::One);
            if (!added)
                continue;
            if (!*added)
                ctx.write(QStringLiteral("Invoice Status"),
                          QStringLiteral("Could not set invoice ") + rec[0] +
                              QStringLiteral(" status to ") + rec[1]);
            else
                ctx.write(QStringLiteral("Invoice Status"),
                          rec[0] + QStringLiteral(" Invoice status set to ") + rec[1]);
        }
    });
    if (TMainDataMod* dm = openDataModule(ctx.dataDir))
        refreshShared(dm->ORDER_STATS);
}

QString skippedRecordsText(int skipped)
{
    return skipped == 1
               ? QStringLiteral("1 record of this reply was imported before and was skipped.")
               : QStringLiteral("%1 records of this reply were imported before and were skipped.")
                     .arg(skipped);
}

void runImportSteps(QByteArrayView reply, ImportContext& ctx)
{
    writeWorkFiles(reply, ctx);
    ImportOrders(ctx);
    ExtractInvoices(sectionText(reply, markers::HtmlStart, markers::HtmlEnd), ctx);
    ImportAccounts(ctx);
    ImportNotes(ctx);
    ApplyInvoiceMarks(ctx);
    ApplyInvoiceStatus(ctx);
    if (ctx.skipped > 0 || ctx.reportSkipped)
        ctx.write(QStringLiteral("Notice"), skippedRecordsText(ctx.skipped));
}

} // namespace os
