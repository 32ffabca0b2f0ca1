#include "base/settings.h"

#include "base/ini_file.h"
#include "base/owner_only_file.h"
#include "base/paths.h"
#include "base/text_utils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <variant>

namespace os {

namespace {

enum class Kind
{
    Logical,
    Integer,
    Text,
    Amount,
    Rate
};

using Member =
    std::variant<bool Settings::*, int Settings::*, QString Settings::*, double Settings::*>;

struct KeyDef
{
    const char* section;
    const char* key;
    Kind kind;
    Member member;
};

// Every key in the order SaveSettings writes it; the key text is the member's
// own name, so the two cannot drift apart.
#define OS_KEY(sec, kind, name)                                                                    \
    KeyDef                                                                                         \
    {                                                                                              \
        sec, #name, Kind::kind, &Settings::name                                                    \
    }
const KeyDef kKeys[] = {
    OS_KEY("MAINC", Logical, ChecksByMail),
    OS_KEY("MAINC", Logical, AskCCPhone),
    OS_KEY("MAINC", Logical, CardsByPhone),
    OS_KEY("MAINC", Logical, VendixGiftMode),
    OS_KEY("MAINC", Logical, TaxWrapping),
    OS_KEY("MAINC", Logical, IGNORE_INVALID_CERT),
    OS_KEY("MAINC", Logical, UseSSL),
    OS_KEY("MAINC", Logical, SSLOnly),
    OS_KEY("MAINC", Logical, CC_Local),
    OS_KEY("MAINC", Logical, CC_Remote),
    OS_KEY("MAINC", Logical, CC_Rtime),
    OS_KEY("MAINC", Logical, AskCVV),
    OS_KEY("MAINC", Logical, AcceptCC),
    OS_KEY("MAINC", Logical, AcceptCoupons),
    OS_KEY("MAINC", Logical, TaxableIsDefault),
    OS_KEY("MAINC", Logical, CodOrders),
    OS_KEY("MAINC", Logical, PurchaseOrder),
    OS_KEY("MAINC", Logical, UseShipping),
    OS_KEY("MAINC", Logical, UseShippingExtensions),
    OS_KEY("MAINC", Logical, TaxesAsSelect),
    OS_KEY("MAINC", Text, CGIBINLocation),
    OS_KEY("MAINC", Text, SSLCGIBINLocation),
    OS_KEY("MAINC", Text, DefaultShippingMessage),
    OS_KEY("MAINC", Text, ShippingMethod),
    OS_KEY("MAINC", Text, VendixManagerURL),
    OS_KEY("MAINC", Text, store_entrance),
    OS_KEY("MAINC", Text, policies_page),
    OS_KEY("MAINC", Text, SMTPhello),
    OS_KEY("MAINC", Text, SMTPServer),
    OS_KEY("MAINC", Text, CompanyName),
    OS_KEY("MAINC", Text, CompanyStreet),
    OS_KEY("MAINC", Text, CompanyCity),
    OS_KEY("MAINC", Text, CompanyState),
    OS_KEY("MAINC", Text, CompanyZip),
    OS_KEY("MAINC", Text, VendixAffiliatelocation),
    OS_KEY("MAINC", Text, CompanyPhone),
    OS_KEY("MAINC", Text, TollFree),
    OS_KEY("MAINC", Text, OrderEmail),
    OS_KEY("MAINC", Text, WEbMasterEmail),
    OS_KEY("MAINC", Text, infoMail),
    OS_KEY("MAINC", Text, BillingMail),
    OS_KEY("MAINC", Text, Home_page),
    OS_KEY("MAINC", Text, DefaultCurrencySymbol),
    OS_KEY("MAINC", Text, DefaultCurrencyDisclaimer),
    OS_KEY("MAINC", Text, BGImagePath),
    OS_KEY("MAINC", Integer, BGColor),
    OS_KEY("MAINC", Integer, WeightMethod),
    OS_KEY("MAINC", Integer, TextColor),
    OS_KEY("MAINC", Integer, LinkColor),
    OS_KEY("MAINC", Integer, VlinkColor),
    OS_KEY("MAINC", Integer, ALinkColor),
    OS_KEY("MAINC", Integer, DefWeight),
    OS_KEY("MAINC", Integer, SMTPPORT),
    OS_KEY("MAINC", Amount, CODFEE),
    OS_KEY("MAINC", Amount, Basic_BaseShipping),
    OS_KEY("MAINC", Amount, basicPerItem_First),
    OS_KEY("MAINC", Amount, BasicPerItem_Second),
    OS_KEY("MAINC", Amount, Weightbased_BaseFee),
    OS_KEY("MAINC", Amount, AdvWeightBased_BaseFee),
    OS_KEY("MAINC", Amount, Weightbased_CalcFee),
    OS_KEY("MAINC", Rate, Basic_BasePercentage),
    OS_KEY("MAINC", Rate, AllAccountsDiscount),
    OS_KEY("MAINC", Integer, SMTPSecurity),
    OS_KEY("MAINC", Text, SMTPUser),
    OS_KEY("MAINC", Logical, SMTPRememberPassword),
    OS_KEY("ADVSHIPSEC", Text, UPSUsername),
    OS_KEY("ADVSHIPSEC", Text, UPSPassword),
    OS_KEY("ADVSHIPSEC", Text, UPSKey),
    OS_KEY("ADVSHIPSEC", Text, USPSUsername),
    OS_KEY("ADVSHIPSEC", Text, USPSPassword),
    OS_KEY("ADVSHIPSEC", Text, OriginZip),
    OS_KEY("ADVSHIPSEC", Rate, AddHandling),
    OS_KEY("ADVSHIPSEC", Logical, CombineItems),
    OS_KEY("ADVSHIPSEC", Logical, USEUPS),
    OS_KEY("ADVSHIPSEC", Logical, USEUSPS),
    OS_KEY("SECINFO", Text, SecURL),
    OS_KEY("SECINFO", Logical, SecGet),
    OS_KEY("SECINFO", Logical, SecPost),
    OS_KEY("SECINFO", Logical, SecRef),
};
#undef OS_KEY

const QString kInstallationSection = QStringLiteral("Installation");
const QString kStoreDomainKey = QStringLiteral("StoreDomain");
const QString kStoreCharsetKey = QStringLiteral("StoreCharset");
const QString kSettingsName = QStringLiteral("zr.ini");
const QString kCardListName = QStringLiteral("ccitems.txt");

// A missing key keeps the default already in `s`. Text that is not an integer
// keeps it too; an unreadable number becomes 0.
void readKey(const IniFile& ini, const KeyDef& def, Settings& s)
{
    const std::optional<QString> text =
        ini.value(QLatin1String(def.section), QLatin1String(def.key));
    if (!text)
        return;
    switch (def.kind) {
    case Kind::Logical:
        if (const auto v = parseInteger(*text))
            s.*std::get<bool Settings::*>(def.member) = *v != 0;
        break;
    case Kind::Integer:
        if (const auto v = parseInteger(*text))
            s.*std::get<int Settings::*>(def.member) = *v;
        break;
    case Kind::Text:
        s.*std::get<QString Settings::*>(def.member) = *text;
        break;
    case Kind::Amount:
    case Kind::Rate:
        s.*std::get<double Settings::*>(def.member) = ReadNumber(*text);
        break;
    }
}

QString writtenValue(const KeyDef& def, const Settings& s)
{
    switch (def.kind) {
    case Kind::Logical:
        return s.*std::get<bool Settings::*>(def.member) ? QStringLiteral("1")
                                                         : QStringLiteral("0");
    case Kind::Integer:
        return QString::number(s.*std::get<int Settings::*>(def.member));
    case Kind::Text:
        return s.*std::get<QString Settings::*>(def.member);
    case Kind::Amount:
        return FormatAmount(s.*std::get<double Settings::*>(def.member));
    case Kind::Rate: {
        // Five decimals, as every rate; the shipping percentage six where a
        // percentage typed with four decimals needs them (33.3333 is
        // 0.333333).
        double Settings::*member = std::get<double Settings::*>(def.member);
        const QString five = FormatRate(s.*member);
        if (member != &Settings::Basic_BasePercentage)
            return five;
        const std::optional<QString> six = fixedText(s.*member, 6);
        return six && ReadNumber(*six) != ReadNumber(five) ? *six : five;
    }
    }
    return QString();
}

// A card list left in the program directory replaces the company's. The
// program directory's copy goes only once the company copy is safely written.
void moveCardList()
{
    QFile source(AppPaths::homeFile(kCardListName));
    if (!source.exists() || !source.open(QIODevice::ReadOnly))
        return;
    const QByteArray lines = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return;
    source.close();
    QDir().mkpath(AppPaths::dataDir());
    if (replaceFileOwnerOnly(AppPaths::dataFile(kCardListName), lines).isEmpty())
        source.remove(); // a failure to delete is of no consequence
}

// What an editor shows when a settings file cannot be written.
QString writeError(const QString& path, const QString& reason)
{
    return QStringLiteral("The settings could not be saved to \"%1\": %2.")
        .arg(QDir::toNativeSeparators(path),
             reason.isEmpty() ? QStringLiteral("unknown error") : reason);
}

// Writes `ini`, unless it exists but could not be read (it is then left alone
// rather than replaced by one that lacks its other lines).
bool saveIni(IniFile& ini, bool loaded, QString* error)
{
    const bool ok = (loaded || !QFileInfo::exists(ini.path())) && ini.save();
    if (!ok && error)
        *error = writeError(ini.path(), ini.errorString());
    return ok;
}

} // namespace

Settings& settings()
{
    static Settings s;
    return s;
}

QString settingsFile()
{
    return AppPaths::dataFile(kSettingsName);
}

QString installationFile()
{
    return AppPaths::homeFile(QStringLiteral("ordersentinel.ini"));
}

QString suggestedSecURL(const QString& domain)
{
    QString d = domain.trimmed();
    if (d.startsWith(QLatin1Char('.')))
        d.remove(0, 1);
    d.replace(QLatin1Char('.'), QLatin1String("\\."));
    return QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?") + d + QLatin1Char('/');
}

bool saveStoreDomain(const QString& domain, QString* error)
{
    settings().storeDomain = domain;
    IniFile ini(installationFile());
    const bool loaded = ini.load();
    ini.setValue(kInstallationSection, kStoreDomainKey, domain);
    return saveIni(ini, loaded, error);
}

bool saveStoreCharset(StoreCharset charset, QString* error)
{
    settings().storeCharset = charset;
    IniFile ini(installationFile());
    const bool loaded = ini.load();
    ini.setValue(kInstallationSection, kStoreCharsetKey, storeCharsetName(charset));
    return saveIni(ini, loaded, error);
}

QString effectiveStoreDomain(const Settings& s)
{
    const QString own = s.storeDomain.trimmed();
    if (!own.isEmpty())
        return own;
    QString host = QUrl(s.VendixManagerURL.trimmed()).host();
    // The placeholder of a new installation names no store.
    if (host.isEmpty() || host == QUrl(Settings().VendixManagerURL).host())
        return QString();
    if (host.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        host.remove(0, 4);
    return host;
}

void LoadSettings()
{
    Settings s;
    IniFile installation(installationFile());
    installation.load();
    s.storeDomain = installation.value(kInstallationSection, kStoreDomainKey, QString());
    // A name the program does not know keeps the default.
    s.storeCharset =
        parseStoreCharset(installation.value(kInstallationSection, kStoreCharsetKey, QString()))
            .value_or(StoreCharset::Windows1252);

    // A zr.ini in the program directory (dropped there by the merchant or an
    // installer) wins over the company's and is then moved into the data dir.
    const QString homeIni = AppPaths::homeFile(kSettingsName);
    const bool fromHome = QFileInfo(homeIni).isFile();
    IniFile ini(fromHome ? homeIni : settingsFile());
    ini.load(); // a missing or unreadable file gives every default
    for (const KeyDef& def : kKeys)
        readKey(ini, def, s);
    // A new installation checks the store's and the mail server's
    // certificates: it writes its settings with IGNORE_INVALID_CERT=false at
    // once. An existing file without the key keeps meaning true, as it
    // always has.
    const bool newInstallation = !fromHome && !QFileInfo::exists(settingsFile());
    if (newInstallation)
        s.IGNORE_INVALID_CERT = false;
    // The default expression follows the store domain, which may come from
    // the store script's URL just read.
    if (!ini.contains(QStringLiteral("SECINFO"), QStringLiteral("SecURL")))
        s.SecURL = suggestedSecURL(effectiveStoreDomain(s));
    settings() = s;

    moveCardList();

    // Delete the program directory's copy only once the company's file holds
    // its values; otherwise the merchant's settings would be lost.
    if (fromHome && SaveSettings())
        QFile::remove(homeIni);
    // (Written where the data directory is; start-up has made it by now.)
    if (newInstallation && QFileInfo(AppPaths::dataDir()).isDir())
        SaveSettings();
}

bool SaveSettings(QString* error)
{
    QDir().mkpath(AppPaths::dataDir());
    IniFile ini(settingsFile());
    const bool loaded = ini.load();
    const Settings& s = settings();
    for (const KeyDef& def : kKeys)
        ini.setValue(QLatin1String(def.section), QLatin1String(def.key), writtenValue(def, s));
    return saveIni(ini, loaded, error);
}

} // namespace os
