// The Help menu's About box and Getting started page, and the keyboard shortcuts of the
// buttons, on any page.
#include "core/DriveLink.h"
#include "ui/MainWindow.h"
#include "ui/ScriptPage.h"
#include "support/Modal.h"

#include <qwt_global.h>

#include <QAbstractButton>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

namespace {

QAction* helpAction(const MainWindow& window, const char* name)
{
    auto* action = window.findChild<QAction*>(QLatin1String(name));
    return qobject_cast<QMenu*>(action->parent())->title() == QStringLiteral("&Help") ? action : nullptr;
}

} // namespace

class TestHelpAndShortcuts : public QObject
{
    Q_OBJECT

private slots:
    // About is a message box; Getting started stays open beside the window, once.
    void helpMenu()
    {
        DriveLink link;
        MainWindow window(link);
        QString title, text;
        answerNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            text = messageBoxText(modal);
            acceptModal(modal);
        });
        helpAction(window, "actionAbout")->trigger();
        QCOMPARE(title, QStringLiteral("About VNH2SP30 Drive Setup"));
        for (const char* part : {DRIVE_SETUP_VERSION, QT_VERSION_STR, QWT_VERSION_STR, "MIT"})
            QVERIFY2(text.contains(QLatin1String(part)), part);

        for (int twice = 0; twice < 2; ++twice)
            helpAction(window, "actionGettingStarted")->trigger();
        const auto pages = window.findChildren<QDialog*>(QStringLiteral("gettingStarted"));
        QVERIFY(pages.size() == 1 && pages[0]->isVisible() && !pages[0]->isModal());
        QCOMPARE(pages[0]->windowTitle(), QStringLiteral("Getting started"));
        // It names what the two record buttons and the File menu say.
        const QString page = pages[0]->findChild<QTextBrowser*>()->toPlainText();
        const auto* quit = window.findChild<QAction*>("actionQuit");
        QCOMPARE(quit->shortcut(), QKeySequence("Ctrl+Q"));
        QCOMPARE(qobject_cast<QMenu*>(quit->parent())->title(), QStringLiteral("&File"));
        const QString data = window.findChild<QPushButton*>("pushButton_Record")->text();
        const QString teach = window.scriptPage().control(ScriptPage::Teach)->text();
        QVERIFY(data != teach);
        for (const QString& part : {data, teach, QStringLiteral("Step test..."), QStringLiteral("Export..."),
                                    QStringLiteral("settings to a file"), QStringLiteral("Quit (Ctrl+Q)")})
            QVERIFY2(page.contains(part), qPrintable(part));
    }

    void shortcuts_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("Connect") << "pushButton_Connect" << "Ctrl+Shift+C" << true;
        QTest::newRow("Disconnect") << "pushButton_Disconnect" << "Ctrl+Shift+D" << true;
        QTest::newRow("Save EEPROM") << "pushButton_SaveEEPROM" << "Ctrl+Shift+E" << true;
        QTest::newRow("Load") << "pushButton_ScriptLoad" << "Ctrl+Shift+L" << true;
        QTest::newRow("Start") << "pushButton_ScriptStart" << "F5" << true;
        QTest::newRow("Stop") << "pushButton_ScriptStop" << "Shift+F5" << true;
        QTest::newRow("Stop, disabled") << "pushButton_ScriptStop" << "Shift+F5" << false;
    }

    // Pressed from the first motor page, whatever page the button is on; a disabled
    // button is not pressed.
    void shortcuts()
    {
        QFETCH(QString, button);
        QFETCH(QString, keys);
        QFETCH(bool, enabled);
        DriveLink link;
        MainWindow window(link);
        auto* pushButton = window.findChild<QPushButton*>(button);
        pushButton->disconnect(); // what it does is tested elsewhere
        window.form().driveSelectionBox->setEnabled(true);
        pushButton->setEnabled(enabled);
        window.form().tabWidget->setCurrentIndex(0);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy clicked(pushButton, &QPushButton::clicked);
        QTest::keySequence(&window, QKeySequence(keys));
        QCOMPARE(clicked.count(), enabled ? 1 : 0);
        // A button that waits for a connection says so until there is one.
        if (!pushButton->toolTip().startsWith("Not connected"))
            QVERIFY2(pushButton->toolTip().endsWith(" (" + keys + ")"), qPrintable(pushButton->toolTip()));
    }
};

QTEST_MAIN(TestHelpAndShortcuts)
#include "test_HelpAndShortcuts.moc"
