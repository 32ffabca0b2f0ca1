#include "gui/customers/customer_profile.h"
#include "gui/app/window_size.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/text_utils.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/help_window.h"
#include "gui/app/main_form.h"
#include "gui/app/record_navigator.h"
#include "gui/mail/new_message_type.h"
#include "gui/mail/sent_items.h"
#include "gui/orders/orders_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace os {

namespace {

const char* const kNoSentItems = "No records in the Sent Box match this e-mail address.";

QString dataDir()
{
    TMainDataMod* data = TMainDataMod::instance();
    return data ? data->directory() : QString();
}

// A pane of the history's status line, wide enough for the widest of the
// texts it may show (`samples`), in its own font: a date or a sum is never
// cut off, whatever the font, the locale's formats or the screen's scale.
QLabel* paneValue(QWidget* parent, const char* name, const QStringList& samples)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    const QFontMetrics fm = l->fontMetrics();
    int widest = 0;
    for (const QString& text : samples)
        widest = qMax(widest, fm.horizontalAdvance(text));
    l->setMinimumWidth(widest + 2 * (l->frameWidth() + l->margin()) + fm.averageCharWidth());
    return l;
}

// The dates a date pane may show at their widest: a two-digit day in every
// month (the short format may name the month).
QStringList widestDates()
{
    QStringList dates;
    for (int month = 1; month <= 12; ++month)
        dates << orderDateText(QDateTime(QDate(2088, month, 28), QTime(12, 0)));
    return dates;
}

} // namespace

CustomerProfile::CustomerProfile(ProfileVariant variant, qint64 custId, QWidget* parent)
    : QDialog(parent), m_variant(variant), m_custId(custId)
{
    setObjectName(variant == ProfileVariant::CustomersView ? QStringLiteral("CustomersForm")
                                                           : QStringLiteral("CustomerPopup"));
    setWindowTitle(variant == ProfileVariant::CustomersView
                       ? QStringLiteral("Customer Pop-Up [Customers View]")
                       : QStringLiteral("Customer Pop-Up [Orders View]"));
    setProperty("helpTopic", 28);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [] { showHelpTopic(28); });

    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Customer Pop-Up"), this);
    QFont big = heading->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    heading->setFont(big);
    layout->addWidget(heading);
    layout->addWidget(
        new QLabel(QStringLiteral("This view shows the current profile for this customer"), this));

    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addTab(buildBilling(), QStringLiteral("Billing"));
    Pages->addTab(buildShipping(), QStringLiteral("Shipping"));
    Pages->addTab(buildNotes(), QStringLiteral("Notes"));
    Pages->addTab(buildHistory(), QStringLiteral("Purchase History"));
    layout->addWidget(Pages, 1);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    CloseButton = new QPushButton(QStringLiteral("&Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setDefault(true);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(CloseButton);
    layout->addLayout(row);

    // Wide enough for every column of the purchase history.
    resizeWithinScreen(this, QSize(qMax(fontMetrics().averageCharWidth() * 110,
                                        windowWidthForGrid(this, HistoryGrid)),
                                   fontMetrics().height() * 30));
}

QLineEdit* CustomerProfile::addField(QFormLayout* form, const QString& label, const QString& column)
{
    auto* edit = new QLineEdit(form->parentWidget());
    edit->setObjectName(QStringLiteral("Edit") + column);
    edit->setReadOnly(true);
    form->addRow(label, edit);
    m_fields.insert(column, edit);
    return edit;
}

// Company, name, street, city, state, ZIP and phone; `prefix` "S" names the
// shipping columns.
void CustomerProfile::addAddressFields(QFormLayout* form, const QString& prefix)
{
    static const char* const kFields[][2] = {
        {"Company:", "COMPANY"}, {"Name:", "NAME"}, {"Street:", "STREET"}, {"City:", "CITY"},
        {"State:", "STATE"},     {"ZIP:", "ZIP"},   {"Phone:", "PHONE"}};
    for (const auto& f : kFields)
        addField(form, QString::fromLatin1(f[0]), prefix + QLatin1String(f[1]));
}

QWidget* CustomerProfile::buildBilling()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    addAddressFields(form, QString());

    // The e-mail field carries its button.
    auto* mailRow = new QHBoxLayout;
    auto* mail = new QLineEdit(page);
    mail->setObjectName(QStringLiteral("EditEMAIL"));
    mail->setReadOnly(true);
    m_fields.insert(QStringLiteral("EMAIL"), mail);
    mailRow->addWidget(mail, 1);
    EmailButton = new QToolButton(page);
    EmailButton->setObjectName(QStringLiteral("EmailButton"));
    EmailButton->setText(QStringLiteral("E-Mail..."));
    EmailButton->setToolTip(QStringLiteral("Write an e-mail to this customer"));
    connect(EmailButton, &QToolButton::clicked, this, &CustomerProfile::EmailButtonClick);
    mailRow->addWidget(EmailButton);
    form->addRow(QStringLiteral("E-Mail:"), mailRow);

    addField(form, QStringLiteral("Password:"), QStringLiteral("PASS"));
    addField(form, QStringLiteral("Customer ID:"), QStringLiteral("CUSTID"));
    Subscribed = new QCheckBox(QStringLiteral("Subscribed"), page);
    Subscribed->setObjectName(QStringLiteral("Subscribed"));
    // Shown, never changed here.
    Subscribed->setAttribute(Qt::WA_TransparentForMouseEvents);
    Subscribed->setFocusPolicy(Qt::NoFocus);
    form->addRow(QString(), Subscribed);

    // A link: a flat button in the link colour, underlined.
    SentItemsFilter = new QPushButton(QStringLiteral("Sent Items Filter"), page);
    SentItemsFilter->setObjectName(QStringLiteral("SentItemsFilter"));
    SentItemsFilter->setFlat(true);
    SentItemsFilter->setAutoDefault(false);
    SentItemsFilter->setCursor(Qt::PointingHandCursor);
    SentItemsFilter->setToolTip(QStringLiteral("The messages sent to this customer's address"));
    QFont link = SentItemsFilter->font();
    link.setUnderline(true);
    SentItemsFilter->setFont(link);
    QPalette linkColour = SentItemsFilter->palette();
    linkColour.setColor(QPalette::ButtonText, linkColour.color(QPalette::Link));
    SentItemsFilter->setPalette(linkColour);
    connect(SentItemsFilter, &QPushButton::clicked, this, &CustomerProfile::SentItemsFilterClick);
    auto* linkRow = new QHBoxLayout;
    linkRow->addWidget(SentItemsFilter);
    linkRow->addStretch(1);
    form->addRow(QString(), linkRow);
    return page;
}

