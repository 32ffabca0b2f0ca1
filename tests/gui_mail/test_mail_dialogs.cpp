// The mail and to-do dialogs offscreen, driven through their own buttons,
// menus and keys: the "Sending Mail" group of the net connection settings,
// the template editor, composing a letter for a customer, editing a queued
// message and a to-do entry.

#include "base/clock.h"
#include "base/settings.h"
#include "common/gui/gui_helpers.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/mail/edit_message.h"
#include "gui/mail/message_fields.h"
#include "gui/mail/new_mail_message.h"
#include "gui/mail/new_message_type.h"
#include "gui/mail/newio.h"
#include "gui/settings/manager_connection.h"
#include "gui/todo/to_do_edit_form.h"
#include "todo/todo_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>

using namespace os;
using namespace os::test;

namespace {

QStringList subjects(const QString& dir, const QString& table)
{
    Table t(table);
    t.setDirectory(dir);
    t.open();
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.value(table == QLatin1String("form_letters") ? "DOCNAME" : "SUBJECT").toString();
    return out;
}

// The highlighted ranges of the body's first block, as "start+length".
QStringList formats(const QPlainTextEdit* edit, int block = 0)
{
    QStringList out;
    const QTextBlock b = edit->document()->findBlockByNumber(block);
    for (const QTextLayout::FormatRange& r : b.layout()->formats())
        out << QStringLiteral("%1+%2").arg(r.start).arg(r.length);
    return out;
}

QAction* menuItem(QToolButton* button, const QStringList& path)
{
    QMenu* menu = button->menu();
    QAction* found = nullptr;
    for (const QString& caption : path) {
        found = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text() == caption)
                found = a;
        }
        if (!found)
            return nullptr;
        if (found->menu())
            menu = found->menu();
    }
    return found;
}

} // namespace

class TestMailDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void sendingMailGroup();
    void templateEditorExamplesAndTags();
    void templateEditorStoresAndRefusesDuplicates();
    void highlighting();
    void letterForACustomer();
    void newMessageRefusedThenCancelled();
    void newMessageTypeWhenTheOutboxFails();
    void newMessageTypeRefusesSeveralAddresses();
    void editMessage();
    void toDoEntry();

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_data;
};

void TestMailDialogs::init()
{
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
    settings() = Settings();
    settings().CompanyName = QStringLiteral("Acme & Sons");
    settings().infoMail = QStringLiteral("info@acme.test");
    settings().Home_page = QStringLiteral("https://acme.test/");
    settings().CompanyPhone = QStringLiteral("555-0100");
    m_data = std::make_unique<TMainDataMod>();
    QVERIFY(m_data->OpenCompanyDatabase(m_home->dataDir()));
}

void TestMailDialogs::cleanup()
{
    m_data.reset();
    m_messages.reset();
    m_home.reset();
    Clock::pin(QDateTime());
}

