#include "ui/DriveView.h"

#include "core/DriveLink.h"
#include "core/MotorSamples.h"
#include "ui/IncrementPainter.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_series_data.h>

#include <QEvent>
#include <QInputDialog>
#include <QMainWindow>
#include <QPen>

using namespace SharedVariables;

namespace {

// One series of a motor's samples against their times, read in place: the curve copies
// nothing, and the samples can be scaled for drawing without touching what was received.
class SampleSeries : public QwtSeriesData<QPointF>
{
public:
    SampleSeries(const SampleWindow& times, const SampleWindow& values, double scale)
        : times(times), values(values), scale(scale)
    {
    }

    size_t size() const override { return size_t(std::min(times.size(), values.size())); }
    QPointF sample(size_t i) const override
    {
        return QPointF(times.at(int(i)), scale * values.at(int(i)));
    }
    QRectF boundingRect() const override
    {
        if (size() == 0)
            return QRectF(1.0, 1.0, -2.0, -2.0); // Qwt's invalid rectangle
        double low = scale * values.at(0), high = low;
        for (size_t i = 1; i < size(); ++i) {
            const double value = scale * values.at(int(i));
            low = std::min(low, value);
            high = std::max(high, value);
        }
        return QRectF(times.first(), low, times.at(int(size()) - 1) - times.first(), high - low);
    }

private:
    const SampleWindow& times;
    const SampleWindow& values;
    const double scale;
};

constexpr double SpeedScale = 10.0;
// The part of the time axis kept ahead of the newest sample: the plot is redrawn whole
// once every this much of the window.
constexpr double LeadFraction = 0.2;

// The longest texts a variable of the type is shown as: its extreme integers, or a float
// as floatText writes it, plain or with an exponent.
QStringList widestTexts(Type type)
{
    switch (type) {
    case Type::U8:
        return {QStringLiteral("255")};
    case Type::U16:
        return {QStringLiteral("65535")};
    case Type::S16:
        return {QStringLiteral("-32768")};
    case Type::F32:
        return {QStringLiteral("-0.0000001234567"), QStringLiteral("-123456700000"), QStringLiteral("-1.234567e+38")};
    }
    return {};
}

// A field wide enough for the longest text of its variable, so that a narrow window
// never hides a sign or leading digits. A line edit's size hint is room for 17 "x" plus
// its frame and margins; the text's room is swapped for the longest text, and a pixel
// for the cursor.
void fitWidestText(QLineEdit* field, Type type)
{
    const QFontMetrics metrics = field->fontMetrics();
    int text = 0;
    for (const QString& widest : widestTexts(type))
        text = std::max(text, metrics.horizontalAdvance(widest));
    field->setMinimumWidth(field->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x')) + text + 1);
}

// A curve that leaves a gap where nothing was received (a disconnect, a silent board):
// it draws each segment of its samples on its own, in full replots and in the direct
// painter's increments alike.
class SegmentedCurve : public QwtPlotCurve
{
public:
    using QwtPlotCurve::QwtPlotCurve;
    const MotorSamples* samples = nullptr;

protected:
    void drawSeries(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, const QRectF& canvasRect,
                    int from, int to) const override
    {
        if (to < 0)
            to = int(dataSize()) - 1;
        int start = from;
        for (int i = from + 1; samples && i <= to; ++i) {
            if (samples->startsSegment(i)) {
                QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, start, i - 1);
                start = i;
            }
        }
        QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, start, to);
    }
};

// Colours tell the curves apart at a glance, and widths and dots where colour does not:
// the set-point is wide and lies below, so a position sitting on it still shows, and the
// speed is dotted. The set-point is not dashed: painted a segment at a time between
// replots, a dash pattern would start anew with each short segment and look solid.
QwtPlotCurve* newCurve(const QString& title, Qt::GlobalColor colour, int width, Qt::PenStyle style, double z,
                       QwtPlot* plot)
{
    auto* curve = new SegmentedCurve(title);
    curve->setPen(colour, width, style);
    curve->setLegendAttribute(QwtPlotCurve::LegendShowLine);
    curve->setLegendIconSize(QSize(32, 8));
    curve->setZ(z);
    curve->attach(plot);
    return curve;
}

} // namespace

