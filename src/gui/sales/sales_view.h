#pragma once

#include "gui/app/child_browser.h"
#include "sales/sales_figures.h"

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace os {

// "Sales": the shop's sales over a period the merchant picks, as charts
// (revenue and orders per day, week or month; orders by state and by payment
// method), the ten best customers (each opening the Customer Pop-Up) and the
// totals beside the same period a year before. Print and "Save as PDF..."
// give the same as a one-page report. Void and AutoVoid orders count only in
// the orders-by-state chart.
class TSalesView : public ChildBrowser
{
    Q_OBJECT
public:
    explicit TSalesView(MainServices* main = nullptr, QWidget* parent = nullptr);
    ~TSalesView() override;

    // The periods PeriodBox offers, in order.
    enum Period
    {
        ThisWeek = 0,
        ThisMonth,
        Last12Months,
        CustomRange
    };

    const SalesFigures& figures() const { return m_figures; }
    SalesGrouping grouping() const;
    // The periods the revenue chart shows.
    const QList<PeriodSales>& periods() const { return m_periods; }

    // Reads the figures of the chosen range again and redraws.
    void refresh();

    void PrintClick();
    void SaveAsPdfClick();
    void broughtToFront() override { refresh(); }

    QComboBox* PeriodBox = nullptr;
    QDateEdit* FromEdit = nullptr;
    QDateEdit* ToEdit = nullptr;
    QComboBox* ByBox = nullptr;
    QToolButton* PrintButton = nullptr;
    QToolButton* SaveAsPdfButton = nullptr;
    QLabel* RangeLabel = nullptr;
    QLabel* OrdersTotal = nullptr;
    QLabel* RevenueTotal = nullptr;
    QChartView* RevenueChart = nullptr;
    QChartView* StateChart = nullptr;
    QChartView* MethodChart = nullptr;
    QTreeWidget* BestCustomers = nullptr;

private:
    void PeriodBoxChange();
    void BestCustomersOpen(QTreeWidgetItem* item);

    SalesFigures m_figures;
    QList<PeriodSales> m_periods;
    bool m_settingRange = false;
};

} // namespace os