void TestMailDialogs::sendingMailGroup()
{
    // An older zr.ini: no security, no login.
    {
        TManagerConnection dialog;
        QCOMPARE(dialog.SecurityCombo->currentText(), QStringLiteral("None"));
        QVERIFY(dialog.UserEdit->text().isEmpty());
        QVERIFY(!dialog.RememberBox->isEnabled());
        // The usual port follows the security; a port of one's own stays.
        QCOMPARE(dialog.PortSpin->value(), 25);
        dialog.SecurityCombo->setFocus();
        QTest::keyClick(dialog.SecurityCombo, Qt::Key_Down);
        QCOMPARE(dialog.SecurityCombo->currentText(), QStringLiteral("STARTTLS"));
        QCOMPARE(dialog.PortSpin->value(), 587);
        QTest::keyClick(dialog.SecurityCombo, Qt::Key_Down);
        QCOMPARE(dialog.PortSpin->value(), 465);
        dialog.PortSpin->setValue(2465);
        QTest::keyClick(dialog.SecurityCombo, Qt::Key_Up);
        QCOMPARE(dialog.PortSpin->value(), 2465);

        QTest::keyClicks(dialog.UserEdit, QStringLiteral("shop@acme.test"));
        QVERIFY(dialog.RememberBox->isEnabled());
        dialog.RememberBox->click();
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    settings() = Settings();
    LoadSettings();
    QCOMPARE(settings().SMTPSecurity, 1);
    QCOMPARE(settings().SMTPPORT, 2465);
    QCOMPARE(settings().SMTPUser, QStringLiteral("shop@acme.test"));
    QVERIFY(settings().SMTPRememberPassword);
    {
        TManagerConnection dialog;
        QCOMPARE(dialog.SecurityCombo->currentText(), QStringLiteral("STARTTLS"));
        QVERIFY(dialog.RememberBox->isChecked());
        // Without a user name there is nothing to remember.
        dialog.UserEdit->clear();
        QVERIFY(!dialog.RememberBox->isEnabled());
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    }
    QVERIFY(!settings().SMTPRememberPassword);
    QVERIFY(settings().SMTPUser.isEmpty());
}

void TestMailDialogs::templateEditorExamplesAndTags()
{
    Tnewio editor(Tnewio::Mode::New);
    QCOMPARE(editor.windowTitle(), QStringLiteral("New Quillform Template"));
    QVERIFY(!editor.OKBtn->isEnabled());
    // "Show me an example" blinks until the mouse comes to it.
    QVERIFY(editor.isBlinking());
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(editor.ExampleBtn, &enter);
    QVERIFY(!editor.isBlinking());

    QAction* coupon =
        menuItem(editor.ExampleBtn,
                 {"Online Promotions (Customers View -> Build List)", "Coupon Promotion"});
    QVERIFY(coupon);
    coupon->trigger();
    QCOMPARE(editor.SubjectEdit->text(), QStringLiteral("A Present From Acme & Sons"));
    QCOMPARE(editor.FromEdit->text(), QStringLiteral("\"Acme & Sons\" <info@acme.test>"));
    const QString body = editor.BodyEdit->toPlainText();
    QVERIFY(body.startsWith(QStringLiteral("Dear %io_name%,\n\nAs an account holder at Acme & "
                                           "Sons, we want")));
    QVERIFY(!body.contains(QStringLiteral("<COMPANY_NAME>")));
    QVERIFY(body.endsWith(QStringLiteral("Visit us at:  https://acme.test/\n\nWith Regards,\n\n"
                                         "The entire staff of Acme & Sons")));
    QVERIFY(editor.OKBtn->isEnabled());

    const struct
    {
        QStringList path;
        QString subject;
    } examples[] = {
        {{"Generic Letter"}, "Acme & Sons"},
        {{"Shipping Notification (Orders View -> Shipping Wizard)", "Partially Shipped"},
         "Notice Of Partial Shipment -- Acme & Sons"},
        {{"Shipping Notification (Orders View -> Shipping Wizard)", "Completely Shipped"},
         "Notice Of Shipment -- Acme & Sons"},
        {{"Thank You Letter (Orders View -> Mark Complete)"}, "Thank You From Acme & Sons"},
        {{"Online Promotions (Customers View -> Build List)", "Blow-Out Sale!"},
         "Blow Out Sale At Acme & Sons"},
    };
    for (const auto& e : examples) {
        QAction* a = menuItem(editor.ExampleBtn, e.path);
        QVERIFY2(a, qPrintable(e.path.join('/')));
        a->trigger();
        QCOMPARE(editor.SubjectEdit->text(), e.subject);
        QVERIFY(!editor.BodyEdit->toPlainText().contains(QLatin1Char('<')) ||
                e.path.first() == QLatin1String("Generic Letter"));
    }
    // The partial shipment adds its line right before the shipping block.
    menuItem(editor.ExampleBtn,
             {"Shipping Notification (Orders View -> Shipping Wizard)", "Partially Shipped"})
        ->trigger();
    QVERIFY(editor.BodyEdit->toPlainText().contains(
        QStringLiteral("\n\nNote that not all items have been shipped:\n"
                       "%io_shipping_info_structure%\n\n")));
    menuItem(editor.ExampleBtn, {"Generic Letter"})->trigger();
    QCOMPARE(editor.BodyEdit->toPlainText(),
             QStringLiteral("Dear %io_name%,\n\n<Place Comments Here Before Sending>\n\n"
                            "With Regards,\n\nThe entire staff of Acme & Sons\n--------------\n"
                            "Email: info@acme.test\nHome Page: https://acme.test/"));

    // A tag replaces the selection at the caret.
    editor.BodyEdit->setPlainText(QStringLiteral("Dear NAME, thanks"));
    QTextCursor c = editor.BodyEdit->textCursor();
    c.setPosition(5);
    c.setPosition(9, QTextCursor::KeepAnchor);
    editor.BodyEdit->setTextCursor(c);
    menuItem(editor.TagsBtn, {"Global Name"})->trigger();
    QCOMPARE(editor.BodyEdit->toPlainText(), QStringLiteral("Dear %io_name%, thanks"));
    menuItem(editor.TagsBtn, {"Orders View Only", "Shipping Wizard", "Shipping Info"})->trigger();
    menuItem(editor.TagsBtn, {"Global Address", "ZIP"})->trigger();
    QCOMPARE(editor.BodyEdit->toPlainText(),
             QStringLiteral("Dear %io_name%%io_shipping_info_structure%%io_zip%, thanks"));

    // OK only with all three.
    editor.FromEdit->clear();
    QVERIFY(!editor.OKBtn->isEnabled());
}

void TestMailDialogs::templateEditorStoresAndRefusesDuplicates()
{
    {
        Tnewio editor(Tnewio::Mode::New);
        QTest::keyClicks(editor.SubjectEdit, QStringLiteral("Welcome"));
        QTest::keyClicks(editor.FromEdit, QStringLiteral("info@acme.test"));
        QTest::keyClicks(editor.BodyEdit, QStringLiteral("Hello %io_name%"));
        QTest::keyClick(editor.BodyEdit, Qt::Key_Return); // a new line, not OK
        QVERIFY(editor.isVisible() || !editor.result());
        QTest::keyClicks(editor.BodyEdit, QStringLiteral("Bye"));
        QTest::mouseClick(editor.OKBtn, Qt::LeftButton);
        QCOMPARE(editor.result(), int(QDialog::Accepted));
    }
    QCOMPARE(subjects(m_home->dataDir(), "form_letters"), QStringList{"Welcome"});
    QCOMPARE(m_data->DocsTable->value("DOCBODY").toString(),
             QStringLiteral("Hello %io_name%\nBye"));

    Tnewio second(Tnewio::Mode::New);
    second.SubjectEdit->setText(QStringLiteral("Welcome"));
    second.FromEdit->setText(QStringLiteral("other@acme.test"));
    second.BodyEdit->setPlainText(QStringLiteral("Other"));
    QTest::mouseClick(second.OKBtn, Qt::LeftButton);
    QCOMPARE(m_messages->texts(),
             QStringList{"Ordersentinel failed to add the Quillform Template to the Quillform "
                         "database.\r\r The most likely reason is that you have an Quillform "
                         "Template with the same subject in the database. Each Quillform "
                         "Template must have a unique subject."});
    QCOMPARE(second.result(), 0);
    QCOMPARE(second.SubjectEdit->text(), QStringLiteral("Welcome")); // the fields stay
    QCOMPARE(m_data->DocsTable->state(), Table::State::Browse);
    QCOMPARE(subjects(m_home->dataDir(), "form_letters"), QStringList{"Welcome"});

    // Modify: renamed in place.
    Tnewio modify(Tnewio::Mode::Modify);
    QCOMPARE(modify.windowTitle(), QStringLiteral("Modify Quillform Template"));
    QCOMPARE(modify.FromEdit->text(), QStringLiteral("info@acme.test"));
    modify.SubjectEdit->setText(QStringLiteral("Welcome aboard"));
    QTest::mouseClick(modify.OKBtn, Qt::LeftButton);
    QCOMPARE(subjects(m_home->dataDir(), "form_letters"), QStringList{"Welcome aboard"});
}

void TestMailDialogs::highlighting()
{
    Tnewio editor(Tnewio::Mode::New);
    editor.show();
    editor.BodyEdit->setPlainText(
        QStringLiteral("Hi %IO_NAME%, %io_order_total% <! note\nstill note !> %io_nothing%"));
    QCOMPARE(formats(editor.BodyEdit, 0), (QStringList{"3+9", "14+16", "31+7"}));
    QCOMPARE(formats(editor.BodyEdit, 1), (QStringList{"0+13"}));
}

void TestMailDialogs::letterForACustomer()
{
    Clock::pin(QDateTime(QDate(2025, 3, 4), QTime(10, 0)));
    Table& docs = *m_data->DocsTable;
    docs.insert();
    docs.setValue("DOCNAME", QStringLiteral("Thanks"));
    docs.setValue("FROM", QStringLiteral("\"Acme\" <info@acme.test>"));
    docs.setValue("DOCBODY", QStringLiteral("Dear %io_name% of %io_city%, total "
                                            "%io_order_total%.%io_shipping_info_structure%"));
    QVERIFY(docs.post());

    Table customers(QStringLiteral("customers"));
    customers.setDirectory(m_home->dataDir());
    customers.open();
    customers.insert();
    customers.setValue("CUSTID", 7);
    customers.setValue("NAME", QStringLiteral("Pat O'Brien"));
    customers.setValue("CITY", QStringLiteral("Cork"));
    customers.setValue("EMAIL", QStringLiteral("pat@cust.test"));
    QVERIFY(customers.post());

    TNewMessageType dialog(customers);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("New Message Type"));
    QCOMPARE(dialog.TemplateCombo->count(), 2);
    QCOMPARE(dialog.TemplateCombo->itemText(0), QString());
    dialog.TemplateCombo->setCurrentIndex(1);

    bool posted = false;
    whenModal([&](QWidget* w) {
        auto* window = qobject_cast<TNewMailMessage*>(w);
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("New E-mail Message"));
        QCOMPARE(window->StateLabel->text(), QStringLiteral("Insert"));
        QCOMPARE(window->Fields->ToEdit->text(), QStringLiteral("pat@cust.test"));
        QCOMPARE(window->Fields->SubjectEdit->text(), QStringLiteral("Thanks"));
        QCOMPARE(window->Fields->BodyEdit->toPlainText(),
                 QStringLiteral("Dear Pat O'Brien of Cork, total ."));
        QCOMPARE(window->Fields->TypeCombo->itemText(1), QStringLiteral("COLLECTION"));
        window->Fields->TypeCombo->setCurrentText(QStringLiteral("SALES"));
        QTest::mouseClick(window->PostBtn, Qt::LeftButton);
        posted = !window->isVisible();
    });
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QVERIFY(posted);
    QCOMPARE(m_messages->texts(), QStringList{"Message added to your OutBox"});
    QVERIFY(!m_data->OUTBOX->isOpen());
    Table out(QStringLiteral("outbox"));
    out.setDirectory(m_home->dataDir());
    out.open();
    QCOMPARE(out.recordCount(), 1);
    QCOMPARE(out.value("TYPE").toString(), QStringLiteral("SALES"));
    QCOMPARE(out.value("FROM").toString(), QStringLiteral("\"Acme\" <info@acme.test>"));
    QCOMPARE(out.value("IDATE").toDateTime(), QDateTime(QDate(2025, 3, 4), QTime(10, 0)));

    // A template that went away meanwhile: the dialog stays open.
    TNewMessageType again(customers);
    again.TemplateCombo->setCurrentIndex(1);
    docs.first();
    docs.remove();
    m_messages->clear();
    QTest::mouseClick(again.OKBtn, Qt::LeftButton);
    QCOMPARE(m_messages->texts(),
             QStringList{"Could not create form letter because the form letter name was "
                         "invalid."});
    QCOMPARE(again.result(), 0);
}

