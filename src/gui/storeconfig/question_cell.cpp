#include "gui/storeconfig/question_cell.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace os {

QuestionCell::QuestionCell(QAbstractItemView* view, int column, std::function<void()> onPress)
    : QStyledItemDelegate(view), m_view(view), m_column(column), m_onPress(std::move(onPress))
{
    view->setItemDelegateForColumn(column, this);
    view->installEventFilter(this);
}

QRect QuestionCell::buttonRect(const QRect& cell) const
{
    const int side = cell.height();
    return QRect(cell.right() - side + 1, cell.top(), side, side);
}

bool QuestionCell::isCurrent(const QModelIndex& index) const
{
    return index.isValid() && m_view->currentIndex() == index;
}

void QuestionCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!isCurrent(index))
        return;
    QStyleOptionButton button;
    button.rect = buttonRect(option.rect);
    button.text = QStringLiteral("...");
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    QStyle* style = m_view->style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, m_view);
}

bool QuestionCell::editorEvent(QEvent* event, QAbstractItemModel* model,
                               const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease && isCurrent(index)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            buttonRect(option.rect).contains(mouse->position().toPoint())) {
            m_onPress();
            return true;
        }
    }
    // The value is changed only through the button, never by a click on it.
    if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonPress ||
        event->type() == QEvent::MouseButtonDblClick)
        return false;
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

bool QuestionCell::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const QModelIndex current = m_view->currentIndex();
        if (current.isValid() && current.column() == m_column) {
            auto* key = static_cast<QKeyEvent*>(event);
            const bool press =
                (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) ||
                (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) ||
                (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier);
            if (press) {
                m_onPress();
                return true;
            }
        }
    }
    if (watched == m_view)
        return false; // the base class takes the watched object for a cell editor
    return QStyledItemDelegate::eventFilter(watched, event);
}

} // namespace os
