// The OutBox, Sent Items, Quillform Templates and To Do List windows,
// offscreen, opened from the main window's commands where the merchant opens
// them, and sending to a real aiosmtpd.

#include "base/clock.h"
#include "base/settings.h"
#include "common/gui/gui_helpers.h"
#include "common/scripted_messages.h"
#include "common/smtp_server.h"
#include "common/temp_home.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"
#include "gui/app/record_navigator.h"
#include "gui/mail/message_fields.h"
#include "gui/mail/newio.h"
#include "gui/mail/outbox_form.h"
#include "gui/mail/sent_items.h"
#include "gui/mail/text_editor.h"
#include "gui/todo/to_do_edit_form.h"
#include "gui/todo/todo.h"
#include "mail/outbox.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace os;
using namespace os::test;

namespace {

// The texts of one grid column, top to bottom.
QStringList column(const DbGrid* grid, int c)
{
    QStringList out;
    const QAbstractItemModel* m = grid->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, c).data().toString();
    return out;
}

int rows(const DbGrid* grid)
{
    return grid->model()->rowCount();
}

QStringList subjects(const QString& dir, const QString& table)
{
    Table t(table);
    t.setDirectory(dir);
    t.open();
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.value("SUBJECT").toString();
    return out;
}

} // namespace

class TestMailWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void outBoxCommandAndSend();
    void outBoxRunIgnoresTheMerchantsMoves();
    void outBoxFiltersAndDeletes();
    void outBoxColumnsFitTheScreen();
    void sentItems();
    void templatesWindow();
    void toDoList();

private:
    void start();
    void queue(const QString& subject, const QString& to, const QString& type = QString());
    QString dataDir() const { return m_home->dataDir(); }

    std::unique_ptr<SmtpServer> m_server;
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_data;
    std::unique_ptr<TMainForm> m_form;
};

void TestMailWindows::initTestCase()
{
    installWindowServices();
    m_server = std::make_unique<SmtpServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
}

void TestMailWindows::init()
{
    m_server->clear();
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
    settings() = Settings();
    settings().SMTPServer = QStringLiteral("127.0.0.1");
    settings().SMTPPORT = m_server->port();
    QVERIFY(SaveSettings());
}

void TestMailWindows::cleanup()
{
    m_form.reset();
    m_data.reset();
    QVERIFY(!m_messages->unexpectedQuestion());
    m_messages.reset();
    m_home.reset();
    Clock::pin(QDateTime());
}

// As main() starts the program.
void TestMailWindows::start()
{
    m_form = std::make_unique<TMainForm>();
    m_form->show();
    m_data = std::make_unique<TMainDataMod>();
    m_form->openDatabaseCommand();
    m_messages->clear();
}

void TestMailWindows::queue(const QString& subject, const QString& to, const QString& type)
{
    QVERIFY(queueMessage({type, subject, to, QStringLiteral("info@shop.test"),
                          QStringLiteral("Body of ") + subject}));
}