QWidget* CustomerProfile::buildShipping()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    addAddressFields(form, QStringLiteral("S"));
    if (m_variant == ProfileVariant::OrdersView) {
        auto* note = new QLabel(
            QStringLiteral("Note: If you are using the Gift Module, this profile does not include "
                           "gift addresses. See the HTML tab in the order view window for detailed "
                           "shipping information."),
            page);
        note->setObjectName(QStringLiteral("GiftNote"));
        note->setWordWrap(true);
        form->addRow(note);
    }
    return page;
}

QWidget* CustomerProfile::buildNotes()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Customer's Account Notes"), page));
    CustomerAccountNotes = new QPlainTextEdit(page);
    CustomerAccountNotes->setObjectName(QStringLiteral("CustomerAccountNotes"));
    CustomerAccountNotes->setReadOnly(true);
    CustomerAccountNotes->setTabChangesFocus(true);
    layout->addWidget(CustomerAccountNotes, 1);
    auto* yours = new QLabel(QStringLiteral("Your Account Notes:"), page);
    layout->addWidget(yours);
    YourAccountNotes = new QPlainTextEdit(page);
    YourAccountNotes->setObjectName(QStringLiteral("YourAccountNotes"));
    YourAccountNotes->setTabChangesFocus(true);
    yours->setBuddy(YourAccountNotes);
    layout->addWidget(YourAccountNotes, 1);
    return page;
}

