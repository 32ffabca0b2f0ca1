#include "gui/storeconfig/basic_ship_form.h"

#include "base/messages.h"
#include "base/settings.h"
#include "base/text_utils.h"
#include "data/main_data_mod.h"
#include "gui/app/db_grid.h"
#include "gui/app/help_window.h"
#include "storeconfig/field_numbers.h"
#include "storeconfig/shipping_rules.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace os {

namespace {

// The labels that name a field which is not a number.
const QString kBaseShippingLabel = QStringLiteral("Base shipping fee:");
const QString kFirstItemLabel = QStringLiteral("First item fee:");
const QString kSecondItemLabel = QStringLiteral("Additional item fee:");
const QString kWeightBaseLabel = QStringLiteral("Weight based base fee:");
const QString kAdvBaseLabel = QStringLiteral("Advanced weight based base fee:");
const QString kCalcFeeLabel = QStringLiteral("Fee per weight:");
const QString kPercentageLabel = QStringLiteral("Percentage of the order total:");
const QString kHandlingLabel = QStringLiteral("Handling fee:");

QLineEdit* field(const QString& name, QWidget* parent, int chars = 10)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaximumWidth(parent->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (chars + 2));
    return edit;
}

QLabel* text(const QString& caption, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setWordWrap(true);
    return label;
}

// A page of sentence pieces and fields, one under the other.
QWidget* sentencePage(QWidget* parent, const QList<QWidget*>& parts)
{
    auto* page = new QWidget(parent);
    auto* layout = new QVBoxLayout(page);
    for (QWidget* w : parts) {
        w->setParent(page);
        layout->addWidget(w);
    }
    layout->addStretch(1);
    return page;
}

QCheckBox* checkBox(const QString& caption, const QString& name, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QWidget* comingSoon(QWidget* parent)
{
    auto* page = new QWidget(parent);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Coming Soon!"), page), 0, Qt::AlignCenter);
    return page;
}

} // namespace

