// "Preview Changes" in the Connections window, driven as a merchant does:
// preview, publish with "Start Session", change one tax rate, preview again.
#include "base/main_services.h"
#include "base/settings.h"
#include "common/gui/gui_helpers.h"
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "gui/sync/publish_preview_form.h"
#include "gui/sync/update_site_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace os;
using namespace os::test;

namespace {

// The preview's rows as "Change|Field|Published|Now" and its summary, read
// while it is up; then it is closed with `closeKey`.
struct Shown
{
    QString summary;
    QStringList rows;
    bool seen = false;
};

void readPreviewThenClose(Shown* shown, Qt::Key closeKey)
{
    whenModal([shown, closeKey](QWidget* w) {
        auto* form = qobject_cast<TPublishPreviewForm*>(w);
        QVERIFY(form);
        shown->seen = true;
        shown->summary = form->SummaryLabel->text();
        for (int r = 0; r < form->Differences->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < form->Differences->columnCount(); ++c)
                cells << form->Differences->item(r, c)->text();
            shown->rows << cells.join(QLatin1Char('|'));
        }
        QTest::keyClick(form->focusWidget(), closeKey);
    });
}

} // namespace

class TestPublishPreview : public QObject
{
    Q_OBJECT
private slots:
    void previewPublishPreviewAgain();
};

void TestPublishPreview::previewPublishPreviewAgain()
{
    TempHome home;
    ScriptedMessages messages;
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    settings() = Settings();
    settings().VendixManagerURL = sim.url();
    TMainDataMod data;
    QVERIFY(data.OpenCompanyDatabase(home.dataDir()));
    messages.clear();
    Query insert;
    insert.setDirectory(home.dataDir());
    insert.setSql(QStringLiteral("INSERT INTO taxes.db (CODE, DT, TT, P, TS) VALUES "
                                 "('CA', 'California', 'Orders shipped to California', 0.07, 1)"));
    insert.exec();

    NullMainServices main;
    TUpdateSiteForm form(&main);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // No password is needed to preview; nothing was published yet.
    QVERIFY(form.PreviewButton->isEnabled());
    Shown first;
    readPreviewThenClose(&first, Qt::Key_Escape);
    QTest::mouseClick(form.PreviewButton, Qt::LeftButton);
    QVERIFY(first.seen);
    QCOMPARE(first.summary, QStringLiteral("Nothing has been published from this company yet: "
                                           "publishing sends every field and row below to the "
                                           "store."));
    QVERIFY(first.rows.contains(
        QStringLiteral("Added|Regional Taxes CA (taxstring CA)||CODE=CA, DT=California, "
                       "TT=Orders shipped to California, P=0.07, TS=1")));
    // Each field by its caption in the settings windows, the posted name beside it.
    QVERIFY(first.rows.contains(
        QStringLiteral("Added|Company Name (CONFIG_company_name)||Your Company Name")));
    QVERIFY(first.rows.contains(QStringLiteral(
        "Added|Location of Home Page (CONFIG_home_page)||http://www.yourdomain.com/")));
    QCOMPARE(sim.commands(), QStringList());

    // Publish as the merchant does.
    QTest::keyClicks(form.PassEdit, sim.password());
    const auto items = form.RzTreeView1->findItems(
        QStringLiteral("Publish Options & Configurations"), Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    QTest::mouseClick(form.RzTreeView1->viewport(), Qt::LeftButton, {},
                      form.RzTreeView1->visualItemRect(items.first()).center());
    // The example addresses are named first; Yes publishes them.
    messages.queueAnswer(Answer::Yes);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(messages.texts().first().startsWith(
        QStringLiteral("These settings still hold example values: URL to the cgi-bin on your web "
                       "site, ")));
    QCOMPARE(sim.commands(), QStringList{"genconfigs="});

    // One tax rate changed: that change and nothing else; Enter closes.
    Table taxes(QStringLiteral("taxes"));
    taxes.setDirectory(home.dataDir());
    taxes.open();
    taxes.edit();
    taxes.setValue(QStringLiteral("P"), 0.0725);
    QVERIFY(taxes.post());
    Shown second;
    readPreviewThenClose(&second, Qt::Key_Return);
    QTest::mouseClick(form.PreviewButton, Qt::LeftButton);
    QVERIFY(second.seen);
    QCOMPARE(second.rows, QStringList{"Changed|Regional Taxes CA (taxstring CA)|P=0.07|P=0.0725"});
    QVERIFY2(second.summary.startsWith(QLatin1String("1 difference from the configuration "
                                                     "published on ")),
             qPrintable(second.summary));
    QCOMPARE(sim.commands(), QStringList{"genconfigs="}); // the preview sent nothing
}

QTEST_MAIN(TestPublishPreview)
#include "test_publish_preview.moc"
