#include "sync/invoices.h"

#include "base/messages.h"
#include "base/owner_only_file.h"
#include "sync/import_steps.h"
#include "sync/protocol.h"

#include <QByteArrayView>
#include <QFile>

namespace os {

namespace {
const QByteArrayView kBegin("VendixBeginInvoice|");
const QByteArrayView kSeparator("<!--END-->");
const QByteArrayView kEnd("VendixEndInvoice|");

// False (after showing why) when the file cannot be written.
bool writeInvoice(const QString& path, QByteArrayView page)
{
    QFile file(path);
    // An invoice holds the customer's name and addresses: owner only.
    if (!openOwnerOnly(file, QIODevice::WriteOnly | QIODevice::Truncate)) {
        messages().error(cannotCreateFileText(path, file.errorString()));
        return false;
    }
    if (file.write(page.data(), page.size()) != page.size() || file.write("\r\n", 2) != 2 ||
        !file.flush()) {
        messages().error(cannotWriteFileText(path, file.errorString()));
        return false;
    }
    return true;
}
} // namespace

void ExtractInvoices(const QByteArray& html, ImportContext& ctx)
{
    const QByteArrayView text(html);
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

        if (ctx.failed.contains(number) || !ctx.imported.contains(number))
            continue;
        const QString name = QString::number(number);
        if (writeInvoice(ctx.htmlDir() + QLatin1Char('/') + name + QStringLiteral("inv.html"),
                         page))
            ctx.write(QStringLiteral("Invoice"), name + QStringLiteral(" Printable Invoice"));
    }
}

} // namespace os