TBasicShipForm::TBasicShipForm(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("BasicShipForm"), QStringLiteral("Shipping Method"), 16)
{
    TMainDataMod* dm = TMainDataMod::instance();
    const Settings& s = settings();

    // The choices and what goes with all of them, on the left.
    auto* choices = new QGroupBox(QStringLiteral("Shipping Method"), this);
    auto* choicesLayout = new QVBoxLayout(choices);
    const QList<QPair<QString, QString>> captions = {
        {QStringLiteral("I Will Not Use Shipping"), QStringLiteral("NoShippingBtn")},
        {QStringLiteral("Basic Shipping Method"), QStringLiteral("BasicBtn")},
        {QStringLiteral("Per Item Method"), QStringLiteral("PerItemBtn")},
        {QStringLiteral("Basic Weight Based"), QStringLiteral("BasicWeightBtn")},
        {QStringLiteral("Advanced Weight Based"), QStringLiteral("AdvWeightBtn")},
        {QStringLiteral("Live Connect Shipping"), QStringLiteral("LiveBtn")}};
    for (const auto& [caption, name] : captions) {
        auto* button = new QRadioButton(caption, choices);
        button->setObjectName(name);
        // Exclusive by hand: at opening a stored code of the merchant's own
        // selects none of them.
        button->setAutoExclusive(false);
        connect(button, &QRadioButton::clicked, this, [this, button] {
            for (QRadioButton* other : std::as_const(m_choices))
                other->setChecked(other == button);
            MethodClick();
        });
        choicesLayout->addWidget(button);
        m_choices << button;
    }
    NoShippingBtn = m_choices.at(0);
    BasicBtn = m_choices.at(1);
    PerItemBtn = m_choices.at(2);
    BasicWeightBtn = m_choices.at(3);
    AdvWeightBtn = m_choices.at(4);
    LiveBtn = m_choices.at(5);

    auto* common = new QFormLayout;
    CustomCodeEdit = new QLineEdit(choices);
    CustomCodeEdit->setObjectName(QStringLiteral("CustomCodeEdit"));
    DefaultDisplayEdit = new QLineEdit(choices);
    DefaultDisplayEdit->setObjectName(QStringLiteral("DefaultDisplayEdit"));
    DefWeightEdit = field(QStringLiteral("DefWeightEdit"), choices, 6);
    common->addRow(QStringLiteral("Custom Code:"), CustomCodeEdit);
    common->addRow(QStringLiteral("Default Shipping Display:"), DefaultDisplayEdit);
    common->addRow(QStringLiteral("Default Weight:"), DefWeightEdit);
    choicesLayout->addSpacing(8);
    choicesLayout->addLayout(common);
    ShowExtensionsLink = makeLinkButton(QStringLiteral("Show Shipping Extensions"),
                                        QStringLiteral("ShowExtensionsLink"), choices);
    InformationLink = makeLinkButton(QStringLiteral("[* Information *]"),
                                     QStringLiteral("InformationLink"), choices);
    choicesLayout->addWidget(ShowExtensionsLink);
    choicesLayout->addStretch(1);
    choicesLayout->addWidget(InformationLink);

    // One page per choice, on the right.
    Pages = new QStackedWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    // Hidden for "I Will Not Use Shipping" without the choices moving under
    // the mouse.
    QSizePolicy keepPlace = Pages->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    Pages->setSizePolicy(keepPlace);
    m_pages << new QWidget(Pages); // no shipping: nothing to set

    BaseShippingEdit = field(QStringLiteral("BaseShippingEdit"), this);
    BasePercentageEdit = field(QStringLiteral("BasePercentageEdit"), this);
    BasePercentageEdit->setToolTip(QStringLiteral("A fraction of the order total: 0.15 for 15% "
                                                  "(15 is read as 15% and stored as 0.15)"));
    {
        auto* percentRow = new QWidget(this);
        auto* row = new QHBoxLayout(percentRow);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(BasePercentageEdit);
        row->addWidget(new QLabel(QStringLiteral("%  of the order total"), percentRow), 1);
        m_pages << sentencePage(Pages,
                                {text(QStringLiteral("I charge my customers"), this),
                                 text(QStringLiteral("with a  base shipping fee of $"), this),
                                 BaseShippingEdit, percentRow});
    }

    FirstItemEdit = field(QStringLiteral("FirstItemEdit"), this);
    SecondItemEdit = field(QStringLiteral("SecondItemEdit"), this);
    m_pages << sentencePage(Pages,
                            {text(QStringLiteral("I charge my customers $"), this), FirstItemEdit,
                             text(QStringLiteral("for the first item and $"), this), SecondItemEdit,
                             text(QStringLiteral("for each additional item"), this)});

    CalcFeeEdit = field(QStringLiteral("CalcFeeEdit"), this);
    WeightBaseFeeEdit = field(QStringLiteral("WeightBaseFeeEdit"), this);
    m_pages << sentencePage(
        Pages, {text(QStringLiteral("I charge my customers $"), this), CalcFeeEdit,
                text(QStringLiteral("multiplied by the "), this),
                text(QStringLiteral("weight of the item with a base shipping fee of $"), this),
                WeightBaseFeeEdit});

    {
        auto* page = new QWidget(Pages);
        auto* layout = new QVBoxLayout(page);
        AdvBaseFeeEdit = field(QStringLiteral("AdvBaseFeeEdit"), page);
        layout->addWidget(
            text(QStringLiteral("I will charge my customers a base shipping fee of $"), page));
        layout->addWidget(AdvBaseFeeEdit);
        layout->addWidget(
            text(QStringLiteral("plus the fees in the weights and fees below"), page));
        layout->addWidget(addGrid(dm->ShipIt,
                                  {{QStringLiteral("WEIGHT"), QStringLiteral("Item Weight"), 12},
                                   {QStringLiteral("FEE"), QStringLiteral("Fee for Weight"), 14}},
                                  QStringLiteral("ShipItBox"), false, &ShipItGrid),
                          1);
        m_pages << page;
    }

    {
        LivePages = new QTabWidget(Pages);
        LivePages->setObjectName(QStringLiteral("LivePages"));

        auto* global = new QWidget(LivePages);
        auto* globalLayout = new QVBoxLayout(global);
        auto* zipRow = new QFormLayout;
        OriginZipEdit = field(QStringLiteral("OriginZipEdit"), global, 12);
        zipRow->addRow(QStringLiteral("Origin Zip:"), OriginZipEdit);
        globalLayout->addLayout(zipRow);
        CombineItemsBox = checkBox(QStringLiteral("When connecting to retrieve shipping quotes "
                                                  "combine all items into one package."),
                                   QStringLiteral("CombineItemsBox"), global);
        globalLayout->addWidget(CombineItemsBox);
        auto* weights = new QGroupBox(QStringLiteral("Site Design Weight Options"), global);
        auto* weightsLayout = new QVBoxLayout(weights);
        WeightMethodGroup = new QButtonGroup(this);
        const QStringList weightCaptions{
            QStringLiteral("Items are integers of ounces (16 = 1lb.)"),
            QStringLiteral("Items are integers of pounds (1=1lb.)"),
            QStringLiteral("Items are pounds and ounces (1.15 = 1lb, 15oz)")};
        for (int i = 0; i < weightCaptions.size(); ++i) {
            auto* b = new QRadioButton(weightCaptions.at(i), weights);
            b->setObjectName(QStringLiteral("WeightMethod%1Btn").arg(i));
            WeightMethodGroup->addButton(b, i);
            weightsLayout->addWidget(b);
        }
        globalLayout->addWidget(weights);
        auto* handling = new QGroupBox(QStringLiteral("Handling Options"), global);
        auto* handlingLayout = new QVBoxLayout(handling);
        handlingLayout->addWidget(text(
            QStringLiteral("Vendix will always connect and retrieve exact shipping based on the "
                           "weight of an item from location to location. Here you have the "
                           "option to add an additional handling fee to each package shipped. "),
            handling));
        auto* handlingRow = new QFormLayout;
        HandlingEdit = field(QStringLiteral("HandlingEdit"), handling);
        handlingRow->addRow(kHandlingLabel, HandlingEdit);
        handlingLayout->addLayout(handlingRow);
        handlingLayout->addWidget(text(QStringLiteral("The Handling fee will be incorporated into "
                                                      "the shipping quote; the shopper will not "
                                                      "see  \"Handling Fee.\""),
                                       handling));
        globalLayout->addWidget(handling);
        globalLayout->addStretch(1);
        LivePages->addTab(global, QStringLiteral("Live Connection Global Options"));

        auto* ups = new QWidget(LivePages);
        auto* upsLayout = new QFormLayout(ups);
        UPSUsernameEdit = new QLineEdit(ups);
        UPSUsernameEdit->setObjectName(QStringLiteral("UPSUsernameEdit"));
        UPSPasswordEdit = new QLineEdit(ups);
        UPSPasswordEdit->setObjectName(QStringLiteral("UPSPasswordEdit"));
        UPSPasswordEdit->setEchoMode(QLineEdit::Password);
        UPSKeyEdit = new QLineEdit(ups);
        UPSKeyEdit->setObjectName(QStringLiteral("UPSKeyEdit"));
        UseUPSBox = checkBox(QStringLiteral("Activate Live UPS"), QStringLiteral("UseUPSBox"), ups);
        upsLayout->addRow(QStringLiteral("Username"), UPSUsernameEdit);
        upsLayout->addRow(QStringLiteral("Password"), UPSPasswordEdit);
        upsLayout->addRow(QStringLiteral("Key"), UPSKeyEdit);
        upsLayout->addRow(UseUPSBox);
        LivePages->addTab(ups, QStringLiteral("UPS"));

        auto* usps = new QWidget(LivePages);
        auto* uspsLayout = new QFormLayout(usps);
        USPSUsernameEdit = new QLineEdit(usps);
        USPSUsernameEdit->setObjectName(QStringLiteral("USPSUsernameEdit"));
        USPSPasswordEdit = new QLineEdit(usps);
        USPSPasswordEdit->setObjectName(QStringLiteral("USPSPasswordEdit"));
        USPSPasswordEdit->setEchoMode(QLineEdit::Password);
        UseUSPSBox =
            checkBox(QStringLiteral("Activate Live USPS"), QStringLiteral("UseUSPSBox"), usps);
        uspsLayout->addRow(QStringLiteral("Username"), USPSUsernameEdit);
        uspsLayout->addRow(QStringLiteral("Password"), USPSPasswordEdit);
        uspsLayout->addRow(UseUSPSBox);
        LivePages->addTab(usps, QStringLiteral("USPS"));

        LivePages->addTab(comingSoon(LivePages), QStringLiteral("FedEx"));
        LivePages->addTab(comingSoon(LivePages), QStringLiteral("DHL Direct"));
        m_pages << LivePages;
    }

    {
        m_extensionsPage = new QWidget(Pages);
        m_extensionsPage->setObjectName(QStringLiteral("ExtensionsPage"));
        auto* layout = new QVBoxLayout(m_extensionsPage);
        layout->addWidget(
            addGrid(dm->ShipItExt,
                    {{QStringLiteral("DESCRIPTION"), QStringLiteral("Shipping Description"), 28},
                     {QStringLiteral("FLATFEE"), QStringLiteral("Add Fee"), 10},
                     {QStringLiteral("PERCENTAGE"), QStringLiteral("Add Percentage"), 12}},
                    QStringLiteral("ShipItExtBox"), false, &ShipItExtGrid),
            1);
        auto* row = new QHBoxLayout;
        UseExtensionsBox = checkBox(QStringLiteral("Use Custom Shipping Extensions"),
                                    QStringLiteral("UseExtensionsBox"), m_extensionsPage);
        ExtensionsHelpBtn =
            new QPushButton(QStringLiteral("Shipping Extensions"), m_extensionsPage);
        ExtensionsHelpBtn->setObjectName(QStringLiteral("ExtensionsHelpBtn"));
        ExtensionsHelpBtn->setAutoDefault(false);
        row->addWidget(UseExtensionsBox, 1);
        row->addWidget(ExtensionsHelpBtn);
        layout->addLayout(row);
    }

    for (QWidget* page : std::as_const(m_pages))
        Pages->addWidget(page);
    Pages->addWidget(m_extensionsPage);

    auto* body = new QHBoxLayout;
    body->addWidget(choices);
    body->addWidget(Pages, 1);
    finish(body, QStringLiteral("OK"), QStringLiteral("Cancel"), QStringLiteral("Help"));

    connect(ShowExtensionsLink, &QPushButton::clicked, this, &TBasicShipForm::ShowExtensionsClick);
    connect(InformationLink, &QPushButton::clicked, this, &TBasicShipForm::InformationClick);
    connect(ExtensionsHelpBtn, &QPushButton::clicked, this, [] { showHelpTopic(17); });
    connect(UseUPSBox, &QCheckBox::toggled, this, &TBasicShipForm::UseUPSClick);
    connect(UseUSPSBox, &QCheckBox::toggled, this, &TBasicShipForm::UseUSPSClick);

    // Opening, in this order: the live settings and the figures, gift mode,
    // the choice, the extensions flag.
    UseUPSBox->setChecked(s.USEUPS);
    UseUSPSBox->setChecked(s.USEUSPS);
    UPSUsernameEdit->setText(s.UPSUsername);
    UPSPasswordEdit->setText(s.UPSPassword);
    UPSKeyEdit->setText(s.UPSKey);
    USPSUsernameEdit->setText(s.USPSUsername);
    USPSPasswordEdit->setText(s.USPSPassword);
    OriginZipEdit->setText(s.OriginZip);
    HandlingEdit->setText(FormatAmount(s.AddHandling));
    BaseShippingEdit->setText(FormatAmount(s.Basic_BaseShipping));
    FirstItemEdit->setText(FormatAmount(s.basicPerItem_First));
    SecondItemEdit->setText(FormatAmount(s.BasicPerItem_Second));
    WeightBaseFeeEdit->setText(FormatAmount(s.Weightbased_BaseFee));
    AdvBaseFeeEdit->setText(FormatAmount(s.AdvWeightBased_BaseFee));
    CalcFeeEdit->setText(FormatAmount(s.Weightbased_CalcFee));
    BasePercentageEdit->setText(FormatRate(s.Basic_BasePercentage));
    DefaultDisplayEdit->setText(s.DefaultShippingMessage);
    DefWeightEdit->setText(QString::number(s.DefWeight));
    if (QAbstractButton* b = WeightMethodGroup->button(s.WeightMethod))
        b->setChecked(true);
    UseUPSClick();
    UseUSPSClick();

    // Gift mode ships every item on its own.
    CombineItemsBox->setChecked(!s.VendixGiftMode && s.CombineItems);
    CombineItemsBox->setEnabled(!s.VendixGiftMode);

    const int choice = shippingChoiceOf(s.UseShipping, s.ShippingMethod);
    if (choice >= 0)
        m_choices.at(choice)->setChecked(true);
    CustomCodeEdit->setText(customShippingCode(s.ShippingMethod));
    MethodClick();

    UseExtensionsBox->setChecked(s.UseShippingExtensions);
    resize(860, 560);
}

