#include "app/MainWindow.h"

#include "link/PortNames.h"

#include <QApplication>
#include <QTimer>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setupUi(this);

    mla.setupUi(MLA_Widget);
    mra.setupUi(MRA_Widget);
    mrn.setupUi(MRN_Widget);

    driveAddress = 1;
    serialComboBox->addItems(offeredPortNames());

    connect(mla.pushButton_Elbow, &QPushButton::clicked, this, &MainWindow::MLA_elbowClicked);
    connect(mla.pushButton_Pitch, &QPushButton::clicked, this, &MainWindow::MLA_pitchClicked);
    connect(mla.pushButton_Yaw, &QPushButton::clicked, this, &MainWindow::MLA_yawClicked);
    connect(mla.pushButton_Go, &QPushButton::clicked, this, &MainWindow::MLA_goClicked);
    connect(mra.pushButton_Elbow, &QPushButton::clicked, this, &MainWindow::MRA_elbowClicked);
    connect(mra.pushButton_Pitch, &QPushButton::clicked, this, &MainWindow::MRA_pitchClicked);
    connect(mra.pushButton_Yaw, &QPushButton::clicked, this, &MainWindow::MRA_yawClicked);
    connect(mra.pushButton_Go, &QPushButton::clicked, this, &MainWindow::MRA_goClicked);
    connect(mrn.pushButton_Pitch, &QPushButton::clicked, this, &MainWindow::MRN_pitchClicked);
    connect(mrn.pushButton_Yaw, &QPushButton::clicked, this, &MainWindow::MRN_yawClicked);
    connect(mrn.pushButton_Go, &QPushButton::clicked, this, &MainWindow::MRN_goClicked);

    connect(pushButton_ScriptLoad, &QPushButton::clicked, this, &MainWindow::ScriptLoadClicked);
    connect(pushButton_ScriptStart, &QPushButton::clicked, this, &MainWindow::ScriptStartClicked);
    connect(pushButton_ScriptStop, &QPushButton::clicked, this, &MainWindow::ScriptStopClicked);
    connect(pushButton_Connect, &QPushButton::clicked, this, &MainWindow::connectButtonClicked);
    connect(pushButton_Disconnect, &QPushButton::clicked, this, &MainWindow::disconnectButtonClicked);
    connect(pushButton_SaveEEPROM, &QPushButton::clicked, this, &MainWindow::SaveEEPROMClicked);
    connect(buttonBox, &QDialogButtonBox::clicked, this, &MainWindow::buttonBoxButtonClicked);

    txTimer = new QTimer(this);
    connect(txTimer, &QTimer::timeout, this, &MainWindow::handleTxMessage);
    txTimer->start(10);
}

MainWindow::~MainWindow() = default;

void MainWindow::addPort(const QString& name)
{
    if (serialComboBox->findText(name) < 0)
        serialComboBox->addItem(name);
    serialComboBox->setCurrentIndex(serialComboBox->findText(name));
}

void MainWindow::buttonBoxButtonClicked(QAbstractButton*)
{
    QApplication::quit();
}
