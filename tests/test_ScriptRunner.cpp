// The script interpreter, stepped by hand: pacing, commands and their field counts,
// diagnostics, "end", the end of the table, Start and Stop; and the example scripts.
#include "ui/MainWindow.h"
#include "core/ScriptFile.h"
#include "support/Modal.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

namespace {

struct Probe : MainWindow
{
    using MainWindow::mla;
    using MainWindow::ScriptStartClicked;
    using MainWindow::ScriptStopClicked;
    using MainWindow::ScriptTimeout;
    using MainWindow::scriptRow;
    using MainWindow::scriptTimer;
    using MainWindow::txQueue;
    using MainWindow::txTimer;

    Probe() { txTimer->stop(); }

    // Fills the table as Load does.
    void setScript(const QByteArray& text) { fillScriptTable(ScriptParser::parse(text)); }

    QStringList sent() const
    {
        QStringList frames;
        for (const SerialMessage& message : txQueue)
            frames << QByteArray(reinterpret_cast<const char*>(message.bytes), message.length).toHex();
        return frames;
    }

    bool rowSelected(int row) const
    {
        return tableWidget_Script->selectionModel()->isRowSelected(row, QModelIndex());
    }

    int selectedRows() const { return tableWidget_Script->selectionModel()->selectedRows().size(); }
};

// Steps once, expecting the completion box; returns what it said.
QString stepToCompletion(Probe& window)
{
    QString shown = "<no message box>";
    answerNextModal([&shown](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        shown = messageBoxText(modal);
        if (box && (box->parentWidget() || box->buttons().size() != 1
                    || box->defaultButton() != box->button(QMessageBox::Ok)))
            shown += " <not a parentless box with one default OK>";
        acceptModal(modal);
    });
    window.ScriptTimeout();
    return shown;
}

} // namespace

class TestScriptRunner : public QObject
{
    Q_OBJECT

private slots:
    void pacing_data();
    void pacing();
    void commands_data();
    void commands();
    void cellWithoutItemEndsTheRow();
    void scriptRowSendsWhatThePanelSends();
    void rowHighlight();
    void end_data();
    void end();
    void endOfTable();
    void emptyTable();
    void stop();
    void startTwice();
    void startAfterCompletion();
    void runsOnItsTimer();
    void exampleScripts_data();
    void exampleScripts();
};

void TestScriptRunner::pacing_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("interval");

    QTest::newRow("wait 500") << QByteArray("wait;500") << 500;
    QTest::newRow("wait with blanks") << QByteArray("wait; 250 ") << 250;
    QTest::newRow("wait 0") << QByteArray("wait;0") << 0;
    QTest::newRow("negative wait waits 0") << QByteArray("wait;-20") << 0;
    QTest::newRow("wait not a number waits 0") << QByteArray("wait;abc") << 0;
    QTest::newRow("wait with trailing semicolon is no wait") << QByteArray("wait;500;") << 100;
    QTest::newRow("wait without interval") << QByteArray("wait") << 100;
    QTest::newRow("WAIT in capitals") << QByteArray("WAIT;500") << 100;
    QTest::newRow("command row") << QByteArray("mla;1;2;3") << 100;
    QTest::newRow("empty line") << QByteArray("\n") << 100;
}

void TestScriptRunner::pacing()
{
    QFETCH(QByteArray, line);
    QFETCH(int, interval);

    Probe window;
    window.setScript(line + "\nmrn;1;2\n");
    window.ScriptStartClicked();
    QCOMPARE(window.scriptTimer->interval(), 100);
    DebugCapture debug;
    window.ScriptTimeout();
    QCOMPARE(window.scriptTimer->interval(), interval);
    QVERIFY(window.scriptTimer->isActive());
    QCOMPARE(window.scriptRow, 1);
    window.ScriptTimeout();
    QCOMPARE(window.scriptTimer->interval(), 100);
    QCOMPARE(debug.lines(), QStringList());
}

