#pragma once

#include <QString>
#include <QStringList>

namespace os {

class Table;

// The digits 0-9 of a card number in groups of four joined by "-", the last
// group holding what is left: 16 digits give four groups of four, 15 give
// three of four and one of three, nine give "1234-5678-9". Everything else
// is dropped. A number without any digit comes back unchanged (nothing
// readable to keep, and nothing the merchant typed is thrown away).
QString reformattedCardNumber(const QString& number);

// ReformatCardNumber on the current order of `orders`: asks "Reformat credit
// card number to a more readable format?" (Yes/No) and on Yes stores the
// reformatted CARDNUM (with its history row). A number whose dashes would
// not fit in the column (26 characters) stays as it is, so no digit is cut
// off. True when the number changed.
// Throws DbError when the engine fails (the order keeps its number).
bool ReformatCardNumber(Table& orders);

// The card types Phone Payment offers: the lines of ccitems.txt in the
// company data directory `dataDir`, blanks trimmed and empty lines skipped.
// A missing or unreadable file gives none (typed text is still accepted).
QStringList cardTypeChoices(const QString& dataDir);

} // namespace os
