#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace os {

class Connection;
class Statement;

// Which records of which kept reply went into a table file, so that
// importing the same reply again applies each record at most once, however
// often it is run and wherever an earlier run stopped.
//
// The journal is the table "os_journal" inside each table file that an
// import step writes (orders.db for orders and marks, customers.db,
// invoice_notes.db, invoice_result.db). A record and its journal row are
// written in the same savepoint of the same file, so they commit together or
// not at all: a kill at any moment leaves them in agreement, and a table
// restored from a backup brings its own journal along.
//
// A record is known by a 128-bit digest of the reply's file name, the
// section, the record's line (trimmed) and how many identical lines came
// before it in that section. A record corrected by hand in the kept reply is
// therefore a new record and is applied; the others are skipped.
class ImportJournal
{
public:
    struct Key
    {
        qint64 high = 0;
        qint64 low = 0;
    };

    // `reply` is the kept reply's file name; when it is empty the journal is
    // off (nothing is looked up or written). Creates the journal table in the
    // connection's file when it is missing. Throws DbError.
    ImportJournal(std::shared_ptr<Connection> conn, const QString& reply, const char* section);
    ~ImportJournal();
    ImportJournal(const ImportJournal&) = delete;
    ImportJournal& operator=(const ImportJournal&) = delete;

    bool isOn() const { return !m_reply.isEmpty(); }

    // The key of the next record line of the section (call once per record,
    // in order). Nothing when the journal is off.
    std::optional<Key> keyOf(QByteArrayView line);
    // Whether the record went in before. Throws DbError.
    bool contains(const Key& key);
    // Notes the record as applied. The key is written with the next batch
    // (flush), inside the step's transaction: the record and its key commit
    // together. Throws DbError.
    void add(const Key& key);
    // Writes the keys noted so far; called before the step's transaction
    // commits, also when the step ends early. Throws DbError.
    void flush();

private:
    std::shared_ptr<Connection> m_conn;
    QString m_reply;
    QByteArray m_prefix;        // reply and section, hashed before every line
    QHash<quint64, int> m_seen; // identical lines so far (by a 64-bit digest)
    std::unique_ptr<Statement> m_find;
    std::unique_ptr<Statement> m_add;
    std::unique_ptr<Statement> m_addBatch; // kBatch keys at once
    QList<Key> m_pending;
};

} // namespace os
