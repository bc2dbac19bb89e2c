// The port box with the system's ports injected: what it offers, ports that come and
// go, the kept selection, a typed path, refreshing only while disconnected; and what the
// window remembers between runs, in a scratch settings file.
#include "core/DriveLink.h"
#include "core/PortList.h"
#include "ui/MainWindow.h"
#include "ui/DriveView.h"
#include "ui/PortBox.h"
#include "ui/RememberedState.h"
#include "ui/ScriptPage.h"
#include "support/Pty.h"

#include <QDockWidget>
#include <QSettings>
#include <QtTest>

using Ports = QList<SystemPort>;
Q_DECLARE_METATYPE(Ports)

namespace {

const QStringList Com{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"};

struct Window
{
    Ports system;
    DriveLink link;
    MainWindow window{link};
    QComboBox& box = *window.form().serialComboBox;

    explicit Window(const Ports& ports = {})
    {
        window.portBox().list().setEnumeration([this] { return system; });
        plug(ports);
    }
    QStringList texts() const
    {
        QStringList texts;
        for (int i = 0; i < box.count(); ++i)
            texts << box.itemText(i);
        return texts;
    }
    void plug(const Ports& ports)
    {
        system = ports;
        window.portBox().refresh();
    }
};

} // namespace

class TestPortsAndSettings : public QObject
{
    Q_OBJECT

private slots:
    void offered_data()
    {
        QTest::addColumn<Ports>("system");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("COM ports stand for ttyS0 to ttyS5")
            << Ports{{"/dev/ttyS0", ""}, {"/dev/ttyS5", ""}, {"/dev/ttyS6", ""}} << QStringList{"/dev/ttyS6"};
        QTest::newRow("description, numbers in order, a device once")
            << Ports{{"/dev/ttyUSB10", ""}, {"/dev/ttyUSB2", "FT232R USB UART"}, {"/dev/ttyUSB2", "FT232R USB UART"}}
            << QStringList{"/dev/ttyUSB2 - FT232R USB UART", "/dev/ttyUSB10"};
    }

    void offered()
    {
        QFETCH(Ports, system);
        QFETCH(QStringList, after);
        Window w(system);
        QCOMPARE(w.texts(), Com + after);
        QCOMPARE(w.box.currentText(), QStringLiteral("COM1"));
    }

