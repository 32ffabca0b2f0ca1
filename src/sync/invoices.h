#pragma once

#include <QByteArrayView>

namespace os {

struct ImportContext;

// Cuts the HTML section of a get_new_stuff reply into invoices
// ("VendixBeginInvoice|" number "<!--END-->" page "VendixEndInvoice|") and
// writes each page, followed by CR LF, to <data>/html/<n>inv.html — for an
// order this retrieval imported (in ctx.imported and not in ctx.failed), and
// for an order an earlier import of the same reply stored (ctx.earlier) when
// its file is missing. Logs "<n> Printable Invoice" ("Invoice") per file. A
// file that cannot be written is shown (os::messages().error) and the others
// are still written; a number that is not an integer ends the session
// (ConversionError). Pages are written byte for byte as the store sent them,
// under a temporary name first, so an invoice file is never half written.
void ExtractInvoices(QByteArrayView html, ImportContext& ctx);

} // namespace os
