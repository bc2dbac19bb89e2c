// The File menu's board settings through the window and its dialogs, on the simulated
// boards: save, apply back a changed value with its read-back, copy to the other board
// (its motion left alone), and the refusal while disconnected.
#include "ui/BoardSettingsDialog.h"
#include "support/Modal.h"
#include "support/SimProcess.h"
#include "support/WindowOnLink.h"

#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace SharedVariables;

namespace {

constexpr int TimeoutMs = 20000;

struct Tool : WindowOnLink
{
    using WindowOnLink::WindowOnLink;

    void trigger(const char* action) { window.findChild<QAction*>(QLatin1String(action))->trigger(); }

    // The dialog once its comparison is shown.
    BoardSettingsDialog* dialog() const
    {
        auto* found = window.findChild<BoardSettingsDialog*>();
        return found && found->form().buttonBox->button(QDialogButtonBox::Apply)->isEnabled() ? found : nullptr;
    }

    // The ticked rows as "motor parameter board wanted".
    static QStringList ticked(const BoardSettingsDialog* dialog)
    {
        QStringList rows;
        const QTableWidget* table = dialog->form().tableWidget_Settings;
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->checkState() == Qt::Checked)
                rows << QStringList{table->item(row, 0)->text(), table->item(row, 1)->text(),
                                    table->item(row, 2)->text(), table->item(row, 3)->text()}
                            .join(' ');
        }
        return rows;
    }
};

} // namespace

class TestBoardSettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void refusedWhileDisconnected_data()
    {
        QTest::addColumn<QString>("action");
        for (const char* action : {"actionSaveBoardSettings", "actionCompareWithFile", "actionApplySettingsFile",
                                   "actionCopyToOtherBoard"})
            QTest::newRow(action) << action;
    }

    void refusedWhileDisconnected()
    {
        QFETCH(QString, action);
        Tool tool(Tool::Connection::None);
        QString text;
        answerNextModal([&](QWidget* modal) {
            text = modal->windowTitle() + ": " + messageBoxText(modal);
            acceptModal(modal);
        });
        tool.trigger(qPrintable(action));
        QTRY_COMPARE(text, QStringLiteral("Not connected: Connect to the boards first, then try again."));
    }

    void savedFileAppliesAChangedValueBack()
    {
        SimProcess sim;
        Tool tool(sim.port());
        QVERIFY(tool.link.isConnected());
        QTemporaryDir dir;
        const QString path = dir.filePath("board1.json");
        answerNextModal([&](QWidget* modal) { chooseInFileDialog(modal, path); });
        tool.trigger("actionSaveBoardSettings");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), TimeoutMs);

        tool.link.writeParameter(SpeedMax, 2, 999);
        answerNextModal([&](QWidget* modal) { chooseInFileDialog(modal, path); });
        tool.trigger("actionApplySettingsFile");
        BoardSettingsDialog* dialog = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((dialog = tool.dialog()), TimeoutMs);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Apply board1.json to board 1"));
        QCOMPARE(Tool::ticked(dialog), QStringList{"2 SpeedMax 999 30"});

        dialog->form().buttonBox->button(QDialogButtonBox::Apply)->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->form().label_Summary->text(),
                                  QStringLiteral("Board 1: 1 written and verified, 67 unchanged, 0 failed."), TimeoutMs);
        const QTableWidget* table = dialog->form().tableWidget_Settings;
        const auto row = table->findItems(QStringLiteral("written and verified"), Qt::MatchExactly);
        QCOMPARE(row.size(), 1);
        QCOMPARE(table->item(row.first()->row(), 2)->text(), QStringLiteral("30"));
    }

    void copiesBoard1ToBoard2()
    {
        SimProcess sim;
        Tool tool(sim.port());
        QVERIFY(tool.link.isConnected());
        tool.trigger("actionCopyToOtherBoard");
        BoardSettingsDialog* dialog = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((dialog = tool.dialog()), TimeoutMs);
        QCOMPARE(tool.window.form().addressComboBox->currentText(), QStringLiteral("0x02"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Copy board 1 to board 2"));
        QVERIFY(Tool::ticked(dialog).contains("3 pid_Kp 0.4 0.5"));
        // Board 2's motors keep their positions.
        QVERIFY(dialog->form().tableWidget_Settings->findItems("SetPoint", Qt::MatchExactly).isEmpty());

        dialog->form().checkBox_SaveEeprom->setChecked(true);
        dialog->form().buttonBox->button(QDialogButtonBox::Apply)->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->form().label_Summary->text(),
                                  QStringLiteral("Board 2: 40 written and verified, 28 unchanged, 0 failed. Saved to EEPROM."),
                                  TimeoutMs);
    }
};

QTEST_MAIN(TestBoardSettingsWindow)
#include "test_BoardSettingsWindow.moc"
