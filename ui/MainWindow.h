#pragma once

#include "ui_MainWindow.h"

#include <QMainWindow>

#include <functional>

class BoardSettingsActions;
class DriveLink;
class DriveView;
class GraphControls;
class LinkHealthBar;
class MotionPanels;
class MotorPages;
class PortBox;
class ScriptPage;
class Simulator;

// The one window of the tool: it assembles the pages and shows the link's state:
// connection, board selection and the status bar (here and in MainWindow_link.cpp). The
// pages are classes of their own: the motor pages (MotorPages), the motion panels
// (MotionPanels), the script page (ScriptPage), the board settings' actions
// (BoardSettingsActions), the graphs' controls (GraphControls), help and shortcuts
// (HelpMenu). The port box is a PortBox; what is remembered between runs, RememberedState.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(DriveLink& link, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Adds a port name to the list unless it is there already, and selects it.
    void addPort(const QString& name);
    PortBox& portBox() const { return *ports; }
    // Opens the selected port, as Connect does; a failure is shown to the operator.
    void connectToSelectedPort();
    // Closes the window, unless the operator keeps unsaved script changes, and ends the tool.
    void quit();
    // The simulated boards this run started: their end is told as such, with an offer to
    // start them again, which connects to them once they are up.
    void watchSimulator(Simulator& started);

    const Ui::MainWindow& form() const { return ui; }
    MotionPanels& motionPanels() const { return *panels; }
    DriveView* driveView(int motor) const;
    ScriptPage& scriptPage() const { return *scripts; }
    GraphControls& graphControls() const { return *graphs; }
    LinkHealthBar* linkHealthBar() const { return healthBar; }

protected:
    // Asks before unsaved script changes are lost.
    void closeEvent(QCloseEvent* event) override;

private:
    void addFileMenu();

    void connectLinkState();
    QString connectionText() const;
    void showLoopTimeFreshness(bool current);
    void showScriptStop(int row, const QString& reason);
    void showPortLost(const QString& port, const QString& reason);
    void showSimulatorEnded();

    void showConnectedState(bool connected);
    void showConnectionError(const QString& title, const QString& text);
    void selectBoard(const QString& text);

    Ui::MainWindow ui;
    DriveLink& link;
    MotorPages* motors = nullptr;
    MotionPanels* panels = nullptr;
    BoardSettingsActions* boardSettings = nullptr;
    GraphControls* graphs = nullptr;
    ScriptPage* scripts = nullptr;
    PortBox* ports = nullptr;
    LinkHealthBar* healthBar = nullptr;
    QString scriptStopNote; // for the lost-port box, when the loss stopped a script
    Simulator* simulator = nullptr;
    QString simulatorEnd;  // how the simulator ended, until told
    QString simulatorLoss; // the lost connection to it, until told
};
