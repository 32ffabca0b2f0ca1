#include "gui/app/message_box.h"

#include "gui/mail/mail_password_dialog.h"

#include "base/busy_cursor.h"
#include "gui/app/help_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>

namespace os {

namespace {

QWidget* dialogParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QString title()
{
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Ordersentinel") : name;
}

} // namespace

void QtMessageService::show(QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, title(), displayText(text), QMessageBox::Ok, dialogParent());
    box.exec();
}

void QtMessageService::info(const QString& text)
{
    show(QMessageBox::Information, text);
}
void QtMessageService::warning(const QString& text)
{
    show(QMessageBox::Warning, text);
}
void QtMessageService::error(const QString& text)
{
    show(QMessageBox::Critical, text);
}

QMessageBox::StandardButtons QtMessageService::standardButtons(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return QMessageBox::Ok;
    case Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::YesNoCancelHelp:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Help;
    case Buttons::YesNoHelp:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Help;
    }
    return QMessageBox::Ok;
}

Answer QtMessageService::answerFor(int pressed, Buttons buttons)
{
    switch (pressed) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Help:
        return Answer::Help;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        // Closed with Escape or the title bar: Cancel where offered, else No.
        if (buttons == Buttons::YesNo || buttons == Buttons::YesNoHelp)
            return Answer::No;
        return Answer::Cancel;
    }
}

QMessageBox::Icon QtMessageService::iconFor(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Info:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Question:
        break;
    }
    return QMessageBox::Question;
}

Answer QtMessageService::ask(const QString& text, Buttons buttons, MessageKind kind)
{
    QMessageBox box(iconFor(kind), title(), displayText(text), standardButtons(buttons),
                    dialogParent());
    return answerFor(box.exec(), buttons);
}

void QtMessageService::beep()
{
    QApplication::beep();
}

namespace {

// F1 in any window without a help key of its own: the topic of the nearest
// widget, from the one with the focus outwards, that names one in its
// "helpTopic" property. A window's own F1 shortcut takes the key first.
class HelpKeyFilter : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
            return false;
        for (auto* w = qobject_cast<QWidget*>(watched); w; w = w->parentWidget()) {
            const QVariant topic = w->property("helpTopic");
            if (topic.isValid()) {
                showHelpTopic(topic.toInt());
                return true;
            }
        }
        return false;
    }
};

} // namespace

void installWindowServices()
{
    static QtMessageService service;
    setMessageService(&service);
    static HelpKeyFilter* helpKeys = nullptr;
    if (!helpKeys) {
        helpKeys = new HelpKeyFilter(qApp);
        qApp->installEventFilter(helpKeys);
    }
    TMailPasswordDialog::install();
    BusyCursor::setHandler([](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
}

} // namespace os
