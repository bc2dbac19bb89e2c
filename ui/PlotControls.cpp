#include "ui/PlotControls.h"

#include "core/DriveLink.h"
#include "core/SampleCsv.h"
#include "core/WholeFile.h"
#include "ui/DriveView.h"

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_magnifier.h>
#include <qwt_plot_panner.h>
#include <qwt_plot_renderer.h>
#include <qwt_plot_zoomer.h>

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShortcut>

#include <cerrno>
#include <sys/mman.h>

namespace {

QString windowText(int seconds)
{
    return seconds < 60 ? PlotControls::tr("%1 s").arg(seconds) : PlotControls::tr("%1 min").arg(seconds / 60);
}

// Wheel zoom on one axis of the canvas, with the given modifiers.
void magnifyAxis(QWidget* canvas, QwtPlot::Axis keptAxis, Qt::KeyboardModifiers modifiers)
{
    auto* magnifier = new QwtPlotMagnifier(canvas);
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis)
        magnifier->setAxisEnabled(axis, axis == keptAxis);
    magnifier->setWheelModifiers(modifiers);
    // The right button and the +/- keys are the zoomer's.
    magnifier->setMouseButton(Qt::NoButton);
    magnifier->setZoomInKey(Qt::Key_unknown, Qt::NoModifier);
    magnifier->setZoomOutKey(Qt::Key_unknown, Qt::NoModifier);
}

} // namespace

const QVector<int>& PlotControls::timeWindows()
{
    static const QVector<int> seconds {5, 10, 25, 60, 120, 300, 600};
    return seconds;
}

int PlotControls::capacityFor(int seconds)
{
    return seconds * 1000 / DriveLink::PollIntervalMs + 1;
}

PlotControls::PlotControls(DriveView& view, DriveLink& link)
    : QWidget(view.form().dockWidgetContents), view(view), link(link)
{
    ui.setupUi(this);
    view.form().graphLayout->insertWidget(0, this);
    QwtPlot* plot = view.form().qwtPlot;
    QWidget* canvas = plot->canvas();

    plotLegend = new QwtLegend;
    plotLegend->setDefaultItemMode(QwtLegendData::Checkable);
    plot->insertLegend(plotLegend, QwtPlot::RightLegend);
    // After the legend's own slot: entries made anew, when a reset brings the curves
    // back, show whether their curve is on.
    connect(plot, &QwtPlot::legendDataChanged, this, &PlotControls::syncLegend);
    syncLegend();
    connect(plotLegend, &QwtLegend::checked, this, [plot](const QVariant& info, bool on, int) {
        if (QwtPlotItem* item = plot->infoToItem(info)) {
            item->setVisible(on);
            plot->replot();
        }
    });

    plotZoomer = new QwtPlotZoomer(canvas, false);
    auto* panner = new QwtPlotPanner(canvas);
    panner->setMouseButton(Qt::LeftButton, Qt::ShiftModifier);
    magnifyAxis(canvas, QwtPlot::yLeft, Qt::NoModifier);
    magnifyAxis(canvas, QwtPlot::xBottom, Qt::ControlModifier);
    // Installed last, so it sees each event before them.
    canvas->installEventFilter(this);

    connect(ui.pushButton_Pause, &QPushButton::toggled, &view, &DriveView::setFrozen);
    connect(&view, &DriveView::frozenChanged, this, &PlotControls::showFrozen);
    connect(new QShortcut(QKeySequence(Qt::Key_P), this), &QShortcut::activated, ui.pushButton_Pause,
            &QPushButton::click);

    for (int seconds : timeWindows())
        ui.comboBox_TimeWindow->addItem(windowText(seconds), capacityFor(seconds));
    showCapacity(link.sampleCapacity());
    connect(ui.comboBox_TimeWindow, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { this->link.setSampleCapacity(ui.comboBox_TimeWindow->itemData(index).toInt()); });
    connect(&link, &DriveLink::sampleCapacityChanged, this, [this](int capacity) {
        showCapacity(capacity);
        this->view.followSamples();
    });

    connect(ui.pushButton_Export, &QPushButton::clicked, this, &PlotControls::exportWithDialog);
    connect(ui.pushButton_StepTest, &QPushButton::clicked, this,
            [this] { emit stepTestRequested(this->view.motorNumber()); });
}

bool PlotControls::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    const bool acts = type == QEvent::MouseButtonPress || type == QEvent::Wheel
        || (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier);
    if (acts && !view.isFrozen())
        view.setFrozen(true);
    return QWidget::eventFilter(watched, event);
}

