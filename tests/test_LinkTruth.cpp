// What the window shows is the selected board's and current, on drive-sim and on a
// pseudo-terminal: values after a board switch and a new Connect, a board that stops
// answering, a script run that loses its link, the samples' breaks, the link's health.
#include "core/DriveLink.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "ui/DriveView.h"
#include "ui/LinkHealthBar.h"
#include "ui/MainWindow.h"
#include "ui/ScriptPage.h"
#include "support/Frames.h"
#include "support/Modal.h"
#include "support/Pty.h"
#include "support/SimProcess.h"

#include <qwt_plot_curve.h>

#include <QAbstractButton>
#include <QInputDialog>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <optional>

using namespace SharedVariables;

namespace {

// A full sweep of the block takes 2.25 s; allow for a loaded machine.
constexpr int SweepMs = 20000;

// The tool connected to drive-sim, which ends with it.
struct Tool
{
    explicit Tool(const QString& port = QString())
    {
        if (port.isEmpty())
            sim.emplace();
        window.addPort(port.isEmpty() ? sim->port() : port);
        window.form().pushButton_Connect->click();
    }
    QLineEdit* field(int motor, Index index) const
    {
        return window.driveView(motor)->findChild<QLineEdit*>(variable(index).fieldName());
    }
    QToolButton* button(int motor, Index index) const
    {
        return window.driveView(motor)->findChild<QToolButton*>(QStringLiteral("toolButton_") + variable(index).name);
    }
    QString state() const { return window.form().labelConnected->text(); }
    void signalSim(int number) { sim->signal(number); }

    std::optional<SimProcess> sim;
    DriveLink link;
    MainWindow window {link};
};

} // namespace

