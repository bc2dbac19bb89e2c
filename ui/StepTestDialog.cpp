#include "ui/StepTestDialog.h"

#include "core/DriveLink.h"
#include "core/WholeFile.h"

#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_symbol.h>

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <cmath>

using namespace SharedVariables;

namespace {

enum Column { RunColumn, GainsColumn, StepColumn, RiseColumn, OvershootColumn, SettlingColumn, ErrorColumn,
              PeakSpeedColumn };

// Runs differ in colour and in line style, so they stay apart where colours do not.
QColor runColour(int run)
{
    static const Qt::GlobalColor colours[] = {Qt::darkBlue, Qt::red, Qt::darkGreen, Qt::magenta, Qt::darkCyan,
                                              Qt::darkYellow};
    return colours[run % 6];
}

Qt::PenStyle runStyle(int run)
{
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DashDotLine, Qt::DotLine};
    return styles[run % 4];
}

QString figure(double value, int decimals, const QString& missing)
{
    return std::isnan(value) ? missing : QString::number(value, 'f', decimals);
}

} // namespace

StepTestDialog::StepTestDialog(DriveLink& link, int motor, QWidget* parent)
    : QDialog(parent), link(link), motor(motor)
{
    ui.setupUi(this);
    setWindowTitle(tr("Step test of motor %1").arg(motor));
    test = new StepTest(link, motor, this);

    QwtPlot* plot = ui.qwtPlot_Response;
    plot->setAxisTitle(QwtPlot::xBottom, tr("time since the step (s)"));
    plot->setAxisTitle(QwtPlot::yLeft, tr("Position (counts)"));
    plot->insertLegend(new QwtLegend, QwtPlot::BottomLegend);

    showBounds();
    ui.spinBox_Target->setValue(link.mirror().s16(address(motor, SetPoint)));
    connect(&link, &DriveLink::variableChanged, this, [this](int changedMotor, Index index) {
        if (changedMotor == this->motor && (index == SetPointMin || index == SetPointMax))
            showBounds();
    });

    connect(ui.pushButton_Start, &QPushButton::clicked, this, &StepTestDialog::startRun);
    connect(ui.pushButton_Stop, &QPushButton::clicked, test, &StepTest::stop);
    connect(test, &StepTest::progressed, this, &StepTestDialog::showProgress);
    connect(test, &StepTest::finished, this, &StepTestDialog::addRun);
    connect(test, &StepTest::stopped, this, [this] {
        showEnded(test->run().settings.returnToStart ? tr("Stopped; the set-point goes back to where it started.")
                                                     : tr("Stopped; the set-point stays where the test put it."));
    });
    // Not exec(): these come inside the link's own signals.
    const auto showMessage = [this](const QString& title, const QString& message) {
        showEnded(message);
        auto* box = new QMessageBox(QMessageBox::Warning, title, message, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    connect(test, &StepTest::failed, this,
            [showMessage](const QString& message) { showMessage(tr("Step test ended"), message); });
    connect(test, &StepTest::refused, this,
            [showMessage](const QString& message) { showMessage(tr("Step test refused"), message); });
    connect(ui.tableWidget_Runs, &QTableWidget::itemSelectionChanged, this,
            [this] { ui.pushButton_ExportRun->setEnabled(!ui.tableWidget_Runs->selectedItems().isEmpty()); });
    connect(ui.pushButton_ExportRun, &QPushButton::clicked, this, &StepTestDialog::exportSelectedRun);
    connect(ui.pushButton_ClearRuns, &QPushButton::clicked, this, &StepTestDialog::clearRuns);
    connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &StepTestDialog::reject);
}

// The plot is still alive here; curves and markers go with it.
StepTestDialog::~StepTestDialog() = default;

void StepTestDialog::reject()
{
    test->stop();
    QDialog::reject();
}

void StepTestDialog::showBounds()
{
    const int low = link.mirror().s16(address(motor, SetPointMin));
    const int high = link.mirror().s16(address(motor, SetPointMax));
    ui.label_Bounds->setText(tr("from SetPointMin %1 to SetPointMax %2").arg(low).arg(high));
    ui.spinBox_Target->setRange(low, std::max(low, high));
}

void StepTestDialog::startRun()
{
    StepSettings settings;
    settings.target = ui.spinBox_Target->value();
    settings.durationMs = qRound(ui.doubleSpinBox_Duration->value() * 1000);
    settings.bandPercent = ui.doubleSpinBox_Band->value();
    settings.returnToStart = ui.checkBox_ReturnToStart->isChecked();
    if (!test->start(settings)) {
        QMessageBox::warning(this, tr("Step test refused"), test->refusal(settings));
        return;
    }
    const int number = finishedRuns.size();
    runningCurve = new QwtPlotCurve(tr("Run %1 (running)").arg(number + 1));
    runningCurve->setPen(runColour(number), 2, runStyle(number));
    runningCurve->setLegendAttribute(QwtPlotCurve::LegendShowLine);
    runningCurve->setLegendIconSize(QSize(32, 8));
    runningCurve->attach(ui.qwtPlot_Response);
    ui.progressBar->setRange(0, settings.durationMs);
    ui.progressBar->setValue(0);
    ui.pushButton_Start->setEnabled(false);
    ui.pushButton_Stop->setEnabled(true);
    ui.pushButton_ClearRuns->setEnabled(false);
    ui.label_Status->setText(tr("Reading motor %1 from the board, then stepping to %2.").arg(motor).arg(settings.target));
}

void StepTestDialog::showProgress(double seconds)
{
    const StepRun& run = test->run();
    ui.label_Status->setText(
        tr("Running: SetPoint %1 to %2 with %3.").arg(run.startSetPoint).arg(run.settings.target).arg(run.gains()));
    ui.progressBar->setValue(qRound(seconds * 1000));
    QVector<QPointF> points {{0, run.startPosition}};
    for (const StepSample& sample : run.samples)
        points.append({sample.time, sample.position});
    runningCurve->setSamples(points);
    ui.qwtPlot_Response->replot();
}

void StepTestDialog::addRun(const StepRun& run)
{
    finishedRuns.append(run);
    const int number = finishedRuns.size();
    const QColor colour = runColour(number - 1);
    runningCurve->setTitle(tr("Run %1: %2").arg(number).arg(run.gains()));
    runningCurve = nullptr;
    drawMarkers(run, colour);

    const StepFigures& f = run.figures;
    const QStringList cells {QString::number(number),
                             run.gains(),
                             tr("%1 to %2").arg(run.startPosition).arg(run.settings.target),
                             figure(f.riseTime, 3, tr("not reached")),
                             figure(f.overshootPercent, 1, tr("-")),
                             figure(f.settlingTime, 3, tr("not settled")),
                             figure(f.steadyStateError, 1, tr("-")),
                             figure(f.peakSpeed, 0, tr("-"))};
    QTableWidget* table = ui.tableWidget_Runs;
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (column == RunColumn)
            item->setForeground(colour);
        table->setItem(row, column, item);
    }
    table->resizeColumnsToContents();
    showEnded(tr("Run %1 done.").arg(number));
    ui.progressBar->setValue(ui.progressBar->maximum());
}

