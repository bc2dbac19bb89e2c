#include "core/Simulator.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#include <unistd.h>
#endif

// Runs in the child between fork and exec: only async-signal-safe calls.
void ChildProcess::setupChildProcess()
{
#ifdef Q_OS_LINUX
    // Until exec the child runs the parent's code: a handler it inherited must not
    // catch the signal. The parent may have died before the request took effect: then
    // the child has been adopted already, and ends at once.
    ::signal(SIGTERM, SIG_DFL);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parentId)
        ::raise(SIGTERM);
#endif
}

Simulator::Simulator(QObject* parent, std::FILE* output)
    : QObject(parent), output(output)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

Simulator::~Simulator()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(1000);
}

QString Simulator::userEepromFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("simulated-eeprom.bin"));
}

bool Simulator::start(const QString& program, const QStringList& arguments, int timeoutMs)
{
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        error = tr("Could not start the simulator %1: %2").arg(program, process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || !process.waitForReadyRead(int(deadline.remainingTime()))) {
            error = tr("The simulator %1 named no port.").arg(program);
            return false;
        }
    }
    port = QString::fromLocal8Bit(process.readLine()).trimmed();
    connect(&process, &QProcess::readyReadStandardOutput, this, &Simulator::forwardOutput);
    forwardOutput();
    return true;
}

void Simulator::forwardOutput()
{
    const QByteArray received = process.readAllStandardOutput();
    std::fwrite(received.constData(), 1, size_t(received.size()), output);
    std::fflush(output);
}
