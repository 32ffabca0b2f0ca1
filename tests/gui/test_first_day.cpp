// A new shop's first day in the real main window, offscreen: the Getting
// Started window driven by its buttons, a help page for every topic a window
// names, F1 where a window has no Help key of its own, the warning icon of
// the questions that destroy work.

#include "common/gui/gui_helpers.h"
#include "common/gui/program_fixture.h"

#include "common/store_sim.h"
#include "common/table_rows.h"

#include "base/ini_file.h"
#include "base/settings.h"
#include "gui/app/db_grid.h"
#include "gui/app/getting_started.h"
#include "gui/app/help_window.h"
#include "gui/app/message_box.h"
#include "gui/mail/message_fields.h"
#include "gui/mail/new_mail_message.h"
#include "gui/mail/outbox_form.h"
#include "gui/orders/orders_view.h"
#include "gui/settings/manager_connection.h"
#include "gui/storeconfig/company_info_form.h"
#include "gui/sync/update_site_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <map>

using namespace os;
using os::test::fire;
using os::test::whenModal;

namespace {

// Every help topic the program's windows and commands name, with where: the
// topic arguments of showHelpTopic, the "helpTopic" properties, the topic
// constants, and the last number given to the window bases and the shared
// button row that take a topic.
std::map<int, QString> topicsNamedInSources()
{
    std::map<int, QString> out;
    static const QRegularExpression direct(
        QStringLiteral(R"re(helpTopic",\s*(\d+)|showHelpTopic\((\d+)\)|kHelpTopic\s*=\s*(\d+))re"));
    static const QRegularExpression call(QStringLiteral(
        R"re(\b(makeDialogButtons|ConfigEditor|ChildBrowser|OrderNotesDialog|BrowseDialog)\()re"));
    static const QRegularExpression literal(QStringLiteral(R"re("(\\.|[^"\\])*")re"));
    static const QRegularExpression number(QStringLiteral(R"re((?<![\w.])(\d+)(?![\w.]))re"));
    QDirIterator it(QStringLiteral(OS_SOURCE_DIR "/src/gui"), {QStringLiteral("*.cpp")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll());
        const QString where = QFileInfo(path).fileName();
        for (auto m = direct.globalMatch(text); m.hasNext();) {
            const auto hit = m.next();
            for (int g = 1; g <= 3; ++g) {
                if (!hit.captured(g).isEmpty())
                    out.emplace(hit.captured(g).toInt(), where);
            }
        }
        for (auto m = call.globalMatch(text); m.hasNext();) {
            const auto hit = m.next();
            int depth = 1;
            qsizetype end = hit.capturedEnd();
            while (depth > 0 && end < text.size()) {
                if (text.at(end) == QLatin1Char('('))
                    ++depth;
                else if (text.at(end) == QLatin1Char(')'))
                    --depth;
                ++end;
            }
            QString args = text.mid(hit.capturedEnd(), end - hit.capturedEnd());
            args.replace(literal, QStringLiteral("\"\""));
            QString last;
            for (auto n = number.globalMatch(args); n.hasNext();)
                last = n.next().captured(1);
            if (!last.isEmpty())
                out.emplace(last.toInt(), where);
        }
    }
    return out;
}

bool hasPage(int topic)
{
    return QFile::exists(QStringLiteral(":/help/topic%1.html").arg(topic));
}

QString shownHelpSource()
{
    THelpWindow* help = THelpWindow::current();
    return help && help->isVisible() ? help->browser()->source().toString() : QString();
}

QString ini(const QString& path, const QString& section, const QString& key)
{
    IniFile f(path);
    f.load();
    return f.value(section, key, QStringLiteral("(none)"));
}

} // namespace

class TestFirstDay : public test::ProgramFixture
{
    Q_OBJECT

    TGettingStarted* gettingStarted() const
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* g = qobject_cast<TGettingStarted*>(w); g && g->isVisible())
                return g;
        }
        return nullptr;
    }
    QStringList states(TGettingStarted* g) const
    {
        QStringList out;
        for (int i = 0; i < TGettingStarted::StepCount; ++i)
            out << g->stateLabel(TGettingStarted::Step(i))->text();
        return out;
    }
    void click(TGettingStarted* g, const char* button)
    {
        auto* b = g->findChild<QPushButton*>(QString::fromLatin1(button));
        QVERIFY2(b && b->isEnabled(), button);
        QTest::mouseClick(b, Qt::LeftButton);
    }

private slots:
    void initTestCase() { installWindowServices(); }
    void init() { newHome(); }
    void cleanup()
    {
        closeHelpWindow();
        closeProgram();
    }

    void everyNamedTopicHasAPage()
    {
        const std::map<int, QString> topics = topicsNamedInSources();
        // The scan finds the windows' topics (the Orders View's through its
        // base, New E-mail Messages' through its constant).
        QVERIFY(topics.count(42) && topics.count(39) && topics.count(26) && topics.count(30));
        QStringList missing;
        for (const auto& [topic, where] : topics) {
            if (!hasPage(topic))
                missing << QStringLiteral("%1 (%2)").arg(topic).arg(where);
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));

        // Every link between pages leads to a page.
        QStringList broken;
        QDirIterator pages(QStringLiteral(":/help"), {QStringLiteral("*.html")});
        static const QRegularExpression link(
            QStringLiteral(R"re(href="(topic\d+\.html|contents\.html)")re"));
        int links = 0;
        while (pages.hasNext()) {
            const QString page = pages.next();
            QFile f(page);
            QVERIFY(f.open(QIODevice::ReadOnly));
            for (auto m = link.globalMatch(QString::fromUtf8(f.readAll())); m.hasNext();) {
                ++links;
                const QString target = m.next().captured(1);
                if (!QFile::exists(QStringLiteral(":/help/") + target))
                    broken << page + QStringLiteral(" -> ") + target;
            }
        }
        QVERIFY(links > 20);
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QStringLiteral(", "))));
    }

    // F1 in New E-mail Messages (opened from "Post Office") shows its page.
    void f1InNewEmailMessages()
    {
        showProgram();
        QString shown;
        whenModal([&](QWidget* w) {
            auto* window = qobject_cast<TNewMailMessage*>(w);
            QVERIFY(window);
            QTest::keyClick(window->Fields->ToEdit, Qt::Key_F1);
            shown = shownHelpSource();
            QTest::keyClick(window, Qt::Key_Escape);
        });
        QVERIFY(fire(m_form.get(), {QStringLiteral("NewEmailItem")}));
        QCOMPARE(shown, helpTopicUrl(39).toString());
    }

    void gettingStartedLeadsThroughTheFirstSteps()
    {
        test::StoreSim sim;
        QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
        sim.generateOrders(2, 500);
        showProgram(false); // a new shop: the tables are made now
        LoadSettings();
        m_form->showGettingStartedAtStart();
        TGettingStarted* g = gettingStarted();
        QVERIFY(g);
        QCOMPARE(g->windowTitle(), QStringLiteral("Getting Started"));
        const QStringList todo(6, QStringLiteral("To do"));
        // A new installation accepts credit cards and has no card types yet.
        QCOMPARE(states(g), todo);

        // The store's address, through "&Net Connection Settings".
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TManagerConnection*>(w);
            QVERIFY(d);
            d->URLEdit->selectAll();
            QTest::keyClicks(d->URLEdit, sim.url());
            QTest::mouseClick(d->OKBtn, Qt::LeftButton);
        });
        click(g, "StoreButton");
        QCOMPARE(states(g), QStringList({"Done", "To do", "To do", "To do", "To do", "To do"}));
        QCOMPARE(settings().VendixManagerURL, sim.url());

        // "Company Information": still the example name is not done.
        whenModal([&](QWidget* w) {
            auto* d = qobject_cast<TCompanyInfoForm*>(w);
            QVERIFY(d);
            d->CompanyNameEdit->selectAll();
            QTest::keyClicks(d->CompanyNameEdit, QStringLiteral("Rose Garden Ltd"));
            QTest::mouseClick(d->OKBtn, Qt::LeftButton);
        });
        click(g, "CompanyButton");
        QCOMPARE(states(g).at(TGettingStarted::CompanyStep), QStringLiteral("Done"));

        // A first retrieval: the Connections window comes with the action
        // chosen and the cursor in the password; the session is the merchant's.
        click(g, "RetrievalButton");
        QMdiSubWindow* sub = m_form->mdiArea()->activeSubWindow();
        auto* site = sub ? qobject_cast<TUpdateSiteForm*>(sub->widget()) : nullptr;
        QVERIFY(site);
        QCOMPARE(site->MainLabel->text(), QStringLiteral("Get Orders & Information"));
        QCOMPARE(states(g).at(TGettingStarted::RetrievalStep), QStringLiteral("To do"));
        QTest::keyClicks(site->PassEdit, sim.password());
        QTest::mouseClick(site->Button1, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(states(g).at(TGettingStarted::RetrievalStep),
                                  QStringLiteral("Done"), 60000);
        QCOMPARE(ini(installationFile(), "GettingStarted", "FirstRetrieval"), QStringLiteral("1"));
        QCOMPARE(QDir(m_home->dataDir() + QStringLiteral("/html"))
                     .entryList({QStringLiteral("*inv.html")}, QDir::Files)
                     .size(),
                 2);

        // A first publish: the example addresses still in the settings are
        // named first, with the warning sign; No sends nothing and leaves
        // the step to do.
        click(g, "PublishButton");
        QCOMPARE(site->MainLabel->text(), QStringLiteral("Publish Options & Configurations"));
        m_messages->clear();
        sim.clearCommands();
        m_messages->queueAnswer(Answer::No);
        QTest::mouseClick(site->Button1, Qt::LeftButton);
        const QString question = QStringLiteral(
            "These settings still hold example values: URL to the cgi-bin on your web site, https "
            "location to the cgi-bin, Location of Home Page, Web Site Store Entrance, Location of "
            "Policies Page, Affiliate location, Order Notification e-mail, Information e-mail, "
            "Webmaster e-mail, Billing e-mail. Publish anyway?");
        QCOMPARE(m_messages->texts(), QStringList{question});
        QCOMPARE(m_messages->shown().first().icon, MessageKind::Warning);
        QVERIFY(!sim.commands().contains(QStringLiteral("genconfigs=")));
        QCOMPARE(states(g).at(TGettingStarted::PublishStep), QStringLiteral("To do"));

        // Yes publishes them.
        m_messages->clear();
        m_messages->queueAnswer(Answer::Yes);
        QTest::mouseClick(site->Button1, Qt::LeftButton);
        QCOMPARE(m_messages->texts(), QStringList{question});
        QVERIFY(sim.commands().contains(QStringLiteral("genconfigs=")));
        QCOMPARE(states(g).at(TGettingStarted::PublishStep), QStringLiteral("Done"));
        m_messages->clear();

        // Help and F1 show the Getting Started page.
        g->activateWindow();
        QTest::mouseClick(g->findChild<QPushButton*>(QStringLiteral("HelpButton")), Qt::LeftButton);
        QCOMPARE(shownHelpSource(), helpTopicUrl(45).toString());
        closeHelpWindow();
        // The merchant clicks into the window (offscreen there is no window
        // manager to make it the active one).
        QApplication::setActiveWindow(g);
        QTRY_COMPARE(QApplication::activeWindow(), g);
        QTest::keyClick(g->findChild<QCheckBox*>(QStringLiteral("DontShowBox")), Qt::Key_F1);
        QCOMPARE(shownHelpSource(), helpTopicUrl(45).toString());

        // "Don't show at start" is kept with the installation; Escape closes.
        QTest::keyClick(g->findChild<QCheckBox*>(QStringLiteral("DontShowBox")), Qt::Key_Space);
        QCOMPARE(ini(installationFile(), "GettingStarted", "ShowAtStart"), QStringLiteral("0"));
        QTest::keyClick(g, Qt::Key_Escape);
        QTRY_VERIFY(!gettingStarted());
        m_form->showGettingStartedAtStart();
        QVERIFY(!gettingStarted());

        // "Help" > "Getting Started" opens it whatever the setting, the
        // states read again.
        QVERIFY(fire(m_form.get(), {QStringLiteral("GettingStartedItem")}));
        g = gettingStarted();
        QVERIFY(g);
        QCOMPARE(states(g), QStringList({"Done", "To do", "Done", "To do", "Done", "Done"}));
        QVERIFY(g->findChild<QCheckBox*>(QStringLiteral("DontShowBox"))->isChecked());
        g->close();
    }

    // The questions that destroy work show the warning sign, through the
    // QMessageBox service: Mark ALL and Delete Order in the Orders View,
    // "delete all letters of this type" in the OutBox.
    void destroyingQuestionsShowTheWarningIcon()
    {
        TMainDataMod::CreateMissingTables(m_home->dataDir());
        test::insertRows(m_home->dataDir(), "orders",
                         {test::orderRow(1, "New"), test::orderRow(2, "New")});
        showProgram();
        QtMessageService boxes;
        ScopedMessageService scope(&boxes);
        auto* v = openChild<TOrdersView>("OrdersButton");
        QVERIFY(v);

        QList<QPair<QMessageBox::Icon, QString>> seen;
        auto answerNo = [&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            seen.append({box->icon(), box->text()});
            QTest::keyClick(box, Qt::Key_Escape);
        };
        whenModal(answerNo);
        QVERIFY(fire(v, {"ActivitiesBut", "MarkALLofTheseOrders1", "Void2"}));
        whenModal(answerNo);
        QVERIFY(fire(v, {"ActivitiesBut", "Deleterecord1"}));
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen.at(0).first, QMessageBox::Warning);
        QCOMPARE(seen.at(0).second, QStringLiteral("You are about to mark ALL New orders to Void. "
                                                   "Are you sure you want to do this?"));
        QCOMPARE(seen.at(1).first, QMessageBox::Warning);
        QVERIFY(
            seen.at(1).second.startsWith(QStringLiteral("You are about to delete this order.")));
        QCOMPARE(test::firstColumnNumbers(v->Grid->model()).size(), 2); // No kept them

        // A plain question keeps the question mark.
        seen.clear();
        whenModal(answerNo);
        QVERIFY(fire(v, {"ActivitiesBut", "MarkOrder1", "PaymentReceived1"}));
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).first, QMessageBox::Question);
    }
};

QTEST_MAIN(TestFirstDay)
#include "test_first_day.moc"
