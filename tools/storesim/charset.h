#pragma once

#include <QByteArray>
#include <QString>

namespace storesim {

// The store's character set: what its replies are written in and its forms
// read in. A single-byte store (the default) writes "?" for a character its
// set has no byte for, as such stores do.
enum class Charset
{
    Windows1252,
    Utf8
};

void setCharset(Charset charset);
Charset charset();
// "windows-1252" or "utf-8"; false for any other name.
bool parseCharset(const QString& name, Charset* out);

QByteArray encodeText(const QString& text);
QString decodeText(const QByteArray& bytes);

} // namespace storesim
