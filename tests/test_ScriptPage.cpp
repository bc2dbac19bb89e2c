// The Script page as an operator meets it: where taught rows go, the unsaved mark after
// each step, Start during a run, and what works without a connection.
#include "core/DriveLink.h"
#include "core/ScriptRunner.h"
#include "support/Modal.h"
#include "support/Pty.h"
#include "protocol/RobotCommand.h"
#include "ui/MainWindow.h"
#include "ui/MotionPanels.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Ends with "end;".
QString waveScript()
{
    return QFINDTESTDATA("../scripts/wave_left_arm.txt");
}

struct Page
{
    Pty pty;
    DriveLink link;
    MainWindow window{link};
    const Ui::MainWindow& form = window.form();

    Page()
    {
        window.addPort(pty.slavePath());
        window.connectToSelectedPort();
    }
    QPushButton* button(const char* name) const { return window.findChild<QPushButton*>(name); }
    // Load, choosing path; the question about unsaved changes, if any, is answered with Discard.
    void load(const QString& path)
    {
        answerNextModal([path](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                box->button(QMessageBox::Discard)->click();
                answerNextModal([path](QWidget* dialog) { chooseInFileDialog(dialog, path); });
                return;
            }
            chooseInFileDialog(modal, path);
        });
        form.pushButton_ScriptLoad->click();
    }
    QStringList row(int at) const { return ScriptRunner::rowFields(*form.tableWidget_Script->model(), at); }
    // What the page's note and the title's mark say, when they agree.
    QString mark() const
    {
        const bool noted = form.label_ScriptFile->text().endsWith(QStringLiteral("(unsaved changes)"));
        if (noted != window.isWindowModified())
            return QStringLiteral("note and title disagree");
        return noted ? QStringLiteral("unsaved") : QStringLiteral("saved");
    }
};

} // namespace

class TestScriptPage : public QObject
{
    Q_OBJECT

private slots:
    void taughtRowsGoBeforeTheEnd_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("at");
        QTest::newRow("none selected: before the final end") << -1 << 15;
        QTest::newRow("at the selected row") << 2 << 2;
    }

    void taughtRowsGoBeforeTheEnd()
    {
        QFETCH(int, selected);
        QFETCH(int, at);
        Page page;
        page.load(waveScript());
        QCOMPARE(page.form.tableWidget_Script->rowCount(), 16);
        if (selected >= 0)
            page.form.tableWidget_Script->selectRow(selected);
        page.button("pushButton_ScriptRecord")->click();
        const MotionPanels::Panel& leftArm = page.window.motionPanels().panel(RobotCommands::Mla);
        leftArm.fields[0]->setText("10"); // Elbow, Pitch, Yaw on screen
        leftArm.fields[1]->setText("30");
        for (const char* yaw : {"100", "200"}) {
            leftArm.fields[2]->setText(yaw);
            leftArm.go->click();
        }
        QTRY_COMPARE(page.form.tableWidget_Script->rowCount(), 19);
        page.button("pushButton_ScriptRecord")->click();
        QCOMPARE(page.row(at).value(2), QStringLiteral("100"));
        QCOMPARE(page.row(at + 1).first(), QStringLiteral("wait"));
        QCOMPARE(page.row(at + 2).value(2), QStringLiteral("200"));
        QCOMPARE(page.row(18).first(), QStringLiteral("end"));
        // The operator sees them: selected, and the status bar names the row.
        QCOMPARE(page.form.tableWidget_Script->selectionModel()->selectedRows().size(), 2);
        QVERIFY2(page.window.statusBar()->currentMessage().contains(QString::number(at + 3)),
                 qPrintable(page.window.statusBar()->currentMessage()));
    }

    void unsavedMarkFollowsEveryStep()
    {
        QTemporaryDir dir;
        const QString copy = dir.filePath("wave.txt");
        QVERIFY(QFile::copy(waveScript(), copy));
        Page page;
        page.load(copy);
        QCOMPARE(page.mark(), QStringLiteral("saved"));
        page.form.tableWidget_Script->selectRow(3);
        page.button("pushButton_ScriptInsert")->click();
        QCOMPARE(page.mark(), QStringLiteral("unsaved"));
        page.button("pushButton_ScriptSave")->click();
        QCOMPARE(page.mark(), QStringLiteral("saved"));
        page.button("pushButton_ScriptDown")->click();
        QCOMPARE(page.mark(), QStringLiteral("unsaved"));
        page.button("pushButton_ScriptUndo")->click();
        QCOMPARE(page.mark(), QStringLiteral("saved"));
        page.button("pushButton_ScriptUndo")->click();
        QCOMPARE(page.mark(), QStringLiteral("unsaved"));
        page.load(waveScript());
        QCOMPARE(page.form.label_ScriptFile->text(), QStringLiteral("wave_left_arm.txt"));
        QCOMPARE(page.mark(), QStringLiteral("saved"));
    }

    void startIsDisabledDuringARun()
    {
        Page page;
        page.load(waveScript());
        QVERIFY(page.form.pushButton_ScriptStart->isEnabled());
        page.form.pushButton_ScriptStart->click();
        QTRY_COMPARE(page.row(page.form.tableWidget_Script->currentRow()).value(2), QStringLiteral("1500"));
        QVERIFY(page.window.scriptRunner().isRunning());
        QVERIFY(!page.form.pushButton_ScriptStart->isEnabled());
        QVERIFY(!page.button("pushButton_ScriptRunFrom")->isEnabled());
        QVERIFY(page.form.pushButton_ScriptStop->isEnabled());
        QVERIFY(page.button("pushButton_ScriptStopAll")->isEnabled());
        page.form.pushButton_ScriptStop->click();
        QVERIFY(page.form.pushButton_ScriptStart->isEnabled());
    }

    // After Disconnect scripts are still loaded, edited and saved; only what sends waits.
    void scriptsAreWrittenWithoutAConnection()
    {
        QTemporaryDir dir;
        Page page;
        page.form.pushButton_Disconnect->click();
        QVERIFY(!page.form.tab_1->isEnabled());
        page.load(waveScript());
        QCOMPARE(page.form.tableWidget_Script->rowCount(), 16);
        page.form.tableWidget_Script->selectRow(0);
        page.button("pushButton_ScriptDelete")->click();
        QCOMPARE(page.form.tableWidget_Script->rowCount(), 15);
        answerNextModal([&](QWidget* dialog) { chooseInFileDialog(dialog, dir.filePath("new.txt")); });
        page.button("pushButton_ScriptSaveAs")->click();
        QVERIFY(QFileInfo(dir.filePath("new.txt")).size() > 0);
        for (const char* sending : {"pushButton_ScriptStart", "pushButton_ScriptStep", "pushButton_ScriptRecord"}) {
            QVERIFY2(!page.button(sending)->isEnabled(), sending);
            QVERIFY(page.button(sending)->toolTip().startsWith("Not connected"));
        }
        page.form.pushButton_Connect->click();
        QVERIFY(page.form.pushButton_ScriptStart->isEnabled() && page.form.tab_1->isEnabled());
    }
};

QTEST_MAIN(TestScriptPage)
#include "test_ScriptPage.moc"
