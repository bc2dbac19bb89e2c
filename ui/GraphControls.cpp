#include "ui/GraphControls.h"

#include "core/DataRecording.h"
#include "ui/PlotControls.h"
#include "ui/StepTestDialog.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

using namespace SharedVariables;

GraphControls::GraphControls(DriveLink& link, DriveView* const (&views)[MotorCount], QStatusBar& statusBar,
                             QWidget& window)
    : QObject(&window), link(link), window(window)
{
    for (int motor = 0; motor < MotorCount; ++motor) {
        plotControls[motor] = new PlotControls(*views[motor], link);
        connect(plotControls[motor], &PlotControls::stepTestRequested, this, &GraphControls::openStepTest);
    }

    recorder = new DataRecording(link, this);
    recordingLabel = new QLabel(&statusBar);
    recordingLabel->setObjectName(QStringLiteral("label_Recording"));
    recordButton = new QPushButton(&statusBar);
    recordButton->setObjectName(QStringLiteral("pushButton_Record"));
    recordButton->setToolTip(tr("Write the live samples of the four motors to a CSV file"));
    statusBar.addPermanentWidget(recordingLabel);
    statusBar.addPermanentWidget(recordButton);
    showRecording();

    connect(recordButton, &QPushButton::clicked, this, &GraphControls::toggleRecording);
    connect(recorder, &DataRecording::progressed, this, &GraphControls::showRecording);
    connect(recorder, &DataRecording::failed, this, [this](const QString& message) {
        showRecording();
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Recording stopped"), message, QMessageBox::Ok, &this->window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // Not exec(): a failed write is found inside the link's own signal.
        box->open();
    });
}

StepTestDialog* GraphControls::stepTestDialog(int motor)
{
    if (!stepTestDialogs[motor])
        stepTestDialogs[motor] = new StepTestDialog(link, motor, &window);
    return stepTestDialogs[motor];
}

void GraphControls::openStepTest(int motor)
{
    StepTestDialog* dialog = stepTestDialog(motor);
    // A dialog taller or wider than the screen would hide its own buttons.
    if (!dialog->isVisible() && window.screen())
        dialog->resize(dialog->size().boundedTo(window.screen()->availableGeometry().size()));
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void GraphControls::toggleRecording()
{
    if (recorder->isRecording()) {
        recorder->stop();
        showRecording();
        return;
    }
    const QString suggested = QStringLiteral("drive-%1.csv")
                                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString fileName = QFileDialog::getSaveFileName(&window, tr("Record the live samples"), suggested,
                                                          tr("CSV files (*.csv)"));
    if (fileName.isEmpty())
        return;
    if (!recorder->start(fileName)) {
        QMessageBox box(QMessageBox::Warning, tr("Recording failed"), recorder->failure(), QMessageBox::Ok, &window);
        box.exec();
    }
    showRecording();
}

void GraphControls::showRecording()
{
    const bool recording = recorder->isRecording();
    recordButton->setText(recording ? tr("Stop recording data") : tr("Record data..."));
    if (!recording) {
        recordingLabel->clear();
        return;
    }
    const int seconds = int(recorder->recordedSeconds());
    recordingLabel->setText(tr("Recording to %1: %2:%3, %4")
                                .arg(QFileInfo(recorder->fileName()).fileName())
                                .arg(seconds / 60)
                                .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                                .arg(QLocale().formattedDataSize(recorder->bytesWritten())));
}
