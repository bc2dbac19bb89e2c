// The live graph of a DriveView.
#include "ui/DriveView.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>

#include <QBackingStore>
#include <QDockWidget>
#include <QTabWidget>
#include <QtTest>

#include <cmath>

namespace {

// A plot item that records its own deletion.
class Sentinel : public QwtPlotMarker
{
public:
    explicit Sentinel(bool* deleted) : deleted(deleted) {}
    ~Sentinel() override { *deleted = true; }

private:
    bool* deleted;
};

QVector<QwtPlotItem*> curvesOf(const DriveView& view)
{
    return {view.positionCurve, view.setPointCurve, view.speedCurve};
}

QVector<QwtPlotItem*> attachedItems(const DriveView& view)
{
    const QwtPlotItemList items = view.qwtPlot->itemList();
    return QVector<QwtPlotItem*>(items.begin(), items.end());
}

double seconds(const DriveView& view)
{
    return view.graphClock.elapsed() / 1000.0;
}

// Pixels of exactly this colour on the plot's canvas as it would appear on screen.
int pixelsOf(DriveView& view, QColor colour)
{
    const QImage image = view.qwtPlot->canvas()->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++n;
    return n;
}

// Pixels of exactly this colour in the plot canvas's area of the window's backing store:
// what the operator has on screen, without painting anything anew.
int screenPixelsOf(DriveView& view, QColor colour)
{
    QApplication::processEvents(); // let pending paints reach the backing store
    QWidget* canvas = view.qwtPlot->canvas();
    QBackingStore* store = canvas->window()->backingStore();
    if (!store || store->paintDevice()->devType() != QInternal::Image)
        qFatal("no image backing store");
    const QImage& screen = *static_cast<QImage*>(store->paintDevice());
    const QRect area(canvas->mapTo(canvas->window(), QPoint(0, 0)), canvas->size());
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (screen.pixelColor(x, y) == colour)
                ++n;
    return n;
}

double yTop(const DriveView& view)
{
    return view.qwtPlot->axisScaleDiv(QwtPlot::yLeft).upperBound();
}

} // namespace

class TestDriveViewGraph : public QObject
{
    Q_OBJECT

private slots:
    void curvesAtConstruction();
    void firstPushAtClockSeconds();
    void samplesAndCurvesAgree();
    void slidingWindowOf501();
    void negativeValues();
    void resetEmptiesAndDetaches();
    void resetTwiceInARow();
    void nextPushAfterResetAtCurrentClockTime();
    void visibleViewReplotsOnPush();
    void hiddenViewKeepsSamplesAndReplotsWhenShown();
    void hiddenTabReplotsWhenSelected();
    void floatingDockOfHiddenTabStaysLive();
    void resetWhileHiddenShowsEmptyGraphWhenShown();
    void canvasDrawsTheSameAsWithQwtBackingStore();
};

void TestDriveViewGraph::curvesAtConstruction()
{
    DriveView view(nullptr, 0);
    QCOMPARE(attachedItems(view), curvesOf(view));
    QCOMPARE(view.positionCurve->title().text(), QStringLiteral("Position"));
    QCOMPARE(view.setPointCurve->title().text(), QStringLiteral("SetPoint"));
    QCOMPARE(view.speedCurve->title().text(), QStringLiteral("Speed"));
    QCOMPARE(view.positionCurve->pen().color(), QColor(Qt::red));
    QCOMPARE(view.setPointCurve->pen().color(), QColor(Qt::green));
    QCOMPARE(view.speedCurve->pen().color(), QColor(Qt::blue));
    for (QwtPlotItem* item : curvesOf(view)) {
        auto* curve = static_cast<QwtPlotCurve*>(item);
        QCOMPARE(curve->plot(), view.qwtPlot);
        QCOMPARE(curve->dataSize(), size_t(0));
        QCOMPARE(curve->pen().style(), Qt::SolidLine);
        QCOMPARE(curve->pen().widthF(), QPen().widthF());
        QVERIFY(!curve->symbol());
    }
    QVERIFY(view.graphClock.isValid());
    QCOMPARE(view.timeBuffer.size(), 0);
    QCOMPARE(view.positionBuffer.size(), 0);
    QCOMPARE(view.setPointBuffer.size(), 0);
    QCOMPARE(view.speedBuffer.size(), 0);
    QVERIFY(view.qwtPlot->axisAutoScale(QwtPlot::xBottom));
    QVERIFY(view.qwtPlot->axisAutoScale(QwtPlot::yLeft));
}

