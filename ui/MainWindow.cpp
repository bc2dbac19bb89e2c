#include "ui/MainWindow.h"

#include "core/DriveLink.h"
#include "ui/BoardSettingsActions.h"
#include "ui/DriveView.h"
#include "ui/GraphControls.h"
#include "ui/HelpMenu.h"
#include "ui/MotionPanels.h"
#include "ui/MotorPages.h"
#include "ui/OperatorMessage.h"
#include "ui/PortBox.h"
#include "ui/ScriptPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

using namespace SharedVariables;

MainWindow::MainWindow(DriveLink& link, QWidget* parent)
    : QMainWindow(parent), link(link)
{
    ui.setupUi(this);

    QVBoxLayout* const motorLayouts[] = {ui.MotorLayout_1, ui.MotorLayout_2, ui.MotorLayout_3, ui.MotorLayout_4};
    motors = new MotorPages(link, motorLayouts, this);
    graphs = new GraphControls(link, motors->allViews(), *ui.statusbar, *this);

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
    connect(&link, &DriveLink::loopTimeChanged, this, [this] { showLoopTimeFreshness(this->link.isLoopTimeCurrent()); });
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

DriveView* MainWindow::driveView(int motor) const
{
    return motors->view(motor);
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
