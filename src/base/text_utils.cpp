#include "base/text_utils.h"

#include "base/store_charset.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace os {

namespace {

char hexDigit(int v)
{
    return "0123456789abcdef"[v & 0xf];
}

bool isAsciiAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

QString asciiLower(const QString& s)
{
    QString out = s;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            c = QChar(char16_t(u + (u'a' - u'A')));
    }
    return out;
}

// A finite number as decimal digits rounded half away from zero to `decimals`
// places. The rounding works on the 15 significant digits a double holds
// reliably, so 0.825 (stored as 0.82499999...) rounds to 0.83 as a merchant
// expects, not to 0.82.
struct Fixed
{
    bool negative = false;
    QString whole; // no leading zeros, at least "0"
    QString frac;  // exactly `decimals` digits
};

bool toFixed(double v, int decimals, Fixed* out)
{
    if (!std::isfinite(v))
        return false;
    Fixed f;
    f.negative = std::signbit(v);
    const double a = std::fabs(v);
    QString digits; // all digits, the decimal point after `point` of them
    int point = 1;
    if (a == 0) {
        digits = QStringLiteral("0");
    } else {
        const QString e = QString::number(a, 'e', 14); // d.dddddddddddddde+XX
        const qsizetype ePos = e.indexOf(QLatin1Char('e'));
        digits = e.left(1) + e.mid(2, ePos - 2);
        point = e.mid(ePos + 1).toInt() + 1;
    }
    if (point <= 0) {
        digits = QString(-point, QLatin1Char('0')) + digits;
        point = 0;
    } else if (point > digits.size()) {
        digits += QString(point - digits.size(), QLatin1Char('0'));
    }
    // Digits past the wanted decimals decide the rounding, then go.
    const qsizetype keep = point + decimals;
    bool roundUp = false;
    if (digits.size() > keep) {
        roundUp = digits.at(keep) >= QLatin1Char('5');
        digits.truncate(keep);
    } else {
        digits += QString(keep - digits.size(), QLatin1Char('0'));
    }
    if (roundUp) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits.at(i) == QLatin1Char('9')) {
                digits[i] = QLatin1Char('0');
            } else {
                digits[i] = QChar(char16_t(digits.at(i).unicode() + 1));
                break;
            }
        }
        if (i < 0) {
            digits.prepend(QLatin1Char('1'));
            ++point;
        }
    }
    f.whole = digits.left(point);
    f.frac = digits.mid(point);
    while (f.whole.size() > 1 && f.whole.at(0) == QLatin1Char('0'))
        f.whole.remove(0, 1);
    if (f.whole.isEmpty())
        f.whole = QStringLiteral("0");
    // A value that rounds to zero has no sign.
    bool allZero = true;
    for (QChar c : f.whole + f.frac)
        allZero = allZero && c == QLatin1Char('0');
    if (allZero)
        f.negative = false;
    *out = f;
    return true;
}

QString plainFixed(double v, int decimals)
{
    Fixed f;
    if (!toFixed(v, decimals, &f))
        return QStringLiteral("0.00");
    const QLocale loc;
    return (f.negative ? QStringLiteral("-") : QString()) + f.whole + loc.decimalPoint() + f.frac;
}

} // namespace

namespace {

// Room for `more` bytes at the end of `out`, growing geometrically so that
// appending piece by piece stays linear.
char* makeRoom(QByteArray& out, qsizetype more)
{
    const qsizetype start = out.size();
    const qsizetype needed = start + more;
    if (out.capacity() < needed)
        out.reserve(std::max(needed, 2 * out.capacity()));
    out.resize(needed);
    return out.data() + start;
}

void encodeBytes(QByteArray& out, QByteArrayView bytes)
{
    // Written straight into room for the largest result, then cut: a
    // publishing post encodes megabytes.
    char* o = makeRoom(out, bytes.size() * 3);
    for (const char c : bytes) {
        if (isAsciiAlnum(c)) {
            *o++ = c;
        } else if (c == ' ') {
            *o++ = '+';
        } else {
            const auto b = static_cast<unsigned char>(c);
            *o++ = '%';
            *o++ = hexDigit(b >> 4);
            *o++ = hexDigit(b);
        }
    }
    out.truncate(o - out.constData());
}

} // namespace

