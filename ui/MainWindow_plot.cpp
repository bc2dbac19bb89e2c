#include "ui/MainWindow.h"

#include "ui/PlotControls.h"

using namespace SharedVariables;

void MainWindow::connectPlotControls()
{
    for (int motor = 0; motor < MotorCount; ++motor) {
        plotControlsOf[motor] = new PlotControls(*driveViews[motor], link);
        connect(plotControlsOf[motor], &PlotControls::stepTestRequested, this, &MainWindow::openStepTest);
    }
}
