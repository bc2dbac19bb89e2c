#include "ui/MainWindow.h"

#include "core/BoardSettingsSession.h"
#include "core/DriveLink.h"
#include "core/ScriptRunner.h"
#include "ui/DriveView.h"
#include "ui/HelpMenu.h"
#include "ui/OperatorMessage.h"
#include "ui/PortBox.h"
#include "ui/SetPointLimits.h"
#include "ui/WhileConnected.h"

#include <QApplication>
#include <QMessageBox>
#include <QScrollArea>

using namespace SharedVariables;

MainWindow::MainWindow(DriveLink& link, QWidget* parent)
    : QMainWindow(parent), link(link)
{
    ui.setupUi(this);

    QWidget* const pages[] = {ui.tab_1, ui.tab_2, ui.tab_3, ui.tab_4};
    QVBoxLayout* const layouts[] = {ui.MotorLayout_1, ui.MotorLayout_2, ui.MotorLayout_3, ui.MotorLayout_4};
    for (int motor = 0; motor < MotorCount; ++motor) {
        // The view scrolls rather than being cut off where the screen is too small for it.
        auto* scrollArea = new QScrollArea(pages[motor]);
        scrollArea->setWidgetResizable(true);
        scrollArea->setFrameShape(QFrame::NoFrame);
        driveViews[motor] = new DriveView(scrollArea, motor);
        scrollArea->setWidget(driveViews[motor]);
        layouts[motor]->addWidget(scrollArea);
        // Every parameter of every motor reaches the link here, and only here.
        connect(driveViews[motor], &DriveView::parameterEntered, this, [this](Index index, int motor, double value) {
            if (confirmSetPointLimits(*driveViews[motor], index, value))
                writeEntered(index, motor, value);
        });
    }

    connectPlotControls();
    connectRecording();

    mla.setupUi(ui.MLA_Widget);
    mra.setupUi(ui.MRA_Widget);
    mrn.setupUi(ui.MRN_Widget);
    connectMotionPanels();
    setUpBoardSettings();

    ports = new PortBox(*ui.serialComboBox, this);

    runner = new ScriptRunner(link, *ui.tableWidget_Script->model(), this);
    connect(runner, &ScriptRunner::rowStarted, ui.tableWidget_Script, &QTableWidget::selectRow);
    // Queued: the run may complete inside the link's transmit tick, which must not wait
    // for the operator.
    connect(
        runner, &ScriptRunner::completed, this, [] { showOperatorMessage(QStringLiteral("Script Completed")); },
        Qt::QueuedConnection);
    connectScriptPage();
    setUpScriptEditing();
    connect(ui.pushButton_ScriptStart, &QPushButton::clicked, runner, &ScriptRunner::start);
    connect(ui.pushButton_ScriptStop, &QPushButton::clicked, runner, &ScriptRunner::stop);

    connect(ui.pushButton_Connect, &QPushButton::clicked, this, &MainWindow::connectToSelectedPort);
    connect(ui.pushButton_Disconnect, &QPushButton::clicked, &link, &DriveLink::close);
    connect(ui.addressComboBox, &QComboBox::currentTextChanged, this, &MainWindow::selectBoard);
    // Before the buttons' tooltips are taken over while disconnected: they name the keys.
    new HelpMenu(*this, ui);
    setUpSaveEeprom();
    enableScriptSending();
    connect(ui.buttonBox, &QDialogButtonBox::clicked, this, &MainWindow::quit);

    connect(&link, &DriveLink::connected, this, [this] { showConnectedState(true); });
    connect(&link, &DriveLink::disconnected, this, [this] { showConnectedState(false); });
    connect(&link, &DriveLink::variableChanged, this, &MainWindow::showVariable);
    connect(&link, &DriveLink::loopTimeChanged, this, [this] { showLoopTimeFreshness(this->link.isLoopTimeCurrent()); });
    connect(&link, &DriveLink::samplesAppended, this, [this] {
        for (DriveView* view : driveViews)
            view->drawSamples(this->link.samples(view->motorNumber()));
    });
    connect(&link, &DriveLink::samplesCleared, this, [this] {
        for (DriveView* view : driveViews)
            view->resetGraph();
    });
    connectLinkState();
}

