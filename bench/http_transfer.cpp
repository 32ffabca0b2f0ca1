// Receiving a large store reply: SecureHTTP into a response buffer (the
// chunks appended, as a store session does) and the work file, against the
// curl command-line tool fetching the same reply from the same simulator.
// Then the peak resident memory of a store session's post of the same reply
// (StoreSession::PostCommand), above the program's resident memory before it.
//
// "ratio" is SecureHTTP against curl, "session ratio" the session's post
// (transfer and reading the reply) against curl; the goal is at most 1.2.
//
//   bench_http_transfer [--runs N] [--sizes 10,25,50,200]   (sizes in MB)

#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"

#include "base/main_services.h"
#include "base/settings.h"
#include "net/secure_http.h"
#include "sync/store_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when missing.
qint64 statusKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// User and system CPU time of this process (who = RUSAGE_SELF) or of its
// waited-for children (RUSAGE_CHILDREN), in ms: on a loaded machine the
// processor time is the steadier comparison.
double cpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Starts a new peak: VmHWM falls back to VmRSS.
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

struct Peak
{
    double baselineMb = 0; // resident before the post
    double peakMb = 0;     // highest resident during it
    double ms = 0;
    double cpuMs = 0; // processor time of the post
    qint64 received = 0;
};

// One store session post of a `bytes` reply; the session and its buffer are
// gone before the next.
Peak sessionPeak(os::test::StoreSim& sim, qint64 bytes)
{
    os::test::TempHome home;
    os::test::ScriptedMessages shown;
    os::settings().VendixManagerURL = sim.url();
    os::NullMainServices main;
    os::NullSessionHost host;
    Peak p;
    {
        os::StoreSession session(&main, &host);
        session.setPassword(sim.password());
        sim.bigReply(bytes);
        resetPeak();
        p.baselineMb = double(statusKb("VmRSS")) / 1024.0;
        QElapsedTimer timer;
        const double cpuBefore = cpuMs(RUSAGE_SELF);
        timer.start();
        session.PostCommand(os::pollServerCommand(sim.password()));
        p.ms = timer.nsecsElapsed() / 1e6;
        p.cpuMs = cpuMs(RUSAGE_SELF) - cpuBefore;
        p.peakMb = double(statusKb("VmHWM")) / 1024.0;
        p.received = session.responseBuffer().size();
    }
    return p;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    QList<int> sizes = {10, 25, 50};
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--runs")
            runs = std::max(1, args[i + 1].toInt());
        if (args[i] == "--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(','))
                sizes.append(s.toInt());
        }
    }
    for (const char* name : {"http_proxy", "HTTP_PROXY", "ALL_PROXY", "all_proxy"})
        qunsetenv(name);

    const QString curlTool = QStandardPaths::findExecutable(QStringLiteral("curl"));
    os::test::StoreSim sim;
    if (!sim.isRunning()) {
        std::fprintf(stderr, "storesim did not start: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    QTemporaryDir dir;
    const QByteArray body = "crypt_keeper=" + sim.password().toLatin1() + "&command=poll%5fserver";
    const QString workFile = dir.filePath("~g1.tmp");
    const QString curlFile = dir.filePath("curl.out");

    std::printf("reply MB  SecureHTTP ms  MB/s    session ms  curl ms  MB/s    ratio  session "
                "ratio  (median of %d runs)\n",
                runs);
    for (int mb : sizes) {
        const qint64 bytes = qint64(mb) * 1000 * 1000;
        QList<double> ours, sessions, theirs, sessionCpu, curlCpu;
        for (int run = 0; run < runs; ++run) {
            // SecureHTTP
            sim.bigReply(bytes);
            os::SecureHTTP http;
            QByteArray responseBuffer;
            QObject::connect(&http, &os::SecureHTTP::transfer,
                             [&responseBuffer, &http](qint64, const QByteArray& chunk) {
                                 os::SecureHTTP::reserveReplyRoom(responseBuffer, chunk.size(),
                                                                  http.maxReplyBytes());
                                 responseBuffer.append(chunk);
                             });
            QElapsedTimer timer;
            timer.start();
            http.post(sim.url(), body, QStringLiteral("application/x-www-form-urlencoded"),
                      workFile);
            ours.append(timer.nsecsElapsed() / 1e6);
            if (responseBuffer.size() != bytes || QFileInfo(workFile).size() != bytes) {
                std::fprintf(stderr, "short reply: buffer %lld, file %lld, wanted %lld\n",
                             qint64(responseBuffer.size()), QFileInfo(workFile).size(), bytes);
                return 1;
            }

            // A store session's post: the transfer and the reading of the reply
            // (its messages and action), as every command does.
            const Peak p = sessionPeak(sim, bytes);
            if (p.received != bytes) {
                std::fprintf(stderr, "session got %lld bytes\n", p.received);
                return 1;
            }
            sessions.append(p.ms);
            sessionCpu.append(p.cpuMs);

            // curl command-line tool, same request, same simulator
            if (curlTool.isEmpty())
                continue;
            sim.bigReply(bytes);
            QProcess curl;
            const double childCpu = cpuMs(RUSAGE_CHILDREN);
            timer.restart();
            curl.start(curlTool, {"-s", "-S", "-o", curlFile, "-H", "Accept: text/html",
                                  "--data-binary", QString::fromLatin1(body), sim.url()});
            if (!curl.waitForFinished(600000) || curl.exitCode() != 0) {
                std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
                return 1;
            }
            theirs.append(timer.nsecsElapsed() / 1e6);
            curlCpu.append(cpuMs(RUSAGE_CHILDREN) - childCpu);
            if (QFileInfo(curlFile).size() != bytes) {
                std::fprintf(stderr, "curl got %lld bytes\n", QFileInfo(curlFile).size());
                return 1;
            }
        }
        const double ourMs = median(ours);
        const double sessionMs = median(sessions);
        const double theirMs = median(theirs);
        std::printf("%9d  %13.1f  %6.1f  %10.1f  %7.1f  %6.1f  %5.2f  %13.2f\n", mb, ourMs,
                    mb / (ourMs / 1000.0), sessionMs, theirMs,
                    theirMs > 0 ? mb / (theirMs / 1000.0) : 0.0,
                    theirMs > 0 ? ourMs / theirMs : 0.0, theirMs > 0 ? sessionMs / theirMs : 0.0);
        const double ourCpu = median(sessionCpu);
        const double theirCpu = median(curlCpu);
        std::printf("          processor time: session %.1f ms, curl %.1f ms (its start "
                    "included), ratio %.2f\n",
                    ourCpu, theirCpu, theirCpu > 0 ? ourCpu / theirCpu : 0.0);
        std::fflush(stdout);
    }
    if (curlTool.isEmpty())
        std::printf("curl not found on PATH: no comparison\n");

    if (!resetPeak()) {
        std::printf("cannot reset the peak in /proc/self/clear_refs: no memory figures\n");
        return 0;
    }
    std::printf("\nreply MB  session ms  session peak MB  baseline MB  above baseline MB  per "
                "reply MB\n");
    for (int mb : sizes) {
        const qint64 bytes = qint64(mb) * 1000 * 1000;
        const Peak p = sessionPeak(sim, bytes);
        if (p.received != bytes) {
            std::fprintf(stderr, "session got %lld bytes\n", p.received);
            return 1;
        }
        const double replyMb = double(bytes) / (1024.0 * 1024.0);
        std::printf("%8d  %10.1f  %15.1f  %11.1f  %17.1f  %12.2f\n", mb, p.ms, p.peakMb,
                    p.baselineMb, p.peakMb - p.baselineMb, (p.peakMb - p.baselineMb) / replyMb);
        std::fflush(stdout);
    }
    return 0;
}
