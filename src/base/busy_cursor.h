#pragma once

#include <functional>

namespace os {

// Shows the busy cursor for the life of the object (restored on every way
// out). The window build installs the real cursor through setHandler; without
// a handler it does nothing, so the layer without widgets can use it freely.
class BusyCursor
{
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // handler(true) shows the busy cursor, handler(false) restores it.
    static void setHandler(std::function<void(bool)> handler);
};

} // namespace os
