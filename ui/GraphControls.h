#pragma once

#include "protocol/SharedVariables.h"

#include <QObject>

class DriveLink;
class DriveView;
class PlotControls;
class QLabel;
class QPushButton;
class QStatusBar;
class QWidget;
class DataRecording;
class StepTestDialog;

// What the operator does with the graphs: the controls beside each motor's graph, the
// step tests they open, and the recording of the live samples to a file, whose button
// and progress sit in the status bar.
class GraphControls : public QObject
{
    Q_OBJECT

public:
    // The dialogs open over window.
    GraphControls(DriveLink& link, DriveView* const (&views)[SharedVariables::MotorCount], QStatusBar& statusBar,
                  QWidget& window);

    // The step test of a motor, its dialog made when first asked for.
    StepTestDialog* stepTestDialog(int motor);

private:
    void openStepTest(int motor);
    void toggleRecording();
    void showRecording();

    DriveLink& link;
    QWidget& window;
    PlotControls* plotControls[SharedVariables::MotorCount] = {};
    StepTestDialog* stepTestDialogs[SharedVariables::MotorCount] = {};
    DataRecording* recorder = nullptr;
    QPushButton* recordButton = nullptr;
    QLabel* recordingLabel = nullptr;
};
