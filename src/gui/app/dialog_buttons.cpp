#include "gui/app/dialog_buttons.h"

#include "gui/app/help_window.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace os {

DialogButtons makeDialogButtons(QWidget* dialog, const QString& okText, const QString& cancelText,
                                const QString& helpText, int helpTopic)
{
    DialogButtons b;
    b.ok = new QPushButton(okText, dialog);
    b.ok->setObjectName(QStringLiteral("OKBtn"));
    b.ok->setDefault(true);
    b.cancel = new QPushButton(cancelText, dialog);
    b.cancel->setObjectName(QStringLiteral("CancelBtn"));
    b.help = new QPushButton(helpText, dialog);
    b.help->setObjectName(QStringLiteral("HelpBtn"));
    QObject::connect(b.help, &QPushButton::clicked, dialog,
                     [helpTopic] { showHelpTopic(helpTopic); });
    b.layout = new QHBoxLayout;
    b.layout->addStretch(1);
    b.layout->addWidget(b.ok);
    b.layout->addWidget(b.cancel);
    b.layout->addWidget(b.help);
    return b;
}

} // namespace os
