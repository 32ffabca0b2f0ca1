#include "data/table.h"

#include "data/connection.h"
#include "data/db_error.h"
#include "data/schema.h"
#include "data/statement.h"
#include "data/stored_values.h"
#include "data/table_files.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>

namespace os {

namespace {

// Rows fetched per step of the cursor: one screen and some.
constexpr int kWindow = 64;

} // namespace

Table::Table(const QString& tableName, QObject* parent)
    : QObject(parent), m_def(findTableDef(tableName))
{
    if (!m_def)
        throw DbError(QStringLiteral("Unknown table: %1").arg(tableName));
}

Table::~Table()
{
    QObject::disconnect(m_masterConn);
}

void Table::setDirectory(const QString& dir)
{
    if (isOpen() && dir != m_dir)
        close();
    m_dir = dir;
}

void Table::setIndexName(const QString& name)
{
    if (name == m_indexName)
        return;
    if (!name.isEmpty() && name.compare(QLatin1String("PrimaryIndex"), Qt::CaseInsensitive) != 0 &&
        !m_def->index(name))
        throw DbError(QStringLiteral("Index does not exist: %1 (%2)").arg(name, m_def->name));
    m_indexName = name;
    if (isOpen()) {
        setupOrder();
        emit setChanged();
        first();
    }
}

void Table::setupOrder()
{
    m_orderCols.clear();
    m_orderDesc.clear();
    m_orderNoCase.clear();
    const IndexDef* ix = m_indexName.isEmpty() ? nullptr : m_def->index(m_indexName);
    const QStringList fields = ix ? ix->fields : m_def->primaryKey;
    for (const QString& f : fields) {
        m_orderCols << m_def->fieldIndex(f);
        m_orderDesc << (ix && ix->descending);
        m_orderNoCase << (ix && ix->caseInsensitive &&
                          isTextType(m_def->fields.at(m_def->fieldIndex(f)).type));
    }
}

void Table::open()
{
    if (isOpen())
        return;
    m_conn = Connection::forTable(m_dir, m_def->name);
    setupOrder();
    m_state = State::Browse;
    emit stateChanged();
    emit setChanged();
    try {
        first();
    } catch (const DbError&) {
        m_state = State::Inactive;
        m_conn.reset();
        emit stateChanged();
        throw;
    }
}

void Table::close()
{
    if (!isOpen())
        return;
    m_window.clear();
    m_pos = -1;
    m_eof = m_bof = true;
    m_edit = Row();
    m_conn.reset();
    m_state = State::Inactive;
    emit stateChanged();
    emit setChanged();
    emit currentChanged();
}

void Table::requireOpen() const
{
    if (!isOpen())
        throw DbError(QStringLiteral("Cannot perform this operation on a closed table (%1).")
                          .arg(m_def->name));
}

void Table::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged();
}

bool Table::checkBrowseMode()
{
    if (m_state == State::Edit || m_state == State::Insert)
        return post();
    return true;
}

QString Table::orderExpr(int i) const
{
    return indexColumnSql(*m_def, m_def->fields.at(m_orderCols.at(i)).name, false,
                          m_orderNoCase.at(i));
}

QString Table::selectList() const
{
    QStringList cols{QStringLiteral("rowid")};
    for (const FieldDef& f : m_def->fields)
        cols << quoteIdent(f.name);
    return cols.join(QStringLiteral(", "));
}

bool Table::linkBroken() const
{
    if (!m_master)
        return false;
    if (!m_master->isOpen())
        return true;
    if (m_master->m_state == State::Browse && m_master->currentRow() == nullptr)
        return true;
    for (const QString& mf : m_masterFields) {
        if (m_master->value(mf).isNull())
            return true;
    }
    return false;
}

