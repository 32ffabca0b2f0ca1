#pragma once

#include "base/store_charset.h"

#include <QString>

namespace os {

// The program-wide copy of every zr.ini key, one member per key, named exactly
// as the key. Logicals are bool, integers int, texts QString, amounts and rates
// double (percentages as fractions: 0.15 is 15 percent). The initial values are
// the defaults of a missing key; SecURL's default depends on the store domain
// and is set by LoadSettings (SuggestedSecURL).
struct Settings
{
    // [MAINC]
    bool ChecksByMail = true;
    bool AskCCPhone = true;
    bool CardsByPhone = true;
    bool VendixGiftMode = false;
    bool TaxWrapping = false;
    bool IGNORE_INVALID_CERT = true;
    bool UseSSL = true;
    bool SSLOnly = false;
    bool CC_Local = true;
    bool CC_Remote = false;
    bool CC_Rtime = false;
    bool AskCVV = false;
    bool AcceptCC = true;
    bool AcceptCoupons = true;
    bool TaxableIsDefault = true;
    bool CodOrders = false;
    bool PurchaseOrder = false;
    bool UseShipping = true;
    bool UseShippingExtensions = false;
    bool TaxesAsSelect = false;
    QString CGIBINLocation = QStringLiteral("http://www.yourdomain.com/cgi-bin");
    QString SSLCGIBINLocation = QStringLiteral("https://www.yourdomain.com/cgi-bin");
    QString DefaultShippingMessage = QStringLiteral("UPS Ground");
    QString ShippingMethod = QStringLiteral("basic");
    QString VendixManagerURL = QStringLiteral("https://www.yourdomain.com/");
    QString store_entrance = QStringLiteral("http://www.yourdomain.com/store/main.html");
    QString policies_page = QStringLiteral("http://www.yourdomain.com/policies/");
    QString SMTPhello;
    QString SMTPServer = QStringLiteral("mail.yourdomain.com");
    QString CompanyName = QStringLiteral("Your Company Name");
    QString CompanyStreet = QStringLiteral("1212 My Street Address");
    QString CompanyCity = QStringLiteral("Orlando");
    QString CompanyState = QStringLiteral("FL");
    QString CompanyZip = QStringLiteral("12345");
    QString VendixAffiliatelocation =
        QStringLiteral("http://www.yourdomain.com/cgi-bin/vendixaffiliate.cgi");
    QString CompanyPhone = QStringLiteral("654-123-5467");
    QString TollFree = QStringLiteral("800-123-4567");
    QString OrderEmail = QStringLiteral("info@yourdomain.com");
    QString WEbMasterEmail = QStringLiteral("webmaster@yourdomain.com");
    QString infoMail = QStringLiteral("info@yourdomain.com");
    QString BillingMail = QStringLiteral("billing@yourdomain.com");
    QString Home_page = QStringLiteral("http://www.yourdomain.com/");
    QString DefaultCurrencySymbol = QStringLiteral("$");
    QString DefaultCurrencyDisclaimer = QStringLiteral("USD");
    QString BGImagePath;
    int BGColor = 16777215;   // white; colours are blue*65536 + green*256 + red
    int WeightMethod = 1;     // 0 ounces, 1 pounds, 2 pounds and ounces
    int TextColor = 0;        // black
    int LinkColor = 255;      // red
    int VlinkColor = 8388608; // navy
    int ALinkColor = 8421504; // grey
    int DefWeight = 5;
    int SMTPPORT = 25;
    double CODFEE = 6.00;
    double Basic_BaseShipping = 5.00;
    double basicPerItem_First = 3.00;
    double BasicPerItem_Second = 2.00;
    double Weightbased_BaseFee = 3.95;
    double AdvWeightBased_BaseFee = 3.95;
    double Weightbased_CalcFee = 1.25;
    double Basic_BasePercentage = 0.15;
    double AllAccountsDiscount = 0.03;
    // Sending mail through today's servers; an older zr.ini lacks these keys
    // and so means no security and no login.
    int SMTPSecurity = 0;              // 0 none, 1 STARTTLS, 2 TLS from the first byte
    QString SMTPUser;                  // a login is made when not empty
    bool SMTPRememberPassword = false; // the password is kept in the desktop's keyring

    // [ADVSHIPSEC]
    QString UPSUsername;
    QString UPSPassword;
    QString UPSKey;
    QString USPSUsername;
    QString USPSPassword;
    QString OriginZip;
    double AddHandling = 0.00;
    bool CombineItems = false;
    bool USEUPS = false;
    bool USEUSPS = false;

    // [SECINFO]
    QString SecURL = QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?/");
    bool SecGet = false;
    bool SecPost = false;
    bool SecRef = true;

    // The domain under which the merchant's store runs, kept with the
    // installation (<home>/ordersentinel.ini, [Installation] StoreDomain),
    // not in zr.ini.
    QString storeDomain;
    // The store script's character set, kept beside the domain
    // ([Installation] StoreCharset=windows-1252|utf-8).
    StoreCharset storeCharset = StoreCharset::Windows1252;

    friend bool operator==(const Settings&, const Settings&) = default;
};

// The program-wide settings record.
Settings& settings();

// Fills settings() from zr.ini (the program directory's copy wins and is then
// moved into the company data directory), and the store domain. Never reports
// a failure: what cannot be read takes its default.
void LoadSettings();

// Writes every key of settings() to <data dir>/zr.ini. Keys already in the
// file keep their place, other lines of the file are kept. The file is
// replaced in one step; on a failure the old file stays as it was, false is
// returned and `error` (when given) says which file and why, for the editor
// to show. The record keeps its values either way.
bool SaveSettings(QString* error = nullptr);

// The SecURL default for a store domain: it accepts the domain and any of its
// subdomains over http or https ("yourshop.com" ->
// "^https?://([a-zA-Z0-9\-\.]*\.)?yourshop\.com/").
QString suggestedSecURL(const QString& domain);

// The installation's store domain file and its section/key.
QString installationFile(); // <home>/ordersentinel.ini
// Stores the domain in the installation file and in settings().storeDomain;
// false when the file could not be written (`error` as for SaveSettings).
bool saveStoreDomain(const QString& domain, QString* error = nullptr);
// Stores the store's character set the same way.
bool saveStoreCharset(StoreCharset charset, QString* error = nullptr);

// The store domain in use: the installation's, or else the host of the store
// script's URL (VendixManagerURL) without a leading "www."; empty while that
// URL is still the placeholder of a new installation.
QString effectiveStoreDomain(const Settings& s = settings());

// Where the settings live (the company data directory's zr.ini).
QString settingsFile();

} // namespace os