void TestMailDialogs::newMessageRefusedThenCancelled()
{
    // Without a template: only To is filled; From takes infoMail when entered.
    Table customers(QStringLiteral("customers"));
    customers.setDirectory(m_home->dataDir());
    customers.open();
    customers.insert();
    customers.setValue("CUSTID", 8);
    customers.setValue("EMAIL", QStringLiteral("lee@cust.test"));
    QVERIFY(customers.post());
    TNewMessageType dialog(customers);
    bool stayed = false;
    whenModal([&](QWidget* w) {
        auto* window = qobject_cast<TNewMailMessage*>(w);
        QCOMPARE(window->Fields->FromEdit->text(), QString());
        window->Fields->FromEdit->setFocus();
        QCOMPARE(window->Fields->FromEdit->text(), QStringLiteral("info@acme.test"));
        QTest::mouseClick(window->PostBtn, Qt::LeftButton); // no subject, no body
        stayed = window->isVisible();
        QCOMPARE(window->StateLabel->text(), QStringLiteral("Insert"));
        QTest::keyClick(window, Qt::Key_Escape); // cancels the new message
    });
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QVERIFY(stayed);
    QCOMPARE(m_messages->texts(),
             QStringList{"A message must contain a \"To\", \"From\" and \"Subject\" field, as "
                         "well as a \"Message Body\"."});
    QVERIFY(!m_data->OUTBOX->isOpen());
    QVERIFY(subjects(m_home->dataDir(), "outbox").isEmpty());
}