void TestMailWindows::outBoxCommandAndSend()
{
    start();
    // Nothing queued: only the message, no window.
    QVERIFY(fire(m_form.get(), {"PostOfficeButton", "OutBoxItem"}));
    QCOMPARE(m_messages->texts(), QStringList{"You have no messages in your OutBox."});

    queue(QStringLiteral("one"), QStringLiteral("a@cust.test"));
    queue(QStringLiteral("two"), QStringLiteral("gone@cust.test"));
    queue(QStringLiteral("three"), QStringLiteral("c@cust.test"));
    m_server->refuseRecipient(QStringLiteral("gone@cust.test"));
    m_messages->clear();

    bool handled = false;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<TOUTBOXFORM*>(w);
        QVERIFY(box);
        const auto closeAnyway = qScopeGuard([box] { box->close(); });
        QCOMPARE(box->windowTitle(), QStringLiteral("OutBox"));
        QCOMPARE(column(box->grid(), 2), (QStringList{"one", "two", "three"}));
        QCOMPARE(box->Message->SubjectEdit->text(), QStringLiteral("one"));
        QCOMPARE(box->Message->BodyEdit->toPlainText(), QStringLiteral("Body of one"));
        QVERIFY(box->EditAction->isEnabled() && box->SendAction->isEnabled());
        QVERIFY(!box->statusLine()->isVisible());
        // While the run goes the status line shows and nothing can close it.
        bool seenRunning = false;
        const auto watch = connect(box->MyOut, &Table::dataChanged, box, [&] {
            if (box->isSending()) {
                seenRunning = box->statusLine()->isVisible() && !box->CloseAction->isEnabled() &&
                              box->ProgressPane->text() == QLatin1String("Mail Send Progress");
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        box->SendAction->trigger();
        disconnect(watch);
        QVERIFY(seenRunning);
        QVERIFY(box->isVisible());
        QCOMPARE(m_messages->texts(),
                 QStringList{"550 5.1.1 Recipient address rejected: User unknown"});
        QCOMPARE(m_form->statusBar()->currentMessage(), QStringLiteral("1 message sent"));
        QVERIFY(!box->statusLine()->isVisible());
        QCOMPARE(column(box->grid(), 2), (QStringList{"two", "three"}));
        QVERIFY(box->SendAction->isEnabled());

        m_server->clear();
        m_messages->clear();
        box->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box->grid(), Qt::Key_S, Qt::AltModifier); // Send Messages
        QCOMPARE(m_messages->texts(), QStringList{"OutBox is empty!"});
        QVERIFY(!box->isVisible());
        handled = true;
    });
    QVERIFY(fire(m_form.get(), {"PostOfficeButton", "OutBoxItem"}));
    QVERIFY(handled);
    QCOMPARE(subjects(dataDir(), "sentitems"), (QStringList{"one", "two", "three"}));
    QCOMPARE(m_form->statusBar()->currentMessage(), QStringLiteral("2 messages sent"));
}

// A slow mail server, and a merchant who moves about the list while the run
// waits on it: arrow keys and clicks on rows change nothing of the run.
// Every message reaches the server once and goes to sent items.
void TestMailWindows::outBoxRunIgnoresTheMerchantsMoves()
{
    start();
    QStringList all;
    for (int i = 1; i <= 6; ++i) {
        all << QStringLiteral("m%1").arg(i);
        queue(all.last(), all.last() + QStringLiteral("@cust.test"));
    }
    m_server->delay(QStringLiteral("DATA"), 0.3);
    m_messages->clear();

    int movesDuringRun = 0;
    QStringList currentWhileSending;
    bool handled = false;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<TOUTBOXFORM*>(w);
        QVERIFY(box);
        const auto closeAnyway = qScopeGuard([box] { box->close(); });
        box->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(box));
        QTimer moves;
        moves.setInterval(40);
        int step = 0;
        connect(&moves, &QTimer::timeout, box, [&] {
            if (!box->isSending())
                return;
            ++movesDuringRun;
            currentWhileSending << box->MyOut->value(QStringLiteral("SUBJECT")).toString();
            DbGrid* grid = box->grid();
            switch (step++ % 4) {
            case 0:
                QTest::keyClick(grid, Qt::Key_Down);
                break;
            case 1:
                QTest::keyClick(grid, Qt::Key_Up);
                break;
            case 2:
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  grid->visualRect(grid->model()->index(0, 2)).center());
                break;
            default: {
                const int last = grid->model()->rowCount() - 1;
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                                  grid->visualRect(grid->model()->index(last, 2)).center());
                QTest::keyClick(grid, Qt::Key_Delete); // no question: the command is off
                break;
            }
            }
        });
        moves.start();
        box->grid()->setFocus();
        QTRY_VERIFY(box->grid()->hasFocus());
        QTest::keyClick(box->grid(), Qt::Key_S, Qt::AltModifier); // Send Messages
        moves.stop();
        QCOMPARE(m_messages->texts(), QStringList{"OutBox is empty!"});
        QVERIFY(!box->isVisible());
        handled = true;
    });
    QVERIFY(fire(m_form.get(), {"PostOfficeButton", "OutBoxItem"}));
    QVERIFY(handled);
    QVERIFY2(movesDuringRun >= 4, qPrintable(QString::number(movesDuringRun)));
    // What the list showed as current was always the message being sent,
    // first to last.
    QStringList seen = currentWhileSending;
    seen.removeAll(QString()); // the list is empty after the last one
    seen.removeDuplicates();
    QCOMPARE(seen, all.mid(all.indexOf(seen.value(0)), seen.size()));
    QStringList received;
    for (const SmtpServer::Message& m : m_server->messages())
        received << m.rcptTos.join(',');
    QStringList expected;
    for (const QString& s : all)
        expected << s + QStringLiteral("@cust.test");
    QCOMPARE(received, expected);
    QVERIFY(subjects(dataDir(), "outbox").isEmpty());
    QCOMPARE(subjects(dataDir(), "sentitems"), all);
    QCOMPARE(m_form->statusBar()->currentMessage(), QStringLiteral("6 messages sent"));
}

