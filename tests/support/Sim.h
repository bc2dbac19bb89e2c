#pragma once

#include <QProcess>
#include <QString>

// drive-sim (the path in DRIVE_SIM) on a pseudo-terminal of its own; it ends with this
// object.
class Sim
{
public:
    explicit Sim(const QStringList& arguments = {});
    ~Sim();
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    // The device to connect to; empty when the simulator did not start.
    QString port() const { return device; }
    // SIGSTOP holds the boards silent, SIGCONT lets them answer again, SIGKILL ends them.
    void signal(int number);

private:
    QProcess process;
    QString device;
};