void TestDriveViewGraph::firstPushAtClockSeconds()
{
    DriveView view(nullptr, 0);
    QTest::qWait(150);
    const double before = seconds(view);
    view.pushGraphPosition(100, -20, 300);
    const double after = seconds(view);

    QCOMPARE(view.timeBuffer.size(), 1);
    const double x = view.timeBuffer.at(0);
    QVERIFY2(x >= 0.15, qPrintable(QString::number(x)));
    QVERIFY(x >= before && x <= after);
    QCOMPARE(view.positionCurve->dataSize(), size_t(1));
    QCOMPARE(view.positionCurve->sample(0), QPointF(x, 100));
    QCOMPARE(view.setPointCurve->sample(0), QPointF(x, 300));
    QCOMPARE(view.speedCurve->sample(0), QPointF(x, -20));
}

void TestDriveViewGraph::samplesAndCurvesAgree()
{
    DriveView view(nullptr, 0);
    for (int i = 0; i < 10; ++i)
        view.pushGraphPosition(short(i), short(10 * i), short(100 * i));
    QCOMPARE(view.positionBuffer.size(), 10);
    for (int i = 0; i < 10; ++i) {
        const double x = view.timeBuffer.at(i);
        if (i > 0)
            QVERIFY(x >= view.timeBuffer.at(i - 1));
        QCOMPARE(view.positionBuffer.at(i), double(i));
        QCOMPARE(view.speedBuffer.at(i), double(10 * i));
        QCOMPARE(view.setPointBuffer.at(i), double(100 * i));
        QCOMPARE(view.positionCurve->sample(size_t(i)), QPointF(x, i));
        QCOMPARE(view.speedCurve->sample(size_t(i)), QPointF(x, 10 * i));
        QCOMPARE(view.setPointCurve->sample(size_t(i)), QPointF(x, 100 * i));
    }
    // The curves hold copies: emptying the buffers does not change what they show.
    for (SampleWindow* buffer : {&view.timeBuffer, &view.positionBuffer,
                                 &view.setPointBuffer, &view.speedBuffer})
        buffer->clear();
    QCOMPARE(view.positionCurve->dataSize(), size_t(10));
    QCOMPARE(view.positionCurve->sample(9).y(), 9.0);
}

void TestDriveViewGraph::slidingWindowOf501()
{
    DriveView view(nullptr, 0);
    for (int i = 0; i < 501; ++i)
        view.pushGraphPosition(short(i), short(-i), short(2 * i));
    for (const SampleWindow* buffer : {&view.timeBuffer, &view.positionBuffer,
                                       &view.setPointBuffer, &view.speedBuffer})
        QCOMPARE(buffer->size(), 501);
    for (QwtPlotItem* item : curvesOf(view))
        QCOMPARE(static_cast<QwtPlotCurve*>(item)->dataSize(), size_t(501));
    QCOMPARE(view.positionBuffer.first(), 0.0);
    const double secondTime = view.timeBuffer.at(1);

    // The 502nd push drops the oldest sample of every buffer and curve.
    view.pushGraphPosition(501, -501, 1002);
    for (const SampleWindow* buffer : {&view.timeBuffer, &view.positionBuffer,
                                       &view.setPointBuffer, &view.speedBuffer})
        QCOMPARE(buffer->size(), 501);
    QCOMPARE(view.timeBuffer.first(), secondTime);
    QCOMPARE(view.positionBuffer.first(), 1.0);
    QCOMPARE(view.speedBuffer.first(), -1.0);
    QCOMPARE(view.setPointBuffer.first(), 2.0);
    QCOMPARE(view.positionBuffer.last(), 501.0);
    QCOMPARE(view.positionCurve->dataSize(), size_t(501));
    QCOMPARE(view.positionCurve->sample(0), QPointF(secondTime, 1));
    QCOMPARE(view.speedCurve->sample(500).y(), -501.0);
    QCOMPARE(view.setPointCurve->sample(500).y(), 1002.0);

    // Many more: always the newest 501, in arrival order.
    for (int i = 502; i < 2000; ++i)
        view.pushGraphPosition(short(i), short(-i), short(2 * i));
    QCOMPARE(view.positionBuffer.size(), 501);
    for (int i = 0; i < 501; ++i) {
        QCOMPARE(view.positionBuffer.at(i), double(1499 + i));
        QCOMPARE(view.positionCurve->sample(size_t(i)).y(), double(1499 + i));
        QCOMPARE(view.positionCurve->sample(size_t(i)).x(), view.timeBuffer.at(i));
        if (i > 0)
            QVERIFY(view.timeBuffer.at(i) >= view.timeBuffer.at(i - 1));
    }
}

