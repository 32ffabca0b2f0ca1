#include "storeconfig/card_list.h"

#include "base/owner_only_file.h"
#include "base/paths.h"

#include <QFile>
#include <QStringDecoder>

namespace os {

QString cardListFile()
{
    return AppPaths::dataFile(QStringLiteral("ccitems.txt"));
}

QStringList readCardList()
{
    QFile f(cardListFile());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) // a list written in a Western code page
        text = QString::fromLatin1(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty() && !bytes.contains('\n') && !bytes.contains('\r'))
        return {};
    return text.split(QLatin1Char('\n'));
}

QString writeCardList(const QStringList& names)
{
    QByteArray bytes;
    for (const QString& name : names)
        bytes += name.toUtf8() + "\r\n";
    const QString why = replaceFileOwnerOnly(cardListFile(), bytes);
    return why.isEmpty() ? QString() : cannotWriteFileText(cardListFile(), why);
}

} // namespace os
