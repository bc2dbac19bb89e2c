#pragma once

#include <QPointF>
#include <QVector>
#include <QtNumeric>

// One recorded sample of a step test; time in seconds since the new SetPoint was written.
struct StepSample
{
    double time;
    double position;
    double speed;
};

// The figures of one step response. A figure that cannot be measured is NaN, and so
// are both coordinates of a marker that does not exist.
struct StepFigures
{
    // From the first crossing of 10% of the step to the first crossing of 90%, in s.
    double riseTime = qQNaN();
    // Largest excursion past the target in the step's direction, in % of |step|; 0 if none.
    double overshootPercent = qQNaN();
    // From t = 0 until the response enters the band around the target and stays in it to
    // the last sample, in s.
    double settlingTime = qQNaN();
    // Target minus the mean position over the last 10% of the run (at least one sample).
    double steadyStateError = qQNaN();
    // Largest |speed|.
    double peakSpeed = qQNaN();

    // Markers for a position/time plot: (time, position).
    QPointF riseStart {qQNaN(), qQNaN()}; // the 10% crossing
    QPointF riseEnd {qQNaN(), qQNaN()};   // the 90% crossing
    QPointF peak {qQNaN(), qQNaN()};      // the sample farthest in the step's direction
    QPointF settled {qQNaN(), qQNaN()};   // where the response enters the band for good
    // Marker for a speed/time plot: (time, speed) of the sample with the largest |speed|.
    QPointF fastest {qQNaN(), qQNaN()};
};

// Measures the response to a step from `start` (the position at t = 0) to `target`,
// from samples in time order. The band is +-bandPercent% of |step| around the target.
//
// Crossings are interpolated linearly between samples, so rise and settling times are
// not whole multiples of the sample spacing; before the first sample the response is
// taken to be at `start` at t = 0. The peak is the highest sample, not interpolated.
//
// Settling follows the usual definition: any sample outside the band, even one noisy
// sample near the end, means the response had not settled before it. A run that ends
// with a sample outside the band has not settled (NaN); one that merely passes through
// the band at its very end is reported as settling there, so a settling time close to
// the run's length deserves a longer run.
//
// A zero step (start == target) has no rise time, overshoot or settling time (NaN);
// the steady-state error and the peak speed are still measured. Without samples every
// figure is NaN.
StepFigures analyzeStepResponse(const QVector<StepSample>& samples, double start, double target,
                                double bandPercent = 2.0);
