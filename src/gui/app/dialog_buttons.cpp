#include "gui/app/dialog_buttons.h"

#include "gui/app/help_window.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QPushButton>
#include <QShortcut>

namespace os {

void fitHeightToWidth(QWidget* dialog)
{
    QLayout* layout = dialog->layout();
    if (!layout)
        return;
    dialog->ensurePolished();
    layout->activate();
    const int width = std::max(dialog->minimumWidth(), dialog->sizeHint().width());
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                   : dialog->sizeHint().height();
    dialog->resize(width, height);
}

DialogButtons makeDialogButtons(QWidget* dialog, const QString& okText, const QString& cancelText,
                                const QString& helpText, int helpTopic)
{
    DialogButtons b;
    b.ok = new QPushButton(okText, dialog);
    b.ok->setObjectName(QStringLiteral("OKBtn"));
    b.ok->setDefault(true);
    if (!cancelText.isEmpty()) {
        b.cancel = new QPushButton(cancelText, dialog);
        b.cancel->setObjectName(QStringLiteral("CancelBtn"));
    }
    b.help = new QPushButton(helpText, dialog);
    b.help->setObjectName(QStringLiteral("HelpBtn"));
    QObject::connect(b.help, &QPushButton::clicked, dialog,
                     [helpTopic] { showHelpTopic(helpTopic); });
    // F1 is the Help button, as everywhere in the program.
    auto* f1 = new QShortcut(QKeySequence::HelpContents, dialog);
    QObject::connect(f1, &QShortcut::activated, b.help, &QPushButton::click);
    b.layout = new QHBoxLayout;
    b.layout->addStretch(1);
    b.layout->addWidget(b.ok);
    if (b.cancel)
        b.layout->addWidget(b.cancel);
    b.layout->addWidget(b.help);
    return b;
}

} // namespace os