MainWindow::~MainWindow() = default;

// Through close(), which asks about unsaved script changes first.
void MainWindow::quit()
{
    if (close())
        QApplication::quit();
}

void MainWindow::addPort(const QString& name)
{
    ports->addPort(name);
}

void MainWindow::connectToSelectedPort()
{
    if (!link.open(ports->selectedPort()))
        showConnectionError(tr("Connection failed"), link.openFailure());
}

void MainWindow::showConnectedState(bool connected)
{
    ui.labelConnected->setText(connectionText());
    ui.serialComboBox->setEnabled(!connected);
    ui.pushButton_Connect->setEnabled(!connected);
    ui.pushButton_Disconnect->setEnabled(connected);
    ui.driveSelectionBox->setEnabled(connected);
    // Scripts are written and saved without a connection; what sends keeps itself enabled.
    for (int page = 0; page < ui.tabWidget->count(); ++page) {
        if (ui.tabWidget->widget(page) != ui.tab_7)
            ui.tabWidget->widget(page)->setEnabled(connected);
    }
    ui.addressComboBox->setEnabled(connected);
}

// The board acknowledges no save: only a reply after the Save EEPROM frame shows that it
// was there to take it. So the button waits for a board that answers.
void MainWindow::setUpSaveEeprom()
{
    saveEepromToolTip = ui.pushButton_SaveEEPROM->toolTip();
    showSaveEepromState();
    connect(&link, &DriveLink::connected, this, &MainWindow::showSaveEepromState);
    connect(&link, &DriveLink::disconnected, this, &MainWindow::showSaveEepromState);
    connect(&link, &DriveLink::boardSelected, this, &MainWindow::showSaveEepromState);
    connect(&link, &DriveLink::boardSilenceChanged, this, &MainWindow::showSaveEepromState);
    connect(&link, &DriveLink::boardAnswered, this, &MainWindow::showSaveEepromState);
    connect(ui.pushButton_SaveEEPROM, &QPushButton::clicked, this, &MainWindow::saveToEeprom);
}

void MainWindow::showSaveEepromState()
{
    QString reason;
    if (!link.isConnected())
        reason = notConnectedToolTip();
    else if (eepromSession)
        reason = tr("Saving to EEPROM on board %1...").arg(DriveLink::boardName(eepromSession->board()));
    else if (!link.isBoardAnswering())
        reason = tr("No reply from board %1: a save can only be confirmed by a board that answers. "
                    "Check that it is powered and that its address is right.")
                     .arg(DriveLink::boardName(link.board()));
    QPushButton* button = ui.pushButton_SaveEEPROM;
    button->setEnabled(reason.isEmpty());
    const QString toolTip = reason.isEmpty() ? saveEepromToolTip : reason;
    if (button->toolTip() != toolTip)
        button->setToolTip(toolTip);
}

void MainWindow::saveToEeprom()
{
    eepromSession = new BoardSettingsSession(link, this);
    // Queued: the session ends inside the link's receive path, which must not wait for
    // the operator.
    connect(
        eepromSession, &BoardSettingsSession::finished, this,
        [this] {
            const bool saved = eepromSession->eepromSaved();
            const int board = eepromSession->board();
            const QString failure = eepromSession->failureText();
            eepromSession->deleteLater();
            eepromSession = nullptr;
            showSaveEepromState();
            if (saved)
                showOperatorMessage(QStringLiteral("Configuration saved to EEPROM for drive :") + QString::number(board));
            else
                QMessageBox::warning(this, tr("Not saved to EEPROM"), failure);
        },
        Qt::QueuedConnection);
    eepromSession->saveEeprom();
    showSaveEepromState();
}

void MainWindow::showVariable(int motor, Index index)
{
    // A reply to a read that left before the write would show the value it replaces.
    if (!link.isCurrent(motor, index) || pendingWrites[motor][index] != 0)
        return;
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
    for (int address : {1, 2}) {
        if (text == DriveLink::boardName(address))
            link.selectBoard(address);
    }
}
