#include "sync/invoices.h"

#include "base/messages.h"
#include "base/owner_only_file.h"
#include "net/transfer_errors.h"
#include "sync/import_steps.h"
#include "sync/protocol.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace os {

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
        // Without a separator no invoice can follow: nothing more to cut.
        if (separator < 0)
            return;
        const int number =
            readInteger(decodeStoreText(text.sliced(numberAt, separator - numberAt)));
        const qsizetype pageAt = separator + kSeparator.size();
        const qsizetype end = text.indexOf(kEnd, pageAt);
        const QByteArrayView page = end < 0 ? QByteArrayView() : text.sliced(pageAt, end - pageAt);
        // The search always moves past this invoice's separator, so the loop
        // ends whatever the section holds.
        begin = text.indexOf(kBegin, pageAt);

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
