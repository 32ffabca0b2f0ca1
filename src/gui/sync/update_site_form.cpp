#include "gui/sync/update_site_form.h"

#include "gui/app/getting_started.h"

#include "base/busy_cursor.h"
#include "base/error.h"
#include "base/main_services.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/settings.h"
#include "gui/app/help_window.h"
#include "gui/app/toolbar_icons.h"
#include "gui/settings/change_password.h"
#include "gui/sync/publish_preview_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPainter>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace os {

namespace {

const QString kNoAction = QStringLiteral("No Action Selected");
const QString kMaintenance = QStringLiteral("Maintenance");

// A small hourglass for the rows that say the transfer is waiting.
QIcon waitingIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::darkGray, 1.2));
    painter.setBrush(QColor(0xe8, 0xc0, 0x60));
    const QPointF top[] = {{3.5, 1.5}, {12.5, 1.5}, {8, 8}};
    const QPointF bottom[] = {{8, 8}, {12.5, 14.5}, {3.5, 14.5}};
    painter.drawPolygon(top, 3);
    painter.drawPolygon(bottom, 3);
    return QIcon(pixmap);
}

// The event log with an icon per row type in its first column.
class EventLogIcons : public QIdentityProxyModel
{
public:
    explicit EventLogIcons(QObject* parent) : QIdentityProxyModel(parent)
    {
        QStyle* style = QApplication::style();
        const auto icon = [style](QStyle::StandardPixmap p) { return style->standardIcon(p); };
        m_icons = {
            {QStringLiteral("Server"), icon(QStyle::SP_DriveNetIcon)},
            {QStringLiteral("Vendix"), icon(QStyle::SP_ComputerIcon)},
            {QStringLiteral("Function"), icon(QStyle::SP_MediaPlay)},
            {QStringLiteral("Account"), icon(QStyle::SP_DirHomeIcon)},
            {QStringLiteral("Order"), icon(QStyle::SP_FileIcon)},
            {QStringLiteral("Important"), icon(QStyle::SP_MessageBoxWarning)},
            {QStringLiteral("Notice"), icon(QStyle::SP_MessageBoxInformation)},
            {QStringLiteral("Agent"), icon(QStyle::SP_BrowserReload)},
            {QStringLiteral("Internal Trouble"), icon(QStyle::SP_MessageBoxCritical)},
            {QStringLiteral("Invoice"), icon(QStyle::SP_FileDialogDetailedView)},
            {QStringLiteral("Order Notes"), icon(QStyle::SP_FileDialogContentsView)},
            {QStringLiteral("Error"), icon(QStyle::SP_MessageBoxCritical)},
        };
        m_waiting = waitingIcon();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DecorationRole && index.column() == EventLog::TypeColumn) {
            if (index.data(EventLog::WaitingRole).toBool())
                return m_waiting;
            const auto it = m_icons.constFind(index.data(EventLog::TypeRole).toString());
            return it == m_icons.constEnd() ? QVariant() : QVariant(*it);
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    QHash<QString, QIcon> m_icons;
    QIcon m_waiting;
};

} // namespace

