// The live graph of a DriveView: what it draws from a motor's samples, and when.
#include "ui/DriveView.h"
#include "core/MotorSamples.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>

#include <QBackingStore>
#include <QDockWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>

#include <cmath>

namespace {

// count samples 50 ms apart, every series moving so that each curve is a line.
MotorSamples ramp(int count, double firstPosition)
{
    MotorSamples samples;
    for (int i = 0; i < count; ++i)
        samples.append(0.05 * i, firstPosition + i, 2000 + 10 * i, -300 - i);
    return samples;
}

QList<QwtPlotCurve*> curvesOf(const DriveView& view)
{
    return {view.positionCurve(), view.setPointCurve(), view.speedCurve()};
}

QList<QwtPlotItem*> itemsOn(const DriveView& view)
{
    return view.form().qwtPlot->itemList();
}

double yTop(const DriveView& view)
{
    return view.form().qwtPlot->axisScaleDiv(QwtPlot::yLeft).upperBound();
}

int count(const QImage& image, const QRect& area, QColor colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

// Pixels of exactly this colour on the canvas, painted anew.
int pixelsOf(const DriveView& view, QColor colour)
{
    const QImage image = view.form().qwtPlot->canvas()->grab().toImage();
    return count(image, image.rect(), colour);
}

// Pixels of exactly this colour in the canvas's area of the window's backing store:
// what the operator has on screen, without painting anything anew.
int screenPixelsOf(const DriveView& view, QColor colour)
{
    QApplication::processEvents(); // let pending paints reach the backing store
    QWidget* canvas = view.form().qwtPlot->canvas();
    QBackingStore* store = canvas->window()->backingStore();
    if (!store || store->paintDevice()->devType() != QInternal::Image)
        qFatal("no image backing store");
    const QImage& screen = *static_cast<QImage*>(store->paintDevice());
    return count(screen, QRect(canvas->mapTo(canvas->window(), QPoint(0, 0)), canvas->size()), colour);
}

bool showsNoCurve(const DriveView& view)
{
    return screenPixelsOf(view, Qt::red) == 0 && screenPixelsOf(view, Qt::green) == 0
        && screenPixelsOf(view, Qt::blue) == 0;
}

// Two tabs of a view each, the first selected.
struct MotorTabs
{
    MotorTabs()
    {
        for (int motor = 0; motor < 2; ++motor) {
            auto* page = new QWidget;
            tabs.addTab(page, QStringLiteral("Motor %1").arg(motor));
            views[motor] = new DriveView(page, motor);
            (new QVBoxLayout(page))->addWidget(views[motor]);
        }
    }
    QTabWidget tabs;
    DriveView* views[2];
};

} // namespace

class TestDriveViewGraph : public QObject
{
    Q_OBJECT

private slots:
    void curvesTellThemselvesApart();
    void drawnValues_data();
    void drawnValues();
    void drawsTheNewest501InArrivalOrder();
    void resetTakesEverythingOffUntilTheNextDraw();
    void resetClearsTheScreenAtOnce();
    void hiddenViewDrawsWhenShown();
    void hiddenTabDrawsWhenSelected();
    void floatingDockOfHiddenTabStaysLive();
    void canvasDrawsTheSameAsWithQwtBackingStore();
    void gapIsNotBridged();
    void incrementAfterScrollDrawsTheWholePicture();
};

// Colour is not all that tells the curves apart: each has its own line style or width,
// the set-point lies below the position, and the speed's title says it is scaled.
void TestDriveViewGraph::curvesTellThemselvesApart()
{
    DriveView view(nullptr, 0);
    const struct
    {
        QwtPlotCurve* curve;
        const char* title;
        Qt::GlobalColor colour;
    } curves[] = {{view.positionCurve(), "Position", Qt::red},
                  {view.setPointCurve(), "SetPoint", Qt::green},
                  {view.speedCurve(), "Speed x10", Qt::blue}};
    QSet<QPair<int, int>> looks;
    for (const auto& c : curves) {
        QCOMPARE(c.curve->title().text(), QLatin1String(c.title));
        QCOMPARE(c.curve->pen().color(), QColor(c.colour));
        looks.insert({int(c.curve->pen().style()), c.curve->pen().width()});
        QCOMPARE(c.curve->dataSize(), size_t(0));
    }
    QCOMPARE(looks.size(), 3);
    QVERIFY(view.setPointCurve()->z() < view.positionCurve()->z());
    QCOMPARE(view.form().qwtPlot->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("time (s)"));
    QCOMPARE(itemsOn(view).size(), 3);
}

void TestDriveViewGraph::drawnValues_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("setPoint");
    QTest::addColumn<double>("speed");
    QTest::newRow("mid range") << 100.0 << 300.0 << -20.0;
    QTest::newRow("16-bit extremes") << -32768.0 << 32767.0 << 32767.0;
    // Ten times the slowest reverse speed is beyond 16 bits; it is drawn, not wrapped.
    QTest::newRow("speed x10 past 16 bits") << 0.0 << -4096.0 << -32768.0;
}