void Table::whereClause(QStringList& terms, QVariantList& binds) const
{
    if (m_filtered) {
        for (const Cond& c : m_filterTerms) {
            const FieldDef& f = m_def->fields.at(c.column);
            const QString col = quoteIdent(f.name);
            if (c.value.isNull()) {
                terms << (c.op == QLatin1String("<>") ? col + QStringLiteral(" IS NOT NULL")
                                                      : col + QStringLiteral(" IS NULL"));
                continue;
            }
            if (isTextType(f.type) && m_filterNoCase && !isAscii(c.value.toString())) {
                // Letters beyond ASCII: both sides in Unicode case folding.
                terms << QStringLiteral("os_fold(%1) %2 ?").arg(col, c.op);
                binds << foldCase(c.value.toString());
            } else if (isTextType(f.type) && m_filterNoCase) {
                // ASCII text: the case-blind indexes narrow the rows as before.
                terms << QStringLiteral("%1 COLLATE NOCASE %2 ?").arg(col, c.op);
                binds << c.value;
            } else if (isTextType(f.type) && c.op == QLatin1String("=")) {
                // The case-blind term lets the engine's index narrow the rows;
                // the exact term decides.
                terms << QStringLiteral("%1 COLLATE NOCASE = ?").arg(col)
                      << QStringLiteral("%1 = ?").arg(col);
                binds << c.value << c.value;
            } else {
                terms << QStringLiteral("%1 %2 ?").arg(col, c.op);
                binds << c.value;
            }
        }
    }
    if (!m_searchText.isEmpty() && !m_searchCols.isEmpty()) {
        // LIKE ignores the case of ASCII letters; a text with other letters
        // is matched in Unicode case folding on both sides ("müller" finds
        // "MÜLLER"). The text's own % and _ are escaped so that they match
        // themselves.
        const bool ascii = isAscii(m_searchText);
        QString pattern = ascii ? m_searchText : foldCase(m_searchText);
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        pattern = QLatin1Char('%') + pattern + QLatin1Char('%');
        QStringList any;
        for (int c : m_searchCols) {
            const FieldDef& f = m_def->fields.at(c);
            any << (!isTextType(f.type) ? QStringLiteral("CAST(%1 AS TEXT)").arg(quoteIdent(f.name))
                    : ascii             ? quoteIdent(f.name)
                                        : QStringLiteral("os_fold(%1)").arg(quoteIdent(f.name))) +
                       QStringLiteral(" LIKE ? ESCAPE '\\'");
            binds << pattern;
        }
        terms << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    if (m_master) {
        if (linkBroken()) {
            terms << QStringLiteral("0");
            return;
        }
        for (int i = 0; i < m_detailCols.size(); ++i) {
            const FieldDef& f = m_def->fields.at(m_detailCols.at(i));
            terms << quoteIdent(f.name) + QStringLiteral(" = ?");
            binds << toStored(m_master->value(m_masterFields.at(i)), &f);
        }
    }
}

QString Table::orderByClause(Dir dir) const
{
    const bool back = dir == Dir::Backward;
    QStringList orderBy;
    for (int i = 0; i < m_orderCols.size(); ++i)
        orderBy << orderExpr(i) +
                       ((m_orderDesc.at(i) != back) ? QStringLiteral(" DESC") : QString());
    orderBy << (back ? QStringLiteral("rowid DESC") : QStringLiteral("rowid"));
    return orderBy.join(QStringLiteral(", "));
}

// The rows after `from` in direction `dir` (with it when inclusive), as one or
// two WHERE texts whose results follow each other in that order.
QList<Table::Segment> Table::keysetSegments(Dir dir, const Row* from, bool inclusive) const
{
    const int n = m_orderCols.size();
    const bool back = dir == Dir::Backward;
    auto descAt = [&](int i) { return m_orderDesc.at(i) != back; }; // effective direction

    QList<Segment> segments;
    if (!from) {
        segments << Segment{};
    } else {
        auto keyAt = [&](int i) { return from->values.at(m_orderCols.at(i)); };
        // Rows after the key among those whose order columns from `i` on
        // follow it; NULL sorts first ascending, last descending.
        std::function<void(int, QString&, QVariantList&)> after = [&](int i, QString& sql,
                                                                      QVariantList& b) {
            if (i == n) {
                sql += QStringLiteral("rowid %1 ?")
                           .arg(back ? (inclusive ? "<=" : "<") : (inclusive ? ">=" : ">"));
                b << from->rowid;
                return;
            }
            const QString c = orderExpr(i);
            const QVariant v = keyAt(i);
            QString gt;
            QString eq;
            QVariantList gtB;
            QVariantList eqB;
            if (v.isNull()) {
                gt = descAt(i) ? QString() : c + QStringLiteral(" IS NOT NULL");
                eq = c + QStringLiteral(" IS NULL");
            } else {
                gt = descAt(i) ? QStringLiteral("(%1 < ? OR %1 IS NULL)").arg(c)
                               : c + QStringLiteral(" > ?");
                gtB << v;
                eq = c + QStringLiteral(" = ?");
                eqB << v;
            }
            QString rest;
            QVariantList restB;
            after(i + 1, rest, restB);
            if (!gt.isEmpty()) {
                sql += QStringLiteral("(%1 OR (%2 AND %3))").arg(gt, eq, rest);
                b << gtB << eqB << restB;
            } else {
                sql += QStringLiteral("(%1 AND %2)").arg(eq, rest);
                b << eqB << restB;
            }
        };
        if (n == 0) {
            Segment s;
            after(0, s.where, s.binds);
            segments << s;
        } else {
            // The first order column gets a plain range so the index seeks to
            // the key instead of scanning from the start; its NULLs, which the
            // range leaves out, form a segment of their own.
            const QString c0 = orderExpr(0);
            const QVariant v0 = keyAt(0);
            QString rest;
            QVariantList restB;
            after(1, rest, restB);
            if (v0.isNull()) {
                segments << Segment{QStringLiteral("%1 IS NULL AND %2").arg(c0, rest), restB};
                if (!descAt(0))
                    segments << Segment{c0 + QStringLiteral(" IS NOT NULL"), {}};
            } else {
                const char* range = descAt(0) ? "<=" : ">=";
                const char* strict = descAt(0) ? "<" : ">";
                QVariantList b{v0, v0, v0};
                b << restB;
                segments << Segment{QStringLiteral("%1 %2 ? AND (%1 %3 ? OR (%1 = ? AND %4))")
                                        .arg(c0, QLatin1String(range), QLatin1String(strict), rest),
                                    b};
                if (descAt(0))
                    segments << Segment{c0 + QStringLiteral(" IS NULL"), {}};
            }
        }
    }

    return segments;
}

QList<Table::Row> Table::fetch(Dir dir, const Row* from, bool inclusive, int limit) const
{
    QStringList base;
    QVariantList baseBinds;
    whereClause(base, baseBinds);
    const QString orderBy = orderByClause(dir);
    const QList<Segment> segments = keysetSegments(dir, from, inclusive);

    QList<Row> rows;
    for (const Segment& seg : segments) {
        if (rows.size() >= limit)
            break;
        QStringList terms = base;
        if (!seg.where.isEmpty())
            terms << seg.where;
        QString sql =
            QStringLiteral("SELECT %1 FROM %2").arg(selectList(), quoteIdent(m_conn->tableName()));
        if (!terms.isEmpty())
            sql += QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
        sql += QStringLiteral(" ORDER BY ") + orderBy;
        sql += QStringLiteral(" LIMIT %1").arg(limit - rows.size());
        Statement st(m_conn->handle(), sql);
        int k = 1;
        for (const QVariant& b : baseBinds)
            st.bind(k++, b);
        for (const QVariant& b : seg.binds)
            st.bind(k++, b);
        const int cols = m_def->fields.size();
        while (st.step()) {
            Row r;
            r.rowid = st.column(0).toLongLong();
            r.values.reserve(cols);
            for (int i = 0; i < cols; ++i)
                r.values << st.column(i + 1);
            rows << r;
        }
    }
    return rows;
}

void Table::scan(const std::function<bool(const QVariantList&)>& row) const
{
    requireOpen();
    QStringList terms;
    QVariantList binds;
    whereClause(terms, binds);
    QStringList orderBy;
    for (int i = 0; i < m_orderCols.size(); ++i)
        orderBy << orderExpr(i) + (m_orderDesc.at(i) ? QStringLiteral(" DESC") : QString());
    orderBy << QStringLiteral("rowid");
    QString sql =
        QStringLiteral("SELECT %1 FROM %2").arg(selectList(), quoteIdent(m_conn->tableName()));
    if (!terms.isEmpty())
        sql += QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + orderBy.join(QStringLiteral(", "));
    Statement st(m_conn->handle(), sql);
    int k = 1;
    for (const QVariant& b : binds)
        st.bind(k++, b);
    const int cols = m_def->fields.size();
    QVariantList values;
    values.reserve(cols);
    while (st.step()) {
        values.clear();
        for (int i = 0; i < cols; ++i)
            values << st.column(i + 1);
        if (!row(values))
            return;
    }
}

const Table::Row* Table::currentRow() const
{
    if (m_pos < 0 || m_pos >= m_window.size())
        return nullptr;
    return &m_window.at(m_pos);
}

void Table::fireCurrent()
{
    emit currentChanged();
}

void Table::first()
{
    requireOpen();
    if (!checkBrowseMode())
        return;
    m_window = fetch(Dir::Forward, nullptr, false, kWindow);
    m_pos = m_window.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_window.isEmpty();
    fireCurrent();
}

void Table::last()
{
    requireOpen();
    if (!checkBrowseMode())
        return;
    loadLast();
    m_eof = true;
    m_bof = m_window.isEmpty();
    fireCurrent();
}

void Table::loadLast()
{
    QList<Row> rows = fetch(Dir::Backward, nullptr, false, kWindow);
    std::reverse(rows.begin(), rows.end());
    m_window = rows;
    m_pos = int(m_window.size()) - 1;
}

void Table::next()
{
    requireOpen();
    if (!checkBrowseMode())
        return;
    const Row* cur = currentRow();
    if (!cur) {
        m_eof = true;
        return;
    }
    if (m_pos + 1 < m_window.size()) {
        ++m_pos;
    } else {
        QList<Row> rows = fetch(Dir::Forward, cur, false, kWindow);
        if (rows.isEmpty()) {
            m_eof = true;
            return;
        }
        m_window = rows;
        m_pos = 0;
    }
    m_eof = m_bof = false;
    fireCurrent();
}

void Table::prior()
{
    requireOpen();
    if (!checkBrowseMode())
        return;
    const Row* cur = currentRow();
    if (!cur) {
        m_bof = true;
        return;
    }
    if (m_pos > 0) {
        --m_pos;
    } else {
        QList<Row> rows = fetch(Dir::Backward, cur, false, kWindow);
        if (rows.isEmpty()) {
            m_bof = true;
            return;
        }
        std::reverse(rows.begin(), rows.end());
        m_window = rows;
        m_pos = int(m_window.size()) - 1;
    }
    m_eof = m_bof = false;
    fireCurrent();
}

std::optional<Table::Row> Table::readRow(qint64 rowid) const
{
    QStringList terms;
    QVariantList binds;
    whereClause(terms, binds);
    terms << QStringLiteral("rowid = ?");
    binds << rowid;
    Statement st(m_conn->handle(), QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                                       .arg(selectList(), quoteIdent(m_conn->tableName()),
                                            terms.join(QStringLiteral(" AND "))));
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds.at(i));
    if (!st.step())
        return std::nullopt;
    Row r;
    r.rowid = st.column(0).toLongLong();
    for (int i = 0; i < m_def->fields.size(); ++i)
        r.values << st.column(i + 1);
    return r;
}