DriveView::DriveView(QWidget* parent, int motor)
    : QWidget(parent), motor(motor)
{
    ui.setupUi(this);

    for (int index = 0; index < VariableCount; ++index) {
        fields[index] = findChild<QLineEdit*>(motorVariables()[size_t(index)].fieldName());
        Q_ASSERT(fields[index]);
        fitWidestText(fields[index], motorVariables()[size_t(index)].type);
    }
    for (Index index : parameters()) {
        auto* button = findChild<QToolButton*>(QStringLiteral("toolButton_") + QLatin1String(variable(index).name));
        Q_ASSERT(button);
        connect(button, &QToolButton::clicked, this, [this, index] { enterParameter(index); });
        button->setMaximumWidth(
            std::max(button->sizeHint().height(), button->fontMetrics().horizontalAdvance(button->text()) + 8));
        buttons[index] = button;
        updateParameterButton(index);
    }
    // With the "..." buttons no wider than they need, tight spacing and only the tab
    // page's margins, the grid fits beside a scroll bar on a 1366-pixel-wide screen even
    // in a 12-point font; where it does not, the page scrolls.
    ui.pageLayout->setContentsMargins(0, 0, 0, 0);
    ui.parameterGrid->setHorizontalSpacing(3);

    // A dock goes back into a main window's dock area only, by its float button, a double
    // click on its title strip or a drag: the graph's dock lives in a main window of its
    // own, a child of the page in the dock's place.
    graphWindow = new QMainWindow(this);
    graphWindow->setObjectName(QStringLiteral("mainWindow_Graph"));
    graphWindow->setWindowFlags(Qt::Widget);
    graphWindow->setSizePolicy(ui.dockWidget->sizePolicy());
    delete ui.pageLayout->replaceWidget(ui.dockWidget, graphWindow);
    graphWindow->addDockWidget(Qt::TopDockWidgetArea, ui.dockWidget);
    graphTitle = ui.dockWidget->windowTitle();

    // Qwt's own backing store draws each replot into a pixmap and copies that onto the
    // canvas, which the widget backing store then buffers again. Drawing straight onto
    // the canvas gives the same pixels at a third to a fifth of the cost per replot
    // (bench/bench_views.cpp); it is a paint attribute, not a look.
    if (auto* canvas = qobject_cast<QwtPlotCanvas*>(ui.qwtPlot->canvas()))
        canvas->setPaintAttribute(QwtPlotCanvas::BackingStore, false);
    // Qwt's own policy keeps the plot at its size hint at least; it may shrink to its
    // minimum, which still holds the axes, so that the view fits a small screen.
    ui.qwtPlot->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    curves[0] = newCurve(tr("Position"), Qt::red, 1, Qt::SolidLine, 30, ui.qwtPlot);
    curves[1] = newCurve(tr("SetPoint"), Qt::green, 3, Qt::SolidLine, 10, ui.qwtPlot);
    curves[2] = newCurve(tr("Speed x%1").arg(SpeedScale), Qt::blue, 1, Qt::DotLine, 20, ui.qwtPlot);
    ui.qwtPlot->setAxisTitle(QwtPlot::xBottom, tr("time (s)"));
    ui.qwtPlot->setAxisTitle(QwtPlot::yLeft, tr("counts"));
    increments = new IncrementPainter(ui.qwtPlot);

    // A hidden plot (its tab not selected) defers its replots until it is shown. The
    // plot's own show event comes whenever the view is shown, and also when the dock
    // floats out of a hidden tab, which shows the plot but not the view.
    ui.qwtPlot->installEventFilter(this);
}

// The plot is still alive here (children die after this body). Deleting an attached
// curve detaches it first; a curve detached by a graph reset would leak otherwise.
DriveView::~DriveView()
{
    for (QwtPlotCurve* curve : curves)
        delete curve;
}

void DriveView::setBoardName(const QString& name)
{
    board = name;
    ui.dockWidget->setWindowTitle(tr("Motor %1 on board %2: %3").arg(QString::number(motor), name, graphTitle));
}

void DriveView::enterParameter(Index index)
{
    const Variable& parameter = variable(index);
    // Unconvertible text (an empty field before the first poll) starts at 0.
    const QString text = fields[index]->text();
    const QString name = QString::fromLatin1(parameter.name);
    const QString label = tr("Enter %1 of motor %2 on board %3: %4 to %5")
                              .arg(name)
                              .arg(motor)
                              .arg(board)
                              .arg(parameter.minimum, 0, 'g', 10)
                              .arg(parameter.maximum, 0, 'g', 10);
    const QString title = name + QStringLiteral(" Selection [Motor ID: ") + QString::number(motor + 1)
        + QStringLiteral("]");

    bool ok = false;
    if (parameter.isFloat()) {
        const double value = QInputDialog::getDouble(this, title, label, text.toDouble(), parameter.minimum,
                                                     parameter.maximum, 6, &ok, Qt::WindowFlags());
        if (ok)
            emit parameterEntered(index, motor, value);
    } else {
        const int value = QInputDialog::getInt(this, title, label, text.toInt(nullptr, 10),
                                               int(parameter.minimum), int(parameter.maximum), 1, &ok,
                                               Qt::WindowFlags());
        if (ok)
            emit parameterEntered(index, motor, value);
    }
}

