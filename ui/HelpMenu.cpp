#include "ui/HelpMenu.h"

#include "core/InstallPaths.h"

#include <qwt_global.h>

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

namespace Keys {
constexpr int Connect = Qt::CTRL | Qt::SHIFT | Qt::Key_C;
constexpr int Disconnect = Qt::CTRL | Qt::SHIFT | Qt::Key_D;
constexpr int SaveEeprom = Qt::CTRL | Qt::SHIFT | Qt::Key_E;
constexpr int LoadScript = Qt::CTRL | Qt::SHIFT | Qt::Key_L;
constexpr int StartScript = Qt::Key_F5;
constexpr int StopScript = Qt::SHIFT | Qt::Key_F5;
} // namespace Keys

QString keyText(int keys)
{
    return QKeySequence(keys).toString(QKeySequence::NativeText);
}

struct Shortcut
{
    QPushButton* button;
    int keys;
    const char* toolTip;
};

} // namespace

HelpMenu::HelpMenu(QMainWindow& window, const Ui::MainWindow& form)
    : QObject(&window), window(window)
{
    QMenu* help = form.menubar->addMenu(tr("&Help"));
    QAction* gettingStarted = help->addAction(tr("&Getting started"), this, &HelpMenu::showGettingStarted);
    gettingStarted->setObjectName(QStringLiteral("actionGettingStarted"));
    gettingStarted->setShortcut(QKeySequence::HelpContents);
    help->addAction(tr("&About"), this, &HelpMenu::showAbout)->setObjectName(QStringLiteral("actionAbout"));
    addShortcuts(form);
}

// The shortcuts work on every page: a button out of sight is pressed all the same, and a
// disabled one is not.
void HelpMenu::addShortcuts(const Ui::MainWindow& ui)
{
    const Shortcut shortcuts[] = {
        {ui.pushButton_Connect, Keys::Connect, QT_TR_NOOP("Connect to the selected port")},
        {ui.pushButton_Disconnect, Keys::Disconnect, QT_TR_NOOP("Close the port")},
        {ui.pushButton_SaveEEPROM, Keys::SaveEeprom, QT_TR_NOOP("Save the board's configuration to its EEPROM")},
        {ui.pushButton_ScriptLoad, Keys::LoadScript, QT_TR_NOOP("Load a script file")},
        {ui.pushButton_ScriptStart, Keys::StartScript, QT_TR_NOOP("Play the script from its first row")},
        {ui.pushButton_ScriptStop, Keys::StopScript, QT_TR_NOOP("Stop the script")},
    };
    for (const Shortcut& shortcut : shortcuts) {
        auto* action = new QAction(&window);
        action->setShortcut(shortcut.keys);
        connect(action, &QAction::triggered, shortcut.button, &QPushButton::click);
        window.addAction(action);
        shortcut.button->setToolTip(QStringLiteral("%1 (%2)").arg(tr(shortcut.toolTip), keyText(shortcut.keys)));
    }
}

void HelpMenu::showAbout()
{
    QMessageBox::about(&window, tr("About VNH2SP30 Drive Setup"),
                       tr("<h3>VNH2SP30 Drive Setup %1</h3>"
                          "<p>Sets up VNH2SP30 motor-controller boards and drives the robot they move.</p>"
                          "<p>Built with Qt %2 (running on Qt %3) and Qwt %4.</p>"
                          "<p>Licence: MIT.</p>")
                           .arg(QStringLiteral(DRIVE_SETUP_VERSION), QStringLiteral(QT_VERSION_STR),
                                QString::fromLatin1(qVersion()), QStringLiteral(QWT_VERSION_STR)));
}

// Not modal: the page can stay open beside the window while the operator follows it.
void HelpMenu::showGettingStarted()
{
    auto* page = window.findChild<QDialog*>(QStringLiteral("gettingStarted"));
    if (!page) {
        page = new QDialog(&window);
        page->setObjectName(QStringLiteral("gettingStarted"));
        page->setWindowTitle(tr("Getting started"));
        auto* text = new QTextBrowser(page);
        const QString scripts = InstallPaths::exampleScriptsFolder();
        const QString examples = scripts.isEmpty() ? QString()
            : tr(" Examples are in %1.").arg(QDir::toNativeSeparators(scripts).toHtmlEscaped());
        text->setHtml(tr("<h3>Connect</h3>"
                         "<p>Pick the serial port the boards are on (a USB adapter appears in the list "
                         "when it is plugged in; any device path can be typed) and press Connect "
                         "(%1); Disconnect (%7) closes it again. On Linux your user must be in the "
                         "<i>dialout</i> group.</p>"
                         "<h3>Pick a board</h3>"
                         "<p>Choose its address, 0x01 or 0x02. The Motor 0 to Motor 3 pages show the "
                         "live values and the graph of each of its motors.</p>"
                         "<h3>Edit</h3>"
                         "<p>Press the button beside a parameter and enter the new value; the field "
                         "shows it once the board has taken it.</p>"
                         "<h3>Save</h3>"
                         "<p>Save EEPROM (%2) makes the board keep its configuration when it is "
                         "switched off. It is offered while the board answers: the board confirms "
                         "no save, so only its reply after the request shows that it arrived.</p>"
                         "<h3>Graphs</h3>"
                         "<p>Each motor page draws the position, the set-point and the speed. Pause (P) "
                         "freezes the graph; drag a rectangle to zoom, Shift+drag to pan, right-click to "
                         "zoom out, and Follow live to catch up. Export... saves the graph as a picture "
                         "or its samples as CSV.</p>"
                         "<h3>Step tests</h3>"
                         "<p>Step test... on a motor's graph moves its set-point to a target and measures "
                         "how the motor follows (rise time, overshoot, settling). Runs stay overlaid, so "
                         "after a gain change a second run shows whether it helped.</p>"
                         "<h3>Recording data</h3>"
                         "<p>Record data... in the status bar writes every live sample of the four motors "
                         "to a CSV file until Stop recording data.</p>"
                         "<h3>Settings files</h3>"
                         "<p>The File menu saves the selected board's settings to a file, compares a file "
                         "with the board, applies a file to it, and copies one board's settings to the "
                         "other. Quit (%8) ends the tool.</p>"
                         "<h3>Scripts</h3>"
                         "<p>On the Script page, Load (%3) a file of robot commands, then Start (%4) and "
                         "Stop (%5) it.%6 Loading, editing and saving work without a connection.</p>"
                         "<h3>Teaching a script</h3>"
                         "<p>Select the row the new moves should go before (none: before a final "
                         "<i>end</i>), press Teach, move the robot with GO on the MLA, MRA and MRN pages, "
                         "then Stop teaching: each GO became a row, with a wait that keeps your timing. "
                         "Save keeps the script.</p>"
                         "<h3>The simulator</h3>"
                         "<p>To try everything without hardware, start the tool with "
                         "<code>drive-setup --simulate</code>: it starts simulated boards and connects "
                         "to them. They keep what Save EEPROM saves for the next start.</p>")
                          .arg(keyText(Keys::Connect), keyText(Keys::SaveEeprom), keyText(Keys::LoadScript),
                               keyText(Keys::StartScript), keyText(Keys::StopScript), examples,
                               keyText(Keys::Disconnect),
                               window.findChild<QAction*>(QStringLiteral("actionQuit"))->shortcut().toString(QKeySequence::NativeText)));
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(text);
        page->resize(520, 600);
    }
    page->show();
    page->raise();
    page->activateWindow();
}
