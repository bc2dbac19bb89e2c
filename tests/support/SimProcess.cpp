#include "support/SimProcess.h"

#include <csignal>

SimProcess::SimProcess(const QStringList& arguments)
{
    process.start(qEnvironmentVariable("DRIVE_SIM"), arguments);
    if (!process.waitForStarted(20000))
        return;
    while (!process.canReadLine() && process.waitForReadyRead(20000)) {
    }
    device = QString::fromLocal8Bit(process.readLine()).trimmed();
}

SimProcess::~SimProcess()
{
    if (!stop())
        process.kill();
}

QStringList SimProcess::commands()
{
    output += QString::fromLocal8Bit(process.readAllStandardOutput());
    return output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void SimProcess::signal(int number)
{
    ::kill(pid_t(process.processId()), number);
}

bool SimProcess::end(int number)
{
    signal(number);
    return process.waitForFinished(10000) || process.state() == QProcess::NotRunning;
}

bool SimProcess::stop()
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        process.waitForFinished(20000);
    }
    return process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}
