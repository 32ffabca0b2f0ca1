#include "demo_data.h"

#include "charset.h"

#include <QStringList>

#include <cmath>

namespace storesim {

namespace {

const char* const kFirst[] = {
    "James",   "Mary",      "Robert",    "Patricia", "John",     "Jennifer", "Michael", "Linda",
    "David",   "Elizabeth", "William",   "Barbara",  "Richard",  "Susan",    "Joseph",  "Jessica",
    "Thomas",  "Sarah",     "Jos\u00e9", "Karen",    "Zo\u00eb", "Lisa",     "Matthew", "Nancy",
    "Anthony", "Betty",     "Mark",      "Sandra",   "Paul",     "Ashley",   "Steven",  "Kimberly",
    "Andrew",  "Emily",     "Kenneth",   "Donna",    "Joshua",   "Michelle", "Kevin",   "Carol",
    "Brian",   "Amanda",    "Hiro",      "Melissa",  "Priya",    "Deborah"};
const char* const kLast[] = {
    "Smith",    "Johnson",   "Williams",      "Brown",       "Jones",   "Garc\u00eda", "Miller",
    "Davis",    "Rodriguez", "Mart\u00ednez", "M\u00fcller", "Lopez",   "Gonzalez",    "Wilson",
    "Anderson", "Thomas",    "Taylor",        "Moore",       "Jackson", "Martin",      "Lee",
    "Perez",    "Thompson",  "White",         "Harris",      "Sanchez", "Clark",       "Ramirez",
    "Lewis",    "Robinson",  "Walker",        "Young",       "Allen",   "King",        "Wright",
    "Scott",    "Torres",    "Nguyen",        "Hill",        "Flores",  "Green",       "Adams",
    "Nelson",   "Baker",     "Hall"};
const char* const kStreets[] = {
    "Maple Ave",   "Oak St",       "Cedar Ln",  "Elm St",       "Washington Blvd", "Lakeview Dr",
    "Park Pl",     "Sunset Blvd",  "Main St",   "Hillcrest Rd", "River Rd",        "Pine St",
    "Chestnut St", "Highland Ave", "Meadow Ln", "Willow Way",   "Franklin St",     "Spring St"};
struct Place
{
    const char* city;
    const char* state;
    const char* zip;
    const char* area;
    double tax;
};
const Place kPlaces[] = {
    {"Sacramento", "CA", "95814", "916", 0.0725}, {"San Diego", "CA", "92101", "619", 0.0725},
    {"Portland", "OR", "97204", "503", 0.0},      {"Seattle", "WA", "98101", "206", 0.065},
    {"Austin", "TX", "78701", "512", 0.0625},     {"Denver", "CO", "80202", "303", 0.029},
    {"Chicago", "IL", "60601", "312", 0.0625},    {"Columbus", "OH", "43215", "614", 0.0575},
    {"Atlanta", "GA", "30303", "404", 0.04},      {"Boston", "MA", "02108", "617", 0.0625},
    {"Albany", "NY", "12207", "518", 0.04},       {"Miami", "FL", "33130", "305", 0.06},
    {"Phoenix", "AZ", "85004", "602", 0.056},     {"Madison", "WI", "53703", "608", 0.05},
    {"Burlington", "VT", "05401", "802", 0.06},   {"Boise", "ID", "83702", "208", 0.06}};
const char* const kCompanies[] = {"",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "Acme Outfitters",
                                  "Bluebird Caf\u00e9",
                                  "Northwind Traders",
                                  "Riverside Clinic",
                                  "Summit Realty",
                                  "Harbor Books",
                                  "Lakeside School"};
const char* const kDomains[] = {"example.com", "example.net", "example.org", "mail.example.com"};
struct Product
{
    const char* sku;
    const char* name;
    double price;
};
const Product kProducts[] = {{"TEA-101", "Earl Grey Loose Leaf Tea, 250 g", 12.95},
                             {"TEA-114", "Jasmine Pearls, 100 g", 18.50},
                             {"CUP-220", "Stoneware Mug, Slate Blue", 14.00},
                             {"POT-310", "Cast Iron Teapot, 0.8 l", 46.75},
                             {"INF-402", "Stainless Infuser Basket", 7.25},
                             {"KET-515", "Gooseneck Kettle, 1 l", 64.90},
                             {"TEA-130", "Cr\u00e8me Br\u00fbl\u00e9e Rooibos, 200 g", 11.40},
                             {"GFT-600", "Tasting Sampler Gift Box", 39.00},
                             {"HON-705", "Wildflower Honey, 340 g", 9.80},
                             {"CUP-228", "Glass Double-Wall Cup, set of 2", 24.00},
                             {"TEA-155", "Sencha Green Tea, 100 g", 15.25},
                             {"ACC-810", "Bamboo Tea Scoop", 5.50}};
const char* const kCardTypes[] = {"Visa",    "Visa", "MasterCard", "MasterCard", "American Express",
                                  "Discover"};
const char* const kCardNumbers[] = {"4111111111111111", "4111111111111111", "5555555555554444",
                                    "5105105105105100", "378282246310005",  "6011111111111117"};
const char* const kNotes[] = {"",
                              "",
                              "",
                              "",
                              "",
                              "Please leave the parcel at the back door.",
                              "Gift - no prices on the packing slip please.",
                              "Call before delivery.",
                              "Deliver to the front desk \u2013 the \u20ac5 tip is in the card.",
                              "Happy birthday, Mum!"};
const char* const kCoupons[] = {"", "", "", "", "", "", "SPRING10", "WELCOME5"};

template <typename T, size_t N, typename Rng> const T& pick(const T (&list)[N], Rng& rng)
{
    return list[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

template <typename Rng> int Between(Rng& rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

QString Phone(const char* area, std::mt19937& rng)
{
    return QStringLiteral("(%1) 555-%2")
        .arg(QLatin1String(area))
        .arg(Between(rng, 100, 9999), 4, 10, QLatin1Char('0'));
}

double round2(double v)
{
    return std::round(v * 100.0) / 100.0;
}

const Place& placeOf(const QString& state)
{
    for (const Place& p : kPlaces)
        if (state == QLatin1String(p.state))
            return p;
    return kPlaces[0];
}

QString html(const QString& text)
{
    return text.toHtmlEscaped();
}

// A name as the local part of an address: accents dropped ("José" -> "jose").
QString asciiMailName(const QString& name)
{
    QString out;
    for (const QChar c : name.normalized(QString::NormalizationForm_D))
        if (c.unicode() < 0x80)
            out += c.toLower();
    return out;
}

} // namespace

QJsonObject makeAccount(qint64 custId, std::mt19937& rng)
{
    const QString first = QString::fromUtf8(pick(kFirst, rng));
    const QString last = QString::fromUtf8(pick(kLast, rng));
    const Place& place = pick(kPlaces, rng);
    const QString street =
        QStringLiteral("%1 %2").arg(Between(rng, 10, 9899)).arg(QLatin1String(pick(kStreets, rng)));
    const QString phone = Phone(place.area, rng);
    QJsonObject a;
    a[QStringLiteral("CUSTID")] = custId;
    a[QStringLiteral("PASS")] = QStringLiteral("pw%1").arg(Between(rng, 10000, 99999));
    a[QStringLiteral("EMAIL")] = QStringLiteral("%1.%2%3@%4")
                                     .arg(asciiMailName(first), asciiMailName(last))
                                     .arg(custId % 100)
                                     .arg(QLatin1String(pick(kDomains, rng)));
    a[QStringLiteral("COMPANY")] = QString::fromUtf8(pick(kCompanies, rng));
    a[QStringLiteral("NAME")] = first + QLatin1Char(' ') + last;
    a[QStringLiteral("STREET")] = street;
    a[QStringLiteral("CITY")] = QLatin1String(place.city);
    a[QStringLiteral("STATE")] = QLatin1String(place.state);
    a[QStringLiteral("ZIP")] = QLatin1String(place.zip);
    a[QStringLiteral("COUNTRY")] = QStringLiteral("USA");
    a[QStringLiteral("PHONE")] = phone;
    // Most shoppers ship to themselves; some send to a friend.
    const bool other = Between(rng, 0, 4) == 0;
    const Place& sp = other ? pick(kPlaces, rng) : place;
    a[QStringLiteral("SCOMPANY")] = other ? QString() : a[QStringLiteral("COMPANY")].toString();
    a[QStringLiteral("SNAME")] =
        other ? QStringLiteral("%1 %2").arg(QString::fromUtf8(pick(kFirst, rng)), last)
              : first + QLatin1Char(' ') + last;
    a[QStringLiteral("SSTREET")] = other ? QStringLiteral("%1 %2")
                                               .arg(Between(rng, 10, 9899))
                                               .arg(QLatin1String(pick(kStreets, rng)))
                                         : street;
    a[QStringLiteral("SCITY")] = QLatin1String(sp.city);
    a[QStringLiteral("SSTATE")] = QLatin1String(sp.state);
    a[QStringLiteral("SZIP")] = QLatin1String(sp.zip);
    a[QStringLiteral("SCOUNTRY")] = QStringLiteral("USA");
    a[QStringLiteral("SPHONE")] = other ? Phone(sp.area, rng) : phone;
    a[QStringLiteral("NOTES")] = QString();
    a[QStringLiteral("SUBSCRIBED")] =
        Between(rng, 0, 2) == 0 ? QStringLiteral("0") : QStringLiteral("1");
    return a;
}

QList<InvoiceItem> orderItems(qint64 inv)
{
    // A small engine: this runs for every invoice of every delivery.
    std::minstd_rand rng(static_cast<quint32>(inv * 2654435761u) | 1u);
    QList<InvoiceItem> items;
    const int n = Between(rng, 1, 4);
    for (int i = 0; i < n; ++i) {
        const Product& p = pick(kProducts, rng);
        items.append(
            {QLatin1String(p.sku), QString::fromUtf8(p.name), Between(rng, 1, 3), p.price});
    }
    return items;
}

double orderShipping(qint64 inv)
{
    static const double rates[] = {0.0, 5.95, 7.50, 9.95};
    return rates[inv % 4];
}

namespace {

double subtotal(qint64 inv)
{
    double sum = 0;
    for (const InvoiceItem& item : orderItems(inv))
        sum += item.quantity * item.price;
    return round2(sum);
}

double Tax(qint64 inv, const QString& shipState)
{
    return round2(subtotal(inv) * placeOf(shipState).tax);
}

} // namespace

QJsonObject makeOrder(qint64 inv, const QJsonObject& account, const QDateTime& when,
                      std::mt19937& rng)
{
    QJsonObject o;
    o[QStringLiteral("INV")] = inv;
    for (const char* key :
         {"CUSTID", "PASS", "EMAIL", "COMPANY", "NAME", "STREET", "CITY", "STATE", "ZIP", "COUNTRY",
          "PHONE", "SCOMPANY", "SNAME", "SSTREET", "SCITY", "SSTATE", "SZIP", "SCOUNTRY", "SPHONE"})
        o[QLatin1String(key)] = account.value(QLatin1String(key));
    o[QStringLiteral("NOTES")] = QString::fromUtf8(pick(kNotes, rng));
    o[QStringLiteral("IDATE")] = when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString shipState = account.value(QStringLiteral("SSTATE")).toString();
    o[QStringLiteral("TOTAL")] = round2(subtotal(inv) + orderShipping(inv) + Tax(inv, shipState));
    // Mostly cards taken on the site; now and then the other ways to pay.
    static const char* const methods[] = {"1", "1", "1", "1", "1", "1", "2", "3", "4", "5", "6"};
    const QString method = QLatin1String(pick(methods, rng));
    o[QStringLiteral("METHOD")] = method;
    const bool card = method == QLatin1String("1") || method == QLatin1String("2") ||
                      method == QLatin1String("5");
    const int c = Between(rng, 0, 5);
    o[QStringLiteral("CARDNUM")] = card ? QLatin1String(kCardNumbers[c]) : QString();
    o[QStringLiteral("CARDTYPE")] = card ? QLatin1String(kCardTypes[c]) : QString();
    o[QStringLiteral("CCMONTH")] =
        card ? QStringLiteral("%1").arg(Between(rng, 1, 12), 2, 10, QLatin1Char('0')) : QString();
    o[QStringLiteral("CCYEAR")] =
        card ? QString::number(when.date().year() + Between(rng, 1, 5)) : QString();
    o[QStringLiteral("CCPHONE")] = method == QLatin1String("2")
                                       ? account.value(QStringLiteral("PHONE")).toString()
                                       : QString();
    o[QStringLiteral("PURCHASEORDER")] =
        method == QLatin1String("4") ? QStringLiteral("PO-%1").arg(Between(rng, 10000, 99999))
                                     : QString();
    o[QStringLiteral("AFFILIATECODE")] =
        Between(rng, 0, 9) == 0 ? QString::number(Between(rng, 1, 40)) : QStringLiteral("0");
    o[QStringLiteral("COUPON")] = QLatin1String(pick(kCoupons, rng));
    o[QStringLiteral("ORDERSTATE")] =
        Between(rng, 0, 14) == 0 ? QStringLiteral("Status Pending") : QStringLiteral("New");
    return o;
}

void completeOrder(QJsonObject& order, const QJsonObject* account)
{
    const qint64 inv = order.value(QStringLiteral("INV")).toInteger();
    std::mt19937 rng(static_cast<quint32>(inv));
    QJsonObject shopper =
        account ? *account : makeAccount(order.value(QStringLiteral("CUSTID")).toInteger(), rng);
    shopper[QStringLiteral("CUSTID")] = order.value(QStringLiteral("CUSTID"));
    const QDateTime when(QDate(2024, 6, 3), QTime(9, 0).addSecs(static_cast<int>(inv % 36000)));
    const QJsonObject made = makeOrder(inv, shopper, when, rng);
    for (auto it = made.begin(); it != made.end(); ++it)
        if (!order.contains(it.key()))
            order.insert(it.key(), it.value());
}

QByteArray invoicePage(const QJsonObject& order, int minSize)
{
    auto v = [&](const char* key) {
        return html(order.value(QLatin1String(key)).toVariant().toString());
    };
    const qint64 inv = order.value(QStringLiteral("INV")).toInteger();
    QString page;
    page.reserve(4096);
    page += QStringLiteral("<html><head><title>Invoice "
                           "%1</title>\n<style>body{font-family:Helvetica,Arial,sans-serif;"
                           "color:#222;margin:24px}table{border-collapse:collapse;width:100%}"
                           "th,td{border-bottom:1px solid #ccc;padding:4px 6px;text-align:left}"
                           "td.n{text-align:right}h1{color:#2b5d34}</style></head>\n<body>\n")
                .arg(inv);
    page += QStringLiteral("<h1>Greenleaf Tea Company</h1>\n<p>118 Harbor Way, Portland, OR 97204 "
                           "&middot; (503) 555-0142</p>\n");
    page +=
        QStringLiteral(
            "<h2>Invoice %1</h2>\n<p>Order date: %2<br>Customer number: %3<br>Payment: %4 %5</p>\n")
            .arg(inv)
            .arg(v("IDATE"), v("CUSTID"), v("CARDTYPE"), v("PURCHASEORDER"));
    page += QStringLiteral("<table><tr><th>Bill to</th><th>Ship "
                           "to</th></tr>\n<tr><td>%1<br>%2<br>%3<br>%4, %5 %6<br>%7</td>"
                           "<td>%8<br>%9<br>%10<br>%11, %12 %13<br>%14</td></tr></table>\n")
                .arg(v("NAME"), v("COMPANY"), v("STREET"), v("CITY"), v("STATE"), v("ZIP"),
                     v("COUNTRY"))
                .arg(v("SNAME"), v("SCOMPANY"), v("SSTREET"), v("SCITY"), v("SSTATE"), v("SZIP"),
                     v("SCOUNTRY"));
    page += QStringLiteral("<table><tr><th>Item</th><th>Description</th><th>Qty</th><th>Price</"
                           "th><th>Amount</th></tr>\n");
    for (const InvoiceItem& item : orderItems(inv))
        page += QStringLiteral("<tr><td>%1</td><td>%2</td><td class=n>%3</td><td "
                               "class=n>%4</td><td class=n>%5</td></tr>\n")
                    .arg(item.sku, html(item.name))
                    .arg(item.quantity)
                    .arg(item.price, 0, 'f', 2)
                    .arg(item.quantity * item.price, 0, 'f', 2);
    page +=
        QStringLiteral("<tr><td></td><td>Shipping</td><td></td><td></td><td class=n>%1</td></tr>\n")
            .arg(orderShipping(inv), 0, 'f', 2);
    page += QStringLiteral(
                "<tr><th></th><th>Total</th><th></th><th></th><th class=n>%1</th></tr></table>\n")
                .arg(order.value(QStringLiteral("TOTAL")).toVariant().toDouble(), 0, 'f', 2);
    if (!v("NOTES").isEmpty())
        page += QStringLiteral("<p><b>Notes:</b> %1</p>\n").arg(v("NOTES"));
    page += QStringLiteral("<p>Thank you for shopping with us!</p>\n");
    QByteArray bytes = encodeText(page);
    const QByteArray tail = "</body></html>";
    if (minSize > bytes.size() + tail.size()) {
        // Terms and conditions make up the rest, as long invoices on real stores do.
        const QByteArray terms =
            "<p class=terms>Returns are accepted within 30 days of delivery in the original "
            "packaging. Opened food items cannot be returned.</p>\n";
        while (bytes.size() + tail.size() + terms.size() <= minSize)
            bytes += terms;
        bytes += QByteArray(minSize - bytes.size() - tail.size(), ' ');
    }
    bytes += tail;
    return bytes;
}

} // namespace storesim
