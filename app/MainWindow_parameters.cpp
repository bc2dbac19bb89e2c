// Parameter writes and the EEPROM save.
#include "app/MainWindow.h"

void MainWindow::CtrlModeChanged(int, int) {}
void MainWindow::CtrlTypeChanged(int, int) {}
void MainWindow::SetPointSrcChanged(int, int) {}
void MainWindow::PosMesSrcChanged(int, int) {}
void MainWindow::SetPointChanged(int, int) {}
void MainWindow::SetPointMaxChanged(int, int) {}
void MainWindow::SetPointMinChanged(int, int) {}
void MainWindow::ADCOffsetChanged(int, int) {}
void MainWindow::SpeedMaxChanged(int, int) {}
void MainWindow::AccelerationStepChanged(int, int) {}
void MainWindow::CurrentOffsetChanged(int, int) {}
void MainWindow::CurrentLimitChanged(int, int) {}
void MainWindow::EncoderBiasChanged(int, int) {}
void MainWindow::MotorBiasChanged(int, int) {}
void MainWindow::pid_KpChanged(double, int) {}
void MainWindow::pid_KiChanged(double, int) {}
void MainWindow::pid_KdChanged(double, int) {}
void MainWindow::pid_error_maxChanged(double, int) {}
void MainWindow::SaveEEPROMClicked() {}
