#include "app/MainWindow.h"

#include "drive/DriveView.h"
#include "link/PortNames.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setupUi(this);

    QWidget* const pages[] = {tab_1, tab_2, tab_3, tab_4};
    QVBoxLayout* const layouts[] = {MotorLayout_1, MotorLayout_2, MotorLayout_3, MotorLayout_4};
    for (int motor = 0; motor < SharedVariables::MotorCount; ++motor) {
        driveViews[motor] = new DriveView(pages[motor], motor);
        layouts[motor]->addWidget(driveViews[motor]);
    }

    mla.setupUi(MLA_Widget);
    mra.setupUi(MRA_Widget);
    mrn.setupUi(MRN_Widget);

    for (DriveView* view : driveViews)
        connectDriveView(view);

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

void MainWindow::connectDriveView(DriveView* view)
{
    connect(view, &DriveView::CtrlModeChanged, this, &MainWindow::CtrlModeChanged);
    connect(view, &DriveView::CtrlTypeChanged, this, &MainWindow::CtrlTypeChanged);
    connect(view, &DriveView::SetPointSrcChanged, this, &MainWindow::SetPointSrcChanged);
    connect(view, &DriveView::PosMesSrcChanged, this, &MainWindow::PosMesSrcChanged);
    connect(view, &DriveView::SetPointChanged, this, &MainWindow::SetPointChanged);
    connect(view, &DriveView::SetPointMaxChanged, this, &MainWindow::SetPointMaxChanged);
    connect(view, &DriveView::SetPointMinChanged, this, &MainWindow::SetPointMinChanged);
    connect(view, &DriveView::ADCOffsetChanged, this, &MainWindow::ADCOffsetChanged);
    connect(view, &DriveView::SpeedMaxChanged, this, &MainWindow::SpeedMaxChanged);
    connect(view, &DriveView::AccelerationStepChanged, this, &MainWindow::AccelerationStepChanged);
    connect(view, &DriveView::CurrentOffsetChanged, this, &MainWindow::CurrentOffsetChanged);
    connect(view, &DriveView::CurrentLimitChanged, this, &MainWindow::CurrentLimitChanged);
    connect(view, &DriveView::EncoderBiasChanged, this, &MainWindow::EncoderBiasChanged);
    connect(view, &DriveView::MotorBiasChanged, this, &MainWindow::MotorBiasChanged);
    connect(view, &DriveView::pid_KpChanged, this, &MainWindow::pid_KpChanged);
    connect(view, &DriveView::pid_KiChanged, this, &MainWindow::pid_KiChanged);
    connect(view, &DriveView::pid_KdChanged, this, &MainWindow::pid_KdChanged);
    connect(view, &DriveView::pid_error_maxChanged, this, &MainWindow::pid_error_maxChanged);

    // The redraw writes each variable into its field, found once by the layout's names.
    const auto& variables = SharedVariables::motorVariables();
    for (int index = 0; index < SharedVariables::VariableCount; ++index) {
        const QString name = QStringLiteral("lineEdit_") + QLatin1String(variables[index].name);
        valueFields[view->motorNumber()][index] = view->findChild<QLineEdit*>(name);
        Q_ASSERT(valueFields[view->motorNumber()][index]);
    }
}

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
