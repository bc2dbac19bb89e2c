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
#include <QSignalBlocker>

#include <algorithm>
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

constexpr Index gainIndexes[3] = {pid_Kp, pid_Ki, pid_Kd};

} // namespace

StepTestDialog::StepTestDialog(DriveLink& link, int motor, QWidget* parent)
    : QDialog(parent), link(link), motor(motor), shownSet(link.board())
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

    // The same bounds and decimals as the gains' entry dialogs on the motor's page.
    ui.groupBox_Gains->setTitle(tr("Gains of motor %1").arg(motor));
    QDoubleSpinBox* const boxes[] = {ui.doubleSpinBox_Kp, ui.doubleSpinBox_Ki, ui.doubleSpinBox_Kd};
    for (int i = 0; i < 3; ++i) {
        QDoubleSpinBox* box = gainBoxes[i] = boxes[i];
        box->setDecimals(6);
        box->setRange(variable(gainIndexes[i]).minimum, variable(gainIndexes[i]).maximum);
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this, i] {
            gainEdited[i] = true;
            showGains();
        });
    }
    showGains();
    const auto showGainOf = [this](int changedMotor, Index index) {
        if (changedMotor == this->motor && (index == pid_Kp || index == pid_Ki || index == pid_Kd))
            showGains();
    };
    connect(&link, &DriveLink::variableChanged, this, showGainOf);
    connect(&link, &DriveLink::freshnessChanged, this, showGainOf);
    connect(&link, &DriveLink::connected, this, &StepTestDialog::showGains);
    connect(&link, &DriveLink::disconnected, this, &StepTestDialog::showGains);
    connect(ui.pushButton_WriteGains, &QPushButton::clicked, this, &StepTestDialog::writeGains);

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
    // After the test has ended a run of the board before: a new board starts its own set.
    connect(&link, &DriveLink::boardSelected, this, [this](int board) {
        gainEdited[0] = gainEdited[1] = gainEdited[2] = false;
        showGains();
        showSet(board);
    });
    connect(ui.comboBox_RunSet, QOverload<int>::of(&QComboBox::activated), this,
            [this](int item) { showSet(ui.comboBox_RunSet->itemData(item).toInt()); });
    connect(ui.tableWidget_Runs, &QTableWidget::itemSelectionChanged, this,
            [this] { ui.pushButton_ExportRun->setEnabled(!ui.tableWidget_Runs->selectedItems().isEmpty()); });
    connect(ui.pushButton_ExportRun, &QPushButton::clicked, this, &StepTestDialog::exportSelectedRun);
    connect(ui.pushButton_ClearRuns, &QPushButton::clicked, this, &StepTestDialog::clearRuns);
    connect(ui.buttonBox, &QDialogButtonBox::rejected, this, &StepTestDialog::reject);
    listSets();
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

const QVector<StepRun>& StepTestDialog::runs() const
{
    static const QVector<StepRun> none;
    const auto set = runSets.constFind(shownSet);
    return set == runSets.constEnd() ? none : *set;
}

// A box shows the selected board's gain unless the operator typed over it. Only typed
// gains are written: a box rounds to six decimals what the board may hold more finely.
void StepTestDialog::showGains()
{
    bool anyEdited = false, allCurrent = link.isConnected();
    for (int i = 0; i < 3; ++i) {
        const bool current = link.isConnected() && link.isCurrent(motor, gainIndexes[i]);
        gainBoxes[i]->setEnabled(current);
        if (current && !gainEdited[i]) {
            const QSignalBlocker quiet(gainBoxes[i]);
            gainBoxes[i]->setValue(double(link.mirror().f32(address(motor, gainIndexes[i]))));
        }
        anyEdited = anyEdited || gainEdited[i];
        allCurrent = allCurrent && current;
    }
    ui.pushButton_WriteGains->setEnabled(anyEdited && allCurrent && !test->isRunning());
}

void StepTestDialog::writeGains()
{
    for (int i = 0; i < 3; ++i) {
        if (gainEdited[i])
            link.writeParameter(gainIndexes[i], motor, gainBoxes[i]->value());
        gainEdited[i] = false;
    }
    showGains();
    ui.label_Status->setText(tr("Gains sent to board 0x%1; the next run reads them back before its step.")
                                 .arg(link.board(), 2, 16, QLatin1Char('0')));
}

