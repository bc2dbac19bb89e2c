#include "ui/MainWindow.h"

#include "ui/StepTestDialog.h"

#include <QScreen>

StepTestDialog* MainWindow::stepTestDialog(int motor)
{
    if (!stepTestDialogs[motor])
        stepTestDialogs[motor] = new StepTestDialog(link, motor, this);
    return stepTestDialogs[motor];
}

void MainWindow::openStepTest(int motor)
{
    StepTestDialog* dialog = stepTestDialog(motor);
    // A dialog taller or wider than the screen would hide its own buttons.
    if (!dialog->isVisible() && screen())
        dialog->resize(dialog->size().boundedTo(screen()->availableGeometry().size()));
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
