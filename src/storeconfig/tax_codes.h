#pragma once

#include <QString>
#include <QStringList>

namespace os {

// The regional tax codes of taxes.db in `dir`, in the order the engine
// returns them: the pick list of a smart tax's "Condition". A failure while
// reading ends the list with what was read.
QStringList regionalTaxCodes(const QString& dir);

} // namespace os
