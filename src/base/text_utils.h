#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace os {

enum class StoreCharset;

// Form encoding of the store posts: the text's bytes in the store's character
// set (storeCharset(), or the one given); A-Z, a-z and 0-9 are copied, a space
// becomes '+', every other byte becomes '%' and two lower-case hex digits
// ("a b/c" -> "a+b%2fc"; "Caf\u00e9" -> "Caf%e9" under Windows-1252). A
// character the set cannot hold throws CharsetError: it never reaches the
// store as something else.
QByteArray UrlEncode(const QString& text);
QByteArray UrlEncode(const QString& text, StoreCharset charset);
// The same, appended to `out` (for a long text built piece by piece).
void appendUrlEncoded(QByteArray& out, QStringView text);
void appendUrlEncoded(QByteArray& out, QStringView text, StoreCharset charset);
// The same for text already in UTF-8 (a value straight from a table file).
void appendUrlEncodedUtf8(QByteArray& out, QByteArrayView utf8);

// Replaces every occurrence of tag in text by value. The match ignores the case
// of the ASCII letters A-Z only. A value is never searched again (so a value
// holding the tag is inserted once); with an empty value the text closes up and
// an occurrence formed that way is replaced too. An empty tag changes nothing.
QString ReplaceTag(const QString& text, const QString& tag, const QString& value);

// Money as "#,##0.00" with the locale's thousands separator and decimal point
// and a leading '-'; rounds half away from zero on the 15-digit decimal value.
// "00.00" when the amount cannot be formatted (NaN, infinity).
QString FormatMoney(double amount);

// Settings-file numbers: fixed point with the locale's decimal separator, no
// thousands separator. FormatAmount keeps 2 decimals, FormatRate 5. Both give
// "0.00" when the value cannot be formatted.
QString FormatAmount(double amount);
QString FormatRate(double rate);

// A number for files other programs read (the orders export): a full stop,
// no thousands separator, `decimals` places, rounded like FormatMoney.
// "0.00" (as many zeros) when it cannot be formatted.
QString FormatDecimal(double amount, int decimals);

// Fixed point with `decimals` decimals (none: no decimal point), rounded half
// away from zero like FormatMoney, the locale's decimal point, no thousands
// separator. Nothing for NaN or infinity.
std::optional<QString> fixedText(double value, int decimals);

// Reads a number written with the locale's decimal separator (at most the
// first 255 characters, surrounding blanks ignored, no thousands separator).
// Text that is not such a number gives 0.
double ReadNumber(const QString& text);
// The same reading, but nothing for text that is not such a number (an
// editor tells the merchant instead of storing 0).
std::optional<double> parseNumber(const QString& text);

// A 32-bit decimal integer: an optional sign and the digits 0-9 only, with
// spaces and control characters around it ignored. Nothing for any other
// text (empty, other characters, out of range).
std::optional<int> parseInteger(const QString& text);

// Removes leading and trailing spaces and control characters (every byte or
// character up to and including the space), as the store's texts need.
QByteArrayView trimControl(QByteArrayView text);
QString trimControl(const QString& text);

// The text with its control characters made visible, for a terminal: C0
// controls, DEL and the C1 controls become escapes ("\x1b", "\x7f",
// "\u009b"), so a text from the store cannot move the cursor, recolour or
// retitle the merchant's terminal. Characters listed in `keep` (a line feed,
// say) pass unchanged.
QString visibleControls(const QString& text, QStringView keep = {});

} // namespace os
