#include "gui/orders/order_notes_dialog.h"
#include "gui/app/window_size.h"

#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/detail_grid.h"
#include "gui/app/dialog_buttons.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

QLabel* addOrderLine(QWidget* dialog, QVBoxLayout* layout, const Table& orders)
{
    QString text;
    if (orders.isOpen() && !orders.isEmpty()) {
        QString who = orders.value(QStringLiteral("NAME")).toString().trimmed();
        if (who.isEmpty())
            who = orders.value(QStringLiteral("COMPANY")).toString().trimmed();
        text = QStringLiteral("Invoice %1").arg(orders.value(QStringLiteral("INV")).toString());
        if (!who.isEmpty())
            text += QStringLiteral(": ") + who;
    }
    auto* line = new QLabel(text, dialog);
    line->setObjectName(QStringLiteral("OrderLine"));
    line->setTextFormat(Qt::PlainText);
    QFont bold = line->font();
    bold.setBold(true);
    line->setFont(bold);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(line);
    return line;
}

OrderNotesDialog::OrderNotesDialog(const QString& caption, int helpTopic, const QString& text,
                                   const QString& notesTitle, QWidget* parent)
    : QDialog(parent), m_data(TMainDataMod::instance())
{
    Q_ASSERT_X(m_data, "OrderNotesDialog", "the data module comes first");
    setWindowTitle(caption);
    setProperty("helpTopic", helpTopic);
    auto* layout = new QVBoxLayout(this);
    addOrderLine(this, layout, orders());

    Label1 = new QLabel(text, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    layout->addWidget(Label1);

    m_fields = new QFormLayout;
    m_fields->setLabelAlignment(Qt::AlignRight);
    layout->addLayout(m_fields);

    QList<GridColumn> columns{{QStringLiteral("IDATE"), QStringLiteral("Date")},
                              {QStringLiteral("NOTE"), notesTitle}};
    Notes = new DetailGrid(m_data->InvoiceNotes, columns, this);
    Notes->setObjectName(QStringLiteral("Notes"));
    Notes->grid()->setObjectName(QStringLiteral("NotesGrid"));
    Notes->grid()->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Notes, 1);

    const DialogButtons b = makeDialogButtons(this, QStringLiteral("OK"), QStringLiteral("Cancel"),
                                              QStringLiteral("Help"), helpTopic);
    OKBtn = b.ok;
    CancelBtn = b.cancel;
    HelpBtn = b.help;
    layout->addLayout(b.layout);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &OrderNotesDialog::reject);

    const int em = fontMetrics().averageCharWidth();
    setMinimumSize(60 * em, 22 * fontMetrics().height());
    resizeWithinScreen(this, QSize(72 * em, 28 * fontMetrics().height()));
    Notes->setFocus();
}

OrderNotesDialog::~OrderNotesDialog() = default;

Table& OrderNotesDialog::orders() const
{
    return *m_data->ORDERs;
}

QLabel* OrderNotesDialog::addShown(const QString& label, const QString& text,
                                   const char* objectName)
{
    auto* shown = new QLabel(text, this);
    shown->setObjectName(QLatin1String(objectName));
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fields->addRow(label, shown);
    return shown;
}

bool OrderNotesDialog::saveNote()
{
    return Notes->saveTyping();
}

void OrderNotesDialog::discardNote()
{
    Notes->discardTyping();
}

void OrderNotesDialog::OKBtnClick()
{
    if (saveNote())
        accept();
}

void OrderNotesDialog::closeEvent(QCloseEvent* event)
{
    m_closing = true;
    QDialog::closeEvent(event);
    m_closing = false;
}

void OrderNotesDialog::reject()
{
    if (m_closing && m_closeBoxSavesNote) {
        if (!saveNote())
            return; // refused: the row stays for correcting
    } else {
        discardNote();
    }
    QDialog::reject();
}

} // namespace os
