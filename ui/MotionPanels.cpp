#include "ui/MotionPanels.h"

#include "core/DriveLink.h"
#include "protocol/RobotCommand.h"
#include "ui/OperatorMessage.h"
#include "ui/WhileConnected.h"

#include "ui_MLA.h"
#include "ui_MRA.h"
#include "ui_MRN.h"

#include <QInputDialog>
#include <QIntValidator>

#include <algorithm>

namespace {

// The panel's widgets, found by the names the forms give them after the joints.
MotionPanels::Panel panelIn(QWidget& host, const RobotCommand& command)
{
    MotionPanels::Panel panel;
    panel.command = &command;
    panel.host = &host;
    for (int joint = 0; joint < command.jointCount(); ++joint) {
        const QLatin1String name(command.joints[size_t(joint)].name);
        panel.fields << host.findChild<QLineEdit*>(QStringLiteral("lineEdit_") + name);
        panel.setButtons << host.findChild<QPushButton*>(QStringLiteral("pushButton_") + name);
    }
    panel.go = host.findChild<QPushButton*>(QStringLiteral("pushButton_Go"));
    return panel;
}

QString jointTitle(const RobotCommand& command, int joint)
{
    return command.panelName() + QLatin1Char(' ') + QLatin1String(command.joints[size_t(joint)].name);
}

} // namespace

MotionPanels::MotionPanels(DriveLink& link, QWidget& leftArm, QWidget& rightArm, QWidget& neck, QObject* parent)
    : QObject(parent), link(link)
{
    Ui::MLA().setupUi(&leftArm);
    Ui::MRA().setupUi(&rightArm);
    Ui::MRN().setupUi(&neck);
    panels = {panelIn(leftArm, RobotCommands::Mla), panelIn(rightArm, RobotCommands::Mra), panelIn(neck, RobotCommands::Mrn)};
    for (const Panel& panel : panels)
        connectPanel(panel);
}

const MotionPanels::Panel& MotionPanels::panel(const RobotCommand& command) const
{
    return *std::find_if(panels.begin(), panels.end(),
                         [&command](const Panel& panel) { return qstrcmp(panel.command->word, command.word) == 0; });
}

void MotionPanels::connectPanel(const Panel& panel)
{
    const RobotCommand& command = *panel.command;
    for (int joint = 0; joint < panel.fields.size(); ++joint) {
        QLineEdit* field = panel.fields[joint];
        // Typed or chosen in the dialog, a joint keeps to the same bounds.
        field->setValidator(new QIntValidator(command.minimum, command.maximum, field));
        field->setPlaceholderText(tr("%1 to %2").arg(command.minimum).arg(command.maximum));
        connect(panel.setButtons[joint], &QPushButton::clicked, this, [this, &panel, joint] { askJoint(panel, joint); });
    }
    enableWhileConnected(panel.go, link);
    connect(panel.go, &QPushButton::clicked, this, [this, &panel] { go(panel); });
}

// The joint's field is the only store of its value, so the dialog starts from it.
void MotionPanels::askJoint(const Panel& panel, int joint)
{
    const RobotCommand& command = *panel.command;
    QLineEdit* field = panel.fields[joint];
    bool ok = false;
    const int value = QInputDialog::getInt(panel.host->window(), jointTitle(command, joint) + QStringLiteral(" Value"),
                                           QStringLiteral("Enter %1 value").arg(jointTitle(command, joint)),
                                           field->text().toInt(), command.minimum, command.maximum, 1, &ok);
    if (ok)
        field->setText(QString::number(value));
}

// The first joint, in on-screen order, that is no whole number within the command's
// bounds is reported and nothing is sent. The confirmation names what went to the robot
// as a script row would write it.
void MotionPanels::go(const Panel& panel)
{
    const RobotCommand& command = *panel.command;
    QStringList texts;
    for (const QLineEdit* field : panel.fields)
        texts << field->text();
    int invalid = -1;
    const QVector<int> values = command.jointValues(texts, &invalid);
    if (invalid >= 0) {
        showOperatorMessage(QStringLiteral("%1 - %2 value invalid: enter a whole number from %3 to %4.")
                                .arg(command.panelName(), QLatin1String(command.joints[size_t(invalid)].name))
                                .arg(command.minimum)
                                .arg(command.maximum));
        return;
    }
    link.queueRobotCommand(command, values);
    QStringList row{QLatin1String(command.word)};
    for (int value : values)
        row << QString::number(value);
    emit sent(tr("Sent to the robot: %1").arg(row.join(QLatin1Char(';'))));
}
