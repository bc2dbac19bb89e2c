#pragma once

#include "sim/LineFramer.h"
#include "sim/SimulatedBoard.h"

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QSocketNotifier;

// The far end of the serial line on a pseudo-terminal: the tool opens the slave side,
// this end reads the master, hands "can" frames to the boards and robot command frames
// to whoever listens, and writes the boards' replies back. The slave stays open here
// too, so the tool may close and reopen it without the master hanging up.
class SimulatedLine : public QObject
{
    Q_OBJECT

public:
    static constexpr int ControlPeriodMs = 10;

    // noiseRate: chance, 0 to 1, of a burst of random bytes before each reply. Noise
    // never holds the letter "c", so it can neither start nor complete a header.
    SimulatedLine(std::vector<std::unique_ptr<SimulatedBoard>> boards, double noiseRate,
                  quint32 seed, QObject* parent = nullptr);
    ~SimulatedLine() override;

    // Opens the pseudo-terminal; on failure errorString() says why.
    bool open();
    QString slavePath() const { return path; }
    QString errorString() const { return error; }

signals:
    void robotCommand(const QString& line);

private:
    void readMaster();
    void writeMaster();
    void send(const SerialMessage& reply);
    QByteArray noise();

    std::vector<std::unique_ptr<SimulatedBoard>> boards;
    double noiseRate;
    QRandomGenerator random;
    LineFramer framer;
    QTimer controlTimer;
    int master = -1;
    int slave = -1;
    QString path;
    QString error;
    QByteArray outgoing;
    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
};