QRadioButton* TBasicShipForm::chosen() const
{
    for (QRadioButton* b : m_choices) {
        if (b->isChecked())
            return b;
    }
    return nullptr;
}

void TBasicShipForm::MethodClick()
{
    QRadioButton* choice = chosen();
    const int at = choice ? int(m_choices.indexOf(choice)) : -1;
    const bool none = at == 0;
    const bool weighted = choice == BasicWeightBtn || choice == AdvWeightBtn;
    const bool live = choice == LiveBtn;
    DefWeightEdit->setEnabled(weighted || live);
    ShowExtensionsLink->setVisible(at > 0 && !live);
    DefaultDisplayEdit->setEnabled(at != 0 && !live);
    if (at >= 0)
        Pages->setCurrentWidget(m_pages.at(at));
    else
        Pages->setCurrentWidget(m_pages.at(0));
    Pages->setVisible(!none);
}

void TBasicShipForm::ShowExtensionsClick()
{
    Pages->setVisible(true);
    Pages->setCurrentWidget(m_extensionsPage);
}

void TBasicShipForm::InformationClick()
{
    messages().info(QStringLiteral(
        "Live shipping methods are in open development and will be updated on a regular basis.  "
        "An e-mail announcement will be sent to all license holders.\r\rShipping sockets and "
        "methods are dependant on the shipping service providers and are not guaranteed to "
        "function at all times. However, the reliability of these services has proven to be "
        "very high during our testing."));
}

