// Loading a script through Load and the open-file dialog into the script table: where
// the dialog starts, the file's name on the page, and the rows that cannot run marked and
// summed up.
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "support/Modal.h"
#include "support/WindowOnLink.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using Rows = QList<QStringList>;

namespace {

// Connected, so that Start can be pressed.
struct Window : WindowOnLink
{
    void load() { script(ScriptPage::Load)->click(); }
    // Whether Start and Stop are enabled.
    QList<bool> startStop() const
    {
        return {script(ScriptPage::Start)->isEnabled(), script(ScriptPage::Stop)->isEnabled()};
    }

    // Each row's cells up to the first one without data; no data may follow it.
    Rows table() const
    {
        const QAbstractItemModel& model = *scriptTable().model();
        Rows rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model.columnCount(); ++column) {
                const QVariant cell = model.index(row, column).data();
                if (cell.isValid())
                    cells << (cells.size() == column ? cell.toString() : QStringLiteral("<cell after a gap>"));
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

// Types the path into the dialog's file-name field and accepts, as an operator does (an
// empty path cancels); then runs after(), while the dialog is still on its way out.
void chooseFile(const QString& path, SeenDialog* seen = nullptr, std::function<void()> after = {})
{
    answerNextModal([=](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return rejectModal(modal);
        if (seen)
            *seen = {dialog->windowTitle(), dialog->selectedNameFilter(), dialog->directory().absolutePath(),
                     dialog->parentWidget()};
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
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir("scripts"));
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void headers()
    {
        Window w;
        QStringList headers;
        for (int column = 0; column < w.scriptTable().columnCount(); ++column)
            headers << w.scriptTable().horizontalHeaderItem(column)->text();
        QCOMPARE(headers, (QStringList{"Command", "ARG1", "ARG2", "ARG3", "ARG4", "ARG5", "ARG6", "ARG7", "ARG8"}));
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("marked");
        QTest::addColumn<QString>("summary"); // a part of it

        QTest::newRow("CR LF, comment, trailing semicolon")
            << QByteArray("# lift\r\nmla;100;200;300\r\nwait;500;\r\nend;\r\n")
            << Rows{{"mla", "100", "200", "300"}, {"wait", "500", ""}, {"end", ""}} << 1
            << "Script has errors: load.txt has a row that cannot be run as written, so Start will refuse it:\n\n"
               "Row 2: wait takes 1 argument, this row has 2 (a \";\" at the end of the line adds an empty one).\n\n";
        QTest::newRow("LF, empty line, blank before hash, no last terminator")
            << QByteArray("mrn;1;2\n\n #x\nend") << Rows{{"mrn", "1", "2"}, {""}, {" #x"}, {"end"}} << 1
            << "Row 3: \" #x\" is no command";
        QTest::newRow("twelve fields fill nine columns")
            << QByteArray("mrm;1;2;3;4;5;6;7;8;9;10;11\n") << Rows{{"mrm", "1", "2", "3", "4", "5", "6", "7", "8"}} << 0
            << "";
        QTest::newRow("NUL ends the line") << QByteArray("mla;1\0;2;3\nend\n", 15) << Rows{{"mla", "1"}, {"end"}} << 1
                                           << "Row 1: mla takes 3 arguments, this row has 1.";
        QTest::newRow("comments only") << QByteArray("# nothing\n") << Rows{} << 0 << "";
        QTest::newRow("seven rows refused, five named")
            << QByteArray("mrn;0;5000\n").repeated(7) << ScriptParser::parse(QByteArray("mrn;0;5000\n").repeated(7))
            << 7 << "Row 5: argument 2 (5000) is outside 0 to 4096.\n... and 2 more.";
    }

    // Each load replaces the table loaded before. The dialog starts in the example scripts'
    // folder, then in the last script's, whose name the page shows. Rows that cannot run
    // are marked, with the reason as their tooltip, a summary names the first ones, and
    // Start refuses.
    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(Rows, rows);
        QFETCH(int, marked);
        QFETCH(QString, summary);

        Window w;
        QCOMPARE(w.startStop(), (QList<bool>{false, false}));
        SeenDialog first, seen;
        chooseFile(writeFile(dir.filePath("scripts/first.txt"), "mla;1;2;3\nend\n"), &first);
        w.load();
        QCOMPARE(w.table().size(), 2);
        QString shown;
        chooseFile(writeFile(dir.filePath("load.txt"), file), &seen, [&shown, marked] {
            if (marked)
                answerNextModal([&shown](QWidget* box) {
                    shown = box->windowTitle() + ": " + messageBoxText(box);
                    acceptModal(box);
                });
        });
        w.load();

        QCOMPARE(QDir(first.directory), QDir(QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath("../scripts")));
        QCOMPARE(seen.caption, QString("Open Script File"));
        QCOMPARE(seen.filter, QString("Script (*.txt)"));
        QCOMPARE(seen.directory, QDir(dir.filePath("scripts")).absolutePath()); // where first.txt was
        QCOMPARE(seen.parent, &w.window);
        QCOMPARE(w.scriptPage().fileLabel().text(), QString("load.txt"));
        QCOMPARE(w.table(), rows);
        QCOMPARE(w.startStop(), (QList<bool>{true, true}));
        QVERIFY2(shown.contains(summary), qPrintable(shown));
        int markedRows = 0;
        for (int row = 0; row < rows.size(); ++row) {
            const QTableWidgetItem* item = w.scriptTable().item(row, 0);
            markedRows += item->background().style() != Qt::NoBrush && !item->toolTip().isEmpty()
                          && shown.contains(item->toolTip());
        }
        QCOMPARE(markedRows, marked);

        QString refusal;
        if (marked)
            answerNextModal([&refusal](QWidget* box) { refusal = box->windowTitle(); acceptModal(box); });
        w.script(ScriptPage::Start)->click();
        QCOMPARE(refusal, QString(marked ? "Script not running" : ""));
        QCOMPARE(w.scriptPage().runner().isRunning(), !marked);
    }

    void nothingLoaded_data()
    {
        QTest::addColumn<bool>("loadedBefore");
        QTest::addColumn<bool>("cancel"); // else the chosen file is gone before it is opened
        QTest::newRow("cancel, fresh window") << false << true;
        QTest::newRow("file gone, fresh window") << false << false;
        QTest::newRow("file gone, table loaded before") << true << false;
    }

    // Cancelling the dialog, or a file that cannot be opened, leaves the table and the
    // buttons as they were; only the file that cannot be opened is reported.
    void nothingLoaded()
    {
        QFETCH(bool, loadedBefore);
        QFETCH(bool, cancel);

        Window w;
        if (loadedBefore) {
            chooseFile(writeFile(dir.filePath("kept.txt"), "mla;1;2;3\nend\n"));
            w.load();
            QCOMPARE(w.table().size(), 2);
        }
        const Rows before = w.table();

        const QString path = writeFile(dir.filePath("vanishing.txt"), "mrn;1;2\n");
        QString shown;
        bool noParent = false;
        chooseFile(cancel ? QString() : path, nullptr, [=, &shown, &noParent] {
            if (cancel)
                return;
            QFile::remove(path);
            answerNextModal([&shown, &noParent](QWidget* box) {
                shown = messageBoxText(box);
                noParent = !box->parentWidget();
                acceptModal(box);
            });
        });
        w.load();

        if (!cancel) {
            QCOMPARE(shown, QString("Cannot load script file \"%1\": No such file or directory").arg(path));
            QVERIFY(noParent);
        }
        QCOMPARE(w.table(), before);
        QCOMPARE(w.startStop(), (QList<bool>{loadedBefore, loadedBefore}));
    }

private:
    QTemporaryDir dir;
};

QTEST_MAIN(TestScriptLoad)
#include "test_ScriptLoad.moc"
