#include "core/DriveLink.h"
#include "core/FileNames.h"
#include "core/InstallPaths.h"
#include "core/QuitOnSignal.h"
#include "core/Simulator.h"
#include "ui/MainWindow.h"
#include "ui/PortBox.h"
#include "ui/RememberedState.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

// Starts drive-sim (the one beside this executable, installed or built with it, else the
// one in PATH) and chooses its port; a failure is shown to the operator.
bool startSimulator(Simulator& simulator, MainWindow& window)
{
    const QString program = InstallPaths::simulatorProgram();
    if (program.isEmpty()) {
        QMessageBox::warning(&window, QStringLiteral("Simulator"),
                             QStringLiteral("drive-sim was found neither beside drive-setup nor in PATH. "
                                            "Install it, or start drive-setup without --simulate."));
        return false;
    }
    // With moving motors, so there is something to watch at once.
    QStringList arguments{QStringLiteral("--demo")};
    const QString eeprom = Simulator::userEepromFile();
    if (QDir().mkpath(QFileInfo(eeprom).path()))
        arguments << QStringLiteral("--eeprom") << eeprom;
    if (!simulator.start(program, arguments)) {
        QMessageBox::warning(&window, QStringLiteral("Simulator"), simulator.errorString());
        return false;
    }
    window.portBox().addPort(simulator.portName(), PortBox::Lifetime::ThisRun);
    return true;
}

// Where this run finds what comes with it and keeps what it remembers, for --help; the
// man page's FILES section is made of it (packaging/man-page).
QString filesInUse()
{
    const QString simulator = InstallPaths::simulatorProgram();
    const QString scripts = InstallPaths::exampleScriptsFolder();
    const QString notFound = QStringLiteral("not found");
    return QStringLiteral("Files:\n  Example scripts:  %1\n  Simulated boards (--simulate):  %2\n"
                          "  Their saved EEPROM:  %3\n  Settings:  %4")
        .arg(scripts.isEmpty() ? notFound : scripts, simulator.isEmpty() ? notFound : simulator,
             Simulator::userEepromFile(), QSettings().fileName());
}

int usageError(const QString& text)
{
    std::fprintf(stderr, "%s\nTry 'drive-setup --help' for more information.\n", qPrintable(text));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    FileNames::keepBytes();
    // They name the settings file and the data folder; on Linux
    // ~/.config/drive-setup/drive-setup.conf and ~/.local/share/drive-setup/drive-setup/.
    QApplication::setOrganizationName(QStringLiteral("drive-setup"));
    QApplication::setApplicationName(QStringLiteral("drive-setup"));
    QApplication::setApplicationVersion(QStringLiteral(DRIVE_SETUP_VERSION));

    QCommandLineParser parser;
    const QString description = QStringLiteral("Sets up and drives VNH2SP30 motor-controller boards and the robot they move.");
    const QString exitStatus = QStringLiteral("Exit status:\n"
                                              "  0  the window was closed\n"
                                              "  1  an unknown option or argument, a missing value or a second port");
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Adds NAME (a device path such as /dev/ttyUSB0) to the port list and selects it."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption connectOption(QStringLiteral("connect"),
                                           QStringLiteral("Presses Connect once the window is shown."));
    const QCommandLineOption simulateOption(QStringLiteral("simulate"),
                                            QStringLiteral("Starts the simulated boards (drive-sim) and connects to them."));
    parser.addOption(portOption);
    parser.addOption(connectOption);
    parser.addOption(simulateOption);
    parser.addPositionalArgument(QStringLiteral("device"), QStringLiteral("A device path, the same as --port DEVICE."),
                                 QStringLiteral("[device]"));
    // Parsed before the application object, so --help, --version and a mistyped
    // option work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        QCoreApplication core(argc, argv); // the help text names the program and the files from it
        parser.setApplicationDescription(description + QStringLiteral("\n\n") + exitStatus + QStringLiteral("\n\n")
                                         + filesInUse());
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    QString port = parser.value(portOption);
    for (const QString& argument : parser.positionalArguments()) {
        if (!QDir::isAbsolutePath(argument))
            return usageError(QStringLiteral("Unknown argument '%1'.").arg(argument));
        if (!port.isEmpty())
            return usageError(QStringLiteral("One port only: '%1' is one too many.").arg(argument));
        port = argument;
    }

    QApplication app(argc, argv);
    const QuitOnSignal quitOnSignal;

    Simulator simulator; // outlives the link, whose port is the simulator's
    DriveLink link;
    MainWindow window(link);
    QSettings settings;
    RememberedState::restore(window, settings);
    if (!port.isEmpty())
        window.addPort(port);
    bool connectNow = parser.isSet(connectOption);
    if (parser.isSet(simulateOption)) {
        const bool started = startSimulator(simulator, window);
        if (started)
            window.watchSimulator(simulator);
        connectNow = started || connectNow;
    }
    // A window larger than a small laptop screen starts maximized, and its pages scroll.
    if (window.size().boundedTo(window.screen()->availableSize()) != window.size())
        window.showMaximized();
    else
        window.show();
    if (connectNow)
        QTimer::singleShot(0, &window, &MainWindow::connectToSelectedPort);
    const int status = app.exec();
    RememberedState::save(window, settings);
    return status;
}
