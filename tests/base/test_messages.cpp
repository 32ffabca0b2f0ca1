#include "common/scripted_messages.h"

#include "app/messages.h"

#include <QTest>

using namespace os;

class TestMessages : public QObject
{
    Q_OBJECT
private slots:
    void scriptedDoubleRecordsAndAnswers()
    {
        test::ScriptedMessages sm;
        messages().info(QStringLiteral("one"));
        messages().error(QStringLiteral("two"));
        sm.queueAnswer(Answer::No);
        QCOMPARE(messages().ask(QStringLiteral("three?"), Buttons::YesNo), Answer::No);
        messages().beep();
        QCOMPARE(sm.texts(), QStringList({"one", "two", "three?"}));
        QCOMPARE(sm.shown().at(1).kind, MessageKind::Error);
        QCOMPARE(sm.beeps(), 1);
    }
    void carriageReturnIsALineBreak()
    {
        QCOMPARE(displayText(QStringLiteral("a\r\rb\r\nc")), QStringLiteral("a\n\nb\nc"));
    }
    void defaultServiceIsRestored()
    {
        {
            test::ScriptedMessages sm;
            QCOMPARE(&messages(), static_cast<MessageService*>(&sm));
        }
        QVERIFY(dynamic_cast<StderrMessageService*>(&messages()) != nullptr);
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "test_messages.moc"
