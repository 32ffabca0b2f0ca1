#pragma once

#include <QByteArrayView>
#include <QString>

namespace os {

struct ImportContext;

// Cuts the HTML section of a get_new_stuff reply into invoices
// ("VendixBeginInvoice|" number "<!--END-->" page "VendixEndInvoice|") and
// writes each page, followed by CR LF, to <data>/html/<n>inv.html — for an
// order this retrieval imported (in ctx.imported and not in ctx.failed), and
// for an order an earlier import of the same reply stored (ctx.earlier) when
// its file is missing. Logs "<n> Printable Invoice" ("Invoice") per file. A
// file that cannot be written (also an existing file that is read-only) is
// shown (os::messages().error) and the others are still written; a number
// that is not an integer is shown with the conversion's text and that
// invoice alone is left out; a begin marker without "<!--END-->" after it is
// named (invoiceWithoutSeparatorText) and ends the cutting. Pages are written byte for byte as the
// store sent them, under a temporary name first, so an invoice file is never half written.
void ExtractInvoices(QByteArrayView html, ImportContext& ctx);

// "An invoice has no "<!--END-->" after its number and was not written:
// "VendixBeginInvoice|<start>"" (the first 40 characters after the marker).
QString invoiceWithoutSeparatorText(const QString& start);

} // namespace os
