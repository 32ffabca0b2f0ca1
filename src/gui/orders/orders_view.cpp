#include "gui/orders/orders_view.h"

#include "base/busy_cursor.h"
#include "base/error.h"
#include "base/main_services.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/store_charset.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/file_dialog.h"
#include "gui/app/record_navigator.h"
#include "gui/orders/cc_form.h"
#include "gui/orders/orders_commands.h"
#include "gui/orders/phone_payment.h"
#include "orders/order_checks.h"
#include "orders/order_columns.h"
#include "orders/order_export.h"
#include "orders/order_filter.h"
#include "orders/order_marking.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace os {

namespace {

const char* const kNoPrinter = "No printer is set up on this computer. Choose \"Save as PDF...\" "
                               "in the Print list to keep the invoice as a file.";

// The invoice view shows local pages only: an invoice came from the store
// and is read offline, so nothing it names on the network is ever fetched.
class InvoiceBrowser : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override
    {
        const QUrl url = source().resolved(name);
        // An invoice is read in the store's character set unless it names its own.
        if (type == QTextDocument::HtmlResource && url.isLocalFile() &&
            url.fileName().endsWith(QLatin1String("inv.html"))) {
            QFile file(url.toLocalFile());
            if (file.open(QIODevice::ReadOnly))
                return decodeStorePage(file.readAll(), storeCharset());
        }
        if (url.isLocalFile() || url.scheme() == QLatin1String("qrc") || url.scheme().isEmpty())
            return QTextBrowser::loadResource(type, name);
        return {};
    }
};

NullMainServices g_noMainWindow;

// Where the window leaves its list and find text for its next opening: on
// the data module, whose life is the company's.
const char* const kRememberedEntry = "ordersViewFilter";
const char* const kRememberedFind = "ordersViewFind";

} // namespace

TOrdersView::TOrdersView(MainServices* main, QWidget* parent)
    : ChildBrowser(QStringLiteral("Orders View"), 42, main ? main : &g_noMainWindow, parent),
      m_data(TMainDataMod::instance())
{
    setObjectName(QStringLiteral("OrdersView"));
    Q_ASSERT_X(m_data, "TOrdersView", "the data module comes first");
    closeButton()->setObjectName(QStringLiteral("ToolbarButton971"));

    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    body()->addWidget(Pages);
    buildGrid();
    buildWebPage();
    buildHistoryPage();

    QToolBar* bar = toolbar();
    Navigator = new RecordNavigator(Grid->tableModel(), RecordNavigator::Browsing, bar);
    bar->addWidget(Navigator);
    bar->addSeparator();

    FilterBox = new QComboBox(bar);
    FilterBox->setObjectName(QStringLiteral("FilterBox"));
    FilterBox->addItems(filterEntries());
    FilterBox->setToolTip(QStringLiteral("Orders in this state"));
    FilterBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // Only the merchant's choice filters; setting the entry does not.
    connect(FilterBox, &QComboBox::activated, this, &TOrdersView::FilterBoxChange);
    bar->addWidget(FilterBox);

    FindEdit = new QLineEdit(bar);
    FindEdit->setObjectName(QStringLiteral("FindEdit"));
    FindEdit->setPlaceholderText(QStringLiteral("Find invoice, e-mail or name"));
    FindEdit->setToolTip(QStringLiteral("Find orders by invoice number, e-mail or name (Ctrl+F); "
                                        "Enter shows them"));
    FindEdit->setClearButtonEnabled(true);
    FindEdit->setMinimumWidth(FindEdit->fontMetrics().averageCharWidth() * 28);
    FindEdit->setMaximumWidth(FindEdit->fontMetrics().averageCharWidth() * 40);
    connect(FindEdit, &QLineEdit::returnPressed, this, &TOrdersView::FindClick);
    bar->addWidget(FindEdit);
    auto* findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, [this] {
        FindEdit->setFocus();
        FindEdit->selectAll();
    });
    bar->addSeparator();

    buildChildCommands(commands(), *this, ordersViewCommands(), bar);
    for (const char* name : {"ActivitiesBut", "NotesButton"}) {
        if (auto* b = bar->findChild<QToolButton*>(QLatin1String(name)))
            b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    finishToolbar();
    setRowMenu(Grid, {QStringLiteral("ActivitiesBut"), QStringLiteral("NotesButton"),
                      QStringLiteral("ThisCustBut")});

    watch(&orders());
    connect(&orders(), &Table::currentChanged, this, [this] {
        // The invoice on show is always the current order's.
        if (Pages->currentIndex() == 1)
            loadWebPage();
    });

    // The "New" orders first, or the list and find text the merchant left
    // (a store session closes the window and the merchant opens it again);
    // a "Custom" list is still the table's. A failure leaves the list as it
    // is.
    QString entry = m_data->property(kRememberedEntry).toString();
    if (!filterEntries().contains(entry))
        entry = filterEntries().first();
    FindEdit->setText(m_data->property(kRememberedFind).toString());
    setFilterEntry(entry);
    if (entry != QLatin1String(kCustomEntry)) {
        try {
            applyStateFilter(orders(), entry);
        } catch (const Error&) {
        }
    }
    Grid->setFocus();
}

