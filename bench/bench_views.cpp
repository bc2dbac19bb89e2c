// Cost of what arrives at the polling rate: one variable reply and one position
// broadcast, each followed by the drawing it causes. Each view holds the full window
// of 501 samples, so every push slides it.
//
// Through the drive link and the main window showing it (frames into
// DriveLink::receiveFrame, as the serial driver delivers them; the window shown as the
// operator has it):
//   Reply_Changing  one variable reply per window of the sweep, its bytes different
//                   from what the mirror holds: the window formats and sets the fields
//                   of the variables that changed; the motor tab is visible, so they
//                   repaint;
//   Reply_Unchanged the same replies again with the bytes the mirror holds already:
//                   the link reports no change, nothing is formatted or set;
//   Window_Broadcast_MotorTabVisible / _MotorTabHidden
//                   one position broadcast (TYPE 2, CMD 0x90) into the samples of the
//                   four motors and their views, with the "Motor 0" tab selected or the
//                   "Script" tab (the one at start).
//
// The four drive views alone, each drawing samples of its own, without link or window:
//   AllVisible      four views, each shown in a window of its own, all redrawn per
//                   broadcast;
//   OneTabVisible   the four views on the tabs of a tab widget, as in the main window:
//                   one shown, three hidden;
//   AllHidden       four views, none shown (they replot when shown);
//   AllHiddenReplotEachPush
//                   as AllHidden, but replotting after every push anyway: what hidden
//                   views would cost without the deferred replot;
//   *_QwtBackingStore
//                   with the plot canvas's own backing store switched back on (Qwt's
//                   default, which DriveView turns off): what the views would cost
//                   with it.
//
// The share of one core at 20 broadcasts per second is 20 x the CPU time per broadcast
// (1 ms per broadcast = 2 % of a core).
//
// Run with QT_QPA_PLATFORM=offscreen (the default set below when it is unset):
//   build/bin/bench_views
#include "core/DriveLink.h"
#include "ui/DriveView.h"
#include "ui/MainWindow.h"

