#pragma once

#include "gui/app/child_commands.h"

#include <span>

namespace os {

class TOrdersView;

// The orders browser's commands: its toolbar buttons and the Activities and
// Notes menus, in the order they show (see child_commands.h).
std::span<const ChildCommand<TOrdersView>> ordersViewCommands();

} // namespace os
