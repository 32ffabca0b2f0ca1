#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace os {

// The event log of a store session: rows of type and message, newest last.
// The Connections window shows it in a view; the headless mode prints each
// row as it is added (rowAdded).
class EventLog : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        TypeColumn = 0,
        MessageColumn = 1,
        ColumnCount = 2
    };
    enum Role
    {
        // bool: the row's message begins with "Waiting" (shown with the waiting icon).
        WaitingRole = Qt::UserRole + 1,
        // QString: the row's type, whatever column is asked.
        TypeRole,
    };

    struct Row
    {
        QString type;
        QString message;
        bool waiting = false;
    };

    explicit EventLog(QObject* parent = nullptr);

    // Adds one row unless the message is filtered out: blank after trimming,
    // beginning with "Unknown state", or holding "(100" (progress texts of
    // the transfer client that are not shown). "Site cleaned up and
    // unlocked." is always logged as "Important". Returns whether a row was
    // added.
    bool LogEvent(const QString& type, const QString& message);

    void clear();
    int count() const { return int(m_rows.size()); }
    const Row& row(int i) const { return m_rows.at(i); }
    const QList<Row>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void rowAdded(const QString& type, const QString& message);

private:
    QList<Row> m_rows;
};

} // namespace os
