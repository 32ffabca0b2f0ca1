#pragma once

#include <QStyledItemDelegate>

#include <functional>

class QAbstractItemView;

namespace os {

// A read-only grid cell with a button: the current cell of the column shows a
// small "..." button at its right; a click on it, or Space, F2 or Alt+Down
// while the cell is current, runs `onPress` (a Yes/No question that sets the
// value, for example). The value itself is drawn as the grid draws it.
class QuestionCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Installs itself on `view` for `column`.
    QuestionCell(QAbstractItemView* view, int column, std::function<void()> onPress);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect buttonRect(const QRect& cell) const;
    bool isCurrent(const QModelIndex& index) const;

    QAbstractItemView* m_view;
    int m_column;
    std::function<void()> m_onPress;
};

} // namespace os
