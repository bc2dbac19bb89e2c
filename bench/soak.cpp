// The soak: the tool's main window, headless, connected to drive-sim at the full
// polling rate for a while, measured from inside.
//
//   soak [--seconds N] [--sim PATH] [--check] [--max-growth-kib K]
//
// Reports the CPU time of the tool (this process; the simulator is not counted) as a
// share of one core, its peak resident memory and its growth after the first minute
// (after the first 20% of shorter runs), the gaps between frames sent by the link's
// 10 ms transmit tick while frames waited, and the link's longest transmit queue. With --check it
// exits with 1 when the queue went above its bound, the memory grew more than K KiB or
// no replies came back.
#include "core/DriveLink.h"
#include "ui/MainWindow.h"
#include "support/ResidentMemory.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QProcess>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

// The polling tick stops asking above 64 waiting frames and then adds its 4.
constexpr int QueueBound = 64 + 4;
constexpr int TickMs = 10;

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakResidentKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Gaps between consecutive ticks in 0.1 ms steps up to 1 s, counted without allocating
// while the run is measured.
class GapHistogram
{
public:
    void add(qint64 gapNs)
    {
        const qint64 step = std::min<qint64>(gapNs / 100000, Steps - 1);
        ++counts[size_t(step)];
        ++total;
        longest = std::max(longest, gapNs);
    }
    // The gap below which the given share of all gaps lie, in ms.
    double quantileMs(double share) const
    {
        const qint64 wanted = qint64(share * double(total));
        qint64 seen = 0;
        for (int step = 0; step < Steps; ++step) {
            seen += counts[size_t(step)];
            if (seen > wanted)
                return (step + 1) / 10.0;
        }
        return longestMs();
    }
    double longestMs() const { return longest / 1e6; }
    qint64 countAtLeastMs(int ms) const
    {
        qint64 seen = 0;
        for (int step = ms * 10; step < Steps; ++step)
            seen += counts[size_t(step)];
        return seen;
    }
    qint64 count() const { return total; }

private:
    static constexpr int Steps = 10000;
    std::array<qint64, Steps> counts {};
    qint64 total = 0;
    qint64 longest = 0;
};

// Watches a link from outside, through the frames it sends and receives. A gap between
// two sends is a transmit tick's only while frames waited after the first of them: the
// tick stops when the queue runs empty.
class LinkWatch : public QObject
{
public:
    explicit LinkWatch(DriveLink& link)
    {
        connect(&link, &DriveLink::frameSent, this, [this, &link] {
            const qint64 now = clock.nsecsElapsed();
            if (measuring && lastSend >= 0)
                gaps.add(now - lastSend);
            const int waiting = int(link.transmitQueue().size());
            longestQueue = std::max(longestQueue, waiting + 1);
            lastSend = waiting > 0 ? now : -1;
        });
        connect(&link, &DriveLink::frameReceived, this, [this](const SerialMessage& frame) {
            if (frame.bytes[SerialMessage::Type] == SerialMessage::VariableType)
                ++variableReplies;
            else if (frame.bytes[SerialMessage::Type] == SerialMessage::LiveValueType)
                ++liveValueReplies;
        });
        clock.start();
    }

    bool measuring = false;
    GapHistogram gaps;
    int longestQueue = 0;
    long variableReplies = 0;
    long liveValueReplies = 0;

private:
    QElapsedTimer clock;
    qint64 lastSend = -1;
};

