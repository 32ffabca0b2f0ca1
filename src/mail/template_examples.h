#pragma once

#include "base/settings.h"

#include <QString>

namespace os {

// The example letters of the template editor's "Show me an example".
enum class TemplateExample
{
    GenericLetter,
    PartiallyShipped,
    CompletelyShipped,
    ThankYouLetter,
    CouponPromotion,
    BlowOutSale
};

struct ExampleLetter
{
    QString from;    // "\"<CompanyName>\" <<infoMail>>"
    QString subject; // from the company name
    QString body;    // lines joined by "\n", the company placeholders filled
};

// An example with "<COMPANY_NAME>", "<HOMEPAGE>", "<INFO_EMAIL>" and
// "<COMPANY_PHONE>" replaced (in that order, by ReplaceTag) from the settings.
ExampleLetter exampleLetter(TemplateExample which, const Settings& s = settings());

} // namespace os
