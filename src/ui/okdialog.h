#pragma once

#include <QString>

class KolvexCore;

// Shows a message in the modal OK dialog of the main window.
class OkDialog
{
public:
    // The window opens the dialog when the core's dialog text changes to a
    // non-empty text, so the text is cleared first: the same refusal made twice
    // is shown twice.
    static void show(KolvexCore *core, const QString &message);
    // Shows a message in a modal box of its own, for messages that may come
    // before the main window exists. Without a screen to answer it on (the
    // offscreen and minimal platforms) the message goes to the log only.
    static void showModal(const QString &message);
};