void TestScriptRunner::commands_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("diagnostic");

    const QStringList none;
    const auto error = [](const char* word) {
        return QStringLiteral("Script Error missing arguments for %1 command").arg(word);
    };
    QTest::newRow("mla 100 200 300") << QByteArray("mla;100;200;300") << QStringList{"6d6c61" "6400c8002c01"} << "";
    QTest::newRow("mla with two arguments") << QByteArray("mla;1;2") << none << error("mla");
    QTest::newRow("mla with four arguments") << QByteArray("mla;1;2;3;4") << none << error("mla");
    QTest::newRow("mla with trailing semicolon") << QByteArray("mla;1;2;3;\r") << none << error("mla");
    QTest::newRow("mla in capitals") << QByteArray("MLA;1;2;3") << none << "";
    QTest::newRow("mla after a blank") << QByteArray(" mla;1;2;3") << none << "";
    QTest::newRow("mra -1, 70000, not a number")
        << QByteArray("mra;-1;70000;x") << QStringList{"6d7261" "ffff70110000"} << "";
    QTest::newRow("mra with blanks around numbers")
        << QByteArray("mra; 1 ;+2;3") << QStringList{"6d7261" "010002000300"} << "";
    QTest::newRow("mra with two arguments") << QByteArray("mra;1;2") << none << error("mra");
    QTest::newRow("mrn 4096 0") << QByteArray("mrn;4096;0") << QStringList{"6d726e" "00100000"} << "";
    QTest::newRow("mrn with one argument") << QByteArray("mrn;1") << none << error("mrn");
    QTest::newRow("mrm eight bytes") << QByteArray("mrm;1;2;3;4;5;6;7;8")
                                     << QStringList{"6d726d" "0102030405060708"} << "";
    QTest::newRow("mrm nine arguments loaded as eight") << QByteArray("mrm;1;2;3;4;5;6;7;8;9")
                                                        << QStringList{"6d726d" "0102030405060708"} << "";
    QTest::newRow("mrm with seven arguments") << QByteArray("mrm;1;2;3;4;5;6;7") << none << error("mrm");
    QTest::newRow("meb 256 -1 127 not a number") << QByteArray("meb;256;-1;127;?")
                                                 << QStringList{"6d6562" "00ff7f00"} << "";
    QTest::newRow("meb with three arguments") << QByteArray("meb;1;2;3") << none << error("meb");
    QTest::newRow("mre six bytes") << QByteArray("mre;1;2;3;4;5;6") << QStringList{"6d7265" "010203040506"} << "";
    QTest::newRow("mre with seven arguments") << QByteArray("mre;1;2;3;4;5;6;7") << none << error("mre");
    QTest::newRow("unknown word") << QByteArray("move;1;2") << none << "";
    QTest::newRow("empty field as word") << QByteArray(";1;2") << none << "";
}

void TestScriptRunner::commands()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, frames);
    QFETCH(QString, diagnostic);

    Probe window;
    window.setScript(line + "\n");
    window.ScriptStartClicked();
    DebugCapture debug;
    window.ScriptTimeout();
    QCOMPARE(window.sent(), frames);
    QCOMPARE(debug.lines(), diagnostic.isEmpty() ? QStringList() : QStringList{diagnostic});
    QCOMPARE(window.scriptRow, 1);
    QVERIFY(window.scriptTimer->isActive());
}

// An operator's edit can leave a gap; an item with empty text is still a field.
void TestScriptRunner::cellWithoutItemEndsTheRow()
{
    Probe window;
    window.tableWidget_Script->setRowCount(2);
    window.tableWidget_Script->setItem(0, 0, new QTableWidgetItem("mrn"));
    window.tableWidget_Script->setItem(0, 1, new QTableWidgetItem("1"));
    window.tableWidget_Script->setItem(0, 3, new QTableWidgetItem("2"));
    window.tableWidget_Script->setItem(1, 0, new QTableWidgetItem("mrn"));
    window.tableWidget_Script->setItem(1, 1, new QTableWidgetItem(""));
    window.tableWidget_Script->setItem(1, 2, new QTableWidgetItem("5"));
    window.ScriptStartClicked();
    DebugCapture debug;
    window.ScriptTimeout();
    window.ScriptTimeout();
    QCOMPARE(debug.lines(), QStringList{"Script Error missing arguments for mrn command"});
    QCOMPARE(window.sent(), QStringList{"6d726e" "00000500"});
}

