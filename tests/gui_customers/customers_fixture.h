#pragma once

#include <QString>
#include <QVariantMap>

namespace os::test {

// A customer account as the store sends it: CUSTID, an e-mail, a name and a
// billing and shipping address made from the number, subscribed; `more` adds
// or overrides columns.
inline QVariantMap customerRow(int id, const QVariantMap& more = {})
{
    QVariantMap row{
        {"CUSTID", id},
        {"PASS", QStringLiteral("secret%1").arg(id)},
        {"EMAIL", QStringLiteral("buyer%1@example.com").arg(id)},
        {"NAME", QStringLiteral("Buyer %1").arg(id)},
        {"COMPANY", QStringLiteral("Firm %1").arg(id)},
        {"STREET", QStringLiteral("%1 Main Street").arg(id)},
        {"CITY", QStringLiteral("Springfield")},
        {"STATE", QStringLiteral("IL")},
        {"ZIP", QStringLiteral("627%1").arg(id)},
        {"COUNTRY", QStringLiteral("US")},
        {"PHONE", QStringLiteral("555-01%1").arg(id)},
        {"SNAME", QStringLiteral("Receiver %1").arg(id)},
        {"SSTREET", QStringLiteral("%1 Dock Road").arg(id)},
        {"SCITY", QStringLiteral("Portland")},
        {"SCOUNTRY", QStringLiteral("CA")},
        {"SUBSCRIBE", true},
    };
    for (auto it = more.cbegin(); it != more.cend(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

} // namespace os::test
