// drive-ctl's commands that follow the board over time: watch and run.
#include "DriveControl.h"

#include "core/DriveLink.h"
#include "core/SampleCsv.h"
#include "core/ScriptFile.h"
#include "core/ScriptRunner.h"
#include "core/ScriptTable.h"
#include "protocol/RobotCommandLine.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>

using namespace SharedVariables;

int DriveControl::watch()
{
    QEventLoop loop;
    // A board that sends no positions for as long as a read may wait has stopped answering.
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(BoardSettingsSession::TimeoutMs * BoardSettingsSession::Attempts);
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
        printError(QStringLiteral("Board %1 sends no live values.").arg(link.board()));
        loop.exit(NoAnswer);
    });
    QObject::connect(&link, &DriveLink::portLost, &loop, [&](const QString& port, const QString& reason) {
        printError(QStringLiteral("The connection on %1 was lost: %2").arg(port, reason));
        if (options.csv)
            writeOutput(SampleCsv::eventRow(link.samples(0).size() == 0 ? 0 : link.samples(0).time.last(),
                                            link.board(), QStringLiteral("port lost: %1").arg(reason)));
        loop.exit(PortFailed);
    });
    const bool headed = options.csv
        ? writeOutput(SampleCsv::header())
        : printResult(QStringLiteral("    time_s  position_0  set_point_0  speed_0  position_1  set_point_1  speed_1"
                                     "  position_2  set_point_2  speed_2  position_3  set_point_3  speed_3"));
    if (!headed)
        return UsageError;
    // Samples taken before the first set-points and speeds arrived would show zeros.
    bool setPointsRead = false;
    bool speedsRead = false;
    QObject::connect(&link, &DriveLink::frameReceived, &loop, [&](const SerialMessage& frame) {
        if (frame.bytes[SerialMessage::Type] == SerialMessage::LiveValueType) {
            setPointsRead = setPointsRead || frame.bytes[SerialMessage::Cmd] == SerialMessage::LiveSetPoints;
            speedsRead = speedsRead || frame.bytes[SerialMessage::Cmd] == SerialMessage::LiveSpeeds;
        }
    });
    double printed = -1;
    QObject::connect(&link, &DriveLink::samplesAppended, &loop, [&] {
        silence.start();
        if (!setPointsRead || !speedsRead)
            return;
        const double seconds = link.samples(0).time.last();
        if (printed >= 0 && seconds - printed < 1 / options.rate - 1e-6)
            return;
        printed = seconds;
        QString line = QString::number(seconds, 'f', 3).rightJustified(10);
        QByteArray rows;
        for (int motor = 0; motor < MotorCount; ++motor) {
            const MotorSamples& samples = link.samples(motor);
            const int position = int(samples.position.last());
            const int setPoint = int(samples.setPoint.last());
            const int speed = int(samples.speed.last());
            if (options.csv)
                rows += SampleCsv::row(seconds, link.board(), motor, position, setPoint, speed);
            else
                line += QString::number(position).rightJustified(12) + QString::number(setPoint).rightJustified(13)
                    + QString::number(speed).rightJustified(9);
        }
        // Nobody reads what cannot be written: watching on would be for nothing.
        if (!(options.csv ? writeOutput(rows) : printResult(line)))
            loop.exit(UsageError);
    });
    silence.start();
    return loop.exec(); // Ctrl+C ends it with 0
}

int DriveControl::run(const QString& path)
{
    const ScriptFile script = ScriptFile::load(path);
    if (!script.error.isEmpty()) {
        printError(QStringLiteral("Cannot load script file \"%1\": %2").arg(path, script.error));
        return UsageError;
    }
    ScriptTable table;
    ScriptRunner::fillModel(table, script.rows);
    ScriptRunner runner(link, table);
    QEventLoop loop;
    bool completed = false;
    // A row that cannot run stops the script before it, as in the window.
    bool rejected = false;
    QObject::connect(&runner, &ScriptRunner::rowRejected, &loop, [&](int at, const QString& reason) {
        printError(QStringLiteral("%1, row %2 cannot be run as written: %3.").arg(path).arg(at + 1).arg(reason));
        rejected = true;
        loop.exit(UsageError);
    });
    QObject::connect(&link, &DriveLink::frameSent, &loop, [&](const SerialMessage& frame) {
        // The lines are the record of what went to the robot: it gets no more than that.
        const QString line = robotCommandLine(frame);
        if (!line.isEmpty() && !printResult(line))
            loop.exit(UsageError);
    });
    // Each pass starts at the chosen row; the run completes after the last, once its
    // last frame was handed to the port.
    int passesLeft = options.passes;
    QObject::connect(&runner, &ScriptRunner::completed, &loop, [&] {
        if (--passesLeft > 0) {
            runner.startFrom(options.fromRow);
            return;
        }
        completed = true;
        loop.exit(Done);
    });
    QObject::connect(&link, &DriveLink::portLost, &loop, [&](const QString& port, const QString& reason) {
        printError(QStringLiteral("The connection on %1 was lost: %2").arg(port, reason));
        loop.exit(PortFailed);
    });
    runner.startFrom(options.fromRow);
    if (rejected)
        return UsageError;
    const int code = loop.exec();
    if (!completed && code == Done) {
        printError(QStringLiteral("Interrupted."));
        return Interrupted;
    }
    return code;
}
