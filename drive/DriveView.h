#pragma once

#include "drive/SampleWindow.h"

#include "ui_DriveView.h"

#include <QElapsedTimer>
#include <QWidget>

class QwtPlotCurve;

// The setup panel of one motor: the form with its read-only value
// fields, one entry dialog per drive parameter, and the live graph of position, speed
// and set-point. The main window owns four of them, one per motor tab, writes their
// value fields directly and pushes one graph sample into each per position broadcast.
class DriveView : public QWidget, public Ui::DriveView
{
    Q_OBJECT

public:
    // Samples kept per graph series: the sliding window.
    static constexpr int GraphSamples = 501;

    // Builds the view of motor number id (0 to 3) as a child of parent.
    DriveView(QWidget* parent, int id);
    ~DriveView() override;

    // The motor number given at construction, 0 to 3; dialog titles show it plus one.
    int motorNumber() const { return motor; }

    // Adds one sample (signed values, plotted unscaled) at the graph clock's time, drops
    // the oldest beyond GraphSamples, hands the curves their points, re-attaches them
    // and replots. A view whose plot is not visible defers the replot until it is shown.
    void pushGraphPosition(short position, short speed, short setPoint);

    // Empties the graph on a drive address change: detaches the three curves, empties
    // the buffers and detaches (and deletes) whatever else is on the plot. The curves
    // survive; the next push brings them back at the graph clock's current time.
    void resetGraph();

signals:
    void CtrlModeChanged(int value, int id);
    void CtrlTypeChanged(int value, int id);
    void SetPointSrcChanged(int value, int id);
    void PosMesSrcChanged(int value, int id);
    void SetPointChanged(int value, int id);
    void SetPointMaxChanged(int value, int id);
    void SetPointMinChanged(int value, int id);
    void ADCOffsetChanged(int value, int id);
    void SpeedMaxChanged(int value, int id);
    void AccelerationStepChanged(int value, int id);
    void CurrentOffsetChanged(int value, int id);
    void CurrentLimitChanged(int value, int id);
    void EncoderBiasChanged(int value, int id);
    void MotorBiasChanged(int value, int id);
    void pid_KpChanged(double value, int id);
    void pid_KiChanged(double value, int id);
    void pid_KdChanged(double value, int id);
    void pid_error_maxChanged(double value, int id);

protected slots:
    void CtrlModeClicked();
    void CtrlTypeClicked();
    void SetPointSrcClicked();
    void PosMesSrcClicked();
    void SetPointClicked();
    void SetPointMaxClicked();
    void SetPointMinClicked();
    void ADCOffsetClicked();
    void SpeedMaxClicked();
    void AccelerationStepClicked();
    void CurrentOffsetClicked();
    void CurrentLimitClicked();
    void EncoderBiasClicked();
    void MotorBiasClicked();
    void pid_KpClicked();
    void pid_KiClicked();
    void pid_KdClicked();
    void pid_error_maxClicked();

private:
    const int motor;

public:
    // The live graph. The curves are created by the view and attached to
    // qwtPlot; the buffers hold the samples, oldest first, all of the same length.
    QwtPlotCurve* positionCurve = nullptr; // "Position", red
    QwtPlotCurve* setPointCurve = nullptr; // "SetPoint", green
    QwtPlotCurve* speedCurve = nullptr;    // "Speed", blue
    QElapsedTimer graphClock;              // started at construction, never restarted
    SampleWindow timeBuffer{GraphSamples}; // seconds since construction
    SampleWindow positionBuffer{GraphSamples};
    SampleWindow setPointBuffer{GraphSamples};
    SampleWindow speedBuffer{GraphSamples};

protected:
    // Watches the plot's show event to draw what was deferred while it was hidden.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Parameter;
    static const Parameter parameters[];

    // The entry procedure for the parameter whose slot is `slot`.
    void enterParameter(void (DriveView::*slot)());

    // Replots now if the plot is on screen, otherwise when it is next shown.
    void replotWhenVisible();

    bool replotPending = false;
};
