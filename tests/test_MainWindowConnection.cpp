// The main window at start, Connect and Disconnect on a pseudo-terminal, open
// failures, a pulled port, the choice of board, the EEPROM save and the Close button.
#include "core/DriveLink.h"
#include "core/PortNames.h"
#include "protocol/RobotCommand.h"
#include "ui/MainWindow.h"
#include "ui/MotionPanels.h"
#include "support/Frames.h"
#include "support/Modal.h"
#include "support/Pty.h"
#include "support/SimProcess.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

void expectConnected(const MainWindow& window, const DriveLink& link, bool connected)
{
    const Ui::MainWindow& form = window.form();
    QCOMPARE(form.labelConnected->text(), connected ? QStringLiteral("Connected") : QStringLiteral("Disconnected"));
    QCOMPARE(form.serialComboBox->isEnabled(), !connected);
    QCOMPARE(form.pushButton_Connect->isEnabled(), !connected);
    QCOMPARE(form.pushButton_Disconnect->isEnabled(), connected);
    QCOMPARE(form.driveSelectionBox->isEnabled(), connected);
    QCOMPARE(form.addressComboBox->isEnabled(), connected);
    QCOMPARE(link.isConnected(), connected);
}

// Answers the next message box and keeps its text.
struct MessageBoxAnswer
{
    MessageBoxAnswer()
    {
        answerNextModal([this](QWidget* modal) { text = messageBoxText(modal); acceptModal(modal); });
    }
    QString text;
};

} // namespace

class TestMainWindowConnection : public QObject
{
    Q_OBJECT

private slots:
    void startState()
    {
        DriveLink link;
        MainWindow window(link);
        const Ui::MainWindow& form = window.form();
        QCOMPARE(window.windowTitle(), QStringLiteral("VNH2SP30 Drive Setup"));
        QStringList ports;
        for (int i = 0; i < form.serialComboBox->count(); ++i)
            ports << form.serialComboBox->itemText(i);
        QCOMPARE(ports.mid(0, 6), (QStringList {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}));
        QCOMPARE(ports.count(), QSet<QString>(ports.begin(), ports.end()).count());
        QCOMPARE(form.serialComboBox->currentText(), QStringLiteral("COM1"));
        expectConnected(window, link, false);
        QVERIFY(form.tabWidget->isEnabled());
        QStringList tabs;
        for (int i = 0; i < form.tabWidget->count(); ++i)
            tabs << form.tabWidget->tabText(i);
        QCOMPARE(tabs, (QStringList {"Motor 0", "Motor 1", "Motor 2", "Motor 3", "MLA", "MRA", "MRN", "Script"}));
        QCOMPARE(form.tabWidget->currentIndex(), 7);
        QStringList headers;
        for (int i = 0; i < form.tableWidget_Script->columnCount(); ++i)
            headers << form.tableWidget_Script->horizontalHeaderItem(i)->text();
        QCOMPARE(headers, (QStringList {"Command", "ARG1", "ARG2", "ARG3", "ARG4", "ARG5", "ARG6", "ARG7", "ARG8"}));
        QCOMPARE(form.tableWidget_Script->rowCount(), 0);
        QCOMPARE(link.board(), 1);
        QCOMPARE(form.addressComboBox->count(), 2);
        QCOMPARE(form.addressComboBox->currentText(), QStringLiteral("0x01"));
        QVERIFY(form.lineEdit_LoopTime->isReadOnly());
        QVERIFY(!form.pushButton_ScriptStart->isEnabled());
        QVERIFY(!form.pushButton_ScriptStop->isEnabled());
    }

    void addPortOnceAndSelectIt()
    {
        DriveLink link;
        MainWindow window(link);
        QComboBox* ports = window.form().serialComboBox;
        const int before = ports->count();
        window.addPort(QStringLiteral("/dev/pts/77"));
        window.addPort(QStringLiteral("/dev/pts/77"));
        QCOMPARE(ports->count(), before + 1);
        QCOMPARE(ports->currentText(), QStringLiteral("/dev/pts/77 (missing)"));
        window.addPort(QStringLiteral("COM3"));
        QCOMPARE(ports->count(), before + 1);
        QCOMPARE(ports->currentText(), QStringLiteral("COM3"));
    }