// Position and set-point as received, speed ten times as large, all against time.
void TestDriveViewGraph::drawnValues()
{
    QFETCH(double, position);
    QFETCH(double, setPoint);
    QFETCH(double, speed);
    MotorSamples samples;
    samples.append(1.25, 0, 0, 0);
    samples.append(1.5, position, setPoint, speed);
    DriveView view(nullptr, 3);
    view.drawSamples(samples);
    for (QwtPlotCurve* curve : curvesOf(view))
        QCOMPARE(curve->dataSize(), size_t(2));
    QCOMPARE(view.positionCurve()->sample(1), QPointF(1.5, position));
    QCOMPARE(view.setPointCurve()->sample(1), QPointF(1.5, setPoint));
    QCOMPARE(view.speedCurve()->sample(1), QPointF(1.5, 10 * speed));
    QCOMPARE(view.speedCurve()->boundingRect().top(), std::min(0.0, 10 * speed));
}

void TestDriveViewGraph::drawsTheNewest501InArrivalOrder()
{
    MotorSamples samples;
    QCOMPARE(samples.capacity(), 501);
    DriveView view(nullptr, 0);
    for (int i = 0; i < 2000; ++i)
        samples.append(0.05 * i, i, -i, 2 * i);
    view.drawSamples(samples);
    for (QwtPlotCurve* curve : curvesOf(view))
        QCOMPARE(curve->dataSize(), size_t(501));
    for (int i = 0; i < 501; ++i) {
        const double n = 1499 + i;
        QCOMPARE(view.positionCurve()->sample(size_t(i)), QPointF(0.05 * n, n));
        QCOMPARE(view.setPointCurve()->sample(size_t(i)), QPointF(0.05 * n, -n));
        QCOMPARE(view.speedCurve()->sample(size_t(i)), QPointF(0.05 * n, 20 * n));
    }

    // The next broadcast drops the oldest sample.
    samples.append(100, 2000, 0, 0);
    view.drawSamples(samples);
    QCOMPARE(view.positionCurve()->dataSize(), size_t(501));
    QCOMPARE(view.positionCurve()->sample(0).y(), 1500.0);
    QCOMPARE(view.positionCurve()->sample(500), QPointF(100, 2000));
}

void TestDriveViewGraph::resetTakesEverythingOffUntilTheNextDraw()
{
    const MotorSamples samples = ramp(20, 0);
    DriveView view(nullptr, 0);
    view.drawSamples(samples);
    (new QwtPlotMarker)->attach(view.form().qwtPlot);

    view.resetGraph();
    QVERIFY(itemsOn(view).isEmpty());
    view.resetGraph();
    QVERIFY(itemsOn(view).isEmpty());

    view.drawSamples(samples);
    QCOMPARE(itemsOn(view).size(), 3);
    for (QwtPlotCurve* curve : curvesOf(view)) {
        QVERIFY(itemsOn(view).contains(curve));
        QCOMPARE(curve->dataSize(), size_t(20));
    }
    QCOMPARE(view.speedCurve()->pen().color(), QColor(Qt::blue));

    // A view reset before it ever drew.
    DriveView fresh(nullptr, 1);
    fresh.resetGraph();
    QVERIFY(itemsOn(fresh).isEmpty());
    fresh.drawSamples(samples);
    QCOMPARE(itemsOn(fresh).size(), 3);
}

