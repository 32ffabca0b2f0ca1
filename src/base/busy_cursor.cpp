#include "base/busy_cursor.h"

namespace os {

namespace {
std::function<void(bool)>& handler()
{
    static std::function<void(bool)> h;
    return h;
}
} // namespace

BusyCursor::BusyCursor()
{
    if (handler())
        handler()(true);
}

BusyCursor::~BusyCursor()
{
    if (handler())
        handler()(false);
}

void BusyCursor::setHandler(std::function<void(bool)> h)
{
    handler() = std::move(h);
}

} // namespace os