// On the small offscreen screen (800x600) the OutBox fits and shows every
// column without scrolling sideways; the date keeps its whole text and the
// subject takes the width the others leave.
void TestMailWindows::outBoxColumnsFitTheScreen()
{
    start();
    queue(QStringLiteral("Your order 10317 has shipped"), QStringLiteral("a@cust.test"),
          QStringLiteral("SHIPPING"));
    bool handled = false;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<TOUTBOXFORM*>(w);
        QVERIFY(box);
        const auto closeAnyway = qScopeGuard([box] { box->close(); });
        const QSize room = box->screen()->availableSize();
        QVERIFY(box->width() <= room.width() && box->height() <= room.height());
        DbGrid* grid = box->grid();
        QTRY_COMPARE(grid->horizontalScrollBar()->maximum(), 0);
        const QFontMetrics fm = grid->fontMetrics();
        const QString date = grid->model()->index(0, 0).data().toString();
        QVERIFY(fm.horizontalAdvance(date) < grid->columnWidth(0));
        QVERIFY(grid->columnWidth(2) > fm.horizontalAdvance(QStringLiteral("Your order")));
        QVERIFY(grid->columnWidth(4) > fm.horizontalAdvance(QStringLiteral("Message Type")));
        QTest::keyClick(grid, Qt::Key_Escape);
        QVERIFY(!box->isVisible());
        handled = true;
    });
    QVERIFY(fire(m_form.get(), {"PostOfficeButton", "OutBoxItem"}));
    QVERIFY(handled);
}

