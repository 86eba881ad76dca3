#include "ui/windowplacement.h"

#include <algorithm>

QRect WindowPlacement::place(const QRect &saved, const QRect &available, const QSize &defaultSize,
                             const QSize &frameMargins)
{
    const int maxWidth = std::max(1, available.width() - frameMargins.width());
    const int maxHeight = std::max(1, available.height() - frameMargins.height());
    const bool useSaved = saved.isValid() && saved.intersects(available);
    const QSize wanted = useSaved ? saved.size() : defaultSize;
    const QSize size(std::min(std::max(1, wanted.width()), maxWidth), std::min(std::max(1, wanted.height()), maxHeight));
    // Without a saved place the window opens in the middle of the screen.
    QPoint topLeft = useSaved ? saved.topLeft()
                              : QPoint(available.x() + (available.width() - size.width() - frameMargins.width()) / 2,
                                       available.y() + (available.height() - size.height() - frameMargins.height()) / 2);
    const int right = available.right() + 1 - size.width() - frameMargins.width();
    const int bottom = available.bottom() + 1 - size.height() - frameMargins.height();
    topLeft.setX(std::max(available.left(), std::min(topLeft.x(), right)));
    topLeft.setY(std::max(available.top(), std::min(topLeft.y(), bottom)));
    return QRect(topLeft, size);
}
