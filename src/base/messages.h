#pragma once

#include <QString>

namespace os {

// Every message box and question of the program goes through one service.
// The window build installs a QMessageBox-backed service, the headless modes
// one that writes to standard error, and the tests a scripted double that
// records every text and answers questions from a queue.
//
// A "\r" in a text is a line break (texts are kept as the program states them).
enum class Answer
{
    Yes,
    No,
    Cancel,
    Ok,
    Help
};

enum class Buttons
{
    Ok,
    YesNo,
    YesNoCancel,
    YesNoCancelHelp,
    YesNoHelp,
    OkCancel
};

enum class MessageKind
{
    Info,
    Warning,
    Error,
    Question
};

class MessageService
{
public:
    virtual ~MessageService();
    virtual void info(const QString& text) = 0;
    virtual void warning(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
    // A question shows the icon of its kind: a plain question the question
    // mark, one that destroys or overwrites work (Delete, Mark ALL) the
    // warning sign.
    virtual Answer ask(const QString& text, Buttons buttons, MessageKind kind) = 0;
    Answer ask(const QString& text, Buttons buttons)
    {
        return ask(text, buttons, MessageKind::Question);
    }
    virtual void beep() = 0;
};

// The service in force. Never null: until one is installed, texts go to
// standard error and questions are answered with their first button.
MessageService& messages();

// Installs `service` (not owned); passing nullptr restores the default.
void setMessageService(MessageService* service);

// "\r" line breaks as a display would show them ("\r\n" or "\r" become "\n").
QString displayText(const QString& text);

// The service installed now (null when the default is in force).
MessageService* installedMessageService();

// Installs `service` for the life of the object, then restores what was
// installed before.
class ScopedMessageService
{
public:
    explicit ScopedMessageService(MessageService* service);
    ~ScopedMessageService();
    ScopedMessageService(const ScopedMessageService&) = delete;
    ScopedMessageService& operator=(const ScopedMessageService&) = delete;

private:
    MessageService* m_previous;
};

// Passes every text on to the service in force when it was made, and counts
// the errors shown: a headless run that showed one did not end cleanly.
// Installs itself for its life.
class ErrorCountingMessages : public MessageService
{
public:
    ErrorCountingMessages();
    ~ErrorCountingMessages() override;
    ErrorCountingMessages(const ErrorCountingMessages&) = delete;
    ErrorCountingMessages& operator=(const ErrorCountingMessages&) = delete;

    void info(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    using MessageService::ask;
    Answer ask(const QString& text, Buttons buttons, MessageKind kind) override;
    void beep() override;
    int errors() const { return m_errors; }

private:
    MessageService& m_inner;
    MessageService* m_previous;
    int m_errors = 0;
};

// Writes texts to standard error with a kind prefix; answers questions with
// their first button. Used by the headless modes and as the default.
class StderrMessageService : public MessageService
{
public:
    void info(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    using MessageService::ask;
    Answer ask(const QString& text, Buttons buttons, MessageKind kind) override;
    void beep() override;
};

} // namespace os