TUpdateSiteForm::TUpdateSiteForm(MainServices* main, QWidget* parent)
    : QWidget(parent), m_main(main)
{
    setObjectName(QStringLiteral("UpdateSiteForm"));
    setWindowTitle(QStringLiteral("Vendix Connections"));
    setAttribute(Qt::WA_DeleteOnClose);
    // F1 in the main window opens this topic while the window is active.
    setProperty("helpTopic", 44);

    m_session = new StoreSession(main, this, this);

    Toolbar = new QToolBar(QStringLiteral("Internet Connections"), this);
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    CloseButton = new QToolButton(Toolbar);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setText(QStringLiteral("Close"));
    CloseButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    CloseButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar->addWidget(CloseButton);
    Toolbar->addSeparator();

    auto* passLabel = new QLabel(QStringLiteral("  Password: "), Toolbar);
    Toolbar->addWidget(passLabel);
    PassEdit = new QLineEdit(Toolbar);
    PassEdit->setObjectName(QStringLiteral("PassEdit"));
    PassEdit->setEchoMode(QLineEdit::Password);
    PassEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // '*'
    PassEdit->setMaximumWidth(200);
    passLabel->setBuddy(PassEdit);
    PassEdit->setFocus(); // the merchant types the password first
    Toolbar->addWidget(PassEdit);

    Button1 = new QToolButton(Toolbar);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setText(QStringLiteral("Start Session"));
    Button1->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    Button1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Button1->setEnabled(false);
    Toolbar->addWidget(Button1);

    // What the next publish would change; needs no password and sends nothing.
    PreviewButton = new QToolButton(Toolbar);
    PreviewButton->setObjectName(QStringLiteral("PreviewButton"));
    PreviewButton->setText(QStringLiteral("Preview Changes"));
    PreviewButton->setToolTip(QStringLiteral(
        "What \"Publish Options & Configurations\" would change on the store (Alt+V)"));
    PreviewButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_V));
    PreviewButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    PreviewButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar->addWidget(PreviewButton);
    Toolbar->addSeparator();

    ToolbarButton971 = new QToolButton(Toolbar);
    ToolbarButton971->setObjectName(QStringLiteral("ToolbarButton971"));
    ToolbarButton971->setText(QStringLiteral("Help"));
    ToolbarButton971->setIcon(makeToolbarIcon(ToolbarIcon::Help));
    ToolbarButton971->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar->addWidget(ToolbarButton971);

    auto* actionLine = new QHBoxLayout;
    auto* actionCaption = new QLabel(QStringLiteral("Session Action:"), this);
    QFont bold = actionCaption->font();
    bold.setBold(true);
    actionCaption->setFont(bold);
    MainLabel = new QLabel(kNoAction, this);
    MainLabel->setObjectName(QStringLiteral("MainLabel"));
    actionLine->addWidget(actionCaption);
    actionLine->addWidget(MainLabel, 1);

    RzTreeView1 = new QTreeWidget(this);
    RzTreeView1->setObjectName(QStringLiteral("RzTreeView1"));
    RzTreeView1->setHeaderHidden(true);
    RzTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RzTreeView1->setRootIsDecorated(true);
    for (const QString& action : {StoreSession::GetOrdersAction, StoreSession::PollServerAction,
                                  StoreSession::PublishAction})
        new QTreeWidgetItem(RzTreeView1, QStringList{action});
    auto* maintenance = new QTreeWidgetItem(RzTreeView1, QStringList{kMaintenance});
    for (const QString& action :
         {StoreSession::LockAction, StoreSession::UnlockAction, StoreSession::ChangePasswordAction})
        new QTreeWidgetItem(maintenance, QStringList{action});
    maintenance->setExpanded(true);

    TransferPanel = new QWidget(this);
    TransferPanel->setObjectName(QStringLiteral("TransferPanel"));
    auto* transferLayout = new QHBoxLayout(TransferPanel);
    transferLayout->setContentsMargins(4, 2, 4, 2);
    transferLayout->addWidget(new QLabel(QStringLiteral("Bytes Transferred:"), TransferPanel));
    TransferState = new QLabel(QStringLiteral("0"), TransferPanel);
    TransferState->setObjectName(QStringLiteral("TransferState"));
    transferLayout->addWidget(TransferState, 1);
    TransferPanel->hide();

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(RzTreeView1, 1);
    leftLayout->addWidget(TransferPanel);

    EventLogView = new QTableView(this);
    EventLogView->setObjectName(QStringLiteral("EventLog"));
    auto* icons = new EventLogIcons(EventLogView);
    icons->setSourceModel(&m_session->eventLog());
    EventLogView->setModel(icons);
    EventLogView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    EventLogView->setSelectionBehavior(QAbstractItemView::SelectRows);
    EventLogView->setSelectionMode(QAbstractItemView::SingleSelection);
    EventLogView->setShowGrid(false);
    EventLogView->setWordWrap(false);
    EventLogView->verticalHeader()->hide();
    EventLogView->verticalHeader()->setDefaultSectionSize(EventLogView->fontMetrics().height() + 6);
    EventLogView->horizontalHeader()->setStretchLastSection(true);
    EventLogView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    EventLogView->setColumnWidth(EventLog::TypeColumn, 99);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(left);
    splitter->addWidget(EventLogView);
    splitter->setStretchFactor(1, 1);
    // Wide enough for the longest action ("Publish Options & Configurations").
    int textWidth = 0;
    for (QTreeWidgetItemIterator it(RzTreeView1); *it; ++it) {
        int depth = 0;
        for (auto* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        textWidth =
            std::max(textWidth, RzTreeView1->fontMetrics().horizontalAdvance((*it)->text(0)) +
                                    depth * RzTreeView1->indentation());
    }
    const int treeWidth =
        textWidth + RzTreeView1->indentation() + 2 * RzTreeView1->frameWidth() + 24;
    left->setMinimumWidth(treeWidth);
    splitter->setSizes({treeWidth, 800});
    splitter->setChildrenCollapsible(false);
    // Restored, the window keeps the log's message column in view: room for
    // the type column and a readable share of a message.
    const int messageWidth = EventLogView->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40;
    EventLogView->setMinimumWidth(EventLogView->columnWidth(EventLog::TypeColumn) + messageWidth);
    // and the whole action list.
    int rows = 0;
    for (QTreeWidgetItemIterator it(RzTreeView1); *it; ++it)
        ++rows;
    RzTreeView1->setMinimumHeight(rows * RzTreeView1->sizeHintForRow(0) +
                                  2 * RzTreeView1->frameWidth() + 4);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Toolbar);
    layout->addLayout(actionLine);
    layout->addWidget(splitter, 1);

    connect(PassEdit, &QLineEdit::textChanged, this, &TUpdateSiteForm::PassEditChange);
    // Enter in the password box starts the session, as the button would.
    connect(PassEdit, &QLineEdit::returnPressed, this, [this] {
        if (Button1->isEnabled())
            Button1Click();
    });
    // The entry under the cursor is the action, however it got there (a
    // click, the arrow keys, the first Tab into the list).
    connect(RzTreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { RzTreeView1Click(item); });
    connect(RzTreeView1, &QTreeWidget::itemClicked, this, &TUpdateSiteForm::RzTreeView1Click);
    connect(Button1, &QToolButton::clicked, this, &TUpdateSiteForm::Button1Click);
    connect(PreviewButton, &QToolButton::clicked, this, &TUpdateSiteForm::PreviewButtonClick);
    connect(CloseButton, &QToolButton::clicked, this, &TUpdateSiteForm::CloseButtonClick);
    connect(ToolbarButton971, &QToolButton::clicked, this, &TUpdateSiteForm::ToolbarButton971Click);
    // The newest row in view.
    connect(&m_session->eventLog(), &QAbstractItemModel::rowsInserted, EventLogView,
            [this] { EventLogView->scrollToBottom(); });
}

