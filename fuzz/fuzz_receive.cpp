// Arbitrary bytes from the serial line, through the framer as the serial driver feeds
// it, into the window's receive dispatch: the mirror, the value fields and the graphs.
//
// The first byte of an input is its cut mark: the bytes (the mark included) arrive in
// reads that end after each byte equal to it, so one input can split headers and frames
// anywhere. Each input starts from a fresh framer, an empty mirror and empty graphs; at
// its end the motor tab numbered by the mark's low two bits comes on screen and draws
// what its hidden graph deferred.
//
// Besides the sanitizers, plain models of the framing and the dispatch check the
// results: however the bytes were split, the frames are those of a greedy scan for
// "can" over the whole input, and after each frame the mirror holds exactly what the
// model of the dispatch expects.
#include "FuzzApplication.h"
#include "ui/MainWindow.h"
#include "ui/DriveView.h"
#include "protocol/SharedVariables.h"
#include "protocol/Framer.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Window : MainWindow
{
    using MainWindow::driveViews;
    using MainWindow::mirror;
    using MainWindow::SerialMessageReady;
    using MainWindow::txTimer;
};

Window* window = nullptr;

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

// What one frame does to the mirror, written out independently of the window's code.
void modelDispatch(uint8_t* block, const uint8_t* frame)
{
    const int type = frame[SerialMessage::Type];
    const int length = frame[SerialMessage::BootRtrLength] & 0x0F;
    const uint8_t* data = frame + SerialMessage::Data;
    if (type == 0x20) {
        const int address = (frame[SerialMessage::Priority] & 0x07) << 8 | frame[SerialMessage::Cmd];
        for (int i = 0; i < length && i < 8 && address + i < SharedVariables::BlockSize; ++i)
            block[address + i] = data[i];
    } else if (type == 0x02 && length == 8) {
        const int offsets[] = {28, 26, 6}; // Position, Speed, SetPoint of CMD 0x90, 0x91, 0x92
        const int cmd = frame[SerialMessage::Cmd];
        if (cmd < 0x90 || cmd > 0x92)
            return;
        for (int motor = 0; motor < SharedVariables::MotorCount; ++motor) {
            const int at = motor * SharedVariables::MotorRecordSize + offsets[cmd - 0x90];
            block[at] = data[2 * motor];
            block[at + 1] = data[2 * motor + 1];
        }
    }
}


} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    startOffscreenApplication("fuzz_receive");
    window = new Window;
    // Nothing is sent: frames only come in.
    window->txTimer->stop();
    // One motor tab is on screen at a time: its graph replots at once, the others defer.
    window->tabWidget->setCurrentIndex(0);
    window->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    window->mirror = SharedVariables::Block();
    for (DriveView* view : window->driveViews)
        view->resetGraph();
    uint8_t model[SharedVariables::BlockSize] = {};
    QLineEdit* loopTime = window->lineEdit_LoopTime;

    const char* bytes = reinterpret_cast<const char*>(data);
    const std::vector<QByteArray> expected = modelFrames(bytes, size);
    size_t delivered = 0;

    Framer framer;
    auto dispatch = [&](const SerialMessage& frame) {
        if (frame.length != SerialMessage::FrameSize || delivered == expected.size()
            || std::memcmp(frame.bytes, expected[delivered].constData(), SerialMessage::FrameSize) != 0)
            fail("a frame that the model of the framing does not give at this point");
        ++delivered;
        window->SerialMessageReady(frame);
        modelDispatch(model, frame.bytes);
        if (std::memcmp(window->mirror.data(), model, sizeof model) != 0)
            fail("the mirror differs from the model of the dispatch");
        if (frame.bytes[SerialMessage::Type] == 0x20
            && loopTime->text() != QString::number(window->mirror.s16(SharedVariables::LoopTimeAddress)))
            fail("LoopTime not redrawn after a variable reply");
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
    window->tabWidget->setCurrentIndex(mark & 3);
    // As the event loop would after a read: repaint, and drain what the redraw posted.
    QApplication::processEvents();
    return 0;
}
