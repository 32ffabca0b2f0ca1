#pragma once

#include <QFlags>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>

class QToolButton;

namespace os {

class TableModel;

// The record navigator: a row of small buttons that work the table behind a
// grid (first, prior, next, last, insert, delete, edit, post, cancel,
// refresh). Each window picks the buttons it shows; their enabled states
// follow the table (position, state, empty or not). Object names are "Nav"
// and the button's name: "NavFirst", "NavPrior", ..., "NavRefresh".
class RecordNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button
    {
        First = 0x1,
        Prior = 0x2,
        Next = 0x4,
        Last = 0x8,
        Insert = 0x10,
        Delete = 0x20,
        Edit = 0x40,
        Post = 0x80,
        Cancel = 0x100,
        Refresh = 0x200
    };
    Q_DECLARE_FLAGS(Buttons, Button)
    static constexpr Buttons Moves = {First | Prior | Next | Last};
    static constexpr Buttons Browsing = {First | Prior | Next | Last | Refresh};
    static constexpr Buttons All = {First | Prior | Next | Last | Insert | Delete | Edit | Post |
                                    Cancel | Refresh};

    RecordNavigator(TableModel* model, Buttons shown, QWidget* parent = nullptr);

    QToolButton* button(Button which) const { return m_buttons.value(which); }
    // Delete asks "Delete record?" first; a window that deletes its own way
    // (other questions, files to remove) takes the click over.
    void setDeleteHandler(std::function<void()> handler) { m_onDelete = std::move(handler); }
    void updateButtons();

private:
    void clicked(Button which);

    QPointer<TableModel> m_model;
    QHash<int, QToolButton*> m_buttons;
    std::function<void()> m_onDelete;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(RecordNavigator::Buttons)

} // namespace os
