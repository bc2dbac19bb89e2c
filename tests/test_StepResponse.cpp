// Figures of synthetic step responses, sampled as a step test records them: about 20
// samples a second at jittery times, over 3 s.
#include "core/StepResponse.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <functional>

namespace {

struct Run
{
    QVector<StepSample> samples;
    double start;
    double target;
};

enum class Figure { RiseTime, Overshoot, SettlingTime, SteadyStateError, PeakSpeed, PeakTime };

constexpr double spacing = 0.05;
constexpr double jitter = 0.015;
constexpr double widestGap = spacing + 2 * jitter;
constexpr double tau = 0.3;
// Linear interpolation over a gap g misses an exponential's crossing by about
// g * g / (8 * tau), 3 ms here; a crossing taken at a sample would be off by up to g.
constexpr double crossingTolerance = 0.005;

// Samples position(t) with its derivative as the speed; with noise, positions are whole
// counts plus up to `noise` counts either way.
Run sampled(double start, double target, const std::function<double(double)>& position, int noise = 0)
{
    QRandomGenerator random(7);
    Run run {{}, start, target};
    for (int slot = 1; slot <= 60; ++slot) {
        const double t = slot * spacing + jitter * (2 * random.generateDouble() - 1);
        const double x = noise ? std::round(position(t)) + random.bounded(-noise, noise + 1) : position(t);
        run.samples.append({t, x, (position(t + 1e-6) - position(t - 1e-6)) / 2e-6});
    }
    return run;
}

// Reaches `reach` of the step exponentially: 1 gets to the target.
Run firstOrder(double start, double target, int noise = 0, double reach = 1)
{
    return sampled(start, target, [=](double t) { return start + reach * (target - start) * (1 - std::exp(-t / tau)); }, noise);
}

Run secondOrder(double start, double target, double zeta, double omega)
{
    const double damped = omega * std::sqrt(1 - zeta * zeta);
    return sampled(start, target, [=](double t) {
        return target - (target - start) * std::exp(-zeta * omega * t) * (std::cos(damped * t) + zeta * omega / damped * std::sin(damped * t));
    });
}

Run withSpikeAt(Run run, int slot, double offset)
{
    run.samples[slot - 1].position += offset;
    return run;
}

double valueOf(const StepFigures& figures, Figure figure)
{
    switch (figure) {
    case Figure::RiseTime: return figures.riseTime;
    case Figure::Overshoot: return figures.overshootPercent;
    case Figure::SettlingTime: return figures.settlingTime;
    case Figure::SteadyStateError: return figures.steadyStateError;
    case Figure::PeakSpeed: return figures.peakSpeed;
    case Figure::PeakTime: return figures.peak.x();
    }
    return qQNaN();
}

} // namespace

Q_DECLARE_METATYPE(Run)
Q_DECLARE_METATYPE(Figure)

