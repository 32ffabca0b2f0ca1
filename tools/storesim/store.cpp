#include "store.h"

#include "charset.h"
#include "demo_data.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

#include <cmath>
#include <random>

namespace storesim {

namespace {

const QString kCrypt = QStringLiteral("crypt_keeper");
const QString kCommand = QStringLiteral("command");

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

QByteArray unescape(const QByteArray& in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < in.size() + 0 && hexValue(in[i + 1]) >= 0 &&
                   hexValue(in[i + 2]) >= 0) {
            out += char(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// The record format has no escape: a separator or line break inside a value
// would split the record, so the store writes a space instead.
QByteArray Clean(const QString& text)
{
    QByteArray b = encodeText(text);
    for (char& c : b)
        if (c == '|' || c == '\n' || c == '\r')
            c = ' ';
    return b;
}

QString Text(const QJsonValue& v)
{
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == double(qint64(d)))
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    if (v.isBool())
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return v.toString();
}

QJsonArray fieldsJson(const Fields& fields)
{
    QJsonArray a;
    for (const auto& [n, v] : fields)
        a.append(QJsonArray{n, v});
    return a;
}

Fields fieldsFrom(const QJsonArray& a)
{
    Fields f;
    for (const QJsonValue& p : a)
        f.append({p.toArray().at(0).toString(), p.toArray().at(1).toString()});
    return f;
}

QJsonArray listJson(const QList<QJsonObject>& list)
{
    QJsonArray a;
    for (const QJsonObject& o : list)
        a.append(o);
    return a;
}

QList<QJsonObject> listFrom(const QJsonValue& v)
{
    QList<QJsonObject> list;
    for (const QJsonValue& o : v.toArray())
        list.append(o.toObject());
    return list;
}

// Qt's JSON writer manages about 10 MB/s; a store with ten thousand waiting
// orders is rewritten after every command, so the state is written by hand.
void writeJson(QByteArray& out, const QJsonValue& v);

void writeString(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void writeJson(QByteArray& out, const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        out += "null";
        break;
    case QJsonValue::Bool:
        out += v.toBool() ? "true" : "false";
        break;
    case QJsonValue::Double: {
        const double d = v.toDouble();
        if (d == double(qint64(d)) && std::abs(d) < 9e15)
            out += QByteArray::number(qint64(d));
        else
            out += QByteArray::number(d, 'g', 17);
        break;
    }
    case QJsonValue::String:
        writeString(out, v.toString());
        break;
    case QJsonValue::Array: {
        out += '[';
        bool first = true;
        for (const QJsonValue& item : v.toArray()) {
            if (!first)
                out += ',';
            first = false;
            writeJson(out, item);
        }
        out += ']';
        break;
    }
    case QJsonValue::Object: {
        out += '{';
        const QJsonObject o = v.toObject();
        bool first = true;
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!first)
                out += ',';
            first = false;
            writeString(out, it.key());
            out += ':';
            writeJson(out, it.value());
        }
        out += '}';
        break;
    }
    }
}

void writeList(QByteArray& out, const char* name, const QList<QJsonObject>& list)
{
    out += '"';
    out += name;
    out += "\":[";
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i)
            out += ',';
        writeJson(out, list[i]);
    }
    out += "],";
}

// Order dates are kept as ISO text and read as UTC: no time-zone lookups.
QDateTime isoDate(const QString& text)
{
    if (text.size() != 19)
        return QDateTime();
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    const QTime time = QTime::fromString(text.mid(11), Qt::ISODate);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

const QStringList kSections = {QStringLiteral("Orders"),        QStringLiteral("Accounts"),
                               QStringLiteral("InvoiceStatus"), QStringLiteral("InvMarks"),
                               QStringLiteral("Notes"),         QStringLiteral("HTML"),
                               QStringLiteral("DataInt")};
const QStringList kLocks = {QStringLiteral("none"), QStringLiteral("desktop"),
                            QStringLiteral("retrieval"), QStringLiteral("other"),
                            QStringLiteral("manual")};

} // namespace

const QStringList& orderFieldNames()
{
    static const QStringList names =
        QStringLiteral("INV CUSTID PASS EMAIL COMPANY NAME STREET CITY STATE ZIP COUNTRY PHONE "
                       "SCOMPANY SNAME SSTREET SCITY "
                       "SSTATE SZIP SCOUNTRY SPHONE NOTES IDATE TOTAL METHOD CARDNUM CARDTYPE "
                       "CCMONTH CCYEAR CCPHONE "
                       "PURCHASEORDER AFFILIATECODE COUPON ORDERSTATE")
            .split(QLatin1Char(' '));
    return names;
}