void appendUrlEncoded(QByteArray& out, QStringView text)
{
    appendUrlEncoded(out, text, storeCharset());
}

void appendUrlEncoded(QByteArray& out, QStringView text, StoreCharset charset)
{
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (!ascii) {
        encodeBytes(out, encodeStoreText(text, charset));
        return;
    }
    char* o = makeRoom(out, text.size() * 3);
    for (const QChar qc : text) {
        const char c = char(qc.unicode());
        if (isAsciiAlnum(c)) {
            *o++ = c;
        } else if (c == ' ') {
            *o++ = '+';
        } else {
            *o++ = '%';
            *o++ = hexDigit(c >> 4);
            *o++ = hexDigit(c);
        }
    }
    out.truncate(o - out.constData());
}

void appendUrlEncodedUtf8(QByteArray& out, QByteArrayView utf8)
{
    encodeBytes(out, utf8);
}

QByteArray UrlEncode(const QString& text)
{
    QByteArray out;
    appendUrlEncoded(out, text);
    return out;
}

QByteArray UrlEncode(const QString& text, StoreCharset charset)
{
    QByteArray out;
    appendUrlEncoded(out, text, charset);
    return out;
}

namespace {

char16_t lowerAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// Where `lowTag` (already lowered) next occurs in `text` from `from` on, the
// ASCII letters of `text` compared without case; -1 for nowhere. Compares in
// place: no lowered copy of the text is made.
qsizetype findTag(QStringView text, QStringView lowTag, qsizetype from)
{
    const qsizetype last = text.size() - lowTag.size();
    const char16_t first = lowTag.front().unicode();
    const char16_t* t = text.utf16();
    const char16_t* g = lowTag.utf16();
    // A tag that starts with a character without case (the % of a merge
    // tag) is looked for with the library's fast character search.
    const bool caseless = !(first >= u'a' && first <= u'z'); // lowTag is lowered
    for (qsizetype i = from; i <= last; ++i) {
        if (caseless) {
            i = text.indexOf(QChar(first), i);
            if (i < 0 || i > last)
                return -1;
        } else if (lowerAscii(t[i]) != first) {
            continue;
        }
        qsizetype k = 1;
        while (k < lowTag.size() && lowerAscii(t[i + k]) == g[k])
            ++k;
        if (k == lowTag.size())
            return i;
    }
    return -1;
}

} // namespace

QString ReplaceTag(const QString& text, const QString& tag, const QString& value)
{
    // An empty tag is found everywhere and would never finish.
    if (tag.isEmpty())
        return text;
    const QString lowTag = asciiLower(tag);
    qsizetype pos = findTag(text, lowTag, 0);
    // Nothing to replace, and with an empty value nothing can close up into
    // a tag either: the text as it is, shared, not copied.
    if (pos < 0)
        return text;
    QString out;
    out.reserve(text.size());
    if (!value.isEmpty()) {
        // Replacing one occurrence at a time and searching again from the
        // start never matches inside or across an inserted value (were the
        // inserted value masked by capitals in a lowered copy, the lowered tag
        // could not match there); so each next match is simply the next one
        // of the original text: one pass gives the same result.
        qsizetype from = 0;
        for (; pos >= 0; pos = findTag(text, lowTag, from)) {
            out += QStringView(text).mid(from, pos - from);
            out += value;
            from = pos + tag.size();
        }
        out += QStringView(text).mid(from);
        return out;
    }
    // An empty value closes the text up and an occurrence formed that way is
    // removed too. Removing the first occurrence each time is removing the one
    // that ends first; so the text is taken a character at a time and an
    // occurrence is dropped as soon as its last character arrives. Before the
    // first occurrence nothing can end: that part is taken whole.
    out += QStringView(text).left(pos);
    const qsizetype m = lowTag.size();
    const char16_t* g = QStringView(lowTag).utf16();
    const char16_t lastOfTag = g[m - 1];
    for (qsizetype i = pos; i < text.size(); ++i) {
        const QChar c = text.at(i);
        out += c;
        if (lowerAscii(c.unicode()) != lastOfTag || out.size() < m)
            continue;
        const char16_t* end = QStringView(out).utf16() + out.size() - m;
        qsizetype k = 0;
        while (k < m - 1 && lowerAscii(end[k]) == g[k])
            ++k;
        if (k == m - 1)
            out.chop(m);
    }
    return out;
}