// The next draw may never come (the board is silent), so the old curves go at once.
void TestDriveViewGraph::resetClearsTheScreenAtOnce()
{
    const MotorSamples samples = ramp(20, 1000);
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.drawSamples(samples);
    QTRY_VERIFY(screenPixelsOf(view, Qt::red) > 0);
    view.resetGraph();
    QVERIFY(showsNoCurve(view));

    // Reset while hidden: shown again, the graph is empty.
    view.drawSamples(samples);
    QTRY_VERIFY(screenPixelsOf(view, Qt::red) > 0);
    view.hide();
    view.resetGraph();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(showsNoCurve(view));
}

void TestDriveViewGraph::hiddenViewDrawsWhenShown()
{
    const MotorSamples samples = ramp(50, 5000);
    DriveView view(nullptr, 0);
    view.drawSamples(samples);
    QCOMPARE(view.positionCurve()->dataSize(), size_t(50));
    // Hidden, the plot was not redrawn: its axis still has the default scale.
    QVERIFY(yTop(view) < 5000);

    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(yTop(view) >= 5049);
    QVERIFY(screenPixelsOf(view, Qt::red) > 0);
    QVERIFY(screenPixelsOf(view, Qt::green) > 0);
    QVERIFY(screenPixelsOf(view, Qt::blue) > 0);
    // The operator sees what a replot right after the draw would have shown.
    const QImage shown = view.form().qwtPlot->canvas()->grab().toImage();
    view.form().qwtPlot->replot();
    QCOMPARE(view.form().qwtPlot->canvas()->grab().toImage(), shown);

    // Visible, a draw replots at once.
    view.drawSamples(ramp(50, 9000));
    QVERIFY(yTop(view) >= 9049);
}

void TestDriveViewGraph::hiddenTabDrawsWhenSelected()
{
    const MotorSamples first = ramp(30, 6000), second = ramp(30, 7000), later = ramp(30, 9000);
    MotorTabs motors;
    motors.tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&motors.tabs));
    QVERIFY(!motors.views[1]->isVisible());

    motors.views[0]->drawSamples(first);
    motors.views[1]->drawSamples(second);
    QVERIFY(yTop(*motors.views[0]) >= 6029);
    QVERIFY(yTop(*motors.views[1]) < 7000);

    motors.tabs.setCurrentIndex(1);
    QVERIFY(yTop(*motors.views[1]) >= 7029);
    QTRY_VERIFY(screenPixelsOf(*motors.views[1], Qt::red) > 0);

    // And back: the first view, drawn meanwhile while hidden, catches up too.
    motors.views[0]->drawSamples(later);
    QVERIFY(yTop(*motors.views[0]) < 9000);
    motors.tabs.setCurrentIndex(0);
    QVERIFY(yTop(*motors.views[0]) >= 9029);
}

// The dock can float out of a hidden tab; its graph must keep moving.
void TestDriveViewGraph::floatingDockOfHiddenTabStaysLive()
{
    const MotorSamples floating = ramp(10, 8000), docked = ramp(10, 12000);
    MotorTabs motors;
    DriveView& view = *motors.views[1];
    QDockWidget* dock = view.form().dockWidget;
    motors.tabs.setCurrentIndex(1);
    motors.tabs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&motors.tabs));
    dock->setFloating(true);
    motors.tabs.setCurrentIndex(0);
    QVERIFY(!view.isVisible());
    QTRY_VERIFY(view.form().qwtPlot->isVisible());

    view.drawSamples(floating);
    QVERIFY(yTop(view) >= 8009);

    // Drawn while docked in the hidden tab, then floated out: drawn as it appears.
    dock->setFloating(false);
    QVERIFY(!view.form().qwtPlot->isVisible());
    view.drawSamples(docked);
    QVERIFY(yTop(view) < 12000);
    dock->setFloating(true);
    QTRY_VERIFY(view.form().qwtPlot->isVisible());
    QVERIFY(yTop(view) >= 12009);
}

