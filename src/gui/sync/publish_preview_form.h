#pragma once

#include "sync/publish_preview.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace os {

// "Preview Changes" of the Connections window: every field and rate-table row
// that the next publish would change on the store, compared with what the
// last publish sent. It only shows; nothing is sent.
class TPublishPreviewForm : public QDialog
{
    Q_OBJECT
public:
    explicit TPublishPreviewForm(const PublishPreview& preview, QWidget* parent = nullptr);

    QLabel* SummaryLabel = nullptr;
    QLabel* ProblemsLabel = nullptr; // rate tables that would be left out
    QTableWidget* Differences = nullptr;
    QPushButton* CloseBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    // The summary above the list.
    static QString summaryText(const PublishPreview& preview);
};

} // namespace os
