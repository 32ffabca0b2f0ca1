#include "gui/settings/security_stuff.h"

#include "gui/app/dialog_buttons.h"

#include "base/messages.h"
#include "base/settings.h"
#include "gui/settings/settings_editor.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

TSecurityStuff::TSecurityStuff(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SecurityStuff"));
    setWindowTitle(QStringLiteral("Advanced Spoof Prevention"));
    setMinimumWidth(fontMetrics().averageCharWidth() * 90); // room for a full store URL

    SecRefBox = new QCheckBox(QStringLiteral("Reject NULL HTTP_REFERER (Recommended)"), this);
    SecRefBox->setObjectName(QStringLiteral("SecRefBox"));
    SecGetBox = new QCheckBox(QStringLiteral("Reject GET Requests"), this);
    SecGetBox->setObjectName(QStringLiteral("SecGetBox"));
    SecPostBox = new QCheckBox(QStringLiteral("Reject POST Requests"), this);
    SecPostBox->setObjectName(QStringLiteral("SecPostBox"));

    auto* expression = new QGroupBox(QStringLiteral("Security Expression"), this);
    auto* expressionLayout = new QVBoxLayout(expression);
    SecURLEdit = new QLineEdit(expression);
    SecURLEdit->setObjectName(QStringLiteral("SecURLEdit"));
    auto* warning = new QLabel(
        QStringLiteral("Only advanced Vendix Commerce Developers should edit this expression. "
                       "Anything other than the suggested value may cause functional "
                       "problems on your Web Site."),
        expression);
    warning->setWordWrap(true);
    SuggestLink =
        new QPushButton(QStringLiteral("Click Here for Suggested Expression"), expression);
    SuggestLink->setObjectName(QStringLiteral("SuggestLink"));
    SuggestLink->setFlat(true);
    SuggestLink->setCursor(Qt::PointingHandCursor);
    SuggestLink->setStyleSheet(
        QStringLiteral("color: palette(link); text-decoration: underline; text-align: left;"));
    expressionLayout->addWidget(SecURLEdit);
    expressionLayout->addWidget(warning);
    expressionLayout->addWidget(SuggestLink, 0, Qt::AlignLeft);

    const DialogButtons row = makeDialogButtons(
        this, QStringLiteral("OK"), QStringLiteral("Cancel"), QStringLiteral("Help"), 46);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    HelpBtn = row.help;
    QHBoxLayout* buttons = row.layout;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SecRefBox);
    layout->addWidget(SecGetBox);
    layout->addWidget(SecPostBox);
    layout->addWidget(expression);
    layout->addLayout(buttons);

    const Settings& s = settings();
    SecURLEdit->setText(s.SecURL);
    SecRefBox->setChecked(s.SecRef);
    SecGetBox->setChecked(s.SecGet);
    SecPostBox->setChecked(s.SecPost);

    fitHeightToWidth(this);

    connect(SuggestLink, &QPushButton::clicked, this, &TSecurityStuff::SuggestLinkClick);
    connect(SecGetBox, &QCheckBox::clicked, this, &TSecurityStuff::RejectBoxClick);
    connect(SecPostBox, &QCheckBox::clicked, this, &TSecurityStuff::RejectBoxClick);
    connect(OKBtn, &QPushButton::clicked, this, &TSecurityStuff::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TSecurityStuff::SuggestLinkClick()
{
    // Without a domain the expression would match no referring page at all.
    const QString domain = effectiveStoreDomain();
    if (domain.isEmpty()) {
        messages().warning(QStringLiteral(
            "The suggested expression needs the domain of your store. Enter it as \"Store "
            "domain:\" in Options, Vital Configs (Do These First), Vendix Location & Web "
            "Documents, or set the Ordersentinel CGI location in Net Connection Settings."));
        return;
    }
    SecURLEdit->setText(suggestedSecURL(domain));
}

void TSecurityStuff::RejectBoxClick()
{
    if (SecGetBox->isChecked() && SecPostBox->isChecked())
        messages().warning(QStringLiteral(
            "Rejecting both GET and POST requests will prevent Vendix from accepting "
            "items."));
}

void TSecurityStuff::OKBtnClick()
{
    Settings& s = settings();
    s.SecURL = SecURLEdit->text();
    s.SecRef = SecRefBox->isChecked();
    s.SecGet = SecGetBox->isChecked();
    s.SecPost = SecPostBox->isChecked();
    if (saveEditedSettings())
        accept();
}

} // namespace os
