#pragma once

#include <QDate>
#include <QDateTime>

namespace os {

// The program's notion of "now", replaceable so tests can pin it.
class Clock
{
public:
    static QDateTime now();
    static QDate today();
    // Pins "now" to `when` (tests only); an invalid value restores the real clock.
    static void pin(const QDateTime& when);
};

} // namespace os
