#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

namespace storesim {

using Fields = QList<QPair<QString, QString>>;

// Field names of the store's order and account records, in record order.
const QStringList& orderFieldNames();
const QStringList& accountFieldNames();

// Decodes an application/x-www-form-urlencoded body into name/value pairs in
// order, repeats kept ('+' is a space, %XX a byte; bytes read in the store's
// character set).
Fields decodeForm(const QByteArray& body);

// The store's side of the protocol: its state and what it answers to each
// command. Not thread-safe; the server serialises calls.
class Store
{
public:
    explicit Store(QString stateFile);

    // Loads the state file; when it does not exist, starts a new store with the
    // given seed ("empty" or "demo") and password (empty: the seed's default).
    // Returns false with an error text when the file cannot be read or written.
    bool open(const QString& seed, const QString& password, QString* error);

    // Runs one store command and returns the whole reply text.
    QByteArray handle(const Fields& fields);

    // Control operations (see README.md). They change the state in memory;
    // the caller saves once afterwards, so seeding thousands of rows stays quick.
    QJsonObject stateJson() const;
    void reset(const QString& seed);
    QList<qint64> addOrders(const QJsonArray& orders);
    QList<qint64> generateOrders(int count, int invoiceSize);
    QList<qint64> addAccounts(const QJsonArray& accounts);
    QList<qint64> generateAccounts(int count);
    void addNote(qint64 inv, const QString& date, const QString& text);
    void addMark(qint64 inv, const QString& state);
    void addStatus(qint64 inv, const QString& text);
    bool addRaw(const QString& section, const QString& text);
    void setPassword(const QString& password);
    bool setLock(const QString& state);
    void setFormat(const QString& dateFormat, const QString& decimalSeparator);
    QJsonArray configJson() const;
    QString configReceived() const { return m_configReceived; }
    QString password() const { return m_password; }
    QString lock() const { return m_lock; }

    bool save(QString* error = nullptr) const;
    // Tells the store that its record lists were changed from outside a command.
    void listsChanged() { m_listsDirty = true; }

private:
    QByteArray reply(const QStringList& messages, const QString& action,
                     const QByteArray& sections = QByteArray()) const;
    QByteArray pollServer() const;
    QByteArray lockStore();
    QByteArray emergencyUnlock();
    QByteArray checkIntegrity(qint64 hacc);
    QByteArray fixAccounts(const QString& mailfix);
    QByteArray getNewStuff();
    QByteArray cleanUp();
    QByteArray genconfigs(const Fields& fields);
    QByteArray changePassword(const QString& newPassword);

    bool hasPending() const;
    int pendingAccounts() const;
    QByteArray orderLine(const QJsonObject& order) const;
    QByteArray accountLine(const QJsonObject& account) const;
    QByteArray invoicePage(const QJsonObject& order) const;
    QJsonObject completeOrder(QJsonObject order);
    QJsonObject newAccount(QJsonObject account);
    void seedDemo();
    void clearData();
    void changed();
    qint64 nextId() { return m_nextId++; }

    QString m_stateFile;
    QString m_password;
    QString m_lock = QStringLiteral("none");
    QString m_dateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QString m_decimalSeparator = QStringLiteral(".");
    QList<QJsonObject> m_orders, m_accounts, m_notes, m_marks, m_statuses, m_raw;
    QSet<qint64> m_delivered; // ids handed out by the last get_new_stuff
    Fields m_config;
    QString m_configReceived;
    qint64 m_nextInv = 1001;
    qint64 m_nextCustId = 101;
    qint64 m_nextId = 1;
    QJsonObject m_counters;
    mutable bool m_listsDirty = true;
    mutable QByteArray m_listsJson; // the record lists as last written
};

} // namespace storesim
