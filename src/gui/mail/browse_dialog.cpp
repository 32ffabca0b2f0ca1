#include "gui/mail/browse_dialog.h"

#include "gui/app/db_grid.h"
#include "gui/app/help_window.h"
#include "gui/app/window_size.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace os {

BrowseDialog::BrowseDialog(const QString& caption, const QString& toolbarTitle, int helpTopic,
                           QWidget* parent)
    : QDialog(parent), m_helpTopic(helpTopic)
{
    setWindowTitle(caption);
    setSizeGripEnabled(true);
    // Room for the grid's columns and a message below them, within the screen.
    const int em = fontMetrics().averageCharWidth();
    resizeWithinScreen(this, QSize(em * 180, fontMetrics().height() * 42));

    m_toolBar = new QToolBar(toolbarTitle, this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(24, 24));
    m_grid = new DbGrid(this);
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->installEventFilter(this);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->addWidget(m_grid);
    m_splitter->setChildrenCollapsible(false);
    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusLine"));
    m_status->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_splitter, 1);
    layout->addWidget(m_status);
}

QAction* BrowseDialog::addCommand(const QString& caption, const char* name,
                                  QStyle::StandardPixmap icon, std::function<void()> run,
                                  const QKeySequence& shortcut)
{
    QAction* a = m_toolBar->addAction(style()->standardIcon(icon), caption);
    a->setObjectName(QLatin1String(name));
    // A tool button shows no underlined letter and takes no focus, so the
    // caption's marked letter becomes Alt+letter of the whole window, and the
    // tooltip names the key.
    QKeySequence key = shortcut;
    if (key.isEmpty()) {
        const qsizetype amp = caption.indexOf(QLatin1Char('&'));
        if (amp >= 0 && amp + 1 < caption.size() && caption.at(amp + 1) != QLatin1Char('&'))
            key = QKeySequence(QStringLiteral("Alt+") + caption.at(amp + 1).toUpper());
    }
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setToolTip(QStringLiteral("%1 (%2)").arg(QString(caption).remove(QLatin1Char('&')),
                                                    key.toString(QKeySequence::NativeText)));
    }
    if (QWidget* button = m_toolBar->widgetForAction(a))
        button->setObjectName(QLatin1String(name) + QStringLiteral("Button"));
    connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return a;
}

void BrowseDialog::addHelp()
{
    addCommand(
        QStringLiteral("Help"), "HelpAction", QStyle::SP_DialogHelpButton,
        [this] { showHelpTopic(m_helpTopic); }, QKeySequence::HelpContents);
}

void BrowseDialog::setDetail(QWidget* detail)
{
    m_splitter->addWidget(detail);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
}

void BrowseDialog::followGrid()
{
    TableModel* model = m_grid->tableModel();
    connect(model, &TableModel::currentRowChanged, this, &BrowseDialog::updateCommands);
    connect(model, &QAbstractItemModel::modelReset, this, &BrowseDialog::updateCommands);
    connect(model, &QAbstractItemModel::rowsInserted, this, &BrowseDialog::updateCommands);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &BrowseDialog::updateCommands);
    connect(model, &QAbstractItemModel::dataChanged, this, &BrowseDialog::updateCommands);
}

void BrowseDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    updateCommands();
    m_grid->setFocus();
}

bool BrowseDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        QAction* command = nullptr;
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier)
            command = m_open;
        else if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier)
            command = m_delete;
        if (command) {
            if (command->isEnabled())
                command->trigger();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace os
