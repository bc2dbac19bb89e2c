#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QProcess>
#include <QString>

#include <cstdio>

// A child process that gets SIGTERM when the process that started it dies, even by
// SIGKILL, so that it is never left behind holding its resources (Linux; elsewhere a
// plain QProcess).
class ChildProcess : public QProcess
{
    Q_OBJECT

protected:
    void setupChildProcess() override;

private:
    const qint64 parentId = QCoreApplication::applicationPid();
};

// The simulated boards (drive-sim) started beside the tool for --simulate. The
// simulator prints its port as its first line; what it prints after that (the robot
// commands it received) is passed on to standard output, or to the stream given. It ends
// with this object, or with the tool's process; one that ends before is reported, and
// can be started again.
class Simulator : public QObject
{
    Q_OBJECT

public:
    explicit Simulator(QObject* parent = nullptr, std::FILE* output = stdout);
    ~Simulator() override;

    // The simulated boards' EEPROM file in the user's data folder, for drive-sim's
    // --eeprom: what Save EEPROM saved is there at the next start, as on real boards.
    static QString userEepromFile();

    // Starts the simulator found at program and waits for its port; false with
    // errorString() set when it does not start or name a port within timeoutMs.
    bool start(const QString& program, const QStringList& arguments, int timeoutMs = 10000);
    // Starts the simulator of the last start() again, without waiting: ready() or
    // failed() follows.
    void restart(int timeoutMs = 10000);
    bool isRunning() const { return process.state() != QProcess::NotRunning; }
    qint64 processId() const { return process.processId(); }
    QString portName() const { return port; }
    QString errorString() const { return error; }

signals:
    // A started simulator ended; how, in words for the operator.
    void ended(const QString& how);
    // restart() named a new port.
    void ready();
    void failed(const QString& error);

private:
    void readOutput();
    void processEnded(int exitCode, QProcess::ExitStatus status);
    void failRestart(const QString& reason);

    ChildProcess process;
    std::FILE* output;
    QString program;
    QStringList arguments;
    QString port;
    QString error;
    bool restarting = false;
};
