#include "gui/sync/publish_preview_form.h"

#include "gui/app/help_window.h"
#include "gui/app/window_size.h"
#include "sync/store_session.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace os {

QString TPublishPreviewForm::summaryText(const PublishPreview& preview)
{
    if (!preview.publishedAt)
        return QStringLiteral("Nothing has been published from this company yet: publishing "
                              "sends every field and row below to the store.");
    const QString when = StoreSession::sessionTimeText(*preview.publishedAt);
    const qsizetype n = preview.differences.size();
    if (n == 0)
        return QStringLiteral("No differences: the store would receive the configuration "
                              "published on %1 again.")
            .arg(when);
    return QStringLiteral("%1 %2 from the configuration published on %3. Publishing replaces "
                          "the store's whole configuration.")
        .arg(n)
        .arg(n == 1 ? QStringLiteral("difference") : QStringLiteral("differences"), when);
}

TPublishPreviewForm::TPublishPreviewForm(const PublishPreview& preview, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PublishPreviewForm"));
    setWindowTitle(QStringLiteral("Preview Changes"));
    setProperty("helpTopic", 44); // F1

    SummaryLabel = new QLabel(summaryText(preview), this);
    SummaryLabel->setObjectName(QStringLiteral("SummaryLabel"));
    SummaryLabel->setWordWrap(true);

    QStringList problems;
    for (const auto& problem : preview.problems)
        problems << problem.second;
    ProblemsLabel = new QLabel(this);
    ProblemsLabel->setObjectName(QStringLiteral("ProblemsLabel"));
    ProblemsLabel->setWordWrap(true);
    ProblemsLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    ProblemsLabel->setText(
        problems.join(QLatin1Char('\n')) +
        QStringLiteral("\nA table that cannot be read is left out of the post."));
    ProblemsLabel->setVisible(!problems.isEmpty());

    Differences = new QTableWidget(int(preview.differences.size()), 4, this);
    Differences->setObjectName(QStringLiteral("Differences"));
    Differences->setHorizontalHeaderLabels({QStringLiteral("Change"), QStringLiteral("Field"),
                                            QStringLiteral("Published"), QStringLiteral("Now")});
    Differences->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Differences->setSelectionBehavior(QAbstractItemView::SelectRows);
    Differences->setSelectionMode(QAbstractItemView::SingleSelection);
    Differences->setWordWrap(false);
    Differences->verticalHeader()->hide();
    Differences->verticalHeader()->setDefaultSectionSize(Differences->fontMetrics().height() + 6);
    Differences->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Differences->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < preview.differences.size(); ++row) {
        const ConfigDifference& d = preview.differences.at(row);
        // The field by its caption in the settings windows, the posted name beside it.
        const QStringList cells{ConfigDifference::kindName(d.kind), fieldCaption(d.field),
                                d.oldValue, d.newValue};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells.at(column));
            item->setToolTip(cells.at(column)); // long values in full
            Differences->setItem(row, column, item);
        }
    }
    Differences->resizeColumnsToContents();
    // Room for the captions and short values even when the list is empty;
    // long values (the page body tag) must not push "Now" out of sight.
    const int x = Differences->fontMetrics().horizontalAdvance(QLatin1Char('x'));
    const int least[] = {10 * x, 24 * x, 24 * x};
    for (int column = 0; column < 3; ++column)
        Differences->setColumnWidth(
            column, std::clamp(Differences->columnWidth(column), least[column], 48 * x));
    if (!preview.differences.isEmpty())
        Differences->selectRow(0);

    CloseBtn = new QPushButton(QStringLiteral("Close"), this);
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    CloseBtn->setDefault(true);
    HelpBtn = new QPushButton(QStringLiteral("Help"), this);
    HelpBtn->setObjectName(QStringLiteral("HelpBtn"));
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(HelpBtn, &QPushButton::clicked, this, [] { showHelpTopic(44); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CloseBtn);
    buttons->addWidget(HelpBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SummaryLabel);
    layout->addWidget(ProblemsLabel);
    layout->addWidget(Differences, 1);
    layout->addLayout(buttons);

    setTabOrder(Differences, CloseBtn);
    setTabOrder(CloseBtn, HelpBtn);
    Differences->setFocus();
    // Roomy, but never larger than the screen (a large scale factor).
    resizeWithinScreen(this, QSize(860, 480));
}

} // namespace os
