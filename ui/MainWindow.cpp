#include "ui/MainWindow.h"

#include "core/DriveLink.h"
#include "ui/BoardSettingsActions.h"
#include "ui/DriveView.h"
#include "ui/GraphControls.h"
#include "ui/HelpMenu.h"
#include "ui/MotionPanels.h"
#include "ui/OperatorMessage.h"
#include "ui/PortBox.h"
#include "ui/ScriptPage.h"
#include "ui/SetPointLimits.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>

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

    graphs = new GraphControls(link, driveViews, *ui.statusbar, *this);

    panels = new MotionPanels(link, *ui.MLA_Widget, *ui.MRA_Widget, *ui.MRN_Widget, this);
    connect(panels, &MotionPanels::sent, this, [this](const QString& note) { statusBar()->showMessage(note, 5000); });
    boardSettings = new BoardSettingsActions(link, *this);
    connect(boardSettings, &BoardSettingsActions::boardToBeWritten, this,
            [this](int board) { ui.addressComboBox->setCurrentText(DriveLink::boardName(board)); });
    connect(boardSettings, &BoardSettingsActions::saved, this, [this](const QString& note) { statusBar()->showMessage(note); });
    addFileMenu();

    ports = new PortBox(*ui.serialComboBox, this);

    connect(ui.pushButton_Connect, &QPushButton::clicked, this, &MainWindow::connectToSelectedPort);
    connect(ui.pushButton_Disconnect, &QPushButton::clicked, &link, &DriveLink::close);
    connect(ui.addressComboBox, &QComboBox::currentTextChanged, this, &MainWindow::selectBoard);
    // The shortcuts' keys go into the buttons' tooltips before the script page keeps them
    // for while connected.
    new HelpMenu(*this, ui);
    scripts = new ScriptPage(link, ui, *this);
    boardSettings->takeSaveEepromButton(*ui.pushButton_SaveEEPROM);
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

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (scripts->confirmDiscardChanges())
        event->accept();
    else
        event->ignore();
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

void MainWindow::addFileMenu()
{
    QMenu* menu = ui.menubar->addMenu(tr("&File"));
    QToolBar* toolBar = addToolBar(tr("File"));
    toolBar->setObjectName(QStringLiteral("toolBar_File"));
    menu->addActions(boardSettings->actions());
    toolBar->addActions(boardSettings->actions());
    menu->addSeparator();
    QAction* quitAction = menu->addAction(tr("&Quit"), this, &MainWindow::quit);
    quitAction->setObjectName(QStringLiteral("actionQuit"));
    quitAction->setShortcut(Qt::CTRL | Qt::Key_Q);
}

void MainWindow::showVariable(int motor, Index index)
{
    // A reply to a read that left before the write would show the value it replaces.
    if (!link.isCurrent(motor, index) || pendingWrites.contains(motor, index))
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
