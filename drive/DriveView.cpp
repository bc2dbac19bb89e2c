#include "drive/DriveView.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>

#include <QEvent>
#include <QInputDialog>
#include <QPen>

#include <algorithm>
#include <iterator>

// One drive parameter that the operator can edit: its button and slot, the field its
// dialog starts from, the dialog's range and the signal that reports the value. An
// integer parameter has intChanged, a double parameter doubleChanged (6 decimals).
struct DriveView::Parameter
{
    const char* name;
    QToolButton* Ui_DriveView::*button;
    void (DriveView::*clicked)();
    QLineEdit* Ui_DriveView::*field;
    double minimum;
    double maximum;
    void (DriveView::*intChanged)(int, int);
    void (DriveView::*doubleChanged)(double, int);
};

// The parameter table, in the order of the slots and signals (and of the buttons'
// connections).
const DriveView::Parameter DriveView::parameters[] = {
    {"CtrlMode", &Ui_DriveView::toolButton_CtrlMode, &DriveView::CtrlModeClicked,
     &Ui_DriveView::lineEdit_CtrlMode, 0, 3, &DriveView::CtrlModeChanged, nullptr},
    {"CtrlType", &Ui_DriveView::toolButton_CtrlType, &DriveView::CtrlTypeClicked,
     &Ui_DriveView::lineEdit_CtrlType, 0, 3, &DriveView::CtrlTypeChanged, nullptr},
    {"SetPointSrc", &Ui_DriveView::toolButton_SetPointSrc, &DriveView::SetPointSrcClicked,
     &Ui_DriveView::lineEdit_SetPointSrc, 0, 4, &DriveView::SetPointSrcChanged, nullptr},
    {"PosMesSrc", &Ui_DriveView::toolButton_PosMesSrc, &DriveView::PosMesSrcClicked,
     &Ui_DriveView::lineEdit_PosMesSrc, 0, 3, &DriveView::PosMesSrcChanged, nullptr},
    {"SetPoint", &Ui_DriveView::toolButton_SetPoint, &DriveView::SetPointClicked,
     &Ui_DriveView::lineEdit_SetPoint, 0, 4096, &DriveView::SetPointChanged, nullptr},
    {"SetPointMax", &Ui_DriveView::toolButton_SetPointMax, &DriveView::SetPointMaxClicked,
     &Ui_DriveView::lineEdit_SetPointMax, 0, 4096, &DriveView::SetPointMaxChanged, nullptr},
    {"SetPointMin", &Ui_DriveView::toolButton_SetPointMin, &DriveView::SetPointMinClicked,
     &Ui_DriveView::lineEdit_SetPointMin, 0, 4096, &DriveView::SetPointMinChanged, nullptr},
    {"ADCOffset", &Ui_DriveView::toolButton_ADCOffset, &DriveView::ADCOffsetClicked,
     &Ui_DriveView::lineEdit_ADCOffset, -4096, 4096, &DriveView::ADCOffsetChanged, nullptr},
    {"SpeedMax", &Ui_DriveView::toolButton_SpeedMax, &DriveView::SpeedMaxClicked,
     &Ui_DriveView::lineEdit_SpeedMax, 0, 4096, &DriveView::SpeedMaxChanged, nullptr},
    {"AccelerationStep", &Ui_DriveView::toolButton_AccelerationStep,
     &DriveView::AccelerationStepClicked, &Ui_DriveView::lineEdit_AccelerationStep, 0, 4096,
     &DriveView::AccelerationStepChanged, nullptr},
    {"CurrentOffset", &Ui_DriveView::toolButton_CurrentOffset, &DriveView::CurrentOffsetClicked,
     &Ui_DriveView::lineEdit_CurrentOffset, 0, 4096, &DriveView::CurrentOffsetChanged, nullptr},
    {"CurrentLimit", &Ui_DriveView::toolButton_CurrentLimit, &DriveView::CurrentLimitClicked,
     &Ui_DriveView::lineEdit_CurrentLimit, 0, 10000, &DriveView::CurrentLimitChanged, nullptr},
    {"EncoderBias", &Ui_DriveView::toolButton_EncoderBias, &DriveView::EncoderBiasClicked,
     &Ui_DriveView::lineEdit_EncoderBias, 0, 1, &DriveView::EncoderBiasChanged, nullptr},
    {"MotorBias", &Ui_DriveView::toolButton_MotorBias, &DriveView::MotorBiasClicked,
     &Ui_DriveView::lineEdit_MotorBias, 0, 1, &DriveView::MotorBiasChanged, nullptr},
    {"pid_Kp", &Ui_DriveView::toolButton_pid_Kp, &DriveView::pid_KpClicked,
     &Ui_DriveView::lineEdit_pid_Kp, 0.0, 1000000.0, nullptr, &DriveView::pid_KpChanged},
    {"pid_Ki", &Ui_DriveView::toolButton_pid_Ki, &DriveView::pid_KiClicked,
     &Ui_DriveView::lineEdit_pid_Ki, 0.0, 1000000.0, nullptr, &DriveView::pid_KiChanged},
    {"pid_Kd", &Ui_DriveView::toolButton_pid_Kd, &DriveView::pid_KdClicked,
     &Ui_DriveView::lineEdit_pid_Kd, 0.0, 1000000.0, nullptr, &DriveView::pid_KdChanged},
    {"pid_error_max", &Ui_DriveView::toolButton_pid_error_max, &DriveView::pid_error_maxClicked,
     &Ui_DriveView::lineEdit_pid_error_max, 0.0, 1000000.0, nullptr,
     &DriveView::pid_error_maxChanged},
};

