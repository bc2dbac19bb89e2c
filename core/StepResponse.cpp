#include "core/StepResponse.h"

#include <algorithm>
#include <cmath>

namespace {

const QPointF noMarker {qQNaN(), qQNaN()};

// The time at which the straight line from (t0, x0) to (t1, x1) reaches x. A point
// with no earlier time to interpolate from gives its own time.
double interpolateTime(double t0, double x0, double t1, double x1, double x)
{
    if (t1 <= t0)
        return t1;
    return t0 + (x - x0) / (x1 - x0) * (t1 - t0);
}

// The first time the response reaches `fraction` of the step. Progress is measured
// along the step, so one comparison serves steps up and down.
QPointF firstCrossing(const QVector<StepSample>& samples, double start, double step, double fraction)
{
    double previousTime = 0;
    double previousProgress = 0;
    for (const StepSample& sample : samples) {
        const double progress = (sample.position - start) / step;
        if (progress >= fraction)
            return {interpolateTime(previousTime, previousProgress, sample.time, progress, fraction),
                    start + fraction * step};
        previousTime = sample.time;
        previousProgress = progress;
    }
    return noMarker;
}

// Where the response enters the band for the last time: the crossing of the band's
// edge between the last sample outside it and the first one after it.
QPointF settlingPoint(const QVector<StepSample>& samples, double start, double target, double band)
{
    const auto outside = [&](double position) { return std::abs(position - target) > band; };
    int last = samples.size() - 1;
    if (outside(samples[last].position))
        return noMarker;
    while (last > 0 && !outside(samples[last - 1].position))
        --last;
    const StepSample& inside = samples[last];
    const bool fromOrigin = last == 0;
    const double time = fromOrigin ? 0.0 : samples[last - 1].time;
    const double position = fromOrigin ? start : samples[last - 1].position;
    if (!outside(position))
        return {time, position};
    const double edge = position > target ? target + band : target - band;
    return {interpolateTime(time, position, inside.time, inside.position, edge), edge};
}

double meanOfLastTenthPosition(const QVector<StepSample>& samples)
{
    const double from = 0.9 * samples.last().time;
    double sum = 0;
    int count = 0;
    for (int i = samples.size() - 1; i >= 0 && (count == 0 || samples[i].time >= from); --i) {
        sum += samples[i].position;
        ++count;
    }
    return sum / count;
}

} // namespace

StepFigures analyzeStepResponse(const QVector<StepSample>& samples, double start, double target,
                                double bandPercent)
{
    StepFigures figures;
    if (samples.isEmpty())
        return figures;

    figures.steadyStateError = target - meanOfLastTenthPosition(samples);
    for (const StepSample& sample : samples) {
        if (std::isnan(figures.peakSpeed) || std::abs(sample.speed) > figures.peakSpeed) {
            figures.peakSpeed = std::abs(sample.speed);
            figures.fastest = {sample.time, sample.speed};
        }
    }

    const double step = target - start;
    if (step == 0)
        return figures;

    figures.riseStart = firstCrossing(samples, start, step, 0.1);
    figures.riseEnd = firstCrossing(samples, start, step, 0.9);
    figures.riseTime = figures.riseEnd.x() - figures.riseStart.x();

    double peakProgress = -qInf();
    for (const StepSample& sample : samples) {
        const double progress = (sample.position - start) / step;
        if (progress > peakProgress) {
            peakProgress = progress;
            figures.peak = {sample.time, sample.position};
        }
    }
    figures.overshootPercent = std::max(0.0, (peakProgress - 1) * 100);

    figures.settled = settlingPoint(samples, start, target, bandPercent / 100 * std::abs(step));
    figures.settlingTime = figures.settled.x();
    return figures;
}
