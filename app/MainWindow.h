#pragma once

#include "drive/SharedVariables.h"
#include "link/CANMessage.h"
#include "link/SerialMessage.h"

#include "ui_MLA.h"
#include "ui_MRA.h"
#include "ui_MRN.h"
#include "ui_MainWindow.h"

#include <QList>
#include <QMainWindow>
#include <QStringList>

class DriveView;
class QLineEdit;
class QTimer;
class SerialDriver;

// The one window of the tool. It owns the form, the four drive views, the motion
// panels, the serial driver while connected, the transmit queue, the variable mirror,
// the script runner and the timers. Its operations live in one source file per
// subsystem: connection, drive link, parameters, motion and script.
class MainWindow : public QMainWindow, public Ui::MainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Adds a port name to the list unless it is there already, and selects it.
    void addPort(const QString& name);

protected slots:
    void MLA_elbowClicked();
    void MLA_pitchClicked();
    void MLA_yawClicked();
    void MLA_goClicked();
    void MRA_elbowClicked();
    void MRA_pitchClicked();
    void MRA_yawClicked();
    void MRA_goClicked();
    void MRN_pitchClicked();
    void MRN_yawClicked();
    void MRN_goClicked();

    void SaveEEPROMClicked();

    void connectButtonClicked();
    void disconnectButtonClicked();
    void driveIndexChanged(const QString& text);
    void buttonBoxButtonClicked(QAbstractButton* button);

    void SerialMessageReady(const SerialMessage& message);
    void handleTxMessage();
    void updateTimer();
    void updateView();
    void sendCANMessage(const CANMessage& message);

    void CtrlModeChanged(int value, int id);
    void CtrlTypeChanged(int value, int id);
    void SetPointSrcChanged(int value, int id);
    void PosMesSrcChanged(int value, int id);
    void SetPointChanged(int value, int id);
    void SetPointMaxChanged(int value, int id);
    void SetPointMinChanged(int value, int id);
    void ADCOffsetChanged(int value, int id);
    void SpeedMaxChanged(int value, int id);
    void AccelerationStepChanged(int value, int id);
    void CurrentOffsetChanged(int value, int id);
    void CurrentLimitChanged(int value, int id);
    void EncoderBiasChanged(int value, int id);
    void MotorBiasChanged(int value, int id);
    void pid_KpChanged(double value, int id);
    void pid_KiChanged(double value, int id);
    void pid_KdChanged(double value, int id);
    void pid_error_maxChanged(double value, int id);

    void ScriptLoadClicked();
    void ScriptStartClicked();
    void ScriptStopClicked();
    void ScriptTimeout();

protected:
    // Drive link: variable writes of each width, appended only while connected.
    void sendVariableData(unsigned int address, float value);
    void sendVariableData(unsigned int address, short value);
    void sendVariableData(unsigned int address, unsigned char value);

    // Robot command builders: one frame each, appended to the queue connected or not.
    void ScriptMLA(short v1, short v2, short v3);
    void ScriptMRA(short v1, short v2, short v3);
    void ScriptMRN(short v1, short v2);
    void ScriptMRM(char b1, char b2, char b3, char b4, char b5, char b6, char b7, char b8);
    void ScriptMEB(char b1, char b2, char b3, char b4);
    void ScriptMRE(char b1, char b2, char b3, char b4, char b5, char b6);

    // Replaces the script table by these rows, one cell per field.
    void fillScriptTable(const QList<QStringList>& rows);

    bool isConnected() const { return serialDriver != nullptr; }

    Ui_MLA mla;
    Ui_MRA mra;
    Ui_MRN mrn;
    DriveView* driveViews[SharedVariables::MotorCount] = {};
    SerialDriver* serialDriver = nullptr;
    QList<SerialMessage> txQueue;
    QTimer* pollTimer = nullptr;
    QTimer* txTimer = nullptr;
    QTimer* scriptTimer = nullptr;
    int scriptRow = 0;
    SharedVariables::Block mirror;
    // The value field of each motor variable in each view, in the layout's order.
    QLineEdit* valueFields[SharedVariables::MotorCount][SharedVariables::VariableCount] = {};
    int pollIndex = 0;
    unsigned char driveAddress = 1;

private:
    void connectDriveView(DriveView* view);
    void writeParameter(SharedVariables::Index index, int value, int id);
    void writeParameter(SharedVariables::Index index, double value, int id);
    void serialPortLost(const QString& reason);
    void setConnectedState(bool connected);
    void showConnectionError(const QString& title, const QString& text);
};