void TestDriveViewGraph::negativeValues()
{
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.pushGraphPosition(-32768, -1, -4096);
    view.pushGraphPosition(-100, -32768, 32767);
    QCOMPARE(view.positionCurve->sample(0).y(), -32768.0);
    QCOMPARE(view.speedCurve->sample(1).y(), -32768.0);
    QCOMPARE(view.setPointCurve->sample(0).y(), -4096.0);
    QCOMPARE(view.setPointCurve->sample(1).y(), 32767.0);
    QVERIFY(view.positionCurve->boundingRect().top() < 0);
    // The autoscaled axis reaches below zero.
    QVERIFY(view.qwtPlot->axisScaleDiv(QwtPlot::yLeft).lowerBound() <= -32768);
}

void TestDriveViewGraph::resetEmptiesAndDetaches()
{
    DriveView view(nullptr, 0);
    for (int i = 0; i < 20; ++i)
        view.pushGraphPosition(short(i), short(i), short(i));
    bool sentinelDeleted = false;
    auto* sentinel = new Sentinel(&sentinelDeleted);
    sentinel->attach(view.qwtPlot);

    QwtPlotCurve* position = view.positionCurve;
    view.resetGraph();

    QCOMPARE(view.timeBuffer.size(), 0);
    QCOMPARE(view.positionBuffer.size(), 0);
    QCOMPARE(view.setPointBuffer.size(), 0);
    QCOMPARE(view.speedBuffer.size(), 0);
    QVERIFY(view.qwtPlot->itemList().isEmpty());
    // Other items on the plot go the way of Qwt 5's clear: detached and deleted.
    QVERIFY(sentinelDeleted);
    // The curves are detached, not deleted.
    QCOMPARE(view.positionCurve, position);
    for (QwtPlotItem* item : curvesOf(view))
        QVERIFY(!item->plot());
    QCOMPARE(view.positionCurve->title().text(), QStringLiteral("Position"));
    QCOMPARE(view.speedCurve->pen().color(), QColor(Qt::blue));
}

void TestDriveViewGraph::resetTwiceInARow()
{
    DriveView view(nullptr, 0);
    view.pushGraphPosition(1, 2, 3);
    view.resetGraph();
    view.resetGraph();
    QVERIFY(view.qwtPlot->itemList().isEmpty());
    QCOMPARE(view.timeBuffer.size(), 0);
    QCOMPARE(view.setPointCurve->title().text(), QStringLiteral("SetPoint"));

    view.pushGraphPosition(4, 5, 6);
    QCOMPARE(attachedItems(view), curvesOf(view));
    QCOMPARE(view.positionCurve->dataSize(), size_t(1));
    QCOMPARE(view.positionCurve->sample(0).y(), 4.0);
    QCOMPARE(view.speedCurve->sample(0).y(), 5.0);
    QCOMPARE(view.setPointCurve->sample(0).y(), 6.0);

    // A view reset before any push at all.
    DriveView fresh(nullptr, 1);
    fresh.resetGraph();
    fresh.resetGraph();
    QVERIFY(fresh.qwtPlot->itemList().isEmpty());
    fresh.pushGraphPosition(7, 8, 9);
    QCOMPARE(attachedItems(fresh), curvesOf(fresh));
}

