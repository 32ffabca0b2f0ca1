#pragma once

#include <QString>

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace os {

// The OK / Cancel / Help row of the settings dialogs, right-aligned, OK the
// default button. Help (and F1 anywhere in the dialog) opens `helpTopic`;
// Cancel and OK are the caller's to connect (their effects differ per dialog).
// An empty `cancelText` leaves the Cancel button out (a "Done" / "Help" row);
// `cancel` is then null.
struct DialogButtons
{
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* help = nullptr;
    QHBoxLayout* layout = nullptr;
};

// Sizes a dialog to its contents at its width: word-wrapped labels are
// measured at the width they really get, so no blank band is left under them.
// Call it once the dialog's layout is complete.
void fitHeightToWidth(QWidget* dialog);

DialogButtons makeDialogButtons(QWidget* dialog, const QString& okText, const QString& cancelText,
                                const QString& helpText, int helpTopic);

} // namespace os