void Table::positionAt(qint64 rowid, const Row* fallback)
{
    std::optional<Row> r = rowid != 0 ? readRow(rowid) : std::nullopt;
    if (r) {
        m_window = fetch(Dir::Forward, &*r, true, kWindow);
        m_pos = m_window.isEmpty() ? -1 : 0;
    } else if (fallback) {
        // The row left the set (deleted, or no longer matches): the one after it.
        m_window = fetch(Dir::Forward, fallback, false, kWindow);
        if (m_window.isEmpty())
            loadLast();
        else
            m_pos = 0;
    } else {
        m_window = fetch(Dir::Forward, nullptr, false, kWindow);
        m_pos = m_window.isEmpty() ? -1 : 0;
    }
    m_eof = m_window.isEmpty();
    m_bof = m_window.isEmpty();
}

void Table::refresh()
{
    requireOpen();
    if (!checkBrowseMode())
        return;
    const Row* cur = currentRow();
    if (cur) {
        const Row old = *cur;
        positionAt(old.rowid, &old);
    } else {
        positionAt(0, nullptr);
    }
    emit dataChanged();
    fireCurrent();
}

bool Table::isEmpty() const
{
    requireOpen();
    return fetch(Dir::Forward, nullptr, false, 1).isEmpty();
}

int Table::recordCount() const
{
    requireOpen();
    QStringList terms;
    QVariantList binds;
    whereClause(terms, binds);
    QString sql = QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoteIdent(m_conn->tableName()));
    if (!terms.isEmpty())
        sql += QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
    Statement st(m_conn->handle(), sql);
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds.at(i));
    st.step();
    return int(st.column(0).toLongLong());
}

