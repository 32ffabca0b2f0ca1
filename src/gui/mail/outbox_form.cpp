#include "gui/mail/outbox_form.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/mail/edit_message.h"
#include "gui/mail/message_fields.h"
#include "mail/outbox.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>

namespace os {

namespace {

constexpr int kHelpTopic = 24;

} // namespace

TOUTBOXFORM::TOUTBOXFORM(QWidget* parent)
    : BrowseDialog(QStringLiteral("OutBox"), QStringLiteral("OutBox"), kHelpTopic, parent),
      m_run(std::make_unique<OutboxRun>())
{
    setObjectName(QStringLiteral("OUTBOXFORM"));
    MyOut = new Table(QStringLiteral("outbox"), this);
    MyOut->setObjectName(QStringLiteral("MyOut"));
    DeleteType = new Query(this);
    DeleteType->setObjectName(QStringLiteral("DeleteType"));
    DeleteType->setSql(QStringLiteral("DELETE FROM outbox.db WHERE TYPE=:MYTYPE"));

    EditAction = addCommand(QStringLiteral("&Edit"), "EditAction",
                            QStyle::SP_FileDialogDetailedView, [this] { EditClick(); });
    DeleteAction = addCommand(QStringLiteral("&Delete"), "DeleteAction", QStyle::SP_TrashIcon,
                              [this] { DeleteClick(); });
    CloseAction = addCommand(QStringLiteral("&Close"), "CloseAction", QStyle::SP_DialogCloseButton,
                             [this] { close(); });
    SendAction = addCommand(QStringLiteral("&Send Messages"), "SendAction", QStyle::SP_ArrowForward,
                            [this] { SendMessagesClick(); });
    addHelp();
    setOpenCommand(EditAction);
    setDeleteCommand(DeleteAction);

    setMessageGrid(grid(), MyOut);
    followGrid();
    grid()->installEventFilter(this);
    grid()->viewport()->installEventFilter(this);

    Message = new MessageFields(MessageFields::ReadOnly, this);
    setDetail(Message);

    // The status line, shown only while sending.
    Progress = new QProgressBar(statusLine());
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setMinimumWidth(fontMetrics().averageCharWidth() * 24);
    Progress->setMaximumWidth(fontMetrics().averageCharWidth() * 30);
    Progress->setFormat(QStringLiteral("%v of %m"));
    ProgressPane = new QLabel(QStringLiteral("Mail Send Progress"), statusLine());
    ProgressPane->setObjectName(QStringLiteral("ProgressPane"));
    TrailPane = new QLabel(statusLine());
    TrailPane->setObjectName(QStringLiteral("TrailPane"));
    TrailPane->setMinimumWidth(fontMetrics().averageCharWidth() * 20);
    statusLine()->addWidget(Progress);
    statusLine()->addWidget(ProgressPane);
    statusLine()->addWidget(TrailPane, 1);
    statusLine()->hide();

    GridMenu = new QMenu(this);
    GridMenu->setObjectName(QStringLiteral("GridMenu"));
    auto item = [this](const QString& caption, const char* name, void (TOUTBOXFORM::*slot)()) {
        QAction* a = GridMenu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    FilterTypeItem = item(QStringLiteral("Filter for messages of this type"), "FilterTypeItem",
                          &TOUTBOXFORM::FilterTypeClick);
    FilterRecipientItem = item(QStringLiteral("Filter for messages of this recipient"),
                               "FilterRecipientItem", &TOUTBOXFORM::FilterRecipientClick);
    RemoveFilterItem =
        item(QStringLiteral("Remove filter"), "RemoveFilterItem", &TOUTBOXFORM::RemoveFilterClick);
    GridMenu->addSeparator();
    DeleteTypeItem = item(QStringLiteral("Delete all letters in the outbox of this type"),
                          "DeleteTypeItem", &TOUTBOXFORM::DeleteTypeClick);
    grid()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (m_sending)
            return;
        updateCommands();
        GridMenu->popup(grid()->viewport()->mapToGlobal(at));
    });

    connect(m_run.get(), &OutboxRun::started, this, [this](int total) {
        Progress->setRange(0, std::max(total, 1));
        Progress->setValue(0);
    });
    connect(m_run.get(), &OutboxRun::advanced, this,
            [this](int sent, int) { Progress->setValue(sent); });
    // The list shows the message that goes now: the run makes it current.
    // The clean-up comes before a failure's text is shown.
    connect(m_run.get(), &OutboxRun::finished, this, [this] { setSending(false); });
    connect(m_run.get(), &OutboxRun::trail, this, [this](const QString& line) {
        TrailPane->setText(
            TrailPane->fontMetrics().elidedText(line, Qt::ElideRight, TrailPane->width()));
        TrailPane->setToolTip(line);
    });
    connect(MyOut, &Table::currentChanged, this, &TOUTBOXFORM::showCurrent);
    connect(MyOut, &Table::dataChanged, this, &TOUTBOXFORM::showCurrent);
}

TOUTBOXFORM::~TOUTBOXFORM() = default;

TOUTBOXFORM* TOUTBOXFORM::instance(QWidget* owner)
{
    static QPointer<TOUTBOXFORM> window;
    if (!window)
        window = new TOUTBOXFORM(owner);
    return window;
}

int TOUTBOXFORM::messagesInOutbox() const
{
    Query count;
    count.setDirectory(MyOut->directory());
    count.setSql(QStringLiteral("SELECT COUNT(*) FROM outbox.db"));
    count.open();
    return count.value(0).toInt();
}

