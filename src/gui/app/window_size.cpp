#include "gui/app/window_size.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>

namespace os {

int gridFullWidth(const QTableView* grid)
{
    QHeaderView* header = grid->horizontalHeader();
    // Turning the stretch off gives the last section back its own width.
    const bool stretch = header->stretchLastSection();
    header->setStretchLastSection(false);
    int columns = 0;
    for (int c = 0; c < header->count(); ++c) {
        if (!header->isSectionHidden(c))
            columns += header->sectionSize(c);
    }
    header->setStretchLastSection(stretch);
    const QHeaderView* rows = grid->verticalHeader();
    const int rowHeader = rows->isHidden() ? 0 : qMax(rows->width(), rows->sizeHint().width());
    const int scrollBar = grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid);
    return columns + rowHeader + scrollBar + 2 * grid->frameWidth();
}

int windowWidthForGrid(QWidget* window, const QTableView* grid)
{
    // The margins of every layout between the grid and the window (a window
    // not shown yet has not laid out its children, so their widths say nothing).
    int width = gridFullWidth(grid);
    for (const QWidget* w = grid->parentWidget(); w; w = w->parentWidget()) {
        if (const QLayout* layout = w->layout()) {
            const QMargins m = layout->contentsMargins();
            width += m.left() + m.right();
        }
        // The frame around a page of tabs.
        if (qobject_cast<const QTabWidget*>(w))
            width += 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w) + 2;
        if (w == window)
            break;
    }
    return width;
}

void resizeWithinScreen(QWidget* window, QSize wanted)
{
    const QWidget* parent = window->parentWidget();
    const QScreen* screen = parent ? parent->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QSize size = wanted.expandedTo(window->sizeHint());
    if (screen) {
        // Room for the frame the window manager adds.
        const QSize room = screen->availableSize() - QSize(16, 40);
        size = size.boundedTo(room);
    }
    window->resize(size);
}

} // namespace os
