#include "charset.h"

#include <atomic>

namespace storesim {

namespace {

std::atomic<Charset> g_charset{Charset::Windows1252};

// What the bytes 0x80-0x9F stand for in Windows-1252; U+FFFD where the set
// assigns nothing (those bytes are read as the control of the same value).
const QString& high1252()
{
    static const QString table = QString::fromUtf8("€\uFFFD‚ƒ„…†‡ˆ‰Š‹Œ\uFFFDŽ\uFFFD"
                                                   "\uFFFD‘’“”•–—˜™š›œ\uFFFDžŸ");
    return table;
}

} // namespace

void setCharset(Charset charset)
{
    g_charset = charset;
}

Charset charset()
{
    return g_charset;
}

bool parseCharset(const QString& name, Charset* out)
{
    if (name.compare(QLatin1String("windows-1252"), Qt::CaseInsensitive) == 0)
        *out = Charset::Windows1252;
    else if (name.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0)
        *out = Charset::Utf8;
    else
        return false;
    return true;
}

QByteArray encodeText(const QString& text)
{
    if (charset() == Charset::Utf8)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += char(c);
            continue;
        }
        const qsizetype at = c == 0xFFFD ? -1 : high1252().indexOf(QChar(c));
        if (at >= 0)
            out += char(0x80 + at);
        else if (c >= 0x80 && c < 0xA0 && high1252().at(c - 0x80) == QChar(0xFFFD))
            out += char(c);
        else
            out += '?';
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode()))
            ++i; // one character, one '?'
    }
    return out;
}

QString decodeText(const QByteArray& bytes)
{
    if (charset() == Charset::Utf8)
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0 && high1252().at(u - 0x80) != QChar(0xFFFD))
            out += high1252().at(u - 0x80);
        else
            out += QChar(u);
    }
    return out;
}

} // namespace storesim
