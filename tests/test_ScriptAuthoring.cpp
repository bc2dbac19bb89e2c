// Authoring scripts: comments kept through a save, row edits with undo and redo, teach
// mode's rows and waits, and Stop all's emptying of the robot's share of the queue.
#include "core/DriveLink.h"
#include "core/ScriptFile.h"
#include "core/TeachRecorder.h"
#include "core/ScriptRunner.h"
#include "protocol/RobotCommand.h"
#include "support/LinkOnPty.h"
#include "support/Pty.h"
#include "support/WindowOnLink.h"
#include "ui/MotionPanels.h"
#include "ui/ScriptEditor.h"

#include <QAbstractButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using Rows = QList<QStringList>;

class TestScriptAuthoring : public QObject
{
    Q_OBJECT

private slots:
    void saveKeepsCommentsInPlace_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("plain") << QByteArray("mla;1;2;3\nwait;100\nend\n") << QByteArray("mla;1;2;3\nwait;100\nend\n");
        QTest::newRow("comments") << QByteArray("# wave\n#\nmla;1;2;3\n# then\nend\n# tail")
                                  << QByteArray("# wave\n#\nmla;1;2;3\n# then\nend\n# tail\n");
        QTest::newRow("CR LF") << QByteArray("# a\r\nmrn;1;2\r\n") << QByteArray("# a\nmrn;1;2\n");
        QTest::newRow("empty fields") << QByteArray("\nmla;;2;\n") << QByteArray("\nmla;;2;\n");
    }

    void saveKeepsCommentsInPlace()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.txt");
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        out.close();
        const ScriptFile loaded = ScriptFile::load(path);
        QCOMPARE(ScriptFile::save(dir.filePath("b.txt"), loaded.rows, loaded.comments), QString());
        QFile back(dir.filePath("b.txt"));
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), saved);
        QCOMPARE(ScriptFile::load(dir.filePath("b.txt")).rows, loaded.rows);
    }

    void editsUndoAndRedo_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<Rows>("after");
        QTest::addColumn<QStringList>("comments");
        const QStringList a{"mla", "1", "2", "3"}, b{"wait", "50"}, c{"end"}, empty{QString()};
        QTest::newRow("insert") << "insert" << QList<int>{1} << Rows{a, empty, b, c}
                                << QStringList{"#a", "", "#b", "", ""};
        QTest::newRow("delete keeps the comment") << "delete" << QList<int>{1} << Rows{a, c}
                                                  << QStringList{"#a", "#b", ""};
        QTest::newRow("duplicate") << "duplicate" << QList<int>{0, 1} << Rows{a, b, a, b, c}
                                   << QStringList{"#a", "#b", "", "", "", ""};
        QTest::newRow("up with comment") << "up" << QList<int>{1} << Rows{b, a, c}
                                         << QStringList{"#b", "#a", "", ""};
        QTest::newRow("down") << "down" << QList<int>{0} << Rows{b, a, c} << QStringList{"#b", "#a", "", ""};
        QTest::newRow("top cannot go up") << "up" << QList<int>{0} << Rows{a, b, c}
                                          << QStringList{"#a", "#b", "", ""};
        QTest::newRow("cell") << "cell" << QList<int>{2} << Rows{a, b, {"mrn"}}
                              << QStringList{"#a", "#b", "", ""};
    }

    void editsUndoAndRedo()
    {
        QFETCH(QString, edit);
        QFETCH(QList<int>, selected);
        QFETCH(Rows, after);
        QFETCH(QStringList, comments);
        QTableWidget table(0, 9);
        ScriptEditor editor(table);
        const Rows before{{"mla", "1", "2", "3"}, {"wait", "50"}, {"end"}};
        editor.open("x.txt", before, {"#a", "#b"});
        for (int row : selected)
            table.selectionModel()->select(table.model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (edit == "insert")
            editor.insertRow();
        else if (edit == "delete")
            editor.deleteRows();
        else if (edit == "duplicate")
            editor.duplicateRows();
        else if (edit == "up")
            editor.moveRowsUp();
        else if (edit == "down")
            editor.moveRowsDown();
        else
            table.item(2, 0)->setText("mrn");

        QCOMPARE(editor.script().rows, after);
        QCOMPARE(editor.script().comments, comments);
        QCOMPARE(editor.isModified(), after != before);
        editor.undoStack().undo();
        QCOMPARE(editor.script().rows, before);
        QCOMPARE(ScriptRunner::rowFields(*table.model(), 0), before[0]);
        QVERIFY(!editor.isModified());
        editor.undoStack().redo();
        QCOMPARE(editor.script().rows, after);
        QCOMPARE(table.rowCount(), after.size());
    }

    void waitsKeepTheSpacing_data()
    {
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<int>("wait");
        QTest::newRow("sooner than a step") << 40 << 0;
        QTest::newRow("one step") << 104 << 0;
        QTest::newRow("rounded up") << 346 << 250;
        QTest::newRow("rounded down") << 1234 << 1130;
    }

    void waitsKeepTheSpacing()
    {
        QFETCH(int, elapsedMs);
        QFETCH(int, wait);
        QCOMPARE(TeachRecorder::waitBefore(elapsedMs), wait);
    }

    void recordsWhatIsSentAndStopAllClearsIt()
    {
        LinkOnPty linked;
        DriveLink& link = linked.link;
        TeachRecorder recorder(link);
        Rows recorded;
        connect(&recorder, &TeachRecorder::rowsRecorded, this, [&](const Rows& rows) { recorded += rows; });
        link.queueRobotCommand(RobotCommands::Mla, {1, 2, 3});
        link.sendNextFrame(); // not recording yet
        recorder.start();
        link.queueRobotCommand(RobotCommands::Mrn, {-1, 4096});
        link.pollNextWindow(); // board frames are not robot commands
        link.queueRobotCommand(RobotCommands::Meb, {1, 255, -1, 0});
        while (!link.transmitQueue().isEmpty())
            link.sendNextFrame();
        QCOMPARE(recorded.size(), 3);
        QCOMPARE(recorded[0], (QStringList{"mrn", "-1", "4096"}));
        QCOMPARE(recorded[1].first(), QStringLiteral("wait"));
        QCOMPARE(recorded[2], (QStringList{"meb", "1", "255", "255", "0"}));

        link.queueRobotCommand(RobotCommands::Mla, {1, 2, 3});
        link.pollNextWindow();
        link.queueRobotCommand(RobotCommands::Mrn, {1, 2});
        QCOMPARE(link.clearRobotCommands(), 2);
        QCOMPARE(link.transmitQueue().size(), 4);
        for (const SerialMessage& frame : link.transmitQueue())
            QCOMPARE(frame.length, int(SerialMessage::FrameSize));
        // Frames queued after the clearing are known as sent when they are, not before.
        const qint64 save = link.saveEeprom();
        for (int frame = 0; frame < 4; ++frame)
            link.sendNextFrame();
        QVERIFY(link.lastSentFrame() < save);
        link.sendNextFrame();
        QCOMPARE(link.lastSentFrame(), save);
    }

    // Through the window: GOs recorded, then stepped and run from a row on the line.
    void teachStepAndRunFrom()
    {
        WindowOnLink tool;
        ScriptRunner& runner = tool.scriptPage().runner();
        tool.script(ScriptPage::Teach)->click();
        const MotionPanels::Panel& leftArm = tool.window.motionPanels().panel(RobotCommands::Mla);
        const MotionPanels::Panel& neck = tool.window.motionPanels().panel(RobotCommands::Mrn);
        leftArm.fields[0]->setText("10"); // Elbow, Pitch, Yaw on screen
        leftArm.fields[1]->setText("30");
        leftArm.fields[2]->setText("20");
        leftArm.go->click();
        neck.fields[0]->setText("7"); // Pitch, Yaw
        neck.fields[1]->setText("8");
        neck.go->click();
        QTRY_COMPARE(tool.scriptTable().rowCount(), 3);
        tool.script(ScriptPage::Teach)->click();
        QCOMPARE(tool.scriptRow(0), (QStringList{"mla", "10", "20", "30"}));
        QCOMPARE(tool.scriptRow(1).first(), QStringLiteral("wait"));
        QCOMPARE(tool.scriptRow(2), (QStringList{"mrn", "7", "8"}));

        DriveLink& link = tool.link;
        link.close(); // only what the page sends from here on
        QVERIFY(link.open(tool.pty.slavePath()));
        tool.scriptTable().selectRow(0);
        tool.script(ScriptPage::Step)->click();
        QCOMPARE(link.transmitQueue().last().length, 9); // mla: the word and three values
        QCOMPARE(tool.scriptTable().currentRow(), 1);
        tool.script(ScriptPage::StopAll)->click();
        const QList<SerialMessage> left = link.transmitQueue();
        QVERIFY(std::none_of(left.begin(), left.end(),
                             [](const SerialMessage& frame) { return frame.length != SerialMessage::FrameSize; }));
        tool.scriptTable().selectRow(2);
        tool.script(ScriptPage::RunFromHere)->click();
        QVERIFY(runner.isRunning());
        runner.runNextRow();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(link.transmitQueue().last().bytes), 7),
                 QByteArray::fromHex("6d726e07000800"));
        runner.stop();
    }
};

QTEST_MAIN(TestScriptAuthoring)
#include "test_ScriptAuthoring.moc"
