#include "sim/SimulatedLine.h"

#include "protocol/RobotCommandLine.h"

#include <QSocketNotifier>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int NoiseBurstMax = 6;
constexpr unsigned char HeaderStart = 'c';

} // namespace

SimulatedLine::SimulatedLine(std::vector<std::unique_ptr<SimulatedBoard>> boards, double noiseRate,
                             quint32 seed, QObject* parent)
    : QObject(parent)
    , boards(std::move(boards))
    , noiseRate(noiseRate)
    , random(seed)
{
    controlTimer.setTimerType(Qt::PreciseTimer);
    connect(&controlTimer, &QTimer::timeout, this, [this] {
        for (const auto& board : this->boards)
            board->step();
    });
}

SimulatedLine::~SimulatedLine()
{
    // Notifiers go before the descriptor they watch.
    delete readNotifier;
    delete writeNotifier;
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
}

bool SimulatedLine::open()
{
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    termios raw {};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    cfsetspeed(&raw, B57600);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    path = QString::fromLocal8Bit(name);

    readNotifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &SimulatedLine::readMaster);
    writeNotifier = new QSocketNotifier(master, QSocketNotifier::Write, this);
    writeNotifier->setEnabled(false);
    connect(writeNotifier, &QSocketNotifier::activated, this, &SimulatedLine::writeMaster);
    controlTimer.start(ControlPeriodMs);
    return true;
}

void SimulatedLine::readMaster()
{
    QByteArray received;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n > 0) {
            received.append(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // The notifier would report the same error again at once, forever.
            qWarning("drive-sim: reading the line failed: %s", std::strerror(errno));
            readNotifier->setEnabled(false);
        }
        break;
    }
    const qint64 skippedBefore = framer.skipped();
    const QVector<SerialMessage> frames = framer.feed(received);
    if (framer.skipped() > skippedBefore)
        qWarning("drive-sim: skipped %lld bytes that began no frame", framer.skipped() - skippedBefore);
    for (const SerialMessage& frame : frames) {
        if (frame.length != SerialMessage::FrameSize) {
            emit robotCommand(robotCommandLine(frame));
            continue;
        }
        for (const auto& board : boards) {
            for (const SerialMessage& reply : board->handle(frame))
                send(reply);
        }
    }
    writeMaster();
}

void SimulatedLine::send(const SerialMessage& reply)
{
    if (random.generateDouble() < noiseRate)
        outgoing += noise();
    outgoing.append(reinterpret_cast<const char*>(reply.bytes), reply.length);
}

QByteArray SimulatedLine::noise()
{
    QByteArray bytes(random.bounded(1, NoiseBurstMax + 1), '\0');
    for (char& byte : bytes) {
        // 255 values without the header's first letter.
        const quint32 value = random.bounded(255u);
        byte = char(value < HeaderStart ? value : value + 1);
    }
    return bytes;
}

void SimulatedLine::writeMaster()
{
    while (!outgoing.isEmpty()) {
        const ssize_t n = ::write(master, outgoing.constData(), size_t(outgoing.size()));
        if (n <= 0)
            break;
        outgoing.remove(0, int(n));
    }
    // A full line waits for the tool to read; the rest goes out once it has room.
    writeNotifier->setEnabled(!outgoing.isEmpty());
}