void TestMailWindows::outBoxFiltersAndDeletes()
{
    start();
    queue(QStringLiteral("a"), QStringLiteral("x@cust.test"), QStringLiteral("SHIP'S"));
    queue(QStringLiteral("b"), QStringLiteral("o'brien@cust.test"), QStringLiteral("SALES"));
    queue(QStringLiteral("c"), QStringLiteral("y@cust.test"), QStringLiteral("SHIP'S"));
    queue(QStringLiteral("d"), QStringLiteral("z@cust.test"));

    TOUTBOXFORM* box = TOUTBOXFORM::instance(m_form.get());
    QVERIFY(box->openOutBox());
    box->show();
    // The type filter from the grid's menu; only what it shows is sent.
    box->FilterTypeItem->trigger();
    QCOMPARE(column(box->grid(), 2), (QStringList{"a", "c"}));
    QVERIFY(box->RemoveFilterItem->isEnabled());
    box->SendAction->trigger();
    QCOMPARE(m_server->messages().size(), 2);
    QVERIFY(box->isVisible()); // b and d are still queued
    QCOMPARE(rows(box->grid()), 0);
    QVERIFY(!box->SendAction->isEnabled() && !box->EditAction->isEnabled() &&
            !box->DeleteAction->isEnabled());
    QVERIFY(m_messages->texts().isEmpty());

    // The filter stays when the window is closed and shown again.
    box->close();
    QVERIFY(box->openOutBox());
    box->show();
    QCOMPARE(rows(box->grid()), 0);
    box->RemoveFilterItem->trigger();
    QCOMPARE(column(box->grid(), 2), (QStringList{"b", "d"}));

    // A recipient with a quote is found.
    box->FilterRecipientItem->trigger();
    QCOMPARE(column(box->grid(), 1), QStringList{"o'brien@cust.test"});
    box->RemoveFilterItem->trigger();

    // "Delete all letters in the outbox of this type": not for an empty type.
    box->grid()->setFocus();
    QTest::keyClick(box->grid(), Qt::Key_Down);
    QCOMPARE(box->Message->SubjectEdit->text(), QStringLiteral("d"));
    box->updateCommands();
    QVERIFY(!box->DeleteTypeItem->isEnabled());
    QTest::keyClick(box->grid(), Qt::Key_Up);
    box->updateCommands();
    QVERIFY(box->DeleteTypeItem->isEnabled());
    m_messages->queueAnswer(Answer::Yes);
    box->DeleteTypeItem->trigger();
    QCOMPARE(m_messages->texts(), QStringList{"Are you sure you want to delete all of the letters "
                                              "in the outbox of type:\r\r\"SALES\" ?"});
    QCOMPARE(column(box->grid(), 2), QStringList{"d"});

    // Delete asks; the Delete key is the same command.
    m_messages->clear();
    m_messages->queueAnswer(Answer::No);
    QTest::keyClick(box->grid(), Qt::Key_Delete);
    QCOMPARE(m_messages->texts(), QStringList{"Delete record?"});
    QCOMPARE(rows(box->grid()), 1);
    m_messages->queueAnswer(Answer::Yes);
    box->DeleteAction->trigger();
    QCOMPARE(rows(box->grid()), 0);
    box->close();
}

void TestMailWindows::sentItems()
{
    start();
    Table sent(QStringLiteral("sentitems"));
    sent.setDirectory(dataDir());
    sent.open();
    for (const char* to : {"a@cust.test", "o'brien@cust.test", "a@cust.test, b@cust.test"}) {
        sent.insert();
        sent.setValue("TO", QString::fromLatin1(to));
        sent.setValue("SUBJECT", QStringLiteral("to ") + QString::fromLatin1(to));
        QVERIFY(sent.post());
    }
    sent.close();

    TSentItems window(m_form.get());
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Sent Items"));
    QCOMPARE(rows(window.grid()), 3);
    QVERIFY(!window.FilterAction->isEnabled());
    QVERIFY(!window.RemoveFilterAction->isEnabled());
    QTest::keyClicks(window.AddressEdit, QStringLiteral("o'brien@cust.test"));
    QVERIFY(window.FilterAction->isEnabled());
    QTest::keyClick(window.AddressEdit, Qt::Key_Return);
    QCOMPARE(column(window.grid(), 1), QStringList{"o'brien@cust.test"});
    QVERIFY(window.RemoveFilterAction->isEnabled());
    window.RemoveFilterAction->trigger();
    QVERIFY(!window.RemoveFilterAction->isEnabled());
    QCOMPARE(rows(window.grid()), 3);

    // What the customer profile uses; two addresses in one TO match neither.
    QCOMPARE(window.filterOnAddress(QStringLiteral("a@cust.test")), 1);
    QCOMPARE(window.filterOnAddress(QStringLiteral("b@cust.test")), 0);
    window.RemoveFilterAction->trigger();

    // The grid's menu filters on the current row's address.
    window.FilterAddressItem->trigger();
    QCOMPARE(rows(window.grid()), 1);

    // Delete asks nothing; Empty asks and deletes every address's copies.
    window.DeleteAction->trigger();
    QCOMPARE(rows(window.grid()), 0);
    QVERIFY(!window.DeleteAction->isEnabled());
    QVERIFY(m_messages->texts().isEmpty());
    m_messages->queueAnswer(Answer::Yes);
    window.EmptyAction->trigger();
    QCOMPARE(m_messages->texts(), QStringList{"Are you sure you want to delete all sent items?"});
    window.RemoveFilterAction->trigger();
    QCOMPARE(rows(window.grid()), 0);
    window.close();
}

