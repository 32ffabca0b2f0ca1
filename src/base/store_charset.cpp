#include "base/store_charset.h"

#include "base/settings.h"

#include <QStringDecoder>

#include <algorithm>
#include <cctype>

namespace os {

namespace {

// Windows-1252 at 0x80-0x9F; a zero marks the five unassigned bytes, which
// read as the C1 control of the same value.
constexpr char16_t kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t char1252(unsigned char b)
{
    if (b < 0x80 || b >= 0xA0)
        return b;
    const char16_t c = kHigh1252[b - 0x80];
    return c ? c : char16_t(b);
}

// The byte for a character of the set; -1 when the set has none.
int byte1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    if (c < 0xA0)
        return kHigh1252[c - 0x80] == 0 ? int(c) : -1;
    for (int i = 0; i < 32; ++i) {
        if (kHigh1252[i] == c)
            return 0x80 + i;
    }
    return -1;
}

QString decode1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes)
        *out++ = QChar(char1252(static_cast<unsigned char>(b)));
    return text;
}

// The code point at `i` (a surrogate pair read as one), and how many UTF-16
// units it takes; a lone surrogate is returned as itself.
char32_t codePointAt(QStringView text, qsizetype i, qsizetype* units)
{
    const char16_t u = text[i].unicode();
    *units = 1;
    if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode())) {
        *units = 2;
        return QChar::surrogateToUcs4(u, text[i + 1].unicode());
    }
    return u;
}

} // namespace

QString storeCharsetName(StoreCharset charset)
{
    return charset == StoreCharset::Utf8 ? QStringLiteral("utf-8") : QStringLiteral("windows-1252");
}

std::optional<StoreCharset> parseStoreCharset(const QString& name)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("windows-1252") || n == QLatin1String("cp1252"))
        return StoreCharset::Windows1252;
    if (n == QLatin1String("utf-8") || n == QLatin1String("utf8"))
        return StoreCharset::Utf8;
    return std::nullopt;
}

StoreCharset storeCharset()
{
    return settings().storeCharset;
}

QString unencodableText(StoreCharset charset, char32_t c)
{
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    const QString shown = surrogate ? QString() : QString::fromUcs4(&c, 1);
    return QStringLiteral("The store's character set, %1 (\"Store character set\" in Vendix "
                          "Location & Web Documents), cannot hold the character \"%2\" (U+%3); "
                          "nothing was sent to the store.")
        .arg(storeCharsetName(charset), shown,
             QStringLiteral("%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper());
}

void appendStoreText(QByteArray& out, QStringView text, StoreCharset charset)
{
    if (charset == StoreCharset::Utf8) {
        for (qsizetype i = 0; i < text.size();) {
            qsizetype units = 1;
            const char32_t c = codePointAt(text, i, &units);
            if (c >= 0xD800 && c <= 0xDFFF)
                throw CharsetError(unencodableText(charset, c));
            i += units;
        }
        out += text.toUtf8();
        return;
    }
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* o = out.data() + start;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype units = 1;
        const char32_t c = codePointAt(text, i, &units);
        const int b = byte1252(c);
        if (b < 0) {
            out.truncate(start);
            throw CharsetError(unencodableText(charset, c));
        }
        *o++ = char(b);
        i += units;
    }
    out.truncate(o - out.constData());
}

QByteArray encodeStoreText(QStringView text, StoreCharset charset)
{
    QByteArray out;
    appendStoreText(out, text, charset);
    return out;
}

QString decodeStoreBytes(QByteArrayView bytes, StoreCharset charset)
{
    if (charset == StoreCharset::Utf8) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8(bytes);
        if (!utf8.hasError())
            return text;
    }
    return decode1252(bytes);
}

QString decodeFileText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

namespace {

// The charset a page names in its first kilobyte ("<meta charset=utf-8>",
// "content=\"text/html; charset=windows-1252\""), lower case; empty when none.
QByteArray namedCharset(QByteArrayView bytes)
{
    const QByteArray head =
        bytes.first(std::min<qsizetype>(bytes.size(), 1024)).toByteArray().toLower();
    qsizetype at = 0;
    while ((at = head.indexOf("charset", at)) >= 0) {
        qsizetype i = at + 7;
        at = i;
        while (i < head.size() && (head[i] == ' ' || head[i] == '\t'))
            ++i;
        if (i >= head.size() || head[i] != '=')
            continue;
        ++i;
        while (i < head.size() &&
               (head[i] == ' ' || head[i] == '\t' || head[i] == '"' || head[i] == '\''))
            ++i;
        const qsizetype from = i;
        while (i < head.size() &&
               (std::isalnum(static_cast<unsigned char>(head[i])) || head[i] == '-' ||
                head[i] == '_' || head[i] == ':' || head[i] == '.'))
            ++i;
        if (i > from)
            return head.mid(from, i - from);
    }
    return {};
}

} // namespace

QString decodeStorePage(QByteArrayView bytes, StoreCharset charset)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
        return decoder(bytes);
    }
    const QByteArray named = namedCharset(bytes);
    if (named.isEmpty())
        return decodeStoreBytes(bytes, charset);
    if (named == "utf-8" || named == "utf8")
        return QString::fromUtf8(bytes);
    // The labels a browser reads as Windows-1252.
    for (const char* label : {"windows-1252", "cp1252", "iso-8859-1", "iso8859-1", "latin1", "l1",
                              "us-ascii", "ascii", "x-cp1252"}) {
        if (named == label)
            return decodeStoreBytes(bytes, StoreCharset::Windows1252);
    }
    QStringDecoder decoder(named.constData());
    if (decoder.isValid())
        return decoder(bytes);
    return decodeStoreBytes(bytes, charset); // a set this system cannot read
}

} // namespace os
