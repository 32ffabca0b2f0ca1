#include "mail/template_examples.h"

#include "base/text_utils.h"

#include <QStringList>

namespace os {

namespace {

QStringList shippedLines(bool partial)
{
    QStringList l{
        QStringLiteral("Dear %io_name%,"),
        QString(),
        QStringLiteral("We thought you'd like to know the status of your order. Below, you will "
                       "find the most recent shipping profile regarding order number "
                       "%io_invoice_number% dated %io_order_date_time%."),
        QString(),
    };
    if (partial)
        l << QStringLiteral("Note that not all items have been shipped:");
    l << QStringLiteral("%io_shipping_info_structure%") << QString()
      << QStringLiteral("If you have any questions regarding your order, please contact us at "
                        "<INFO_EMAIL>.")
      << QString() << QStringLiteral("With Regards,") << QString()
      << QStringLiteral("The entire staff of <COMPANY_NAME>") << QString()
      << QStringLiteral("<HOMEPAGE>");
    return l;
}

QStringList productEntry(const QString& nameLine, const QString& description, const QString& page)
{
    const QString rule(14, QLatin1Char('-'));
    return {rule, nameLine, rule, description, QString(), QStringLiteral("See: <HOMEPAGE>") + page};
}

QStringList exampleLines(TemplateExample which)
{
    switch (which) {
    case TemplateExample::GenericLetter:
        return {QStringLiteral("Dear %io_name%,"),
                QString(),
                QStringLiteral("<Place Comments Here Before Sending>"),
                QString(),
                QStringLiteral("With Regards,"),
                QString(),
                QStringLiteral("The entire staff of <COMPANY_NAME>"),
                QStringLiteral("--------------"),
                QStringLiteral("Email: <INFO_EMAIL>"),
                QStringLiteral("Home Page: <HOMEPAGE>")};
    case TemplateExample::PartiallyShipped:
        return shippedLines(true);
    case TemplateExample::CompletelyShipped:
        return shippedLines(false);
    case TemplateExample::ThankYouLetter:
        return {QStringLiteral("Dear %io_name%,"),
                QString(),
                QStringLiteral("We would like to thank you for your recent purchase dated "
                               "%io_order_date_time%. This order was shipped and our records "
                               "indicate that you should have received it now. We hope that your "
                               "shopping experience with <COMPANY_NAME> has been a positive "
                               "one. "),
                QString(),
                QStringLiteral("We welcome any comments regarding your order and any feedback "
                               "you feel will help us improve your shopping experience in the "
                               "future. "),
                QString(),
                QStringLiteral("You can visit our home page at: <HOMEPAGE>"),
                QString(),
                QStringLiteral("If you have any questions regarding your order, please contact "
                               "us at <INFO_EMAIL> or call us at <COMPANY_PHONE>."),
                QString(),
                QStringLiteral("With Regards,"),
                QString(),
                QStringLiteral("The entire staff of <COMPANY_NAME>")};
    case TemplateExample::CouponPromotion:
        return {QStringLiteral("Dear %io_name%,"),
                QString(),
                QStringLiteral("As an account holder at <COMPANY_NAME>, we want to thank you and "
                               "we hope your visit to our web site was a positive experience. We "
                               "are always striving to provide you with the best customer "
                               "service possible."),
                QString(),
                QStringLiteral("So, %io_name%, to show you our appreciation, we would like to give "
                               "you this coupon* code:"),
                QString(),
                QStringLiteral("ABCD-64"),
                QString(),
                QStringLiteral("Simply enter this coupon code in the appropriate box upon your "
                               "next online order with <COMPANY_NAME> and you will receive an 8% "
                               "discount on all merchandise!"),
                QString(),
                QStringLiteral("* Coupon expires in 30 days"),
                QString(),
                QStringLiteral("Visit us at:  <HOMEPAGE>"),
                QString(),
                QStringLiteral("With Regards,"),
                QString(),
                QStringLiteral("The entire staff of <COMPANY_NAME>")};
    case TemplateExample::BlowOutSale: {
        const QString rule(60, QLatin1Char('-'));
        QStringList l{QStringLiteral("%io_name%!"),
                      QString(),
                      rule,
                      QStringLiteral("BLOW OUT SALE!"),
                      rule,
                      QStringLiteral("Home Page: <HOMEPAGE>"),
                      QString()};
        l << productEntry(QStringLiteral("Widget $19.95"),
                          QStringLiteral("This is a great widget, one of the best! Rated #1 by "
                                         "The Consumer magazine!"),
                          QStringLiteral("products/widget.html"));
        l << QString();
        l << productEntry(QStringLiteral("Widget 2 $19.95 "),
                          QStringLiteral("Enter information about the product here."),
                          QStringLiteral("products/widget2.html"));
        return l;
    }
    }
    return {};
}

QString exampleSubject(TemplateExample which, const QString& company)
{
    switch (which) {
    case TemplateExample::GenericLetter:
        return company;
    case TemplateExample::PartiallyShipped:
        return QStringLiteral("Notice Of Partial Shipment -- ") + company;
    case TemplateExample::CompletelyShipped:
        return QStringLiteral("Notice Of Shipment -- ") + company;
    case TemplateExample::ThankYouLetter:
        return QStringLiteral("Thank You From ") + company;
    case TemplateExample::CouponPromotion:
        return QStringLiteral("A Present From ") + company;
    case TemplateExample::BlowOutSale:
        return QStringLiteral("Blow Out Sale At ") + company;
    }
    return company;
}

} // namespace

ExampleLetter exampleLetter(TemplateExample which, const Settings& s)
{
    QString body = exampleLines(which).join(QLatin1Char('\n'));
    body = ReplaceTag(body, QStringLiteral("<COMPANY_NAME>"), s.CompanyName);
    body = ReplaceTag(body, QStringLiteral("<HOMEPAGE>"), s.Home_page);
    body = ReplaceTag(body, QStringLiteral("<INFO_EMAIL>"), s.infoMail);
    body = ReplaceTag(body, QStringLiteral("<COMPANY_PHONE>"), s.CompanyPhone);
    return {QLatin1Char('"') + s.CompanyName + QStringLiteral("\" <") + s.infoMail +
                QLatin1Char('>'),
            exampleSubject(which, s.CompanyName), body};
}

} // namespace os
