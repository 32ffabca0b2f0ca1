#pragma once

#include <QSize>

class QTableView;
class QWidget;

namespace os {

// Sizing windows from their fonts and contents, within the screen.

// The width a grid needs to show its row header and every column at the
// width it was given (a stretched last section counts at that width, not at
// the width it is stretched to), with its frame and a vertical scroll bar,
// so it opens without scrolling sideways.
int gridFullWidth(const QTableView* grid);

// The width `window` needs for `grid` to get its full width: that width plus
// the margins and frames the window's layouts put beside the grid.
int windowWidthForGrid(QWidget* window, const QTableView* grid);

// Resizes a window that has not been shown yet to `wanted`, grown to its own
// size hint and then shrunk to the available geometry of the screen it opens
// on (its parent's), less room for the frame the window manager adds.
void resizeWithinScreen(QWidget* window, QSize wanted);

} // namespace os
