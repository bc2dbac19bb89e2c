// The arm and neck motion panels: joint dialogs and GO.
#include "ui/MainWindow.h"

#include "core/DriveLink.h"
#include "protocol/RobotCommand.h"
#include "ui/OperatorMessage.h"
#include "ui/WhileConnected.h"

#include <QInputDialog>
#include <QIntValidator>
#include <QStatusBar>

#include <initializer_list>

namespace {

// The joint's field is the only store of its value, so the dialog starts from it.
void askJoint(QWidget* parent, const RobotCommand& command, const char* panel, const char* joint, QLineEdit* field)
{
    const QString title = QStringLiteral("%1 %2 Value").arg(QLatin1String(panel), QLatin1String(joint));
    const QString label = QStringLiteral("Enter %1 %2 value").arg(QLatin1String(panel), QLatin1String(joint));
    bool ok = false;
    const int value = QInputDialog::getInt(parent, title, label, field->text().toInt(),
                                           command.minimum, command.maximum, 1, &ok);
    if (ok)
        field->setText(QString::number(short(value)));
}

struct JointField
{
    const char* name;
    const QLineEdit* field;
    short* value;
};

// Reads the joints in on-screen order; the first that does not convert or lies outside
// the command's bounds is reported to the operator and nothing is sent.
bool readJoints(const char* panel, const RobotCommand& command, std::initializer_list<JointField> joints)
{
    for (const JointField& joint : joints) {
        bool ok = false;
        const int value = joint.field->text().toInt(&ok);
        if (!ok || value < command.minimum || value > command.maximum) {
            showOperatorMessage(QStringLiteral("%1 - %2 value invalid: enter a whole number from %3 to %4.")
                                    .arg(QLatin1String(panel), QLatin1String(joint.name))
                                    .arg(command.minimum)
                                    .arg(command.maximum));
            return false;
        }
        *joint.value = short(value);
    }
    return true;
}

} // namespace

void MainWindow::connectMotionPanels()
{
    const struct
    {
        QPushButton* button;
        const RobotCommand& command;
        const char* panel;
        const char* joint;
        QLineEdit* field;
    } joints[] = {
        {mla.pushButton_Elbow, RobotCommands::Mla, "MLA", "Elbow", mla.lineEdit_Elbow},
        {mla.pushButton_Pitch, RobotCommands::Mla, "MLA", "Pitch", mla.lineEdit_Pitch},
        {mla.pushButton_Yaw, RobotCommands::Mla, "MLA", "Yaw", mla.lineEdit_Yaw},
        {mra.pushButton_Elbow, RobotCommands::Mra, "MRA", "Elbow", mra.lineEdit_Elbow},
        {mra.pushButton_Pitch, RobotCommands::Mra, "MRA", "Pitch", mra.lineEdit_Pitch},
        {mra.pushButton_Yaw, RobotCommands::Mra, "MRA", "Yaw", mra.lineEdit_Yaw},
        {mrn.pushButton_Pitch, RobotCommands::Mrn, "MRN", "Pitch", mrn.lineEdit_Pitch},
        {mrn.pushButton_Yaw, RobotCommands::Mrn, "MRN", "Yaw", mrn.lineEdit_Yaw},
    };
    for (const auto& joint : joints) {
        // Typed or chosen in the dialog, a joint keeps to the same bounds.
        joint.field->setValidator(new QIntValidator(joint.command.minimum, joint.command.maximum, joint.field));
        joint.field->setPlaceholderText(tr("%1 to %2").arg(joint.command.minimum).arg(joint.command.maximum));
        connect(joint.button, &QPushButton::clicked, this,
                [this, joint] { askJoint(this, joint.command, joint.panel, joint.joint, joint.field); });
    }
    for (QPushButton* go : {mla.pushButton_Go, mra.pushButton_Go, mrn.pushButton_Go})
        enableWhileConnected(go, link);
    connect(mla.pushButton_Go, &QPushButton::clicked, this, [this] {
        goArm("MLA", mla.lineEdit_Elbow, mla.lineEdit_Pitch, mla.lineEdit_Yaw, RobotCommands::Mla);
    });
    connect(mra.pushButton_Go, &QPushButton::clicked, this, [this] {
        goArm("MRA", mra.lineEdit_Elbow, mra.lineEdit_Pitch, mra.lineEdit_Yaw, RobotCommands::Mra);
    });
    connect(mrn.pushButton_Go, &QPushButton::clicked, this, &MainWindow::goNeck);
}

// The arms take their joints on the wire as Elbow, Yaw, Pitch, unlike the screen.
void MainWindow::goArm(const char* panel, const QLineEdit* elbowField, const QLineEdit* pitchField,
                       const QLineEdit* yawField, const RobotCommand& command)
{
    short elbow = 0, pitch = 0, yaw = 0;
    if (readJoints(panel, command, {{"Elbow", elbowField, &elbow}, {"Pitch", pitchField, &pitch}, {"Yaw", yawField, &yaw}}))
        sendToRobot(command, {elbow, yaw, pitch});
}

void MainWindow::goNeck()
{
    short pitch = 0, yaw = 0;
    if (readJoints("MRN", RobotCommands::Mrn, {{"Pitch", mrn.lineEdit_Pitch, &pitch}, {"Yaw", mrn.lineEdit_Yaw, &yaw}}))
        sendToRobot(RobotCommands::Mrn, {pitch, yaw});
}

// GO's confirmation names what went to the robot, as a script row would write it.
void MainWindow::sendToRobot(const RobotCommand& command, const QVector<int>& values)
{
    link.queueRobotCommand(command, values);
    QStringList fields{QLatin1String(command.word)};
    for (int value : values)
        fields.append(QString::number(value));
    statusBar()->showMessage(tr("Sent to the robot: %1").arg(fields.join(QLatin1Char(';'))), 5000);
}
