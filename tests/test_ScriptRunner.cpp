// The script runner stepped by hand on a link connected to a pseudo-terminal: pacing,
// commands, the rows it refuses to run, where a script halts, Start and Stop;
// the example scripts; and, through the window, the Go panel, the row highlight and a
// run on the runner's own timer up to "Script Completed".
#include "core/DriveLink.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "protocol/RobotCommand.h"
#include "ui/MainWindow.h"
#include "ui/MotionPanels.h"
#include "support/Modal.h"
#include "support/Pty.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTimer>
#include <QtTest>

namespace {

const QString Mrn12 = "6d726e" "01000200";

// A runner on a plain table; the link is connected unless asked otherwise. Nothing spins
// the event loop, so the transmit queue holds exactly what the steps queued.
struct Bench
{
    explicit Bench(const QByteArray& script, bool connected = true)
    {
        if (connected)
            link.open(pty.slavePath());
        ScriptRunner::fillModel(model, ScriptParser::parse(script));
    }

    QStringList queued() const
    {
        QStringList frames;
        for (const SerialMessage& frame : link.transmitQueue())
            frames << QByteArray(reinterpret_cast<const char*>(frame.bytes), frame.length).toHex();
        return frames;
    }

    // The transmit ticks that hand every queued frame to the port.
    void drain()
    {
        while (!link.transmitQueue().isEmpty())
            link.sendNextFrame();
    }

    // The runner paces its steps with its one timer.
    int stepInterval() const { return runner.findChild<QTimer*>()->interval(); }

    Pty pty;
    DriveLink link;
    QStandardItemModel model{0, ScriptRunner::ColumnCount};
    ScriptRunner runner{link, model};
    QSignalSpy started{&runner, &ScriptRunner::rowStarted};
    QSignalSpy rejections{&runner, &ScriptRunner::rowRejected};
    QSignalSpy completions{&runner, &ScriptRunner::completed};
    QSignalSpy stops{&runner, &ScriptRunner::stopped};
};

// The rows that started, and the rejections, that a spy caught.
QList<int> rows(const QSignalSpy& spy)
{
    QList<int> values;
    for (const QList<QVariant>& signal : spy)
        values << signal.first().toInt();
    return values;
}

QStringList texts(const QSignalSpy& spy)
{
    QStringList values;
    for (const QList<QVariant>& signal : spy)
        values << QStringLiteral("row %1: %2").arg(signal[0].toInt()).arg(signal[1].toString());
    return values;
}

} // namespace

class TestScriptRunner : public QObject
{
    Q_OBJECT

private slots:
    void oneRow_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QString>("rejected"); // why Start refuses the script
        QTest::addColumn<int>("interval"); // until the next row

