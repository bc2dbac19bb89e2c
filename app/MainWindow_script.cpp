// The script runner: loading a script file into the table and playing it row by row.
#include "app/MainWindow.h"

void MainWindow::ScriptLoadClicked() {}
void MainWindow::ScriptStartClicked() {}
void MainWindow::ScriptStopClicked() {}
void MainWindow::ScriptTimeout() {}
