#include "net/mail_format.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace os {

namespace {

// Longest line SMTP allows without its CR LF.
constexpr int kMaxLineBytes = 998;
// Longest header text kept as it stands; longer texts go out as folded words.
constexpr int kMaxPlainHeader = 900;
// Bytes of UTF-8 per encoded word: 60 characters of base64, so that a word
// with "=?UTF-8?B?" and "?=" stays within 75 characters.
constexpr int kWordBytes = 45;

bool isPlainAscii(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u > 126 || (u < 32 && u != '\t'))
            return false;
    }
    return true;
}

// Walks a header text and calls `onChar` for each character with whether it
// stands outside quotes, comments and angle brackets.
struct Scanner
{
    bool inQuotes = false;
    bool escaped = false;
    int commentDepth = 0;
    bool inAngle = false;

    // Returns true when `c` is structural (outside quotes and comments).
    bool step(QChar c)
    {
        if (escaped) {
            escaped = false;
            return false;
        }
        if (inQuotes) {
            if (c == QLatin1Char('\\'))
                escaped = true;
            else if (c == QLatin1Char('"'))
                inQuotes = false;
            return false;
        }
        if (commentDepth > 0) {
            if (c == QLatin1Char('\\'))
                escaped = true;
            else if (c == QLatin1Char('('))
                ++commentDepth;
            else if (c == QLatin1Char(')'))
                --commentDepth;
            return false;
        }
        if (c == QLatin1Char('"')) {
            inQuotes = true;
            return false;
        }
        if (c == QLatin1Char('(')) {
            commentDepth = 1;
            return false;
        }
        return true;
    }
};

// The entries of an address list, split at the commas that separate them.
QStringList splitEntries(const QString& text)
{
    QStringList entries;
    Scanner s;
    QString current;
    for (const QChar c : text) {
        const bool structural = s.step(c);
        if (structural) {
            if (c == QLatin1Char('<'))
                s.inAngle = true;
            else if (c == QLatin1Char('>'))
                s.inAngle = false;
            else if (c == QLatin1Char(',') && !s.inAngle) {
                entries << current;
                current.clear();
                continue;
            }
        }
        current += c;
    }
    entries << current;
    return entries;
}

// Where the angle-bracket address of an entry begins (outside quotes and
// comments); -1 when there is none.
qsizetype angleStart(const QString& entry)
{
    Scanner s;
    for (qsizetype i = 0; i < entry.size(); ++i) {
        if (s.step(entry.at(i)) && entry.at(i) == QLatin1Char('<'))
            return i;
    }
    return -1;
}

QString withoutComments(const QString& entry)
{
    Scanner s;
    QString out;
    for (const QChar c : entry) {
        const int depthBefore = s.commentDepth;
        const bool structural = s.step(c);
        const bool commentChar = depthBefore > 0 || s.commentDepth > 0;
        if (structural || !commentChar)
            out += c;
    }
    return out;
}

QByteArray hexByte(unsigned char b)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray out("=");
    out += digits[b >> 4];
    out += digits[b & 15];
    return out;
}

QString unquoted(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) {
        name = name.mid(1, name.size() - 2);
        QString out;
        bool escaped = false;
        for (const QChar c : name) {
            if (!escaped && c == QLatin1Char('\\')) {
                escaped = true;
                continue;
            }
            escaped = false;
            out += c;
        }
        return out;
    }
    return name;
}

bool isDomain(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)*$"));
    return pattern.match(text).hasMatch();
}

} // namespace

QStringList parseRecipients(const QString& text)
{
    QStringList addresses;
    for (const QString& entry : splitEntries(text)) {
        QString address;
        const qsizetype open = angleStart(entry);
        if (open >= 0) {
            const qsizetype close = entry.indexOf(QLatin1Char('>'), open + 1);
            address = entry.mid(open + 1, close < 0 ? -1 : close - open - 1);
        } else {
            address = withoutComments(entry);
        }
        address = address.trimmed();
        if (!address.isEmpty())
            addresses << address;
    }
    return addresses;
}

QString senderAddress(const QString& from)
{
    const qsizetype open = from.indexOf(QLatin1Char('<'));
    if (open < 0)
        return from.trimmed();
    const qsizetype close = from.indexOf(QLatin1Char('>'), open + 1);
    return from.mid(open + 1, close < 0 ? -1 : close - open - 1).trimmed();
}

QString foldHeaderValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\r') && i + 1 < value.size() && value.at(i + 1) == QLatin1Char('\n'))
            continue; // CR LF becomes one space, at the LF
        const char16_t u = c.unicode();
        const bool control =
            (u < 32 && u != '\t') || u == 127 || u == 0x2028 || u == 0x2029 || u == 0x85;
        out += control ? QChar(QLatin1Char(' ')) : c;
    }
    return out;
}

QByteArray encodeHeaderText(const QString& text)
{
    if (isPlainAscii(text) && text.size() <= kMaxPlainHeader)
        return text.toLatin1();
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size();) {
        // One character: a surrogate pair stays whole.
        const qsizetype len =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                ? 2
                : 1;
        const QByteArray bytes = text.mid(i, len).toUtf8();
        i += len;
        if (chunk.size() + bytes.size() > kWordBytes) {
            words << chunk;
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty())
        words << chunk;
    QByteArray out;
    for (const QByteArray& w : words) {
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + w.toBase64() + "?=";
    }
    return out;
}

