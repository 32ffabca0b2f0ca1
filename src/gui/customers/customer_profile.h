#pragma once

#include "customers/purchase_history.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace os {

class DbGrid;
class RecordNavigator;
class Table;
class TMainCustomersView;
class TOrdersView;

// The Customer Pop-Up: one customer's billing and shipping data, the notes
// the customer keeps in the store account, the merchant's own notes and the
// purchase history with its figures. Read-only but for the merchant's notes,
// which are stored when the window closes. Modal; two variants share it:
// TCustomersForm (from the Customers View) and TCustomerPopup (from the
// Orders View).
class CustomerProfile : public QDialog
{
    Q_OBJECT
public:
    enum Page
    {
        BillingPage = 0,
        ShippingPage,
        NotesPage,
        HistoryPage
    };

    ProfileVariant variant() const { return m_variant; }
    qint64 customerId() const { return m_custId; }
    PurchaseFigures figures() const { return m_figures; }

    // The field showing a column of the customer's record (COMPANY, SNAME, ...).
    QLineEdit* field(const QString& column) const { return m_fields.value(column); }

    void GoToOrderClick();
    void ViewOrdersClick();
    // The Sent Items window on the customer's address, or "No records in the
    // Sent Box match this e-mail address." when it would be empty.
    void SentItemsFilterClick();
    // New Message Type with the customer's record to merge from.
    void EmailButtonClick();

    QTabWidget* Pages = nullptr;
    QCheckBox* Subscribed = nullptr;
    QToolButton* EmailButton = nullptr;
    QPushButton* SentItemsFilter = nullptr;
    QPlainTextEdit* CustomerAccountNotes = nullptr;
    QPlainTextEdit* YourAccountNotes = nullptr;
    DbGrid* HistoryGrid = nullptr;
    RecordNavigator* HistoryNavigator = nullptr;
    QPushButton* GoToOrderButton = nullptr;
    QPushButton* ViewOrdersButton = nullptr;
    QLabel* OrderCount = nullptr;
    QLabel* Average = nullptr;
    QLabel* Total = nullptr;
    QLabel* FirstOrder = nullptr;
    QLabel* LastOrder = nullptr;
    QPushButton* CloseButton = nullptr;

    void done(int result) override;

protected:
    CustomerProfile(ProfileVariant variant, qint64 custId, QWidget* parent);
    // The orders browser the history's commands act on; null when none is
    // open yet (the Customers View variant opens it).
    virtual TOrdersView* ordersView() = 0;
    // Fills the pages: `customer` is positioned on the customer (or empty),
    // `notes` follows it.
    void load(Table* customer, Table* notes);

private:
    QWidget* buildBilling();
    QWidget* buildShipping();
    QWidget* buildNotes();
    QWidget* buildHistory();
    QLineEdit* addField(QFormLayout* form, const QString& label, const QString& column);
    void addAddressFields(QFormLayout* form, const QString& prefix);
    bool storeNotes(); // false: refused (shown), the text stays
    void showOrders(const QString& column, const QString& value);

    ProfileVariant m_variant;
    Table* m_customer = nullptr;
    Table* m_notes = nullptr;
    Table* ALLORDERS = nullptr;
    qint64 m_custId = 0;
    PurchaseFigures m_figures;
    QHash<QString, QLineEdit*> m_fields;
    bool m_found = false; // the customer's record is there
    bool m_notesTyped = false;
    bool m_closed = false;
};

// "Customer Pop-Up [Customers View]": the current row of the Customers View,
// through its own CUSTTABLE and MuCustomerNotes.
class TCustomersForm : public CustomerProfile
{
    Q_OBJECT
public:
    explicit TCustomersForm(qint64 custId, QWidget* parent = nullptr);
    ~TCustomersForm() override;

protected:
    TOrdersView* ordersView() override;

private:
    Table* CUSTTABLE = nullptr;
    Table* MuCustomerNotes = nullptr;
};

// "Customer Pop-Up [Orders View]": the customer of the current order,
// through the shared CUSTOMERS and CustomerNotes.
class TCustomerPopup : public CustomerProfile
{
    Q_OBJECT
public:
    explicit TCustomerPopup(TOrdersView* orders, QWidget* parent = nullptr);

protected:
    TOrdersView* ordersView() override;

private:
    QPointer<QObject> m_orders; // the TOrdersView
};

// The orders browser's "Profile" (Billing page) and "Customer Notes" (Notes page).
void showCustomerPopup(TOrdersView& orders, CustomerProfile::Page page);

} // namespace os
