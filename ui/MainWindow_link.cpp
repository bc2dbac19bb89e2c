// What the window shows of the link's state: whether the values on screen are the
// selected board's, whether the board answers, how the line fares, and why a connection
// or a script run ended.
#include "ui/MainWindow.h"

#include "core/DriveLink.h"
#include "core/PortList.h"
#include "core/ScriptRunner.h"
#include "core/Simulator.h"
#include "ui/LinkHealthBar.h"
#include "ui/MotorPages.h"
#include "ui/OperatorMessage.h"
#include "ui/PortBox.h"
#include "ui/ScriptPage.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace SharedVariables;

namespace {

constexpr int RepliesBackMessageMs = 5000;
// How long a lost port of the simulator's waits for the simulator's end to be told with it.
constexpr int SimulatorEndWaitMs = 3000;

} // namespace

void MainWindow::connectLinkState()
{
    healthBar = new LinkHealthBar(link, ui.statusbar);
    ui.statusbar->addPermanentWidget(healthBar);

    showLoopTimeFreshness(link.isLoopTimeCurrent());
    connect(&link, &DriveLink::loopTimeFreshnessChanged, this, &MainWindow::showLoopTimeFreshness);
    connect(&link, &DriveLink::boardSelected, this, [this] { ui.labelConnected->setText(connectionText()); });
    connect(&link, &DriveLink::boardSilenceChanged, this, [this](bool silent) {
        ui.labelConnected->setText(connectionText());
        // Not after a board switch or a close, which end the silence without a reply.
        if (!silent && this->link.health().msSinceReply >= 0)
            ui.statusbar->showMessage(tr("Board %1 replies again.").arg(DriveLink::boardName(this->link.board())),
                                      RepliesBackMessageMs);
    });

    connect(&link, &DriveLink::portLost, this, &MainWindow::showPortLost);
    connect(&scripts->runner(), &ScriptRunner::stopped, this, &MainWindow::showScriptStop);
}

QString MainWindow::connectionText() const
{
    if (!link.isConnected())
        return QStringLiteral("Disconnected");
    if (link.isBoardSilent())
        return tr("Connected, no reply from board %1").arg(DriveLink::boardName(link.board()));
    return QStringLiteral("Connected");
}

void MainWindow::showLoopTimeFreshness(bool current)
{
    QLineEdit* field = ui.lineEdit_LoopTime;
    field->setEnabled(current);
    field->setToolTip(current ? QString() : MotorPages::notReadText(link));
    // An unchanged text is not set again, so the operator's selection survives.
    const QString text = current ? QString::number(link.mirror().s16(LoopTimeAddress)) : QString();
    if (field->text() != text)
        field->setText(text);
}

// Called while the link closes: the box waits for the event loop, and a lost port,
// reported right after, takes the note into its own box instead.
void MainWindow::showScriptStop(int row, const QString& reason)
{
    scriptStopNote = tr("The script stopped at row %1: %2.").arg(row + 1).arg(reason);
    QTimer::singleShot(0, this, [this] {
        if (scriptStopNote.isEmpty())
            return;
        const QString note = scriptStopNote;
        scriptStopNote.clear();
        showOperatorMessage(note, tr("Script stopped"));
    });
}

void MainWindow::showPortLost(const QString& port, const QString& reason)
{
    QString text = tr("The connection on %1 was lost.\n\n%2").arg(port, reason);
    if (!scriptStopNote.isEmpty())
        text += QStringLiteral("\n\n") + scriptStopNote;
    scriptStopNote.clear();
    if (simulator && PortList::sameDevice(port, simulator->portName())) {
        // The simulator's end, which closed its port, is told with the loss, in one box.
        simulatorLoss = text;
        if (!simulatorEnd.isEmpty()) {
            showSimulatorEnded();
            return;
        }
        QTimer::singleShot(SimulatorEndWaitMs, this, [this] {
            if (simulatorLoss.isEmpty())
                return;
            const QString still = simulatorLoss;
            simulatorLoss.clear();
            showConnectionError(tr("Connection lost"),
                                still + tr("\n\nThe simulated boards still run, but closed their port. Press Connect."));
        });
        return;
    }
    text += tr("\n\nCheck the device and its cable, then press Connect.");
    showConnectionError(tr("Connection lost"), text);
}

void MainWindow::watchSimulator(Simulator& started)
{
    simulator = &started;
    connect(simulator, &Simulator::ended, this, [this](const QString& how) {
        simulatorEnd = how;
        // Its pseudo-terminal's number may soon belong to another program's terminal.
        ports->list().markGone(simulator->portName());
        ports->refresh();
        // Its port is lost too, and reported next.
        if (link.isConnected() && PortList::sameDevice(link.portName(), simulator->portName()))
            return;
        showSimulatorEnded();
    });
    connect(simulator, &Simulator::ready, this, [this] {
        ports->addPort(simulator->portName(), PortBox::Lifetime::ThisRun);
        connectToSelectedPort();
    });
    connect(simulator, &Simulator::failed, this,
            [this](const QString& error) { showConnectionError(tr("Simulated boards not started"), error); });
}

// Not exec(): the end is found inside the process's own signal.
void MainWindow::showSimulatorEnded()
{
    QString text = tr("The simulated boards ended: %1.").arg(simulatorEnd);
    if (!simulatorLoss.isEmpty())
        text += QStringLiteral("\n\n") + simulatorLoss;
    text += tr("\n\nStart them again to go on, or choose another port.");
    simulatorEnd.clear();
    simulatorLoss.clear();
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Simulated boards ended"), text, QMessageBox::NoButton, this);
    QPushButton* again = box->addButton(tr("Start simulated boards again"), QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Close);
    box->setDefaultButton(again);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::buttonClicked, simulator, [this, again](QAbstractButton* clicked) {
        if (clicked == again)
            simulator->restart();
    });
    box->open();
}
