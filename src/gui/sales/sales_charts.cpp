#include "gui/sales/sales_charts.h"

#include "base/error.h"
#include "base/text_utils.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QFile>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPieSeries>
#include <QPieSlice>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <memory>

namespace os {

namespace {

// How a period is named under the chart.
QString axisLabel(const PeriodSales& p, SalesGrouping grouping)
{
    const QLocale locale;
    switch (grouping) {
    case SalesGrouping::Day:
        return locale.toString(p.start, QStringLiteral("d MMM"));
    case SalesGrouping::Week:
        return p.label.mid(5); // "W49"
    case SalesGrouping::Month:
        return locale.toString(p.start, QStringLiteral("MMM yy"));
    }
    return p.label;
}

void setPlainLook(QChart* chart)
{
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(4, 4, 4, 4));
}

} // namespace

QString salesMoneyText(qint64 cents)
{
    return QStringLiteral("$") + FormatMoney(static_cast<double>(cents) / 100.0);
}

QChart* makeRevenueChart(const QList<PeriodSales>& periods, SalesGrouping grouping)
{
    auto* chart = new QChart;
    setPlainLook(chart);
    chart->setTitle(QStringLiteral("Revenue and orders"));
    auto* revenue = new QBarSet(QStringLiteral("Revenue"));
    auto* count = new QLineSeries;
    count->setName(QStringLiteral("Orders"));
    qint64 topCents = 0;
    qint64 topOrders = 0;
    QList<qreal> values;
    values.reserve(periods.size());
    QList<QPointF> points;
    points.reserve(periods.size());
    for (qsizetype i = 0; i < periods.size(); ++i) {
        values << periods.at(i).cents / 100.0;
        points << QPointF(i, periods.at(i).orders);
        topCents = std::max(topCents, periods.at(i).cents);
        topOrders = std::max(topOrders, periods.at(i).orders);
    }
    revenue->append(values);
    count->replace(points);
    auto* bars = new QBarSeries;
    bars->setBarWidth(0.9);
    bars->append(revenue);
    chart->addSeries(bars);
    chart->addSeries(count);

    // The periods along the bottom: a label at most every few periods so
    // that a year of days stays readable (the first of each month for days).
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setRange(-0.5, std::max<qreal>(periods.size() - 0.5, 0.5));
    const qsizetype every = std::max<qsizetype>(1, periods.size() / 12);
    for (qsizetype i = 0; i < periods.size(); ++i) {
        const PeriodSales& p = periods.at(i);
        const bool mark = grouping == SalesGrouping::Day && periods.size() > 31
                              ? p.start.day() == 1 || i == 0
                              : i % every == 0;
        if (mark)
            x->append(axisLabel(p, grouping), i);
    }
    auto* money = new QValueAxis;
    money->setLabelFormat(QStringLiteral("%.0f"));
    money->setRange(0, std::max<qreal>(1.0, topCents / 100.0 * 1.1));
    money->setTitleText(QStringLiteral("Revenue ($)"));
    auto* orders = new QValueAxis;
    orders->setLabelFormat(QStringLiteral("%d"));
    const qreal topCount = std::max<qreal>(1.0, std::ceil(topOrders * 1.1));
    orders->setRange(0, topCount);
    // Whole numbers only: a tick every whole step, never "0, 0, 1, 1, 2".
    orders->setTickType(QValueAxis::TicksDynamic);
    orders->setTickAnchor(0);
    orders->setTickInterval(std::max<qreal>(1.0, std::ceil(topCount / 4)));
    orders->setTitleText(QStringLiteral("Orders"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(money, Qt::AlignLeft);
    chart->addAxis(orders, Qt::AlignRight);
    bars->attachAxis(x);
    bars->attachAxis(money);
    count->attachAxis(x);
    count->attachAxis(orders);
    chart->legend()->setAlignment(Qt::AlignTop);
    return chart;
}

QChart* makeShareChart(const QString& title, const QList<NamedSales>& parts)
{
    auto* chart = new QChart;
    setPlainLook(chart);
    chart->setTitle(title);
    auto* pie = new QPieSeries;
    // The seven largest, the rest as "Other", so that the legend stays short.
    qint64 other = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const NamedSales& p = parts.at(i);
        if (i < 7) {
            const QString name = p.name.isEmpty() ? QStringLiteral("(none)") : p.name;
            pie->append(QStringLiteral("%1: %2").arg(name).arg(p.orders), p.orders);
        } else {
            other += p.orders;
        }
    }
    if (other > 0)
        pie->append(QStringLiteral("Other: %1").arg(other), other);
    if (pie->count() == 0)
        chart->setTitle(QStringLiteral("%1 — No orders").arg(title));
    chart->addSeries(pie);
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

QString salesRangeText(const QDate& from, const QDate& to)
{
    const QLocale locale;
    return QStringLiteral("%1 – %2").arg(locale.toString(from, QLocale::ShortFormat),
                                         locale.toString(to, QLocale::ShortFormat));
}

QStringList salesTotalsLines(const SalesFigures& f)
{
    return {QStringLiteral("Orders: %1 (a year before: %2)").arg(f.orders).arg(f.lastYearOrders),
            QStringLiteral("Revenue: %1 (a year before: %2)")
                .arg(salesMoneyText(f.cents), salesMoneyText(f.lastYearCents))};
}

void paintSalesReport(QPainter& painter, const QRect& page, const SalesFigures& figures,
                      SalesGrouping grouping)
{
    painter.save();
    // Laid out on a fixed 1000-wide canvas scaled to the page, so the report
    // looks alike on paper and in a PDF whatever the resolution.
    const qreal scale = page.width() / 1000.0;
    painter.translate(page.topLeft());
    painter.scale(scale, scale);
    const int height = static_cast<int>(page.height() / scale);

    QFont title = painter.font();
    title.setPixelSize(28);
    title.setBold(true);
    QFont body = painter.font();
    body.setPixelSize(16);
    QFont heading = body;
    heading.setBold(true);

    int y = 0;
    painter.setFont(title);
    painter.drawText(QRect(0, y, 1000, 40), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Sales"));
    y += 44;
    painter.setFont(body);
    painter.drawText(QRect(0, y, 1000, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     salesRangeText(figures.from, figures.to));
    y += 28;
    for (const QString& line : salesTotalsLines(figures)) {
        painter.drawText(QRect(0, y, 1000, 24), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += 24;
    }
    y += 8;

    // The charts drawn from a scene of their own at the canvas's size.
    auto drawChart = [&painter](QChart* chart, const QRectF& where) {
        QGraphicsScene scene;
        scene.addItem(chart); // the scene owns and frees it
        chart->setGeometry(QRectF(QPointF(0, 0), where.size()));
        scene.setSceneRect(QRectF(QPointF(0, 0), where.size()));
        scene.render(&painter, where, scene.sceneRect());
    };
    const QList<PeriodSales> periods = groupSales(figures.days, figures.from, figures.to, grouping);
    drawChart(makeRevenueChart(periods, grouping), QRectF(0, y, 1000, 380));
    y += 390;
    drawChart(makeShareChart(QStringLiteral("Orders by state"), figures.states),
              QRectF(0, y, 495, 280));
    drawChart(makeShareChart(QStringLiteral("Orders by payment method"), figures.methods),
              QRectF(505, y, 495, 280));
    y += 290;

    painter.setFont(heading);
    painter.drawText(QRect(0, y, 1000, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Best customers"));
    y += 28;
    painter.setFont(body);
    if (figures.bestCustomers.isEmpty()) {
        painter.drawText(QRect(0, y, 1000, 22), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("No orders"));
    }
    for (const NamedSales& c : figures.bestCustomers) {
        if (y + 22 > height)
            break;
        painter.drawText(QRect(0, y, 600, 22), Qt::AlignLeft | Qt::AlignVCenter,
                         c.name.isEmpty() ? QStringLiteral("Customer %1").arg(c.custId) : c.name);
        painter.drawText(QRect(600, y, 150, 22), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("%1 orders").arg(c.orders));
        painter.drawText(QRect(760, y, 240, 22), Qt::AlignRight | Qt::AlignVCenter,
                         salesMoneyText(c.cents));
        y += 22;
    }
    painter.restore();
}

void writeSalesReportPdf(const SalesFigures& figures, SalesGrouping grouping, const QString& file)
{
    // Written beside the file and renamed into place, so a failed run leaves
    // no half report.
    const QString work = file + QStringLiteral(".part");
    {
        QPdfWriter pdf(work);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setTitle(QStringLiteral("Sales"));
        pdf.setCreator(QStringLiteral("Ordersentinel"));
        QPainter painter;
        if (!painter.begin(&pdf))
            throw Error(QStringLiteral("Cannot write \"%1\".").arg(file));
        paintSalesReport(
            painter, QRect(QPoint(0, 0), pdf.pageLayout().paintRectPixels(pdf.resolution()).size()),
            figures, grouping);
        painter.end();
    }
    QFile::remove(file);
    if (!QFile::exists(work) || !QFile::rename(work, file)) {
        QFile::remove(work);
        throw Error(QStringLiteral("Cannot write \"%1\".").arg(file));
    }
}

} // namespace os
