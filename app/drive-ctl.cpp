#include "DriveControl.h"

#include "core/DriveLink.h"
#include "core/FileNames.h"
#include "core/QuitOnSignal.h"
#include "core/Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const Description = R"(Sets up and reads the motor-controller boards from the command line.

Commands:
  status                     the board's LoopTime and the live values of its motors
  get NAME [--motor M]       one variable, as the window shows it (every motor
                             without --motor; LoopTime belongs to the board)
  set NAME VALUE --motor M   a parameter, within its bounds: written, read back
                             and verified (a negative VALUE goes after "--")
  save [--output FILE]       the board's settings file (standard output without
                             --output)
  diff FILE                  the parameters of FILE that the board holds otherwise
  apply FILE [--dry-run] [--save-eeprom]
                             writes the parameters of FILE that differ, reads each
                             back and verifies it; --save-eeprom then saves to
                             EEPROM when all verified; --dry-run only lists them
  eeprom-save                asks the board to save its configuration to EEPROM;
                             saved once the board answers after the request
  watch [--rate HZ] [--csv]  position, set-point and speed of the four motors until
                             Ctrl+C, as a table or CSV
  run SCRIPT [--from ROW] [--loop N]
                             plays a script file, one line per robot command sent;
                             from row ROW (1 for the first), N times
  ports                      the serial ports found, with their description

--port may be left out when exactly one serial port is found. --simulate starts the
simulated boards (drive-sim, at rest) for this one command and ends them after it.

Exit codes:
  0    done
  1    a difference (diff, apply --dry-run), a verification failure, or a board
       value that no settings file can hold (not a number)
  2    a usage error, a file that cannot be read or written, or standard
       output that cannot be written (watch and run then stop)
  3    the port could not be opened or was lost
  4    the board did not answer (eeprom-save: not before the request, which
       is then not sent, or not after it, so the save is not confirmed)
  130  interrupted (Ctrl+C) before it was done; watch ends with 0)";

struct Command
{
    const char* name;
    int arguments;
    QStringList options; // beyond --port, --simulate and --board
};

const QList<Command> commands = {
    {"status", 0, {"json"}},
    {"get", 1, {"motor", "json"}},
    {"set", 2, {"motor"}},
    {"save", 0, {"output"}},
    {"diff", 1, {"json"}},
    {"apply", 1, {"dry-run", "save-eeprom"}},
    {"eeprom-save", 0, {}},
    {"watch", 0, {"rate", "csv"}},
    {"run", 1, {"from", "loop"}},
    {"ports", 0, {}},
};

int usageError(const QString& text)
{
    DriveControl::printError(text + QStringLiteral("\nSee drive-ctl --help."));
    return DriveControl::UsageError;
}

int listPorts()
{
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty())
        DriveControl::printError(QStringLiteral("No serial ports found."));
    for (const QSerialPortInfo& port : ports) {
        QString line = port.systemLocation();
        if (!port.description().isEmpty())
            line += QStringLiteral("  ") + port.description();
        if (!port.manufacturer().isEmpty())
            line += QStringLiteral(" (%1)").arg(port.manufacturer());
        DriveControl::printResult(line);
    }
    return DriveControl::Done;
}

// A standard stream the caller closed would go to the next file opened, the serial port
// among them. It is held on /dev/null instead: read-only for standard output, so that
// writing to it still fails as the caller asked.
void holdClosedStandardStreams()
{
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int held = ::open("/dev/null", stream == STDERR_FILENO ? O_WRONLY : O_RDONLY);
        if (held >= 0 && held != stream) {
            ::dup2(held, stream);
            ::close(held);
        }
    }
}

int runCommand(const QString& name, const QStringList& arguments, DriveControl& control)
{
    if (name == QLatin1String("status"))
        return control.status();
    if (name == QLatin1String("get"))
        return control.get(arguments[0]);
    if (name == QLatin1String("set"))
        return control.set(arguments[0], arguments[1]);
    if (name == QLatin1String("save"))
        return control.save();
    if (name == QLatin1String("diff"))
        return control.diff(arguments[0]);
    if (name == QLatin1String("apply"))
        return control.apply(arguments[0]);
    if (name == QLatin1String("eeprom-save"))
        return control.eepromSave();
    if (name == QLatin1String("watch"))
        return control.watch();
    return control.run(arguments[0]);
}

// Results that could not be written make the command fail, whatever it did.
int withOutputChecked(int code)
{
    return DriveControl::outputFailed() ? DriveControl::UsageError : code;
}

} // namespace