namespace {
QwtPlotCurve* newCurve(const char* title, Qt::GlobalColor colour, QwtPlot* plot)
{
    auto* curve = new QwtPlotCurve(QString::fromLatin1(title));
    curve->setPen(QPen(colour));
    curve->attach(plot);
    return curve;
}
} // namespace

DriveView::DriveView(QWidget* parent, int id)
    : QWidget(parent), motor(id)
{
    setupUi(this);

    for (const Parameter& parameter : parameters)
        connect(this->*parameter.button, &QToolButton::clicked, this, parameter.clicked);

    // Qwt's own backing store draws each replot into a pixmap and copies that onto the
    // canvas, which the widget backing store then buffers again. Drawing straight onto
    // the canvas gives the same pixels at a third to a fifth of the cost per replot
    // (bench/bench_views.cpp); it is a paint attribute, not a look.
    if (auto* canvas = qobject_cast<QwtPlotCanvas*>(qwtPlot->canvas()))
        canvas->setPaintAttribute(QwtPlotCanvas::BackingStore, false);

    graphClock.start();
    positionCurve = newCurve("Position", Qt::red, qwtPlot);
    setPointCurve = newCurve("SetPoint", Qt::green, qwtPlot);
    speedCurve = newCurve("Speed", Qt::blue, qwtPlot);

    // A hidden plot (its tab not selected) defers its replots until it is shown. The
    // plot's own show event comes whenever the view is shown, and also when the dock
    // floats out of a hidden tab, which shows the plot but not the view.
    qwtPlot->installEventFilter(this);
}

// The plot is still alive here (children die after this body). Deleting an attached
// curve detaches it first; a curve detached by a graph reset would leak otherwise.
DriveView::~DriveView()
{
    delete positionCurve;
    delete setPointCurve;
    delete speedCurve;
}