QByteArray encodeAddressHeader(const QString& value)
{
    if (isPlainAscii(value))
        return value.toLatin1();
    QList<QByteArray> parts;
    for (const QString& raw : splitEntries(value)) {
        const QString entry = raw.trimmed();
        const qsizetype open = angleStart(entry);
        if (open < 0) {
            parts << entry.toUtf8(); // a bare address: it is what it is
            continue;
        }
        const QString name = entry.left(open).trimmed();
        const QString rest = entry.mid(open);
        if (name.isEmpty() || isPlainAscii(name))
            parts << entry.toUtf8();
        else
            parts << encodeHeaderText(unquoted(name)) + ' ' + rest.toUtf8();
    }
    return parts.join(", ");
}

QStringList splitBodyLines(const QString& body)
{
    if (body.isEmpty())
        return {};
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = body.split(breaks);
    // A text that ends with a line break has no empty line after it.
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QList<QByteArray> quotedPrintableLines(const QByteArray& line)
{
    QList<QByteArray> out;
    QByteArray current;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto b = static_cast<unsigned char>(line.at(i));
        const bool last = i + 1 == line.size();
        QByteArray token;
        if ((b == ' ' || b == '\t') && !last)
            token = QByteArray(1, char(b));
        else if (b >= 33 && b <= 126 && b != '=')
            token = QByteArray(1, char(b));
        else
            token = hexByte(b);
        // 76 characters at most, the soft break's "=" included.
        if (current.size() + token.size() > 75) {
            out << current + '=';
            current.clear();
        }
        current += token;
    }
    out << current;
    return out;
}

QByteArray rfc5322Date(const QDateTime& when)
{
    const QLocale c = QLocale::c();
    const int offset = when.offsetFromUtc() / 60;
    const int a = offset < 0 ? -offset : offset;
    return (c.toString(when, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")) +
            QLatin1Char(offset < 0 ? '-' : '+') +
            QStringLiteral("%1%2")
                .arg(a / 60, 2, 10, QLatin1Char('0'))
                .arg(a % 60, 2, 10, QLatin1Char('0')))
        .toLatin1();
}

QByteArray makeMessageId(const QDateTime& when, const QString& senderAddr, const QString& helloName)
{
    QString domain = senderAddr.mid(senderAddr.lastIndexOf(QLatin1Char('@')) + 1);
    if (!senderAddr.contains(QLatin1Char('@')) || !isDomain(domain))
        domain = isDomain(helloName) ? helloName : QStringLiteral("localhost");
    const quint64 random = QRandomGenerator::system()->generate64();
    return "<" + when.toUTC().toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1() + "." +
           QByteArray::number(random, 16).rightJustified(16, '0') + "@" + domain.toLatin1() + ">";
}

BodyEncoding bodyEncodingFor(const QStringList& lines, bool server8BitMime)
{
    bool ascii = true;
    bool controls = false;
    bool longLine = false;
    for (const QString& line : lines) {
        const QByteArray bytes = line.toUtf8();
        if (bytes.size() > kMaxLineBytes)
            longLine = true;
        for (const char ch : bytes) {
            const auto b = static_cast<unsigned char>(ch);
            if (b > 126)
                ascii = false;
            else if ((b < 32 && b != '\t') || b == 127)
                controls = true;
        }
    }
    if (ascii && !controls && !longLine)
        return BodyEncoding::SevenBit;
    if (server8BitMime && !controls && !longLine)
        return BodyEncoding::EightBit;
    return BodyEncoding::QuotedPrintable;
}

QByteArray composeMessage(const MailMessage& message, BodyEncoding encoding)
{
    QByteArray out;
    out += "To: " + encodeAddressHeader(foldHeaderValue(message.to)) + "\r\n";
    out += "From: " + encodeAddressHeader(foldHeaderValue(message.from)) + "\r\n";
    const QString subject = foldHeaderValue(message.subject);
    if (!subject.isEmpty())
        out += "Subject: " + encodeHeaderText(subject) + "\r\n";
    out += "Date: " + rfc5322Date(message.date) + "\r\n";
    out += "Message-ID: " + message.messageId + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    switch (encoding) {
    case BodyEncoding::SevenBit:
        out += "Content-Transfer-Encoding: 7bit\r\n";
        break;
    case BodyEncoding::EightBit:
        out += "Content-Transfer-Encoding: 8bit\r\n";
        break;
    case BodyEncoding::QuotedPrintable:
        out += "Content-Transfer-Encoding: quoted-printable\r\n";
        break;
    }
    out += "\r\n";
    for (const QString& line : message.body) {
        if (encoding == BodyEncoding::QuotedPrintable) {
            for (const QByteArray& part : quotedPrintableLines(line.toUtf8()))
                out += part + "\r\n";
        } else {
            out += line.toUtf8() + "\r\n";
        }
    }
    return out;
}

QByteArray dotStuffed(const QByteArray& composed)
{
    QByteArray out;
    out.reserve(composed.size() + composed.size() / 64 + 8);
    bool lineStart = true;
    for (qsizetype i = 0; i < composed.size(); ++i) {
        const char c = composed.at(i);
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n' && i > 0 && composed.at(i - 1) == '\r';
    }
    if (!out.isEmpty() && !out.endsWith("\r\n"))
        out += "\r\n";
    out += ".\r\n";
    return out;
}

} // namespace os
