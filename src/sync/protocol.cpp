#include "sync/protocol.h"

#include "base/program_version.h"
#include "base/store_charset.h"
#include "base/text_utils.h"
#include "sync/event_log.h"

namespace os {

namespace {

const QByteArrayView kMessageMarker("VendixResponse:");
const QByteArrayView kActionMarker("VendixAction:");
const QString kMessageSeparator = QStringLiteral("::");

// The text after the first `marker` up to and including the next line feed,
// trimmed. Null view when the marker is missing; `*terminated` says whether a
// line feed followed it.
QByteArrayView markedLine(QByteArrayView reply, QByteArrayView marker, bool* found,
                          bool* terminated)
{
    *found = false;
    *terminated = false;
    const qsizetype at = reply.indexOf(marker);
    if (at < 0)
        return {};
    *found = true;
    const qsizetype from = at + marker.size();
    const qsizetype lf = reply.indexOf('\n', from);
    if (lf < 0)
        return {};
    *terminated = true;
    return trimControl(reply.sliced(from, lf + 1 - from));
}

StoreCommand makeCommand(QByteArray body, const char* workFile, const char* stepText)
{
    return StoreCommand{std::move(body), QString::fromLatin1(workFile),
                        QString::fromLatin1(stepText)};
}

} // namespace

QString decodeStoreText(QByteArrayView bytes)
{
    return decodeStoreBytes(bytes, storeCharset());
}

QStringList storeMessages(QByteArrayView reply, bool* hasMessageLine)
{
    bool found = false;
    bool terminated = false;
    const QByteArrayView line = markedLine(reply, kMessageMarker, &found, &terminated);
    if (hasMessageLine)
        *hasMessageLine = found;
    if (!found)
        return {};
    // A message line that never ends is shown as "NULL" (the store did not finish it).
    const QString text = terminated ? decodeStoreText(line) : QStringLiteral("NULL");

    // Cutting at the first "::" again and again gives the runs between them.
    return text.split(kMessageSeparator, Qt::KeepEmptyParts);
}

void ShowStoreMessages(QByteArrayView reply, EventLog& log)
{
    bool hasMessageLine = false;
    const QStringList parts = storeMessages(reply, &hasMessageLine);
    if (!hasMessageLine) {
        log.LogEvent(QStringLiteral("Vendix"),
                     QStringLiteral("No response received from ordersentinel.cgi!"));
        return;
    }
    for (const QString& part : parts)
        log.LogEvent(QStringLiteral("Vendix"), part); // blank parts are dropped by the log
}

QString GetStoreAction(QByteArrayView reply)
{
    bool found = false;
    bool terminated = false;
    const QByteArrayView line = markedLine(reply, kActionMarker, &found, &terminated);
    if (!terminated)
        return {};
    return decodeStoreText(line);
}

QByteArray ExtractSection(QByteArrayView reply, QByteArrayView startMarker,
                          QByteArrayView endMarker)
{
    return sectionText(reply, startMarker, endMarker).toByteArray();
}

QByteArrayView sectionText(QByteArrayView reply, QByteArrayView startMarker,
                           QByteArrayView endMarker)
{
    if (startMarker.isEmpty() || endMarker.isEmpty())
        return {};
    const qsizetype start = reply.indexOf(startMarker);
    if (start < 0)
        return {};
    const qsizetype end = reply.indexOf(endMarker);
    if (end < 0 || end < start)
        return {};
    const qsizetype from = start + startMarker.size();
    // Markers that overlap (the end marker found inside the start marker)
    // leave nothing between them.
    if (end <= from)
        return {};
    return trimControl(reply.sliced(from, end - from));
}

QString deliveryFault(QByteArrayView reply)
{
    // Every marker of a delivery holds "VendixResponse|": one pass over the
    // reply finds them all, however large it is.
    static const QByteArrayView kCommon("VendixResponse|");
    static const char* const kSections[] = {"Orders",   "Accounts", "InvoiceStatus",
                                            "InvMarks", "Notes",    "HTML"};
    struct Seen
    {
        int starts = 0;
        int ends = 0;
        qsizetype firstStart = -1;
        qsizetype firstEnd = -1;
    };
    Seen seen[std::size(kSections)];
    for (qsizetype at = reply.indexOf(kCommon); at >= 0;
         at = reply.indexOf(kCommon, at + kCommon.size())) {
        const QByteArrayView before = reply.first(at);
        const bool start = before.endsWith("START");
        const bool end = !start && before.endsWith("END");
        if (!start && !end)
            continue;
        const QByteArrayView after = reply.sliced(at + kCommon.size());
        for (size_t i = 0; i < std::size(kSections); ++i) {
            const QByteArrayView name(kSections[i]);
            if (!after.startsWith(name) || !after.sliced(name.size()).startsWith(':'))
                continue;
            Seen& s = seen[i];
            if (start && s.starts++ == 0)
                s.firstStart = at;
            if (end && s.ends++ == 0)
                s.firstEnd = at;
        }
    }
    for (size_t i = 0; i < std::size(kSections); ++i) {
        const Seen& s = seen[i];
        const QString section = QLatin1String(kSections[i]);
        if (s.starts > 1)
            return QStringLiteral("the %1 section appears more than once").arg(section);
        if (s.ends > 1)
            return QStringLiteral("the %1 section has a stray end marker").arg(section);
        if (s.starts == 1 && s.ends == 0)
            return QStringLiteral("the %1 section has no end marker").arg(section);
        if (s.ends == 1 && s.starts == 0)
            return QStringLiteral("the %1 section has an end marker but no start marker")
                .arg(section);
        if (s.starts == 1 && s.firstEnd < s.firstStart)
            return QStringLiteral("the %1 section ends before it begins").arg(section);
    }
    return {};
}

QStringList SplitFields(const QString& text, const QString& separator)
{
    if (separator.isEmpty() || !text.contains(separator))
        return {};
    return text.split(separator, Qt::KeepEmptyParts);
}

namespace {
// The password field every command but poll_server opens with.
QByteArray passwordField(const QString& password)
{
    return UrlEncode(QStringLiteral("crypt_keeper")) + '=' + UrlEncode(password);
}
} // namespace

QByteArray commandBody(const QString& password, const QString& command)
{
    return passwordField(password) + "&command=" + UrlEncode(command);
}

StoreCommand getNewStuffCommand(const QString& password)
{
    return makeCommand(commandBody(password, QStringLiteral("get_new_stuff")), "~g1.tmp",
                       "Connecting to Vendix to retrieve information...");
}

StoreCommand cleanUpInvoiceCommand(const QString& password)
{
    return makeCommand(commandBody(password, QStringLiteral("clean_up_invoice")), "~g1.tmp",
                       "Telling Vendix to Clean Up and Unlock Site!");
}

StoreCommand checkDataIntegrityCommand(const QString& password, qint64 accounts, qint64 invoices)
{
    QByteArray body = commandBody(password, QStringLiteral("check_data_integrity"));
    body += "&hacc=" + QByteArray::number(accounts) + "&hinv=" + QByteArray::number(invoices);
    return makeCommand(std::move(body), "~gin1.tmp", "Connecting to Vendix to check status.");
}

StoreCommand dataIntFixAcctCommand(const QString& password, qint64 accounts, qint64 invoices,
                                   const QString& mailFix)
{
    QByteArray body = commandBody(password, QStringLiteral("data_int_fix_acct"));
    body += "&hacc=" + QByteArray::number(accounts) + "&hinv=" + QByteArray::number(invoices) +
            "&mailfix=" + UrlEncode(mailFix);
    return makeCommand(std::move(body), "~gin3.tmp", "Connecting to check account data integrity");
}

StoreCommand genConfigsCommand(const QString& password, const QByteArray& fields)
{
    QByteArray body = passwordField(password) + "&command=genconfigs=&" + fields;
    return makeCommand(std::move(body), "~g1.tmp",
                       "Connecting to Vendix to update general configs....");
}

StoreCommand emergencyUnlockCommand(const QString& password)
{
    return makeCommand(commandBody(password, QStringLiteral("emergency_unlock")), "~g1.tmp",
                       "Connecting to Vendix for unlock!");
}

StoreCommand lockVendixCommand(const QString& password)
{
    return makeCommand(commandBody(password, QStringLiteral("lock_vendix")), "~g3.tmp",
                       "Connecting to Vendix to create lock...");
}

StoreCommand pollServerCommand(const QString& password)
{
    // The one body that names the password field unencoded.
    QByteArray body = "crypt_keeper=" + UrlEncode(password) +
                      "&command=" + UrlEncode(QStringLiteral("poll_server"));
    return makeCommand(std::move(body), "~g3.tmp", "Connecting to Vendix Polling...");
}

StoreCommand changePassCommand(const QString& password, const QString& newPassword)
{
    QByteArray body =
        passwordField(password) + "&command=changepass&newpass=" + UrlEncode(newPassword);
    return makeCommand(std::move(body), "~g3.tmp", "Connecting to Change Password....");
}

QString storeUserAgent()
{
    return QStringLiteral("Vendix Ordersentinel Version ") + programVersion();
}

bool isStorePasswordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
           u == u'_';
}

bool newPasswordConfirmed(const QString& password, const QString& confirmation)
{
    return password.size() >= MinimumPasswordLength &&
           confirmation.size() >= MinimumPasswordLength && password == confirmation;
}

bool isAcceptableNewPassword(const QString& password, const QString& confirmation)
{
    if (!newPasswordConfirmed(password, confirmation))
        return false;
    for (const QChar c : password) {
        if (!isStorePasswordChar(c))
            return false;
    }
    return true;
}

} // namespace os
