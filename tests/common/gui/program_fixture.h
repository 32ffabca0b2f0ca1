#pragma once

#include "common/scripted_messages.h"
#include "common/temp_home.h"
#include "data/main_data_mod.h"
#include "gui/app/main_form.h"

#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <memory>

class QAbstractItemModel;
class QWidget;

namespace os::test {

// The program as a merchant meets it, for the suites that drive the main
// window: a temporary home, the scripted message service, the main window
// and the data module. A suite derives from it (with Q_OBJECT of its own),
// calls newHome() in init() and closeProgram() in cleanup().
class ProgramFixture : public QObject
{
protected:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_dm;
    std::unique_ptr<TMainForm> m_form;

    void newHome();
    // The main window shown at 1200x800 and the company database opened as
    // at start-up (the tables made first when `createTables`).
    void showProgram(bool createTables = true);
    // Everything closed; fails the test when a question went unanswered.
    void closeProgram();

    // The child window a toolbar button opens, when it comes up in front.
    template <class View> View* openChild(const char* button)
    {
        if (!fireButton(button))
            return nullptr;
        QMdiSubWindow* sub = m_form->mdiArea()->activeSubWindow();
        return sub ? qobject_cast<View*>(sub->widget()) : nullptr;
    }

private:
    bool fireButton(const char* button);
};

// The numbers of a grid's first column, top to bottom.
QList<int> firstColumnNumbers(const QAbstractItemModel* model);

// Whether the tool button named `name` under `root` is enabled.
bool toolButtonOn(const QWidget* root, const char* name);

} // namespace os::test
