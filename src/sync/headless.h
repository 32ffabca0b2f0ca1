#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace os {

// Runs one store session without windows (`ordersentinel --session ACTION`):
// loads the settings, opens the company database when the action works on
// tables, reads the store password from standard input (without echo on a
// terminal), prints every event-log row as "type<TAB>message" on standard
// output and every message-box text on standard error.
//
// Returns 0 after a session that ended normally, 1 when it ended on an error
// (a transfer failure, "Invalid Password!", any error shown), 2 for an
// unknown action text (the valid ones are listed on standard error) or a
// missing password. The program's home must be set before.
//
// With `dryRun` (only for "Publish Options & Configurations") nothing is
// sent and no password is read: every difference from the last publish is
// printed as "Changed", "Added" or "Removed", a tab, the field and its values.
int runHeadlessSession(const QString& action, bool dryRun = false, bool allowExampleValues = false);

// One event-log row on standard output, as the headless modes print them:
// the type, a tab, the message, on one line: its control characters (a
// store's escape sequences, a carriage return) are shown as escapes
// (visibleControls), so a store reply can neither drive the terminal nor
// forge a row.
void printLogRow(const QString& type, const QString& message);

class TMainDataMod;

// Opens the company database in `dir` for a headless mode and shows what the
// window build shows: the first-start notice, then any failure's text. False
// after a failure was shown; throws ProgramTermination after the messages of
// an old table layout.
bool openCompanyDatabaseReporting(TMainDataMod& data, const QString& dir);

// The company database of a headless mode: the program's data module when
// one exists (the window build, tests), else one of its own for the run.
class HeadlessDatabase
{
public:
    HeadlessDatabase();
    ~HeadlessDatabase();
    HeadlessDatabase(const HeadlessDatabase&) = delete;
    HeadlessDatabase& operator=(const HeadlessDatabase&) = delete;

    // Opens the home's company database unless it is open, showing what
    // openCompanyDatabaseReporting shows. Nothing when it is open; else the
    // mode's exit code (1 after a failure, the code of an old layout's end).
    std::optional<int> open();
    TMainDataMod& data() { return *m_data; }

private:
    std::unique_ptr<TMainDataMod> m_own;
    TMainDataMod* m_data = nullptr;
};

// One line of standard input without its line end (a secret: the prompt goes
// to standard error and the echo is off when standard input is a terminal);
// nothing at end of input.
std::optional<QString> readSecretInput(const char* prompt);

} // namespace os
