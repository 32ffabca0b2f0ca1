#include "gui/customers/customers_commands.h"

#include "gui/customers/main_customers_view.h"

namespace os {

namespace {

using V = TMainCustomersView;
using C = ChildCommand<TMainCustomersView>;

// clang-format off
const C kCommands[] = {
    {0, "Remove Query", "RemoveQueryButton", "the whole customer list", [](V& v) { v.RemoveQueryClick(); }},
    {0, "Profile", "ProfileButton", "TCustomersForm on its Billing page, modal", [](V& v) { v.ProfileClick(); }},
    {0, "Build List", "BuildListButton", "TMailingListBuilder, modal", [](V& v) { v.BuildListClick(); }},
    {0, "Export", "ExportButton", "a CSV file of the customers listed", [](V& v) { v.ExportClick(); }, nullptr, 0, true},
};
// clang-format on

} // namespace

std::span<const ChildCommand<TMainCustomersView>> customersViewCommands()
{
    return kCommands;
}

} // namespace os
