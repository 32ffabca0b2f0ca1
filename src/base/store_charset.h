#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace os {

// The character set the store script speaks: what a post's form values are
// encoded in and what its replies are read in. Files on disk keep their own
// encoding; only the wire follows this.
enum class StoreCharset
{
    Windows1252, // the single-byte set of a Windows store (the default)
    Utf8
};

// "windows-1252" / "utf-8", as written in ordersentinel.ini.
QString storeCharsetName(StoreCharset charset);
// Reads a name as written in the file (case and surrounding blanks ignored;
// "cp1252" and "utf8" are taken too). Nothing for any other text.
std::optional<StoreCharset> parseStoreCharset(const QString& name);

// The set in use: settings().storeCharset.
StoreCharset storeCharset();

// A text holds a character the store's set cannot hold: nothing is sent.
class CharsetError : public Error
{
public:
    using Error::Error;
};

// The message of a CharsetError for character `c` (a code point).
QString unencodableText(StoreCharset charset, char32_t c);

// The text's bytes in `charset`; throws CharsetError at the first character
// the set cannot hold (a lone surrogate counts as one under UTF-8 too).
QByteArray encodeStoreText(QStringView text, StoreCharset charset);
void appendStoreText(QByteArray& out, QStringView text, StoreCharset charset);

// Bytes from the store read in `charset`. Under UTF-8 a text that is not
// valid UTF-8 is read as Windows-1252 rather than losing its bytes. Under
// Windows-1252 every byte is a character (the five bytes the set leaves
// unassigned read as the C1 controls of the same value, and encode back).
QString decodeStoreBytes(QByteArrayView bytes, StoreCharset charset);

// An HTML page the store sent (an invoice) as text: in the character set the
// page names itself (a byte order mark, or a "charset" in its head), else in
// the store's set `charset`.
QString decodeStorePage(QByteArrayView bytes, StoreCharset charset);

// A file's text as the program has always read its own files: UTF-8, or
// Latin-1 where it is not valid UTF-8.
QString decodeFileText(QByteArrayView bytes);

} // namespace os
