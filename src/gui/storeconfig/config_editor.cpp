#include "gui/storeconfig/config_editor.h"

#include "base/settings.h"
#include "gui/app/dialog_buttons.h"
#include "gui/settings/settings_editor.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

ConfigEditor::ConfigEditor(QWidget* parent, const QString& objectName, const QString& caption,
                           int helpTopic)
    : QDialog(parent), m_helpTopic(helpTopic)
{
    setObjectName(objectName);
    setWindowTitle(caption);
}

void ConfigEditor::finish(QLayout* body, const QString& okText, const QString& cancelText,
                          const QString& helpText)
{
    const DialogButtons row = makeDialogButtons(this, okText, cancelText, helpText, m_helpTopic);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    HelpBtn = row.help;
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(row.layout);
    connect(OKBtn, &QPushButton::clicked, this, &ConfigEditor::OKBtnClick);
    if (CancelBtn)
        connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    if (!findChild<QAbstractItemView*>())
        fitHeightToWidth(this); // a window with a grid has a size of its own
}

void ConfigEditor::OKBtnClick()
{
    // A file that cannot be written is shown and the window stays open (the
    // record keeps the values), so that OK can be pressed again.
    if (!store() || !saveEditedSettings())
        return;
    accept();
}

QPushButton* makeLinkButton(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* link = new QPushButton(text, parent);
    link->setObjectName(objectName);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(
        QStringLiteral("color: palette(link); text-decoration: underline; text-align: left;"));
    return link;
}

} // namespace os