const QStringList& accountFieldNames()
{
    static const QStringList names =
        QStringLiteral("CUSTID PASS EMAIL COMPANY NAME STREET CITY STATE ZIP COUNTRY PHONE "
                       "SCOMPANY SNAME SSTREET SCITY "
                       "SSTATE SZIP SCOUNTRY SPHONE NOTES SUBSCRIBED")
            .split(QLatin1Char(' '));
    return names;
}

Fields decodeForm(const QByteArray& body)
{
    Fields fields;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        const QByteArray name = eq < 0 ? pair : pair.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        fields.append({decodeText(unescape(name)), decodeText(unescape(value))});
    }
    return fields;
}

Store::Store(QString stateFile) : m_stateFile(std::move(stateFile)) {}

bool Store::open(const QString& seed, const QString& password, QString* error)
{
    QFile file(m_stateFile);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(m_stateFile, file.errorString());
            return false;
        }
        QJsonParseError pe;
        const QJsonObject s = QJsonDocument::fromJson(file.readAll(), &pe).object();
        if (pe.error != QJsonParseError::NoError) {
            *error =
                QStringLiteral("%1 is not a store state: %2").arg(m_stateFile, pe.errorString());
            return false;
        }
        m_password = s.value(QStringLiteral("password")).toString();
        m_lock = s.value(QStringLiteral("lock")).toString(QStringLiteral("none"));
        m_dateFormat = s.value(QStringLiteral("dateFormat")).toString(m_dateFormat);
        m_decimalSeparator =
            s.value(QStringLiteral("decimalSeparator")).toString(m_decimalSeparator);
        m_orders = listFrom(s.value(QStringLiteral("orders")));
        m_accounts = listFrom(s.value(QStringLiteral("accounts")));
        m_notes = listFrom(s.value(QStringLiteral("notes")));
        m_marks = listFrom(s.value(QStringLiteral("marks")));
        m_statuses = listFrom(s.value(QStringLiteral("statuses")));
        m_raw = listFrom(s.value(QStringLiteral("raw")));
        for (const QJsonValue& id : s.value(QStringLiteral("delivered")).toArray())
            m_delivered.insert(id.toInteger());
        m_config = fieldsFrom(s.value(QStringLiteral("config")).toArray());
        m_configReceived = s.value(QStringLiteral("configReceived")).toString();
        m_nextInv = s.value(QStringLiteral("nextInv")).toInteger(m_nextInv);
        m_nextCustId = s.value(QStringLiteral("nextCustId")).toInteger(m_nextCustId);
        m_nextId = s.value(QStringLiteral("nextId")).toInteger(m_nextId);
        m_counters = s.value(QStringLiteral("counters")).toObject();
        return true;
    }
    const bool demo = seed == QLatin1String("demo");
    m_password = !password.isEmpty() ? password
                 : demo              ? QStringLiteral("demo1234")
                                     : QStringLiteral("secret1");
    reset(seed);
    return save(error);
}

void Store::clearData()
{
    m_listsDirty = true;
    m_orders.clear();
    m_accounts.clear();
    m_notes.clear();
    m_marks.clear();
    m_statuses.clear();
    m_raw.clear();
    m_delivered.clear();
    m_config.clear();
    m_configReceived.clear();
    m_lock = QStringLiteral("none");
    m_nextInv = 1001;
    m_nextCustId = 101;
}

void Store::reset(const QString& seed)
{
    clearData();
    if (seed == QLatin1String("demo"))
        seedDemo();
}

void Store::changed()
{
    save();
}

bool Store::save(QString* error) const
{
    QJsonObject small;
    small[QStringLiteral("password")] = m_password;
    small[QStringLiteral("lock")] = m_lock;
    small[QStringLiteral("dateFormat")] = m_dateFormat;
    small[QStringLiteral("decimalSeparator")] = m_decimalSeparator;
    QJsonArray delivered;
    for (qint64 id : m_delivered)
        delivered.append(id);
    small[QStringLiteral("delivered")] = delivered;
    small[QStringLiteral("config")] = fieldsJson(m_config);
    small[QStringLiteral("configReceived")] = m_configReceived;
    small[QStringLiteral("nextInv")] = m_nextInv;
    small[QStringLiteral("nextCustId")] = m_nextCustId;
    small[QStringLiteral("nextId")] = m_nextId;
    small[QStringLiteral("counters")] = m_counters;
    QByteArray json;
    json.reserve(1 << 20);
    json += '{';
    // Most commands change only the lock or the delivery marks: the record
    // lists are written again only after they changed.
    if (m_listsDirty) {
        m_listsJson.clear();
        writeList(m_listsJson, "orders", m_orders);
        writeList(m_listsJson, "accounts", m_accounts);
        writeList(m_listsJson, "notes", m_notes);
        writeList(m_listsJson, "marks", m_marks);
        writeList(m_listsJson, "statuses", m_statuses);
        writeList(m_listsJson, "raw", m_raw);
        m_listsDirty = false;
    }
    json += m_listsJson;
    QByteArray rest;
    writeJson(rest, small);
    json += rest.mid(1); // the small fields close the object
    // Written aside and renamed over the old file, so a kill never leaves half a state.
    QSaveFile file(m_stateFile);
    // The state holds card numbers and the store password: owner only.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(json) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(m_stateFile, file.errorString());
        return false;
    }
    return true;
}

