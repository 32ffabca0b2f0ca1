#include "gui/settings/web_docs_form.h"

#include "gui/app/dialog_buttons.h"

#include "base/messages.h"
#include "base/settings.h"
#include "gui/app/help_window.h"
#include "gui/settings/settings_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace os {

namespace {

QLineEdit* field(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

} // namespace

TWebDocsForm::TWebDocsForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WebDocsForm"));
    setWindowTitle(QStringLiteral("Web Documents"));
    setMinimumWidth(fontMetrics().averageCharWidth() * 90); // room for a full store URL

    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));

    auto* cgiPage = new QWidget(Pages);
    auto* cgiPageLayout = new QVBoxLayout(cgiPage);
    auto* location = new QGroupBox(QStringLiteral("Vendix Location"), cgiPage);
    auto* locationLayout = new QVBoxLayout(location);
    locationLayout->addWidget(
        new QLabel(QStringLiteral("URL to the cgi-bin on your web site:"), location));
    CGIBINEdit = field(QStringLiteral("CGIBINEdit"), location);
    locationLayout->addWidget(CGIBINEdit);
    UseSSLBox = new QCheckBox(
        QStringLiteral("My web site has SSL and the https location to the cgi-bin is:"), location);
    UseSSLBox->setObjectName(QStringLiteral("UseSSLBox"));
    locationLayout->addWidget(UseSSLBox);
    SSLCGIBINEdit = field(QStringLiteral("SSLCGIBINEdit"), location);
    locationLayout->addWidget(SSLCGIBINEdit);
    SSLOnlyBox =
        new QCheckBox(QStringLiteral("Do not offer non-secure checkout (Secure ONLY)"), location);
    SSLOnlyBox->setObjectName(QStringLiteral("SSLOnlyBox"));
    locationLayout->addWidget(SSLOnlyBox);
    cgiPageLayout->addWidget(location);

    // The installation's store domain: the status bar names it and the
    // suggested spoof-prevention expression is built from it.
    auto* domain = new QGroupBox(QStringLiteral("Store Domain"), cgiPage);
    auto* domainLayout = new QVBoxLayout(domain);
    auto* domainLabel =
        new QLabel(QStringLiteral("Store domain (such as myshop.com; left empty, the domain of the "
                                  "Ordersentinel CGI location is used):"),
                   domain);
    domainLabel->setWordWrap(true);
    domainLayout->addWidget(domainLabel);
    StoreDomainEdit = field(QStringLiteral("StoreDomainEdit"), domain);
    domainLabel->setBuddy(StoreDomainEdit);
    domainLayout->addWidget(StoreDomainEdit);
    // What the store script's texts are written in: the posts are encoded in
    // it and its replies read in it.
    auto* charsetLabel = new QLabel(QStringLiteral("Store &character set:"), domain);
    domainLayout->addWidget(charsetLabel);
    StoreCharsetBox = new QComboBox(domain);
    StoreCharsetBox->setObjectName(QStringLiteral("StoreCharsetBox"));
    StoreCharsetBox->addItem(storeCharsetName(StoreCharset::Windows1252),
                             int(StoreCharset::Windows1252));
    StoreCharsetBox->addItem(storeCharsetName(StoreCharset::Utf8), int(StoreCharset::Utf8));
    charsetLabel->setBuddy(StoreCharsetBox);
    domainLayout->addWidget(StoreCharsetBox);
    cgiPageLayout->addWidget(domain);
    cgiPageLayout->addStretch(1);
    Pages->addTab(cgiPage, QStringLiteral("CGI Location (Vital Configs)"));

    auto* webPage = new QWidget(Pages);
    auto* webPageLayout = new QVBoxLayout(webPage);
    auto* references = new QGroupBox(QStringLiteral("Web Page References"), webPage);
    auto* referencesLayout = new QFormLayout(references);
    HomePageEdit = field(QStringLiteral("HomePageEdit"), references);
    StoreEntranceEdit = field(QStringLiteral("StoreEntranceEdit"), references);
    PoliciesEdit = field(QStringLiteral("PoliciesEdit"), references);
    referencesLayout->addRow(QStringLiteral("Location of Home Page:"), HomePageEdit);
    referencesLayout->addRow(QStringLiteral("Web Site Store Entrance:"), StoreEntranceEdit);
    referencesLayout->addRow(QStringLiteral("Location of Policies Page:"), PoliciesEdit);
    webPageLayout->addWidget(references);
    webPageLayout->addStretch(1);
    Pages->addTab(webPage, QStringLiteral("Web Pages"));

    const DialogButtons row = makeDialogButtons(
        this, QStringLiteral("OK"), QStringLiteral("Cancel"), QStringLiteral("Help"), 23);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    HelpBtn = row.help;
    QHBoxLayout* buttons = row.layout;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    layout->addLayout(buttons);

    const Settings& s = settings();
    CGIBINEdit->setText(s.CGIBINLocation);
    UseSSLBox->setChecked(s.UseSSL);
    SSLCGIBINEdit->setText(s.SSLCGIBINLocation);
    SSLOnlyBox->setChecked(s.SSLOnly);
    HomePageEdit->setText(s.Home_page);
    StoreEntranceEdit->setText(s.store_entrance);
    PoliciesEdit->setText(s.policies_page);
    StoreDomainEdit->setText(s.storeDomain);
    m_storedDomain = s.storeDomain;
    m_storedCharset = StoreCharsetBox->findData(int(s.storeCharset));
    StoreCharsetBox->setCurrentIndex(m_storedCharset);
    {
        Settings fromUrl = s;
        fromUrl.storeDomain.clear();
        StoreDomainEdit->setPlaceholderText(effectiveStoreDomain(fromUrl));
    }
    UseSSLBoxClick();

    fitHeightToWidth(this);

    connect(UseSSLBox, &QCheckBox::toggled, this, &TWebDocsForm::UseSSLBoxClick);
    // clicked, not toggled: only the user's check asks, not the filling above.
    connect(SSLOnlyBox, &QCheckBox::clicked, this, &TWebDocsForm::SSLOnlyBoxClick);
    connect(OKBtn, &QPushButton::clicked, this, &TWebDocsForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TWebDocsForm::UseSSLBoxClick()
{
    // The secure location and the secure-only choice mean something only
    // with SSL; their values are kept while disabled.
    const bool ssl = UseSSLBox->isChecked();
    SSLCGIBINEdit->setEnabled(ssl);
    SSLOnlyBox->setEnabled(ssl);
}

void TWebDocsForm::SSLOnlyBoxClick(bool checked)
{
    if (!checked || settings().SSLOnly)
        return;
    const Answer answer =
        messages().ask(QStringLiteral("Some shoppers on your web site may not be able to checkout "
                                      "online. Click \"Yes\" for more "
                                      "information; click \"No\" to continue what you are doing. "),
                       Buttons::YesNo);
    if (answer != Answer::No)
        showHelpTopic(61);
}

void TWebDocsForm::OKBtnClick()
{
    Settings& s = settings();
    s.CGIBINLocation = CGIBINEdit->text();
    s.UseSSL = UseSSLBox->isChecked();
    s.SSLCGIBINLocation = SSLCGIBINEdit->text();
    s.SSLOnly = SSLOnlyBox->isChecked();
    s.Home_page = HomePageEdit->text();
    s.store_entrance = StoreEntranceEdit->text();
    s.policies_page = PoliciesEdit->text();
    if (!saveEditedSettings())
        return;
    const QString domain = StoreDomainEdit->text().trimmed();
    if (domain != m_storedDomain) {
        QString error;
        if (!saveStoreDomain(domain, &error)) {
            showSettingsWriteError(error);
            return;
        }
        m_storedDomain = domain;
    }
    if (StoreCharsetBox->currentIndex() != m_storedCharset) {
        QString error;
        if (!saveStoreCharset(StoreCharset(StoreCharsetBox->currentData().toInt()), &error)) {
            showSettingsWriteError(error);
            return;
        }
        m_storedCharset = StoreCharsetBox->currentIndex();
    }
    accept();
}

} // namespace os
