#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace os::test {

// What a run of the program left: its exit code (-2 when it crashed, -1 when
// it was killed for running past the time-out), its standard output as lines
// and its standard error.
struct ProgramRun
{
    int code = -1;
    QStringList out;
    QString err;
};

// Runs `exe` with `args` (in `env`, or this process's environment when empty)
// and waits at most `timeoutMs` for it to end.
ProgramRun runProgram(const QString& exe, const QStringList& args,
                      const QProcessEnvironment& env = {}, int timeoutMs = 240000);

} // namespace os::test
