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
    Help,
    Sales
};

QIcon makeToolbarIcon(ToolbarIcon which);

// The program's own icon, the one its desktop entry names, in every size
// installed under share/icons/hicolor (compiled in).
QIcon programIcon();

} // namespace os
