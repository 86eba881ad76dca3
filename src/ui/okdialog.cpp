#include "ui/okdialog.h"

#include "app/kolvexcore.h"

#include <QApplication>
#include <QDebug>
#include <QMessageBox>

void OkDialog::show(KolvexCore *core, const QString &message)
{
    core->setOkDialogText(QString());
    core->setOkDialogText(message);
}

void OkDialog::showModal(const QString &message)
{
    qWarning().noquote() << message;
    // A modal box needs a screen to be answered on; without one it would hang.
    const QString platform = QGuiApplication::platformName();
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) && platform != QLatin1String("offscreen")
        && platform != QLatin1String("minimal"))
        QMessageBox::warning(nullptr, QCoreApplication::applicationName(), message);
}
