// Throughput of the framing: one read of received bytes through Framer, each frame
// emitted as a Qt signal to a receiver that counts it, as SerialDriver hands its frames
// to the main window. Reads of 1 KiB to 16 MiB, clean or with 10% noise between frames.
//
// Each read is a whole number of frames and noise runs, so the framer starts every read
// at a frame boundary and the count of frames per read is known; a read that yields a
// different count fails the benchmark.
//
// Counters: bytes_per_second; frames per read; x_line, the throughput as a multiple of
// what the line can carry (57 600 baud = 5 760 bytes a second); noise_pct, the share
// of noise bytes in the read.
//
//   build/bin/bench_framing
#include "protocol/Framer.h"

#include <benchmark/benchmark.h>

#include <QObject>

#include <random>

namespace {

constexpr double LineBytesPerSecond = 5760;

// Plays SerialDriver's part: the framer's frames leave through a signal.
class Emitter : public QObject
{
    Q_OBJECT
signals:
    void messageReady(const SerialMessage& message);
};

class Counter : public QObject
{
    Q_OBJECT
public slots:
    void count(const SerialMessage& message)
    {
        ++frames;
        checksum += message.bytes[SerialMessage::Cmd];
    }

public:
    long frames = 0;
    unsigned checksum = 0;
};

struct Read
{
    QByteArray bytes;
    long frames = 0;
    long noise = 0;
};

// Frames with random payloads (a "can" among them does not matter: frames are cut by
// position); before each frame, with a chance that makes noise about noiseShare of the
// bytes, a run of 1 to 6 noise bytes that never contains "c", as drive-sim's noise.
Read makeRead(int size, double noiseShare)
{
    std::mt19937 random(size);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> runLength(1, 6);
    // Mean run 3.5 bytes: share = 3.5 p / (16 + 3.5 p).
    const double runChance = noiseShare * SerialMessage::FrameSize / (3.5 * (1 - noiseShare));
    std::bernoulli_distribution run(runChance);

    Read read;
    read.bytes.reserve(size);
    QByteArray unit;
    for (;;) {
        unit.clear();
        if (noiseShare > 0 && run(random)) {
            for (int n = runLength(random); n > 0; --n) {
                int value = byte(random);
                while (value == 'c')
                    value = byte(random);
                unit.append(char(value));
            }
        }
        const int noise = unit.size();
        unit.append("can", 3);
        for (int i = 3; i < SerialMessage::FrameSize; ++i)
            unit.append(char(byte(random)));
        if (read.bytes.size() + unit.size() > size)
            break;
        read.bytes.append(unit);
        read.noise += noise;
        ++read.frames;
    }
    // Fill up to the exact size with noise, which the framer drops at the end of the read.
    while (read.bytes.size() < size) {
        read.bytes.append('x');
        ++read.noise;
    }
    return read;
}

void BM_Framing(benchmark::State& state, double noiseShare)
{
    const int size = int(state.range(0));
    const Read read = makeRead(size, noiseShare);
    Emitter emitter;
    Counter counter;
    QObject::connect(&emitter, &Emitter::messageReady, &counter, &Counter::count);
    Framer framer;

    for (auto _ : state) {
        const long before = counter.frames;
        framer.feed(read.bytes.constData(), read.bytes.size(),
                    [&emitter](const SerialMessage& frame) { emit emitter.messageReady(frame); });
        if (counter.frames - before != read.frames) {
            state.SkipWithError("a frame was lost or invented");
            break;
        }
    }
    benchmark::DoNotOptimize(counter.checksum);
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.counters["frames"] = double(read.frames);
    state.counters["noise_pct"] = 100.0 * double(read.noise) / size;
    state.counters["x_line"] =
        benchmark::Counter(double(size) / LineBytesPerSecond, benchmark::Counter::kIsIterationInvariantRate);
}

void sizes(benchmark::internal::Benchmark* benchmark)
{
    for (int size : {1 << 10, 64 << 10, 1 << 20, 16 << 20})
        benchmark->Arg(size);
}

} // namespace

BENCHMARK_CAPTURE(BM_Framing, Clean, 0.0)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Framing, Noise10, 0.1)->Apply(sizes)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

#include "bench_framing.moc"
