#pragma once

#include <QString>

namespace os {

// The numbers the store-configuration editors read from their fields. A text
// that is not a number is never stored as 0 or skipped: the editor names the
// field and the text, stores nothing and stays open. Numbers are read with
// parseNumber (the locale's decimal separator).

// "<label> '<text>' is not a valid floating point value": the engine's
// conversion text with the field's label in front ("C.O.D. fee:").
QString notANumberText(const QString& label, const QString& text);

// Fractions typed as percentages: a value greater than 1 is taken as a
// percentage and divided by 100 (15 gives 0.15); 1 and below stay as they are.
double fractionFromTyped(double value);

} // namespace os