void TestMailDialogs::newMessageTypeWhenTheOutboxFails()
{
    // The outbox cannot be opened: the message says why and New E-mail
    // Message does not open over whatever row the outbox was on.
    Table customers(QStringLiteral("customers"));
    customers.setDirectory(m_home->dataDir());
    customers.open();
    customers.insert();
    customers.setValue("CUSTID", 9);
    customers.setValue("EMAIL", QStringLiteral("kim@cust.test"));
    QVERIFY(customers.post());
    QVERIFY(!m_data->OUTBOX->isOpen());
    const QString file = QDir(m_home->dataDir()).filePath(QStringLiteral("outbox.db"));
    QVERIFY(QFile::remove(file));

    TNewMessageType dialog(customers);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    bool opened = false;
    whenModal([&](QWidget* w) {
        opened = true;
        w->close();
    });
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QCOMPARE(m_messages->texts(), QStringList{QStringLiteral("Table does not exist: ") + file});
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    // A modal window that came up would have been seen by now.
    QTest::qWait(50);
    QVERIFY(!opened);
    QVERIFY(!m_data->OUTBOX->isOpen());
    // Clear the pending watch with a window of our own.
    QDialog spare;
    QTimer::singleShot(0, &spare, [&spare] { spare.reject(); });
    spare.exec();
}

