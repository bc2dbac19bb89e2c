#include "core/StepTest.h"

#include "core/DriveLink.h"
#include "core/SampleCsv.h"

#include <QTimer>

#include <cmath>

using namespace SharedVariables;

QString StepRun::gains() const
{
    return QStringLiteral("Kp %1, Ki %2, Kd %3").arg(kp).arg(ki).arg(kd);
}

namespace {

QString figureText(const char* name, double value, int decimals, const char* unit)
{
    return QLatin1String(name) + QLatin1Char(' ')
        + (std::isnan(value) ? QStringLiteral("none") : QString::number(value, 'f', decimals) + QLatin1String(unit));
}

} // namespace

QString StepRun::title() const
{
    return QStringLiteral("board 0x%1, motor %2, %3").arg(board, 2, 16, QLatin1Char('0')).arg(motor).arg(gains());
}

QByteArray StepRun::csv() const
{
    // What the run was and what it measured go in event lines, before and after its
    // samples, so that the file says which gains gave these figures.
    QByteArray text = SampleCsv::header();
    text += SampleCsv::eventRow(0, board,
                                QStringLiteral("step of motor %1 from %2 to %3 with %4, band %5%")
                                    .arg(motor)
                                    .arg(startPosition)
                                    .arg(settings.target)
                                    .arg(gains())
                                    .arg(settings.bandPercent));
    const int target = qRound(settings.target);
    for (const StepSample& sample : samples)
        text += SampleCsv::row(sample.time, board, motor, qRound(sample.position), target, qRound(sample.speed));
    const QStringList measured {figureText("rise time", figures.riseTime, 3, " s"),
                                figureText("overshoot", figures.overshootPercent, 1, "%"),
                                figureText("settling time", figures.settlingTime, 3, " s"),
                                figureText("steady-state error", figures.steadyStateError, 1, ""),
                                figureText("peak speed", figures.peakSpeed, 0, "")};
    text += SampleCsv::eventRow(samples.isEmpty() ? 0 : samples.last().time, board,
                                measured.join(QStringLiteral("; ")));
    return text;
}

StepTest::StepTest(DriveLink& link, int motor, QObject* parent)
    : QObject(parent), link(link), motor(motor)
{
    timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] {
        if (unread.isEmpty())
            finish();
        else
            abort(tr("Board %1 did not answer, so the step test of motor %2 did not start.")
                      .arg(current.board)
                      .arg(this->motor));
    });
    connect(&link, &DriveLink::windowRead, this, &StepTest::readWindow);
    connect(&link, &DriveLink::frameSent, this, &StepTest::startClockWhenSent);
    connect(&link, &DriveLink::samplesAppended, this, &StepTest::collectSample);
    connect(&link, &DriveLink::disconnected, this, [this] {
        abort(tr("The connection closed, so the step test of motor %1 ended. The set-point stays where the "
                 "board last had it.")
                  .arg(this->motor));
    });
    connect(&link, &DriveLink::boardSelected, this, [this] {
        abort(tr("Another board was selected, so the step test of motor %1 of board %2 ended without "
                 "writing its set-point back.")
                  .arg(this->motor)
                  .arg(current.board));
    });
}

QString StepTest::refusal(const StepSettings& settings) const
{
    if (running)
        return tr("A step test of motor %1 is running. Stop it first.").arg(motor);
    return objection(settings);
}

QString StepTest::objection(const StepSettings& settings) const
{
    if (!link.isConnected())
        return tr("Connect to a board first.");
    const Block& mirror = link.mirror();
    const int source = mirror.u8(address(motor, SetPointSrc));
    if (source != SerialSetPointSource)
        return tr("Motor %1 takes its set-point from source %2 (SetPointSrc), not from this tool. Set "
                  "SetPointSrc to %3 and try again.")
            .arg(motor)
            .arg(source)
            .arg(SerialSetPointSource);
    const int low = mirror.s16(address(motor, SetPointMin));
    const int high = mirror.s16(address(motor, SetPointMax));
    if (settings.target < low || settings.target > high)
        return tr("The target must lie between SetPointMin %1 and SetPointMax %2.").arg(low).arg(high);
    // Such a run would measure noise, not a response.
    const int setPoint = mirror.s16(address(motor, SetPoint));
    if (settings.target == setPoint)
        return tr("Motor %1 already holds SetPoint %2. Choose another target.").arg(motor).arg(setPoint);
    if (settings.durationMs <= 0)
        return tr("Choose a duration longer than zero.");
    return {};
}

bool StepTest::start(const StepSettings& settings)
{
    if (!refusal(settings).isEmpty())
        return false;
    current = StepRun();
    current.board = link.board();
    current.motor = motor;
    current.settings = settings;
    running = true;
    stepSent = false;
    stepFrame = 0;
    // The windows of SetPointSrc and SetPoint, of the bounds, and of the three gains.
    unread.clear();
    for (Index index : {SetPointSrc, SetPointMax, pid_Kp, pid_Ki, pid_Kd}) {
        const int window = address(motor, index) / WindowSize * WindowSize;
        if (!unread.contains(window)) {
            unread.append(window);
            link.requestWindow(window);
        }
    }
    timer->start(ReadTimeoutMs);
    return true;
}

void StepTest::readWindow(int board, int address)
{
    if (!running || unread.isEmpty() || board != current.board)
        return;
    unread.removeOne(address);
    if (unread.isEmpty())
        step();
}

void StepTest::step()
{
    timer->stop();
    const QString objected = objection(current.settings);
    if (!objected.isEmpty()) {
        running = false;
        emit refused(objected);
        return;
    }
    const Block& mirror = link.mirror();
    current.startSetPoint = mirror.s16(address(motor, SetPoint));
    current.kp = double(mirror.f32(address(motor, pid_Kp)));
    current.ki = double(mirror.f32(address(motor, pid_Ki)));
    current.kd = double(mirror.f32(address(motor, pid_Kd)));
    stepFrame = link.writeParameter(SetPoint, motor, current.settings.target);
}

// The run's clock starts when the write leaves, not when it was queued behind polling
// (or behind the previous run's return to its start).
void StepTest::startClockWhenSent()
{
    if (!running || stepSent || stepFrame == 0 || link.lastSentFrame() < stepFrame)
        return;
    stepSent = true;
    stepSeconds = link.clockSeconds();
    current.startPosition = link.mirror().s16(address(motor, Position));
    timer->start(current.settings.durationMs);
}

void StepTest::collectSample()
{
    if (!running || !stepSent)
        return;
    const MotorSamples& samples = link.samples(motor);
    const int newest = samples.size() - 1;
    const double seconds = samples.time.at(newest) - stepSeconds;
    current.samples.append({seconds, samples.position.at(newest), samples.speed.at(newest)});
    emit progressed(seconds);
}

void StepTest::finish()
{
    current.figures = analyzeStepResponse(current.samples, current.startPosition, current.settings.target,
                                          current.settings.bandPercent);
    end(current.settings.returnToStart);
    emit finished(current);
}

void StepTest::stop()
{
    if (!running)
        return;
    end(current.settings.returnToStart);
    emit stopped();
}

void StepTest::abort(const QString& message)
{
    if (!running)
        return;
    // No write: the link is closed, or it now writes to another board.
    end(false);
    emit failed(message);
}

void StepTest::end(bool restoreSetPoint)
{
    running = false;
    timer->stop();
    // Before the step went out there is nothing to take back.
    const bool stepped = unread.isEmpty();
    unread.clear();
    if (restoreSetPoint && stepped)
        link.writeParameter(SetPoint, motor, current.startSetPoint);
}
