// What the window remembers between runs, written to a scratch settings file and read
// back into a new window; a remembered port that is gone is listed as missing.
#include "core/DriveLink.h"
#include "ui/DriveView.h"
#include "ui/MainWindow.h"
#include "ui/PortBox.h"
#include "ui/RememberedState.h"

#include <QSettings>
#include <QtTest>

namespace {

struct Window
{
    explicit Window(const QList<SystemPort>& system)
    {
        window.portBox().list().setEnumeration([system] { return system; });
        window.portBox().refresh();
    }
    DriveLink link;
    MainWindow window{link};
    const Ui::MainWindow& form = window.form();
};

} // namespace

class TestRememberedState : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(folder.isValid()); }

    void writtenAndReadBack()
    {
        QSettings settings(folder.filePath(QStringLiteral("drive-setup.conf")), QSettings::IniFormat);
        {
            Window before(QList<SystemPort>{{"/dev/ttyUSB0", "FT232R USB UART"}});
            before.window.portBox().choose(QStringLiteral("/dev/ttyUSB0"));
            before.form.addressComboBox->setCurrentText(QStringLiteral("0x02"));
            before.form.tabWidget->setCurrentIndex(2);
            before.window.driveView(2)->form().dockWidget->setFloating(true);
            before.window.setScriptFolder(folder.path());
            before.window.resize(900, 600);
            RememberedState::save(before.window, settings);
        }
        {
            // A run with the simulator: its port is for that run only.
            Window simulated({});
            RememberedState::restore(simulated.window, settings);
            simulated.window.portBox().addPort(QStringLiteral("/dev/pts/77"), PortBox::Lifetime::ThisRun);
            RememberedState::save(simulated.window, settings);
        }

        Window after({});
        RememberedState::restore(after.window, settings);
        QCOMPARE(after.form.serialComboBox->currentText(), QStringLiteral("/dev/ttyUSB0 (missing)"));
        QCOMPARE(after.window.portBox().selectedPort(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(after.link.board(), 2);
        QCOMPARE(after.form.tabWidget->currentIndex(), 2);
        QVERIFY(after.window.driveView(2)->form().dockWidget->isFloating());
        QVERIFY(!after.window.driveView(1)->form().dockWidget->isFloating());
        QCOMPARE(after.window.scriptFolder(), folder.path());
        QCOMPARE(after.window.size(), QSize(900, 600));
    }

private:
    QTemporaryDir folder;
};

QTEST_MAIN(TestRememberedState)
#include "test_RememberedState.moc"
