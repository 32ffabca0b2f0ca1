#include "app/messages.h"

#include <cstdio>

namespace os {

MessageService::~MessageService() = default;

namespace {
StderrMessageService g_default;
MessageService* g_service = nullptr;

void writeLine(const char* prefix, const QString& text)
{
    const QByteArray line = (QString::fromLatin1(prefix) + displayText(text)).toUtf8();
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

QString displayText(const QString& text)
{
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

void StderrMessageService::info(const QString& text) { writeLine("", text); }
void StderrMessageService::warning(const QString& text) { writeLine("Warning: ", text); }
void StderrMessageService::error(const QString& text) { writeLine("Error: ", text); }

Answer StderrMessageService::ask(const QString& text, Buttons buttons)
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
