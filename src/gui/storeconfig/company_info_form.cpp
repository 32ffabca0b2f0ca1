#include "gui/storeconfig/company_info_form.h"

#include "base/settings.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace os {

namespace {

// One group of labelled fields; each field is made, named and added in order.
class Group
{
public:
    Group(const QString& title, QWidget* parent) : m_box(new QGroupBox(title, parent))
    {
        m_form = new QFormLayout(m_box);
    }
    QLineEdit* field(const QString& label, const QString& name, const QString& value)
    {
        auto* edit = new QLineEdit(value, m_box);
        edit->setObjectName(name);
        m_form->addRow(label, edit);
        return edit;
    }
    QGroupBox* box() const { return m_box; }

private:
    QGroupBox* m_box;
    QFormLayout* m_form;
};

} // namespace

TCompanyInfoForm::TCompanyInfoForm(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("CompanyInfoForm"), QStringLiteral("Company Information"),
                   11)
{
    setMinimumWidth(460);
    const Settings& s = settings();

    Group company(QStringLiteral("Company Information"), this);
    CompanyNameEdit = company.field(QStringLiteral("Company Name:"),
                                    QStringLiteral("CompanyNameEdit"), s.CompanyName);
    StreetEdit =
        company.field(QStringLiteral("Street:"), QStringLiteral("StreetEdit"), s.CompanyStreet);
    CityEdit = company.field(QStringLiteral("City:"), QStringLiteral("CityEdit"), s.CompanyCity);
    StateEdit =
        company.field(QStringLiteral("State:"), QStringLiteral("StateEdit"), s.CompanyState);
    ZipEdit = company.field(QStringLiteral("Zip:"), QStringLiteral("ZipEdit"), s.CompanyZip);

    Group phone(QStringLiteral("Phone Number"), this);
    PhoneEdit = phone.field(QStringLiteral("Phone:"), QStringLiteral("PhoneEdit"), s.CompanyPhone);
    TollFreeEdit =
        phone.field(QStringLiteral("Toll Free:"), QStringLiteral("TollFreeEdit"), s.TollFree);

    Group mail(QStringLiteral("E-mail Addresses"), this);
    OrderEmailEdit = mail.field(QStringLiteral("Order Notification:"),
                                QStringLiteral("OrderEmailEdit"), s.OrderEmail);
    InfoMailEdit =
        mail.field(QStringLiteral("Information:"), QStringLiteral("InfoMailEdit"), s.infoMail);
    WebMasterEdit =
        mail.field(QStringLiteral("Webmaster:"), QStringLiteral("WebMasterEdit"), s.WEbMasterEmail);
    BillingEdit =
        mail.field(QStringLiteral("Billing:"), QStringLiteral("BillingEdit"), s.BillingMail);

    auto* body = new QVBoxLayout;
    body->addWidget(company.box());
    body->addWidget(phone.box());
    body->addWidget(mail.box());
    finish(body, QStringLiteral("&OK"), QStringLiteral("&Cancel"), QStringLiteral("&Help"));
}

bool TCompanyInfoForm::store()
{
    Settings& s = settings();
    s.CompanyName = CompanyNameEdit->text();
    s.CompanyStreet = StreetEdit->text();
    s.CompanyCity = CityEdit->text();
    s.CompanyState = StateEdit->text();
    s.CompanyZip = ZipEdit->text();
    s.CompanyPhone = PhoneEdit->text();
    s.TollFree = TollFreeEdit->text();
    s.OrderEmail = OrderEmailEdit->text();
    s.infoMail = InfoMailEdit->text();
    s.WEbMasterEmail = WebMasterEdit->text();
    s.BillingMail = BillingEdit->text();
    return true;
}

} // namespace os
