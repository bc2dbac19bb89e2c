// The tool connected to the simulated boards (drive-sim) on a pseudo-terminal:
// live values, parameter round trips, the EEPROM save, noise and a script run.
#include "core/DriveLink.h"
#include "ui/DriveView.h"
#include "ui/MainWindow.h"
#include "support/Modal.h"
#include "support/SimProcess.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace SharedVariables;

namespace {

// The tool: the link and its window.
struct Tool
{
    DriveLink link;
    MainWindow window {link};

    // What the board confirmed: nothing while an entered value waits for its read-back.
    QString field(int motor, Index index) const
    {
        const DriveView* view = window.driveView(motor);
        return view->isPending(index) ? QString() : view->findChild<QLineEdit*>(variable(index).fieldName())->text();
    }

    bool connectTo(const SimProcess& sim)
    {
        if (sim.port().isEmpty())
            return false;
        window.addPort(sim.port());
        window.form().pushButton_Connect->click();
        return link.isConnected();
    }
};

// A full sweep of the block takes 2.25 s; allow for a loaded machine.
constexpr int SweepTimeoutMs = 20000;

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void liveValuesOnEveryPanel()
    {
        SimProcess sim;
        Tool tool;
        QVERIFY(tool.connectTo(sim));
        const QLineEdit* loopTime = tool.window.form().lineEdit_LoopTime;
        QTRY_VERIFY_WITH_TIMEOUT(!loopTime->text().isEmpty() && loopTime->text() != QLatin1String("0"),
                                 SweepTimeoutMs);
        for (int motor = 0; motor < MotorCount; ++motor) {
            QTRY_COMPARE_WITH_TIMEOUT(tool.field(motor, pid_Kp), QStringLiteral("0.5"), SweepTimeoutMs);
            QVERIFY(!tool.field(motor, MotorBias).isEmpty());
            QVERIFY(tool.link.samples(motor).size() > 0);
        }
    }

    void parameterRoundTripOnBoard2()
    {
        SimProcess sim;
        Tool tool;
        QVERIFY(tool.connectTo(sim));
        tool.window.form().addressComboBox->setCurrentText(QStringLiteral("0x02"));
        QTRY_COMPARE_WITH_TIMEOUT(tool.field(2, pid_Kp), QStringLiteral("0.4"), SweepTimeoutMs);

        DriveView* view = tool.window.driveView(2);
        emit view->parameterEntered(SpeedMax, 2, 777);
        QTRY_COMPARE_WITH_TIMEOUT(tool.field(2, SpeedMax), QStringLiteral("777"), SweepTimeoutMs);

        // The motor follows a new set-point under its control parameters.
        const int start = tool.field(2, Position).toInt();
        const int target = start > 2000 ? start - 500 : start + 500;
        emit view->parameterEntered(SetPoint, 2, target);
        QTRY_COMPARE_WITH_TIMEOUT(tool.field(2, SetPoint), QString::number(target), SweepTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(tool.field(2, Position).toInt() - target) < 20, SweepTimeoutMs);

        // Board 1 kept its own value.
        tool.window.form().addressComboBox->setCurrentText(QStringLiteral("0x01"));
        QTRY_COMPARE_WITH_TIMEOUT(tool.field(2, pid_Kp), QStringLiteral("0.5"), SweepTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(tool.field(2, SpeedMax) != QLatin1String("777"), SweepTimeoutMs);
    }

    void saveEEPROMSurvivesARestart()
    {
        QTemporaryDir dir;
        const QString eeprom = dir.filePath(QStringLiteral("eeprom.bin"));
        {
            SimProcess sim({"--eeprom", eeprom});
            Tool tool;
            QVERIFY(tool.connectTo(sim));
            emit tool.window.driveView(1)->parameterEntered(CurrentLimit, 1, 4321);
            QTRY_COMPARE_WITH_TIMEOUT(tool.field(1, CurrentLimit), QStringLiteral("4321"), SweepTimeoutMs);
            answerNextModal(acceptModal);
            tool.window.form().pushButton_SaveEEPROM->click();
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(eeprom), SweepTimeoutMs);
        }
        SimProcess restarted({"--eeprom", eeprom});
        Tool tool;
        QVERIFY(tool.connectTo(restarted));
        QTRY_COMPARE_WITH_TIMEOUT(tool.field(1, CurrentLimit), QStringLiteral("4321"), SweepTimeoutMs);
    }

    void noiseLosesNothingButTheNoise()
    {
        SimProcess sim({"--noise", "0.5", "--seed", "7"});
        Tool tool;
        QVERIFY(tool.connectTo(sim));
        int frames = 0;
        int strange = 0;
        connect(&tool.link, &DriveLink::frameReceived, this, [&](const SerialMessage& message) {
            ++frames;
            const int type = message.bytes[SerialMessage::Type];
            strange += (type != 0x20 && type != 0x02) || message.bytes[SerialMessage::Dest] != 1;
        });
        QTRY_VERIFY_WITH_TIMEOUT(frames >= 200, SweepTimeoutMs);
        QCOMPARE(strange, 0);
        for (int motor = 0; motor < MotorCount; ++motor)
            QTRY_COMPARE_WITH_TIMEOUT(tool.field(motor, pid_Kp), QStringLiteral("0.5"), SweepTimeoutMs);
    }

    void exampleScriptReachesTheRobot()
    {
        SimProcess sim;
        Tool tool;
        QVERIFY(tool.connectTo(sim));
        const Ui::MainWindow& form = tool.window.form();
        answerNextModal([](QWidget* modal) {
            chooseInFileDialog(modal, QFINDTESTDATA("../scripts/all_commands.txt"));
        });
        form.pushButton_ScriptLoad->click();
        QVERIFY(form.tableWidget_Script->rowCount() > 0);

        QString completion;
        answerNextModal([&](QWidget* modal) { completion = messageBoxText(modal); acceptModal(modal); }, 60000);
        form.pushButton_ScriptStart->click();
        QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Script Completed"), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(sim.commands().size(), 9, SweepTimeoutMs);
        QCOMPARE(sim.commands(), (QStringList {"mla 2048 2048 2048", "mra 2048 2048 2048", "mrn 2048 2048",
                                               "mrm 1 2 3 4 5 6 7 8", "meb 10 20 30 40", "mre 0 64 128 192 255 0",
                                               "mla 0 0 0", "mra 0 0 0", "mrn 0 0"}));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_EndToEnd.moc"