void StepTestDialog::drawMarkers(const StepRun& run, const QColor& colour)
{
    QwtPlot* plot = ui.qwtPlot_Response;
    const StepFigures& f = run.figures;
    const struct
    {
        QPointF at;
        QwtSymbol::Style style;
    } points[] = {{f.riseStart, QwtSymbol::UTriangle},
                  {f.riseEnd, QwtSymbol::UTriangle},
                  {f.overshootPercent > 0 ? f.peak : QPointF(qQNaN(), qQNaN()), QwtSymbol::Diamond},
                  {f.settled, QwtSymbol::Ellipse}};
    for (const auto& point : points) {
        if (std::isnan(point.at.x()))
            continue;
        auto* marker = new QwtPlotMarker;
        marker->setSymbol(new QwtSymbol(point.style, QBrush(colour), QPen(Qt::black), QSize(10, 10)));
        marker->setValue(point.at);
        marker->setZ(40);
        marker->attach(plot);
    }
    auto* target = new QwtPlotMarker;
    target->setLineStyle(QwtPlotMarker::HLine);
    target->setLinePen(colour, 1, Qt::DashLine);
    target->setYValue(run.settings.target);
    target->attach(plot);
    plot->replot();
}

void StepTestDialog::showEnded(const QString& status)
{
    if (runningCurve) {
        delete runningCurve;
        runningCurve = nullptr;
        ui.qwtPlot_Response->replot();
    }
    ui.label_Status->setText(status);
    ui.pushButton_Start->setEnabled(true);
    ui.pushButton_Stop->setEnabled(false);
    ui.pushButton_ClearRuns->setEnabled(!finishedRuns.isEmpty());
}

void StepTestDialog::exportSelectedRun()
{
    const QList<QTableWidgetItem*> selected = ui.tableWidget_Runs->selectedItems();
    if (selected.isEmpty())
        return;
    const int index = selected.first()->row();
    QString fileName = QFileDialog::getSaveFileName(this, tr("Export run %1 of motor %2").arg(index + 1).arg(motor),
                                                    QStringLiteral("board%1-motor%2-step-run%3.csv").arg(finishedRuns.value(index).board).arg(motor).arg(index + 1),
                                                    tr("CSV files (*.csv)"));
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".csv");
    const QString failure = exportRun(index, fileName);
    if (!failure.isEmpty())
        QMessageBox::warning(this, tr("Export failed"), failure);
}

QString StepTestDialog::exportRun(int index, const QString& fileName) const
{
    const QString failure = WholeFile::write(fileName, finishedRuns.value(index).csv());
    if (!failure.isEmpty())
        return tr("Could not write the run to %1:\n%2").arg(QFileInfo(fileName).absoluteFilePath(), failure);
    return {};
}

void StepTestDialog::clearRuns()
{
    ui.qwtPlot_Response->detachItems(QwtPlotItem::Rtti_PlotItem, true);
    ui.qwtPlot_Response->replot();
    finishedRuns.clear();
    ui.tableWidget_Runs->setRowCount(0);
    ui.pushButton_ClearRuns->setEnabled(false);
    ui.pushButton_ExportRun->setEnabled(false);
}
