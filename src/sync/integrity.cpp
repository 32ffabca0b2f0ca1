#include "sync/integrity.h"

#include "base/messages.h"
#include "base/paths.h"
#include "data/db_error.h"
#include "data/query.h"
#include "sync/import_steps.h"
#include "sync/protocol.h"
#include "sync/store_session.h"

namespace os {

namespace {

qint64 highest(const QString& dataDir, const QString& sql, const QString& column)
{
    Query q;
    q.setDirectory(dataDir);
    q.setSql(sql);
    q.open();
    const qint64 value = q.eof() ? 0 : q.value(column).toLongLong();
    return value > 0 ? value : 0;
}

} // namespace

qint64 HighestCustomerNumber(const QString& dataDir)
{
    return highest(dataDir, QStringLiteral("SELECT MAX(CUSTID) as MAXCUSTOMER FROM orders.db"),
                   QStringLiteral("MAXCUSTOMER"));
}

qint64 HighestOrderNumber(const QString& dataDir)
{
    return highest(dataDir, QStringLiteral("SELECT MAX(INV) as MAXINVOICE FROM orders.db"),
                   QStringLiteral("MAXINVOICE"));
}

QString FindLocalAccount(const QString& dataDir, const QString& email, const QString& number)
{
    try {
        const int custid = readInteger(number);
        Query q;
        q.setDirectory(dataDir);
        q.setSql(QStringLiteral("SELECT EMAIL, CUSTID FROM customers.db WHERE EMAIL=:EMAIL OR "
                                "CUSTID=:CUSTID ORDER BY CUSTID"));
        q.setParam(QStringLiteral("EMAIL"), trimControl(email));
        q.setParam(QStringLiteral("CUSTID"), custid);
        q.open();
        if (q.eof())
            return {};
        return q.value(QStringLiteral("EMAIL")).toString() + QStringLiteral("::") +
               QString::number(q.value(QStringLiteral("CUSTID")).toLongLong());
    } catch (const Error&) {
        // A number that is not one or an unreadable table: no match.
        return {};
    }
}

QString accountFixList(const QString& dataDir, const QStringList& records)
{
    QString list;
    for (const QString& record : records) {
        const QString r = trimControl(record);
        if (r.isEmpty())
            continue;
        const QStringList fields = SplitFields(r, QStringLiteral("^"));
        if (fields.size() != 2 || trimControl(fields[1]).isEmpty())
            continue;
        const QString local = FindLocalAccount(dataDir, fields[1], fields[0]);
        if (!local.isEmpty())
            list += local + QLatin1Char('|');
    }
    return list;
}

bool CheckDataIntegrity(StoreSession& session)
{
    const QString dataDir = AppPaths::dataDir();
    session.responseBuffer().clear();
    const qint64 accounts = HighestCustomerNumber(dataDir);
    const qint64 invoices = HighestOrderNumber(dataDir);

    const QString action =
        session.PostCommand(checkDataIntegrityCommand(session.password(), accounts, invoices));
    if (action == QLatin1String("PASS_INVALID")) {
        session.reportInvalidPassword();
        return false;
    }
    if (action == QLatin1String("NO_NEED"))
        return false; // nothing to retrieve
    if (action == QLatin1String("LOCKERROR")) {
        session.markFailed();
        messages().error(QStringLiteral("Site is locked, you may need to  unlock it!"));
        return false;
    }
    session.LogEvent(QStringLiteral("Important"),
                     QStringLiteral("I had to lock Vendix to retrieve records!"));

    const QString section = decodeStoreText(
        ExtractSection(session.responseBuffer(), markers::DataIntStart, markers::DataIntEnd));
    // A section without a "|" holds no records: no fix is due.
    const QStringList records = SplitFields(section, QStringLiteral("|"));
    if (records.isEmpty())
        return true;

    session.LogEvent(QStringLiteral("Function"),
                     QStringLiteral("Starting local account data integrity process."));
    const QString fixList = accountFixList(dataDir, records);
    session.LogEvent(QStringLiteral("Function"),
                     QStringLiteral("Completed local account data integrity process."));

    const QString fixAction =
        session.PostCommand(dataIntFixAcctCommand(session.password(), accounts, invoices, fixList));
    if (fixAction == QLatin1String("PASS_INVALID")) {
        session.reportInvalidPassword();
        return false;
    }
    return true;
}

} // namespace os
