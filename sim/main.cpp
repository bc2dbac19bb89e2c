#include "core/FileNames.h"
#include "core/QuitOnSignal.h"
#include "sim/EepromFile.h"
#include "sim/SimulatedBoard.h"
#include "sim/SimulatedLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

void printLine(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool isLinkTo(const QString& link, const QString& target)
{
    return QFileInfo(link).isSymLink() && QFile::symLinkTarget(link) == target;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drive-sim"));
    FileNames::keepBytes();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays drive boards 1 and 2 and the robot on a pseudo-terminal. Prints the device "
        "path to connect to as the first line, then one line per robot command received: its word and "
        "values in wire order, 16-bit values signed, 8-bit values unsigned. Diagnostics go to standard error.\n\n"
        "Exit status:\n"
        "  0  ended by SIGINT, SIGTERM or SIGHUP\n"
        "  1  no pseudo-terminal or link could be made, or an unknown option\n"
        "  2  a value of --noise or --seed out of range"));
    parser.addHelpOption();
    const QCommandLineOption linkOption(QStringLiteral("link"),
        QStringLiteral("Also makes PATH a symbolic link to the device; removed on exit."), QStringLiteral("PATH"));
    const QCommandLineOption eepromOption(QStringLiteral("eeprom"),
        QStringLiteral("Keeps the boards' saved configuration in FILE, read back at start."), QStringLiteral("FILE"));
    const QCommandLineOption noiseOption(QStringLiteral("noise"),
        QStringLiteral("Chance, 0 to 1, of random bytes before each reply."), QStringLiteral("RATE"), QStringLiteral("0"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
        QStringLiteral("Seed of the noise, for a reproducible run."), QStringLiteral("N"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
        QStringLiteral("Motors 0 and 1 of each board follow the board's own set-point sweep (SetPointSrc 1)."));
    parser.addOptions({linkOption, eepromOption, noiseOption, seedOption, demoOption});
    parser.process(app);

    bool ok = false;
    const double noiseRate = parser.value(noiseOption).toDouble(&ok);
    if (!ok || noiseRate < 0 || noiseRate > 1) {
        std::fprintf(stderr, "drive-sim: --noise takes a rate from 0 to 1\n");
        return 2;
    }
    quint32 seed = QRandomGenerator::global()->generate();
    if (parser.isSet(seedOption)) {
        seed = parser.value(seedOption).toUInt(&ok);
        if (!ok) {
            std::fprintf(stderr, "drive-sim: --seed takes a non-negative integer\n");
            return 2;
        }
    }

    std::unique_ptr<EepromFile> eeprom;
    if (parser.isSet(eepromOption))
        eeprom = std::make_unique<EepromFile>(parser.value(eepromOption));
    std::vector<std::unique_ptr<SimulatedBoard>> boards;
    boards.push_back(std::make_unique<SimulatedBoard>(1, eeprom.get()));
    boards.push_back(std::make_unique<SimulatedBoard>(2, eeprom.get()));
    if (parser.isSet(demoOption)) {
        for (const auto& board : boards) {
            board->sweep(0);
            board->sweep(1);
        }
    }

    QuitOnSignal quitOnSignal;
    SimulatedLine line(std::move(boards), noiseRate, seed);
    if (!line.open()) {
        std::fprintf(stderr, "drive-sim: cannot open a pseudo-terminal: %s\n", qPrintable(line.errorString()));
        return 1;
    }
    QObject::connect(&line, &SimulatedLine::robotCommand, &printLine);

    const QString link = parser.value(linkOption);
    if (!link.isEmpty()) {
        // A link left by an earlier run that was killed is replaced; any other file stays.
        if (QFileInfo(link).isSymLink())
            QFile::remove(link);
        if (!QFile::link(line.slavePath(), link)) {
            std::fprintf(stderr, "drive-sim: cannot make the link %s\n", qPrintable(link));
            return 1;
        }
    }
    printLine(line.slavePath());

    const int status = app.exec();
    // Another run may have taken the link over meanwhile.
    if (!link.isEmpty() && isLinkTo(link, line.slavePath()))
        QFile::remove(link);
    return status;
}
