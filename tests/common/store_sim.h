#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace os::test {

// A store simulator (tools/storesim) running as a child process on a free
// loopback port for the life of the object. The store script is served at
// url(); the control requests (see tools/storesim/README.md) go to a plain
// HTTP control port, also when the store itself speaks HTTPS.
//
// Every control helper throws std::runtime_error when the simulator does not
// answer or refuses the request, so a broken fixture fails the test loudly.
class StoreSim
{
public:
    struct Options
    {
        QString password = QStringLiteral("secret1");
        QString seed = QStringLiteral("empty"); // "empty" or "demo"
        QString certFile;                       // both given: HTTPS
        QString keyFile;
        QString stateFile;        // empty: a file in a temp dir
        QString dateFormat;       // empty: "yyyy-MM-dd HH:mm:ss"
        QString decimalSeparator; // empty: "."
        QString charset;          // empty: "windows-1252"; or "utf-8"
    };

    // One received store request.
    struct Request
    {
        QString method;
        QString path;
        QList<QPair<QByteArray, QByteArray>> headers; // sorted by name
        QByteArray body;                              // raw, as received
        QList<QPair<QString, QString>> fields;        // decoded, in order, repeats kept
        bool valid = false;                           // false before the first request

        QByteArray header(const QByteArray& name) const; // case-insensitive; empty if absent
        QString field(const QString& name) const;        // first value; empty if absent
        QStringList fieldValues(const QString& name) const;
    };

    StoreSim(); // HTTP, empty store, password "secret1"
    explicit StoreSim(const Options& options);
    ~StoreSim(); // kills the process
    StoreSim(const StoreSim&) = delete;
    StoreSim& operator=(const StoreSim&) = delete;

    bool isRunning() const;
    QString errorString() const { return m_error; }
    QString url() const;     // e.g. "http://127.0.0.1:PORT/cgi-bin/ordersentinel.cgi"
    QString baseUrl() const; // scheme://127.0.0.1:PORT
    quint16 port() const { return m_port; }
    quint16 controlPort() const { return m_controlPort; }
    QString password() const; // the store password currently in force
    QString stateFile() const { return m_stateFile; }

    // Stops the process and starts it again on the same state file (and the
    // same port when it is still free). Returns false when it did not come up.
    bool restart();
    void stop();

    // Generic control call: method "GET" or "POST", path under /_sim/
    // (e.g. "orders"); returns the JSON answer.
    QJsonObject control(const QByteArray& method, const QString& path,
                        const QJsonObject& body = QJsonObject());

    // --- seeding (returns the order numbers / customer numbers used) ---
    // An order object holds any of the field names of an order record
    // (INV, CUSTID, PASS, EMAIL, ... ORDERSTATE; IDATE as ISO "yyyy-MM-dd HH:mm:ss";
    // TOTAL as a number; METHOD as the store's payment code) plus an optional
    // "INVOICE" (the HTML page) or "invoiceSize" (generate one of about that many bytes).
    // Missing fields are filled believably; INV/CUSTID are assigned when absent.
    QList<qint64> addOrders(const QJsonArray& orders);
    QList<qint64> generateOrders(int count, int invoiceBytes = 2000);
    // An account object holds the account record names (CUSTID, PASS, EMAIL, COMPANY,
    // NAME, ... NOTES, SUBSCRIBED as "1"/"0"); "pending": false makes it a store
    // account that is not delivered but still takes part in the integrity check.
    QList<qint64> addAccounts(const QJsonArray& accounts);
    QList<qint64> generateAccounts(int count);
    void addNote(qint64 inv, const QString& date, const QString& text);
    void addMark(qint64 inv, const QString& state);
    void addStatus(qint64 inv, const QString& text);
    // Many at once (objects {"inv","date","text"} / {"inv","state"} / {"inv","text"}).
    void addNotes(const QJsonArray& notes);
    void addMarks(const QJsonArray& marks);
    void addStatuses(const QJsonArray& statuses);
    // A raw line appended to a section of the next get_new_stuff reply:
    // section is "Orders", "Accounts", "InvoiceStatus", "InvMarks", "Notes" or "HTML"
    // (HTML text is appended as is), or "DataInt" (a raw integrity record).
    void addRaw(const QString& section, const QString& text);
    void reset(const QString& seed = QStringLiteral("empty")); // keeps the password

    // --- store settings ---
    void setPassword(const QString& password);
    // "none", "desktop" (locked by lock_vendix), "retrieval", "other" (LOCKERROR),
    // "manual" (MANUALUNLOCK needed).
    void setLock(const QString& state);
    void setDateFormat(const QString& qtFormat);
    void setDecimalSeparator(const QString& separator);

    // --- inspection ---
    QJsonObject state();                         // GET /_sim/state
    Request lastRequest();                       // last request on the store path
    QList<QPair<QString, QString>> lastConfig(); // fields of the last genconfigs, in order
    QStringList commands();                      // command words received, in order
    void clearCommands();

    // --- faults for the next `count` store requests (optionally only those whose
    // command equals `command`); faults queue in the order given ---
    void failWithStatus(int status, const QString& reason = QString(), int count = 1,
                        const QString& command = QString());
    void delayReply(double seconds, int count = 1, const QString& command = QString());
    void neverReply(int count = 1, const QString& command = QString()); // until clearFaults()
    void cutOffReply(int count = 1, const QString& command = QString());
    void replyNonStore(int count = 1, const QString& command = QString()); // an HTML error page
    void redirectTo(const QString& location, int count = 1, const QString& command = QString());
    // 401 Basic challenge; only user "osdesk" / password "sentinel1" is let through
    // (a request with them is then answered normally and counts).
    void requireAuth(int count = 1, const QString& command = QString());
    // The first `at` bytes of the real reply, then the connection closes:
    // length "double" promises twice the reply (a cut the client sees),
    // "none" sends no Content-Length (the body just ends), "short" promises
    // `at` bytes and sends the whole reply.
    void cutReplyAt(qint64 at, const QString& length, int count = 1,
                    const QString& command = QString());
    void bigReply(qint64 bytes, int count = 1, const QString& command = QString());
    // "DataSuccess" and an Orders section that never ends: filler lines until
    // the client goes away.
    void endlessReply(int count = 1, const QString& command = QString());
    // The real reply with `section` sent as two blocks (its records split between them).
    void sectionTwice(const QString& section, int count = 1, const QString& command = QString());
    void rawReply(const QByteArray& body, int count = 1, const QString& command = QString());
    void clearFaults();

private:
    bool start(quint16 wantedPort);
    void addFault(QJsonObject fault, int count, const QString& command);
    QByteArray httpRequest(const QByteArray& method, const QString& path, const QByteArray& body,
                           int* status);

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_tempDir;
    std::unique_ptr<QProcess> m_process;
    QString m_stateFile;
    QString m_error;
    quint16 m_port = 0;
    quint16 m_controlPort = 0;
    QString m_password;
};

} // namespace os::test
