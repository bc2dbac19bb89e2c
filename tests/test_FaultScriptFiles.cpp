// Fault: script files no one would write on purpose (binary, a 10 MiB line, NUL bytes,
// 100 000 lines). Each is loaded or refused with a message, through the loader and
// through Load with its file dialog; nothing crashes and nothing hangs.
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "support/Modal.h"
#include "support/WindowOnLink.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <random>

namespace {

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

} // namespace

class TestFaultScriptFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("scripts")));
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void loadedOrRefused_data()
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
            << QByteArray("mla;1\0;2;3\nwait;\0\n", 18).repeated(25000) << 50000 << QString();
        QTest::newRow("100 000 lines of 4 fields, the most allowed")
            << QByteArray("mla;1;2;3\n").repeated(100000) << 100000 << QString();
        QTest::newRow("100 001 lines") << QByteArray("end\n").repeated(100001) << 0 << "more than 100000";
        QTest::newRow("200 000 empty lines") << QByteArray("\n").repeated(200000) << 0 << "more than 100000";
        QTest::newRow("500 000 comment lines") << QByteArray("#\n").repeated(500000) << 0 << QString();
    }

    void loadedOrRefused()
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
        // Connected, so that Start plays the rows.
        WindowOnLink tool;
        QTableWidget& table = tool.scriptTable();
        ScriptRunner& runner = tool.scriptPage().runner();
        tool.form().tabWidget->setCurrentIndex(tool.form().tabWidget->count() - 1);
        tool.window.show();
        ScriptRunner::fillModel(*table.model(), {{QStringLiteral("end")}});
        QElapsedTimer clock;
        qint64 loadMs = 0;
        QString message;
        {
            MessageBoxes boxes;
            answerNextModal([path](QWidget* dialog) { chooseInFileDialog(dialog, path); });
            clock.start();
            tool.script(ScriptPage::Load)->click();
            QApplication::processEvents();
            loadMs = clock.elapsed();
            message = boxes.texts.join(QLatin1Char('\n'));
        }
        clock.restart();
        table.viewport()->repaint();
        qInfo("%s: %s in %lld ms, table repainted in %lld ms", QTest::currentDataTag(),
              refusal.isEmpty() ? "loaded" : "refused", loadMs, clock.elapsed());

        if (refusal.isEmpty()) {
            QVERIFY2(message.isEmpty() || message.contains("cannot be run as written"), qPrintable(message));
            QCOMPARE(table.rowCount(), rows);
        } else {
            QVERIFY2(message.contains(refusal), qPrintable(message));
            QCOMPARE(table.rowCount(), 1);
        }

        // The first rows played (not to the end, which would open "Script Completed"), if
        // the check lets the script start at all.
        MessageBoxes refusals;
        tool.script(ScriptPage::Start)->click();
        const int steps = std::min(50, table.rowCount() - 1);
        for (int step = 0; step < steps && runner.isRunning(); ++step)
            runner.runNextRow();
        tool.script(ScriptPage::Stop)->click();
        QVERIFY(!QApplication::activeModalWidget());
    }

private:
    QTemporaryDir dir;
};

QTEST_MAIN(TestFaultScriptFiles)
#include "test_FaultScriptFiles.moc"
