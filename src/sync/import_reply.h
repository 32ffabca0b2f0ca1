#pragma once

#include <QString>

namespace os {

// `ordersentinel --home DIR --import-reply FILE`: runs the import steps (work
// files, orders, invoices, accounts, notes, marks, status texts) on a kept
// get_new_stuff reply (<home>/retrievals/) without contacting the store.
// Takes the single-instance lock and opens the company database like the
// program. Log rows go to standard output as "type<TAB>message", message
// texts to the message service in force (standard error by default).
// Returns 0 when every step ran and nothing was refused, 1 when the import
// ended on an error or a record was refused, 2 when the file is not a kept
// store reply or cannot be read. The program's home must be set before.
int runImportReply(const QString& file);

} // namespace os