QString FormatMoney(double amount)
{
    Fixed f;
    if (!toFixed(amount, 2, &f))
        return QStringLiteral("00.00");
    const QLocale loc;
    const QString group = loc.groupSeparator();
    QString whole;
    const qsizetype n = f.whole.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            whole += group;
        whole += f.whole.at(i);
    }
    return (f.negative ? QStringLiteral("-") : QString()) + whole + loc.decimalPoint() + f.frac;
}

std::optional<QString> fixedText(double value, int decimals)
{
    Fixed f;
    if (!toFixed(value, decimals, &f))
        return std::nullopt;
    QString out = (f.negative ? QStringLiteral("-") : QString()) + f.whole;
    if (decimals > 0)
        out += QLocale().decimalPoint() + f.frac;
    return out;
}

QString FormatAmount(double amount)
{
    return plainFixed(amount, 2);
}

QString FormatRate(double rate)
{
    return plainFixed(rate, 5);
}

QString FormatDecimal(double amount, int decimals)
{
    Fixed f;
    if (!toFixed(amount, decimals, &f))
        return QStringLiteral("0.") + QString(decimals, QLatin1Char('0'));
    QString out = f.negative ? QStringLiteral("-") + f.whole : f.whole;
    if (decimals > 0)
        out += QLatin1Char('.') + f.frac;
    return out;
}

std::optional<double> parseNumber(const QString& text)
{
    QString t = text.left(255).trimmed();
    const QLocale loc;
    const QString neg = loc.negativeSign();
    if (neg != QLatin1String("-") && t.startsWith(neg))
        t = QLatin1Char('-') + t.mid(neg.size());
    const QString dec = loc.decimalPoint();
    if (dec != QLatin1String(".")) {
        if (t.contains(QLatin1Char('.')))
            return std::nullopt;
        t.replace(dec, QStringLiteral("."));
    }
    // Sign, digits with at most one decimal point, an optional exponent;
    // nothing else (no thousands separators, no "nan" or "inf").
    qsizetype i = 0;
    const qsizetype n = t.size();
    auto isDigit = [&](qsizetype k) {
        return k < n && t.at(k) >= QLatin1Char('0') && t.at(k) <= QLatin1Char('9');
    };
    if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        ++i;
    int mantissaDigits = 0;
    while (isDigit(i)) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && t.at(i) == QLatin1Char('.')) {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < n && (t.at(i) == QLatin1Char('e') || t.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < n && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
            ++i;
        if (!isDigit(i))
            return std::nullopt;
        while (isDigit(i))
            ++i;
    }
    if (i != n)
        return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok); // QString::toDouble reads the C form
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

double ReadNumber(const QString& text)
{
    return parseNumber(text).value_or(0);
}

std::optional<int> parseInteger(const QString& untrimmed)
{
    const QString text = trimControl(untrimmed);
    // Checked by hand: toInt alone would accept some other forms.
    qsizetype i = !text.isEmpty() && (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QByteArrayView trimControl(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
        --end;
    return text.sliced(begin, end - begin);
}

QString trimControl(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

QString visibleControls(const QString& text, QStringView keep)
{
    auto isControl = [](char16_t c) { return c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f); };
    bool any = false;
    for (const QChar c : text) {
        if (isControl(c.unicode()) && !keep.contains(c)) {
            any = true;
            break;
        }
    }
    if (!any)
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!isControl(u) || keep.contains(c))
            out += c;
        else if (u < 0x80)
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace os