void TestMailDialogs::newMessageTypeRefusesSeveralAddresses()
{
    // An order whose store-sent address holds two addresses makes no
    // letter; the dialog stays for another choice.
    Table orders(QStringLiteral("orders"));
    orders.setDirectory(m_home->dataDir());
    orders.open();
    orders.insert();
    orders.setValue("INV", 4711);
    orders.setValue("EMAIL", QStringLiteral("victim@example.com, attacker@evil.test"));
    QVERIFY(orders.post());
    TNewMessageType dialog([&orders](const QString& column) { return orders.value(column); }, true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(dialog.OKBtn, Qt::Key_Space);
    QCOMPARE(m_messages->texts(),
             QStringList{"No letter was made: the e-mail address of order 4711 "
                         "(\"victim@example.com, attacker@evil.test\") is not exactly one "
                         "address."});
    QVERIFY(dialog.isVisible());
    QVERIFY(subjects(m_home->dataDir(), "outbox").isEmpty());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
}

void TestMailDialogs::editMessage()
{
    Table myOut(QStringLiteral("outbox"));
    myOut.setDirectory(m_home->dataDir());
    myOut.open();
    myOut.insert();
    myOut.setValue("TO", QStringLiteral("a@cust.test"));
    myOut.setValue("SUBJECT", QStringLiteral("Old"));
    myOut.setValue("BODY", QStringLiteral("text"));
    QVERIFY(myOut.post());

    myOut.edit();
    {
        TEditMessage window(&myOut);
        QCOMPARE(window.windowTitle(), QStringLiteral("Edit Message"));
        QCOMPARE(window.StateLabel->text(), QStringLiteral("Edit"));
        QCOMPARE(window.Fields->SubjectEdit->text(), QStringLiteral("Old"));
        window.Fields->SubjectEdit->clear(); // empty fields are stored as they are
        QTest::keyClicks(window.Fields->SubjectEdit, QStringLiteral("New"));
        window.Fields->ToEdit->clear();
        QTest::mouseClick(window.PostBtn, Qt::LeftButton);
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }
    QCOMPARE(myOut.value("SUBJECT").toString(), QStringLiteral("New"));
    QVERIFY(myOut.value("TO").isNull());
    myOut.edit();
    {
        TEditMessage window(&myOut);
        window.Fields->SubjectEdit->setText(QStringLiteral("Discarded"));
        QTest::mouseClick(window.CancelBtn, Qt::LeftButton);
    }
    QCOMPARE(myOut.state(), Table::State::Browse);
    QCOMPARE(myOut.value("SUBJECT").toString(), QStringLiteral("New"));
    QVERIFY(m_messages->texts().isEmpty());
}

void TestMailDialogs::toDoEntry()
{
    Clock::pin(QDateTime(QDate(2025, 3, 4), QTime(8, 0)));
    Table todo(QStringLiteral("todo"));
    todo.setDirectory(m_home->dataDir());
    setupTodoTable(todo);
    todo.open();

    // A new entry: priority 0 unless changed; Enter adds nothing; an empty
    // description is refused and the dialog stays.
    todo.last();
    todo.insert();
    {
        TToDoEditForm form(&todo);
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("To Do Entry"));
        QCOMPARE(form.PrioritySpin->value(), 0);
        QCOMPARE(form.PrioritySpin->maximum(), 5);
        QTest::mouseClick(form.OKBtn, Qt::LeftButton);
        QCOMPARE(m_messages->texts(),
                 QStringList{"A To Do item must have a priority and a description."});
        QVERIFY(form.isVisible());
        QTest::keyClicks(form.DescriptionEdit, QStringLiteral("Call the bank"));
        QTest::keyClick(form.DescriptionEdit, Qt::Key_Return);
        QTest::keyClick(form.DescriptionEdit, Qt::Key_Enter);
        QTest::keyClicks(form.DescriptionEdit, QStringLiteral(" today"));
        QCOMPARE(form.DescriptionEdit->toPlainText(), QStringLiteral("Call the bank today"));
        form.DescriptionEdit->insertPlainText(QStringLiteral("\nand\nmore") + QString(300, 'x'));
        QVERIFY(!form.DescriptionEdit->toPlainText().contains('\n'));
        QCOMPARE(form.DescriptionEdit->toPlainText().size(), 255);
        form.close(); // closing saves like OK
        QVERIFY(!form.isVisible());
    }
    QCOMPARE(todo.state(), Table::State::Browse);
    QCOMPARE(todo.value("PRIORITY").toInt(), 0);
    QVERIFY(todo.value("DESCRIPTION").toString().startsWith("Call the bank today and more"));
    QCOMPARE(todo.value("IDATE").toDateTime(), QDateTime(QDate(2025, 3, 4), QTime(8, 0)));

    // Edit with OK and nothing changed still stamps the time; Cancel discards.
    Clock::pin(QDateTime(QDate(2025, 3, 5), QTime(9, 30)));
    todo.edit();
    {
        TToDoEditForm form(&todo);
        QTest::mouseClick(form.OKBtn, Qt::LeftButton);
    }
    QCOMPARE(todo.value("IDATE").toDateTime(), QDateTime(QDate(2025, 3, 5), QTime(9, 30)));
    todo.edit();
    {
        TToDoEditForm form(&todo);
        form.PrioritySpin->setValue(5);
        QTest::mouseClick(form.CancelBtn, Qt::LeftButton);
    }
    QCOMPARE(todo.state(), Table::State::Browse);
    QCOMPARE(todo.value("PRIORITY").toInt(), 0);
}

QTEST_MAIN(TestMailDialogs)
#include "test_mail_dialogs.moc"
