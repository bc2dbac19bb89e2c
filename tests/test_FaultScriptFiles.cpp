// Fault: script files no one would write on purpose (binary, a 10 MiB line, NUL bytes,
// 100 000 lines). Each is loaded or refused with a message, through the loader and
// through Load with its file dialog; nothing crashes and nothing hangs.
#include "ui/MainWindow.h"
#include "core/ScriptFile.h"
#include "support/Modal.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <random>

namespace {

struct Probe : MainWindow
{
    using MainWindow::ScriptTimeout;
    using MainWindow::txQueue;
    using MainWindow::txTimer;

    Probe() { txTimer->stop(); }
};

// Types the path into the dialog's file-name field and accepts.
void chooseFile(const QString& path)
{
    answerNextModal([=](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name)
            return rejectModal(modal);
        name->setFocus();
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

// Reads and closes each message box that opens while it lives.
class MessageBoxes
{
public:
    MessageBoxes()
    {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                acceptModal(box);
            }
        });
        poll.start(10);
    }
    QStringList texts;

private:
    QTimer poll;
};

QByteArray randomBytes(int size, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(byte(random));
    return bytes;
}

QByteArray lines(const QByteArray& line, int count)
{
    return line.repeated(count);
}

} // namespace

class TestFaultScriptFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadedOrRefused_data();
    void loadedOrRefused();

private:
    QTemporaryDir dir;
};

void TestFaultScriptFiles::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("scripts")));
    QVERIFY(QDir::setCurrent(dir.path()));
}

void TestFaultScriptFiles::loadedOrRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("rows");       // rows of the table once loaded
    QTest::addColumn<QString>("refusal"); // part of the message when refused

    const QByteArray binary1MiB = randomBytes(ScriptFile::MaxBytes, 1);
    QTest::newRow("binary, 64 KiB") << randomBytes(64 << 10, 2)
                                    << int(ScriptParser::parse(randomBytes(64 << 10, 2)).size()) << QString();
    QTest::newRow("binary, 1 MiB, the largest allowed")
        << binary1MiB << int(ScriptParser::parse(binary1MiB).size()) << QString();
    QTest::newRow("binary, 3 MiB") << randomBytes(3 << 20, 3) << 0 << "larger than";
    QTest::newRow("one line of 10 MiB") << QByteArray(10 << 20, 'a') << 0 << "larger than";
    QTest::newRow("one line of 1 MiB of letters") << QByteArray(ScriptFile::MaxBytes, 'a') << 1 << QString();
    QTest::newRow("one line of 1 MiB of semicolons") << QByteArray(ScriptFile::MaxBytes, ';') << 1 << QString();
    QTest::newRow("1 MiB of NUL bytes") << QByteArray(ScriptFile::MaxBytes, '\0') << 1 << QString();
    QTest::newRow("NUL bytes inside commands, 50 000 lines")
        << lines(QByteArray("mla;1\0;2;3\nwait;\0\n", 18), 25000) << 50000 << QString();
    QTest::newRow("100 000 lines of 4 fields, the most allowed") << lines("mla;1;2;3\n", 100000) << 100000 << QString();
    QTest::newRow("100 001 lines") << lines("end\n", 100001) << 0 << "more than 100000";
    QTest::newRow("200 000 empty lines") << lines("\n", 200000) << 0 << "more than 100000";
    QTest::newRow("500 000 comment lines") << lines("#\n", 500000) << 0 << QString();
}

void TestFaultScriptFiles::loadedOrRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(int, rows);
    QFETCH(QString, refusal);

    const QString path = dir.filePath(QStringLiteral("scripts/fault.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), qint64(content.size()));
    file.close();

    const ScriptFile script = ScriptFile::load(path);
    if (refusal.isEmpty()) {
        QVERIFY2(script.error.isEmpty(), qPrintable(script.error));
        QCOMPARE(script.rows.size(), rows);
    } else {
        QVERIFY2(script.error.contains(refusal), qPrintable(script.error));
        QVERIFY(script.rows.isEmpty());
    }

    // Through the window, on the script tab, with a table loaded before.
    Probe window;
    window.tabWidget->setCurrentIndex(window.tabWidget->count() - 1);
    window.show();
    window.tableWidget_Script->setRowCount(1);
    window.tableWidget_Script->setItem(0, 0, new QTableWidgetItem(QStringLiteral("end")));
    QElapsedTimer clock;
    qint64 loadMs = 0;
    QString message;
    {
        MessageBoxes boxes;
        chooseFile(path);
        clock.start();
        window.pushButton_ScriptLoad->click();
        QApplication::processEvents();
        loadMs = clock.elapsed();
        message = boxes.texts.join(QLatin1Char('\n'));
    }
    clock.restart();
    window.tableWidget_Script->viewport()->repaint();
    qInfo("%s: %s in %lld ms, table repainted in %lld ms", QTest::currentDataTag(),
          refusal.isEmpty() ? "loaded" : "refused", loadMs, clock.elapsed());

    if (refusal.isEmpty()) {
        QVERIFY2(message.isEmpty(), qPrintable(message));
        QCOMPARE(window.tableWidget_Script->rowCount(), rows);
    } else {
        QVERIFY2(message.contains(refusal), qPrintable(message));
        QCOMPARE(window.tableWidget_Script->rowCount(), 1);
    }

    // The first rows played (not to the end, which would open "Script Completed").
    window.pushButton_ScriptStart->click();
    const int steps = std::min(50, window.tableWidget_Script->rowCount() - 1);
    for (int step = 0; step < steps; ++step)
        window.ScriptTimeout();
    window.pushButton_ScriptStop->click();
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestFaultScriptFiles)
#include "test_FaultScriptFiles.moc"
