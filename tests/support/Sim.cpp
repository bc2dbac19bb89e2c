#include "support/Sim.h"

#include <QDeadlineTimer>

#include <csignal>

Sim::Sim(const QStringList& arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(qEnvironmentVariable("DRIVE_SIM"), arguments);
    QDeadlineTimer deadline(20000);
    while (process.state() != QProcess::NotRunning && !process.canReadLine() && !deadline.hasExpired())
        process.waitForReadyRead(100);
    device = QString::fromLocal8Bit(process.readLine()).trimmed();
}

Sim::~Sim()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(5000);
}

void Sim::signal(int number)
{
    ::kill(pid_t(process.processId()), number);
}
