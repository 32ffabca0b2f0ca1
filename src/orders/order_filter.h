#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace os {

class Table;

// The state filter of the orders list: its entries in order, "New" ...
// "AutoVoid", then "ALL" and "Custom".
const QStringList& filterEntries();
extern const char* const kAllEntry;    // "ALL"
extern const char* const kCustomEntry; // "Custom"
// Shown when "Custom" is chosen by hand.
extern const char* const kCustomRefused;

// "ORDERSTATE='<state>'" (a quote inside doubled, so that the text reads back
// as the state).
QString stateFilterText(const QString& state);

// Applies a filter entry to `orders`: "ALL" removes the filter, a state
// filters on it (ignoring case); any search ends. "Custom" is not an entry to
// apply: ApplyCustomFilter sets it.
void applyStateFilter(Table& orders, const QString& entry); // throws DbError

// Turns the filter off, sets "<column>='<value>'" and turns it on; any
// search ends.
void ApplyCustomFilter(Table& orders, const QString& column, const QString& value);

// Orders whose invoice number, customer e-mail or name holds `text`
// (ignoring case): the filter off and a search on. Empty text finds nothing
// and changes nothing (false).
bool findOrders(Table& orders, const QString& text);

// A filter entry as typed on a command line ("complete", "ALL"): the entry's
// own spelling, or nothing when it is not a state entry or "ALL".
std::optional<QString> stateEntryFor(const QString& typed);

} // namespace os
