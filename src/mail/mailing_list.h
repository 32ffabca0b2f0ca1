#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace os {

class Table;

// The mailing-list merge: one Quillform template merged with every
// subscribed customer a customer list shows, queued in the outbox under one
// TYPE so that the batch can be filtered or deleted as a group.
struct MailingListMerge
{
    enum class Outcome
    {
        Done,            // every subscribed customer got a letter
        InvalidTemplate, // the template name does not name exactly one template (nothing queued)
        Refused          // a letter was refused (the completeness message was shown); the
                         // letters before it stay queued
    };
    Outcome outcome = Outcome::Done;
    int letters = 0; // queued
    // One notOneAddressText per subscribed customer whose EMAIL is not
    // exactly one address: no letter for them, the merge goes on.
    QStringList notOneAddress;
};

// "Could not create form letter because the form letter name was invalid."
extern const char* const kInvalidFormLetter;
// " messages added to your OutBox." (after the count)
extern const char* const kMessagesAdded;

// The names of every template (form_letters.db DOCNAME), in name order.
QStringList templateNames(const QString& dir);
// The DOCBODY of the template named `docName` (empty when there is none).
QString templateBody(const QString& dir, const QString& docName);

// Merges template `docName` with the rows `customers` lists (its filter and
// search in force, in its order): a customer whose SUBSCRIBE is true gets a
// letter (empty counts as not subscribed); MergeLetter fills the customer
// tags and empties the order tags, %io_shipping_info_structure% stays as it
// is. Each letter goes to outbox.db with SUBJECT = DOCNAME, TO = the
// customer's EMAIL, FROM = the template's FROM, IDATE = now, TYPE = `type`.
//
// All letters are written in one transaction; a refused letter (no e-mail
// address, say) shows the outbox's completeness message and ends the merge
// with the letters before it kept. `progress(letters)` is called as letters
// are queued. Any other failure throws os::Error; the letters queued before
// it are kept as far as the engine could keep them.
MailingListMerge mergeMailingList(const Table& customers, const QString& dir,
                                  const QString& docName, const QString& type,
                                  const std::function<void(int letters)>& progress = {});

} // namespace os
