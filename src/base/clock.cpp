#include "base/clock.h"

namespace os {

namespace {
QDateTime g_pinned;
}

QDateTime Clock::now()
{
    return g_pinned.isValid() ? g_pinned : QDateTime::currentDateTime();
}

QDate Clock::today()
{
    return now().date();
}

void Clock::pin(const QDateTime& when)
{
    g_pinned = when;
}

} // namespace os
