#pragma once

#include <QString>
#include <QStringList>

namespace os {

// The card names the store's checkout lists: <data dir>/ccitems.txt, one name
// per line, lines ending in CR LF, in the order the merchant added them. A
// missing file is an empty list. Publishing sends the lines as they stand.

QString cardListFile();

// The names of the file; empty when it is missing or unreadable. A last line
// break does not make an empty name; empty lines inside are names (they are
// published as empty values).
QStringList readCardList();

// Replaces the file with `names` (an empty list gives an empty file) in one
// step, owner-only; the old file stays when it cannot be written. Empty when
// done, else the message to show.
QString writeCardList(const QStringList& names);

} // namespace os