bool TOUTBOXFORM::openOutBox()
{
    TMainDataMod* data = TMainDataMod::instance();
    if (!data)
        return false;
    try {
        MyOut->setDirectory(data->directory());
        DeleteType->setDirectory(data->directory());
        MyOut->open();
        if (messagesInOutbox() == 0) {
            MyOut->close();
            messages().info(QString::fromLatin1(kNoMessagesInOutBox));
            return false;
        }
        MyOut->first();
    } catch (const Error& e) {
        MyOut->close();
        messages().error(e.text());
        return false;
    }
    return true;
}

void TOUTBOXFORM::showCurrent()
{
    Message->load(*MyOut);
}

void TOUTBOXFORM::updateCommands()
{
    const bool any = MyOut->isOpen() && grid()->tableModel()->rowCount() > 0;
    const bool free = !m_sending;
    EditAction->setEnabled(any && free);
    DeleteAction->setEnabled(any && free);
    SendAction->setEnabled(any && free);
    CloseAction->setEnabled(free);
    const QString type = any ? MyOut->value(QStringLiteral("TYPE")).toString() : QString();
    FilterTypeItem->setEnabled(any && free);
    FilterRecipientItem->setEnabled(any && free);
    RemoveFilterItem->setEnabled(free && MyOut->filtered());
    DeleteTypeItem->setEnabled(free && !type.isEmpty());
}

void TOUTBOXFORM::EditClick()
{
    if (!EditAction->isEnabled())
        return;
    try {
        MyOut->edit();
    } catch (const Error& e) {
        messages().error(e.text());
        return;
    }
    TEditMessage window(MyOut, this);
    window.exec();
    showCurrent();
}

void TOUTBOXFORM::DeleteClick()
{
    if (!DeleteAction->isEnabled())
        return;
    if (messages().ask(QStringLiteral("Delete record?"), Buttons::YesNo, MessageKind::Warning) !=
        Answer::Yes)
        return;
    try {
        MyOut->remove();
    } catch (const Error& e) {
        messages().error(e.text());
    }
}

void TOUTBOXFORM::filterOn(const char* column)
{
    const QString value = MyOut->value(QLatin1String(column)).toString();
    try {
        MyOut->setFilter(filterEquals(QLatin1String(column), value));
        MyOut->setFiltered(true);
    } catch (const Error& e) {
        messages().error(e.text());
    }
    updateCommands();
}

void TOUTBOXFORM::FilterTypeClick()
{
    filterOn("TYPE");
}

void TOUTBOXFORM::FilterRecipientClick()
{
    filterOn("TO");
}

void TOUTBOXFORM::RemoveFilterClick()
{
    MyOut->setFiltered(false);
    MyOut->setFilter(QString());
    updateCommands();
}

void TOUTBOXFORM::DeleteTypeClick()
{
    const QString type = MyOut->value(QStringLiteral("TYPE")).toString();
    if (type.isEmpty())
        return;
    if (messages().ask(QStringLiteral("Are you sure you want to delete all of the letters in the "
                                      "outbox of type:\r\r\"") +
                           type + QStringLiteral("\" ?"),
                       Buttons::YesNo, MessageKind::Warning) != Answer::Yes)
        return;
    try {
        DeleteType->setParam(QStringLiteral("MYTYPE"), type);
        DeleteType->exec();
        MyOut->refresh();
    } catch (const Error& e) {
        messages().error(e.text());
    }
    updateCommands();
}

bool TOUTBOXFORM::eventFilter(QObject* watched, QEvent* event)
{
    // During a run the list takes no clicks and no keys: the run works its
    // own messages and the merchant only watches.
    if (m_sending && (watched == grid() || watched == grid()->viewport())) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::ContextMenu:
            return true;
        default:
            break;
        }
    }
    return BrowseDialog::eventFilter(watched, event);
}

void TOUTBOXFORM::setSending(bool on)
{
    m_sending = on;
    statusLine()->setVisible(on);
    if (on)
        TrailPane->clear();
    updateCommands();
}

void TOUTBOXFORM::SendMessagesClick()
{
    TMainDataMod* data = TMainDataMod::instance();
    if (!data || m_sending || !SendAction->isEnabled())
        return;
    setSending(true);
    const OutboxRun::Result result = m_run->run(*MyOut, *data->SENDBOX);
    setSending(false);
    if (m_run->sent() > 0)
        emit sentCount(m_run->sent());
    if (result != OutboxRun::Result::Done)
        return;
    try {
        if (messagesInOutbox() == 0) {
            messages().info(QStringLiteral("OutBox is empty!"));
            close();
        }
    } catch (const Error& e) {
        messages().error(e.text());
    }
}

void TOUTBOXFORM::done(int result)
{
    if (m_sending)
        return; // a run cannot be left half-way
    if (TMainDataMod* data = TMainDataMod::instance(); data && data->OUTBOX->isOpen())
        data->OUTBOX->refresh();
    MyOut->close();
    BrowseDialog::done(result);
}

void TOUTBOXFORM::closeEvent(QCloseEvent* event)
{
    if (m_sending) {
        event->ignore();
        return;
    }
    BrowseDialog::closeEvent(event);
}

void OutBoxCommand(QWidget* mainForm)
{
    TOUTBOXFORM* window = TOUTBOXFORM::instance(mainForm);
    if (auto* main = qobject_cast<QMainWindow*>(mainForm);
        main && !window->property("countsShown").toBool()) {
        window->setProperty("countsShown", true);
        QObject::connect(window, &TOUTBOXFORM::sentCount, main, [main](int count) {
            main->statusBar()->showMessage(OutboxRun::messagesSentText(count), 60000);
        });
    }
    if (window->openOutBox())
        window->exec();
}

} // namespace os