QVariant Table::valueAt(int column) const
{
    if (column < 0 || column >= m_def->fields.size())
        return {};
    const FieldDef* f = &m_def->fields.at(column);
    if (m_state == State::Edit || m_state == State::Insert)
        return fromStored(m_edit.values.at(column), f);
    const Row* cur = currentRow();
    return cur ? fromStored(cur->values.at(column), f) : QVariant();
}

QVariant Table::value(const QString& field) const
{
    const int i = m_def->fieldIndex(field);
    if (i < 0)
        throw DbError(QStringLiteral("Field '%1' not found in %2.").arg(field, m_def->name));
    return valueAt(i);
}

void Table::setValue(const QString& field, const QVariant& value)
{
    const int i = m_def->fieldIndex(field);
    if (i < 0)
        throw DbError(QStringLiteral("Field '%1' not found in %2.").arg(field, m_def->name));
    if (m_state != State::Edit && m_state != State::Insert)
        throw DbError(QStringLiteral("Table is not in edit or insert mode (%1).").arg(m_def->name));
    m_edit.values[i] = toStored(value, &m_def->fields.at(i));
}

void Table::insert()
{
    requireOpen();
    if (!checkBrowseMode())
        return;
    m_edit = Row();
    for (int i = 0; i < m_def->fields.size(); ++i)
        m_edit.values << QVariant();
    // A detail row takes its key from the master's current row.
    if (m_master && !linkBroken()) {
        for (int i = 0; i < m_detailCols.size(); ++i) {
            const int c = m_detailCols.at(i);
            m_edit.values[c] =
                toStored(m_master->value(m_masterFields.at(i)), &m_def->fields.at(c));
        }
    }
    setState(State::Insert);
    fireCurrent();
}