        const QStringList none;
        const auto row = [](const char* name, const char* line, const QStringList& frames,
                            const char* rejected = nullptr, int interval = 100) {
            QTest::newRow(name) << QByteArray(line) << frames << QString(rejected) << interval;
        };
        const QString unknown =
            "\"%1\" is no command; the commands are mla, mra, mrn, mrm, meb, mre, wait and end, in lower case";
        row("wait 500", "wait;500", none, nullptr, 500);
        row("wait with blanks", "wait; 250 ", none, nullptr, 250);
        row("wait 0", "wait;0", none, nullptr, 0);
        row("negative wait waits 0", "wait;-20", none, nullptr, 0);
        row("wait not a number", "wait;abc", none, "argument 1 (\"abc\") is not a whole number");
        row("wait with trailing semicolon", "wait;500;", none,
            "wait takes 1 argument, this row has 2 (a \";\" at the end of the line adds an empty one)");
        row("wait without interval", "wait", none, "wait takes 1 argument, this row has 0");
        row("WAIT in capitals", "WAIT;500", none, qPrintable(unknown.arg("WAIT")));
        row("empty line", "", none);
        row("mla 100 200 300", "mla;100;200;300", {"6d6c61" "6400c8002c01"});
        row("mla with two arguments", "mla;1;2", none, "mla takes 3 arguments, this row has 2");
        row("mla with four arguments", "mla;1;2;3;4", none, "mla takes 3 arguments, this row has 4");
        row("mla not a number", "mla;abc;2;3", none, "argument 1 (\"abc\") is not a whole number");
        row("mla after a blank", " mla;1;2;3", none, qPrintable(unknown.arg(" mla")));
        row("mra below 0", "mra;1;-1;3", none, "argument 2 (-1) is outside 0 to 4096");
        row("mra with blanks around numbers", "mra; 1 ;+2;3", {"6d7261" "010002000300"});
        row("mrn 4096 0", "mrn;4096;0", {"6d726e" "00100000"});
        row("mrn beyond the joints' 4096", "mrn;5000;10", none, "argument 1 (5000) is outside 0 to 4096");
        row("mrm eight bytes", "mrm;1;2;3;4;5;6;7;8", {"6d726d" "0102030405060708"});
        row("mrm nine arguments loaded as eight", "mrm;1;2;3;4;5;6;7;8;9", {"6d726d" "0102030405060708"});
        row("meb beyond a byte", "meb;1;256;3;4", none, "argument 2 (256) is outside 0 to 255");
        row("mre 0 to 255", "mre;0;2;3;4;5;255", {"6d7265" "0002030405ff"});
        row("mre empty argument", "mre;1;2;;4;5;6", none, "argument 3 (\"\") is not a whole number");
        row("empty field as word", ";1;2", none, qPrintable(unknown.arg("")));
    }

    // One row, after a valid first row: the frames it queued and how long the next row
    // waits, the row after it paced normally again; or why Start refused the script, with
    // nothing queued.
    void oneRow()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, frames);
        QFETCH(QString, rejected);
        QFETCH(int, interval);

        Bench bench("mrn;1;2\n" + line + "\n\n");
        bench.runner.start();
        if (!rejected.isEmpty()) {
            QCOMPARE(texts(bench.rejections), QStringList{"row 1: " + rejected});
            QVERIFY(!bench.runner.isRunning());
            QCOMPARE(bench.queued(), QStringList());
            return;
        }
        bench.runner.runNextRow();
        bench.runner.runNextRow();
        QCOMPARE(bench.queued(), QStringList{Mrn12} + frames);
        QCOMPARE(bench.stepInterval(), interval);
        QVERIFY(bench.runner.isRunning());
        bench.runner.runNextRow();
        QCOMPARE(bench.stepInterval(), 100);
        QCOMPARE(rows(bench.started), (QList<int>{0, 1, 2}));
        QCOMPARE(bench.rejections.count(), 0);
    }

    // An edit during a run is checked when its row comes: the run stops there. A cell
    // without data ends the row's fields even when a later cell has some.
    void editedRowStopsTheRun()
    {
        Bench bench("mrn;1;2\nmrn;3;4\nmrn;5;6\n");
        bench.runner.start();
        bench.runner.runNextRow();
        bench.model.setItem(1, 2, nullptr);
        bench.model.setItem(1, 3, new QStandardItem("4"));
        bench.runner.runNextRow();
        QCOMPARE(texts(bench.rejections), QStringList{"row 1: mrn takes 2 arguments, this row has 1"});
        QVERIFY(!bench.runner.isRunning());
        QCOMPARE(bench.queued(), QStringList{Mrn12});
        QCOMPARE(rows(bench.started), QList<int>{0});
    }

    void halts_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("steps"); // the step that completes the script
        QTest::addColumn<QStringList>("frames");

        QTest::newRow("end") << QByteArray("mrn;1;2\nend\nmrn;3;4\n") << true << 2 << QStringList{Mrn12};
        QTest::newRow("end CR LF") << QByteArray("mrn;1;2\r\nend\r\nmrn;3;4\r\n") << true << 2 << QStringList{Mrn12};
        QTest::newRow("end;") << QByteArray("mrn;1;2\r\nend;\r\nmrn;3;4\r\n") << true << 2 << QStringList{Mrn12};
        QTest::newRow("end with extra fields") << QByteArray("mrn;1;2\nend;now;1\nmrn;3;4\n") << true << 2
                                               << QStringList{Mrn12};
        QTest::newRow("empty table") << QByteArray() << true << 1 << QStringList();
        QTest::newRow("no command, no connection needed") << QByteArray("wait;0\nend\n") << false << 2 << QStringList();
    }

    // The script completes once, at "end" or past its last row, when its frames have been
    // handed to the port; its timer stops there: rows after "end" never run.
    void halts()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, connected);
        QFETCH(int, steps);
        QFETCH(QStringList, frames);

        Bench bench(script, connected);
        QCOMPARE(bench.link.isConnected(), connected);
        bench.runner.start();
        for (int step = 1; step < steps; ++step)
            bench.runner.runNextRow();
        QVERIFY(bench.runner.isRunning());
        QCOMPARE(bench.completions.count(), 0);
        bench.runner.runNextRow();
        QCOMPARE(bench.queued(), frames);
        QCOMPARE(bench.completions.count(), frames.isEmpty() ? 1 : 0);
        QCOMPARE(bench.runner.isRunning(), !frames.isEmpty());
        bench.drain();
        QCOMPARE(bench.completions.count(), 1);
        QVERIFY(!bench.runner.isRunning());
        QCOMPARE(bench.rejections.count(), 0);
        QCOMPARE(bench.stops.count(), 0);
    }

    void stops_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("steps"); // before the link closes
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("reason");
        QTest::newRow("never connected") << false << 2 << 1 << "there is no connection";
        QTest::newRow("Disconnect before the last frame left") << true << 6 << 4 << "the connection was closed";
    }

    // A run that loses its link stops there, says where and why, and never completes.
    void stops()
    {
        QFETCH(bool, connected);
        QFETCH(int, steps);
        QFETCH(int, row);
        QFETCH(QString, reason);
        Bench bench("wait;0\nmrn;1;2\nwait;0\nmrn;3;4\nmrn;5;6\n", connected);
        bench.runner.start();
        for (int step = 0; step < steps && bench.runner.isRunning(); ++step)
            bench.runner.runNextRow();
        bench.link.close();
        QVERIFY(!bench.runner.isRunning());
        QCOMPARE(bench.stops.count(), 1);
        QCOMPARE(bench.stops.first(), (QList<QVariant>{row, reason}));
        QCOMPARE(bench.completions.count(), 0);
    }

    void restart_data()
    {
        QTest::addColumn<int>("stepsBefore");
        QTest::addColumn<bool>("stopBefore");

        QTest::newRow("Stop before any run") << 0 << true;
        QTest::newRow("Start during a run") << 1 << false;
        QTest::newRow("Start after Stop") << 1 << true;
        QTest::newRow("Start after completion") << 3 << false;
    }

    // Start runs from the first row at the normal pace, whatever came before; Stop halts the
    // run and leaves the queued frames alone.
    void restart()
    {
        QFETCH(int, stepsBefore);
        QFETCH(bool, stopBefore);

        Bench bench("mrn;1;2\nwait;5000\n");
        if (stepsBefore > 0)
            bench.runner.start();
        for (int step = 0; step < stepsBefore; ++step)
            bench.runner.runNextRow();
        if (stepsBefore > 2)
            bench.drain();
        QCOMPARE(bench.completions.count(), stepsBefore > 2 ? 1 : 0);
        if (stopBefore)
            bench.runner.stop();
        QCOMPARE(bench.runner.isRunning(), stepsBefore == 1 && !stopBefore);
        const QStringList before = bench.queued();
        QCOMPARE(before.size(), stepsBefore == 1 ? 1 : 0);

        bench.started.clear();
        bench.runner.start();
        QVERIFY(bench.runner.isRunning());
        QCOMPARE(bench.stepInterval(), 100);
        bench.runner.runNextRow();
        QCOMPARE(rows(bench.started), QList<int>{0});
        QCOMPARE(bench.queued(), before + QStringList{Mrn12});
    }

    void exampleScripts_data()
    {
        QTest::addColumn<QString>("path");
        // A ccache base directory makes __FILE__ relative to where the compiler ran: this
        // test's build directory, which CTest runs it in. QFINDTESTDATA would take it as
        // relative to the top build directory instead.
        const QDir folder(QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath("../scripts"));
        const QStringList names = folder.entryList({"*.txt"}, QDir::Files);
        QVERIFY2(!names.isEmpty(), qPrintable(folder.absolutePath()));
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }

    // Every example passes the check and completes at its "end" line, the last;
    // the one that shows all commands queues each of them.
    void exampleScripts()
    {
        QFETCH(QString, path);

        const ScriptFile script = ScriptFile::load(path);
        QCOMPARE(script.error, QString());
        QVERIFY(!script.rows.isEmpty());
        QCOMPARE(script.rows.last(), QStringList({"end", ""}));

        Bench bench("");
        ScriptRunner::fillModel(bench.model, script.rows);
        bench.runner.start();
        for (int step = 0; step < script.rows.size(); ++step)
            bench.runner.runNextRow();
        QSet<QString> words;
        for (const SerialMessage& frame : bench.link.transmitQueue())
            words << QString::fromLatin1(reinterpret_cast<const char*>(frame.bytes), 3);
        bench.drain();
        QCOMPARE(bench.completions.count(), 1);
        QCOMPARE(bench.started.count(), script.rows.size());
        QCOMPARE(bench.rejections.count(), 0);

        if (path.endsWith("all_commands.txt"))
            QCOMPARE(words, (QSet<QString>{"mla", "mra", "mrn", "mrm", "meb", "mre"}));
        else
            QVERIFY(!words.isEmpty());
    }

    // The panel's fields are Elbow, Pitch, Yaw; the script's arguments Elbow, Yaw, Pitch.
    void scriptRowSendsWhatThePanelSends()
    {
        Pty pty;
        DriveLink link;
        QVERIFY(link.open(pty.slavePath()));
        MainWindow window(link);
        const MotionPanels::Panel& leftArm = window.motionPanels().panel(RobotCommands::Mla);
        leftArm.fields[0]->setText("100"); // Elbow, Pitch, Yaw on screen
        leftArm.fields[1]->setText("200");
        leftArm.fields[2]->setText("300");
        leftArm.go->click();

        ScriptRunner::fillModel(*window.form().tableWidget_Script->model(), ScriptParser::parse("mla;100;300;200\r\n"));
        window.scriptRunner().start();
        window.scriptRunner().runNextRow();
        QCOMPARE(link.transmitQueue().size(), 2);
        QVERIFY(link.transmitQueue()[0] == link.transmitQueue()[1]);
    }

    // Start and the real timer, with no timing expectations beyond completion: the running
    // row is the one selected, and the operator gets one parentless, titled "Script
    // Completed" box with a single default OK.
    void runsOnItsTimer()
    {
        Pty pty;
        DriveLink link;
        QVERIFY(link.open(pty.slavePath()));
        MainWindow window(link);
        QTableWidget* table = window.form().tableWidget_Script;
        ScriptRunner::fillModel(*table->model(), ScriptParser::parse("mrn;1;2\nwait;0\nmrn;3;4\nend;\nmrn;5;6\n"));
        QSignalSpy started(&window.scriptRunner(), &ScriptRunner::rowStarted);
        QString shown;
        answerNextModal([&shown](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            shown = messageBoxText(modal);
            if (!box || box->parentWidget() || box->buttons().size() != 1
                || box->defaultButton() != box->button(QMessageBox::Ok) || box->windowTitle() != "drive-setup")
                shown += " <not a parentless box titled drive-setup with one default OK>";
            acceptModal(modal);
        }, 60000);
        window.form().pushButton_ScriptStart->setEnabled(true);
        window.form().pushButton_ScriptStart->click();
        QTRY_COMPARE_WITH_TIMEOUT(shown, QString("Script Completed"), 60000);
        QVERIFY(!window.scriptRunner().isRunning());
        QCOMPARE(rows(started), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(table->selectionModel()->selectedRows(), QModelIndexList{table->model()->index(3, 0)});
        QCOMPARE(table->currentRow(), 3);
    }
};

QTEST_MAIN(TestScriptRunner)
#include "test_ScriptRunner.moc"