void TBasicShipForm::UseUPSClick()
{
    const bool on = UseUPSBox->isChecked();
    UPSUsernameEdit->setEnabled(on);
    UPSPasswordEdit->setEnabled(on);
    UPSKeyEdit->setEnabled(on);
}

void TBasicShipForm::UseUSPSClick()
{
    const bool on = UseUSPSBox->isChecked();
    USPSUsernameEdit->setEnabled(on);
    USPSPasswordEdit->setEnabled(on);
}

QWidget* TBasicShipForm::pageOf(QRadioButton* choice) const
{
    return m_pages.at(m_choices.indexOf(choice));
}

bool TBasicShipForm::store()
{
    // The percentage typed as percent: 15 becomes 0.15.
    if (BasicBtn->isChecked()) {
        if (const std::optional<double> p = parseNumber(BasePercentageEdit->text()); p && *p > 1)
            BasePercentageEdit->setText(fixedText(fractionFromTyped(*p), 6).value_or(QString()));
    }

    // Every number first: one that is not a number is named, and nothing is
    // stored.
    struct Number
    {
        QLineEdit* edit;
        QString label;
        QWidget* page;
        double value = 0;
    };
    QList<Number> numbers = {
        {BaseShippingEdit, kBaseShippingLabel, pageOf(BasicBtn)},
        {FirstItemEdit, kFirstItemLabel, pageOf(PerItemBtn)},
        {SecondItemEdit, kSecondItemLabel, pageOf(PerItemBtn)},
        {WeightBaseFeeEdit, kWeightBaseLabel, pageOf(BasicWeightBtn)},
        {AdvBaseFeeEdit, kAdvBaseLabel, pageOf(AdvWeightBtn)},
        {CalcFeeEdit, kCalcFeeLabel, pageOf(BasicWeightBtn)},
        {BasePercentageEdit, kPercentageLabel, pageOf(BasicBtn)},
        {HandlingEdit, kHandlingLabel, LivePages},
    };
    for (Number& n : numbers) {
        const std::optional<double> value = parseNumber(n.edit->text());
        if (!value) {
            messages().error(notANumberText(n.label, n.edit->text()));
            Pages->setVisible(true);
            Pages->setCurrentWidget(n.page);
            if (n.page == LivePages)
                LivePages->setCurrentIndex(0);
            n.edit->setFocus();
            n.edit->selectAll();
            return false;
        }
        n.value = *value;
    }

    Settings& s = settings();
    s.Basic_BaseShipping = numbers.at(0).value;
    s.basicPerItem_First = numbers.at(1).value;
    s.BasicPerItem_Second = numbers.at(2).value;
    s.Weightbased_BaseFee = numbers.at(3).value;
    s.AdvWeightBased_BaseFee = numbers.at(4).value;
    s.Weightbased_CalcFee = numbers.at(5).value;
    s.Basic_BasePercentage = numbers.at(6).value;
    s.DefaultShippingMessage = DefaultDisplayEdit->text();
    s.DefWeight = defaultWeightFromText(DefWeightEdit->text());
    if (WeightMethodGroup->checkedId() >= 0)
        s.WeightMethod = WeightMethodGroup->checkedId();
    s.CombineItems = CombineItemsBox->isChecked();
    s.USEUPS = UseUPSBox->isChecked();
    s.USEUSPS = UseUSPSBox->isChecked();
    s.UPSUsername = UPSUsernameEdit->text();
    s.UPSPassword = UPSPasswordEdit->text();
    s.UPSKey = UPSKeyEdit->text();
    s.USPSUsername = USPSUsernameEdit->text();
    s.USPSPassword = USPSPasswordEdit->text();
    s.OriginZip = OriginZipEdit->text();
    s.AddHandling = numbers.at(7).value;

    QRadioButton* choice = chosen();
    const int at = choice ? int(m_choices.indexOf(choice)) : -1;
    s.ShippingMethod = shippingMethodToStore(at, CustomCodeEdit->text());
    s.UseShipping = at != 0;
    s.UseShippingExtensions = UseExtensionsBox->isChecked();
    return true;
}

} // namespace os