QWidget* CustomerProfile::buildHistory()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    ALLORDERS = new Table(QStringLiteral("orders"), this);
    ALLORDERS->setObjectName(m_variant == ProfileVariant::CustomersView
                                 ? QStringLiteral("ALLORDERS")
                                 : QStringLiteral("Query1"));
    HistoryGrid = new DbGrid(page);
    HistoryGrid->setObjectName(QStringLiteral("HistoryGrid"));
    const QList<GridColumn> columns{
        {"INV", "Invoice", 8},
        {"IDATE", "Date"},
        {"TOTAL", "Total", 0, {}, GridFormat::Currency, QColor(0xFF, 0x00, 0x00)},
        {"ORDERSTATE", "Order Status", 16},
        {"COMPANY", "Company", 16},
        {"NAME", "Name", 18},
        {"METHOD", "Method", 16},
        {"CARDNUM", "Card Number", 16},
        {"CARDTYPE", "Card Type", 12},
        {"PURCHASEORDER", "Purchase Order", 12},
    };
    HistoryGrid->setTable(ALLORDERS, columns);

    auto* bar = new QHBoxLayout;
    HistoryNavigator =
        new RecordNavigator(HistoryGrid->tableModel(), RecordNavigator::Browsing, page);
    bar->addWidget(HistoryNavigator);
    bar->addStretch(1);
    GoToOrderButton = new QPushButton(QStringLiteral("Go To Selected Order"), page);
    GoToOrderButton->setObjectName(QStringLiteral("GoToOrderButton"));
    GoToOrderButton->setAutoDefault(false);
    connect(GoToOrderButton, &QPushButton::clicked, this, &CustomerProfile::GoToOrderClick);
    bar->addWidget(GoToOrderButton);
    ViewOrdersButton = new QPushButton(QStringLiteral("View These Orders in Orders View"), page);
    ViewOrdersButton->setObjectName(QStringLiteral("ViewOrdersButton"));
    ViewOrdersButton->setAutoDefault(false);
    connect(ViewOrdersButton, &QPushButton::clicked, this, &CustomerProfile::ViewOrdersClick);
    bar->addWidget(ViewOrdersButton);
    layout->addLayout(bar);
    layout->addWidget(HistoryGrid, 1);

    auto* status = new QHBoxLayout;
    auto pane = [&](const QString& caption, const char* name, const QStringList& samples) {
        status->addWidget(new QLabel(caption, page));
        QLabel* value = paneValue(page, name, samples);
        status->addWidget(value);
        return value;
    };
    OrderCount = pane(QStringLiteral("Number of Orders"), "OrderCount", {QStringLiteral("88888")});
    Average = pane(QStringLiteral("Average"), "Average", {FormatMoney(888888.88)});
    Total = pane(QStringLiteral("Total"), "Total", {FormatMoney(8888888.88)});
    FirstOrder = pane(QStringLiteral("First Order"), "FirstOrder", widestDates());
    LastOrder = pane(QStringLiteral("Last Order"), "LastOrder", widestDates());
    status->addStretch(1);
    layout->addLayout(status);
    return page;
}

void CustomerProfile::load(Table* customer, Table* notes)
{
    m_customer = customer;
    m_notes = notes;
    const bool found =
        m_customer->isOpen() && !m_customer->isEmpty() && m_customer->bookmark() != 0;
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it)
        it.value()->setText(found ? m_customer->value(it.key()).toString() : QString());
    // Without an account (a guest order) there is nobody to write to.
    m_found = found;
    EmailButton->setEnabled(found);
    SentItemsFilter->setEnabled(found);
    Subscribed->setChecked(found && m_customer->value(QStringLiteral("SUBSCRIBE")).toBool());
    CustomerAccountNotes->setPlainText(found ? m_customer->value(QStringLiteral("NOTES")).toString()
                                             : QString());
    const bool haveNotes = m_notes->isOpen() && !m_notes->isEmpty() && m_notes->bookmark() != 0;
    YourAccountNotes->setPlainText(haveNotes ? m_notes->value(QStringLiteral("NOTES")).toString()
                                             : QString());
    YourAccountNotes->document()->setModified(false);
    connect(YourAccountNotes, &QPlainTextEdit::textChanged, this, [this] { m_notesTyped = true; });

    try {
        ALLORDERS->setDirectory(dataDir());
        ALLORDERS->setFilter(QStringLiteral("CUSTID=%1").arg(m_custId));
        ALLORDERS->setFiltered(true);
        ALLORDERS->open();
        m_figures = readPurchaseFigures(dataDir(), m_custId);
        OrderCount->setText(QString::number(m_figures.orders));
        Average->setText(averageText(m_figures, m_variant));
        Total->setText(totalText(m_figures));
        FirstOrder->setText(orderDateText(m_figures.firstDate));
        LastOrder->setText(orderDateText(m_figures.lastDate));
    } catch (const Error& e) {
        // The history and its panes stay empty; the rest of the profile shows.
        messages().error(e.text());
    }
}

bool CustomerProfile::storeNotes()
{
    if (!m_notesTyped || !m_notes)
        return true;
    const QString text = YourAccountNotes->toPlainText();
    try {
        if (!m_notes->isOpen())
            return true;
        const bool haveNotes = !m_notes->isEmpty() && m_notes->bookmark() != 0;
        if (haveNotes) {
            m_notes->edit();
        } else {
            if (text.isEmpty())
                return true;
            m_notes->insert();
            m_notes->setValue(QStringLiteral("CUSTID"), m_custId);
        }
        m_notes->setValue(QStringLiteral("NOTES"), text);
        if (!m_notes->post()) {
            m_notes->cancel();
            return false;
        }
    } catch (const Error& e) {
        m_notes->cancel();
        messages().error(e.text());
        return false;
    }
    m_notesTyped = false;
    return true;
}

