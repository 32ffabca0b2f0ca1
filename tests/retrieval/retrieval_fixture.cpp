#include "retrieval_fixture.h"

#include "base/settings.h"
#include "data/query.h"

#include <QFile>
#include <QTest>

namespace os::test {

RetrievalFixture::RetrievalFixture(StoreSim& sim)
{
    data = std::make_unique<TMainDataMod>();
    if (!data->OpenCompanyDatabase(home.dataDir()))
        qFatal("company database did not open");
    messages.clear(); // the notice of a new database
    settings().VendixManagerURL = sim.url();
    session = std::make_unique<StoreSession>(&main, &host);
    session->setPassword(sim.password());
}

RetrievalFixture::~RetrievalFixture()
{
    session.reset();
    data.reset();
}

void RetrievalFixture::run()
{
    session->RunSession(StoreSession::GetOrdersAction);
}

QStringList RetrievalFixture::log() const
{
    QStringList rows;
    for (const EventLog::Row& r : session->eventLog().rows()) {
        if (r.type == QLatin1String("Agent") || r.type == QLatin1String("Server") ||
            r.type == QLatin1String("Notice"))
            continue;
        rows.append(r.type + QLatin1Char('|') + r.message);
    }
    return rows;
}

QVariantList RetrievalFixture::column(const QString& sql) const
{
    Query q;
    q.setDirectory(home.dataDir());
    q.setSql(sql);
    q.open();
    QVariantList values;
    for (; !q.eof(); q.next())
        values.append(q.value(0));
    return values;
}

QVariant RetrievalFixture::scalar(const QString& sql) const
{
    const QVariantList v = column(sql);
    return v.isEmpty() ? QVariant() : v.first();
}

void RetrievalFixture::exec(const QString& sql) const
{
    Query q;
    q.setDirectory(home.dataDir());
    q.setSql(sql);
    q.exec();
}

QByteArray RetrievalFixture::readFile(const QString& relative) const
{
    QFile f(home.path(relative));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

QString orderLine(int inv, int custid, const QString& date, const QString& total,
                  const QString& method)
{
    QStringList f{QString::number(inv), QString::number(custid), QStringLiteral("pw"),
                  QStringLiteral("c%1@example.com").arg(custid)};
    for (const char* v :
         {"Acme", "Ann Buyer", "1 Main St", "Springfield", "IL", "62701", "USA", "555-0100", "",
          "Ann Buyer", "1 Main St", "Springfield", "IL", "62701", "USA", "555-0100", "note"})
        f.append(QString::fromLatin1(v));
    f << date << total << method;
    for (const char* v : {"4111111111111111", "Visa", "12", "27", "", "PO-1"})
        f.append(QString::fromLatin1(v));
    f << QStringLiteral("7") << QStringLiteral("SAVE10") << QStringLiteral("New");
    return f.join(QLatin1Char('|'));
}

QString accountLine(int custid, const QString& email, const QString& name,
                    const QString& subscribed)
{
    QStringList f{QString::number(custid), QStringLiteral("pw"), email, QStringLiteral("Acme"),
                  name};
    for (int i = 0; i < 15; ++i)
        f.append(QStringLiteral("v%1").arg(i));
    f.append(subscribed);
    return f.join(QLatin1Char('|'));
}

} // namespace os::test
