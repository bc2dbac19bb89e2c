// The port box with the system's ports injected: what it offers, ports that come and
// go, the kept selection, a typed path, and refreshing only while disconnected.
#include "core/DriveLink.h"
#include "core/PortList.h"
#include "ui/MainWindow.h"
#include "ui/PortBox.h"
#include "support/Modal.h"
#include "support/Pty.h"

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

    Window()
    {
        window.portBox().list().setEnumeration([this] { return system; });
        window.portBox().refresh();
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

class TestPortList : public QObject
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
        Window w;
        w.plug(system);
        QCOMPARE(w.texts(), Com + after);
        QCOMPARE(w.box.currentText(), QStringLiteral("COM1"));
    }

    void portsComeAndGoAndTheChoiceStays()
    {
        Window w;
        w.plug({{"/dev/ttyUSB0", "FT232R USB UART"}});
        w.box.setCurrentIndex(6);
        w.plug({{"/dev/ttyACM0", "Arduino Uno"}, {"/dev/ttyUSB0", "FT232R USB UART"}});
        QCOMPARE(w.texts(), Com + QStringList({"/dev/ttyACM0 - Arduino Uno", "/dev/ttyUSB0 - FT232R USB UART"}));
        QCOMPARE(w.window.portBox().selectedPort(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(w.box.itemData(7, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyUSB0 - FT232R USB UART"));

        // The chosen one pulled out: said so, not replaced by another.
        w.plug({{"/dev/ttyACM0", "Arduino Uno"}});
        QCOMPARE(w.texts(), Com + QStringList({"/dev/ttyACM0 - Arduino Uno", "/dev/ttyUSB0 (missing)"}));
        QCOMPARE(w.box.currentText(), QStringLiteral("/dev/ttyUSB0 (missing)"));
        QString shown;
        answerNextModal([&](QWidget* modal) { shown = messageBoxText(modal); acceptModal(modal); });
        w.window.form().pushButton_Connect->click();
        QVERIFY2(shown.contains(QStringLiteral("/dev/ttyUSB0")), qPrintable(shown));

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
        QCOMPARE(w.texts(), Com + QStringList({"/dev/ttyUSB0", "/dev/pts/77"}));
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
};

QTEST_MAIN(TestPortList)
#include "test_PortList.moc"
