#include "common/gui/program_fixture.h"

#include "common/gui/gui_helpers.h"

#include <QAbstractItemModel>
#include <QTest>
#include <QToolButton>

namespace os::test {

void ProgramFixture::newHome()
{
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
}

void ProgramFixture::showProgram(bool createTables)
{
    if (createTables)
        TMainDataMod::CreateMissingTables(m_home->dataDir());
    m_form = std::make_unique<TMainForm>();
    m_form->resize(1200, 800);
    m_form->show();
    m_dm = std::make_unique<TMainDataMod>();
    m_form->openDatabaseCommand();
    QVERIFY(m_dm->isOpen());
}

void ProgramFixture::closeProgram()
{
    m_form.reset();
    m_dm.reset();
    QVERIFY(!m_messages->unexpectedQuestion());
    m_messages.reset();
    m_home.reset();
    QTest::qWait(0);
}

bool ProgramFixture::fireButton(const char* button)
{
    return fire(m_form.get(), {QString::fromLatin1(button)});
}

QList<int> firstColumnNumbers(const QAbstractItemModel* model)
{
    QList<int> out;
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->index(r, 0).data().toInt();
    return out;
}

bool toolButtonOn(const QWidget* root, const char* name)
{
    const auto* button = root->findChild<QToolButton*>(QString::fromLatin1(name));
    return button && button->isEnabled();
}

} // namespace os::test
