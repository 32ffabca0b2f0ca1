#include "gui/orders/shipping_notes.h"

#include "data/main_data_mod.h"
#include "gui/app/db_grid.h"
#include "gui/app/detail_grid.h"
#include "gui/app/help_window.h"
#include "gui/app/window_size.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace os {

QList<GridColumn> shippingColumns()
{
    return {{QStringLiteral("IDATE"), QStringLiteral("Date")},
            {QStringLiteral("SHIPCOMMENT"), QStringLiteral("Shipping Comments"), 30},
            {QStringLiteral("SERVICE"), QStringLiteral("Service Used"), 16},
            {QStringLiteral("METHOD"), QStringLiteral("Method Shipped"), 16},
            {QStringLiteral("TRACKINGCODE"), QStringLiteral("Tracking Number"), 24}};
}

TShippingNotes::TShippingNotes(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Shipping Log"));
    setProperty("helpTopic", 37);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    Records = new DetailGrid(TMainDataMod::instance()->Shipping_LOG, shippingColumns(), this);
    Records->setObjectName(QStringLiteral("Records"));
    Records->grid()->setObjectName(QStringLiteral("ShippingGrid"));
    Records->grid()->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Records, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    DoneBtn = new QPushButton(QStringLiteral("&Done"), this);
    DoneBtn->setObjectName(QStringLiteral("DoneBtn"));
    DoneBtn->setAutoDefault(false);
    buttons->addWidget(DoneBtn);
    layout->addLayout(buttons);
    connect(DoneBtn, &QPushButton::clicked, this, &QDialog::accept);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [] { showHelpTopic(37); });

    // Wide enough for every shipping record column.
    resizeWithinScreen(
        this, QSize(windowWidthForGrid(this, Records->grid()), 24 * fontMetrics().height()));
    Records->setFocus();
}

void TShippingNotes::done(int result)
{
    // Every way out keeps what was typed, as leaving a row does.
    if (!Records->saveTyping())
        return; // refused: the row stays for correcting
    QDialog::done(result);
}

} // namespace os