    void portsComeAndGoAndTheChoiceStays()
    {
        Window w(Ports{{"/dev/ttyUSB0", "FT232R USB UART"}});
        w.box.setCurrentIndex(6);
        w.plug({{"/dev/ttyACM0", "Arduino Uno"}, {"/dev/ttyUSB0", "FT232R USB UART"}});
        QCOMPARE(w.texts(), Com + QStringList({"/dev/ttyACM0 - Arduino Uno", "/dev/ttyUSB0 - FT232R USB UART"}));
        QCOMPARE(w.window.portBox().selectedPort(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(w.box.itemData(7, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyUSB0 - FT232R USB UART"));

        // The chosen one pulled out: said so, not replaced by another.
        w.plug({{"/dev/ttyACM0", "Arduino Uno"}});
        QCOMPARE(w.texts(), Com + QStringList({"/dev/ttyACM0 - Arduino Uno", "/dev/ttyUSB0 (missing)"}));
        QCOMPARE(w.box.currentText(), QStringLiteral("/dev/ttyUSB0 (missing)"));
        QCOMPARE(w.window.portBox().selectedPort(), QStringLiteral("/dev/ttyUSB0"));

        w.plug({{"/dev/ttyACM0", "Arduino Uno"}, {"/dev/ttyUSB0", "FT232R USB UART"}});
        QCOMPARE(w.box.currentText(), QStringLiteral("/dev/ttyUSB0 - FT232R USB UART"));
        w.box.setCurrentIndex(0);
        w.plug({});
        QCOMPARE(w.texts(), Com); // gone, once another port is chosen
    }

    void typedPathAndAddedPortsStay()
    {
        Window w;
        w.window.addPort(QStringLiteral("/dev/pts/77"));
        w.window.addPort(QStringLiteral("/dev/ttyS2")); // COM3 already opens it
        QCOMPARE(w.box.currentText(), QStringLiteral("COM3"));
        w.box.setEditText(QStringLiteral("/dev/serial/by-id/usb-adapter"));
        w.plug({{"/dev/ttyUSB0", ""}});
        QCOMPARE(w.texts(), Com + QStringList({"/dev/ttyUSB0", "/dev/pts/77 (missing)"}));
        QCOMPARE(w.box.currentText(), QStringLiteral("/dev/serial/by-id/usb-adapter"));
        QCOMPARE(w.window.portBox().selectedPort(), QStringLiteral("/dev/serial/by-id/usb-adapter"));
    }

    // By itself every second, but not while connected.
    void refreshesWhileDisconnected()
    {
        Pty pty;
        Window w;
        w.window.addPort(pty.slavePath());
        w.system = {{"/dev/ttyUSB0", ""}};
        QTRY_COMPARE_WITH_TIMEOUT(w.texts(), Com + QStringList({"/dev/ttyUSB0", pty.slavePath()}), 10000);
        w.window.form().pushButton_Connect->click();
        QVERIFY(w.link.isConnected());
        w.system = {};
        QTest::qWait(2 * PortBox::RefreshIntervalMs);
        QCOMPARE(w.box.count(), 8);
        w.window.form().pushButton_Disconnect->click();
        QCOMPARE(w.texts(), Com + QStringList({pty.slavePath()}));
    }

    void settingsWrittenAndReadBack()
    {
        QTemporaryDir folder;
        QSettings settings(folder.filePath(QStringLiteral("drive-setup.conf")), QSettings::IniFormat);
        {
            Window before(Ports{{"/dev/ttyUSB0", "FT232R USB UART"}});
            before.window.portBox().choose(QStringLiteral("/dev/ttyUSB0"));
            before.window.form().addressComboBox->setCurrentText(QStringLiteral("0x02"));
            before.window.form().tabWidget->setCurrentIndex(2);
            before.window.driveView(2)->form().dockWidget->setFloating(true);
            before.window.scriptPage().setFolder(folder.path());
            before.window.resize(900, 600);
            RememberedState::save(before.window, settings);
        }
        {
            // A run with the simulator: its port is for that run only.
            Window simulated;
            RememberedState::restore(simulated.window, settings);
            simulated.window.portBox().addPort(QStringLiteral("/dev/pts/77"), PortBox::Lifetime::ThisRun);
            RememberedState::save(simulated.window, settings);
        }
        Window after;
        RememberedState::restore(after.window, settings);
        QCOMPARE(after.box.currentText(), QStringLiteral("/dev/ttyUSB0 (missing)"));
        QCOMPARE(after.link.board(), 2);
        QCOMPARE(after.window.form().tabWidget->currentIndex(), 2);
        QVERIFY(after.window.driveView(2)->form().dockWidget->isFloating());
        QVERIFY(!after.window.driveView(1)->form().dockWidget->isFloating());
        QCOMPARE(after.window.scriptPage().folder(), folder.path());
        QCOMPARE(after.window.size(), QSize(900, 600));
    }

    // A floated graph comes back where it was if that is on a screen, docked otherwise (a
    // screen gone, a smaller one); its title names its motor and board.
    void floatingGraphComesBackOnAScreen_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<bool>("floating");
        QTest::newRow("on the screen") << QPoint(40, 30) << true;
        QTest::newRow("off every screen") << QPoint(5000, 3000) << false;
    }

    void floatingGraphComesBackOnAScreen()
    {
        QFETCH(QPoint, at);
        QFETCH(bool, floating);
        QTemporaryDir folder;
        QSettings settings(folder.filePath(QStringLiteral("drive-setup.conf")), QSettings::IniFormat);
        {
            Window before;
            QDockWidget* dock = before.window.driveView(2)->form().dockWidget;
            dock->setFloating(true);
            dock->setGeometry(QRect(at, QSize(600, 250)));
            RememberedState::save(before.window, settings);
        }
        Window after;
        RememberedState::restore(after.window, settings);
        after.link.selectBoard(2);
        after.window.show();
        QDockWidget* dock = after.window.driveView(2)->form().dockWidget;
        QCOMPARE(dock->isFloating(), floating);
        if (floating)
            QCOMPARE(dock->geometry().topLeft(), at);
        QVERIFY2(dock->windowTitle().startsWith(QStringLiteral("Motor 2 on board 0x02")), qPrintable(dock->windowTitle()));
    }
};

QTEST_MAIN(TestPortsAndSettings)
#include "test_PortsAndSettings.moc"