// The view turns off the canvas's own backing store for speed; the picture must not change.
void TestDriveViewGraph::canvasDrawsTheSameAsWithQwtBackingStore()
{
    MotorSamples samples;
    for (int i = 0; i < 600; ++i) {
        const double phase = 0.05 * i;
        samples.append(0.05 * i, std::round(2048 + 1800 * std::sin(phase)), (i / 100) % 2 ? 3000 : 1000,
                       std::round(90 * std::cos(phase)));
    }
    DriveView view(nullptr, 0);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.drawSamples(samples);
    auto* canvas = qobject_cast<QwtPlotCanvas*>(view.form().qwtPlot->canvas());
    QVERIFY(canvas);
    QVERIFY(!canvas->testPaintAttribute(QwtPlotCanvas::BackingStore));
    const QImage direct = canvas->grab().toImage();
    const QImage wholeView = view.grab().toImage();
    QVERIFY(pixelsOf(view, Qt::red) > 100);

    canvas->setPaintAttribute(QwtPlotCanvas::BackingStore, true);
    view.form().qwtPlot->replot();
    QCOMPARE(canvas->grab().toImage(), direct);
    QCOMPARE(view.grab().toImage(), wholeView);
}

// Nothing received for a while: no line is drawn across the time nothing came, neither
// by a full replot nor by the direct painter's increments.
void TestDriveViewGraph::gapIsNotBridged()
{
    for (bool increments : {false, true}) {
        MotorSamples samples;
        DriveView view(nullptr, 0);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int i = 0; i < 20; ++i) {
            if (i == 10)
                samples.markGap();
            // 0 to 4.5 s at 500, then 15 to 19.5 s at 500.
            samples.append((i < 10 ? 0.0 : 15.0) + 0.5 * (i % 10), 500, 500, 0);
            if (increments)
                view.drawSamples(samples);
        }
        view.drawSamples(samples);
        QwtPlot* plot = view.form().qwtPlot;
        const QImage image = plot->canvas()->grab().toImage();
        const int y = int(plot->canvasMap(QwtPlot::yLeft).transform(500));
        const auto greenAt = [&](double seconds) {
            const int x = int(plot->canvasMap(QwtPlot::xBottom).transform(seconds));
            return count(image, QRect(x - 2, y - 3, 5, 7), Qt::green);
        };
        QVERIFY2(greenAt(2) > 0 && greenAt(17) > 0, increments ? "increments" : "replot");
        QVERIFY2(greenAt(10) == 0, increments ? "increments" : "replot");
    }
}

// The page scrolls, and a sample comes before the scrolled picture is painted: the
// increment must not leave the plot's old surroundings on screen in its place.
void TestDriveViewGraph::incrementAfterScrollDrawsTheWholePicture()
{
    QScrollArea page;
    page.setWidgetResizable(true);
    auto* view = new DriveView(nullptr, 0);
    view->setMinimumHeight(900);
    page.setWidget(view);
    page.resize(900, 500);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    MotorSamples samples = ramp(40, 1000);
    view->drawSamples(samples);
    page.verticalScrollBar()->setValue(page.verticalScrollBar()->maximum());
    samples.append(2.0, 1040, 2400, -340);
    view->drawSamples(samples);
    QApplication::processEvents();
    QWidget* canvas = view->form().qwtPlot->canvas();
    const QRect visible = canvas->visibleRegion().boundingRect();
    QVERIFY(visible.height() > 50);
    const QImage& screen = *static_cast<QImage*>(page.backingStore()->paintDevice());
    const QImage shown = screen.copy(visible.translated(canvas->mapTo(&page, QPoint(0, 0))));
    const QImage drawnWhole = canvas->grab(visible).toImage().convertToFormat(shown.format());
    // Where the newest segment joins the older ones may differ by a pixel or two.
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            differing += shown.pixel(x, y) != drawnWhole.pixel(x, y);
    QVERIFY2(differing < 20, qPrintable(QString::number(differing)));
}

QTEST_MAIN(TestDriveViewGraph)
#include "test_DriveViewGraph.moc"
