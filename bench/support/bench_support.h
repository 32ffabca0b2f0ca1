#pragma once

// What every benchmark program needs: milliseconds of a timer, the peak
// resident memory, a message service that answers every question with Yes and
// prints only errors, and a believable spread of order states.
#include "base/messages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <cstdio>

namespace os::bench {

inline double ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// VmHWM of /proc/self/status as the kernel writes it ("197344 kB"), or "?".
inline QString peakRss()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return QString::fromLatin1(line.mid(6).trimmed());
    }
    return QStringLiteral("?");
}

class YesToAll : public MessageService
{
public:
    void info(const QString&) override {}
    void warning(const QString&) override {}
    void error(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    Answer ask(const QString&, Buttons) override { return Answer::Yes; }
    void beep() override {}
};

// Most orders were finished long ago; one in ten is "Shipped".
inline QString stateFor(quint32 r)
{
    const int p = int(r % 100);
    if (p < 5)
        return QStringLiteral("New");
    if (p < 10)
        return QStringLiteral("Payment Received");
    if (p < 12)
        return QStringLiteral("Partially Shipped");
    if (p < 22)
        return QStringLiteral("Shipped");
    if (p < 25)
        return QStringLiteral("Status Pending");
    if (p < 95)
        return QStringLiteral("Complete");
    if (p < 99)
        return QStringLiteral("Void");
    return QStringLiteral("AutoVoid");
}

} // namespace os::bench
