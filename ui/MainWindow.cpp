#include "ui/MainWindow.h"

#include "core/DriveLink.h"
#include "core/PortNames.h"
#include "core/ScriptRunner.h"
#include "ui/DriveView.h"
#include "ui/OperatorMessage.h"

#include <QApplication>
#include <QDebug>
#include <QMessageBox>

using namespace SharedVariables;

MainWindow::MainWindow(DriveLink& link, QWidget* parent)
    : QMainWindow(parent), link(link)
{
    ui.setupUi(this);

    QWidget* const pages[] = {ui.tab_1, ui.tab_2, ui.tab_3, ui.tab_4};
    QVBoxLayout* const layouts[] = {ui.MotorLayout_1, ui.MotorLayout_2, ui.MotorLayout_3, ui.MotorLayout_4};
    for (int motor = 0; motor < MotorCount; ++motor) {
        driveViews[motor] = new DriveView(pages[motor], motor);
        layouts[motor]->addWidget(driveViews[motor]);
        // Every parameter of every motor reaches the link here, and only here.
        connect(driveViews[motor], &DriveView::parameterEntered, &link, &DriveLink::writeParameter);
    }

    connectPlotControls();
    connectRecording();

    mla.setupUi(ui.MLA_Widget);
    mra.setupUi(ui.MRA_Widget);
    mrn.setupUi(ui.MRN_Widget);
    connectMotionPanels();

    ui.serialComboBox->addItems(offeredPortNames());

    runner = new ScriptRunner(link, *ui.tableWidget_Script->model(), this);
    connect(runner, &ScriptRunner::rowStarted, ui.tableWidget_Script, &QTableWidget::selectRow);
    connect(runner, &ScriptRunner::diagnostic, this, [](const QString& text) { qDebug().noquote() << text; });
    connect(runner, &ScriptRunner::completed, this, [] { showOperatorMessage(QStringLiteral("Script Completed")); });
    connect(ui.pushButton_ScriptLoad, &QPushButton::clicked, this, &MainWindow::loadScript);
    connect(ui.pushButton_ScriptStart, &QPushButton::clicked, runner, &ScriptRunner::start);
    connect(ui.pushButton_ScriptStop, &QPushButton::clicked, runner, &ScriptRunner::stop);

    connect(ui.pushButton_Connect, &QPushButton::clicked, this, &MainWindow::connectToSelectedPort);
    connect(ui.pushButton_Disconnect, &QPushButton::clicked, &link, &DriveLink::close);
    connect(ui.addressComboBox, &QComboBox::currentTextChanged, this, &MainWindow::selectBoard);
    connect(ui.pushButton_SaveEEPROM, &QPushButton::clicked, this, [this] {
        this->link.saveEeprom();
        showOperatorMessage(QStringLiteral("Configuration saved to EEPROM for drive :")
                            + QString::number(this->link.board()));
    });
    connect(ui.buttonBox, &QDialogButtonBox::clicked, qApp, &QApplication::quit);

    connect(&link, &DriveLink::connected, this, [this] { showConnectedState(true); });
    connect(&link, &DriveLink::disconnected, this, [this] { showConnectedState(false); });
    connect(&link, &DriveLink::portLost, this, [this](const QString& port, const QString& reason) {
        showConnectionError(tr("Connection lost"), tr("The connection on %1 was lost:\n%2").arg(port, reason));
    });
    connect(&link, &DriveLink::variableChanged, this, &MainWindow::showVariable);
    connect(&link, &DriveLink::loopTimeChanged, this, [this] {
        const QString text = QString::number(this->link.mirror().s16(LoopTimeAddress));
        if (ui.lineEdit_LoopTime->text() != text)
            ui.lineEdit_LoopTime->setText(text);
    });
    connect(&link, &DriveLink::samplesAppended, this, [this] {
        for (DriveView* view : driveViews)
            view->drawSamples(this->link.samples(view->motorNumber()));
    });
    connect(&link, &DriveLink::samplesCleared, this, [this] {
        for (DriveView* view : driveViews)
            view->resetGraph();
    });
}

MainWindow::~MainWindow() = default;

void MainWindow::addPort(const QString& name)
{
    if (ui.serialComboBox->findText(name) < 0)
        ui.serialComboBox->addItem(name);
    ui.serialComboBox->setCurrentIndex(ui.serialComboBox->findText(name));
}

void MainWindow::connectToSelectedPort()
{
    if (!link.open(ui.serialComboBox->currentText()))
        showConnectionError(tr("Connection failed"), link.openFailure());
}

void MainWindow::showConnectedState(bool connected)
{
    ui.labelConnected->setText(connected ? QStringLiteral("Connected") : QStringLiteral("Disconnected"));
    ui.serialComboBox->setEnabled(!connected);
    ui.pushButton_Connect->setEnabled(!connected);
    ui.pushButton_Disconnect->setEnabled(connected);
    ui.driveSelectionBox->setEnabled(connected);
    ui.tabWidget->setEnabled(connected);
    ui.addressComboBox->setEnabled(connected);
}

void MainWindow::showVariable(int motor, Index index)
{
    driveViews[motor]->showValue(index, link.mirror().format(motor, variable(index)));
}

void MainWindow::showConnectionError(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void MainWindow::selectBoard(const QString& text)
{
    if (text == QLatin1String("0x01"))
        link.selectBoard(1);
    else if (text == QLatin1String("0x02"))
        link.selectBoard(2);
}
