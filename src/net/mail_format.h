#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace os {

// How a message is written for the wire (RFC 5322 headers, MIME for the
// UTF-8 text), apart from the socket so that every rule can be checked on
// its own. Nothing here is dot-stuffed: that is the transport's part.

// The addresses of a recipient text, in order: entries are separated by
// commas outside double quotes; within an entry the part in angle brackets is
// used, otherwise the entry without its comments (text in parentheses);
// blanks around an address are dropped and empty entries skipped.
QStringList parseRecipients(const QString& text);

// The envelope sender of a From text: the part between the first "<" and the
// next ">" when there is a "<", otherwise the whole text (trimmed).
QString senderAddress(const QString& from);

// A header value with every line break (CR LF, CR, LF) and other control
// character but the tab turned into one space: a value can never start a new
// header line or add a recipient.
QString foldHeaderValue(const QString& value);

// RFC 2047 encoded words ("=?UTF-8?B?...?=") for a text that is not plain
// ASCII, split so that no word is longer than 75 characters and no character
// is cut, joined by a folding line break (CR LF and a space). Plain ASCII is
// returned unchanged.
QByteArray encodeHeaderText(const QString& text);

// An address header value (To, From) with each display name that is not
// plain ASCII written as encoded words; addresses and comments stay.
QByteArray encodeAddressHeader(const QString& value);

// The lines of a body: split at CR LF, CR or LF alone.
QStringList splitBodyLines(const QString& body);

// Quoted-printable lines (RFC 2045) for one line of UTF-8 text: soft breaks
// keep every line within 76 characters; a blank at the end is encoded.
QList<QByteArray> quotedPrintableLines(const QByteArray& line);

// "Tue, 04 Mar 2025 09:05:00 +0100": English names, the local time's offset.
QByteArray rfc5322Date(const QDateTime& when);

// "<20250304090500.3f2a9c1b7d4e6a80@shop.example>": time, 64 random bits and
// the domain of the sender's address (or of the hello name, or "localhost").
QByteArray makeMessageId(const QDateTime& when, const QString& senderAddr,
                         const QString& helloName);

enum class BodyEncoding
{
    SevenBit,       // plain ASCII, lines within 998 bytes
    EightBit,       // UTF-8 as it stands (the server offered 8BITMIME)
    QuotedPrintable // UTF-8 that must travel as 7-bit
};

// The encoding a body needs: 7bit for short ASCII lines, else 8bit when the
// server takes it and no line is longer than 998 bytes, else quoted-printable.
BodyEncoding bodyEncodingFor(const QStringList& lines, bool server8BitMime);

struct MailMessage
{
    QString to;       // the recipient text, as the To header
    QString from;     // the sender text, as the From header
    QString subject;  // no Subject header when empty
    QStringList body; // the lines of the text
    QDateTime date;
    QByteArray messageId; // with its angle brackets
};

// The whole message as CR LF lines (headers, an empty line, the body), with
// To, From and Subject folded and encoded where needed, Date, Message-ID and
// the MIME headers for UTF-8 text in `encoding`. Ends with CR LF.
QByteArray composeMessage(const MailMessage& message, BodyEncoding encoding);

// A composed message made ready for DATA: a dot is put before every line that
// begins with one, and the closing "." line is added.
QByteArray dotStuffed(const QByteArray& composed);

} // namespace os
