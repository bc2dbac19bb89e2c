// The Script page as an operator meets it: where taught rows go, the unsaved mark after
// each step, the question when the window closes on unsaved changes, Start during a run,
// and what works without a connection.
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "support/Modal.h"
#include "protocol/RobotCommand.h"
#include "support/WindowOnLink.h"
#include "ui/MotionPanels.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Ends with "end;".
QString waveScript()
{
    return QFINDTESTDATA("../scripts/wave_left_arm.txt");
}

struct Page : WindowOnLink
{
    void click(ScriptPage::Control control) { script(control)->click(); }
    bool enabled(ScriptPage::Control control) const { return script(control)->isEnabled(); }
    // What the page's note and the title's mark say, when they agree.
    QString mark() const
    {
        const bool noted = scriptPage().fileLabel().text().endsWith(QStringLiteral("(unsaved changes)"));
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
        page.loadScript(waveScript());
        QCOMPARE(page.scriptTable().rowCount(), 16);
        if (selected >= 0)
            page.scriptTable().selectRow(selected);
        page.click(ScriptPage::Teach);
        const MotionPanels::Panel& leftArm = page.window.motionPanels().panel(RobotCommands::Mla);
        leftArm.fields[0]->setText("10"); // Elbow, Pitch, Yaw on screen
        leftArm.fields[1]->setText("30");
        for (const char* yaw : {"100", "200"}) {
            leftArm.fields[2]->setText(yaw);
            leftArm.go->click();
        }
        QTRY_COMPARE(page.scriptTable().rowCount(), 19);
        page.click(ScriptPage::Teach);
        QCOMPARE(page.scriptRow(at).value(2), QStringLiteral("100"));
        QCOMPARE(page.scriptRow(at + 1).first(), QStringLiteral("wait"));
        QCOMPARE(page.scriptRow(at + 2).value(2), QStringLiteral("200"));
        QCOMPARE(page.scriptRow(18).first(), QStringLiteral("end"));
        // The operator sees them: selected, and the status bar names the row.
        QCOMPARE(page.scriptTable().selectionModel()->selectedRows().size(), 2);
        QVERIFY2(page.window.statusBar()->currentMessage().contains(QString::number(at + 3)),
                 qPrintable(page.window.statusBar()->currentMessage()));
    }

    void unsavedMarkFollowsEveryStep()
    {
        QTemporaryDir dir;
        const QString copy = dir.filePath("wave.txt");
        QVERIFY(QFile::copy(waveScript(), copy));
        Page page;
        page.loadScript(copy);
        QCOMPARE(page.mark(), QStringLiteral("saved"));
        page.scriptTable().selectRow(3);
        page.click(ScriptPage::Insert);
        QCOMPARE(page.mark(), QStringLiteral("unsaved"));
        page.click(ScriptPage::Save);
        QCOMPARE(page.mark(), QStringLiteral("saved"));
        page.click(ScriptPage::Down);
        QCOMPARE(page.mark(), QStringLiteral("unsaved"));
        page.click(ScriptPage::Undo);
        QCOMPARE(page.mark(), QStringLiteral("saved"));
        page.click(ScriptPage::Undo);
        QCOMPARE(page.mark(), QStringLiteral("unsaved"));
        page.loadScript(waveScript());
        QCOMPARE(page.scriptPage().fileLabel().text(), QStringLiteral("wave_left_arm.txt"));
        QCOMPARE(page.mark(), QStringLiteral("saved"));
    }

    void closingAsksAboutUnsavedChanges_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("rowsInFile");
        QTest::newRow("save") << int(QMessageBox::Save) << true << 17;
        QTest::newRow("discard") << int(QMessageBox::Discard) << true << 16;
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << 16;
    }

    void closingAsksAboutUnsavedChanges()
    {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(int, rowsInFile);
        QTemporaryDir dir;
        const QString copy = dir.filePath("wave.txt");
        QVERIFY(QFile::copy(waveScript(), copy));
        Page page;
        page.loadScript(copy);
        page.window.show();
        page.click(ScriptPage::Insert);
        QString asked;
        answerNextModal([&](QWidget* modal) {
            asked = messageBoxText(modal);
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::StandardButton(answer))->click();
        });
        QCOMPARE(page.window.close(), closed);
        QCOMPARE(asked, QStringLiteral("The script has unsaved changes. Save them first?"));
        QCOMPARE(page.window.isVisible(), !closed);
        QCOMPARE(ScriptFile::load(copy).rows.size(), rowsInFile);
    }

    void startIsDisabledDuringARun()
    {
        Page page;
        page.loadScript(waveScript());
        QVERIFY(page.enabled(ScriptPage::Start));
        page.click(ScriptPage::Start);
        QTRY_COMPARE(page.scriptRow(page.scriptTable().currentRow()).value(2), QStringLiteral("1500"));
        QVERIFY(page.scriptPage().runner().isRunning());
        QVERIFY(!page.enabled(ScriptPage::Start));
        QVERIFY(!page.enabled(ScriptPage::RunFromHere));
        QVERIFY(page.enabled(ScriptPage::Stop));
        QVERIFY(page.enabled(ScriptPage::StopAll));
        page.click(ScriptPage::Stop);
        QVERIFY(page.enabled(ScriptPage::Start));
    }

    // After Disconnect scripts are still loaded, edited and saved; only what sends waits.
    void scriptsAreWrittenWithoutAConnection()
    {
        QTemporaryDir dir;
        Page page;
        page.form().pushButton_Disconnect->click();
        QVERIFY(!page.form().tab_1->isEnabled());
        page.loadScript(waveScript());
        QCOMPARE(page.scriptTable().rowCount(), 16);
        page.scriptTable().selectRow(0);
        page.click(ScriptPage::Delete);
        QCOMPARE(page.scriptTable().rowCount(), 15);
        answerNextModal([&](QWidget* dialog) { chooseInFileDialog(dialog, dir.filePath("new.txt")); });
        page.click(ScriptPage::SaveAs);
        QVERIFY(QFileInfo(dir.filePath("new.txt")).size() > 0);
        for (ScriptPage::Control sending : {ScriptPage::Start, ScriptPage::Step, ScriptPage::Teach}) {
            QVERIFY(!page.enabled(sending));
            QVERIFY(page.script(sending)->toolTip().startsWith("Not connected"));
        }
        page.form().pushButton_Connect->click();
        QVERIFY(page.enabled(ScriptPage::Start) && page.form().tab_1->isEnabled());
    }
};

QTEST_MAIN(TestScriptPage)
#include "test_ScriptPage.moc"
