#include "sync/import_journal.h"

#include "base/text_utils.h"
#include "data/connection.h"
#include "data/statement.h"

#include <QCryptographicHash>
#include <QtEndian>

namespace os {

namespace {

qint64 readInt64(const char* bytes)
{
    return qFromBigEndian<qint64>(bytes);
}

// Keys written by one statement.
constexpr int kBatch = 128;

} // namespace

ImportJournal::ImportJournal(std::shared_ptr<Connection> conn, const QString& reply,
                             const char* section)
    : m_conn(std::move(conn)), m_reply(reply)
{
    if (!isOn())
        return;
    m_prefix = reply.toUtf8() + '\0' + QByteArray(section) + '\0';
    // Two integers make the key: cheap to store and to look up.
    m_conn->exec(QStringLiteral("CREATE TABLE IF NOT EXISTS os_journal "
                                "(K1 INTEGER NOT NULL, K2 INTEGER NOT NULL, PRIMARY KEY (K1, K2)) "
                                "WITHOUT ROWID"));
    m_find = std::make_unique<Statement>(
        *m_conn, QStringLiteral("SELECT 1 FROM os_journal WHERE K1=?1 AND K2=?2"));
    m_add = std::make_unique<Statement>(*m_conn,
                                        QStringLiteral("INSERT INTO os_journal VALUES (?1, ?2)"));
    QStringList rows;
    for (int i = 0; i < kBatch; ++i)
        rows << QStringLiteral("(?,?)");
    m_addBatch = std::make_unique<Statement>(
        *m_conn, QStringLiteral("INSERT INTO os_journal VALUES ") + rows.join(QLatin1Char(',')));
    m_pending.reserve(kBatch);
}

ImportJournal::~ImportJournal() = default;

std::optional<ImportJournal::Key> ImportJournal::keyOf(QByteArrayView line)
{
    if (!isOn())
        return std::nullopt;
    QCryptographicHash base(QCryptographicHash::Sha256);
    base.addData(m_prefix);
    base.addData(trimControl(line));
    const QByteArray digest = base.result();
    // The n-th identical line is another record than the first.
    const int occurrence = ++m_seen[quint64(readInt64(digest.constData()))];
    QCryptographicHash keyed(QCryptographicHash::Sha256);
    keyed.addData(digest);
    char n[4];
    qToBigEndian<qint32>(occurrence, n);
    keyed.addData(QByteArrayView(n, 4));
    const QByteArray key = keyed.result();
    return Key{readInt64(key.constData()), readInt64(key.constData() + 8)};
}

bool ImportJournal::contains(const Key& key)
{
    m_find->reset();
    m_find->bind(1, key.high);
    m_find->bind(2, key.low);
    const bool found = m_find->step();
    m_find->reset();
    return found;
}

void ImportJournal::add(const Key& key)
{
    m_pending.append(key);
    if (m_pending.size() >= kBatch)
        flush();
}

void ImportJournal::flush()
{
    auto run = [](Statement& st) {
        try {
            st.step();
        } catch (...) {
            st.reset();
            throw;
        }
        st.reset();
    };
    qsizetype at = 0;
    for (; at + kBatch <= m_pending.size(); at += kBatch) {
        m_addBatch->reset();
        for (int i = 0; i < kBatch; ++i) {
            m_addBatch->bind(2 * i + 1, m_pending[at + i].high);
            m_addBatch->bind(2 * i + 2, m_pending[at + i].low);
        }
        run(*m_addBatch);
    }
    for (; at < m_pending.size(); ++at) {
        m_add->reset();
        m_add->bind(1, m_pending[at].high);
        m_add->bind(2, m_pending[at].low);
        run(*m_add);
    }
    m_pending.clear();
}

} // namespace os
