// The MLA, MRA and MRN panels as the operator uses them: the joint dialogs, GO's
// validation in on-screen order and the frame it queues in wire order.
#include "ui/MotionPanels.h"
#include "core/DriveLink.h"
#include "protocol/RobotCommand.h"
#include "support/Frames.h"
#include "support/Modal.h"
#include "support/Pty.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

// The three panels side by side in a window, on a link open to a pseudo-terminal: a
// closed link drops robot commands.
struct ConnectedPanels
{
    Pty pty;
    DriveLink link;
    QWidget window;
    QWidget* hosts[3] = {new QWidget(&window), new QWidget(&window), new QWidget(&window)};
    MotionPanels panels{link, *hosts[0], *hosts[1], *hosts[2]};

    ConnectedPanels()
    {
        auto* layout = new QHBoxLayout(&window);
        for (QWidget* host : hosts)
            layout->addWidget(host);
    }

    // The panel of "MLA", "MRA" or "MRN".
    const MotionPanels::Panel& operator[](const QString& name) const
    {
        return panels.panel(*RobotCommands::find(name.toLower()));
    }

    // The robot command frames waiting to be sent; the polling's board frames start with "can".
    QList<QByteArray> robotFramesQueued() const
    {
        QList<QByteArray> frames;
        for (const SerialMessage& frame : link.transmitQueue())
            if (!wireBytes(frame).startsWith("can"))
                frames << wireBytes(frame);
        return frames;
    }
};

// What a joint dialog showed: its texts, owner and start, and the values the operator can
// reach: its minimum, maximum and step, then where 4097 and -1 end up.
struct SeenDialog
{
    QString title, label;
    QWidget* parent = nullptr;
    int start = -1;
    QList<int> range;
};

// Presses a Set button and answers its dialog with chosen, accepting or cancelling it.
SeenDialog setJoint(QPushButton* set, int chosen, bool accept)
{
    SeenDialog seen;
    answerNextModal([&seen, chosen, accept](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        if (!dialog)
            return rejectModal(modal);
        seen = {dialog->windowTitle(), dialog->labelText(), dialog->parentWidget(), dialog->intValue(),
                {dialog->intMinimum(), dialog->intMaximum(), dialog->intStep()}};
        for (int tried : {4097, -1}) {
            dialog->setIntValue(tried);
            seen.range << dialog->intValue();
        }
        dialog->setIntValue(chosen);
        accept ? dialog->accept() : dialog->reject();
    });
    set->click();
    return seen;
}

} // namespace

class TestMotionPanels : public QObject
{
    Q_OBJECT

private slots:
    void jointDialog_data();
    void jointDialog();
    void go_data();
    void go();
    void typedJoints();
    void panelTexts_data();
    void panelTexts();
};

void TestMotionPanels::jointDialog_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("joint");
    QTest::addColumn<QString>("name");
    for (const RobotCommand& command : RobotCommands::all) {
        for (int joint = 0; joint < command.jointCount(); ++joint) {
            const QString name = command.panelName() + ' ' + command.joints[size_t(joint)].name;
            QTest::newRow(qPrintable(name)) << command.panelName() << joint << name;
        }
    }
}

// Each dialog: its texts and bounds, starting at 0 on an empty field and at the value
// shown afterwards; OK writes the value to the field, Cancel leaves it. Nothing is sent.
void TestMotionPanels::jointDialog()
{
    QFETCH(QString, panel);
    QFETCH(int, joint);
    QFETCH(QString, name);
    ConnectedPanels w;
    QVERIFY(w.link.open(w.pty.slavePath()));
    QLineEdit* field = w[panel].fields[joint];
    QPushButton* set = w[panel].setButtons[joint];

    const SeenDialog first = setJoint(set, 4096, true);
    QCOMPARE(first.title, name + " Value");
    QCOMPARE(first.label, "Enter " + name + " value");
    QCOMPARE(first.parent, &w.window);
    QCOMPARE(first.start, 0);
    QCOMPARE(first.range, (QList<int>{0, 4096, 1, 4096, 0}));
    QCOMPARE(field->text(), QString("4096"));

    QCOMPARE(setJoint(set, 7, false).start, 4096);
    QCOMPARE(field->text(), QString("4096"));
    setJoint(set, 0, true);
    QCOMPARE(field->text(), QString("0"));
    QVERIFY(w.robotFramesQueued().isEmpty());
}

void TestMotionPanels::go_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QStringList>("fields"); // on-screen order
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("wire");

    const struct { const char *name, *panel; QStringList fields; const char *message, *wire; } rows[] = {
        {"MLA fresh: Elbow first", "MLA", {"", "", ""}, "MLA - Elbow value invalid", ""},
        {"MLA Yaw above 4096", "MLA", {"1", "2", "4097"}, "MLA - Yaw value invalid", ""},
        {"MLA Elbow 100 Pitch 200 Yaw 300", "MLA", {"100", "200", "300"}, "", "6D6C61 6400 2C01 C800"},
        {"MRA Pitch blank", "MRA", {"1", " ", "3"}, "MRA - Pitch value invalid", ""},
        {"MRA Elbow 1 Pitch 2 Yaw 3", "MRA", {"1", "2", "3"}, "", "6D7261 0100 0300 0200"},
        {"MRN Yaw not a number", "MRN", {"1", "z"}, "MRN - Yaw value invalid", ""},
        {"MRN Pitch 1 Yaw 2", "MRN", {"1", "2"}, "", "6D726E 0100 0200"},
    };
    const QString range = QStringLiteral(": enter a whole number from 0 to 4096.");
    for (const auto& r : rows)
        QTest::newRow(r.name) << r.panel << r.fields << (*r.message ? r.message + range : QString())
                              << QByteArray::fromHex(r.wire);
}