void Table::append()
{
    insert();
}

void Table::edit()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    const Row* cur = currentRow();
    if (!cur) {
        insert();
        return;
    }
    m_edit = *cur;
    setState(State::Edit);
}

bool Table::post()
{
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        return true;
    if (m_beforePost && !m_beforePost(*this))
        return false;
    sqlite3* db = m_conn->handle();
    const QString table = quoteIdent(m_conn->tableName());
    qint64 rowid = m_edit.rowid;
    if (m_state == State::Insert) {
        QStringList cols;
        QStringList marks;
        for (const FieldDef& f : m_def->fields) {
            cols << quoteIdent(f.name);
            marks << QStringLiteral("?");
        }
        Statement st(
            db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(table, cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
        for (int i = 0; i < m_edit.values.size(); ++i)
            st.bind(i + 1, m_edit.values.at(i));
        st.step();
        rowid = sqlite3_last_insert_rowid(db);
    } else {
        const Row* cur = currentRow();
        QStringList sets;
        QVariantList binds;
        for (int i = 0; i < m_edit.values.size(); ++i) {
            const QVariant& v = m_edit.values.at(i);
            const QVariant old = cur && cur->rowid == m_edit.rowid ? cur->values.at(i) : QVariant();
            if (cur && cur->rowid == m_edit.rowid && v == old && v.isNull() == old.isNull())
                continue;
            sets << quoteIdent(m_def->fields.at(i).name) + QStringLiteral(" = ?");
            binds << v;
        }
        if (!sets.isEmpty()) {
            Statement st(db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                 .arg(table, sets.join(QStringLiteral(", "))));
            int k = 1;
            for (const QVariant& b : binds)
                st.bind(k++, b);
            st.bind(k, m_edit.rowid);
            st.step();
            if (sqlite3_changes(db) == 0)
                throw DbError(
                    QStringLiteral("The row was deleted by another user (%1).").arg(m_def->name));
        }
    }
    const Row fallback = m_edit;
    m_edit = Row();
    m_state = State::Browse;
    positionAt(rowid, &fallback);
    emit stateChanged();
    emit dataChanged();
    fireCurrent();
    return true;
}

void Table::cancel()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    m_edit = Row();
    setState(State::Browse);
    fireCurrent();
}

void Table::remove()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit)
        cancel();
    const Row* cur = currentRow();
    if (!cur)
        throw DbError(QStringLiteral("Cannot delete from an empty table (%1).").arg(m_def->name));
    const Row old = *cur;
    Statement st(
        m_conn->handle(),
        QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteIdent(m_conn->tableName())));
    st.bind(1, old.rowid);
    st.step();
    positionAt(0, &old);
    emit dataChanged();
    fireCurrent();
}

// ---- filter ----

