#include "sync/event_log.h"

#include "sync/protocol.h"

namespace os {

EventLog::EventLog(QObject* parent) : QAbstractTableModel(parent) {}

bool EventLog::LogEvent(const QString& type, const QString& message)
{
    // Progress texts of the transfer client that say nothing to the user.
    if (trimControl(message).isEmpty() || message.startsWith(QLatin1String("Unknown state")) ||
        message.contains(QLatin1String("(100")))
        return false;

    Row row;
    row.type = message == QLatin1String("Site cleaned up and unlocked.")
                   ? QStringLiteral("Important")
                   : type;
    row.message = message;
    row.waiting = message.startsWith(QLatin1String("Waiting"));

    const int at = int(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.append(row);
    endInsertRows();
    emit rowAdded(row.type, row.message);
    return true;
}

void EventLog::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int EventLog::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int EventLog::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventLog::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return index.column() == TypeColumn ? row.type : row.message;
    case WaitingRole:
        return row.waiting;
    case TypeRole:
        return row.type;
    default:
        return {};
    }
}

QVariant EventLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TypeColumn:
        return QStringLiteral("Type");
    case MessageColumn:
        return QStringLiteral("Message");
    default:
        return {};
    }
}

Qt::ItemFlags EventLog::flags(const QModelIndex& index) const
{
    // Read-only rows.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace os
