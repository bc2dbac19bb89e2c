#pragma once

#include "core/StepTest.h"

#include "ui_StepTestDialog.h"

#include <QDialog>

class DriveLink;
class QwtPlotCurve;

// The step test of one motor: its settings, the run in progress, and the runs so far
// overlaid on one plot with markers for their figures, listed with the gains they ran
// with. Closing the dialog stops a run in progress.
class StepTestDialog : public QDialog
{
    Q_OBJECT

public:
    StepTestDialog(DriveLink& link, int motor, QWidget* parent = nullptr);
    ~StepTestDialog() override;

    const Ui::StepTestDialog& form() const { return ui; }
    StepTest& stepTest() const { return *test; }
    const QVector<StepRun>& runs() const { return finishedRuns; }

    // Writes a finished run as CSV; returns what went wrong, empty when written.
    QString exportRun(int index, const QString& fileName) const;

    void reject() override;

private:
    void showBounds();
    void startRun();
    void showProgress(double seconds);
    void addRun(const StepRun& run);
    void drawMarkers(const StepRun& run, const QColor& colour);
    void showEnded(const QString& status);
    void exportSelectedRun();
    void clearRuns();

    Ui::StepTestDialog ui;
    DriveLink& link;
    const int motor;
    StepTest* test = nullptr;
    QVector<StepRun> finishedRuns;
    QwtPlotCurve* runningCurve = nullptr; // the run in progress, drawn as it comes
};