namespace {

bool parseFilter(const QString& text, QList<std::tuple<QString, QString, QString, bool>>& out)
{
    // COL op 'value' | "value" | number [AND ...]
    int i = 0;
    const int n = int(text.size());
    auto skip = [&] {
        while (i < n && text.at(i).isSpace())
            ++i;
    };
    while (true) {
        skip();
        const int start = i;
        while (i < n && (text.at(i).isLetterOrNumber() || text.at(i) == QLatin1Char('_')))
            ++i;
        if (i == start)
            return false;
        const QString col = text.mid(start, i - start);
        skip();
        QString op;
        for (const char* o : {"<>", "<=", ">=", "=", "<", ">"}) {
            if (text.mid(i).startsWith(QLatin1String(o))) {
                op = QLatin1String(o);
                break;
            }
        }
        if (op.isEmpty())
            return false;
        i += int(op.size());
        skip();
        if (i >= n)
            return false;
        QString value;
        bool quoted = false;
        const QChar q = text.at(i);
        if (q == QLatin1Char('\'') || q == QLatin1Char('"')) {
            quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                if (text.at(i) == q) {
                    if (i + 1 < n && text.at(i + 1) == q) { // doubled quote inside
                        value += q;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text.at(i++);
            }
            if (!closed)
                return false;
        } else {
            const int vs = i;
            while (i < n && !text.at(i).isSpace())
                ++i;
            value = text.mid(vs, i - vs);
        }
        out.append({col, op, value, quoted});
        skip();
        if (i >= n)
            return true;
        if (text.mid(i, 3).compare(QLatin1String("and"), Qt::CaseInsensitive) != 0 || i + 3 >= n ||
            !text.at(i + 3).isSpace())
            return false;
        i += 3;
    }
}

} // namespace

void Table::setFilter(const QString& expression)
{
    QList<Cond> conds;
    if (!expression.trimmed().isEmpty()) {
        QList<std::tuple<QString, QString, QString, bool>> parts;
        if (!parseFilter(expression, parts))
            throw DbError(QStringLiteral("Invalid filter expression: %1").arg(expression));
        for (const auto& [col, op, value, quoted] : parts) {
            const int c = m_def->fieldIndex(col);
            if (c < 0)
                throw DbError(QStringLiteral("Field '%1' not found in %2.").arg(col, m_def->name));
            const FieldDef& f = m_def->fields.at(c);
            QVariant stored;
            if (isTextType(f.type))
                stored = value.isEmpty() ? QVariant()
                                         : QVariant(value); // never cut: compare what was typed
            else
                stored = toStored(value, &f);
            conds << Cond{c, op, stored};
        }
    }
    m_filterText = expression;
    m_filterTerms = conds;
    if (isOpen() && m_filtered) {
        emit setChanged();
        first();
    }
}

void Table::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    m_filtered = on;
    if (isOpen()) {
        emit setChanged();
        first();
    }
}

void Table::setFilterCaseInsensitive(bool on)
{
    if (m_filterNoCase == on)
        return;
    m_filterNoCase = on;
    if (isOpen() && m_filtered) {
        emit setChanged();
        first();
    }
}

void Table::setSearch(const QStringList& fields, const QString& text)
{
    QList<int> cols;
    for (const QString& f : fields) {
        const int c = m_def->fieldIndex(f);
        if (c < 0)
            throw DbError(QStringLiteral("Field '%1' not found in %2.").arg(f, m_def->name));
        cols << c;
    }
    if (cols == m_searchCols && text == m_searchText)
        return;
    m_searchCols = cols;
    m_searchText = text;
    if (isOpen()) {
        emit setChanged();
        first();
    }
}

// ---- master/detail ----

void Table::setMasterLink(Table* master, const QStringList& masterFields,
                          const QStringList& detailFields)
{
    QObject::disconnect(m_masterConn);
    m_master = master;
    m_masterFields = masterFields;
    m_detailCols.clear();
    if (master) {
        if (masterFields.size() != detailFields.size() || masterFields.isEmpty())
            throw DbError(QStringLiteral("Master and detail key columns do not match (%1).")
                              .arg(m_def->name));
        for (const QString& f : detailFields) {
            const int c = m_def->fieldIndex(f);
            if (c < 0)
                throw DbError(QStringLiteral("Field '%1' not found in %2.").arg(f, m_def->name));
            m_detailCols << c;
        }
        m_masterConn = connect(master, &Table::currentChanged, this, &Table::onMasterMoved);
    }
    if (isOpen())
        onMasterMoved();
}

