#pragma once

#include <QRect>
#include <QSize>

// Where the window opens: where it was last (position of its frame and size)
// when that still lies on the screen, otherwise its default size; always
// within the screen's available area, so that a window is never taller than a
// desktop screen with its title bar, nor off a screen that went away.
class WindowPlacement
{
public:
    // `saved` empty: never saved. `frameMargins` is what the window manager's
    // frame adds to the height and the width of the window.
    static QRect place(const QRect &saved, const QRect &available, const QSize &defaultSize,
                       const QSize &frameMargins);
};
