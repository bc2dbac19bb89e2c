// The tool connected to the simulated boards (drive-sim) on a pseudo-terminal:
// live values, parameter round trips, the EEPROM save, noise and a script run.
#include "ui/MainWindow.h"
#include "ui/DriveView.h"
#include "core/SerialDriver.h"
#include "support/Modal.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Probe : MainWindow
{
    using MainWindow::driveViews;
    using MainWindow::scriptTimer;
    using MainWindow::serialDriver;
};

// One run of drive-sim; it ends with this object.
class Sim
{
public:
    explicit Sim(const QStringList& arguments = {})
    {
        process.start(qEnvironmentVariable("DRIVE_SIM"), arguments);
        if (process.waitForStarted(10000)) {
            while (!process.canReadLine() && process.waitForReadyRead(10000)) {
            }
            port = QString::fromLocal8Bit(process.readLine()).trimmed();
        }
    }
    ~Sim()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }

    // The robot commands the simulator printed so far.
    QStringList commands()
    {
        output += QString::fromLocal8Bit(process.readAllStandardOutput());
        return output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QProcess process;
    QString port;
    QString output;
};

QString field(Probe& window, int motor, const char* name)
{
    return window.driveViews[motor]->findChild<QLineEdit*>(QStringLiteral("lineEdit_") + QLatin1String(name))->text();
}

bool connectTo(Probe& window, const Sim& sim)
{
    if (sim.port.isEmpty())
        return false;
    window.addPort(sim.port);
    window.pushButton_Connect->click();
    return window.labelConnected->text() == QLatin1String("Connected");
}

// A full sweep of the block takes 2.25 s; allow for a loaded machine.
constexpr int SweepTimeoutMs = 20000;

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void liveValuesOnEveryPanel()
    {
        Sim sim;
        Probe window;
        QVERIFY(connectTo(window, sim));
        QTRY_VERIFY_WITH_TIMEOUT(!window.lineEdit_LoopTime->text().isEmpty()
                                     && window.lineEdit_LoopTime->text() != QLatin1String("0"),
                                 SweepTimeoutMs);
        for (int motor = 0; motor < 4; ++motor) {
            QTRY_COMPARE_WITH_TIMEOUT(field(window, motor, "pid_Kp"), QStringLiteral("0.5"), SweepTimeoutMs);
            QVERIFY(!field(window, motor, "MotorBias").isEmpty());
            QVERIFY(window.driveViews[motor]->positionBuffer.size() > 0);
        }
    }

    void parameterRoundTripOnBoard2()
    {
        Sim sim;
        Probe window;
        QVERIFY(connectTo(window, sim));
        window.addressComboBox->setCurrentText(QStringLiteral("0x02"));
        QTRY_COMPARE_WITH_TIMEOUT(field(window, 2, "pid_Kp"), QStringLiteral("0.4"), SweepTimeoutMs);

        emit window.driveViews[2]->SpeedMaxChanged(777, 2);
        QTRY_COMPARE_WITH_TIMEOUT(field(window, 2, "SpeedMax"), QStringLiteral("777"), SweepTimeoutMs);

        // The motor follows a new set-point under its control parameters.
        const int start = field(window, 2, "Position").toInt();
        const int target = start > 2000 ? start - 500 : start + 500;
        emit window.driveViews[2]->SetPointChanged(target, 2);
        QTRY_COMPARE_WITH_TIMEOUT(field(window, 2, "SetPoint"), QString::number(target), SweepTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(field(window, 2, "Position").toInt() - target) < 20, SweepTimeoutMs);

        // Board 1 kept its own value.
        window.addressComboBox->setCurrentText(QStringLiteral("0x01"));
        QTRY_COMPARE_WITH_TIMEOUT(field(window, 2, "pid_Kp"), QStringLiteral("0.5"), SweepTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(field(window, 2, "SpeedMax") != QLatin1String("777"), SweepTimeoutMs);
    }

    void saveEEPROMSurvivesARestart()
    {
        QTemporaryDir dir;
        const QString eeprom = dir.filePath(QStringLiteral("eeprom.bin"));
        Probe window;
        {
            Sim sim({"--eeprom", eeprom});
            QVERIFY(connectTo(window, sim));
            emit window.driveViews[1]->CurrentLimitChanged(4321, 1);
            QTRY_COMPARE_WITH_TIMEOUT(field(window, 1, "CurrentLimit"), QStringLiteral("4321"), SweepTimeoutMs);
            QString text;
            answerNextModal([&](QWidget* modal) {
                text = messageBoxText(modal);
                acceptModal(modal);
            });
            window.pushButton_SaveEEPROM->click();
            QCOMPARE(text, QStringLiteral("Configuration saved to EEPROM for drive :1"));
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(eeprom), SweepTimeoutMs);
            window.pushButton_Disconnect->click();
        }
        window.driveViews[1]->lineEdit_CurrentLimit->clear();
        Sim restarted({"--eeprom", eeprom});
        QVERIFY(connectTo(window, restarted));
        QTRY_COMPARE_WITH_TIMEOUT(field(window, 1, "CurrentLimit"), QStringLiteral("4321"), SweepTimeoutMs);
    }

    void noiseLosesNothingButTheNoise()
    {
        Sim sim({"--noise", "0.5", "--seed", "7"});
        Probe window;
        QVERIFY(connectTo(window, sim));
        int frames = 0;
        int strange = 0;
        connect(window.serialDriver, &SerialDriver::messageReady, this, [&](const SerialMessage& message) {
            ++frames;
            const int type = message.bytes[SerialMessage::Type];
            strange += (type != 0x20 && type != 0x02) || message.bytes[SerialMessage::Dest] != 1;
        });
        QTRY_VERIFY_WITH_TIMEOUT(frames >= 200, SweepTimeoutMs);
        QCOMPARE(strange, 0);
        for (int motor = 0; motor < 4; ++motor)
            QTRY_COMPARE_WITH_TIMEOUT(field(window, motor, "pid_Kp"), QStringLiteral("0.5"), SweepTimeoutMs);
    }

    void exampleScriptReachesTheRobot()
    {
        Sim sim;
        Probe window;
        QVERIFY(connectTo(window, sim));
        answerNextModal([](QWidget* modal) {
            chooseInFileDialog(modal, QFINDTESTDATA("../scripts/all_commands.txt"));
        });
        window.pushButton_ScriptLoad->click();
        QVERIFY(window.tableWidget_Script->rowCount() > 0);

        QString completion;
        answerNextModal(
            [&](QWidget* modal) {
                completion = messageBoxText(modal);
                acceptModal(modal);
            },
            60000);
        window.pushButton_ScriptStart->click();
        QTRY_COMPARE_WITH_TIMEOUT(completion, QStringLiteral("Script Completed"), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(sim.commands().size(), 9, SweepTimeoutMs);
        QCOMPARE(sim.commands(), (QStringList {"mla 2048 2048 2048", "mra 2048 2048 2048", "mrn 2048 2048",
                                               "mrm 1 2 3 4 5 6 7 8", "meb 10 20 30 40", "mre 0 64 128 192 255 0",
                                               "mla 0 0 0", "mra 0 0 0", "mrn 0 0"}));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_EndToEnd.moc"
