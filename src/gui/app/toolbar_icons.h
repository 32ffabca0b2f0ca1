#pragma once

#include <QIcon>

namespace os {

// The main toolbar's pictures, drawn at run time so that they look the same
// whatever icon theme the desktop has (or none).
enum class ToolbarIcon
{
    Exit,
    Orders,
    Customers,
    PostOffice,
    Online,
    ToDo,
    Help
};

QIcon makeToolbarIcon(ToolbarIcon which);

} // namespace os