void CustomerProfile::done(int result)
{
    if (!m_closed) {
        // Notes that could not be stored keep the window open with the
        // merchant's text, to try again or copy it.
        if (!storeNotes()) {
            YourAccountNotes->setFocus();
            return;
        }
        m_closed = true;
        ALLORDERS->close();
    }
    QDialog::done(result);
}

void CustomerProfile::SentItemsFilterClick()
{
    if (!m_found)
        return;
    TSentItems window(this);
    // Exactly the customer's address: another spelling of it is another address.
    const int count = window.filterOnAddress(m_customer->value(QStringLiteral("EMAIL")).toString());
    if (count > 0)
        window.exec();
    else
        messages().info(QString::fromUtf8(kNoSentItems));
}

void CustomerProfile::EmailButtonClick()
{
    if (!m_found)
        return;
    // CUSTTABLE or the shared CUSTOMERS, on this customer.
    TNewMessageType dialog(*m_customer, this);
    dialog.exec();
}

void CustomerProfile::showOrders(const QString& column, const QString& value)
{
    if (ALLORDERS->isOpen() && HistoryGrid->tableModel()->rowCount() > 0) {
        if (TOrdersView* orders = ordersView())
            orders->ApplyCustomFilter(column, value);
    }
    accept();
}

void CustomerProfile::GoToOrderClick()
{
    const bool any = ALLORDERS->isOpen() && ALLORDERS->bookmark() != 0;
    showOrders(QStringLiteral("INV"),
               any ? ALLORDERS->value(QStringLiteral("INV")).toString() : QString());
}

void CustomerProfile::ViewOrdersClick()
{
    showOrders(QStringLiteral("CUSTID"), QString::number(m_custId));
}

// ---- the Customers View variant ----

TCustomersForm::TCustomersForm(qint64 custId, QWidget* parent)
    : CustomerProfile(ProfileVariant::CustomersView, custId, parent)
{
    CUSTTABLE = new Table(QStringLiteral("customers"), this);
    CUSTTABLE->setObjectName(QStringLiteral("CUSTTABLE"));
    CUSTTABLE->setDirectory(dataDir());
    MuCustomerNotes = new Table(QStringLiteral("customersnotes"), this);
    MuCustomerNotes->setObjectName(QStringLiteral("MuCustomerNotes"));
    MuCustomerNotes->setDirectory(dataDir());
    MuCustomerNotes->setMasterLink(CUSTTABLE, {QStringLiteral("CUSTID")},
                                   {QStringLiteral("CUSTID")});
    try {
        CUSTTABLE->setFilter(QStringLiteral("CUSTID=%1").arg(custId));
        CUSTTABLE->setFiltered(true);
        CUSTTABLE->open();
        MuCustomerNotes->open();
    } catch (const Error& e) {
        messages().error(e.text());
    }
    load(CUSTTABLE, MuCustomerNotes);
}

TCustomersForm::~TCustomersForm()
{
    MuCustomerNotes->close();
    CUSTTABLE->close();
}

TOrdersView* TCustomersForm::ordersView()
{
    // The main window's Orders command: the browser opened or brought forward.
    TMainForm* main = TMainForm::instance();
    return main ? main->showChildBrowser<TOrdersView>() : nullptr;
}

// ---- the Orders View variant ----

namespace {

// The customer of the current order: the account's number, or the order's
// own when the store sent no account for it.
qint64 customerOfOrder(TOrdersView* orders)
{
    TMainDataMod* data = TMainDataMod::instance();
    if (data && data->CUSTOMERS->isOpen() && data->CUSTOMERS->bookmark() != 0)
        return data->CUSTOMERS->value(QStringLiteral("CUSTID")).toLongLong();
    if (orders && orders->hasOrders())
        return orders->orders().value(QStringLiteral("CUSTID")).toLongLong();
    return 0;
}

} // namespace

TCustomerPopup::TCustomerPopup(TOrdersView* orders, QWidget* parent)
    : CustomerProfile(ProfileVariant::OrdersView, customerOfOrder(orders), parent), m_orders(orders)
{
    TMainDataMod* data = TMainDataMod::instance();
    load(data->CUSTOMERS, data->CustomerNotes);
}

TOrdersView* TCustomerPopup::ordersView()
{
    return qobject_cast<TOrdersView*>(m_orders.data());
}

void showCustomerPopup(TOrdersView& orders, CustomerProfile::Page page)
{
    TCustomerPopup popup(&orders, &orders);
    popup.Pages->setCurrentIndex(page);
    if (page == CustomerProfile::NotesPage)
        popup.YourAccountNotes->setFocus();
    popup.exec();
}

} // namespace os
