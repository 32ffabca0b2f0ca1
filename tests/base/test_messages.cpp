#include "common/scripted_messages.h"

#include "base/messages.h"

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
    void errorCountingPassesOnAndRestores()
    {
        test::ScriptedMessages sm;
        {
            ErrorCountingMessages counting;
            QCOMPARE(&messages(), static_cast<MessageService*>(&counting));
            messages().info(QStringLiteral("note"));
            messages().error(QStringLiteral("first"));
            messages().error(QStringLiteral("second"));
            sm.queueAnswer(Answer::Yes);
            QCOMPARE(messages().ask(QStringLiteral("go on?"), Buttons::YesNo), Answer::Yes);
            QCOMPARE(counting.errors(), 2);
        }
        // Everything reached the service in force before, which is back.
        QCOMPARE(sm.texts(), QStringList({"note", "first", "second", "go on?"}));
        QCOMPARE(installedMessageService(), static_cast<MessageService*>(&sm));
        {
            ScopedMessageService none(nullptr);
            QVERIFY(dynamic_cast<StderrMessageService*>(&messages()) != nullptr);
        }
        QCOMPARE(installedMessageService(), static_cast<MessageService*>(&sm));
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
