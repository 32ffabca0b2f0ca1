#pragma once

#include "gui/app/child_commands.h"

#include <span>

namespace os {

class TMainCustomersView;

// The Customers View's toolbar commands, after the search box and Find.
std::span<const ChildCommand<TMainCustomersView>> customersViewCommands();

} // namespace os
