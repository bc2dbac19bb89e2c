#include "ui/MainWindow.h"

#include "ui/StepTestDialog.h"

StepTestDialog* MainWindow::stepTestDialog(int motor)
{
    if (!stepTestDialogs[motor])
        stepTestDialogs[motor] = new StepTestDialog(link, motor, this);
    return stepTestDialogs[motor];
}

void MainWindow::openStepTest(int motor)
{
    StepTestDialog* dialog = stepTestDialog(motor);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
