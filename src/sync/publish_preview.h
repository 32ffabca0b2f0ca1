#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace os {

struct Settings;

// What the last publish sent and what the next one would change. After each
// publish the store accepted, the configuration text it was sent (the
// genconfigs body without the password and the command) is kept in the
// company data directory, owner-only; "Preview Changes" and the headless
// --dry-run build the text anew and compare.

// <dataDir>/last_publish.cfg
QString lastPublishFile(const QString& dataDir);

// Keeps `configuration` as the last publish, replacing the old copy in one
// step; owner-only. Empty when done, else why not.
QString keepLastPublish(const QString& dataDir, const QByteArray& configuration);

// The kept configuration and when it was published; nothing when no publish
// was kept (or it cannot be read).
struct LastPublish
{
    QByteArray configuration;
    QDateTime when;
};
std::optional<LastPublish> readLastPublish(const QString& dataDir);

// One difference between two configuration texts. A configuration field is
// named as sent ("CONFIG_company_name"); a rate-table row by its field and
// its first column ("taxstring CA"), its values as COLUMN=value pairs (a
// changed row lists the columns that differ); an accepted card type as
// "cccard". Passwords of the live-rate accounts are shown as "********".
struct ConfigDifference
{
    enum Kind
    {
        Changed,
        Added,
        Removed
    };
    Kind kind = Changed;
    QString field;
    QString oldValue; // Changed, Removed
    QString newValue; // Changed, Added

    static QString kindName(Kind kind); // "Changed", "Added", "Removed"
    // The row text after the kind: "field: old -> new", "field: new" or
    // "field: old"; an empty value as "(empty)".
    QString text() const;
    friend bool operator==(const ConfigDifference&, const ConfigDifference&) = default;
};

// Every field of `current` that differs from `published`: configuration
// fields in the order sent, then the card types, then the rate tables row by
// row (rows keyed by their first column). An empty `published` makes
// everything Added.
QList<ConfigDifference> configurationDifferences(const QByteArray& published,
                                                 const QByteArray& current);

// A preview: the configuration built now from the settings and the rate
// tables (with table objects of its own, so the windows' tables stay as they
// are), compared with the last publish. Throws what publishing would (a
// table that does not open, a separator in a rate table); a table whose rows
// cannot be read is named in `problems` (the builder's error line, as type
// and message) and its field is missing, as it would be from the post.
struct PublishPreview
{
    std::optional<QDateTime> publishedAt; // nothing: no publish was kept
    QList<ConfigDifference> differences;
    QList<QPair<QString, QString>> problems;
    QByteArray configuration; // what would be sent
};
PublishPreview previewPublish(const Settings& s, const QString& dataDir);

// The caption of a difference's field in the settings windows with its
// posted name beside it: "Company Name (CONFIG_company_name)", "Regional
// Taxes CA (taxstring CA)"; a field no window shows keeps its posted name.
QString fieldCaption(const QString& field);

// The settings that still hold the example addresses of a new installation
// (the "yourdomain.com" web addresses and e-mail addresses), by their
// captions in the settings windows, in the windows' order.
QStringList exampleValueFields(const Settings& s);
// "These settings still hold example values: <captions>. Publish anyway?"
QString exampleValuesQuestion(const QStringList& fields);

} // namespace os
