#include "core/DataRecording.h"

#include "core/DriveLink.h"
#include "core/SampleCsv.h"
#include "core/WholeFile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimer>

DataRecording::DataRecording(DriveLink& link, QObject* parent)
    : QObject(parent), link(link)
{
    flushTimer = new QTimer(this);
    flushTimer->setInterval(FlushIntervalMs);
    connect(flushTimer, &QTimer::timeout, this, [this] {
        flush();
        if (isRecording())
            emit progressed();
    });
    connect(&link, &DriveLink::samplesAppended, this, &DataRecording::writeSamples);
    connect(&link, &DriveLink::connected, this,
            [this] { writeEvent(tr("connected to %1").arg(this->link.portName())); });
    connect(&link, &DriveLink::disconnected, this, [this] { writeEvent(tr("disconnected")); });
    connect(&link, &DriveLink::portLost, this, [this](const QString& port, const QString& reason) {
        writeEvent(tr("port %1 lost: %2").arg(port, reason));
    });
    connect(&link, &DriveLink::boardSelected, this,
            [this](int address) { writeEvent(tr("board %1 selected").arg(address)); });
}

// Closing flushes what is left; nobody is left to tell of a failure.
DataRecording::~DataRecording() = default;

bool DataRecording::start(const QString& fileName)
{
    stop();
    failureText.clear();
    file.setFileName(fileName);
    // A pipe without a reader would block the open.
    const QString refusal = WholeFile::refusal(fileName);
    if (!refusal.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        failureText = tr("Could not record to %1:\n%2")
                          .arg(QFileInfo(fileName).absoluteFilePath(), refusal.isEmpty() ? file.errorString() : refusal);
        return false;
    }
    startSeconds = link.clockSeconds();
    written = 0;
    flushed = 0;
    write(SampleCsv::header());
    writeEvent(startEvent());
    flushTimer->start();
    return isRecording();
}

void DataRecording::stop()
{
    flushTimer->stop();
    if (!isRecording())
        return;
    if (file.flush())
        file.close();
    else
        fail();
}

// The first line says when the connection the samples come from was made, which may
// be long before.
QString DataRecording::startEvent() const
{
    if (!link.isConnected())
        return tr("recording started, not connected");
    const double up = link.clockSeconds() - link.connectedSeconds();
    const QDateTime since = QDateTime::currentDateTime().addMSecs(-qRound64(up * 1000));
    return tr("recording started on %1, board %2, connected since %3 (%4 s before)")
        .arg(link.portName())
        .arg(link.board())
        .arg(since.toString(Qt::ISODate))
        .arg(up, 0, 'f', 3);
}

double DataRecording::recordedSeconds() const
{
    return isRecording() ? link.clockSeconds() - startSeconds : 0;
}

void DataRecording::writeSamples()
{
    if (!isRecording())
        return;
    QByteArray rows;
    for (int motor = 0; motor < SharedVariables::MotorCount; ++motor) {
        const MotorSamples& samples = link.samples(motor);
        const int newest = samples.size() - 1;
        rows += SampleCsv::row(samples.time.at(newest) - startSeconds, link.board(), motor,
                               qRound(samples.position.at(newest)), qRound(samples.setPoint.at(newest)),
                               qRound(samples.speed.at(newest)));
    }
    write(rows);
}

void DataRecording::writeEvent(const QString& event)
{
    if (isRecording())
        write(SampleCsv::eventRow(link.clockSeconds() - startSeconds, link.board(), event));
}

void DataRecording::write(const QByteArray& text)
{
    if (file.write(text) != text.size())
        fail();
    else
        written += text.size();
}

void DataRecording::flush()
{
    if (!isRecording())
        return;
    if (file.flush())
        flushed = written;
    else
        fail();
}

void DataRecording::fail()
{
    flushTimer->stop();
    // A write cut short (a disk filling up) leaves QFile without the system's reason;
    // closing tries the rest once more and learns it.
    QString reason = file.errorString();
    file.close();
    if (file.error() != QFileDevice::NoError)
        reason = file.errorString();
    // What the failure left of a row is cut off: the file ends with the last row flushed.
    QFile::resize(file.fileName(), flushed);
    failureText = tr("Recording to %1 stopped: %2.\nThe samples written up to the last second are kept.")
                      .arg(QFileInfo(file).absoluteFilePath(), reason);
    emit failed(failureText);
}