void PlotControls::showFrozen(bool frozen)
{
    const QSignalBlocker blocker(ui.pushButton_Pause);
    ui.pushButton_Pause->setChecked(frozen);
    ui.pushButton_Pause->setText(frozen ? tr("Follow live") : tr("Pause"));
    // Zooming out all the way returns to the frozen axes, not to older live ones.
    if (frozen)
        plotZoomer->setZoomBase(false);
}

void PlotControls::showCapacity(int capacity)
{
    ui.comboBox_TimeWindow->setCurrentIndex(ui.comboBox_TimeWindow->findData(capacity));
}

void PlotControls::syncLegend()
{
    QwtPlot* plot = view.form().qwtPlot;
    for (QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        if (auto* label = qobject_cast<QwtLegendLabel*>(plotLegend->legendWidget(plot->itemToInfo(item))))
            label->setChecked(item->isVisible());
    }
}

QString PlotControls::defaultExportName(const QString& suffix) const
{
    return QStringLiteral("board%1-motor%2-graph.%3").arg(link.board()).arg(view.motorNumber()).arg(suffix);
}

QString PlotControls::exportTitle() const
{
    return tr("Motor %1 on board %2, %3")
        .arg(QString::number(view.motorNumber()), DriveLink::boardName(link.board()),
             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

void PlotControls::exportWithDialog()
{
    const QStringList filters {tr("PNG image (*.png)"), tr("SVG drawing (*.svg)"), tr("PDF document (*.pdf)"),
                               tr("Samples in view, CSV (*.csv)")};
    const QStringList suffixes {QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf"),
                                QStringLiteral("csv")};
    QString filter = filters.first();
    QString fileName = QFileDialog::getSaveFileName(this, tr("Export the graph of motor %1").arg(view.motorNumber()),
                                                    defaultExportName(suffixes.first()),
                                                    filters.join(QStringLiteral(";;")), &filter);
    if (fileName.isEmpty())
        return;
    // Only a name without an extension takes the chosen filter's; a name typed with
    // another is the operator's, and exportTo says when it names no format.
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QLatin1Char('.') + suffixes.value(filters.indexOf(filter), suffixes.first());
    const QString failure = exportTo(fileName);
    if (!failure.isEmpty())
        QMessageBox::warning(this, tr("Export failed"), failure);
}

QString PlotControls::exportTo(const QString& fileName) const
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return exportSamples(fileName);
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg") && suffix != QLatin1String("pdf"))
        return tr("%1 names no format the graph can be saved in: end the name with .png, .svg, .pdf or .csv.")
            .arg(fileName);
    // The renderer writes a file itself and says nothing of a failure: it writes into
    // memory, and the bytes go to the file through the checked write.
    const int memory = memfd_create("graph", MFD_CLOEXEC);
    QFile document;
    if (memory < 0 || !document.open(memory, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return tr("Could not draw the graph: %1").arg(qt_error_string(errno));
    QwtPlot* plot = view.form().qwtPlot;
    // The page's strip of a graph would read badly on paper or in a report: the export has
    // a size of its own, a landscape page's width at 16:9, and a title saying whose graph
    // it is and when, which the window's graph has in its dock's title instead.
    const QSizeF millimetres(297, 167);
    constexpr int DotsPerInch = 150;
    QwtText title(exportTitle());
    title.setRenderFlags(Qt::AlignCenter);
    plot->setTitle(title);
    QwtPlotRenderer().renderDocument(plot, QStringLiteral("/proc/self/fd/%1").arg(memory), suffix, millimetres,
                                     DotsPerInch);
    plot->setTitle(QwtText());
    const QByteArray bytes = document.readAll();
    const QString failure = bytes.isEmpty() ? tr("The graph could not be drawn") : WholeFile::write(fileName, bytes);
    if (!failure.isEmpty())
        return tr("Could not write the graph to %1:\n%2").arg(QFileInfo(fileName).absoluteFilePath(), failure);
    return {};
}

QString PlotControls::exportSamples(const QString& fileName) const
{
    QByteArray text = SampleCsv::header();
    if (const MotorSamples* samples = view.shownSamples()) {
        // The axes as the next replot draws them.
        view.form().qwtPlot->updateAxes();
        const QwtInterval time = view.form().qwtPlot->axisInterval(QwtPlot::xBottom);
        text += SampleCsv::rows(*samples, link.board(), view.motorNumber(), time.minValue(), time.maxValue());
    }
    const QString failure = WholeFile::write(fileName, text);
    if (!failure.isEmpty())
        return tr("Could not write the samples to %1:\n%2").arg(QFileInfo(fileName).absoluteFilePath(), failure);
    return {};
}
