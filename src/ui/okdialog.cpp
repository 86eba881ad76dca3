#include "ui/okdialog.h"

#include "app/kolvexcore.h"

void OkDialog::show(KolvexCore *core, const QString &message)
{
    core->setOkDialogText(QString());
    core->setOkDialogText(message);
}
