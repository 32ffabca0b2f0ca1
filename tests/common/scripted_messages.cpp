#include "common/scripted_messages.h"

#include <QTest>

namespace os::test {

ScriptedMessages::ScriptedMessages()
{
    setMessageService(this);
}
ScriptedMessages::~ScriptedMessages()
{
    setMessageService(nullptr);
}

void ScriptedMessages::info(const QString& text)
{
    m_shown.append({MessageKind::Info, text});
}
void ScriptedMessages::warning(const QString& text)
{
    m_shown.append({MessageKind::Warning, text});
}
void ScriptedMessages::error(const QString& text)
{
    m_shown.append({MessageKind::Error, text});
}

Answer ScriptedMessages::ask(const QString& text, Buttons, MessageKind icon)
{
    m_shown.append({MessageKind::Question, text, icon});
    if (m_answers.isEmpty()) {
        m_unexpected = true;
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__,
                     __LINE__);
        return Answer::Cancel;
    }
    return m_answers.dequeue();
}

void ScriptedMessages::beep()
{
    ++m_beeps;
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const auto& s : m_shown)
        out << s.text;
    return out;
}

void ScriptedMessages::clear()
{
    m_shown.clear();
    m_answers.clear();
    m_beeps = 0;
    m_unexpected = false;
}

} // namespace os::test
