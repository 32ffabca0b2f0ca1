#pragma once

#include "data/catalogue.h"

#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace os {

class Connection;
class Statement;

// A cursor in index order over one table file `<dir>/<table>.db`. Rows are
// fetched a window at a time by key (never the whole table), so it stays fast
// on a table of a million rows.
class Table : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Inactive,
        Browse,
        Edit,
        Insert
    };

    // A row of the set as paged reading hands it out: its bookmark (the row
    // id) and its columns in stored form (fromStored() gives the typed value).
    struct Row
    {
        qint64 rowid = 0;
        QVariantList values;
    };

    explicit Table(const QString& tableName, QObject* parent = nullptr);
    ~Table() override;

    QString tableName() const { return m_def->name; }
    const TableDef& def() const { return *m_def; }
    void setDirectory(const QString& dir);
    QString directory() const { return m_dir; }
    void setIndexName(const QString& name); // empty = primary index
    QString indexName() const { return m_indexName; }

    void open();  // throws DbError
    void close(); // cancels a pending edit; closing a closed table does nothing
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // Cursor movement. eof() is true after next() ran past the last row (or on
    // an empty set), bof() after prior() ran past the first.
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    void refresh(); // re-reads the rows around the current one
    bool isEmpty() const;
    int recordCount() const; // rows in the current set (filter and link applied)

    // Current row; a null QVariant is an empty column.
    QVariant value(const QString& field) const;
    bool isNull(const QString& field) const { return value(field).isNull(); }
    void setValue(const QString& field, const QVariant& value); // only in Edit/Insert
    QVariant valueAt(int column) const;

    void insert(); // a new empty row (the detail key taken from the master)
    void append(); // same as insert: the row takes its place by its key on post
    void edit();
    // Writes the row. False when the before-post rule refused it (the row stays
    // in edit with the user's values); throws DbError on an engine failure such
    // as a key violation (the row also stays in edit).
    bool post();
    void cancel();
    void remove(); // deletes the current row; throws DbError

    // Filter such as ORDERSTATE='New' (also "..." quotes, doubled quotes inside,
    // several terms joined by AND). The value is bound as a parameter.
    void setFilter(const QString& expression); // throws DbError when unreadable
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }
    void setFilterCaseInsensitive(bool on);

    // Detail rows are those whose detailFields equal the master's masterFields
    // in its current row; the detail re-positions when the master moves.
    void setMasterLink(Table* master, const QStringList& masterFields,
                       const QStringList& detailFields);
    Table* master() const { return m_master; }

    // Runs inside every post before the row is written; false refuses it.
    void setBeforePost(std::function<bool(Table&)> rule) { m_beforePost = std::move(rule); }
    const std::function<bool(Table&)>& beforePost() const { return m_beforePost; }

    // Goes through every row of the current set (filter and link applied) in
    // index order with one statement, handing each row's columns as the file
    // holds them (the engine's own type: text, integer, real or null, so a
    // damaged value such as text in a number column can be told from an empty
    // or zero one) to `row`, which returns false
    // to stop. For readers of a whole table (publishing the rate tables); the
    // cursor stays where it is. Throws DbError.
    void scan(const std::function<bool(const QVariantList& stored)>& row) const;

    // Moves to the first row (in index order) whose field equals value; false
    // (and the cursor unmoved) when there is none.
    bool locate(const QString& field, const QVariant& value, bool caseInsensitive = false);
    bool locate(const QStringList& fields, const QVariantList& values,
                bool caseInsensitive = false);

    // Rows in which any of `fields` holds `text` as a substring, ignoring the
    // case of ASCII letters (numbers compared as their decimal text). Applies
    // together with the filter, whether the filter is on or not; an empty
    // text ends the search. The text is bound as a parameter.
    void setSearch(const QStringList& fields, const QString& text); // throws DbError
    QString searchText() const { return m_searchText; }

    // Bookmarks: the current row's identity, and a move back to it. 0 when
    // there is no current row or a new row is being inserted.
    qint64 bookmark() const;
    // Makes the row current (posting a pending edit first). False when the
    // edit was refused or the row is not in the set; the cursor then stays.
    bool gotoBookmark(qint64 bookmark);

    // Paged reading for grids and exports; the cursor does not move. Rows
    // come in set order (filter, search and link applied).
    // `count` rows from position `offset` (0 is the first row), or with
    // fromEnd from position `offset` counted back from the last row.
    QList<Row> readRows(int offset, int count, bool fromEnd = false) const;
    QList<Row> readRowsAfter(const Row& row, int count) const;
    QList<Row> readRowsBefore(const Row& row, int count) const; // in set order
    // The position of a row in the set (0 is the first); -1 when not in it.
    int rowNumber(qint64 bookmark) const;
    QVariant typedValue(const Row& row, int column) const; // fromStored of one column

    // The columns of one row as scan() hands them out, straight from the
    // engine (stored form: ISO-8601 text for dates, 0/1 for Logical).
    class Cells
    {
    public:
        bool isNull(int i) const;
        QByteArrayView text(int i) const; // UTF-8; valid during the call only
        double number(int i) const;
        qint64 integer(int i) const;
        // The engine's type of the value, and the value as scan(row) hands
        // it out (for the rare value a streaming reader cannot take as is).
        bool isInteger(int i) const;
        bool isReal(int i) const;
        bool isText(int i) const;
        QVariant stored(int i) const;

    private:
        friend class Table;
        explicit Cells(const Statement& statement) : m_st(statement) {}
        const Statement& m_st;
    };
    // Streams the whole set in order through `visit`, one call per row,
    // reading only `fields` (index i of Cells is fields[i]); for exports of
    // large sets. The cursor does not move. Throws DbError.
    void scan(const QStringList& fields, const std::function<void(const Cells&)>& visit) const;

