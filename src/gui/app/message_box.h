#pragma once

#include "base/messages.h"

#include <QMessageBox>

namespace os {

// The window build's message service: every text and question of the program
// as a QMessageBox over the active window, titled with the application title.
// A "\r" in a text is a line break.
class QtMessageService : public MessageService
{
public:
    void info(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    using MessageService::ask;
    Answer ask(const QString& text, Buttons buttons, MessageKind kind) override;
    void beep() override;

    // The standard buttons of a question, and the answer a pressed button gives.
    static QMessageBox::StandardButtons standardButtons(Buttons buttons);
    static Answer answerFor(int pressed, Buttons buttons);
    // The icon a question of `kind` shows.
    static QMessageBox::Icon iconFor(MessageKind kind);

private:
    void show(QMessageBox::Icon icon, const QString& text);
};

// Installs the window services for the whole run: the QMessageBox-backed
// message service, the busy cursor as QApplication's override cursor and the
// dialog that asks the mail server's password.
void installWindowServices();

} // namespace os
