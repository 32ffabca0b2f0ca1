#include "gui/orders/orders_commands.h"

#include "data/main_data_mod.h"
#include "gui/customers/customer_profile.h"
#include "gui/mail/new_message_type.h"
#include "gui/orders/change_price.h"
#include "gui/orders/complete_order_form.h"
#include "gui/orders/invoice_notes_form.h"
#include "gui/orders/orders_view.h"
#include "gui/orders/receive_pay_form.h"
#include "gui/orders/shipping_log.h"
#include "gui/orders/shipping_notes.h"
#include "gui/orders/statuspending.h"
#include "gui/orders/void_order_wiz.h"
#include "orders/order_checks.h"

namespace os {

namespace {

using V = TOrdersView;
using C = ChildCommand<TOrdersView>;

// Commands that take a state or a method: one function per menu item, since
// a row holds a plain function.
template <const char* State> void markOrder(V& v)
{
    v.MarkOrderClick(QLatin1String(State));
}
template <const char* State> void markAll(V& v)
{
    v.MarkAllClick(QLatin1String(State));
}
template <const char* Method> void changeMethod(V& v)
{
    v.ChangeMethodClick(QLatin1String(Method));
}
template <class Dialog> void open(V& v)
{
    v.openDialog<Dialog>();
}

// "New Message Type" with the current order as the letter's record.
class OrderLetterDialog : public TNewMessageType
{
public:
    explicit OrderLetterDialog(QWidget* parent)
        : TNewMessageType(*TMainDataMod::instance()->ORDERs, parent)
    {
    }
};

constexpr char kNew[] = "New";
constexpr char kPaymentReceived[] = "Payment Received";
constexpr char kShipped[] = "Shipped";
constexpr char kPartiallyShipped[] = "Partially Shipped";
constexpr char kComplete[] = "Complete";
constexpr char kStatusPending[] = "Status Pending";
constexpr char kVoid[] = "Void";

constexpr char kCreditCard[] = "Credit Card";
constexpr char kCreditCardByPhone[] = "Credit Card by Phone";
constexpr char kCOD[] = "COD";
constexpr char kPurchaseOrder[] = "Purchase Order";
constexpr char kRemoteCreditCard[] = "Remote Credit Card";
constexpr char kMailPayment[] = "Mail Payment";

// The pre-checks of the dialogs, on the current order.
bool receivePayment(V& v)
{
    return ReceivePaymentCheck(v.currentState());
}
bool shipOrder(V& v)
{
    return ShipOrderCheck(v.currentState());
}
bool completeOrder(V& v)
{
    return CompleteOrderCheck(v.currentState());
}
bool statusPending(V& v)
{
    return StatusPendingCheck(v.currentState());
}
bool voidOrder(V& v)
{
    return VoidOrderCheck(v.currentState());
}
bool changePrice(V& v)
{
    return ChangePriceCheck(v.currentState());
}

using P = TOrdersView::Place;

// clang-format off
const C kCommands[] = {
    // The toolbar, after the filter and the find box.
    {P::ToolBar, "Credit Card Pop-Up", "CCBUTTON", "TCCForm or TPhonePayment (cardWindowFor), modal", [](V& v) { v.CCBUTTONClick(); }},
    {P::ToolBar, "Activities", "ActivitiesBut", "the Activities menu", nullptr, nullptr, P::ActivitiesMenu},
    {P::ToolBar, "Notes", "NotesButton", "the Notes menu", nullptr, nullptr, P::NotesMenu},
    {P::ToolBar, "Profile", "ThisCustBut", "TCustomerPopup on its Billing page, modal", [](V& v) { showCustomerPopup(v, CustomerProfile::BillingPage); }},
    {P::ToolBar, "Export", "ExportButton", "a CSV file of the orders listed", [](V& v) { v.ExportClick(); }, nullptr, 0, true},

    {P::ActivitiesMenu, "Mark Order Wizards", "MarkOrderWizards1", "a submenu", nullptr, nullptr, P::WizardsMenu},
    {P::WizardsMenu, "Receive Payment Wizard", "ReceiveMayments1", "TReceivePay_Form, modal", open<TReceivePay_Form>, receivePayment},
    {P::WizardsMenu, "Ship Order Wizard", "ShipOrder1", "TShipping_Log, modal", open<TShipping_Log>, shipOrder},
    {P::WizardsMenu, "Complete Order Wizard", "MarkOrderComplete1", "TCompleteOrderForm, modal", open<TCompleteOrderForm>, completeOrder},
    {P::WizardsMenu, "Status Pending", "StatusPending2", "Tstatuspending, modal", open<Tstatuspending>, statusPending, 0, true},
    {P::WizardsMenu, "Void This Order", "VoidOrder1", "TVoidOrderWiz, modal", open<TVoidOrderWiz>, voidOrder},

    {P::ActivitiesMenu, "Mark Order", "MarkOrder1", "a submenu", nullptr, nullptr, P::MarkOrderMenu},
    {P::MarkOrderMenu, "New", "MarkOrderNew1", "marks the order", markOrder<kNew>},
    {P::MarkOrderMenu, "Payment Received", "PaymentReceived1", "marks the order", markOrder<kPaymentReceived>},
    {P::MarkOrderMenu, "Shipped", "MarkOrderShipped1", "marks the order", markOrder<kShipped>},
    {P::MarkOrderMenu, "Partially Shipped", "MarkOrderPartiallyShipped1", "marks the order", markOrder<kPartiallyShipped>},
    {P::MarkOrderMenu, "Complete", "MarkOrderComplete2", "marks the order", markOrder<kComplete>},
    {P::MarkOrderMenu, "Status Pending", "StatusPending1", "marks the order", markOrder<kStatusPending>},
    {P::MarkOrderMenu, "Void", "Void1", "marks the order", markOrder<kVoid>},

    {P::ActivitiesMenu, "Change Price", "ChangePrice1", "TChangePrice, modal", open<TChangePrice>, changePrice, 0, true},
    {P::ActivitiesMenu, "Delete Order", "Deleterecord1", "deletes the order and its invoice", [](V& v) { v.DeleterecordClick(); }},

    {P::ActivitiesMenu, "Change Payment Method To", "ChangePaymentMethodTo1", "a submenu", nullptr, nullptr, P::PaymentMethodMenu, true},
    {P::PaymentMethodMenu, "Credit Card", "CreditCard1", "sets the method", changeMethod<kCreditCard>},
    {P::PaymentMethodMenu, "Credit Card By Phone", "CreditCardByPhone1", "sets the method", changeMethod<kCreditCardByPhone>},
    {P::PaymentMethodMenu, "COD", "COD1", "sets the method", changeMethod<kCOD>},
    {P::PaymentMethodMenu, "Purchase Order", "PurchaseOrder1", "sets the method", changeMethod<kPurchaseOrder>},
    {P::PaymentMethodMenu, "Remote Credit Card", "RemoteCreditCard1", "sets the method", changeMethod<kRemoteCreditCard>},
    {P::PaymentMethodMenu, "Mail Payment", "MailPayment1", "sets the method", changeMethod<kMailPayment>},

    {P::ActivitiesMenu, "Send Letter", "SendLetter1", "TNewMessageType with ORDERs as the record, modal", open<OrderLetterDialog>, nullptr, 0, true},
    {P::ActivitiesMenu, "Show all orders from this customer", "Showallorderfromthiscustomer1", "the Custom filter on CUSTID", [](V& v) { v.ShowAllFromCustomerClick(); }},

    {P::ActivitiesMenu, "Mark ALL of These Orders", "MarkALLofTheseOrders1", "a submenu", nullptr, nullptr, P::MarkAllMenu, true},
    {P::MarkAllMenu, "New", "New1", "marks every order of the state", markAll<kNew>},
    {P::MarkAllMenu, "Payment Received", "PaymentReceived2", "marks every order of the state", markAll<kPaymentReceived>},
    {P::MarkAllMenu, "Shipped", "Shipped1", "marks every order of the state", markAll<kShipped>},
    {P::MarkAllMenu, "Partially Shipped", "PartiallyShipped1", "marks every order of the state", markAll<kPartiallyShipped>},
    {P::MarkAllMenu, "Complete", "Complete1", "marks every order of the state", markAll<kComplete>},
    {P::MarkAllMenu, "Status Pending", "StatusPending3", "marks every order of the state", markAll<kStatusPending>},
    {P::MarkAllMenu, "Void", "Void2", "marks every order of the state", markAll<kVoid>},

    {P::NotesMenu, "Order Notes", "OrderNotes1", "TInvoiceNotesForm, modal", open<TInvoiceNotesForm>},
    {P::NotesMenu, "Shipping Log", "ShippingLog1", "TShippingNotes, modal", open<TShippingNotes>},
    {P::NotesMenu, "Customer Notes", "CustomerNotes1", "TCustomerPopup on its Notes page, modal", [](V& v) { showCustomerPopup(v, CustomerProfile::NotesPage); }},
};
// clang-format on

} // namespace

std::span<const ChildCommand<TOrdersView>> ordersViewCommands()
{
    return kCommands;
}

} // namespace os
