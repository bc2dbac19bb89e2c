// Fault: the simulated boards the window started end under it. The operator is told so,
// not to check a cable; their port is listed as missing, and they can be started again.
#include "core/DriveLink.h"
#include "core/Simulator.h"
#include "support/Modal.h"
#include "ui/MainWindow.h"
#include "ui/PortBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <csignal>

class TestFaultSimEnded : public QObject
{
    Q_OBJECT

private slots:
    void toldAndStartedAgain_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::newRow("while connected") << true;
        QTest::newRow("after Disconnect") << false;
    }

    void toldAndStartedAgain()
    {
        QFETCH(bool, connected);
        Simulator simulator;
        QVERIFY2(simulator.start(QString::fromLocal8Bit(qgetenv("DRIVE_SIM")), {}), qPrintable(simulator.errorString()));
        const QString first = simulator.portName();
        DriveLink link;
        MainWindow window(link);
        window.portBox().addPort(first, PortBox::Lifetime::ThisRun);
        window.watchSimulator(simulator);
        window.connectToSelectedPort();
        QVERIFY(link.isConnected());
        if (!connected)
            link.close();

        QString title, text, listed;
        answerNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            text = messageBoxText(modal);
            listed = window.form().serialComboBox->currentText();
            for (QAbstractButton* button : qobject_cast<QMessageBox*>(modal)->buttons())
                if (button->text() == QStringLiteral("Start simulated boards again"))
                    button->click();
        }, 20000);
        ::kill(pid_t(simulator.processId()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!title.isEmpty(), 20000);
        QCOMPARE(title, QStringLiteral("Simulated boards ended"));
        QVERIFY2(text.startsWith(QStringLiteral("The simulated boards ended: it was killed.")), qPrintable(text));
        QCOMPARE(text.contains(QStringLiteral("The connection on %1 was lost.").arg(first)), connected);
        QVERIFY2(!text.contains(QStringLiteral("cable")), qPrintable(text));
        QCOMPARE(listed, first + QStringLiteral(" (missing)"));

        QTRY_VERIFY_WITH_TIMEOUT(link.isConnected(), 20000);
        QCOMPARE(link.portName(), simulator.portName());
        QVERIFY(!link.portName().isEmpty());
    }
};

QTEST_MAIN(TestFaultSimEnded)
#include "test_FaultSimEnded.moc"
