#include "orders/order_letter.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/text_utils.h"
#include "data/query.h"
#include "data/table.h"
#include "mail/outbox.h"

#include <QLocale>

#include <optional>

namespace os {

const char* const kInvalidLetterName =
    "Could not create form letter because the form letter name was invalid.";
const char* const kMissingShippingTag =
    "You have entries in the shipping log, but the selected Quillform Template does not contain "
    "the required %io_shipping_info_structure% Quillform. This means that the shipping "
    "information structure can not be sent to this shopper.";
const char* const kOperationAborted = "Operation aborted";
const char* const kAddedToOutBox = "A message has been added to the OutBox";

namespace {

struct OrderTag
{
    const char* tag;
    const char* column; // none for the shipping block the caller passes
    TagValue kind;
};

// The tags of an order letter; Complete Order replaces them in this order.
const OrderTag kTags[] = {
    {"%io_name%", "NAME", TagValue::Text},
    {"%io_street%", "STREET", TagValue::Text},
    {"%io_city%", "CITY", TagValue::Text},
    {"%io_state%", "STATE", TagValue::Text},
    {"%io_zip%", "ZIP", TagValue::Text},
    {"%io_country%", "COUNTRY", TagValue::Text},
    {"%order_date_time%", "IDATE", TagValue::DateTime},
    {"%invoice_number%", "INV", TagValue::Number},
    {"%customer_id%", "CUSTID", TagValue::Number},
    {"%order_total%", "TOTAL", TagValue::Money},
    {"%payment_method%", "METHOD", TagValue::Text},
    {"%coupon_code%", "COUPON", TagValue::Text},
    {"%io_order_date_time%", "IDATE", TagValue::DateTime},
    {"%io_invoice_number%", "INV", TagValue::Number},
    {"%io_customer_id%", "CUSTID", TagValue::Number},
    {"%io_order_total%", "TOTAL", TagValue::Money},
    {"%io_payment_method%", "METHOD", TagValue::Text},
    {"%io_coupon_code%", "COUPON", TagValue::Text},
    {kShippingInfoTag, nullptr, TagValue::Text},
};

// The Shipping Wizard's order: the first seven, then the order's date and
// number tags, then the rest as above.
const int kShippingOrder[] = {0, 1, 2, 3, 4, 5, 6, 12, 7, 13, 8, 9, 10, 11, 14, 15, 16, 17, 18};

QString valueOf(const OrderTag& t, const MergeField& order, const QString& shippingBlock)
{
    if (!t.column)
        return shippingBlock;
    return tagValueText(order(QLatin1String(t.column)), t.kind, orderLetterDateTime);
}

struct LetterTemplate
{
    QString name, body, from;
};

// The template named exactly `name`; nothing unless there is exactly one.
std::optional<LetterTemplate> findTemplate(const QString& dir, const QString& name)
{
    Query q;
    q.setDirectory(dir);
    q.setSql(QStringLiteral("SELECT DOCNAME, DOCBODY, \"FROM\" FROM \"form_letters.db\" WHERE "
                            "DOCNAME = :NAME"));
    q.setParam(QStringLiteral("NAME"), name);
    q.open();
    if (q.eof())
        return std::nullopt;
    LetterTemplate t{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
    q.next();
    if (!q.eof())
        return std::nullopt;
    return t;
}

} // namespace

QStringList letterTemplateNames(const QString& dir)
{
    Query q;
    q.setDirectory(dir);
    q.setSql(QStringLiteral("SELECT DOCNAME FROM \"form_letters.db\" ORDER BY DOCNAME"));
    q.open();
    QStringList names;
    for (; !q.eof(); q.next())
        names << q.value(0).toString();
    return names;
}

QString orderLetterDateTime(const QDateTime& when)
{
    if (!when.isValid())
        return QString();
    if (when.time() == QTime(0, 0))
        return QLocale::system().toString(when.date(), QLocale::ShortFormat);
    return letterDateTime(when);
}

QString mergeOrderLetter(const QString& body, const MergeField& order, const QString& shippingBlock,
                         OrderLetterKind kind)
{
    QString text = body;
    for (int i = 0; i < int(std::size(kTags)); ++i) {
        const OrderTag& t = kTags[kind == OrderLetterKind::Shipping ? kShippingOrder[i] : i];
        text = ReplaceTag(text, QLatin1String(t.tag), valueOf(t, order, shippingBlock));
    }
    return text;
}

OrderLetterResult queueOrderLetter(const Table& orders, const QString& templateName,
                                   OrderLetterKind kind, const QString& shippingBlock)
{
    const bool shipping = kind == OrderLetterKind::Shipping;
    try {
        const std::optional<LetterTemplate> t = findTemplate(orders.directory(), templateName);
        if (!t) {
            messages().warning(QLatin1String(kInvalidLetterName));
            return OrderLetterResult::NameInvalid;
        }
        // Written exactly so: a tag in other capitals would be filled, but the
        // merchant's records would not reach the shopper as the template means.
        if (shipping && !shippingBlock.isEmpty() &&
            !t->body.contains(QLatin1String(kShippingInfoTag))) {
            messages().warning(QLatin1String(kMissingShippingTag));
            return OrderLetterResult::MissingShippingTag;
        }
        // A store-sent address goes to exactly one recipient (an empty one is
        // the outbox's to refuse).
        QString to = orders.value(QStringLiteral("EMAIL")).toString();
        if (!to.trimmed().isEmpty()) {
            const std::optional<QString> one = singleStoreAddress(to);
            if (!one) {
                messages().error(notOneAddressText(
                    QStringLiteral("order %1").arg(orders.value(QStringLiteral("INV")).toString()),
                    to));
                return OrderLetterResult::Refused;
            }
            to = *one;
        }
        const QString body = mergeOrderLetter(
            t->body, [&orders](const QString& column) { return orders.value(column); },
            shippingBlock, kind);
        const OutboxMessage message{shipping ? QStringLiteral("SHIPPING")
                                             : QStringLiteral("SERVICE"),
                                    t->name, to, t->from, body};
        if (!queueMessage(message)) {
            // The outbox showed why; its insert is already cancelled, so the
            // next letter starts from a clean outbox.
            messages().error(QLatin1String(kOperationAborted));
            return OrderLetterResult::Refused;
        }
    } catch (const Error& e) {
        messages().error(e.text());
        return OrderLetterResult::Failed;
    }
    if (shipping)
        messages().info(QLatin1String(kAddedToOutBox));
    return OrderLetterResult::Queued;
}

} // namespace os
