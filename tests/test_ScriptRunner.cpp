// The script runner stepped by hand on a link connected to a pseudo-terminal: pacing,
// commands and their field counts, diagnostics, where a script halts, Start and Stop;
// the example scripts; and, through the window, the Go panel, the row highlight and a
// run on the runner's own timer up to "Script Completed".
#include "core/DriveLink.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "ui/MainWindow.h"
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
    QSignalSpy diagnostics{&runner, &ScriptRunner::diagnostic};
    QSignalSpy completions{&runner, &ScriptRunner::completed};
    QSignalSpy stops{&runner, &ScriptRunner::stopped};
};

// The rows that started, and the diagnostics, that a spy caught.
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
        values << signal.first().toString();
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
        QTest::addColumn<QStringList>("diagnostics");
        QTest::addColumn<int>("interval"); // until the next row

        const QStringList none;
        const auto row = [](const char* name, const char* line, const QStringList& frames,
                            const char* missing = nullptr, int interval = 100) {
            QStringList diagnostics;
            if (missing)
                diagnostics << QStringLiteral("Script Error missing arguments for %1 command").arg(missing);
            QTest::newRow(name) << QByteArray(line) << frames << diagnostics << interval;
        };
        row("wait 500", "wait;500", none, nullptr, 500);
        row("wait with blanks", "wait; 250 ", none, nullptr, 250);
        row("wait 0", "wait;0", none, nullptr, 0);
        row("negative wait waits 0", "wait;-20", none, nullptr, 0);
        row("wait not a number waits 0", "wait;abc", none, nullptr, 0);
        row("wait with trailing semicolon is no wait", "wait;500;", none);
        row("wait without interval", "wait", none);
        row("WAIT in capitals", "WAIT;500", none);
        row("empty line", "", none);
        row("mla 100 200 300", "mla;100;200;300", {"6d6c61" "6400c8002c01"});
        row("mla with two arguments", "mla;1;2", none, "mla");
        row("mla with four arguments", "mla;1;2;3;4", none, "mla");
        row("mla with trailing semicolon", "mla;1;2;3;\r", none, "mla");
        row("mla in capitals", "MLA;1;2;3", none);
        row("mla after a blank", " mla;1;2;3", none);
        row("mra -1, 70000, not a number", "mra;-1;70000;x", {"6d7261" "ffff70110000"});
        row("mra with blanks around numbers", "mra; 1 ;+2;3", {"6d7261" "010002000300"});
        row("mra with two arguments", "mra;1;2", none, "mra");
        row("mrn 4096 0", "mrn;4096;0", {"6d726e" "00100000"});
        row("mrn with one argument", "mrn;1", none, "mrn");
        row("mrm eight bytes", "mrm;1;2;3;4;5;6;7;8", {"6d726d" "0102030405060708"});
        row("mrm nine arguments loaded as eight", "mrm;1;2;3;4;5;6;7;8;9", {"6d726d" "0102030405060708"});
        row("mrm with seven arguments", "mrm;1;2;3;4;5;6;7", none, "mrm");
        row("meb 256 -1 127 not a number", "meb;256;-1;127;?", {"6d6562" "00ff7f00"});
        row("meb with three arguments", "meb;1;2;3", none, "meb");
        row("mre six bytes", "mre;1;2;3;4;5;6", {"6d7265" "010203040506"});
        row("mre with seven arguments", "mre;1;2;3;4;5;6;7", none, "mre");
        row("unknown word", "move;1;2", none);
        row("empty field as word", ";1;2", none);
    }

    // One row run: the frames it queued, its diagnostics and how long the next row waits;
    // the row after it is paced normally again.
    void oneRow()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, frames);
        QFETCH(QStringList, diagnostics);
        QFETCH(int, interval);

        Bench bench(line + "\nwait\n");
        bench.runner.start();
        QCOMPARE(bench.stepInterval(), 100);
        bench.runner.runNextRow();
        QCOMPARE(bench.queued(), frames);
        QCOMPARE(texts(bench.diagnostics), diagnostics);
        QCOMPARE(bench.stepInterval(), interval);
        QVERIFY(bench.runner.isRunning());
        bench.runner.runNextRow();
        QCOMPARE(bench.stepInterval(), 100);
        QCOMPARE(rows(bench.started), (QList<int>{0, 1}));
        QCOMPARE(bench.completions.count(), 0);
    }

    // An operator's edit can leave a gap; a cell with empty text is still a field.
    void cellWithoutDataEndsTheRow()
    {
        Bench bench("");
        bench.model.setRowCount(2);
        bench.model.setItem(0, 0, new QStandardItem("mrn"));
        bench.model.setItem(0, 1, new QStandardItem("1"));
        bench.model.setItem(0, 3, new QStandardItem("2"));
        bench.model.setItem(1, 0, new QStandardItem("mrn"));
        bench.model.setItem(1, 1, new QStandardItem(""));
        bench.model.setItem(1, 2, new QStandardItem("5"));
        bench.runner.start();
        bench.runner.runNextRow();
        bench.runner.runNextRow();
        QCOMPARE(texts(bench.diagnostics), QStringList{"Script Error missing arguments for mrn command"});
        QCOMPARE(bench.queued(), QStringList{"6d726e" "00000500"});
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
        QTest::newRow("End in capitals: the end of the table") << QByteArray("mrn;1;2\nEnd\n") << true << 3
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
        QCOMPARE(bench.diagnostics.count(), 0);
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

    // Every example runs without a diagnostic and completes at its "end" line, the last;
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
        QCOMPARE(bench.diagnostics.count(), 0);

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
        window.leftArmPanel().lineEdit_Elbow->setText("100");
        window.leftArmPanel().lineEdit_Pitch->setText("200");
        window.leftArmPanel().lineEdit_Yaw->setText("300");
        window.leftArmPanel().pushButton_Go->click();

        ScriptRunner::fillModel(*window.form().tableWidget_Script->model(), ScriptParser::parse("mla;100;300;200\r\n"));
        window.scriptRunner().start();
        window.scriptRunner().runNextRow();
        QCOMPARE(link.transmitQueue().size(), 2);
        QVERIFY(link.transmitQueue()[0] == link.transmitQueue()[1]);
    }

    // Start and the real timer, with no timing expectations beyond completion: the running
    // row is the one selected, diagnostics go to the log, and the operator gets one
    // parentless, titled "Script Completed" box with a single default OK.
    void runsOnItsTimer()
    {
        Pty pty;
        DriveLink link;
        QVERIFY(link.open(pty.slavePath()));
        MainWindow window(link);
        QTableWidget* table = window.form().tableWidget_Script;
        ScriptRunner::fillModel(*table->model(), ScriptParser::parse("mrn;1;2\nwait;0\nmrn;3\nend;\nmrn;5;6\n"));
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
        DebugCapture debug;
        window.form().pushButton_ScriptStart->setEnabled(true);
        window.form().pushButton_ScriptStart->click();
        QTRY_COMPARE_WITH_TIMEOUT(shown, QString("Script Completed"), 60000);
        QVERIFY(!window.scriptRunner().isRunning());
        QCOMPARE(rows(started), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(table->selectionModel()->selectedRows(), QModelIndexList{table->model()->index(3, 0)});
        QCOMPARE(table->currentRow(), 3);
        QCOMPARE(debug.lines(), QStringList{"Script Error missing arguments for mrn command"});
    }
};

QTEST_MAIN(TestScriptRunner)
#include "test_ScriptRunner.moc"
