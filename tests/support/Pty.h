#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal in raw mode: the test plays the far end on the master side while
// the program opens the slave path with QSerialPort, so the real port code runs.
class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    QString slavePath() const { return path; }
    // The far end's descriptor (non-blocking), for a writer on a thread of its own.
    int masterFd() const { return master; }
    void write(const QByteArray& bytes);
    // Reads what the program wrote, processing events, until count bytes or timeoutMs.
    QByteArray read(int count, int timeoutMs = 5000);
    // Everything the program wrote within waitMs, processing events meanwhile.
    QByteArray readFor(int waitMs);
    // Hangs up the far end, as a pulled adapter does.
    void closeMaster();

private:
    QByteArray readAvailable();

    int master = -1;
    int slave = -1;
    QString path;
};