void DriveView::CtrlModeClicked() { enterParameter(&DriveView::CtrlModeClicked); }
void DriveView::CtrlTypeClicked() { enterParameter(&DriveView::CtrlTypeClicked); }
void DriveView::SetPointSrcClicked() { enterParameter(&DriveView::SetPointSrcClicked); }
void DriveView::PosMesSrcClicked() { enterParameter(&DriveView::PosMesSrcClicked); }
void DriveView::SetPointClicked() { enterParameter(&DriveView::SetPointClicked); }
void DriveView::SetPointMaxClicked() { enterParameter(&DriveView::SetPointMaxClicked); }
void DriveView::SetPointMinClicked() { enterParameter(&DriveView::SetPointMinClicked); }
void DriveView::ADCOffsetClicked() { enterParameter(&DriveView::ADCOffsetClicked); }
void DriveView::SpeedMaxClicked() { enterParameter(&DriveView::SpeedMaxClicked); }
void DriveView::AccelerationStepClicked() { enterParameter(&DriveView::AccelerationStepClicked); }
void DriveView::CurrentOffsetClicked() { enterParameter(&DriveView::CurrentOffsetClicked); }
void DriveView::CurrentLimitClicked() { enterParameter(&DriveView::CurrentLimitClicked); }
void DriveView::EncoderBiasClicked() { enterParameter(&DriveView::EncoderBiasClicked); }
void DriveView::MotorBiasClicked() { enterParameter(&DriveView::MotorBiasClicked); }
void DriveView::pid_KpClicked() { enterParameter(&DriveView::pid_KpClicked); }
void DriveView::pid_KiClicked() { enterParameter(&DriveView::pid_KiClicked); }
void DriveView::pid_KdClicked() { enterParameter(&DriveView::pid_KdClicked); }
void DriveView::pid_error_maxClicked() { enterParameter(&DriveView::pid_error_maxClicked); }

void DriveView::enterParameter(void (DriveView::*slot)())
{
    const auto row = std::find_if(std::begin(parameters), std::end(parameters),
                                  [slot](const Parameter& p) { return p.clicked == slot; });
    Q_ASSERT(row != std::end(parameters));
    const Parameter& parameter = *row;

    // Unconvertible text (an empty field before the first poll) starts at 0.
    const QString text = (this->*parameter.field)->text();
    const QString name = QString::fromLatin1(parameter.name);
    const QString label = QStringLiteral("Enter ") + name;
    const QString title = name + QStringLiteral(" Selection [Motor ID: ")
        + QString::number(motor + 1) + QStringLiteral("]");

    bool ok = false;
    if (parameter.intChanged) {
        const int value = QInputDialog::getInt(this, title, label, text.toInt(nullptr, 10),
                                               static_cast<int>(parameter.minimum),
                                               static_cast<int>(parameter.maximum), 1, &ok,
                                               Qt::WindowFlags());
        if (ok)
            emit (this->*parameter.intChanged)(value, motor);
    } else {
        const double value = QInputDialog::getDouble(this, title, label, text.toDouble(),
                                                     parameter.minimum, parameter.maximum, 6,
                                                     &ok, Qt::WindowFlags());
        if (ok)
            emit (this->*parameter.doubleChanged)(value, motor);
    }
}

void DriveView::pushGraphPosition(short position, short speed, short setPoint)
{
    const double seconds = graphClock.elapsed() / 1000.0;

    // The windows drop their oldest sample themselves once they hold GraphSamples.
    timeBuffer.append(seconds);
    positionBuffer.append(position);
    setPointBuffer.append(setPoint);
    speedBuffer.append(speed);

    const struct
    {
        QwtPlotCurve* curve;
        const SampleWindow& values;
    } series[] = {{positionCurve, positionBuffer},
                  {setPointCurve, setPointBuffer},
                  {speedCurve, speedBuffer}};
    for (const auto& s : series) {
        // setSamples copies the points; attaching an attached curve changes nothing,
        // and after a reset it is what brings the curve back.
        s.curve->setSamples(timeBuffer.data(), s.values.data(),
                            std::min(timeBuffer.size(), s.values.size()));
        s.curve->attach(qwtPlot);
    }
    replotWhenVisible();
}

void DriveView::resetGraph()
{
    // Detach first: detachItems deletes every item still attached.
    positionCurve->detach();
    setPointCurve->detach();
    speedCurve->detach();

    timeBuffer.clear();
    positionBuffer.clear();
    setPointBuffer.clear();
    speedBuffer.clear();

    qwtPlot->detachItems(QwtPlotItem::Rtti_PlotItem, true);
    // So the old curves leave the screen now, not at the next push.
    replotWhenVisible();
}

void DriveView::replotWhenVisible()
{
    if (qwtPlot->isVisible()) {
        replotPending = false;
        qwtPlot->replot();
    } else {
        replotPending = true;
    }
}

bool DriveView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qwtPlot && event->type() == QEvent::Show && replotPending) {
        replotPending = false;
        qwtPlot->replot();
    }
    return QWidget::eventFilter(watched, event);
}
