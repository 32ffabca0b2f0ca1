#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <random>

namespace storesim {

// Believable shop data, made from a random engine so that a fixed seed always
// gives the same store.

struct InvoiceItem
{
    QString sku;
    QString name;
    int quantity = 1;
    double price = 0;
};

// A shopper account (the account record's names, SUBSCRIBED "1"/"0").
QJsonObject makeAccount(qint64 custId, std::mt19937& rng);

// An order placed by `account` at `when`; its TOTAL matches the items of its
// invoice (OrderItems) plus shipping and tax.
QJsonObject makeOrder(qint64 inv, const QJsonObject& account, const QDateTime& when,
                      std::mt19937& rng);

// Fills every missing field of an order from its number (deterministic).
void completeOrder(QJsonObject& order, const QJsonObject* account);

// The items of an order, derived from its number alone.
QList<InvoiceItem> orderItems(qint64 inv);
double orderShipping(qint64 inv);

// A printable invoice page for the order, padded with a terms block to at
// least `minSize` bytes when minSize is larger than the natural page.
QByteArray invoicePage(const QJsonObject& order, int minSize);

} // namespace storesim
