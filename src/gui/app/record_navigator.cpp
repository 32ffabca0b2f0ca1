#include "gui/app/record_navigator.h"

#include "base/messages.h"
#include "data/db_error.h"
#include "gui/app/table_model.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace os {

namespace {

struct ButtonDef
{
    RecordNavigator::Button button;
    const char* name;
    const char* tip;
    QStyle::StandardPixmap icon; // SP_CustomBase: drawn as text
    const char* text;
};

const ButtonDef kButtons[] = {
    {RecordNavigator::First, "NavFirst", "First record", QStyle::SP_MediaSkipBackward, nullptr},
    {RecordNavigator::Prior, "NavPrior", "Prior record", QStyle::SP_MediaSeekBackward, nullptr},
    {RecordNavigator::Next, "NavNext", "Next record", QStyle::SP_MediaSeekForward, nullptr},
    {RecordNavigator::Last, "NavLast", "Last record", QStyle::SP_MediaSkipForward, nullptr},
    {RecordNavigator::Insert, "NavInsert", "Insert record", QStyle::SP_CustomBase, "+"},
    {RecordNavigator::Delete, "NavDelete", "Delete record", QStyle::SP_CustomBase, "\u2212"},
    {RecordNavigator::Edit, "NavEdit", "Edit record", QStyle::SP_CustomBase, "\u270E"},
    {RecordNavigator::Post, "NavPost", "Post edit", QStyle::SP_DialogApplyButton, nullptr},
    {RecordNavigator::Cancel, "NavCancel", "Cancel edit", QStyle::SP_DialogCancelButton, nullptr},
    {RecordNavigator::Refresh, "NavRefresh", "Refresh data", QStyle::SP_BrowserReload, nullptr},
};

} // namespace

RecordNavigator::RecordNavigator(TableModel* model, Buttons shown, QWidget* parent)
    : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("Navigator"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const ButtonDef& d : kButtons) {
        if (!shown.testFlag(d.button))
            continue;
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(d.name));
        b->setToolTip(QLatin1String(d.tip));
        b->setAccessibleName(QLatin1String(d.tip));
        b->setAutoRaise(true);
        if (d.text)
            b->setText(QString::fromUtf8(d.text));
        else
            b->setIcon(style()->standardIcon(d.icon));
        connect(b, &QToolButton::clicked, this, [this, which = d.button] { clicked(which); });
        layout->addWidget(b);
        m_buttons.insert(d.button, b);
    }
    if (model) {
        connect(model, &TableModel::currentRowChanged, this, &RecordNavigator::updateButtons);
        connect(model, &QAbstractItemModel::modelReset, this, &RecordNavigator::updateButtons);
        connect(model, &QAbstractItemModel::rowsInserted, this, &RecordNavigator::updateButtons);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &RecordNavigator::updateButtons);
        connect(model->table(), &Table::stateChanged, this, &RecordNavigator::updateButtons);
    }
    updateButtons();
}

void RecordNavigator::updateButtons()
{
    Table* t = m_model ? m_model->table() : nullptr;
    const bool open = t && t->isOpen();
    const bool editing =
        open && (t->state() == Table::State::Edit || t->state() == Table::State::Insert);
    const int rows = open ? m_model->rowCount() : 0;
    const int row = open ? m_model->currentRow() : -1;
    const bool editable = m_model && m_model->isEditable();
    auto set = [this](Button b, bool on) {
        if (QToolButton* w = m_buttons.value(b))
            w->setEnabled(on);
    };
    set(First, open && row > 0);
    set(Prior, open && row > 0);
    set(Next, open && row >= 0 && row < rows - 1);
    set(Last, open && row >= 0 && row < rows - 1);
    set(Insert, open && editable && !editing);
    set(Delete, open && editable && !editing && rows > 0);
    set(Edit, open && editable && !editing && rows > 0);
    set(Post, editing);
    set(Cancel, editing);
    set(Refresh, open && !editing);
}

void RecordNavigator::clicked(Button which)
{
    Table* t = m_model ? m_model->table() : nullptr;
    if (!t || !t->isOpen())
        return;
    try {
        switch (which) {
        case First:
            t->first();
            break;
        case Prior:
            t->prior();
            break;
        case Next:
            t->next();
            break;
        case Last:
            t->last();
            break;
        case Insert:
            t->insert();
            break;
        case Delete:
            if (m_onDelete)
                m_onDelete();
            else if (m_model->rowCount() > 0 &&
                     messages().ask(QStringLiteral("Delete record?"), os::Buttons::YesNo,
                                    MessageKind::Warning) == Answer::Yes)
                t->remove();
            break;
        case Edit:
            t->edit();
            break;
        case Post:
            t->post();
            break;
        case Cancel:
            t->cancel();
            break;
        case Refresh:
            t->refresh();
            break;
        }
    } catch (const DbError& e) {
        messages().error(e.text());
    }
    updateButtons();
}

} // namespace os
