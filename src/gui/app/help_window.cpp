#include "gui/app/help_window.h"

#include "base/paths.h"
#include "base/program_version.h"
#include "gui/app/window_size.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace os {

namespace {

QPointer<THelpWindow> g_window;

// The topic number of a help page URL ("topic45.html" -> 45), or -1.
int topicOf(const QUrl& url)
{
    static const QRegularExpression re(QStringLiteral("^topic(\\d+)\\.html$"));
    const QRegularExpressionMatch m = re.match(url.fileName());
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString missingTopicPage(int topic)
{
    return QStringLiteral("<html><head><title>No help for topic %1</title></head><body>"
                          "<h1>No help for topic %1</h1>"
                          "<p>This version of Ordersentinel has no help page for topic %1.</p>"
                          "<p><a href=\"contents.html\">Back to the help contents</a></p>"
                          "</body></html>")
        .arg(topic);
}

QString fillIn(QString page)
{
    page.replace(QLatin1String("%version%"), programVersion().toHtmlEscaped());
    page.replace(QLatin1String("%home%"), AppPaths::home().toHtmlEscaped());
    page.replace(QLatin1String("%datadir%"), AppPaths::dataDir().toHtmlEscaped());
    page.replace(QLatin1String("%htmldir%"), AppPaths::htmlDir().toHtmlEscaped());
    return page;
}

// While a modal dialog is up every other top-level window is blocked, so a
// viewer opened from a dialog's Help button lives under that dialog until it
// hides, then becomes a window of its own again.
class ModalFollower : public QObject
{
public:
    ModalFollower(THelpWindow* help, QWidget* modal) : QObject(help), m_help(help), m_modal(modal)
    {
        modal->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_modal && event->type() == QEvent::Hide) {
            m_modal->removeEventFilter(this);
            const QRect geometry = m_help->geometry();
            const bool visible = m_help->isVisible();
            m_help->setParent(nullptr, Qt::Window);
            m_help->setGeometry(geometry);
            if (visible)
                m_help->show();
            deleteLater();
        }
        return false;
    }

private:
    THelpWindow* m_help;
    QPointer<QWidget> m_modal;
};

// Places the viewer beside `dialog`, on the side with room for it, narrowed
// to that room if need be, so that it does not cover the dialog it explains.
// Where the screen has no such room, it goes to the screen's edge on the
// roomier side and covers as little as it can.
void placeBeside(QWidget* help, const QWidget* dialog)
{
    const QScreen* screen = dialog->screen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QRect d = dialog->frameGeometry();
    // The frame around the viewer; before its first show, the dialog's
    // (both are windows of the same desktop).
    const QSize frame = help->isVisible() ? help->frameGeometry().size() - help->geometry().size()
                                          : d.size() - dialog->geometry().size();
    constexpr int kGap = 8;
    constexpr int kNarrowest = 360;
    const int rightRoom = avail.right() - d.right() - kGap - frame.width();
    const int leftRoom = d.left() - avail.left() - kGap - frame.width();
    const bool right = rightRoom >= leftRoom;
    const int room = right ? rightRoom : leftRoom;
    // Without that room, as narrow as it reads well, at the screen's edge.
    const int width = std::min(help->width(), std::max(room, kNarrowest));
    const int height = std::min(help->height(), avail.height() - frame.height());
    help->resize(width, height);
    const int outer = width + frame.width();
    int x = 0;
    if (room >= kNarrowest)
        x = right ? d.right() + 1 + kGap : d.left() - kGap - outer;
    else
        x = right ? avail.right() + 1 - outer : avail.left();
    const int y = std::clamp(d.top(), avail.top(), avail.bottom() + 1 - height - frame.height());
    help->move(x, y);
}

} // namespace

QUrl helpContentsUrl()
{
    return QUrl(QStringLiteral("qrc:/help/contents.html"));
}

QUrl helpTopicUrl(int topic)
{
    return QUrl(QStringLiteral("qrc:/help/topic%1.html").arg(topic));
}

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("HelpBrowser"));
    // Help pages may link to the web (the store's own documentation).
    setOpenExternalLinks(true);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    if (type == QTextDocument::HtmlResource) {
        const QUrl url = name.isRelative() ? source().resolved(name) : name;
        QString path = url.path();
        if (url.scheme() == QLatin1String("qrc"))
            path.prepend(QLatin1Char(':'));
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            return fillIn(QString::fromUtf8(file.readAll()));
        const int topic = topicOf(url);
        if (topic >= 0)
            return missingTopicPage(topic);
    }
    return QTextBrowser::loadResource(type, name);
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Ordersentinel Help"));

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("HelpToolbar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction* contents = bar->addAction(QStringLiteral("Contents"));
    contents->setObjectName(QStringLiteral("HelpContentsButton"));
    m_back = bar->addAction(QStringLiteral("Back"));
    m_back->setObjectName(QStringLiteral("HelpBackButton"));
    m_back->setEnabled(false);
    m_forward = bar->addAction(QStringLiteral("Forward"));
    m_forward->setObjectName(QStringLiteral("HelpForwardButton"));
    m_forward->setEnabled(false);

    m_browser = new HelpBrowser(this);
    m_browser->document()->setDocumentMargin(12);
    auto* closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    connect(contents, &QAction::triggered, this, &THelpWindow::showContents);
    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("Ordersentinel Help")
                                       : QStringLiteral("Ordersentinel Help - ") + title);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_browser);

    const QFontMetrics fm = fontMetrics();
    resizeWithinScreen(this, QSize(110 * fm.averageCharWidth(), 40 * fm.lineSpacing()));
}

void THelpWindow::showContents()
{
    m_browser->setSource(helpContentsUrl());
}

void THelpWindow::showTopic(int topic)
{
    m_browser->setSource(helpTopicUrl(topic));
}

THelpWindow* THelpWindow::current()
{
    return g_window.data();
}

THelpWindow* THelpWindow::open()
{
    if (!g_window)
        g_window = new THelpWindow();
    g_window->present();
    return g_window.data();
}

void THelpWindow::present()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != this && parentWidget() != modal) {
        const bool firstShow = !isVisible();
        const bool covers = frameGeometry().intersects(modal->frameGeometry());
        setParent(modal, Qt::Window);
        new ModalFollower(this, modal);
        if (firstShow || covers)
            placeBeside(this, modal);
    }
    show();
    raise();
    activateWindow();
}

void showHelpTopic(int topic)
{
    THelpWindow::open()->showTopic(topic);
}

void showHelpContents()
{
    THelpWindow::open()->showContents();
}

void closeHelpWindow()
{
    if (g_window)
        g_window->close();
}

} // namespace os