TOrdersView::~TOrdersView()
{
    if (TMainDataMod* data = TMainDataMod::instance()) {
        data->setProperty(kRememberedEntry, FilterBox->currentText());
        data->setProperty(kRememberedFind, FindEdit->text());
    }
}

Table& TOrdersView::orders() const
{
    return *m_data->ORDERs;
}

void TOrdersView::buildGrid()
{
    auto* page = new QWidget(Pages);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    Grid = new DbGrid(page);
    Grid->setObjectName(QStringLiteral("OrdersGrid"));

    const QColor silver(0xC0, 0xC0, 0xC0);
    QList<GridColumn> columns;
    for (const OrderColumn& c : orderColumns()) {
        GridColumn g;
        g.field = QLatin1String(c.field);
        g.title = QLatin1String(c.title);
        columns << g;
    }
    auto col = [&columns](const char* field) -> GridColumn& {
        for (GridColumn& c : columns) {
            if (c.field == QLatin1String(field))
                return c;
        }
        Q_UNREACHABLE();
    };
    col("INV").width = 8;
    col("CUSTID").width = 9;
    col("TOTAL").format = GridFormat::Currency;
    col("TOTAL").foreground = QColor(0xFF, 0x00, 0x00);
    col("LASTMARKED").background = silver;
    col("ORDERSTATE").foreground = QColor(0x80, 0x00, 0x80);
    col("ORDERSTATE").background = silver;
    col("ORDERSTATE").width = 16;
    col("METHOD").width = 18;
    col("NAME").width = 20;
    col("COMPANY").width = 18;
    col("EMAIL").width = 24;
    col("PURCHASEORDER").width = 10;
    col("COUPON").width = 10;
    Grid->setTable(&orders(), columns);
    layout->addWidget(Grid);
    Pages->addTab(page, QStringLiteral("Main Orders View"));
}

void TOrdersView::buildWebPage()
{
    auto* page = new QWidget(Pages);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QToolBar(page);
    bar->setObjectName(QStringLiteral("WebPageToolbar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolbarButton973 = new QToolButton(bar);
    ToolbarButton973->setObjectName(QStringLiteral("ToolbarButton973"));
    ToolbarButton973->setText(QStringLiteral("Print"));
    ToolbarButton973->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolbarButton973->setIcon(QIcon::fromTheme(QStringLiteral("document-print"),
                                               style()->standardIcon(QStyle::SP_FileIcon)));
    ToolbarButton973->setPopupMode(QToolButton::MenuButtonPopup);
    auto* menu = new QMenu(ToolbarButton973);
    menu->setObjectName(QStringLiteral("PrintMenu"));
    QAction* printDefault = menu->addAction(QStringLiteral("Print (default)"));
    printDefault->setObjectName(QStringLiteral("PrintDefaultItem"));
    QAction* selectPrinter = menu->addAction(QStringLiteral("Select Printer -> Print"));
    selectPrinter->setObjectName(QStringLiteral("SelectPrinterItem"));
    menu->addSeparator();
    QAction* pdf = menu->addAction(QStringLiteral("Save as PDF..."));
    pdf->setObjectName(QStringLiteral("SaveAsPdfItem"));
    ToolbarButton973->setMenu(menu);
    connect(ToolbarButton973, &QToolButton::clicked, this, &TOrdersView::PrintClick);
    connect(printDefault, &QAction::triggered, this, &TOrdersView::PrintClick);
    connect(selectPrinter, &QAction::triggered, this, &TOrdersView::SelectPrinterClick);
    connect(pdf, &QAction::triggered, this, &TOrdersView::SaveAsPdfClick);
    bar->addWidget(ToolbarButton973);
    layout->addWidget(bar);

    WebBrowser1 = new InvoiceBrowser(page);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    // Links in a store's invoice lead nowhere from here.
    WebBrowser1->setOpenLinks(false);
    WebBrowser1->setOpenExternalLinks(false);
    layout->addWidget(WebBrowser1, 1);
    Pages->addTab(page, QStringLiteral("Web Page View"));

    connect(Pages, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1)
            loadWebPage();
    });
}

