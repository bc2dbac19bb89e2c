// Arbitrary bytes from the serial line, through the framer as the serial driver feeds
// it, into the drive link's receive dispatch and on to a shown window: the mirror, the
// samples, the value fields and the graphs.
//
// The first byte of an input is its cut mark: the bytes (the mark included) arrive in
// reads that end after each byte equal to it, so one input can split headers and frames
// anywhere. The link and its window live as long as the fuzzer (a new window for each
// input would cut the rate to a few inputs a second), so each input first brings them
// to the same state through the link's own interface: the board selected again, which
// clears the samples and the graphs, and replies that zero the whole variable block;
// then the first motor tab comes on screen. At the input's end the motor tab numbered
// by the mark's low two bits comes on screen and draws what its hidden graph deferred.
//
// Besides the sanitizers, plain models of the framing and the dispatch check the
// results: however the bytes were split, the frames are those of a greedy scan for
// "can" over the whole input; after each frame the mirror holds exactly what the model
// of the dispatch expects, and LoopTime shows it if it is current and nothing if not;
// and at the end every value field shows its variable in the same way, and the samples
// and curves end with the values of the last position broadcast that made a sample (one
// after set-points and speeds), or the curves are off the plot when there was none. The link asks nothing, so no reply is current.
#include "FuzzApplication.h"
#include "core/DriveLink.h"
#include "protocol/Framer.h"
#include "protocol/SharedVariables.h"
#include "ui/DriveView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QLineEdit>

#include <qwt_plot_curve.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace SharedVariables;

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_receive: %s\n", what);
    std::abort();
}

// The frames in bytes, all at once: from each "can" that begins 16 bytes, the search
// for the next one resumes behind them.
std::vector<QByteArray> modelFrames(const char* bytes, size_t size)
{
    std::vector<QByteArray> frames;
    size_t pos = 0;
    while (size - pos >= SerialMessage::FrameSize) {
        if (std::memcmp(bytes + pos, "can", 3) != 0) {
            ++pos;
            continue;
        }
        frames.emplace_back(bytes + pos, SerialMessage::FrameSize);
        pos += SerialMessage::FrameSize;
    }
    return frames;
}

// What the frames do to the mirror and the samples, written out independently of the
// link's code.
struct ModelLink
{
    uint8_t block[BlockSize] = {};
    int positionBroadcasts = 0;
    // A position broadcast makes a sample only after set-points and speeds came.
    bool speedsSeen = false;
    bool setPointsSeen = false;
    // Position, set-point and speed of each motor at the last position broadcast.
    std::array<std::array<int16_t, 3>, MotorCount> lastSample{};

    int16_t s16(int at) const { return int16_t(block[at] | block[at + 1] << 8); }

    void dispatch(const uint8_t* frame)
    {
        const int type = frame[SerialMessage::Type];
        const int length = frame[SerialMessage::BootRtrLength] & 0x0F;
        const uint8_t* data = frame + SerialMessage::Data;
        if (type == 0x20) {
            const int address = (frame[SerialMessage::Priority] & 0x07) << 8 | frame[SerialMessage::Cmd];
            for (int i = 0; i < length && i < 8 && address + i < BlockSize; ++i)
                block[address + i] = data[i];
        } else if (type == 0x02 && length == 8) {
            const int offsets[] = {28, 26, 6}; // Position, Speed, SetPoint of CMD 0x90, 0x91, 0x92
            const int cmd = frame[SerialMessage::Cmd];
            if (cmd < 0x90 || cmd > 0x92)
                return;
            speedsSeen |= cmd == 0x91;
            setPointsSeen |= cmd == 0x92;
            const bool sample = cmd == 0x90 && speedsSeen && setPointsSeen;
            for (int motor = 0; motor < MotorCount; ++motor) {
                const int at = motor * MotorRecordSize + offsets[cmd - 0x90];
                block[at] = data[2 * motor];
                block[at + 1] = data[2 * motor + 1];
                if (sample) {
                    const int record = motor * MotorRecordSize;
                    lastSample[size_t(motor)] = {s16(record + 28), s16(record + 6), s16(record + 26)};
                }
            }
            positionBroadcasts += sample;
        }
    }
};

DriveLink* link = nullptr;
MainWindow* window = nullptr;

