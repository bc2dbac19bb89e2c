#include "core/DriveLink.h"
#include "core/QuitOnSignal.h"
#include "core/Simulator.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

int usageError(const QString& text)
{
    std::fprintf(stderr, "%s\nTry 'drive-setup --help' for more information.\n", qPrintable(text));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication::setApplicationName(QStringLiteral("drive-setup"));
    QApplication::setApplicationVersion(QStringLiteral(DRIVE_SETUP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sets up and drives VNH2SP30 motor-controller boards and the robot they move."));
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
        QCoreApplication core(argc, argv); // the help text names the program from it
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
    if (!port.isEmpty())
        window.addPort(port);
    bool connectNow = parser.isSet(connectOption);
    if (parser.isSet(simulateOption)) {
        const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("drive-sim"));
        // With moving motors, so there is something to watch at once.
        if (simulator.start(program, {QStringLiteral("--demo")})) {
            window.addPort(simulator.portName());
            connectNow = true;
        } else {
            QMessageBox::warning(&window, QStringLiteral("Simulator"), simulator.errorString());
        }
    }
    // The form's size is more than a small laptop screen holds: there the window starts
    // maximized, and its pages scroll.
    if (window.size().boundedTo(window.screen()->availableSize()) != window.size())
        window.showMaximized();
    else
        window.show();
    if (connectNow)
        QTimer::singleShot(0, &window, &MainWindow::connectToSelectedPort);
    return app.exec();
}
