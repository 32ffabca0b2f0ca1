#pragma once

#include "base/error.h"
#include "data/query.h"
#include "data/table.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

namespace os {

// A light object naming the dataset a window binds its controls to.
class DataSource : public QObject
{
    Q_OBJECT
public:
    DataSource(QObject* dataSet, const QString& name, QObject* parent = nullptr);
    QObject* dataSet() const { return m_dataSet; }
    Table* table() const; // null when the dataset is a query
    Query* query() const; // null when the dataset is a table

private:
    QPointer<QObject> m_dataSet;
};

// An orders table of the older layout (a DATE column): the caller shows
// messages() one after the other and the program ends at once; no table
// was touched.
class OldTableLayout : public ProgramTermination
{
public:
    explicit OldTableLayout(const QStringList& messages) : m_messages(messages) {}
    const QStringList& messages() const { return m_messages; }

private:
    QStringList m_messages;
};

// Owns the shared table and query objects and their data sources for the
// whole run, creates missing tables, checks the table format, opens and
// closes the shared tables and installs the row rules as before-post hooks.
class TMainDataMod : public QObject
{
    Q_OBJECT
public:
    explicit TMainDataMod(QObject* parent = nullptr);
    ~TMainDataMod() override; // closes the shared tables

    // The one created by the program (the first one alive); null before.
    static TMainDataMod* instance();

    // The notice for the caller to show before a new company database is
    // made (no customers.db in `dir`); empty otherwise. Creating the tables
    // may take a while: the merchant is told first.
    static QString creationNotice(const QString& dir);

    // Creates missing tables, checks the format, binds every shared object to
    // `dir` and opens the nine shared tables; true when they are open. Shows
    // nothing: false with the engine's text in *error when the format cannot
    // be read or a table does not open (the tables are closed again); throws
    // OldTableLayout for an orders table of the older layout and DbError when
    // a table cannot be created.
    bool OpenCompanyDatabase(const QString& dir, QString* error = nullptr);
    void CloseCompanyDatabase();
    bool isOpen() const { return m_open; }
    QString directory() const { return m_dir; }

    // Step 3 on its own: creates each missing table of the catalogue in order.
    static void CreateMissingTables(const QString& dir);

    Table* ORDERs;
    Table* CUSTOMERS;
    Table* CustomerNotes;
    Table* ORDER_STATS;
    Table* merchant;
    Table* DocsTable;
    Table* Shipping_LOG;
    Table* InvoiceNotes;
    Table* currency_conversion;
    Table* ShipIt;
    Table* ShipItExt;
    Table* Taxes;
    Table* SmartTaxes;
    Table* Coupons;
    Table* GiftTable;
    Table* OUTBOX;
    Table* SENDBOX;
    Query* MainCustomersView;
    Query* MarkAllQ;

    DataSource* ORDERSSOURCE;
    DataSource* CUSTOMERSSOURCE;
    DataSource* CustomerNotesSource;
    DataSource* OSTAT_SOURCE;
    DataSource* MerchantSource;
    DataSource* DocsSource;
    DataSource* Shipping_LOGSource;
    DataSource* InvoiceNotesSource;
    DataSource* currency_conversion_source;
    DataSource* ShipItSource;
    DataSource* ShipItExtSource;
    DataSource* TaxesSource;
    DataSource* SmartTaxesSource;
    DataSource* CouponsSource;
    DataSource* GiftTableSource;
    DataSource* OUTBOXSource;
    DataSource* DataSource1;
    DataSource* MainCustomersViewSource;

private:
    void installRowRules();
    bool m_open = false;
    QString m_dir;
};

// The row-rule texts, shared with the editors that show them.
extern const char* const kPercentageMessage;
// The outbox row rule: a message needs To, From, Subject and a body.
extern const char* const kMessageIncompleteMessage;

} // namespace os