void TestScriptRunner::scriptRowSendsWhatThePanelSends()
{
    Probe window;
    window.mla.lineEdit_Elbow->setText("100");
    window.mla.lineEdit_Pitch->setText("200");
    window.mla.lineEdit_Yaw->setText("300");
    window.mla.pushButton_Go->click();

    window.setScript("mla;100;300;200\r\n");
    window.ScriptStartClicked();
    window.ScriptTimeout();
    QCOMPARE(window.txQueue.size(), 2);
    QVERIFY(window.txQueue[0] == window.txQueue[1]);
}

void TestScriptRunner::rowHighlight()
{
    Probe window;
    window.setScript("wait;1\nmrn;1;2\n");
    window.ScriptStartClicked();
    QCOMPARE(window.selectedRows(), 0);
    window.ScriptTimeout();
    QVERIFY(window.rowSelected(0));
    QCOMPARE(window.tableWidget_Script->currentRow(), 0);
    window.ScriptTimeout();
    QVERIFY(window.rowSelected(1));
    QVERIFY(!window.rowSelected(0));
    QCOMPARE(window.tableWidget_Script->currentRow(), 1);
}

void TestScriptRunner::end_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::newRow("end") << QByteArray("mrn;1;2\nend\nmrn;3;4\n");
    QTest::newRow("end CR LF") << QByteArray("mrn;1;2\r\nend\r\nmrn;3;4\r\n");
    QTest::newRow("end;") << QByteArray("mrn;1;2\r\nend;\r\nmrn;3;4\r\n");
    QTest::newRow("end with extra fields") << QByteArray("mrn;1;2\nend;now;1\nmrn;3;4\n");
}

// "end" stops the timer where it is: the row after it never runs.
void TestScriptRunner::end()
{
    QFETCH(QByteArray, script);

    Probe window;
    window.setScript(script);
    window.ScriptStartClicked();
    window.ScriptTimeout();
    QCOMPARE(stepToCompletion(window), QString("Script Completed"));
    QVERIFY(window.scriptTimer);
    QVERIFY(!window.scriptTimer->isActive());
    QCOMPARE(window.scriptRow, 2);
    QCOMPARE(window.sent(), QStringList{"6d726e" "01000200"});
}

void TestScriptRunner::endOfTable()
{
    Probe window;
    window.setScript("mrn;1;2\nEnd\n");
    window.ScriptStartClicked();
    window.ScriptTimeout();
    window.ScriptTimeout();
    QVERIFY(window.scriptTimer->isActive());
    QCOMPARE(stepToCompletion(window), QString("Script Completed"));
    QVERIFY(window.scriptTimer);
    QVERIFY(!window.scriptTimer->isActive());
    QCOMPARE(window.scriptRow, 0);
    QCOMPARE(window.txQueue.size(), 1);
}

void TestScriptRunner::emptyTable()
{
    Probe window;
    window.ScriptStartClicked();
    QCOMPARE(stepToCompletion(window), QString("Script Completed"));
    QVERIFY(!window.scriptTimer->isActive());
}

// Stop forgets the timer and the row; the highlight and queued frames stay.
void TestScriptRunner::stop()
{
    Probe window;
    window.ScriptStopClicked();
    QVERIFY(!window.scriptTimer);
    QCOMPARE(window.scriptRow, 0);

    window.setScript("mrn;1;2\nmrn;3;4\n");
    window.ScriptStartClicked();
    window.ScriptTimeout();
    QPointer<QTimer> timer = window.scriptTimer;
    window.ScriptStopClicked();
    QVERIFY(!timer);
    QVERIFY(!window.scriptTimer);
    QCOMPARE(window.scriptRow, 0);
    QVERIFY(window.rowSelected(0));
    QCOMPARE(window.txQueue.size(), 1);
    window.ScriptTimeout();
    QCOMPARE(window.txQueue.size(), 1);
}