QJsonObject Store::stateJson() const
{
    QJsonObject s;
    s[QStringLiteral("password")] = m_password;
    s[QStringLiteral("lock")] = m_lock;
    s[QStringLiteral("dateFormat")] = m_dateFormat;
    s[QStringLiteral("decimalSeparator")] = m_decimalSeparator;
    s[QStringLiteral("orders")] = listJson(m_orders);
    s[QStringLiteral("accounts")] = listJson(m_accounts);
    s[QStringLiteral("notes")] = listJson(m_notes);
    s[QStringLiteral("marks")] = listJson(m_marks);
    s[QStringLiteral("statuses")] = listJson(m_statuses);
    s[QStringLiteral("raw")] = listJson(m_raw);
    QJsonArray delivered;
    for (qint64 id : m_delivered)
        delivered.append(id);
    s[QStringLiteral("delivered")] = delivered;
    s[QStringLiteral("config")] = fieldsJson(m_config);
    s[QStringLiteral("nextInv")] = m_nextInv;
    s[QStringLiteral("nextCustId")] = m_nextCustId;
    s[QStringLiteral("counters")] = m_counters;
    s[QStringLiteral("pendingOrders")] = int(m_orders.size());
    s[QStringLiteral("pendingAccounts")] = pendingAccounts();
    s[QStringLiteral("pendingNotes")] = int(m_notes.size());
    s[QStringLiteral("pendingMarks")] = int(m_marks.size());
    s[QStringLiteral("pendingStatuses")] = int(m_statuses.size());
    return s;
}

// ---- seeding ----

QJsonObject Store::newAccount(QJsonObject account)
{
    if (!account.contains(QStringLiteral("CUSTID")))
        account[QStringLiteral("CUSTID")] = m_nextCustId;
    const qint64 custId = account.value(QStringLiteral("CUSTID")).toInteger();
    if (custId >= m_nextCustId)
        m_nextCustId = custId + 1;
    std::mt19937 rng(static_cast<quint32>(custId * 7919));
    const QJsonObject made = makeAccount(custId, rng);
    for (auto it = made.begin(); it != made.end(); ++it)
        if (!account.contains(it.key()))
            account.insert(it.key(), it.value());
    if (!account.contains(QStringLiteral("pending")))
        account[QStringLiteral("pending")] = true;
    account[QStringLiteral("_id")] = nextId();
    return account;
}

QJsonObject Store::completeOrder(QJsonObject order)
{
    if (!order.contains(QStringLiteral("INV")))
        order[QStringLiteral("INV")] = m_nextInv;
    const qint64 inv = order.value(QStringLiteral("INV")).toInteger();
    if (inv >= m_nextInv)
        m_nextInv = inv + 1;
    const QJsonObject* account = nullptr;
    if (!order.contains(QStringLiteral("CUSTID"))) {
        // A new shopper: the store opens an account along with the order.
        m_accounts.append(newAccount(QJsonObject()));
        account = &m_accounts.last();
        order[QStringLiteral("CUSTID")] = account->value(QStringLiteral("CUSTID"));
    } else {
        const qint64 custId = order.value(QStringLiteral("CUSTID")).toInteger();
        for (const QJsonObject& a : m_accounts)
            if (a.value(QStringLiteral("CUSTID")).toInteger() == custId)
                account = &a;
    }
    storesim::completeOrder(order, account);
    order[QStringLiteral("_id")] = nextId();
    return order;
}

QList<qint64> Store::addOrders(const QJsonArray& orders)
{
    QList<qint64> invs;
    for (const QJsonValue& v : orders) {
        m_orders.append(completeOrder(v.toObject()));
        invs.append(m_orders.last().value(QStringLiteral("INV")).toInteger());
    }
    return invs;
}

