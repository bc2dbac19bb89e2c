// Parameter writes and the EEPROM save.
#include "app/MainWindow.h"
#include "app/OperatorMessage.h"

using namespace SharedVariables;

void MainWindow::writeParameter(SharedVariables::Index index, int value, int id)
{
    const Variable& parameter = variable(index);
    const unsigned int at = unsigned(address(id, parameter.offset));
    if (parameter.type == Type::U8)
        sendVariableData(at, static_cast<unsigned char>(value));
    else
        sendVariableData(at, static_cast<short>(value));
}

void MainWindow::writeParameter(SharedVariables::Index index, double value, int id)
{
    sendVariableData(unsigned(address(id, variable(index).offset)), static_cast<float>(value));
}

void MainWindow::CtrlModeChanged(int value, int id) { writeParameter(CtrlMode, value, id); }
void MainWindow::CtrlTypeChanged(int value, int id) { writeParameter(CtrlType, value, id); }
void MainWindow::SetPointSrcChanged(int value, int id) { writeParameter(SetPointSrc, value, id); }
void MainWindow::PosMesSrcChanged(int value, int id) { writeParameter(PosMesSrc, value, id); }
void MainWindow::SetPointChanged(int value, int id) { writeParameter(SetPoint, value, id); }
void MainWindow::SetPointMaxChanged(int value, int id) { writeParameter(SetPointMax, value, id); }
void MainWindow::SetPointMinChanged(int value, int id) { writeParameter(SetPointMin, value, id); }
void MainWindow::ADCOffsetChanged(int value, int id) { writeParameter(ADCOffset, value, id); }
void MainWindow::SpeedMaxChanged(int value, int id) { writeParameter(SpeedMax, value, id); }
void MainWindow::AccelerationStepChanged(int value, int id) { writeParameter(AccelerationStep, value, id); }
void MainWindow::CurrentOffsetChanged(int value, int id) { writeParameter(CurrentOffset, value, id); }
void MainWindow::CurrentLimitChanged(int value, int id) { writeParameter(CurrentLimit, value, id); }
void MainWindow::EncoderBiasChanged(int value, int id) { writeParameter(EncoderBias, value, id); }
void MainWindow::MotorBiasChanged(int value, int id) { writeParameter(MotorBias, value, id); }
void MainWindow::pid_KpChanged(double value, int id) { writeParameter(pid_Kp, value, id); }
void MainWindow::pid_KiChanged(double value, int id) { writeParameter(pid_Ki, value, id); }
void MainWindow::pid_KdChanged(double value, int id) { writeParameter(pid_Kd, value, id); }
void MainWindow::pid_error_maxChanged(double value, int id) { writeParameter(pid_error_max, value, id); }

void MainWindow::SaveEEPROMClicked()
{
    sendVariableData(unsigned(SaveEEPROMAddress), static_cast<unsigned char>(1));
    showOperatorMessage(QStringLiteral("Configuration saved to EEPROM for drive :") + QString::number(driveAddress));
}
