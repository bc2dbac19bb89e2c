// Loading a script through Load and the open-file dialog into the script table.
#include "ui/MainWindow.h"
#include "support/Modal.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using Rows = QList<QStringList>;

namespace {

struct Probe : MainWindow
{
    using MainWindow::txTimer;

    Probe() { txTimer->stop(); }

    // Each row's cells up to the first one without an item; no item may follow it.
    Rows table() const
    {
        Rows rows;
        for (int row = 0; row < tableWidget_Script->rowCount(); ++row) {
            QStringList cells;
            int column = 0;
            for (; column < tableWidget_Script->columnCount() && tableWidget_Script->item(row, column); ++column)
                cells << tableWidget_Script->item(row, column)->text();
            for (; column < tableWidget_Script->columnCount(); ++column) {
                if (tableWidget_Script->item(row, column))
                    cells << "<item after a gap>";
            }
            rows << cells;
        }
        return rows;
    }
};

struct SeenDialog
{
    QString caption, filter, directory;
    QWidget* parent = nullptr;
};

// Types the path into the dialog's file-name field and accepts, as an operator does;
// then runs after(), while the dialog is still on its way out.
void chooseFile(const QString& path, SeenDialog* seen = nullptr, std::function<void()> after = {})
{
    answerNextModal([=](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return rejectModal(modal);
        if (seen) {
            seen->caption = dialog->windowTitle();
            seen->filter = dialog->selectedNameFilter();
            seen->directory = dialog->directory().absolutePath();
            seen->parent = dialog->parentWidget();
        }
        chooseInFileDialog(dialog, path);
        if (after)
            after();
    });
}

QString writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

} // namespace

class TestScriptLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void headers();
    void load_data();
    void load();
    void secondLoadReplacesFirst();
    void cancelChangesNothing();
    void fileThatCannotBeOpened_data();
    void fileThatCannotBeOpened();

private:
    QTemporaryDir dir;
};

// The dialog starts in "scripts/" under the working directory.
void TestScriptLoad::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("scripts"));
    QVERIFY(QDir::setCurrent(dir.path()));
}

void TestScriptLoad::headers()
{
    Probe window;
    QStringList headers;
    for (int column = 0; column < window.tableWidget_Script->columnCount(); ++column)
        headers << window.tableWidget_Script->horizontalHeaderItem(column)->text();
    QCOMPARE(headers, (QStringList{"Command", "ARG1", "ARG2", "ARG3", "ARG4", "ARG5", "ARG6", "ARG7", "ARG8"}));
}

void TestScriptLoad::load_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Rows>("rows");

    QTest::newRow("CR LF, comment, trailing semicolon")
        << QByteArray("# lift\r\nmla;100;200;300\r\nwait;500;\r\nend;\r\n")
        << Rows{{"mla", "100", "200", "300"}, {"wait", "500", ""}, {"end", ""}};
    QTest::newRow("LF, empty line, blank before hash, no last terminator")
        << QByteArray("mrn;1;2\n\n #x\nend") << Rows{{"mrn", "1", "2"}, {""}, {" #x"}, {"end"}};
    QTest::newRow("twelve fields fill nine columns")
        << QByteArray("mrm;1;2;3;4;5;6;7;8;9;10;11\n") << Rows{{"mrm", "1", "2", "3", "4", "5", "6", "7", "8"}};
    QTest::newRow("NUL ends the line") << QByteArray("mla;1\0;2;3\nend\n", 15) << Rows{{"mla", "1"}, {"end"}};
    QTest::newRow("comments only") << QByteArray("# nothing\n") << Rows{};
}

void TestScriptLoad::load()
{
    QFETCH(QByteArray, file);
    QFETCH(Rows, rows);

    Probe window;
    QVERIFY(!window.pushButton_ScriptStart->isEnabled());
    QVERIFY(!window.pushButton_ScriptStop->isEnabled());
    const QString path = writeFile(dir.filePath("scripts/load.txt"), file);
    QVERIFY(!path.isEmpty());

    SeenDialog seen;
    chooseFile(path, &seen);
    window.pushButton_ScriptLoad->click();

    QCOMPARE(seen.caption, QString("Open Script File"));
    QCOMPARE(seen.filter, QString("Script (*.txt)"));
    QCOMPARE(seen.directory, QDir(dir.filePath("scripts")).absolutePath());
    QCOMPARE(seen.parent, &window);
    QCOMPARE(window.table(), rows);
    QVERIFY(window.pushButton_ScriptStart->isEnabled());
    QVERIFY(window.pushButton_ScriptStop->isEnabled());
}

void TestScriptLoad::secondLoadReplacesFirst()
{
    Probe window;
    chooseFile(writeFile(dir.filePath("first.txt"), "mla;1;2;3\nmra;4;5;6\nwait;100\n"));
    window.pushButton_ScriptLoad->click();
    QCOMPARE(window.table().size(), 3);

    chooseFile(writeFile(dir.filePath("second.txt"), "mrn;7;8\r\n"));
    window.pushButton_ScriptLoad->click();
    QCOMPARE(window.table(), (Rows{{"mrn", "7", "8"}}));
}

void TestScriptLoad::cancelChangesNothing()
{
    Probe window;
    chooseFile(QString());
    window.pushButton_ScriptLoad->click();
    QCOMPARE(window.tableWidget_Script->rowCount(), 0);
    QVERIFY(!window.pushButton_ScriptStart->isEnabled());
}

void TestScriptLoad::fileThatCannotBeOpened_data()
{
    QTest::addColumn<bool>("loadedBefore");
    QTest::newRow("table loaded before") << true;
    QTest::newRow("fresh window") << false;
}

// The dialog only offers files that exist; this one is gone before it is opened.
void TestScriptLoad::fileThatCannotBeOpened()
{
    QFETCH(bool, loadedBefore);

    Probe window;
    Rows before;
    if (loadedBefore) {
        chooseFile(writeFile(dir.filePath("kept.txt"), "mla;1;2;3\nend\n"));
        window.pushButton_ScriptLoad->click();
        before = window.table();
        QCOMPARE(before.size(), 2);
    }

    const QString path = writeFile(dir.filePath("vanishing.txt"), "mrn;1;2\n");
    QString shown;
    bool noParent = false;
    chooseFile(path, nullptr, [path, &shown, &noParent] {
        QFile::remove(path);
        answerNextModal([&shown, &noParent](QWidget* box) {
            shown = messageBoxText(box);
            noParent = !box->parentWidget();
            acceptModal(box);
        });
    });
    window.pushButton_ScriptLoad->click();

    QCOMPARE(shown, QString("Cannot load script file \"%1\": No such file or directory").arg(path));
    QVERIFY(noParent);
    QCOMPARE(window.table(), before);
    QCOMPARE(window.pushButton_ScriptStart->isEnabled(), loadedBefore);
    QCOMPARE(window.pushButton_ScriptStop->isEnabled(), loadedBefore);
}

QTEST_MAIN(TestScriptLoad)
#include "test_ScriptLoad.moc"
