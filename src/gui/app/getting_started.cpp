#include "gui/app/getting_started.h"

#include "ui_getting_started.h"

#include "base/ini_file.h"
#include "base/settings.h"
#include "gui/app/help_window.h"
#include "gui/app/main_form.h"
#include "gui/settings/manager_connection.h"
#include "gui/storeconfig/company_info_form.h"
#include "gui/storeconfig/options_cc_form.h"
#include "gui/sync/update_site_form.h"
#include "storeconfig/card_list.h"
#include "sync/store_session.h"

#include <QEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTreeWidget>

namespace os {

namespace {

const QString kSection = QStringLiteral("GettingStarted");
const QString kShowKey = QStringLiteral("ShowAtStart");
const QString kRetrievedKey = QStringLiteral("FirstRetrieval");
const QString kPublishedKey = QStringLiteral("FirstPublish");

bool installationFlag(const QString& key, bool fallback)
{
    IniFile ini(installationFile());
    ini.load();
    const QString v =
        ini.value(kSection, key, fallback ? QStringLiteral("1") : QStringLiteral("0"));
    return v.trimmed() != QLatin1String("0");
}

void setInstallationFlag(const QString& key, bool on)
{
    IniFile ini(installationFile());
    ini.load();
    ini.setValue(kSection, key, on ? QStringLiteral("1") : QStringLiteral("0"));
    ini.save();
}

// A text that is filled and not the example of a new installation.
bool filled(const QString& value, const QString& example)
{
    const QString v = value.trimmed();
    return !v.isEmpty() && v.compare(example, Qt::CaseInsensitive) != 0;
}

} // namespace

TGettingStarted::TGettingStarted(TMainForm* form)
    : QDialog(form), m_ui(std::make_unique<Ui::GettingStarted>()), m_form(form)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setProperty("helpTopic", 45);
    const QList<QPushButton*> buttons = {m_ui->StoreButton,     m_ui->MailButton,
                                         m_ui->CompanyButton,   m_ui->CardsButton,
                                         m_ui->RetrievalButton, m_ui->PublishButton};
    for (int i = 0; i < StepCount; ++i)
        connect(buttons.at(i), &QPushButton::clicked, this, [this, i] { openStep(Step(i)); });
    m_ui->DontShowBox->setChecked(!installationFlag(kShowKey, true));
    connect(m_ui->DontShowBox, &QCheckBox::toggled, this,
            [](bool dontShow) { setInstallationFlag(kShowKey, !dontShow); });
    connect(m_ui->CloseButton, &QPushButton::clicked, this, &QDialog::close);
    connect(m_ui->HelpButton, &QPushButton::clicked, this, [] { showHelpTopic(45); });
    refresh();
}

TGettingStarted::~TGettingStarted() = default;

bool TGettingStarted::stepDone(Step step)
{
    const Settings& s = settings();
    const Settings example;
    switch (step) {
    case StoreStep:
        return filled(s.VendixManagerURL, example.VendixManagerURL);
    case MailStep:
        return filled(s.SMTPServer, example.SMTPServer);
    case CompanyStep:
        return filled(s.CompanyName, example.CompanyName);
    case CardsStep:
        return !s.AcceptCC || !readCardList().isEmpty();
    case RetrievalStep:
        return installationFlag(kRetrievedKey, false);
    case PublishStep:
        return installationFlag(kPublishedKey, false);
    case StepCount:
        break;
    }
    return false;
}

bool TGettingStarted::allDone()
{
    for (int i = 0; i < StepCount; ++i) {
        if (!stepDone(Step(i)))
            return false;
    }
    return true;
}

bool TGettingStarted::showAtStart()
{
    return installationFlag(kShowKey, true) && !allDone();
}

void TGettingStarted::sessionSucceeded(const QString& action)
{
    if (action == StoreSession::GetOrdersAction)
        setInstallationFlag(kRetrievedKey, true);
    else if (action == StoreSession::PublishAction)
        setInstallationFlag(kPublishedKey, true);
}

QLabel* TGettingStarted::stateLabel(Step step) const
{
    const QList<QLabel*> labels = {m_ui->StoreState, m_ui->MailState,      m_ui->CompanyState,
                                   m_ui->CardsState, m_ui->RetrievalState, m_ui->PublishState};
    return labels.value(step);
}

void TGettingStarted::refresh()
{
    for (int i = 0; i < StepCount; ++i)
        stateLabel(Step(i))->setText(stepDone(Step(i)) ? QStringLiteral("Done")
                                                       : QStringLiteral("To do"));
}

void TGettingStarted::changeEvent(QEvent* event)
{
    // Back from another window (a session in the Connections window, say).
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
    QDialog::changeEvent(event);
}

void TGettingStarted::openStep(Step step)
{
    switch (step) {
    case StoreStep:
    case MailStep: // the mail server is set in the same window
        m_form->runModal<TManagerConnection>();
        break;
    case CompanyStep:
        m_form->runModal<TCompanyInfoForm>();
        break;
    case CardsStep:
        m_form->runModal<TOPTIONS_CC_FORM>();
        break;
    case RetrievalStep:
        openSession(StoreSession::GetOrdersAction);
        break;
    case PublishStep:
        openSession(StoreSession::PublishAction);
        break;
    case StepCount:
        break;
    }
    refresh();
}

// The Connections window in front with the step's action chosen; the password
// and "Start Session" are the merchant's.
void TGettingStarted::openSession(const QString& action)
{
    m_form->OnlineClick();
    QMdiSubWindow* sub = m_form->mdiArea()->activeSubWindow();
    auto* site = sub ? qobject_cast<TUpdateSiteForm*>(sub->widget()) : nullptr;
    if (!site)
        return;
    const QList<QTreeWidgetItem*> found =
        site->RzTreeView1->findItems(action, Qt::MatchExactly | Qt::MatchRecursive);
    if (!found.isEmpty()) {
        site->RzTreeView1->setCurrentItem(found.first());
        site->RzTreeView1Click(found.first());
    }
    connect(site, &TUpdateSiteForm::sessionEnded, this, &TGettingStarted::refresh,
            Qt::UniqueConnection);
    site->activateWindow();
    site->PassEdit->setFocus();
}

} // namespace os
