#pragma once

#include "protocol/SharedVariables.h"

#include "ui_DriveView.h"

#include <QWidget>

#include <memory>

class MotorSamples;
class QwtPlotCurve;
class IncrementPainter;
class QMainWindow;

// The setup panel of one motor: its value fields, one entry dialog per parameter and
// the live graph of position, set-point and speed. It shows what it is given and reports
// what the operator entered; the window connects it to the link.
class DriveView : public QWidget
{
    Q_OBJECT

public:
    // The view of motor number motor (0 to 3) as a child of parent.
    DriveView(QWidget* parent, int motor);
    ~DriveView() override;

    int motorNumber() const { return motor; }
    const Ui::DriveView& form() const { return ui; }

    // Sets a value field's text; an unchanged text is not set again, so the operator's
    // selection survives the redraw. The value is current: the field is no longer greyed
    // nor pending.
    void showValue(SharedVariables::Index index, const QString& text);
    // The field's value is not the selected board's: it is greyed and emptied, says why
    // in its tooltip, and its parameter cannot be changed until showValue.
    void showNotCurrent(SharedVariables::Index index, const QString& reason);
    // A value written and not yet confirmed by a read-back: shown in italics, its tooltip
    // saying so, until showValue or showNotCurrent.
    void showPending(SharedVariables::Index index, const QString& text);
    bool isPending(SharedVariables::Index index) const { return pending[index]; }
    // The board the entry dialogs and the graph's title name, as "0x01". Floating, the
    // graph may lie over another motor's page: its title says whose it is.
    void setBoardName(const QString& name);
    // Without a connection no parameter can be changed; the buttons say so.
    void setConnected(bool connected);

    // Draws the samples (the speed ten times as large) and brings the curves back after
    // a reset. A view whose plot is hidden draws when it is next shown.
    //
    // The time axis spans the samples' window and a fifth of it ahead of the newest
    // sample. While a new sample falls inside both axes only its segments are painted;
    // the whole plot is redrawn, and the axes moved on, when it does not.
    void drawSamples(const MotorSamples& samples);
    // Takes everything off the plot until the next drawSamples; thaws a frozen graph.
    void resetGraph();

    // Frozen, the graph shows a copy of what it showed, drawing nothing new and moving
    // no axis, while drawSamples goes on taking the newest samples; thawed, it follows
    // them again from the current window.
    void setFrozen(bool freeze);
    bool isFrozen() const { return frozen != nullptr; }
    // What the curves show: the frozen copy, or the newest samples (none before the first
    // draw or after a reset).
    const MotorSamples* shownSamples() const { return frozen ? frozen.get() : drawn; }
    // Moves the time axis to the newest samples and replots, as after a change of their
    // capacity; nothing while frozen.
    void followSamples();

    QwtPlotCurve* positionCurve() const { return curves[0]; }
    QwtPlotCurve* setPointCurve() const { return curves[1]; }
    QwtPlotCurve* speedCurve() const { return curves[2]; }

signals:
    // The operator entered value for a parameter of this view's motor.
    void parameterEntered(SharedVariables::Index index, int motor, double value);
    void frozenChanged(bool frozen);

protected:
    // Watches the plot's show event to draw what was deferred while it was hidden.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void enterParameter(SharedVariables::Index index);
    void updateParameterButton(SharedVariables::Index index);
    void endPending(SharedVariables::Index index);
    void replotWhenVisible();
    bool fitsAxes(const MotorSamples& samples) const;
    void moveTimeAxis(const MotorSamples& samples);
    void showOnCurves(const MotorSamples& samples);

    Ui::DriveView ui;
    const int motor;
    QMainWindow* graphWindow = nullptr; // holds the graph's dock
    QString graphTitle;                 // the dock's title in the form
    QLineEdit* fields[SharedVariables::VariableCount] = {};
    QToolButton* buttons[SharedVariables::VariableCount] = {}; // the parameters'
    bool notCurrent[SharedVariables::VariableCount] = {};
    bool pending[SharedVariables::VariableCount] = {};
    // Texts that came while the page was hidden in a shown window, set when it shows:
    // laying out and shaping text nobody sees costs more than the rest of a reply.
    bool deferred[SharedVariables::VariableCount] = {};
    QString deferredText[SharedVariables::VariableCount];
    QString board = QStringLiteral("0x01");
    bool connected = true;
    QwtPlotCurve* curves[3] = {};
    IncrementPainter* increments = nullptr;
    const MotorSamples* drawn = nullptr;    // the newest samples, for a deferred redraw
    const MotorSamples* onCurves = nullptr; // what the curves' series read
    std::unique_ptr<MotorSamples> frozen;
    bool replotPending = false;
    QPoint canvasDrawnAt; // where in its window the canvas was at the last draw
};