int main(int argc, char* argv[])
{
    holdClosedStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drive-ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DRIVE_SETUP_VERSION));
    FileNames::keepBytes();
    // Standard error carries what the user should read; the debug trace is not for them.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption("port", "The serial port, such as /dev/ttyUSB0.", "NAME");
    const QCommandLineOption simulateOption("simulate", "Works on simulated boards (drive-sim) instead of a port.");
    const QCommandLineOption boardOption("board", "The board: 1 (the default) or 2.", "1|2", "1");
    const QCommandLineOption motorOption("motor", "The motor, 0 to 3.", "M");
    const QCommandLineOption outputOption("output", "save: the file to write.", "FILE");
    const QCommandLineOption dryRunOption("dry-run", "apply: lists what would be written, writes nothing.");
    const QCommandLineOption saveEepromOption("save-eeprom", "apply: saves to EEPROM when all values verified.");
    const QCommandLineOption rateOption("rate", "watch: at most HZ lines a second (default 10).", "HZ", "10");
    const QCommandLineOption csvOption("csv", "watch: CSV, one line per motor.");
    const QCommandLineOption jsonOption("json", "status, get, diff: JSON instead of a table.");
    const QCommandLineOption fromOption("from", "run: starts at row ROW of the script (1 is the first).", "ROW", "1");
    const QCommandLineOption loopOption("loop", "run: plays the script N times, each from ROW.", "N", "1");
    parser.addOptions({portOption, simulateOption, boardOption, motorOption, outputOption, dryRunOption,
                       saveEepromOption, rateOption, csvOption, jsonOption, fromOption, loopOption});
    parser.addPositionalArgument("command", "A command and its arguments, as listed above.", "COMMAND [ARGUMENTS]");

    if (!parser.parse(app.arguments())) {
        static const QRegularExpression negative(QStringLiteral("^-[0-9.]"));
        const bool hasNegative = !app.arguments().filter(negative).isEmpty();
        return usageError(parser.errorText()
                          + (hasNegative ? QStringLiteral("\nA negative value goes after \"--\", as in: "
                                                          "drive-ctl set ADCOffset --motor 0 -- -100")
                                         : QString()));
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(DriveControl::Done);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usageError(QStringLiteral("Name a command, such as status."));
    const QString name = arguments.takeFirst();
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const Command& c) { return name == QLatin1String(c.name); });
    if (command == commands.end())
        return usageError(QStringLiteral("There is no command \"%1\".").arg(name));
    if (arguments.size() != command->arguments)
        return usageError(QStringLiteral("%1 takes %2 argument(s), not %3.").arg(name).arg(command->arguments).arg(arguments.size()));
    for (const QString& option : parser.optionNames()) {
        const QStringList global{"port", "simulate", "board"};
        if (!global.contains(option) && !command->options.contains(option))
            return usageError(QStringLiteral("--%1 does not go with %2.").arg(option, name));
    }

    DriveControl::Options options;
    bool ok = true;
    const int board = parser.value(boardOption).toInt(&ok);
    if (!ok || (board != 1 && board != 2))
        return usageError(QStringLiteral("--board takes 1 or 2."));
    if (parser.isSet(motorOption)) {
        options.motor = parser.value(motorOption).toInt(&ok);
        if (!ok || options.motor < 0 || options.motor > 3)
            return usageError(QStringLiteral("--motor takes 0 to 3."));
    } else if (name == QLatin1String("set")) {
        return usageError(QStringLiteral("set needs --motor."));
    }
    options.rate = parser.value(rateOption).toDouble(&ok);
    if (!ok || !(options.rate > 0))
        return usageError(QStringLiteral("--rate takes a number of lines a second above 0."));
    options.fromRow = parser.value(fromOption).toInt(&ok) - 1;
    if (!ok || options.fromRow < 0)
        return usageError(QStringLiteral("--from takes a row number from 1."));
    options.passes = parser.value(loopOption).toInt(&ok);
    if (!ok || options.passes < 1)
        return usageError(QStringLiteral("--loop takes a number of passes from 1."));
    options.output = parser.value(outputOption);
    options.dryRun = parser.isSet(dryRunOption);
    options.saveEeprom = parser.isSet(saveEepromOption);
    options.csv = parser.isSet(csvOption);
    options.json = parser.isSet(jsonOption);
    if (options.dryRun && options.saveEeprom)
        return usageError(QStringLiteral("--dry-run writes nothing, so it cannot save to EEPROM."));
    if (parser.isSet(portOption) && parser.isSet(simulateOption))
        return usageError(QStringLiteral("Choose either --port or --simulate."));

    if (name == QLatin1String("ports"))
        return withOutputChecked(listPorts());

    const QuitOnSignal quitOnSignal;
    Simulator simulator(nullptr, stderr); // outlives the link; its robot lines go to standard error
    QString port = parser.value(portOption);
    if (parser.isSet(simulateOption)) {
        if (!simulator.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("drive-sim")), {})) {
            DriveControl::printError(simulator.errorString());
            return DriveControl::PortFailed;
        }
        port = simulator.portName();
    } else if (port.isEmpty()) {
        QStringList found;
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            found << info.systemLocation();
        if (found.isEmpty()) {
            DriveControl::printError(QStringLiteral("No serial port found. Plug in the adapter, or name the port with --port."));
            return DriveControl::PortFailed;
        }
        if (found.size() > 1)
            return usageError(QStringLiteral("Several serial ports found (%1): choose one with --port.")
                                  .arg(found.join(QStringLiteral(", "))));
        port = found.first();
        DriveControl::printError(QStringLiteral("Using %1, the only serial port found.").arg(port));
    }

    DriveLink link;
    link.selectBoard(board); // before the port opens, so that polling asks this board
    if (!link.open(port)) {
        DriveControl::printError(link.openFailure());
        return DriveControl::PortFailed;
    }
    DriveControl control(link, options);
    return withOutputChecked(runCommand(name, arguments, control));
}
