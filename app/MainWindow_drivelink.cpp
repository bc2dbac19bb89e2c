// Drive link: the transmit queue, the polling cycle and the receive dispatch.
#include "app/MainWindow.h"

void MainWindow::handleTxMessage() {}
void MainWindow::updateTimer() {}
void MainWindow::sendCANMessage(const CANMessage&) {}
void MainWindow::sendVariableData(unsigned int, float) {}
void MainWindow::sendVariableData(unsigned int, short) {}
void MainWindow::sendVariableData(unsigned int, unsigned char) {}
void MainWindow::SerialMessageReady(const SerialMessage&) {}
void MainWindow::updateView() {}
