#include "sync/publishing.h"

#include "base/settings.h"
#include "base/store_charset.h"
#include "base/text_utils.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "sync/protocol.h"
#include "sync/session_error.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace os {

namespace {

QByteArray B(bool value)
{
    return value ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

QByteArray D(int value)
{
    return QByteArray::number(value);
}

// The whole digits of a fixed-point text ("-123.45" -> 3; "0.13" -> 0).
qsizetype wholeDigits(const QString& fixed)
{
    qsizetype n = 0;
    for (const QChar c : fixed) {
        if (c.isDigit())
            ++n;
        else if (c != QLatin1Char('-'))
            break;
    }
    return fixed.startsWith(QLatin1String("0")) || fixed.startsWith(QLatin1String("-0")) ? 0 : n;
}

// Ends the builder's use of its table whatever way it leaves: the table is
// closed (also when it was open before) and a filter it had is back on.
class TableUse
{
public:
    explicit TableUse(Table& table) : m_table(table), m_filtered(table.filtered())
    {
        // Every row goes to the store, whatever a window was showing.
        if (m_filtered)
            m_table.setFiltered(false);
    }
    ~TableUse()
    {
        m_table.close();
        if (m_filtered)
            m_table.setFiltered(true);
    }
    TableUse(const TableUse&) = delete;
    TableUse& operator=(const TableUse&) = delete;

private:
    Table& m_table;
    bool m_filtered;
};

// A row whose value cannot be read as its column's type.
struct UnreadableRow
{
};

// One column, as the file holds it, in the form the store reads.
QString columnText(const Table::Cells& cells, int i, FieldType type, const QString& point)
{
    switch (type) {
    case FieldType::Alpha:
    case FieldType::Memo:
    case FieldType::Timestamp:
    case FieldType::Date:
        return cells.stored(i).toString(); // dates as their ISO text
    case FieldType::Logical:
        if (cells.isNull(i))
            return QStringLiteral("0");
        if (cells.isInteger(i))
            return cells.integer(i) != 0 ? QStringLiteral("1") : QStringLiteral("0");
        if (cells.isReal(i))
            return cells.number(i) != 0 ? QStringLiteral("1") : QStringLiteral("0");
        throw UnreadableRow{};
    case FieldType::Long:
    case FieldType::Short:
    case FieldType::Autoinc:
        if (cells.isNull(i))
            return {};
        if (cells.isInteger(i))
            return QString::number(cells.integer(i));
        if (cells.isReal(i) && std::trunc(cells.number(i)) == cells.number(i))
            return QString::number(qint64(cells.number(i)));
        throw UnreadableRow{};
    case FieldType::Money:
    case FieldType::Number:
        if (cells.isNull(i))
            return {};
        if (!cells.isInteger(i) && !cells.isReal(i))
            throw UnreadableRow{};
        return generalText(cells.number(i), 15, point);
    }
    return {};
}

// ASCII text without "^" or ":", the characters every separator starts with.
bool plainAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '^' || c == ':')
            return false;
    }
    return true;
}

// The record's key (its first column) as a refusal names it.
QString keyText(const Table::Cells& cells, const QList<FieldType>& types, const QString& point)
{
    try {
        return columnText(cells, 0, types.at(0), point);
    } catch (const UnreadableRow&) {
        return cells.stored(0).toString();
    }
}

QString separatorRefusal(const RateTableFormat& format, qint64 row, const QString& key,
                         const QString& column, const QString& separator)
{
    const QString which =
        key.isEmpty() ? QString::number(row) : QStringLiteral("%1 (%2)").arg(row).arg(key);
    return QStringLiteral("The %1 table cannot be published: in row %2 the column %3 holds "
                          "\"%4\", which the store reads as a separator of records or "
                          "columns.\r\rCorrect the row and publish again. Nothing was sent to "
                          "the store.")
        .arg(format.table, which, column, separator);
}

} // namespace

QString HtmlColor(int colour)
{
    const quint32 c = quint32(colour) & 0xffffffu;
    const quint32 red = c & 0xff;
    const quint32 green = (c >> 8) & 0xff;
    const quint32 blue = (c >> 16) & 0xff;
    return QStringLiteral("#%1%2%3")
        .arg(red, 2, 16, QLatin1Char('0'))
        .arg(green, 2, 16, QLatin1Char('0'))
        .arg(blue, 2, 16, QLatin1Char('0'));
}

QString generalText(double number, int precision)
{
    return generalText(number, precision, QLocale().decimalPoint());
}

