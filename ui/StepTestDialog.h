#pragma once

#include "core/StepTest.h"

#include "ui_StepTestDialog.h"

#include <QDialog>
#include <QMap>

class DriveLink;
class QwtPlotCurve;

// The step test of one motor: its settings, its gains (written here between runs, so the
// dialog can stay open over a small screen), the run in progress, and the runs so far
// overlaid on one plot with markers for their figures, listed with the gains they ran
// with. Runs are compared on one board only: each board has its own set, and the set of
// the selected board is shown unless the operator picks another to look at or export.
// Closing the dialog stops a run in progress.
class StepTestDialog : public QDialog
{
    Q_OBJECT

public:
    StepTestDialog(DriveLink& link, int motor, QWidget* parent = nullptr);
    ~StepTestDialog() override;

    const Ui::StepTestDialog& form() const { return ui; }
    StepTest& stepTest() const { return *test; }
    // The runs of the set shown, and its board.
    const QVector<StepRun>& runs() const;
    int shownBoard() const { return shownSet; }

    // Writes a finished run of the set shown as CSV; returns what went wrong, empty when written.
    QString exportRun(int index, const QString& fileName) const;

    void reject() override;

private:
    void showBounds();
    void showGains();
    void writeGains();
    void startRun();
    void showProgress(double seconds);
    void addRun(const StepRun& run);
    void showSet(int board);
    void listSets();
    void drawRun(const StepRun& run, int number);
    void listRun(const StepRun& run, int number);
    void drawMarkers(const StepRun& run, const QColor& colour);
    void showEnded(const QString& status);
    void exportSelectedRun();
    void clearRuns();

    Ui::StepTestDialog ui;
    DriveLink& link;
    const int motor;
    StepTest* test = nullptr;
    QMap<int, QVector<StepRun>> runSets; // by board
    int shownSet = 0;
    QDoubleSpinBox* gainBoxes[3] = {};
    bool gainEdited[3] = {}; // typed and not yet written: the board's values do not replace it
    QwtPlotCurve* runningCurve = nullptr; // the run in progress, drawn as it comes
};
