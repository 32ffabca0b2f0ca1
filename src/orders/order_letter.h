#pragma once

#include "mail/merge_letter.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace os {

class Table;

// The letters an order dialog queues: Complete Order's thank-you letter
// (type "SERVICE") and the Shipping Wizard's notice (type "SHIPPING").
enum class OrderLetterKind
{
    Complete,
    Shipping
};

// The order letter merge: ReplaceTag once per tag, with the values of the
// order's columns (`order`), in the order the letter's dialog uses. Both
// fill the customer tags, then %order_date_time%; Complete Order goes on
// with %invoice_number%, %customer_id%, %order_total%, %payment_method%,
// %coupon_code% and the same with "io_", then %io_shipping_info_structure%
// (the block it passes is empty, so the tag goes); the Shipping Wizard fills
// %io_order_date_time%, %invoice_number% and %io_invoice_number% first and
// the rest in that order. A value inserted for one tag is scanned by the
// later ones; an empty column gives an empty value.
QString mergeOrderLetter(const QString& body, const MergeField& order, const QString& shippingBlock,
                         OrderLetterKind kind);

// An order's date and time in its letters: the locale's short date and its
// long time (letterDateTime); at exactly midnight the date alone.
QString orderLetterDateTime(const QDateTime& when);

enum class OrderLetterResult
{
    Queued,             // in the outbox
    NameInvalid,        // no template of that name: the dialog stays open
    MissingShippingTag, // records but no tag in the template: the wizard stays open
    Refused,            // the outbox refused the letter, or the order's EMAIL is not exactly
                        // one address; nothing was queued
    Failed              // another failure, shown with its text; nothing was queued
};

// Makes the letter for the current order of `orders` from the template
// named `templateName` (form_letters.db in the orders' directory) and queues
// it (queueMessage): subject the template's name, sender its FROM,
// recipient the order's EMAIL, which must be exactly one address (else
// notOneAddressText naming the order is shown and nothing is queued). For the Shipping Wizard,
// `shippingBlock` is the order's block (ShippingInfoBlock): when it is not empty the template body
// must hold "%io_shipping_info_structure%" written exactly so. Shows what went wrong: "Could not
// create form letter because the form letter name was invalid.", the missing-tag text, the outbox's
// refusal followed by "Operation aborted", or the failure's own text; and for the Shipping Wizard
// "A message has been added to the OutBox" once queued.
OrderLetterResult queueOrderLetter(const Table& orders, const QString& templateName,
                                   OrderLetterKind kind, const QString& shippingBlock = {});

// Every template name (DOCNAME of form_letters.db in `dir`), in name order,
// for the dialogs' lists. Throws DbError.
QStringList letterTemplateNames(const QString& dir);

// The texts, for the dialogs' tests.
extern const char* const kInvalidLetterName;
extern const char* const kMissingShippingTag;
extern const char* const kOperationAborted;
extern const char* const kAddedToOutBox;

} // namespace os
