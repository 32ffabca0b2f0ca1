#include "mail/mailing_list.h"

#include "base/clock.h"
#include "base/error.h"
#include "base/messages.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/statement.h"
#include "data/stored_values.h"
#include "data/table.h"
#include "data/transaction.h"
#include "mail/merge_letter.h"
#include "mail/outbox.h"

#include <QHash>

namespace os {

const char* const kInvalidFormLetter =
    "Could not create form letter because the form letter name was invalid.";
const char* const kMessagesAdded = " messages added to your OutBox.";

QStringList templateNames(const QString& dir)
{
    QStringList names;
    Query q;
    q.setDirectory(dir);
    q.setSql(QStringLiteral("SELECT DOCNAME FROM \"form_letters.db\" ORDER BY DOCNAME"));
    q.open();
    for (; !q.eof(); q.next()) {
        const QString name = q.value(0).toString();
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

QString templateBody(const QString& dir, const QString& docName)
{
    Query q;
    q.setDirectory(dir);
    q.setSql(QStringLiteral("SELECT DOCBODY FROM \"form_letters.db\" WHERE DOCNAME = :NAME"));
    q.setParam(QStringLiteral("NAME"), docName);
    q.open();
    return q.eof() ? QString() : q.value(0).toString();
}

namespace {

struct Template
{
    QString name;
    QString body;
    QString from;
};

// The template of that exact name, when exactly one has it.
bool findTemplate(const QString& dir, const QString& docName, Template* out)
{
    if (docName.isEmpty())
        return false;
    Query q;
    q.setDirectory(dir);
    q.setSql(QStringLiteral("SELECT DOCNAME, DOCBODY, \"FROM\" FROM \"form_letters.db\" "
                            "WHERE DOCNAME = :NAME"));
    q.setParam(QStringLiteral("NAME"), docName);
    q.open();
    int found = 0;
    for (; !q.eof(); q.next()) {
        if (++found > 1)
            return false;
        out->name = q.value(0).toString();
        out->body = q.value(1).toString();
        out->from = q.value(2).toString();
    }
    return found == 1;
}

// The outbox rows of one batch, in the stored form the table object would
// write. What every letter of the batch shares (IDATE, TYPE, SUBJECT, FROM)
// is converted and bound once; a letter binds only its TO and BODY.
class OutboxWriter
{
public:
    OutboxWriter(const QString& dir, const QDateTime& when, const QString& type,
                 const QString& subject, const QString& from)
        : m_def(findTableDef(QStringLiteral("outbox"))),
          m_conn(Connection::forTable(dir, QStringLiteral("outbox"))),
          m_insert(*m_conn,
                   QStringLiteral("INSERT INTO %1 (IDATE, TYPE, SUBJECT, \"FROM\", \"TO\", "
                                  "BODY) VALUES (?, ?, ?, ?, ?, ?)")
                       .arg(quoteIdent(m_conn->tableName())))
    {
        bindStored(1, "IDATE", when);
        bindStored(2, "TYPE", type);
        bindStored(3, "SUBJECT", subject);
        bindStored(4, "FROM", from);
    }

    void add(const QString& to, const QString& body)
    {
        bindStored(5, "TO", to);
        bindStored(6, "BODY", body);
        m_insert.step();
        m_insert.reset(); // the batch's values stay bound
    }

private:
    void bindStored(int index, const char* field, const QVariant& value)
    {
        m_insert.bind(index, toStored(value, m_def->field(QLatin1String(field))));
    }

    const TableDef* m_def;
    std::shared_ptr<Connection> m_conn;
    Statement m_insert;
};

} // namespace

MailingListMerge mergeMailingList(const Table& customers, const QString& dir,
                                  const QString& docName, const QString& type,
                                  const std::function<void(int letters)>& progress)
{
    MailingListMerge result;
    Template letter;
    if (!findTemplate(dir, docName, &letter)) {
        result.outcome = MailingListMerge::Outcome::InvalidTemplate;
        return result;
    }

    static const QStringList fields{
        QStringLiteral("SUBSCRIBE"), QStringLiteral("EMAIL"),   QStringLiteral("NAME"),
        QStringLiteral("STREET"),    QStringLiteral("CITY"),    QStringLiteral("STATE"),
        QStringLiteral("ZIP"),       QStringLiteral("COUNTRY"), QStringLiteral("CUSTID")};
    QHash<QString, int> column;
    for (int i = 0; i < fields.size(); ++i)
        column.insert(fields.at(i), i);

    Transaction batch(dir, QStringLiteral("outbox"));
    OutboxWriter outbox(dir, Clock::now(), type, letter.name, letter.from);
    bool refused = false;
    try {
        customers.scan(fields, [&](const Table::Cells& cells) {
            if (refused || cells.isNull(0) || cells.integer(0) == 0)
                return;
            const MergeField field = [&](const QString& name) -> QVariant {
                const int i = column.value(name, -1);
                if (i < 0 || cells.isNull(i))
                    return {};
                if (name == QLatin1String("CUSTID"))
                    return cells.integer(i);
                return QString::fromUtf8(cells.text(i));
            };
            QString to = cells.isNull(1) ? QString() : QString::fromUtf8(cells.text(1));
            if (!to.trimmed().isEmpty()) {
                const std::optional<QString> one = singleStoreAddress(to);
                if (!one) {
                    result.notOneAddress
                        << notOneAddressText(QStringLiteral("customer %1")
                                                 .arg(field(QStringLiteral("CUSTID")).toString()),
                                             to);
                    return;
                }
                to = *one;
            }
            const QString body = MergeLetter(letter.body, field, false);
            // The outbox's own row rule, as a post through the table would run it.
            if (to.isEmpty() || letter.from.isEmpty() || letter.name.isEmpty() || body.isEmpty()) {
                refused = true;
                return;
            }
            outbox.add(to, body);
            ++result.letters;
            if (progress)
                progress(result.letters);
        });
    } catch (const DbError& e) {
        // Keep what was queued before the failure, where the engine still can.
        if (!e.storageFailed()) {
            try {
                batch.commit();
            } catch (const DbError&) {
            }
        }
        throw;
    }
    batch.commit();
    if (TMainDataMod* data = TMainDataMod::instance(); data && data->OUTBOX->isOpen())
        data->OUTBOX->refresh();
    if (refused) {
        messages().error(QString::fromUtf8(kMessageIncompleteMessage));
        result.outcome = MailingListMerge::Outcome::Refused;
    }
    return result;
}

} // namespace os
