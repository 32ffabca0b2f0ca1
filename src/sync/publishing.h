#pragma once

#include "sync/rate_tables.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace os {

struct Settings;
class Table;
class TMainDataMod;

// The configuration text of the genconfigs post: the card-type fields, the 68
// configuration fields and the seven rate-table fields, each form-encoded as
// the store reads it (docs/publishing.md). Rules without widgets; the session
// (StoreSession::PublishConfiguration) and the preview use them.

// H: a settings colour (blue*65536 + green*256 + red; higher bits ignored) as
// "#rrggbb" in lower case. White gives "#ffffff", 255 "#ff0000".
QString HtmlColor(int colour);

// F before encoding: two decimals with at most seven significant digits
// (0.125 -> "0.13", 123456.789 -> "123456.80"); a number of more than seven
// whole digits in exponent form ("1.234568E7"). Nothing for NaN or infinity.
std::optional<QString> amountText(double amount);

// G: the shortest general decimal form with up to `precision` significant
// digits ("5", "0.0725", "0.125", "1E-5", "1E20"); the locale's decimal point.
QString generalText(double number, int precision = 15);
// The same with a given decimal point (for many numbers in a row).
QString generalText(double number, int precision, const QString& point);

// R: a site address sent as it stands, but with "&", "=", "%", "+", "#",
// control characters and non-ASCII bytes (UTF-8) percent-encoded, so that a
// query string reaches the store intact and a plain URL goes out unchanged.
QByteArray siteAddressValue(const QString& url);

// The <BODY ...> start tag of the store's pages (the value of CONFIG_body
// before encoding); BACKGROUND only when BGImagePath is set.
QString pageBodyText(const Settings& s);

// "cccard=" E(line) "&" for every line of <dataDir>/ccitems.txt, empty lines
// included; nothing when the file is missing.
QByteArray cardTypeFields(const QString& dataDir);

// The 68 configuration fields, each "NAME=value&", in the order sent.
// Throws SessionError when an amount cannot be formatted (CODFEE falls back
// to 6.00 instead).
QByteArray configurationFields(const Settings& s);

// Where a builder logs (type, message): the session's event log, or a
// collector for the preview.
using PublishLog = std::function<void(const QString& type, const QString& message)>;

// One rate-table builder: logs its start line, opens `table` (left open when
// it was), reads every row in primary-index order, closes the table (also
// when it was open before) and returns "&<field>=" and the form-encoded text.
// When a row cannot be read (an engine error, or a number column holding
// something other than a number) it logs its error line and returns nothing:
// the field is left out of the post. A table that cannot be opened or whose
// first row cannot be reached throws DbError; a text column holding a
// separator throws SessionError naming the table, the row and the column.
std::optional<QByteArray> buildRateTable(const RateTableFormat& format, Table& table,
                                         const PublishLog& log);

// The whole configuration text: cardTypeFields, configurationFields, then
// the seven builders in order, each on the table `tableFor` gives it;
// `afterEach` runs after each builder (the window lets its log repaint).
QByteArray buildConfiguration(const Settings& s, const QString& dataDir,
                              const std::function<Table&(const RateTableFormat&)>& tableFor,
                              const PublishLog& log,
                              const std::function<void()>& afterEach = nullptr);

// The data module's table object of a rate table (`Taxes` for "taxes", ...);
// null for any other table.
Table* sharedRateTable(TMainDataMod& data, const QString& table);

} // namespace os
