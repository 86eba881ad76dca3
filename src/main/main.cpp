#include "app/kolvexcore.h"
#include "remote/websockets.h"
#include "ui/qmltypes.h"
#include "ui/viewobjects.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    registerQmlTypes();
    QApplication::setApplicationName(QStringLiteral("kolvex"));

    KolvexCore core;
    // The remote peer is another device on the network, not this one.
    core.webSockets()->setListenAll(true);
    ViewObjects viewObjects(&core);

    QQmlApplicationEngine engine;
    viewObjects.publish(engine.rootContext());
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    return QApplication::exec();
}
