#include "sync/publish_preview.h"

#include "base/owner_only_file.h"
#include "base/settings.h"
#include "base/store_charset.h"
#include "data/table.h"
#include "sync/publishing.h"
#include "sync/rate_tables.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace os {

namespace {

const QString kCardField = QStringLiteral("cccard");

using Field = QPair<QString, QString>;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The form decoding of a name or value: '+' is a space, %xx a byte, read in
// the store's character set.
QString formDecode(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return decodeStoreBytes(out, storeCharset());
}

// The fields of a configuration text in order, repeats kept (empty pairs,
// such as the one before the first rate table, skipped).
QList<Field> decodeFields(const QByteArray& configuration)
{
    QList<Field> fields;
    const QByteArrayView text(configuration);
    for (qsizetype from = 0; from <= text.size();) {
        qsizetype end = text.indexOf('&', from);
        if (end < 0)
            end = text.size();
        const QByteArrayView pair = text.sliced(from, end - from);
        from = end + 1;
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        if (eq < 0)
            fields.append({formDecode(pair), QString()});
        else
            fields.append({formDecode(pair.first(eq)), formDecode(pair.sliced(eq + 1))});
    }
    return fields;
}

bool isSecret(const QString& field)
{
    return field == QLatin1String("CONFIG_ups_password") ||
           field == QLatin1String("CONFIG_usps_password");
}

QString shown(const QString& field, const QString& value)
{
    return isSecret(field) && !value.isEmpty() ? QStringLiteral("********") : value;
}

// The parts of one configuration text, sorted for comparing.
struct Parts
{
    QStringList order;                  // configuration field names, first appearance
    QHash<QString, QStringList> values; // per name, every value sent (repeats)
    QStringList cards;                  // cccard values in order
    QHash<QString, QString> tables;     // rate-table field -> decoded text
};

Parts partsOf(const QByteArray& configuration)
{
    Parts p;
    QHash<QString, bool> tableFields;
    for (const RateTableFormat& f : rateTableFormats())
        tableFields.insert(f.field, true);
    for (const Field& f : decodeFields(configuration)) {
        if (f.first == kCardField) {
            p.cards << f.second;
        } else if (tableFields.contains(f.first)) {
            p.tables.insert(f.first, f.second);
        } else {
            if (!p.values.contains(f.first))
                p.order << f.first;
            p.values[f.first] << f.second;
        }
    }
    return p;
}

// A rate table's records as rows of column texts, keyed by the first column
// (and its occurrence, should two rows share it).
struct Record
{
    QString key;
    QStringList columns;
};

QList<Record> recordsOf(const QString& text, const RateTableFormat& format)
{
    QList<Record> out;
    QHash<QString, int> seen;
    QStringList records = text.split(format.terminator);
    if (!records.isEmpty() && records.last().isEmpty())
        records.removeLast(); // the text ends with a terminator
    for (const QString& r : records) {
        QStringList columns = r.split(QLatin1Char('^'));
        const QString first = columns.value(0);
        const int n = ++seen[first];
        const QString key = n == 1 ? first : QStringLiteral("%1 #%2").arg(first).arg(n);
        out.append({key, columns});
    }
    return out;
}

QString columnList(const RateTableFormat& format, const QStringList& columns)
{
    QStringList parts;
    for (qsizetype i = 0; i < columns.size(); ++i)
        parts << format.columns.value(i, QStringLiteral("?")) + QLatin1Char('=') + columns.at(i);
    return parts.join(QStringLiteral(", "));
}

void compareTable(const RateTableFormat& format, const QString& oldText, const QString& newText,
                  QList<ConfigDifference>& out)
{
    const QList<Record> oldRows = recordsOf(oldText, format);
    const QList<Record> newRows = recordsOf(newText, format);
    QHash<QString, const Record*> oldByKey;
    for (const Record& r : oldRows)
        oldByKey.insert(r.key, &r);
    QHash<QString, bool> newKeys;
    for (const Record& r : newRows) {
        newKeys.insert(r.key, true);
        const QString field = format.field + QLatin1Char(' ') + r.key;
        const auto old = oldByKey.constFind(r.key);
        if (old == oldByKey.constEnd()) {
            out.append({ConfigDifference::Added, field, {}, columnList(format, r.columns)});
            continue;
        }
        const QStringList& before = (*old)->columns;
        if (before == r.columns)
            continue;
        QStringList was, now;
        for (qsizetype i = 0; i < std::max(before.size(), r.columns.size()); ++i) {
            const QString a = before.value(i);
            const QString b = r.columns.value(i);
            if (a == b)
                continue;
            const QString name = format.columns.value(i, QStringLiteral("?"));
            was << name + QLatin1Char('=') + a;
            now << name + QLatin1Char('=') + b;
        }
        out.append({ConfigDifference::Changed, field, was.join(QStringLiteral(", ")),
                    now.join(QStringLiteral(", "))});
    }
    for (const Record& r : oldRows) {
        if (!newKeys.contains(r.key))
            out.append({ConfigDifference::Removed,
                        format.field + QLatin1Char(' ') + r.key,
                        columnList(format, r.columns),
                        {}});
    }
}

void compareCards(const QStringList& oldCards, const QStringList& newCards,
                  QList<ConfigDifference>& out)
{
    if (oldCards == newCards)
        return;
    QStringList left = oldCards;
    QStringList added;
    for (const QString& card : newCards) {
        if (!left.removeOne(card))
            added << card;
    }
    if (added.isEmpty() && left.isEmpty()) {
        // The same cards in another order: the store lists them so.
        out.append({ConfigDifference::Changed, kCardField, oldCards.join(QStringLiteral(", ")),
                    newCards.join(QStringLiteral(", "))});
        return;
    }
    for (const QString& card : added)
        out.append({ConfigDifference::Added, kCardField, {}, card});
    for (const QString& card : left)
        out.append({ConfigDifference::Removed, kCardField, card, {}});
}

} // namespace

