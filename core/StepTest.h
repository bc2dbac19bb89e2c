#pragma once

#include "core/StepResponse.h"

#include <QObject>
#include <QString>
#include <QVector>

class DriveLink;
class QTimer;

// What the operator asks of a step test.
struct StepSettings
{
    double target = 0;
    int durationMs = 3000;
    double bandPercent = 2.0;
    // When the run ends, however it ends, write back the set-point it started from.
    bool returnToStart = true;
};

// One run of a step test and what it measured. Times are seconds since the new
// SetPoint went on the line; positions and speeds as received.
struct StepRun
{
    int board = 0;
    int motor = 0;
    StepSettings settings;
    double startSetPoint = 0;
    double startPosition = 0; // when the new SetPoint went on the line
    double kp = 0;            // the gains in the mirror when the run started
    double ki = 0;
    double kd = 0;
    QVector<StepSample> samples;
    StepFigures figures;

    QString gains() const;
    // The board, the motor and the gains: what tells a run apart from those of other motors.
    QString title() const;
    // The run in the SampleCsv layout, the target as the set-point.
    QByteArray csv() const;
};

// The step test of one motor. A run first reads the motor's set-point, its source, its
// bounds and its gains afresh from the board, so that a gain written just before counts
// and is the one the run is labelled with; then it writes the target SetPoint through
// the link, collects the motor's position and speed from every position broadcast for
// the chosen duration, and measures the response. A run ends early, without figures,
// when the operator stops it, the connection closes or another board is selected.
class StepTest : public QObject
{
    Q_OBJECT

public:
    // SetPointSrc value of a motor that follows the SetPoint written over the serial line.
    static constexpr int SerialSetPointSource = 0;
    // How long the board may take to answer the reads before the step.
    static constexpr int ReadTimeoutMs = 3000;

    StepTest(DriveLink& link, int motor, QObject* parent = nullptr);

    int motorNumber() const { return motor; }
    // Why a run with these settings cannot start now, after the values in the mirror, in
    // words for the operator; empty when it can.
    QString refusal(const StepSettings& settings) const;
    // Starts a run unless refusal() objects; false when it does. The run is refused
    // later (refused) when the values read afresh object.
    bool start(const StepSettings& settings);
    // Ends the run at once, returning the set-point when the settings say so.
    void stop();
    bool isRunning() const { return running; }
    // The run in progress, or the last one.
    const StepRun& run() const { return current; }

signals:
    // A sample was added to the run; seconds since the step.
    void progressed(double seconds);
    void finished(const StepRun& run);
    void stopped();
    // The run ended early for a reason the operator did not choose.
    void failed(const QString& message);
    // The values read before the step forbid it; nothing was written.
    void refused(const QString& message);

private:
    QString objection(const StepSettings& settings) const;
    void readWindow(int board, int address);
    void step();
    void startClockWhenSent();
    void collectSample();
    void finish();
    void end(bool restoreSetPoint);
    void abort(const QString& message);

    DriveLink& link;
    const int motor;
    QTimer* timer = nullptr; // the reads' timeout, then the run's duration
    StepRun current;
    bool running = false;
    QList<int> unread; // windows still to be read before the step
    bool stepSent = false;
    qint64 stepFrame = 0; // the link's number of the step's SetPoint write; 0 before it is queued
    double stepSeconds = 0; // the link's clock when the step went on the line
};
