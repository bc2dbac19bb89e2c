#pragma once

#include <QObject>
#include <QRect>
#include <QVector>

class QwtPlot;
class QwtPlotCurve;

// Draws the newest segments of a plot's curves without drawing the plot anew. It asks
// the canvas to repaint only the rectangle the segments cover, and that paint draws just
// them, in the curves' z order, over what the window already holds there. The request
// joins the window's other updates, so the segments of all curves and the fields changed
// by the same reply reach the screen together. A paint that covers more than that
// rectangle (a replot, an expose) is left to the canvas, which draws everything.
class IncrementPainter : public QObject
{
public:
    explicit IncrementPainter(QwtPlot* plot);

    // The visible curves' segments between samples from and to.
    void draw(const QVector<QwtPlotCurve*>& curves, int from, int to);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QwtPlot* plot;
    QVector<QwtPlotCurve*> pendingCurves; // in z order
    QRect pendingRect;
    int pendingFrom = 0;
    int pendingTo = 0;
};