void Table::onMasterMoved()
{
    // A detail being edited keeps its row until it is posted or cancelled.
    if (!isOpen() || m_state != State::Browse)
        return;
    emit setChanged();
    first();
}

bool Table::locate(const QString& field, const QVariant& value, bool caseInsensitive)
{
    return locate(QStringList{field}, QVariantList{value}, caseInsensitive);
}

bool Table::locate(const QStringList& fields, const QVariantList& values, bool caseInsensitive)
{
    requireOpen();
    if (!checkBrowseMode())
        return false;
    QStringList terms;
    QVariantList binds;
    whereClause(terms, binds);
    for (int i = 0; i < fields.size(); ++i) {
        const int c = m_def->fieldIndex(fields.at(i));
        if (c < 0)
            throw DbError(
                QStringLiteral("Field '%1' not found in %2.").arg(fields.at(i), m_def->name));
        const FieldDef& f = m_def->fields.at(c);
        const QVariant v = i < values.size() ? values.at(i) : QVariant();
        const QVariant stored = isTextType(f.type)
                                    ? (v.toString().isEmpty() ? QVariant() : QVariant(v.toString()))
                                    : toStored(v, &f);
        if (stored.isNull()) {
            terms << quoteIdent(f.name) + QStringLiteral(" IS NULL");
        } else {
            if (caseInsensitive && isTextType(f.type) && !isAscii(stored.toString())) {
                terms << QStringLiteral("os_fold(%1) = ?").arg(quoteIdent(f.name));
                binds << foldCase(stored.toString());
                continue;
            }
            terms << quoteIdent(f.name) + (caseInsensitive && isTextType(f.type)
                                               ? QStringLiteral(" COLLATE NOCASE = ?")
                                               : QStringLiteral(" = ?"));
            binds << stored;
        }
    }
    QStringList orderBy;
    for (int i = 0; i < m_orderCols.size(); ++i)
        orderBy << orderExpr(i) + (m_orderDesc.at(i) ? QStringLiteral(" DESC") : QString());
    orderBy << QStringLiteral("rowid");
    Statement st(m_conn->handle(),
                 QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY %3 LIMIT 1")
                     .arg(quoteIdent(m_conn->tableName()), terms.join(QStringLiteral(" AND ")),
                          orderBy.join(QStringLiteral(", "))));
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds.at(i));
    if (!st.step())
        return false;
    const qint64 rowid = st.column(0).toLongLong();
    positionAt(rowid, nullptr);
    m_eof = m_bof = false;
    fireCurrent();
    return true;
}

QString filterEquals(const QString& field, const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return field + QLatin1String("='") + quoted + QLatin1Char('\'');
}

// ---- bookmarks and paged reading ----

qint64 Table::bookmark() const
{
    if (m_state == State::Insert)
        return 0;
    const Row* cur = currentRow();
    return cur ? cur->rowid : 0;
}

bool Table::gotoBookmark(qint64 bookmark)
{
    requireOpen();
    if (!checkBrowseMode())
        return false;
    const Row* cur = currentRow();
    if (cur && cur->rowid == bookmark)
        return true;
    // A row in the window around the cursor needs no reading.
    for (int i = 0; i < m_window.size(); ++i) {
        if (m_window.at(i).rowid == bookmark) {
            m_pos = i;
            m_eof = m_bof = false;
            fireCurrent();
            return true;
        }
    }
    std::optional<Row> r = bookmark != 0 ? readRow(bookmark) : std::nullopt;
    if (!r)
        return false;
    m_window = fetch(Dir::Forward, &*r, true, kWindow);
    m_pos = m_window.isEmpty() ? -1 : 0;
    m_eof = m_bof = false;
    fireCurrent();
    return m_pos == 0;
}