QString defaultSimulator()
{
    const QString fromEnvironment = QString::fromLocal8Bit(qgetenv("DRIVE_SIM"));
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/drive-sim");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The tool connected to drive-sim for a while, measured."));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"), QStringLiteral("Length of the run."),
                                           QStringLiteral("N"), QStringLiteral("600"));
    const QCommandLineOption simOption(QStringLiteral("sim"), QStringLiteral("The simulator to start."),
                                       QStringLiteral("PATH"));
    const QCommandLineOption checkOption(QStringLiteral("check"),
                                         QStringLiteral("Exit with 1 when a bound is broken."));
    const QCommandLineOption growthOption(QStringLiteral("max-growth-kib"),
                                          QStringLiteral("Memory growth allowed by --check."),
                                          QStringLiteral("K"), QStringLiteral("16384"));
    parser.addOptions({secondsOption, simOption, checkOption, growthOption});
    parser.process(app);
    const int seconds = std::max(1, parser.value(secondsOption).toInt());
    const QString simulator = parser.isSet(simOption) ? parser.value(simOption) : defaultSimulator();
    // Past the graphs filling up (501 samples at 20 a second) and the first full sweeps.
    const int warmUpSeconds = std::min(60, std::max(1, seconds / 5));

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(simulator, QStringList());
    if (!sim.waitForStarted(10000)) {
        std::fprintf(stderr, "soak: cannot start %s: %s\n", qPrintable(simulator), qPrintable(sim.errorString()));
        return 2;
    }
    QElapsedTimer startClock;
    startClock.start();
    while (!sim.canReadLine() && startClock.elapsed() < 10000)
        sim.waitForReadyRead(100);
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    // Robot commands the simulator reports are not needed; reading them keeps its pipe open.
    QObject::connect(&sim, &QProcess::readyReadStandardOutput, [&sim] { sim.readAllStandardOutput(); });

    DriveLink link;
    MainWindow window(link);
    LinkWatch watch(link);
    // The operator watches a motor: its tab is visible, so values and graph repaint.
    window.form().tabWidget->setCurrentWidget(window.form().tab_1);
    window.resize(1307, 807);
    window.show();
    if (port.isEmpty()) {
        std::fprintf(stderr, "soak: the simulator named no port\n");
        return 2;
    }
    window.addPort(port);
    window.form().pushButton_Connect->click();
    if (!link.isConnected()) {
        std::fprintf(stderr, "soak: cannot connect to the simulator's port \"%s\"\n", qPrintable(port));
        return 2;
    }

    const double cpuAtStart = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    watch.measuring = true;

    long residentAtWarmUp = 0;
    long residentAfterWarmUp = 0;
    long residentAtEnd = 0;
    long residentPeak = 0;
    int elapsed = 0;
    QTimer everySecond;
    QObject::connect(&everySecond, &QTimer::timeout, [&] {
        ++elapsed;
        const long resident = residentKiB();
        residentPeak = std::max(residentPeak, resident);
        if (elapsed == warmUpSeconds)
            residentAtWarmUp = resident;
        if (elapsed >= warmUpSeconds)
            residentAfterWarmUp = std::max(residentAfterWarmUp, resident);
        if (elapsed >= seconds || !link.isConnected()) {
            residentAtEnd = resident;
            app.quit();
        }
    });
    everySecond.start(1000);
    app.exec();

    const double wallSeconds = wall.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuAtStart;
    const bool linkHeld = link.isConnected();
    watch.measuring = false;
    window.form().pushButton_Disconnect->click();
    sim.terminate();
    sim.waitForFinished(5000);

    const long growth = residentAtEnd - residentAtWarmUp;
    const long growthMax = residentAfterWarmUp - residentAtWarmUp;
    const double repliesPerSecond = double(watch.variableReplies + watch.liveValueReplies) / wallSeconds;
    std::printf("soak_seconds %.1f\n", wallSeconds);
    std::printf("cpu_pct_of_core %.2f\n", 100.0 * cpu / wallSeconds);
    // The kernel's high-water mark lags behind the pages it counts; a sample may be higher.
    std::printf("peak_rss_kib %ld\n", std::max(peakResidentKiB(), residentPeak));
    std::printf("rss_at_warmup_kib %ld (after %d s)\n", residentAtWarmUp, warmUpSeconds);
    std::printf("rss_growth_kib %ld\n", growth);
    std::printf("rss_growth_max_kib %ld\n", growthMax);
    std::printf("tx_ticks %lld\n", watch.gaps.count());
    std::printf("tx_tick_gap_median_ms %.1f\n", watch.gaps.quantileMs(0.5));
    std::printf("tx_tick_gap_p99_ms %.1f\n", watch.gaps.quantileMs(0.99));
    std::printf("tx_tick_gap_longest_ms %.1f\n", watch.gaps.longestMs());
    std::printf("tx_tick_lateness_longest_ms %.1f\n", std::max(0.0, watch.gaps.longestMs() - TickMs));
    std::printf("tx_ticks_late_100ms %lld\n", watch.gaps.countAtLeastMs(TickMs + 100));
    std::printf("tx_queue_longest %d (bound %d)\n", watch.longestQueue, QueueBound);
    std::printf("replies_per_second %.1f (variable %ld, live values %ld)\n", repliesPerSecond,
                watch.variableReplies, watch.liveValueReplies);

    std::fflush(stdout);
    if (!parser.isSet(checkOption))
        return 0;
    bool held = true;
    const auto broken = [&held](const char* what) {
        std::printf("broken: %s\n", what);
        held = false;
    };
    if (!linkHeld)
        broken("the connection was lost");
    if (watch.longestQueue > QueueBound)
        broken("the transmit queue went above its bound");
    if (watch.variableReplies == 0 || watch.liveValueReplies == 0)
        broken("no replies came back");
#ifdef SOAK_ADDRESS_SANITIZER
    std::printf("memory growth not checked: AddressSanitizer keeps freed memory in quarantine\n");
#else
    if (std::max(growth, growthMax) > parser.value(growthOption).toLong())
        broken("memory grew beyond the limit");
#endif
    std::fflush(stdout);
    return held ? 0 : 1;
}
