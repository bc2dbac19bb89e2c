#pragma once

#include <QList>
#include <QObject>

#include <array>

class DriveLink;
class QLineEdit;
class QPushButton;
class QWidget;
struct RobotCommand;

// The arm and neck panels: each sets the joints of one motion command of the robot, in
// the order and within the bounds of the command table, and GO sends them in wire order.
class MotionPanels : public QObject
{
    Q_OBJECT

public:
    // A panel as the operator uses it: its joints' fields and Set buttons in on-screen
    // order, and GO.
    struct Panel
    {
        const RobotCommand* command = nullptr;
        QWidget* host = nullptr;
        QList<QLineEdit*> fields;
        QList<QPushButton*> setButtons;
        QPushButton* go = nullptr;
    };

    // Lays the panels out in their hosts.
    MotionPanels(DriveLink& link, QWidget& leftArm, QWidget& rightArm, QWidget& neck, QObject* parent = nullptr);

    // The panel of one of the motion commands.
    const Panel& panel(const RobotCommand& command) const;

signals:
    // What GO sent, for the status bar.
    void sent(const QString& note);

private:
    void connectPanel(const Panel& panel);
    void askJoint(const Panel& panel, int joint);
    void go(const Panel& panel);

    DriveLink& link;
    std::array<Panel, 3> panels;
};
