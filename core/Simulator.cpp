#include "core/Simulator.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

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
    connect(&process, &QProcess::readyReadStandardOutput, this, &Simulator::readOutput);
    connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &Simulator::processEnded);
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError failure) {
        if (failure == QProcess::FailedToStart)
            failRestart(process.errorString());
    });
}

Simulator::~Simulator()
{
    // The tool ends it: no one is left to tell.
    process.disconnect(this);
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
    this->program = program;
    this->arguments = arguments;
    port.clear();
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        error = tr("Could not start the simulator %1: %2").arg(program, process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (port.isEmpty()) {
        if (deadline.hasExpired() || !process.waitForReadyRead(int(deadline.remainingTime()))) {
            error = tr("The simulator %1 named no port.").arg(program);
            return false;
        }
    }
    return true;
}

void Simulator::restart(int timeoutMs)
{
    if (isRunning() || program.isEmpty())
        return;
    port.clear();
    restarting = true;
    process.start(program, arguments);
    QTimer::singleShot(timeoutMs, this, [this] {
        if (restarting && port.isEmpty()) {
            failRestart(tr("The simulator %1 named no port.").arg(program));
            process.kill();
        }
    });
}

void Simulator::failRestart(const QString& reason)
{
    if (!restarting)
        return;
    restarting = false;
    error = reason;
    emit failed(error);
}

void Simulator::processEnded(int exitCode, QProcess::ExitStatus status)
{
    if (port.isEmpty()) {
        failRestart(tr("The simulator %1 ended before it named a port.").arg(program));
        return;
    }
    emit ended(status == QProcess::CrashExit ? tr("it was killed") : tr("it exited with code %1").arg(exitCode));
}

void Simulator::readOutput()
{
    if (port.isEmpty()) {
        if (!process.canReadLine())
            return;
        port = QString::fromLocal8Bit(process.readLine()).trimmed();
        if (std::exchange(restarting, false))
            emit ready();
    }
    const QByteArray received = process.readAllStandardOutput();
    std::fwrite(received.constData(), 1, size_t(received.size()), output);
    std::fflush(output);
}
