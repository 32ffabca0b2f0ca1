#include "common/program_run.h"

#include <QProcess>

namespace os::test {

ProgramRun runProgram(const QString& exe, const QStringList& args, const QProcessEnvironment& env,
                      int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(env.isEmpty() ? QProcessEnvironment::systemEnvironment() : env);
    p.start(exe, args);
    ProgramRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace os::test