QList<qint64> Store::generateOrders(int count, int invoiceSize)
{
    QList<qint64> invs;
    std::mt19937 rng(static_cast<quint32>(m_nextInv));
    const QDateTime start(QDate(2024, 6, 3), QTime(8, 0));
    for (int i = 0; i < count; ++i) {
        // One order in five comes from a returning shopper.
        const QJsonObject* account = nullptr;
        if (!m_accounts.isEmpty() && std::uniform_int_distribution<int>(0, 4)(rng) == 0)
            account = &m_accounts[std::uniform_int_distribution<qsizetype>(0, m_accounts.size() -
                                                                                  1)(rng)];
        if (!account) {
            m_accounts.append(newAccount(QJsonObject()));
            account = &m_accounts.last();
        }
        const qint64 inv = m_nextInv++;
        QJsonObject o = makeOrder(inv, *account, start.addSecs(i * 97), rng);
        if (invoiceSize > 0)
            o[QStringLiteral("invoiceSize")] = invoiceSize;
        o[QStringLiteral("_id")] = nextId();
        m_orders.append(o);
        invs.append(inv);
    }
    return invs;
}

QList<qint64> Store::addAccounts(const QJsonArray& accounts)
{
    QList<qint64> ids;
    for (const QJsonValue& v : accounts) {
        m_accounts.append(newAccount(v.toObject()));
        ids.append(m_accounts.last().value(QStringLiteral("CUSTID")).toInteger());
    }
    return ids;
}

QList<qint64> Store::generateAccounts(int count)
{
    QList<qint64> ids;
    for (int i = 0; i < count; ++i) {
        m_accounts.append(newAccount(QJsonObject()));
        ids.append(m_accounts.last().value(QStringLiteral("CUSTID")).toInteger());
    }
    return ids;
}

void Store::addNote(qint64 inv, const QString& date, const QString& text)
{
    m_notes.append(QJsonObject{{QStringLiteral("inv"), inv},
                               {QStringLiteral("date"), date},
                               {QStringLiteral("text"), text},
                               {QStringLiteral("_id"), nextId()}});
}

void Store::addMark(qint64 inv, const QString& state)
{
    m_marks.append(QJsonObject{{QStringLiteral("inv"), inv},
                               {QStringLiteral("state"), state},
                               {QStringLiteral("_id"), nextId()}});
}

void Store::addStatus(qint64 inv, const QString& text)
{
    m_statuses.append(QJsonObject{{QStringLiteral("inv"), inv},
                                  {QStringLiteral("text"), text},
                                  {QStringLiteral("_id"), nextId()}});
}

bool Store::addRaw(const QString& section, const QString& text)
{
    if (!kSections.contains(section))
        return false;
    m_raw.append(QJsonObject{{QStringLiteral("section"), section},
                             {QStringLiteral("text"), text},
                             {QStringLiteral("_id"), nextId()}});
    return true;
}

void Store::setPassword(const QString& password)
{
    m_password = password;
}

bool Store::setLock(const QString& state)
{
    if (!kLocks.contains(state))
        return false;
    m_lock = state;
    return true;
}

void Store::setFormat(const QString& dateFormat, const QString& decimalSeparator)
{
    if (!dateFormat.isEmpty())
        m_dateFormat = dateFormat;
    if (!decimalSeparator.isEmpty())
        m_decimalSeparator = decimalSeparator;
}

QJsonArray Store::configJson() const
{
    return fieldsJson(m_config);
}