void TestScriptRunner::startTwice()
{
    Probe window;
    window.setScript("mrn;1;2\nmrn;3;4\n");
    window.ScriptStartClicked();
    QPointer<QTimer> first = window.scriptTimer;
    window.ScriptTimeout();
    window.ScriptStartClicked();
    QVERIFY(!first);
    QVERIFY(window.scriptTimer->isActive());
    QCOMPARE(window.scriptTimer->interval(), 100);
    QCOMPARE(window.scriptRow, 0);
    window.ScriptTimeout();
    QCOMPARE(window.sent(), (QStringList{"6d726e" "01000200", "6d726e" "01000200"}));
}

void TestScriptRunner::startAfterCompletion()
{
    Probe window;
    window.setScript("mrn;1;2\n");
    window.ScriptStartClicked();
    window.ScriptTimeout();
    QCOMPARE(stepToCompletion(window), QString("Script Completed"));
    window.ScriptStartClicked();
    QVERIFY(window.scriptTimer->isActive());
    QCOMPARE(window.scriptRow, 0);
    window.ScriptTimeout();
    QCOMPARE(window.txQueue.size(), 2);

    QCOMPARE(stepToCompletion(window), QString("Script Completed"));
    window.ScriptStopClicked();
    QVERIFY(!window.scriptTimer);
}

// The Start button and the real timer, with no timing expectations beyond completion.
void TestScriptRunner::runsOnItsTimer()
{
    Probe window;
    window.setScript("mrn;1;2\nwait;0\nmrn;3;4\nend;\n");
    window.pushButton_ScriptStart->setEnabled(true);
    QString shown;
    answerNextModal([&shown](QWidget* modal) {
        shown = messageBoxText(modal);
        acceptModal(modal);
    }, 60000);
    window.pushButton_ScriptStart->click();
    QTRY_COMPARE_WITH_TIMEOUT(shown, QString("Script Completed"), 60000);
    QCOMPARE(window.sent(), (QStringList{"6d726e" "01000200", "6d726e" "03000400"}));
}

void TestScriptRunner::exampleScripts_data()
{
    QTest::addColumn<QString>("path");
    const QString folder = QFINDTESTDATA("../scripts");
    QVERIFY(!folder.isEmpty());
    const QStringList names = QDir(folder).entryList({"*.txt"}, QDir::Files);
    QVERIFY(!names.isEmpty());
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << QDir(folder).filePath(name);
}

// Every example runs without a diagnostic and ends at its "end" line; the one that
// shows all commands queues each of them.
void TestScriptRunner::exampleScripts()
{
    QFETCH(QString, path);

    const ScriptFile script = ScriptFile::load(path);
    QCOMPARE(script.error, QString());
    QVERIFY(!script.rows.isEmpty());
    QCOMPARE(script.rows.last(), QStringList({"end", ""}));

    Probe window;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    window.setScript(file.readAll());
    window.ScriptStartClicked();
    DebugCapture debug;
    while (window.scriptRow < script.rows.size() - 1)
        window.ScriptTimeout();
    QCOMPARE(stepToCompletion(window), QString("Script Completed"));
    QCOMPARE(window.scriptRow, script.rows.size());
    QCOMPARE(debug.lines(), QStringList());

    QSet<QString> words;
    for (const SerialMessage& message : window.txQueue)
        words << QString::fromLatin1(reinterpret_cast<const char*>(message.bytes), 3);
    if (path.endsWith("all_commands.txt"))
        QCOMPARE(words, (QSet<QString>{"mla", "mra", "mrn", "mrm", "meb", "mre"}));
    else
        QVERIFY(!words.isEmpty());
}

QTEST_MAIN(TestScriptRunner)
#include "test_ScriptRunner.moc"