void TestDriveViewGraph::nextPushAfterResetAtCurrentClockTime()
{
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < 5; ++i)
        view.pushGraphPosition(short(1000 + i), 0, 0);
    QTest::qWait(200);
    QVERIFY(screenPixelsOf(view, Qt::red) > 0);
    view.resetGraph();
    // Off the screen at once, not at the next push (which may never come).
    QCOMPARE(screenPixelsOf(view, Qt::red), 0);
    QCOMPARE(screenPixelsOf(view, Qt::green), 0);
    QCOMPARE(screenPixelsOf(view, Qt::blue), 0);

    const double before = seconds(view);
    view.pushGraphPosition(42, -7, 99);
    QCOMPARE(attachedItems(view), curvesOf(view));
    QCOMPARE(view.timeBuffer.size(), 1);
    // The clock was not restarted: the point is at the seconds since construction.
    QVERIFY(view.timeBuffer.at(0) >= before);
    QVERIFY(view.timeBuffer.at(0) >= 0.2);
    QCOMPARE(view.positionCurve->sample(0), QPointF(view.timeBuffer.at(0), 42));
    QCOMPARE(view.speedCurve->sample(0), QPointF(view.timeBuffer.at(0), -7));
    QCOMPARE(view.setPointCurve->sample(0), QPointF(view.timeBuffer.at(0), 99));
    QVERIFY(view.qwtPlot->axisScaleDiv(QwtPlot::xBottom).contains(view.timeBuffer.at(0)));
}

void TestDriveViewGraph::visibleViewReplotsOnPush()
{
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < 50; ++i)
        view.pushGraphPosition(short(5000 + i), short(-3000 - 10 * i), short(2000 + 10 * i));
    QVERIFY(yTop(view) >= 5049);
    QVERIFY(pixelsOf(view, Qt::red) > 0);
    QVERIFY(pixelsOf(view, Qt::green) > 0);
    QVERIFY(pixelsOf(view, Qt::blue) > 0);
}

void TestDriveViewGraph::hiddenViewKeepsSamplesAndReplotsWhenShown()
{
    DriveView view(nullptr, 0);
    QVERIFY(!view.isVisible());
    // Pushes this fast may share one clock millisecond: varying values keep every
    // curve a line, not a dot.
    for (int i = 0; i < 50; ++i)
        view.pushGraphPosition(short(5000 + i), short(-3000 - 10 * i), short(2000 + 10 * i));
    QCOMPARE(view.positionBuffer.size(), 50);
    QCOMPARE(view.positionCurve->dataSize(), size_t(50));
    // Hidden, the plot has not been redrawn: its axis still has the default scale.
    QVERIFY(yTop(view) < 5000);

    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(yTop(view) >= 5049);
    QVERIFY(screenPixelsOf(view, Qt::red) > 0);
    QVERIFY(screenPixelsOf(view, Qt::green) > 0);
    QVERIFY(screenPixelsOf(view, Qt::blue) > 0);
    const QImage shown = view.qwtPlot->canvas()->grab().toImage();
    QVERIFY(pixelsOf(view, Qt::red) > 0);
    QVERIFY(pixelsOf(view, Qt::green) > 0);
    QVERIFY(pixelsOf(view, Qt::blue) > 0);
    // The operator sees what a replot right after each push would have drawn.
    view.qwtPlot->replot();
    QCOMPARE(view.qwtPlot->canvas()->grab().toImage(), shown);
}