QString lastPublishFile(const QString& dataDir)
{
    return dataDir + QStringLiteral("/last_publish.cfg");
}

QString keepLastPublish(const QString& dataDir, const QByteArray& configuration)
{
    const QString path = lastPublishFile(dataDir);
    const QString temp = path + QStringLiteral(".new");
    QFile file(temp);
    // It holds the live-rate account passwords: owner only from the first byte.
    if (!openOwnerOnly(file, QIODevice::WriteOnly | QIODevice::Truncate))
        return cannotCreateFileText(temp, file.errorString());
    QString why =
        file.write(configuration) != configuration.size() ? file.errorString() : syncToDisk(file);
    file.close();
    if (why.isEmpty() &&
        std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    if (!why.isEmpty()) {
        QFile::remove(temp);
        return cannotWriteFileText(path, why);
    }
    syncDirectory(dataDir);
    return {};
}

std::optional<LastPublish> readLastPublish(const QString& dataDir)
{
    QFile file(lastPublishFile(dataDir));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    LastPublish last;
    last.configuration = file.readAll();
    last.when = QFileInfo(file).lastModified();
    return last;
}

QString ConfigDifference::kindName(Kind kind)
{
    switch (kind) {
    case Changed:
        return QStringLiteral("Changed");
    case Added:
        return QStringLiteral("Added");
    case Removed:
        return QStringLiteral("Removed");
    }
    return {};
}

QString ConfigDifference::text() const
{
    const auto v = [](const QString& value) {
        return value.isEmpty() ? QStringLiteral("(empty)") : value;
    };
    switch (kind) {
    case Changed:
        return QStringLiteral("%1: %2 -> %3").arg(field, v(oldValue), v(newValue));
    case Added:
        return QStringLiteral("%1: %2").arg(field, v(newValue));
    case Removed:
        return QStringLiteral("%1: %2").arg(field, v(oldValue));
    }
    return {};
}

QList<ConfigDifference> configurationDifferences(const QByteArray& published,
                                                 const QByteArray& current)
{
    const Parts before = partsOf(published);
    const Parts now = partsOf(current);
    QList<ConfigDifference> out;

    for (const QString& name : now.order) {
        const QStringList& values = now.values.value(name);
        const auto old = before.values.constFind(name);
        if (old == before.values.constEnd()) {
            out.append({ConfigDifference::Added, name, {}, shown(name, values.value(0))});
            continue;
        }
        if (*old == values)
            continue;
        // A field sent more than once is shown once, by its first difference.
        qsizetype i = 0;
        while (i < values.size() && i < old->size() && values.at(i) == old->at(i))
            ++i;
        out.append({ConfigDifference::Changed, name, shown(name, old->value(i)),
                    shown(name, values.value(i))});
    }
    for (const QString& name : before.order) {
        if (!now.values.contains(name))
            out.append({ConfigDifference::Removed,
                        name,
                        shown(name, before.values.value(name).value(0)),
                        {}});
    }

    compareCards(before.cards, now.cards, out);

    for (const RateTableFormat& format : rateTableFormats())
        compareTable(format, before.tables.value(format.field), now.tables.value(format.field),
                     out);
    return out;
}

PublishPreview previewPublish(const Settings& s, const QString& dataDir)
{
    PublishPreview preview;
    // Table objects of its own: the windows' tables stay open and where they were.
    std::vector<std::unique_ptr<Table>> tables;
    const auto tableFor = [&tables, &dataDir](const RateTableFormat& format) -> Table& {
        tables.push_back(std::make_unique<Table>(format.table));
        tables.back()->setDirectory(dataDir);
        return *tables.back();
    };
    QStringList errorLines;
    for (const RateTableFormat& format : rateTableFormats())
        errorLines << format.errorLine;
    const auto log = [&preview, &errorLines](const QString& type, const QString& message) {
        if (errorLines.contains(message))
            preview.problems.append({type, message});
    };
    preview.configuration = buildConfiguration(s, dataDir, tableFor, log);

    const std::optional<LastPublish> last = readLastPublish(dataDir);
    if (last)
        preview.publishedAt = last->when;
    preview.differences =
        configurationDifferences(last ? last->configuration : QByteArray(), preview.configuration);
    return preview;
}

QStringList exampleValueFields(const Settings& s)
{
    struct Field
    {
        const char* caption;
        QString Settings::*member;
    };
    // clang-format off
    static const Field kFields[] = {
        {"URL to the cgi-bin on your web site", &Settings::CGIBINLocation},
        {"https location to the cgi-bin", &Settings::SSLCGIBINLocation},
        {"Location of Home Page", &Settings::Home_page},
        {"Web Site Store Entrance", &Settings::store_entrance},
        {"Location of Policies Page", &Settings::policies_page},
        {"Affiliate location", &Settings::VendixAffiliatelocation},
        {"Order Notification e-mail", &Settings::OrderEmail},
        {"Information e-mail", &Settings::infoMail},
        {"Webmaster e-mail", &Settings::WEbMasterEmail},
        {"Billing e-mail", &Settings::BillingMail},
    };
    // clang-format on
    QStringList out;
    for (const Field& f : kFields) {
        // The secure address counts only where it is used.
        if (f.member == &Settings::SSLCGIBINLocation && !s.UseSSL)
            continue;
        if ((s.*f.member).contains(QLatin1String("yourdomain.com"), Qt::CaseInsensitive))
            out << QString::fromLatin1(f.caption);
    }
    return out;
}

QString exampleValuesQuestion(const QStringList& fields)
{
    return QStringLiteral("These settings still hold example values: %1. Publish anyway?")
        .arg(fields.join(QStringLiteral(", ")));
}

QString fieldCaption(const QString& field)
{
    // clang-format off
    static const QHash<QString, QString> kCaptions = {
        {QStringLiteral("CONFIG_body"), QStringLiteral("Styles and Colors")},
        {QStringLiteral("CONFIG_accept_cc"), QStringLiteral("I will accept credit cards")},
        {QStringLiteral("CONFIG_remote_cc"), QStringLiteral("At a remote Web site")},
        {QStringLiteral("CONFIG_cc_rtime"), QStringLiteral("Directly on my Web site (realtime)")},
        {QStringLiteral("CONFIG_accept_cc_phone"), QStringLiteral("Credit Card by phone")},
        {QStringLiteral("CONFIG_accept_mailchecks"), QStringLiteral("Payments by mail")},
        {QStringLiteral("CONFIG_accept_cod"), QStringLiteral("C.O.D. orders")},
        {QStringLiteral("CONFIG_accept_pos"), QStringLiteral("Purchase orders")},
        {QStringLiteral("CONFIG_codfee"), QStringLiteral("C.O.D. fee")},
        {QStringLiteral("CONFIG_ask_cvv"), QStringLiteral("Ask for and require CVV Input")},
        {QStringLiteral("CONFIG_askccphone"), QStringLiteral("Ask for bank phone number")},
        {QStringLiteral("CONFIG_basic_base"), QStringLiteral("Base shipping fee")},
        {QStringLiteral("CONFIG_basic_percentage"), QStringLiteral("% of the order total")},
        {QStringLiteral("CONFIG_basicshipit_base"), QStringLiteral("Weight-based base fee")},
        {QStringLiteral("CONFIG_basicshipit_multiplier"), QStringLiteral("Fee per weight unit")},
        {QStringLiteral("CONFIG_advancedshipit_base"), QStringLiteral("Advanced base fee")},
        {QStringLiteral("CONFIG_peritem_first"), QStringLiteral("Fee for the first item")},
        {QStringLiteral("CONFIG_peritem_additional"), QStringLiteral("Fee for each further item")},
        {QStringLiteral("CONFIG_default_shipping_message"), QStringLiteral("Default Shipping Display")},
        {QStringLiteral("CONFIG_shipping_method"), QStringLiteral("Shipping Method")},
        {QStringLiteral("CONFIG_use_shipping"), QStringLiteral("Shipping Method")},
        {QStringLiteral("CONFIG_weight_safety"), QStringLiteral("Default Weight")},
        {QStringLiteral("CONFIG_read_weight_method"), QStringLiteral("Weight method")},
        {QStringLiteral("CONFIG_add_handling"), QStringLiteral("Handling fee")},
        {QStringLiteral("CONFIG_use_shipit_extensions"), QStringLiteral("Use Custom Shipping Extensions")},
        {QStringLiteral("CONFIG_useups"), QStringLiteral("Activate Live UPS")},
        {QStringLiteral("CONFIG_useusps"), QStringLiteral("Activate Live USPS")},
        {QStringLiteral("CONFIG_combine_items"), QStringLiteral("Combine items for quotes")},
        {QStringLiteral("CONFIG_ups_username"), QStringLiteral("UPS Username")},
        {QStringLiteral("CONFIG_ups_password"), QStringLiteral("UPS Password")},
        {QStringLiteral("CONFIG_ups_key"), QStringLiteral("UPS Key")},
        {QStringLiteral("CONFIG_usps_username"), QStringLiteral("USPS Username")},
        {QStringLiteral("CONFIG_usps_password"), QStringLiteral("USPS Password")},
        {QStringLiteral("CONFIG_shipping_origin_zip"), QStringLiteral("Origin Zip")},
        {QStringLiteral("CONFIG_policies_page"), QStringLiteral("Location of Policies Page")},
        {QStringLiteral("CONFIG_shopping_entrance"), QStringLiteral("Web Site Store Entrance")},
        {QStringLiteral("CONFIG_home_page"), QStringLiteral("Location of Home Page")},
        {QStringLiteral("CONFIG_cgi_bin"), QStringLiteral("URL to the cgi-bin")},
        {QStringLiteral("CONFIG_ssl_cgi_bin"), QStringLiteral("https location to the cgi-bin")},
        {QStringLiteral("CONFIG_use_ssl"), QStringLiteral("My web site has SSL")},
        {QStringLiteral("CONFIG_ssl_only"), QStringLiteral("Secure ONLY")},
        {QStringLiteral("CONFIG_all_account_discount"), QStringLiteral("Discount Percentage")},
        {QStringLiteral("CONFIG_go_gift"), QStringLiteral("Put Vendix in Gift Mode")},
        {QStringLiteral("CONFIG_wrapping_is_taxable"), QStringLiteral("Gift Wrapping is Taxable")},
        {QStringLiteral("CONFIG_company_name"), QStringLiteral("Company Name")},
        {QStringLiteral("CONFIG_company_street"), QStringLiteral("Street")},
        {QStringLiteral("CONFIG_company_city"), QStringLiteral("City")},
        {QStringLiteral("CONFIG_company_state"), QStringLiteral("State")},
        {QStringLiteral("CONFIG_company_zip"), QStringLiteral("Zip")},
        {QStringLiteral("CONFIG_phone"), QStringLiteral("Phone")},
        {QStringLiteral("CONFIG_company_phone"), QStringLiteral("Phone")},
        {QStringLiteral("CONFIG_tollfree"), QStringLiteral("Toll Free")},
        {QStringLiteral("CONFIG_infomail"), QStringLiteral("Information e-mail")},
        {QStringLiteral("CONFIG_ordermail"), QStringLiteral("Order Notification e-mail")},
        {QStringLiteral("CONFIG_webmaster"), QStringLiteral("Webmaster e-mail")},
        {QStringLiteral("CONFIG_billing"), QStringLiteral("Billing e-mail")},
        {QStringLiteral("CONFIG_use_coupons"), QStringLiteral("Enable coupons on my site")},
        {QStringLiteral("CONFIG_taxable"), QStringLiteral("Products are taxable")},
        {QStringLiteral("CONFIG_taxes_as_select"), QStringLiteral("Display taxes as select list")},
        {QStringLiteral("CONFIG_sec_urlexp"), QStringLiteral("Spoof prevention expression")},
        {QStringLiteral("CONFIG_sec_reject_get"), QStringLiteral("Reject GET Requests")},
        {QStringLiteral("CONFIG_sec_reject_post"), QStringLiteral("Reject POST Requests")},
        {QStringLiteral("CONFIG_sec_reject_nullref"), QStringLiteral("Reject NULL HTTP_REFERER")},
        {QStringLiteral("CONFIG_def_money_sign_text"), QStringLiteral("Default String")},
        {QStringLiteral("CONFIG_money_sign"), QStringLiteral("Default Symbol")},
        // The rate tables, by the window that edits them.
        {QStringLiteral("taxstring"), QStringLiteral("Regional Taxes")},
        {QStringLiteral("smarttaxstring"), QStringLiteral("Smart Taxes")},
        {QStringLiteral("couponsstring"), QStringLiteral("Coupons")},
        {QStringLiteral("shipitstring"), QStringLiteral("Shipping Method")},
        {QStringLiteral("shipitextstring"), QStringLiteral("Shipping Extensions")},
        {QStringLiteral("gifts_data"), QStringLiteral("Gift Options")},
        {QStringLiteral("currencyconversion"), QStringLiteral("Currency Conversion")},
        {QStringLiteral("cccard"), QStringLiteral("Accepted card")},
    };
    // clang-format on
    const qsizetype space = field.indexOf(QLatin1Char(' '));
    const QString name = space < 0 ? field : field.left(space);
    const auto it = kCaptions.constFind(name);
    if (it == kCaptions.constEnd())
        return field;
    const QString rest = space < 0 ? QString() : field.mid(space);
    return QStringLiteral("%1%2 (%3)").arg(*it, rest, field);
}

} // namespace os
