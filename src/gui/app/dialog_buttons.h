#pragma once

#include <QString>

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace os {

// The OK / Cancel / Help row of the settings dialogs, right-aligned, OK the
// default button. Help opens `helpTopic`; Cancel and OK are the caller's to
// connect (their effects differ per dialog).
struct DialogButtons
{
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* help = nullptr;
    QHBoxLayout* layout = nullptr;
};

DialogButtons makeDialogButtons(QWidget* dialog, const QString& okText, const QString& cancelText,
                                const QString& helpText, int helpTopic);

} // namespace os