void TestDriveViewGraph::hiddenTabReplotsWhenSelected()
{
    QTabWidget tabs;
    auto* page1 = new QWidget;
    auto* page2 = new QWidget;
    tabs.addTab(page1, "Motor 1");
    tabs.addTab(page2, "Motor 2");
    auto* view1 = new DriveView(page1, 0);
    auto* view2 = new DriveView(page2, 1);
    (new QVBoxLayout(page1))->addWidget(view1);
    (new QVBoxLayout(page2))->addWidget(view2);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    QVERIFY(view1->isVisible());
    QVERIFY(!view2->isVisible());

    for (int i = 0; i < 30; ++i) {
        view1->pushGraphPosition(short(6000 + i), 0, 0);
        view2->pushGraphPosition(short(7000 + i), 0, 0);
    }
    QVERIFY(yTop(*view1) >= 6029);
    QCOMPARE(view2->positionBuffer.size(), 30);
    QVERIFY(yTop(*view2) < 7000);

    tabs.setCurrentIndex(1);
    QVERIFY(view2->isVisible());
    QVERIFY(yTop(*view2) >= 7029);
    QTRY_VERIFY(screenPixelsOf(*view2, Qt::red) > 0);

    // And back: the first view, hidden meanwhile, catches up too.
    view1->pushGraphPosition(9000, 0, 0);
    QVERIFY(yTop(*view1) < 9000);
    tabs.setCurrentIndex(0);
    QVERIFY(yTop(*view1) >= 9000);
}

// The dock can float out of a hidden tab; its graph must keep moving.
void TestDriveViewGraph::floatingDockOfHiddenTabStaysLive()
{
    QTabWidget tabs;
    auto* page1 = new QWidget;
    auto* page2 = new QWidget;
    tabs.addTab(page1, "Motor 1");
    tabs.addTab(page2, "Motor 2");
    auto* view2 = new DriveView(page2, 1);
    (new QVBoxLayout(page2))->addWidget(view2);
    tabs.setCurrentIndex(1);
    tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tabs));
    view2->dockWidget->setFloating(true);
    tabs.setCurrentIndex(0);
    QVERIFY(!view2->isVisible());
    QTRY_VERIFY(view2->qwtPlot->isVisible());

    view2->pushGraphPosition(8000, 0, 0);
    QVERIFY(yTop(*view2) >= 8000);

    // Pushed while docked in a hidden tab, then floated out: drawn as it appears.
    view2->dockWidget->setFloating(false);
    QVERIFY(!view2->qwtPlot->isVisible());
    view2->pushGraphPosition(12000, 0, 0);
    QVERIFY(yTop(*view2) < 12000);
    view2->dockWidget->setFloating(true);
    QTRY_VERIFY(view2->qwtPlot->isVisible());
    QVERIFY(yTop(*view2) >= 12000);
}

void TestDriveViewGraph::resetWhileHiddenShowsEmptyGraphWhenShown()
{
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < 20; ++i)
        view.pushGraphPosition(short(100 * i), short(50 * i), short(10 * i));
    QVERIFY(pixelsOf(view, Qt::red) > 0);

    view.hide();
    view.resetGraph();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(screenPixelsOf(view, Qt::red), 0);
    QCOMPARE(screenPixelsOf(view, Qt::green), 0);
    QCOMPARE(screenPixelsOf(view, Qt::blue), 0);
}

// The view turns off the canvas's own backing store for speed; the picture must not change.
void TestDriveViewGraph::canvasDrawsTheSameAsWithQwtBackingStore()
{
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < 600; ++i) {
        const double phase = 0.05 * i;
        view.pushGraphPosition(short(2048 + 1800 * std::sin(phase)), short(900 * std::cos(phase)),
                               short((i / 100) % 2 ? 3000 : 1000));
        if (i % 50 == 0)
            QTest::qWait(5);
    }
    auto* canvas = qobject_cast<QwtPlotCanvas*>(view.qwtPlot->canvas());
    QVERIFY(canvas);
    QVERIFY(!canvas->testPaintAttribute(QwtPlotCanvas::BackingStore));
    const QImage direct = canvas->grab().toImage();
    const QImage wholeView = view.grab().toImage();
    QVERIFY(pixelsOf(view, Qt::red) > 100);

    canvas->setPaintAttribute(QwtPlotCanvas::BackingStore, true);
    view.qwtPlot->replot();
    QCOMPARE(canvas->grab().toImage(), direct);
    QCOMPARE(view.grab().toImage(), wholeView);
}

QTEST_MAIN(TestDriveViewGraph)
#include "test_DriveViewGraph.moc"