// Invalid joints stop GO with a box naming the first in on-screen order; valid ones queue
// one frame per press. The fields keep what the operator typed either way.
void TestMotionPanels::go()
{
    QFETCH(QString, panel);
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    QFETCH(QByteArray, wire);
    ConnectedPanels w;
    QVERIFY(w.link.open(w.pty.slavePath()));
    const MotionPanels::Panel& shown = w[panel];
    QCOMPARE(shown.fields.size(), fields.size());
    for (int i = 0; i < fields.size(); ++i)
        shown.fields[i]->setText(fields[i]);

    QString boxText;
    bool plainOkBox = false; // modal, a window of its own, OK its one and default button
    if (!message.isEmpty()) {
        answerNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            boxText = messageBoxText(modal);
            plainOkBox = box && box->isModal() && !box->parentWidget() && box->buttons().size() == 1
                && box->defaultButton() == box->button(QMessageBox::Ok);
            acceptModal(modal);
        });
    }
    shown.go->click();

    QCOMPARE(boxText, message);
    if (!message.isEmpty()) {
        QVERIFY(plainOkBox);
        QVERIFY(w.robotFramesQueued().isEmpty());
    } else {
        shown.go->click();
        QCOMPARE(w.robotFramesQueued(), (QList<QByteArray>{wire, wire}));
    }
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(shown.fields[i]->text(), fields[i]);
}

// Typed, a joint takes digits within its bounds' width; GO refuses what lies beyond them.
void TestMotionPanels::typedJoints()
{
    ConnectedPanels w;
    QVERIFY(w.link.open(w.pty.slavePath()));
    const MotionPanels::Panel& neck = w["MRN"];
    QTest::keyClicks(neck.fields[0], "-12a34567");
    QTest::keyClicks(neck.fields[1], "5000");
    QCOMPARE(neck.fields[0]->text(), QString("1234"));
    QString boxText;
    answerNextModal([&boxText](QWidget* modal) {
        boxText = messageBoxText(modal);
        acceptModal(modal);
    });
    neck.go->click();
    QCOMPARE(boxText, QString("MRN - Yaw value invalid: enter a whole number from 0 to 4096."));
    QTest::keyClick(neck.fields[1], Qt::Key_Backspace);
    neck.go->click();
    QCOMPARE(w.robotFramesQueued(), QList<QByteArray>{QByteArray::fromHex("6D726E D204 F401")});
}

void TestMotionPanels::panelTexts_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QStringList>("joints");
    QTest::newRow("MLA") << "MLA" << "MLA - Move Left Arm" << QStringList{"Elbow", "Pitch", "Yaw"};
    QTest::newRow("MRA") << "MRA" << "MRA - Move Right Arm" << QStringList{"Elbow", "Pitch", "Yaw"};
    QTest::newRow("MRN") << "MRN" << "MRN - Move Robot Neck" << QStringList{"Pitch", "Yaw"};
}

// What the operator reads on each tab: joints left to right, each captioned above its field.
void TestMotionPanels::panelTexts()
{
    QFETCH(QString, panel);
    QFETCH(QString, heading);
    QFETCH(QStringList, joints);
    ConnectedPanels w;
    QVERIFY(w.link.open(w.pty.slavePath()));
    const MotionPanels::Panel& shown = w[panel];
    QWidget* host = shown.host;
    const QList<QLabel*> labels = host->findChildren<QLabel*>();
    QVERIFY(std::any_of(labels.begin(), labels.end(), [&heading](QLabel* label) { return label->text() == heading; }));
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));

    QCOMPARE(shown.fields.size(), joints.size());
    const auto rectOf = [host](const QWidget* widget) { return QRect(widget->mapTo(host, QPoint()), widget->size()); };
    int left = -1;
    for (int i = 0; i < joints.size(); ++i) {
        const QRect field = rectOf(shown.fields[i]);
        QLabel* caption = nullptr;
        for (QLabel* label : host->findChildren<QLabel*>()) {
            const QRect at = rectOf(label);
            if (label->text() == joints[i] && at.left() <= field.right() && at.right() >= field.left())
                caption = label;
        }
        QVERIFY2(caption, qPrintable(joints[i]));
        QVERIFY(rectOf(caption).bottom() < field.top());
        QCOMPARE(shown.setButtons[i]->text(), QString("Set"));
        QVERIFY(field.left() > left);
        left = field.left();
    }
    QCOMPARE(shown.go->text(), QString("GO"));
}

QTEST_MAIN(TestMotionPanels)
#include "test_MotionPanels.moc"