void TestMailWindows::templatesWindow()
{
    start();
    Table& docs = *m_data->DocsTable;
    for (const char* name : {"Beta", "Alpha"}) {
        docs.insert();
        docs.setValue("DOCNAME", QString::fromLatin1(name));
        docs.setValue("FROM", QStringLiteral("info@shop.test"));
        docs.setValue("DOCBODY", QStringLiteral("Body of ") + QString::fromLatin1(name));
        QVERIFY(docs.post());
    }
    docs.first();

    bool handled = false;
    whenModal([&](QWidget* w) {
        auto* window = qobject_cast<TTextEditor*>(w);
        QVERIFY(window);
        const auto closeAnyway = qScopeGuard([window] { window->close(); });
        QCOMPARE(window->windowTitle(), QStringLiteral("Quillform Templates"));
        QCOMPARE(column(window->grid(), 0), (QStringList{"Alpha", "Beta"}));
        QCOMPARE(window->BodyView->toPlainText(), QStringLiteral("Body of Alpha"));
        QVERIFY(window->ModifyAction->isEnabled() && window->DeleteAction->isEnabled());

        // Typing in the body: "Modify / View" flashes red with a beep.
        QCOMPARE(window->modifyColor(), QColor(0, 0, 128));
        QTest::keyClick(window->BodyView, Qt::Key_X);
        QCOMPARE(m_messages->beeps(), 1);
        QCOMPARE(window->modifyColor(), QColor(Qt::red));
        QTRY_COMPARE(window->modifyColor(), QColor(0, 0, 128));
        QCOMPARE(window->BodyView->toPlainText(), QStringLiteral("Body of Alpha"));

        QTest::mouseClick(window->Navigator->button(RecordNavigator::Next), Qt::LeftButton);
        QCOMPARE(window->BodyView->toPlainText(), QStringLiteral("Body of Beta"));
        QCOMPARE(window->Navigator->button(RecordNavigator::First)->toolTip(),
                 QStringLiteral("First record"));

        // Enter opens the current template in the editor.
        bool editorSeen = false;
        whenModal([&](QWidget* e) {
            auto* editor = qobject_cast<Tnewio*>(e);
            editorSeen = editor && editor->windowTitle() == "Modify Quillform Template" &&
                         editor->SubjectEdit->text() == "Beta";
            QTest::keyClick(e, Qt::Key_Escape);
        });
        window->grid()->setFocus();
        QTest::keyClick(window->grid(), Qt::Key_Return);
        QVERIFY(editorSeen);

        m_messages->queueAnswer(Answer::Yes);
        window->DeleteAction->trigger();
        QCOMPARE(column(window->grid(), 0), QStringList{"Alpha"});
        m_messages->queueAnswer(Answer::Yes);
        window->DeleteAction->trigger();
        QCOMPARE(rows(window->grid()), 0);
        QVERIFY(!window->ModifyAction->isEnabled() && !window->DeleteAction->isEnabled());
        window->CloseAction->trigger();
        handled = true;
    });
    QVERIFY(fire(m_form.get(), {"PostOfficeButton", "QuillformTemplatesItem"}));
    QVERIFY(handled);
    QCOMPARE(m_messages->texts(), (QStringList{"Delete record?", "Delete record?"}));
}