QString generalText(double number, int precision, const QString& point)
{
    if (std::isnan(number))
        return QStringLiteral("NAN");
    if (std::isinf(number))
        return number < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (number == 0)
        return QStringLiteral("0"); // no "-0"
    // d.ddddde[+-]XX, correctly rounded: the significant digits without
    // trailing zeros, and the exponent.
    char e[64];
    const auto converted = std::to_chars(e, e + sizeof e, std::fabs(number),
                                         std::chars_format::scientific, precision - 1);
    if (converted.ec != std::errc())
        return QString::number(number, 'g', precision);
    const char* ePos = std::find(e, converted.ptr, 'e');
    char digits[64];
    int count = 0;
    digits[count++] = e[0];
    for (const char* d = e + 2; d < ePos; ++d)
        digits[count++] = *d;
    while (count > 1 && digits[count - 1] == '0')
        --count;
    int exponent = 0;
    std::from_chars(ePos + 2, converted.ptr, exponent); // after "e+" or "e-"
    if (ePos[1] == '-')
        exponent = -exponent;

    // Written into one buffer; the decimal point goes in as a marker.
    const char mark = '.';
    char out[96];
    int n = 0;
    if (number < 0)
        out[n++] = '-';
    if (exponent < -4 || exponent >= precision) {
        out[n++] = digits[0];
        if (count > 1) {
            out[n++] = mark;
            for (int i = 1; i < count; ++i)
                out[n++] = digits[i];
        }
        out[n++] = 'E';
        n = int(std::to_chars(out + n, out + sizeof out, exponent).ptr - out);
    } else if (exponent < 0) {
        out[n++] = '0';
        out[n++] = mark;
        for (int i = 0; i < -exponent - 1; ++i)
            out[n++] = '0';
        for (int i = 0; i < count; ++i)
            out[n++] = digits[i];
    } else {
        for (int i = 0; i < std::max(count, exponent + 1); ++i) {
            if (i == exponent + 1)
                out[n++] = mark;
            out[n++] = i < count ? digits[i] : '0';
        }
    }
    QString text = QString::fromLatin1(out, n);
    if (point != QLatin1String("."))
        text.replace(QLatin1Char(mark), point);
    return text;
}

std::optional<QString> amountText(double amount)
{
    const std::optional<QString> two = fixedText(amount, 2);
    if (!two)
        return std::nullopt;
    const QString point = QLocale().decimalPoint();
    qsizetype whole = wholeDigits(*two);
    if (whole <= 5)
        return two;
    // Seven significant digits: fewer decimals as the whole part grows, the
    // missing ones written as zeros.
    if (whole == 6) {
        const QString one = *fixedText(amount, 1);
        if (wholeDigits(one) == 6)
            return one + QLatin1Char('0');
        whole = 7; // rounding reached a seventh whole digit
    }
    if (whole == 7) {
        const QString none = *fixedText(amount, 0);
        if (wholeDigits(none) == 7)
            return none + point + QStringLiteral("00");
    }
    return generalText(amount, 7);
}

