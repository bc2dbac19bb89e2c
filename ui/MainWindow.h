#pragma once

#include "protocol/SharedVariables.h"

#include "ui_MLA.h"
#include "ui_MRA.h"
#include "ui_MRN.h"
#include "ui_MainWindow.h"

#include <QMainWindow>

#include <functional>

class DriveLink;
class DriveView;
class BoardSettingsSession;
class LinkHealthBar;
class PlotControls;
class PortBox;
class QLabel;
class QPushButton;
struct RobotCommand;
class DataRecording;
class ScriptEditor;
class ScriptRecorder;
class ScriptRunner;
class Simulator;
class StepTestDialog;
struct BoardSettings;

// The one window of the tool: it shows what the drive link reports and turns the
// operator's clicks into link operations. Its parts live in one source file each:
// connection and board (here), link state, motion panels, script, board settings, help
// and shortcuts, graph controls, recording, step tests. The port box is a PortBox; what
// is remembered between runs, RememberedState.
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
    const Ui::MLA& leftArmPanel() const { return mla; }
    const Ui::MRA& rightArmPanel() const { return mra; }
    const Ui::MRN& neckPanel() const { return mrn; }
    DriveView* driveView(int motor) const { return driveViews[motor]; }
    ScriptRunner& scriptRunner() const { return *runner; }
    PlotControls* plotControls(int motor) const { return plotControlsOf[motor]; }
    DataRecording& dataRecording() const { return *recorder; }
    // The step test of a motor, its dialog made when first asked for.
    StepTestDialog* stepTestDialog(int motor);
    LinkHealthBar* linkHealthBar() const { return healthBar; }
    // Where the Load dialog starts: the folder of the script loaded last; empty at first,
    // when it starts in the example scripts.
    QString scriptFolder() const { return lastScriptFolder; }
    void setScriptFolder(const QString& folder) { lastScriptFolder = folder; }

protected:
    // Asks before unsaved script changes are lost.
    void closeEvent(QCloseEvent* event) override;

private:
    void connectMotionPanels();
    void goArm(const char* panel, const QLineEdit* elbowField, const QLineEdit* pitchField, const QLineEdit* yawField,
               const RobotCommand& command);
    void goNeck();
    void sendToRobot(const RobotCommand& command, const QVector<int>& values);

    void connectScriptPage();
    void setUpScriptEditing();
    void showScriptState();
    // Start, Run from here and Step while connected and no run goes on; Teach while connected.
    void enableScriptSending();
    bool hasScript() const;
    bool saveScript(bool chooseFile);
    bool confirmDiscardScriptChanges();
    void stopAllRobotCommands();
    void loadScript();
    // Marks a script row that cannot run for reason; an empty reason clears the mark.
    void markScriptRow(int row, const QString& reason);

    void setUpBoardSettings();
    void saveBoardSettings();
    void openBoardSettingsFile(bool apply);
    void copyToOtherBoard();
    void readSelectedBoard(const std::function<void(const BoardSettings&)>& then);

    void connectLinkState();
    QString connectionText() const;
    QString notReadText() const;
    void showFreshness(int motor, SharedVariables::Index index, bool current);
    void writeEntered(SharedVariables::Index index, int motor, double value);
    void confirmWrites(int board, int window);
    void showLoopTimeFreshness(bool current);
    void showScriptStop(int row, const QString& reason);
    void showPortLost(const QString& port, const QString& reason);
    void showSimulatorEnded();

    void connectPlotControls();

    void connectRecording();
    void toggleRecording();
    void showRecording();

    void openStepTest(int motor);

    void setUpSaveEeprom();
    void showSaveEepromState();
    void saveToEeprom();

    void showConnectedState(bool connected);
    void showVariable(int motor, SharedVariables::Index index);
    void showConnectionError(const QString& title, const QString& text);
    void selectBoard(const QString& text);

    Ui::MainWindow ui;
    Ui::MLA mla;
    Ui::MRA mra;
    Ui::MRN mrn;
    DriveLink& link;
    ScriptRunner* runner = nullptr;
    ScriptEditor* scriptEditor = nullptr;
    ScriptRecorder* teachRecorder = nullptr;
    int teachRow = 0; // where the next taught rows go
    std::function<void()> showScriptSending;
    PortBox* ports = nullptr;
    QString lastScriptFolder;
    LinkHealthBar* healthBar = nullptr;
    QString scriptStopNote; // for the lost-port box, when the loss stopped a script
    Simulator* simulator = nullptr;
    QString simulatorEnd;  // how the simulator ended, until told
    QString simulatorLoss; // the lost connection to it, until told
    DriveView* driveViews[SharedVariables::MotorCount] = {};
    // The number of the write of each variable entered and not yet read back; 0 for none.
    qint64 pendingWrites[SharedVariables::MotorCount][SharedVariables::VariableCount] = {};
    PlotControls* plotControlsOf[SharedVariables::MotorCount] = {};
    DataRecording* recorder = nullptr;
    QPushButton* recordButton = nullptr;
    QLabel* recordingLabel = nullptr;
    StepTestDialog* stepTestDialogs[SharedVariables::MotorCount] = {};
    BoardSettingsSession* eepromSession = nullptr; // while a Save EEPROM runs
    QString saveEepromToolTip;
};
