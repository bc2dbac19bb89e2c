// The step test: when it is refused, the SetPoint writes on the wire, the samples it
// takes, how it ends; and on the simulated boards, through its dialog, that a higher
// pid_Kp rises faster and overshoots more.
#include "core/DriveLink.h"
#include "core/StepTest.h"
#include "ui/GraphControls.h"
#include "ui/MainWindow.h"
#include "ui/StepTestDialog.h"
#include "support/Frames.h"
#include "support/LinkOnPty.h"
#include "support/Pty.h"
#include "support/SimProcess.h"
#include "support/WindowOnLink.h"

#include <qwt_plot_curve.h>

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace SharedVariables;

namespace {

template <typename Value>
QByteArray bytesOf(Value value)
{
    QByteArray bytes(sizeof value, 0);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// Board 1's replies for motor 0: where its set-point comes from, the set-point and its bounds.
void fillMirror(DriveLink& link, uint8_t source)
{
    link.receiveFrame(variableWrite(address(0, CtrlMode), 1, QByteArray(2, 0) + char(source) + QByteArray(3, 0) + bytesOf<int16_t>(1500)));
    link.receiveFrame(variableWrite(address(0, SetPointMax), 1, bytesOf<int16_t>(3000) + bytesOf<int16_t>(1000) + QByteArray(4, 0)));
}

// Board 1 answers the reads a run makes before its step: motor 0's set-point source, the
// set-point and its bounds as above, and its gains.
void answerReads(DriveLink& link, uint8_t source)
{
    while (!link.transmitQueue().isEmpty())
        link.sendNextFrame();
    fillMirror(link, source);
    link.receiveFrame(variableWrite(address(0, pid_Kp) - 4, 1, QByteArray(4, 0) + bytesOf(2.5f)));
    link.receiveFrame(variableWrite(address(0, pid_Ki), 1, bytesOf(0.25f) + bytesOf(0.125f)));
}

QByteArray setPointWrite(int16_t value)
{
    return wireBytes(variableWrite(address(0, SetPoint), 1, bytesOf(value)));
}

// The variable writes the link put on the line, and then those still waiting.
struct Writes
{
    explicit Writes(DriveLink& link)
        : link(link)
    {
        QObject::connect(&link, &DriveLink::frameSent, [this](const SerialMessage& frame) {
            if (frame.bytes[SerialMessage::Type] == SerialMessage::VariableType
                && !(frame.bytes[SerialMessage::BootRtrLength] & SerialMessage::RtrBit))
                sent << wireBytes(frame);
        });
    }
    QList<QByteArray> all()
    {
        while (!link.transmitQueue().isEmpty())
            link.sendNextFrame();
        return sent;
    }
    DriveLink& link;
    QList<QByteArray> sent;
};

} // namespace

class TestStepTest : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("mirrorSource");
        QTest::addColumn<int>("boardSource");
        QTest::addColumn<double>("target");
        QTest::addColumn<QString>("refusal");
        const QString bounds = QStringLiteral("The target must lie between SetPointMin 1000 and SetPointMax 3000.");
        const QString source = QStringLiteral("Motor 0 takes its set-point from source 1 (SetPointSrc), not from "
                                              "this tool. Set SetPointSrc to 0 and try again.");
        QTest::newRow("disconnected") << false << 0 << 0 << 2000.0 << "Connect to a board first.";
        QTest::newRow("set-point from the board, in the mirror") << true << 1 << 1 << 2000.0 << source;
        QTest::newRow("set-point from the board, read afresh") << true << 0 << 1 << 2000.0 << source;
        QTest::newRow("above SetPointMax") << true << 0 << 0 << 3001.0 << bounds;
        QTest::newRow("at the set-point already") << true << 0 << 0 << 1500.0
                                                  << "Motor 0 already holds SetPoint 1500. Choose another target.";
        QTest::newRow("at SetPointMax") << true << 0 << 0 << 3000.0 << "";
    }

    void refusals()
    {
        QFETCH(bool, connected);
        QFETCH(int, mirrorSource);
        QFETCH(int, boardSource);
        QFETCH(double, target);
        QFETCH(QString, refusal);
        Pty pty;
        DriveLink link;
        QVERIFY(!connected || link.open(pty.slavePath()));
        fillMirror(link, uint8_t(mirrorSource));
        StepTest test(link, 0);
        QSignalSpy refused(&test, &StepTest::refused);
        Writes writes(link);
        StepSettings settings;
        settings.target = target;
        if (test.start(settings)) {
            answerReads(link, uint8_t(boardSource));
            QCOMPARE(refused.value(0).value(0).toString(), refusal);
        } else {
            QCOMPARE(test.refusal(settings), refusal);
        }
        QCOMPARE(writes.all(), refusal.isEmpty() ? QList<QByteArray> {setPointWrite(int16_t(target))} : QList<QByteArray> {});
    }

    void howARunEnds_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::addColumn<bool>("returnToStart");
        QTest::newRow("finished, back to the start") << false << true;
        QTest::newRow("finished, kept at the target") << false << false;
        QTest::newRow("stopped, back to the start") << true << true;
    }

    // The run's time starts when the step leaves; the return to the start is the last write.
    void howARunEnds()
    {
        QFETCH(bool, stop);
        QFETCH(bool, returnToStart);
        LinkOnPty linked;
        DriveLink& link = linked.link;
        fillMirror(link, 0);
        StepTest test(link, 0);
        Writes writes(link);
        int finished = 0;
        connect(&test, &StepTest::finished, [&finished] { ++finished; });
        QVERIFY(test.start({2500, stop ? 60000 : 100, 2.0, returnToStart}));
        answerReads(link, 0);
        QCOMPARE(test.run().gains(), QStringLiteral("Kp 2.5, Ki 0.25, Kd 0.125"));
        link.receiveFrame(liveValues(SerialMessage::LivePositions, 1, {1500, 0, 0, 0}));
        QVERIFY(test.run().samples.isEmpty());
        link.sendNextFrame();
        link.receiveFrame(liveValues(SerialMessage::LiveSetPoints, 1, {2500, 0, 0, 0}));
        link.receiveFrame(liveValues(SerialMessage::LiveSpeeds, 1, {40, 0, 0, 0}));
        link.receiveFrame(liveValues(SerialMessage::LivePositions, 1, {1600, 0, 0, 0}));
        QCOMPARE(test.run().samples.size(), 1);
        QCOMPARE(test.run().samples[0].position, 1600.0);
        QCOMPARE(test.run().samples[0].speed, 40.0);
        if (stop)
            test.stop();
        QTRY_VERIFY(!test.isRunning());
        QCOMPARE(finished, stop ? 0 : 1);
        QList<QByteArray> expected {setPointWrite(2500)};
        if (returnToStart)
            expected << setPointWrite(1500);
        QCOMPARE(writes.all(), expected);
    }

    void endsEarly_data()
    {
        QTest::addColumn<int>("cause");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("writes");
        QTest::newRow("port lost") << 0 << "The connection closed, so the step test of motor 0 ended." << 1;
        QTest::newRow("board switched") << 1 << "Another board was selected, so the step test of motor 0 of board 1 ended" << 1;
        QTest::newRow("board silent") << 2 << "Board 1 did not answer, so the step test of motor 0 did not start." << 0;
    }

    // Without writing the set-point back: the link is closed, writes to another board, or
    // never wrote the step.
    void endsEarly()
    {
        QFETCH(int, cause);
        QFETCH(QString, message);
        QFETCH(int, writes);
        LinkOnPty linked;
        DriveLink& link = linked.link;
        Pty& pty = linked.pty;
        fillMirror(link, 0);
        StepTest test(link, 0);
        Writes sent(link);
        QSignalSpy failed(&test, &StepTest::failed);
        QVERIFY(test.start({2500, 60000, 2.0, true}));
        if (cause != 2) {
            answerReads(link, 0);
            link.sendNextFrame();
        }
        if (cause == 0)
            pty.closeMaster();
        else if (cause == 1)
            link.selectBoard(2);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
        QVERIFY2(failed[0][0].toString().startsWith(message), qPrintable(failed[0][0].toString()));
        QVERIFY(!test.isRunning());
        QCOMPARE(sent.all(), QVector<QByteArray>(writes, setPointWrite(2500)).toList());
    }

    // Typed in the dialog, a gain is written to the board within its bounds; the others
    // are not touched.
    void gainsWrittenFromTheDialog()
    {
        LinkOnPty linked;
        DriveLink& link = linked.link;
        StepTestDialog dialog(link, 0);
        QVERIFY(!dialog.form().doubleSpinBox_Kp->isEnabled());
        for (int window : {32, 40})
            link.requestWindow(window);
        answerReads(link, 0);
        QCOMPARE(dialog.form().doubleSpinBox_Ki->value(), 0.25);
        Writes writes(link);
        dialog.form().doubleSpinBox_Kp->setValue(2e6);
        dialog.form().pushButton_WriteGains->click();
        QCOMPARE(writes.all(), QList<QByteArray> {wireBytes(variableWrite(address(0, pid_Kp), 1, bytesOf(1e6f)))});
        QVERIFY(!dialog.form().pushButton_WriteGains->isEnabled());
    }

    // Runs of motor 2 on board 2 and then on board 1 are not compared: each board has its
    // set, its runs named by board; the set before stays to be looked at and exported.
    void runsStayWithTheirBoard()
    {
        SimProcess sim;
        WindowOnLink tool(sim.port());
        QVERIFY(tool.link.isConnected());
        MainWindow& window = tool.window;
        DriveLink& link = tool.link;
        StepTestDialog& dialog = *window.graphControls().stepTestDialog(2);
        dialog.form().doubleSpinBox_Duration->setValue(0.5);
        QComboBox* sets = dialog.form().comboBox_RunSet;
        for (const char* board : {"0x02", "0x01"}) {
            window.form().addressComboBox->setCurrentText(board);
            QTRY_VERIFY_WITH_TIMEOUT(link.isCurrent(2, SetPointMax) && link.isCurrent(2, SetPoint), 20000);
            dialog.form().spinBox_Target->setValue(link.mirror().s16(address(2, SetPoint)) + 200);
            // Looking at board 2's runs, the operator starts a run on board 1.
            emit sets->activated(sets->findData(2));
            dialog.form().pushButton_Start->click();
            QTRY_VERIFY_WITH_TIMEOUT(!dialog.stepTest().isRunning(), 20000);
        }
        QCOMPARE(dialog.runs().size(), 1);
        QCOMPARE(dialog.runs()[0].board, 1);
        const QwtPlotItemList curves = dialog.form().qwtPlot_Response->itemList(QwtPlotItem::Rtti_PlotCurve);
        QCOMPARE(curves.size(), 1);
        QVERIFY2(curves[0]->title().text().startsWith("Run 1: board 0x01, motor 2, Kp 0.5"),
                 qPrintable(curves[0]->title().text()));

        QCOMPARE(sets->count(), 2);
        emit sets->activated(sets->findData(2));
        QCOMPARE(dialog.runs().size(), 1);
        QCOMPARE(dialog.runs()[0].board, 2);
        QCOMPARE(dialog.runs()[0].kp, double(0.4f));
        QTemporaryDir folder;
        QCOMPARE(dialog.exportRun(0, folder.filePath("run.csv")), QString());
        QVERIFY(QFileInfo(folder.filePath("run.csv")).size() > 0);
    }

    // Motor 2 of board 1 steps 500 counts, with pid_Kp 0.5 and then 4, each run labelled
    // with its gains.
    void higherGainRisesFasterAndOvershootsMore()
    {
        SimProcess sim;
        WindowOnLink tool(sim.port());
        QVERIFY(tool.link.isConnected());
        MainWindow& window = tool.window;
        DriveLink& link = tool.link;
        StepTestDialog& dialog = *window.graphControls().stepTestDialog(2);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.form().spinBox_Target->maximum(), 4096, 20000);
        dialog.form().spinBox_Target->setValue(3572);
        for (double kp : {0.5, 4.0}) {
            QTRY_VERIFY_WITH_TIMEOUT(link.samples(2).size() > 0 && link.samples(2).position.last() == 3072
                                         && link.samples(2).speed.last() == 0, 20000);
            // Started at once: the run reads the gain the board has now.
            link.writeParameter(pid_Kp, 2, kp);
            dialog.form().pushButton_Start->click();
            QTRY_VERIFY_WITH_TIMEOUT(!dialog.stepTest().isRunning(), 20000);
        }
        QCOMPARE(dialog.runs().size(), 2);
        const StepFigures& low = dialog.runs()[0].figures;
        const StepFigures& high = dialog.runs()[1].figures;
        QVERIFY2(high.riseTime < 0.6 * low.riseTime, qPrintable(QStringLiteral("%1 %2").arg(low.riseTime).arg(high.riseTime)));
        QVERIFY2(high.overshootPercent > low.overshootPercent + 5,
                 qPrintable(QStringLiteral("%1 %2").arg(low.overshootPercent).arg(high.overshootPercent)));
        QCOMPARE(dialog.form().tableWidget_Runs->item(1, 1)->text(), QStringLiteral("Kp 4, Ki 0.001, Kd 1"));
    }

    // An exported run says which gains it ran with and what it measured, beside its samples.
    void exportedRunHoldsGainsAndFigures()
    {
        StepRun run;
        run.board = 2;
        run.motor = 3;
        run.settings.target = 1500;
        run.startPosition = 1000;
        run.kp = 4;
        run.ki = 0.01;
        run.kd = 0.5;
        run.samples = {{0.05, 1100, 40}, {0.1, 1490, 20}};
        run.figures = analyzeStepResponse(run.samples, run.startPosition, run.settings.target);
        QCOMPARE(run.csv().split('\n'),
                 QByteArrayList({"time_s,board,motor,position,set_point,speed,event",
                                 "0.000,2,,,,,\"step of motor 3 from 1000 to 1500 with Kp 4, Ki 0.01, Kd 0.5, band 2%\"",
                                 "0.050,2,3,1100,1500,40,", "0.100,2,3,1490,1500,20,",
                                 "0.100,2,,,,,\"rise time 0.070 s; overshoot 0.0%; settling time 0.100 s; "
                                 "steady-state error 10.0; peak speed 40\"",
                                 ""}));
    }
};

QTEST_MAIN(TestStepTest)
#include "test_StepTest.moc"