QList<Table::Row> Table::readByRowids(const QList<qint64>& rowids) const
{
    QList<Row> rows;
    if (rowids.isEmpty())
        return rows;
    Statement st(m_conn->handle(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                                       .arg(selectList(), quoteIdent(m_conn->tableName())));
    const int cols = m_def->fields.size();
    rows.reserve(rowids.size());
    for (qint64 id : rowids) {
        st.reset();
        st.bind(1, id);
        if (!st.step())
            continue;
        Row r;
        r.rowid = id;
        r.values.reserve(cols);
        for (int i = 0; i < cols; ++i)
            r.values << st.column(i + 1);
        rows << r;
    }
    return rows;
}

QList<Table::Row> Table::readRows(int offset, int count, bool fromEnd) const
{
    requireOpen();
    if (count <= 0 || offset < 0)
        return {};
    QStringList terms;
    QVariantList binds;
    whereClause(terms, binds);
    // The skipping runs over the index alone (row ids only); the rows
    // themselves are read by id afterwards.
    QString sql = QStringLiteral("SELECT rowid FROM %1").arg(quoteIdent(m_conn->tableName()));
    if (!terms.isEmpty())
        sql += QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + orderByClause(fromEnd ? Dir::Backward : Dir::Forward);
    sql += QStringLiteral(" LIMIT %1 OFFSET %2").arg(count).arg(offset);
    Statement st(m_conn->handle(), sql);
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds.at(i));
    QList<qint64> ids;
    while (st.step())
        ids << st.column(0).toLongLong();
    if (fromEnd)
        std::reverse(ids.begin(), ids.end());
    return readByRowids(ids);
}

QList<Table::Row> Table::readRowsAfter(const Row& row, int count) const
{
    requireOpen();
    return count > 0 ? fetch(Dir::Forward, &row, false, count) : QList<Row>();
}

QList<Table::Row> Table::readRowsBefore(const Row& row, int count) const
{
    requireOpen();
    if (count <= 0)
        return {};
    QList<Row> rows = fetch(Dir::Backward, &row, false, count);
    std::reverse(rows.begin(), rows.end());
    return rows;
}

int Table::rowNumber(qint64 bookmark) const
{
    requireOpen();
    std::optional<Row> r = bookmark != 0 ? readRow(bookmark) : std::nullopt;
    if (!r)
        return -1;
    QStringList base;
    QVariantList baseBinds;
    whereClause(base, baseBinds);
    int before = 0;
    for (const Segment& seg : keysetSegments(Dir::Backward, &*r, false)) {
        QStringList terms = base;
        if (!seg.where.isEmpty())
            terms << seg.where;
        QString sql =
            QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoteIdent(m_conn->tableName()));
        if (!terms.isEmpty())
            sql += QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
        Statement st(m_conn->handle(), sql);
        int k = 1;
        for (const QVariant& b : baseBinds)
            st.bind(k++, b);
        for (const QVariant& b : seg.binds)
            st.bind(k++, b);
        st.step();
        before += int(st.column(0).toLongLong());
    }
    return before;
}

QVariant Table::typedValue(const Row& row, int column) const
{
    if (column < 0 || column >= row.values.size())
        return {};
    return fromStored(row.values.at(column), &m_def->fields.at(column));
}

bool Table::Cells::isNull(int i) const
{
    return m_st.isNull(i);
}

QByteArrayView Table::Cells::text(int i) const
{
    return m_st.text(i);
}

double Table::Cells::number(int i) const
{
    return m_st.real(i);
}

qint64 Table::Cells::integer(int i) const
{
    return m_st.integer(i);
}

bool Table::Cells::isInteger(int i) const
{
    return m_st.storage(i) == Statement::Storage::Integer;
}

bool Table::Cells::isReal(int i) const
{
    return m_st.storage(i) == Statement::Storage::Real;
}

bool Table::Cells::isText(int i) const
{
    return m_st.storage(i) == Statement::Storage::Text;
}

QVariant Table::Cells::stored(int i) const
{
    return m_st.column(i);
}

void Table::scan(const QStringList& fields, const std::function<void(const Cells&)>& visit) const
{
    requireOpen();
    QStringList cols;
    for (const QString& f : fields) {
        const FieldDef* def = m_def->field(f);
        if (!def)
            throw DbError(QStringLiteral("Field '%1' not found in %2.").arg(f, m_def->name));
        cols << quoteIdent(def->name);
    }
    QStringList terms;
    QVariantList binds;
    whereClause(terms, binds);
    QString sql = QStringLiteral("SELECT %1 FROM %2")
                      .arg(cols.join(QStringLiteral(", ")), quoteIdent(m_conn->tableName()));
    if (!terms.isEmpty())
        sql += QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + orderByClause(Dir::Forward);
    Statement st(m_conn->handle(), sql);
    for (int i = 0; i < binds.size(); ++i)
        st.bind(i + 1, binds.at(i));
    const Cells cells(st);
    while (st.step())
        visit(cells);
}

} // namespace os
