#pragma once

#include "ui_PlotControls.h"

#include <QWidget>

class DriveLink;
class DriveView;
class QwtLegend;
class QwtPlotZoomer;

// The controls of one motor's live graph, in a row above its plot: pause, zoom, pan, a
// legend whose entries switch curves on and off, the time window and the export. Any
// mouse or key action on the plot pauses it first, so what the operator studies holds
// still while the samples go on arriving; resuming follows the live samples again.
class PlotControls : public QWidget
{
    Q_OBJECT

public:
    // The time windows offered, in seconds.
    static const QVector<int>& timeWindows();
    // The samples a motor keeps for a time window at the polling rate.
    static int capacityFor(int seconds);

    // Puts the controls above the view's plot.
    PlotControls(DriveView& view, DriveLink& link);

    const Ui::PlotControls& form() const { return ui; }
    QwtLegend* legend() const { return plotLegend; }
    QwtPlotZoomer* zoomer() const { return plotZoomer; }

    // Writes the graph as an image (.png, .svg or .pdf), titled with its motor, board and
    // the time, or the samples in view, those the time axis shows, as CSV (.csv). Returns
    // what went wrong, in words for the operator; empty when the file was written.
    QString exportTo(const QString& fileName) const;
    // The name the export dialog offers: board, motor and what it holds.
    QString defaultExportName(const QString& suffix) const;

signals:
    void stepTestRequested(int motor);

protected:
    // Pauses the graph before the zoomer, panner or magnifier act on the canvas.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFrozen(bool frozen);
    void showCapacity(int capacity);
    void syncLegend();
    void exportWithDialog();
    QString exportTitle() const;
    QString exportSamples(const QString& fileName) const;

    Ui::PlotControls ui;
    DriveView& view;
    DriveLink& link;
    QwtLegend* plotLegend = nullptr;
    QwtPlotZoomer* plotZoomer = nullptr;
};