    void portNameMapping_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM1") << "COM1" << "/dev/ttyS0";
        QTest::newRow("COM6") << "COM6" << "/dev/ttyS5";
        QTest::newRow("device path unchanged") << "/dev/ttyUSB0" << "/dev/ttyUSB0";
        QTest::newRow("pseudo-terminal unchanged") << "/dev/pts/3" << "/dev/pts/3";
        QTest::newRow("COM0 is no COM port") << "COM0" << "COM0";
        QTest::newRow("lower case is no COM port") << "com1" << "com1";
    }

    void portNameMapping()
    {
        QFETCH(QString, name);
        QFETCH(QString, device);
        QCOMPARE(systemPortName(name), device);
    }

    void connectDisconnectConnect()
    {
        Pty pty;
        DriveLink link;
        MainWindow window(link);
        window.addPort(pty.slavePath());
        for (int round = 0; round < 2; ++round) {
            window.form().pushButton_Connect->click();
            expectConnected(window, link, true);
            QVERIFY(window.form().tab_1->isEnabled());
            window.form().pushButton_Disconnect->click();
            expectConnected(window, link, false);
            // The pages that read and send wait for a connection; the Script page does not.
            QVERIFY(!window.form().tab_1->isEnabled() && !window.form().MLA_Widget->isEnabled());
            QVERIFY(window.form().tab_7->isEnabled());
        }
    }

    void openFailureIsReported_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("held");
        QTest::newRow("missing device path") << "/dev/no-such-port" << false;
        QTest::newRow("relative name") << "no-such-port" << false;
        QTest::newRow("held by another link") << "" << true;
    }

    void openFailureIsReported()
    {
        QFETCH(QString, port);
        QFETCH(bool, held);
        Pty pty;
        DriveLink holder;
        if (held) {
            port = pty.slavePath();
            QVERIFY(holder.open(port));
        }
        DriveLink link;
        MainWindow window(link);
        window.addPort(port);
        MessageBoxAnswer box;
        window.form().pushButton_Connect->click();
        QVERIFY2(box.text.contains(port), qPrintable(box.text));
        // The holder by its process, and no advice about a permission it does not lack.
        const QString inUse = QStringLiteral("in use by %1 (process %2)")
                                  .arg(QCoreApplication::applicationName().left(15))
                                  .arg(QCoreApplication::applicationPid());
        QVERIFY2(box.text.contains(inUse) == held && !box.text.contains("dialout"), qPrintable(box.text));
        expectConnected(window, link, false);
    }

    void pulledPortDisconnectsAndTells()
    {
        DriveLink link;
        MainWindow window(link);
        {
            Pty pty;
            window.addPort(pty.slavePath());
            window.form().pushButton_Connect->click();
            expectConnected(window, link, true);
            MessageBoxAnswer box;
            pty.closeMaster();
            QTRY_VERIFY_WITH_TIMEOUT(!box.text.isEmpty(), 10000);
            QVERIFY2(box.text.contains(QStringLiteral("lost")), qPrintable(box.text));
        }
        expectConnected(window, link, false);

        Pty replacement;
        window.addPort(replacement.slavePath());
        window.form().pushButton_Connect->click();
        expectConnected(window, link, true);
    }

    void boardSelectionAndEepromSave()
    {
        SimProcess sim;
        DriveLink link;
        MainWindow window(link);
        window.addPort(sim.port());
        window.form().pushButton_Connect->click();
        window.form().addressComboBox->setCurrentText(QStringLiteral("0x02"));
        QCOMPARE(link.board(), 2);
        // Once board 2 answers: only then can its save be confirmed.
        QTRY_VERIFY_WITH_TIMEOUT(window.form().pushButton_SaveEEPROM->isEnabled(), 10000);
        qRegisterMetaType<SerialMessage>();
        QSignalSpy sent(&link, &DriveLink::frameSent);
        {
            MessageBoxAnswer box;
            window.form().pushButton_SaveEEPROM->click();
            QTRY_COMPARE_WITH_TIMEOUT(box.text, QStringLiteral("Configuration saved to EEPROM for drive :2"), 20000);
        }
        QStringList frames;
        for (const QList<QVariant>& frame : sent)
            frames << wireBytes(frame.first().value<SerialMessage>()).toHex(' ');
        QVERIFY(frames.contains("63 61 6e 01 20 01 61 02 01 00 00 00 00 00 00 00"));

        // The board stays chosen across a reconnection.
        window.form().pushButton_Disconnect->click();
        window.form().pushButton_Connect->click();
        QCOMPARE(link.board(), 2);
        window.form().addressComboBox->setCurrentText(QStringLiteral("0x01"));
        QCOMPARE(link.board(), 1);
    }

    // GO and Save EEPROM wait for a connection and say so, before the first Connect and
    // after Disconnect; a joint can be set before it. Save EEPROM waits for the board to
    // answer as well: here it never does.
    void sendingWaitsForAConnection()
    {
        Pty pty;
        DriveLink link;
        MainWindow window(link);
        window.addPort(pty.slavePath());
        QVERIFY(window.motionPanels().panel(RobotCommands::Mla).setButtons[0]->isEnabled());
        for (QPushButton* press : {window.form().pushButton_Disconnect, window.form().pushButton_Connect,
                                   window.form().pushButton_Disconnect}) {
            press->click();
            const QString notConnected = "Not connected: choose a port and press Connect first.";
            for (const RobotCommand* command : {&RobotCommands::Mla, &RobotCommands::Mra, &RobotCommands::Mrn}) {
                QPushButton* send = window.motionPanels().panel(*command).go;
                QCOMPARE(send->isEnabledTo(&window) ? "enabled" : send->toolTip(),
                         link.isConnected() ? "enabled" : notConnected);
            }
            QPushButton* save = window.form().pushButton_SaveEEPROM;
            QVERIFY(!save->isEnabled());
            QVERIFY2(save->toolTip().startsWith(link.isConnected() ? "No reply from board 0x01" : notConnected),
                     qPrintable(save->toolTip()));
        }
    }

    void closeButtonEndsTheEventLoop()
    {
        DriveLink link;
        MainWindow window(link);
        window.show();
        QTimer::singleShot(0, window.form().buttonBox->button(QDialogButtonBox::Close), &QPushButton::click);
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestMainWindowConnection)
#include "test_MainWindowConnection.moc"