void Store::seedDemo()
{
    m_nextInv = 10001;
    m_nextCustId = 5001;
    std::mt19937 rng(20240603u);
    const int accounts = 180;
    for (int i = 0; i < accounts; ++i) {
        std::mt19937 arng(rng());
        QJsonObject a = makeAccount(m_nextCustId++, arng);
        a[QStringLiteral("pending")] = true;
        a[QStringLiteral("_id")] = nextId();
        m_accounts.append(a);
    }
    // Orders over the last eleven months, about one a day, oldest first, so
    // that the demo's sales charts have a year to show.
    QDateTime when(QDate::currentDate().addDays(-335), QTime(7, 12));
    const int orders = 320;
    for (int i = 0; i < orders; ++i) {
        when = when.addSecs(18 * std::uniform_int_distribution<int>(600, 9000)(rng));
        const QJsonObject& account =
            m_accounts[std::uniform_int_distribution<int>(0, accounts - 1)(rng)];
        QJsonObject o = makeOrder(m_nextInv++, account, when, rng);
        o[QStringLiteral("_id")] = nextId();
        m_orders.append(o);
    }
    static const char* const noteTexts[] = {
        "Customer called to ask about the delivery date.",
        "Asked for gift wrapping; added at no charge.", "Address confirmed by e-mail.",
        "Wants the teapot shipped separately if it is back-ordered.",
        "Repeat customer - include a sample."};
    static const char* const statusTexts[] = {
        "Card authorised, approval code %1", "Card declined, please contact the shopper",
        "Awaiting cheque in the mail", "Purchase order received, terms net 30",
        "Address verification passed (%1)"};
    for (int i = 0; i < 40; ++i) {
        const QJsonObject& o = m_orders[std::uniform_int_distribution<int>(0, orders - 1)(rng)];
        const QDateTime d = QDateTime::fromString(o.value(QStringLiteral("IDATE")).toString(),
                                                  QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        m_notes.append(QJsonObject{{QStringLiteral("inv"), o.value(QStringLiteral("INV"))},
                                   {QStringLiteral("date"), d.addSecs(3600).toString(QStringLiteral(
                                                                "yyyy-MM-dd HH:mm:ss"))},
                                   {QStringLiteral("text"), QLatin1String(noteTexts[i % 5])},
                                   {QStringLiteral("_id"), nextId()}});
    }
    for (int i = 0; i < 25; ++i) {
        const QJsonObject& o = m_orders[std::uniform_int_distribution<int>(0, orders - 1)(rng)];
        m_marks.append(
            QJsonObject{{QStringLiteral("inv"), o.value(QStringLiteral("INV"))},
                        {QStringLiteral("state"),
                         i % 5 == 0 ? QStringLiteral("Void") : QStringLiteral("Payment Received")},
                        {QStringLiteral("_id"), nextId()}});
    }
    // One status text per order at most: the desktop keeps one per order.
    QSet<qint64> withStatus;
    for (int i = 0; i < 40; ++i) {
        const QJsonObject& o = m_orders[std::uniform_int_distribution<int>(0, orders - 1)(rng)];
        const qint64 inv = o.value(QStringLiteral("INV")).toInteger();
        if (withStatus.contains(inv))
            continue;
        withStatus.insert(inv);
        m_statuses.append(QJsonObject{
            {QStringLiteral("inv"), inv},
            {QStringLiteral("text"),
             QString::fromLatin1(statusTexts[i % 5])
                 .replace(QStringLiteral("%1"), QString::number(std::uniform_int_distribution<int>(
                                                    100000, 999999)(rng)))},
            {QStringLiteral("_id"), nextId()}});
    }
}

// ---- replies ----

QByteArray Store::reply(const QStringList& messages, const QString& action,
                        const QByteArray& sections) const
{
    QByteArray r = "VendixResponse:" + Clean(messages.join(QStringLiteral("::"))) +
                   "\nVendixAction:" + encodeText(action) + "\n";
    r += sections;
    return r;
}

bool Store::hasPending() const
{
    return !m_orders.isEmpty() || pendingAccounts() > 0 || !m_notes.isEmpty() ||
           !m_marks.isEmpty() || !m_statuses.isEmpty() || !m_raw.isEmpty();
}

int Store::pendingAccounts() const
{
    int n = 0;
    for (const QJsonObject& a : m_accounts)
        n += a.value(QStringLiteral("pending")).toBool() ? 1 : 0;
    return n;
}

QByteArray Store::handle(const Fields& fields)
{
    QString password, command;
    bool havePassword = false, haveCommand = false;
    for (const auto& [name, value] : fields) {
        if (name == kCrypt && !havePassword) {
            password = value;
            havePassword = true;
        } else if (name == kCommand && !haveCommand) {
            command = value;
            haveCommand = true;
        }
    }
    auto field = [&](const QString& name) {
        for (const auto& [n, v] : fields)
            if (n == name)
                return v;
        return QString();
    };
    m_counters[QStringLiteral("requests")] =
        m_counters.value(QStringLiteral("requests")).toInteger() + 1;
    if (!havePassword || password != m_password)
        return reply({QStringLiteral("Invalid password.")}, QStringLiteral("PASS_INVALID"));
    if (command == QLatin1String("poll_server"))
        return pollServer();
    if (command == QLatin1String("lock_vendix"))
        return lockStore();
    if (command == QLatin1String("emergency_unlock"))
        return emergencyUnlock();
    if (command == QLatin1String("check_data_integrity"))
        return checkIntegrity(field(QStringLiteral("hacc")).trimmed().toLongLong());
    if (command == QLatin1String("data_int_fix_acct"))
        return fixAccounts(field(QStringLiteral("mailfix")));
    if (command == QLatin1String("get_new_stuff"))
        return getNewStuff();
    if (command == QLatin1String("clean_up_invoice"))
        return cleanUp();
    if (command == QLatin1String("genconfigs") || command == QLatin1String("genconfigs="))
        return genconfigs(fields);
    if (command == QLatin1String("changepass"))
        return changePassword(field(QStringLiteral("newpass")));
    return reply({QStringLiteral("Unknown command \"%1\".").arg(command)},
                 QStringLiteral("UNKNOWN_COMMAND"));
}

namespace {
QString lockText(const QString& lock)
{
    if (lock == QLatin1String("desktop"))
        return QStringLiteral("Site is locked.");
    if (lock == QLatin1String("retrieval"))
        return QStringLiteral("Site is locked for a retrieval.");
    if (lock == QLatin1String("other"))
        return QStringLiteral("Site is locked by another session.");
    if (lock == QLatin1String("manual"))
        return QStringLiteral("Site is locked and needs to be unlocked by hand.");
    return QStringLiteral("Site is not locked.");
}
} // namespace

QByteArray Store::pollServer() const
{
    QStringList m;
    m << QStringLiteral("%1 new orders waiting.").arg(m_orders.size())
      << QStringLiteral("%1 account updates waiting.").arg(pendingAccounts())
      << QStringLiteral("%1 notes, %2 order marks and %3 status texts waiting.")
             .arg(m_notes.size())
             .arg(m_marks.size())
             .arg(m_statuses.size())
      << lockText(m_lock);
    return reply(m, QStringLiteral("POLLED"));
}

QByteArray Store::lockStore()
{
    if (m_lock == QLatin1String("other") || m_lock == QLatin1String("manual"))
        return reply({lockText(m_lock)}, QStringLiteral("LOCKERROR"));
    if (m_lock != QLatin1String("none"))
        return reply({QStringLiteral("Site was already locked.")}, QStringLiteral("LOCKED"));
    m_lock = QStringLiteral("desktop");
    changed();
    return reply({QStringLiteral("Site locked.")}, QStringLiteral("LOCKED"));
}

QByteArray Store::emergencyUnlock()
{
    if (m_lock == QLatin1String("none"))
        return reply({QStringLiteral("The site is not locked.")}, QStringLiteral("NOLOCKSTOP"));
    if (m_lock == QLatin1String("manual"))
        return reply({QStringLiteral("The store script could not remove its lock file."),
                      QStringLiteral("Delete the file vendix.lock in the store's data directory on "
                                     "the web server, then poll again.")},
                     QStringLiteral("MANUALUNLOCK"));
    m_lock = QStringLiteral("none");
    // A retrieval that broke off before its clean-up gets everything again.
    m_delivered.clear();
    changed();
    if (hasPending())
        return reply({QStringLiteral("Site unlocked."),
                      QStringLiteral("%1 new orders are still waiting to be retrieved.")
                          .arg(m_orders.size())},
                     QStringLiteral("WASUNLOCK"));
    return reply({QStringLiteral("Site unlocked.")}, QStringLiteral("UNLOCKED"));
}

QByteArray Store::checkIntegrity(qint64 hacc)
{
    if (m_lock == QLatin1String("other") || m_lock == QLatin1String("manual"))
        return reply({lockText(m_lock)}, QStringLiteral("LOCKERROR"));
    if (!hasPending())
        return reply({QStringLiteral("No new data waiting.")}, QStringLiteral("NO_NEED"));
    m_lock = QStringLiteral("retrieval");
    // Store accounts numbered at or below the desktop's highest number may
    // have been given a number the desktop already uses for someone else.
    QByteArray section = "DATAINTSTARTVendixResponse|";
    int listed = 0;
    if (hacc > 0) {
        for (const QJsonObject& a : m_accounts) {
            if (a.value(QStringLiteral("CUSTID")).toInteger() <= hacc) {
                section += Clean(Text(a.value(QStringLiteral("CUSTID"))) + QLatin1Char('^') +
                                 a.value(QStringLiteral("EMAIL")).toString()) +
                           '|';
                ++listed;
            }
        }
    }
    for (const QJsonObject& r : m_raw) {
        if (r.value(QStringLiteral("section")).toString() == QLatin1String("DataInt")) {
            section += encodeText(r.value(QStringLiteral("text")).toString()) + '|';
            m_delivered.insert(r.value(QStringLiteral("_id")).toInteger());
            ++listed;
        }
    }
    section += "|DATAINTENDVendixResponse\n";
    changed();
    return reply({QStringLiteral("Site locked for retrieval."),
                  QStringLiteral("%1 accounts to check.").arg(listed)},
                 QStringLiteral("DATACHECK"), section);
}

QByteArray Store::fixAccounts(const QString& mailfix)
{
    m_listsDirty = true;
    int fixed = 0;
    auto renumberOrders = [this](qint64 from, qint64 to) {
        for (QJsonObject& o : m_orders)
            if (o.value(QStringLiteral("CUSTID")).toInteger() == from)
                o[QStringLiteral("CUSTID")] = to;
    };
    for (const QString& entry : mailfix.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const qsizetype sep = entry.lastIndexOf(QStringLiteral("::"));
        if (sep < 0)
            continue;
        const QString email = entry.left(sep).trimmed();
        bool ok = false;
        const qint64 localId = entry.mid(sep + 2).trimmed().toLongLong(&ok);
        if (!ok || email.isEmpty())
            continue;
        for (qsizetype i = 0; i < m_accounts.size(); ++i) {
            QJsonObject& a = m_accounts[i];
            if (a.value(QStringLiteral("EMAIL"))
                    .toString()
                    .trimmed()
                    .compare(email, Qt::CaseInsensitive) != 0)
                continue;
            const qint64 storeId = a.value(QStringLiteral("CUSTID")).toInteger();
            if (storeId == localId)
                continue;
            // Whoever holds the desktop's number in the store moves to a fresh one.
            for (QJsonObject& other : m_accounts) {
                if (other.value(QStringLiteral("CUSTID")).toInteger() == localId) {
                    const qint64 fresh = m_nextCustId++;
                    other[QStringLiteral("CUSTID")] = fresh;
                    renumberOrders(localId, fresh);
                }
            }
            a[QStringLiteral("CUSTID")] = localId;
            renumberOrders(storeId, localId);
            ++fixed;
        }
    }
    changed();
    return reply({QStringLiteral("%1 store accounts renumbered.").arg(fixed)},
                 QStringLiteral("FIXED"));
}

QByteArray Store::orderLine(const QJsonObject& order) const
{
    QByteArray line;
    bool first = true;
    for (const QString& name : orderFieldNames()) {
        if (!first)
            line += '|';
        first = false;
        const QJsonValue v = order.value(name);
        QString text;
        if (name == QLatin1String("IDATE")) {
            const QDateTime d = isoDate(v.toString());
            text = d.isValid() ? d.toString(m_dateFormat) : v.toString();
        } else if (name == QLatin1String("TOTAL") && v.isDouble()) {
            text =
                QString::number(v.toDouble(), 'f', 2).replace(QLatin1Char('.'), m_decimalSeparator);
        } else {
            text = Text(v);
        }
        line += Clean(text);
    }
    return line;
}

QByteArray Store::accountLine(const QJsonObject& account) const
{
    QByteArray line;
    bool first = true;
    for (const QString& name : accountFieldNames()) {
        if (!first)
            line += '|';
        first = false;
        line += Clean(Text(account.value(name)));
    }
    return line;
}

QByteArray Store::invoicePage(const QJsonObject& order) const
{
    if (order.value(QStringLiteral("invoice")) == QJsonValue(false))
        return QByteArray();
    if (order.contains(QStringLiteral("INVOICE")))
        return encodeText(order.value(QStringLiteral("INVOICE")).toString());
    return storesim::invoicePage(order, order.value(QStringLiteral("invoiceSize")).toInt());
}

QByteArray Store::getNewStuff()
{
    if (m_lock != QLatin1String("retrieval") && m_lock != QLatin1String("desktop"))
        return reply(
            {QStringLiteral("Site is not locked for a retrieval; the data check must come first.")},
            QStringLiteral("NOTLOCKED"));
    m_delivered.clear();
    int accountCount = 0;
    for (const QJsonObject& a : m_accounts)
        accountCount += a.value(QStringLiteral("pending")).toBool() ? 1 : 0;

    // One buffer for the whole reply: a big delivery is tens of megabytes.
    qsizetype estimate =
        4096 + 400 * (m_accounts.size() + m_notes.size() + m_marks.size() + m_statuses.size());
    for (const QJsonObject& o : m_orders)
        estimate += 900 + o.value(QStringLiteral("invoiceSize")).toInt(3500);
    QByteArray out = reply({QStringLiteral("%1 new orders and %2 accounts sent.")
                                .arg(m_orders.size())
                                .arg(accountCount)},
                           QStringLiteral("DataSuccess"));
    out.reserve(estimate);

    auto raws = [this, &out](const QString& section, bool asLines) {
        for (const QJsonObject& r : m_raw) {
            if (r.value(QStringLiteral("section")).toString() != section)
                continue;
            out += encodeText(r.value(QStringLiteral("text")).toString());
            if (asLines)
                out += '\n';
            m_delivered.insert(r.value(QStringLiteral("_id")).toInteger());
        }
    };
    auto start = [&out](const char* name) {
        out += QByteArray("STARTVendixResponse|") + name + ":\n";
    };
    auto end = [&out](const char* name) { out += QByteArray("ENDVendixResponse|") + name + ":\n"; };

    start("Orders");
    for (const QJsonObject& o : m_orders) {
        out += orderLine(o);
        out += '\n';
        m_delivered.insert(o.value(QStringLiteral("_id")).toInteger());
    }
    raws(QStringLiteral("Orders"), true);
    end("Orders");

    start("Accounts");
    for (const QJsonObject& a : m_accounts) {
        if (!a.value(QStringLiteral("pending")).toBool())
            continue;
        out += accountLine(a);
        out += '\n';
        m_delivered.insert(a.value(QStringLiteral("_id")).toInteger());
    }
    raws(QStringLiteral("Accounts"), true);
    end("Accounts");

    start("InvoiceStatus");
    for (const QJsonObject& st : m_statuses) {
        out += Clean(Text(st.value(QStringLiteral("inv")))) + '|' +
               Clean(st.value(QStringLiteral("text")).toString()) + '\n';
        m_delivered.insert(st.value(QStringLiteral("_id")).toInteger());
    }
    raws(QStringLiteral("InvoiceStatus"), true);
    end("InvoiceStatus");

    start("InvMarks");
    for (const QJsonObject& m : m_marks) {
        out += Clean(Text(m.value(QStringLiteral("inv")))) + '|' +
               Clean(m.value(QStringLiteral("state")).toString()) + '\n';
        m_delivered.insert(m.value(QStringLiteral("_id")).toInteger());
    }
    raws(QStringLiteral("InvMarks"), true);
    end("InvMarks");

    start("Notes");
    for (const QJsonObject& n : m_notes) {
        QString date = n.value(QStringLiteral("date")).toString();
        const QDateTime d = isoDate(date);
        if (d.isValid())
            date = d.toString(m_dateFormat);
        out += Clean(Text(n.value(QStringLiteral("inv")))) + '|' + Clean(date) + '|' +
               Clean(n.value(QStringLiteral("text")).toString()) + '\n';
        m_delivered.insert(n.value(QStringLiteral("_id")).toInteger());
    }
    raws(QStringLiteral("Notes"), true);
    end("Notes");

    start("HTML");
    for (const QJsonObject& o : m_orders) {
        if (o.value(QStringLiteral("invoice")) == QJsonValue(false))
            continue;
        out += "VendixBeginInvoice|";
        out += QByteArray::number(o.value(QStringLiteral("INV")).toInteger());
        out += "<!--END-->";
        out += invoicePage(o);
        out += "VendixEndInvoice|\n";
    }
    raws(QStringLiteral("HTML"), false);
    end("HTML");

    m_counters[QStringLiteral("deliveries")] =
        m_counters.value(QStringLiteral("deliveries")).toInteger() + 1;
    changed();
    return out;
}

QByteArray Store::cleanUp()
{
    m_listsDirty = true;
    // Only what was actually handed out is forgotten; anything that arrived
    // since waits for the next retrieval.
    auto drop = [this](QList<QJsonObject>& list) {
        list.removeIf([this](const QJsonObject& o) {
            return m_delivered.contains(o.value(QStringLiteral("_id")).toInteger());
        });
    };
    drop(m_orders);
    drop(m_notes);
    drop(m_marks);
    drop(m_statuses);
    drop(m_raw);
    for (QJsonObject& a : m_accounts)
        if (m_delivered.contains(a.value(QStringLiteral("_id")).toInteger()))
            a[QStringLiteral("pending")] = false;
    m_delivered.clear();
    m_lock = QStringLiteral("none");
    m_counters[QStringLiteral("cleanups")] =
        m_counters.value(QStringLiteral("cleanups")).toInteger() + 1;
    changed();
    return reply({QStringLiteral("Site cleaned up and unlocked.")}, QStringLiteral("UNLOCKED!"));
}

QByteArray Store::genconfigs(const Fields& fields)
{
    m_config.clear();
    bool skippedPassword = false, skippedCommand = false;
    for (const auto& f : fields) {
        // The password and command are the envelope, not configuration.
        if (f.first == kCrypt && !skippedPassword) {
            skippedPassword = true;
            continue;
        }
        if (f.first == kCommand && !skippedCommand) {
            skippedCommand = true;
            continue;
        }
        m_config.append(f);
    }
    m_configReceived = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    changed();
    return reply(
        {QStringLiteral("Configuration updated (%1 fields received).").arg(m_config.size())},
        QStringLiteral("CONFIGSAVED"));
}

QByteArray Store::changePassword(const QString& newPassword)
{
    if (newPassword.isEmpty())
        return reply({QStringLiteral("The new password is empty; password not changed.")},
                     QStringLiteral("PASSNOTCHANGED"));
    m_password = newPassword;
    changed();
    return reply({QStringLiteral("Password changed.")}, QStringLiteral("PASSCHANGED"));
}

} // namespace storesim
