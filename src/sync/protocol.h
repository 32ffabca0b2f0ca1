#pragma once

#include "base/text_utils.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace os {

class EventLog;

// The store script's side of every exchange: one form post per command, a
// reply with a message line ("VendixResponse:"), an action line
// ("VendixAction:") and, for some commands, data sections between markers.
// The readers work on the raw reply bytes (replies may be tens of megabytes)
// and never fail.

// Store text, read in the store's character set (storeCharset():
// Windows-1252 by default, or UTF-8). Messages, actions and data sections
// are all read so.
QString decodeStoreText(QByteArrayView bytes);

// Logs the messages of the reply's message line with type "Vendix"
// (messages are separated by "::"); logs "No response received from
// ordersentinel.cgi!" when the reply has no message line.
void ShowStoreMessages(QByteArrayView reply, EventLog& log);

// The messages that ShowStoreMessages logs, in order (blank ones included;
// the log drops them). Empty when the reply has no message line.
QStringList storeMessages(QByteArrayView reply, bool* hasMessageLine = nullptr);

// The action word of the reply; empty when there is no action line or the
// line is not ended by a line feed. Compared exactly by the callers.
QString GetStoreAction(QByteArrayView reply);

// The text between the first start marker and the first end marker, trimmed;
// empty when a marker is missing or the end marker comes first.
QByteArray ExtractSection(QByteArrayView reply, QByteArrayView startMarker,
                          QByteArrayView endMarker);
// The same text as a view into `reply`, without a copy (replies may be
// hundreds of megabytes).
QByteArrayView sectionText(QByteArrayView reply, QByteArrayView startMarker,
                           QByteArrayView endMarker);

// Whether a get_new_stuff reply is a whole delivery: every section it begins
// (Orders, Accounts, InvoiceStatus, InvMarks, Notes, HTML) is ended, none
// appears twice, and no end marker comes before its start. Empty when it is
// (a reply without any section is a whole, empty delivery); otherwise what is
// wrong, e.g. "the Orders section has no end marker". A reply cut off in
// transit, or a store that wrote a section in two blocks, is caught here
// before the store is told to clean up.
QString deliveryFault(QByteArrayView reply);

// The runs between separators, empty runs included. A text without the
// separator gives no pieces at all (it is not one piece).
QStringList SplitFields(const QString& text, const QString& separator);

// Section markers of a get_new_stuff and a check_data_integrity reply.
namespace markers {
inline constexpr char OrdersStart[] = "STARTVendixResponse|Orders:";
inline constexpr char OrdersEnd[] = "ENDVendixResponse|Orders:";
inline constexpr char AccountsStart[] = "STARTVendixResponse|Accounts:";
inline constexpr char AccountsEnd[] = "ENDVendixResponse|Accounts:";
inline constexpr char InvoiceStatusStart[] = "STARTVendixResponse|InvoiceStatus:";
inline constexpr char InvoiceStatusEnd[] = "ENDVendixResponse|InvoiceStatus:";
inline constexpr char InvMarksStart[] = "STARTVendixResponse|InvMarks:";
inline constexpr char InvMarksEnd[] = "ENDVendixResponse|InvMarks:";
inline constexpr char NotesStart[] = "STARTVendixResponse|Notes:";
inline constexpr char NotesEnd[] = "ENDVendixResponse|Notes:";
inline constexpr char HtmlStart[] = "STARTVendixResponse|HTML:";
inline constexpr char HtmlEnd[] = "ENDVendixResponse|HTML:";
inline constexpr char DataIntStart[] = "DATAINTSTARTVendixResponse|";
inline constexpr char DataIntEnd[] = "|DATAINTENDVendixResponse";
} // namespace markers

// One command to the store: the form body, the work file (a name in the
// program's own directory) the reply is written to, and the step text logged
// with type "Function" before it is posted.
struct StoreCommand
{
    QByteArray body;
    QString workFile;
    QString stepText;
};

// The form body shared by most commands:
// E(crypt_keeper) "=" E(password) "&command=" E(command).
QByteArray commandBody(const QString& password, const QString& command);

StoreCommand getNewStuffCommand(const QString& password);
StoreCommand cleanUpInvoiceCommand(const QString& password);
StoreCommand checkDataIntegrityCommand(const QString& password, qint64 accounts, qint64 invoices);
StoreCommand dataIntFixAcctCommand(const QString& password, qint64 accounts, qint64 invoices,
                                   const QString& mailFix);
// `fields` are the configuration fields, already form-encoded and joined.
StoreCommand genConfigsCommand(const QString& password, const QByteArray& fields);
StoreCommand emergencyUnlockCommand(const QString& password);
StoreCommand lockVendixCommand(const QString& password);
StoreCommand pollServerCommand(const QString& password);
StoreCommand changePassCommand(const QString& password, const QString& newPassword);

// The User-Agent of every post: "Vendix Ordersentinel Version " + version.
QString storeUserAgent();

// A new store password: letters, digits and "_" only (typed keys are
// filtered by IsStorePasswordChar), at least 5 characters, and confirmed by a
// second entry equal to it, case included. NewPasswordConfirmed checks the
// length and the equality only (what the dialog can check of pasted text);
// IsAcceptableNewPassword checks the characters too.
inline constexpr int MinimumPasswordLength = 5;
bool isStorePasswordChar(QChar c);
bool newPasswordConfirmed(const QString& password, const QString& confirmation);
bool isAcceptableNewPassword(const QString& password, const QString& confirmation);

} // namespace os
