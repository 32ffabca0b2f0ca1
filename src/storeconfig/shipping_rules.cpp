#include "storeconfig/shipping_rules.h"

#include "base/text_utils.h"

namespace os {

const QStringList& shippingMethodCodes()
{
    static const QStringList codes{QStringLiteral("basic"), QStringLiteral("peritem"),
                                   QStringLiteral("basicshipit"), QStringLiteral("shipit"),
                                   QStringLiteral("livemethods")};
    return codes;
}

int shippingChoiceOf(bool useShipping, const QString& method)
{
    if (!useShipping)
        return 0;
    const qsizetype at = shippingMethodCodes().indexOf(method);
    return at < 0 ? -1 : int(at) + 1;
}

QString customShippingCode(const QString& method)
{
    if (method.isEmpty() || shippingMethodCodes().contains(method))
        return {};
    return method;
}

QString shippingMethodToStore(int choice, const QString& customCode)
{
    if (!customCode.isEmpty())
        return customCode;
    if (choice >= 1 && choice <= shippingMethodCodes().size())
        return shippingMethodCodes().at(choice - 1);
    return {};
}

int defaultWeightFromText(const QString& text)
{
    return parseInteger(text).value_or(1);
}

} // namespace os
