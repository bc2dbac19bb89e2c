#include "ui/IncrementPainter.h"

#include <QPaintEvent>
#include <QPainter>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>

#include <algorithm>
#include <utility>

IncrementPainter::IncrementPainter(QwtPlot* plot)
    : QObject(plot), plot(plot)
{
    plot->canvas()->installEventFilter(this);
}

void IncrementPainter::draw(const QVector<QwtPlotCurve*>& curves, int from, int to)
{
    QWidget* canvas = plot->canvas();
    QRectF covered;
    QVector<QwtPlotCurve*> drawn;
    for (QwtPlotCurve* curve : curves) {
        if (!curve->isVisible())
            continue;
        drawn.append(curve);
        const QwtScaleMap xMap = plot->canvasMap(curve->xAxis());
        const QwtScaleMap yMap = plot->canvasMap(curve->yAxis());
        // The pen's width and its round or square ends reach past the points.
        const double margin = std::max(1.0, curve->pen().widthF()) + 2;
        for (int i = from; i <= to; ++i) {
            const QPointF sample = curve->sample(size_t(i));
            const QPointF at(xMap.transform(sample.x()), yMap.transform(sample.y()));
            covered |= QRectF(at.x() - margin, at.y() - margin, 2 * margin, 2 * margin);
        }
    }
    const QRect rect = covered.toAlignedRect() & canvas->contentsRect();
    if (drawn.isEmpty() || rect.isEmpty())
        return;
    std::stable_sort(drawn.begin(), drawn.end(), [](const QwtPlotCurve* a, const QwtPlotCurve* b) { return a->z() < b->z(); });
    // Increments not painted yet join: the paint draws from the oldest to the newest.
    if (pendingCurves.isEmpty()) {
        pendingFrom = from;
        pendingRect = rect;
    } else {
        pendingFrom = std::min(pendingFrom, from);
        pendingRect |= rect;
    }
    pendingTo = to;
    pendingCurves = drawn;
    canvas->update(rect);
}

bool IncrementPainter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Paint || pendingCurves.isEmpty())
        return QObject::eventFilter(watched, event);
    const QVector<QwtPlotCurve*> curves = std::exchange(pendingCurves, {});
    const QRegion region = static_cast<QPaintEvent*>(event)->region();
    if (!QRegion(pendingRect).contains(region.boundingRect()))
        return false; // the canvas draws everything, the increments included
    QWidget* canvas = plot->canvas();
    QPainter painter(canvas);
    painter.setClipRegion(region);
    for (QwtPlotCurve* curve : curves) {
        painter.setRenderHint(QPainter::Antialiasing, curve->testRenderHint(QwtPlotItem::RenderAntialiased));
        curve->drawSeries(&painter, plot->canvasMap(curve->xAxis()), plot->canvasMap(curve->yAxis()),
                          canvas->contentsRect(), pendingFrom, pendingTo);
    }
    return true;
}