void TestMailWindows::toDoList()
{
    start();
    auto addEntry = [this](TTODO* list, int priority, const QString& text, const QDateTime& when) {
        Clock::pin(when);
        whenModal([&](QWidget* w) {
            auto* form = qobject_cast<TToDoEditForm*>(w);
            QVERIFY(form);
            form->PrioritySpin->setValue(priority);
            QTest::keyClicks(form->DescriptionEdit, text);
            QTest::mouseClick(form->OKBtn, Qt::LeftButton);
        });
        list->NewAction->trigger();
    };

    bool handled = false;
    whenModal([&](QWidget* w) {
        auto* list = qobject_cast<TTODO*>(w);
        QVERIFY(list);
        const auto closeAnyway = qScopeGuard([list] { list->close(); });
        QCOMPARE(list->windowTitle(), QStringLiteral("To Do List"));
        QVERIFY(!list->EditAction->isEnabled() && !list->DeleteAction->isEnabled());
        const QDate day(2025, 3, 4);
        addEntry(list, 3, QStringLiteral("older three"), QDateTime(day, QTime(8, 0)));
        addEntry(list, 3, QStringLiteral("newer three"), QDateTime(day, QTime(9, 0)));
        addEntry(list, 5, QStringLiteral("urgent"), QDateTime(day, QTime(7, 0)));
        // Insert in the list is "New Entry".
        list->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(list));
        Clock::pin(QDateTime(day, QTime(10, 0)));
        whenModal([](QWidget* f) {
            auto* form = qobject_cast<TToDoEditForm*>(f);
            QVERIFY(form);
            form->PrioritySpin->setValue(1);
            QTest::keyClicks(form->DescriptionEdit, QStringLiteral("someday"));
            QTest::mouseClick(form->OKBtn, Qt::LeftButton);
        });
        QTest::keyClick(list->grid(), Qt::Key_Insert);
        QCOMPARE(column(list->grid(), 2),
                 (QStringList{"urgent", "newer three", "older three", "someday"}));
        QCOMPARE(column(list->grid(), 0), (QStringList{"5", "3", "3", "1"}));
        QCOMPARE(list->grid()->model()->index(0, 0).data(Qt::TextAlignmentRole).toInt() &
                     Qt::AlignHCenter,
                 int(Qt::AlignHCenter));

        // The older entry edited last comes first among its priority.
        list->grid()->setFocus();
        QTest::keyClick(list->grid(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(list->grid(), Qt::Key_Down);
        QTest::keyClick(list->grid(), Qt::Key_Down);
        QCOMPARE(list->DescriptionView->toPlainText(), QStringLiteral("older three"));
        Clock::pin(QDateTime(day, QTime(11, 0)));
        whenModal([](QWidget* f) {
            QTest::mouseClick(qobject_cast<TToDoEditForm*>(f)->OKBtn, Qt::LeftButton);
        });
        QTest::keyClick(list->grid(), Qt::Key_Return); // Edit / View Entry
        QCOMPARE(column(list->grid(), 2),
                 (QStringList{"urgent", "older three", "newer three", "someday"}));

        m_messages->queueAnswer(Answer::Yes);
        list->DeleteAction->trigger();
        QCOMPARE(m_messages->texts(), QStringList{"Delete record?"});
        QCOMPARE(rows(list->grid()), 3);
        // Every command has its Alt key, named in its tooltip.
        QCOMPARE(list->CloseAction->toolTip(), QStringLiteral("Close (Alt+C)"));
        list->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(list));
        QTest::keyClick(list->grid(), Qt::Key_C, Qt::AltModifier);
        QVERIFY(!list->isVisible());
        handled = true;
    });
    QVERIFY(fire(m_form.get(), {"ToDoButton"}));
    QVERIFY(handled);
}

QTEST_MAIN(TestMailWindows)
#include "test_mail_windows.moc"