#include <benchmark/benchmark.h>

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace {

enum class Visibility { AllVisible, OneTabVisible, AllHidden };

constexpr int Motors = 4;

// Lets the event loop run (paint, expose, layout) for a while.
void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

class Broadcast
{
public:
    Broadcast(Visibility visibility, bool qwtBackingStore)
    {
        if (visibility == Visibility::OneTabVisible) {
            tabs = std::make_unique<QTabWidget>();
            for (int motor = 0; motor < Motors; ++motor) {
                auto* page = new QWidget;
                tabs->addTab(page, QStringLiteral("Motor %1").arg(motor + 1));
                auto* view = new DriveView(page, motor);
                (new QVBoxLayout(page))->addWidget(view);
                views.push_back(view);
            }
            tabs->resize(1100, 760);
            tabs->show();
        } else {
            for (int motor = 0; motor < Motors; ++motor) {
                auto* view = new DriveView(nullptr, motor);
                owned.emplace_back(view);
                views.push_back(view);
                if (visibility == Visibility::AllVisible) {
                    view->move(40 * motor, 40 * motor);
                    view->show();
                }
            }
        }
        for (DriveView* view : views)
            static_cast<QwtPlotCanvas*>(view->form().qwtPlot->canvas())
                ->setPaintAttribute(QwtPlotCanvas::BackingStore, qwtBackingStore);
        settle(200);
        // Fill every view's window, then slide it once more so each push drops a sample.
        for (int i = 0; i <= MotorSamples::DefaultCapacity; ++i)
            push(false);
        settle(100);
    }

    // One position broadcast: a sample into each motor's samples, each view drawing
    // them, in motor order.
    void push(bool replotEachPush)
    {
        ++tick;
        for (int motor = 0; motor < Motors; ++motor) {
            const double phase = 0.05 * tick + motor;
            const double position = std::lround(2048 + 1800 * std::sin(phase));
            const double speed = std::lround(90 * std::cos(phase));
            const double setPoint = (tick / 100) % 2 ? 3000 : 1000;
            samples[size_t(motor)].append(0.05 * tick, position, setPoint, speed);
            DriveView* view = views[size_t(motor)];
            view->drawSamples(samples[size_t(motor)]);
            if (replotEachPush)
                view->form().qwtPlot->replot();
        }
    }

    // What the event loop does after the receive slot returns: paint what changed.
    static void draw() { QApplication::processEvents(); }

private:
    std::unique_ptr<QTabWidget> tabs;
    std::vector<std::unique_ptr<DriveView>> owned;
    std::vector<DriveView*> views;
    std::array<MotorSamples, Motors> samples;
    long tick = 0;
};

void runBroadcasts(benchmark::State& state, Visibility visibility, bool replotEachPush,
                   bool qwtBackingStore = false)
{
    Broadcast broadcast(visibility, qwtBackingStore);
    for (auto _ : state) {
        broadcast.push(replotEachPush);
        Broadcast::draw();
    }
}

void BM_Broadcast_AllVisible(benchmark::State& state)
{
    runBroadcasts(state, Visibility::AllVisible, false);
}
void BM_Broadcast_OneTabVisible(benchmark::State& state)
{
    runBroadcasts(state, Visibility::OneTabVisible, false);
}
void BM_Broadcast_AllVisible_QwtBackingStore(benchmark::State& state)
{
    runBroadcasts(state, Visibility::AllVisible, false, true);
}
void BM_Broadcast_OneTabVisible_QwtBackingStore(benchmark::State& state)
{
    runBroadcasts(state, Visibility::OneTabVisible, false, true);
}
void BM_Broadcast_AllHidden(benchmark::State& state)
{
    runBroadcasts(state, Visibility::AllHidden, false);
}
void BM_Broadcast_AllHiddenReplotEachPush(benchmark::State& state)
{
    runBroadcasts(state, Visibility::AllHidden, true);
}

// The main window as the operator has it, on a link fed frames as the serial driver
// delivers them. Nothing is connected, so neither of the link's timers runs.
class Window
{
public:
    explicit Window(bool motorTabVisible)
        : window(link)
    {
        QTabWidget* tabs = window.form().tabWidget;
        tabs->setCurrentIndex(motorTabVisible ? 0 : tabs->count() - 1);
        window.show();
        settle(200);
        for (int i = 0; i <= MotorSamples::DefaultCapacity; ++i)
            receive(positionBroadcast());
        for (int address = 0; address < SharedVariables::BlockSize; address += SharedVariables::WindowSize)
            receive(variableReply(address, 0));
        settle(100);
    }

    void receive(const SerialMessage& frame)
    {
        link.receiveFrame(frame);
        QApplication::processEvents();
    }

    SerialMessage positionBroadcast()
    {
        ++tick;
        CANMessage message;
        message.type = SerialMessage::LiveValueType;
        message.cmd = SerialMessage::LivePositions;
        message.dataLength = 8;
        for (int motor = 0; motor < Motors; ++motor) {
            const auto position = static_cast<short>(2048 + 1800 * std::sin(0.05 * tick + motor));
            message.data[2 * motor] = static_cast<unsigned char>(position & 0xFF);
            message.data[2 * motor + 1] = static_cast<unsigned char>(position >> 8);
        }
        return SerialMessage(message);
    }

    // The reply for one window of the block; seed 0 gives the same bytes every time.
    static SerialMessage variableReply(int address, int seed)
    {
        CANMessage message;
        message.priority = SharedVariables::priorityOf(address);
        message.type = SerialMessage::VariableType;
        message.cmd = SharedVariables::cmdOf(address);
        message.dataLength = static_cast<unsigned char>(
            std::min(SharedVariables::WindowSize, SharedVariables::BlockSize - address));
        for (int i = 0; i < message.dataLength; ++i)
            message.data[i] = static_cast<unsigned char>(address + i + 37 * seed);
        return SerialMessage(message);
    }

private:
    DriveLink link;
    MainWindow window;
    long tick = 0;
};

void runReplies(benchmark::State& state, bool changing)
{
    Window window(true);
    int address = 0;
    int seed = 0;
    for (auto _ : state) {
        if (changing && address == 0)
            ++seed;
        window.receive(Window::variableReply(address, changing ? seed : 0));
        address = (address + SharedVariables::WindowSize) % SharedVariables::BlockSize;
    }
}

void BM_Reply_Changing(benchmark::State& state)
{
    runReplies(state, true);
}
void BM_Reply_Unchanged(benchmark::State& state)
{
    runReplies(state, false);
}

void runWindowBroadcasts(benchmark::State& state, bool motorTabVisible)
{
    Window window(motorTabVisible);
    for (auto _ : state)
        window.receive(window.positionBroadcast());
}

void BM_Window_Broadcast_MotorTabVisible(benchmark::State& state)
{
    runWindowBroadcasts(state, true);
}
void BM_Window_Broadcast_MotorTabHidden(benchmark::State& state)
{
    runWindowBroadcasts(state, false);
}

} // namespace

BENCHMARK(BM_Reply_Changing)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply_Unchanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Window_Broadcast_MotorTabVisible)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Window_Broadcast_MotorTabHidden)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Broadcast_AllVisible)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Broadcast_OneTabVisible)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Broadcast_AllVisible_QwtBackingStore)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Broadcast_OneTabVisible_QwtBackingStore)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Broadcast_AllHidden)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Broadcast_AllHiddenReplotEachPush)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
