#pragma once

#include "protocol/SharedVariables.h"

#include "ui_MLA.h"
#include "ui_MRA.h"
#include "ui_MRN.h"
#include "ui_MainWindow.h"

#include <QMainWindow>

class DriveLink;
class DriveView;
class PlotControls;
class QLabel;
class QPushButton;
class SampleRecorder;
class ScriptRunner;
class StepTestDialog;

// The one window of the tool: it shows what the drive link reports and turns the
// operator's clicks into link operations. Its parts live in one source file each:
// connection and board (here), motion panels, script, graph controls, recording, step
// tests.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(DriveLink& link, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Adds a port name to the list unless it is there already, and selects it.
    void addPort(const QString& name);
    // Opens the selected port, as Connect does; a failure is shown to the operator.
    void connectToSelectedPort();

    const Ui::MainWindow& form() const { return ui; }
    const Ui::MLA& leftArmPanel() const { return mla; }
    const Ui::MRA& rightArmPanel() const { return mra; }
    const Ui::MRN& neckPanel() const { return mrn; }
    DriveView* driveView(int motor) const { return driveViews[motor]; }
    ScriptRunner& scriptRunner() const { return *runner; }
    PlotControls* plotControls(int motor) const { return plotControlsOf[motor]; }
    SampleRecorder& sampleRecorder() const { return *recorder; }
    // The step test of a motor, its dialog made when first asked for.
    StepTestDialog* stepTestDialog(int motor);

private:
    void connectMotionPanels();
    void goLeftArm();
    void goRightArm();
    void goNeck();

    void loadScript();

    void connectPlotControls();

    void connectRecording();
    void toggleRecording();
    void showRecording();

    void openStepTest(int motor);

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
    DriveView* driveViews[SharedVariables::MotorCount] = {};
    PlotControls* plotControlsOf[SharedVariables::MotorCount] = {};
    SampleRecorder* recorder = nullptr;
    QPushButton* recordButton = nullptr;
    QLabel* recordingLabel = nullptr;
    StepTestDialog* stepTestDialogs[SharedVariables::MotorCount] = {};
};
