#include "gui/sales/sales_view.h"

#include "base/busy_cursor.h"
#include "base/clock.h"
#include "base/error.h"
#include "base/main_services.h"
#include "base/messages.h"
#include "base/paths.h"
#include "data/main_data_mod.h"
#include "gui/app/file_dialog.h"
#include "gui/customers/customer_profile.h"
#include "gui/sales/sales_charts.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace os {

namespace {

NullMainServices g_noMainWindow;

// The help topic of the Sales window.
constexpr int kSalesHelpTopic = 128;

QChartView* makeChartView(const char* name, QWidget* parent)
{
    auto* view = new QChartView(parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(240, 180);
    return view;
}

// Hands `chart` to `view` and frees the one it showed before.
void showChart(QChartView* view, QChart* chart)
{
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

} // namespace

TSalesView::TSalesView(MainServices* main, QWidget* parent)
    : ChildBrowser(QStringLiteral("Sales"), kSalesHelpTopic, main ? main : &g_noMainWindow, parent)
{
    setObjectName(QStringLiteral("SalesView"));
    QToolBar* bar = toolbar();

    auto* periodLabel = new QLabel(QStringLiteral("&Period: "), bar);
    PeriodBox = new QComboBox(bar);
    PeriodBox->setObjectName(QStringLiteral("PeriodBox"));
    PeriodBox->addItems({QStringLiteral("This week"), QStringLiteral("This month"),
                         QStringLiteral("Last 12 months"), QStringLiteral("Custom range")});
    periodLabel->setBuddy(PeriodBox);
    bar->addWidget(periodLabel);
    bar->addWidget(PeriodBox);

    auto* fromLabel = new QLabel(QStringLiteral(" &From: "), bar);
    FromEdit = new QDateEdit(bar);
    FromEdit->setObjectName(QStringLiteral("FromEdit"));
    FromEdit->setCalendarPopup(true);
    fromLabel->setBuddy(FromEdit);
    auto* toLabel = new QLabel(QStringLiteral(" &To: "), bar);
    ToEdit = new QDateEdit(bar);
    ToEdit->setObjectName(QStringLiteral("ToEdit"));
    ToEdit->setCalendarPopup(true);
    toLabel->setBuddy(ToEdit);
    bar->addWidget(fromLabel);
    bar->addWidget(FromEdit);
    bar->addWidget(toLabel);
    bar->addWidget(ToEdit);

    auto* byLabel = new QLabel(QStringLiteral(" &By: "), bar);
    ByBox = new QComboBox(bar);
    ByBox->setObjectName(QStringLiteral("ByBox"));
    ByBox->addItems({QStringLiteral("Day"), QStringLiteral("Week"), QStringLiteral("Month")});
    byLabel->setBuddy(ByBox);
    bar->addWidget(byLabel);
    bar->addWidget(ByBox);
    bar->addSeparator();

    PrintButton = new QToolButton(bar);
    PrintButton->setObjectName(QStringLiteral("PrintButton"));
    PrintButton->setText(QStringLiteral("Print..."));
    PrintButton->setShortcut(QKeySequence::Print);
    PrintButton->setToolTip(
        QStringLiteral("Print the sales report (%1)")
            .arg(QKeySequence(QKeySequence::Print).toString(QKeySequence::NativeText)));
    connect(PrintButton, &QToolButton::clicked, this, &TSalesView::PrintClick);
    bar->addWidget(PrintButton);
    SaveAsPdfButton = new QToolButton(bar);
    SaveAsPdfButton->setObjectName(QStringLiteral("SaveAsPdfButton"));
    SaveAsPdfButton->setText(QStringLiteral("Save as PDF..."));
    connect(SaveAsPdfButton, &QToolButton::clicked, this, &TSalesView::SaveAsPdfClick);
    bar->addWidget(SaveAsPdfButton);
    finishToolbar();

    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    RangeLabel = new QLabel(page);
    RangeLabel->setObjectName(QStringLiteral("RangeLabel"));
    QFont big = RangeLabel->font();
    big.setBold(true);
    RangeLabel->setFont(big);
    OrdersTotal = new QLabel(page);
    OrdersTotal->setObjectName(QStringLiteral("OrdersTotal"));
    RevenueTotal = new QLabel(page);
    RevenueTotal->setObjectName(QStringLiteral("RevenueTotal"));
    auto* totals = new QHBoxLayout;
    totals->addWidget(RangeLabel);
    totals->addSpacing(24);
    totals->addWidget(OrdersTotal);
    totals->addSpacing(24);
    totals->addWidget(RevenueTotal);
    totals->addStretch();
    grid->addLayout(totals, 0, 0, 1, 3);

    RevenueChart = makeChartView("RevenueChart", page);
    StateChart = makeChartView("StateChart", page);
    MethodChart = makeChartView("MethodChart", page);
    BestCustomers = new QTreeWidget(page);
    BestCustomers->setObjectName(QStringLiteral("BestCustomers"));
    BestCustomers->setRootIsDecorated(false);
    BestCustomers->setHeaderLabels(
        {QStringLiteral("Best customers"), QStringLiteral("Orders"), QStringLiteral("Revenue")});
    BestCustomers->header()->setStretchLastSection(false);
    BestCustomers->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    BestCustomers->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    BestCustomers->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    // Enter or a double click opens the customer (itemActivated covers both).
    connect(BestCustomers, &QTreeWidget::itemActivated, this, &TSalesView::BestCustomersOpen);

    grid->addWidget(RevenueChart, 1, 0, 1, 3);
    grid->addWidget(StateChart, 2, 0);
    grid->addWidget(MethodChart, 2, 1);
    grid->addWidget(BestCustomers, 2, 2);
    grid->setRowStretch(1, 3);
    grid->setRowStretch(2, 2);
    for (int c = 0; c < 3; ++c)
        grid->setColumnStretch(c, 1);
    body()->addWidget(page);

    PeriodBox->setCurrentIndex(Last12Months);
    ByBox->setCurrentIndex(0); // a year by day
    PeriodBoxChange();
    connect(PeriodBox, &QComboBox::currentIndexChanged, this, &TSalesView::PeriodBoxChange);
    connect(ByBox, &QComboBox::currentIndexChanged, this, &TSalesView::refresh);
    auto rangeTyped = [this] {
        if (m_settingRange)
            return;
        // A date typed by hand makes the range a custom one.
        m_settingRange = true;
        PeriodBox->setCurrentIndex(CustomRange);
        m_settingRange = false;
        refresh();
    };
    connect(FromEdit, &QDateEdit::dateChanged, this, rangeTyped);
    connect(ToEdit, &QDateEdit::dateChanged, this, rangeTyped);
}

TSalesView::~TSalesView() = default;

SalesGrouping TSalesView::grouping() const
{
    switch (ByBox->currentIndex()) {
    case 1:
        return SalesGrouping::Week;
    case 2:
        return SalesGrouping::Month;
    default:
        return SalesGrouping::Day;
    }
}

void TSalesView::PeriodBoxChange()
{
    if (m_settingRange)
        return;
    const QDate today = Clock::today();
    QDate from = FromEdit->date();
    QDate to = ToEdit->date();
    switch (PeriodBox->currentIndex()) {
    case ThisWeek:
        from = today.addDays(1 - today.dayOfWeek());
        to = from.addDays(6);
        break;
    case ThisMonth:
        from = QDate(today.year(), today.month(), 1);
        to = from.addMonths(1).addDays(-1);
        break;
    case Last12Months:
        from = QDate(today.year(), today.month(), 1).addMonths(-11);
        to = QDate(today.year(), today.month(), 1).addMonths(1).addDays(-1);
        break;
    default:
        break; // the dates as they are
    }
    m_settingRange = true;
    FromEdit->setDate(from);
    ToEdit->setDate(to);
    m_settingRange = false;
    refresh();
}

void TSalesView::refresh()
{
    QDate from = FromEdit->date();
    QDate to = ToEdit->date();
    if (to < from)
        std::swap(from, to);
    TMainDataMod* data = TMainDataMod::instance();
    const QString dir = data ? data->directory() : AppPaths::dataDir();
    try {
        BusyCursor busy;
        m_figures = readSalesFigures(dir, from, to);
    } catch (const Error& e) {
        m_figures = SalesFigures{};
        m_figures.from = from;
        m_figures.to = to;
        messages().error(e.text());
    }
    m_periods = groupSales(m_figures.days, from, to, grouping());
    RangeLabel->setText(salesRangeText(from, to));
    const QStringList totals = salesTotalsLines(m_figures);
    OrdersTotal->setText(totals.value(0));
    RevenueTotal->setText(totals.value(1));
    showChart(RevenueChart, makeRevenueChart(m_periods, grouping()));
    showChart(StateChart, makeShareChart(QStringLiteral("Orders by state"), m_figures.states));
    showChart(MethodChart,
              makeShareChart(QStringLiteral("Orders by payment method"), m_figures.methods));
    BestCustomers->clear();
    for (const NamedSales& c : m_figures.bestCustomers) {
        auto* item = new QTreeWidgetItem(BestCustomers);
        item->setText(0, c.name.isEmpty() ? QStringLiteral("Customer %1").arg(c.custId) : c.name);
        item->setText(1, QString::number(c.orders));
        item->setText(2, salesMoneyText(c.cents));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, Qt::UserRole, c.custId);
    }
    if (BestCustomers->topLevelItemCount() > 0)
        BestCustomers->setCurrentItem(BestCustomers->topLevelItem(0));
}

void TSalesView::BestCustomersOpen(QTreeWidgetItem* item)
{
    if (!item)
        return;
    TCustomersForm form(item->data(0, Qt::UserRole).toLongLong(), this);
    form.exec();
}

void TSalesView::PrintClick()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Sales Report"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    BusyCursor busy;
    QPainter painter;
    if (!painter.begin(&printer)) {
        messages().error(QStringLiteral("The sales report could not be printed."));
        return;
    }
    paintSalesReport(
        painter,
        printer.pageLayout()
            .paintRectPixels(printer.resolution())
            .translated(-printer.pageLayout().paintRectPixels(printer.resolution()).topLeft()),
        m_figures, grouping());
}

void TSalesView::SaveAsPdfClick()
{
    const QString suggested = QDir(AppPaths::home())
                                  .filePath(QStringLiteral("sales-%1-%2.pdf")
                                                .arg(m_figures.from.toString(Qt::ISODate),
                                                     m_figures.to.toString(Qt::ISODate)));
    const QString file = getSaveFileName(this, QStringLiteral("Save Sales Report as PDF"),
                                         suggested, QStringLiteral("PDF files (*.pdf)"));
    if (file.isEmpty())
        return;
    try {
        BusyCursor busy;
        writeSalesReportPdf(m_figures, grouping(), file);
    } catch (const Error& e) {
        messages().error(e.text());
    }
}

} // namespace os
