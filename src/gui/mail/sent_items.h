#pragma once

#include "gui/mail/browse_dialog.h"

class QLineEdit;
class QMenu;

namespace os {

class MessageFields;
class Query;
class Table;

// "Sent Items": the copies of the messages the outbox run handed to the mail
// server, narrowed to one recipient address if wished; "Delete" removes the
// current copy at once, "Empty" (after a question) every copy.
//
// The customer profile opens it on one customer's address:
//     TSentItems window(parent);
//     const int count = window.filterOnAddress(email);
//     window.exec();
class TSentItems : public BrowseDialog
{
    Q_OBJECT
public:
    explicit TSentItems(QWidget* parent = nullptr);

    // Filters Table1 to the copies whose TO equals `address` (exactly, case
    // and quotes included), enables "Remove Filter" and returns the number
    // of copies the filter leaves.
    int filterOnAddress(const QString& address);

    Table* Table1 = nullptr;
    Query* Query1 = nullptr; // "delete from sentitems.db"
    MessageFields* Message = nullptr;
    QLineEdit* AddressEdit = nullptr;
    QAction* EmptyAction = nullptr;
    QAction* CloseAction = nullptr;
    QAction* DeleteAction = nullptr;
    QAction* FilterAction = nullptr;
    QAction* RemoveFilterAction = nullptr;
    QMenu* GridMenu = nullptr;
    QAction* FilterAddressItem = nullptr; // "Filter on this email address"

    void EmptyClick();
    void DeleteClick();
    void FilterClick();
    void FilterAddressClick();
    void RemoveFilterClick();
    void updateCommands() override;

protected:
    void done(int result) override; // closes Table1

private:
    void showCurrent();
};

} // namespace os
