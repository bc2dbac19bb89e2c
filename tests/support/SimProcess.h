#pragma once

#include <QProcess>
#include <QStringList>

// One run of the simulated boards (drive-sim, found by the environment's DRIVE_SIM);
// it ends with this object.
class SimProcess
{
public:
    explicit SimProcess(const QStringList& arguments = {});
    ~SimProcess();

    // The device to connect to; empty when the simulator did not start.
    QString port() const { return device; }
    // The robot commands it printed so far.
    QStringList commands();
    // Sends it a signal (a stop, a kill) as the operator's system would.
    void signal(int number);
    // Sends it a signal and waits for it to end; false if it still runs.
    bool end(int number);
    // Stops it as a user does, with SIGTERM; true if it then ended cleanly.
    bool stop();

private:
    QProcess process;
    QString device;
    QString output;
};
