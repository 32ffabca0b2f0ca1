#pragma once

#include "base/messages.h"

#include <QList>
#include <QQueue>
#include <QStringList>

namespace os::test {

// The test double of the message service: records every text shown, answers
// questions from a queue, and fails the running test on a question nobody
// queued an answer for. Installs itself on construction, restores the default
// on destruction.
class ScriptedMessages : public MessageService
{
public:
    struct Shown
    {
        MessageKind kind;
        QString text;
        MessageKind icon = kind; // a question's icon (Question or Warning)
    };

    ScriptedMessages();
    ~ScriptedMessages() override;

    void info(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    using MessageService::ask;
    Answer ask(const QString& text, Buttons buttons, MessageKind icon) override;
    void beep() override;

    void queueAnswer(Answer a) { m_answers.enqueue(a); }

    QList<Shown> shown() const { return m_shown; }
    QStringList texts() const; // every text shown or asked, in order
    int beeps() const { return m_beeps; }
    bool unexpectedQuestion() const { return m_unexpected; }
    void clear();

private:
    QList<Shown> m_shown;
    QQueue<Answer> m_answers;
    int m_beeps = 0;
    bool m_unexpected = false;
};

} // namespace os::test