void StepTestDialog::startRun()
{
    StepSettings settings;
    settings.target = ui.spinBox_Target->value();
    settings.durationMs = qRound(ui.doubleSpinBox_Duration->value() * 1000);
    settings.bandPercent = ui.doubleSpinBox_Band->value();
    settings.returnToStart = ui.checkBox_ReturnToStart->isChecked();
    // The run joins the selected board's set, whichever set the operator was looking at.
    showSet(link.board());
    if (!test->start(settings)) {
        QMessageBox::warning(this, tr("Step test refused"), test->refusal(settings));
        return;
    }
    const int number = runs().size();
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
    ui.pushButton_WriteGains->setEnabled(false);
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
    QVector<StepRun>& set = runSets[run.board];
    set.append(run);
    const int number = set.size();
    showEnded(tr("Run %1 done.").arg(number));
    ui.progressBar->setValue(ui.progressBar->maximum());
    if (run.board != shownSet)
        return showSet(run.board);
    drawRun(run, number - 1);
    listRun(run, number - 1);
    listSets();
}

void StepTestDialog::showSet(int board)
{
    if (test->isRunning())
        return;
    shownSet = board;
    ui.qwtPlot_Response->detachItems(QwtPlotItem::Rtti_PlotItem, true);
    ui.tableWidget_Runs->setRowCount(0);
    const QVector<StepRun>& set = runs();
    for (int number = 0; number < set.size(); ++number) {
        drawRun(set[number], number);
        listRun(set[number], number);
    }
    ui.qwtPlot_Response->replot();
    ui.pushButton_ClearRuns->setEnabled(!set.isEmpty());
    ui.pushButton_ExportRun->setEnabled(false);
    listSets();
}

// The sets with runs, and the one shown even while it has none.
void StepTestDialog::listSets()
{
    QComboBox* box = ui.comboBox_RunSet;
    box->clear();
    QList<int> boards = runSets.keys();
    if (!boards.contains(shownSet))
        boards.append(shownSet);
    std::sort(boards.begin(), boards.end());
    for (int board : boards) {
        const int count = runSets.value(board).size();
        box->addItem(tr("board 0x%1, motor %2 (%3)")
                         .arg(board, 2, 16, QLatin1Char('0'))
                         .arg(motor)
                         .arg(count == 1 ? tr("1 run") : tr("%1 runs").arg(count)),
                     board);
    }
    box->setCurrentIndex(box->findData(shownSet));
}

void StepTestDialog::drawRun(const StepRun& run, int number)
{
    auto* curve = new QwtPlotCurve(tr("Run %1: %2").arg(number + 1).arg(run.title()));
    curve->setPen(runColour(number), 2, runStyle(number));
    curve->setLegendAttribute(QwtPlotCurve::LegendShowLine);
    curve->setLegendIconSize(QSize(32, 8));
    QVector<QPointF> points {{0, run.startPosition}};
    for (const StepSample& sample : run.samples)
        points.append({sample.time, sample.position});
    curve->setSamples(points);
    curve->attach(ui.qwtPlot_Response);
    drawMarkers(run, runColour(number));
}

void StepTestDialog::listRun(const StepRun& run, int number)
{
    const StepFigures& f = run.figures;
    const QStringList cells {QString::number(number + 1),
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
            item->setForeground(runColour(number));
        item->setToolTip(run.title());
        table->setItem(row, column, item);
    }
    table->resizeColumnsToContents();
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
    ui.pushButton_ClearRuns->setEnabled(!runs().isEmpty());
    showGains();
}

void StepTestDialog::exportSelectedRun()
{
    const QList<QTableWidgetItem*> selected = ui.tableWidget_Runs->selectedItems();
    if (selected.isEmpty())
        return;
    const int index = selected.first()->row();
    QString fileName = QFileDialog::getSaveFileName(this, tr("Export run %1 of motor %2").arg(index + 1).arg(motor),
                                                    QStringLiteral("board%1-motor%2-step-run%3.csv")
                                                        .arg(shownSet)
                                                        .arg(motor)
                                                        .arg(index + 1),
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
    const QString failure = WholeFile::write(fileName, runs().value(index).csv());
    if (!failure.isEmpty())
        return tr("Could not write the run to %1:\n%2").arg(QFileInfo(fileName).absoluteFilePath(), failure);
    return {};
}

void StepTestDialog::clearRuns()
{
    runSets.remove(shownSet);
    showSet(shownSet);
}
