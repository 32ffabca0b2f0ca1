#pragma once

#include <QString>
#include <QStringList>

namespace os {

class StoreSession;

// The highest order number (INV) and customer number (CUSTID) held in
// orders.db of `dataDir`; 0 when the table is empty or the value is not
// above 0. Sent to the store as hinv and hacc.
qint64 HighestOrderNumber(const QString& dataDir);
qint64 HighestCustomerNumber(const QString& dataDir);

// "e-mail::number" of the first local account (customers.db of `dataDir`, in
// CUSTID order) whose EMAIL equals `email` or whose CUSTID equals `number`,
// both trimmed; the e-mail and number are the local row's. Empty when there
// is no such row, the number is not an integer or the lookup fails.
QString FindLocalAccount(const QString& dataDir, const QString& email, const QString& number);

// The account-fix list for the records of a data-integrity section
// ("num^email|num^email|..." split at "|" by SplitFields): for each record of
// exactly two fields with an e-mail, the local account it matches
// (FindLocalAccount) followed by "|".
QString accountFixList(const QString& dataDir, const QStringList& records);

// The first step of a retrieval: tells the store the highest local numbers,
// lets it lock itself, and answers its list of accounts that may clash.
// True when the retrieval is to go on. Uses the company data directory.
bool CheckDataIntegrity(StoreSession& session);

} // namespace os