class TestLinkTruth : public QObject
{
    Q_OBJECT

private slots:
    // Board 1's value must never stand in board 2's field, nor start its dialog.
    void valuesBelongToTheSelectedBoard()
    {
        Tool tool;
        QLineEdit* kp = tool.field(2, pid_Kp);
        QToolButton* button = tool.button(2, pid_Kp);
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.5"), SweepMs);
        QCOMPARE(button->toolTip(), QStringLiteral("pid_Kp: 0 to 1000000, address 212 (motor 2)"));
        QStringList shown;
        connect(kp, &QLineEdit::textChanged, this, [&shown](const QString& text) { shown << text; });
        tool.window.form().addressComboBox->setCurrentText(QStringLiteral("0x02"));
        QCOMPARE(kp->toolTip(), QStringLiteral("not read yet from board 0x02"));
        QVERIFY(kp->text().isEmpty() && !kp->isEnabled() && !button->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.4"), SweepMs);
        QVERIFY(button->isEnabled());
        QVERIFY2(!shown.contains(QStringLiteral("0.5")), qPrintable(shown.join(' ')));

        // A new connection reads everything again, on a fresh graph.
        QTRY_VERIFY_WITH_TIMEOUT(tool.link.samples(2).size() > 0, SweepMs);
        tool.window.form().pushButton_Disconnect->click();
        QCOMPARE(button->toolTip(), QStringLiteral("Connect first to change this value."));
        tool.window.form().pushButton_Connect->click();
        QVERIFY(kp->text().isEmpty() && !button->isEnabled());
        QCOMPARE(tool.link.samples(2).size(), 0);
        QVERIFY(!tool.window.driveView(2)->positionCurve()->plot());
    }

    // An entered value shows at once, marked pending, until the board's read-back.
    void enteredValueIsPendingUntilReadBack()
    {
        Tool tool;
        QLineEdit* kp = tool.field(2, pid_Kp);
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.5"), SweepMs);
        answerNextModal([](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            if (!dialog)
                return rejectModal(modal);
            dialog->setDoubleValue(7.25);
            dialog->accept();
        });
        tool.button(2, pid_Kp)->click();
        QCOMPARE(kp->text(), QStringLiteral("7.25"));
        QVERIFY(kp->font().italic());
        QVERIFY2(kp->toolTip().startsWith(QStringLiteral("pending")), qPrintable(kp->toolTip()));
        QTRY_VERIFY_WITH_TIMEOUT(!kp->font().italic(), SweepMs);
        QCOMPARE(kp->text(), QStringLiteral("7.25"));
        QVERIFY(kp->toolTip().isEmpty());
    }

    // "Connected" only says that the port opened.
    void silentBoardIsSaidSo()
    {
        Tool tool;
        QLineEdit* kp = tool.field(0, pid_Kp);
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.5"), SweepMs);
        QCOMPARE(tool.state(), QStringLiteral("Connected"));
        tool.signalSim(SIGSTOP);
        QTRY_COMPARE_WITH_TIMEOUT(tool.state(), QStringLiteral("Connected, no reply from board 0x01"), SweepMs);
        QVERIFY(kp->text().isEmpty() && !tool.button(0, pid_Kp)->isEnabled());
        tool.signalSim(SIGCONT);
        QTRY_COMPARE_WITH_TIMEOUT(tool.state(), QStringLiteral("Connected"), SweepMs);
        QCOMPARE(tool.window.statusBar()->currentMessage(), QStringLiteral("Board 0x01 replies again."));
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.5"), SweepMs);
        // The samples break once, where nothing came.
        const MotorSamples& samples = tool.link.samples(0);
        QList<int> breaks;
        for (int i = 1; i < samples.size(); ++i) {
            if (samples.startsSegment(i))
                breaks << i;
        }
        QCOMPARE(breaks.size(), 1);
        QVERIFY(samples.time.at(breaks[0]) - samples.time.at(breaks[0] - 1) >= DriveLink::SilenceMs / 1000.0);
    }

    void scriptStopsWithItsLink_data()
    {
        QTest::addColumn<bool>("portLost");
        QTest::newRow("Disconnect") << false;
        QTest::newRow("port lost") << true;
    }

    // A run that lost its link never says "Script Completed".
    void scriptStopsWithItsLink()
    {
        QFETCH(bool, portLost);
        Tool tool;
        ScriptPage& page = tool.window.scriptPage();
        ScriptRunner& runner = page.runner();
        QSignalSpy started(&runner, &ScriptRunner::rowStarted);
        QSignalSpy completed(&runner, &ScriptRunner::completed);
        ScriptRunner::fillModel(*page.table().model(), ScriptParser::parse(QByteArray("mrn;1;2\nwait;200\n").repeated(50)));
        page.control(ScriptPage::Start)->setEnabled(true);
        page.control(ScriptPage::Start)->click();
        QTRY_VERIFY_WITH_TIMEOUT(started.count() >= 3, SweepMs);
        QString text; // the box's title, then its text
        answerNextModal([&](QWidget* modal) {
            text = modal->windowTitle() + ": " + messageBoxText(modal);
            acceptModal(modal);
        });
        const QString port = tool.link.portName();
        portLost ? tool.signalSim(SIGKILL) : tool.window.form().pushButton_Disconnect->click();
        QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), SweepMs);
        const QString stop = QStringLiteral("The script stopped at row %1: ").arg(started.last().first().toInt() + 1);
        const QRegularExpression lost(QStringLiteral("^Connection lost: The connection on %1 was lost.\n\nLikely cause: the "
                                                     "program at the far end of the pseudo-terminal closed it or ended.\n"
                                                     "System message: .+\n\n").arg(QRegularExpression::escape(port)));
        QVERIFY2(portLost ? text.contains(lost) && text.contains(stop + "the connection on " + port + " was lost.")
                          : text == "Script stopped: " + stop + "the connection was closed.",
                 qPrintable(text));
        QTest::qWait(300);
        QVERIFY(!QApplication::activeModalWidget() && !runner.isRunning());
        QCOMPARE(completed.count(), 0);
    }

    // With nothing attached: no reply, and the noise counted.
    void healthInTheStatusBar()
    {
        Pty pty;
        Tool tool(pty.slavePath());
        pty.write("xyz" + taggedFrame('A') + "ab");
        QTRY_COMPARE_WITH_TIMEOUT(tool.state(), QStringLiteral("Connected, no reply from board 0x01"), SweepMs);
        LinkHealthBar* bar = tool.window.linkHealthBar();
        bar->refresh();
        QVERIFY2(bar->text().contains(QRegularExpression(", noise 3 bytes, queue \\d+, no reply yet$")),
                 qPrintable(bar->text()));
        tool.window.form().pushButton_Disconnect->click();
        QCOMPARE(bar->text(), QString());
    }
};

QTEST_MAIN(TestLinkTruth)
#include "test_LinkTruth.moc"