TUpdateSiteForm::~TUpdateSiteForm()
{
    // The password lives no longer than the window.
    m_session->setPassword(QString());
}

void TUpdateSiteForm::PassEditChange()
{
    m_session->setPassword(PassEdit->text());
    Button1->setEnabled(!PassEdit->text().isEmpty() && !m_session->isRunning());
}

void TUpdateSiteForm::RzTreeView1Click(QTreeWidgetItem* item)
{
    if (!item)
        return;
    // What is highlighted is what runs (the list may get its current entry
    // from the keyboard without a selection).
    if (!item->isSelected())
        item->setSelected(true);
    if (item->text(0) == kMaintenance)
        return;
    MainLabel->setText(item->text(0));
}

void TUpdateSiteForm::Button1Click()
{
    if (m_session->isRunning() || PassEdit->text().isEmpty())
        return;
    if (MainLabel->text() == kNoAction) {
        messages().warning(QStringLiteral("No action was selected from the action list."));
        return;
    }
    m_session->eventLog().clear();
    m_main->CloseOtherChildWindows();
    m_session->setPassword(PassEdit->text());
    const QString action = MainLabel->text();
    m_session->RunSession(action);
    if (!m_session->lastSessionFailed())
        TGettingStarted::sessionSucceeded(action);
    emit sessionEnded();
}

void TUpdateSiteForm::PreviewButtonClick()
{
    if (m_session->isRunning())
        return;
    std::optional<PublishPreview> preview;
    {
        BusyCursor busy;
        try {
            preview = previewPublish(settings(), AppPaths::dataDir());
        } catch (const Error& e) {
            messages().error(e.text());
            return;
        }
    }
    TPublishPreviewForm form(*preview, this);
    form.exec();
}

void TUpdateSiteForm::CloseButtonClick()
{
    closeFrame(); // asks in closeEvent, like the frame's own close box
}

void TUpdateSiteForm::closeWithoutAsking()
{
    m_closeWithoutAsking = true;
    closeFrame();
    m_closeWithoutAsking = false;
}

void TUpdateSiteForm::closeFrame()
{
    // As a child window, the frame goes with the window (closing only the
    // window would leave an empty frame behind); the frame closes this
    // window first, which asks.
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->close();
    else
        close();
}

void TUpdateSiteForm::ToolbarButton971Click()
{
    showHelpTopic(44);
}

void TUpdateSiteForm::closeEvent(QCloseEvent* event)
{
    // A running session must finish its closing steps first (its controls
    // are disabled meanwhile); the window goes only when it is idle.
    if (m_session->isRunning()) {
        event->ignore();
        return;
    }
    if (!m_closeWithoutAsking &&
        messages().ask(QStringLiteral("Are you sure you want to close the Connections window?"),
                       Buttons::YesNo) != Answer::Yes) {
        event->ignore();
        return;
    }
    PassEdit->clear();
    m_session->setPassword(QString());
    event->accept();
}

void TUpdateSiteForm::setSessionControlsEnabled(bool enabled)
{
    CloseButton->setEnabled(enabled);
    Button1->setEnabled(enabled && !PassEdit->text().isEmpty());
    PreviewButton->setEnabled(enabled);
    PassEdit->setReadOnly(!enabled);
    RzTreeView1->setEnabled(enabled);
}

void TUpdateSiteForm::setTransferPanelVisible(bool visible)
{
    TransferPanel->setVisible(visible);
}

void TUpdateSiteForm::setTransferCount(qint64 bytes)
{
    TransferState->setText(QString::number(bytes));
}

std::optional<QString> TUpdateSiteForm::askNewPassword()
{
    TChangePassword dialog(this);
    if (dialog.exec() != QDialog::Accepted || !dialog.confirmed())
        return std::nullopt;
    return dialog.newPassword();
}

void TUpdateSiteForm::passwordEmptied()
{
    PassEdit->clear();
}

} // namespace os
