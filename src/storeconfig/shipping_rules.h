#pragma once

#include <QString>
#include <QStringList>

namespace os {

// The stored codes of the shipping methods (ShippingMethod), in the order of
// the choices after "I Will Not Use Shipping": "basic", "peritem",
// "basicshipit", "shipit", "livemethods".
const QStringList& shippingMethodCodes();

// The choice a stored setting opens with: 0 "I Will Not Use Shipping" (when
// UseShipping is off), 1 to 5 the method whose code equals `method`, -1 none
// (a code of the merchant's own, shown under "Custom Code:").
int shippingChoiceOf(bool useShipping, const QString& method);

// A stored ShippingMethod that is none of the five codes, for "Custom Code:";
// empty otherwise.
QString customShippingCode(const QString& method);

// What OK stores as ShippingMethod: the chosen method's code (empty for no
// shipping or no choice), or the custom code when one is typed.
QString shippingMethodToStore(int choice, const QString& customCode);

// "Default Weight:": an integer; any other text stores 1.
int defaultWeightFromText(const QString& text);

} // namespace os
