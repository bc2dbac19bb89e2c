// Connection control: Connect, Disconnect, a lost port and the choice of board.
#include "app/MainWindow.h"

#include "drive/DriveView.h"
#include "link/PortNames.h"
#include "link/SerialDriver.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>

void MainWindow::connectButtonClicked()
{
    delete serialDriver;
    serialDriver = new SerialDriver(serialComboBox->currentText(), this);
    if (!serialDriver->openPort()) {
        const QString device = systemPortName(serialDriver->portName());
        QString text = tr("Could not open the port %1").arg(serialDriver->portName());
        if (device != serialDriver->portName())
            text += QStringLiteral(" (%1)").arg(device);
        text += QStringLiteral(":\n") + serialDriver->errorString();
#ifdef Q_OS_LINUX
        if (serialDriver->error() == QSerialPort::PermissionError)
            text += tr("\n\nTo use serial ports, your user must be in the \"dialout\" group "
                       "(sudo adduser $USER dialout, then log in again).");
#endif
        delete serialDriver;
        serialDriver = nullptr;
        showConnectionError(tr("Connection failed"), text);
        return;
    }
    connect(serialDriver, &SerialDriver::messageReady, this, &MainWindow::SerialMessageReady);
    // Queued, so the driver has finished its own signal before the window destroys it;
    // a report from a driver that has been replaced since is stale.
    connect(
        serialDriver, &SerialDriver::portLost, this,
        [this, driver = QPointer<SerialDriver>(serialDriver)](const QString& reason) {
            if (driver && driver == serialDriver)
                serialPortLost(reason);
        },
        Qt::QueuedConnection);
    setConnectedState(true);
    connect(addressComboBox, &QComboBox::currentTextChanged, this, &MainWindow::driveIndexChanged,
            Qt::UniqueConnection);
    pollIndex = 0;
    delete pollTimer;
    pollTimer = new QTimer(this);
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::updateTimer);
    pollTimer->start(50);
}

void MainWindow::disconnectButtonClicked()
{
    delete serialDriver;
    serialDriver = nullptr;
    setConnectedState(false);
    pollIndex = 0;
    delete pollTimer;
    pollTimer = nullptr;
}

void MainWindow::setConnectedState(bool connected)
{
    labelConnected->setText(connected ? QStringLiteral("Connected") : QStringLiteral("Disconnected"));
    serialComboBox->setEnabled(!connected);
    pushButton_Connect->setEnabled(!connected);
    pushButton_Disconnect->setEnabled(connected);
    driveSelectionBox->setEnabled(connected);
    tabWidget->setEnabled(connected);
    addressComboBox->setEnabled(connected);
}

void MainWindow::serialPortLost(const QString& reason)
{
    const QString port = serialDriver->portName();
    disconnectButtonClicked();
    showConnectionError(tr("Connection lost"),
                        tr("The connection on %1 was lost:\n%2").arg(port, reason));
}

void MainWindow::showConnectionError(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void MainWindow::driveIndexChanged(const QString& text)
{
    if (text == QLatin1String("0x01"))
        driveAddress = 1;
    else if (text == QLatin1String("0x02"))
        driveAddress = 2;
    for (DriveView* view : driveViews)
        view->resetGraph();
}
