#include "ui/MainWindow.h"

#include "core/DataRecording.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

void MainWindow::connectRecording()
{
    recorder = new DataRecording(link, this);
    recordingLabel = new QLabel(this);
    recordingLabel->setObjectName(QStringLiteral("label_Recording"));
    recordButton = new QPushButton(this);
    recordButton->setObjectName(QStringLiteral("pushButton_Record"));
    recordButton->setToolTip(tr("Write the live samples of the four motors to a CSV file"));
    ui.statusbar->addPermanentWidget(recordingLabel);
    ui.statusbar->addPermanentWidget(recordButton);
    showRecording();

    connect(recordButton, &QPushButton::clicked, this, &MainWindow::toggleRecording);
    connect(recorder, &DataRecording::progressed, this, &MainWindow::showRecording);
    connect(recorder, &DataRecording::failed, this, [this](const QString& message) {
        showRecording();
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Recording stopped"), message, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // Not exec(): a failed write is found inside the link's own signal.
        box->open();
    });
}

void MainWindow::toggleRecording()
{
    if (recorder->isRecording()) {
        recorder->stop();
        showRecording();
        return;
    }
    const QString suggested = QStringLiteral("drive-%1.csv")
                                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString fileName = QFileDialog::getSaveFileName(this, tr("Record the live samples"), suggested,
                                                          tr("CSV files (*.csv)"));
    if (fileName.isEmpty())
        return;
    if (!recorder->start(fileName)) {
        QMessageBox box(QMessageBox::Warning, tr("Recording failed"), recorder->failure(), QMessageBox::Ok, this);
        box.exec();
    }
    showRecording();
}

void MainWindow::showRecording()
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
