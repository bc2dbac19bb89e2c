#include "support/SimProcess.h"

SimProcess::SimProcess(const QStringList& arguments)
{
    process.start(qEnvironmentVariable("DRIVE_SIM"), arguments);
    if (!process.waitForStarted(10000))
        return;
    while (!process.canReadLine() && process.waitForReadyRead(10000)) {
    }
    device = QString::fromLocal8Bit(process.readLine()).trimmed();
}

SimProcess::~SimProcess()
{
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
}

QStringList SimProcess::commands()
{
    output += QString::fromLocal8Bit(process.readAllStandardOutput());
    return output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