class TestStepResponse : public QObject
{
    Q_OBJECT

private slots:
    void figures_data()
    {
        QTest::addColumn<Run>("run");
        QTest::addColumn<Figure>("figure");
        QTest::addColumn<double>("expected"); // NaN: the figure must be NaN
        QTest::addColumn<double>("tolerance");

        const double nan = qQNaN();
        const Run up = firstOrder(0, 1000);
        QTest::newRow("first order: rise time 2.197 tau") << up << Figure::RiseTime << tau * std::log(9) << crossingTolerance;
        QTest::newRow("first order: no overshoot") << up << Figure::Overshoot << 0.0 << 0.0;
        QTest::newRow("first order: settling 3.912 tau") << up << Figure::SettlingTime << tau * std::log(50) << crossingTolerance;
        const Run down = firstOrder(1000, 200);
        QTest::newRow("step down: rise time") << down << Figure::RiseTime << tau * std::log(9) << crossingTolerance;
        QTest::newRow("step down: settling time") << down << Figure::SettlingTime << tau * std::log(50) << crossingTolerance;
        // 2.5 counts of noise move a crossing by 2.5 counts / slope: 8 ms at 90% of the
        // step, 40 ms at the 2% band, where the slope is 67 counts/s.
        const Run noisy = firstOrder(0, 1000, 2);
        QTest::newRow("noisy: rise time") << noisy << Figure::RiseTime << tau * std::log(9) << 0.02;
        QTest::newRow("noisy: overshoot within the noise") << noisy << Figure::Overshoot << 0.0 << 0.25;
        QTest::newRow("noisy: settling time") << noisy << Figure::SettlingTime << tau * std::log(50) << widestGap;
        QTest::newRow("noisy: one late sample off the band") << withSpikeAt(noisy, 50, -30) << Figure::SettlingTime << 50 * spacing << widestGap;
        const Run short5 = firstOrder(1000, 200, 0, 0.95);
        QTest::newRow("stops 5% short: rise time") << short5 << Figure::RiseTime << tau * std::log(17) << crossingTolerance;
        QTest::newRow("stops 5% short: never settles") << short5 << Figure::SettlingTime << nan << 0.0;
        QTest::newRow("stops 5% short: steady-state error") << short5 << Figure::SteadyStateError << -40.0 << 0.5;
        // The highest sample lies within half a gap of the true peak, where the response
        // bends at omega^2 times its excursion: it falls short by that share of the peak.
        const double zeta = 0.3, omega = 6, damped = omega * std::sqrt(1 - zeta * zeta);
        const double peakMiss = omega * omega * std::pow(widestGap / 2, 2) / 2;
        const double overshoot = 100 * std::exp(-zeta * M_PI / std::sqrt(1 - zeta * zeta)); // 37.2%
        const double peakSpeed = 1000 * omega * std::exp(-zeta * std::acos(zeta) / std::sqrt(1 - zeta * zeta));
        const Run ringing = secondOrder(0, 1000, zeta, omega);
        QTest::newRow("underdamped: overshoot") << ringing << Figure::Overshoot << overshoot << overshoot * peakMiss;
        QTest::newRow("underdamped: peak time") << ringing << Figure::PeakTime << M_PI / damped << widestGap / 2;
        QTest::newRow("underdamped: peak speed") << ringing << Figure::PeakSpeed << peakSpeed << peakSpeed * peakMiss;
        QTest::newRow("underdamped down: overshoot") << secondOrder(500, -500, zeta, omega) << Figure::Overshoot << overshoot << overshoot * peakMiss;
        const Run oscillating = sampled(0, 1000, [](double t) { return 1000 - 200 * std::cos(2 * M_PI * 2 * t); });
        QTest::newRow("sustained oscillation: never settles") << oscillating << Figure::SettlingTime << nan << 0.0;

        const Run still = sampled(500, 500, [](double) { return 503; });
        QTest::newRow("zero step: no overshoot") << still << Figure::Overshoot << nan << 0.0;
        QTest::newRow("zero step: steady-state error") << still << Figure::SteadyStateError << -3.0 << 0.0;
        const Run empty {{}, 0, 1000};
        QTest::newRow("no samples: no steady-state error") << empty << Figure::SteadyStateError << nan << 0.0;
        // Crossings before the first sample are interpolated from the start at t = 0.
        const Run single {{{0.1, 1000, 0}}, 0, 1000};
        QTest::newRow("one sample: rise time") << single << Figure::RiseTime << 0.08 << 1e-12;
        QTest::newRow("one sample: settling time") << single << Figure::SettlingTime << 0.098 << 1e-12;
    }

    void figures()
    {
        QFETCH(Run, run);
        QFETCH(Figure, figure);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        const double actual = valueOf(analyzeStepResponse(run.samples, run.start, run.target), figure);
        if (std::isnan(expected))
            QVERIFY2(std::isnan(actual), qPrintable(QString::number(actual)));
        else
            QVERIFY2(std::abs(actual - expected) <= tolerance,
                     qPrintable(QStringLiteral("%1, expected %2 +- %3").arg(actual).arg(expected).arg(tolerance)));
    }
};

QTEST_GUILESS_MAIN(TestStepResponse)
#include "test_StepResponse.moc"