// Every byte of the block received as zero.
void zeroMirror()
{
    for (int at = 0; at < BlockSize; at += WindowSize) {
        CANMessage reply;
        reply.priority = priorityOf(at);
        reply.type = SerialMessage::VariableType;
        reply.cmd = cmdOf(at);
        reply.dataLength = WindowSize;
        link->receiveFrame(SerialMessage(reply));
    }
}

void checkSamplesAndCurves(const ModelLink& model)
{
    for (int motor = 0; motor < MotorCount; ++motor) {
        const MotorSamples& samples = link->samples(motor);
        if (samples.size() != std::min(model.positionBroadcasts, samples.capacity()))
            fail("not one sample per position broadcast, up to the capacity");
        const DriveView& view = *window->driveView(motor);
        const QwtPlotCurve* curves[] = {view.positionCurve(), view.setPointCurve(), view.speedCurve()};
        const SampleWindow* series[] = {&samples.position, &samples.setPoint, &samples.speed};
        for (int i = 0; i < 3; ++i) {
            if (samples.size() == 0) {
                if (curves[i]->plot())
                    fail("a curve left on the plot after the graph was reset");
                continue;
            }
            if (!curves[i]->plot() || curves[i]->dataSize() != size_t(samples.size()))
                fail("a curve off the plot, or not holding the samples");
            const double expected = model.lastSample[size_t(motor)][size_t(i)];
            if (series[i]->last() != expected)
                fail("the last sample differs from the last position broadcast");
            if (curves[i]->sample(curves[i]->dataSize() - 1).y() != (i == 2 ? 10 : 1) * expected)
                fail("a curve ends elsewhere than the last sample (the speed ten times as large)");
        }
    }
}

void checkFields()
{
    for (int motor = 0; motor < MotorCount; ++motor) {
        for (const Variable& variable : motorVariables()) {
            const auto* field = window->driveView(motor)->findChild<QLineEdit*>(variable.fieldName());
            const Index index = findVariable(QLatin1String(variable.name));
            const QString shown = link->isCurrent(motor, index) ? link->mirror().format(motor, variable) : QString();
            if (!field || field->text() != shown)
                fail("a value field differs from its variable, or shows one that is not current");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    startOffscreenApplication("fuzz_receive");
    // Frames only come in: the link is never opened, so nothing is sent.
    link = new DriveLink;
    window = new MainWindow(*link);
    window->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    link->selectBoard(1);
    zeroMirror();
    // One motor tab is on screen at a time: its graph replots at once, the others defer.
    window->form().tabWidget->setCurrentIndex(0);
    const QLineEdit* loopTime = window->form().lineEdit_LoopTime;
    ModelLink model;

    const char* bytes = reinterpret_cast<const char*>(data);
    const std::vector<QByteArray> expected = modelFrames(bytes, size);
    size_t delivered = 0;

    Framer framer;
    auto dispatch = [&](const SerialMessage& frame) {
        if (frame.length != SerialMessage::FrameSize || delivered == expected.size()
            || std::memcmp(frame.bytes, expected[delivered].constData(), SerialMessage::FrameSize) != 0)
            fail("a frame that the model of the framing does not give at this point");
        ++delivered;
        link->receiveFrame(frame);
        model.dispatch(frame.bytes);
        if (std::memcmp(link->mirror().data(), model.block, sizeof model.block) != 0)
            fail("the mirror differs from the model of the dispatch");
        if (loopTime->text() != (link->isLoopTimeCurrent() ? QString::number(model.s16(LoopTimeAddress)) : QString()))
            fail("LoopTime differs from the mirror, or shows a value that is not current");
    };

    const char mark = bytes[0];
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != mark && i + 1 != size)
            continue;
        framer.feed(bytes + start, int(i + 1 - start), dispatch);
        start = i + 1;
        if (framer.pending() >= SerialMessage::FrameSize)
            fail("a whole frame left waiting in the framer");
    }
    if (delivered != expected.size())
        fail("fewer frames than the model of the framing gives");

    window->form().tabWidget->setCurrentIndex(mark & 3);
    // As the event loop would after a read: repaint, and drain what the redraw posted.
    QApplication::processEvents();
    checkSamplesAndCurves(model);
    checkFields();
    return 0;
}
