// What the window shows is the selected board's and current, on the simulated boards and
// on a pseudo-terminal: values after a board switch and a new Connect, a board that stops
// answering, a script run that loses its link, the graph's breaks, the link's health.
#include "core/DriveLink.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "ui/DriveView.h"
#include "ui/LinkHealthBar.h"
#include "ui/MainWindow.h"
#include "support/Frames.h"
#include "support/Modal.h"
#include "support/Pty.h"
#include "support/Sim.h"

#include <qwt_plot_curve.h>

#include <QMessageBox>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>

using namespace SharedVariables;

namespace {

// A full sweep of the block takes 2.25 s; allow for a loaded machine.
constexpr int SweepMs = 20000;

struct Tool
{
    DriveLink link;
    MainWindow window {link};

    bool connectTo(const QString& port)
    {
        window.addPort(port);
        window.form().pushButton_Connect->click();
        return link.isConnected();
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
};

} // namespace

class TestLinkTruth : public QObject
{
    Q_OBJECT

private slots:
    // Board 1's value must never stand in board 2's field, nor be offered to its dialog.
    void valuesBelongToTheSelectedBoard()
    {
        Sim sim;
        Tool tool;
        QLineEdit* kp = tool.field(2, pid_Kp);
        QToolButton* button = tool.button(2, pid_Kp);
        QVERIFY(!button->isEnabled());
        QCOMPARE(button->toolTip(), QStringLiteral("Connect first to change this value."));
        QVERIFY(tool.connectTo(sim.port()));
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.5"), SweepMs);
        QVERIFY(button->isEnabled());
        QCOMPARE(button->toolTip(), QStringLiteral("pid_Kp: 0 to 1000000, address 212 (motor 2)"));

        QStringList shown;
        connect(kp, &QLineEdit::textChanged, this, [&shown](const QString& text) { shown << text; });
        tool.window.form().addressComboBox->setCurrentText(QStringLiteral("0x02"));
        QCOMPARE(kp->text(), QString());
        QVERIFY(!kp->isEnabled());
        QVERIFY(!button->isEnabled());
        QCOMPARE(kp->toolTip(), QStringLiteral("not read yet from board 0x02"));
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.4"), SweepMs);
        QVERIFY(kp->isEnabled() && button->isEnabled());
        QVERIFY2(!shown.contains(QStringLiteral("0.5")), qPrintable(shown.join(' ')));

        // A new connection reads everything again, and starts a fresh graph.
        QTRY_VERIFY_WITH_TIMEOUT(tool.link.samples(2).size() > 0, SweepMs);
        tool.window.form().pushButton_Disconnect->click();
        QCOMPARE(kp->text(), QStringLiteral("0.4"));
        QVERIFY(tool.link.samples(2).size() > 0);
        QVERIFY(tool.connectTo(sim.port()));
        QCOMPARE(kp->text(), QString());
        QVERIFY(!button->isEnabled());
        QCOMPARE(tool.link.samples(2).size(), 0);
        QVERIFY(!tool.window.driveView(2)->positionCurve()->plot());
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.4"), SweepMs);
    }

    // "Connected" only says that the port opened.
    void silentBoardIsSaidSo()
    {
        Pty nothingAttached;
        Tool idle;
        QVERIFY(idle.connectTo(nothingAttached.slavePath()));
        QTRY_COMPARE_WITH_TIMEOUT(idle.state(), QStringLiteral("Connected, no reply from board 0x01"), SweepMs);

        Sim sim;
        Tool tool;
        QVERIFY(tool.connectTo(sim.port()));
        QLineEdit* kp = tool.field(0, pid_Kp);
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.5"), SweepMs);
        QCOMPARE(tool.state(), QStringLiteral("Connected"));
        sim.signal(SIGSTOP);
        QTRY_COMPARE_WITH_TIMEOUT(tool.state(), QStringLiteral("Connected, no reply from board 0x01"), SweepMs);
        QCOMPARE(kp->text(), QString());
        QVERIFY(!tool.button(0, pid_Kp)->isEnabled());
        sim.signal(SIGCONT);
        QTRY_COMPARE_WITH_TIMEOUT(tool.state(), QStringLiteral("Connected"), SweepMs);
        QCOMPARE(tool.window.statusBar()->currentMessage(), QStringLiteral("Board 0x01 replies again."));
        QTRY_COMPARE_WITH_TIMEOUT(kp->text(), QStringLiteral("0.5"), SweepMs);
        // The graph breaks where nothing came, once.
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
        Sim sim;
        Tool tool;
        QVERIFY(tool.connectTo(sim.port()));
        ScriptRunner& runner = tool.window.scriptRunner();
        QSignalSpy started(&runner, &ScriptRunner::rowStarted);
        QSignalSpy completed(&runner, &ScriptRunner::completed);
        ScriptRunner::fillModel(*tool.window.form().tableWidget_Script->model(),
                                ScriptParser::parse(QByteArray("mrn;1;2\nwait;200\n").repeated(50)));
        tool.window.form().pushButton_ScriptStart->setEnabled(true);
        tool.window.form().pushButton_ScriptStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(started.count() >= 3, SweepMs);

        QString title, text;
        answerNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            text = messageBoxText(modal);
            acceptModal(modal);
        });
        if (portLost)
            sim.signal(SIGKILL);
        else
            tool.window.form().pushButton_Disconnect->click();
        QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), SweepMs);
        QVERIFY(!runner.isRunning());
        const QString stop = QStringLiteral("The script stopped at row %1: ").arg(started.last().first().toInt() + 1);
        if (portLost) {
            QCOMPARE(title, QStringLiteral("Connection lost"));
            const QString port = sim.port();
            QVERIFY2(text.startsWith(QStringLiteral("The connection on %1 was lost.\n\nLikely cause: the program at the "
                                                    "far end of the pseudo-terminal closed it or ended.\nSystem message: ")
                                         .arg(port)), qPrintable(text));
            QVERIFY2(text.endsWith("\n\n" + stop + QStringLiteral("the connection on %1 was lost.\n\nCheck the device "
                                                                   "and its cable, then press Connect.").arg(port)),
                     qPrintable(text));
        } else {
            QCOMPARE(title, QStringLiteral("Script stopped"));
            QCOMPARE(text, stop + "the connection was closed.");
        }
        QTest::qWait(300);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(completed.count(), 0);
    }

    // Rates and counts of the line, cheap enough to show all the time.
    void healthInTheStatusBar()
    {
        Pty pty;
        Tool tool;
        QVERIFY(tool.connectTo(pty.slavePath()));
        LinkHealthBar* bar = tool.window.linkHealthBar();
        pty.write("xyz" + taggedFrame('A') + "ab");
        QTRY_COMPARE_WITH_TIMEOUT(tool.link.health().framesReceived, qint64(1), SweepMs);
        bar->refresh();
        QVERIFY2(bar->text().contains(QStringLiteral(", noise 3 bytes, ")), qPrintable(bar->text()));
        QVERIFY2(bar->text().endsWith(QStringLiteral(", no reply yet")), qPrintable(bar->text()));
        tool.window.form().pushButton_Disconnect->click();
        QCOMPARE(bar->text(), QString());
    }
};

QTEST_MAIN(TestLinkTruth)
#include "test_LinkTruth.moc"
