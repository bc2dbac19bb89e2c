// Arm and neck motion panels and the robot command builders.
#include "app/MainWindow.h"

#include "app/OperatorMessage.h"
#include "link/RobotCommand.h"

#include <QInputDialog>

#include <initializer_list>

namespace {

constexpr int JointMin = 0;
constexpr int JointMax = 4096;

// The joint's field is the only store of its value, so the dialog starts from it.
void askJoint(QWidget* parent, const char* panel, const char* joint, QLineEdit* field)
{
    const QString title = QStringLiteral("%1 %2 Value").arg(QLatin1String(panel), QLatin1String(joint));
    const QString label = QStringLiteral("Enter %1 %2 value").arg(QLatin1String(panel), QLatin1String(joint));
    bool ok = false;
    const int value = QInputDialog::getInt(parent, title, label, field->text().toInt(), JointMin,
                                           JointMax, 1, &ok);
    if (ok)
        field->setText(QString::number(short(value)));
}

struct JointField
{
    const char* name;
    const QLineEdit* field;
    short* value;
};

// Reads the joints in on-screen order; the first that does not convert is reported to
// the operator and nothing is sent.
bool readJoints(const char* panel, std::initializer_list<JointField> joints)
{
    for (const JointField& joint : joints) {
        bool ok = false;
        *joint.value = short(joint.field->text().toInt(&ok));
        if (!ok) {
            showOperatorMessage(QStringLiteral("%1 - %2 value invalid")
                                    .arg(QLatin1String(panel), QLatin1String(joint.name)));
            return false;
        }
    }
    return true;
}

} // namespace

void MainWindow::MLA_elbowClicked() { askJoint(this, "MLA", "Elbow", mla.lineEdit_Elbow); }
void MainWindow::MLA_pitchClicked() { askJoint(this, "MLA", "Pitch", mla.lineEdit_Pitch); }
void MainWindow::MLA_yawClicked() { askJoint(this, "MLA", "Yaw", mla.lineEdit_Yaw); }
void MainWindow::MRA_elbowClicked() { askJoint(this, "MRA", "Elbow", mra.lineEdit_Elbow); }
void MainWindow::MRA_pitchClicked() { askJoint(this, "MRA", "Pitch", mra.lineEdit_Pitch); }
void MainWindow::MRA_yawClicked() { askJoint(this, "MRA", "Yaw", mra.lineEdit_Yaw); }
void MainWindow::MRN_pitchClicked() { askJoint(this, "MRN", "Pitch", mrn.lineEdit_Pitch); }
void MainWindow::MRN_yawClicked() { askJoint(this, "MRN", "Yaw", mrn.lineEdit_Yaw); }

// The arms take their joints on the wire as Elbow, Yaw, Pitch, unlike the screen.
void MainWindow::MLA_goClicked()
{
    short elbow = 0, pitch = 0, yaw = 0;
    if (readJoints("MLA", {{"Elbow", mla.lineEdit_Elbow, &elbow},
                           {"Pitch", mla.lineEdit_Pitch, &pitch},
                           {"Yaw", mla.lineEdit_Yaw, &yaw}}))
        ScriptMLA(elbow, yaw, pitch);
}

void MainWindow::MRA_goClicked()
{
    short elbow = 0, pitch = 0, yaw = 0;
    if (readJoints("MRA", {{"Elbow", mra.lineEdit_Elbow, &elbow},
                           {"Pitch", mra.lineEdit_Pitch, &pitch},
                           {"Yaw", mra.lineEdit_Yaw, &yaw}}))
        ScriptMRA(elbow, yaw, pitch);
}

void MainWindow::MRN_goClicked()
{
    short pitch = 0, yaw = 0;
    if (readJoints("MRN", {{"Pitch", mrn.lineEdit_Pitch, &pitch}, {"Yaw", mrn.lineEdit_Yaw, &yaw}}))
        ScriptMRN(pitch, yaw);
}

// Robot commands bypass sendCANMessage: they are queued even while not connected, and
// the transmit tick drops them then.
void MainWindow::ScriptMLA(short v1, short v2, short v3)
{
    txQueue.append(RobotCommands::Mla.frame({v1, v2, v3}));
}

void MainWindow::ScriptMRA(short v1, short v2, short v3)
{
    txQueue.append(RobotCommands::Mra.frame({v1, v2, v3}));
}

void MainWindow::ScriptMRN(short v1, short v2)
{
    txQueue.append(RobotCommands::Mrn.frame({v1, v2}));
}

void MainWindow::ScriptMRM(char b1, char b2, char b3, char b4, char b5, char b6, char b7, char b8)
{
    txQueue.append(RobotCommands::Mrm.frame({b1, b2, b3, b4, b5, b6, b7, b8}));
}

void MainWindow::ScriptMEB(char b1, char b2, char b3, char b4)
{
    txQueue.append(RobotCommands::Meb.frame({b1, b2, b3, b4}));
}

void MainWindow::ScriptMRE(char b1, char b2, char b3, char b4, char b5, char b6)
{
    txQueue.append(RobotCommands::Mre.frame({b1, b2, b3, b4, b5, b6}));
}