QString TOrdersView::currentState() const
{
    return hasOrders() ? orders().value(QStringLiteral("ORDERSTATE")).toString() : QString();
}

QString TOrdersView::currentMethod() const
{
    return hasOrders() ? orders().value(QStringLiteral("METHOD")).toString() : QString();
}

bool TOrdersView::hasOrders() const
{
    return orders().isOpen() && Grid->tableModel()->rowCount() > 0 && orders().bookmark() != 0;
}

template <class F> void TOrdersView::guarded(F f)
{
    try {
        f();
    } catch (const Error& e) {
        messages().error(e.text());
    }
    updateCommands();
}

void TOrdersView::setFilterEntry(const QString& entry)
{
    const QSignalBlocker quiet(FilterBox);
    FilterBox->setCurrentIndex(int(filterEntries().indexOf(entry)));
}

void TOrdersView::FilterBoxChange(int index)
{
    const QString entry = FilterBox->itemText(index);
    guarded([&] {
        if (entry == QLatin1String(kCustomEntry)) {
            orders().setFiltered(false);
            messages().info(QString::fromUtf8(kCustomRefused));
            setFilterEntry(filterEntries().first());
            applyStateFilter(orders(), filterEntries().first());
            return;
        }
        applyStateFilter(orders(), entry);
    });
}

void TOrdersView::ApplyCustomFilter(const QString& column, const QString& value)
{
    setFilterEntry(QLatin1String(kCustomEntry));
    guarded([&] { os::ApplyCustomFilter(orders(), column, value); });
}

void TOrdersView::FindClick()
{
    const QString text = FindEdit->text();
    guarded([&] {
        if (findOrders(orders(), text))
            setFilterEntry(QLatin1String(kCustomEntry));
    });
    Grid->setFocus();
}

void TOrdersView::ExportClick()
{
    const QString file = getSaveFileName(this, QStringLiteral("Export Orders"),
                                         AppPaths::homeFile(QStringLiteral("orders.csv")),
                                         QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (file.isEmpty())
        return;
    guarded([&] {
        qint64 rows = 0;
        {
            BusyCursor busy;
            rows = ExportOrdersToFile(orders(), file);
        }
        messages().info(QStringLiteral("%1 orders were exported to %2.")
                            .arg(rows)
                            .arg(QDir::toNativeSeparators(file)));
    });
}

void TOrdersView::MarkOrderClick(const QString& state)
{
    guarded([&] { MarkOrder(orders(), state); });
}

void TOrdersView::MarkAllClick(const QString& target)
{
    guarded([&] { MarkAllOrders(orders(), *m_data->MarkAllQ, target, *mainServices()); });
}

void TOrdersView::ChangeMethodClick(const QString& method)
{
    guarded([&] { ChangePaymentMethod(orders(), method); });
}

void TOrdersView::DeleterecordClick()
{
    guarded([&] { DeleteOrder(orders(), m_data->directory()); });
}

void TOrdersView::ShowAllFromCustomerClick()
{
    if (!hasOrders())
        return;
    ApplyCustomFilter(QStringLiteral("CUSTID"),
                      orders().value(QStringLiteral("CUSTID")).toString());
}

void TOrdersView::buildHistoryPage()
{
    // Its own table over the history file: newest first by the INVID index,
    // following the current order, paged like the orders themselves.
    m_history = new Table(QStringLiteral("order_history"), this);
    m_history->setDirectory(m_data->directory());
    m_history->setIndexName(QStringLiteral("INVID"));
    m_history->setMasterLink(&orders(), {QStringLiteral("INV")}, {QStringLiteral("INV")});
    try {
        m_history->open();
    } catch (const Error& e) {
        messages().error(e.text());
    }
    auto* page = new QWidget(Pages);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    HistoryGrid = new DbGrid(page);
    HistoryGrid->setObjectName(QStringLiteral("HistoryGrid"));
    HistoryGrid->setTable(
        m_history,
        {{QStringLiteral("IDATE"), QStringLiteral("Date")}, // as wide as a date and time
         {QStringLiteral("COMMAND"), QStringLiteral("Command"), 24},
         {QStringLiteral("CHANGED"), QStringLiteral("Changed"), 14},
         {QStringLiteral("OLDVALUE"), QStringLiteral("Old Value"), 28},
         {QStringLiteral("NEWVALUE"), QStringLiteral("New Value"), 28}},
        false);
    HistoryGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    HistoryGrid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(HistoryGrid);
    Pages->addTab(page, QStringLiteral("Order History"));
    // Changes made by the commands show when the page is turned to.
    connect(Pages, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 2 && m_history->isOpen())
            m_history->refresh();
    });
}

