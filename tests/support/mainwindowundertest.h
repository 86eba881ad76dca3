#pragma once

#include "app/kolvexcore.h"
#include "ui/viewobjects.h"

#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class Plot;

// The program's main window as a user meets it, on the offscreen platform:
// the core in a fresh data folder, offline, with the program's settings kept
// there too, its view objects and main.qml. Every warning of a QML document
// from the core's making on is collected; checkNoProblems() fails the test
// with those that came since it last looked.
class MainWindowUnderTest
{
public:
    MainWindowUnderTest();
    ~MainWindowUnderTest();

    MainWindowUnderTest(const MainWindowUnderTest &) = delete;
    MainWindowUnderTest &operator=(const MainWindowUnderTest &) = delete;

    // The core in the data folder.
    void createCore();
    // The view objects and main.qml on the core: the window is shown, the
    // partition sums are read and the banner is gone.
    void openWindow();
    // The window, the view objects and the core go, in that order.
    void close();

    QString folder() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    KolvexCore *core() { return m_core.get(); }
    ViewObjects *views() { return m_views.get(); }
    QQmlApplicationEngine *engine() { return m_engine.get(); }
    QQuickWindow *window() { return m_window; }
    Plot *plot() { return m_plot; }

    // Opens a screen (a QML document of the program) over the main form, as
    // the program does, and lets it settle.
    QObject *openScreen(const QString &file);
    // A click in the middle of the item.
    void click(QQuickItem *item);
    // Replaces the text of a field as a user would: select it all, then paste
    // the new text (one edit, so that no half-typed value is refused on the
    // way), and commits it with Enter.
    void typeInto(QQuickItem *field, const QString &text);
    // Portrait (480 x 800) or landscape (800 x 480).
    void setOrientation(bool landscape);
    // The scene as drawn; a null image when it could not be had.
    QImage grab();
    // Saves the scene as <name>.png in the screenshot folder.
    void shoot(const QString &name);
    void checkNoProblems();

    // An item by object name in the visual tree below `root`: list rows hang
    // below the list's content item only.
    static QQuickItem *findItem(QObject *root, const QString &name);
    // A control by a path of object names ("list/option2") below `root` (a
    // window: its content item), among the children and the visual children.
    static QQuickItem *findControl(QObject *root, const QString &path);

private:
    QTemporaryDir m_dir;
    bool m_collecting = false;
    std::unique_ptr<KolvexCore> m_core;
    std::unique_ptr<ViewObjects> m_views;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    Plot *m_plot = nullptr;
};
