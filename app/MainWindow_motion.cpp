// Arm and neck motion panels and the robot command builders.
#include "app/MainWindow.h"

void MainWindow::MLA_elbowClicked() {}
void MainWindow::MLA_pitchClicked() {}
void MainWindow::MLA_yawClicked() {}
void MainWindow::MLA_goClicked() {}
void MainWindow::MRA_elbowClicked() {}
void MainWindow::MRA_pitchClicked() {}
void MainWindow::MRA_yawClicked() {}
void MainWindow::MRA_goClicked() {}
void MainWindow::MRN_pitchClicked() {}
void MainWindow::MRN_yawClicked() {}
void MainWindow::MRN_goClicked() {}
void MainWindow::ScriptMLA(short, short, short) {}
void MainWindow::ScriptMRA(short, short, short) {}
void MainWindow::ScriptMRN(short, short) {}
void MainWindow::ScriptMRM(char, char, char, char, char, char, char, char) {}
void MainWindow::ScriptMEB(char, char, char, char) {}
void MainWindow::ScriptMRE(char, char, char, char, char, char) {}
