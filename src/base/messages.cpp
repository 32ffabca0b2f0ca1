#include "base/messages.h"

#include "base/text_utils.h"

#include <cstdio>

namespace os {

MessageService::~MessageService() = default;

namespace {
StderrMessageService g_default;
MessageService* g_service = nullptr;

// A text may carry what the store sent (a value in a conversion error, say):
// its control characters are shown, never sent to the terminal as such.
void writeLine(const char* prefix, const QString& text)
{
    const QByteArray line =
        (QString::fromLatin1(prefix) + visibleControls(displayText(text), u"\n")).toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
}
} // namespace

MessageService& messages()
{
    return g_service ? *g_service : g_default;
}

void setMessageService(MessageService* service)
{
    g_service = service;
}

MessageService* installedMessageService()
{
    return g_service;
}

ScopedMessageService::ScopedMessageService(MessageService* service) : m_previous(g_service)
{
    g_service = service;
}

ScopedMessageService::~ScopedMessageService()
{
    g_service = m_previous;
}

ErrorCountingMessages::ErrorCountingMessages() : m_inner(messages()), m_previous(g_service)
{
    g_service = this;
}

ErrorCountingMessages::~ErrorCountingMessages()
{
    g_service = m_previous;
}

void ErrorCountingMessages::info(const QString& text)
{
    m_inner.info(text);
}
void ErrorCountingMessages::warning(const QString& text)
{
    m_inner.warning(text);
}

void ErrorCountingMessages::error(const QString& text)
{
    ++m_errors;
    m_inner.error(text);
}

Answer ErrorCountingMessages::ask(const QString& text, Buttons buttons, MessageKind kind)
{
    return m_inner.ask(text, buttons, kind);
}
void ErrorCountingMessages::beep()
{
    m_inner.beep();
}

QString displayText(const QString& text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

void StderrMessageService::info(const QString& text)
{
    writeLine("", text);
}
void StderrMessageService::warning(const QString& text)
{
    writeLine("Warning: ", text);
}
void StderrMessageService::error(const QString& text)
{
    writeLine("Error: ", text);
}

Answer StderrMessageService::ask(const QString& text, Buttons buttons, MessageKind)
{
    writeLine("Question: ", text);
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel:
        return Answer::Ok;
    default:
        return Answer::Yes;
    }
}

void StderrMessageService::beep() {}

} // namespace os
