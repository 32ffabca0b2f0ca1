#include "sync/invoices.h"

#include "base/messages.h"
#include "base/owner_only_file.h"
#include "net/transfer_errors.h"
#include "sync/import_steps.h"
#include "sync/protocol.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace os {

QString invoiceWithoutSeparatorText(const QString& start)
{
    return QStringLiteral("An invoice has no \"<!--END-->\" after its number and was not "
                          "written: \"VendixBeginInvoice|%1\"")
        .arg(start.simplified());
}

namespace {
const QByteArrayView kBegin("VendixBeginInvoice|");
const QByteArrayView kSeparator("<!--END-->");
const QByteArrayView kEnd("VendixEndInvoice|");

// False (after showing why) when the file cannot be written. Written under
// a temporary name and renamed: a file that exists is a whole invoice (an
// import that finds it there leaves it alone).
bool writeInvoice(const QString& path, QByteArrayView page)
{
    const QString part = path + QStringLiteral(".part");
    QFile file(part);
    // An invoice holds the customer's name and addresses: owner only.
    // Unbuffered, so a full disk is seen at the write, with its cause.
    if (!openOwnerOnly(file, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        messages().error(cannotCreateFileText(path, file.errorString()));
        return false;
    }
    int error = writeAllTo(file.handle(), page.data(), page.size());
    if (error == 0)
        error = writeAllTo(file.handle(), "\r\n", 2);
    file.close();
    if (error != 0) {
        QFile::remove(part); // no partial invoice is left behind
        messages().error(
            isDiskFullError(error)
                ? diskFullText(QStringLiteral("invoice"), path)
                : cannotWriteFileText(path, QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    // The rename would replace a file the merchant made read-only (and
    // root may write anything): refused as writing into it would be.
    const QFileInfo target(path);
    if (target.exists() && !target.permission(QFileDevice::WriteOwner)) {
        messages().error(cannotCreateFileText(path, QStringLiteral("Permission denied")));
        QFile::remove(part);
        return false;
    }
    if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        messages().error(cannotCreateFileText(path, QString::fromLocal8Bit(std::strerror(errno))));
        QFile::remove(part);
        return false;
    }
    return true;
}
} // namespace

void ExtractInvoices(QByteArrayView text, ImportContext& ctx)
{
    qsizetype begin = text.indexOf(kBegin);
    while (begin >= 0) {
        const qsizetype numberAt = begin + kBegin.size();
        const qsizetype separator = text.indexOf(kSeparator, numberAt);
        const qsizetype nextBegin = text.indexOf(kBegin, numberAt);
        if (separator < 0 || (nextBegin >= 0 && nextBegin < separator)) {
            // This invoice has no separator: it is named, and the cutting
            // goes on with the next one.
            const qsizetype stop = nextBegin >= 0 ? nextBegin : text.size();
            messages().error(invoiceWithoutSeparatorText(
                decodeStoreText(text.sliced(numberAt, std::min<qsizetype>(stop - numberAt, 40)))));
            begin = nextBegin;
            continue;
        }
        std::optional<int> read;
        try {
            read = readInteger(decodeStoreText(text.sliced(numberAt, separator - numberAt)));
        } catch (const ConversionError& e) {
            // That invoice alone is refused: the number names no order, and
            // no file name is made of it.
            messages().error(e.text());
        }
        const qsizetype pageAt = separator + kSeparator.size();
        const qsizetype end = text.indexOf(kEnd, pageAt);
        const QByteArrayView page = end < 0 ? QByteArrayView() : text.sliced(pageAt, end - pageAt);
        // The next begin marker lies past this invoice's separator, so the
        // loop ends whatever the section holds.
        begin = nextBegin;

        if (!read)
            continue;
        const int number = *read;
        if (ctx.failed.contains(number))
            continue;
        const QString name = QString::number(number);
        const QString path = ctx.htmlDir() + QLatin1Char('/') + name + QStringLiteral("inv.html");
        // An order stored by an earlier import of this reply gets its invoice
        // when that import stopped before writing it.
        if (!ctx.imported.contains(number) &&
            !(ctx.earlier.contains(number) && !QFileInfo::exists(path)))
            continue;
        if (writeInvoice(path, page))
            ctx.write(QStringLiteral("Invoice"), name + QStringLiteral(" Printable Invoice"));
    }
}

} // namespace os
