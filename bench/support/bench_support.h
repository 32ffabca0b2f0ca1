#pragma once

// What every benchmark program needs: milliseconds of a timer, repeated
// figures with their median, a window painted as the merchant sees it, the
// peak resident memory, a message service that answers every question with
// Yes and prints only errors, and a believable spread of order states.
#include "base/messages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <QWidget>

#include <algorithm>

#include <cstdio>

namespace os::bench {

inline double ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// VmHWM of /proc/self/status as the kernel writes it ("197344 kB"), or "?".
// The timings of repeated runs.
struct Figures
{
    QList<double> values;
    void add(double v) { values << v; }
    double max() const { return *std::max_element(values.begin(), values.end()); }
    double median() const
    {
        QList<double> s = values;
        std::sort(s.begin(), s.end());
        return s.at(s.size() / 2);
    }
};

// Everything the window shows, painted (what the merchant sees).
inline void paint(QWidget& w)
{
    QCoreApplication::processEvents();
    (void)w.grab();
}

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
    using MessageService::ask;
    Answer ask(const QString&, Buttons, MessageKind) override { return Answer::Yes; }
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