void DriveView::showOnCurves(const MotorSamples& samples)
{
    // The curves own series that read the samples in place: they are made when the
    // curves turn to other samples, not once a broadcast.
    if (onCurves == &samples)
        return;
    const SampleWindow* series[] = {&samples.position, &samples.setPoint, &samples.speed};
    for (int i = 0; i < 3; ++i) {
        curves[i]->setData(new SampleSeries(samples.time, *series[i], i == 2 ? SpeedScale : 1.0));
        static_cast<SegmentedCurve*>(curves[i])->samples = &samples;
    }
    onCurves = &samples;
}

void DriveView::drawSamples(const MotorSamples& samples)
{
    drawn = &samples;
    if (frozen)
        return;
    showOnCurves(samples);
    bool reattached = false;
    for (int i = 0; i < 3; ++i) {
        if (curves[i]->plot() != ui.qwtPlot) {
            curves[i]->attach(ui.qwtPlot);
            reattached = true;
        }
    }
    if (!ui.qwtPlot->isVisible()) {
        replotPending = true;
        return;
    }
    const int count = samples.size();
    // Increments draw only the new segments, over what the window last showed
    // in the canvas's place. Once the canvas has moved within its window (the page
    // scrolled, a control above it changed size) that is no longer the plot, so the
    // whole plot is drawn anew.
    QWidget* canvas = ui.qwtPlot->canvas();
    const QPoint canvasAt = canvas->mapTo(canvas->window(), QPoint(0, 0));
    const bool moved = canvasAt != canvasDrawnAt;
    canvasDrawnAt = canvasAt;
    if (reattached || replotPending || moved || count < 2 || !fitsAxes(samples)) {
        moveTimeAxis(samples);
        replotPending = false;
        ui.qwtPlot->replot();
        return;
    }
    increments->draw({curves[0], curves[1], curves[2]}, count - 2, count - 1);
}

void DriveView::setFrozen(bool freeze)
{
    if (freeze == isFrozen())
        return;
    if (freeze) {
        frozen = std::make_unique<MotorSamples>(drawn ? *drawn : MotorSamples());
        showOnCurves(*frozen);
    } else {
        // The curves leave the copy before it goes.
        if (drawn) {
            showOnCurves(*drawn);
        } else {
            for (QwtPlotCurve* curve : curves) {
                curve->setData(new QwtPointSeriesData);
                static_cast<SegmentedCurve*>(curve)->samples = nullptr;
            }
            onCurves = nullptr;
        }
        frozen.reset();
        ui.qwtPlot->setAxisAutoScale(QwtPlot::yLeft);
        followSamples();
    }
    emit frozenChanged(freeze);
}

void DriveView::followSamples()
{
    if (frozen)
        return;
    if (drawn)
        moveTimeAxis(*drawn);
    replotWhenVisible();
}

bool DriveView::fitsAxes(const MotorSamples& samples) const
{
    const QwtInterval time = ui.qwtPlot->axisInterval(QwtPlot::xBottom);
    const QwtInterval values = ui.qwtPlot->axisInterval(QwtPlot::yLeft);
    const int newest = samples.size() - 1;
    return time.contains(samples.time.at(newest)) && time.contains(samples.time.first())
        && values.contains(samples.position.at(newest)) && values.contains(samples.setPoint.at(newest))
        && values.contains(SpeedScale * samples.speed.at(newest));
}

void DriveView::moveTimeAxis(const MotorSamples& samples)
{
    if (samples.size() == 0)
        return;
    const double window = samples.capacity() * DriveLink::PollIntervalMs / 1000.0;
    const double first = samples.time.first();
    const double newest = samples.time.at(samples.size() - 1);
    ui.qwtPlot->setAxisScale(QwtPlot::xBottom, first, std::max(first + window, newest + LeadFraction * window));
}

void DriveView::resetGraph()
{
    // What was frozen belongs to the board before.
    setFrozen(false);
    // Detach first: detachItems deletes every item still attached.
    for (QwtPlotCurve* curve : curves)
        curve->detach();
    ui.qwtPlot->detachItems(QwtPlotItem::Rtti_PlotItem, true);
    drawn = nullptr;
    // So the old curves leave the screen now, not at the next draw.
    replotWhenVisible();
}

void DriveView::replotWhenVisible()
{
    if (ui.qwtPlot->isVisible()) {
        replotPending = false;
        ui.qwtPlot->replot();
    } else {
        replotPending = true;
    }
}

bool DriveView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui.qwtPlot && event->type() == QEvent::Show && replotPending) {
        replotPending = false;
        if (drawn && !frozen)
            moveTimeAxis(*drawn);
        ui.qwtPlot->replot();
    }
    return QWidget::eventFilter(watched, event);
}
