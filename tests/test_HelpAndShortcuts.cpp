// The Help menu's About box and Getting started page, and the keyboard shortcuts of the
// buttons, on any page.
#include "core/DriveLink.h"
#include "ui/MainWindow.h"
#include "support/Modal.h"

#include <qwt_global.h>

#include <QDialog>
#include <QMenuBar>
#include <QtTest>

namespace {

QAction* helpAction(const MainWindow& window, const QString& text)
{
    const auto menus = window.form().menubar->actions();
    for (QAction* menu : menus) {
        if (menu->text() == QStringLiteral("&Help")) {
            for (QAction* action : menu->menu()->actions()) {
                if (action->text() == text)
                    return action;
            }
        }
    }
    return nullptr;
}

} // namespace

class TestHelpAndShortcuts : public QObject
{
    Q_OBJECT

private slots:
    void about()
    {
        DriveLink link;
        MainWindow window(link);
        QString title, text;
        answerNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            text = messageBoxText(modal);
            acceptModal(modal);
        });
        helpAction(window, QStringLiteral("&About"))->trigger();
        QCOMPARE(title, QStringLiteral("About VNH2SP30 Drive Setup"));
        for (const char* part : {DRIVE_SETUP_VERSION, QT_VERSION_STR, QWT_VERSION_STR, "MIT"})
            QVERIFY2(text.contains(QLatin1String(part)), part);
    }

    void gettingStartedStaysOpenBesideTheWindow()
    {
        DriveLink link;
        MainWindow window(link);
        helpAction(window, QStringLiteral("&Getting started"))->trigger();
        helpAction(window, QStringLiteral("&Getting started"))->trigger();
        const auto pages = window.findChildren<QDialog*>(QStringLiteral("gettingStarted"));
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0]->isVisible() && !pages[0]->isModal());
        QCOMPARE(pages[0]->windowTitle(), QStringLiteral("Getting started"));
    }

    void shortcuts_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("Connect") << "pushButton_Connect" << QKeySequence("Ctrl+Shift+C") << true;
        QTest::newRow("Disconnect") << "pushButton_Disconnect" << QKeySequence("Ctrl+Shift+D") << true;
        QTest::newRow("Save EEPROM") << "pushButton_SaveEEPROM" << QKeySequence("Ctrl+Shift+E") << true;
        QTest::newRow("Load") << "pushButton_ScriptLoad" << QKeySequence("Ctrl+Shift+L") << true;
        QTest::newRow("Start") << "pushButton_ScriptStart" << QKeySequence("F5") << true;
        QTest::newRow("Stop") << "pushButton_ScriptStop" << QKeySequence("Shift+F5") << true;
        QTest::newRow("Stop, disabled") << "pushButton_ScriptStop" << QKeySequence("Shift+F5") << false;
    }

    // Pressed from the first motor page, whatever page the button is on; a disabled
    // button is not pressed.
    void shortcuts()
    {
        QFETCH(QString, button);
        QFETCH(QKeySequence, keys);
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
        QTest::keySequence(&window, keys);
        QCOMPARE(clicked.count(), enabled ? 1 : 0);
        QVERIFY2(pushButton->toolTip().contains(keys.toString(QKeySequence::NativeText)), qPrintable(pushButton->toolTip()));
    }
};

QTEST_MAIN(TestHelpAndShortcuts)
#include "test_HelpAndShortcuts.moc"
