// The main window at start, Connect and Disconnect on a pseudo-terminal, open
// failures, a pulled port, the choice of board and the Close button.
#include "ui/MainWindow.h"
#include "core/PortNames.h"
#include "core/SerialDriver.h"
#include "support/Modal.h"
#include "support/Pty.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

namespace {

struct Probe : MainWindow
{
    using MainWindow::driveAddress;
    using MainWindow::pollIndex;
    using MainWindow::pollTimer;
    using MainWindow::serialDriver;
};

void expectDisconnected(Probe& window)
{
    QCOMPARE(window.labelConnected->text(), QStringLiteral("Disconnected"));
    QVERIFY(window.serialComboBox->isEnabled());
    QVERIFY(window.pushButton_Connect->isEnabled());
    QVERIFY(!window.pushButton_Disconnect->isEnabled());
    QVERIFY(!window.driveSelectionBox->isEnabled());
    QVERIFY(!window.addressComboBox->isEnabled());
    QVERIFY(!window.serialDriver);
    QVERIFY(!window.pollTimer);
}

void expectConnected(Probe& window)
{
    QCOMPARE(window.labelConnected->text(), QStringLiteral("Connected"));
    QVERIFY(!window.serialComboBox->isEnabled());
    QVERIFY(!window.pushButton_Connect->isEnabled());
    QVERIFY(window.pushButton_Disconnect->isEnabled());
    QVERIFY(window.driveSelectionBox->isEnabled());
    QVERIFY(window.addressComboBox->isEnabled());
    QVERIFY(window.tabWidget->isEnabled());
    QVERIFY(window.serialDriver);
    QVERIFY(window.pollTimer && window.pollTimer->isActive());
    QCOMPARE(window.pollTimer->interval(), 50);
}

} // namespace

class TestMainWindowConnection : public QObject
{
    Q_OBJECT

private slots:
    void startState()
    {
        Probe window;
        QCOMPARE(window.windowTitle(), QStringLiteral("VNH2SP30 Drive Setup"));
        QCOMPARE(window.size(), QSize(1307, 807));
        QStringList ports;
        for (int i = 0; i < window.serialComboBox->count(); ++i)
            ports << window.serialComboBox->itemText(i);
        QCOMPARE(ports.mid(0, 6), (QStringList {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}));
        QCOMPARE(ports.count(), QSet<QString>(ports.begin(), ports.end()).count());
        QCOMPARE(window.serialComboBox->currentText(), QStringLiteral("COM1"));
        expectDisconnected(window);
        QVERIFY(window.tabWidget->isEnabled());
        QCOMPARE(window.tabWidget->currentIndex(), 7);
        QCOMPARE(window.tabWidget->tabText(7), QStringLiteral("Script"));
        QCOMPARE(window.driveAddress, static_cast<unsigned char>(1));
        QCOMPARE(window.addressComboBox->currentText(), QStringLiteral("0x01"));
        QCOMPARE(window.addressComboBox->count(), 2);
        QVERIFY(window.lineEdit_LoopTime->isReadOnly());
        QVERIFY(!window.pushButton_ScriptStart->isEnabled());
        QVERIFY(!window.pushButton_ScriptStop->isEnabled());
        QCOMPARE(window.buttonBox->buttons().count(), 1);
        QVERIFY(window.buttonBox->button(QDialogButtonBox::Close));
    }

    void tabsAndHeaders()
    {
        Probe window;
        QStringList tabs;
        for (int i = 0; i < window.tabWidget->count(); ++i)
            tabs << window.tabWidget->tabText(i);
        QCOMPARE(tabs, (QStringList {"Motor 0", "Motor 1", "Motor 2", "Motor 3", "MLA", "MRA", "MRN", "Script"}));
        QStringList headers;
        for (int i = 0; i < window.tableWidget_Script->columnCount(); ++i)
            headers << window.tableWidget_Script->horizontalHeaderItem(i)->text();
        QCOMPARE(headers, (QStringList {"Command", "ARG1", "ARG2", "ARG3", "ARG4", "ARG5", "ARG6", "ARG7", "ARG8"}));
        QCOMPARE(window.tableWidget_Script->rowCount(), 0);
    }

    void addPortOnceAndSelectIt()
    {
        Probe window;
        const int before = window.serialComboBox->count();
        window.addPort(QStringLiteral("/dev/pts/77"));
        window.addPort(QStringLiteral("/dev/pts/77"));
        QCOMPARE(window.serialComboBox->count(), before + 1);
        QCOMPARE(window.serialComboBox->currentText(), QStringLiteral("/dev/pts/77"));
        window.addPort(QStringLiteral("COM3"));
        QCOMPARE(window.serialComboBox->count(), before + 1);
        QCOMPARE(window.serialComboBox->currentText(), QStringLiteral("COM3"));
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
        Probe window;
        window.addPort(pty.slavePath());
        for (int round = 0; round < 2; ++round) {
            window.pushButton_Connect->click();
            expectConnected(window);
            QCOMPARE(window.pollIndex, 0);
            window.pushButton_Disconnect->click();
            expectDisconnected(window);
            QVERIFY(!window.tabWidget->isEnabled());
        }
    }

    void openFailureIsReported_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("missing device path") << "/dev/no-such-port" << "/dev/no-such-port";
        QTest::newRow("relative name") << "no-such-port" << "no-such-port";
    }

    void openFailureIsReported()
    {
        QFETCH(QString, port);
        QFETCH(QString, mentions);
        Probe window;
        window.addPort(port);
        QString text;
        answerNextModal([&](QWidget* modal) {
            text = messageBoxText(modal);
            acceptModal(modal);
        });
        window.pushButton_Connect->click();
        QVERIFY2(text.contains(mentions), qPrintable(text));
        expectDisconnected(window);
    }

    void pulledPortDisconnectsAndTells()
    {
        Probe window;
        QString text;
        {
            Pty pty;
            window.addPort(pty.slavePath());
            window.pushButton_Connect->click();
            expectConnected(window);
            answerNextModal([&](QWidget* modal) {
                text = messageBoxText(modal);
                acceptModal(modal);
            });
            pty.closeMaster();
            QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 10000);
        }
        QVERIFY2(text.contains(QStringLiteral("lost")), qPrintable(text));
        expectDisconnected(window);

        Pty replacement;
        window.addPort(replacement.slavePath());
        window.pushButton_Connect->click();
        expectConnected(window);
    }

    void addressSelection()
    {
        Pty pty;
        Probe window;
        window.addPort(pty.slavePath());
        window.pushButton_Connect->click();
        window.addressComboBox->setCurrentText(QStringLiteral("0x02"));
        QCOMPARE(window.driveAddress, static_cast<unsigned char>(2));
        window.pushButton_Disconnect->click();
        window.pushButton_Connect->click();
        QCOMPARE(window.driveAddress, static_cast<unsigned char>(2));
        window.addressComboBox->setCurrentText(QStringLiteral("0x01"));
        QCOMPARE(window.driveAddress, static_cast<unsigned char>(1));
    }

    void closeButtonEndsTheEventLoop()
    {
        Probe window;
        window.show();
        QTimer::singleShot(0, window.buttonBox->button(QDialogButtonBox::Close), &QPushButton::click);
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestMainWindowConnection)
#include "test_MainWindowConnection.moc"