void TOrdersView::afterDialog()
{
    if (m_history && m_history->isOpen())
        m_history->refresh();
    updateCommands();
    Grid->setFocus();
}

void TOrdersView::CCBUTTONClick()
{
    if (!hasOrders())
        return;
    if (cardWindowFor(currentMethod(), orders().value(QStringLiteral("CARDNUM")).toString()) ==
        CardWindow::Card)
        openDialog<TCCForm>();
    else
        openDialog<TPhonePayment>();
}

void TOrdersView::broughtToFront()
{
    Pages->setCurrentIndex(0);
}

void TOrdersView::updateCommands()
{
    const bool any = hasOrders();
    ChildCommandSet& c = commands();
    c.setEnabled(QStringLiteral("CCBUTTON"), any && takesCards(currentMethod()));
    for (const char* name : {"ActivitiesBut", "NotesButton", "ThisCustBut"})
        c.setEnabled(QLatin1String(name), any);
}

void TOrdersView::loadWebPage()
{
    QUrl url;
    if (hasOrders()) {
        const QString invoice = invoiceFilePath(m_data->directory(),
                                                orders().value(QStringLiteral("INV")).toLongLong());
        if (QFileInfo::exists(invoice))
            url = QUrl::fromLocalFile(invoice);
    }
    if (url.isEmpty()) {
        const QString placeholder = AppPaths::homeFile(QStringLiteral("null.html"));
        url = QFileInfo::exists(placeholder) ? QUrl::fromLocalFile(placeholder)
                                             : QUrl(QStringLiteral("qrc:/gui/orders/null.html"));
    }
    m_shownPage = url;
    WebBrowser1->setVisible(true);
    // The same address again reads the file again (it may have been rewritten).
    WebBrowser1->clear();
    WebBrowser1->setSource(url);
}

void TOrdersView::print(bool withDialog)
{
    QPrinter printer(QPrinter::HighResolution);
    if (withDialog) {
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("Print Invoice"));
        if (dialog.exec() != QDialog::Accepted)
            return;
    } else if (printer.outputFormat() == QPrinter::PdfFormat &&
               printer.outputFileName().isEmpty()) {
        // Without a print system the printer is a PDF file with no name.
        messages().error(QString::fromUtf8(kNoPrinter));
        return;
    }
    BusyCursor busy;
    WebBrowser1->print(&printer);
}

void TOrdersView::PrintClick()
{
    print(false);
}

void TOrdersView::SelectPrinterClick()
{
    print(true);
}

void TOrdersView::SaveAsPdfClick()
{
    QString suggested = AppPaths::home();
    if (hasOrders())
        suggested +=
            QStringLiteral("/%1inv.pdf").arg(orders().value(QStringLiteral("INV")).toLongLong());
    const QString file = getSaveFileName(this, QStringLiteral("Save Invoice as PDF"), suggested,
                                         QStringLiteral("PDF files (*.pdf)"));
    if (file.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    {
        BusyCursor busy;
        WebBrowser1->print(&printer);
    }
    if (!QFileInfo(file).isFile() || QFileInfo(file).size() == 0)
        messages().error(
            QStringLiteral("Cannot write \"%1\".").arg(QDir::toNativeSeparators(file)));
}

} // namespace os