QByteArray siteAddressValue(const QString& url)
{
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = url.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x7f || c == '&' || c == '=' || c == '%' || c == '+' || c == '#') {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

QString pageBodyText(const Settings& s)
{
    QString tag = QStringLiteral("<BODY");
    if (!s.BGImagePath.isEmpty())
        tag += QStringLiteral(" BACKGROUND=\"%1\"").arg(s.BGImagePath);
    tag += QStringLiteral(" BGCOLOR=\"%1\" TEXT=\"%2\" LINK=\"%3\" VLINK=\"%4\" ALINK=\"%5\">")
               .arg(HtmlColor(s.BGColor), HtmlColor(s.TextColor), HtmlColor(s.LinkColor),
                    HtmlColor(s.VlinkColor), HtmlColor(s.ALinkColor));
    return tag;
}

QByteArray cardTypeFields(const QString& dataDir)
{
    QFile file(dataDir + QStringLiteral("/ccitems.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Lines end at CR LF, LF or CR; a last line break starts no empty line.
    // The program's own file keeps its encoding, whatever the store's set.
    const QString text = decodeFileText(file.readAll());
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);

    QByteArray out;
    for (const QString& line : lines)
        out += "cccard=" + UrlEncode(line) + '&';
    return out;
}

QByteArray configurationFields(const Settings& s)
{
    QByteArray out;
    out.reserve(4096);
    const auto field = [&out](const char* name, const QByteArray& value) {
        out += name;
        out += value;
        out += '&';
    };
    const auto E = [](const QString& text) { return UrlEncode(text); };
    const auto F = [](const char* setting, double amount) {
        const std::optional<QString> text = amountText(amount);
        if (!text)
            throw SessionError(
                QStringLiteral("The setting %1 holds no amount that can be sent to the store.")
                    .arg(QLatin1String(setting)));
        return UrlEncode(*text);
    };

    field("CONFIG_body=", E(pageBodyText(s)));
    field("CONFIG_accept_cc=", B(s.AcceptCC));
    field("CONFIG_remote_cc=", B(s.CC_Remote));
    field("CONFIG_accept_cc=", B(s.AcceptCC));
    field("CONFIG_accept_cc=", B(s.AcceptCC));
    field("CONFIG_accept_cc_phone=", B(s.CardsByPhone));
    field("CONFIG_accept_mailchecks=", B(s.ChecksByMail));
    field("CONFIG_accept_cod=", B(s.CodOrders));
    field("CONFIG_accept_pos=", B(s.PurchaseOrder));
    if (const std::optional<QString> codFee = amountText(s.CODFEE))
        field("CONFIG_codfee=", UrlEncode(*codFee));
    else
        out += "CONFIG_codfee=6.00&";
    field("CONFIG_basic_base=", F("Basic_BaseShipping", s.Basic_BaseShipping));
    field("CONFIG_basic_percentage=", F("Basic_BasePercentage", s.Basic_BasePercentage));
    field("CONFIG_basicshipit_base=", F("Weightbased_BaseFee", s.Weightbased_BaseFee));
    field("CONFIG_advancedshipit_base=", F("AdvWeightBased_BaseFee", s.AdvWeightBased_BaseFee));
    field("CONFIG_basicshipit_multiplier=", F("Weightbased_CalcFee", s.Weightbased_CalcFee));
    field("CONFIG_default_shipping_message=", E(s.DefaultShippingMessage));
    field("CONFIG_peritem_first=", F("basicPerItem_First", s.basicPerItem_First));
    field("CONFIG_peritem_additional=", F("BasicPerItem_Second", s.BasicPerItem_Second));
    field("CONFIG_shipping_method=", E(s.ShippingMethod));
    // A custom shipping method of the store always charges shipping.
    field("CONFIG_use_shipping=", s.ShippingMethod.toLower().contains(QLatin1String("my_custom_"))
                                      ? B(true)
                                      : B(s.UseShipping));
    field("CONFIG_weight_safety=", D(s.DefWeight));
    field("CONFIG_policies_page=", siteAddressValue(s.policies_page));
    field("CONFIG_shopping_entrance=", siteAddressValue(s.store_entrance));
    field("CONFIG_home_page=", siteAddressValue(s.Home_page));
    field("CONFIG_all_account_discount=", generalText(s.AllAccountsDiscount).toUtf8());
    field("CONFIG_go_gift=", B(s.VendixGiftMode));
    field("CONFIG_infomail=", E(s.infoMail));
    field("CONFIG_company_name=", E(s.CompanyName));
    field("CONFIG_company_street=", E(s.CompanyStreet));
    field("CONFIG_company_city=", E(s.CompanyCity));
    field("CONFIG_company_state=", E(s.CompanyState));
    field("CONFIG_company_zip=", E(s.CompanyZip));
    field("CONFIG_phone=", E(s.CompanyPhone));
    field("CONFIG_company_phone=", E(s.CompanyPhone));
    field("CONFIG_taxes_as_select=", B(s.TaxesAsSelect));
    field("CONFIG_tollfree=", E(s.TollFree));
    field("CONFIG_ordermail=", E(s.OrderEmail));
    field("CONFIG_webmaster=", E(s.WEbMasterEmail));
    field("CONFIG_billing=", E(s.BillingMail));
    field("CONFIG_use_coupons=", B(s.AcceptCoupons));
    field("CONFIG_use_coupons=", B(s.AcceptCoupons));
    field("CONFIG_taxable=", B(s.TaxableIsDefault));
    field("CONFIG_wrapping_is_taxable=", B(s.TaxWrapping));
    field("CONFIG_sec_urlexp=", E(s.SecURL));
    field("CONFIG_sec_reject_get=", B(s.SecGet));
    field("CONFIG_sec_reject_post=", B(s.SecPost));
    field("CONFIG_sec_reject_nullref=", B(s.SecRef));
    field("CONFIG_use_shipit_extensions=", B(s.UseShippingExtensions));
    field("CONFIG_useups=", B(s.USEUPS));
    field("CONFIG_useusps=", B(s.USEUSPS));
    field("CONFIG_combine_items=", B(s.CombineItems));
    field("CONFIG_cc_rtime=", B(s.CC_Rtime));
    field("CONFIG_ask_cvv=", B(s.AskCVV));
    field("CONFIG_use_ssl=", B(s.UseSSL));
    field("CONFIG_ssl_only=", B(s.SSLOnly));
    field("CONFIG_def_money_sign_text=", E(s.DefaultCurrencyDisclaimer));
    field("CONFIG_money_sign=", E(s.DefaultCurrencySymbol));
    field("CONFIG_askccphone=", B(s.AskCCPhone));
    field("CONFIG_ups_username=", E(s.UPSUsername));
    field("CONFIG_ups_password=", E(s.UPSPassword));
    field("CONFIG_ups_key=", E(s.UPSKey));
    field("CONFIG_usps_username=", E(s.USPSUsername));
    field("CONFIG_usps_password=", E(s.USPSPassword));
    field("CONFIG_shipping_origin_zip=", E(s.OriginZip));
    field("CONFIG_cgi_bin=", E(s.CGIBINLocation));
    field("CONFIG_ssl_cgi_bin=", E(s.SSLCGIBINLocation));
    field("CONFIG_read_weight_method=", D(s.WeightMethod));
    field("CONFIG_add_handling=", F("AddHandling", s.AddHandling));
    return out;
}

std::optional<QByteArray> buildRateTable(const RateTableFormat& format, Table& table,
                                         const PublishLog& log)
{
    if (!format.startLine.isEmpty())
        log(QStringLiteral("Function"), format.startLine);

    const TableDef& def = table.def();
    QList<FieldType> types;
    for (const QString& name : format.columns) {
        const int at = def.fieldIndex(name);
        Q_ASSERT(at >= 0);
        types << def.fields.at(at).type;
    }

    TableUse use(table);
    // Not caught: a table that does not open, or whose first row cannot be
    // reached, ends the session before anything is posted.
    table.open();
    table.first();

    const QString point = QLocale().decimalPoint();
    // Encoded as it is built: the column separator and the terminator once.
    const QByteArray separator = UrlEncode(QString::fromLatin1(RateColumnSeparator));
    const QByteArray terminator = UrlEncode(format.terminator);
    QByteArray encoded = '&' + format.field.toLatin1() + '=';
    const qsizetype count = format.columns.size();
    // A record's columns, encoded, until the whole record was checked.
    QByteArray record;
    qint64 row = 0;
    try {
        // One statement through the whole table in primary-index order,
        // reading only the record's columns straight from the engine.
        table.scan(format.columns, [&](const Table::Cells& cells) {
            ++row;
            record.clear();
            for (qsizetype i = 0; i < count; ++i) {
                if (i > 0)
                    record += separator;
                const int c = int(i);
                const FieldType type = types.at(i);
                if (isTextType(type) && cells.isText(c)) {
                    const QByteArrayView bytes = cells.text(c);
                    // Most texts are plain ASCII without a character that
                    // starts a separator: encoded from the engine's bytes.
                    if (plainAscii(bytes)) {
                        appendUrlEncodedUtf8(record, bytes);
                        continue;
                    }
                    const QString text = QString::fromUtf8(bytes);
                    const QString found = separatorInColumnText(format, i, text);
                    if (!found.isEmpty())
                        throw SessionError(separatorRefusal(format, row,
                                                            keyText(cells, types, point),
                                                            format.columns.at(i), found));
                    appendUrlEncoded(record, text);
                    continue;
                }
                const QString text = columnText(cells, c, type, point);
                if (isTextType(type)) {
                    const QString found = separatorInColumnText(format, i, text);
                    if (!found.isEmpty())
                        throw SessionError(separatorRefusal(format, row,
                                                            keyText(cells, types, point),
                                                            format.columns.at(i), found));
                }
                appendUrlEncoded(record, text);
            }
            encoded += record;
            encoded += terminator;
        });
    } catch (const SessionError&) {
        throw;
    } catch (const UnreadableRow&) {
        log(format.errorType, format.errorLine);
        return std::nullopt;
    } catch (const Error&) {
        log(format.errorType, format.errorLine);
        return std::nullopt;
    }
    return encoded;
}

Table* sharedRateTable(TMainDataMod& data, const QString& table)
{
    const std::pair<const char*, Table*> tables[] = {
        {"taxes", data.Taxes},           {"currency_conversion", data.currency_conversion},
        {"smarttaxes", data.SmartTaxes}, {"shipit", data.ShipIt},
        {"gift", data.GiftTable},        {"coupons", data.Coupons},
        {"shipitext", data.ShipItExt},
    };
    for (const auto& [name, object] : tables) {
        if (table == QLatin1String(name))
            return object;
    }
    return nullptr;
}

QByteArray buildConfiguration(const Settings& s, const QString& dataDir,
                              const std::function<Table&(const RateTableFormat&)>& tableFor,
                              const PublishLog& log, const std::function<void()>& afterEach)
{
    QByteArray out = cardTypeFields(dataDir) + configurationFields(s);
    for (const RateTableFormat& format : rateTableFormats()) {
        if (const std::optional<QByteArray> field = buildRateTable(format, tableFor(format), log))
            out += *field;
        if (afterEach)
            afterEach();
    }
    return out;
}

} // namespace os
