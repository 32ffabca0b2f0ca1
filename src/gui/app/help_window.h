#pragma once

#include <QPointer>
#include <QTextBrowser>
#include <QWidget>

class QAction;

namespace os {

// The program's help: one HTML page per topic number (:/help/topic<N>.html)
// and a contents page (:/help/contents.html), compiled into the program.
// Any window's Help button calls ShowHelpTopic with its topic number.
void showHelpTopic(int topic);
void showHelpContents();
// Closes the help viewer if it is open (the main window does this on close).
void closeHelpWindow();

// The resource URL of a topic page; topic 0 is a page of its own.
QUrl helpTopicUrl(int topic);
QUrl helpContentsUrl();

// A QTextBrowser that fills in the live values of the help pages
// (%version%, %home%, %datadir%, %htmldir%) and answers a page that does not
// exist with a "no help for this topic" page instead of a blank one.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;
};

// The help viewer: a top-level window of its own (it stays open beside the
// main window and modal dialogs), one instance for the program.
class THelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);

    void showContents();
    void showTopic(int topic);
    HelpBrowser* browser() const { return m_browser; }

    // The open viewer, or null.
    static THelpWindow* current();
    // The open viewer, created (and shown) when there is none.
    static THelpWindow* open();

private:
    void present();

    HelpBrowser* m_browser = nullptr;
    QAction* m_back = nullptr;
    QAction* m_forward = nullptr;
};

} // namespace os