signals:
    void currentChanged(); // another row became current (or the set changed)
    void dataChanged();    // rows were written or re-read
    void stateChanged();
    // The set as a whole changed (opened, closed, filter, search, index or
    // master row): paged readers start again. currentChanged follows.
    void setChanged();

private:
    struct Cond
    {
        int column;
        QString op;
        QVariant value; // stored form
    };
    enum class Dir
    {
        Forward,
        Backward
    };

    void requireOpen() const;
    void setState(State s);
    bool checkBrowseMode(); // posts a pending edit; false when it was refused
    void setupOrder();
    QString orderExpr(int i) const;
    QString selectList() const;
    const Row* currentRow() const;
    QList<Row> fetch(Dir dir, const Row* from, bool inclusive, int limit) const;
    struct Segment
    {
        QString where;
        QVariantList binds;
    };
    QList<Segment> keysetSegments(Dir dir, const Row* from, bool inclusive) const;
    QString orderByClause(Dir dir) const;
    QList<Row> readByRowids(const QList<qint64>& rowids) const;
    void whereClause(QStringList& terms, QVariantList& binds) const;
    bool linkBroken() const;
    void loadLast();
    void positionAt(qint64 rowid, const Row* fallback);
    void onMasterMoved();
    void fireCurrent();
    std::optional<Row> readRow(qint64 rowid) const;

    const TableDef* m_def;
    QString m_dir;
    QString m_indexName;
    std::shared_ptr<Connection> m_conn;
    State m_state = State::Inactive;

    // order of the cursor: columns, descending flags, collation
    QList<int> m_orderCols;
    QList<bool> m_orderDesc;
    QList<bool> m_orderNoCase;

    QList<Row> m_window;
    int m_pos = -1;
    bool m_eof = true;
    bool m_bof = true;

    Row m_edit; // the row being edited or inserted

    QString m_filterText;
    QList<Cond> m_filterTerms;
    bool m_filtered = false;
    bool m_filterNoCase = false;
    QList<int> m_searchCols;
    QString m_searchText;

    QPointer<Table> m_master;
    QStringList m_masterFields;
    QList<int> m_detailCols;
    QMetaObject::Connection m_masterConn;

    std::function<bool(Table&)> m_beforePost;
};

// A filter term for Table::setFilter that finds `value` exactly, whatever
// quotes it holds: FIELD='value' with every ' doubled.
QString filterEquals(const QString& field, const QString& value);

} // namespace os
